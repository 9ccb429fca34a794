// Resource and control identifiers, shared by the resource script and all three
// subsystems. Every identifier has its one home here.
#ifndef STRIPEWELL_RES_RESOURCE_H
#define STRIPEWELL_RES_RESOURCE_H

// Strings.
#define IDS_TITLE   1   // main window title
#define IDS_BANNER  2   // banner drawn in the main window's client area
#define IDS_CLASS   3   // main window class name

// Accelerators.
#define IDA_MAIN    3

// Icons.
#define IDI_APP     101

// Menus.
#define IDM_MAIN    102

// Dialogs.
#define IDD_ABOUT   103
#define IDD_CARD    104

// Menu commands.
#define IDM_EXIT        40002
#define IDM_ABOUT       40003
#define IDM_CARD_TEST   40004

// The command bar.
#define ID_CMDBAR   1

// Controls without an identifier.
#define IDC_STATIC  (-1)

// Card test dialog controls.
#define IDC_CLOSE   1001
#define IDC_ISO1    1002
#define IDC_ISO2    1003
#define IDC_JIS2    1004
#define IDC_CLEAR   1005
#define IDC_APO     1006

#endif // STRIPEWELL_RES_RESOURCE_H

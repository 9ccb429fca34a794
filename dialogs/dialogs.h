// The card test dialog and the centring rule both dialogs use.
#ifndef STRIPEWELL_DIALOGS_DIALOGS_H
#define STRIPEWELL_DIALOGS_DIALOGS_H

#include "../port/platform.h"

// carddlg.cpp: the card test dialog, run modally by the main window. It opens the
// reader when it initialises and ends only through its Close button.
INT_PTR CALLBACK CardDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
// Empties the three track fields, in the order ISO1, ISO2, JIS2.
void ClearTrackFields(HWND hDlg);

// center.cpp: moves a dialog to the position that centres it on a rectangle the size
// of its parent's client area placed at the screen origin, never to a negative x or y.
// Leaves the dialog where it is when its window rectangle cannot be read.
void CenterDialog(HWND hDlg);
// The centring arithmetic for one axis: (outer - inner) / 2 in signed 32-bit
// arithmetic, truncated toward zero, and 0 when that is negative.
int CenterOffset(int nOuterExtent, int nInnerExtent);

#endif // STRIPEWELL_DIALOGS_DIALOGS_H

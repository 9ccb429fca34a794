// Identifiers of the simulator panel (mcrsim-panel.exe): its one home.
#pragma once

#define IDD_PANEL           100

#define IDC_PANEL_DECK      200  // which deck the list holds
#define IDC_PANEL_CARDS     201  // the deck's cards
#define IDC_PANEL_DAMAGE    202  // damage kind
#define IDC_PANEL_TRACK     203  // the track the damage hits, or all
#define IDC_PANEL_SWIPE     204
#define IDC_PANEL_POWER_OFF 205
#define IDC_PANEL_WEDGE     206  // keyboard-wedge input line; Enter swipes it
#define IDC_PANEL_WEDGE_GO  207
#define IDC_PANEL_STATE     208  // the reader's state, polled
#define IDC_PANEL_RESULT    209  // what the last action did
#define IDC_PANEL_SHOWN     210  // the card test dialog's fields, decoded: 210 to 212
#define IDC_PANEL_VERDICT   213  // whether they are what the reader read

// The panel's window class (a dialog class of its own, so tests and people can find it).
#define MCRSIM_PANEL_CLASS L"MCRSimPanel"

// The track view under the controls, made at run time (track_window.h).
#define IDC_PANEL_TRACKVIEW 230

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The panel's track view: a child window that draws a card's three tracks as strips
// (../draw/trackstrip.h) under a caption saying which card; its window text holds the
// caption and each track's status line, for people and tests that read windows.
#pragma once

#include <windows.h>

#include <string>

#include "../core/card.h"

#define MCRSIM_TRACKVIEW_CLASS L"MCRSimTrackView"

// Registers the window class; once, before the panel is created.
bool RegisterTrackView(HINSTANCE instance);

// Creates the view below every control of the dialog, as wide as they allow, and makes
// the dialog taller by as much.
HWND CreateTrackView(HWND dlg, int id);

// Shows the card's tracks as the reader model reads them (damage included), under the
// caption; with no card, only the caption.
void ShowTrackViewCard(HWND view, const mcrsim::Card *card, const std::string &caption);

// One track drawn as a strip with GDI, for the panel's track view and the pictures in
// docs/cards.md.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "../core/trace_view.h"

namespace trackstrip {

struct Style {
    int bitWidth = 4;      // pixels a bit takes across
    int barHeight = 14;    // a 1 bit's bar; a 0 bit is a stub at its foot
    int charGap = 2;       // between characters
    bool labels = true;    // the characters above their bits
    HFONT font = nullptr;  // nullptr: the default GUI font
};

// The colours, one home for the drawing and for those who check it.
COLORREF RoleColour(mcrsim::CharRole role);
constexpr COLORREF kUnreadColour = RGB(255, 255, 255);   // bits the decoder never read
constexpr COLORREF kBitColour = RGB(40, 40, 40);         // the bars of the bits
constexpr COLORREF kFlippedColour = RGB(230, 0, 0);      // a bit the damage turned over
constexpr COLORREF kErasedColour = RGB(190, 150, 100);   // behind bits the damage wore off
constexpr COLORREF kDecidedColour = RGB(230, 0, 0);      // frame of the character that stopped the read
constexpr COLORREF kStopColour = RGB(200, 0, 170);       // where the decoder stopped
constexpr COLORREF kPaperColour = RGB(255, 255, 255);    // behind everything
constexpr COLORREF kTextColour = RGB(0, 0, 0);

// A stretch of one cell (TrackView::cells) on one row; a long run of zeros may take
// several rows.
struct Piece {
    std::size_t cell = 0;
    std::size_t first = 0, count = 0;  // bits, in reading order
    RECT box{};                        // the bits' box, relative to the strip's corner
    bool labelled = false;
};

struct Layout {
    int width = 0, height = 0;
    int lineHeight = 0;     // of the text
    RECT headline{}, why{};  // the two text lines above the bits
    std::vector<Piece> pieces;
    RECT stop{};             // the stop mark
    // Where the bit at reading position pos is drawn (its column), or -1.
    RECT BitBox(std::size_t pos) const;
};

// The bits in reading order, grouped by the characters the decoder read and coloured by
// their role, the character that stopped the read framed, the bits the damage hit
// marked, and the point where the decoder stopped; above them the track's status and why
// the decoder stopped.
//
// Lays the track out in a strip `width` pixels wide, measuring text on dc.
Layout LayOut(HDC dc, const mcrsim::TrackView &view, int width, const Style &style);
// Draws it with its top left corner at (x, y).
void Draw(HDC dc, int x, int y, const mcrsim::TrackView &view, const Layout &layout, const Style &style);

}  // namespace trackstrip

// Drawing of a track strip; see trackstrip.h.
#include "trackstrip.h"

#include <algorithm>
#include <string>

#include "../text/utf8.h"

namespace trackstrip {

namespace {

constexpr int kMarkHeight = 4;  // below the bits: the triangle under a flipped bit
constexpr int kRowGap = 3;
constexpr int kStopOverhang = 2;  // the stop mark stands out above and below the bits

HFONT FontOf(const Style &style) {
    return style.font != nullptr ? style.font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void Fill(HDC dc, RECT rect, COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

void Frame(HDC dc, RECT rect, COLORREF colour, int thickness) {
    for (int i = 0; i < thickness; ++i) {
        Fill(dc, {rect.left, rect.top, rect.right, rect.top + 1}, colour);
        Fill(dc, {rect.left, rect.bottom - 1, rect.right, rect.bottom}, colour);
        Fill(dc, {rect.left, rect.top, rect.left + 1, rect.bottom}, colour);
        Fill(dc, {rect.right - 1, rect.top, rect.right, rect.bottom}, colour);
        InflateRect(&rect, -1, -1);
    }
}

RECT Offset(RECT rect, int x, int y) {
    OffsetRect(&rect, x, y);
    return rect;
}

std::string Label(const mcrsim::TrackFormat &format, const mcrsim::ViewCell &cell) {
    if (!cell.read || cell.ch.role == mcrsim::CharRole::Clocking) return std::string();
    return mcrsim::CharLabel(format, cell.ch.code);
}

void Text(HDC dc, RECT rect, const std::string &text, UINT format) {
    const std::wstring wide = mcrsim_text::Wide(text);
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &rect, format | DT_NOPREFIX | DT_SINGLELINE);
}

}  // namespace

COLORREF RoleColour(mcrsim::CharRole role) {
    switch (role) {
    case mcrsim::CharRole::Clocking: return RGB(220, 220, 220);
    case mcrsim::CharRole::Start: return RGB(130, 210, 130);
    case mcrsim::CharRole::Data: return RGB(180, 210, 245);
    case mcrsim::CharRole::End: return RGB(245, 190, 110);
    case mcrsim::CharRole::Lrc: return RGB(205, 170, 240);
    }
    return kUnreadColour;
}

RECT Layout::BitBox(std::size_t pos) const {
    for (const Piece &piece : pieces) {
        if (pos < piece.first || pos >= piece.first + piece.count) continue;
        const int bitWidth = static_cast<int>((piece.box.right - piece.box.left) / static_cast<LONG>(piece.count));
        const int left = piece.box.left + static_cast<int>(pos - piece.first) * bitWidth;
        return {left, piece.box.top, left + bitWidth, piece.box.bottom};
    }
    return {-1, -1, -1, -1};
}

Layout LayOut(HDC dc, const mcrsim::TrackView &view, int width, const Style &style) {
    Layout layout;
    layout.width = width;
    HGDIOBJ old = SelectObject(dc, FontOf(style));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    layout.lineHeight = metrics.tmHeight;
    layout.headline = {0, 0, width, layout.lineHeight};
    layout.why = {0, layout.lineHeight, width, 2 * layout.lineHeight};

    const int labelHeight = style.labels ? layout.lineHeight : 0;
    const int rowHeight = kStopOverhang + labelHeight + style.barHeight + kMarkHeight + kRowGap;
    const std::size_t bitsPerRow = static_cast<std::size_t>(std::max(8, width / style.bitWidth - 1));
    int rowTop = 2 * layout.lineHeight + kRowGap, x = 0;
    const std::size_t stopAt = view.decoded.trace.stopAt;
    for (std::size_t c = 0; c < view.cells.size(); ++c) {
        const mcrsim::ViewCell &cell = view.cells[c];
        std::size_t done = 0;
        while (done < cell.ch.count) {
            const std::size_t left = cell.ch.count - done;
            const int room = (width - x - style.charGap) / style.bitWidth;
            // A character moves to the next row whole; a longer run is split.
            if (room <= 0 || (static_cast<std::size_t>(room) < left && left <= bitsPerRow && x > 0)) {
                rowTop += rowHeight;
                x = 0;
                continue;
            }
            Piece piece;
            piece.cell = c;
            piece.first = cell.ch.first + done;
            piece.count = std::min(left, static_cast<std::size_t>(room));
            piece.labelled = done == 0;
            const int top = rowTop + kStopOverhang + labelHeight;
            piece.box = {x + style.charGap, top, x + style.charGap + static_cast<int>(piece.count) * style.bitWidth,
                         top + style.barHeight};
            // The stop goes before the first piece not read, or at the end of the row
            // the last piece read closes.
            if (piece.first == stopAt && x == 0 && !layout.pieces.empty()) {
                const RECT &last = layout.pieces.back().box;
                layout.stop = {last.right, last.top - kStopOverhang, last.right + 2, last.bottom + kStopOverhang};
            } else if (piece.first == stopAt) {
                layout.stop = {piece.box.left - style.charGap / 2 - 1, top - kStopOverhang, piece.box.left - style.charGap / 2 + 1,
                               top + style.barHeight + kStopOverhang};
            }
            layout.pieces.push_back(piece);
            x = piece.box.right;
            done += piece.count;
        }
    }
    if (stopAt >= view.bits.size() && !layout.pieces.empty()) {
        const RECT &last = layout.pieces.back().box;
        layout.stop = {last.right, last.top - kStopOverhang, last.right + 2, last.bottom + kStopOverhang};
    }
    layout.height = rowTop + rowHeight;
    return layout;
}

void Draw(HDC dc, int x, int y, const mcrsim::TrackView &view, const Layout &layout, const Style &style) {
    Fill(dc, {x, y, x + layout.width, y + layout.height}, kPaperColour);
    HGDIOBJ oldFont = SelectObject(dc, FontOf(style));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kTextColour);
    Text(dc, Offset(layout.headline, x, y), mcrsim::TrackHeadline(view), DT_LEFT | DT_END_ELLIPSIS);
    Text(dc, Offset(layout.why, x, y), mcrsim::DescribeStop(*view.format, view.decoded), DT_LEFT | DT_END_ELLIPSIS);

    const bool failed = view.decoded.status != mcrsim::kTrackGood;
    const int stub = std::max(1, style.barHeight / 6);
    for (const Piece &piece : layout.pieces) {
        const mcrsim::ViewCell &cell = view.cells[piece.cell];
        const RECT box = Offset(piece.box, x, y);
        Fill(dc, box, cell.read ? RoleColour(cell.ch.role) : kUnreadColour);
        if (!cell.read) Frame(dc, box, RoleColour(mcrsim::CharRole::Clocking), 1);
        for (std::size_t b = 0; b < piece.count; ++b) {
            const std::size_t pos = piece.first + b;
            const int left = box.left + static_cast<int>(b) * style.bitWidth;
            const int right = left + std::max(1, style.bitWidth - 1);
            const mcrsim::BitMark mark = view.MarkAt(pos);
            if (mark & mcrsim::kMarkErased) Fill(dc, {left, box.top, left + style.bitWidth, box.bottom}, kErasedColour);
            const COLORREF colour = (mark & mcrsim::kMarkFlipped) ? kFlippedColour : kBitColour;
            const int top = view.BitAt(pos) ? box.top + 1 : box.bottom - stub;
            Fill(dc, {left, top, right, box.bottom}, colour);
            if (mark & mcrsim::kMarkFlipped) {
                // A small triangle under the bit.
                for (int row = 0; row < kMarkHeight; ++row)
                    Fill(dc, {left + (right - left) / 2 - row, box.bottom + 1 + row, left + (right - left) / 2 + row + 1,
                              box.bottom + 2 + row},
                         kFlippedColour);
            }
        }
        if (cell.decided && failed) Frame(dc, {box.left - 1, box.top - 1, box.right + 1, box.bottom + 1}, kDecidedColour, 2);
        if (style.labels && piece.labelled) {
            const std::string label = Label(*view.format, cell);
            if (!label.empty())
                Text(dc, {box.left, box.top - layout.lineHeight, box.right + style.charGap, box.top}, label,
                     DT_CENTER | DT_BOTTOM);
        }
    }
    if (layout.stop.right > layout.stop.left) Fill(dc, Offset(layout.stop, x, y), kStopColour);
    SelectObject(dc, oldFont);
}

}  // namespace trackstrip

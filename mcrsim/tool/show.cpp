// Text of `mcrsim show`; see show.h.
#include "show.h"

#include <cstdio>

namespace mcrsim_tool {

namespace {

const ShowGlyphs kAscii = {"|", "^", "~", "!"};
const ShowGlyphs kUtf8 = {"\u2503", "\u2191", "\u2591", "\u2717"};

// One row of output, one glyph per column for the bits and the marks; labels are ASCII.
struct Row {
    std::size_t firstBit = 0;
    std::string labels;
    std::vector<std::string> bits, marks;
    bool anyMark = false;

    std::size_t Width() const { return bits.size(); }
};

std::string Label(const mcrsim::TrackFormat &format, const mcrsim::ViewCell &cell) {
    if (!cell.read) return "not read";
    if (cell.ch.role == mcrsim::CharRole::Clocking) return "clocking zeros";
    const std::string value = mcrsim::CharLabel(format, cell.ch.code);
    switch (cell.ch.role) {
    case mcrsim::CharRole::Start: return "S:" + value;
    case mcrsim::CharRole::End: return "E:" + value;
    case mcrsim::CharRole::Lrc: return "L:" + value;
    default: return value;
    }
}

std::string Join(const std::vector<std::string> &glyphs) {
    std::string text;
    for (const std::string &glyph : glyphs) text += glyph;
    return text;
}

std::string TrimRight(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

const ShowGlyphs &GlyphsFor(bool utf8) { return utf8 ? kUtf8 : kAscii; }

std::vector<std::string> ShowTrack(const mcrsim::TrackView &view, bool utf8, std::size_t columns) {
    const ShowGlyphs &glyphs = GlyphsFor(utf8);
    const mcrsim::TrackFormat &format = *view.format;
    const mcrsim::DecodeTrace &trace = view.decoded.trace;
    const bool failed = view.decoded.status != mcrsim::kTrackGood;
    const bool backward = trace.direction == mcrsim::Direction::Backward;

    std::vector<std::string> lines;
    lines.push_back(mcrsim::TrackHeadline(view));
    lines.push_back("  " + mcrsim::DescribeStop(format, view.decoded) + ".");
    if (backward) lines.push_back("  Bits in reading order, numbered along the swipe.");

    constexpr std::size_t kMargin = 7;  // "  1234 " before each row
    const std::size_t width = columns > kMargin + 16 ? columns - kMargin : 16;
    std::vector<Row> rows(1);
    auto put = [&](const std::string &bit, const char *mark) {
        Row &row = rows.back();
        row.bits.push_back(bit);
        row.marks.push_back(mark != nullptr ? mark : " ");
        row.anyMark = row.anyMark || mark != nullptr;
    };
    for (const mcrsim::ViewCell &cell : view.cells) {
        std::size_t done = 0;
        while (done < cell.ch.count) {
            // A cell starts a new row unless it fits; a run longer than a row is split.
            const std::size_t left = cell.ch.count - done;
            const std::size_t first = cell.ch.first + done;
            if (rows.back().Width() + 1 + std::min(left, width - 1) > width) {
                // A stop at the break is shown at both ends.
                if (first == trace.stopAt) put(glyphs.stop, nullptr);
                rows.emplace_back();
            }
            Row &row = rows.back();
            if (row.Width() == 0) row.firstBit = trace.ToSwipe(first);
            const std::size_t piece = std::min(left, width - row.Width() - 1);
            // What was not read is named once, where it begins.
            if (done == 0 && (cell.read || first == trace.stopAt)) {
                row.labels.resize(row.Width() + 1, ' ');
                // Nothing after it is labelled, so "not read" may run on.
                row.labels += Label(format, cell).substr(0, cell.read ? piece : width - row.Width() - 1);
            }
            put(first == trace.stopAt ? glyphs.stop : " ", nullptr);
            for (std::size_t b = 0; b < piece; ++b) {
                const std::size_t pos = first + b;
                const mcrsim::BitMark mark = view.MarkAt(pos);
                const char *glyph = (mark & mcrsim::kMarkFlipped) ? glyphs.flipped
                                    : (mark & mcrsim::kMarkErased) ? glyphs.erased
                                    : (cell.decided && failed)     ? glyphs.decided
                                                                   : nullptr;
                put(view.BitAt(pos) ? "1" : "0", glyph);
            }
            done += piece;
        }
    }
    if (trace.stopAt == view.bits.size()) put(glyphs.stop, nullptr);

    for (const Row &row : rows) {
        if (row.Width() == 0) continue;
        char number[16];
        std::snprintf(number, sizeof number, "  %4zu ", row.firstBit);
        const std::string margin(kMargin, ' ');
        if (!TrimRight(row.labels).empty()) lines.push_back(TrimRight(margin + row.labels));
        lines.push_back(TrimRight(number + Join(row.bits)));
        if (row.anyMark) lines.push_back(TrimRight(margin + Join(row.marks)));
    }
    return lines;
}

std::vector<std::string> ShowLegend(bool utf8) {
    const ShowGlyphs &glyphs = GlyphsFor(utf8);
    return {
        "S: start sentinel, E: end sentinel, L: LRC; bits least significant first.",
        std::string(glyphs.stop) + " the decoder stopped  " + glyphs.decided + " the character that stopped it",
        std::string(glyphs.flipped) + " a flipped bit  " + glyphs.erased + " a worn-off bit (the card's damage)",
    };
}

}  // namespace mcrsim_tool

// A track laid out for showing; see trace_view.h.
#include "trace_view.h"

#include <algorithm>
#include <cstdio>

namespace mcrsim {

TrackView ViewTrack(const Card &card, Track track, bool bothDirections) {
    TrackView view;
    view.format = &FormatOf(track);
    view.bits = SwipeTrackBits(card, track);
    view.decoded = DecodeTrack(*view.format, view.bits, bothDirections);
    view.read = ToTrackRead(*view.format, view.decoded);
    view.marks.assign(view.bits.size(), kMarkNone);
    const std::size_t width = static_cast<std::size_t>(view.format->charBits);
    view.contentBits = RecordedBits(card, track).size();
    view.recorded = view.contentBits != 0;
    if (view.recorded) {
        view.damage = card[track].damage;
        ForEachDamagedBit(*view.format, view.contentBits, view.damage, [&](std::size_t contentBit, BitMark what) {
            const std::size_t at = SwipePosition(view.contentBits, view.damage, contentBit);
            if (at != kNotSwiped && at < view.marks.size()) view.marks[at] |= what;
        });
    }

    const DecodeTrace &trace = view.decoded.trace;
    for (std::size_t i = 0; i < trace.chars.size(); ++i) {
        ViewCell cell;
        cell.read = true;
        cell.ch = trace.chars[i];
        cell.decided = static_cast<int>(i) == trace.stopChar;
        view.cells.push_back(cell);
    }
    std::size_t lastOne = trace.stopAt;  // one past the last 1 bit not read
    for (std::size_t pos = trace.stopAt; pos < view.bits.size(); ++pos)
        if (view.BitAt(pos) != 0) lastOne = pos + 1;
    auto unread = [&](std::size_t first, std::size_t count) {
        ViewCell cell;
        cell.ch.first = first;
        cell.ch.count = count;
        view.cells.push_back(cell);
    };
    std::size_t pos = trace.stopAt;
    for (; pos < lastOne; pos += width) unread(pos, std::min(width, view.bits.size() - pos));
    if (pos < view.bits.size()) unread(pos, view.bits.size() - pos);
    return view;
}

std::string CharLabel(const TrackFormat &format, std::uint8_t code) {
    const std::uint8_t ch = CharOf(format, code);
    char value[8];
    if (ch > 0x20 && ch < 0x7F)
        std::snprintf(value, sizeof value, "%c", static_cast<char>(ch));
    else
        std::snprintf(value, sizeof value, "x%02X", ch);
    return value;
}

std::string TrackHeadline(const TrackView &view) {
    const DecodeTrace &trace = view.decoded.trace;
    const bool backward = trace.direction == Direction::Backward;
    std::string head = std::string(view.format->name) + "  " + TrackResultText(view.read);
    if (!view.recorded)
        head += ", a blank stripe";
    else
        head += std::string(", read ") + (backward ? "backward" : "forward");
    if (trace.otherTried)
        head += std::string(" (") + (backward ? "forward" : "backward") + ": " + TrackStatusName(trace.otherStatus) + ")";
    return head;
}

}  // namespace mcrsim

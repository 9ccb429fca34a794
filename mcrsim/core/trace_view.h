// The trace view model: one track as the head meets it and the decoder read it, with the
// damage placed along the swipe and the words that go with it; what `mcrsim show` prints
// and the track strips draw. Plain C++17.
#ifndef STRIPEWELL_MCRSIM_CORE_TRACE_VIEW_H
#define STRIPEWELL_MCRSIM_CORE_TRACE_VIEW_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "card.h"

namespace mcrsim {

// A stretch of the swipe in reading order: a character or run of zeros the decoder read
// (as its trace has it), or bits it never read.
struct ViewCell {
    bool read = false;
    TraceChar ch;           // first and count always; the rest when read
    bool decided = false;   // the character that decided the status
};

struct TrackView {
    const TrackFormat *format = nullptr;
    bool recorded = false;       // the card has the track; otherwise a blank stripe
    Damage damage;               // as applied (none on a blank stripe)
    std::size_t contentBits = 0;
    Bits bits;                   // the swipe, in the order the head met the bits
    Decoded decoded;             // status, data and the trace of the reading that decided
    TrackRead read;              // what MCRRead hands over for it
    std::vector<std::uint8_t> marks;  // a BitMark per bit of the swipe
    std::vector<ViewCell> cells;      // the whole swipe in reading order

    BitMark MarkAt(std::size_t readPos) const {
        return static_cast<BitMark>(marks[decoded.trace.ToSwipe(readPos)]);
    }
    std::uint8_t BitAt(std::size_t readPos) const { return bits[decoded.trace.ToSwipe(readPos)]; }
};

// Swipes one track of the card through the decoder (as ReadTrack does) and lays it out.
// Cells: the trace's characters, then what was not read, in character-wide pieces up to
// its last 1 bit and one piece for the zeros after it.
TrackView ViewTrack(const Card &card, Track track, bool bothDirections = true);

// A character as a label: itself when printable, else its value in hexadecimal ("x1F",
// "x20" for a space).
std::string CharLabel(const TrackFormat &format, std::uint8_t code);

// "iso2  Error:12 (parity), read forward (backward: no-start)": the track, its status
// as the card test dialog shows it, and the direction that decided.
std::string TrackHeadline(const TrackView &view);

}  // namespace mcrsim

#endif  // STRIPEWELL_MCRSIM_CORE_TRACE_VIEW_H

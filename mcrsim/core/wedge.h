// Keyboard-wedge text: what a USB keyboard-wedge card reader types for one swipe, read
// back into a card (ParseWedge) and written from what the reader read (FormatWedge).
#ifndef STRIPEWELL_MCRSIM_CORE_WEDGE_H
#define STRIPEWELL_MCRSIM_CORE_WEDGE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "card.h"
#include "errors.h"

namespace mcrsim {

// The data a wedge types for a track it could not read.
constexpr char kWedgeBadTrack = 'E';
// The status such a track reads as.
constexpr std::uint32_t kWedgeBadTrackStatus = kErrParity;
// The JIS II sentinel as typed; kWedgeJisEscape is its escape.
constexpr char kWedgeJisSentinel = '\x7F';
constexpr const char *kWedgeJisEscape = "\\x7F";
// A line longer than this is refused (three full tracks with escapes fit easily).
constexpr std::size_t kMaxWedgeLine = 4096;

struct WedgeError {
    std::size_t column = 0;  // 1-based byte position in the line; 0 for the whole line
    std::string message;

    // "column 12: message", or the message alone without a column.
    std::string ToString() const;
};

struct WedgeParse {
    bool ok = false;
    Card card;         // named "wedge"; set when ok
    WedgeError error;  // set unless ok
};

// Such a reader decodes the card itself and types each track it read as text, then
// Enter. ParseWedge turns one such line back into a card whose tracks the reader model
// (ReadCard) then decodes like any deck card, so what MCRRead hands over comes from the
// same encoder and decoder.
//
// The text (docs/simulator.md shows examples):
//   %DATA?        ISO1, data between '%' and '?'
//   ;DATA?        ISO2, data between ';' and '?'
//   <7F>DATA<7F>  JIS II between two 0x7F sentinels. A wedge types it in the second
//                 slot, after ISO1 (or after ISO2 for a card with all three tracks).
// Each track at most once; the sentinel says which track it is, so the order is not
// checked. A track that is not in the line is a blank stripe (no-data).
// A track the wedge could not read is typed as the single character E between its
// sentinels: "%E?", ";E?", "<7F>E<7F>". It becomes a recorded track with one flipped
// bit, which the decoder reports as a parity error (kWedgeBadTrackStatus).
// Escapes, for what a keyboard cannot type: "\x7F" (any "\xHH", hex digits in either
// case) stands for that byte exactly as if it had been typed, "\\" for a backslash.
// A raw 0x7F byte is accepted too. Spaces and tabs outside the tracks are ignored; a
// line end (CR, LF) at the end is dropped.
WedgeParse ParseWedge(std::string_view line);

// The text a wedge would type for what the reader read: good tracks with their data,
// failed ones as E, tracks without data (no-data) left out. Bytes a keyboard cannot
// type (0x7F, control characters) and the backslash are written as escapes, so the
// text is printable ASCII; ParseWedge reads it back.
std::string FormatWedge(const CardRead &read);

}  // namespace mcrsim

#endif  // STRIPEWELL_MCRSIM_CORE_WEDGE_H

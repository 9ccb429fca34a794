// Track status codes of the simulated reader: the one table of them (docs/cards.md
// mirrors it; card_tests checks that the two agree).
#ifndef STRIPEWELL_MCRSIM_CORE_ERRORS_H
#define STRIPEWELL_MCRSIM_CORE_ERRORS_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace mcrsim {

// MCRRead hands over one status word per track. 1 means the track was read and its
// buffer holds the data characters; every other value is the error the decoder found
// on that track. 0 is never used either: the program zeroes the status words before
// each read, so a 0 means the library did not set the word at all.
//
// A good track.
constexpr std::uint32_t kTrackGood = 1;

// The error codes, in the order the decoder can meet them on a track.
enum TrackError : std::uint32_t {
    kErrNoData = 0x10,
    kErrNoStartSentinel = 0x11,
    kErrParity = 0x12,
    kErrTooLong = 0x13,
    kErrNoEndSentinel = 0x14,
    kErrTruncated = 0x15,
    kErrLrc = 0x16,
};

struct TrackErrorInfo {
    std::uint32_t code;
    const char *name;         // short name, as the control tool and the docs show it
    const char *description;  // one sentence for a person
};

inline constexpr TrackErrorInfo kTrackErrors[] = {
    {kErrNoData, "no-data",
     "No magnetic data on the track: a blank stripe, or a card without this track."},
    {kErrNoStartSentinel, "no-start",
     "Bits were found, but the first character is not the start sentinel in either swipe direction."},
    {kErrParity, "parity",
     "A character between the start and end sentinels failed its parity check."},
    {kErrTooLong, "too-long",
     "More data characters than the track's MCRRead buffer holds (76, 37 or 69)."},
    {kErrNoEndSentinel, "no-end",
     "The data ran into the blank end of the track without an end sentinel."},
    {kErrTruncated, "truncated",
     "The bits stop inside the track: the swipe ended before the end sentinel and its LRC were read."},
    {kErrLrc, "lrc",
     "The LRC character after the end sentinel is missing, fails its parity, or does not match the data."},
};

constexpr std::size_t kTrackErrorCount = sizeof(kTrackErrors) / sizeof(kTrackErrors[0]);

// The table row for a code; nullptr for 1 (good) and for codes not in the table.
const TrackErrorInfo *FindTrackError(std::uint32_t code);
// The row whose short name is given ("parity"); nullptr when there is none.
const TrackErrorInfo *FindTrackError(const char *name);
// "good" for 1, the short name for a table code, "unknown" otherwise.
const char *TrackStatusName(std::uint32_t status);

// How the card test dialog shows a failed track's status: "Error:" and the code in
// lower-case hex ("Error:12").
std::string ErrorFieldText(std::uint32_t status);
// The same with the status's name, for a person: "Error:12 (parity)".
std::string ErrorFieldTextNamed(std::uint32_t status);

}  // namespace mcrsim

#endif  // STRIPEWELL_MCRSIM_CORE_ERRORS_H

// The three tracks as the reader's head sees them: characters, bit strings and the
// decoder. Plain C++17, no platform headers.
#ifndef STRIPEWELL_MCRSIM_CORE_TRACKS_H
#define STRIPEWELL_MCRSIM_CORE_TRACKS_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mcrsim {

// In MCRSimCard order.
enum class Track : int { Iso1 = 0, Iso2 = 1, Jis2 = 2 };
constexpr int kTrackCount = 3;
constexpr Track kTracks[kTrackCount] = {Track::Iso1, Track::Iso2, Track::Jis2};

// The largest MCRRead buffer (ISO1).
constexpr std::size_t kMaxBufferBytes = 76;

// A track is recorded as: clocking zeros, the start sentinel, the data characters,
// the end sentinel, the LRC character, clocking zeros. Every character is written
// least significant bit first with its parity bit last. The LRC's data bits are the
// XOR of the data bits of every character from the start sentinel to the end
// sentinel, both included; its parity bit follows the track's own parity rule.
//
//   track  char bits        parity  code -> character  start  end   buffer  standard  stripe
//   ISO1   6 data + parity  odd     code + 0x20          '%'    '?'   76      76 (79)   87
//   ISO2   4 data + parity  odd     code + 0x30          ';'    '?'   37      37 (40)   42
//   JIS2   7 data + parity  even    code                 0x7F   0x7F  69      69 (72)   75
//
// buffer: data characters MCRRead's buffer holds. standard: data characters on a card
// of the standard format (in brackets: with sentinels and LRC), which is just what the
// buffer holds. stripe: data characters that physically fit in about 3 inches of
// stripe at the track's density (210, 75, 210 bits per inch), so that a non-standard,
// over-long card can be modelled; the reader reports such a track as too long.
//
// The reader hands over the data characters between the sentinels as character
// values: ASCII for ISO1 and ISO2 ("%B41^X?" gives the bytes 'B' '4' '1' '^' 'X'),
// the 7-bit codes for JIS2.
struct TrackFormat {
    Track track;
    const char *name;          // "iso1", "iso2", "jis2"
    int dataBits;              // 6, 4, 7
    int charBits;              // dataBits + 1
    bool oddParity;            // ISO: odd; JIS II: even
    std::uint8_t offset;       // character value = code + offset
    std::uint8_t startCode;    // sentinel codes (without offset)
    std::uint8_t endCode;
    std::size_t bufferBytes;   // MCRRead buffer: 76, 37, 69
    std::size_t stripeMaxChars;  // data characters that fit on the stripe: 87, 42, 75
};

const TrackFormat &FormatOf(Track track);
// nullptr when the name is none of "iso1", "iso2", "jis2".
const TrackFormat *FindFormat(std::string_view name);
// A byte as messages show it: "'A' (0x41)", or "0x7F" when it is not printable.
std::string CharText(std::uint8_t ch);

// One bit per element, each 0 or 1, in the order the head passes them.
using Bits = std::vector<std::uint8_t>;

// Clocking zeros written before and after a track's content.
constexpr std::size_t kClockingBits = 24;

// The character value a code stands for, and back. CodeOf returns -1 for a
// character outside the track's range.
std::uint8_t CharOf(const TrackFormat &format, std::uint8_t code);
int CodeOf(const TrackFormat &format, std::uint8_t ch);
// The parity bit that makes a code valid on this track.
std::uint8_t ParityBit(const TrackFormat &format, std::uint8_t code);
// Why ch cannot be a data character of this track; empty when it can. Sentinels and
// characters outside the track's range cannot.
std::string CheckDataChar(const TrackFormat &format, std::uint8_t ch);
// The LRC character (as a character value) of a track holding these data characters,
// for valid data. ";4111111111111111=49121010000000000000?" has the LRC '2'.
std::uint8_t LrcChar(const TrackFormat &format, std::string_view data);

// The recorded content of a track: start sentinel, data, end sentinel, LRC, without
// clocking zeros; (data.size() + 3) * charBits bits. Returns false and says why in
// *error when a data character is not allowed on the track. The length is not checked
// here: the card model decides how much fits (see stripeMaxChars).
bool EncodeTrack(const TrackFormat &format, std::string_view data, Bits *content, std::string *error);

// What can happen to a track between the recording and the reader's buffer. The first
// three change the stripe; the last two are the swipe.
struct Damage {
    // Bits turned over, counted from 0 at the first bit of the start sentinel in the
    // recorded content. Data character k (k = 1 for the first) holds the bits
    // k * charBits + 0 .. dataBits - 1 (least significant first); its parity bit is
    // k * charBits + dataBits.
    std::vector<std::size_t> flips;
    // The start sentinel is erased: its bits read as zeros.
    bool loseStart = false;
    // The end of the recording is worn off: the end sentinel and the LRC read as zeros.
    bool loseEnd = false;
    // The card went through backwards: the head meets the bits in reverse order. A
    // reader that tries both directions still reads such a track (see DecodeTrack);
    // this is a way to swipe, not a corruption.
    bool reversed = false;
    // The swipe stopped after this many content bits had passed the head (in swipe
    // direction); nothing after them, not even clocking zeros, is read. 0: not truncated.
    std::size_t truncateAfter = 0;

    bool Any() const { return !flips.empty() || loseStart || loseEnd || reversed || truncateAfter != 0; }
};

// What damage does to one bit of the recording.
enum BitMark : std::uint8_t {
    kMarkNone = 0,
    kMarkFlipped = 1,  // turned over (a flip)
    kMarkErased = 2,   // worn off (lose-start, lose-end): reads as 0
};

// Calls hit(contentBit, mark) for each bit of a recorded content of contentBits bits
// (counted as Damage counts them) that the damage changes: each flip inside it, in the
// order listed (a bit listed twice is turned over twice), then each bit lose-start and
// lose-end wear off. The one account of where damage lands, which SwipeBits applies and
// the trace view marks.
void ForEachDamagedBit(const TrackFormat &format, std::size_t contentBits, const Damage &damage,
                       const std::function<void(std::size_t contentBit, BitMark mark)> &hit);

// Why this damage cannot be applied to a content of contentBits bits (a flip or a
// truncation beyond the end); empty when it can.
std::string CheckDamage(const TrackFormat &format, std::size_t contentBits, const Damage &damage);

// The bit stream the head delivers when a card with this recorded content (empty for
// a blank track) is swiped: clocking zeros, the content with the damage applied,
// clocking zeros; then reversed and truncated as the damage says. Damage that does not
// fit the content (see CheckDamage) is ignored where it does not fit.
Bits SwipeBits(const TrackFormat &format, const Bits &content, const Damage &damage);

enum class Direction { Forward, Backward };

// What the decoder took a stretch of bits for.
enum class CharRole {
    Clocking,  // the zeros before the first 1 bit
    Start,     // where the start sentinel must be: the first character
    Data,      // a character between the sentinels (or where one was expected)
    End,       // the end sentinel
    Lrc,       // the LRC character after the end sentinel
};

// One stretch the decoder read. Positions count bits in reading order: from the first
// bit of the swipe for a forward reading, from its last bit for a backward one
// (DecodeTrace::ToSwipe turns them into positions along the swipe).
struct TraceChar {
    CharRole role = CharRole::Clocking;
    std::size_t first = 0;
    std::size_t count = 0;       // charBits; for Clocking the length of the run of zeros
    std::uint8_t code = 0;       // the data bits, least significant first (0 for Clocking)
    std::uint8_t parityBit = 0;  // the bit read after them
    bool parityOk = true;
};

// How the reading that gave a track's status went, from the same pass that decided the
// status: every stretch it read, and where it stopped.
struct DecodeTrace {
    Direction direction = Direction::Forward;  // the reading that decided (as Decoded)
    std::size_t swipeBits = 0;                 // bits in the swipe
    std::vector<TraceChar> chars;              // in reading order, each following the last
    // The first bit the decoder did not use; the bits from here on were not read as
    // characters (the blank end, an incomplete character, or what follows the LRC).
    std::size_t stopAt = 0;
    // The character that decided a no-start, parity, too-long or lrc status, or the
    // LRC of a good track; -1 when the bits ran out or were blank.
    int stopChar = -1;
    std::uint8_t expectedLrc = 0;  // the LRC code the characters read give, once the end sentinel is read
    // The reading in the other direction, when the reader tried it: its status.
    bool otherTried = false;
    std::uint32_t otherStatus = 0;

    std::size_t ToSwipe(std::size_t readPos) const {
        return direction == Direction::Forward ? readPos : swipeBits - 1 - readPos;
    }
};

struct Decoded {
    std::uint32_t status = 0;  // kTrackGood or a TrackError code
    std::string data;          // the data characters between the sentinels when good
    Direction direction = Direction::Forward;  // the direction that gave the status
    DecodeTrace trace;         // how that reading went
};

// Decodes a bit stream as the reader does. One attempt: skip the leading zeros; the
// first 1 bit starts the first character, which must be the start sentinel with good
// parity; read characters, checking each one's parity, until the end sentinel; then
// read the LRC character and check its parity and value. The bits may come from a
// backward swipe, so when reading them in the order given fails, the reader tries them
// in reverse order. The first attempt that succeeds gives the data; when both fail, the
// error of the attempt that found a start sentinel is reported (the forward one when
// both or neither did).
// With bothDirections false the reader reads only in the order given, like a reader
// that accepts swipes one way only.
Decoded DecodeTrack(const TrackFormat &format, const Bits &bits, bool bothDirections = true);

// Why the decoder stopped where it did, in a sentence ("data character 9 ('1', bits
// 69..73) fails its parity").
std::string DescribeStop(const TrackFormat &format, const Decoded &decoded);

// "clocking zeros", "start sentinel", "data", "end sentinel", "LRC".
const char *RoleName(CharRole role);

// Where bit contentBit of the recorded content (as Damage counts bits) passes the head
// in the swipe SwipeBits makes with this damage; kNotSwiped when the truncated swipe never
// reaches it.
constexpr std::size_t kNotSwiped = static_cast<std::size_t>(-1);
std::size_t SwipePosition(std::size_t contentBits, const Damage &damage, std::size_t contentBit);

// "0110..." from bits and back (any character other than '0' and '1' is skipped).
std::string BitsToString(const Bits &bits);
Bits BitsFromString(std::string_view text);

}  // namespace mcrsim

#endif  // STRIPEWELL_MCRSIM_CORE_TRACKS_H

// Cards and tracks of the simulated reader: bit formats, the decoder, damage, deck
// files, the built-in deck, and the error table against docs/cards.md.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "damage_kinds.h"
#include "deck.h"
#include "default_deck.h"
#include "support/field_text.h"
#include "support/trace_check.h"

using namespace mcrsim;

namespace {

const TrackFormat &Iso1 = FormatOf(Track::Iso1);
const TrackFormat &Iso2 = FormatOf(Track::Iso2);
const TrackFormat &Jis2 = FormatOf(Track::Jis2);

Bits Encode(const TrackFormat &format, const std::string &data) {
    Bits content;
    std::string error;
    EXPECT_TRUE(EncodeTrack(format, data, &content, &error)) << error;
    return content;
}

Decoded Swipe(const TrackFormat &format, const std::string &data, const Damage &damage = Damage(),
              bool bothDirections = true) {
    return DecodeTrack(format, SwipeBits(format, Encode(format, data), damage), bothDirections);
}

// Every data character the track can hold, in code order.
std::string AllDataChars(const TrackFormat &format) {
    std::string chars;
    for (int code = 0; code < (1 << format.dataBits); ++code)
        if (code != format.startCode && code != format.endCode) chars.push_back(static_cast<char>(CharOf(format, code)));
    return chars;
}

// count data characters the track can hold, taken in turn from all of them.
std::string SampleData(const TrackFormat &format, std::size_t count) {
    const std::string pool = AllDataChars(format);
    std::string data;
    for (std::size_t i = 0; i < count; ++i) data.push_back(pool[(i * 7) % pool.size()]);
    return data;
}

std::string ReadText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

// --- Bits of known examples ---------------------------------------------------------

TEST(CardTrackBits, KnownCharactersAndLrc) {
    // ";1?" by hand: ';' 1101+0, '1' 1000+0, '?' 1111+1, LRC 0xB^0x1^0xF = 0x5: 1010+1.
    EXPECT_EQ(BitsToString(Encode(Iso2, "1")), "11010" "10000" "11111" "10101");
    EXPECT_EQ(LrcChar(Iso2, "4111111111111111=49121010000000000000"), '2');
    // Start sentinels: '%' is code 5 (101000, odd parity 1); JIS II's 0x7F has seven
    // ones, so even parity adds an eighth.
    EXPECT_EQ(BitsToString(Encode(Iso1, "")).substr(0, 7), "1010001");
    EXPECT_EQ(BitsToString(Encode(Jis2, "")).substr(0, 8), "11111111");
    EXPECT_EQ(ParityBit(Jis2, 0x00), 0);
    EXPECT_EQ(ParityBit(Iso1, 0x00), 1);
    // Every character of every track keeps its parity rule.
    for (Track t : kTracks) {
        const TrackFormat &format = FormatOf(t);
        const Bits bits = Encode(format, AllDataChars(format));
        ASSERT_EQ(bits.size() % format.charBits, 0u);
        for (std::size_t pos = 0; pos < bits.size(); pos += format.charBits) {
            int ones = 0;
            for (int b = 0; b < format.charBits; ++b) ones += bits[pos + b];
            EXPECT_EQ(ones % 2, format.oddParity ? 1 : 0) << format.name << " character at bit " << pos;
        }
    }
}

TEST(CardTrackBits, DataOutsideTheTrackIsRefused) {
    const struct {
        const TrackFormat &format;
        std::string data;
        std::string why;
    } cases[] = {
        {Iso1, "AB%", "character 3: '%' (0x25) is a sentinel of iso1"},
        {Iso1, "a", "'a' (0x61) is not a character of iso1 (0x20..0x5F)"},
        {Iso2, "12;", "';' (0x3B) is a sentinel of iso2"},
        {Iso2, "1?", "'?' (0x3F) is a sentinel of iso2"},
        {Iso2, "A", "'A' (0x41) is not a character of iso2 (0x30..0x3F)"},
        {Jis2, "\x7F", "0x7F is a sentinel of jis2"},
        {Jis2, "\x80", "0x80 is not a character of jis2"},
    };
    for (const auto &c : cases) {
        Bits content;
        std::string error;
        EXPECT_FALSE(EncodeTrack(c.format, c.data, &content, &error)) << c.data;
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
    }
}

// --- Round trips ----------------------------------------------------------------------

TEST(CardRoundTrip, EveryTrackBothDirections) {
    for (Track t : kTracks) {
        const TrackFormat &format = FormatOf(t);
        std::vector<std::string> samples = {"", SampleData(format, format.bufferBytes)};
        const std::string all = AllDataChars(format);
        for (std::size_t i = 0; i < all.size(); i += format.bufferBytes) samples.push_back(all.substr(i, format.bufferBytes));
        for (const std::string &data : samples) {
            Damage backwards;
            backwards.reversed = true;
            const Decoded forward = Swipe(format, data);
            const Decoded reversed = Swipe(format, data, backwards);
            EXPECT_EQ(forward.status, kTrackGood) << format.name << " " << data;
            EXPECT_EQ(forward.data, data);
            EXPECT_EQ(forward.direction, Direction::Forward);
            EXPECT_EQ(reversed.status, kTrackGood) << format.name << " " << data;
            EXPECT_EQ(reversed.data, data);
            // An empty JIS II track (0x7F, 0x7F, LRC 0) reads the same both ways.
            if (data.empty() && t == Track::Jis2) continue;
            EXPECT_EQ(reversed.direction, Direction::Backward);
            // A reader that reads one direction only cannot read the backward swipe.
            EXPECT_NE(Swipe(format, data, backwards, false).status, kTrackGood) << format.name;
        }
    }
}

TEST(CardRoundTrip, BufferLimitIsTooLong) {
    for (Track t : kTracks) {
        const TrackFormat &format = FormatOf(t);
        EXPECT_EQ(Swipe(format, SampleData(format, format.bufferBytes)).status, kTrackGood) << format.name;
        EXPECT_EQ(Swipe(format, SampleData(format, format.bufferBytes + 1)).status, kErrTooLong) << format.name;
    }
}

// --- Damage -----------------------------------------------------------------------------

TEST(CardDamage, EachKindGivesItsStatusOnEveryTrack) {
    for (Track t : kTracks) {
        const TrackFormat &format = FormatOf(t);
        const std::string data = SampleData(format, 20);
        const std::size_t w = static_cast<std::size_t>(format.charBits);
        const std::size_t bits = (data.size() + 3) * w;
        const std::size_t lrcChar = bits - w;
        Damage d;

        d = Damage();
        d.flips = {3 * w + 1};  // one data bit of the third data character
        EXPECT_EQ(Swipe(format, data, d).status, kErrParity) << format.name;
        d.flips = {3 * w + 1, 3 * w + format.dataBits};  // and its parity bit
        EXPECT_EQ(Swipe(format, data, d).status, kErrLrc) << format.name;
        d.flips = {lrcChar};  // the LRC character's own bit
        EXPECT_EQ(Swipe(format, data, d).status, kErrLrc) << format.name;
        d.flips = {1};  // inside the start sentinel
        EXPECT_EQ(Swipe(format, data, d).status, kErrNoStartSentinel) << format.name;

        d = Damage();
        d.loseStart = true;
        EXPECT_EQ(Swipe(format, data, d).status, kErrNoStartSentinel) << format.name;
        d = Damage();
        d.loseEnd = true;
        EXPECT_EQ(Swipe(format, data, d).status, kErrNoEndSentinel) << format.name;

        d = Damage();
        d.truncateAfter = bits / 2 + 1;  // stops inside a character
        EXPECT_EQ(Swipe(format, data, d).status, kErrTruncated) << format.name;
        d.truncateAfter = 10 * w;  // stops between characters
        EXPECT_EQ(Swipe(format, data, d).status, kErrTruncated) << format.name;
        d.truncateAfter = bits - 1;  // inside the LRC
        EXPECT_EQ(Swipe(format, data, d).status, kErrTruncated) << format.name;

        // The swipe direction decides which end is lost; backwards, the start sentinel.
        d.reversed = true;
        d.truncateAfter = bits / 2;
        EXPECT_EQ(Swipe(format, data, d).status, kErrNoStartSentinel) << format.name;

        // A damaged backward swipe reports what the backward reading found.
        d = Damage();
        d.reversed = true;
        d.flips = {3 * w + 1};
        const Decoded backward = Swipe(format, data, d);
        EXPECT_EQ(backward.status, kErrParity) << format.name;
        EXPECT_EQ(backward.direction, Direction::Backward);
        EXPECT_TRUE(backward.data.empty());

        EXPECT_EQ(DecodeTrack(format, SwipeBits(format, Bits(), Damage())).status, kErrNoData) << format.name;
        EXPECT_EQ(DecodeTrack(format, Bits()).status, kErrNoData) << format.name;
    }
}

// --- The decoder's trace ----------------------------------------------------------------

TEST(CardTrace, EachErrorSaysWhereAndWhyTheReadStopped) {
    const std::size_t C = kClockingBits;
    for (Track t : kTracks) {
        const TrackFormat &format = FormatOf(t);
        const std::size_t w = static_cast<std::size_t>(format.charBits), d = static_cast<std::size_t>(format.dataBits);
        const std::size_t n = 20, tooLong = format.bufferBytes + 1;
        auto damage = [](std::vector<std::size_t> flips, bool reversed = false) {
            Damage result;
            result.flips = std::move(flips);
            result.reversed = reversed;
            return result;
        };
        Damage loseStart, loseEnd, truncate;
        loseStart.loseStart = true;
        loseEnd.loseEnd = true;
        truncate.truncateAfter = 10 * w + 2;
        const int none = -1;
        const std::size_t kFirstOne = std::string::npos;
        // stop: where the deciding character starts along the swipe (its lowest bit),
        // or, without one, where the decoder stopped.
        const struct {
            const char *what;
            std::size_t chars;  // data characters recorded; npos for a blank stripe
            Damage damage;
            std::uint32_t status;
            int role;
            std::size_t stop;
            Direction direction;
            std::string why;
        } cases[] = {
            {"good", n, Damage(), kTrackGood, int(CharRole::Lrc), C + (n + 2) * w, Direction::Forward, "the LRC"},
            {"blank", std::string::npos, Damage(), kErrNoData, none, 2 * C, Direction::Forward, "all 48 bits are zeros"},
            {"start flipped", n, damage({1}), kErrNoStartSentinel, int(CharRole::Start), C, Direction::Forward,
             "fails its parity"},
            // The read starts at the first 1 bit after the erased sentinel.
            {"start lost", n, loseStart, kErrNoStartSentinel, int(CharRole::Start), kFirstOne, Direction::Forward,
             "the first character, "},
            {"data flipped", n, damage({3 * w + 1}), kErrParity, int(CharRole::Data), C + 3 * w, Direction::Forward,
             "data character 3, "},
            {"too long", tooLong, Damage(), kErrTooLong, int(CharRole::Data), C + tooLong * w, Direction::Forward,
             "data character " + std::to_string(tooLong) + " is one more than the buffer's"},
            {"end lost", n, loseEnd, kErrNoEndSentinel, none, C + (n + 1) * w, Direction::Forward,
             "no end sentinel before the blank end"},
            {"truncated", n, truncate, kErrTruncated, none, C + 10 * w, Direction::Forward,
             "with 2 bits, fewer than a character, before the end sentinel"},
            {"data and parity flipped", n, damage({3 * w + 1, 3 * w + d}), kErrLrc, int(CharRole::Lrc), C + (n + 2) * w,
             Direction::Forward, "does not match the data's"},
            {"LRC flipped", n, damage({(n + 2) * w}), kErrLrc, int(CharRole::Lrc), C + (n + 2) * w, Direction::Forward,
             "fails its parity"},
            // Backwards, data character 3 passes the head as the 20th character.
            {"backward, data flipped", n, damage({3 * w + 1}, true), kErrParity, int(CharRole::Data), C + (n - 1) * w,
             Direction::Backward, "data character 3, "},
        };
        for (const auto &c : cases) {
            const std::string where = std::string(format.name) + ", " + c.what;
            const Bits content = c.chars == std::string::npos ? Bits() : Encode(format, SampleData(format, c.chars));
            const Bits bits = SwipeBits(format, content, c.damage);
            const Decoded decoded = DecodeTrack(format, bits);
            EXPECT_EQ(decoded.status, c.status) << where;
            EXPECT_EQ(decoded.direction, c.direction) << where;
            EXPECT_EQ(trace_check::TraceMismatch(format, bits, decoded), "") << where;
            const DecodeTrace &trace = decoded.trace;
            if (c.role == none) {
                EXPECT_EQ(trace.stopChar, none) << where;
                EXPECT_EQ(trace.ToSwipe(trace.stopAt), c.stop) << where;
            } else {
                ASSERT_GE(trace.stopChar, 0) << where;
                const TraceChar &stop = trace.chars[static_cast<std::size_t>(trace.stopChar)];
                EXPECT_EQ(int(stop.role), c.role) << where;
                const std::size_t expected =
                    c.stop == kFirstOne ? std::find(bits.begin(), bits.end(), 1) - bits.begin() : c.stop;
                EXPECT_EQ(std::min(trace.ToSwipe(stop.first), trace.ToSwipe(stop.first + w - 1)), expected) << where;
                EXPECT_EQ(trace.stopAt, stop.first + w) << where << ": the decoder stops after that character";
            }
            EXPECT_EQ(trace.otherTried, c.status != kTrackGood || c.direction == Direction::Backward) << where;
            EXPECT_NE(DescribeStop(format, decoded).find(c.why), std::string::npos)
                << where << ": " << DescribeStop(format, decoded);
        }
    }
}

TEST(CardTrace, EachDamageKindShowsWhereItHit) {
    const Card &full = *FindCard(DefaultDeck(), "full");
    for (Track t : kTracks) {
        const TrackFormat &format = FormatOf(t);
        const std::size_t w = static_cast<std::size_t>(format.charBits);
        const std::size_t contentBits = (full[t].data.size() + 3) * w;
        const Bits clean = SwipeTrackBits(full, t);
        for (const DamageKindInfo &info : kDamageKinds) {
            Card card = full;
            AddDamage(&card, info.kind, t);
            const Damage &damage = card[t].damage;
            const Bits bits = SwipeTrackBits(card, t);
            const Decoded decoded = DecodeTrack(format, bits);
            const DecodeTrace &trace = decoded.trace;
            const std::string where = std::string(format.name) + ", " + info.name;
            EXPECT_EQ(trace_check::TraceMismatch(format, bits, decoded), "") << where;
            const TraceChar *stop = trace.stopChar >= 0 ? &trace.chars[static_cast<std::size_t>(trace.stopChar)] : nullptr;
            switch (info.kind) {
            case DamageKind::None:
            case DamageKind::Reversed:
                EXPECT_EQ(decoded.status, kTrackGood) << where;
                EXPECT_EQ(decoded.direction, damage.reversed ? Direction::Backward : Direction::Forward) << where;
                EXPECT_EQ(trace.stopAt, kClockingBits + contentBits) << where;
                break;
            case DamageKind::FlippedBit: {
                // The one bit that differs from the clean swipe is the one the damage
                // named, inside the character that failed.
                ASSERT_EQ(damage.flips.size(), 1u);
                const std::size_t at = SwipePosition(contentBits, damage, damage.flips[0]);
                for (std::size_t i = 0; i < bits.size(); ++i) EXPECT_EQ(bits[i] != clean[i], i == at) << where << " bit " << i;
                EXPECT_EQ(decoded.status, kErrParity) << where;
                ASSERT_NE(stop, nullptr) << where;
                EXPECT_TRUE(at >= stop->first && at < stop->first + w) << where << ": bit " << at << ", character at " << stop->first;
                EXPECT_FALSE(stop->parityOk) << where;
                break;
            }
            case DamageKind::LostStart:
                EXPECT_EQ(decoded.status, kErrNoStartSentinel) << where;
                ASSERT_NE(stop, nullptr) << where;
                EXPECT_GE(stop->first, SwipePosition(contentBits, damage, w)) << where << ": a character after it";
                EXPECT_EQ(trace.chars[0].count, stop->first) << where << ": zeros up to there";
                break;
            case DamageKind::LostEnd:
                EXPECT_EQ(decoded.status, kErrNoEndSentinel) << where;
                EXPECT_EQ(trace.stopAt, SwipePosition(contentBits, damage, contentBits - 2 * w)) << where;
                break;
            case DamageKind::Truncated:
                EXPECT_EQ(decoded.status, kErrTruncated) << where;
                EXPECT_EQ(bits.size(), kClockingBits + damage.truncateAfter) << where;
                EXPECT_EQ(SwipePosition(contentBits, damage, damage.truncateAfter), kNotSwiped) << where;
                EXPECT_LT(trace.swipeBits - trace.stopAt, w) << where;
                break;
            }
        }
    }
}

// --- What MCRRead hands over ---------------------------------------------------------------

TEST(CardRead, GoodTracksAreZeroPaddedAndBadOnesEmpty) {
    Card card;
    card.name = "c";
    card[Track::Iso1] = {true, "B1^X", Damage()};
    card[Track::Iso2] = {true, "1234", Damage()};
    card[Track::Iso2].damage.flips = {6};
    const CardRead read = ReadCard(card);

    const TrackRead &iso1 = read[Track::Iso1];
    EXPECT_EQ(iso1.status, kTrackGood);
    EXPECT_EQ(iso1.length, 4u);
    EXPECT_EQ(std::string(iso1.bytes.begin(), iso1.bytes.begin() + 4), "B1^X");
    for (std::size_t i = 4; i < iso1.bytes.size(); ++i) EXPECT_EQ(iso1.bytes[i], 0) << i;

    for (Track t : {Track::Iso2, Track::Jis2}) {
        const TrackRead &bad = read[t];
        EXPECT_EQ(bad.length, 0u);
        for (std::uint8_t byte : bad.bytes) EXPECT_EQ(byte, 0);
    }
    EXPECT_EQ(read[Track::Iso2].status, kErrParity);
    EXPECT_EQ(read[Track::Jis2].status, kErrNoData);
}

// --- Deck files -------------------------------------------------------------------------------

TEST(CardDeckFile, GoodFileLoadsWhole) {
    const std::string path = std::string(CARD_TEST_DATA) + "/shop.deck";
    const DeckLoad load = LoadDeckFile(path);
    ASSERT_TRUE(load.ok) << load.error.ToString();
    ASSERT_EQ(load.cards.size(), 4u);

    const Card &ok = load.cards[0];
    EXPECT_EQ(ok.name, "visa-ok");
    EXPECT_EQ(ok.title, "Visa test card");
    EXPECT_EQ(ok[Track::Iso1].data, "B4111111111111111^SAMPLE/JANE^4912101000000000000");
    EXPECT_TRUE(ok[Track::Iso2].present);
    EXPECT_FALSE(ok[Track::Jis2].present);
    EXPECT_FALSE(ok[Track::Iso2].damage.Any());

    const Card &worn = load.cards[1];  // indented with tabs
    EXPECT_EQ(worn[Track::Iso2].damage.flips, std::vector<std::size_t>{12});
    EXPECT_EQ(ReadCard(worn)[Track::Iso2].status, kErrParity);

    const Card &odd = load.cards[2];
    EXPECT_EQ(odd.title, "");
    EXPECT_EQ(odd[Track::Iso1].data, "QUOTE\" BACKSLASH\\ HEXA");
    EXPECT_EQ(odd[Track::Jis2].data, std::string("\x01\x7E"));
    EXPECT_TRUE(odd[Track::Jis2].damage.reversed);
    EXPECT_EQ(odd[Track::Jis2].damage.truncateAfter, 30u);

    const Card &empty = load.cards[3];
    EXPECT_TRUE(empty[Track::Iso2].present);
    const TrackRead read = ReadTrack(empty, Track::Iso2);
    EXPECT_EQ(read.status, kTrackGood);
    EXPECT_EQ(read.length, 0u);
}

TEST(CardDeckFile, WindowsLineEndsAndByteOrderMark) {
    const DeckLoad load = ParseDeck("\xEF\xBB\xBF# deck\r\ncard a Title\r\n  iso2 \"12\"\r\n", "crlf.deck");
    ASSERT_TRUE(load.ok) << load.error.ToString();
    EXPECT_EQ(load.cards[0].title, "Title");
    EXPECT_EQ(load.cards[0][Track::Iso2].data, "12");
}

TEST(CardDeckFile, EachMistakeNamesItsLineAndLoadsNothing) {
    const std::string good = "card good\n  iso2 \"1234\"\n";  // lines 1 and 2
    const struct {
        std::string text;
        int line;
        std::string message;
    } cases[] = {
        {"", 0, "no cards in the file"},
        {"# only a comment\n\n", 0, "no cards in the file"},
        {"iso2 \"12\"\n", 1, "'iso2' before the first 'card' line"},
        {good + "crad x\n", 3, "unknown keyword 'crad'"},
        {good + "card\n", 3, "'card' needs a name"},
        {good + "card bad/name\n", 3, "may hold only letters, digits"},
        {good + "card good\n", 3, "card name 'good' is already used on line 1"},
        {good + "  iso2 \"5\"\n", 3, "iso2 is already given on line 2"},
        {good + "card b\n iso1 B41\n", 4, "iso1: the data must be in double quotes"},
        {good + "card b\n iso1 \"B41\n", 4, "iso1: the closing double quote is missing"},
        {good + "card b\n iso1 \"B41\" x\n", 4, "unexpected text after the closing double quote"},
        {good + "card b\n iso1 \"B\\q\"\n", 4, "unknown escape \\q"},
        {good + "card b\n jis2 \"\\x7\"\n", 4, "\\x must be followed by two hexadecimal digits"},
        {good + "card b\n iso1 \"B4%1\"\n", 4, "iso1 character 3: '%' (0x25) is a sentinel of iso1"},
        {good + "card b\n iso2 \"12a\"\n", 4, "iso2 character 3: 'a' (0x61) is not a character of iso2"},
        {good + "card b\n iso2 \"" + std::string(43, '1') + "\"\n", 4, "iso2 has 43 data characters; the stripe holds at most 42"},
        {good + "card b\n iso2 \"1\x01\"\n", 4, "control character 0x01"},
        {good + "  damage iso3 flip 1\n", 3, "unknown track 'iso3'"},
        {good + "  damage iso2 flipp 1\n", 3, "unknown damage 'flipp'"},
        {good + "  damage iso2\n", 3, "'damage iso2' needs a kind of damage"},
        {good + "  damage iso2 flip\n", 3, "'flip' needs one or more bit numbers"},
        {good + "  damage iso2 flip 1 x2\n", 3, "'x2' is not a bit number"},
        {good + "  damage iso2 flip 1\n  damage iso2 flip 1\n", 4, "bit 1 of iso2 is already flipped"},
        {good + "  damage iso2 reversed\n  damage iso2 reversed\n", 4, "'reversed' is already given for iso2"},
        {good + "  damage iso2 lose-end now\n", 3, "'lose-end' takes no argument"},
        {good + "  damage iso2 truncate 0\n", 3, "'truncate' needs one number of bits, 1 or more"},
        // Damage is checked against the card's tracks when the card ends.
        {good + "  damage iso2 flip 35\ncard c\n", 3, "iso2: flip bit 35 is beyond the track's 35 bits"},
        {good + "  damage iso2 truncate 35\n", 3, "iso2: truncate 35 is not inside the track's 35 bits"},
        {good + "  damage iso1 lose-start\n", 3, "damage to iso1, which card 'good' does not have"},
    };
    for (const auto &c : cases) {
        const DeckLoad load = ParseDeck(c.text, "my.deck");
        EXPECT_FALSE(load.ok) << c.text;
        EXPECT_TRUE(load.cards.empty()) << c.text;
        EXPECT_EQ(load.error.file, "my.deck");
        EXPECT_EQ(load.error.line, c.line) << c.text << "\n" << load.error.ToString();
        EXPECT_NE(load.error.message.find(c.message), std::string::npos) << load.error.ToString();
    }
}

TEST(CardDeckFile, BadOrMissingFileIsNamed) {
    const std::string path = std::string(CARD_TEST_DATA) + "/typo.deck";
    const DeckLoad typo = LoadDeckFile(path);
    EXPECT_FALSE(typo.ok);
    EXPECT_TRUE(typo.cards.empty());
    EXPECT_EQ(typo.error.ToString(),
              path + ":7: unknown damage 'flipp' (expected flip, lose-start, lose-end, reversed or truncate)");

    const std::string missing = std::string(CARD_TEST_DATA) + "/no-such.deck";
    const DeckLoad none = LoadDeckFile(missing);
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.error.ToString(), missing + ": cannot open the file");

    // Windows opens these as devices (aux and com1 would read the serial port for ever).
    const std::pair<std::string, std::string> devices[] = {
        {"aux.deck", "AUX"},           {"COM1.deck", "COM1"},     {"nul.deck", "NUL"},
        {"decks/Lpt9.DECK", "LPT9"},   {"C:\\x\\con", "CON"},     {"prn.txt.deck", "PRN"},
        {"aux .deck", "AUX"},          {"com3. . ", "COM3"},      {"C:aux:stream", "AUX"},
        {"conin$", "CONIN$"},          {"CONOUT$.deck", "CONOUT$"}, {"com\xC2\xB2.deck", "COM\xC2\xB2"},
    };
    for (const auto &[name, device] : devices)
        EXPECT_EQ(LoadDeckFile(name).error.ToString(),
                  name + ": Windows opens this name as the device " + device +
                      ", not as a file (in any folder, with any extension): give the deck another name");
    for (const char *name : {"auxiliary.deck", "com10.deck", "com0.deck", "lpt.deck"})
        EXPECT_EQ(LoadDeckFile(name).error.message, "cannot open the file") << name;
    // Windows drops the dots and spaces that end a name: a file named so cannot be opened.
    for (const auto &[name, looked] : {std::pair<std::string, std::string>{"card.deck.", "card.deck"},
                                       {"decks/card.deck ", "card.deck"}, {"decks\\card.deck. .", "card.deck"}}) {
        const std::string message = LoadDeckFile(name).error.message;
        EXPECT_EQ(message.rfind("cannot open the file: Windows drops the dots and spaces that end a file name", 0), 0u)
            << message;
        EXPECT_NE(message.find("looked for '" + looked + "'"), std::string::npos) << message;
    }
    EXPECT_EQ(LoadDeckFile(CARD_TEST_DATA).error.message, "a folder, not a deck file");
    EXPECT_EQ(LoadDeckFile("\\\\.\\COM1").error.message, "a device path, not a file: a deck is read from a file");

    // A path that is not ASCII reaches the file system whole.
    const DeckLoad japanese = LoadDeckFile(std::string(CARD_TEST_DATA) + "/カード-Größe.deck");
    ASSERT_TRUE(japanese.ok) << japanese.error.ToString();
    EXPECT_EQ(japanese.cards.at(0).title, "Größe");
}

TEST(CardDeckFile, LoadsInTimeLinearInItsSize) {
    const auto start = std::chrono::steady_clock::now();
    std::string many;
    for (int i = 0; i < 88000; ++i) many += "card " + std::to_string(i) + "\n";
    many += "card 0\n";
    ASSERT_LE(many.size(), kMaxDeckFileBytes);
    EXPECT_EQ(ParseDeck(many, "many.deck").error.ToString(), "many.deck:88001: card name '0' is already used on line 1");
    std::string flips = "card f\n  iso1 \"A\"\n  damage iso1 flip";
    for (int bit = 99999; bit >= 0; --bit) flips += " " + std::to_string(bit);
    ASSERT_LE(flips.size(), kMaxDeckFileBytes);
    EXPECT_EQ(ParseDeck(flips, "flips.deck").error.ToString(),
              "flips.deck:3: iso1: flip bit 99999 is beyond the track's 28 bits (0..27)");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(CardDeckFile, FormatDeckReadsBackAsTheSameCards) {
    std::vector<Card> cards = DefaultDeck();
    Card odd;
    odd.name = "odd";
    odd[Track::Iso1] = {true, "A\"B\\C", Damage()};
    odd[Track::Jis2] = {true, std::string("\x00\x1F~", 3), Damage()};
    odd[Track::Jis2].damage.flips = {9, 3};
    odd[Track::Jis2].damage.loseStart = true;
    odd[Track::Jis2].damage.loseEnd = true;
    odd[Track::Jis2].damage.truncateAfter = 20;
    cards.push_back(odd);
    const DeckLoad load = ParseDeck(FormatDeck(cards), "formatted");
    ASSERT_TRUE(load.ok) << load.error.ToString();
    EXPECT_TRUE(load.cards == cards);
}

// --- The built-in deck ---------------------------------------------------------------------------

TEST(CardDefaultDeck, EveryCardReadsAsIntended) {
    const DeckLoad load = ParseDeck(DefaultDeckText(), "built-in");
    ASSERT_TRUE(load.ok) << load.error.ToString();
    const struct {
        const char *name;
        std::uint32_t iso1, iso2, jis2;
    } expected[] = {
        {"full", kTrackGood, kTrackGood, kTrackGood},
        {"iso", kTrackGood, kTrackGood, kErrNoData},
        {"iso-no-track1", kErrNoData, kTrackGood, kErrNoData},
        {"jis2", kErrNoData, kErrNoData, kTrackGood},
        {"backwards", kTrackGood, kTrackGood, kTrackGood},
        {"blank", kErrNoData, kErrNoData, kErrNoData},
        {"err-no-data", kTrackGood, kErrNoData, kTrackGood},
        {"err-no-start", kErrNoStartSentinel, kTrackGood, kTrackGood},
        {"err-parity", kTrackGood, kErrParity, kTrackGood},
        {"err-too-long", kErrTooLong, kTrackGood, kTrackGood},
        {"err-no-end", kTrackGood, kTrackGood, kErrNoEndSentinel},
        {"err-truncated", kTrackGood, kErrTruncated, kTrackGood},
        {"err-lrc", kTrackGood, kTrackGood, kErrLrc},
    };
    ASSERT_EQ(DefaultDeck().size(), std::size(expected));
    std::set<std::uint32_t> errorsSeen;
    for (const auto &e : expected) {
        const Card *card = FindCard(DefaultDeck(), e.name);
        ASSERT_NE(card, nullptr) << e.name;
        EXPECT_EQ(CheckCard(*card), "");
        const CardRead read = ReadCard(*card);
        EXPECT_EQ(read[Track::Iso1].status, e.iso1) << e.name;
        EXPECT_EQ(read[Track::Iso2].status, e.iso2) << e.name;
        EXPECT_EQ(read[Track::Jis2].status, e.jis2) << e.name;
        for (Track t : kTracks) {
            if (read[t].status == kTrackGood)
                EXPECT_EQ(std::string(read[t].bytes.begin(), read[t].bytes.begin() + read[t].length), (*card)[t].data);
            else
                errorsSeen.insert(read[t].status);
        }
    }
    EXPECT_EQ(errorsSeen.size(), kTrackErrorCount) << "every error code has a card that shows it";
}

TEST(CardDefaultDeck, OnlyPublicTestNumbers) {
    const std::set<std::string> publicTestNumbers = {"4111111111111111", "5555555555554444", "3530111333300000"};
    // The account number: ISO1 after the format code up to '^', ISO2 up to '=', and in
    // the free JIS II layout every run of 13 to 19 digits that does not start with 0.
    const std::regex jisNumber("(^|[^0-9])([1-9][0-9]{12,18})(?![0-9])");
    for (const Card &card : DefaultDeck()) {
        std::vector<std::string> numbers;
        if (card[Track::Iso1].present) {
            const std::string &data = card[Track::Iso1].data;
            numbers.push_back(data.substr(1, data.find('^') - 1));
        }
        if (card[Track::Iso2].present) numbers.push_back(card[Track::Iso2].data.substr(0, card[Track::Iso2].data.find('=')));
        const std::string &jis = card[Track::Jis2].data;
        for (std::sregex_iterator it(jis.begin(), jis.end(), jisNumber), end; it != end; ++it)
            numbers.push_back((*it)[2].str());
        for (const std::string &number : numbers) EXPECT_EQ(publicTestNumbers.count(number), 1u) << card.name << ": " << number;
    }
}

// --- The error table and its documentation ------------------------------------------------------------

TEST(CardErrorTable, CodesAreDistinctAndNeverGoodOrUnset) {
    std::set<std::uint32_t> codes;
    std::set<std::string> names;
    for (const TrackErrorInfo &error : kTrackErrors) {
        EXPECT_NE(error.code, kTrackGood);
        EXPECT_NE(error.code, 0u);
        EXPECT_TRUE(codes.insert(error.code).second) << error.name;
        EXPECT_TRUE(names.insert(error.name).second) << error.name;
        EXPECT_EQ(FindTrackError(error.code), &error);
        EXPECT_EQ(FindTrackError(error.name), &error);
    }
    EXPECT_STREQ(TrackStatusName(kTrackGood), "good");
    EXPECT_EQ(FindTrackError(kTrackGood), nullptr);
}

TEST(CardErrorTable, DocumentationMirrorsTheCode) {
    const std::string doc = ReadText(CARDS_DOC);
    ASSERT_FALSE(doc.empty()) << CARDS_DOC;
    const std::size_t section = doc.find("\n## Error codes\n");
    ASSERT_NE(section, std::string::npos);
    const std::size_t sectionEnd = doc.find("\n## ", section + 1);

    // Rows: | 0x10 | Error:10 | no-data | text |
    const std::regex row(R"(\| (0x[0-9A-Fa-f]+) \| (Error:[0-9a-f]+) \| ([a-z-]+) \| (.+) \|)");
    std::istringstream lines(doc.substr(section, sectionEnd - section));
    std::string line;
    std::size_t rows = 0;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, row)) continue;
        ASSERT_LT(rows, kTrackErrorCount) << "the doc has more rows than errors.h: " << line;
        const TrackErrorInfo &error = kTrackErrors[rows++];
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(error.code));
        EXPECT_EQ(m[1].str(), hex) << line;
        const std::wstring field = testing_support::ErrorField(error.code);
        EXPECT_EQ(m[2].str(), std::string(field.begin(), field.end())) << line;
        EXPECT_EQ(m[3].str(), error.name) << line;
        EXPECT_EQ(m[4].str(), error.description) << line;
    }
    EXPECT_EQ(rows, kTrackErrorCount);
    // One picture per code (DocsPictures checks that each is what the tool draws now).
    for (const TrackErrorInfo &error : kTrackErrors) {
        char picture[32];
        std::snprintf(picture, sizeof picture, "tracks/error-%02x.png", static_cast<unsigned>(error.code));
        EXPECT_NE(doc.find(std::string("](") + picture + ")", section), std::string::npos) << picture;
    }
}

TEST(CardErrorTable, DocumentedBuiltInDeckMatchesItsReads) {
    const std::string doc = ReadText(CARDS_DOC);
    const std::size_t section = doc.find("\n## The built-in deck\n");
    ASSERT_NE(section, std::string::npos);
    // Rows: | `name` (note) | iso1 | iso2 | jis2 |
    const std::regex row(R"(\| `([a-z0-9.-]+)`[^|]* \| ([a-z-]+) \| ([a-z-]+) \| ([a-z-]+) \|)");
    std::istringstream lines(doc.substr(section));
    std::string line;
    std::set<std::string> documented;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, row)) continue;
        const Card *card = FindCard(DefaultDeck(), m[1].str());
        ASSERT_NE(card, nullptr) << line;
        documented.insert(card->name);
        const CardRead read = ReadCard(*card);
        for (int t = 0; t < kTrackCount; ++t) EXPECT_EQ(TrackStatusName(read.tracks[t].status), m[t + 2].str()) << line;
    }
    EXPECT_EQ(documented.size(), DefaultDeck().size());
}

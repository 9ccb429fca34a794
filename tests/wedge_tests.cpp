// Keyboard-wedge text and swipe-time damage: the portable core alone. Every card made
// from a wedge line is read through the reader model, so these tests see what MCRRead
// would hand over.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "damage_kinds.h"
#include "deck.h"
#include "default_deck.h"
#include "wedge.h"

using namespace mcrsim;

namespace {

const char kIso1[] = "B4111111111111111^SAMPLE/JANE^4912101000000000000";
const char kIso2[] = "4111111111111111=49121010000000000000";
const char kJis2[] = "STRIPEWELL WEDGE 4111111111111111 ?%;";

CardRead ReadLine(const std::string &line) {
    const WedgeParse parse = ParseWedge(line);
    EXPECT_TRUE(parse.ok) << line << ": " << parse.error.ToString();
    return ReadCard(parse.card);
}

std::string DataOf(const TrackRead &track) {
    return std::string(track.bytes.begin(), track.bytes.begin() + static_cast<std::ptrdiff_t>(track.length));
}

void ExpectGood(const CardRead &read, Track track, const std::string &data) {
    EXPECT_EQ(read[track].status, kTrackGood) << FormatOf(track).name;
    EXPECT_EQ(DataOf(read[track]), data) << FormatOf(track).name;
}

}  // namespace

// --- Lines a wedge types ------------------------------------------------------------

TEST(WedgeParse, IsoSwipeReadsItsTwoTracksAndNoJis) {
    const std::string line = std::string("%") + kIso1 + "?;" + kIso2 + "?";
    const CardRead read = ReadLine(line);
    ExpectGood(read, Track::Iso1, kIso1);
    ExpectGood(read, Track::Iso2, kIso2);
    EXPECT_EQ(read[Track::Jis2].status, kErrNoData);
    // Line ends, and blanks outside the tracks, change nothing; blanks inside are data.
    for (const std::string &variant : {line + "\r\n", line + "\n", "  " + line + "\t ", std::string("%A B?  ;1?")}) {
        const WedgeParse parse = ParseWedge(variant);
        ASSERT_TRUE(parse.ok) << variant << ": " << parse.error.ToString();
        if (variant[2] == ' ') EXPECT_EQ(parse.card[Track::Iso1].data, "A B");
        else EXPECT_EQ(parse.card, ParseWedge(line).card) << variant;
    }
}

TEST(WedgeParse, JisTrackBetween7FSentinelsTypedRawOrEscaped) {
    const std::string raw = std::string("%") + kIso1 + "?\x7F" + kJis2 + "\x7F";
    const CardRead read = ReadLine(raw);
    ExpectGood(read, Track::Iso1, kIso1);
    EXPECT_EQ(read[Track::Iso2].status, kErrNoData);
    ExpectGood(read, Track::Jis2, kJis2);  // '?', '%' and ';' are JIS II data
    for (const std::string &escaped : {std::string("%") + kIso1 + "?\\x7F" + kJis2 + "\\x7F",
                                       std::string("%") + kIso1 + "?\\X7f" + kJis2 + "\x7F"})
        EXPECT_EQ(ParseWedge(escaped).card, ParseWedge(raw).card) << escaped;

    // All three tracks: JIS II after ISO2; the sentinels, not the order, name the tracks.
    const std::string three = std::string("%") + kIso1 + "?;" + kIso2 + "?\\x7F" + kJis2 + "\\x7F";
    const CardRead all = ReadLine(three);
    ExpectGood(all, Track::Iso1, kIso1);
    ExpectGood(all, Track::Iso2, kIso2);
    ExpectGood(all, Track::Jis2, kJis2);
    EXPECT_EQ(ParseWedge(std::string("\\x7F") + kJis2 + "\\x7F;" + kIso2 + "?%" + kIso1 + "?").card,
              ParseWedge(three).card);

    // Escapes give any JIS II byte, control codes and the backslash included.
    const CardRead codes = ReadLine("\\x7F\\x01A\\\\B\\x7E\\x7F");
    ExpectGood(codes, Track::Jis2, std::string("\x01" "A\\B\x7E"));
}

TEST(WedgeParse, BadTrackMarkerReadsAsParityAndEmptyTrackAsGood) {
    const CardRead bad = ReadLine("%E?;E?\\x7FE\\x7F");
    for (Track t : kTracks) {
        EXPECT_EQ(bad[t].status, kWedgeBadTrackStatus) << FormatOf(t).name;
        EXPECT_EQ(bad[t].length, 0u);
    }
    EXPECT_EQ(kWedgeBadTrackStatus, kErrParity);
    const CardRead mixed = ReadLine(std::string("%E?;") + kIso2 + "?");
    EXPECT_EQ(mixed[Track::Iso1].status, kErrParity);
    ExpectGood(mixed, Track::Iso2, kIso2);
    EXPECT_EQ(mixed[Track::Jis2].status, kErrNoData);

    // A track typed with nothing between its sentinels was recorded empty: it reads.
    const CardRead empty = ReadLine(";?");
    ExpectGood(empty, Track::Iso2, "");
    EXPECT_EQ(empty[Track::Iso1].status, kErrNoData);
}

TEST(WedgeParse, EachMistakeNamesItsColumnAndGivesNoCard) {
    struct Case {
        std::string line;
        std::size_t column;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"", 0, "the line is empty"},
        {" \t\r\n", 0, "the line is empty"},
        {"%B4111", 1, "iso1 track that starts here has no end sentinel '?'"},
        {"%A?;4111=49", 4, "iso2 track that starts here has no end sentinel '?'"},
        {"%A?\\x7FABC", 4, "jis2 track that starts here has no end sentinel 0x7F (type \\x7F)"},
        {"X%A?", 1, "unexpected 'X' (0x58) outside a track"},
        {"%A? ?", 5, "unexpected '?' (0x3F) outside a track"},
        {"%A?;12A4?", 7, "iso2 data: 'A' (0x41) is not a character of iso2 (0x30..0x3F)"},
        {"%b1?", 2, "iso1 data: 'b' (0x62) is not a character of iso1 (0x20..0x5F)"},
        {"%A\xC3\xA9?", 3, "iso1 data: 0xC3 is not a character of iso1"},
        {";1?;2?", 4, "a second iso2 track (the first starts at column 1); ISO track 3 is not read"},
        {"%A?%B?", 4, "a second iso1 track"},
        {"%A?;1?+123?", 7, "'+' starts ISO track 3"},
        {"%A?\\", 4, "a lone backslash ends the line"},
        {"%A\\q?", 3, "unknown escape \\q"},
        {"\\x7G", 1, "\\x must be followed by two hexadecimal digits"},
        {";" + std::string(43, '1') + "?", 1, "iso2 has 43 data characters; the stripe holds at most 42"},
        {"%" + std::string(kMaxWedgeLine, 'A') + "?", 0, "a swipe is at most 4096"},
    };
    for (const Case &c : cases) {
        const WedgeParse parse = ParseWedge(c.line);
        EXPECT_FALSE(parse.ok) << c.line;
        EXPECT_EQ(parse.error.column, c.column) << c.line << ": " << parse.error.message;
        EXPECT_NE(parse.error.message.find(c.says), std::string::npos) << c.line << ": " << parse.error.message;
        EXPECT_EQ(parse.card, Card()) << "no card for " << c.line;
    }
    EXPECT_EQ(ParseWedge("%b?").error.ToString(), "column 2: iso1 data: 'b' (0x62) is not a character of iso1 (0x20..0x5F)");
    EXPECT_EQ(ParseWedge("").error.ToString(), "the line is empty: no track to swipe");
}

// What a wedge types for every card of the built-in deck reads back through the
// reader as the deck card did: good tracks with the same bytes, missing tracks as
// no-data, failed ones as the wedge's bad-track status.
TEST(WedgeFormat, EveryDeckCardRoundTripsThroughTheReader) {
    for (const Card &card : DefaultDeck()) {
        const CardRead read = ReadCard(card);
        const std::string text = FormatWedge(read);
        for (char ch : text) EXPECT_TRUE(ch >= 0x20 && ch < 0x7F) << card.name << ": " << text;
        if (text.empty()) {
            EXPECT_EQ(card.name, "blank") << "only a card without any readable track types nothing";
            continue;
        }
        const CardRead again = ReadLine(text);
        for (Track t : kTracks) {
            const TrackRead &before = read[t], &after = again[t];
            SCOPED_TRACE(card.name + " " + FormatOf(t).name + ": " + text);
            if (before.status == kTrackGood) {
                EXPECT_EQ(after.status, kTrackGood);
                EXPECT_EQ(after.length, before.length);
                EXPECT_EQ(after.bytes, before.bytes);
            } else if (before.status == kErrNoData) {
                EXPECT_EQ(after.status, kErrNoData);
            } else {
                EXPECT_EQ(after.status, kWedgeBadTrackStatus);
            }
        }
    }
    CardRead codes;
    codes.tracks[2] = ReadLine("\\x7F\\x00\\\\\\x7F")[Track::Jis2];
    EXPECT_EQ(FormatWedge(codes), "\\x7F\\x00\\\\\\x7F");
}

// --- Damage chosen at swipe time ------------------------------------------------------

TEST(DamageKinds, EachKindGivesTheDecodersStatusOnTheChosenTrackOnly) {
    const Card &full = *FindCard(DefaultDeck(), "full");
    const std::pair<DamageKind, std::uint32_t> kinds[] = {
        {DamageKind::None, kTrackGood},          {DamageKind::FlippedBit, kErrParity},
        {DamageKind::LostStart, kErrNoStartSentinel}, {DamageKind::LostEnd, kErrNoEndSentinel},
        {DamageKind::Truncated, kErrTruncated},  {DamageKind::Reversed, kTrackGood},
    };
    for (const auto &[kind, status] : kinds) {
        for (Track hit : kTracks) {
            Card card = full;
            EXPECT_EQ(AddDamage(&card, kind, hit), kind == DamageKind::None ? 0 : 1);
            EXPECT_EQ(CheckCard(card), "");
            const CardRead read = ReadCard(card);
            for (Track t : kTracks)
                EXPECT_EQ(read[t].status, t == hit ? status : kTrackGood)
                    << static_cast<int>(kind) << " on " << FormatOf(hit).name << ", read " << FormatOf(t).name;
        }
        Card card = full;
        EXPECT_EQ(AddDamage(&card, kind, std::nullopt), kind == DamageKind::None ? 0 : 3);
        for (const TrackRead &track : ReadCard(card).tracks) EXPECT_EQ(track.status, status);
    }
    // The panel's and the tool's names are the deck file's words for the same damage.
    for (const DamageKindInfo &info : kDamageKinds) EXPECT_EQ(FindDamageKind(info.name), &info);
    EXPECT_EQ(FindDamageKind("melt"), nullptr);
}

TEST(DamageKinds, BlankStripesStayBlankAndEarlierDamageIsNotUndone) {
    Card noTrack1 = *FindCard(DefaultDeck(), "iso-no-track1");
    EXPECT_EQ(AddDamage(&noTrack1, DamageKind::FlippedBit, Track::Iso1), 0);
    EXPECT_EQ(noTrack1, *FindCard(DefaultDeck(), "iso-no-track1"));
    Card blank = *FindCard(DefaultDeck(), "blank");
    EXPECT_EQ(AddDamage(&blank, DamageKind::LostEnd, std::nullopt), 0);

    // The deck's parity card already has a flipped bit on ISO2: a second flip goes to
    // another character, so the track still fails instead of being mended.
    Card parity = *FindCard(DefaultDeck(), "err-parity");
    ASSERT_EQ(ReadCard(parity)[Track::Iso2].status, kErrParity);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(AddDamage(&parity, DamageKind::FlippedBit, Track::Iso2), 1);
        EXPECT_NE(ReadCard(parity)[Track::Iso2].status, kTrackGood) << "after " << i + 1 << " more flips";
    }
    // A flip on a track without data characters hits the end sentinel.
    Card empty = ParseWedge(";?").card;
    AddDamage(&empty, DamageKind::FlippedBit, Track::Iso2);
    EXPECT_EQ(ReadCard(empty)[Track::Iso2].status, kErrParity);
}

// --- The documentation ---------------------------------------------------------------

// docs/simulator.md shows the parser's messages by example: each row of its table of
// mistakes is what ParseWedge says for that line.
TEST(WedgeDocs, DocumentedMistakesAreWhatTheParserSays) {
    std::ifstream in(SIMULATOR_DOC, std::ios::binary);
    ASSERT_TRUE(in) << SIMULATOR_DOC;
    const std::regex row(R"(^\| (\*\(empty\)\*|`[^`]*`) \| `([^`]*)` \|\r?$)");
    int rows = 0;
    for (std::string text; std::getline(in, text);) {
        std::smatch m;
        if (!std::regex_match(text, m, row)) continue;
        const std::string line = m[1] == "*(empty)*" ? std::string() : m[1].str().substr(1, m[1].length() - 2);
        const WedgeParse parse = ParseWedge(line);
        EXPECT_FALSE(parse.ok) << line;
        EXPECT_EQ(parse.error.ToString(), m[2].str()) << "docs/simulator.md row for " << line;
        ++rows;
    }
    EXPECT_GE(rows, 8) << "the table of mistakes was not found";
}

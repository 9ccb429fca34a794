// The control tool's commands, run in this process against this process's own
// simulated reader (through its mailbox, as from another process): argument handling,
// what each command says in each reader state, and what reaches MCRRead.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "../mcrsim/client/find_window.h"
#include "../mcrsim/client/mailbox_client.h"
#include "../mcrsim/client/relay.h"
#include "../mcrsim/control/control.h"
#include "../mcrsim/core/damage_kinds.h"
#include "../mcrsim/core/deck.h"
#include "../mcrsim/core/default_deck.h"
#include "../mcrsim/core/trace_view.h"
#include "../mcrsim/core/wedge.h"
#include "../mcrsim/dll/simcard.h"
#include "../mcrsim/draw/trackstrip.h"
#include "../mcrsim/tool/scenario.h"
#include "../mcrsim/tool/tool.h"
#include "../mcrsim/text/utf8.h"
#include "../reader/mcrlib.h"
#include "../reader/reader.h"
#include "../res/resource.h"
#include "support/testsupport.h"
#include "../tools/capture/capture.h"

namespace {

using namespace mcrsim_control;
using mcrsim_text::Utf8;
using mcrsim_text::Wide;

// Standard input and output of one run, as lines.
class Captured : public mcrsim_tool::Io {
public:
    explicit Captured(std::vector<std::string> input = {}) : input_(std::move(input)) {}
    void Out(const std::string &line) override { out.push_back(line); }
    void Err(const std::string &line) override { err.push_back(line); }
    bool Utf8Output() const override { return utf8; }
    Read ReadLine(std::string *line) override {
        if (next_ >= input_.size()) return Read::End;
        *line = input_[next_++];
        return Read::Line;
    }
    std::string Text() const {
        std::string text;
        for (const auto &line : out) text += "out| " + line + "\n";
        for (const auto &line : err) text += "err| " + line + "\n";
        return text;
    }
    std::vector<std::string> out, err;
    bool utf8 = false;

private:
    std::vector<std::string> input_;
    size_t next_ = 0;
};

struct ToolRun {
    int code;
    Captured io;
};

ToolRun Tool(std::vector<std::string> args, std::vector<std::string> input = {}, bool utf8 = false) {
    ToolRun run{0, Captured(std::move(input))};
    run.io.utf8 = utf8;
    run.code = mcrsim_tool::Run(args, run.io);
    return run;
}

bool Has(const std::vector<std::string> &lines, const std::string &text) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string &line) { return line.find(text) != std::string::npos; });
}

const std::string kSelf = std::to_string(GetCurrentProcessId());

MCRSimState State() {
    MCRSimState state{};
    MCRSimGetState(&state);
    return state;
}

// What MCRRead hands the program for the card now in the slot, as the reader model's
// TrackReads.
mcrsim::CardRead ReadSlot() {
    BYTE iso1[MCR_ISO1_BYTES] = {}, iso2[MCR_ISO2_BYTES] = {}, jis2[MCR_JIS2_BYTES] = {};
    DWORD s1 = 0, s2 = 0, s3 = 0;
    EXPECT_EQ(MCRRead(jis2, iso1, iso2, nullptr, &s3, &s1, &s2, nullptr), 1);
    mcrsim::CardRead read;
    const BYTE *buffers[] = {iso1, iso2, jis2};
    const DWORD statuses[] = {s1, s2, s3}, sizes[] = {MCR_ISO1_BYTES, MCR_ISO2_BYTES, MCR_JIS2_BYTES};
    for (int t = 0; t < 3; ++t) {
        read.tracks[t].status = statuses[t];
        std::copy(buffers[t], buffers[t] + sizes[t], read.tracks[t].bytes.begin());
        read.tracks[t].length = static_cast<size_t>(std::find(buffers[t], buffers[t] + sizes[t], 0) - buffers[t]);
    }
    return read;
}

// Compares what MCRRead handed over with what the reader model reads for the card.
void ExpectSlotHolds(const mcrsim::CardRead &expected) {
    const mcrsim::CardRead got = ReadSlot();
    for (mcrsim::Track t : mcrsim::kTracks) {
        EXPECT_EQ(got[t].status, expected[t].status) << mcrsim::FormatOf(t).name;
        EXPECT_EQ(got[t].bytes, expected[t].bytes) << mcrsim::FormatOf(t).name;
    }
}

// The reader as the card test dialog leaves it: open, notifying, with the program's
// named events. Under the desktop tests' lock no program of this prefix waits on them.
class ReadyReader {
public:
    ReadyReader() {
        MCRSimReset();
        reading_ = CreateEventW(nullptr, FALSE, FALSE, MCR_READING_EVENT_NAME);
        apo_ = CreateEventW(nullptr, FALSE, FALSE, MCR_APO_EVENT_NAME);
        MCROpen(nullptr);
        MCRSetEventNotification(1);
    }
    ~ReadyReader() {
        MCRSimReset();
        CloseHandle(reading_);
        CloseHandle(apo_);
    }
    bool Swiped() { return WaitForSingleObject(reading_, 0) == WAIT_OBJECT_0; }
    bool ToldPowerOff() { return WaitForSingleObject(apo_, 0) == WAIT_OBJECT_0; }

private:
    HANDLE reading_, apo_;
};

std::string WriteTempDeck(const std::string &text) {
    wchar_t dir[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"dck", 0, path);
    const std::string file = Utf8(path);
    std::ofstream(file, std::ios::binary) << text;
    return file;
}

}  // namespace

// --- The command line ------------------------------------------------------------------

TEST(MCRSimToolArgs, UsageErrorsSayWhatIsWrongAndExitTwo) {
    MCRSimReset();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "a command is needed"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"swipe"}, "'swipe' needs the name of a card"},
        {{"swipe", "full", "iso"}, "'swipe' does not take 'iso'"},
        {{"show"}, "'show' needs the name of a card"},
        {{"show", "full", "--pid", "4"}, "'show' takes no --pid"},
        {{"show", "full", "--damage", "flip", "--track", "iso4"}, "unknown track 'iso4'"},
        {{"status", "extra"}, "'status' does not take 'extra'"},
        {{"status", "--pid"}, "--pid needs a value"},
        {{"status", "--pid", "abc"}, "--pid needs a process id (a number above 0), not 'abc'"},
        {{"apo", "--pid=0"}, "--pid needs a process id"},
        {{"status", "--pid", "1", "--pid", "2"}, "--pid is given twice"},
        {{"list", "--pid", "4"}, "'list' takes no --pid"},
        {{"apo", "--deck", "x.deck"}, "'apo' takes no --deck"},
        {{"wedge", "--damage", "flip"}, "'wedge' takes no --damage or --track"},
        {{"list", "--deck", "a", "--deck=b"}, "--deck is given twice"},
        {{"swipe", "full", "--track", "iso1"}, "--track goes with --damage"},
        {{"swipe", "full", "--damage", "melt"}, "unknown damage 'melt' (expected none, flip, lose-start"},
        {{"swipe", "full", "--damage", "flip", "--track", "iso3"}, "unknown track 'iso3' (expected iso1, iso2, jis2 or all)"},
        {{"status", "--verbose"}, "unknown option '--verbose'"},
        {{"status", "-v"}, "unknown option '-v'"},
        {{"status", "--check"}, "'status' takes no --check"},
        {{"check"}, "'check' needs the name of a card"},
        {{"run"}, "'run' needs a scenario file"},
        {{"run", "a.scenario", "--deck", "x.deck"}, "'run' takes no --deck"},
        {{"status", "--junit", "r.xml"}, "'status' takes no --junit"},
    };
    for (const auto &[args, says] : cases) {
        const ToolRun run = Tool(args);
        std::string command;
        for (const auto &arg : args) command += arg + " ";
        EXPECT_EQ(run.code, kExitUsage) << command << "\n" << run.io.Text();
        ASSERT_FALSE(run.io.err.empty()) << command;
        EXPECT_EQ(run.io.err[0].rfind("mcrsim: ", 0), 0u) << command;
        EXPECT_NE(run.io.err[0].find(says), std::string::npos) << command << "\n" << run.io.Text();
        EXPECT_TRUE(Has(run.io.err, "usage: mcrsim COMMAND")) << command;
        EXPECT_TRUE(run.io.out.empty()) << command;
    }
    EXPECT_EQ(State().dwSwipes, 0u) << "no usage error swipes";

    for (const std::vector<std::string> &help : {std::vector<std::string>{"help"}, {"--help"}, {"swipe", "--help"}}) {
        const ToolRun run = Tool(help);
        EXPECT_EQ(run.code, kExitOk) << help[0];
        EXPECT_TRUE(Has(run.io.out, "usage: mcrsim COMMAND")) << help[0];
        EXPECT_TRUE(run.io.err.empty());
    }
}

// --- list ------------------------------------------------------------------------------

TEST(MCRSimToolList, EveryCardWithWhatEachTrackReadsAs) {
    const ToolRun run = Tool({"list"});
    ASSERT_EQ(run.code, kExitOk) << run.io.Text();
    const auto &deck = mcrsim::DefaultDeck();
    ASSERT_EQ(run.io.out.size(), 1 + 4 * deck.size()) << "a title line and three track lines a card";
    EXPECT_EQ(run.io.out[0], "Built-in deck: " + std::to_string(deck.size()) + " cards");
    EXPECT_EQ(run.io.out[1], "full  " + deck[0].title);
    EXPECT_EQ(run.io.out[2], "  iso1  good  \"B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000\"");
    EXPECT_TRUE(Has(run.io.out, "  iso2  Error:12 (parity)")) << "the parity card, as the dialog shows it";
    EXPECT_TRUE(Has(run.io.out, "  iso1  Error:13 (too-long)"));
    EXPECT_TRUE(Has(run.io.out, "  jis2  Error:10 (no-data)"));
}

TEST(MCRSimToolList, DeckFilesLoadWholeOrNotAtAll) {
    const std::string good = WriteTempDeck("card shop Shop card\n  iso2 \"4111111111111111=4912\"\n  damage iso2 lose-end\n");
    const ToolRun run = Tool({"list", "--deck", good});
    EXPECT_EQ(run.code, kExitOk) << run.io.Text();
    EXPECT_EQ(run.io.out, (std::vector<std::string>{"Deck " + good + ": 1 card", "shop  Shop card", "  iso1  Error:10 (no-data)",
                                                    "  iso2  Error:14 (no-end)", "  jis2  Error:10 (no-data)"}));

    const std::string typo = std::string(CARD_TEST_DATA) + "/typo.deck";
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"list", "--deck", typo}, {"swipe", "one", "--deck", typo, "--pid", kSelf}}) {
        const ToolRun bad = Tool(args);
        EXPECT_EQ(bad.code, kExitInput) << bad.io.Text();
        EXPECT_TRUE(bad.io.out.empty()) << "nothing of the file is listed";
        ASSERT_FALSE(bad.io.err.empty());
        EXPECT_EQ(bad.io.err[0], typo + ":7: unknown damage 'flipp' (expected flip, lose-start, lose-end, reversed or truncate)");
    }
    const ToolRun missing = Tool({"list", "--deck", good + ".gone"});
    EXPECT_EQ(missing.code, kExitInput);
    // (Under Wine without a UTF-8 locale a word on the locale follows.)
    EXPECT_EQ(missing.io.err.at(0).rfind(good + ".gone: cannot open the file", 0), 0u) << missing.io.Text();
    DeleteFileW(Wide(good).c_str());
}

// --- run: scenario files -------------------------------------------------------------

namespace {

// A folder of this test's own under the temporary folder, removed with what it holds.
class Scratch {
public:
    Scratch() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        dir_ = std::filesystem::path(temp) / (L"mcrsim-run-" + std::to_wstring(GetCurrentProcessId()));
        std::filesystem::create_directories(dir_);
    }
    ~Scratch() { std::filesystem::remove_all(dir_); }
    // Writes name (UTF-8) with text; its path, in UTF-8.
    std::string Write(const std::string &name, const std::string &text) const {
        const std::filesystem::path path = dir_ / std::filesystem::u8path(name);
        std::ofstream(path, std::ios::binary) << text;
        return Path(name);
    }
    std::string Path(const std::string &name) const { return (dir_ / std::filesystem::u8path(name)).u8string(); }

private:
    std::filesystem::path dir_;
};

}  // namespace

// Every file is parsed whole, decks included, before anything runs: the first mistake
// is FILE:LINE and why (or FILE and why), exit 2, and nothing reaches the reader.
TEST(MCRSimToolRun, ScenariosThatDoNotParseAreRefusedWithTheirLineBeforeAnythingRuns) {
    MCRSimReset();
    const Scratch scratch;
    const std::string deck = scratch.Write("shop.deck", "card shop Shop card\n  iso2 \"4111111111111111=4912\"\n");
    const std::string typo = std::string(CARD_TEST_DATA) + "/typo.deck";
    const struct {
        std::string text;
        int line;  // 0: the file as a whole
        std::string says;
    } cases[] = {
        {"open\n  frobnicate now\n", 2, "unknown step 'frobnicate' (expected test, open, swipe, expect, clear, apo, "
                                         "power-off, close, deck or wait)"},
        {"# no card\nswipe\n", 2, "swipe needs the name of a card"},
        {"open now # a comment\n", 1, "'open' takes nothing more; 'now' is too much"},
        {"swipe full err-parity\n", 1, "swipe takes one card; 'err-parity' is too much"},
        {"swipe nosuch\n", 1, "no card 'nosuch' in the built-in deck (mcrsim list shows its cards)"},
        // The deck in force at each line: its cards after `deck`, and only those.
        {"swipe shop\n", 1, "no card 'shop' in the built-in deck"},
        {"deck shop.deck\nswipe shop\nswipe full\n", 3, "no card 'full' in deck " + deck},
        {"deck " + typo + "\n", 1, "the deck was not loaded: " + typo + ":7: unknown damage 'flipp'"},
        {"swipe full --damage melt\n", 1, "unknown damage 'melt' (expected none, flip, lose-start"},
        {"swipe full --damage flip --track iso3\n", 1, "unknown track 'iso3' (expected iso1, iso2, jis2 or all)"},
        {"swipe full --track iso1\n", 1, "--track goes with --damage"},
        {"swipe full --damage\n", 1, "--damage needs a value"},
        {"swipe blank --damage flip\n", 1, "card 'blank' has no tracks to damage"},
        {"expect iso2\n", 1, "expect needs a field and the text it shows"},
        {"expect iso4 Error:12\n", 1, "unknown field 'iso4' (expected iso1, iso2 or jis2)"},
        {"apo sideways\n", 1, "apo takes on or off"},
        {"wait 60001\n", 1, "wait takes milliseconds, 0 to 60000, not 60001"},
        {"wait soon\n", 1, "wait takes milliseconds, 0 to 60000, not 'soon'"},
        {"test one\nopen\ntest one\n", 3, "a second test named 'one'"},
        {"test\n", 1, "test needs a name"},
        {"open\ntest \xFF\xFE\n", 2, "the line is not UTF-8 text"},
        // A line over the cap is refused, even a comment; a last line without an end is read.
        {"open\n#" + std::string(mcrsim_scenario::kMaxLineBytes, 'x') + "\nswipe full\n", 2,
         "the line is longer than 1024 bytes"},
        {"open\r\nclose\r\nswipe nosuch", 3, "no card 'nosuch'"},
        {std::string(3 << 20, '#'), 0, "the file is larger than 1048576 bytes"},
    };
    for (const auto &c : cases) {
        const std::string file = scratch.Write("bad.scenario", c.text);
        const ToolRun run = Tool({"run", file});
        const std::string where = c.line > 0 ? file + ":" + std::to_string(c.line) + ": " : file + ": ";
        EXPECT_EQ(run.code, kExitUsage) << c.says << "\n" << run.io.Text();
        ASSERT_EQ(run.io.err.size(), 2u) << run.io.Text();
        EXPECT_EQ(run.io.err[0].substr(0, where.size() + c.says.size()), where + c.says) << run.io.Text();
        EXPECT_EQ(run.io.err[1], "mcrsim: the scenario does not parse; nothing was run.");
        EXPECT_TRUE(run.io.out.empty());
    }

    // Files Windows would not read as files, or that are not there: named, refused at once.
    const std::string good = scratch.Write("good.scenario", "open\nclose");
    const std::string japanese = scratch.Write(u8"カード-Größe \U0001F0CF.scenario", "open\n\nswipe nosuch\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> files = {
        {{"run", good, scratch.Path("aux.scenario")},
         scratch.Path("aux.scenario") + ": Windows opens this name as the device AUX, not as a file (in any folder, with "
                                        "any extension): give the scenario another name"},
        {{"run", "com1.scenario"}, "com1.scenario: Windows opens this name as the device COM1"},
        {{"run", scratch.Path("gone.scenario")}, scratch.Path("gone.scenario") + ": cannot open the file"},
        {{"run", CARD_TEST_DATA}, std::string(CARD_TEST_DATA) + ": a folder, not a scenario file"},
        {{"run", good, japanese}, japanese + ":3: no card 'nosuch' in the built-in deck"},
    };
    for (const auto &[args, says] : files) {
        const DWORD start = GetTickCount();
        const ToolRun run = Tool(args);
        EXPECT_LT(GetTickCount() - start, 2000u) << "a device is not read";
        EXPECT_EQ(run.code, kExitUsage) << run.io.Text();
        ASSERT_FALSE(run.io.err.empty());
        EXPECT_EQ(run.io.err[0].substr(0, says.size()), says) << run.io.Text();
    }
    EXPECT_EQ(State().dwSwipes, 0u) << "nothing of a file that does not parse runs";
}

// A report is written only where it cannot cost anyone a file, and that is checked
// before anything runs; with nothing to run against, there is no report at all.
TEST(MCRSimToolRun, AReportPathThatIsNotOursIsRefusedUntouchedBeforeAnythingRuns) {
    ASSERT_EQ(window_search::FindStripewell(), 0u);
    const Scratch scratch;
    const std::string scenario = scratch.Write("smoke.scenario", "test one\nopen\n");
    const std::string notes = scratch.Write("notes.xml", "<notes>a person's</notes>\n");
    CreateDirectoryW(Wide(scratch.Path("reports")).c_str(), nullptr);
    const std::vector<std::pair<std::string, std::string>> refused = {
        {notes, notes + ": the file there is not a report of mcrsim run; it is left as it is"},
        {scratch.Path("reports"), scratch.Path("reports") + ": a folder, not a report file"},
        {scratch.Path("missing/report.xml"), scratch.Path("missing/report.xml") + ": its folder " +
                                                 scratch.Path("missing/") + " does not exist"},
        {scratch.Path("nul.xml"), scratch.Path("nul.xml") + ": Windows opens this name as the device NUL"},
    };
    for (const auto &[report, says] : refused) {
        const ToolRun run = Tool({"run", scenario, "--junit", report});
        EXPECT_EQ(run.code, kExitUsage) << run.io.Text();
        ASSERT_EQ(run.io.err.size(), 1u) << run.io.Text();
        EXPECT_EQ(run.io.err[0].rfind("mcrsim: " + says, 0), 0u) << run.io.Text();
        EXPECT_NE(run.io.err[0].find("; nothing was run."), std::string::npos);
    }
    std::ifstream kept(std::filesystem::u8path(notes));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "<notes>a person's</notes>\n");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(scratch.Path("missing"))));

    const std::string report = scratch.Path("report.xml");
    const ToolRun none = Tool({"run", scenario, "--junit", report});
    EXPECT_EQ(none.code, kExitNoStripewell) << none.io.Text();
    EXPECT_EQ(none.io.err, std::vector<std::string>{NoStripewellMessage()});
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(report)));
    const ToolRun gone = Tool({"run", scenario, "--pid", "2"});
    EXPECT_EQ(gone.code, kExitNoStripewell) << gone.io.Text();
}

// --- show -------------------------------------------------------------------------------

namespace {

// The lines of one track's part of `mcrsim show`: from its status line to the blank line.
std::vector<std::string> TrackPart(const std::vector<std::string> &out, const std::string &track) {
    auto first = std::find_if(out.begin(), out.end(), [&](const std::string &l) { return l.rfind(track + "  ", 0) == 0; });
    return {first, std::find(first, out.end(), std::string())};
}

}  // namespace

TEST(MCRSimToolShow, MarksTheFlippedBitAndTheStopAndNeedsNoReader) {
    ASSERT_EQ(window_search::FindStripewell(), 0u);
    const ToolRun clean = Tool({"show", "full"});
    const ToolRun flipped = Tool({"show", "full", "--damage", "flip", "--track", "iso2"});
    ASSERT_EQ(flipped.code, kExitOk) << flipped.io.Text();
    EXPECT_TRUE(flipped.io.err.empty());
    EXPECT_EQ(flipped.io.out[0], "Card 'full' with flip on iso2: " + mcrsim::DefaultDeck()[0].title);
    const std::vector<std::string> before = TrackPart(clean.io.out, "iso2"), after = TrackPart(flipped.io.out, "iso2");
    ASSERT_GE(after.size(), 3u) << flipped.io.Text();
    EXPECT_EQ(after[0], "iso2  Error:12 (parity), read forward (backward: no-start)");
    EXPECT_EQ(after[1], "  data character 19, '8' (0x38) (bits 119..123), fails its parity.");
    EXPECT_EQ(TrackPart(clean.io.out, "iso1"), TrackPart(flipped.io.out, "iso1")) << "the other tracks as they were";

    // The one bit that differs from the clean card's is marked under it, the rest of its
    // character as the one that stopped the read, and the stop follows it.
    // Rows of bits begin with the number of their first bit; the marks are below them.
    auto bitRows = [](const std::vector<std::string> &part) {
        std::map<std::string, size_t> rows;
        for (size_t i = 2; i < part.size(); ++i)
            if (part[i].size() > 7 && part[i][5] >= '0' && part[i][5] <= '9') rows[part[i].substr(0, 7)] = i;
        return rows;
    };
    const auto beforeRows = bitRows(before);
    int differing = 0;
    for (const auto &[number, i] : bitRows(after)) {
        ASSERT_EQ(beforeRows.count(number), 1u) << number;
        const std::string &was = before[beforeRows.at(number)], &is = after[i];
        for (size_t col = 7; col < is.size() && col < was.size(); ++col) {
            if (is[col] == was[col] || (is[col] != '0' && is[col] != '1')) continue;
            ++differing;
            ASSERT_LT(i + 1, after.size());
            EXPECT_EQ(after[i + 1].substr(col, 5), "^!!!!") << is << "\n" << after[i + 1];
            EXPECT_EQ(is.substr(col - 1, 7), " 00011|") << "'9' (10011) with its lowest bit turned over";
        }
    }
    EXPECT_EQ(differing, 1) << flipped.io.Text();

    // The same in UTF-8; plain ASCII otherwise.
    const ToolRun utf8 = Tool({"show", "full", "--damage", "flip", "--track", "iso2"}, {}, true);
    EXPECT_TRUE(Has(utf8.io.out, "\u2191\u2717\u2717\u2717\u2717")) << utf8.io.Text();
    EXPECT_TRUE(Has(utf8.io.out, " 00011\u2503")) << utf8.io.Text();
    for (const std::string &line : flipped.io.out)
        EXPECT_TRUE(std::all_of(line.begin(), line.end(), [](char ch) { return ch > 0 && ch < 0x7F; })) << line;

    const ToolRun missing = Tool({"show", "nosuch"});
    EXPECT_EQ(missing.code, kExitInput);
    EXPECT_TRUE(Has(missing.io.err, "no card 'nosuch' in the built-in deck (mcrsim list shows its cards); nothing to show."));
    const ToolRun blank = Tool({"show", "blank", "--damage", "truncate"});
    EXPECT_EQ(blank.code, kExitInput);
    EXPECT_TRUE(blank.io.out.empty());
}

// --- The track strip the panel and the docs draw ---------------------------------------

TEST(TrackStrip, ColoursFramesAndMarksSitWhereTheLayoutPutsThem) {
    using namespace trackstrip;
    const Style style;
    auto draw = [&](const char *card, mcrsim::Track track, Layout *layout) {
        const mcrsim::TrackView view = mcrsim::ViewTrack(*mcrsim::FindCard(mcrsim::DefaultDeck(), card), track);
        HDC screen = GetDC(nullptr);
        *layout = LayOut(screen, view, 400, style);
        ReleaseDC(nullptr, screen);
        return screen_capture::Paint(400, layout->height, [&](HDC dc) { Draw(dc, 0, 0, view, *layout, style); });
    };
    // Mid-height of a bit's box: its bar for a 1, the cell's colour for a 0; the last
    // column of every bit shows the cell's colour.
    auto mid = [](const RECT &box) { return (box.top + box.bottom) / 2; };

    // err-parity's ISO2: bit 5 of the recording (swipe bit 29) turned '3' into '2'.
    Layout layout;
    screen_capture::Picture pic = draw("err-parity", mcrsim::Track::Iso2, &layout);
    const RECT zero = layout.BitBox(0), start0 = layout.BitBox(24), start2 = layout.BitBox(26), flipped = layout.BitBox(29);
    ASSERT_GT(flipped.right, 0);
    EXPECT_EQ(pic.At(zero.right - 1, mid(zero)), RoleColour(mcrsim::CharRole::Clocking));
    EXPECT_EQ(pic.At(start0.right - 1, mid(start0)), RoleColour(mcrsim::CharRole::Start));
    EXPECT_EQ(pic.At(start0.left, mid(start0)), kBitColour) << "the start sentinel's first bit is a 1";
    EXPECT_EQ(pic.At(start2.left, mid(start2)), RoleColour(mcrsim::CharRole::Start)) << "its third is a 0";
    EXPECT_EQ(pic.At(flipped.right - 1, mid(flipped)), RoleColour(mcrsim::CharRole::Data));
    EXPECT_EQ(pic.At(flipped.left, flipped.bottom - 1), kFlippedColour) << "the flipped bit";
    EXPECT_EQ(pic.At(flipped.left - 1, mid(flipped)), kDecidedColour) << "the frame of the character that stopped the read";
    const RECT after = layout.BitBox(34);
    EXPECT_EQ(pic.At(after.right - 1, mid(after)), kUnreadColour) << "what follows was not read";
    // The stop mark stands between the failed character and the next.
    EXPECT_GE(layout.stop.left, layout.BitBox(33).right);
    EXPECT_LE(layout.stop.right, after.left);
    EXPECT_EQ(pic.At(layout.stop.left, mid(after)), kStopColour);

    // err-no-end's JIS2: the worn-off end sentinel and LRC, with the stop where they begin.
    pic = draw("err-no-end", mcrsim::Track::Jis2, &layout);
    const std::size_t endSentinel = mcrsim::kClockingBits + 70 * 8;
    const RECT worn = layout.BitBox(endSentinel);
    ASSERT_GT(worn.right, 0);
    EXPECT_EQ(pic.At(worn.right - 1, mid(worn)), kErasedColour);
    EXPECT_EQ(pic.At(layout.stop.left, mid(worn)), kStopColour);
    EXPECT_LE(layout.stop.right, worn.left);
    EXPECT_GE(layout.stop.left, layout.BitBox(endSentinel - 1).right);
    EXPECT_EQ(pic.At(layout.BitBox(endSentinel - 1).right - 1, mid(worn)), RoleColour(mcrsim::CharRole::Data));
    EXPECT_EQ(screen_capture::CountColour(pic, kDecidedColour), 0u) << "no character stopped this read";
}

// --- The reader: status, swipe, apo ----------------------------------------------------

TEST(MCRSimToolReader, NoStripewellOrNoReaderIsSaidPlainly) {
    ASSERT_EQ(window_search::FindStripewell(), 0u) << "no Stripewell may run beside these tests";
    for (const std::vector<std::string> &args : {std::vector<std::string>{"status"}, {"swipe", "full"}, {"apo"}, {"wedge"}}) {
        const ToolRun run = Tool(args, {"%A?"});
        EXPECT_EQ(run.code, kExitNoStripewell) << args[0];
        EXPECT_EQ(run.io.err, std::vector<std::string>{NoStripewellMessage()}) << args[0];
        EXPECT_TRUE(run.io.out.empty());
    }
    // A process without the simulated library (ids are multiples of 4; 2 never exists).
    const ToolRun stranger = Tool({"status", "--pid", "2"});
    EXPECT_EQ(stranger.code, kExitNoStripewell);
    EXPECT_TRUE(Has(stranger.io.err, "Cannot reach the card reader: process 2 has no simulated card reader loaded"))
        << stranger.io.Text();
}

TEST(MCRSimToolReader, SaysWhyTheReaderCannotTakeACardAndSwipesNothing) {
    ReadyReader reader;
    MCRClose();
    ToolRun run = Tool({"status", "--pid", kSelf});
    EXPECT_EQ(run.code, kExitNotReady);
    EXPECT_TRUE(Has(run.io.out, "reader: closed"));
    EXPECT_TRUE(Has(run.io.out, "not ready: Stripewell's card reader is closed: open the card test dialog")) << run.io.Text();
    for (const char *command : {"swipe", "apo"}) {
        run = command == std::string("swipe") ? Tool({"swipe", "full", "--pid", kSelf}) : Tool({"apo", "--pid", kSelf});
        EXPECT_EQ(run.code, kExitNotReady) << command;
        EXPECT_TRUE(Has(run.io.err, "card reader is closed: open the card test dialog")) << run.io.Text();
    }

    MCROpen(nullptr);
    MCRSetEventNotification(0);
    run = Tool({"swipe", "full", "--pid", kSelf});
    EXPECT_EQ(run.code, kExitNotReady);
    EXPECT_TRUE(Has(run.io.err, "Not swiped: Stripewell's card reader does not notify")) << run.io.Text();

    MCRSetEventNotification(1);
    MCRSimPowerOff();
    reader.ToldPowerOff();
    run = Tool({"swipe", "full", "--pid", kSelf});
    EXPECT_EQ(run.code, kExitNotReady);
    EXPECT_TRUE(Has(run.io.err, "card reader is powered off: move the mouse over the card test dialog")) << run.io.Text();
    run = Tool({"apo", "--pid", kSelf});
    EXPECT_EQ(run.code, kExitNotReady);
    EXPECT_TRUE(Has(run.io.err, "already powered off")) << run.io.Text();
    EXPECT_FALSE(reader.ToldPowerOff()) << "an idle reader is not powered off twice";
    run = Tool({"status", "--pid", kSelf});
    EXPECT_EQ(run.code, kExitNotReady);
    EXPECT_TRUE(Has(run.io.out, "powered: no (powered off)"));

    EXPECT_EQ(State().dwSwipes, 0u);
    EXPECT_FALSE(reader.Swiped()) << "the program was never told of a card";
}

TEST(MCRSimToolReader, SwipeStatusAndApoReachTheReader) {
    ReadyReader reader;
    const mcrsim::Card &full = *mcrsim::FindCard(mcrsim::DefaultDeck(), "full");
    ToolRun run = Tool({"swipe", "full", "--pid", kSelf});
    ASSERT_EQ(run.code, kExitOk) << run.io.Text();
    EXPECT_EQ(run.io.out, std::vector<std::string>{"Swiped 'full': " + ReadSummary(mcrsim::ReadCard(full)) + "."});
    EXPECT_NE(run.io.out[0].find("iso1 good (57 characters), iso2 good (37 characters), jis2 good (69 characters)"),
              std::string::npos);
    EXPECT_TRUE(reader.Swiped());
    ExpectSlotHolds(mcrsim::ReadCard(full));

    // Damage chosen on the command line goes through the decoder like a deck's.
    run = Tool({"swipe", "full", "--pid", kSelf, "--damage", "lose-end", "--track", "iso2"});
    ASSERT_EQ(run.code, kExitOk) << run.io.Text();
    EXPECT_NE(run.io.out.at(0).find("Swiped 'full' with lose-end on iso2: iso1 good (57 characters), iso2 Error:14 (no-end)"),
              std::string::npos)
        << run.io.Text();
    mcrsim::Card worn = full;
    mcrsim::AddDamage(&worn, mcrsim::DamageKind::LostEnd, mcrsim::Track::Iso2);
    ExpectSlotHolds(mcrsim::ReadCard(worn));
    run = Tool({"swipe", "err-lrc", "--pid", kSelf, "--damage=flip"});
    ASSERT_EQ(run.code, kExitOk) << run.io.Text();
    EXPECT_TRUE(Has(run.io.out, "Swiped 'err-lrc' with flip on every track: iso1 Error:12 (parity), iso2 Error:12 (parity)"));
    ReadSlot();

    // Cards that are not there, or damage that has nothing to hit, swipe nothing.
    const DWORD swipes = State().dwSwipes;
    run = Tool({"swipe", "nosuch", "--pid", kSelf});
    EXPECT_EQ(run.code, kExitInput);
    EXPECT_TRUE(Has(run.io.err, "no card 'nosuch' in the built-in deck (mcrsim list shows its cards)"));
    run = Tool({"swipe", "iso-no-track1", "--pid", kSelf, "--damage", "flip", "--track", "iso1"});
    EXPECT_EQ(run.code, kExitInput);
    EXPECT_TRUE(Has(run.io.err, "card 'iso-no-track1' has no iso1 track to damage")) << run.io.Text();
    // Nor does a read no reader makes: the library refuses it at the mailbox.
    mcrsim::CardRead forged = mcrsim::ReadCard(full);
    forged.tracks[1].status = 0x42;
    const Outcome refused = Connection(GetCurrentProcessId()).Swipe(forged, "a forged card");
    EXPECT_EQ(refused.code, kExitInput);
    EXPECT_EQ(refused.message, "Not swiped: the reader refused the card: iso2 has status 0x42, neither good (1) nor an "
                               "error code of the reader.");
    EXPECT_EQ(State().dwSwipes, swipes);

    MCRSetAutoPowerOff(30);
    run = Tool({"status", "--pid", kSelf});
    EXPECT_EQ(run.code, kExitOk) << run.io.Text();
    const std::vector<std::string> expected = {"Stripewell: process " + kSelf, "reader: open", "powered: yes",
                                               "notification: on", "auto power-off: 30 s", "card waiting: no",
                                               "swipes: 3", "reads: 3", "power-offs: 0", "ready for cards"};
    EXPECT_EQ(run.io.out, expected);

    run = Tool({"apo", "--pid", kSelf});
    EXPECT_EQ(run.code, kExitOk) << run.io.Text();
    EXPECT_TRUE(Has(run.io.out, "Powered the reader off: Stripewell was told"));
    EXPECT_TRUE(reader.ToldPowerOff());
    EXPECT_FALSE(State().fPowered);
}

// --- wedge -----------------------------------------------------------------------------

TEST(MCRSimToolWedge, EachLineSwipesOrSaysWhyNothingWasSwiped) {
    ReadyReader reader;
    const std::string iso = "%B4111111111111111^SAMPLE/JANE^4912101?;4111111111111111=4912101?";
    const std::string jis = "%E?\\x7FSTRIPEWELL WEDGE\\x7F";
    ToolRun run = Tool({"wedge", "--pid", kSelf}, {iso, "%B4111", "", "   ", ";41A1?", jis});
    EXPECT_EQ(run.code, kExitInput) << run.io.Text();
    EXPECT_EQ(run.io.out,
              (std::vector<std::string>{"line 1: Swiped the wedge line: " + ReadSummary(mcrsim::ReadCard(mcrsim::ParseWedge(iso).card)) + ".",
                                        "line 6: Swiped the wedge line: iso1 Error:12 (parity), iso2 Error:10 (no-data), "
                                        "jis2 good (16 characters)."}))
        << run.io.Text();
    EXPECT_EQ(run.io.err, (std::vector<std::string>{
                              "line 2: column 1: the iso1 track that starts here has no end sentinel '?'; nothing swiped.",
                              "line 5: column 4: iso2 data: 'A' (0x41) is not a character of iso2 (0x30..0x3F); nothing swiped."}));
    EXPECT_EQ(State().dwSwipes, 2u) << "blank lines are skipped, bad ones swipe nothing";
    ExpectSlotHolds(mcrsim::ReadCard(mcrsim::ParseWedge(jis).card));
    EXPECT_FALSE(Has(run.io.out, "4111")) << "the tool repeats no card data of a wedge swipe";

    // A closed reader loses the swipe; the tool says so and goes on with the next line.
    MCRClose();
    run = Tool({"wedge", "--pid", kSelf}, {iso, iso});
    EXPECT_EQ(run.code, kExitNotReady);
    ASSERT_EQ(run.io.err.size(), 2u) << run.io.Text();
    EXPECT_EQ(run.io.err[1].rfind("line 2: Not swiped: Stripewell's card reader is closed", 0), 0u) << run.io.Text();
}

// --- The card test dialog read back: swipe --check, check, and the relay ---------------

// This process as Stripewell: the card test dialog of the real template, its fields
// written by the program's own reader workers.
class MCRSimToolCheck : public testing_support::InertCardDialogTest {
protected:
    void SetUp() override {
        InertCardDialogTest::SetUp();
        ASSERT_EQ(ReaderOpen(dialog_), TRUE);
        StartReaderWorkers();
        testing_support::TrackWorkers();
        MCRSetEventNotification(1);
    }
};

// After the program writes the field, writes it again with its fourth character
// changed, as a program that shows the wrong text would.
LRESULT CALLBACK SpoilField(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    const LRESULT result = DefSubclassProc(edit, msg, wParam, lParam);
    if (msg == WM_SETTEXT && lParam != 0) {
        std::wstring text = reinterpret_cast<const wchar_t *>(lParam);
        if (text.size() > 3) {
            text[3] = text[3] == L'4' ? L'5' : L'4';
            DefSubclassProc(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
    }
    return result;
}

TEST_F(MCRSimToolCheck, SwipeCheckComparesTheFieldsWithTheReadAndExitsFiveOnADifference) {
    const std::string iso1 = "  iso1 shows \"B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000\"";
    const std::string jis2 = "  jis2 shows \"STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000\"";
    ToolRun run = Tool({"swipe", "err-parity", "--check", "--pid", kSelf});
    EXPECT_EQ(run.code, kExitOk) << run.io.Text();
    EXPECT_EQ(run.io.out, (std::vector<std::string>{run.io.out.at(0), "Stripewell shows what the reader read.", iso1,
                                                    "  iso2 shows Error:12 (parity)", jis2}));

    // A field set wrong after the swipe, every time the program writes it.
    SetWindowSubclass(GetDlgItem(dialog_, IDC_ISO1), SpoilField, 7, 0);
    run = Tool({"swipe", "full", "--check", "--pid", kSelf});
    EXPECT_EQ(run.code, kExitDiffers) << run.io.Text();
    ASSERT_EQ(run.io.err.size(), 4u) << run.io.Text();
    EXPECT_EQ(run.io.err[0], "Stripewell differs: iso1: character 2 is '4' (0x34), the reader read '3' (0x33).");
    EXPECT_EQ(run.io.err[1], "  iso1 shows \"B4530111333300000^SAMPLE/HANAKO^4912101000000000000000000\"");
    RemoveWindowSubclass(GetDlgItem(dialog_, IDC_ISO1), SpoilField, 7);

    // check compares without a swipe: the dialog still shows the good ISO2 of 'full'.
    run = Tool({"check", "err-parity", "--pid", kSelf});
    EXPECT_EQ(run.code, kExitDiffers) << run.io.Text();
    EXPECT_EQ(run.io.err.at(0), "Stripewell differs: iso1: character 2 is '4' (0x34), the reader read '3' (0x33); "
                                "iso2: Stripewell shows \"3530111333300000=49121010000000000000\", the reader read "
                                "Error:12 (parity).");
    EXPECT_EQ(State().dwSwipes, 2u) << "check swipes nothing";

    // A quit that comes while the check waits (pumping this thread) stays this thread's.
    PostQuitMessage(7);
    const DWORD start = GetTickCount();
    run = Tool({"swipe", "full", "--check", "--pid", kSelf});
    EXPECT_LT(GetTickCount() - start, 2500u) << "the quit ends the wait";
    MSG quit;
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the check swallowed the quit";
    EXPECT_EQ(quit.wParam, 7u);
}

// Standard input and output of `mcrsim relay` as two pipes.
class PipeIo : public mcrsim_tool::Io {
public:
    PipeIo(HANDLE in, HANDLE out) : in_(in), out_(out) {}
    void Out(const std::string &line) override {
        const std::string text = line + "\n";
        DWORD written = 0;
        WriteFile(out_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    void Err(const std::string &line) override { ADD_FAILURE() << "relay: " << line; }
    Read ReadLine(std::string *line) override {
        line->clear();
        char c;
        DWORD got = 0;
        while (ReadFile(in_, &c, 1, &got, nullptr) && got == 1) {
            if (c == '\n') return Read::Line;
            *line += c;
        }
        return Read::End;
    }

private:
    HANDLE in_, out_;
};

TEST(MCRSimToolRelay, CarriesStateSwipesAndTheDialogBetweenPipesAndTheMailbox) {
    ReadyReader reader;
    HANDLE requestsIn, requestsOut, repliesIn, repliesOut;
    ASSERT_TRUE(CreatePipe(&requestsIn, &requestsOut, nullptr, 0));
    ASSERT_TRUE(CreatePipe(&repliesIn, &repliesOut, nullptr, 0));
    int code = -1;
    std::thread relay([&] {
        PipeIo io(requestsIn, repliesOut);
        code = mcrsim_tool::Run({"relay", "--pid", kSelf}, io);
    });
    {
        Connection connection(mcrsim_relay::Pipes{requestsOut, repliesIn}, GetCurrentProcessId());
        const Outcome state = connection.State();
        EXPECT_EQ(state.code, kExitOk) << state.message;
        EXPECT_NE(state.message.find("reader open, powered, notifying"), std::string::npos) << state.message;
        const mcrsim::CardRead full = mcrsim::ReadCard(*mcrsim::FindCard(mcrsim::DefaultDeck(), "full"));
        const Outcome swiped = connection.Swipe(full, "'full'");
        EXPECT_EQ(swiped.code, kExitOk) << swiped.message;
        EXPECT_TRUE(reader.Swiped());
        ExpectSlotHolds(full);
        const auto fields = connection.ReadDialog();
        ASSERT_TRUE(fields.has_value());
        EXPECT_FALSE(fields->dialog) << "this reader was opened without a window";
    }
    CloseHandle(requestsOut);  // the end of the relay's standard input
    relay.join();
    EXPECT_EQ(code, kExitOk);
    for (HANDLE h : {requestsIn, repliesIn, repliesOut}) CloseHandle(h);
}

namespace {

// What a relay client makes of what came down the pipe (then the pipe closes), when it
// asks for the dialog's fields or for the reader's state.
std::string ClientMakesOf(const std::string &sent, bool fields) {
    HANDLE requestsIn, requestsOut, repliesIn, repliesOut;
    if (!CreatePipe(&requestsIn, &requestsOut, nullptr, 1 << 16) || !CreatePipe(&repliesIn, &repliesOut, nullptr, 1 << 16))
        return "no pipes";
    std::thread relay([&] {
        DWORD written = 0;
        WriteFile(repliesOut, sent.data(), static_cast<DWORD>(sent.size()), &written, nullptr);
        CloseHandle(repliesOut);
    });
    std::string said;
    {
        Connection connection(mcrsim_relay::Pipes{requestsOut, repliesIn}, 4);
        if (!fields) {
            said = connection.State().message;
        } else if (const auto shown = connection.ReadDialog()) {
            said = std::string("fields ") + (shown->dialog ? "1" : "0");
            for (const std::wstring &text : shown->text) said += " " + Utf8(text);
        } else {
            said = connection.WhyNoReply().message;
        }
    }
    relay.join();
    for (HANDLE h : {requestsIn, requestsOut, repliesIn}) CloseHandle(h);
    return said;
}

}  // namespace

TEST(MCRSimToolRelay, EveryLineEitherSideSendsGivesAnAnswerOrAClearError) {
    const std::string mailbox = std::to_string(sizeof(mcrsim_mailbox::Mailbox));
    const std::string zeros(2 * sizeof(mcrsim_mailbox::Mailbox), '0');
    const struct {
        std::string sent;
        bool fields;
        std::string said;
    } answers[] = {
        {"F1 4100 4200 4300\n", true, "fields 1 A B C"},
        {"F0   \r\n", true, "fields 0   "},
        {"F1\n", true, "gave an answer that makes no sense: the relay's fields answer has 0 of the dialog's 3 fields."},
        {"F1 \n", true, "the relay's fields answer has 1 of the dialog's 3 fields"},
        {"F2 4100 4200 4300\n", true, "the relay's fields answer does not say whether the dialog is open"},
        {"F1 41 42 43\n", true, "field 1 of the relay's answer is not UTF-16 in hex"},
        {"F1 4100 zz00 4300\n", true, "field 2 of the relay's answer is not UTF-16 in hex"},
        {"F1 4100 4200 4300 4400\n", true, "the relay's fields answer has more than the dialog's 3 fields"},
        {"F1 " + std::string(4 * 512, '0') + " 4200 4300\n", true, "field 1 of the relay's answer is longer than 511 characters"},
        {"M00\n", true, "the relay's answer is not a mailbox of " + mailbox + " bytes in hex"},
        {"\n", true, "the relay sent an empty line"},
        {"Hello\n", true, "the relay sent a line that is no answer of a relay"},
        {"E\n", true, "the relay reported an error without saying what"},
        {"Eb another program holds it\n", true,
         "Stripewell's card reader is busy: another program holds it; try again when that program has finished with it."},
        {"Eg gone\n", true, "Stripewell's card reader does not answer: gone."},
        {std::string(20000, 'F') + "\nF1 4100 4200 4300\n", true, "the relay sent a line longer than 8192 bytes"},
        {"F1 4100 4200", true, "Stripewell cannot be reached: the relay to Stripewell's prefix has ended."},
        {"", true, "the relay to Stripewell's prefix has ended"},
        {"F1 4100 4200 4300\n", false, "the relay answered a mailbox request with the dialog's fields"},
        {"M" + zeros + "\n", false, "the reader's mailbox came back with another request in it"},
    };
    for (const auto &answer : answers) {
        const std::string said = ClientMakesOf(answer.sent, answer.fields);
        EXPECT_NE(said.find(answer.said), std::string::npos) << answer.sent.substr(0, 40) << "\n" << said;
    }

    // The relay's side: every request line gets one answer line.
    mcrsim_mailbox::Client client(GetCurrentProcessId());
    const std::pair<std::string, std::string> requests[] = {
        {"", "Ee an empty request line"},
        {"X", "Ee a request the relay does not know"},
        {"F1", "Ee a request the relay does not know"},
        {"M", "Ee a mailbox request that is not a mailbox of " + mailbox + " bytes in hex"},
        {"M" + std::string(zeros.size(), 'g'), "Ee a mailbox request that is not a mailbox of " + mailbox + " bytes in hex"},
        {"M" + zeros + "00", "Ee a mailbox request that is not a mailbox of " + mailbox + " bytes in hex"},
        {"M" + zeros, "M"},  // the reader answers a request of no version it knows
    };
    for (const auto &[request, answer] : requests)
        EXPECT_EQ(mcrsim_relay::AnswerRequest(client, request).substr(0, answer.size()), answer) << request.substr(0, 40);
    EXPECT_EQ(mcrsim_relay::AnswerTooLongRequest(), "Ee a request line longer than 8192 bytes; it was skipped");
}

// --- From the reader model to the library's card --------------------------------------

TEST(MCRSimCardConversion, GoodTracksHandOverTheWholeBufferFailedOnesNothing) {
    const mcrsim::CardRead read = mcrsim::ReadCard(*mcrsim::FindCard(mcrsim::DefaultDeck(), "err-parity"));
    const MCRSimCard card = mcrsim::ToSimCard(read);
    const DWORD sizes[] = {MCR_ISO1_BYTES, MCR_ISO2_BYTES, MCR_JIS2_BYTES};
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(card.track[t].dwStatus, read.tracks[t].status) << t;
        EXPECT_TRUE(std::equal(read.tracks[t].bytes.begin(), read.tracks[t].bytes.end(), card.track[t].abData)) << t;
        EXPECT_EQ(card.track[t].cbData, read.tracks[t].status == mcrsim::kTrackGood ? sizes[t] : 0u) << t;
    }
    EXPECT_EQ(card.track[MCRSIM_ISO2].dwStatus, 0x12u);
}

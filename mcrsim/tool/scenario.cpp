// Scenario files: the parser and the runner; see scenario.h and docs/scenarios.md.
#include "scenario.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <set>

#include "../../reader/mcrlib.h"
#include "../../res/resource.h"
#include "../client/dialog_reader.h"
#include "../client/find_window.h"
#include "../control/control.h"
#include "../core/default_deck.h"
#include "../core/lines.h"
#include "../core/text_file.h"
#include "../text/utf8.h"
#include "junit.h"

namespace mcrsim_scenario {

using mcrsim_text::Wide;
using namespace mcrsim_control;

bool Checks(StepKind kind) { return kind != StepKind::Test && kind != StepKind::Deck && kind != StepKind::Wait; }

// --- The parser ------------------------------------------------------------------------

namespace {

bool Blank(char ch) { return ch == ' ' || ch == '\t' || ch == '\r'; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && Blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && Blank(text.back())) text.remove_suffix(1);
    return text;
}

// The line without its comment: from a '#' at its start or after a blank.
std::string_view WithoutComment(std::string_view line) {
    for (size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || Blank(line[i - 1]))) return line.substr(0, i);
    return line;
}

std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    for (size_t i = 0; i < text.size();) {
        while (i < text.size() && Blank(text[i])) ++i;
        const size_t start = i;
        while (i < text.size() && !Blank(text[i])) ++i;
        if (i > start) words.emplace_back(text.substr(start, i - start));
    }
    return words;
}

bool IsUtf8(std::string_view text) {
    return text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                               nullptr, 0) != 0;
}

// A deck file named in the scenario: an absolute path as it is, a relative one from the
// scenario's folder, so that a scenario and its decks move together.
std::string BesideScenario(const std::string &scenario, const std::string &path) {
    const bool absolute = path[0] == '/' || path[0] == '\\' || (path.size() >= 2 && path[1] == ':');
    const size_t slash = scenario.find_last_of("/\\");
    return absolute || slash == std::string::npos ? path : scenario.substr(0, slash + 1) + path;
}

std::string SuiteName(const std::string &file) {
    const size_t slash = file.find_last_of("/\\");
    std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

// The step of one line; an empty string, or what is wrong with it. deck and deckName
// are the deck in force, which a `deck` line changes.
std::string ParseStep(const std::string &file, std::string_view text, std::vector<mcrsim::Card> *deck,
                      std::string *deckName, Step *step) {
    const std::vector<std::string> words = Words(text);
    const std::string &word = words[0];
    const std::string rest(Trimmed(text.substr(word.size())));
    step->text = std::string(text);
    const auto nothingMore = [&](StepKind kind) {
        step->kind = kind;
        return words.size() == 1 ? std::string() : "'" + word + "' takes nothing more; '" + words[1] + "' is too much";
    };
    if (word == "test") {
        step->kind = StepKind::Test;
        step->name = rest;
        return rest.empty() ? "test needs a name: test NAME" : std::string();
    }
    if (word == "open") return nothingMore(StepKind::Open);
    if (word == "clear") return nothingMore(StepKind::Clear);
    if (word == "power-off") return nothingMore(StepKind::PowerOff);
    if (word == "close") return nothingMore(StepKind::Close);
    if (word == "swipe") {
        step->kind = StepKind::Swipe;
        if (words.size() < 2) return "swipe needs the name of a card: swipe CARD [--damage KIND [--track TRACK]]";
        std::optional<std::string> damage, track;
        for (size_t i = 2; i < words.size(); ++i) {
            const std::string &option = words[i];
            if (option != "--damage" && option != "--track")
                return option[0] == '-' ? "unknown option '" + option + "' (swipe takes --damage KIND and --track TRACK)"
                                        : "swipe takes one card; '" + option + "' is too much";
            if (i + 1 >= words.size()) return option + " needs a value";
            std::optional<std::string> &slot = option == "--damage" ? damage : track;
            if (slot) return option + " is given twice";
            slot = words[++i];
        }
        if (track && !damage) return "--track goes with --damage";
        mcrsim_tool::CardChoice choice = mcrsim_tool::ChooseCard(*deck, *deckName, words[1], damage, track);
        if (choice.code != kExitOk) return choice.error;
        step->card = words[1];
        step->what = choice.what;
        step->read = mcrsim::ReadCard(choice.card);
        return std::string();
    }
    if (word == "expect") {
        step->kind = StepKind::Expect;
        if (words.size() < 3) return "expect needs a field and the text it shows: expect iso1|iso2|jis2 TEXT";
        const mcrsim::TrackFormat *format = mcrsim::FindFormat(words[1]);
        if (format == nullptr) return "unknown field '" + words[1] + "' (expected iso1, iso2 or jis2)";
        step->track = format->track;
        step->expected = Wide(std::string(Trimmed(std::string_view(rest).substr(words[1].size()))));
        return std::string();
    }
    if (word == "apo") {
        if (words.size() != 2 || (words[1] != "on" && words[1] != "off")) return "apo takes on or off: apo on, apo off";
        step->kind = words[1] == "on" ? StepKind::ApoOn : StepKind::ApoOff;
        return std::string();
    }
    if (word == "deck") {
        step->kind = StepKind::Deck;
        if (rest.empty()) return "deck needs a deck file: deck FILE";
        step->name = BesideScenario(file, rest);
        const mcrsim::DeckLoad load = mcrsim::LoadDeckFile(step->name);
        if (!load.ok) return "the deck was not loaded: " + load.error.ToString();
        *deck = load.cards;
        *deckName = "deck " + step->name;
        return std::string();
    }
    if (word == "wait") {
        step->kind = StepKind::Wait;
        const std::string limit = "wait takes milliseconds, 0 to " + std::to_string(kMaxWaitMs);
        if (words.size() != 2 || words[1].size() > 5 || words[1].find_first_not_of("0123456789") != std::string::npos)
            return limit + (words.size() < 2 ? std::string() : ", not '" + rest + "'");
        step->ms = static_cast<DWORD>(std::stoul(words[1]));
        return step->ms <= kMaxWaitMs ? std::string() : limit + ", not " + words[1];
    }
    return "unknown step '" + word + "' (expected test, open, swipe, expect, clear, apo, power-off, close, deck or wait)";
}

}  // namespace

Parsed ParseScenario(std::string_view text, const std::string &file) {
    Parsed parsed;
    parsed.scenario.file = file;
    parsed.scenario.name = SuiteName(file);
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a UTF-8 byte order mark
    mcrsim::LineSplitter lines(kMaxLineBytes);
    lines.Feed(text);
    lines.End();
    std::vector<mcrsim::Card> deck = mcrsim::DefaultDeck();
    std::string deckName = "the built-in deck";
    std::set<std::string> tests;
    std::string line;
    for (int number = 1;; ++number) {
        const mcrsim::LineSplitter::Got got = lines.Next(&line);
        if (got == mcrsim::LineSplitter::Got::None) break;
        std::string wrong;
        std::string_view content;
        if (got == mcrsim::LineSplitter::Got::TooLong)
            wrong = "the line is longer than " + std::to_string(kMaxLineBytes) + " bytes";
        else if (!IsUtf8(line))
            wrong = "the line is not UTF-8 text";
        else
            content = Trimmed(WithoutComment(line));
        Step step;
        step.line = number;
        if (wrong.empty() && content.empty()) continue;
        if (wrong.empty()) wrong = ParseStep(file, content, &deck, &deckName, &step);
        if (wrong.empty() && step.kind == StepKind::Test && !tests.insert(step.name).second)
            wrong = "a second test named '" + step.name + "'";
        if (!wrong.empty()) {
            parsed.error = file + ":" + std::to_string(number) + ": " + wrong;
            return parsed;
        }
        parsed.scenario.tests = parsed.scenario.tests || step.kind == StepKind::Test;
        parsed.scenario.steps.push_back(std::move(step));
    }
    parsed.ok = true;
    return parsed;
}

Parsed LoadScenario(const std::string &file) {
    std::string text;
    const std::string error = mcrsim::ReadTextFile(file, kMaxFileBytes, "scenario", &text);
    if (error.empty()) return ParseScenario(text, file);
    Parsed parsed;
    parsed.error = file + ": " + error;
    return parsed;
}

// --- The runner ------------------------------------------------------------------------

namespace {

constexpr wchar_t kDialogClass[] = L"#32770";
constexpr wchar_t kCardCaption[] = L" * Stripewell *";
// How long a step waits for what it checks: the card test dialog to open (it once took
// more than 5 s on a loaded machine), a started Stripewell's main window (--pid), and
// anything else (fields, the reader's state, the answer to a click).
constexpr DWORD kOpenMs = 15000;
constexpr DWORD kStartMs = 20000;
constexpr DWORD kSettleMs = 5000;
constexpr DWORD kPollMs = 50;

// Waits until done() holds, for at most ms; pumps this thread's messages meanwhile (the
// demo runs scenarios on a thread with windows of its own). done() is asked first.
bool WaitFor(const std::function<bool()> &done, DWORD ms) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (done()) return true;
        const ULONGLONG spent = GetTickCount64() - start;
        if (spent >= ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(kPollMs, ms - spent)),
                                  QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {  // the thread's own loop ends on it, not this wait
                PostQuitMessage(static_cast<int>(msg.wParam));
                return done();
            }
            DispatchMessageW(&msg);
        }
    }
}

// What a step did: kExitOk passed; kExitInput failed; kExitNoStripewell, Stripewell is
// gone and nothing more can run; kExitNotReady, another program kept the reader busy.
struct Did {
    int code = kExitOk;
    std::string message;
    std::vector<std::string> detail;  // lines under the step's line
};

Did Passed(std::string message) { return {kExitOk, std::move(message), {}}; }
Did Failed(std::string message, std::vector<std::string> detail = {}) {
    return {kExitInput, std::move(message), std::move(detail)};
}

// A Connection's outcome that is not kExitOk, as what the step did. WhyNoReply() is the only
// source of a not-ready outcome without the reader's state: the mailbox was busy.
Did FromOutcome(const Outcome &outcome) {
    if (outcome.code == kExitNoStripewell) return {kExitNoStripewell, outcome.message, {}};
    if (outcome.code == kExitNotReady && !outcome.state) return {kExitNotReady, outcome.message, {}};
    return Failed(outcome.message);
}

std::string Seconds(DWORD ms) { return std::to_string(ms / 1000) + " s"; }

// "iso1 shows \"B3530...\"" for each field of the dialog.
std::vector<std::string> Shown(const mcrsim_dialog::Fields &fields) {
    std::vector<std::string> lines;
    for (mcrsim::Track t : mcrsim::kTracks)
        lines.push_back(std::string(mcrsim::FormatOf(t).name) + " shows " +
                        DecodeField(fields.text[static_cast<int>(t)]));
    return lines;
}

// One Stripewell, driven through its windows and its reader's mailbox.
class Driver {
public:
    // Finds Stripewell (see Run); kExitOk, or the exit code after saying why not.
    int Connect(std::optional<DWORD> pid, mcrsim_tool::Io &io);
    Did Do(const Step &step);
    // The card test dialog, when it is open.
    HWND Dialog() const { return window_search::FindTopLevel(pid_, kDialogClass, kCardCaption, true); }

private:
    Did Open();
    Did Swipe(const Step &step);
    Did Expect(const Step &step);
    Did Clear();
    Did Apo(bool on);
    Did PowerOff();
    Did Close();

    // The reader's state now; nullopt when it could not be had (then noReply_ says why).
    std::optional<MCRSimState> StateNow();
    std::optional<mcrsim_dialog::Fields> FieldsNow();
    // Why the reader could not be asked, as what the step did.
    Did WhyNoReply() const { return FromOutcome(*noReply_); }
    // Clicks a control of the card test dialog as a person would (BM_CLICK), waiting
    // for Stripewell to have handled it; false when it does not answer in time.
    static bool Click(HWND dialog, int id);
    // The APO box's state; nullopt when Stripewell does not answer.
    static std::optional<bool> ApoChecked(HWND dialog);

    DWORD pid_ = 0;
    std::unique_ptr<Connection> connection_;
    std::optional<Outcome> noReply_;
};

int Driver::Connect(std::optional<DWORD> pid, mcrsim_tool::Io &io) {
    if (pid) {
        // A Stripewell started just before: its main window may be a moment away.
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, *pid);
        if (process == nullptr) {
            io.Err("No process " + std::to_string(*pid) + " is running (--pid): start Stripewell.exe first.");
            return kExitNoStripewell;
        }
        const bool shown = WaitFor(
            [&] {
                return window_search::FindTopLevel(*pid, window_search::kStripewellClass, nullptr) != nullptr ||
                       WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
            },
            kStartMs);
        const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
        CloseHandle(process);
        if (!shown || ended) {
            io.Err("Process " + std::to_string(*pid) + (ended ? " has ended" : " shows no main window of Stripewell") +
                   (ended ? "." : " within " + Seconds(kStartMs) + ": is --pid Stripewell's process id?"));
            return kExitNoStripewell;
        }
    }
    connection_ = std::make_unique<Connection>(pid);
    if (!connection_->connected()) {
        io.Err(connection_->failure().message);
        return connection_->failure().code;
    }
    pid_ = connection_->pid();
    return kExitOk;
}

std::optional<MCRSimState> Driver::StateNow() {
    const Outcome outcome = connection_->State();
    if (outcome.code == kExitOk) return outcome.state;
    noReply_ = outcome;
    return std::nullopt;
}

std::optional<mcrsim_dialog::Fields> Driver::FieldsNow() {
    auto fields = connection_->ReadDialog();
    if (!fields) {
        // The process ended, or the mailbox did not answer: the state request says which.
        const Outcome outcome = connection_->State();
        noReply_ = outcome.code != kExitOk ? outcome : connection_->WhyNoReply();
    }
    return fields;
}

bool Driver::Click(HWND dialog, int id) {
    HWND control = mcrsim_dialog::FindControl(dialog, id);
    DWORD_PTR ignored = 0;
    return control != nullptr &&
           SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kSettleMs, &ignored) != 0;
}

std::optional<bool> Driver::ApoChecked(HWND dialog) {
    DWORD_PTR checked = 0;
    HWND box = mcrsim_dialog::FindControl(dialog, IDC_APO);
    if (box == nullptr || SendMessageTimeoutW(box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSettleMs, &checked) == 0)
        return std::nullopt;
    return checked == BST_CHECKED;
}

Did Driver::Do(const Step &step) {
    noReply_.reset();
    switch (step.kind) {
    case StepKind::Open: return Open();
    case StepKind::Swipe: return Swipe(step);
    case StepKind::Expect: return Expect(step);
    case StepKind::Clear: return Clear();
    case StepKind::ApoOn: return Apo(true);
    case StepKind::ApoOff: return Apo(false);
    case StepKind::PowerOff: return PowerOff();
    case StepKind::Close: return Close();
    case StepKind::Deck: return Passed("the steps after it take their cards from " + step.name);
    case StepKind::Wait:
        WaitFor([] { return false; }, step.ms);
        return Passed("waited " + std::to_string(step.ms) + " ms");
    case StepKind::Test: break;
    }
    return Passed(std::string());
}

Did Driver::Open() {
    if (Dialog() != nullptr) return Failed("the card test dialog is already open (close it first)");
    HWND main = window_search::FindTopLevel(pid_, window_search::kStripewellClass, nullptr);
    if (main == nullptr) return Failed("Stripewell has no main window to open the card test dialog from");
    PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDM_CARD_TEST, 0), 0);
    HWND dialog = nullptr;
    std::optional<MCRSimState> state;
    WaitFor(
        [&] {
            if ((dialog = Dialog()) == nullptr) return false;
            state = StateNow();
            return !state || (state->fOpen && state->fNotify && state->hOpenWindow == dialog);
        },
        kOpenMs);
    if (noReply_) return WhyNoReply();
    if (dialog == nullptr) return Failed("the card test dialog did not appear within " + Seconds(kOpenMs) + " of File, Stripewell Program");
    if (!state->fOpen || !state->fNotify)
        return Failed(std::string("the card test dialog is open, but its reader is ") + (state->fOpen ? "open" : "closed") +
                      " and " + (state->fNotify ? "notifies" : "does not notify") + " the program of swipes");
    if (state->hOpenWindow != dialog) return Failed("the reader was opened for another window than the card test dialog");
    return Passed("the card test dialog is open; its reader is open and notifies the program of swipes");
}

Did Driver::Swipe(const Step &step) {
    // Reads are counted from before the swipe: Stripewell may fetch the card at once.
    const std::optional<MCRSimState> before = StateNow();
    if (!before) return WhyNoReply();
    const Outcome swiped = connection_->Swipe(step.read, step.what);
    if (swiped.code != kExitOk) return FromOutcome(swiped);
    std::optional<MCRSimState> state;
    const bool fetched = WaitFor([&] { return !(state = StateNow()) || state->dwReads > before->dwReads; }, kSettleMs);
    if (noReply_) return WhyNoReply();
    if (!fetched) return Failed("Stripewell did not fetch the card: no MCRRead within " + Seconds(kSettleMs));
    std::vector<std::string> shown;
    const Outcome check = connection_->Check(step.read, &shown);
    if (check.code == kExitOk) return Passed("Stripewell shows what the reader read: " + ReadSummary(step.read));
    if (check.code == kExitDiffers) return Failed(check.message, shown);
    return FromOutcome(check);
}

Did Driver::Expect(const Step &step) {
    const int t = static_cast<int>(step.track);
    std::optional<mcrsim_dialog::Fields> fields;
    WaitFor([&] { return !(fields = FieldsNow()) || !fields->dialog || fields->text[t] == step.expected; }, kSettleMs);
    if (noReply_) return WhyNoReply();
    if (!fields->dialog) return Failed("the card test dialog is not open");
    const std::string name = mcrsim::FormatOf(step.track).name;
    if (fields->text[t] == step.expected) return Passed(name + " shows " + DecodeField(step.expected));
    return Failed(name + ": Stripewell shows " + DecodeField(fields->text[t]) + ", expected " + DecodeField(step.expected),
                  Shown(*fields));
}

Did Driver::Clear() {
    HWND dialog = Dialog();
    if (dialog == nullptr) return Failed("the card test dialog is not open");
    if (!Click(dialog, IDC_CLEAR)) return Failed("Stripewell did not answer the click on CLEAR within " + Seconds(kSettleMs));
    std::optional<mcrsim_dialog::Fields> fields;
    const auto empty = [&] {
        for (const std::wstring &text : fields->text)
            if (!text.empty()) return false;
        return fields->dialog;
    };
    WaitFor([&] { return !(fields = FieldsNow()) || empty(); }, kSettleMs);
    if (noReply_) return WhyNoReply();
    if (!empty()) return Failed("the fields are not empty after CLEAR", Shown(*fields));
    return Passed("the three fields are empty");
}

Did Driver::Apo(bool on) {
    HWND dialog = Dialog();
    if (dialog == nullptr) return Failed("the card test dialog is not open");
    const std::optional<bool> was = ApoChecked(dialog);
    if (!was) return Failed("Stripewell did not say within " + Seconds(kSettleMs) + " whether the APO box is checked");
    const char *want = on ? "checked" : "unchecked";
    if (*was == on) return Failed(std::string("the APO box is already ") + want + "; nothing was clicked");
    if (!Click(dialog, IDC_APO)) return Failed("Stripewell did not answer the click on APO within " + Seconds(kSettleMs));
    // Checked: MCRSetAutoPowerOff(30). Unchecked: MCRSetAutoPowerOff(0), then MCRResume.
    const int timeout = on ? MCR_APO_TIMEOUT : MCR_APO_OFF;
    std::optional<bool> checked;
    std::optional<MCRSimState> state;
    WaitFor(
        [&] {
            checked = ApoChecked(dialog);
            state = StateNow();
            return !state || (checked == on && state->nApoTimeout == timeout && (on || state->fPowered));
        },
        kSettleMs);
    if (noReply_) return WhyNoReply();
    if (checked != on || state->nApoTimeout != timeout || !(on || state->fPowered))
        return Failed(std::string("after the click the APO box is ") +
                      (!checked ? "unknown" : *checked ? "checked" : "unchecked") + ", automatic power-off is " +
                      (state->nApoTimeout > 0 ? std::to_string(state->nApoTimeout) + " s" : "off") + " and the reader is " +
                      (state->fPowered ? "powered" : "powered off") + "; expected " + want + ", " +
                      (on ? std::to_string(timeout) + " s" : "off, powered"));
    return Passed(on ? "the APO box is checked; the reader powers itself off after " + std::to_string(timeout) + " s"
                     : "the APO box is unchecked; automatic power-off is off and the reader is powered");
}

Did Driver::PowerOff() {
    const Outcome outcome = connection_->PowerOff();
    if (outcome.code != kExitOk) return FromOutcome(outcome);
    std::optional<mcrsim_dialog::Fields> fields;
    std::optional<MCRSimState> state;
    const auto shown = [&] {
        for (const std::wstring &text : fields->text)
            if (text != L"APO") return false;
        return fields->dialog && !state->fPowered;
    };
    WaitFor([&] { return !(fields = FieldsNow()) || !(state = StateNow()) || shown(); }, kSettleMs);
    if (noReply_) return WhyNoReply();
    if (state->fPowered) return Failed("the reader is powered again (resumed) right after the power-off");
    if (!shown()) return Failed("the fields do not show APO after the power-off", Shown(*fields));
    return Passed("the reader powered off; the three fields show APO");
}

Did Driver::Close() {
    HWND dialog = Dialog();
    if (dialog == nullptr) return Failed("the card test dialog is not open");
    if (!Click(dialog, IDC_CLOSE)) return Failed("Stripewell did not answer the click on Close within " + Seconds(kSettleMs));
    std::optional<MCRSimState> state;
    const bool closed = WaitFor([&] { return !IsWindow(dialog) && (!(state = StateNow()) || !state->fOpen); }, kSettleMs);
    if (noReply_) return WhyNoReply();
    if (!closed)
        return Failed(IsWindow(dialog) ? "the card test dialog is still open after Close"
                                       : "the card test dialog closed, but its reader is still open");
    return Passed("the card test dialog closed; its reader is closed");
}

std::string Timestamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return text;
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int Run(const std::vector<Scenario> &scenarios, std::optional<DWORD> pid, const std::optional<std::string> &junit,
        mcrsim_tool::Io &io, const AfterStep &afterStep) {
    Driver driver;
    const int connected = driver.Connect(pid, io);
    if (connected != kExitOk) return connected;
    int passed = 0, failed = 0, skipped = 0;
    bool busy = false, gone = false;
    std::vector<mcrsim_junit::Suite> suites;
    for (const Scenario &scenario : scenarios) {
        const auto suiteStart = std::chrono::steady_clock::now();
        mcrsim_junit::Suite suite{scenario.name, scenario.file, Timestamp(), 0, {}};
        // The case being run: a test, the steps before the first test, or (in a file
        // without tests) one step; and why the rest of it is skipped, once a step failed.
        std::optional<mcrsim_junit::Case> current;
        bool ran = false;
        std::string skipping = gone ? "Stripewell is gone" : "";
        const auto finish = [&] {
            if (current) {
                if (current->result == mcrsim_junit::Result::Passed && !ran && !skipping.empty()) {
                    current->result = mcrsim_junit::Result::Skipped;
                    current->message = skipping;
                }
                suite.cases.push_back(*current);
            }
            current.reset();
            ran = false;
        };
        for (const Step &step : scenario.steps) {
            const std::string where = scenario.file + ":" + std::to_string(step.line);
            if (step.kind == StepKind::Test) {
                finish();
                current = mcrsim_junit::Case{step.name, mcrsim_junit::Result::Passed, "", "", 0};
                if (!gone) skipping.clear();
                io.Out(where + ": test " + step.name);
                continue;
            }
            if (!current && Checks(step.kind))
                current = mcrsim_junit::Case{
                    scenario.tests ? "steps before the first test" : "line " + std::to_string(step.line) + ": " + step.text,
                    mcrsim_junit::Result::Passed, "", "", 0};
            if (!skipping.empty()) {
                const std::string line = where + ": " + step.text + ": skipped (" + skipping + ")";
                io.Out(line);
                if (current) current->text += line + "\n";
                skipped += Checks(step.kind);
                if (!scenario.tests) finish();
                continue;
            }
            const auto start = std::chrono::steady_clock::now();
            const Did did = driver.Do(step);
            const std::string line = where + ": " + step.text + ": " + (did.code == kExitOk ? "" : "FAILED: ") + did.message;
            io.Out(line);
            for (const std::string &detail : did.detail) io.Out("    " + detail);
            if (current) {
                current->seconds += Since(start);
                current->text += line + "\n";
                for (const std::string &detail : did.detail) current->text += "    " + detail + "\n";
                ran = ran || Checks(step.kind);
            }
            if (did.code == kExitOk) {
                passed += Checks(step.kind);
                if (afterStep) afterStep(step, driver.Dialog());
            } else {
                ++failed;
                current->result = mcrsim_junit::Result::Failed;
                current->message = where + ": " + step.text + ": " + did.message;
                busy = busy || did.code == kExitNotReady;
                gone = gone || did.code == kExitNoStripewell;
                skipping = gone ? "Stripewell is gone"
                                : scenario.tests ? "an earlier step of this test failed"
                                                 : "an earlier step failed";
            }
            if (!scenario.tests && Checks(step.kind)) finish();
        }
        finish();
        suite.seconds = Since(suiteStart);
        suites.push_back(std::move(suite));
    }
    io.Out(std::to_string(passed) + " passed, " + std::to_string(failed) + " failed" +
           (skipped > 0 ? ", " + std::to_string(skipped) + " skipped" : std::string()));
    int code = gone ? kExitNoStripewell : busy ? kExitNotReady : failed > 0 ? kExitInput : kExitOk;
    if (junit) {
        const std::string error = mcrsim_junit::WriteReport(*junit, mcrsim_junit::ReportXml(suites));
        if (error.empty()) {
            io.Out("JUnit report: " + *junit);
        } else {
            io.Err("mcrsim: " + error);
            if (code == kExitOk) code = kExitInput;
        }
    }
    return code;
}

int Prepare(const std::vector<std::string> &files, const std::optional<std::string> &junit, mcrsim_tool::Io &io,
            std::vector<Scenario> *scenarios) {
    for (const std::string &file : files) {
        Parsed parsed = LoadScenario(file);
        if (!parsed.ok) {
            io.Err(parsed.error);
            io.Err("mcrsim: the scenario does not parse; nothing was run.");
            return kExitUsage;
        }
        scenarios->push_back(std::move(parsed.scenario));
    }
    if (junit) {
        const std::string refused = mcrsim_junit::CheckReportPath(*junit);
        if (!refused.empty()) {
            io.Err("mcrsim: " + refused + "; nothing was run.");
            return kExitUsage;
        }
    }
    return kExitOk;
}

int RunFiles(const std::vector<std::string> &files, const std::optional<std::string> &junit, std::optional<DWORD> pid,
             mcrsim_tool::Io &io) {
    std::vector<Scenario> scenarios;
    const int prepared = Prepare(files, junit, io, &scenarios);
    return prepared != kExitOk ? prepared : Run(scenarios, pid, junit, io);
}

}  // namespace mcrsim_scenario

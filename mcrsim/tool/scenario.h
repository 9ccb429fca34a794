// Scenario files (`mcrsim run`): steps that drive a running Stripewell as a person does,
// through its windows and its simulated reader's mailbox, each checked with a bounded
// wait. docs/scenarios.md describes the steps, the output and the report.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../core/deck.h"
#include "tool.h"

namespace mcrsim_scenario {

// A scenario file holds at most this much, and each of its lines this much.
constexpr std::size_t kMaxFileBytes = 1 << 20;
constexpr std::size_t kMaxLineBytes = 1024;
// The longest `wait`.
constexpr DWORD kMaxWaitMs = 60000;

enum class StepKind { Test, Open, Swipe, Expect, Clear, ApoOn, ApoOff, PowerOff, Close, Deck, Wait };

struct Step {
    StepKind kind = StepKind::Open;
    int line = 0;
    std::string text;          // the line as written, without its comment
    std::string name;          // Test: the test's name; Deck: the deck's file
    std::string card;          // Swipe: the card's name as written
    std::string what;          // Swipe: "'full' with flip on iso2"
    mcrsim::CardRead read;     // Swipe: what the reader model reads of the card
    mcrsim::Track track{};     // Expect: the field
    std::wstring expected;     // Expect: the field's exact text
    DWORD ms = 0;              // Wait
};

// Whether the step checks anything: `test`, `deck` and `wait` only say what they do.
bool Checks(StepKind kind);

struct Scenario {
    std::string file;  // as given
    std::string name;  // the file's name without its folder and extension: the report's suite
    std::vector<Step> steps;
    bool tests = false;  // it has `test` lines
};

struct Parsed {
    bool ok = false;
    Scenario scenario;
    std::string error;  // "FILE:LINE: what is wrong", or "FILE: what is wrong"
};

// Every file is parsed whole before anything runs, with the deck each line names (so
// `deck FILE` is loaded while parsing); the first mistake is reported as FILE:LINE.
//
// Parses scenario text; file names it in errors, and a deck file's relative path is
// taken from file's folder.
Parsed ParseScenario(std::string_view text, const std::string &file);
// Reads (at most kMaxFileBytes, as ReadTextFile) and parses a scenario file.
Parsed LoadScenario(const std::string &file);

// Called after each step that passed, with the card test dialog as it is then (nullptr
// when none is open): the demo takes its pictures there.
using AfterStep = std::function<void(const Step &step, HWND dialog)>;

// Runs the scenarios in order against Stripewell process pid (waiting up to 20 s for
// its main window, as after a start) or, without pid, the running one; writes each
// step's line and the totals to io, and the JUnit report to junit when given. Returns
// the exit code of `mcrsim run` (mcrsim_control::ExitCode).
int Run(const std::vector<Scenario> &scenarios, std::optional<DWORD> pid, const std::optional<std::string> &junit,
        mcrsim_tool::Io &io, const AfterStep &afterStep = AfterStep());

// Before anything runs: parses every file into *scenarios and checks that the report
// may be written. kExitOk, or kExitUsage after saying what is wrong (the first mistake).
int Prepare(const std::vector<std::string> &files, const std::optional<std::string> &junit, mcrsim_tool::Io &io,
            std::vector<Scenario> *scenarios);

// `mcrsim run FILE... [--junit REPORT] [--pid N]`: Prepare, then Run.
int RunFiles(const std::vector<std::string> &files, const std::optional<std::string> &junit,
             std::optional<DWORD> pid, mcrsim_tool::Io &io);

}  // namespace mcrsim_scenario

// The control tool's commands (mcrsim list, show, swipe, apo, status, wedge, run), apart
// from its process entry so that tests run them against their own simulated reader.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "../core/card.h"

namespace mcrsim_tool {

// The longest line read from standard input: more than a wedge line and a relay
// request may have.
constexpr std::size_t kMaxInputLine = 8192;

// Where the commands write and read: one line per call, without its line end.
class Io {
public:
    virtual ~Io() = default;
    virtual void Out(const std::string &line) = 0;  // results
    virtual void Err(const std::string &line) = 0;  // errors, hints
    enum class Read { Line, TooLong, End };
    // The next line of standard input without its line end; TooLong for a line longer
    // than kMaxInputLine, which is skipped; End at the end.
    virtual Read ReadLine(std::string *line) = 0;
    // Standard input is a terminal (a person types or swipes).
    virtual bool Interactive() const { return false; }
    // Standard output is a terminal that shows UTF-8.
    virtual bool Utf8Output() const { return false; }
};

// Runs one command line (args without the program name; UTF-8) and returns the exit
// code (mcrsim_control::ExitCode).
int Run(const std::vector<std::string> &args, Io &io);

// The usage text, one line per element.
std::vector<std::string> Usage();

// A card of a deck chosen by name, with damage of one kind added to one track or all
// (--damage KIND [--track TRACK] of swipe, check and show, and of a scenario's swipe).
struct CardChoice {
    int code = 0;       // kExitOk; kExitInput: no such card, or nothing to damage; kExitUsage: unknown damage or track
    std::string error;  // what is wrong, for a person
    mcrsim::Card card;
    std::string what;   // "'full' with flip on iso2"
};
// deckName names the deck in the error ("the built-in deck", "deck FILE").
CardChoice ChooseCard(const std::vector<mcrsim::Card> &deck, const std::string &deckName, const std::string &name,
                      const std::optional<std::string> &damage, const std::optional<std::string> &track);

}  // namespace mcrsim_tool

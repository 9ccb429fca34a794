// The control tool's commands (mcrsim list, show, swipe, apo, status, wedge), apart from
// its process entry so that tests run them against their own simulated reader.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

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

}  // namespace mcrsim_tool

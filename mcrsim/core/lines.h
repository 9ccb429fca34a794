// Lines out of a byte stream that comes in chunks (a pipe, standard input): in time
// linear in the stream, and never holding more than one line's cap of a line, however
// long the line or the stream is. Plain C++17, no platform headers.
#ifndef STRIPEWELL_MCRSIM_CORE_LINES_H
#define STRIPEWELL_MCRSIM_CORE_LINES_H

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace mcrsim {

class LineSplitter {
public:
    // Lines of more than maxLine bytes (without their "\n" or "\r\n") are reported as
    // over-long and their bytes dropped as they come.
    explicit LineSplitter(std::size_t maxLine) : maxLine_(maxLine) {}

    enum class Got {
        Line,     // *line holds the next line, without its line end
        TooLong,  // the next line was longer than maxLine; it is skipped
        None,     // no complete line yet (or none at all after End)
    };

    // Adds the next chunk of the stream.
    void Feed(std::string_view chunk);
    // The stream has ended: what follows the last "\n", if anything, is a last line.
    void End();
    Got Next(std::string *line);

    std::size_t maxLine() const { return maxLine_; }

private:
    void Finish();

    std::size_t maxLine_;
    std::string current_;     // the line being read, up to maxLine_ + 1 bytes ("\r")
    bool overLong_ = false;   // the line being read is past the cap
    bool started_ = false;    // the line being read has had any byte
    struct Ready {
        Got got;
        std::string text;
    };
    std::deque<Ready> ready_;
};

}  // namespace mcrsim

#endif  // STRIPEWELL_MCRSIM_CORE_LINES_H

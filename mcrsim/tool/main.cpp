// mcrsim.exe: the control tool of the simulated card reader (see docs/simulator.md), a
// console program; its commands are tool.cpp's.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "../core/lines.h"
#include "../text/utf8.h"
#include "stripewell_version.h"
#include "tool.h"

namespace {

// Lines go out as UTF-8 with WriteFile to the standard handles (so the text arrives as
// it is, whatever the console's code page), or as UTF-16 with WriteConsoleW to a console,
// which would otherwise read the bytes in its code page; wedge lines are read as bytes
// from standard input.
class StdIo : public mcrsim_tool::Io {
public:
    StdIo()
        : in_(GetStdHandle(STD_INPUT_HANDLE)),
          out_(GetStdHandle(STD_OUTPUT_HANDLE)),
          err_(GetStdHandle(STD_ERROR_HANDLE)) {}

    void Out(const std::string &line) override { Write(out_, line); }
    void Err(const std::string &line) override { Write(err_, line); }

    Read ReadLine(std::string *line) override {
        for (;;) {
            switch (lines_.Next(line)) {
            case mcrsim::LineSplitter::Got::Line: return Read::Line;
            case mcrsim::LineSplitter::Got::TooLong: return Read::TooLong;
            case mcrsim::LineSplitter::Got::None: break;
            }
            if (ended_) return Read::End;
            char buffer[4096];
            DWORD got = 0;
            if (in_ == nullptr || in_ == INVALID_HANDLE_VALUE || !ReadFile(in_, buffer, sizeof buffer, &got, nullptr) ||
                got == 0) {
                ended_ = true;
                lines_.End();
            } else {
                lines_.Feed(std::string_view(buffer, got));
            }
        }
    }

    bool Interactive() const override { return GetFileType(in_) == FILE_TYPE_CHAR; }

    // A console set to UTF-8, or (under Wine) a terminal whose locale is UTF-8.
    bool Utf8Output() const override {
        DWORD mode = 0;
        if (!GetConsoleMode(out_, &mode)) return false;
        return GetConsoleOutputCP() == CP_UTF8 || mcrsim_text::LocaleIsUtf8();
    }

private:
    static void Write(HANDLE handle, const std::string &line) {
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
        const std::string text = line + "\r\n";
        DWORD written = 0, mode = 0;
        if (GetConsoleMode(handle, &mode)) {
            const std::wstring wide = mcrsim_text::Wide(text);
            WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
            return;
        }
        WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }

    HANDLE in_, out_, err_;
    mcrsim::LineSplitter lines_{mcrsim_tool::kMaxInputLine};
    bool ended_ = false;
};

}  // namespace

int wmain(int argc, wchar_t **argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(mcrsim_text::Utf8(argv[i]));
    StdIo io;
    if (args.size() == 1 && args[0] == "--version") {
        io.Out("mcrsim (Stripewell) " STRIPEWELL_VERSION);
        return 0;
    }
    return mcrsim_tool::Run(args, io);
}

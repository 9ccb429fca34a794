// The JUnit report of `mcrsim run`; see junit.h.
#include "junit.h"

#include <windows.h>

#include <cstdio>

#include "../core/text_file.h"
#include "../core/windows_names.h"
#include "../text/utf8.h"

namespace mcrsim_junit {

using mcrsim_text::Utf8;
using mcrsim_text::Wide;

namespace {

// The report's first lines: how a later run knows the file at its path is a report of
// ours, which it may replace.
constexpr char kHeader[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!-- JUnit report of mcrsim run (Stripewell); the next run given this path replaces it. -->\n";
// A report of ours is read back only this far to be known.
constexpr std::size_t kMaxReportBytes = 64 << 20;

// text, made fit for XML: in an attribute (in double quotes) or between tags. Text that
// is not UTF-8 keeps its ASCII and shows each other byte as \xHH.
std::string Escaped(const std::string &text, bool attribute) {
    std::wstring wide;
    if (!text.empty() && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0) == 0) {
        for (unsigned char byte : text) {
            wchar_t escape[8];
            std::swprintf(escape, 8, L"\\x%02X", byte);
            wide += byte < 0x80 ? std::wstring(1, static_cast<wchar_t>(byte)) : std::wstring(escape);
        }
    } else {
        wide = Wide(text);
    }
    std::wstring out;
    for (wchar_t ch : wide) {
        wchar_t escape[12];
        switch (ch) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'"': out += attribute ? L"&quot;" : L"\""; break;
        case L'\n': out += attribute ? L"&#10;" : L"\n"; break;
        case L'\t': out += attribute ? L"&#9;" : L"\t"; break;
        case L'\r': out += L"&#13;"; break;
        default:
            // XML 1.0 has no way to hold the other control characters, U+FFFE or U+FFFF.
            if (ch < 0x20 || ch == 0xFFFE || ch == 0xFFFF) {
                std::swprintf(escape, 12, ch < 0x20 ? L"\\x%02X" : L"\\u%04X", static_cast<unsigned>(ch));
                out += escape;
            } else {
                out += ch;
            }
        }
    }
    return Utf8(out);
}

std::string Attribute(const char *name, const std::string &value) {
    return std::string(" ") + name + "=\"" + Escaped(value, true) + "\"";
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds < 0 ? 0.0 : seconds);
    return text;
}

struct Counts {
    int tests = 0, failures = 0, skipped = 0;
    void Add(const Case &c) {
        ++tests;
        failures += c.result == Result::Failed;
        skipped += c.result == Result::Skipped;
    }
};

std::string SystemMessage(DWORD error) {
    wchar_t *text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::string said = text != nullptr ? Utf8(text) : std::string();
    if (text != nullptr) LocalFree(text);
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == '.' || said.back() == ' '))
        said.pop_back();
    return said.empty() ? "error " + std::to_string(error) : said + " (error " + std::to_string(error) + ")";
}

}  // namespace

std::string ReportXml(const std::vector<Suite> &suites) {
    Counts all;
    double seconds = 0;
    for (const Suite &suite : suites) {
        for (const Case &c : suite.cases) all.Add(c);
        seconds += suite.seconds;
    }
    std::string xml = kHeader;
    xml += "<testsuites" + Attribute("name", "mcrsim run") + Attribute("tests", std::to_string(all.tests)) +
           Attribute("failures", std::to_string(all.failures)) + Attribute("errors", "0") +
           Attribute("time", Seconds(seconds)) + ">\n";
    for (const Suite &suite : suites) {
        Counts counts;
        for (const Case &c : suite.cases) counts.Add(c);
        xml += "  <testsuite" + Attribute("name", suite.name) + Attribute("tests", std::to_string(counts.tests)) +
               Attribute("failures", std::to_string(counts.failures)) + Attribute("errors", "0") +
               Attribute("skipped", std::to_string(counts.skipped)) + Attribute("time", Seconds(suite.seconds)) +
               Attribute("timestamp", suite.timestamp) + ">\n";
        xml += "    <properties>\n      <property" + Attribute("name", "file") + Attribute("value", suite.file) +
               "/>\n    </properties>\n";
        for (const Case &c : suite.cases) {
            xml += "    <testcase" + Attribute("name", c.name) + Attribute("classname", suite.name) +
                   Attribute("time", Seconds(c.seconds));
            if (c.result == Result::Passed) {
                xml += "/>\n";
                continue;
            }
            xml += ">\n";
            if (c.result == Result::Failed)
                xml += "      <failure" + Attribute("message", c.message) + Attribute("type", "step failed") + ">" +
                       Escaped(c.text, false) + "</failure>\n";
            else
                xml += "      <skipped" + Attribute("message", c.message) + "/>\n";
            xml += "    </testcase>\n";
        }
        xml += "  </testsuite>\n";
    }
    return xml + "</testsuites>\n";
}

std::string CheckReportPath(const std::string &path) {
    if (path.empty()) return "no file name for the report";
    const std::string device = mcrsim::WindowsDevice(path);
    if (!device.empty())
        return path + ": Windows opens this name as the device " + device +
               ", not as a file (in any folder, with any extension): give the report another name";
    const std::size_t slash = path.find_last_of("/\\");
    std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    const DWORD folderAttributes = GetFileAttributesW(Wide(folder).c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES)
        return path + ": its folder " + folder + " does not exist (make it first; the report's folder is not made)";
    if ((folderAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return path + ": " + folder + " is not a folder";
    if (GetFileAttributesW(Wide(path).c_str()) == INVALID_FILE_ATTRIBUTES) return std::string();
    std::string text;
    const std::string error = mcrsim::ReadTextFile(path, kMaxReportBytes, "report", &text);
    if (!error.empty()) return path + ": " + error;
    if (text.compare(0, sizeof kHeader - 1, kHeader) != 0)
        return path + ": the file there is not a report of mcrsim run; it is left as it is (give another path, or move "
                      "it away)";
    return std::string();
}

std::string WriteReport(const std::string &path, const std::string &xml) {
    const std::string refused = CheckReportPath(path);
    if (!refused.empty()) return refused;
    // A name of this process's own beside the report, made new (never one that exists).
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = Wide(path) + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt) + L".tmp";
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE)
        return path + ": cannot make a temporary file beside it: " + SystemMessage(GetLastError());
    DWORD written = 0;
    const bool ok = WriteFile(file, xml.data(), static_cast<DWORD>(xml.size()), &written, nullptr) &&
                    written == xml.size() && FlushFileBuffers(file);
    const DWORD writeError = GetLastError();
    CloseHandle(file);
    if (ok && MoveFileExW(temporary.c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return std::string();
    const std::string why = SystemMessage(ok ? GetLastError() : writeError);
    DeleteFileW(temporary.c_str());
    return path + ": cannot write the report: " + why;
}

}  // namespace mcrsim_junit

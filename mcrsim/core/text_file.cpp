// Reading a text file a person names; see text_file.h.
#include "text_file.h"

#include <filesystem>
#include <fstream>

#include "windows_names.h"

namespace mcrsim {

namespace {

// Why a path cannot be opened: Windows drops the dots and spaces that end a file name
// ("card.deck." is looked for as "card.deck"), so a file whose name really ends so (made
// elsewhere) cannot be opened from Windows at all.
std::string CannotOpen(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::string_view looked = WindowsFileName(path);
    if (looked.empty() || looked.size() == name.size()) return kCannotOpenFile;
    return std::string(kCannotOpenFile) + ": Windows drops the dots and spaces that end a file name, so it looked for '" +
           std::string(looked) +
           "' (a file whose name really ends in a dot or a space cannot be opened on Windows: rename it)";
}

}  // namespace

std::string ReadTextFile(const std::string &path, std::size_t maxBytes, const std::string &kind, std::string *text) {
    if (path.empty()) return "no file name";
    if (path.rfind("\\\\.\\", 0) == 0 || path.rfind("//./", 0) == 0)
        return "a device path, not a file: a " + kind + " is read from a file";
    const std::string device = WindowsDevice(path);
    if (!device.empty())
        return "Windows opens this name as the device " + device +
               ", not as a file (in any folder, with any extension): give the " + kind + " another name";
    // A wide path on Windows: a narrow one would go through the ANSI code page.
    std::filesystem::path file;
    try {
        file = std::filesystem::u8path(path);
    } catch (const std::exception &) {
        return "the file name is not valid UTF-8";
    }
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (error || !std::filesystem::exists(status)) return CannotOpen(path);
    if (std::filesystem::is_directory(status)) return "a folder, not a " + kind + " file";
    if (!std::filesystem::is_regular_file(status))
        return "not a regular file (a device, a pipe or a socket): a " + kind + " is read from a file";
    std::ifstream in(file, std::ios::binary);
    if (!in) return CannotOpen(path);
    text->clear();
    char chunk[4096];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text->append(chunk, static_cast<std::size_t>(in.gcount()));
        if (text->size() > maxBytes) return "the file is larger than " + std::to_string(maxBytes) + " bytes";
    }
    if (in.bad()) return "cannot read the file";
    return std::string();
}

}  // namespace mcrsim

// What Windows makes of a file name; see windows_names.h.
#include "windows_names.h"

namespace mcrsim {

// Windows takes a name whose part before the first '.' or ':' (trailing spaces and dots
// dropped) is a device name for the device, in any folder, with any extension; COM and
// LPT take the digits 1 to 9 and the superscripts 1 to 3.
std::string WindowsDevice(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':') path.remove_prefix(2);  // a drive
    const std::size_t slash = path.find_last_of("/\\");
    if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
    std::string base(path.substr(0, path.find_first_of(".:")));
    while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();
    for (char &ch : base)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    for (const char *device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (base == device) return base;
    if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return std::string();
    const std::string number = base.substr(3);
    const bool digit = number.size() == 1 && number[0] >= '1' && number[0] <= '9';
    const bool superscript = number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
    return digit || superscript ? base : std::string();
}

std::string_view WindowsFileName(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t kept = name.find_last_not_of(". ");
    return kept == std::string_view::npos ? std::string_view() : name.substr(0, kept + 1);
}

}  // namespace mcrsim

// Reading a text file a person names whole, as deck and scenario files are read: capped,
// and refusing names Windows opens as devices, folders and what is not a regular file.
#ifndef STRIPEWELL_MCRSIM_CORE_TEXT_FILE_H
#define STRIPEWELL_MCRSIM_CORE_TEXT_FILE_H

#include <cstddef>
#include <string>

namespace mcrsim {

constexpr const char *kCannotOpenFile = "cannot open the file";

// Reads a text file a person names (path in UTF-8) whole into *text, as deck and
// scenario files are read: a name Windows opens as a device (aux, com1, ... in any
// folder, with any extension), a folder, anything but a regular file and a file of more
// than maxBytes are refused before or while reading. Returns empty, or what is wrong
// ("a folder, not a KIND file"); kind names the file in those words ("deck").
std::string ReadTextFile(const std::string &path, std::size_t maxBytes, const std::string &kind, std::string *text);

}  // namespace mcrsim

#endif  // STRIPEWELL_MCRSIM_CORE_TEXT_FILE_H

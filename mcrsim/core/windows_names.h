// What Windows makes of a file name: the names it opens as devices, and the dots and
// spaces it drops from the end of one. The same rules on every platform this runs on.
#ifndef STRIPEWELL_MCRSIM_CORE_WINDOWS_NAMES_H
#define STRIPEWELL_MCRSIM_CORE_WINDOWS_NAMES_H

#include <string>
#include <string_view>

namespace mcrsim {

// The device Windows opens for this path instead of a file ("AUX", "COM1"), or empty.
std::string WindowsDevice(std::string_view path);
// The name Windows looks for when given the last part of path: without the dots and
// spaces that end it ("card.deck." is looked for as "card.deck"); empty when nothing
// else is left.
std::string_view WindowsFileName(std::string_view path);

}  // namespace mcrsim

#endif  // STRIPEWELL_MCRSIM_CORE_WINDOWS_NAMES_H

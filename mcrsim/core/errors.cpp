#include "errors.h"

#include <cstdio>
#include <cstring>

namespace mcrsim {

const TrackErrorInfo *FindTrackError(std::uint32_t code) {
    for (const TrackErrorInfo &error : kTrackErrors)
        if (error.code == code) return &error;
    return nullptr;
}

const TrackErrorInfo *FindTrackError(const char *name) {
    if (name == nullptr) return nullptr;
    for (const TrackErrorInfo &error : kTrackErrors)
        if (std::strcmp(error.name, name) == 0) return &error;
    return nullptr;
}

const char *TrackStatusName(std::uint32_t status) {
    if (status == kTrackGood) return "good";
    const TrackErrorInfo *error = FindTrackError(status);
    return error != nullptr ? error->name : "unknown";
}

std::string ErrorFieldText(std::uint32_t status) {
    char text[24];
    std::snprintf(text, sizeof text, "Error:%x", static_cast<unsigned>(status));
    return text;
}

std::string ErrorFieldTextNamed(std::uint32_t status) {
    return ErrorFieldText(status) + " (" + TrackStatusName(status) + ")";
}

}  // namespace mcrsim

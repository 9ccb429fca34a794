// What the card test dialog shows in a track's field, spelled out for the tests apart
// from the program's code and the tools' formatter, so that each checks the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace testing_support {

// "Error:" and the status in lower-case hex, without leading zeros ("Error:12").
inline std::wstring ErrorField(std::uint32_t status) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring hex;
    do {
        hex.insert(hex.begin(), kDigits[status & 15]);
        status >>= 4;
    } while (status != 0);
    return L"Error:" + hex;
}

// The whole MCRRead buffer of bufferBytes: the count bytes given, then zeros; each byte
// as two upper-case hex digits, a space for the high one below 0x10 ("%2X": " A").
inline std::wstring HexField(const std::uint8_t *bytes, std::size_t count, std::size_t bufferBytes) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (std::size_t i = 0; i < bufferBytes; ++i) {
        const std::uint8_t b = i < count ? bytes[i] : 0;
        text += b < 0x10 ? L' ' : kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}
inline std::wstring HexField(const std::string &data, std::size_t bufferBytes) {
    return HexField(reinterpret_cast<const std::uint8_t *>(data.data()), data.size(), bufferBytes);
}

// The field of a track with this status (1: good) and these bytes.
inline std::wstring TrackField(std::uint32_t status, const std::uint8_t *bytes, std::size_t count,
                               std::size_t bufferBytes) {
    return status == 1 ? HexField(bytes, count, bufferBytes) : ErrorField(status);
}

}  // namespace testing_support

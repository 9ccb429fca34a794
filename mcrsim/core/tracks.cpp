// Encoding, damage and decoding of the three tracks; see tracks.h for the formats.
#include "tracks.h"

#include <algorithm>
#include <cstdio>

#include "errors.h"

namespace mcrsim {

namespace {

const TrackFormat kFormats[kTrackCount] = {
    {Track::Iso1, "iso1", 6, 7, true, 0x20, 0x05, 0x1F, 76, 87},  // '%' and '?'
    {Track::Iso2, "iso2", 4, 5, true, 0x30, 0x0B, 0x0F, 37, 42},  // ';' and '?'
    {Track::Jis2, "jis2", 7, 8, false, 0x00, 0x7F, 0x7F, 69, 75},
};

void PutChar(const TrackFormat &format, std::uint8_t code, Bits *bits) {
    for (int b = 0; b < format.dataBits; ++b) bits->push_back((code >> b) & 1);
    bits->push_back(ParityBit(format, code));
}

// One reading attempt over bits in the order given, with its trace.
struct Attempt {
    std::uint32_t status = 0;
    bool foundStart = false;
    std::string data;
    DecodeTrace trace;
};

Attempt ReadOnce(const TrackFormat &format, const Bits &bits) {
    Attempt result;
    DecodeTrace &trace = result.trace;
    const std::size_t width = static_cast<std::size_t>(format.charBits);
    const std::size_t size = bits.size();
    trace.swipeBits = size;

    // Reads the character at pos into the trace; false when its parity is wrong.
    auto readChar = [&](std::size_t pos, CharRole role, std::uint8_t *code) {
        TraceChar ch;
        ch.role = role;
        ch.first = pos;
        ch.count = width;
        for (int b = 0; b < format.dataBits; ++b) ch.code |= static_cast<std::uint8_t>(bits[pos + b] << b);
        ch.parityBit = bits[pos + format.dataBits];
        ch.parityOk = ch.parityBit == ParityBit(format, ch.code);
        trace.chars.push_back(ch);
        trace.stopAt = pos + width;
        *code = ch.code;
        return ch.parityOk;
    };
    // The character just read decided the status.
    auto decidedBy = [&](std::uint32_t status) {
        result.status = status;
        trace.stopChar = static_cast<int>(trace.chars.size()) - 1;
        return result;
    };
    auto stopAt = [&](std::size_t pos, std::uint32_t status) {
        result.status = status;
        trace.stopAt = pos;
        return result;
    };
    // Bits from pos on are all zeros when pos is past the last 1 bit.
    std::size_t lastOne = size;
    for (std::size_t i = size; i-- > 0;)
        if (bits[i] != 0) {
            lastOne = i;
            break;
        }
    auto blankFrom = [&](std::size_t pos) { return lastOne == size || pos > lastOne; };

    std::size_t pos = 0;
    while (pos < size && bits[pos] == 0) ++pos;
    if (pos > 0) {
        TraceChar zeros;
        zeros.count = pos;
        trace.chars.push_back(zeros);
    }
    if (pos == size) return stopAt(pos, kErrNoData);
    std::uint8_t code = 0;
    if (size - pos < width) return stopAt(pos, kErrTruncated);
    if (!readChar(pos, CharRole::Start, &code) || code != format.startCode) return decidedBy(kErrNoStartSentinel);
    result.foundStart = true;
    std::uint8_t lrc = code;
    pos += width;

    for (;;) {
        if (size - pos >= width && blankFrom(pos)) return stopAt(pos, kErrNoEndSentinel);
        if (size - pos < width) return stopAt(pos, kErrTruncated);
        // The role is known only once the character is read: the end sentinel or data.
        const bool parityOk = readChar(pos, CharRole::Data, &code);
        if (!parityOk) return decidedBy(kErrParity);
        pos += width;
        lrc ^= code;
        if (code == format.endCode) {
            trace.chars.back().role = CharRole::End;
            break;
        }
        if (result.data.size() == format.bufferBytes) return decidedBy(kErrTooLong);
        result.data.push_back(static_cast<char>(CharOf(format, code)));
    }

    trace.expectedLrc = lrc;
    if (size - pos < width) return stopAt(pos, kErrTruncated);
    if (!readChar(pos, CharRole::Lrc, &code) || code != lrc) return decidedBy(kErrLrc);
    return decidedBy(kTrackGood);
}

const char *const kRoleNames[] = {"clocking zeros", "start sentinel", "data", "end sentinel", "LRC"};

}  // namespace

const TrackFormat &FormatOf(Track track) { return kFormats[static_cast<int>(track)]; }

const TrackFormat *FindFormat(std::string_view name) {
    for (const TrackFormat &format : kFormats)
        if (name == format.name) return &format;
    return nullptr;
}

std::uint8_t CharOf(const TrackFormat &format, std::uint8_t code) {
    return static_cast<std::uint8_t>(code + format.offset);
}

int CodeOf(const TrackFormat &format, std::uint8_t ch) {
    const int code = static_cast<int>(ch) - format.offset;
    return code >= 0 && code < (1 << format.dataBits) ? code : -1;
}

std::uint8_t ParityBit(const TrackFormat &format, std::uint8_t code) {
    int ones = 0;
    for (int b = 0; b < format.dataBits; ++b) ones += (code >> b) & 1;
    // Odd parity: the character's bits, parity included, hold an odd number of ones.
    return static_cast<std::uint8_t>(format.oddParity ? (ones % 2 == 0) : (ones % 2 == 1));
}

std::string CheckDataChar(const TrackFormat &format, std::uint8_t ch) {
    const int code = CodeOf(format, ch);
    if (code < 0) {
        const unsigned low = format.offset, high = format.offset + (1u << format.dataBits) - 1;
        char range[64];
        std::snprintf(range, sizeof range, " (0x%02X..0x%02X)", low, high);
        return CharText(ch) + " is not a character of " + format.name + range;
    }
    if (code == format.startCode || code == format.endCode)
        return CharText(ch) + " is a sentinel of " + format.name + " and cannot be data";
    return std::string();
}

std::uint8_t LrcChar(const TrackFormat &format, std::string_view data) {
    std::uint8_t lrc = static_cast<std::uint8_t>(format.startCode ^ format.endCode);
    for (char ch : data) {
        const int code = CodeOf(format, static_cast<std::uint8_t>(ch));
        if (code >= 0) lrc ^= static_cast<std::uint8_t>(code);
    }
    return CharOf(format, lrc);
}

bool EncodeTrack(const TrackFormat &format, std::string_view data, Bits *content, std::string *error) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::string why = CheckDataChar(format, static_cast<std::uint8_t>(data[i]));
        if (!why.empty()) {
            if (error != nullptr) *error = "character " + std::to_string(i + 1) + ": " + why;
            return false;
        }
    }
    Bits bits;
    bits.reserve((data.size() + 3) * static_cast<std::size_t>(format.charBits));
    PutChar(format, format.startCode, &bits);
    for (char ch : data) PutChar(format, static_cast<std::uint8_t>(CodeOf(format, static_cast<std::uint8_t>(ch))), &bits);
    PutChar(format, format.endCode, &bits);
    PutChar(format, static_cast<std::uint8_t>(CodeOf(format, LrcChar(format, data))), &bits);
    *content = std::move(bits);
    return true;
}

std::string CheckDamage(const TrackFormat &format, std::size_t contentBits, const Damage &damage) {
    if (contentBits == 0) return damage.Any() ? "a blank track cannot be damaged" : std::string();
    const std::size_t width = static_cast<std::size_t>(format.charBits);
    if (contentBits < 3 * width || contentBits % width != 0) return "not a recorded track";
    for (std::size_t bit : damage.flips)
        if (bit >= contentBits)
            return "flip bit " + std::to_string(bit) + " is beyond the track's " + std::to_string(contentBits) +
                   " bits (0.." + std::to_string(contentBits - 1) + ")";
    if (damage.truncateAfter >= contentBits)
        return "truncate " + std::to_string(damage.truncateAfter) + " is not inside the track's " +
               std::to_string(contentBits) + " bits (1.." + std::to_string(contentBits - 1) + ")";
    return std::string();
}

void ForEachDamagedBit(const TrackFormat &format, std::size_t contentBits, const Damage &damage,
                       const std::function<void(std::size_t contentBit, BitMark mark)> &hit) {
    for (std::size_t bit : damage.flips)
        if (bit < contentBits) hit(bit, kMarkFlipped);
    const std::size_t width = static_cast<std::size_t>(format.charBits);
    if (contentBits < 3 * width) return;
    for (std::size_t b = 0; damage.loseStart && b < width; ++b) hit(b, kMarkErased);
    for (std::size_t b = contentBits - 2 * width; damage.loseEnd && b < contentBits; ++b) hit(b, kMarkErased);
}

Bits SwipeBits(const TrackFormat &format, const Bits &content, const Damage &damage) {
    Bits recorded = content;
    ForEachDamagedBit(format, recorded.size(), damage, [&](std::size_t bit, BitMark mark) {
        if (mark == kMarkFlipped)
            recorded[bit] ^= 1;
        else
            recorded[bit] = 0;
    });

    Bits stream(kClockingBits + recorded.size() + kClockingBits, 0);
    std::copy(recorded.begin(), recorded.end(), stream.begin() + static_cast<std::ptrdiff_t>(kClockingBits));
    if (damage.reversed) std::reverse(stream.begin(), stream.end());
    if (damage.truncateAfter != 0 && damage.truncateAfter < recorded.size())
        stream.resize(kClockingBits + damage.truncateAfter);
    return stream;
}

Decoded DecodeTrack(const TrackFormat &format, const Bits &bits, bool bothDirections) {
    Decoded result;
    Attempt forward = ReadOnce(format, bits);
    Attempt backward;
    const bool tryBackward = forward.status != kTrackGood && bothDirections;
    if (tryBackward) backward = ReadOnce(format, Bits(bits.rbegin(), bits.rend()));
    const bool useBackward =
        tryBackward && (backward.status == kTrackGood || (backward.foundStart && !forward.foundStart));
    Attempt &chosen = useBackward ? backward : forward;
    result.status = chosen.status;
    result.data = chosen.status == kTrackGood ? std::move(chosen.data) : std::string();
    result.direction = useBackward ? Direction::Backward : Direction::Forward;
    result.trace = std::move(chosen.trace);
    result.trace.direction = result.direction;
    result.trace.otherTried = tryBackward;
    if (tryBackward) result.trace.otherStatus = useBackward ? forward.status : backward.status;
    return result;
}

const char *RoleName(CharRole role) { return kRoleNames[static_cast<int>(role)]; }

std::string DescribeStop(const TrackFormat &format, const Decoded &decoded) {
    const DecodeTrace &trace = decoded.trace;
    // Bit ranges are given along the swipe, low to high, whichever way it was read.
    auto range = [&](std::size_t first, std::size_t count) {
        const std::size_t a = trace.ToSwipe(first), b = trace.ToSwipe(first + count - 1);
        return "bits " + std::to_string(std::min(a, b)) + ".." + std::to_string(std::max(a, b));
    };
    auto charText = [&](std::uint8_t code) { return CharText(CharOf(format, code)); };
    int dataIndex = 0;
    for (int i = 0; i <= trace.stopChar; ++i)
        if (trace.chars[static_cast<std::size_t>(i)].role == CharRole::Data) ++dataIndex;
    const TraceChar *stop = trace.stopChar >= 0 ? &trace.chars[static_cast<std::size_t>(trace.stopChar)] : nullptr;
    const std::size_t left = trace.swipeBits - trace.stopAt;
    switch (decoded.status) {
    case kTrackGood:
        return "read " + std::to_string(decoded.data.size()) + " data characters; the LRC " +
               charText(stop->code) + " matches";
    case kErrNoData:
        return trace.swipeBits == 0 ? "no bits at all" : "all " + std::to_string(trace.swipeBits) + " bits are zeros";
    case kErrNoStartSentinel:
        return "the first character, " + charText(stop->code) + " (" + range(stop->first, stop->count) + "), " +
               (stop->parityOk ? "is not the start sentinel " + charText(format.startCode)
                               : std::string("fails its parity"));
    case kErrParity:
        return "data character " + std::to_string(dataIndex) + ", " + charText(stop->code) + " (" +
               range(stop->first, stop->count) + "), fails its parity";
    case kErrTooLong:
        return "data character " + std::to_string(dataIndex) + " is one more than the buffer's " +
               std::to_string(format.bufferBytes);
    case kErrNoEndSentinel:
        return "no end sentinel before the blank end of the track (" + range(trace.stopAt, left) + " are zeros)";
    case kErrTruncated: {
        auto has = [&](CharRole role) {
            return std::any_of(trace.chars.begin(), trace.chars.end(), [&](const TraceChar &c) { return c.role == role; });
        };
        const char *wanted = has(CharRole::End) ? "the LRC" : has(CharRole::Start) ? "the end sentinel" : "the start sentinel";
        if (left == 0) return std::string("the swipe ends before ") + wanted;
        return "the swipe ends with " + std::to_string(left) + (left == 1 ? " bit" : " bits") +
               ", fewer than a character, before " + wanted;
    }
    case kErrLrc:
        return "the LRC " + charText(stop->code) + " (" + range(stop->first, stop->count) + ") " +
               (stop->parityOk ? "does not match the data's " + charText(trace.expectedLrc)
                               : std::string("fails its parity"));
    }
    return TrackStatusName(decoded.status);
}

std::size_t SwipePosition(std::size_t contentBits, const Damage &damage, std::size_t contentBit) {
    if (contentBit >= contentBits) return kNotSwiped;
    const std::size_t pos =
        damage.reversed ? kClockingBits + contentBits - 1 - contentBit : kClockingBits + contentBit;
    const bool truncated = damage.truncateAfter != 0 && damage.truncateAfter < contentBits;
    return truncated && pos >= kClockingBits + damage.truncateAfter ? kNotSwiped : pos;
}

std::string BitsToString(const Bits &bits) {
    std::string text;
    text.reserve(bits.size());
    for (std::uint8_t bit : bits) text.push_back(bit ? '1' : '0');
    return text;
}

Bits BitsFromString(std::string_view text) {
    Bits bits;
    for (char ch : text)
        if (ch == '0' || ch == '1') bits.push_back(static_cast<std::uint8_t>(ch - '0'));
    return bits;
}

std::string CharText(std::uint8_t ch) {
    char text[32];
    if (ch >= 0x20 && ch < 0x7F)
        std::snprintf(text, sizeof text, "'%c' (0x%02X)", static_cast<char>(ch), ch);
    else
        std::snprintf(text, sizeof text, "0x%02X", ch);
    return text;
}

}  // namespace mcrsim

// The decoder on any bit stream. Input: one byte choosing the track (low two bits) and
// whether both directions are tried (bit 2), then the bits, eight to a byte, least
// significant first. Whatever it reads is a status from the error table; its trace
// agrees with it (the stretches read hold the swipe's bits, the deciding character is
// one that can decide that status, a good read's data are its traced data characters);
// a good read holds only characters of the track's range, and recording that data
// again and swiping it undamaged reads the same data.
#include <cstdint>
#include <string>

#include "errors.h"
#include "fuzz_check.h"
#include "tracks.h"

namespace {

using mcrsim::CharRole;

void CheckTrace(const mcrsim::TrackFormat &format, const mcrsim::Bits &bits, const mcrsim::Decoded &decoded) {
    const mcrsim::DecodeTrace &trace = decoded.trace;
    FUZZ_CHECK(trace.swipeBits == bits.size());
    FUZZ_CHECK(trace.direction == decoded.direction);
    std::size_t pos = 0;
    std::string data;
    CharRole last = CharRole::Clocking;
    for (std::size_t i = 0; i < trace.chars.size(); ++i) {
        const mcrsim::TraceChar &ch = trace.chars[i];
        FUZZ_CHECK(ch.first == pos);
        FUZZ_CHECK(pos + ch.count <= bits.size());
        if (ch.role == CharRole::Clocking) {
            FUZZ_CHECK(i == 0 && ch.count > 0);
            for (std::size_t b = 0; b < ch.count; ++b) FUZZ_CHECK(bits[trace.ToSwipe(pos + b)] == 0);
        } else {
            // Start, then data up to the end sentinel, then the LRC: never out of order.
            FUZZ_CHECK(ch.count == static_cast<std::size_t>(format.charBits));
            FUZZ_CHECK((ch.role == CharRole::Start) == (last == CharRole::Clocking));
            FUZZ_CHECK(ch.role != CharRole::Lrc || last == CharRole::End);
            FUZZ_CHECK(last != CharRole::End || ch.role == CharRole::Lrc);
            std::uint8_t code = 0;
            for (int b = 0; b < format.dataBits; ++b)
                code |= static_cast<std::uint8_t>(bits[trace.ToSwipe(pos + b)] << b);
            FUZZ_CHECK(ch.code == code);
            FUZZ_CHECK(ch.parityBit == bits[trace.ToSwipe(pos + format.dataBits)]);
            FUZZ_CHECK(ch.parityOk == (ch.parityBit == mcrsim::ParityBit(format, code)));
            // Every character before the deciding one passed.
            FUZZ_CHECK(ch.parityOk || static_cast<int>(i) == trace.stopChar);
            if (ch.role == CharRole::Data) data.push_back(static_cast<char>(mcrsim::CharOf(format, code)));
        }
        last = ch.role;
        pos += ch.count;
    }
    FUZZ_CHECK(trace.stopAt == pos);
    // The character that decided, by status.
    const mcrsim::TraceChar *stop = trace.stopChar >= 0 ? &trace.chars[static_cast<std::size_t>(trace.stopChar)] : nullptr;
    FUZZ_CHECK(stop == nullptr || trace.stopChar + 1 == static_cast<int>(trace.chars.size()));
    switch (decoded.status) {
    case mcrsim::kTrackGood:
        FUZZ_CHECK(stop && stop->role == CharRole::Lrc && stop->parityOk && stop->code == trace.expectedLrc);
        FUZZ_CHECK(decoded.data == data);
        break;
    case mcrsim::kErrNoData: FUZZ_CHECK(!stop && pos == bits.size()); break;
    case mcrsim::kErrNoStartSentinel:
        FUZZ_CHECK(stop && stop->role == CharRole::Start && (!stop->parityOk || stop->code != format.startCode));
        break;
    case mcrsim::kErrParity: FUZZ_CHECK(stop && stop->role == CharRole::Data && !stop->parityOk); break;
    case mcrsim::kErrTooLong:
        FUZZ_CHECK(stop && stop->role == CharRole::Data && data.size() == format.bufferBytes + 1);
        break;
    case mcrsim::kErrNoEndSentinel:
        FUZZ_CHECK(!stop && last != CharRole::End && last != CharRole::Lrc);
        for (std::size_t b = pos; b < bits.size(); ++b) FUZZ_CHECK(bits[trace.ToSwipe(b)] == 0);
        break;
    case mcrsim::kErrTruncated:
        FUZZ_CHECK(!stop && bits.size() - pos < static_cast<std::size_t>(format.charBits));
        break;
    case mcrsim::kErrLrc:
        FUZZ_CHECK(stop && stop->role == CharRole::Lrc && (!stop->parityOk || stop->code != trace.expectedLrc));
        break;
    default: FUZZ_CHECK(!"a status outside the error table");
    }
    FUZZ_CHECK(!mcrsim::DescribeStop(format, decoded).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const mcrsim::TrackFormat &format = mcrsim::FormatOf(mcrsim::kTracks[(data[0] & 3) % mcrsim::kTrackCount]);
    const bool bothDirections = (data[0] & 4) != 0;
    mcrsim::Bits bits;
    for (std::size_t i = 1; i < size; ++i)
        for (int b = 0; b < 8; ++b) bits.push_back((data[i] >> b) & 1);

    const mcrsim::Decoded decoded = mcrsim::DecodeTrack(format, bits, bothDirections);
    CheckTrace(format, bits, decoded);
    if (decoded.status != mcrsim::kTrackGood) {
        FUZZ_CHECK(mcrsim::FindTrackError(decoded.status) != nullptr);
        return 0;
    }
    // Damaged bits can carry a start sentinel into the data, which the reader hands over
    // as it found it; never a character outside the track's range, nor its end sentinel.
    bool recordable = true;
    for (unsigned char ch : decoded.data) {
        FUZZ_CHECK(mcrsim::CodeOf(format, ch) >= 0);
        FUZZ_CHECK(ch != mcrsim::CharOf(format, format.endCode));
        recordable = recordable && mcrsim::CheckDataChar(format, ch).empty();
    }
    if (!recordable) return 0;
    mcrsim::Bits content;
    std::string error;
    FUZZ_CHECK(mcrsim::EncodeTrack(format, decoded.data, &content, &error));
    const mcrsim::Decoded again = mcrsim::DecodeTrack(format, mcrsim::SwipeBits(format, content, mcrsim::Damage{}));
    FUZZ_CHECK(again.status == mcrsim::kTrackGood);
    FUZZ_CHECK(again.data == decoded.data);
    return 0;
}

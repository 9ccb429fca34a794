// The one walk of a decoder's trace that the card tests and the fuzz target share; see
// trace_check.h.
#include "trace_check.h"

#include "errors.h"

namespace trace_check {

namespace {

// The condition that failed, and the stretch it failed on (-1: the trace as a whole).
std::string Broken(const char *condition, const mcrsim::DecodeTrace &trace, long stretch) {
    if (stretch < 0) return std::string("the trace: ") + condition;
    const mcrsim::TraceChar &ch = trace.chars[static_cast<std::size_t>(stretch)];
    return "stretch " + std::to_string(stretch) + " (" + mcrsim::RoleName(ch.role) + " at reading bit " +
           std::to_string(ch.first) + "): " + condition;
}

}  // namespace

// Returns at the first condition that fails, naming it: the walk goes no further than
// the trace can be trusted.
#define TRACE_REQUIRE(condition)                                      \
    do {                                                              \
        if (!(condition)) return Broken(#condition, trace, stretch); \
    } while (0)

std::string TraceMismatch(const mcrsim::TrackFormat &format, const mcrsim::Bits &bits,
                          const mcrsim::Decoded &decoded) {
    using mcrsim::CharRole;
    const mcrsim::DecodeTrace &trace = decoded.trace;
    long stretch = -1;
    TRACE_REQUIRE(trace.swipeBits == bits.size());
    TRACE_REQUIRE(trace.direction == decoded.direction);
    std::size_t pos = 0;
    std::string data;
    CharRole last = CharRole::Clocking;
    for (std::size_t i = 0; i < trace.chars.size(); ++i) {
        stretch = static_cast<long>(i);
        const mcrsim::TraceChar &ch = trace.chars[i];
        TRACE_REQUIRE(ch.first == pos);
        TRACE_REQUIRE(pos + ch.count <= bits.size());
        if (ch.role == CharRole::Clocking) {
            TRACE_REQUIRE(i == 0 && ch.count > 0);
            TRACE_REQUIRE(ch.code == 0 && ch.parityOk);
            for (std::size_t b = 0; b < ch.count; ++b) TRACE_REQUIRE(bits[trace.ToSwipe(pos + b)] == 0);
        } else {
            TRACE_REQUIRE(ch.count == static_cast<std::size_t>(format.charBits));
            TRACE_REQUIRE((ch.role == CharRole::Start) == (last == CharRole::Clocking));
            TRACE_REQUIRE(ch.role != CharRole::Lrc || last == CharRole::End);
            TRACE_REQUIRE(last != CharRole::End || ch.role == CharRole::Lrc);
            std::uint8_t code = 0;
            for (int b = 0; b < format.dataBits; ++b)
                code |= static_cast<std::uint8_t>(bits[trace.ToSwipe(pos + b)] << b);
            TRACE_REQUIRE(ch.code == code);
            TRACE_REQUIRE(ch.parityBit == bits[trace.ToSwipe(pos + format.dataBits)]);
            TRACE_REQUIRE(ch.parityOk == (ch.parityBit == mcrsim::ParityBit(format, code)));
            // Every character before the deciding one passed.
            TRACE_REQUIRE(ch.parityOk || static_cast<long>(trace.stopChar) == stretch);
            if (ch.role == CharRole::Data) data.push_back(static_cast<char>(mcrsim::CharOf(format, code)));
        }
        last = ch.role;
        pos += ch.count;
    }
    stretch = -1;
    TRACE_REQUIRE(trace.stopAt == pos);
    // The character that decided, by status.
    const mcrsim::TraceChar *stop = trace.stopChar >= 0 ? &trace.chars[static_cast<std::size_t>(trace.stopChar)] : nullptr;
    TRACE_REQUIRE(stop == nullptr || trace.stopChar + 1 == static_cast<int>(trace.chars.size()));
    switch (decoded.status) {
    case mcrsim::kTrackGood:
        TRACE_REQUIRE(stop && stop->role == CharRole::Lrc && stop->parityOk && stop->code == trace.expectedLrc);
        TRACE_REQUIRE(decoded.data == data);
        break;
    case mcrsim::kErrNoData: TRACE_REQUIRE(!stop && pos == bits.size()); break;
    case mcrsim::kErrNoStartSentinel:
        TRACE_REQUIRE(stop && stop->role == CharRole::Start && (!stop->parityOk || stop->code != format.startCode));
        break;
    case mcrsim::kErrParity: TRACE_REQUIRE(stop && stop->role == CharRole::Data && !stop->parityOk); break;
    case mcrsim::kErrTooLong:
        TRACE_REQUIRE(stop && stop->role == CharRole::Data && data.size() == format.bufferBytes + 1);
        break;
    case mcrsim::kErrNoEndSentinel:
        TRACE_REQUIRE(!stop && last != CharRole::End && last != CharRole::Lrc);
        for (std::size_t b = pos; b < bits.size(); ++b) TRACE_REQUIRE(bits[trace.ToSwipe(b)] == 0);
        break;
    case mcrsim::kErrTruncated:
        TRACE_REQUIRE(!stop && bits.size() - pos < static_cast<std::size_t>(format.charBits));
        break;
    case mcrsim::kErrLrc:
        TRACE_REQUIRE(stop && stop->role == CharRole::Lrc && (!stop->parityOk || stop->code != trace.expectedLrc));
        break;
    default: return "the status " + std::to_string(decoded.status) + " is not in the error table";
    }
    TRACE_REQUIRE(!mcrsim::DescribeStop(format, decoded).empty());
    return std::string();
}

#undef TRACE_REQUIRE

}  // namespace trace_check

// The decoder on any bit stream: whatever it reads is a status from the error table, its
// trace agrees with it, and a good read records and reads back the same.
#include <cstdint>
#include <string>

#include "errors.h"
#include "fuzz_check.h"
#include "trace_check.h"
#include "tracks.h"

// Input: one byte choosing the track (low two bits) and whether both directions are
// tried (bit 2), then the bits, eight to a byte, least significant first. The trace
// agrees when the stretches read hold the swipe's bits, the deciding character is one
// that can decide that status, and a good read's data are its traced data characters; a
// good read holds only characters of the track's range, and recording that data again
// and swiping it undamaged reads the same data.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const mcrsim::TrackFormat &format = mcrsim::FormatOf(mcrsim::kTracks[(data[0] & 3) % mcrsim::kTrackCount]);
    const bool bothDirections = (data[0] & 4) != 0;
    mcrsim::Bits bits;
    for (std::size_t i = 1; i < size; ++i)
        for (int b = 0; b < 8; ++b) bits.push_back((data[i] >> b) & 1);

    const mcrsim::Decoded decoded = mcrsim::DecodeTrack(format, bits, bothDirections);
    const std::string mismatch = trace_check::TraceMismatch(format, bits, decoded);
    if (!mismatch.empty()) std::fprintf(stderr, "%s\n", mismatch.c_str());
    FUZZ_CHECK(mismatch.empty());
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

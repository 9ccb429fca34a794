// Keyboard-wedge lines: the parser never crashes; a refused line says where; an
// accepted line reads with statuses from the error table, and what a wedge would type
// for that read parses again and keeps every good track's data.
#include <cstdint>
#include <string_view>

#include "deck.h"
#include "fuzz_check.h"
#include "wedge.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char *>(data), size);
    const mcrsim::WedgeParse parse = mcrsim::ParseWedge(line);
    if (!parse.ok) {
        FUZZ_CHECK(!parse.error.message.empty());
        FUZZ_CHECK(parse.error.column <= size + 1);
        return 0;
    }
    const mcrsim::CardRead read = mcrsim::ReadCard(parse.card);
    for (const mcrsim::TrackRead &track : read.tracks)
        FUZZ_CHECK(track.status == mcrsim::kTrackGood || mcrsim::FindTrackError(track.status) != nullptr);

    const mcrsim::WedgeParse again = mcrsim::ParseWedge(mcrsim::FormatWedge(read));
    FUZZ_CHECK(again.ok);
    const mcrsim::CardRead reread = mcrsim::ReadCard(again.card);
    for (int t = 0; t < mcrsim::kTrackCount; ++t) {
        if (read.tracks[t].status != mcrsim::kTrackGood) continue;
        FUZZ_CHECK(reread.tracks[t].status == mcrsim::kTrackGood);
        FUZZ_CHECK(reread.tracks[t].length == read.tracks[t].length);
        FUZZ_CHECK(reread.tracks[t].bytes == read.tracks[t].bytes);
    }
    return 0;
}

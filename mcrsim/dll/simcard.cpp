#include "simcard.h"

#include <algorithm>

namespace mcrsim {

static_assert(kMaxBufferBytes == MCRSIM_TRACK_MAX, "a track image holds the largest MCRRead buffer");
static_assert(static_cast<int>(Track::Iso1) == MCRSIM_ISO1 && static_cast<int>(Track::Iso2) == MCRSIM_ISO2 &&
                  static_cast<int>(Track::Jis2) == MCRSIM_JIS2 && kTrackCount == MCRSIM_TRACKS,
              "both sides keep the tracks in the same order");

MCRSimCard ToSimCard(const CardRead &read) {
    MCRSimCard card{};
    for (Track t : kTracks) {
        const TrackRead &track = read[t];
        MCRSimTrack &out = card.track[static_cast<int>(t)];
        out.dwStatus = track.status;
        if (track.status != kTrackGood) continue;
        std::copy(track.bytes.begin(), track.bytes.end(), out.abData);
        out.cbData = static_cast<DWORD>(FormatOf(t).bufferBytes);
    }
    return card;
}

std::string CheckSimCard(const MCRSimCard &card) {
    for (Track t : kTracks) {
        const MCRSimTrack &track = card.track[static_cast<int>(t)];
        const std::string why = CheckReaderTrack(t, track.dwStatus, track.cbData, track.abData, MCRSIM_TRACK_MAX);
        if (!why.empty()) return why;
    }
    return std::string();
}

}  // namespace mcrsim

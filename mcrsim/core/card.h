// The card model: a card is up to three recorded tracks (ISO1, ISO2, JIS2), each with
// the data characters between its sentinels and the damage it has taken; ReadCard swipes
// it through the model of the reader into what MCRRead hands over.
#ifndef STRIPEWELL_MCRSIM_CORE_CARD_H
#define STRIPEWELL_MCRSIM_CORE_CARD_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "errors.h"
#include "tracks.h"

namespace mcrsim {

struct CardTrack {
    bool present = false;  // false: the stripe holds nothing here (reads as no-data)
    std::string data;      // data characters as character values, without sentinels
    Damage damage;

    bool operator==(const CardTrack &other) const;
};

struct Card {
    std::string name;   // short, unique in its deck: letters, digits, '-', '_', '.'
    std::string title;  // free text for a person; may be empty
    std::array<CardTrack, kTrackCount> tracks;

    CardTrack &operator[](Track track) { return tracks[static_cast<int>(track)]; }
    const CardTrack &operator[](Track track) const { return tracks[static_cast<int>(track)]; }
    bool operator==(const Card &other) const;
};

// What MCRRead hands over for one track: status 1 with the data characters in
// bytes[0 .. length) and zeros after them up to the buffer's size; or an error code,
// length 0 and all bytes zero.
struct TrackRead {
    std::uint32_t status = kErrNoData;
    std::size_t length = 0;
    std::array<std::uint8_t, kMaxBufferBytes> bytes{};
};

// "good (58 characters)" or "Error:12 (parity)": a track as the card test dialog
// shows its status, with the error's name.
std::string TrackResultText(const TrackRead &track);

struct CardRead {
    std::array<TrackRead, kTrackCount> tracks;  // ISO1, ISO2, JIS2

    const TrackRead &operator[](Track track) const { return tracks[static_cast<int>(track)]; }
};

// Why the card cannot be recorded (bad name, a character the track cannot hold, more
// characters than the stripe holds, damage that does not fit the track); empty when
// it can. Every card of a loaded deck passes.
std::string CheckCard(const Card &card);
// The parts of CheckCard a deck's parser asks line by line: the card's name, and one
// track's data.
std::string CheckCardName(std::string_view name);
std::string CheckTrackData(const TrackFormat &format, std::string_view data);

// The recorded content of one track of the card (start sentinel to LRC, before
// damage); empty when the track is absent or its data cannot be recorded.
Bits RecordedBits(const Card &card, Track track);

// The bit stream the head delivers for one track of the card, damage included.
// A track that is absent, or whose data cannot be recorded, is a blank stripe.
Bits SwipeTrackBits(const Card &card, Track track);

// What MCRRead hands over for what the decoder found on a track.
TrackRead ToTrackRead(const TrackFormat &format, const Decoded &decoded);

// Why no reader hands this over for a track: a good track (status 1) has at most its
// buffer's size of bytes (count) that the track can hold, zeros only after the data
// (JIS II can hold a zero), and zeros after count up to the end of the image; a failed
// one has an error code of the reader and no byte at all. Empty when a reader could.
std::string CheckReaderTrack(Track track, std::uint32_t status, std::size_t count, const std::uint8_t *image,
                             std::size_t imageSize);

// Swipes the card through the reader's decoder; bothDirections as for DecodeTrack.
TrackRead ReadTrack(const Card &card, Track track, bool bothDirections = true);
CardRead ReadCard(const Card &card, bool bothDirections = true);

}  // namespace mcrsim

#endif  // STRIPEWELL_MCRSIM_CORE_CARD_H

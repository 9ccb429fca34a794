// Cards, decks and what the reader hands over for a card.
//
// A card is up to three recorded tracks (ISO1, ISO2, JIS2), each with the data
// characters between its sentinels and the damage it has taken. ReadCard swipes a card
// through the model of the reader: every track is encoded to bits, damaged, decoded,
// and comes out as MCRRead's buffer and status word.
//
// Deck files are text; docs/cards.md describes the format. A deck loads whole or not
// at all: the first mistake is reported with the file, the line and what is wrong.
#ifndef STRIPEWELL_MCRSIM_CORE_DECK_H
#define STRIPEWELL_MCRSIM_CORE_DECK_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// The first mistake of a deck.
struct DeckError {
    std::string file;
    int line = 0;  // 1-based; 0 when the mistake is not on one line
    std::string message;

    // "file:line: message", or "file: message" without a line.
    std::string ToString() const;
};

struct DeckLoad {
    bool ok = false;
    std::vector<Card> cards;  // empty unless ok
    DeckError error;          // set unless ok
};

// Parses deck text; fileName is only used in the error.
DeckLoad ParseDeck(std::string_view text, const std::string &fileName);
// Reads and parses a deck file (at most kMaxDeckFileBytes). A file that is not there, or
// cannot be opened, is kCannotOpenFile, with why when the name tells it.
DeckLoad LoadDeckFile(const std::string &path);
constexpr const char *kCannotOpenFile = "cannot open the file";
constexpr std::size_t kMaxDeckFileBytes = 1 << 20;

// Reads a text file a person names (path in UTF-8) whole into *text, as deck and
// scenario files are read: a name Windows opens as a device (aux, com1, ... in any
// folder, with any extension), a folder, anything but a regular file and a file of more
// than maxBytes are refused before or while reading. Returns empty, or what is wrong
// ("a folder, not a KIND file"); kind names the file in those words ("deck").
std::string ReadTextFile(const std::string &path, std::size_t maxBytes, const std::string &kind, std::string *text);
// The device Windows opens for this path instead of a file ("AUX", "COM1"), or empty.
std::string WindowsDevice(std::string_view path);

// Deck text that ParseDeck reads back as the same cards.
std::string FormatDeck(const std::vector<Card> &cards);
// Track data as a deck file writes it: in double quotes, with \", \\ and \xHH.
std::string QuotedDeckData(std::string_view data);

// The built-in deck: public test card numbers and made-up names only. Its text is a
// deck file like any other.
std::string_view DefaultDeckText();
const std::vector<Card> &DefaultDeck();

// The card of that name; nullptr when the deck has none.
const Card *FindCard(const std::vector<Card> &deck, std::string_view name);

}  // namespace mcrsim

#endif  // STRIPEWELL_MCRSIM_CORE_DECK_H

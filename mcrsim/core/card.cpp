// The card model: cards, and what the reader hands over for one (see card.h).
#include "card.h"

#include <algorithm>
#include <cstdio>

namespace mcrsim {

namespace {

constexpr std::size_t kMaxNameLength = 32;

std::string Quoted(std::string_view word) { return "'" + std::string(word) + "'"; }

// The recorded content of a card track; empty for a blank stripe.
Bits ContentOf(const TrackFormat &format, const CardTrack &track) {
    Bits content;
    if (!track.present || !CheckTrackData(format, track.data).empty()) return content;
    EncodeTrack(format, track.data, &content, nullptr);
    return content;
}

}  // namespace

std::string CheckCardName(std::string_view name) {
    if (name.empty()) return "the card has no name";
    if (name.size() > kMaxNameLength)
        return "card name " + Quoted(name) + " is longer than " + std::to_string(kMaxNameLength) + " characters";
    for (char ch : name) {
        const bool ok = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
                        ch == '-' || ch == '_' || ch == '.';
        if (!ok) return "card name " + Quoted(name) + " may hold only letters, digits, '-', '_' and '.'";
    }
    return std::string();
}

std::string CheckTrackData(const TrackFormat &format, std::string_view data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        const std::string why = CheckDataChar(format, static_cast<std::uint8_t>(data[i]));
        if (!why.empty()) return std::string(format.name) + " character " + std::to_string(i + 1) + ": " + why;
    }
    if (data.size() > format.stripeMaxChars)
        return std::string(format.name) + " has " + std::to_string(data.size()) + " data characters; the stripe holds at most " +
               std::to_string(format.stripeMaxChars);
    return std::string();
}

bool CardTrack::operator==(const CardTrack &other) const {
    return present == other.present && data == other.data && damage.flips == other.damage.flips &&
           damage.loseStart == other.damage.loseStart && damage.loseEnd == other.damage.loseEnd &&
           damage.reversed == other.damage.reversed && damage.truncateAfter == other.damage.truncateAfter;
}

bool Card::operator==(const Card &other) const {
    return name == other.name && title == other.title && tracks == other.tracks;
}

std::string CheckCard(const Card &card) {
    std::string why = CheckCardName(card.name);
    if (!why.empty()) return why;
    for (Track t : kTracks) {
        const TrackFormat &format = FormatOf(t);
        const CardTrack &track = card[t];
        if (!track.present) {
            if (track.damage.Any()) return "damage to " + std::string(format.name) + ", which the card does not have";
            continue;
        }
        why = CheckTrackData(format, track.data);
        if (!why.empty()) return why;
        why = CheckDamage(format, ContentOf(format, track).size(), track.damage);
        if (!why.empty()) return std::string(format.name) + ": " + why;
    }
    return std::string();
}

Bits RecordedBits(const Card &card, Track track) { return ContentOf(FormatOf(track), card[track]); }

Bits SwipeTrackBits(const Card &card, Track track) {
    const TrackFormat &format = FormatOf(track);
    const Bits content = RecordedBits(card, track);
    return SwipeBits(format, content, content.empty() ? Damage() : card[track].damage);
}

TrackRead ReadTrack(const Card &card, Track track, bool bothDirections) {
    const TrackFormat &format = FormatOf(track);
    return ToTrackRead(format, DecodeTrack(format, SwipeTrackBits(card, track), bothDirections));
}

std::string CheckReaderTrack(Track track, std::uint32_t status, std::size_t count, const std::uint8_t *image,
                             std::size_t imageSize) {
    const TrackFormat &format = FormatOf(track);
    const std::string name = format.name;
    char text[96];
    if (status != kTrackGood) {
        if (FindTrackError(status) == nullptr) {
            std::snprintf(text, sizeof text, "%s has status 0x%X, neither good (1) nor an error code of the reader",
                          format.name, static_cast<unsigned>(status));
            return text;
        }
        if (count != 0 || std::any_of(image, image + imageSize, [](std::uint8_t b) { return b != 0; }))
            return name + " has " + ErrorFieldText(status) + " and data too (a failed track hands over nothing)";
        return std::string();
    }
    if (count > format.bufferBytes || count > imageSize)
        return name + " is good with " + std::to_string(count) + " bytes; its buffer holds " +
               std::to_string(format.bufferBytes);
    bool padding = false;  // past the data: only zeros from here on
    for (std::size_t i = 0; i < imageSize; ++i) {
        const std::uint8_t byte = image[i];
        if (i >= count || padding) {
            if (byte == 0) continue;
            return name + " has " + CharText(byte) + " at byte " + std::to_string(i + 1) + ", " +
                   (i >= count ? "beyond the " + std::to_string(count) + (count == 1 ? " byte" : " bytes") + " it hands over"
                               : std::string("after the zeros that end its data"));
        }
        const std::string why = CheckDataChar(format, byte);
        if (why.empty()) continue;
        if (byte == 0) {
            padding = true;
            continue;
        }
        return name + " byte " + std::to_string(i + 1) + ": " + why;
    }
    return std::string();
}

TrackRead ToTrackRead(const TrackFormat &format, const Decoded &decoded) {
    TrackRead read;
    read.status = decoded.status;
    if (decoded.status == kTrackGood) {
        // The decoder stops at the buffer's size, so the data always fits.
        read.length = std::min(decoded.data.size(), format.bufferBytes);
        std::copy_n(decoded.data.begin(), read.length, read.bytes.begin());
    }
    return read;
}

std::string TrackResultText(const TrackRead &track) {
    if (track.status == kTrackGood)
        return "good (" + std::to_string(track.length) + (track.length == 1 ? " character)" : " characters)");
    return ErrorFieldTextNamed(track.status);
}

CardRead ReadCard(const Card &card, bool bothDirections) {
    CardRead read;
    for (Track t : kTracks) read.tracks[static_cast<int>(t)] = ReadTrack(card, t, bothDirections);
    return read;
}

}  // namespace mcrsim

// Keyboard-wedge text to a card and back; see wedge.h for the conventions.
#include "wedge.h"

#include <cstdio>
#include <vector>

namespace mcrsim {

namespace {

// One byte of the line after escapes, with the column it came from.
struct Typed {
    std::uint8_t byte;
    std::size_t column;
};

std::string ByteText(std::uint8_t byte) {
    char text[32];
    if (byte >= 0x21 && byte < 0x7F)
        std::snprintf(text, sizeof text, "'%c' (0x%02X)", static_cast<char>(byte), byte);
    else if (byte == 0x20)
        std::snprintf(text, sizeof text, "a space (0x20)");
    else
        std::snprintf(text, sizeof text, "byte 0x%02X", byte);
    return text;
}

int HexDigit(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

bool Unescape(std::string_view line, std::vector<Typed> *out, WedgeError *error) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        const std::size_t column = i + 1;
        if (line[i] != '\\') {
            out->push_back({static_cast<std::uint8_t>(line[i]), column});
            continue;
        }
        if (i + 1 >= line.size()) {
            *error = {column, "a lone backslash ends the line (write \\\\ for a backslash, \\x7F for the JIS II sentinel)"};
            return false;
        }
        const char kind = line[i + 1];
        if (kind == '\\') {
            out->push_back({'\\', column});
            ++i;
        } else if (kind == 'x' || kind == 'X') {
            const int high = i + 2 < line.size() ? HexDigit(line[i + 2]) : -1;
            const int low = i + 3 < line.size() ? HexDigit(line[i + 3]) : -1;
            if (high < 0 || low < 0) {
                *error = {column, "\\x must be followed by two hexadecimal digits, like \\x7F"};
                return false;
            }
            out->push_back({static_cast<std::uint8_t>(high * 16 + low), column});
            i += 3;
        } else {
            *error = {column, "unknown escape \\" + std::string(1, kind) +
                                  " (use \\x7F for the JIS II sentinel, \\xHH for any byte, \\\\ for a backslash)"};
            return false;
        }
    }
    return true;
}

bool IsBlank(std::uint8_t byte) { return byte == ' ' || byte == '\t'; }

const TrackFormat *TrackStartingWith(std::uint8_t byte) {
    for (Track t : kTracks) {
        const TrackFormat &format = FormatOf(t);
        if (byte == CharOf(format, format.startCode)) return &format;
    }
    return nullptr;
}

std::string SentinelText(const TrackFormat &format, std::uint8_t code) {
    const std::uint8_t ch = CharOf(format, code);
    return ch == static_cast<std::uint8_t>(kWedgeJisSentinel) ? std::string("0x7F (type \\x7F)")
                                                              : "'" + std::string(1, static_cast<char>(ch)) + "'";
}

// A track the wedge could not read: recorded without data, and the lowest bit of its
// end sentinel turned over, so that the decoder finds a character with bad parity.
CardTrack BadTrack(const TrackFormat &format) {
    CardTrack track;
    track.present = true;
    track.damage.flips.push_back(static_cast<std::size_t>(format.charBits));
    return track;
}

}  // namespace

std::string WedgeError::ToString() const {
    return column > 0 ? "column " + std::to_string(column) + ": " + message : message;
}

WedgeParse ParseWedge(std::string_view line) {
    WedgeParse result;
    auto fail = [&](std::size_t column, std::string message) {
        result.error = {column, std::move(message)};
        return result;
    };
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.size() > kMaxWedgeLine)
        return fail(0, "the line has " + std::to_string(line.size()) + " characters; a swipe is at most " +
                           std::to_string(kMaxWedgeLine));

    std::vector<Typed> typed;
    if (!Unescape(line, &typed, &result.error)) return result;

    Card card;
    card.name = "wedge";
    card.title = "keyboard-wedge swipe";
    std::size_t trackColumns[kTrackCount] = {};
    std::size_t i = 0;
    bool any = false;
    while (i < typed.size()) {
        const Typed start = typed[i];
        if (IsBlank(start.byte)) {
            ++i;
            continue;
        }
        const TrackFormat *format = TrackStartingWith(start.byte);
        if (format == nullptr) {
            if (start.byte == '+')
                return fail(start.column, "'+' starts ISO track 3, which this reader does not have; "
                                          "leave it out of the line");
            return fail(start.column, "unexpected " + ByteText(start.byte) +
                                          " outside a track: a track starts with '%' (ISO1), ';' (ISO2) "
                                          "or 0x7F (JIS II, type \\x7F)");
        }
        const int t = static_cast<int>(format->track);
        if (trackColumns[t] != 0) {
            std::string message = "a second " + std::string(format->name) + " track (the first starts at column " +
                                  std::to_string(trackColumns[t]) + ")";
            if (format->track == Track::Iso2) message += "; ISO track 3 is not read by this reader";
            return fail(start.column, message);
        }
        const std::uint8_t end = CharOf(*format, format->endCode);
        std::size_t close = i + 1;
        while (close < typed.size() && typed[close].byte != end) ++close;
        if (close == typed.size())
            return fail(start.column, "the " + std::string(format->name) + " track that starts here has no end sentinel " +
                                          SentinelText(*format, format->endCode));

        std::string data;
        for (std::size_t k = i + 1; k < close; ++k) data.push_back(static_cast<char>(typed[k].byte));
        if (data.size() == 1 && data[0] == kWedgeBadTrack) {
            card.tracks[t] = BadTrack(*format);
        } else {
            for (std::size_t k = i + 1; k < close; ++k) {
                const std::string why = CheckDataChar(*format, typed[k].byte);
                if (!why.empty()) return fail(typed[k].column, std::string(format->name) + " data: " + why);
            }
            if (data.size() > format->stripeMaxChars)
                return fail(start.column, std::string(format->name) + " has " + std::to_string(data.size()) +
                                              " data characters; the stripe holds at most " +
                                              std::to_string(format->stripeMaxChars));
            card.tracks[t].present = true;
            card.tracks[t].data = std::move(data);
        }
        trackColumns[t] = start.column;
        any = true;
        i = close + 1;
    }
    if (!any) return fail(0, "the line is empty: no track to swipe");
    result.ok = true;
    result.card = std::move(card);
    return result;
}

std::string FormatWedge(const CardRead &read) {
    std::string text;
    for (Track t : kTracks) {
        const TrackFormat &format = FormatOf(t);
        const TrackRead &track = read[t];
        if (track.status == kErrNoData) continue;
        auto put = [&](std::uint8_t byte) {
            if (byte == '\\') {
                text += "\\\\";
            } else if (byte < 0x20 || byte >= 0x7F) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\x%02X", byte);
                text += escape;
            } else {
                text.push_back(static_cast<char>(byte));
            }
        };
        put(CharOf(format, format.startCode));
        if (track.status == kTrackGood) {
            for (std::size_t k = 0; k < track.length; ++k) put(track.bytes[k]);
        } else {
            put(static_cast<std::uint8_t>(kWedgeBadTrack));
        }
        put(CharOf(format, format.endCode));
    }
    return text;
}

}  // namespace mcrsim

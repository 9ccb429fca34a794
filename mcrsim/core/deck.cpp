// Card model, MCRRead results, deck files and the built-in deck.
#include "deck.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

namespace mcrsim {

namespace {

constexpr std::size_t kMaxNameLength = 32;
constexpr std::size_t kMaxNumber = 9999999;

bool IsSpace(char ch) { return ch == ' ' || ch == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

// Splits off the first whitespace-separated word of text.
std::string_view NextWord(std::string_view *text) {
    *text = Trim(*text);
    std::size_t end = 0;
    while (end < text->size() && !IsSpace((*text)[end])) ++end;
    const std::string_view word = text->substr(0, end);
    *text = Trim(text->substr(end));
    return word;
}

std::string Quoted(std::string_view word) { return "'" + std::string(word) + "'"; }

std::string CheckName(std::string_view name) {
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

// The recorded content of a card track; empty for a blank stripe.
Bits ContentOf(const TrackFormat &format, const CardTrack &track) {
    Bits content;
    if (!track.present || !CheckTrackData(format, track.data).empty()) return content;
    EncodeTrack(format, track.data, &content, nullptr);
    return content;
}

// A quoted data string: "..." with \\, \" and \xHH.
bool ParseQuoted(std::string_view text, std::string *out, std::string *error) {
    if (text.empty() || text.front() != '"') {
        *error = "the data must be in double quotes, like \"B4111...\"";
        return false;
    }
    std::string value;
    std::size_t i = 1;
    for (;; ++i) {
        if (i >= text.size()) {
            *error = "the closing double quote is missing";
            return false;
        }
        const char ch = text[i];
        if (ch == '"') break;
        if (ch != '\\') {
            value.push_back(ch);
            continue;
        }
        if (i + 1 >= text.size()) {
            *error = "the closing double quote is missing";
            return false;
        }
        const char kind = text[++i];
        if (kind == '\\' || kind == '"') {
            value.push_back(kind);
        } else if (kind == 'x') {
            auto hex = [](char c) {
                if (c >= '0' && c <= '9') return c - '0';
                if (c >= 'a' && c <= 'f') return c - 'a' + 10;
                if (c >= 'A' && c <= 'F') return c - 'A' + 10;
                return -1;
            };
            const int high = i + 1 < text.size() ? hex(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? hex(text[i + 2]) : -1;
            if (high < 0 || low < 0) {
                *error = "\\x must be followed by two hexadecimal digits";
                return false;
            }
            value.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else {
            *error = "unknown escape \\" + std::string(1, kind) + " (use \\\\, \\\" or \\xHH)";
            return false;
        }
    }
    if (!Trim(text.substr(i + 1)).empty()) {
        *error = "unexpected text after the closing double quote";
        return false;
    }
    *out = std::move(value);
    return true;
}

bool ParseNumber(std::string_view word, std::size_t *value) {
    if (word.empty() || word.size() > 7) return false;
    std::size_t n = 0;
    for (char ch : word) {
        if (ch < '0' || ch > '9') return false;
        n = n * 10 + static_cast<std::size_t>(ch - '0');
    }
    *value = n;
    return n <= kMaxNumber;
}

class DeckParser {
public:
    explicit DeckParser(std::string fileName) { error_.file = std::move(fileName); }

    DeckLoad Run(std::string_view text) {
        DeckLoad result;
        if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // UTF-8 byte order mark
        int number = 0;
        while (!text.empty() || number == 0) {
            const std::size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
            ++number;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (!ParseLine(number, line)) return Failed();
        }
        if (inCard_ && !FinishCard()) return Failed();
        if (cards_.empty()) {
            error_.line = 0;
            error_.message = "no cards in the file (a card begins with a line 'card NAME')";
            return Failed();
        }
        result.ok = true;
        result.cards = std::move(cards_);
        return result;
    }

private:
    struct DamageLine {
        int line;
        Track track;
        Damage damage;  // what this line adds
    };

    bool Fail(int line, std::string message) {
        error_.line = line;
        error_.message = std::move(message);
        return false;
    }

    DeckLoad Failed() {
        DeckLoad result;
        result.error = error_;
        return result;
    }

    bool ParseLine(int number, std::string_view line) {
        for (char ch : line) {
            const unsigned char byte = static_cast<unsigned char>(ch);
            if ((byte < 0x20 && ch != '\t') || byte == 0x7F) {
                char text[80];
                std::snprintf(text, sizeof text, "control character 0x%02X in the line (write it as \\x%02X in data)",
                              byte, byte);
                return Fail(number, text);
            }
        }
        std::string_view rest = Trim(line);
        if (rest.empty() || rest.front() == '#') return true;
        const std::string_view keyword = NextWord(&rest);
        if (keyword == "card") return StartCard(number, rest);
        const TrackFormat *format = FindFormat(keyword);
        if (format == nullptr && keyword != "damage")
            return Fail(number, "unknown keyword " + Quoted(keyword) + " (expected card, iso1, iso2, jis2 or damage)");
        if (!inCard_) return Fail(number, Quoted(keyword) + " before the first 'card' line");
        if (format != nullptr) return TrackLine(number, *format, rest);
        return DamageLineAt(number, rest);
    }

    bool StartCard(int number, std::string_view rest) {
        if (inCard_ && !FinishCard()) return false;
        const std::string_view name = NextWord(&rest);
        if (name.empty()) return Fail(number, "'card' needs a name, like 'card my-card Title'");
        const std::string why = CheckName(name);
        if (!why.empty()) return Fail(number, why);
        const auto used = cardLines_.find(std::string(name));
        if (used != cardLines_.end())
            return Fail(number, "card name " + Quoted(name) + " is already used on line " + std::to_string(used->second));
        card_ = Card();
        card_.name = std::string(name);
        card_.title = std::string(rest);
        inCard_ = true;
        cardLine_ = number;
        trackLines_.fill(0);
        damageLines_.clear();
        for (auto &flips : flipped_) flips.clear();
        return true;
    }

    bool TrackLine(int number, const TrackFormat &format, std::string_view rest) {
        const int t = static_cast<int>(format.track);
        if (trackLines_[t] != 0)
            return Fail(number, std::string(format.name) + " is already given on line " + std::to_string(trackLines_[t]));
        std::string data, why;
        if (!ParseQuoted(rest, &data, &why)) return Fail(number, std::string(format.name) + ": " + why);
        why = CheckTrackData(format, data);
        if (!why.empty()) return Fail(number, why);
        trackLines_[t] = number;
        card_.tracks[t].present = true;
        card_.tracks[t].data = std::move(data);
        return true;
    }

    bool DamageLineAt(int number, std::string_view rest) {
        const std::string_view trackName = NextWord(&rest);
        const TrackFormat *format = FindFormat(trackName);
        if (format == nullptr)
            return Fail(number, trackName.empty() ? "'damage' needs a track: iso1, iso2 or jis2"
                                                  : "unknown track " + Quoted(trackName) + " (expected iso1, iso2 or jis2)");
        const std::string_view kind = NextWord(&rest);
        Damage &total = card_.tracks[static_cast<int>(format->track)].damage;
        DamageLine entry{number, format->track, Damage()};
        const std::string track(format->name);
        if (kind == "flip") {
            if (rest.empty()) return Fail(number, "'flip' needs one or more bit numbers");
            while (!rest.empty()) {
                const std::string_view word = NextWord(&rest);
                std::size_t bit = 0;
                if (!ParseNumber(word, &bit)) return Fail(number, Quoted(word) + " is not a bit number");
                if (!flipped_[static_cast<int>(format->track)].insert(bit).second)
                    return Fail(number, "bit " + std::to_string(bit) + " of " + track + " is already flipped");
                total.flips.push_back(bit);
                entry.damage.flips.push_back(bit);
            }
        } else if (kind == "lose-start" || kind == "lose-end" || kind == "reversed") {
            if (!rest.empty()) return Fail(number, Quoted(kind) + " takes no argument");
            bool &flag = kind == "lose-start" ? total.loseStart : kind == "lose-end" ? total.loseEnd : total.reversed;
            if (flag) return Fail(number, Quoted(kind) + " is already given for " + track);
            flag = true;
        } else if (kind == "truncate") {
            const std::string_view word = NextWord(&rest);
            std::size_t bits = 0;
            if (word.empty() || !rest.empty() || !ParseNumber(word, &bits) || bits == 0)
                return Fail(number, "'truncate' needs one number of bits, 1 or more");
            if (total.truncateAfter != 0) return Fail(number, "'truncate' is already given for " + track);
            total.truncateAfter = bits;
            entry.damage.truncateAfter = bits;
        } else {
            return Fail(number, kind.empty() ? "'damage " + track + "' needs a kind of damage"
                                             : "unknown damage " + Quoted(kind) +
                                                   " (expected flip, lose-start, lose-end, reversed or truncate)");
        }
        damageLines_.push_back(entry);
        return true;
    }

    // Damage can be checked only when the card's tracks are known.
    bool FinishCard() {
        for (const DamageLine &entry : damageLines_) {
            const TrackFormat &format = FormatOf(entry.track);
            const CardTrack &track = card_[entry.track];
            if (!track.present)
                return Fail(entry.line, "damage to " + std::string(format.name) + ", which card " + Quoted(card_.name) +
                                            " does not have");
            const std::string why = CheckDamage(format, ContentOf(format, track).size(), entry.damage);
            if (!why.empty()) return Fail(entry.line, std::string(format.name) + ": " + why);
        }
        cardLines_.emplace(card_.name, cardLine_);
        cards_.push_back(std::move(card_));
        inCard_ = false;
        return true;
    }

    DeckError error_;
    std::vector<Card> cards_;
    std::unordered_map<std::string, int> cardLines_;  // the line of each card's name
    std::array<std::unordered_set<std::size_t>, kTrackCount> flipped_;  // of the card being read
    bool inCard_ = false;
    Card card_;
    int cardLine_ = 0;
    std::array<int, kTrackCount> trackLines_{};
    std::vector<DamageLine> damageLines_;
};

}  // namespace

std::string QuotedDeckData(std::string_view data) {
    std::string out = "\"";
    for (char ch : data) {
        const unsigned char byte = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out.push_back('\\');
            out.push_back(ch);
        } else if (byte < 0x20 || byte >= 0x7F) {
            char text[8];
            std::snprintf(text, sizeof text, "\\x%02X", byte);
            out += text;
        } else {
            out.push_back(ch);
        }
    }
    return out + "\"";
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
    std::string why = CheckName(card.name);
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

std::string DeckError::ToString() const {
    return line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message;
}

DeckLoad ParseDeck(std::string_view text, const std::string &fileName) { return DeckParser(fileName).Run(text); }

// Windows takes a name whose part before the first '.' or ':' (trailing spaces and dots
// dropped) is a device name for the device, in any folder, with any extension; COM and
// LPT take the digits 1 to 9 and the superscripts 1 to 3.
std::string WindowsDevice(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':') path.remove_prefix(2);  // a drive
    const std::size_t slash = path.find_last_of("/\\");
    if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
    std::string base(path.substr(0, path.find_first_of(".:")));
    while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();
    for (char &ch : base)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    for (const char *device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (base == device) return base;
    if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return std::string();
    const std::string number = base.substr(3);
    const bool digit = number.size() == 1 && number[0] >= '1' && number[0] <= '9';
    const bool superscript = number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
    return digit || superscript ? base : std::string();
}

namespace {

// Why a path cannot be opened: Windows drops the dots and spaces that end a file name
// ("card.deck." is looked for as "card.deck"), so a file whose name really ends so (made
// elsewhere) cannot be opened from Windows at all.
std::string CannotOpen(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t kept = name.find_last_not_of(". ");
    if (name.empty() || kept == std::string_view::npos || kept + 1 == name.size()) return kCannotOpenFile;
    return std::string(kCannotOpenFile) + ": Windows drops the dots and spaces that end a file name, so it looked for '" +
           std::string(name.substr(0, kept + 1)) +
           "' (a file whose name really ends in a dot or a space cannot be opened on Windows: rename it)";
}

}  // namespace

std::string ReadTextFile(const std::string &path, std::size_t maxBytes, const std::string &kind, std::string *text) {
    if (path.empty()) return "no file name";
    if (path.rfind("\\\\.\\", 0) == 0 || path.rfind("//./", 0) == 0)
        return "a device path, not a file: a " + kind + " is read from a file";
    const std::string device = WindowsDevice(path);
    if (!device.empty())
        return "Windows opens this name as the device " + device +
               ", not as a file (in any folder, with any extension): give the " + kind + " another name";
    // A wide path on Windows: a narrow one would go through the ANSI code page.
    std::filesystem::path file;
    try {
        file = std::filesystem::u8path(path);
    } catch (const std::exception &) {
        return "the file name is not valid UTF-8";
    }
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (error || !std::filesystem::exists(status)) return CannotOpen(path);
    if (std::filesystem::is_directory(status)) return "a folder, not a " + kind + " file";
    if (!std::filesystem::is_regular_file(status))
        return "not a regular file (a device, a pipe or a socket): a " + kind + " is read from a file";
    std::ifstream in(file, std::ios::binary);
    if (!in) return CannotOpen(path);
    text->clear();
    char chunk[4096];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text->append(chunk, static_cast<std::size_t>(in.gcount()));
        if (text->size() > maxBytes) return "the file is larger than " + std::to_string(maxBytes) + " bytes";
    }
    if (in.bad()) return "cannot read the file";
    return std::string();
}

DeckLoad LoadDeckFile(const std::string &path) {
    std::string text;
    const std::string error = ReadTextFile(path, kMaxDeckFileBytes, "deck", &text);
    if (error.empty()) return ParseDeck(text, path);
    DeckLoad result;
    result.error.file = path;
    result.error.message = error;
    return result;
}

std::string FormatDeck(const std::vector<Card> &cards) {
    std::string text;
    for (const Card &card : cards) {
        if (!text.empty()) text += "\n";
        text += "card " + card.name;
        if (!card.title.empty()) text += " " + card.title;
        text += "\n";
        for (Track t : kTracks) {
            const CardTrack &track = card[t];
            if (!track.present) continue;
            text += "  " + std::string(FormatOf(t).name) + " " + QuotedDeckData(track.data) + "\n";
        }
        for (Track t : kTracks) {
            const Damage &damage = card[t].damage;
            const std::string prefix = "  damage " + std::string(FormatOf(t).name) + " ";
            if (!damage.flips.empty()) {
                text += prefix + "flip";
                for (std::size_t bit : damage.flips) text += " " + std::to_string(bit);
                text += "\n";
            }
            if (damage.loseStart) text += prefix + "lose-start\n";
            if (damage.loseEnd) text += prefix + "lose-end\n";
            if (damage.reversed) text += prefix + "reversed\n";
            if (damage.truncateAfter != 0) text += prefix + "truncate " + std::to_string(damage.truncateAfter) + "\n";
        }
    }
    return text;
}

std::string_view DefaultDeckText() {
    static const char kText[] = R"DECK(# The built-in deck. Card numbers are the public test numbers of the card
# networks; every name is made up.

card full Full card: ISO tracks 1 and 2 and the JIS II track
  iso1 "B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000"
  iso2 "3530111333300000=49121010000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"

card iso ISO card with tracks 1 and 2
  iso1 "B5555555555554444^SAMPLE/TARO^49121010000000000000"
  iso2 "5555555555554444=49121010000000000000"

card iso-no-track1 ISO card without track 1
  iso2 "4111111111111111=49121010000000000000"

card jis2 JIS II card
  jis2 "61 STRIPEWELL JIS TEST 3530111333300000 4912 0001 SAMPLE TARO00000000"

card backwards Full card swiped backwards (the reader reads either direction)
  iso1 "B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000"
  iso2 "3530111333300000=49121010000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"
  damage iso1 reversed
  damage iso2 reversed
  damage jis2 reversed

card blank Blank card: nothing recorded

# Each of these fails on one track with one error; the other tracks read.

card err-no-data Full card without track 2 (no-data on ISO2)
  iso1 "B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"

card err-no-start Start sentinel of track 1 erased (no-start on ISO1)
  iso1 "B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000"
  iso2 "3530111333300000=49121010000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"
  damage iso1 lose-start

# Bit 5 is the lowest bit of the first data character of track 2.
card err-parity One bit of track 2 flipped (parity on ISO2)
  iso1 "B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000"
  iso2 "3530111333300000=49121010000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"
  damage iso2 flip 5

card err-too-long Over-long track 1 of 80 characters (too-long on ISO1)
  iso1 "B4111111111111111^SAMPLE/TOOLONG^49121010000000000000000000000000000000000000000"
  iso2 "3530111333300000=49121010000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"

card err-no-end Worn end of the JIS II track (no-end on JIS2)
  iso1 "B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000"
  iso2 "3530111333300000=49121010000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"
  damage jis2 lose-end

card err-truncated Swipe stopped halfway along track 2 (truncated on ISO2)
  iso1 "B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000"
  iso2 "3530111333300000=49121010000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"
  damage iso2 truncate 100

# Bits 26 and 31 are a data bit and the parity bit of the third JIS II data
# character: its parity still holds, only the LRC sees the change.
card err-lrc Two bits of one JIS II character flipped (lrc on JIS2)
  iso1 "B3530111333300000^SAMPLE/HANAKO^4912101000000000000000000"
  iso2 "3530111333300000=49121010000000000000"
  jis2 "STRIPEWELL TEST 3530111333300000 4912 SAMPLE HANAKO000000000000000000"
  damage jis2 flip 26 31
)DECK";
    return std::string_view(kText, sizeof kText - 1);
}

const std::vector<Card> &DefaultDeck() {
    // The text is fixed and card_tests loads it; an empty deck here would show there.
    static const std::vector<Card> deck = ParseDeck(DefaultDeckText(), "built-in deck").cards;
    return deck;
}

const Card *FindCard(const std::vector<Card> &deck, std::string_view name) {
    for (const Card &card : deck)
        if (card.name == name) return &card;
    return nullptr;
}

}  // namespace mcrsim

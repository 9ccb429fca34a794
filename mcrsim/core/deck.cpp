// Deck files: the parser, the writer and the loader (see deck.h and docs/cards.md).
#include "deck.h"

#include <cstdio>
#include <unordered_map>
#include <unordered_set>

#include "text_file.h"

namespace mcrsim {

namespace {

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
        const std::string why = CheckCardName(name);
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
            const std::string why = CheckDamage(format, RecordedBits(card_, entry.track).size(), entry.damage);
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

std::string DeckError::ToString() const {
    return line > 0 ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message;
}

DeckLoad ParseDeck(std::string_view text, const std::string &fileName) { return DeckParser(fileName).Run(text); }

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

const Card *FindCard(const std::vector<Card> &deck, std::string_view name) {
    for (const Card &card : deck)
        if (card.name == name) return &card;
    return nullptr;
}

}  // namespace mcrsim

#include "tool.h"

#include <optional>

#include "../core/damage_kinds.h"
#include "../core/deck.h"
#include "../core/default_deck.h"
#include "../core/wedge.h"
#include "../client/find_window.h"
#include "../client/mailbox_client.h"
#include "../client/relay.h"
#include "../control/control.h"
#include "scenario.h"
#include "show.h"

namespace mcrsim_tool {

using namespace mcrsim_control;

namespace {

struct Options {
    std::string command;
    std::vector<std::string> positional;
    std::optional<std::string> deck;
    std::optional<DWORD> pid;
    std::optional<std::string> damage;
    std::optional<std::string> track;
    std::optional<std::string> junit;
    bool check = false;
    bool help = false;
};

// A usage error: what is wrong, then the usage text.
int UsageError(Io &io, const std::string &what) {
    io.Err("mcrsim: " + what);
    for (const std::string &line : Usage()) io.Err(line);
    return kExitUsage;
}

// Parses the options after the command. Returns an empty string, or what is wrong.
std::string ParseOptions(const std::vector<std::string> &args, Options *options) {
    for (size_t i = 1; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options->help = true;
            continue;
        }
        if (arg == "--check") {
            if (options->command != "swipe") return "'" + options->command + "' takes no --check";
            options->check = true;
            continue;
        }
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            if (!arg.empty() && arg[0] == '-' && arg.size() > 1) return "unknown option '" + arg + "'";
            options->positional.push_back(arg);
            continue;
        }
        std::string value;
        bool hasValue = false;
        const size_t equals = arg.find('=');
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
            hasValue = true;
        }
        if (arg != "--pid" && arg != "--deck" && arg != "--damage" && arg != "--track" && arg != "--junit")
            return "unknown option '" + arg + "'";
        if (!hasValue) {
            if (i + 1 >= args.size()) return arg + " needs a value";
            value = args[++i];
        }
        if (value.empty()) return arg + " needs a value";
        if (arg == "--pid") {
            if (options->pid) return "--pid is given twice";
            DWORD pid = 0;
            if (!ParsePid(value, &pid)) return "--pid needs a process id (a number above 0), not '" + value + "'";
            options->pid = pid;
            continue;
        }
        std::optional<std::string> *slot = arg == "--deck"     ? &options->deck
                                           : arg == "--damage" ? &options->damage
                                           : arg == "--junit"  ? &options->junit
                                                               : &options->track;
        if (*slot) return arg + " is given twice";
        *slot = value;
    }
    return std::string();
}

// The options each command takes: deck, pid, damage (with track), and how many names
// (kFiles: one or more scenario files, with --junit).
struct CommandInfo {
    const char *name;
    bool deck, pid, damage;
    size_t positional;
};
constexpr size_t kFiles = static_cast<size_t>(-1);

const CommandInfo kCommands[] = {
    {"list", true, false, false, 0},  {"show", true, false, true, 1},   {"swipe", true, true, true, 1},
    {"check", true, true, true, 1},   {"apo", false, true, false, 0},
    {"status", false, true, false, 0}, {"wedge", false, true, false, 0}, {"relay", false, true, false, 0},
    {"run", false, true, false, kFiles}, {"help", false, false, false, 0},
};

const CommandInfo *FindCommand(const std::string &name) {
    for (const CommandInfo &info : kCommands)
        if (name == info.name) return &info;
    return nullptr;
}

std::string CheckOptions(const CommandInfo &info, const Options &options) {
    const std::string command = info.name;
    if (options.deck && !info.deck) return "'" + command + "' takes no --deck";
    if (options.pid && !info.pid) return "'" + command + "' takes no --pid";
    if ((options.damage || options.track) && !info.damage) return "'" + command + "' takes no --damage or --track";
    if (options.track && !options.damage) return "--track goes with --damage";
    if (options.junit && info.positional != kFiles) return "'" + command + "' takes no --junit";
    if (info.positional == kFiles)
        return options.positional.empty() ? "'" + command + "' needs a scenario file" : std::string();
    if (options.positional.size() > info.positional)
        return "'" + command + "' does not take '" + options.positional[info.positional] + "'";
    if (options.positional.size() < info.positional)
        return "'" + command + "' needs the name of a card (mcrsim list shows them)";
    return std::string();
}

struct LoadedDeck {
    std::vector<mcrsim::Card> cards;
    std::string name;   // "the built-in deck", "deck FILE"
    std::string title;  // "Built-in deck", "Deck FILE"
};

bool LoadDeck(const Options &options, Io &io, LoadedDeck *deck) {
    if (!options.deck) {
        deck->cards = mcrsim::DefaultDeck();
        deck->name = "the built-in deck";
        deck->title = "Built-in deck";
        return true;
    }
    const mcrsim::DeckLoad load = mcrsim_control::LoadDeck(*options.deck);
    if (!load.ok) {
        io.Err(load.error.ToString());
        io.Err("mcrsim: the deck was not loaded; nothing was swiped.");
        return false;
    }
    deck->cards = load.cards;
    deck->name = "deck " + *options.deck;
    deck->title = "Deck " + *options.deck;
    return true;
}

int List(const Options &options, Io &io) {
    LoadedDeck deck;
    if (!LoadDeck(options, io, &deck)) return kExitInput;
    io.Out(deck.title + ": " +
           std::to_string(deck.cards.size()) + (deck.cards.size() == 1 ? " card" : " cards"));
    for (const mcrsim::Card &card : deck.cards) {
        io.Out(card.title.empty() ? card.name : card.name + "  " + card.title);
        const mcrsim::CardRead read = mcrsim::ReadCard(card);
        for (mcrsim::Track t : mcrsim::kTracks) {
            const mcrsim::TrackRead &track = read[t];
            std::string line = "  " + std::string(mcrsim::FormatOf(t).name) + "  ";
            if (track.status == mcrsim::kTrackGood)
                line += "good  " + mcrsim::QuotedDeckData(std::string_view(
                                               reinterpret_cast<const char *>(track.bytes.data()), track.length));
            else
                line += mcrsim::TrackResultText(track);
            io.Out(line);
        }
    }
    return kExitOk;
}

// The card the command names, with the damage of --damage and --track added. Returns
// kExitOk, or the exit code after saying what is wrong (`done` names what did not
// happen: "nothing was swiped").
int ChosenCard(const Options &options, Io &io, const std::string &done, mcrsim::Card *card, std::string *what) {
    LoadedDeck deck;
    if (!LoadDeck(options, io, &deck)) return kExitInput;
    CardChoice choice = ChooseCard(deck.cards, deck.name, options.positional[0], options.damage, options.track);
    if (choice.code == kExitUsage) return UsageError(io, choice.error);
    if (choice.code != kExitOk) {
        io.Err("mcrsim: " + choice.error + "; " + done + ".");
        return choice.code;
    }
    *card = std::move(choice.card);
    *what = choice.what;
    return kExitOk;
}

// Compares the card test dialog with what the reader read: the verdict, then each field.
int CheckDialog(Connection &connection, const mcrsim::CardRead &read, Io &io) {
    std::vector<std::string> shown;
    const Outcome check = connection.Check(read, &shown);
    const bool ok = check.code == kExitOk;
    (ok ? io.Out(check.message) : io.Err(check.message));
    for (const std::string &line : shown) (ok ? io.Out("  " + line) : io.Err("  " + line));
    return check.code;
}

int Swipe(const Options &options, Io &io) {
    mcrsim::Card card;
    std::string what;
    const int chosen = ChosenCard(options, io, "nothing was swiped", &card, &what);
    if (chosen != kExitOk) return chosen;
    Connection connection(options.pid);
    const mcrsim::CardRead read = mcrsim::ReadCard(card);
    const Outcome outcome = connection.Swipe(read, what);
    (outcome.code == kExitOk ? io.Out(outcome.message) : io.Err(outcome.message));
    if (outcome.code != kExitOk || !options.check) return outcome.code;
    return CheckDialog(connection, read, io);
}

// The card's read compared with the dialog as it is, without a swipe (after a swipe
// from the panel or elsewhere).
int Check(const Options &options, Io &io) {
    mcrsim::Card card;
    std::string what;
    const int chosen = ChosenCard(options, io, "nothing was compared", &card, &what);
    if (chosen != kExitOk) return chosen;
    Connection connection(options.pid);
    if (!connection.connected()) {
        io.Err(connection.failure().message);
        return connection.failure().code;
    }
    return CheckDialog(connection, mcrsim::ReadCard(card), io);
}

// Passes the requests of a relay client in another Wine prefix (the panel, which
// scripts/run starts in a prefix of its own) to the reader of Stripewell: one line in,
// one line out, until standard input ends.
int Relay(const Options &options, Io &io) {
    mcrsim_mailbox::Client client(options.pid.value_or(window_search::FindStripewell()));
    std::string line;
    for (Io::Read read; (read = io.ReadLine(&line)) != Io::Read::End;)
        io.Out(read == Io::Read::Line ? mcrsim_relay::AnswerRequest(client, line) : mcrsim_relay::AnswerTooLongRequest());
    return kExitOk;
}

// Prints the card's tracks as the reader model reads them; needs no Stripewell. Deck
// cards only: the tool takes no wedge line here, which may be a real card.
int Show(const Options &options, Io &io) {
    mcrsim::Card card;
    std::string what;
    const int chosen = ChosenCard(options, io, "nothing to show", &card, &what);
    if (chosen != kExitOk) return chosen;
    const bool utf8 = io.Utf8Output();
    io.Out("Card " + what + (card.title.empty() ? "" : ": " + card.title));
    for (mcrsim::Track t : mcrsim::kTracks) {
        io.Out("");
        for (const std::string &line : ShowTrack(mcrsim::ViewTrack(card, t), utf8)) io.Out(line);
    }
    io.Out("");
    for (const std::string &line : ShowLegend(utf8)) io.Out(line);
    return kExitOk;
}

int PowerOff(const Options &options, Io &io) {
    Connection connection(options.pid);
    const Outcome outcome = connection.PowerOff();
    (outcome.code == kExitOk ? io.Out(outcome.message) : io.Err(outcome.message));
    return outcome.code;
}

int Status(const Options &options, Io &io) {
    Connection connection(options.pid);
    const Outcome outcome = connection.State();
    if (!outcome.state) {
        io.Err(outcome.message);
        return outcome.code;
    }
    for (const std::string &line : StateLines(connection.pid(), *outcome.state)) io.Out(line);
    return NotReadyReason(*outcome.state).empty() ? kExitOk : kExitNotReady;
}

int Wedge(const Options &options, Io &io) {
    Connection connection(options.pid);
    if (!connection.connected()) {
        io.Err(connection.failure().message);
        return connection.failure().code;
    }
    if (io.Interactive())
        io.Err("Swipe cards through the keyboard-wedge reader, or type a line like %B4111...?;4111...? and Enter. "
               "End with Ctrl+D (Ctrl+Z, Enter on Windows).");
    int result = kExitOk;
    std::string line;
    for (int number = 1;; ++number) {
        const Io::Read read = io.ReadLine(&line);
        if (read == Io::Read::End) break;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (read == Io::Read::TooLong) {
            io.Err(where + "longer than " + std::to_string(kMaxInputLine) + " bytes; skipped, nothing swiped.");
            if (result == kExitOk) result = kExitInput;
            continue;
        }
        if (line.find_first_not_of(" \t\r\n") == std::string::npos) continue;
        const mcrsim::WedgeParse parse = mcrsim::ParseWedge(line);
        if (!parse.ok) {
            io.Err(where + parse.error.ToString() + "; nothing swiped.");
            if (result == kExitOk) result = kExitInput;
            continue;
        }
        const Outcome outcome = connection.Swipe(mcrsim::ReadCard(parse.card), "the wedge line");
        if (outcome.code == kExitOk) {
            io.Out(where + outcome.message);
            continue;
        }
        io.Err(where + outcome.message);
        if (outcome.code == kExitNoStripewell) return outcome.code;
        result = kExitNotReady;
    }
    return result;
}

}  // namespace

CardChoice ChooseCard(const std::vector<mcrsim::Card> &deck, const std::string &deckName, const std::string &name,
                      const std::optional<std::string> &damage, const std::optional<std::string> &track) {
    CardChoice choice;
    const mcrsim::Card *found = mcrsim::FindCard(deck, name);
    if (found == nullptr) {
        choice.code = kExitInput;
        choice.error = "no card '" + name + "' in " + deckName + " (mcrsim list shows its cards)";
        return choice;
    }
    choice.card = *found;
    choice.what = "'" + choice.card.name + "'";
    if (!damage) return choice;
    const mcrsim::DamageKindInfo *kind = mcrsim::FindDamageKind(*damage);
    if (kind == nullptr) {
        std::string names;
        for (const auto &info : mcrsim::kDamageKinds) names += std::string(names.empty() ? "" : ", ") + info.name;
        choice.code = kExitUsage;
        choice.error = "unknown damage '" + *damage + "' (expected " + names + ")";
        return choice;
    }
    std::optional<mcrsim::Track> hit;
    const std::string trackName = track ? *track : "all";
    if (trackName != "all") {
        const mcrsim::TrackFormat *format = mcrsim::FindFormat(trackName);
        if (format == nullptr) {
            choice.code = kExitUsage;
            choice.error = "unknown track '" + trackName + "' (expected iso1, iso2, jis2 or all)";
            return choice;
        }
        hit = format->track;
    }
    if (kind->kind == mcrsim::DamageKind::None) return choice;
    if (mcrsim::AddDamage(&choice.card, kind->kind, hit) == 0) {
        choice.code = kExitInput;
        choice.error = "card " + choice.what + " has no " + (hit ? trackName + " track" : std::string("tracks")) +
                       " to damage (a blank stripe cannot be damaged)";
        return choice;
    }
    choice.what += " with " + std::string(kind->name) + " on " + (hit ? trackName : std::string("every track"));
    return choice;
}

std::vector<std::string> Usage() {
    return {
        "usage: mcrsim COMMAND [OPTIONS]",
        "Drives the simulated card reader inside a running Stripewell (run it beside Stripewell.exe).",
        "  mcrsim list [--deck FILE]        the deck's cards and what each track reads as",
        "  mcrsim show CARD [--deck FILE] [--damage KIND [--track TRACK]]",
        "                                   a card's tracks bit by bit, as the reader decodes them",
        "  mcrsim swipe CARD [--deck FILE] [--damage KIND [--track TRACK]] [--check] [--pid N]",
        "                                   swipes a card of the deck; with --check, then compares",
        "                                   the card test dialog's fields with what the reader read",
        "  mcrsim check CARD [--deck FILE] [--damage KIND [--track TRACK]] [--pid N]",
        "                                   compares the card test dialog with what the reader reads",
        "                                   of that card, without swiping it",
        "  mcrsim apo [--pid N]             powers the reader off, as its automatic power-off does",
        "  mcrsim status [--pid N]          the reader's state",
        "  mcrsim wedge [--pid N]           swipes each keyboard-wedge line read from standard input",
        "  mcrsim relay [--pid N]           carries a panel's requests from another Wine prefix (scripts/run)",
        "  mcrsim run FILE... [--junit REPORT] [--pid N]",
        "                                   runs scenario files (steps that drive Stripewell through its",
        "                                   windows and its reader, each checked); REPORT: JUnit XML",
        "  mcrsim help                      this text",
        "  mcrsim --version                 Stripewell's version, which this tool is part of",
        "Options:",
        "  --deck FILE     a deck file (docs/cards.md) instead of the built-in deck",
        "  --pid N         the Stripewell process to drive (default: the one running)",
        "  --damage KIND   flip, lose-start, lose-end, truncate or reversed, added as the card is swiped",
        "  --track TRACK   the track --damage hits: iso1, iso2, jis2 or all (the default)",
        "Exit codes: 0 done; 1 bad input (deck file, card name, wedge line, a refused card); 2 usage;",
        "  3 no Stripewell to drive; 4 its reader cannot take a card now (closed, powered off, not notifying,",
        "  or busy with another program);",
        "  5 swipe --check, check: Stripewell does not show what the reader read.",
        "  run: 0 every step passed; 1 a step failed (or the report could not be written); 2 a scenario",
        "  that does not parse, or a REPORT that may not be written; 3 and 4 as above.",
    };
}

int Run(const std::vector<std::string> &args, Io &io) {
    if (args.empty()) return UsageError(io, "a command is needed");
    const CommandInfo *info = FindCommand(args[0]);
    const bool helpWord = args[0] == "--help" || args[0] == "-h";
    if (info == nullptr && !helpWord) return UsageError(io, "unknown command '" + args[0] + "'");
    Options options;
    options.command = args[0];
    const std::string wrong = ParseOptions(args, &options);
    if (!wrong.empty()) return UsageError(io, wrong);
    if (helpWord || options.help || options.command == "help") {
        for (const std::string &line : Usage()) io.Out(line);
        return kExitOk;
    }
    const std::string bad = CheckOptions(*info, options);
    if (!bad.empty()) return UsageError(io, bad);
    if (options.command == "list") return List(options, io);
    if (options.command == "show") return Show(options, io);
    if (options.command == "swipe") return Swipe(options, io);
    if (options.command == "apo") return PowerOff(options, io);
    if (options.command == "status") return Status(options, io);
    if (options.command == "relay") return Relay(options, io);
    if (options.command == "check") return Check(options, io);
    if (options.command == "run") return mcrsim_scenario::RunFiles(options.positional, options.junit, options.pid, io);
    return Wedge(options, io);
}

}  // namespace mcrsim_tool

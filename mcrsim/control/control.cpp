#include "control.h"

#include <cstdio>

#include "../../reader/mcrlib.h"
#include "../client/find_window.h"
#include "../client/mailbox_client.h"
#include "../core/text_file.h"
#include "../dll/simcard.h"
#include "../text/utf8.h"

namespace mcrsim_control {

using mcrsim::CardRead;
using mcrsim::TrackRead;
using mcrsim::TrackResultText;
using mcrsim_text::Utf8;

mcrsim::DeckLoad LoadDeck(const std::string &path) {
    mcrsim::DeckLoad load = mcrsim::LoadDeckFile(path);
    // Whether the name was changed on its way cannot be told from what arrives: Wine
    // changes the characters that are not ASCII, of the command line and of the names it
    // asks the file system for, into ASCII ones ("ö" arrived as "C6" with no locale).
    if (!load.ok && load.error.message == mcrsim::kCannotOpenFile && mcrsim_text::UnderWine() &&
        !mcrsim_text::LocaleIsUtf8())
        load.error.message += " (Wine's locale is not UTF-8: LC_ALL, LC_CTYPE and LANG name no UTF-8 locale, so the "
                              "characters of a file name that are not ASCII reach the file system as others; if this "
                              "name or a folder's has any, run it with LC_ALL=C.UTF-8)";
    return load;
}

bool ParsePid(const std::string &text, DWORD *pid) {
    if (text.empty() || text.size() > 10) return false;
    unsigned long long value = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') return false;
        value = value * 10 + static_cast<unsigned>(ch - '0');
    }
    if (value == 0 || value > 0xFFFFFFFFull) return false;
    *pid = static_cast<DWORD>(value);
    return true;
}

std::string NoStripewellMessage() {
    return "No Stripewell is running: start Stripewell.exe (beside the simulated MCRLIB.dll) first, "
           "then open its card test dialog.";
}

std::string NotReadyReason(const MCRSimState &state) {
    if (!state.fOpen)
        return "Stripewell's card reader is closed: open the card test dialog "
               "(menu File, Stripewell Program) first.";
    if (!state.fNotify)
        return "Stripewell's card reader does not notify the program of swipes (event notification is off): "
               "close and reopen the card test dialog.";
    if (!state.fPowered)
        return "Stripewell's card reader is powered off: move the mouse over the card test dialog "
               "(or switch its APO box off) to resume it.";
    return std::string();
}

std::string ReadSummary(const CardRead &read) {
    std::string text;
    for (mcrsim::Track t : mcrsim::kTracks) {
        if (!text.empty()) text += ", ";
        text += std::string(mcrsim::FormatOf(t).name) + " " + TrackResultText(read[t]);
    }
    return text;
}

// The dialog's power-off mark, which the power-off worker writes into every field.
constexpr const wchar_t *kApoMark = L"APO";

std::wstring FieldTextFor(const TrackRead &track, mcrsim::Track which) {
    if (track.status != mcrsim::kTrackGood) {
        const std::string error = mcrsim::ErrorFieldText(track.status);
        return std::wstring(error.begin(), error.end());
    }
    wchar_t pair[4];
    std::wstring text;
    for (size_t i = 0; i < mcrsim::FormatOf(which).bufferBytes; ++i) {
        std::swprintf(pair, 4, L"%2X", static_cast<unsigned>(track.bytes[i]));
        text += pair;
    }
    return text;
}

namespace {

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// The bytes of a field of "%2X" pairs; false when the text is not such a field.
bool PairBytes(const std::wstring &text, std::vector<unsigned> *bytes) {
    if (text.empty() || text.size() % 2 != 0) return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = text[i] == L' ' ? 0 : HexDigit(text[i]), low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes->push_back(static_cast<unsigned>(high * 16 + low));
    }
    return true;
}

}  // namespace

std::string DecodeField(const std::wstring &text) {
    if (text.empty()) return "(empty)";
    if (text == kApoMark) return "APO (powered off)";
    unsigned code = 0;
    wchar_t rest = 0;
    if (std::swscanf(text.c_str(), L"Error:%x%lc", &code, &rest) == 1) return mcrsim::ErrorFieldTextNamed(code);
    std::vector<unsigned> bytes;
    if (!PairBytes(text, &bytes)) return "\"" + Utf8(text) + "\" (not a field Stripewell writes)";
    // The buffer's zeros after the data are not shown.
    while (!bytes.empty() && bytes.back() == 0) bytes.pop_back();
    std::string decoded = "\"";
    for (unsigned byte : bytes) {
        if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
            decoded += static_cast<char>(byte);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            decoded += escape;
        }
    }
    return decoded + "\"";
}

std::string FieldDifference(mcrsim::Track which, const std::wstring &shown, const TrackRead &read) {
    const std::wstring expected = FieldTextFor(read, which);
    if (shown == expected) return std::string();
    const std::string name = mcrsim::FormatOf(which).name;
    std::vector<unsigned> shownBytes, readBytes;
    if (read.status == mcrsim::kTrackGood && PairBytes(shown, &shownBytes) && PairBytes(expected, &readBytes)) {
        for (size_t i = 0; i < readBytes.size(); ++i) {
            if (i >= shownBytes.size())
                return name + ": Stripewell shows " + std::to_string(shownBytes.size()) + " bytes, the reader read " +
                       std::to_string(readBytes.size());
            if (shownBytes[i] != readBytes[i])
                return name + ": character " + std::to_string(i + 1) + " is " + mcrsim::CharText(static_cast<std::uint8_t>(shownBytes[i])) +
                       ", the reader read " + mcrsim::CharText(static_cast<std::uint8_t>(readBytes[i]));
        }
        // Same bytes, more of them, or the same bytes written another way.
    }
    return name + ": Stripewell shows " + DecodeField(shown) + ", the reader read " + TrackResultText(read);
}

bool ShowsRead(const mcrsim_dialog::Fields &fields, const CardRead &read) {
    if (!fields.dialog) return false;
    for (mcrsim::Track t : mcrsim::kTracks)
        if (!FieldDifference(t, fields.text[static_cast<int>(t)], read[t]).empty()) return false;
    return true;
}

std::string Verdict(const mcrsim_dialog::Fields &fields, const CardRead &read) {
    if (!fields.dialog) return "The card test dialog is not open: nothing to compare.";
    std::string differences;
    for (mcrsim::Track t : mcrsim::kTracks) {
        const std::string difference = FieldDifference(t, fields.text[static_cast<int>(t)], read[t]);
        if (!difference.empty()) differences += (differences.empty() ? "" : "; ") + difference;
    }
    return differences.empty() ? "Stripewell shows what the reader read." : "Stripewell differs: " + differences + ".";
}

namespace {

std::string ApoText(int timeout) { return timeout > 0 ? std::to_string(timeout) + " s" : std::string("off"); }

std::string Count(DWORD n, const char *one, const char *many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

}  // namespace

std::vector<std::string> StateLines(DWORD pid, const MCRSimState &state) {
    std::vector<std::string> lines = {
        "Stripewell: process " + std::to_string(pid),
        std::string("reader: ") + (state.fOpen ? "open" : "closed"),
        std::string("powered: ") + (state.fPowered ? "yes" : "no (powered off)"),
        std::string("notification: ") + (state.fNotify ? "on" : "off"),
        "auto power-off: " + ApoText(state.nApoTimeout),
        std::string("card waiting: ") + (state.fCardWaiting ? "yes" : "no"),
        "swipes: " + std::to_string(state.dwSwipes),
        "reads: " + std::to_string(state.dwReads),
        "power-offs: " + std::to_string(state.dwPowerOffs),
    };
    const std::string reason = NotReadyReason(state);
    lines.push_back(reason.empty() ? "ready for cards" : "not ready: " + reason);
    return lines;
}

std::string StateSummary(DWORD pid, const MCRSimState &state) {
    std::string text = "Stripewell (process " + std::to_string(pid) + "): reader " + (state.fOpen ? "open" : "closed") +
                       (state.fPowered ? ", powered" : ", powered off") +
                       (state.fNotify ? ", notifying" : ", not notifying") + "; auto power-off " +
                       ApoText(state.nApoTimeout) + "; " + Count(state.dwSwipes, "swipe", "swipes") + ", " +
                       Count(state.dwReads, "read", "reads");
    const std::string reason = NotReadyReason(state);
    return text + (reason.empty() ? std::string(". Ready for cards.") : ". " + reason);
}

Connection::Connection(std::optional<DWORD> pid) {
    pid_ = pid ? *pid : window_search::FindStripewell();
    if (pid_ == 0) {
        failure_ = {kExitNoStripewell, NoStripewellMessage(), std::nullopt};
        return;
    }
    process_ = OpenProcess(SYNCHRONIZE, FALSE, pid_);
    reader_ = std::make_unique<mcrsim_mailbox::Client>(pid_);
    if (!reader_->connected()) {
        std::string why = Utf8(reader_->error());
        if (pid) why += " (is --pid the process id of a running Stripewell?)";
        failure_ = {kExitNoStripewell, "Cannot reach the card reader: " + why + ".", std::nullopt};
    }
}

Connection::Connection(mcrsim_relay::Pipes relay, DWORD pid) : pid_(pid) {
    reader_ = std::make_unique<mcrsim_relay::Client>(relay);
}

Connection::~Connection() {
    if (process_ != nullptr) CloseHandle(process_);
}

std::optional<Outcome> Connection::Unreachable() const {
    if (!connected()) return failure_;
    if (process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0)
        return Outcome{kExitNoStripewell, "Stripewell (process " + std::to_string(pid_) + ") has ended.", std::nullopt};
    return std::nullopt;
}

Outcome Connection::WhyNoReply() {
    if (!reader_) return failure_;
    const std::string why = Utf8(reader_->error());
    switch (reader_->failure()) {
    case mcrsim_mailbox::Failure::Busy:
        return {kExitNotReady,
                "Stripewell's card reader is busy: " + why + "; try again when that program has finished with it.",
                std::nullopt};
    case mcrsim_mailbox::Failure::RelayEnded:
        return {kExitNoStripewell, "Stripewell cannot be reached: " + why + ".", std::nullopt};
    case mcrsim_mailbox::Failure::Nonsense:
        return {kExitNoStripewell, "Stripewell's card reader gave an answer that makes no sense: " + why + ".",
                std::nullopt};
    default: return {kExitNoStripewell, "Stripewell's card reader does not answer: " + why + ".", std::nullopt};
    }
}

Outcome Connection::State() {
    if (auto why = Unreachable()) return *why;
    const auto reply = reader_->State();
    if (!reply) return WhyNoReply();
    return {kExitOk, StateSummary(pid_, reply->state), reply->state};
}

Outcome Connection::Swipe(const CardRead &read, const std::string &what) {
    if (auto why = Unreachable()) return *why;
    const auto reply = reader_->Swipe(mcrsim::ToSimCard(read));
    if (!reply) return WhyNoReply();
    if (reply->result == 1)
        return {kExitOk, "Swiped " + what + ": " + ReadSummary(read) + ".", reply->state};
    if (reply->result == mcrsim_mailbox::kResultRefused)
        return {kExitInput, "Not swiped: the reader refused the card: " + reply->note + ".", reply->state};
    std::string reason = NotReadyReason(reply->state);
    if (reason.empty())
        reason = "the reader lost the card: Stripewell is not waiting for one (its reading event does not exist).";
    return {kExitNotReady, "Not swiped: " + reason, reply->state};
}

Outcome Connection::PowerOff() {
    if (auto why = Unreachable()) return *why;
    const auto before = reader_->State();
    if (!before) return WhyNoReply();
    if (!before->state.fOpen || !before->state.fNotify)
        return {kExitNotReady, "Not powered off: " + NotReadyReason(before->state), before->state};
    if (!before->state.fPowered)
        return {kExitNotReady,
                "The reader is already powered off: move the mouse over the card test dialog (or switch its APO box "
                "off) to resume it.",
                before->state};
    const auto reply = reader_->PowerOff();
    if (!reply) return WhyNoReply();
    if (reply->result != 1)
        return {kExitNotReady, "The reader powered off, but Stripewell was not told (its power-off event does not exist).",
                reply->state};
    return {kExitOk, "Powered the reader off: Stripewell was told and shows APO in the card test dialog.", reply->state};
}

std::optional<mcrsim_dialog::Fields> Connection::ReadDialog() {
    if (Unreachable()) return std::nullopt;
    return reader_->ReadDialog();
}

Outcome Connection::Check(const CardRead &read, std::vector<std::string> *shown) {
    // The workers write the three fields one after the other after the swipe.
    constexpr DWORD kSettleMs = 3000, kStepMs = 50;
    const DWORD start = GetTickCount();
    std::optional<mcrsim_dialog::Fields> fields;
    for (bool quitting = false;;) {
        if (auto why = Unreachable()) return *why;
        fields = reader_->ReadDialog();
        if (!fields) return WhyNoReply();
        if (quitting || ShowsRead(*fields, read) || GetTickCount() - start >= kSettleMs) break;
        // Keep this thread's own windows answering while waiting (a test may be
        // Stripewell itself). A quit is the thread's own loop's to see: it goes back
        // into the queue, and the wait ends with one last look.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kStepMs, QS_ALLINPUT);
        MSG msg;
        while (!quitting && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                quitting = true;
            } else {
                DispatchMessageW(&msg);
            }
        }
    }
    if (shown != nullptr && fields->dialog)
        for (mcrsim::Track t : mcrsim::kTracks)
            shown->push_back(std::string(mcrsim::FormatOf(t).name) + " shows " +
                             DecodeField(fields->text[static_cast<int>(t)]));
    return {ShowsRead(*fields, read) ? kExitOk : kExitDiffers, Verdict(*fields, read), std::nullopt};
}

}  // namespace mcrsim_control

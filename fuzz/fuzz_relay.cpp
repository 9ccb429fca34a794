// Relay lines, any bytes split into lines as they come down a pipe: every line gives a
// request, an answer or why it is neither, and what a side accepts stays within the caps
// and reads back the same from the line the other side would write for it.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "lines.h"
#include "relay_lines.h"

namespace {

using namespace mcrsim_relay;

// Small, so that the fuzzer meets whole mailboxes often.
constexpr std::size_t kMailbox = 16;

bool IsPrintable(const std::string &text) {
    for (char c : text)
        if (c < 0x20 || c >= 0x7F) return false;
    return true;
}

void CheckRequest(std::string_view line) {
    Request request;
    std::string why;
    if (!ParseRequest(line, kMailbox, &request, &why)) {
        FUZZ_CHECK(!why.empty());
        return;
    }
    const bool mailbox = request.kind == Request::Kind::Mailbox;
    FUZZ_CHECK(request.mailbox.size() == (mailbox ? kMailbox : 0));
    const std::string again = mailbox ? MailboxLine(request.mailbox.data(), request.mailbox.size()) : FieldsRequestLine();
    Request reread;
    FUZZ_CHECK(ParseRequest(again, kMailbox, &reread, &why));
    FUZZ_CHECK(reread.kind == request.kind && reread.mailbox == request.mailbox);
}

void CheckAnswer(std::string_view line) {
    Answer answer;
    std::string why;
    if (!ParseAnswer(line, kMailbox, &answer, &why)) {
        FUZZ_CHECK(!why.empty());
        return;
    }
    std::string again;
    switch (answer.kind) {
    case Answer::Kind::Mailbox:
        FUZZ_CHECK(answer.mailbox.size() == kMailbox);
        again = MailboxLine(answer.mailbox.data(), answer.mailbox.size());
        break;
    case Answer::Kind::Fields:
        for (const std::u16string &field : answer.fields) FUZZ_CHECK(field.size() <= kMaxFieldUnits);
        again = FieldsAnswerLine(answer.dialog, answer.fields);
        break;
    case Answer::Kind::Error:
        FUZZ_CHECK(!answer.message.empty() && answer.message.size() <= kMaxMessage && IsPrintable(answer.message));
        again = ErrorLine(answer.error, answer.message);
        break;
    }
    FUZZ_CHECK(again.size() <= kMaxLine);
    Answer reread;
    FUZZ_CHECK(ParseAnswer(again, kMailbox, &reread, &why));
    FUZZ_CHECK(reread.kind == answer.kind && reread.mailbox == answer.mailbox && reread.dialog == answer.dialog &&
               reread.fields == answer.fields && reread.error == answer.error && reread.message == answer.message);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    mcrsim::LineSplitter lines(kMaxLine);
    // Two chunks, split where the first byte says, as a pipe may cut them.
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const std::size_t cut = size == 0 ? 0 : data[0] % size;
    lines.Feed(bytes.substr(0, cut));
    lines.Feed(bytes.substr(cut));
    lines.End();
    std::size_t count = 0;
    std::string line;
    for (mcrsim::LineSplitter::Got got; (got = lines.Next(&line)) != mcrsim::LineSplitter::Got::None; ++count) {
        if (got == mcrsim::LineSplitter::Got::TooLong) continue;
        FUZZ_CHECK(line.size() <= kMaxLine && line.find('\n') == std::string::npos);
        CheckRequest(line);
        CheckAnswer(line);
    }
    FUZZ_CHECK(count <= size);
    return 0;
}

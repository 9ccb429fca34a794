// Driving the simulated reader through its mailbox, as the control tool does from
// another process (here the client talks to this process's own server thread).
#include <gtest/gtest.h>

#include "../mcrsim/client/mailbox_client.h"
#include "../reader/mcrlib.h"
#include "../reader/reader.h"
#include "../res/resource.h"
#include "support/testsupport.h"

using namespace testing_support;

namespace {

using MailboxTest = InertCardDialogTest;

TEST_F(MailboxTest, StateSwipeAndPowerOffReachTheReader) {
    mcrsim_mailbox::Client client(GetCurrentProcessId());
    ASSERT_TRUE(client.connected()) << std::string(client.error().begin(), client.error().end());

    auto reply = client.State();
    ASSERT_TRUE(reply);
    EXPECT_FALSE(reply->state.fOpen);
    const MCRSimCard card = MakeCard("R", 1, "5", 1, "T", 1);
    reply = client.Swipe(card);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->result, 0) << "a closed reader sees no card";

    ASSERT_EQ(ReaderOpen(dialog_), TRUE);
    StartReaderWorkers();
    TrackWorkers();
    MCRSetEventNotification(1);
    reply = client.Swipe(card);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->result, 1);
    EXPECT_EQ(reply->state.dwSwipes, 1u);
    ASSERT_TRUE(WaitForEntries(L"MCRResume", 1)) << DumpJournal();
    EXPECT_EQ(FieldText(dialog_, IDC_ISO2).substr(0, 2), L"35");

    // Cards no reader hands over are refused at the mailbox, before the reader sees them.
    MCRSimCard beyond = card, gap = MakeCard(std::string("R\0S", 3), 1, "", 0x10, "", 0x10);
    beyond.track[MCRSIM_ISO1].abData[5] = 'X';
    const std::pair<MCRSimCard, const char *> forged[] = {
        {MakeCard("", 0x42, "", 0x10, "", 0x10), "iso1 has status 0x42, neither good (1) nor an error code of the reader"},
        {MakeCard("r", 1, "", 0x10, "", 0x10), "iso1 byte 1: 'r' (0x72) is not a character of iso1 (0x20..0x5F)"},
        {MakeCard("R", 1, "5;", 1, "", 0x10), "iso2 byte 2: ';' (0x3B) is a sentinel of iso2 and cannot be data"},
        {MakeCard("", 0x10, std::string(38, '5'), 1, "", 0x10), "iso2 is good with 38 bytes; its buffer holds 37"},
        {MakeCard("", 0x10, "", 0x10, "T", 0x12), "jis2 has Error:12 and data too (a failed track hands over nothing)"},
        {beyond, "iso1 has 'X' (0x58) at byte 6, beyond the 1 byte it hands over"},
        {gap, "iso1 has 'S' (0x53) at byte 3, after the zeros that end its data"},
    };
    for (const auto &[forgery, why] : forged) {
        reply = client.Swipe(forgery);
        ASSERT_TRUE(reply) << why;
        EXPECT_EQ(reply->result, mcrsim_mailbox::kResultRefused) << why;
        EXPECT_EQ(reply->note, why);
        EXPECT_EQ(reply->state.dwSwipes, 1u) << why;
    }

    reply = client.PowerOff();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->result, 1);
    EXPECT_FALSE(reply->state.fPowered);
    ASSERT_TRUE(WaitForEntries(L"set:1004:APO", 1)) << DumpJournal();
}

// A client gives up after kReplyTimeoutMs and lets the next one in, but the reply to its
// request may still come: it must never pass for the next request's reply.
TEST(MailboxClientTest, AReplyThatComesTooLateIsNoOtherRequestsReply) {
    MCRSimReset();
    mcrsim_mailbox::Client first(GetCurrentProcessId()), next(GetCurrentProcessId());
    ASSERT_TRUE(first.connected() && next.connected());
    // A closed reader takes no card: the swipe's reply says 0, the state's says 1.
    MCRSimDelayNextMailboxReply(mcrsim_mailbox::kReplyTimeoutMs + 1000);
    const DWORD start = GetTickCount();
    EXPECT_FALSE(first.Swipe(MakeCard("R", 1, "5", 1, "T", 1)));
    EXPECT_EQ(first.failure(), mcrsim_mailbox::Failure::NoAnswer);
    const auto reply = next.State();
    ASSERT_TRUE(reply) << std::string(next.error().begin(), next.error().end());
    EXPECT_EQ(reply->result, 1) << "the swipe's late reply was taken for the state's";
    EXPECT_LT(GetTickCount() - start, mcrsim_mailbox::kReplyTimeoutMs + 4000) << "the next client waited for nothing";
    const auto after = first.State();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->result, 1);
    EXPECT_EQ(after->state.dwSwipes, 0u);
}

TEST(MailboxClientTest, SaysClearlyWhenThereIsNoReaderToDrive) {
    mcrsim_mailbox::Client nobody(0);
    EXPECT_FALSE(nobody.connected());
    EXPECT_EQ(nobody.error(), L"no Stripewell is running");
    EXPECT_FALSE(nobody.State());

    // A process id with no simulated reader (ids are multiples of 4; 2 never exists).
    mcrsim_mailbox::Client stranger(2);
    EXPECT_FALSE(stranger.connected());
    EXPECT_NE(stranger.error().find(L"no simulated card reader"), std::wstring::npos);
}

}  // namespace

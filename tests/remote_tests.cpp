// Driving the simulated reader through its mailbox, as the control tool does from
// another process (here the client talks to this process's own server thread).
#include <gtest/gtest.h>

#include "../mcrsim/remote_client.h"
#include "../reader/mcrlib.h"
#include "../reader/reader.h"
#include "../res/resource.h"
#include "support/testsupport.h"

using namespace testing_support;

namespace {

using RemoteTest = InertCardDialogTest;

TEST_F(RemoteTest, StateSwipeAndPowerOffReachTheReader) {
    mcrsim_remote::Client client(GetCurrentProcessId());
    ASSERT_TRUE(client.connected()) << std::string(client.error().begin(), client.error().end());

    auto reply = client.State();
    ASSERT_TRUE(reply);
    EXPECT_FALSE(reply->state.fOpen);
    const MCRSimCard card = MakeCard("R", 1, "S", 1, "T", 1);
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
    EXPECT_EQ(FieldText(dialog_, IDC_ISO2).substr(0, 2), L"53");

    reply = client.PowerOff();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->result, 1);
    EXPECT_FALSE(reply->state.fPowered);
    ASSERT_TRUE(WaitForEntries(L"set:1004:APO", 1)) << DumpJournal();
}

TEST(RemoteClientTest, SaysClearlyWhenThereIsNoReaderToDrive) {
    mcrsim_remote::Client nobody(0);
    EXPECT_FALSE(nobody.connected());
    EXPECT_EQ(nobody.error(), L"no Stripewell is running");
    EXPECT_FALSE(nobody.State());

    // A process id with no simulated reader (ids are multiples of 4; 2 never exists).
    mcrsim_remote::Client stranger(2);
    EXPECT_FALSE(stranger.connected());
    EXPECT_NE(stranger.error().find(L"no simulated card reader"), std::wstring::npos);
}

}  // namespace

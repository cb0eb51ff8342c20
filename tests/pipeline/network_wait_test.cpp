#include "pipeline/network_wait.h"

#include <numeric>

#include "tests/pipeline/flow_support.h"

namespace {

TEST(NetworkWaitPause, FromHalfASecondToFiveSeconds) {
    struct Case {
        int draw;
        DWORD ms;
    };
    // The factor goes through single precision, so 1.002 * 500 is cut to 500.
    const Case cases[] = {{0, 500}, {1, 500}, {2, 500}, {4, 501}, {9000, 5000}, {9001, 500},
                          {32767, 3381}, {4500, 2750}};
    for (const Case& c : cases) EXPECT_EQ(NetworkWaitPause(c.draw), c.ms) << c.draw;
}

using NetworkWaitTest = FlowTest;

TEST_F(NetworkWaitTest, ConnectedSettlesTwoSecondsWithoutAttempts) {
    EXPECT_TRUE(IsInternetConnected());
    EXPECT_TRUE(NetworkWait(window, true));
    EXPECT_EQ(window.Pages(), std::vector<std::string>{"Checking"});
    EXPECT_EQ(clock.sleeps, std::vector<DWORD>{2000});
    EXPECT_TRUE(OnlyLines(log.NewMessages(), {"Retry: 0"}).empty());
}

TEST_F(NetworkWaitTest, WaitsForTheRouteToComeBack) {
    for (bool logAttempts : {true, false}) {
        SCOPED_TRACE(logAttempts);
        FakeClock local;
        LogMark mark;
        local.randValues = {9000, 0, 4500};  // 5 s, then 0.5 s, then 2.75 s pauses
        DWORD waited = 0;
        local.onSleep = [&](DWORD ms) {
            waited += ms;
            if (waited >= 30000 && waited - ms < 30000) Network(true);
        };
        Network(false);
        EXPECT_FALSE(IsInternetConnected());
        EXPECT_TRUE(NetworkWait(window, logAttempts));
        EXPECT_TRUE(IsInternetConnected());
        // 5000 + 0.5 s * 10 ... then 2.75 s until 30 s have passed; the settle at the end.
        ASSERT_GE(local.sleeps.size(), 3u);
        EXPECT_EQ(local.sleeps[0], 5000u);
        EXPECT_EQ(local.sleeps[1], 500u);
        EXPECT_EQ(local.sleeps.back(), 2000u);
        const size_t pauses = local.sleeps.size() - 1;
        EXPECT_GE(std::accumulate(local.sleeps.begin(), local.sleeps.end() - 1, 0ul), 30000ul);
        std::vector<std::string> retries;
        for (const std::string& line : mark.NewMessages())
            if (line.rfind("Retry: ", 0) == 0) retries.push_back(line);
        if (logAttempts) {
            ASSERT_EQ(retries.size(), pauses);
            EXPECT_EQ(retries.front(), "Retry: 0");
            EXPECT_EQ(retries.back(), "Retry: " + std::to_string(pauses - 1));
        } else {
            EXPECT_TRUE(retries.empty());
        }
    }
}

TEST_F(NetworkWaitTest, GivesUpAfterSixHundredSeconds) {
    clock.randValues = {9000};  // 5 s pauses
    Network(false);
    EXPECT_FALSE(NetworkWait(window, false));
    // 121 pauses of 5 s: the first look past 600 s ends the wait; no settle.
    EXPECT_EQ(clock.sleeps, std::vector<DWORD>(121, 5000));
    EXPECT_EQ(window.Pages(), std::vector<std::string>{"Checking"});
}

}  // namespace

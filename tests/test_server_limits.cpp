// The rate bounds on clients' chat and key requests, on a clock the test sets.

#include "server/RequestLimiter.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Step {
    int client; // 0 to 2; -1: the page at address "peer"
    SimulatorRequest request;
    qint64 atMs;
    int times;
    int admitted;
};

TEST(RequestLimiter, AtMostTheRatePerClientAndOverallInAnyOneSecond)
{
    const auto chat = SimulatorRequest::ChatMacro;
    const auto key = SimulatorRequest::Key;
    const std::vector<Step> steps = {
        {0, chat, 0, 5, 2},     // 2 a second for one client
        {0, chat, 999, 1, 0},   // still within the second of the first two
        {0, chat, 1000, 1, 1},  // the first has left the window
        {1, chat, 1000, 3, 2},  // the window slides for all clients too
        {2, chat, 1000, 3, 1},  // overall 4: one place left
        {-1, chat, 1000, 1, 0}, // nor for a page
        {1, key, 1000, 15, 10}, // keys are bounded apart from chat
        {2, key, 1000, 15, 10},
        {-1, key, 1000, 1, 0},  // 20 in all
        {-1, key, 2100, 12, 10},
    };
    RequestLimiter limiter;
    std::vector<RequestLimiter::Client> clients(3, limiter.newClient());
    int refused = 0;
    for (const Step &s : steps) {
        int admitted = 0;
        for (int i = 0; i < s.times; ++i) {
            admitted += s.client < 0 ? limiter.admitPeer(QStringLiteral("peer"), s.request, s.atMs)
                                     : limiter.admit(clients[s.client], s.request, s.atMs);
        }
        EXPECT_EQ(admitted, s.admitted) << "at " << s.atMs << " client " << s.client;
        refused += s.times - s.admitted;
    }
    EXPECT_EQ(limiter.takeDroppedReport(),
              QStringLiteral("(Server) - 8 chat macros and 13 keys dropped (too many requests)"));
    EXPECT_EQ(refused, 21);
    EXPECT_EQ(limiter.takeDroppedReport(), QString());
}

} // namespace

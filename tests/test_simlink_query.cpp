#include "simlink/SessionInfoIndex.h"
#include "simlink/SessionInfoQuery.h"
#include "test_simlink_paths.h"
#include "tools/sim/SessionTextGenerator.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The query's answer as text, or "<none>".
std::string ask(const std::string &text, const char *path)
{
    const char *start = nullptr;
    int length = -1;
    if (!SessionInfoQuery(text.c_str(), path, &start, &length)) {
        EXPECT_EQ(start, nullptr);
        EXPECT_EQ(length, 0);
        return "<none>";
    }
    return std::string(start, static_cast<std::size_t>(length));
}

const std::string kDrivers = "DriverInfo:\n"
                             " DriverCarIdx: 0\n"
                             " Drivers:\n"
                             " - CarIdx: 0\n"
                             "   UserName: Anna\n"
                             "   CarNumber: -1\n"
                             " - CarIdx: 1\n"
                             "   CarNumber: 12\n"
                             " - CarIdx: 12\n"
                             "   UserName: Bert  \n"
                             "   ClubName:\n"
                             " - CarIdx: 2 \n"
                             "   UserName: Space\n"
                             "SessionInfo:\n"
                             " Sessions:\n"
                             " - SessionNum: 0\n"
                             "   SessionType: Practice\n"
                             " - SessionNum: 1\n"
                             "   SessionType: Qualify\n"
                             " - SessionNum: 2\n"
                             "   SessionType: Race\n"
                             "   ResultsPositions:\n"
                             "   - Position: 1\n"
                             "     CarIdx: 12\n"
                             "   - Position: 2\n"
                             "     CarIdx: 0\n"
                             "     Time: 91.5\n";

TEST(SessionInfoQueryTest, keysAndSelectors)
{
    EXPECT_EQ(ask("WeekendInfo:\n TrackName: Some Track\n", "WeekendInfo:TrackName:"), "Some Track");
    EXPECT_EQ(ask("WeekendInfo:\n TrackName: X\n", "WeekendInfo:Track:"), "<none>") << "colon compared";
    EXPECT_EQ(ask("WeekendInfo:\n Track: X\n", "WeekendInfo:TrackName:"), "<none>");
    EXPECT_EQ(ask(kDrivers, "SessionInfo:Sessions:SessionNum:{2}SessionType:"), "Race");
    EXPECT_EQ(ask(kDrivers, "SessionInfo:Sessions:SessionNum:{0}SessionType:"), "Practice");
    EXPECT_EQ(ask(kDrivers, "DriverInfo:Drivers:CarIdx:{12}UserName:"), "Bert  ") << "trailing spaces kept";
    EXPECT_EQ(ask(kDrivers, "DriverInfo:Drivers:CarIdx:{0}CarNumber:"), "-1");
    EXPECT_EQ(ask(kDrivers, "DriverInfo:Drivers:CarIdx:{2}UserName:"), "<none>") << "2 followed by a space";
    EXPECT_EQ(ask(kDrivers, "DriverInfo:Drivers:CarIdx:{12}"), "12") << "path ending in a selector";
    EXPECT_EQ(ask(kDrivers, "DriverInfo:Drivers:CarIdx:{12}ClubName:"), "") << "empty value found";
    EXPECT_EQ(ask(kDrivers, "SessionInfo:Sessions:SessionNum:{2}ResultsPositions:Position:{2}Time:"), "91.5");
}

TEST(SessionInfoQueryTest, depthAndListEntryRules)
{
    // A key missing from one entry is not taken from the next entry.
    EXPECT_EQ(ask(kDrivers, "DriverInfo:Drivers:CarIdx:{1}UserName:"), "<none>");
    EXPECT_EQ(ask(kDrivers, "SessionInfo:Sessions:SessionNum:{2}ResultsPositions:Position:{1}Time:"), "<none>");
    // Leaving the block under a deeper match ends the query.
    EXPECT_EQ(ask("A:\n   B: 1\n  C: 2\n   D: 3\n", "A:B:D:"), "<none>");
    // A match at depth 0 does not bound the search: later top-level blocks count.
    EXPECT_EQ(ask("A:\nX:\n Y: 1\nB: 2\n", "A:B:"), "2");
    EXPECT_EQ(ask("A:\n B: 1\n", "A:{x"), "<none>") << "unclosed brace";
    EXPECT_EQ(ask("A:\n B: 1\n", "A:B:{1"), "<none>");
    EXPECT_EQ(ask("A:\n B: 1\n", "A:{1}{x"), "<none>") << "second brace unclosed";
}

TEST(SessionInfoQueryTest, endOfTextAndLineEnds)
{
    EXPECT_EQ(ask("A:\n B: last", "A:B:"), "<none>") << "last line without line end";
    EXPECT_EQ(ask("A:\r\n\r\n B: crlf\r\n", "A:B:"), "crlf");
    EXPECT_EQ(ask("A:\r B: cr\r", "A:B:"), "cr");
    EXPECT_EQ(ask("", "A:"), "<none>");
    const char *start = nullptr;
    int length = 0;
    EXPECT_FALSE(SessionInfoQuery(nullptr, "A:", &start, &length));
    EXPECT_FALSE(SessionInfoQuery("A: 1\n", nullptr, &start, &length));
    // The limit ends an unterminated text: the line reaching it is not evaluated.
    const std::string text = "A:\n B: 1\n";
    EXPECT_FALSE(SessionInfoQuery(text.data(), text.size() - 1, "A:B:", &start, &length));
    EXPECT_TRUE(SessionInfoQuery(text.data(), text.size(), "A:B:", &start, &length));
}

TEST(SessionInfoQueryTest, copyCutsAndReportsNegatedLength)
{
    char buffer[2048];
    const std::string exact(2047, 'v');
    EXPECT_EQ(copySessionValue(exact.data(), 2047, buffer, sizeof buffer), 1);
    EXPECT_EQ(std::string(buffer), exact);
    const std::string longer(2048, 'w');
    EXPECT_EQ(copySessionValue(longer.data(), 2048, buffer, sizeof buffer), -2048);
    EXPECT_EQ(std::string(buffer).size(), 2047u);
    EXPECT_EQ(copySessionValue("x", 0, buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(copySessionValue("x", 1, buffer, 0), 0);
}

void expectIndexAgrees(const std::string &text, const std::vector<std::string> &paths)
{
    SessionInfoIndex index;
    index.use(text.c_str(), text.size() + 1);
    for (const std::string &path : paths) {
        const char *plainStart = nullptr;
        int plainLength = 0;
        const bool plain = SessionInfoQuery(text.c_str(), text.size() + 1, path.c_str(), &plainStart, &plainLength);
        for (int round = 0; round < 2; ++round) { // the second answer comes from the index
            const char *indexStart = nullptr;
            int indexLength = 0;
            const bool indexed = index.query(path.c_str(), &indexStart, &indexLength);
            ASSERT_EQ(plain, indexed) << path;
            // The index answers from its own copy: the same place in it.
            ASSERT_EQ(plainStart ? plainStart - text.c_str() : -1, indexStart ? indexStart - index.text() : -1) << path;
            ASSERT_EQ(plainLength, indexLength) << path;
        }
    }
}

TEST(SessionInfoIndexTest, answersEveryProgramPathLikeThePlainQuery)
{
    sim::SessionTextOptions options;
    options.drivers = 64;
    expectIndexAgrees(sim::generateSessionText(options), pollPaths(2));
    options.drivers = 3;
    options.raceLapsComplete = 4;
    const std::string small = sim::generateSessionText(options);
    expectIndexAgrees(small, pollPaths(0));
    expectIndexAgrees(small, pollPaths(1));
    expectIndexAgrees("A:\n B: 1\n", {"A:{x", "A:B:{1", "A:B:", "A:{1}B:", "A:B:{1}"});
}

} // namespace

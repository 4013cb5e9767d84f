#include "simlink/SessionInfoIndex.h"
#include "simlink/SessionInfoQuery.h"
#include "tests/test_simlink_paths.h"
#include "tools/sim/SessionTextGenerator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const std::string kDrivers = "DriverInfo:\n DriverCarIdx: 0\n Drivers:\n"
                             " - CarIdx: 0\n   UserName: Anna\n   CarNumber: -1\n"
                             " - CarIdx: 1\n   CarNumber: 12\n"
                             " - CarIdx: 12\n   UserName: Bert  \n   ClubName:\n"
                             " - CarIdx: 2 \n   UserName: Space\n"
                             "SessionInfo:\n Sessions:\n"
                             " - SessionNum: 0\n   SessionType: Practice\n"
                             " - SessionNum: 1\n   SessionType: Qualify\n"
                             " - SessionNum: 2\n   SessionType: Race\n"
                             "   ResultsPositions:\n"
                             "   - Position: 1\n     CarIdx: 12\n"
                             "   - Position: 2\n     CarIdx: 0\n     Time: 91.5\n";

TEST(SessionInfoQueryTest, answersPathsByKeysSelectorsAndIndentation)
{
    const struct {
        std::string text;
        const char *path;
        const char *expected; // nullptr: not found
        const char *why;
    } cases[] = {
        {"WeekendInfo:\n TrackName: Some Track\n", "WeekendInfo:TrackName:", "Some Track", ""},
        {"WeekendInfo:\n TrackName: X\n", "WeekendInfo:Track:", nullptr, "colon compared"},
        {"WeekendInfo:\n Track: X\n", "WeekendInfo:TrackName:", nullptr, ""},
        {kDrivers, "SessionInfo:Sessions:SessionNum:{2}SessionType:", "Race", ""},
        {kDrivers, "SessionInfo:Sessions:SessionNum:{0}SessionType:", "Practice", ""},
        {kDrivers, "DriverInfo:Drivers:CarIdx:{12}UserName:", "Bert  ", "trailing spaces kept"},
        {kDrivers, "DriverInfo:Drivers:CarIdx:{0}CarNumber:", "-1", ""},
        {kDrivers, "DriverInfo:Drivers:CarIdx:{2}UserName:", nullptr, "2 followed by a space"},
        {kDrivers, "DriverInfo:Drivers:CarIdx:{12}", "12", "path ending in a selector"},
        {kDrivers, "DriverInfo:Drivers:CarIdx:{12}ClubName:", "", "empty value found"},
        {kDrivers, "SessionInfo:Sessions:SessionNum:{2}ResultsPositions:Position:{2}Time:", "91.5", ""},
        {kDrivers, "DriverInfo:Drivers:CarIdx:{1}UserName:", nullptr, "not taken from the next entry"},
        {kDrivers, "SessionInfo:Sessions:SessionNum:{2}ResultsPositions:Position:{1}Time:", nullptr, "nor here"},
        {"A:\n   B: 1\n  C: 2\n   D: 3\n", "A:B:D:", nullptr, "leaving the block under a deeper match ends it"},
        {"A:\nX:\n Y: 1\nB: 2\n", "A:B:", "2", "a match at depth 0 does not bound the search"},
        {"A:\n B: 1\n", "A:{x", nullptr, "unclosed brace"},
        {"A:\n B: 1\n", "A:B:{1", nullptr, "unclosed brace"},
        {"A:\n B: 1\n", "A:{1}{x", nullptr, "second brace unclosed"},
        {"A:\n B: last", "A:B:", nullptr, "last line without line end"},
        {"A:\r\n\r\n B: crlf\r\n", "A:B:", "crlf", ""},
        {"A:\r B: cr\r", "A:B:", "cr", ""},
        {"", "A:", nullptr, ""},
    };
    for (const auto &c : cases) {
        const char *start = nullptr;
        int length = -1;
        const bool found = SessionInfoQuery(c.text.c_str(), c.path, &start, &length);
        EXPECT_EQ(found, c.expected != nullptr) << c.path << ": " << c.why;
        EXPECT_EQ(found ? std::string(start, static_cast<std::size_t>(length)) : "", c.expected ? c.expected : "")
            << c.path;
        EXPECT_TRUE(found || (start == nullptr && length == 0)) << c.path;
    }
    const char *start = nullptr;
    int length = 0;
    EXPECT_FALSE(SessionInfoQuery(nullptr, "A:", &start, &length));
    EXPECT_FALSE(SessionInfoQuery("A: 1\n", nullptr, &start, &length));
    // The limit ends an unterminated text: the line reaching it is not evaluated.
    const std::string text = "A:\n B: 1\n";
    EXPECT_FALSE(SessionInfoQuery(text.data(), text.size() - 1, "A:B:", &start, &length));
    EXPECT_TRUE(SessionInfoQuery(text.data(), text.size(), "A:B:", &start, &length));
}

TEST(SessionInfoQueryTest, copyCutsToTheBufferAndReportsTheNegatedLength)
{
    const struct {
        int length, size, result;
        std::size_t copied;
    } cases[] = {{2046, 2048, 1, 2046}, {2047, 2048, 1, 2047}, {2048, 2048, -2048, 2047}, {0, 2048, 1, 0}, {1, 0, 0, 0}};
    const std::string value(2048, 'v');
    for (const auto &c : cases) {
        std::string buffer(2048, 'x');
        EXPECT_EQ(copySessionValue(value.data(), c.length, &buffer[0], c.size), c.result) << c.length;
        EXPECT_EQ(c.size ? std::strlen(buffer.c_str()) : 0, c.copied) << c.length;
    }
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

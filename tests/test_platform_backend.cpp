// The system backend against the real system, one source for both: natively
// it is the POSIX backend with the simulator substitute's shared memory and
// control channel; cross-compiled it is the Windows backend, run under Wine
// with the Windows substitute's section, event and window.

#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SystemBackend, versionIsTheRunningProgramsOwn)
{
    // Built with the program's version resource on Windows, so the backend
    // reads this executable's resource through its own module path.
    platform::VersionNumbers version;
    ASSERT_TRUE(platform::systemOs().programVersion(&version));
    const std::string text = "v" + std::to_string(version.part[0]) + "." + std::to_string(version.part[1]) + "." +
                             std::to_string(version.part[2]) + "." + std::to_string(version.part[3]);
    EXPECT_EQ(text, "v" PITLINK_TEST_VERSION);
}

TEST(SystemBackend, missingObjectsAreNotFound)
{
    platform::Os &os = platform::systemOs();
    EXPECT_EQ(os.openMapping("Local\\PitlinkNoSuchMapping"), nullptr);
    EXPECT_EQ(os.openEvent("Local\\PitlinkNoSuchEvent"), nullptr);
    EXPECT_EQ(os.findWindow("Pitlink no such window"), 0u);
}

} // namespace

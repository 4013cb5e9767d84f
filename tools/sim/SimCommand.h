#pragma once
// One line of the substitute's command input.

#include <string>

namespace sim {

struct SimCommand {
    enum class Kind {
        Empty, // blank line: nothing to do
        Invalid,
        WindowFront,
        WindowBack,
        WindowGone,
        Restart,
        Disconnect,
        Connect,
        Session,
        Speed,
        SpeedLive,
        RewriteHeader,
        Quit,
    };
    Kind kind = Kind::Empty;
    int sessionNum = 0; // Session
    float speed = 0.0f; // Speed
    std::string track;  // RewriteHeader: the track name of the valid header that follows
    std::string text;   // the command as given, without surrounding blanks
    std::string error;  // Invalid: the line to print
};

SimCommand parseSimCommand(const std::string &line);

} // namespace sim

#include "tools/sim/SimCommand.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace sim {

namespace {

std::vector<std::string> words(const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> result;
    for (std::string word; in >> word;)
        result.push_back(word);
    return result;
}

std::string joined(const std::vector<std::string> &parts)
{
    std::string result;
    for (const std::string &part : parts)
        result += (result.empty() ? "" : " ") + part;
    return result;
}

} // namespace

SimCommand parseSimCommand(const std::string &line)
{
    using Kind = SimCommand::Kind;
    SimCommand command;
    const std::vector<std::string> w = words(line);
    if (w.empty())
        return command;
    command.text = joined(w);
    auto invalid = [&command](const std::string &why) {
        command.kind = Kind::Invalid;
        command.error = "error: " + why + " " + command.text;
        return command;
    };
    const std::string &verb = w[0];
    if (w.size() == 1) {
        if (verb == "restart")
            command.kind = Kind::Restart;
        else if (verb == "disconnect")
            command.kind = Kind::Disconnect;
        else if (verb == "connect")
            command.kind = Kind::Connect;
        else if (verb == "quit")
            command.kind = Kind::Quit;
        else if (verb == "window" || verb == "session" || verb == "speed" || verb == "rewrite-header")
            return invalid("missing value in");
        else
            return invalid("unknown command");
        return command;
    }
    if (w.size() != 2)
        return invalid(verb == "window" || verb == "session" || verb == "speed" || verb == "rewrite-header"
                           ? "too many values in"
                           : "unknown command");
    const std::string &value = w[1];
    if (verb == "window") {
        if (value == "front")
            command.kind = Kind::WindowFront;
        else if (value == "back")
            command.kind = Kind::WindowBack;
        else if (value == "gone")
            command.kind = Kind::WindowGone;
        else
            return invalid("bad value in");
    } else if (verb == "session") {
        errno = 0;
        char *end = nullptr;
        const long n = std::strtol(value.c_str(), &end, 10);
        if (errno != 0 || *end != '\0' || n < 0 || n > 2147483647L)
            return invalid("bad value in");
        command.kind = Kind::Session;
        command.sessionNum = static_cast<int>(n);
    } else if (verb == "speed") {
        if (value == "live") {
            command.kind = Kind::SpeedLive;
            return command;
        }
        char *end = nullptr;
        const float x = std::strtof(value.c_str(), &end);
        if (*end != '\0' || !std::isfinite(x))
            return invalid("bad value in");
        command.kind = Kind::Speed;
        command.speed = x;
    } else if (verb == "rewrite-header") {
        command.kind = Kind::RewriteHeader;
        command.track = value;
    } else {
        return invalid("unknown command");
    }
    return command;
}

} // namespace sim

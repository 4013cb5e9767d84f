#include "tools/sim/SimOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace sim {

namespace {

bool parseInt(const std::string &text, int *value)
{
    if (text.empty())
        return false;
    errno = 0;
    char *end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < -2147483647L || parsed > 2147483647L)
        return false;
    *value = static_cast<int>(parsed);
    return true;
}

bool parseSeconds(const std::string &text, double *value)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(parsed) || parsed < 0)
        return false;
    *value = parsed;
    return true;
}

} // namespace

OptionsResult parseSimOptions(const std::vector<std::string> &args, SimOptions *options, std::string *error)
{
    auto fail = [error](const std::string &why) {
        *error = why;
        return OptionsResult::Error;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--help" || arg == "-h")
            return OptionsResult::Help;
        if (arg == "--torn-writes") {
            options->tornWrites = true;
            continue;
        }
        const bool takesValue = arg == "--drivers" || arg == "--session-file" || arg == "--codepage" ||
                                arg == "--documents" || arg == "--disconnect-after";
        if (!takesValue)
            return fail("unknown option " + arg);
        if (i + 1 >= args.size())
            return fail("option " + arg + " needs a value");
        const std::string &value = args[++i];
        if (arg == "--drivers") {
            int drivers = 0;
            if (!parseInt(value, &drivers) || drivers < kMinDrivers || drivers > kMaxDrivers)
                return fail("--drivers needs a number from " + std::to_string(kMinDrivers) + " to " +
                            std::to_string(kMaxDrivers) + ", not " + value);
            options->drivers = drivers;
        } else if (arg == "--session-file") {
            if (value.empty())
                return fail("--session-file needs a path");
            options->sessionFile = value;
        } else if (arg == "--codepage") {
            if (!parseCodePage(value, &options->codePage))
                return fail("--codepage must be windows-1252 or utf-8, not " + value);
        } else if (arg == "--documents") {
            if (value.empty())
                return fail("--documents needs a folder");
            options->documents = value;
        } else {
            if (!parseSeconds(value, &options->disconnectAfterSeconds))
                return fail("--disconnect-after needs a number of seconds, not " + value);
        }
    }
    return OptionsResult::Run;
}

std::string usageText(const std::string &program)
{
    return "Usage: " + program + " [options]\n"
           "Plays the racing simulator: telemetry memory, session info, window,\n"
           "broadcast messages and keys. Reads commands from stdin, one a line:\n"
           "  window front|back|gone, restart, disconnect, connect, session N,\n"
           "  speed X, speed live, quit,\n"
           "  rewrite-header TRACK (hostile header for 0.5 s, connected bit set,\n"
           "  then a valid one whose session text names TRACK)\n"
           "Options:\n"
           "  --drivers N            drivers in the session, 1..64 (default 24)\n"
           "  --session-file PATH    publish this session-info text instead\n"
           "  --codepage NAME        code page of user names: windows-1252 or utf-8 (default)\n"
           "  --documents DIR        create DIR with a sample app.ini and controls.cfg\n"
           "  --torn-writes          now and then rewrite a sample while readers copy it\n"
           "  --disconnect-after S   clear the connected bit after S seconds\n"
           "  --help                 show this text\n";
}

} // namespace sim

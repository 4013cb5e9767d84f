// pitlink-sim: plays the racing simulator on POSIX for the demo and the
// end-to-end tests. See --help.

#include "tools/sim/DocumentsFolder.h"
#include "tools/sim/LineBuffer.h"
#include "tools/sim/SimCommand.h"
#include "tools/sim/SimOptions.h"
#include "tools/sim/SimulatorSession.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

volatile sig_atomic_t stopSignal = 0;

void onStopSignal(int) { stopSignal = 1; }

void installSignals()
{
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A reader that went away must not kill us mid-line.
    signal(SIGPIPE, SIG_IGN);
}

void printLine(const std::string &line)
{
    if (line.empty())
        return;
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void printLines(const std::vector<std::string> &lines)
{
    for (const std::string &line : lines)
        printLine(line);
}

// Reads what stdin has without blocking. False once stdin has ended.
bool readInput(sim::LineBuffer *buffer, std::vector<std::string> *lines)
{
    struct pollfd fd {STDIN_FILENO, POLLIN, 0};
    while (::poll(&fd, 1, 0) > 0) {
        char chunk[4096];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const std::string rest = buffer->takeRest();
            if (!rest.empty())
                lines->push_back(rest);
            return false;
        }
        for (std::string &line : buffer->append(chunk, static_cast<std::size_t>(n)))
            lines->push_back(std::move(line));
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    using Clock = sim::SimulatorSession::Clock;
    const std::string program = argc > 0 ? argv[0] : "pitlink-sim";
    sim::SimOptions options;
    std::string error;
    switch (sim::parseSimOptions(std::vector<std::string>(argv + std::min(argc, 1), argv + argc), &options, &error)) {
    case sim::OptionsResult::Help:
        std::fputs(sim::usageText(program).c_str(), stdout);
        return 0;
    case sim::OptionsResult::Error:
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program.c_str(), error.c_str(), program.c_str());
        return sim::kExitUsage;
    case sim::OptionsResult::Run: break;
    }
    installSignals();

    if (!options.documents.empty()) {
        const sim::DocumentsResult documents = sim::prepareDocumentsFolder(options.documents);
        if (!documents.ok) {
            std::fprintf(stderr, "%s: %s\n", program.c_str(), documents.error.c_str());
            return 1;
        }
        for (const std::string &path : documents.written)
            printLine("wrote " + path);
    }

    sim::SimulatorSession session(options);
    if (!session.open(Clock::now(), &error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return 1;
    }
    printLine("ready mapping=" + session.mappingObjectName() + " drivers=" + std::to_string(options.drivers));

    sim::LineBuffer input;
    bool inputOpen = true; // at the end of stdin we keep running
    while (!stopSignal && !session.quitRequested()) {
        printLines(session.advance(Clock::now()));
        if (inputOpen) {
            std::vector<std::string> lines;
            inputOpen = readInput(&input, &lines);
            for (const std::string &line : lines) {
                printLine(session.apply(sim::parseSimCommand(line), Clock::now()));
                if (session.quitRequested())
                    break;
            }
        }
        // Commands wait at most one sample interval; records wake us at once.
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(session.untilNextSample(Clock::now()));
        printLines(session.takeRecordLines(static_cast<int>(std::max<long long>(1, wait.count()))));
    }
    printLines(session.takeRecordLines(0));
    session.close();
    return 0;
}

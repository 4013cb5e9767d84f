// pitlink-sim: plays the racing simulator for the demo and the end-to-end
// tests, on POSIX and on Windows (under Wine in CI). See --help.

#include "platform/SimulatorHost.h"
#include "simlink/TelemetryLayout.h"
#include "tools/sim/DocumentsFolder.h"
#include "tools/sim/LineBuffer.h"
#include "tools/sim/SimCommand.h"
#include "tools/sim/SimOptions.h"
#include "tools/sim/SimulatorSession.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

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

// Takes what standard input has without waiting. False once it has ended.
bool readInput(platform::SimulatorHost &host, sim::LineBuffer *buffer, std::vector<std::string> *lines)
{
    std::string bytes;
    const bool open = host.readInput(&bytes);
    for (std::string &line : buffer->append(bytes.data(), bytes.size()))
        lines->push_back(std::move(line));
    if (!open) {
        const std::string rest = buffer->takeRest();
        if (!rest.empty())
            lines->push_back(rest);
    }
    return open;
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
    sim::SimulatorSession session(options, platform::makeSimulatorHost());
    if (!options.documents.empty()) {
        const sim::DocumentsResult documents = sim::prepareDocumentsFolder(options.documents);
        if (!documents.ok) {
            std::fprintf(stderr, "%s: %s\n", program.c_str(), documents.error.c_str());
            return 1;
        }
        for (const std::string &path : documents.written)
            printLine("wrote " + path);
    }

    if (!session.open(Clock::now(), &error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return 1;
    }
    printLine(std::string("ready mapping=") + telemetry::kMappingName + " drivers=" + std::to_string(options.drivers));

    sim::LineBuffer input;
    bool inputOpen = true; // at the end of stdin we keep running
    while (!session.host().stopRequested() && !session.quitRequested()) {
        printLines(session.advance(Clock::now()));
        if (inputOpen) {
            std::vector<std::string> lines;
            inputOpen = readInput(session.host(), &input, &lines);
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

// One whole session poll as the main window makes it once a second: the
// session facts, the roster and the results, read through the snapshot's
// readers from a 64-driver session. Prints the time per poll and the share
// of the GUI thread's second it takes.

#include "model/DriverRoster.h"
#include "model/SessionFacts.h"
#include "model/SessionResults.h"
#include "platform/fake/FakeOs.h"
#include "simlink/SimClient.h"
#include "simlink/TelemetryLink.h"
#include "tools/sim/SessionTextGenerator.h"
#include "tools/sim/TelemetryImageWriter.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

double pollMicroseconds(SimClient &client, TelemetryImageWriter &writer, irVariables &vars, bool newText)
{
    static int generation = 0;
    if (newText) {
        // A changed text (a new lap's results) makes the client index it anew.
        sim::SessionTextOptions options;
        options.drivers = sim::kMaxDrivers;
        options.raceLapsComplete = ++generation % 30;
        writer.setSessionText(sim::generateSessionText(options));
    }
    QElapsedTimer timer;
    writer.publish();
    timer.start();
    client.waitForSample(16);
    readWeekendFacts(client, vars);
    readSessionFacts(client, vars);
    readDriverRoster(client, vars.drivers);
    readSessionResults(client, vars.sessionNum, vars.results);
    return static_cast<double>(timer.nsecsElapsed()) / 1000.0;
}

void report(const char *what, std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const double median = samples[samples.size() / 2];
    const double worst = samples.back();
    std::printf("%-28s median %8.1f us  p99 %8.1f us  max %8.1f us  = %.3f%% of the GUI thread's second\n", what,
                median, samples[samples.size() * 99 / 100], worst, median / 10000.0);
}

} // namespace

int main()
{
    platform::FakeOs fake;
    TelemetryImageWriter writer;
    writer.addVariable("SessionNum", telemetry::kTypeInt);
    TelemetryImageWriter::Layout layout;
    const std::size_t size = writer.imageSize(layout);
    fake.image().assign(size, 0);
    writer.layout(fake.image().data(), size, layout);
    writer.setConnected(true);
    writer.setInt(0, sim::kRaceSessionNum);
    telemetryOpen();
    SimClient &client = SimClient::shared();
    for (int i = 0; i < 4 && !client.isLinked(); ++i) {
        writer.publish();
        client.waitForSample(16);
    }

    irVariables vars;
    vars.sessionNum = sim::kRaceSessionNum;
    pollMicroseconds(client, writer, vars, true);
    std::size_t limit = 0;
    std::printf("session text %zu bytes, %d drivers, %d results\n", std::strlen(telemetrySessionText(&limit)),
                vars.drivers.size(), vars.results.size());

    constexpr int kPolls = 300;
    std::vector<double> same;
    std::vector<double> changed;
    for (int i = 0; i < kPolls; ++i)
        same.push_back(pollMicroseconds(client, writer, vars, false));
    for (int i = 0; i < kPolls; ++i)
        changed.push_back(pollMicroseconds(client, writer, vars, true));
    report("poll, unchanged text:", same);
    report("poll, text changed:", changed);
    telemetryClose();
    return 0;
}

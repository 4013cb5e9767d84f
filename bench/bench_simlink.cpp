// Figures for the simulator link: the cost of one sample copy against a plain
// memcpy, one session-info query against memchr over the same text, and one
// poll's worth of queries with the plain scan and with the index.

#include "platform/fake/FakeOs.h"
#include "simlink/SessionInfoIndex.h"
#include "simlink/SessionInfoQuery.h"
#include "simlink/SimClient.h"
#include "simlink/TelemetryLink.h"
#include "tests/test_simlink_paths.h"
#include "tools/sim/SessionTextGenerator.h"
#include "tools/sim/TelemetryImageWriter.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Some 250 variables with arrays of 64 cars: about 7 KB, the simulator's order.
constexpr int kSampleBytes = 7 * 1024;

struct LinkedImage {
    platform::FakeOs fake;
    TelemetryImageWriter writer;
    LinkedImage()
    {
        writer.addVariable("Blob", telemetry::kTypeChar, kSampleBytes);
        TelemetryImageWriter::Layout layout;
        layout.bufferSize = kSampleBytes;
        const std::size_t size = writer.imageSize(layout);
        fake.image().assign(size, 0);
        writer.layout(fake.image().data(), size, layout);
        writer.setConnected(true);
        sim::SessionTextOptions options;
        options.drivers = 64;
        writer.setSessionText(sim::generateSessionText(options));
        telemetryOpen();
    }
};

LinkedImage &image()
{
    static LinkedImage linked;
    return linked;
}

void BM_FetchSample(benchmark::State &state)
{
    LinkedImage &img = image();
    std::vector<std::uint8_t> dst(kSampleBytes);
    for (auto _ : state) {
        img.writer.publish();
        benchmark::DoNotOptimize(telemetryFetch(dst.data(), dst.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSampleBytes);
}
BENCHMARK(BM_FetchSample);

void BM_MemcpySample(benchmark::State &state)
{
    LinkedImage &img = image();
    std::vector<std::uint8_t> dst(kSampleBytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), img.writer.bufferData(0), kSampleBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kSampleBytes);
}
BENCHMARK(BM_MemcpySample);

std::string &text64()
{
    static std::string text = [] {
        sim::SessionTextOptions options;
        options.drivers = 64;
        return sim::generateSessionText(options);
    }();
    return text;
}

void queryBench(benchmark::State &state, const char *path)
{
    const std::string &text = text64();
    const char *start = nullptr;
    int length = 0;
    if (!SessionInfoQuery(text.c_str(), path, &start, &length))
        state.SkipWithError("path not found");
    const std::int64_t scanned = start + length - text.c_str();
    for (auto _ : state) {
        benchmark::DoNotOptimize(SessionInfoQuery(text.c_str(), text.size() + 1, path, &start, &length));
    }
    state.SetBytesProcessed(state.iterations() * scanned);
}

void BM_QueryNearStart(benchmark::State &state) { queryBench(state, "WeekendInfo:TrackName:"); }
BENCHMARK(BM_QueryNearStart);

void BM_QueryNearEnd(benchmark::State &state)
{
    queryBench(state, "DriverInfo:Drivers:CarIdx:{63}ClubName:");
}
BENCHMARK(BM_QueryNearEnd);

void BM_MemchrWholeText(benchmark::State &state)
{
    const std::string &text = text64();
    for (auto _ : state)
        benchmark::DoNotOptimize(std::memchr(text.c_str(), '\0', text.size() + 1));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_MemchrWholeText);

void BM_PollPlainQuery(benchmark::State &state)
{
    const std::string &text = text64();
    const std::vector<std::string> paths = pollPaths(2);
    for (auto _ : state) {
        for (const std::string &p : paths) {
            const char *start = nullptr;
            int length = 0;
            benchmark::DoNotOptimize(SessionInfoQuery(text.c_str(), text.size() + 1, p.c_str(), &start, &length));
        }
    }
    state.counters["paths"] = static_cast<double>(paths.size());
}
BENCHMARK(BM_PollPlainQuery)->Unit(benchmark::kMillisecond);

// The poll as the program makes it: a sample wait, then every path through
// SimClient::sessionValue into a 2048-byte buffer.
void BM_PollSessionValue(benchmark::State &state)
{
    LinkedImage &img = image();
    SimClient &client = SimClient::shared();
    const std::vector<std::string> paths = pollPaths(2);
    for (int i = 0; i < 4 && !client.isLinked(); ++i) {
        img.writer.publish();
        client.waitForSample(16);
    }
    char buffer[2048];
    for (auto _ : state) {
        img.writer.publish();
        client.waitForSample(16);
        for (const std::string &p : paths)
            benchmark::DoNotOptimize(client.sessionValue(p.c_str(), buffer, sizeof buffer));
    }
}
BENCHMARK(BM_PollSessionValue)->Unit(benchmark::kMillisecond);

// Worst case for the index: the text changed since the last poll.
void BM_PollIndexRebuilt(benchmark::State &state)
{
    const std::string &text = text64();
    const std::vector<std::string> paths = pollPaths(2);
    for (auto _ : state) {
        SessionInfoIndex index;
        index.use(text.c_str(), text.size() + 1);
        for (const std::string &p : paths) {
            const char *start = nullptr;
            int length = 0;
            benchmark::DoNotOptimize(index.query(p.c_str(), &start, &length));
        }
    }
}
BENCHMARK(BM_PollIndexRebuilt)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

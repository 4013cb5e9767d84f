// The cost of one telemetry reply: taking the prebuilt text out of the
// server's store and framing it, and writing it to a loopback socket; the
// cost of building the texts once per snapshot change; also the cost of
// reading one request frame.

#include "bench_server_snapshot.h"
#include "server/CommandHandler.h"
#include "server/FrameReader.h"
#include "server/SnapshotStore.h"
#include "server/irMessage.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

namespace {

irMessage build207(const SnapshotStore &store, int requestNumber)
{
    return irMessage::fromUtf8(kCommandTelemetry, requestNumber, store.dataText(kCommandTelemetry));
}

void BM_SnapshotChangeBuildsReplyTexts(benchmark::State &state)
{
    SnapshotStore store;
    const irVariables vars = bench::benchSnapshot(1);
    for (auto _ : state)
        store.set(vars);
}
BENCHMARK(BM_SnapshotChangeBuildsReplyTexts);

void BM_Build207Reply(benchmark::State &state)
{
    SnapshotStore store;
    store.set(bench::benchSnapshot(1));
    int n = 0;
    qint64 bytes = 0;
    for (auto _ : state) {
        const irMessage reply = build207(store, ++n);
        bytes += reply.raw.size();
        benchmark::DoNotOptimize(reply.raw.constData());
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_Build207Reply);

void BM_BuildAndWrite207Reply(benchmark::State &state)
{
    QTcpServer listener;
    if (!listener.listen(QHostAddress::LocalHost, 0)) {
        state.SkipWithError("cannot listen on loopback");
        return;
    }
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, listener.serverPort());
    if (!peer.waitForConnected(5000) || !listener.waitForNewConnection(5000)) {
        state.SkipWithError("cannot connect on loopback");
        return;
    }
    std::unique_ptr<QTcpSocket> server(listener.nextPendingConnection());
    server->setParent(nullptr);

    SnapshotStore store;
    store.set(bench::benchSnapshot(1));
    int n = 0;
    for (auto _ : state) {
        const irMessage reply = build207(store, ++n);
        server->write(reply.raw);
        server->flush();
        // The peer takes it in, so the socket buffers never fill.
        qint64 received = 0;
        while (received < reply.raw.size() && peer.waitForReadyRead(1000))
            received += peer.readAll().size();
    }
}
BENCHMARK(BM_BuildAndWrite207Reply);

void BM_Read207Request(benchmark::State &state)
{
    const QByteArray request = requestFrame(kCommandTelemetry, 1);
    FrameReader reader;
    for (auto _ : state) {
        const FrameReader::Result r = reader.feed(request);
        const irMessage message(r.frames.first());
        benchmark::DoNotOptimize(message.command);
    }
}
BENCHMARK(BM_Read207Request);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

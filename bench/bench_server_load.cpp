// Load tool for the network server. Starts a real irServer in a child process
// (this program with --serve) holding a 24-driver snapshot with the simulator
// linked, then opens N loopback clients that send 207 and 208 requests for a
// few seconds, and prints requests per second, round-trip latency (p50, p99,
// max), errors and the server's CPU time per request. Prints figures only; it
// never fails on time.
//
//   bench_server_load [--seconds S]

#include "bench_server_snapshot.h"
#include "server/FrameFormat.h"
#include "server/FrameReader.h"
#include "server/irMessage.h"
#include "server/irServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kTickMs = 500;          // the main window's telemetry tick
constexpr int kReplyGraceMs = 2000;   // a reply later than this after the run counts as an error
constexpr int kPacedClients = 32;
constexpr int kPacedRate = 60;        // requests per second and client
constexpr int kSchedulerMs = 1;

// ---- The server side (child process) ----

int serve(QCoreApplication &app)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    irServer server(nullptr, nullptr);
    int tick = 0;
    server.updateVars(bench::benchSnapshot(tick));
    QObject::connect(&server, &irServer::sigSnapshotWanted, &server,
                     [&] { server.updateVars(bench::benchSnapshot(tick)); });
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &server, [&] {
        ++tick;
        if (server.clientCount() > 0)
            server.updateVars(bench::benchSnapshot(tick));
    });
    ticker.start(kTickMs);
    if (!server.startServer(QString(), 0)) {
        std::printf("FAILED\n");
        return 1;
    }
    std::printf("PORT %u\n", server.serverPort());
    std::fflush(stdout);

    std::atomic<int> clients{0};
    QObject::connect(&server, &irServer::sigClientCountChanged, [&](int n) { clients = n; });
    // Commands from the parent on stdin: "cpu" (process CPU seconds),
    // "clients" (connected clients); end of input quits.
    std::thread control([&] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (line == "cpu")
                std::printf("%.6f\n", static_cast<double>(std::clock()) / CLOCKS_PER_SEC);
            else if (line == "clients")
                std::printf("%d\n", clients.load());
            std::fflush(stdout);
        }
        QMetaObject::invokeMethod(&app, "quit", Qt::QueuedConnection);
    });
    const int rc = app.exec();
    control.join();
    return rc;
}

// ---- The client side ----

class ServerProcess {
public:
    bool start()
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--serve")});
        if (!process.waitForStarted(5000))
            return false;
        const QByteArray line = readLine();
        if (!line.startsWith("PORT "))
            return false;
        port = static_cast<quint16>(line.mid(5).trimmed().toUInt());
        return port != 0;
    }
    double cpuSeconds() { return ask("cpu").toDouble(); }
    int clients() { return ask("clients").toInt(); }
    void stop()
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(1000);
    }

    quint16 port = 0;

private:
    QByteArray ask(const char *command)
    {
        process.write(command);
        process.write("\n");
        process.waitForBytesWritten(1000);
        return readLine().trimmed();
    }
    QByteArray readLine()
    {
        QElapsedTimer clock;
        clock.start();
        while (!process.canReadLine() && clock.elapsed() < 5000)
            process.waitForReadyRead(100);
        return process.readLine();
    }

    QProcess process;
};

struct Client {
    std::unique_ptr<QTcpSocket> socket;
    FrameReader reader;
    QElapsedTimer sentAt;
    int nextRequest = 1;
    int waitingFor = 0; // request number of the outstanding request, 0 for none
    int command = 207;
    qint64 dueNs = 0;   // paced: when the next request is due
};

struct Figures {
    qint64 requests = 0;
    qint64 errors = 0;
    qint64 late = 0; // paced: a request was due while the previous one was out
    std::vector<qint64> latenciesNs;
};

class LoadRun {
public:
    LoadRun(quint16 port, int clients, int seconds, int pacedRate)
        : port_(port), count_(clients), seconds_(seconds), rate_(pacedRate)
    {
    }

    Figures run()
    {
        clock_.start();
        for (int i = 0; i < count_; ++i) {
            auto c = std::make_unique<Client>();
            c->socket = std::make_unique<QTcpSocket>();
            c->socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            c->command = i % 2 ? 208 : 207;
            Client *raw = c.get();
            QObject::connect(c->socket.get(), &QTcpSocket::readyRead, [this, raw] { onReply(raw); });
            QObject::connect(c->socket.get(), &QTcpSocket::disconnected, [this] { ++figures_.errors; });
            c->socket->connectToHost(QHostAddress::LocalHost, port_);
            clients_.push_back(std::move(c));
        }
        for (auto &c : clients_) {
            if (!c->socket->waitForConnected(5000))
                ++figures_.errors;
        }
        const qint64 start = clock_.nsecsElapsed();
        endNs_ = start + qint64(seconds_) * 1000000000;
        if (rate_ > 0) {
            const qint64 period = 1000000000 / rate_;
            for (int i = 0; i < count_; ++i)
                clients_[i]->dueNs = start + period * i / count_; // spread the phases
            QObject::connect(&scheduler_, &QTimer::timeout, [this, period] { pace(period); });
            scheduler_.setTimerType(Qt::PreciseTimer);
            scheduler_.start(kSchedulerMs);
        } else {
            for (auto &c : clients_)
                send(c.get());
        }
        QTimer::singleShot(seconds_ * 1000, &loop_, [this] { finishing_ = true; checkDone(); });
        QTimer::singleShot(seconds_ * 1000 + kReplyGraceMs, &loop_, &QEventLoop::quit);
        loop_.exec();
        scheduler_.stop();
        for (auto &c : clients_) {
            if (c->waitingFor)
                ++figures_.errors; // no reply in time
            c->socket->disconnect();
            c->socket->abort();
        }
        return figures_;
    }

private:
    void send(Client *c)
    {
        c->waitingFor = c->nextRequest++;
        c->sentAt.start();
        c->socket->write(requestFrame(c->command, c->waitingFor));
        c->socket->flush();
    }

    void pace(qint64 period)
    {
        const qint64 now = clock_.nsecsElapsed();
        if (now >= endNs_)
            return;
        for (auto &c : clients_) {
            if (now < c->dueNs)
                continue;
            c->dueNs += period;
            if (c->waitingFor)
                ++figures_.late;
            else
                send(c.get());
        }
    }

    void onReply(Client *c)
    {
        const FrameReader::Result r = c->reader.feed(c->socket->readAll());
        for (const QByteArray &f : r.frames) {
            const irMessage reply(f);
            const qint64 ns = c->sentAt.nsecsElapsed();
            const bool ok = reply.command == c->command && reply.requestNumber == c->waitingFor &&
                            reply.text.startsWith(QLatin1Char('{'));
            if (!ok)
                ++figures_.errors;
            ++figures_.requests;
            figures_.latenciesNs.push_back(ns);
            c->waitingFor = 0;
            c->command = c->command == 207 ? 208 : 207;
            if (rate_ == 0 && clock_.nsecsElapsed() < endNs_)
                send(c);
        }
        if (r.skippedBytes)
            ++figures_.errors;
        checkDone();
    }

    void checkDone()
    {
        if (!finishing_)
            return;
        for (auto &c : clients_) {
            if (c->waitingFor)
                return;
        }
        loop_.quit();
    }

    quint16 port_;
    int count_;
    int seconds_;
    int rate_;
    QElapsedTimer clock_;
    qint64 endNs_ = 0;
    bool finishing_ = false;
    QEventLoop loop_;
    QTimer scheduler_;
    std::vector<std::unique_ptr<Client>> clients_;
    Figures figures_;
};

double percentileMs(std::vector<qint64> &ns, double p)
{
    if (ns.empty())
        return 0.0;
    const size_t i = std::min(ns.size() - 1, static_cast<size_t>(p * static_cast<double>(ns.size())));
    std::nth_element(ns.begin(), ns.begin() + static_cast<long>(i), ns.end());
    return static_cast<double>(ns[i]) / 1e6;
}

void report(const char *label, int clients, int seconds, Figures f, double cpuSeconds)
{
    const double p50 = percentileMs(f.latenciesNs, 0.50);
    const double p99 = percentileMs(f.latenciesNs, 0.99);
    const double max = f.latenciesNs.empty()
                           ? 0.0
                           : static_cast<double>(*std::max_element(f.latenciesNs.begin(),
                                                                   f.latenciesNs.end())) / 1e6;
    const double cpuUs = f.requests ? cpuSeconds * 1e6 / static_cast<double>(f.requests) : 0.0;
    std::printf("%-14s %4d %10.0f %9.3f %9.3f %9.3f %7lld %6lld %10.1f\n", label, clients,
                static_cast<double>(f.requests) / seconds, p50, p99, max,
                static_cast<long long>(f.errors), static_cast<long long>(f.late), cpuUs);
    std::fflush(stdout);
}

bool waitNoClients(ServerProcess &server)
{
    for (int i = 0; i < 100; ++i) {
        if (server.clients() == 0)
            return true;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--serve")))
        return serve(app);
    int seconds = 3;
    const int at = args.indexOf(QStringLiteral("--seconds"));
    if (at > 0 && at + 1 < args.size())
        seconds = std::max(1, args.at(at + 1).toInt());

    ServerProcess server;
    if (!server.start()) {
        std::fprintf(stderr, "bench_server_load: the server process did not start\n");
        return 1;
    }
    std::printf("207/208 round trips over loopback, %d s per run, server in its own process\n",
                seconds);
    std::printf("%-14s %4s %10s %9s %9s %9s %7s %6s %10s\n", "run", "N", "req/s", "p50 ms",
                "p99 ms", "max ms", "errors", "late", "cpu us/req");
    for (const int n : {1, 8, 32, 64}) {
        waitNoClients(server);
        const double cpu0 = server.cpuSeconds();
        const Figures f = LoadRun(server.port, n, seconds, 0).run();
        report("closed-loop", n, seconds, f, server.cpuSeconds() - cpu0);
    }
    waitNoClients(server);
    const double cpu0 = server.cpuSeconds();
    const int pacedSeconds = seconds + 2;
    const Figures f = LoadRun(server.port, kPacedClients, pacedSeconds, kPacedRate).run();
    report("paced 60/s", kPacedClients, pacedSeconds, f, server.cpuSeconds() - cpu0);
    server.stop();
    return 0;
}

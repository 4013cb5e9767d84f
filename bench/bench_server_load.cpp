// Load tool for the network server. Runs the real program as the demo runs
// it: the simulator substitute, and Pitlink (offscreen) with its server
// started from its settings and its debug output written to a file. In the
// same run a baseline, a minimal server in plain sockets with one thread per
// client that answers each 19-byte request with a fixed reply of the 207
// reply's size, takes the same load. Prints requests per second, round-trip
// latency (p50, p99, max), errors, CPU per request and Pitlink's figures as a
// ratio of the baseline's. Prints figures only; it never fails on time.
//
//   bench_server_load [--seconds S] [--pitlink PATH] [--sim PATH]
//                     [--flood [--command 202|207] | --paced]
//                     [--rounds N] [--load-normal] [--baseline-lowered]
//
// The closed-loop rows run the server in this process (irServer) with its
// request bound and budget raised through ServerLimits, since the program's
// own bound (240 a second per client) holds any closed loop back; the paced
// rows (32 and 64 clients at 60 requests a second) run the program itself.
// --paced: only the paced rows, against the baseline. The 32-client pair
// runs --rounds times (3), alternating, and the median ratio is printed. The
// paced load runs at the priority Pitlink gives its client threads, as
// devices elsewhere on the network take no core here; --load-normal runs it
// at normal priority, where each reply's reader takes the sending thread's
// core on loopback (pre/req: the server's threads switched out while
// runnable, per request). srv us/req: the CPU of the threads that serve
// clients alone, per request (Pitlink's client threads, the baseline's).
// --baseline-lowered gives the baseline's threads the priority Pitlink gives
// its own, to tell that cost from Pitlink's.
// --flood: 16 clients send 202 (or --command's) for 10 s; prints Pitlink's
// CPU in cores, the rate of a CPU-bound loop standing for the simulator
// (quiet and during the flood, in the same run), Pitlink's memory growth, the
// age of 207's data (against the substitute's session clock, which runs in
// real time), how long a new client waits for its reply during the flood,
// and how long Pitlink takes to close. --pitlink and --sim run another build
// of the program and of the substitute.
// Run it in a private mount namespace: the substitute's memory name is fixed.

#include "bench_server_snapshot.h"
#include "server/FrameFormat.h"
#include "server/FrameReader.h"
#include "server/irMessage.h"
#include "server/irServer.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kReplyGraceMs = 2000;   // a reply later than this after the run counts as an error
constexpr int kPacedClients = 32;
constexpr int kPacedRate = 60;        // requests per second and client
constexpr int kSchedulerMs = 1;
constexpr int kPacedMostClients = 64;
constexpr int kFloodClients = 16;
constexpr int kLoopQuietMs = 3000;
constexpr int kFloodSeconds = 10;
constexpr int kProbeIntervalMs = 50;
constexpr int kIdleMs = 3000;

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// ---- The baseline (child process): plain sockets, a thread per client ----

void serveBaselineClient(int fd, const QByteArray &replyText, bool lowered)
{
    if (lowered)
        platform::lowerCurrentThreadPriority();
    char buffer[frame::kTextOffset * 64];
    std::size_t have = 0;
    std::string reply;
    for (;;) {
        const ssize_t n = ::recv(fd, buffer + have, sizeof buffer - have, 0);
        if (n <= 0)
            break;
        have += static_cast<std::size_t>(n);
        std::size_t at = 0;
        reply.clear();
        for (; have - at >= frame::kTextOffset; at += frame::kTextOffset) {
            // The request's command and number, then the fixed text.
            reply.append(1, frame::kMark);
            reply.append(zeroPadded(frame::kTextOffset - frame::kHeaderSize + replyText.size() + 1,
                                    frame::kLengthDigits).constData());
            reply.append(1, frame::kSeparator);
            reply.append(buffer + at + frame::kHeaderSize, frame::kTextOffset - frame::kHeaderSize);
            reply.append(replyText.constData(), static_cast<std::size_t>(replyText.size()));
            reply.append(1, frame::kSeparator);
        }
        std::memmove(buffer, buffer + at, have - at);
        have -= at;
        if (!reply.empty() && ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0)
            break;
    }
    ::close(fd);
}

int serveBaseline(int replyBytes, bool lowered)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(listener, 128) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        std::printf("FAILED\n");
        return 1;
    }
    std::printf("PORT %u\n", ntohs(address.sin_port));
    std::fflush(stdout);
    const int textBytes = std::max(1, replyBytes - frame::kTextOffset - 1);
    const QByteArray text = "{" + QByteArray(textBytes - 2, ' ') + "}";
    for (;;) {
        const int fd = ::accept(listener, nullptr, nullptr);
        if (fd < 0)
            continue;
        std::thread(serveBaselineClient, fd, text, lowered).detach();
    }
}

// ---- Processes ----

// CPU seconds and resident memory of a child, from /proc.
double cpuSecondsOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0.0;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0.0;
    const double ticks = fields.at(11).toDouble() + fields.at(12).toDouble(); // utime, stime
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// What the threads of a process have counted so far (exited threads are not
// counted): how often they were switched out while they could run (on
// loopback, a reply's reader woken at a higher priority than the server's
// thread takes its core at once), and the CPU time, to the nanosecond (the
// scheduler's own count), of those that serve clients: those named
// `servingThread`, or with none every thread but the main one.
struct ThreadCounts {
    qint64 preemptions = 0;
    qint64 servingNs = 0;
};

ThreadCounts threadCountsOf(qint64 pid, const char *servingThread)
{
    ThreadCounts counts;
    const QStringList threads = QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &thread : threads) {
        const QString task = QStringLiteral("/proc/%1/task/%2/").arg(pid).arg(thread);
        QFile status(task + QStringLiteral("status"));
        QFile comm(task + QStringLiteral("comm"));
        QFile schedstat(task + QStringLiteral("schedstat"));
        if (!status.open(QIODevice::ReadOnly) || !comm.open(QIODevice::ReadOnly) || !schedstat.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("nonvoluntary_ctxt_switches:"))
                counts.preemptions += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
        const bool serving = servingThread ? comm.readAll().trimmed() == servingThread : thread.toLongLong() != pid;
        if (serving)
            counts.servingNs += schedstat.readAll().split(' ').first().toLongLong();
    }
    return counts;
}

double rssMbOf(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0.0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0.0;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// One request and its reply on a fresh connection; empty when none comes.
QByteArray askOnce(quint16 port, int command, int timeoutMs)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(timeoutMs))
        return QByteArray();
    socket.write(requestFrame(command, 1));
    FrameReader reader;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (!socket.waitForReadyRead(std::max<int>(1, timeoutMs - static_cast<int>(clock.elapsed()))))
            break;
        const FrameReader::Result r = reader.feed(socket.readAll());
        if (!r.frames.isEmpty())
            return r.frames.first();
    }
    return QByteArray();
}

QByteArray textOf(const QByteArray &reply)
{
    return reply.mid(frame::kTextOffset, reply.size() - frame::kTextOffset - 1);
}

// The substitute and Pitlink, as the demo runs them.
class Program {
public:
    bool start(const QString &pitlinkPath, const QString &simPath)
    {
        if (!dir.isValid())
            return false;
        const QString documents = dir.path() + QStringLiteral("/documents");
        QDir().mkpath(documents);
        QDir().mkpath(dir.path() + QStringLiteral("/data/pitlink"));
        QDir().mkpath(dir.path() + QStringLiteral("/runtime"));
        QFile(dir.path() + QStringLiteral("/runtime")).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        port = freePort();
        QFile ini(dir.path() + QStringLiteral("/data/pitlink/pitlink.ini"));
        if (!ini.open(QIODevice::WriteOnly))
            return false;
        ini.write(QStringLiteral("[main]\nautostartserver=true\nport=%1\n\n[paths]\niracingdocument=%2\n")
                      .arg(port)
                      .arg(documents)
                      .toUtf8());
        ini.close();

        sim.setStandardOutputFile(dir.path() + QStringLiteral("/sim.log"));
        sim.setProcessChannelMode(QProcess::MergedChannels);
        sim.start(simPath, {QStringLiteral("--documents"), documents});
        if (!sim.waitForStarted(5000))
            return false;
        pause(1000);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path() + QStringLiteral("/runtime"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        pitlink.setProcessEnvironment(env);
        pitlink.setProcessChannelMode(QProcess::MergedChannels);
        pitlink.setStandardOutputFile(dir.path() + QStringLiteral("/pitlink.log")); // its debug output
        pitlink.start(pitlinkPath, QStringList());
        if (!pitlink.waitForStarted(5000))
            return false;
        // Up once the server answers 207 with the substitute's data.
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 15000) {
            if (textOf(askOnce(port, 207, 500)).startsWith('{'))
                return true;
            pause(200);
        }
        return false;
    }
    qint64 pid() const { return pitlink.processId(); }
    double debugOutputMb() const
    {
        return static_cast<double>(QFileInfo(dir.path() + QStringLiteral("/pitlink.log")).size()) / 1e6;
    }
    // Seconds Pitlink takes to end after a termination request.
    double close()
    {
        QElapsedTimer clock;
        clock.start();
        pitlink.terminate();
        if (!pitlink.waitForFinished(20000))
            pitlink.kill();
        const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
        pitlink.waitForFinished(1000);
        return seconds;
    }
    ~Program()
    {
        if (pitlink.state() != QProcess::NotRunning) {
            pitlink.kill();
            pitlink.waitForFinished(2000);
        }
        sim.kill();
        sim.waitForFinished(2000);
    }

    quint16 port = 0;

private:
    QTemporaryDir dir;
    QProcess sim;
    QProcess pitlink;
};

class Baseline {
public:
    bool start(int replyBytes, bool lowered)
    {
        QStringList args{QStringLiteral("--baseline"), QString::number(replyBytes)};
        if (lowered)
            args << QStringLiteral("--lowered");
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(), args);
        if (!process.waitForStarted(5000) || !process.waitForReadyRead(5000))
            return false;
        const QByteArray line = process.readLine();
        port = line.startsWith("PORT ") ? static_cast<quint16>(line.mid(5).trimmed().toUInt()) : 0;
        return port != 0;
    }
    qint64 pid() const { return process.processId(); }
    ~Baseline()
    {
        process.kill();
        process.waitForFinished(2000);
    }

    quint16 port = 0;

private:
    QProcess process;
};

// ---- The load ----

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
    qint64 preemptions = 0; // of the server's threads while the clients were connected
    double servingCpuSeconds = 0.0; // of the threads that serve clients, meanwhile
    std::vector<qint64> latenciesNs;
};

class LoadRun {
public:
    LoadRun(quint16 port, qint64 serverPid, const char *servingThread, int clients, int seconds, int pacedRate)
        : port_(port), serverPid_(serverPid), servingThread_(servingThread), count_(clients), seconds_(seconds),
          rate_(pacedRate)
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
        const ThreadCounts before = threadCountsOf(serverPid_, servingThread_);
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
        QTimer::singleShot(seconds_ * 1000, Qt::PreciseTimer, &loop_, [this] { finishing_ = true; checkDone(); });
        QTimer::singleShot(seconds_ * 1000 + kReplyGraceMs, &loop_, &QEventLoop::quit);
        loop_.exec();
        scheduler_.stop();
        const ThreadCounts after = threadCountsOf(serverPid_, servingThread_); // before the threads end
        figures_.preemptions = after.preemptions - before.preemptions;
        figures_.servingCpuSeconds = static_cast<double>(after.servingNs - before.servingNs) / 1e9;
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
        // Nothing is sent once the run is finishing: the loop may end as soon
        // as no reply is outstanding.
        if (now >= endNs_ || finishing_)
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
    qint64 serverPid_;
    const char *servingThread_;
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

struct Row {
    double rate = 0.0;
    double p99 = 0.0;
    double cpuUsPerRequest = 0.0;
    double cpuShare = 0.0; // of one core
    double preemptionsPerRequest = 0.0;
    double servingUsPerRequest = 0.0; // CPU of the threads that serve clients alone
};

Row report(const char *label, int clients, int seconds, Figures f, double cpuSeconds)
{
    Row row;
    const double p50 = percentileMs(f.latenciesNs, 0.50);
    row.p99 = percentileMs(f.latenciesNs, 0.99);
    const double max = f.latenciesNs.empty()
                           ? 0.0
                           : static_cast<double>(*std::max_element(f.latenciesNs.begin(),
                                                                   f.latenciesNs.end())) / 1e6;
    row.cpuUsPerRequest = f.requests ? cpuSeconds * 1e6 / static_cast<double>(f.requests) : 0.0;
    row.cpuShare = cpuSeconds / seconds;
    row.rate = static_cast<double>(f.requests) / seconds;
    row.preemptionsPerRequest = f.requests ? static_cast<double>(f.preemptions) / static_cast<double>(f.requests) : 0.0;
    row.servingUsPerRequest = f.requests ? f.servingCpuSeconds * 1e6 / static_cast<double>(f.requests) : 0.0;
    std::printf("%-18s %4d %10.0f %9.3f %9.3f %9.3f %7lld %6lld %10.1f %7.1f%% %8.2f %8.1f\n", label, clients,
                row.rate, p50, row.p99, max, static_cast<long long>(f.errors),
                static_cast<long long>(f.late), row.cpuUsPerRequest, row.cpuShare * 100.0,
                row.preemptionsPerRequest, row.servingUsPerRequest);
    std::fflush(stdout);
    return row;
}

// The threads that serve clients: Pitlink's are named after their class, the
// baseline's are all but its main thread.
constexpr const char *kPitlinkServing = "irServerThread";

Row measure(const char *label, quint16 port, qint64 pid, int clients, int seconds, int rate,
            const char *servingThread = nullptr)
{
    pause(300); // the last run's clients are gone
    const double cpu0 = cpuSecondsOf(pid);
    const Figures f = LoadRun(port, pid, servingThread, clients, seconds, rate).run();
    return report(label, clients, seconds, f, cpuSecondsOf(pid) - cpu0);
}

void printHeader()
{
    std::printf("%-18s %4s %10s %9s %9s %9s %7s %6s %10s %8s %8s %10s\n", "run", "N", "req/s", "p50 ms",
                "p99 ms", "max ms", "errors", "late", "cpu us/req", "cpu", "pre/req", "srv us/req");
}

// The in-process server's debug output goes nowhere, as it may in the program.
void discardDebugOutput(QtMsgType, const QMessageLogContext &, const QString &) {}

// The paced options: rounds of the 32-client pair, and whether the load runs
// at normal priority instead of the server threads' lowered one.
struct PacedOptions {
    int rounds = 1;
    bool loadAtNormalPriority = false;
    bool baselineLowered = false; // its threads at the priority Pitlink gives its own
};

int loadMode(Program &program, int seconds, bool pacedOnly, const PacedOptions &paced)
{
    qInstallMessageHandler(discardDebugOutput);
    const int replyBytes = askOnce(program.port, 207, 2000).size();
    Baseline baseline;
    if (!baseline.start(replyBytes, paced.baselineLowered)) {
        std::fprintf(stderr, "bench_server_load: the baseline did not start\n");
        return 1;
    }
    std::printf("207/208 round trips over loopback, %d s per run; 207 reply %d bytes\n", seconds,
                replyBytes);
    // What Pitlink takes with no client at all (its timers, the link, the window).
    const double idle0 = cpuSecondsOf(program.pid());
    pause(kIdleMs);
    const double idleShare = (cpuSecondsOf(program.pid()) - idle0) * 1000.0 / kIdleMs;
    std::printf("Pitlink with no client: %.1f%% of a core\n", idleShare * 100.0);
    printHeader();
    std::vector<std::pair<int, std::pair<Row, Row>>> rows;
    // The closed loop: the server in this process, bound and budget raised
    // (its CPU is this process's, the load's included). It accepts on a
    // thread of its own, as the program's window thread does, not on the
    // load's.
    std::atomic<int> inProcessPort{0};
    std::unique_ptr<QThread> inProcess(QThread::create([&inProcessPort] {
        ServerLimits raised;
        raised.requestsPerClient = 1 << 30;
        raised.requestsOverall = 1 << 30;
        raised.maxClients = 4 * kPacedMostClients; // the last run's clients may not be counted out yet
        irServer server(nullptr, nullptr, raised);
        server.updateVars(bench::benchSnapshot(1));
        inProcessPort = server.startServer(QString(), 0) ? server.serverPort() : -1;
        QEventLoop().exec();
    }));
    if (!pacedOnly) {
        inProcess->start();
        while (inProcessPort == 0)
            pause(10);
    }
    for (const int n : {1, 8, 32, 64}) {
        if (pacedOnly || inProcessPort < 0)
            break;
        const Row p = measure("irServer closed*", static_cast<quint16>(inProcessPort.load()),
                              QCoreApplication::applicationPid(), n, seconds, 0, kPitlinkServing);
        const Row b = measure("baseline closed", baseline.port, baseline.pid(), n, seconds, 0);
        rows.push_back({n, {p, b}});
    }
    inProcess->quit();
    inProcess->wait();
    // The paced clients stand for devices elsewhere on the network, whose
    // reading of a reply takes no core from Pitlink. On loopback it would:
    // a client woken at normal priority by a reply takes the core of the
    // lowered thread that sent it at once. So the load runs at the priority
    // Pitlink gives its client threads (pre/req shows the difference).
    if (!paced.loadAtNormalPriority)
        platform::lowerCurrentThreadPriority();
    std::printf("paced load at %s priority, baseline threads at %s priority\n", paced.loadAtNormalPriority ? "normal" : "the client threads'",
                paced.baselineLowered ? "the client threads'" : "normal");
    const int pacedSeconds = seconds + 2;
    // CPU per request beyond what Pitlink takes with no client, against the
    // baseline's (which takes nothing idle).
    const auto perRequestRatio = [idleShare](const Row &pit, const Row &base) {
        const double pitUs = pit.rate > 0 ? (pit.cpuShare - idleShare) * 1e6 / pit.rate : 0.0;
        return base.cpuUsPerRequest > 0 ? pitUs / base.cpuUsPerRequest : 0.0;
    };
    // Alternating rounds, so that a busy moment of the machine falls on one
    // round rather than on one side.
    std::vector<double> ratios;
    std::vector<double> servingRatios;
    Row p;
    Row b;
    for (int round = 0; round < paced.rounds; ++round) {
        p = measure("pitlink 60/s", program.port, program.pid(), kPacedClients, pacedSeconds, kPacedRate, kPitlinkServing);
        b = measure("baseline 60/s", baseline.port, baseline.pid(), kPacedClients, pacedSeconds, kPacedRate);
        ratios.push_back(perRequestRatio(p, b));
        servingRatios.push_back(b.servingUsPerRequest > 0 ? p.servingUsPerRequest / b.servingUsPerRequest : 0.0);
    }
    const Row p64 = measure("pitlink 60/s", program.port, program.pid(), kPacedMostClients, pacedSeconds, kPacedRate,
                            kPitlinkServing);
    const Row b64 = measure("baseline 60/s", baseline.port, baseline.pid(), kPacedMostClients, pacedSeconds, kPacedRate);
    if (!pacedOnly)
        std::printf("* in this process, request bound and budget raised through ServerLimits\n");
    std::printf("\nPitlink against the baseline (throughput ratio, p99 ratio):\n");
    for (const auto &r : rows) {
        std::printf("  N=%-3d %.2fx throughput, %.1fx p99\n", r.first,
                    r.second.second.rate > 0 ? r.second.first.rate / r.second.second.rate : 0.0,
                    r.second.second.p99 > 0 ? r.second.first.p99 / r.second.second.p99 : 0.0);
    }
    std::printf("  32 x 60/s (last round): p99 %.3f ms (baseline %.3f), CPU %.1f%% of a core (baseline %.1f%%), "
                "%.1f us a request; %.1f%% beyond its idle share\n",
                p.p99, b.p99, p.cpuShare * 100.0, b.cpuShare * 100.0, p.cpuUsPerRequest,
                (p.cpuShare - idleShare) * 100.0);
    const auto printRounds = [](const char *what, std::vector<double> values) {
        std::printf("  32 x 60/s: %s, against the baseline's, by round:", what);
        for (const double r : values)
            std::printf(" %.2fx", r);
        std::sort(values.begin(), values.end());
        std::printf("; median %.2fx\n", values[values.size() / 2]);
    };
    // The whole process's CPU takes in whatever Pitlink's window thread does
    // meanwhile; the serving threads' CPU is the requests' alone.
    printRounds("CPU a request beyond the idle share", ratios);
    printRounds("CPU a request of the serving threads", servingRatios);
    std::printf("  64 x 60/s: p99 %.3f ms (baseline %.3f), %.0f of %d requests a second answered, "
                "CPU a request %.2fx the baseline's\n",
                p64.p99, b64.p99, p64.rate, kPacedMostClients * kPacedRate, perRequestRatio(p64, b64));
    std::printf("Pitlink's debug output: %.1f MB\n", program.debugOutputMb());
    return 0;
}

// ---- The flood ----

class Flood {
public:
    Flood(quint16 port, int command) : port_(port)
    {
        for (int i = 0; i < kRequestsPerWrite; ++i)
            chunk_ += requestFrame(command, i + 1);
    }
    void start()
    {
        for (int i = 0; i < kFloodClients; ++i) {
            auto socket = std::make_unique<QTcpSocket>();
            QTcpSocket *raw = socket.get();
            QObject::connect(raw, &QTcpSocket::connected, [this, raw] { topUp(raw); });
            QObject::connect(raw, &QTcpSocket::bytesWritten, [this, raw] { topUp(raw); });
            QObject::connect(raw, &QTcpSocket::readyRead, [this, raw] { replies_ += raw->readAll().size(); });
            raw->connectToHost(QHostAddress::LocalHost, port_);
            sockets_.push_back(std::move(socket));
        }
    }
    void stop()
    {
        stopped_ = true;
        for (auto &socket : sockets_) {
            socket->disconnect();
            socket->abort();
        }
    }
    qint64 replyBytes() const { return replies_; }

private:
    static constexpr int kRequestsPerWrite = 1000;
    static constexpr qint64 kQueuedBytes = 64 * 1024;

    void topUp(QTcpSocket *socket)
    {
        if (!stopped_ && socket->bytesToWrite() < kQueuedBytes)
            socket->write(chunk_);
    }

    quint16 port_;
    QByteArray chunk_;
    bool stopped_ = false;
    qint64 replies_ = 0;
    std::vector<std::unique_ptr<QTcpSocket>> sockets_;
};

// Asks 207 in turn, on a thread of its own so the flood's replies do not
// delay it, and keeps how far its data lags the substitute's clock.
class AgeProbe {
public:
    explicit AgeProbe(quint16 port) : port_(port) {}
    ~AgeProbe() { stop(); }
    void start()
    {
        thread_ = std::thread([this] { run(); });
    }
    void stop()
    {
        done_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    // Ages from here on count towards the maximum.
    void markFlood() { flood_ = true; }
    double maxAgeSeconds() const { return maxFloodLag_.load() - minLag_.load(); }

private:
    void run()
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port_);
        if (!socket.waitForConnected(5000))
            return;
        FrameReader reader;
        QElapsedTimer clock;
        clock.start();
        int request = 0;
        while (!done_) {
            socket.write(requestFrame(207, ++request));
            socket.flush();
            QVector<QByteArray> frames;
            while (frames.isEmpty() && !done_ && socket.waitForReadyRead(1000))
                frames = reader.feed(socket.readAll()).frames;
            for (const QByteArray &f : frames) {
                const double sessionTime = QJsonDocument::fromJson(textOf(f))
                                               .object()
                                               .value(QStringLiteral("SessionTimeSinceStarted"))
                                               .toDouble();
                const double lag = static_cast<double>(clock.nsecsElapsed()) / 1e9 - sessionTime;
                minLag_ = std::min(minLag_.load(), lag);
                if (flood_)
                    maxFloodLag_ = std::max(maxFloodLag_.load(), lag);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kProbeIntervalMs));
        }
    }

    quint16 port_;
    std::thread thread_;
    std::atomic<bool> done_{false};
    std::atomic<bool> flood_{false};
    std::atomic<double> minLag_{1e9};
    std::atomic<double> maxFloodLag_{-1e9};
};

// A CPU-bound loop on a thread of its own, at normal priority, standing for
// the simulator: how many rounds it makes a second.
class Spinner {
public:
    Spinner() : thread_([this] { spin(); }) {}
    ~Spinner()
    {
        done_ = true;
        thread_.join();
    }
    double roundsPerSecond(int ms)
    {
        const quint64 before = rounds_.load();
        QElapsedTimer clock;
        clock.start();
        pause(ms);
        return static_cast<double>(rounds_.load() - before) * 1e9 / static_cast<double>(clock.nsecsElapsed());
    }

private:
    void spin()
    {
        volatile quint64 work = 0;
        while (!done_.load(std::memory_order_relaxed)) {
            for (int i = 0; i < 10000; ++i)
                work = work + static_cast<quint64>(i);
            rounds_.fetch_add(1, std::memory_order_relaxed);
        }
    }

    std::atomic<bool> done_{false};
    std::atomic<quint64> rounds_{0};
    std::thread thread_;
};

int floodMode(Program &program, int command)
{
    std::printf("Flood: %d clients send %d as fast as they can for %d s\n", kFloodClients, command,
                kFloodSeconds);
    AgeProbe probe(program.port);
    probe.start();
    pause(2000); // the freshest the data gets, without load
    Spinner spinner;
    // Quiet before and after the flood: the mean of the two.
    double quietRate = spinner.roundsPerSecond(kLoopQuietMs);
    const double rssBefore = rssMbOf(program.pid());
    double rssMax = rssBefore;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { rssMax = std::max(rssMax, rssMbOf(program.pid())); });
    sampler.start(100);
    probe.markFlood();
    Flood flood(program.port, command);
    flood.start();
    const double cpu0 = cpuSecondsOf(program.pid());
    QElapsedTimer floodClock;
    floodClock.start();
    const double floodRate = spinner.roundsPerSecond(kFloodSeconds * 500);
    // A newcomer in the middle of the flood.
    QElapsedTimer answered;
    answered.start();
    const bool gotReply = !askOnce(program.port, 202, 30000).isEmpty();
    const double newClientSeconds = static_cast<double>(answered.elapsed()) / 1000.0;
    pause(std::max<int>(0, kFloodSeconds * 1000 - static_cast<int>(floodClock.elapsed())));
    const double cores = (cpuSecondsOf(program.pid()) - cpu0) * 1e9 / static_cast<double>(floodClock.nsecsElapsed());
    flood.stop();
    sampler.stop();
    pause(500); // the flood's last replies are gone
    quietRate = (quietRate + spinner.roundsPerSecond(kLoopQuietMs)) / 2.0;
    std::printf("Pitlink CPU          %8.2f cores\n", cores);
    std::printf("CPU-bound loop       %8.0f %% of its quiet rate (%.0f and %.0f rounds/s)\n",
                quietRate > 0 ? 100.0 * floodRate / quietRate : 0.0, quietRate, floodRate);
    rssMax = std::max(rssMax, rssMbOf(program.pid()));
    std::printf("memory growth        %8.1f MB (from %.1f MB)\n", rssMax - rssBefore, rssBefore);
    probe.stop();
    std::printf("207 age, max         %8.2f s\n", probe.maxAgeSeconds());
    std::printf("new client answered  %8.3f s%s (during the flood)\n", newClientSeconds,
                gotReply ? "" : " (no reply)");
    std::printf("flood replies        %8.1f MB\n", static_cast<double>(flood.replyBytes()) / 1e6);
    std::printf("debug output         %8.1f MB\n", program.debugOutputMb());
    std::printf("time to close        %8.2f s\n", program.close());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto option = [&args](const char *name, const QString &fallback) {
        const int at = args.indexOf(QLatin1String(name));
        return at > 0 && at + 1 < args.size() ? args.at(at + 1) : fallback;
    };
    if (args.contains(QStringLiteral("--baseline")))
        return serveBaseline(option("--baseline", QStringLiteral("817")).toInt(), args.contains(QStringLiteral("--lowered")));
    const int seconds = std::max(1, option("--seconds", QStringLiteral("3")).toInt());

    Program program;
    if (!program.start(option("--pitlink", QStringLiteral(PITLINK_PATH)),
                       option("--sim", QStringLiteral(PITLINK_SIM_PATH)))) {
        std::fprintf(stderr, "bench_server_load: Pitlink did not serve the substitute's data\n");
        return 1;
    }
    if (args.contains(QStringLiteral("--flood")))
        return floodMode(program, option("--command", QStringLiteral("202")).toInt());
    PacedOptions paced;
    paced.rounds = std::max(1, option("--rounds", QStringLiteral("3")).toInt());
    paced.loadAtNormalPriority = args.contains(QStringLiteral("--load-normal"));
    paced.baselineLowered = args.contains(QStringLiteral("--baseline-lowered"));
    return loadMode(program, seconds, args.contains(QStringLiteral("--paced")), paced);
}

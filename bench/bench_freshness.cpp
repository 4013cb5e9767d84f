// How old the telemetry is that a dashboard gets. Starts pitlink-sim and
// Pitlink (offscreen, its own settings file, server on a free port), then for
// 15 s asks for 207 every 20 ms and compares the reply's
// SessionTimeSinceStarted with the SessionTime of the newest sample in the
// memory block at the moment the reply arrives. Prints p50, p90, p99 and max
// of that age in seconds. Run it inside a private mount namespace, like the
// tests (the substitute's memory has one fixed name per machine).

#include "server/FrameFormat.h"
#include "server/FrameReader.h"
#include "server/irMessage.h"
#include "simlink/SimClient.h"
#include "simlink/TelemetryLink.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kMeasureMs = 15000;
constexpr int kRequestEveryMs = 20;
constexpr int kStartDeadlineMs = 20000;
constexpr int kReplyDeadlineMs = 3000;
constexpr int kTelemetryCommand = 207;

// The reply's JSON, or an empty object when none came in time.
QJsonObject ask(QTcpSocket &socket, FrameReader &reader, int number)
{
    socket.write(requestFrame(kTelemetryCommand, number));
    for (QDeadlineTimer deadline(kReplyDeadlineMs); !deadline.hasExpired();) {
        if (!socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))))
            break;
        const FrameReader::Result result = reader.feed(socket.readAll());
        if (!result.frames.isEmpty()) {
            QByteArray text = result.frames.last().mid(frame::kTextOffset);
            text.chop(1); // the closing separator
            return QJsonDocument::fromJson(text).object();
        }
    }
    return QJsonObject();
}

// SessionTime of the newest sample the block holds right now.
double blockSessionTime()
{
    SimClient &client = SimClient::shared();
    client.waitForSample(0);
    return client.readDouble(client.variableIndex("SessionTime"), 0);
}

double percentile(const std::vector<double> &sorted, int p)
{
    return sorted[std::min(sorted.size() - 1, sorted.size() * static_cast<std::size_t>(p) / 100)];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString data = dir.path() + "/data";
    QDir().mkpath(data + "/pitlink");
    QDir().mkpath(dir.path() + "/documents");
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    QFile ini(data + "/pitlink/pitlink.ini");
    if (!ini.open(QIODevice::WriteOnly))
        return 1;
    ini.write(QStringLiteral("[main]\nautostartserver=true\nport=%1\n\n[paths]\niracingdocument=%2\n")
                  .arg(port)
                  .arg(dir.path() + "/documents")
                  .toUtf8());
    ini.close();

    QProcess sim;
    sim.start(QStringLiteral(PITLINK_SIM_PATH), {"--documents", dir.path() + "/documents"});
    if (!sim.waitForStarted() || !sim.waitForReadyRead(kStartDeadlineMs)) {
        std::fprintf(stderr, "pitlink-sim did not start\n");
        return 1;
    }
    QProcess pitlink;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", data);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    pitlink.setProcessEnvironment(env);
    pitlink.setStandardOutputFile(QProcess::nullDevice());
    pitlink.setStandardErrorFile(QProcess::nullDevice());
    pitlink.start(QStringLiteral(PITLINK_PATH), QStringList());

    QTcpSocket socket;
    FrameReader reader;
    int number = 0;
    bool linked = false;
    for (QDeadlineTimer deadline(kStartDeadlineMs); !linked && !deadline.hasExpired(); QThread::msleep(200)) {
        if (socket.state() != QAbstractSocket::ConnectedState) {
            socket.connectToHost(QHostAddress::LocalHost, port);
            socket.waitForConnected(kReplyDeadlineMs);
            continue;
        }
        linked = ask(socket, reader, ++number).value("SessionTimeSinceStarted").toDouble() > 0;
    }
    if (!linked || !telemetryOpen()) {
        std::fprintf(stderr, "Pitlink did not link to the substitute within %d s\n", kStartDeadlineMs / 1000);
        return 1;
    }

    std::vector<double> ages;
    int missing = 0;
    for (QDeadlineTimer deadline(kMeasureMs); !deadline.hasExpired(); QThread::msleep(kRequestEveryMs)) {
        const QJsonObject reply = ask(socket, reader, ++number);
        const double now = blockSessionTime();
        if (!reply.contains("SessionTimeSinceStarted") || now <= 0) {
            ++missing;
            continue;
        }
        ages.push_back(now - reply.value("SessionTimeSinceStarted").toDouble());
    }
    pitlink.terminate();
    pitlink.waitForFinished();
    sim.write("quit\n");
    sim.waitForFinished();
    if (ages.empty()) {
        std::fprintf(stderr, "no replies\n");
        return 1;
    }
    std::sort(ages.begin(), ages.end());
    std::printf("207 SessionTimeSinceStarted age over %d s, %zu replies (%d without a value):\n"
                "  p50 %.3f s  p90 %.3f s  p99 %.3f s  max %.3f s\n",
                kMeasureMs / 1000, ages.size(), missing, percentile(ages, 50), percentile(ages, 90),
                percentile(ages, 99), ages.back());
    return 0;
}

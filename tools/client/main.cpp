// Sends one request frame to a Pitlink server and prints the reply's text.
//
//   pitlink-client [--raw] [--timeout MS] HOST PORT COMMAND [TEXT]
//
// TEXT is sent with the closing ";" the commands expect ("206 3" sends "3;").
// --raw prints the whole reply frame as received. Command 201 gets no reply:
// the tool ends once the request is sent. Exit status 0 on success, 1 on a
// usage error, 2 when the server cannot be reached, 3 when no reply comes.

#include "server/CommandHandler.h"
#include "server/FrameFormat.h"
#include "server/FrameReader.h"
#include "server/irMessage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTcpSocket>

#include <cstdio>

namespace {

constexpr int kDefaultTimeoutMs = 5000;
constexpr int kRequestNumber = 1;

enum Exit { kOk = 0, kUsage = 1, kNoConnection = 2, kNoReply = 3 };

int usage()
{
    std::fprintf(stderr,
                 "usage: pitlink-client [--raw] [--timeout MS] HOST PORT COMMAND [TEXT]\n"
                 "  e.g. pitlink-client 127.0.0.1 47812 207\n");
    return kUsage;
}

// The reply text: the payload behind the request number, without its closing ";".
QByteArray replyText(const QByteArray &frameBytes)
{
    QByteArray text = frameBytes.mid(frame::kTextOffset);
    if (text.endsWith(frame::kSeparator))
        text.chop(1);
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);

    bool raw = false;
    int timeoutMs = kDefaultTimeoutMs;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--raw")) {
            raw = true;
        } else if (option == QLatin1String("--timeout") && !args.isEmpty()) {
            bool ok = false;
            timeoutMs = args.takeFirst().toInt(&ok);
            if (!ok || timeoutMs <= 0)
                return usage();
        } else {
            return usage();
        }
    }
    if (args.size() < 3 || args.size() > 4)
        return usage();

    const QString host = args.at(0);
    bool portOk = false;
    const uint port = args.at(1).toUInt(&portOk);
    bool commandOk = false;
    const int command = args.at(2).toInt(&commandOk);
    if (!portOk || port > 65535 || !commandOk)
        return usage();
    const QString text = args.size() == 4 ? args.at(3) + QLatin1Char(frame::kSeparator) : QString();

    QTcpSocket socket;
    socket.connectToHost(host, static_cast<quint16>(port));
    if (!socket.waitForConnected(timeoutMs)) {
        std::fprintf(stderr, "pitlink-client: cannot connect to %s:%u: %s\n",
                     qPrintable(host), port, qPrintable(socket.errorString()));
        return kNoConnection;
    }

    socket.write(requestFrame(command, kRequestNumber, text));
    if (!socket.waitForBytesWritten(timeoutMs)) {
        std::fprintf(stderr, "pitlink-client: sending failed: %s\n",
                     qPrintable(socket.errorString()));
        return kNoConnection;
    }
    if (command == kCommandClientName) {
        socket.disconnectFromHost();
        if (socket.state() != QAbstractSocket::UnconnectedState)
            socket.waitForDisconnected(timeoutMs);
        return kOk;
    }

    FrameReader reader;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0 || !socket.waitForReadyRead(static_cast<int>(left))) {
            std::fprintf(stderr, "pitlink-client: no reply within %d ms%s\n", timeoutMs,
                         socket.state() == QAbstractSocket::ConnectedState
                             ? ""
                             : " (the server closed the connection)");
            return kNoReply;
        }
        const FrameReader::Result result = reader.feed(socket.readAll());
        if (!result.frames.isEmpty()) {
            const QByteArray &reply = result.frames.first();
            QByteArray out = raw ? reply : replyText(reply);
            if (!raw && !out.endsWith('\n'))
                out += '\n';
            std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
            std::fflush(stdout);
            return kOk;
        }
    }
}

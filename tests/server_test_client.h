#pragma once
// A loopback client for the server suites. It never blocks the main thread:
// every wait spins the event loop (the server accepts on it) until a
// condition holds or the deadline passes.

#include "server/FrameReader.h"
#include "server/irMessage.h"

#include <QByteArray>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTest>
#include <QVector>

constexpr int kWaitMs = 5000;

class TestClient {
public:
    bool connectTo(quint16 port)
    {
        socket.connectToHost(QHostAddress::LocalHost, port);
        return QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::ConnectedState; },
                               kWaitMs);
    }

    void send(const QByteArray &bytes)
    {
        socket.write(bytes);
        socket.flush();
    }

    // Waits until the bytes written so far have left this side.
    bool drained()
    {
        return QTest::qWaitFor([this] { return socket.bytesToWrite() == 0; }, kWaitMs);
    }

    // Waits until `count` reply frames have arrived in total.
    bool waitFrames(int count, int timeoutMs = kWaitMs)
    {
        return QTest::qWaitFor(
            [this, count] {
                collect();
                return frames.size() >= count;
            },
            timeoutMs);
    }

    // The next reply frame, or an empty array when none comes in time.
    QByteArray nextFrame()
    {
        if (!waitFrames(taken + 1))
            return QByteArray();
        return frames.at(taken++);
    }

    bool waitDisconnected(int timeoutMs = kWaitMs)
    {
        return QTest::qWaitFor(
            [this] {
                collect();
                return socket.state() == QAbstractSocket::UnconnectedState;
            },
            timeoutMs);
    }

    static QByteArray request(int command, int requestNumber, const QString &text = QString())
    {
        return requestFrame(command, requestNumber, text);
    }

    QTcpSocket socket;
    QVector<QByteArray> frames;

private:
    void collect()
    {
        if (socket.bytesAvailable() > 0)
            frames += reader.feed(socket.readAll()).frames;
    }

    FrameReader reader;
    int taken = 0;
};

#pragma once
// pitlink-sim as a child process: started, steered through its stdin and
// read line by line from its stdout.

#include "qt_printers.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpServer>

// A port nothing listens on just now: to find nobody at, or for a program
// that takes its port from its settings, where 0 may mean "none".
inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

constexpr int kSimDeadlineMs = 5000;
// Pitlink started as a process links to the substitute within this.
constexpr int kLinkDeadlineMs = 15000;

class SimProcess {
public:
    enum Match { Part, Whole };

    ~SimProcess()
    {
        process.kill(); // nothing when it has ended
        process.waitForFinished(kSimDeadlineMs);
    }
    bool start(const QStringList &args = {})
    {
        process.start(QStringLiteral(PITLINK_SIM_PATH), args);
        return process.waitForStarted(kSimDeadlineMs) && waitForLine("ready");
    }
    // Sends a command and waits until it has been applied.
    bool command(const QString &line)
    {
        process.write((line + "\n").toUtf8());
        return waitForLine("ok " + line, kSimDeadlineMs, Whole);
    }
    // Waits for an output line that contains `text` (or is `text`, Whole:
    // "key vk=32 down" is not "key vk=32 down to another program"); lines are kept.
    bool waitForLine(const QString &text, int ms = kSimDeadlineMs, Match match = Part)
    {
        for (QDeadlineTimer deadline(ms);;) {
            while (process.canReadLine()) {
                lines.append(QString::fromUtf8(process.readLine()).trimmed());
                if (match == Whole ? lines.last() == text : lines.last().contains(text))
                    return true;
            }
            if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
                return false;
            process.waitForReadyRead(50);
        }
    }

    QProcess process;
    QStringList lines;
};

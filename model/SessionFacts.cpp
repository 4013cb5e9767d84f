#include "model/SessionFacts.h"

#include "model/SessionValue.h"

namespace {
QString sessionPath(int sessionNum, const char *key)
{
    return QStringLiteral("SessionInfo:Sessions:SessionNum:{%1}%2").arg(sessionNum).arg(QLatin1String(key));
}
const QString kUnlimited = QStringLiteral("unlimited");
} // namespace

double sessionLengthFromText(const QString &text)
{
    if (text == kUnlimited)
        return kUnlimitedTime;
    QString rest = text;
    rest.remove(QStringLiteral("sec"), Qt::CaseSensitive);
    return doubleFromSessionBytes(rest.toUtf8());
}

int sessionLapsFromText(const QString &text)
{
    if (text == kUnlimited)
        return kUnlimitedLaps;
    return intFromSessionBytes(text.toUtf8());
}

void readWeekendFacts(SimClient &client, irVariables &vars)
{
    readSessionText(client, QStringLiteral("WeekendInfo:TrackName:"), vars.trackName);
    readSessionText(client, QStringLiteral("WeekendInfo:TrackDisplayShortName:"), vars.trackDisplayShortName);
    readSessionInt(client, QStringLiteral("WeekendInfo:NumCarTypes:"), vars.numCarTypes);
    readSessionInt(client, QStringLiteral("WeekendInfo:NumCarClasses:"), vars.numCarClasses);
    readSessionInt(client, QStringLiteral("WeekendInfo:NumStarters:"), vars.numStarters);
    readSessionInt(client, QStringLiteral("SessionInfo:NumSessions:"), vars.numSessions);
}

void readSessionFacts(SimClient &client, irVariables &vars)
{
    const int num = vars.sessionNum;
    QString text;
    readSessionText(client, sessionPath(num, "SessionType:"), vars.sessionType);
    if (readSessionText(client, sessionPath(num, "SessionLaps:"), text))
        vars.sessionLaps = sessionLapsFromText(text);
    readSessionInt(client, sessionPath(num, "SessionNumLapsToAvg:"), vars.sessionNumLapsToAvg);
    if (readSessionText(client, sessionPath(num, "SessionTime:"), text))
        vars.sessionLength = sessionLengthFromText(text);
    // Clients are sent the number of the session these facts describe.
    vars.sessionInfoNum = num;

    irDriver &player = vars.playerDriver;
    readSessionFloat(client, QStringLiteral("DriverInfo:DriverCarFuelKgPerLtr:"), player.driverCarFuelKgPerLtr);
    readSessionFloat(client, QStringLiteral("DriverInfo:DriverCarFuelMaxLtr:"), player.driverCarFuelMaxLtr);
    readSessionFloat(client, QStringLiteral("DriverInfo:DriverCarMaxFuelPct:"), player.driverCarMaxFuelPct);
    readSessionFloat(client, QStringLiteral("DriverInfo:DriverCarEstLapTime:"), player.driverCarEstLapTime);
    readSessionInt(client, QStringLiteral("DriverInfo:DriverCarIdx:"), player.driverCarIdx);
}

#include "model/SessionFacts.h"

#include "model/SessionValue.h"

namespace {
SessionPath sessionPath(int sessionNum, const char *key)
{
    return SessionPath("SessionInfo:Sessions:SessionNum:{%d}%s", sessionNum, key);
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
    readSessionText(client, "WeekendInfo:TrackName:", vars.trackName);
    readSessionText(client, "WeekendInfo:TrackDisplayShortName:", vars.trackDisplayShortName);
    readSessionInt(client, "WeekendInfo:NumCarTypes:", vars.numCarTypes);
    readSessionInt(client, "WeekendInfo:NumCarClasses:", vars.numCarClasses);
    readSessionInt(client, "WeekendInfo:NumStarters:", vars.numStarters);
    readSessionInt(client, "SessionInfo:NumSessions:", vars.numSessions);
}

void readSessionFacts(SimClient &client, irVariables &vars)
{
    const int num = vars.sessionNum;
    QString text;
    readSessionText(client, sessionPath(num, "SessionType:").c_str(), vars.sessionType);
    if (readSessionText(client, sessionPath(num, "SessionLaps:").c_str(), text))
        vars.sessionLaps = sessionLapsFromText(text);
    readSessionInt(client, sessionPath(num, "SessionNumLapsToAvg:").c_str(), vars.sessionNumLapsToAvg);
    if (readSessionText(client, sessionPath(num, "SessionTime:").c_str(), text))
        vars.sessionLength = sessionLengthFromText(text);
    // Clients are sent the number of the session these facts describe.
    vars.sessionInfoNum = num;

    irDriver &player = vars.playerDriver;
    readSessionFloat(client, "DriverInfo:DriverCarFuelKgPerLtr:", player.driverCarFuelKgPerLtr);
    readSessionFloat(client, "DriverInfo:DriverCarFuelMaxLtr:", player.driverCarFuelMaxLtr);
    readSessionFloat(client, "DriverInfo:DriverCarMaxFuelPct:", player.driverCarMaxFuelPct);
    readSessionFloat(client, "DriverInfo:DriverCarEstLapTime:", player.driverCarEstLapTime);
    readSessionInt(client, "DriverInfo:DriverCarIdx:", player.driverCarIdx);
}

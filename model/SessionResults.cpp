#include "model/SessionResults.h"

#include "model/SessionValue.h"

namespace {
QString positionPath(int sessionNum, int position, const char *key)
{
    return QStringLiteral("SessionInfo:Sessions:SessionNum:{%1}ResultsPositions:Position:{%2}%3")
        .arg(sessionNum)
        .arg(position)
        .arg(QLatin1String(key));
}
} // namespace

void readSessionResults(SimClient &client, int sessionNum, QVector<irResult> &results)
{
    results.clear();
    for (int n = 0; n <= kMaxResultPosition; ++n) {
        irResult r;
        if (!readSessionInt(client, positionPath(sessionNum, n, ""), r.position))
            continue;
        readSessionInt(client, positionPath(sessionNum, n, "ClassPosition:"), r.classPosition);
        readSessionInt(client, positionPath(sessionNum, n, "CarIdx:"), r.carIdx);
        readSessionInt(client, positionPath(sessionNum, n, "Lap:"), r.lap);
        readSessionInt(client, positionPath(sessionNum, n, "LapsComplete:"), r.lapsComplete);
        readSessionInt(client, positionPath(sessionNum, n, "Incidents:"), r.incidents);
        readSessionFloat(client, positionPath(sessionNum, n, "Time:"), r.time);
        readSessionInt(client, positionPath(sessionNum, n, "FastestLap:"), r.fastestLap);
        readSessionFloat(client, positionPath(sessionNum, n, "FastestTime:"), r.fastestTime);
        readSessionFloat(client, positionPath(sessionNum, n, "LastTime:"), r.lastTime);
        readSessionText(client, positionPath(sessionNum, n, "ReasonOutStr:"), r.reasonOutStr);
        readSessionInt(client, positionPath(sessionNum, n, "ReasonOutId:"), r.reasonOutId);
        results.append(r);
    }
}

#include "model/SessionResults.h"

#include "model/SessionValue.h"

#include <cmath>

namespace {
SessionPath positionPath(int sessionNum, int position, const char *key)
{
    return SessionPath("SessionInfo:Sessions:SessionNum:{%d}ResultsPositions:Position:{%d}%s", sessionNum,
                       position, key);
}

// "nan" and "inf" pass the C-locale conversion; no consumer of the snapshot
// can show or sort them, so they read as 0.0, a time not given yet.
bool readSessionTime(SimClient &client, const char *path, float &out)
{
    if (!readSessionFloat(client, path, out))
        return false;
    if (!std::isfinite(out))
        out = 0.0f;
    return true;
}
} // namespace

void readSessionResults(SimClient &client, int sessionNum, QVector<irResult> &results)
{
    results.clear();
    for (int n = 0; n <= kMaxResultPosition; ++n) {
        irResult r;
        if (!readSessionInt(client, positionPath(sessionNum, n, "").c_str(), r.position))
            continue;
        readSessionInt(client, positionPath(sessionNum, n, "ClassPosition:").c_str(), r.classPosition);
        readSessionInt(client, positionPath(sessionNum, n, "CarIdx:").c_str(), r.carIdx);
        readSessionInt(client, positionPath(sessionNum, n, "Lap:").c_str(), r.lap);
        readSessionInt(client, positionPath(sessionNum, n, "LapsComplete:").c_str(), r.lapsComplete);
        readSessionInt(client, positionPath(sessionNum, n, "Incidents:").c_str(), r.incidents);
        readSessionTime(client, positionPath(sessionNum, n, "Time:").c_str(), r.time);
        readSessionInt(client, positionPath(sessionNum, n, "FastestLap:").c_str(), r.fastestLap);
        readSessionTime(client, positionPath(sessionNum, n, "FastestTime:").c_str(), r.fastestTime);
        readSessionTime(client, positionPath(sessionNum, n, "LastTime:").c_str(), r.lastTime);
        readSessionText(client, positionPath(sessionNum, n, "ReasonOutStr:").c_str(), r.reasonOutStr);
        readSessionInt(client, positionPath(sessionNum, n, "ReasonOutId:").c_str(), r.reasonOutId);
        results.append(r);
    }
}

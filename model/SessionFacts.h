#pragma once
// The session facts of the snapshot read from the session info: the weekend,
// the current session and the player's car. A value is stored only when it
// was found and fits; otherwise its field keeps what it held.

#include "model/irVariables.h"

#include <QString>

class SimClient;

// The five "WeekendInfo:" values and the number of sessions.
void readWeekendFacts(SimClient &client, irVariables &vars);
// The four values of session `vars.sessionNum` and the five "DriverInfo:"
// values of the player's car.
void readSessionFacts(SimClient &client, irVariables &vars);

// "unlimited" gives -1.0; otherwise every "sec" is dropped and the rest read
// as seconds (no number gives 0.0).
double sessionLengthFromText(const QString &text);
// "unlimited" gives 32767; otherwise the base-10 number (no number gives 0).
int sessionLapsFromText(const QString &text);

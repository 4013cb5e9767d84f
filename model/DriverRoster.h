#pragma once
// The roster of the session: one driver per car of the session info's driver
// list, car indexes 0 to 99, in ascending car index.

#include "model/irVariables.h"

#include <QVector>

class SimClient;

constexpr int kMaxCarIndex = 99;

// Empties `drivers` and rebuilds it from the client's session info. A car
// whose user name is missing keeps carIdx -1; missing fields keep their start
// values.
void readDriverRoster(SimClient &client, QVector<irDriver> &drivers);

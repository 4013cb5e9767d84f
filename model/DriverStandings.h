#pragma once
// Race positions of the roster, taken from the results of the current
// session, and the join of a driver to its result.

#include "model/irVariables.h"

#include <QVector>

// Whether a car index names a car: -1 stands for one never read, and no
// car has a negative index.
inline bool namesCar(int carIdx) { return carIdx >= 0; }

// Gives every driver the position of the last result with its car index
// (a result placed 0 is first set to "no position" in the snapshot) and
// sorts the drivers by position, ascending; drivers without a placing come
// last. A driver with no result keeps the position it has.
void applyResultPositions(irVariables &irVars);

// The last result with the given car index, or an empty result (no times,
// no laps, no incidents) when the car has none.
irResult resultForCar(const QVector<irResult> &results, int carIdx);

#pragma once
// The results table of one session: one result per results position 0 to
// 99, in ascending position.

#include "model/irVariables.h"

#include <QVector>

class SimClient;

constexpr int kMaxResultPosition = 99;

// Empties `results` and rebuilds it from the results of session `sessionNum`.
void readSessionResults(SimClient &client, int sessionNum, QVector<irResult> &results);

#pragma once
// The 25 live telemetry values of the snapshot, read from the client's newest
// sample. Variables the simulator does not publish read as 0.

#include "model/irVariables.h"

class SimClient;

void sampleTelemetry(const SimClient &client, irVariables &vars);

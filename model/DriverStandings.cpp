#include "model/DriverStandings.h"

#include <algorithm>

void applyResultPositions(irVariables &irVars)
{
    for (irDriver &driver : irVars.drivers) {
        if (!namesCar(driver.carIdx))
            continue;
        for (irResult &result : irVars.results) {
            if (result.carIdx != driver.carIdx)
                continue;
            // The simulator lists cars that have not been placed yet as 0.
            if (result.position == 0)
                result.position = kNoPosition;
            driver.position = result.position;
        }
    }
    // Stable, so drivers with equal positions keep their roster order from
    // one refill to the next instead of swapping places at random.
    std::stable_sort(irVars.drivers.begin(), irVars.drivers.end(),
                     [](const irDriver &a, const irDriver &b) { return a.position < b.position; });
}

irResult resultForCar(const QVector<irResult> &results, int carIdx)
{
    if (!namesCar(carIdx))
        return irResult();
    for (auto it = results.crbegin(); it != results.crend(); ++it) {
        if (it->carIdx == carIdx)
            return *it;
    }
    // A default result reads as "nothing yet": times 0.0, laps -1, no incidents.
    return irResult();
}

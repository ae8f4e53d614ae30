#include "timing.h"

#include <cmath>
#include <limits>

double Timing::linesPerField() const
{
    return vActive + 2 * vBorder + vBlank + (ip ? 0.5 : 0.0);
}

void Timing::updateTotalsAndRates()
{
    hTotal = hActive + 2 * hBorder + hBlank;
    vTotal = ip ? 2 * (vActive + 2 * vBorder + vBlank) + 1 : vActive + 2 * vBorder + vBlank;
    hFreq = hTotal > 0 ? pixelFreq * 1000.0 / hTotal : 0.0;
    const double lines = linesPerField();
    fieldRate = lines > 0 ? roundRate(hFreq * 1000.0 / lines) : 0;
}

int roundRate(double value)
{
    if (!std::isfinite(value) || value < 0 || value > std::numeric_limits<int>::max() - 1)
        return 0;
    return int(value + 0.5);
}

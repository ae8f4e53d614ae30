#include "timing.h"

#include "constants.h"

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

bool sameTiming(const Timing& a, const Timing& b)
{
    if (a.type == TIMING_TYPE_CEA && b.type == TIMING_TYPE_CEA && a.vic == b.vic)
        return true;
    const double epsilon = std::numeric_limits<double>::epsilon();
    return a.hActive == b.hActive && a.vActive == b.vActive && a.fieldRate == b.fieldRate
        && a.hAspect == b.hAspect && a.vAspect == b.vAspect && a.ip == b.ip
        && a.hTotal == b.hTotal && a.hBlank == b.hBlank && a.hFront == b.hFront && a.hSync == b.hSync
        && a.hBack == b.hBack && a.hPol == b.hPol
        && a.vTotal == b.vTotal && a.vBlank == b.vBlank && a.vFront == b.vFront && a.vSync == b.vSync
        && a.vBack == b.vBack && a.vPol == b.vPol
        && a.hBorder == b.hBorder && a.hSize == b.hSize && a.vSize == b.vSize
        && std::fabs(a.hFreq - b.hFreq) < epsilon && std::fabs(a.pixelFreq - b.pixelFreq) < epsilon;
}

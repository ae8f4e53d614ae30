#include "cvt.h"

#include "constants.h"

#include <cmath>

namespace {

// The CVT constants, named as in the standard.
constexpr double CellGran = 8;
constexpr double MarginPerc = 1.8;
constexpr double MinVPorchRnd = 3;
constexpr double MinVBPorch = 6;
constexpr double MinVSyncBp = 550;  // us
constexpr double CPrime = 30;
constexpr double MPrime = 300;
constexpr double MinDutyCycle = 20; // %
constexpr double HSyncPerc = 8;     // % of the total line
constexpr double ClockStep = 0.25;  // MHz
constexpr double RbHBlank = 160;
constexpr double RbHSync = 32;
constexpr double RbMinVBlank = 460; // us
constexpr int NoAspectVSync = 10;

} // namespace

Timing computeTiming(int hPixels, int vLines, double refreshRate, bool margins, bool interlaced,
                     bool reducedBlanking, bool* ok)
{
    Timing t;
    t.type = TIMING_TYPE_CUSTOM;
    t.hActive = hPixels;
    t.ip = interlaced;
    if (ok)
        *ok = false;

    const int vLinesRnd = interlaced ? vLines / 2 : vLines;
    t.vActive = vLinesRnd;
    const double fieldRateRqd = interlaced ? refreshRate * 2 : refreshRate;
    if (hPixels < CellGran || vLinesRnd < 1 || !std::isfinite(fieldRateRqd) || fieldRateRqd <= 0)
        return t;

    // The sync width tells the aspect ratio to a monitor, so it comes from the requested size.
    const int vSync = aspectVSyncLines(hPixels, vLines, NoAspectVSync);
    const double interlace = interlaced ? 0.5 : 0.0;
    const double hPixelsRnd = std::floor(hPixels / CellGran) * CellGran;
    const double vMargin = margins ? std::floor(vLinesRnd * MarginPerc / 100.0) : 0;
    const double hMargin = margins ? std::floor(hPixelsRnd * MarginPerc / 100.0 / CellGran) * CellGran : 0;
    const double totalActive = hPixelsRnd + 2 * hMargin;

    double hBlank = 0;
    double hSync = 0;
    double vBlank = 0;
    double pixelClock = 0;
    if (!reducedBlanking) {
        const double hPeriod = (1.0 / fieldRateRqd - MinVSyncBp / 1e6) * 1e6
            / (vLinesRnd + 2 * vMargin + MinVPorchRnd + interlace);
        if (!(hPeriod > 0))
            return t;
        const double duty = qMax(MinDutyCycle, CPrime - MPrime * hPeriod / 1000.0);
        hBlank = std::floor(totalActive * duty / (100.0 - duty) / (2 * CellGran)) * 2 * CellGran;
        const double totalPixels = totalActive + hBlank;
        const double vSyncBp = qMax(std::floor(MinVSyncBp / hPeriod) + 1, double(vSync + MinVBPorch));
        vBlank = vSyncBp + MinVPorchRnd;
        hSync = std::floor(totalPixels * HSyncPerc / 100.0 / CellGran) * CellGran;
        pixelClock = std::floor(totalPixels / hPeriod / ClockStep) * ClockStep;
    } else {
        const double hPeriod = (1e6 / fieldRateRqd - RbMinVBlank) / (vLinesRnd + 2 * vMargin);
        if (!(hPeriod > 0))
            return t;
        const double vbiLines = std::floor(RbMinVBlank / hPeriod) + 1;
        vBlank = qMax(vbiLines, MinVPorchRnd + vSync + MinVBPorch);
        hBlank = RbHBlank;
        hSync = RbHSync;
        const double totalLines = vBlank + vLinesRnd + 2 * vMargin + interlace;
        const double totalPixels = totalActive + hBlank;
        pixelClock = std::floor(fieldRateRqd * totalLines * totalPixels / 1e6 / ClockStep) * ClockStep;
    }
    if (!(pixelClock > 0))
        return t;

    t.hBlank = int(hBlank);
    t.hSync = int(hSync);
    t.hBack = t.hBlank / 2;
    t.hFront = t.hBlank - t.hBack - t.hSync;
    t.vBlank = int(vBlank);
    t.vSync = vSync;
    t.vFront = int(MinVPorchRnd);
    t.vBack = t.vBlank - t.vSync - t.vFront;
    t.hBorder = int(hMargin);
    t.vBorder = int(vMargin);
    t.pixelFreq = pixelClock;
    t.hPol = reducedBlanking;
    t.vPol = !reducedBlanking;
    t.updateTotalsAndRates();
    if (ok)
        *ok = true;
    return t;
}

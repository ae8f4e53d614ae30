#include "timescale.h"

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <cmath>

namespace {
double initialFactor()
{
    bool ok = false;
    const double f = qEnvironmentVariable("PLEXA_TIME_SCALE").toDouble(&ok);
    return (ok && f > 0.0) ? f : 1.0;
}

std::atomic<double>& storedFactor()
{
    static std::atomic<double> f{initialFactor()};
    return f;
}
} // namespace

double TimeScale::factor()
{
    return storedFactor().load();
}

void TimeScale::setFactor(double factor)
{
    storedFactor().store(factor > 0.0 ? factor : 1.0);
}

int TimeScale::ms(int milliseconds)
{
    if (milliseconds <= 0)
        return milliseconds;
    const double f = factor();
    if (f == 1.0)
        return milliseconds;
    const double scaled = std::ceil(milliseconds * f);
    if (scaled >= 2147483647.0)
        return 2147483647;
    return qMax(1, int(scaled));
}

#ifndef TIMESCALE_H
#define TIMESCALE_H

// The one place through which every wait, timer interval and time-out of a device flow passes.
// Production runs at factor 1; tests shrink it so flows with minutes of prescribed waits run in
// seconds. The environment variable PLEXA_TIME_SCALE sets the starting factor.
class TimeScale
{
public:
    static double factor();
    static void setFactor(double factor);
    // ms scaled by the factor; a positive wait never scales to 0 (it stays at least 1 ms).
    static int ms(int milliseconds);
};

#endif // TIMESCALE_H

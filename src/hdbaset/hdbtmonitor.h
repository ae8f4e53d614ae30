#ifndef HDBTMONITOR_H
#define HDBTMONITOR_H

// Widget-free core of the HDBaseT link monitor: the unit's monitor stream cut into lines and
// turned into samples, the two conversion formulas, the alert thresholds and their latches, the
// time window of the plots and the texts of the event table and CSV log. The page (hdbaset.*)
// only moves these values into widgets.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// One closed monitor cycle (or the cycle being filled).
struct PlotSample {
    double maxErr[4] = {0, 0, 0, 0};      // percent, channels A to D; lower is better
    double linkQuality[4] = {0, 0, 0, 0}; // percent, channels A to D; higher is better
    double retransRate = 0;               // percent, receiver units
    bool hasRetransRate = false;          // retransRate came from the line that closed the cycle
    int tmdsClock = 0;                    // MHz, from the last "TMDS" line
    QDateTime time;                       // when the sample went into the history
};

// Alert thresholds, in percent.
extern const double THRESHHOLD_LINK;          // link quality below it alerts (an MSE of -15 dB)
extern const double THRESHHOLD_MAXERR_LOW;    // max error above it alerts, TMDS clock <= 225 MHz
extern const double THRESHHOLD_MAXERR_HIGH;   // the same above 225 MHz
extern const double THRESHHOLD_RETRANS;       // retransmission rate below it alerts
double maxErrThreshold(int tmdsClock);

// Reads the monitor stream. Chunks are joined and cut at line ends, so a line split over several
// chunks, or several lines in one chunk, are each read whole. A line that never ends is dropped
// once it passes a sane length.
class HDBaseTMonitorParser
{
public:
    enum class Line { Ignored, Value, Tmds, CycleClosed };

    static const int maxLineLength = 256;

    // Parses every line the chunk completes, calling `onLine` after each one, while `sample()`
    // holds the values that line left (a closed cycle must be taken before the next line).
    void feed(const QByteArray& chunk, const std::function<void(Line)>& onLine = {});
    // One line without its line end.
    Line parseLine(const QString& line);

    void setReceiver(bool receiver) { m_receiver = receiver; }
    bool isReceiver() const { return m_receiver; }
    // Forgets the highest max errors seen: the next values start new peaks.
    void resetPeaks();
    double peakMaxErr(int channel) const { return m_peakMaxErr[channel]; }
    // Drops a partly received line (the stream was stopped or restarted).
    void resetStream() { m_pending.clear(); }

    PlotSample& sample() { return m_sample; }
    const PlotSample& sample() const { return m_sample; }

    // Link quality in percent (0 to 100) from the raw mean-square-error number: the unit's scale
    // is 2^16 on a receiver and 2^19 on a transmitter; -10 dB or more is 0 %, -23 dB or less 100 %.
    static double mseFormula(double raw, bool receiver);
    // Max error in percent (0 to 100) from the raw number; halved at TMDS clocks up to 225 MHz.
    static double maxErrFormula(double raw, int tmdsClock);

private:
    void takeMaxErr(int channel, int raw);

    QByteArray m_pending;
    PlotSample m_sample;
    double m_peakMaxErr[4] = {0, 0, 0, 0};
    bool m_receiver = false;
};

// The latched alert flags: 0 to 3 link quality of channels A to D, 4 to 7 max error of channels
// A to D (on a receiver, 4 is the retransmission rate and 5 to 7 are unused). A flag is raised
// when its value crosses to the wrong side and lowered when it is back.
class HDBaseTAlerts
{
public:
    struct Change {
        int index;
        bool raised;
    };
    // The flags that change with this sample, in index order.
    QList<Change> evaluate(const PlotSample& sample, bool receiver);
    void clear();
    bool isRaised(int index) const { return m_state[index] != 0; }

private:
    void check(int index, bool wrongSide, QList<Change>& changes);
    int m_state[8] = {0, 0, 0, 0, 0, 0, 0, 0};
};

namespace HDBaseTMonitor {

const int maxSamples = 3600;
const int maxTableRows = 500;

// The window of the plots in seconds for an index of the interval choice.
int windowSeconds(int intervalIndex);
// Appends a sample, dropping the oldest ones beyond maxSamples.
void appendSample(QList<PlotSample>& samples, const PlotSample& sample);
// Index of the first sample shown in a window of `seconds`: the last seconds + 1 samples.
int firstShown(int sampleCount, int seconds);

// The value rounded half up, then "%".
QString percentText(double value);
// Date, Time, Type, Ch and Value of one alert event (index as HDBaseTAlerts).
QStringList eventFields(const QDateTime& time, int alertIndex, double value);
// The fields joined by "," and ended by "\r\n".
QByteArray csvLine(const QStringList& fields);
QByteArray csvHeader();
// A free file name in `folder`: unit_MM-dd-yy_hh-mm.csv, then _2, _3 ... before ".csv".
QString freeLogPath(const QString& folder, const QString& unitName, const QDateTime& start);

} // namespace HDBaseTMonitor

#endif // HDBTMONITOR_H

#include "hdbtmonitor.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>

const double THRESHHOLD_LINK = (-15.0 + 10.0) / -13.0 * 100.0;
const double THRESHHOLD_MAXERR_LOW = 80.0;
const double THRESHHOLD_MAXERR_HIGH = 80.0;
const double THRESHHOLD_RETRANS = 95.0;

double maxErrThreshold(int tmdsClock)
{
    return tmdsClock <= 225 ? THRESHHOLD_MAXERR_LOW : THRESHHOLD_MAXERR_HIGH;
}

namespace {

double clampPercent(double value)
{
    if (!(value > 0)) // NaN included
        return 0;
    return value > 100 ? 100 : value;
}

// A field read as a decimal integer; 0 (and ok false) when it is not one.
int decimal(const QString& field, bool* ok = nullptr)
{
    bool valid = false;
    const int value = field.toInt(&valid, 10);
    if (ok)
        *ok = valid;
    return valid ? value : 0;
}

} // namespace

// ---- Monitor stream ------------------------------------------------------------------------

void HDBaseTMonitorParser::feed(const QByteArray& chunk, const std::function<void(Line)>& onLine)
{
    for (char byte : chunk) {
        if (byte != '\n' && byte != '\r') {
            if (m_pending.size() >= maxLineLength) {
                qDebug() << "HDBaseTMonitorParser::feed: monitor line too long, dropped";
                m_pending.clear();
            }
            m_pending.append(byte);
            continue;
        }
        if (m_pending.isEmpty())
            continue;
        const QString line = QString::fromUtf8(m_pending);
        m_pending.clear();
        const Line kind = parseLine(line);
        if (onLine)
            onLine(kind);
    }
}

HDBaseTMonitorParser::Line HDBaseTMonitorParser::parseLine(const QString& text)
{
    static const QRegularExpression separators(QStringLiteral("(\\ |\\-|\\:|\\,)"));
    QStringList t = text.trimmed().split(separators);
    const QString& first = t.first();

    if (first == QLatin1String("CH0")) {
        bool ok = false;
        const int raw = decimal(t.last(), &ok);
        if (ok)
            m_sample.linkQuality[0] = mseFormula(raw, m_receiver);
        return Line::Value;
    }
    if (first == QLatin1String("CH1") || first == QLatin1String("CH2") || first == QLatin1String("CH3")) {
        const int channel = first.at(2).digitValue();
        m_sample.linkQuality[channel] = mseFormula(decimal(t.last()), m_receiver);
        return Line::Value;
    }
    if (first == QLatin1String("ReTransRate")) {
        // The rate is the line's last field, a percentage; a line without one leaves the sample
        // without a rate, so nothing is compared against a stale or unset value.
        QString field = t.last();
        if (field.endsWith(QLatin1Char('%')))
            field.chop(1);
        bool ok = false;
        const double rate = QLocale::c().toDouble(field, &ok);
        m_sample.hasRetransRate = ok && t.size() > 1 && std::isfinite(rate);
        m_sample.retransRate = m_sample.hasRetransRate ? clampPercent(rate) : 0;
        return Line::CycleClosed;
    }
    if (first == QLatin1String("Cnl")) {
        if (t.size() < 3)
            return Line::Ignored;
        static const QStringList letters = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                                            QStringLiteral("D")};
        const int channel = letters.indexOf(t.at(1));
        if (channel < 0)
            return Line::Ignored;
        takeMaxErr(channel, decimal(t.at(2)));
        return channel == 3 ? Line::CycleClosed : Line::Value;
    }
    if (first == QLatin1String("TMDS")) {
        t.removeLast(); // the unit, "MHz"
        m_sample.tmdsClock = t.isEmpty() ? 0 : decimal(t.last());
        return Line::Tmds;
    }
    return Line::Ignored;
}

void HDBaseTMonitorParser::takeMaxErr(int channel, int raw)
{
    const double percent = maxErrFormula(raw, m_sample.tmdsClock);
    if (percent > m_peakMaxErr[channel])
        m_peakMaxErr[channel] = percent;
    m_sample.maxErr[channel] = m_peakMaxErr[channel];
}

void HDBaseTMonitorParser::resetPeaks()
{
    for (double& peak : m_peakMaxErr)
        peak = 0;
}

double HDBaseTMonitorParser::mseFormula(double raw, bool receiver)
{
    // No signal reads as 0 or below; the logarithm of those has no meaning.
    if (!(raw > 0))
        return 0;
    const double scaled = raw / (receiver ? 65536.0 : 524288.0);
    const double dB = 20.0 * std::log10(scaled) + 2.0;
    qDebug() << "mse_formula " << raw << " " << dB;
    return clampPercent((dB + 10.0) * 100.0 / -13.0);
}

double HDBaseTMonitorParser::maxErrFormula(double raw, int tmdsClock)
{
    double percent = raw * 100.0 / 128.0;
    if (tmdsClock <= 225)
        percent /= 2;
    return clampPercent(percent);
}

// ---- Alerts --------------------------------------------------------------------------------

QList<HDBaseTAlerts::Change> HDBaseTAlerts::evaluate(const PlotSample& sample, bool receiver)
{
    QList<Change> changes;
    for (int i = 0; i < 4; ++i)
        check(i, sample.linkQuality[i] < THRESHHOLD_LINK, changes);
    if (!receiver) {
        const double threshold = maxErrThreshold(sample.tmdsClock);
        for (int i = 0; i < 4; ++i)
            check(4 + i, sample.maxErr[i] > threshold, changes);
    } else if (sample.hasRetransRate) {
        check(4, sample.retransRate < THRESHHOLD_RETRANS, changes);
    }
    return changes;
}

void HDBaseTAlerts::check(int index, bool wrongSide, QList<Change>& changes)
{
    if (wrongSide == (m_state[index] != 0))
        return;
    m_state[index] = wrongSide ? 1 : 0;
    changes.append({index, wrongSide});
}

void HDBaseTAlerts::clear()
{
    for (int& flag : m_state)
        flag = 0;
}

// ---- Window, texts, log names --------------------------------------------------------------

namespace HDBaseTMonitor {

int windowSeconds(int intervalIndex)
{
    static const int seconds[] = {10, 30, 60, 180, 300, 600, 1800, 3600};
    if (intervalIndex < 0 || intervalIndex > 7)
        return 10;
    return seconds[intervalIndex];
}

void appendSample(QList<PlotSample>& samples, const PlotSample& sample)
{
    while (samples.size() >= maxSamples)
        samples.removeFirst();
    samples.append(sample);
}

int firstShown(int sampleCount, int seconds)
{
    return qMax(0, sampleCount - (seconds + 1));
}

QString percentText(double value)
{
    return QString::number(qint64(std::floor(value + 0.5))) + QLatin1Char('%');
}

QStringList eventFields(const QDateTime& time, int alertIndex, double value)
{
    static const char* const letters[] = {"A", "B", "C", "D"};
    const QLocale c = QLocale::c(); // the log reads the same whatever the user's language
    return {c.toString(time.date(), QStringLiteral("ddd MMM d yyyy")),
            c.toString(time.time(), QStringLiteral("hh:mm:ss")),
            alertIndex < 4 ? QStringLiteral("Link") : QStringLiteral("Max Err"),
            QLatin1String(letters[alertIndex % 4]),
            QString::number(std::floor(value + 0.5), 'g', 6)};
}

QByteArray csvLine(const QStringList& fields)
{
    return fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

QByteArray csvHeader()
{
    return QByteArrayLiteral("Date,Time,Type,Ch,Value\r\n");
}

QString freeLogPath(const QString& folder, const QString& unitName, const QDateTime& start)
{
    QString unit = unitName;
    unit.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    const QString base = unit + QLatin1Char('_') + QLocale::c().toString(start, QStringLiteral("MM-dd-yy_hh-mm"));
    const QDir dir(folder);
    QString path = dir.filePath(base + QStringLiteral(".csv"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(base + QLatin1Char('_') + QString::number(n) + QStringLiteral(".csv"));
    return path;
}

} // namespace HDBaseTMonitor

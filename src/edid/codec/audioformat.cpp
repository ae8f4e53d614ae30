#include "audioformat.h"

#include "constants.h"

#include <QStringList>

#include <cmath>
#include <limits>

bool AudioFormat::operator==(const AudioFormat& other) const
{
    return type == other.type && name == other.name && channels == other.channels
        && samplingFreqs == other.samplingFreqs && maxBitRate == other.maxBitRate
        && bitDepths == other.bitDepths && audioFrameLength == other.audioFrameLength
        && mpegSurroundExplicit == other.mpegSurroundExplicit;
}

QString audioFormatName(int code)
{
    return audioNameOfCode(code);
}

int audioFormatCode(const QString& name)
{
    return audioCodeOfName(name);
}

bool audioCodeHasBitRate(int code)
{
    return code >= 2 && code <= 8;
}

QString intListToString(const QList<int>& values)
{
    QStringList parts;
    parts.reserve(values.size());
    for (int value : values)
        parts << QString::number(value);
    return parts.join(QLatin1Char(','));
}

QString doubleListToString(const QList<double>& values)
{
    QStringList parts;
    parts.reserve(values.size());
    for (double value : values)
        parts << QString::number(value, 'g', 6);
    return parts.join(QLatin1Char(','));
}

bool audioFormatsEqual(const AudioFormat& a, const AudioFormat& b)
{
    if (a.type != b.type || a.channels != b.channels)
        return false;

    const double epsilon = std::numeric_limits<double>::epsilon();
    for (double rate : a.samplingFreqs) {
        bool offered = false;
        for (double other : b.samplingFreqs) {
            if (std::fabs(rate - other) < epsilon) {
                offered = true;
                break;
            }
        }
        if (!offered)
            return false;
    }

    if (a.type == 1) {
        for (int depth : a.bitDepths) {
            if (!b.bitDepths.contains(depth))
                return false;
        }
        return true;
    }
    if (audioCodeHasBitRate(a.type))
        return a.maxBitRate == b.maxBitRate;
    if (a.type >= 9 && a.type <= 14)
        return true;
    if (a.type >= 15) {
        for (int length : a.audioFrameLength) {
            if (!b.audioFrameLength.contains(length))
                return false;
        }
        if ((a.type == 19 || a.type == 20) && a.mpegSurroundExplicit != b.mpegSurroundExplicit)
            return false;
        return true;
    }
    return true; // codes below 1 have no further fields to compare
}

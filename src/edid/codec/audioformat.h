#ifndef AUDIOFORMAT_H
#define AUDIOFORMAT_H

#include <QList>
#include <QMetaType>
#include <QString>

// One CTA-861 short audio descriptor in decoded form.
// type: 1-14 are the CTA-861 audio format codes, 15-20 stand for format code 15 with the
// extension types 4, 5, 6, 7, 8 and 10.
struct AudioFormat
{
    int type = 0;
    QString name;
    int channels = 0;
    QList<double> samplingFreqs; // kHz
    int maxBitRate = 0;          // kHz; codes 2 to 8
    QList<int> bitDepths;        // code 1
    QList<int> audioFrameLength; // codes 15 and above
    bool mpegSurroundExplicit = false;

    // Exact equality of every field, the name included.
    bool operator==(const AudioFormat& other) const;
    bool operator!=(const AudioFormat& other) const { return !(*this == other); }
};

// Coding name of an audio format code; empty for codes outside 1 to 20.
QString audioFormatName(int code);
// Code whose name equals `name` exactly; 0 (no coding) for any other text.
int audioFormatCode(const QString& name);

// Codes that carry a maximum bit rate (CTA-861 formats 2 to 8).
bool audioCodeHasBitRate(int code);

// 16,20,24 (no blanks); an empty list gives an empty text.
QString intListToString(const QList<int>& values);
// 32,44.1,48: each value in the shortest form with at most 6 significant digits.
QString doubleListToString(const QList<double>& values);

// Whether the decoded descriptor `a` fits the catalogue entry `b`: same coding and channel count,
// every rate, bit depth and frame length of `a` offered by `b`, the same bit rate for codes 2 to 8
// and the same MPEG Surround signalling for codes 19 and 20. The names take no part.
bool audioFormatsEqual(const AudioFormat& a, const AudioFormat& b);

Q_DECLARE_METATYPE(AudioFormat)

#endif // AUDIOFORMAT_H

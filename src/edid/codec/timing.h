#ifndef TIMING_H
#define TIMING_H

#include <QMetaType>
#include <QString>

// One video timing, as the catalogues, the EDID decoders and encoders, the CVT generator and the
// custom timing dialog exchange it. Field names follow the keys of "timings.xml".
//
// Vertical values of an interlaced timing count lines per field (as an EDID detailed timing does),
// except vTotal, which counts the lines of a whole frame including the half line of each field
// (1125 for 1920x1080i). fieldRate is the field rate, so 60 for 1920x1080i60.
class Timing
{
public:
    QString type; // "VESA", "CEA" or "Custom"
    QString name;
    int vic = 0;
    int hdmiVic = 0;
    int hActive = 0;
    int vActive = 0;
    bool ip = false; // true: interlaced
    int hAspect = 0;
    int vAspect = 0;
    int hTotal = 0;
    int hBlank = 0;
    int hFront = 0;
    int hSync = 0;
    int hBack = 0;
    bool hPol = false; // true: positive
    int vTotal = 0;
    int vBlank = 0;
    int vFront = 0;
    int vSync = 0;
    int vBack = 0;
    bool vPol = false;
    double hFreq = 0.0;     // kHz
    double pixelFreq = 0.0; // MHz
    int fieldRate = 0;      // Hz
    int hBorder = 0;
    int vBorder = 0;
    int hSize = 0; // mm
    int vSize = 0; // mm
    bool native = false;
    bool established = false;
    bool standard = false;
    bool videoBlock = false;
    bool dtd = false;
    bool hdmiBlock = false;
    int subsampling = 0; // 0: 4:4:4 only, 1: 4:2:0 only, 2: both

    // Lines of one field including the borders and blanking; an interlaced field carries half a
    // line more than its whole lines.
    double linesPerField() const;

    // Recomputes hTotal, vTotal, hFreq and fieldRate from the active sizes, borders, blanking and
    // pixel clock, so that the record stays self-consistent after an edit. A timing without
    // lines or pixels gets rates of 0.
    void updateTotalsAndRates();
};

// Whether two timings are one row of the timing table: two "CEA" timings with the same VIC, or
// two timings whose geometry, polarities, horizontal border, image size and rates agree (the
// frequencies to within the double epsilon). Kind, name, HDMI VIC, vertical border, the flags and
// the chroma formats take no part.
bool sameTiming(const Timing& a, const Timing& b);

// Rounds a non-negative rate to whole units, halves up; anything that is not a finite number
// gives 0 instead of an undefined integer conversion.
int roundRate(double value);

Q_DECLARE_METATYPE(Timing)

#endif // TIMING_H

#ifndef EDIDRULES_H
#define EDIDRULES_H

#include "edidstate.h"
#include "timing.h"

#include <QList>

// The editor's rules that both the decoder and the editor's slots apply, as pure functions over
// plain values. The editor's slots call them on the state they read back from the form, the
// decoder calls them on the state it fills, so both give the same result.
namespace EdidRules {

// The timing table's merge rule (the same as TimingModel::addTiming): a timing that the list
// already holds (TimingModel::sameTiming) only adds where else it is listed; a new detailed
// timing goes below the detailed timings already there, any other new timing to the end.
void addTiming(QList<Timing>* rows, int* dtdCount, const Timing& t);

// Marks the rows whose VIC is one of `vics` as offering 4:4:4 and 4:2:0.
void apply420CapabilityMap(QList<Timing>* rows, const QList<int>& vics);

// What choosing an interface implies for the other choices of the "General" page: a digital
// interface offers RGB 4:4:4; HDMI also YCbCr 4:4:4 and two blocks; DVI 8 bits per colour and no
// YCbCr 4:4:4; DisplayPort no fixed depth and two blocks; analog neither 4:4:4 format. `edidBytes`
// is the size of the EDID being edited; outside edit mode a 256-byte EDID keeps two blocks.
void applyInterfaceChange(EdidState* state, bool editMode, int edidBytes);

// Gives a CEA timing the next of the 16 VIC slots of the 3D page; other kinds and a 17th VIC get
// none. Returns whether the timing got a slot.
bool addVicSlot(EdidState* state, const Timing& t);

struct RangeLimits
{
    int minVRate = 255;
    int maxVRate = 0;
    double minHRate = 255.0;
    double maxHRate = 0.0;
    double maxPixelClock = 0.0; // MHz, a multiple of 5 (595 becomes 600)
};

// Deep colour depths that are switched on, as the HDMI block's DC flags.
struct DeepColour
{
    bool bits30 = false;
    bool bits36 = false;
    bool bits48 = false;
};

// The range limits the encoder writes, derived from the timings: field and line rate ranges and
// the highest pixel clock (4:2:0-only timings count half), scaled by the deepest colour depth.
RangeLimits rangeLimits(const QList<Timing>& rows, DeepColour deepColour);
// Rounds a clock up to a multiple of 5 MHz; 595 becomes 600.
int roundUpTo5MHz(int mhz);
// The HDMI block's maximum TMDS clock for the timings: the highest pixel clock (4:2:0-only
// timings count as 300 MHz), and the clocks of the deep-colour choices, rounded up to 5 MHz.
int maxTmdsClock(const QList<Timing>& rows, const QList<double>& deepColourClocks = {});

// One deep-colour drop-down: the entries for the timings that carry 4:4:4 (highest pixel clock,
// then width, then rate first) at `factor` times their clock, and the index of the entry that
// should be chosen (the first whose clock is at most `maxTmds`; 0, the prompt, when none fits).
struct DeepColourChoices
{
    QStringList entries; // without the prompt item
    QList<double> clocks;
    int preselected = 0; // 0: the prompt; k: entries[k - 1]
};
DeepColourChoices deepColourChoices(const QList<Timing>& rows, double factor, int maxTmds);

} // namespace EdidRules

#endif // EDIDRULES_H

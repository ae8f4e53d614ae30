#ifndef EDIDRULES_H
#define EDIDRULES_H

#include "edidstate.h"
#include "timing.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

// The editor's rules that both the decoder and the editor's slots apply, as pure functions over
// plain values. The editor's slots call them on the state they read back from the form, the
// decoder calls them on the state it fills, so both give the same result.
namespace EdidRules {

// The timing table's merge rule, the one TimingModel::addTiming applies too. A timing that the
// list already holds (sameTiming) only adds where else it is listed; a new detailed timing goes
// below the detailed timings already there (which `dtdCount` counts), any other new timing to the
// end, and a detailed timing met again moves up to join them. A VIC listed again without the
// native bit (a second SVD of it, or the 4:2:0 video block) keeps the native bit another of its
// SVDs gave it: copying the later entry's bit would make a rebuilt video block drop the monitor's
// native format.
struct TimingMerge
{
    int row = -1;  // where the timing now stands
    int from = -1; // where the row it merged into stood before; -1 when the timing is new
};
TimingMerge addTiming(QList<Timing>* rows, int* dtdCount, const Timing& t);
// The first row that is the same timing as `t` (sameTiming); -1 when none.
int findTiming(const QList<Timing>& rows, const Timing& t);

// Marks the rows whose VIC is one of `vics` as offering 4:4:4 and 4:2:0.
void apply420CapabilityMap(QList<Timing>* rows, const QList<int>& vics);

// What choosing an interface implies for the other choices of the "General" page: a digital
// interface offers RGB 4:4:4; HDMI also YCbCr 4:4:4 and two blocks; DVI 8 bits per colour and no
// YCbCr 4:4:4; DisplayPort no fixed depth and two blocks; analog neither 4:4:4 format. `edidBytes`
// is the size of the EDID being edited; outside edit mode an EDID of two or more blocks shows two
// (the editor keeps the base block and the first extension).
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

// ---- TMDS clock and 4:2:0 ------------------------------------------------------------------

// The value of the "max TMDS clock" field: a decimal integer in MHz; 0 when empty or not a number.
int tmdsClockFieldValue(const QString& text);

// Below this TMDS clock (MHz) the 4K timings at 50/60 Hz (VICs 96, 97, 101, 102, 106 and 107,
// 594 MHz) cannot be carried as 4:4:4 and are offered as 4:2:0 only.
constexpr int Tmds420Threshold = 590;
bool isTmds420Vic(int vic);
// Whether a timing added from the catalogue must become 4:2:0-only at this TMDS clock.
bool shiftsTo420(const Timing& t, int maxTmdsClock);
// Below the threshold every row that offers both 4:4:4 and 4:2:0 keeps 4:2:0 only. Returns the
// rows that changed.
QList<int> downgradeTo420(QList<Timing>* rows, int maxTmdsClock);

// ---- Audio ----------------------------------------------------------------------------------

// Ten short audio descriptors of three bytes fill the 31-byte payload of one data block.
constexpr int MaxAudioFormats = 10;
enum class AudioAddCheck { Ok, LimitReached, Duplicate };
// Whether `format` may join the audio table `rows` as a new row. Replacing a row (`replacing`)
// does not grow the table, so only the duplicate rule applies.
AudioAddCheck checkAudioAdd(const QList<AudioFormat>& rows, const AudioFormat& format, bool replacing = false);

// ---- Speaker allocation -------------------------------------------------------------------

// The speaker toggle that shares one allocation bit with `name` (the form's object names, such
// as "speakerFL" and "speakerFR"); empty for the speakers that stand alone.
QString speakerPartner(const QString& name);

// ---- VIC slots and their 3D structures ------------------------------------------------------

// The VIC a slot's label starts with ("97  3840x2160p..."); 0 for an empty label.
int vicOfSlotLabel(const QString& label);
// The first slot whose label starts with `vic` (an empty slot counts as VIC 0); -1 when none.
int findVicSlot(const QStringList& labels, int vic);

// The 3D-capable-VIC mask after the user toggled slot `slot`. -1 ("the all-VIC structure applies
// to every VIC") counts as all 16 bits when there is an all-VIC structure, else as none.
int toggleVicMask(int threeDMask, int threeDStructureAll, int slot);

// Frees slot `slot`: the slots after it move up one, and their per-VIC 3D structures, details
// and 3D-capable mask bits move with them, so each VIC keeps its own 3D settings. A mask of -1
// (every VIC) stays -1.
void removeVicSlot3D(int slot, int* threeDMask, std::array<int, 16>* structures, std::array<int, 16>* details);
// The same on a state, which also drops the slot from `vicSlots`.
void removeVicSlot(EdidState* state, int slot);

} // namespace EdidRules

#endif // EDIDRULES_H

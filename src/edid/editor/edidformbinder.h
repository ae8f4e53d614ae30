#ifndef EDIDFORMBINDER_H
#define EDIDFORMBINDER_H

#include "edidstate.h"
#include "timing.h"

#include <QString>

class AudioFormatModel;
class TimingModel;
class Ui_MainUI;

// The binder between the editor's state (EdidState) and the "Manage EDID" pages of the form.
//
// applyStateToForm writes every value the pages show: the buttons, fields and drop-downs, the
// rows of the timing and audio tables, and the VIC slots of the 3D page. It blocks each widget's
// signals while it writes, so applying a state never counts as an edit, and it runs no rule: the
// state already holds what the rules decided (the decoder applies them where they belong). It
// changes no enabled state either (but for the VIC buttons, which "MULTI" enables); the editor
// does that from the interface shown.
//
// readStateFromForm is the reverse: it starts from `base` (normally the state of the last decode),
// so everything the form does not show (identification, gamma, kept descriptors and blocks, the 3D
// structures) survives, and overwrites every value the form shows.
//
// Choices read as Unset when none of their buttons is checked. Drop-down indexes and the TMDS
// choice that a state leaves open (-1, or `maxTmdsClockAuto` false) leave the widget as it is.
namespace EdidFormBinder {

// Either model may be null: its rows are then neither written nor read.
void applyStateToForm(const EdidState& state, Ui_MainUI* ui, TimingModel* timings, AudioFormatModel* audio);
void readStateFromForm(Ui_MainUI* ui, const TimingModel* timings, const AudioFormatModel* audio, EdidState* base);

// The interface choices alone (signal type, digital interface, colour depth, the two 4:4:4
// formats and the EDID size): what the interface rules read and change.
void applyInterfaceChoices(const EdidState& state, Ui_MainUI* ui);
void readInterfaceChoices(Ui_MainUI* ui, EdidState* state);

// Resolution and rate text of a timing: "1920x1080p(16:9)" padded to 21 characters, then
// "60Hz" padded to 8.
QString formatTimingText(const Timing& t);
// The pick-list text of a catalogue timing (also the key of the editor's timingIndexByName):
// "Custom  " or the kind, and the name; without a name, the kind in 8 columns, the VIC in 7 and
// formatTimingText.
QString timingName(const Timing& t);
// The text of a VIC slot: the VIC padded to 4 characters, then formatTimingText.
QString vicSlotLabel(const Timing& t);

// VIC slots: button i of the 3D page and item i+1 of `vic3Ddropdown` show the same VIC; item 0
// is "MULTI". Used slots are the first ones. addVicSlot fills the next free slot with a CEA
// timing (false: not CEA, or all 16 used); it enables nothing. clearVicSlots empties them all
// (texts, checks, hidden, disabled).
bool addVicSlot(Ui_MainUI* ui, const Timing& t);
void clearVicSlots(Ui_MainUI* ui);
int vicSlotCount(Ui_MainUI* ui);
// The VIC of slot i (0 when the slot is empty).
int vicOfSlot(Ui_MainUI* ui, int slot);

} // namespace EdidFormBinder

#endif // EDIDFORMBINDER_H

// The EDID editor's timings page and the VIC slots of the 3D page: adding, editing, removing and
// moving timings, the pick-list filters, and the 3D structures per VIC and for all VICs.
#include "edidmanagement.h"

#include "audioformatmodel.h"
#include "constants.h"
#include "customtimingdialog.h"
#include "dialogs.h"
#include "edidencoder.h"
#include "edidformbinder.h"
#include "edidrules.h"
#include "timingmodel.h"
#include "ui_mainui.h"

#include <QDebug>
#include <QSignalBlocker>

namespace {

// The eight 3D format buttons and the 3D_Structure bit each stands for (bit 7 has none).
struct FormatButton
{
    QPushButton* button;
    int bit;
};

std::array<FormatButton, 8> formatButtons(Ui_MainUI* ui)
{
    return {{{ui->framePacking, 0x001},
             {ui->fieldAlternative, 0x002},
             {ui->lineAlternative, 0x004},
             {ui->sideBySideFull, 0x008},
             {ui->depth, 0x010},
             {ui->depthGraphics, 0x020},
             {ui->topAndBottom, 0x040},
             {ui->sideBySideHalf, 0x100}}};
}

// Whether the all-VIC 3D structure applies to slot i; a mask of -1 means every VIC once there is
// an all-VIC structure.
bool maskHasSlot(int threeDMask, int threeDStructureAll, int slot)
{
    if (threeDMask == -1)
        return threeDStructureAll != -1;
    return threeDMask >> slot & 1;
}

void showDuplicateTimingError(Ui_MainUI* ui)
{
    Dialogs::critical(ui->centralFrame, QStringLiteral("Duplicate Timings Error"),
                      QStringLiteral("Duplicate timings are not allowed. Please select another timing to add."));
}

} // namespace

// ---- the encodability guard shared by the editor's pages -----------------------------------------

bool EdidManagement::refuseUnencodable(const EdidState& after)
{
    const QString problem = edidEncodableError(after);
    if (problem.isEmpty())
        return false;
    // An EDID that could not be written before this edit is not made worse by it; the edit goes on.
    if (!edidEncodableError(formState()).isEmpty())
        return false;
    Dialogs::warning(ui->centralFrame, QStringLiteral("Editing EDID"), problem);
    return true;
}

// ---- filters -------------------------------------------------------------------------------------

void EdidManagement::horizontalPixelsChanged(QString hPixels)
{
    hPixelsFilter = hPixels;
    populateTimingDropdown();
}

void EdidManagement::verticalLinesChanged(QString vLines)
{
    vLinesFilter = vLines;
    populateTimingDropdown();
}

void EdidManagement::refreshRateChanged(QString rRate)
{
    refreshRateFilter = rRate;
    populateTimingDropdown();
}

void EdidManagement::scanTypeChanged(QString sType)
{
    scanTypeFilter = sType;
    populateTimingDropdown();
}

// ---- adding, editing, removing ---------------------------------------------------------------------

void EdidManagement::addTimingToEDID(QString item)
{
    if (ui->timingDropdown->currentIndex() <= 0)
        return;
    const auto found = timingIndexByName.constFind(item);
    if (found == timingIndexByName.constEnd() || found.value() < 0 || found.value() >= timingCatalogue.timings.size())
        return;
    Timing t = timingCatalogue.timings.at(found.value());

    if (timingModel->containsTiming(t)) {
        showDuplicateTimingError(ui);
        return;
    }

    const bool shifted = EdidRules::shiftsTo420(t, EdidRules::tmdsClockFieldValue(ui->maxTMDSClock->text()));
    if (shifted) {
        t.subsampling = 1;
        qDebug() << "we are shifting to 420 video";
    }

    EdidState after = formState();
    after.timings.append(t);
    EdidRules::addVicSlot(&after, t);
    if (refuseUnencodable(after))
        return;

    addVIC(t);
    const int row = timingModel->rowCount();
    replaceSelectedTiming(t);
    computeTMDSClockAndRangeLimits();
    maxTMDSCalculation();
    edidFileEdited();
    if (editRefused)
        return;
    ui->timingTable->setFocus();
    if (!shifted)
        warnIfTimingNotPlaced(row);
    populateColorDepthDropdowns();
}

void EdidManagement::warnIfTimingNotPlaced(int row)
{
    for (int column = TimingModel::EstablishedColumn; column <= TimingModel::HdmiBlockColumn; ++column) {
        if (timingModel->isChecked(row, column))
            return;
    }
    Dialogs::warning(ui->centralFrame, QStringLiteral("Warning"),
                     QStringLiteral("The timing you added will not appear in the EDID file. This usually occurs when "
                                    "the timing is not compatible with the selected EDID type. Another reason could "
                                    "be that you have reached the limit on timings. Consider moving this timing up "
                                    "in the table in order to write it as a DTD."));
}

void EdidManagement::replaceSelectedTiming(const Timing& timing)
{
    int row = timingModel->rowCount();
    const QModelIndex current = ui->timingTable->currentIndex();
    if (editingTiming && current.isValid()) {
        row = current.row();
        removeTiming();
        row = qMin(row, timingModel->rowCount());
    }
    timingModel->insertTiming(row, timing);
    ui->timingTable->selectRow(row);
    ui->timingTable->resizeColumnsToContents();
    if (editMode)
        ui->clearTimingTable->setEnabled(true);
}

void EdidManagement::addTiming(Timing* timing)
{
    ensureTimingCatalogue(); // the dialog refuses the names of its custom timings
    timingDialog()->resetForm();
    timingDialog()->loadTiming(timing);
    if (timingDialog()->exec() != QDialog::Accepted)
        return;

    const QModelIndex current = ui->timingTable->currentIndex();
    const bool replacing = editingTiming && current.isValid();
    const int row = replacing ? current.row() : timingModel->rowCount();

    // The row being edited is replaced, so it is no duplicate of its own new version.
    bool isDuplicate = false;
    for (int r = 0; r < timingModel->rowCount() && !isDuplicate; ++r)
        isDuplicate = !(replacing && r == row) && sameTiming(*timing, timingModel->getTiming(r));
    if (isDuplicate) {
        loadTimings(); // the dialog has stored the timing in the catalogue all the same
        showDuplicateTimingError(ui);
        return;
    }

    EdidState after = formState();
    if (replacing && row < after.timings.size())
        after.timings[row] = *timing;
    else
        after.timings.append(*timing);
    if (refuseUnencodable(after)) {
        loadTimings();
        return;
    }

    replaceSelectedTiming(*timing);
    computeTMDSClockAndRangeLimits();
    maxTMDSCalculation();
    loadTimings();
    edidFileEdited();
    if (editRefused)
        return;
    warnIfTimingNotPlaced(row);
}

void EdidManagement::createYourOwnTiming()
{
    Timing timing;
    addTiming(&timing);
}

void EdidManagement::editTiming()
{
    const QModelIndex current = ui->timingTable->currentIndex();
    if (!current.isValid())
        return;
    const Timing selected = timingModel->getTiming(current.row());
    // The dialog shows the geometry; the result is a new timing with no VIC and no placement.
    Timing t;
    t.type = selected.type;
    t.hActive = selected.hActive;
    t.vActive = selected.vActive;
    t.ip = selected.ip;
    t.hAspect = selected.hAspect;
    t.vAspect = selected.vAspect;
    t.hTotal = selected.hTotal;
    t.hBlank = selected.hBlank;
    t.hFront = selected.hFront;
    t.hSync = selected.hSync;
    t.hBack = selected.hBack;
    t.hPol = selected.hPol;
    t.vTotal = selected.vTotal;
    t.vBlank = selected.vBlank;
    t.vFront = selected.vFront;
    t.vSync = selected.vSync;
    t.vBack = selected.vBack;
    t.vPol = selected.vPol;
    t.hFreq = selected.hFreq;
    t.pixelFreq = selected.pixelFreq;
    t.fieldRate = selected.fieldRate;
    t.hBorder = selected.hBorder;
    t.vBorder = selected.vBorder;
    t.hSize = selected.hSize;
    t.vSize = selected.vSize;
    t.native = selected.native;
    editingTiming = true;
    addTiming(&t);
    editingTiming = false;
}

void EdidManagement::removeTiming()
{
    qDebug() << "At remove timing.";
    const QModelIndex current = ui->timingTable->currentIndex();
    if (!current.isValid())
        return;
    const int row = current.row();
    // "N/A" (no VIC) reads as 0.
    const int vic = timingModel->data(timingModel->index(row, TimingModel::VicColumn)).toString().toInt();
    removeVIC(vic);
    timingModel->removeRows(row, 1);
    ui->timingTable->resizeColumnsToContents();
    computeTMDSClockAndRangeLimits();
    maxTMDSCalculation();
    edidFileEdited();
    if (timingModel->rowCount() == 0)
        updateTableButtons(false);
    populateColorDepthDropdowns();
}

void EdidManagement::clearTimingTable()
{
    timingModel->clear();
    ui->timingTable->resizeColumnsToContents();
    updateTableButtons(false);
    clearVICButtons();
    // The VICs are gone, and their 3D structures with them: a VIC added later starts without any.
    parsedState.vicThreeDStructures.fill(0);
    parsedState.vicThreeDDetails.fill(0);
    if (parsedState.threeDMask != -1)
        parsedState.threeDMask = 0;
    edidFileEdited();
}

// ---- moving rows (both tables) -------------------------------------------------------------------

void EdidManagement::moveUp()
{
    moveRow(true);
}

void EdidManagement::moveDown()
{
    moveRow(false);
}

void EdidManagement::moveRow(bool up)
{
    QTableView* table = currentTable;
    if (!table)
        return;
    const bool timings = table->objectName() == QLatin1String("timingTable");
    const bool audio = table->objectName() == QLatin1String("audioTable");
    if (!timings && !audio)
        return;
    const QModelIndex current = table->currentIndex();
    if (!current.isValid())
        return;
    const int rows = table->model()->rowCount();
    const int from = current.row();
    const int target = up ? from - 1 : from + 1;
    if (target < 0 || target >= rows)
        return;

    if (timings)
        timingModel->moveTiming(from, target);
    else
        audioModel->moveFormat(from, target);
    table->selectRow(target);

    QPushButton* down = timings ? ui->moveTimingDown : ui->moveAudioDown;
    QPushButton* upButton = timings ? ui->moveTimingUp : ui->moveAudioUp;
    down->setEnabled(target < rows - 1);
    upButton->setEnabled(target > 0);
    edidFileEdited();
}

void EdidManagement::timingRowChanged(QModelIndex current, QModelIndex previous)
{
    Q_UNUSED(previous)
    if (!editMode)
        return;
    const bool valid = current.isValid();
    ui->editTiming->setEnabled(valid);
    ui->removeTiming->setEnabled(valid);
    ui->moveTimingDown->setEnabled(valid && current.row() < timingModel->rowCount() - 1);
    ui->moveTimingUp->setEnabled(valid && current.row() > 0);
}

// ---- VIC slots -------------------------------------------------------------------------------------

void EdidManagement::addVIC(const Timing& timing)
{
    if (timing.type != TIMING_TYPE_CEA)
        return;
    if (ui->digitalRadio->isChecked() && ui->hdmiRadio->isChecked() && ui->threeDPresent->isChecked())
        ui->threeDFrame->setEnabled(true);
    const int slot = EdidFormBinder::vicSlotCount(ui);
    if (EdidFormBinder::addVicSlot(ui, timing) && slot >= 0 && slot < 16) {
        // A new VIC starts without 3D structures of its own and outside the all-VIC mask, as its
        // button shows.
        parsedState.vicThreeDStructures[size_t(slot)] = 0;
        parsedState.vicThreeDDetails[size_t(slot)] = 0;
        if (parsedState.threeDMask != -1)
            parsedState.threeDMask &= ~(1 << slot);
    }
    if (ui->vic3Ddropdown->currentIndex() == 0) {
        for (QPushButton* b : vicButtons)
            b->setEnabled(true);
    }
}

void EdidManagement::removeVIC(int vic)
{
    QStringList labels;
    for (QPushButton* b : vicButtons)
        labels << b->text();
    const int slot = EdidRules::findVicSlot(labels, vic);
    if (slot < 0)
        return;

    // The 3D structures and mask bits move with their VICs; only a listed VIC has any.
    if (slot < EdidFormBinder::vicSlotCount(ui) && !labels.at(slot).isEmpty())
        EdidRules::removeVicSlot3D(slot, &parsedState.threeDMask, &parsedState.vicThreeDStructures,
                                   &parsedState.vicThreeDDetails);

    vicButtons[size_t(slot)]->setText(QString());
    int stop = slot;
    for (int j = slot; j < 16; ++j) {
        QPushButton* b = vicButtons[size_t(j)];
        if (j < 15) {
            b->setText(vicButtons[size_t(j + 1)]->text());
            b->setChecked(vicButtons[size_t(j + 1)]->isChecked());
        } else {
            b->setText(QString());
            b->setChecked(false);
        }
        if (b->text().isEmpty()) {
            b->hide();
            stop = j;
            break;
        }
        b->show();
    }
    // Removed last, so that a change of the current item shows the shifted structures.
    if (slot + 1 < ui->vic3Ddropdown->count())
        ui->vic3Ddropdown->removeItem(slot + 1);
    if (stop == 0)
        ui->threeDFrame->setEnabled(false);
}

void EdidManagement::clearVICButtons()
{
    EdidFormBinder::clearVicSlots(ui);
    ui->threeDFrame->setEnabled(false);
}

void EdidManagement::resetVICButtons()
{
    parsedState.threeDStructureAll = 0;
    parsedState.threeDMask = 0;
    parsedState.vicThreeDStructures.fill(0);
    parsedState.vicThreeDDetails.fill(0);
    EdidFormBinder::clearVicSlots(ui);
}

// ---- 3D options ------------------------------------------------------------------------------------

void EdidManagement::threeDOptionChanged(bool checked)
{
    ui->threeDFrame->setEnabled(checked && ui->vic3Ddropdown->count() > 1);
}

void EdidManagement::showThreeDStructure(int bits)
{
    for (const FormatButton& f : formatButtons(ui))
        f.button->setChecked(bits & f.bit);
}

void EdidManagement::vic3DdropdownIndexChanged(int option)
{
    const int all = parsedState.threeDStructureAll;
    const int mask = parsedState.threeDMask;
    if (option == 0) {
        for (int i = 0; i < 16; ++i) {
            vicButtons[size_t(i)]->setChecked(maskHasSlot(mask, all, i));
            vicButtons[size_t(i)]->setEnabled(true);
        }
        if (all != -1)
            showThreeDStructure(all);
    } else if (option >= 1 && option <= 16) {
        int bits = parsedState.vicThreeDStructures[size_t(option - 1)] & 0xFFFF;
        if (all != -1 && maskHasSlot(mask, all, option - 1))
            bits |= all;
        showThreeDStructure(bits);
        for (QPushButton* b : vicButtons)
            b->setEnabled(false);
    }
}

void EdidManagement::threeDTxFormatToggled()
{
    int bit = 0;
    for (const FormatButton& f : formatButtons(ui)) {
        if (f.button == sender())
            bit = f.bit;
    }
    if (bit == 0)
        return;
    const int option = ui->vic3Ddropdown->currentIndex();
    if (option < 0 || option > 16)
        return;

    EdidState after = formState();
    if (after.threeDStructureAll < 0)
        after.threeDStructureAll = 0;
    if (option == 0) {
        after.threeDStructureAll ^= bit;
    } else if (!(maskHasSlot(after.threeDMask, after.threeDStructureAll, option - 1)
                 && (after.threeDStructureAll & bit))) {
        // A bit the all-VIC structure gives this VIC is not its own to change.
        after.vicThreeDStructures[size_t(option - 1)] ^= bit;
    }
    if (!refuseUnencodable(after)) {
        parsedState.threeDStructureAll = after.threeDStructureAll;
        parsedState.vicThreeDStructures = after.vicThreeDStructures;
    }
    // The buttons show what applies, also when the click changed nothing.
    vic3DdropdownIndexChanged(option);
    edidFileEdited();
}

void EdidManagement::vicMaskToggled()
{
    int slot = -1;
    for (int i = 0; i < 16; ++i) {
        if (vicButtons[size_t(i)] == sender())
            slot = i;
    }
    if (slot < 0)
        return;
    EdidState after = formState();
    after.threeDMask = EdidRules::toggleVicMask(after.threeDMask, after.threeDStructureAll, slot);
    // The decoded 3D_Multi_present no longer describes the mask: the encoder derives it anew.
    after.threeDMulti = 0;
    if (refuseUnencodable(after)) {
        vicButtons[size_t(slot)]->setChecked(maskHasSlot(parsedState.threeDMask, parsedState.threeDStructureAll, slot));
        return;
    }
    parsedState.threeDMask = after.threeDMask;
    parsedState.threeDMulti = after.threeDMulti;
    edidFileEdited();
}

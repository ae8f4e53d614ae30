// The EDID editor's audio page (the audio table, basic audio, speaker allocation) and the
// chromaticity sets of the colour page.
#include "edidmanagement.h"

#include "audioformatmodel.h"
#include "cataloguepicklists.h"
#include "customaudiodialog.h"
#include "dialogs.h"
#include "edidformbinder.h"
#include "edidrules.h"
#include "ui_mainui.h"

#include <QSignalBlocker>

namespace {

void showDuplicateAudioError(Ui_MainUI* ui)
{
    Dialogs::critical(ui->centralFrame, QStringLiteral("Duplicate Audio Formats Error"),
                      QStringLiteral("Duplicate audio formats are not allowed. Please select another audio format to "
                                     "add."));
}

QList<AudioFormat> audioRows(const AudioFormatModel* model)
{
    QList<AudioFormat> rows;
    for (int row = 0; row < model->rowCount(); ++row)
        rows << model->formatAt(row);
    return rows;
}

} // namespace

void EdidManagement::showAudioLimitMessage()
{
    Dialogs::critical(ui->centralFrame, QStringLiteral("Audio Formats Limit Reached"),
                      QStringLiteral("You have reached the limit on audio formats."));
}

// ---- the audio table -------------------------------------------------------------------------------

void EdidManagement::addAudioToEDID(QString item)
{
    if (audioModel->rowCount() >= EdidRules::MaxAudioFormats) {
        showAudioLimitMessage();
        return;
    }
    if (ui->audioDropdown->currentIndex() <= 0)
        return;
    const auto found = audioIndexByName.constFind(item);
    if (found == audioIndexByName.constEnd() || found.value() < 0 || found.value() >= audioCatalogue.formats.size())
        return;
    const AudioFormat format = audioCatalogue.formats.at(found.value());
    if (EdidRules::checkAudioAdd(audioRows(audioModel), format) == EdidRules::AudioAddCheck::Duplicate) {
        showDuplicateAudioError(ui);
        return;
    }
    EdidState after = formState();
    after.audioFormats.append(format);
    if (refuseUnencodable(after))
        return;
    replaceSelectedAudioFormat(format);
    edidFileEdited();
}

void EdidManagement::createYourOwnAudioFormat()
{
    if (audioModel->rowCount() >= EdidRules::MaxAudioFormats) {
        showAudioLimitMessage();
        return;
    }
    AudioFormat format;
    addAudioFormat(&format);
}

void EdidManagement::editAudio()
{
    const QModelIndex current = ui->audioTable->currentIndex();
    if (!current.isValid())
        return;
    AudioFormat format = audioModel->formatAt(current.row());
    editingTiming = true;
    addAudioFormat(&format);
    editingTiming = false;
}

void EdidManagement::addAudioFormat(AudioFormat* format)
{
    audioDialog()->resetForm();
    audioDialog()->loadAudioFormat(format);
    if (audioDialog()->exec() != QDialog::Accepted)
        return;

    const QModelIndex current = ui->audioTable->currentIndex();
    const bool replacing = editingTiming && current.isValid();
    QList<AudioFormat> others = audioRows(audioModel);
    if (replacing)
        others.removeAt(current.row()); // the row being edited is replaced, not duplicated
    const EdidRules::AudioAddCheck check = EdidRules::checkAudioAdd(others, *format, replacing);
    if (check != EdidRules::AudioAddCheck::Ok) {
        loadAudioFormats(); // the dialog has stored the format in the catalogue all the same
        if (check == EdidRules::AudioAddCheck::Duplicate)
            showDuplicateAudioError(ui);
        else
            showAudioLimitMessage();
        return;
    }

    EdidState after = formState();
    if (replacing && current.row() < after.audioFormats.size())
        after.audioFormats[current.row()] = *format;
    else
        after.audioFormats.append(*format);
    if (refuseUnencodable(after)) {
        loadAudioFormats();
        return;
    }

    replaceSelectedAudioFormat(*format);
    loadAudioFormats();
    edidFileEdited();
}

void EdidManagement::replaceSelectedAudioFormat(const AudioFormat& format)
{
    int row = audioModel->rowCount();
    const QModelIndex current = ui->audioTable->currentIndex();
    if (editingTiming && current.isValid()) {
        row = current.row();
        removeAudio();
        row = qMin(row, audioModel->rowCount());
    }
    audioModel->insertFormat(row, format);
    ui->audioTable->selectRow(row);
    ui->audioTable->resizeColumnsToContents();
    if (editMode)
        ui->clearAudioTable->setEnabled(true);
}

void EdidManagement::removeAudio()
{
    const QModelIndex current = ui->audioTable->currentIndex();
    if (!current.isValid())
        return;
    audioModel->removeRows(current.row(), 1);
    ui->audioTable->resizeColumnsToContents();
    edidFileEdited();
    if (audioModel->rowCount() == 0)
        updateTableButtons(false);
}

void EdidManagement::clearAudioTable()
{
    audioModel->clear();
    ui->audioTable->resizeColumnsToContents();
    updateTableButtons(false);
    edidFileEdited();
}

void EdidManagement::audioFormatRowChanged(QModelIndex current, QModelIndex previous)
{
    Q_UNUSED(previous)
    if (!editMode)
        return;
    const bool valid = current.isValid();
    ui->editAudio->setEnabled(valid);
    ui->removeAudio->setEnabled(valid);
    ui->moveAudioDown->setEnabled(valid && current.row() < audioModel->rowCount() - 1);
    ui->moveAudioUp->setEnabled(valid && current.row() > 0);
}

void EdidManagement::audioSettingChanged(bool checked)
{
    if (!editMode)
        return;
    for (QWidget* w : {static_cast<QWidget*>(ui->audioFormatFrame), static_cast<QWidget*>(ui->speakerAllocLabel),
                       static_cast<QWidget*>(ui->speakerAllocBox), static_cast<QWidget*>(ui->selectAudioLabel),
                       static_cast<QWidget*>(ui->selectAudioBox)})
        w->setEnabled(checked);
}

// ---- speaker allocation ----------------------------------------------------------------------------

void EdidManagement::speakerAllocChanged(bool checked)
{
    // The two speakers of a pair share one allocation bit, so they go on and off together.
    if (auto* clicked = qobject_cast<QPushButton*>(sender())) {
        const QString partnerName = EdidRules::speakerPartner(clicked->objectName());
        if (!partnerName.isEmpty()) {
            for (QPushButton* b : {ui->speakerFLH, ui->speakerFRH, ui->speakerFLW, ui->speakerFRW, ui->speakerFL,
                                   ui->speakerFR, ui->speakerFLC, ui->speakerFRC, ui->speakerRL, ui->speakerRR,
                                   ui->speakerRLC, ui->speakerRRC}) {
                if (b->objectName() == partnerName)
                    b->setChecked(checked);
            }
            clicked->setChecked(checked);
        }
    }
    edidFileEdited();
}

// ---- chromaticity ----------------------------------------------------------------------------------

void EdidManagement::chromaticitySelected(int index)
{
    if (index <= 0 || index > chromaticityCatalogue.sets.size())
        return;
    const Chromaticity set = chromaticityCatalogue.sets.at(index - 1);
    suppressHistory = true;
    const struct
    {
        QLineEdit* field;
        double value;
    } fields[] = {{ui->redX, set.redX},     {ui->redY, set.redY},   {ui->greenX, set.greenX},
                  {ui->greenY, set.greenY}, {ui->blueX, set.blueX}, {ui->blueY, set.blueY},
                  {ui->whiteX, set.whiteX}, {ui->whiteY, set.whiteY}};
    for (const auto& f : fields)
        f.field->setText(QString::number(f.value, 'f', 4));
    suppressHistory = false;

    ui->storeChromaticity->setEnabled(false);
    // The first set of the catalogue stays.
    ui->removeChromaticity->setEnabled(index > 1);
    parsedState.srgbDefault = set.name == QLatin1String("sRGB");
    edidFileEdited();
}

void EdidManagement::chromaticityValueChanged()
{
    ui->storeChromaticity->setEnabled(true);
    ui->removeChromaticity->setEnabled(false);
}

void EdidManagement::storeChromaticity()
{
    Chromaticity values;
    values.redX = ui->redX->text().toDouble();
    values.redY = ui->redY->text().toDouble();
    values.greenX = ui->greenX->text().toDouble();
    values.greenY = ui->greenY->text().toDouble();
    values.blueX = ui->blueX->text().toDouble();
    values.blueY = ui->blueY->text().toDouble();
    values.whiteX = ui->whiteX->text().toDouble();
    values.whiteY = ui->whiteY->text().toDouble();
    CataloguePickLists::storeChromaticity(ui->color, ui->centralFrame,
                                          CatalogueFiles::path(QStringLiteral("chromaticity.xml")), values,
                                          &chromaticityCatalogue, ui->chromaticityDropdown);
}

void EdidManagement::removeChromaticity()
{
    // Removing a set from the catalogue does not change the EDID: the coordinates stay as they
    // are, and the list goes back to its prompt instead of picking a neighbouring set.
    const QSignalBlocker blocker(ui->chromaticityDropdown);
    if (CataloguePickLists::removeChromaticity(ui->centralFrame,
                                               CatalogueFiles::path(QStringLiteral("chromaticity.xml")),
                                               &chromaticityCatalogue, ui->chromaticityDropdown)) {
        ui->chromaticityDropdown->setCurrentIndex(0);
        ui->removeChromaticity->setEnabled(false);
    }
}

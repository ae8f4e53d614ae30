#include "customaudiodialog.h"
#include "ui_customaudiodialog.h"

#include "constants.h"
#include "dialogs.h"
#include "edidcatalogues.h"
#include "mydoublevalidator.h"

#include <QPushButton>

namespace {

struct RateToggle
{
    QPushButton* Ui_CustomAudioDialog::*button;
    double kHz;
};

const RateToggle rateToggles[] = {
    {&Ui_CustomAudioDialog::sampFreq32, 32},   {&Ui_CustomAudioDialog::sampFreq441, 44.1},
    {&Ui_CustomAudioDialog::sampFreq48, 48},   {&Ui_CustomAudioDialog::sampFreq882, 88.2},
    {&Ui_CustomAudioDialog::sampFreq96, 96},   {&Ui_CustomAudioDialog::sampFreq1764, 176.4},
    {&Ui_CustomAudioDialog::sampFreq192, 192},
};

struct DepthToggle
{
    QPushButton* Ui_CustomAudioDialog::*button;
    int bits;
};

const DepthToggle depthToggles[] = {
    {&Ui_CustomAudioDialog::bitDepth16, 16},
    {&Ui_CustomAudioDialog::bitDepth20, 20},
    {&Ui_CustomAudioDialog::bitDepth24, 24},
};

} // namespace

CustomAudioDialog::CustomAudioDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui_CustomAudioDialog)
{
    ui->setupUi(this);
    setWindowTitle(tr("Create Custom Audio Format"));
    ui->audioButtonBox->button(QDialogButtonBox::Ok)->setEnabled(false);

    // Item index = audio format code.
    ui->audioCodingType->addItem(tr("Select Coding Type"));
    for (int code = 1; code <= 20; ++code)
        ui->audioCodingType->addItem(audioFormatName(code));

    connect(ui->audioName, &QLineEdit::textEdited, this, &CustomAudioDialog::audioNameEdited);
    connect(ui->audioCodingType, QOverload<int>::of(&QComboBox::activated), this,
            &CustomAudioDialog::audioCodingChanged);
    connect(ui->audioChannels, QOverload<int>::of(&QComboBox::activated), this,
            &CustomAudioDialog::audioChannelsChanged);
    connect(ui->audioButtonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->audioButtonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ui->maxBitRate->setValidator(editorIntValidator(0, 2040, this));
    audioCodingChanged(0);
}

CustomAudioDialog::~CustomAudioDialog()
{
    delete ui;
}

void CustomAudioDialog::setAudioFormatNames(QSet<QString>* names)
{
    audioFormatNames = names ? names : &ownNames;
}

void CustomAudioDialog::setCatalogueFile(const QString& path)
{
    cataloguePath = path;
}

QString CustomAudioDialog::catalogueFile() const
{
    return cataloguePath.isEmpty() ? CatalogueFiles::path(AUDIO_FILE) : cataloguePath;
}

void CustomAudioDialog::resetForm()
{
    ui->audioName->clear();
    ui->maxBitRate->clear();
    ui->audioCodingType->setCurrentIndex(0);
    audioCodingChanged(0);
    ui->audioChannels->setCurrentIndex(0);
    ui->audioButtonBox->button(QDialogButtonBox::Ok)->setEnabled(false);
    for (const RateToggle& toggle : rateToggles)
        (ui->*toggle.button)->setChecked(false);
    for (const DepthToggle& toggle : depthToggles)
        (ui->*toggle.button)->setChecked(false);
    ui->aac960->setChecked(false);
    ui->aac1024->setChecked(false);
    ui->mpsExplicit->setChecked(false);
}

void CustomAudioDialog::loadAudioFormat(AudioFormat* f)
{
    format = f;
    if (!f || audioFormatName(f->type).isEmpty())
        return;

    ui->audioCodingType->setCurrentIndex(f->type);
    audioCodingChanged(f->type);
    const int channelsIndex = qBound(0, f->channels - 1, ui->audioChannels->count() - 1);
    ui->audioChannels->setCurrentIndex(channelsIndex);
    audioChannelsChanged(channelsIndex);
    for (const RateToggle& toggle : rateToggles)
        (ui->*toggle.button)->setChecked(f->samplingFreqs.contains(toggle.kHz));
    for (const DepthToggle& toggle : depthToggles)
        (ui->*toggle.button)->setChecked(f->bitDepths.contains(toggle.bits));
    ui->aac960->setChecked(f->audioFrameLength.contains(960));
    ui->aac1024->setChecked(f->audioFrameLength.contains(1024));
    ui->mpsExplicit->setChecked(f->mpegSurroundExplicit);
}

void CustomAudioDialog::updateOkButton(const QString& name, int codingIndex, int channelsIndex)
{
    ui->audioButtonBox->button(QDialogButtonBox::Ok)
        ->setEnabled(!name.isEmpty() && codingIndex > 0 && channelsIndex > 0);
}

void CustomAudioDialog::audioNameEdited(const QString& text)
{
    updateOkButton(text, ui->audioCodingType->currentIndex(), ui->audioChannels->currentIndex());
}

void CustomAudioDialog::audioChannelsChanged(int index)
{
    updateOkButton(ui->audioName->text(), ui->audioCodingType->currentIndex(), index);
}

void CustomAudioDialog::audioCodingChanged(int index)
{
    updateOkButton(ui->audioName->text(), index, ui->audioChannels->currentIndex());

    const bool coded = index > 0;
    ui->samplingFreqBox->setEnabled(coded);
    ui->samplingFreqLabel->setEnabled(coded);
    ui->sampFreq1764->setEnabled(coded);
    ui->sampFreq192->setEnabled(coded);

    const bool bitDepth = index == 1;
    ui->bitDepthLabel->setEnabled(bitDepth);
    ui->bitDepthBox->setEnabled(bitDepth);
    if (!bitDepth) {
        for (const DepthToggle& toggle : depthToggles)
            (ui->*toggle.button)->setChecked(false);
    }

    const bool bitRate = audioCodeHasBitRate(index);
    ui->maxBitRateFrame->setEnabled(bitRate);
    if (!bitRate)
        ui->maxBitRate->clear();

    const bool aac = index >= 15;
    ui->aacFrame->setEnabled(aac);
    if (!aac) {
        ui->aac960->setChecked(false);
        ui->aac1024->setChecked(false);
    }

    // Implicit MPEG Surround signalling is always claimed; the explicit one is the user's choice.
    const bool mps = index >= 18;
    ui->mpsFrame->setEnabled(mps);
    ui->mpsImplicit->setEnabled(false);
    ui->mpsImplicit->setChecked(mps);
    if (!mps)
        ui->mpsExplicit->setChecked(false);
}

AudioFormat CustomAudioDialog::formatFromForm() const
{
    AudioFormat f;
    f.type = ui->audioCodingType->currentIndex();
    f.name = ui->audioName->text();
    f.channels = ui->audioChannels->currentText().toInt();
    for (const RateToggle& toggle : rateToggles) {
        if ((ui->*toggle.button)->isChecked())
            f.samplingFreqs << toggle.kHz;
    }
    for (const DepthToggle& toggle : depthToggles) {
        if ((ui->*toggle.button)->isChecked())
            f.bitDepths << toggle.bits;
    }
    if (ui->aac960->isChecked())
        f.audioFrameLength << 960;
    if (ui->aac1024->isChecked())
        f.audioFrameLength << 1024;
    f.maxBitRate = ui->maxBitRate->text().toInt();
    f.mpegSurroundExplicit = ui->mpsExplicit->isChecked();
    return f;
}

void CustomAudioDialog::done(int result)
{
    if (result != QDialog::Accepted) {
        QDialog::done(result);
        return;
    }

    const QString name = ui->audioName->text();
    if (name.isEmpty() || audioFormatNames->contains(name)) {
        Dialogs::critical(this, tr("Audio Format Name"), tr("Please provide a unique name for the audio format."));
        return;
    }
    const AudioFormat f = formatFromForm();
    QString error;
    if (!appendAudioEntry(catalogueFile(), f, &error)) {
        Dialogs::critical(this, tr("Audio Format Not Saved"),
                          tr("The audio format could not be added to the catalogue.") + QLatin1Char('\n') + error);
        return;
    }
    if (format)
        *format = f;
    audioFormatNames->insert(name);
    QDialog::done(result);
}

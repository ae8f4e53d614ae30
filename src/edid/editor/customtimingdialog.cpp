#include "customtimingdialog.h"
#include "ui_customtimingdialog.h"

#include "constants.h"
#include "cvt.h"
#include "dialogs.h"
#include "edidcatalogues.h"
#include "edidencoder_p.h"
#include "mydoublevalidator.h"

#include <QPushButton>

namespace {

int fieldInt(const QLineEdit* edit)
{
    return edit->text().toInt();
}

void setFieldInt(QLineEdit* edit, int value)
{
    edit->setText(QString::number(value));
}

} // namespace

CustomTimingDialog::CustomTimingDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui_CustomTimingDialog)
{
    ui->setupUi(this);
    setWindowTitle(tr("Create Custom Timing"));
    ui->calculateDTD->setIcon(QIcon(QStringLiteral(":/images/DownArrow.png")));

    connect(ui->calculateDTD, &QPushButton::clicked, this, &CustomTimingDialog::calculateAndShowDTD);
    connect(ui->timingName, &QLineEdit::textEdited, this, &CustomTimingDialog::timingNameEdited);
    connect(ui->timingButtonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->timingButtonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ui->timingButtonBox->button(QDialogButtonBox::Ok)->setEnabled(false);

    // A timing needs at least one pixel, line and field: the calculator refuses zero.
    const auto intValidator = [this](int bottom, int top, std::initializer_list<QLineEdit*> edits) {
        QIntValidator* validator = editorIntValidator(bottom, top, this);
        for (QLineEdit* edit : edits)
            edit->setValidator(validator);
    };
    intValidator(1, 4095, {ui->horizontalPixelsCalc, ui->verticalLinesCalc});
    // Rates such as 59.94 and 23.976 Hz are what the calculator is for; the field takes them as
    // typed (a comma is taken as the point) and refuses what is no rate from 1 to 240 Hz.
    ui->refreshRateCalc->setValidator(new MyDoubleValidator(1.0, 240.0, 3, this));
    intValidator(0, 4095, {ui->hVideo, ui->vVideo, ui->hBlanking, ui->vBlanking, ui->hImageSize, ui->vImageSize});
    intValidator(0, 8191, {ui->hTotal, ui->vTotal});
    intValidator(0, 1023, {ui->hFrontPorch, ui->hPulseWidth});
    intValidator(0, 63, {ui->vFrontPorch, ui->vPulseWidth});
    intValidator(0, 2047, {ui->hBack});
    intValidator(0, 3967, {ui->vBack});
    intValidator(0, 255, {ui->hBorder, ui->vBorder});
    ui->pixelClock->setValidator(new MyDoubleValidator(0.0, 655.35, 2, this));

    // The totals and rates follow from the other fields; they are shown, not typed.
    for (QLineEdit* edit : {ui->hBlanking, ui->hFrontPorch, ui->hPulseWidth, ui->hBack})
        connect(edit, &QLineEdit::textEdited, this, &CustomTimingDialog::horizontalFieldEdited);
    for (QLineEdit* edit : {ui->vBlanking, ui->vFrontPorch, ui->vPulseWidth, ui->vBack})
        connect(edit, &QLineEdit::textEdited, this, &CustomTimingDialog::verticalFieldEdited);
    for (QLineEdit* edit : {ui->pixelClock, ui->hVideo, ui->vVideo, ui->hBorder, ui->vBorder})
        connect(edit, &QLineEdit::textEdited, this, &CustomTimingDialog::updateDerivedFields);
    connect(ui->interlaced, &QPushButton::toggled, this, &CustomTimingDialog::updateDerivedFields);
}

CustomTimingDialog::~CustomTimingDialog()
{
    delete ui;
}

void CustomTimingDialog::setTimingNames(QSet<QString>* names)
{
    timingNames = names ? names : &ownNames;
}

void CustomTimingDialog::setCatalogueFile(const QString& path)
{
    cataloguePath = path;
}

QString CustomTimingDialog::catalogueFile() const
{
    return cataloguePath.isEmpty() ? CatalogueFiles::path(TIMINGS_FILE) : cataloguePath;
}

void CustomTimingDialog::resetForm()
{
    const QList<QLineEdit*> edits = findChildren<QLineEdit*>();
    for (QLineEdit* edit : edits)
        edit->clear();
    for (QPushButton* toggle : {ui->marginsCalc, ui->interlacedCalc, ui->reducedBlankingCalc, ui->hPolarityPos,
                                ui->vPolarityPos, ui->interlaced, ui->nativeTiming})
        toggle->setChecked(false);
    ui->customTimingLabel->setEnabled(false);
    ui->customTimingBox->setEnabled(false);
    ui->timingButtonBox->button(QDialogButtonBox::Ok)->setEnabled(false);
}

void CustomTimingDialog::loadTiming(Timing* t)
{
    timing = t;
    const bool isNew = !t || t->type.isEmpty();
    ui->cvtCalcLabel->setEnabled(isNew);
    ui->cvtCalcBox->setEnabled(isNew);
    ui->calculateDTD->setEnabled(isNew);
    ui->customTimingLabel->setEnabled(!isNew);
    ui->customTimingBox->setEnabled(!isNew);
    if (isNew)
        return;

    showTiming(*t);
    ui->nativeTiming->setChecked(t->native);
    ui->timingButtonBox->button(QDialogButtonBox::Ok)->setEnabled(false);
}

void CustomTimingDialog::showTiming(const Timing& t)
{
    const QSignalBlocker blocker(ui->interlaced);
    ui->interlaced->setChecked(t.ip);
    ui->hPolarityPos->setChecked(t.hPol);
    ui->vPolarityPos->setChecked(t.vPol);
    ui->pixelClock->setText(QString::number(t.pixelFreq, 'f', 3));
    ui->hFreq->setText(QString::number(t.hFreq, 'g', 6));
    setFieldInt(ui->hVideo, t.hActive);
    setFieldInt(ui->vVideo, t.vActive);
    setFieldInt(ui->hTotal, t.hTotal);
    setFieldInt(ui->vTotal, t.vTotal);
    setFieldInt(ui->hBlanking, t.hBlank);
    setFieldInt(ui->vBlanking, t.vBlank);
    setFieldInt(ui->hFrontPorch, t.hFront);
    setFieldInt(ui->hPulseWidth, t.hSync);
    setFieldInt(ui->hBack, t.hBack);
    setFieldInt(ui->vFrontPorch, t.vFront);
    setFieldInt(ui->vPulseWidth, t.vSync);
    setFieldInt(ui->vBack, t.vBack);
    setFieldInt(ui->refreshRate, t.fieldRate);
    setFieldInt(ui->hBorder, t.hBorder);
    setFieldInt(ui->vBorder, t.vBorder);
    setFieldInt(ui->hImageSize, t.hSize);
    setFieldInt(ui->vImageSize, t.vSize);
}

void CustomTimingDialog::calculateAndShowDTD()
{
    bool hOk = false;
    bool vOk = false;
    bool rateOk = false;
    const int hPixels = ui->horizontalPixelsCalc->text().toInt(&hOk);
    const int vLines = ui->verticalLinesCalc->text().toInt(&vOk);
    const double rate = editorNumberLocale().toDouble(ui->refreshRateCalc->text().trimmed(), &rateOk);
    rateOk = rateOk && rate >= 1.0 && rate <= 240.0;
    bool computed = false;
    Timing t;
    if (hOk && vOk && rateOk)
        t = computeTiming(hPixels, vLines, rate, ui->marginsCalc->isChecked(), ui->interlacedCalc->isChecked(),
                          ui->reducedBlankingCalc->isChecked(), &computed);
    if (!computed) {
        Dialogs::critical(this, tr("Missing Field"),
                          tr("Please enter valid horizontal pixel, vertical line, and refresh rate values."));
        return;
    }
    if (!refuseUnencodable(t))
        return;

    if (timing)
        *timing = t;
    const bool native = ui->nativeTiming->isChecked();
    showTiming(t);
    ui->nativeTiming->setChecked(native);
    ui->customTimingLabel->setEnabled(true);
    ui->customTimingBox->setEnabled(true);
}

// A timing must fit a detailed timing descriptor (pixel clock up to 655.35 MHz, the sizes of its
// fields); otherwise it is refused with a message and false is returned.
bool CustomTimingDialog::refuseUnencodable(const Timing& t)
{
    QByteArray descriptor;
    if (EdidEncoding::detailedTiming(t, &descriptor))
        return true;
    Dialogs::critical(this, tr("Invalid Timing"),
                      tr("This timing cannot be stored in an EDID: the pixel clock must not exceed 655.35 MHz "
                         "and the active video, blanking, front porch and sync pulse must fit the detailed "
                         "timing descriptor. Choose a lower resolution or refresh rate."));
    return false;
}

void CustomTimingDialog::timingNameEdited(const QString& text)
{
    ui->timingButtonBox->button(QDialogButtonBox::Ok)->setEnabled(!text.isEmpty());
}

// The blanking is the sum of its porches and sync: a changed porch or sync changes the blanking,
// a changed blanking changes the back porch.
void CustomTimingDialog::horizontalFieldEdited()
{
    if (sender() == ui->hBlanking)
        setFieldInt(ui->hBack, fieldInt(ui->hBlanking) - fieldInt(ui->hFrontPorch) - fieldInt(ui->hPulseWidth));
    else
        setFieldInt(ui->hBlanking, fieldInt(ui->hFrontPorch) + fieldInt(ui->hPulseWidth) + fieldInt(ui->hBack));
    updateDerivedFields();
}

void CustomTimingDialog::verticalFieldEdited()
{
    if (sender() == ui->vBlanking)
        setFieldInt(ui->vBack, fieldInt(ui->vBlanking) - fieldInt(ui->vFrontPorch) - fieldInt(ui->vPulseWidth));
    else
        setFieldInt(ui->vBlanking, fieldInt(ui->vFrontPorch) + fieldInt(ui->vPulseWidth) + fieldInt(ui->vBack));
    updateDerivedFields();
}

void CustomTimingDialog::updateDerivedFields()
{
    const Timing t = timingFromForm();
    setFieldInt(ui->hTotal, t.hTotal);
    setFieldInt(ui->vTotal, t.vTotal);
    ui->hFreq->setText(QString::number(t.hFreq, 'g', 6));
    setFieldInt(ui->refreshRate, t.fieldRate);
}

Timing CustomTimingDialog::timingFromForm() const
{
    Timing t = timing ? *timing : Timing();
    t.type = TIMING_TYPE_CUSTOM;
    t.name = ui->timingName->text();
    t.pixelFreq = ui->pixelClock->text().trimmed().toDouble(); // the number rule of the editor: C locale
    t.hActive = fieldInt(ui->hVideo);
    t.vActive = fieldInt(ui->vVideo);
    t.hBlank = fieldInt(ui->hBlanking);
    t.vBlank = fieldInt(ui->vBlanking);
    t.hFront = fieldInt(ui->hFrontPorch);
    t.hSync = fieldInt(ui->hPulseWidth);
    t.hBack = fieldInt(ui->hBack);
    t.vFront = fieldInt(ui->vFrontPorch);
    t.vSync = fieldInt(ui->vPulseWidth);
    t.vBack = fieldInt(ui->vBack);
    t.hSize = fieldInt(ui->hImageSize);
    t.vSize = fieldInt(ui->vImageSize);
    t.hBorder = fieldInt(ui->hBorder);
    t.vBorder = fieldInt(ui->vBorder);
    t.ip = ui->interlaced->isChecked();
    t.hPol = ui->hPolarityPos->isChecked();
    t.vPol = ui->vPolarityPos->isChecked();
    t.native = ui->nativeTiming->isChecked();
    t.updateTotalsAndRates();
    return t;
}

void CustomTimingDialog::done(int result)
{
    if (result != QDialog::Accepted) {
        QDialog::done(result);
        return;
    }

    const QString name = ui->timingName->text();
    if (name.isEmpty() || timingNames->contains(name)) {
        Dialogs::critical(this, tr("Timing Name"), tr("Please provide a unique name for the custom timing."));
        return;
    }
    const Timing t = timingFromForm();
    if (t.hActive < 1 || t.vActive < 1 || t.pixelFreq <= 0 || t.hBack < 0 || t.vBack < 0) {
        Dialogs::critical(this, tr("Invalid Timing"),
                          tr("The addressable video and the pixel clock must not be zero, and the front porch "
                             "and sync pulse must fit in the blanking."));
        return;
    }
    if (!refuseUnencodable(t))
        return;

    QString error;
    if (!appendTimingEntry(catalogueFile(), t, &error)) {
        Dialogs::critical(this, tr("Timing Not Saved"),
                          tr("The custom timing could not be added to the catalogue.") + QLatin1Char('\n') + error);
        return;
    }
    if (timing)
        *timing = t;
    timingNames->insert(name);
    QDialog::done(result);
}

// The EDID editor's TMDS clock, range limits, deep-colour drop-downs and the 4:2:0 rule. The
// arithmetic is in EdidRules; these slots read the form and write the results back.
#include "edidmanagement.h"

#include "edidrules.h"
#include "timingmodel.h"
#include "ui_mainui.h"

#include <QDebug>
#include <QSignalBlocker>
#include <QStandardItemModel>

#include <algorithm>
#include <array>

namespace {

struct DeepColourDepth
{
    QPushButton* toggle;
    QComboBox* box;
    const char* prompt;
    double factor; // TMDS clock relative to the pixel clock at 24 bits per pixel
};

// In the order 10, 12, 16 bits per colour.
std::array<DeepColourDepth, 3> deepColourDepths(Ui_MainUI* ui)
{
    return {{{ui->hdmi30bitspixel, ui->combohdmi30bitspixel, "Maximum Resolution in 10bits", 1.25},
             {ui->hdmi36bitspixel, ui->combohdmi36bitspixel, "Maximum Resolution in 12bits", 1.5},
             {ui->hdmi48bitspixel, ui->combohdmi48bitspixel, "Maximum Resolution in 16bits", 2.0}}};
}

QList<Timing> tableRows(const TimingModel* model)
{
    QList<Timing> rows;
    for (int row = 0; row < model->rowCount(); ++row)
        rows << model->getTiming(row);
    return rows;
}

} // namespace

void EdidManagement::maxTMDSCalculation()
{
    if (loading) {
        qDebug() << "exiting calculation for open";
        return;
    }
    if (ui->maxTMDSClockManual->isChecked()) {
        qDebug() << "exiting calculation for manual";
        return;
    }
    const auto depths = deepColourDepths(ui);
    const QSignalBlocker b30(depths[0].box), b36(depths[1].box), b48(depths[2].box);
    qDebug() << "in calculation ";

    // The chosen entry of each deep-colour drop-down starts with its TMDS clock; the prompt
    // reads as 0.
    QList<double> deepColourClocks;
    for (const DeepColourDepth& d : depths) {
        if (d.toggle->isChecked())
            deepColourClocks << d.box->currentText().split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0).toDouble();
    }
    const int clock = EdidRules::maxTmdsClock(tableRows(timingModel), deepColourClocks);
    const QSignalBlocker blocker(ui->maxTMDSClock);
    ui->maxTMDSClock->setText(QString::number(clock));
}

void EdidManagement::computeTMDSClockAndRangeLimits()
{
    const QSignalBlocker blocker(ui->maxTMDSClock);
    const EdidRules::RangeLimits r = EdidRules::rangeLimits(
        tableRows(timingModel),
        {ui->hdmi30bitspixel->isChecked(), ui->hdmi36bitspixel->isChecked(), ui->hdmi48bitspixel->isChecked()});
    parsedState.minVRate = r.minVRate;
    parsedState.maxVRate = r.maxVRate;
    parsedState.minHRate = r.minHRate;
    parsedState.maxHRate = r.maxHRate;
    parsedState.maxPixelClock = r.maxPixelClock;
}

void EdidManagement::populateColorDepthDropdowns()
{
    const int maxTmds = EdidRules::tmdsClockFieldValue(ui->maxTMDSClock->text());
    const auto depths = deepColourDepths(ui);
    const QSignalBlocker b30(depths[0].box), b36(depths[1].box), b48(depths[2].box);
    for (const DeepColourDepth& d : depths) {
        d.box->clear();
        d.box->addItem(QString::fromLatin1(d.prompt));
        if (d.toggle->isChecked())
            d.box->setEnabled(true);
    }

    const QList<Timing> rows = tableRows(timingModel);
    const bool any444 = std::any_of(rows.begin(), rows.end(), [](const Timing& t) { return t.subsampling != 1; });
    if (any444) {
        // Once there is a timing to choose, the prompt is no longer a choice.
        for (const DeepColourDepth& d : depths) {
            if (auto* model = qobject_cast<QStandardItemModel*>(d.box->model())) {
                if (QStandardItem* prompt = model->item(0))
                    prompt->setEnabled(false);
            }
        }
    }
    // Deepest first, as the preselection is made.
    for (auto it = depths.rbegin(); it != depths.rend(); ++it) {
        if (!it->toggle->isChecked())
            continue;
        const EdidRules::DeepColourChoices choices = EdidRules::deepColourChoices(rows, it->factor, maxTmds);
        it->box->addItems(choices.entries);
        it->box->setCurrentIndex(choices.preselected);
    }
}

void EdidManagement::downgradeTo420()
{
    QList<Timing> rows = tableRows(timingModel);
    const QList<int> changed =
        EdidRules::downgradeTo420(&rows, EdidRules::tmdsClockFieldValue(ui->maxTMDSClock->text()));
    for (int row : changed) {
        timingModel->setSubsampling(row, 1);
        qDebug() << "Downgraded 420 Timing";
    }
}

void EdidManagement::maxTMDSOptionChanged(bool autoChecked)
{
    ui->maxTMDSClock->setEnabled(!autoChecked);
    if (autoChecked) {
        maxTMDSCalculation();
        computeTMDSClockAndRangeLimits();
        edidFileEdited();
    }
}

void EdidManagement::tmdsPromotion(int row)
{
    Q_UNUSED(row)
    maxTMDSCalculation();
}

void EdidManagement::checkColorDepthDropdowns()
{
    if (!ui->maxTMDSClockManual->isChecked())
        maxTMDSCalculation();
}

void EdidManagement::clickHandlerColorDepth()
{
    computeTMDSClockAndRangeLimits();
    for (const DeepColourDepth& d : deepColourDepths(ui)) {
        if (d.toggle->isChecked() && !d.box->isEnabled())
            populateColorDepthDropdowns();
    }
    maxTMDSCalculation();
}

void EdidManagement::tmdsManualToAuto()
{
    if (ui->maxTMDSClockAuto->isChecked())
        maxTMDSCalculation();
}

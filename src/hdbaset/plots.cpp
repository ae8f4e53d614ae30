// The display side of the HDBaseT link monitor: the history and the two time plots, the value
// boxes and their alerts, the event table and its CSV log, and the wiring-standard colours.
#include "hdbaset.h"

#include "dialogs.h"
#include "myxmlmanager.h"
#include "pinout_selector.h"
#include "ui_mainui.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <qcustomplot.h>

namespace {

const int statusShownMs = 4000;
const int graphCount = 5; // channels A to D and the threshold line
const int thresholdGraph = 4;

QString logFolder()
{
    return QDir::home().filePath(QStringLiteral("VelmoPlexaT/logs"));
}

void setSeries(QCPGraph* graph, const QVector<double>& keys, const QVector<double>& values)
{
    graph->setData(keys, values, true);
}

} // namespace

QString HDBaseT::percentText(double value)
{
    return HDBaseTMonitor::percentText(value);
}

int HDBaseT::numberOfSeconds() const
{
    return HDBaseTMonitor::windowSeconds(ui->exStatusInterval->currentIndex());
}

void HDBaseT::restyle(QWidget* widget, const char* state)
{
    widget->setProperty("state", QString::fromLatin1(state));
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
    widget->update();
}

void HDBaseT::setGraphPen(QCustomPlot* plot, int graph, const QColor& color, Qt::PenStyle style, int width)
{
    if (QCPGraph* g = plot->graph(graph))
        g->setPen(QPen(QBrush(color), width, style));
}

// ---- Plots ---------------------------------------------------------------------------------

void HDBaseT::initPlots()
{
    QCustomPlot* plots[] = {ui->exStatusPlot, ui->exStatusPlot2};
    for (QCustomPlot* plot : plots)
        while (plot->graphCount() < graphCount)
            plot->addGraph();
    for (int channel = 0; channel < 4; ++channel) {
        setGraphPen(ui->exStatusPlot, channel, channelColors[channel], Qt::SolidLine, 2);
        setGraphPen(ui->exStatusPlot2, channel, channelColors[channel], Qt::SolidLine, 2);
    }
    for (QCustomPlot* plot : plots)
        setGraphPen(plot, thresholdGraph, Qt::black, Qt::DashLine, 1);
    // On a receiver the second plot's first graph is the retransmission rate.
    ui->exStatusPlot2->setVisible(!isReceiver);
    if (isReceiver)
        setGraphPen(ui->exStatusPlot2, 0, channelColors[2], Qt::SolidLine, 2);
    applyPinoutColours();

    for (QCustomPlot* plot : plots) {
        QSharedPointer<QCPAxisTickerDateTime> time(new QCPAxisTickerDateTime);
        time->setDateTimeFormat(QStringLiteral("hh:mm:ss"));
        plot->xAxis->setTicker(time);
        QSharedPointer<QCPAxisTickerText> percent(new QCPAxisTickerText);
        for (int tick = 0; tick <= 100; tick += 20)
            percent->addTick(tick, QString::number(tick) + QLatin1Char('%'));
        plot->yAxis->setTicker(percent);
        plot->yAxis->setRange(0, 100);
    }
    ui->exStatusPlot->setBackground(QPixmap(QStringLiteral(":/images/Assets/qualitylink.png")));
    ui->exStatusPlot2->setBackground(QPixmap(QStringLiteral(":/images/Assets/errrate.png")));
}

void HDBaseT::redrawPlots()
{
    QCustomPlot* plot1 = ui->exStatusPlot;
    QCustomPlot* plot2 = ui->exStatusPlot2;
    if (plot1->graphCount() < graphCount || plot2->graphCount() < graphCount)
        return;

    const int window = numberOfSeconds();
    QVector<double> keys;
    QVector<double> link[4];
    QVector<double> second[4];
    QVector<double> rateKeys;
    for (int i = HDBaseTMonitor::firstShown(samples.size(), window); i < samples.size(); ++i) {
        const PlotSample& s = samples.at(i);
        const double key = s.time.toMSecsSinceEpoch() / 1000.0;
        keys.append(key);
        for (int c = 0; c < 4; ++c) {
            link[c].append(s.linkQuality[c]);
            if (!isReceiver)
                second[c].append(s.maxErr[c]);
        }
        if (isReceiver && s.hasRetransRate) {
            rateKeys.append(key);
            second[0].append(s.retransRate);
        }
    }
    const QVector<double> secondKeys = isReceiver ? rateKeys : keys;

    QPushButton* hide1[] = {ui->channelAHide, ui->channelBHide, ui->channelCHide, ui->channelDHide};
    QPushButton* hide2[] = {ui->channelAHide2, ui->channelBHide2, ui->channelCHide2, ui->channelDHide2};
    for (int c = 0; c < 4; ++c) {
        setSeries(plot1->graph(c), hide1[c]->isChecked() ? QVector<double>() : keys,
                  hide1[c]->isChecked() ? QVector<double>() : link[c]);
        const bool shown2 = !hide2[c]->isChecked() && c < (isReceiver ? 1 : 4);
        setSeries(plot2->graph(c), shown2 ? secondKeys : QVector<double>(),
                  shown2 ? second[c] : QVector<double>());
    }

    maxErrThresholdLine = {maxErrThreshold(parser.sample().tmdsClock), maxErrThreshold(parser.sample().tmdsClock)};
    qDebug() << "THRESHHOLD_MAXERR " << maxErrThresholdLine.first();
    if (!keys.isEmpty()) {
        const double last = keys.last();
        double lo = qMax(keys.first(), last - window);
        if (lo >= last) // one sample: a range of one second ending at it
            lo = last - 1;
        const QVector<double> thresholdKeys = {lo, last};
        plot1->xAxis->setRange(lo, last);
        plot2->xAxis->setRange(lo, last);
        setSeries(plot1->graph(thresholdGraph), thresholdKeys, linkThresholdLine);
        setSeries(plot2->graph(thresholdGraph), thresholdKeys, maxErrThresholdLine);
    } else {
        plot1->graph(thresholdGraph)->data()->clear();
        plot2->graph(thresholdGraph)->data()->clear();
    }
    // Queued: a chunk that closes several cycles draws once, after the last of them.
    plot1->replot(QCustomPlot::rpQueuedReplot);
    plot2->replot(QCustomPlot::rpQueuedReplot);
}

void HDBaseT::onHideClicked()
{
    redrawPlots();
}

void HDBaseT::refreshChannelWidgets()
{
    QWidget* secondValues[] = {ui->channelAValue2Box, ui->channelBValue2Box, ui->channelCValue2Box,
                               ui->channelDValue2Box, ui->channelAHide2, ui->channelBHide2,
                               ui->channelCHide2, ui->channelDHide2, ui->exStatusPlotLabel2};
    for (QWidget* widget : secondValues)
        widget->setVisible(!isReceiver);
    ui->channelDHide2->setText(isReceiver ? QStringLiteral("Rate") : QStringLiteral("Channel D"));
    ui->exStatusPlotLabel2->setText(isReceiver ? QStringLiteral("Retransmission Rate")
                                               : QStringLiteral("Max Error Rate"));
    restyle(ui->channelDHide2, isReceiver ? "R" : "");

    for (QLabel* label : {ui->channelAValue, ui->channelBValue, ui->channelCValue, ui->channelDValue,
                          ui->channelAValue2, ui->channelBValue2, ui->channelCValue2, ui->channelDValue2})
        label->setText(QStringLiteral("0"));
    restartThePlot();
}

void HDBaseT::restartThePlot()
{
    parser.resetPeaks();
    samples.clear();
    ui->exStatusPlot->clearGraphs();
    ui->exStatusPlot2->clearGraphs();
    initPlots();
    ui->exStatusPlot->replot(QCustomPlot::rpRefreshHint);
    ui->exStatusPlot2->replot(QCustomPlot::rpRefreshHint);
    clearLog();
    if (logFile.isOpen())
        logFile.close();
}

// ---- Samples and alerts --------------------------------------------------------------------

void HDBaseT::addADataPoint()
{
    qDebug() << "we are adding a point";
    PlotSample& sample = parser.sample();
    sample.time = clock ? clock() : QDateTime::currentDateTime();
    HDBaseTMonitor::appendSample(samples, sample);

    QLabel* linkLabels[] = {ui->channelAValue, ui->channelBValue, ui->channelCValue, ui->channelDValue};
    QLabel* secondLabels[] = {ui->channelAValue2, ui->channelBValue2, ui->channelCValue2, ui->channelDValue2};
    for (int c = 0; c < 4; ++c) {
        linkLabels[c]->setText(percentText(sample.linkQuality[c]));
        if (!isReceiver)
            secondLabels[c]->setText(percentText(sample.maxErr[c]));
    }
    if (isReceiver && sample.hasRetransRate)
        ui->channelDValue2->setText(percentText(sample.retransRate));
    linkThresholdLine = {THRESHHOLD_LINK, THRESHHOLD_LINK};

    const QList<HDBaseTAlerts::Change> changes = alerts.evaluate(sample, isReceiver);
    for (const HDBaseTAlerts::Change& change : changes) {
        const int k = change.index;
        // On a receiver, flag 4 is the retransmission rate, whose box is the fourth of graph 2.
        const int graph = k < 4 ? 1 : 2;
        const int channel = (isReceiver && k == 4) ? 4 : k % 4 + 1;
        alertBoxThreshold(change.raised, graph, channel);
        if (change.raised && !(isReceiver && k == 4))
            recordEvent(k);
    }
    redrawPlots();
}

void HDBaseT::alertBoxThreshold(bool exceeded, int graph, int channel)
{
    QGroupBox* boxes1[] = {ui->channelAValueBox, ui->channelBValueBox, ui->channelCValueBox, ui->channelDValueBox};
    QLabel* labels1[] = {ui->channelAValue, ui->channelBValue, ui->channelCValue, ui->channelDValue};
    QGroupBox* boxes2[] = {ui->channelAValue2Box, ui->channelBValue2Box, ui->channelCValue2Box,
                           ui->channelDValue2Box};
    QLabel* labels2[] = {ui->channelAValue2, ui->channelBValue2, ui->channelCValue2, ui->channelDValue2};
    if ((graph != 1 && graph != 2) || channel < 1 || channel > 4) {
        qDebug() << "Errorneous input at alertBoxThreshhold";
        return;
    }
    const char* state = exceeded ? "exceeded" : "";
    restyle(graph == 1 ? static_cast<QWidget*>(boxes1[channel - 1]) : boxes2[channel - 1], state);
    restyle(graph == 1 ? labels1[channel - 1] : labels2[channel - 1], state);
}

// ---- Event table and CSV log ---------------------------------------------------------------

void HDBaseT::recordEvent(int k)
{
    const PlotSample& sample = parser.sample();
    const double value = k < 4 ? sample.linkQuality[k] : sample.maxErr[k - 4];
    const QStringList fields = HDBaseTMonitor::eventFields(sample.time, k, value);

    QTableWidget* table = ui->exStatusTable;
    if (table->rowCount() >= HDBaseTMonitor::maxTableRows)
        table->removeRow(0);
    const int row = table->rowCount();
    table->insertRow(row);
    for (int column = 0; column < fields.size(); ++column)
        table->setItem(row, column, new QTableWidgetItem(fields.at(column)));

    if (!logFile.isOpen()) {
        startTheLog(); // writes the whole table, this event included
    } else {
        logFile.write(HDBaseTMonitor::csvLine(fields));
        logFile.flush();
    }
}

void HDBaseT::startTheLog()
{
    ui->exStatusDownloadLog->setEnabled(true);
    ui->exStatusClearLog->setEnabled(true);
    if (logFile.isOpen()) {
        qDebug() << "Log is already open.";
        return;
    }
    const QString folder = logFolder();
    QDir().mkpath(folder);
    logFilePath = HDBaseTMonitor::freeLogPath(folder, selectedDevice.name,
                                                clock ? clock() : QDateTime::currentDateTime());
    logFile.setFileName(logFilePath);
    if (!logFile.open(QIODevice::WriteOnly | QIODevice::Text)) {
        // The table keeps the events; the next event tries again and writes them all.
        if (!logFailureShown)
            showStatus(errorPalette, QStringLiteral("Failed to open the log file ") + QDir::toNativeSeparators(logFilePath),
                       statusShownMs);
        logFailureShown = true;
        return;
    }
    logFailureShown = false;
    QByteArray content = HDBaseTMonitor::csvHeader();
    QTableWidget* table = ui->exStatusTable;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList fields;
        for (int column = 0; column < table->columnCount(); ++column) {
            const QTableWidgetItem* item = table->item(row, column);
            fields << (item ? item->text() : QString());
        }
        content += HDBaseTMonitor::csvLine(fields);
    }
    logFile.write(content);
    logFile.flush();
}

void HDBaseT::downloadLog()
{
    const QString suggested = myXMLManager::getLastSavedDirectory() + QDir::separator()
                              + QFileInfo(logFilePath).fileName();
    const QString target =
        Dialogs::getSaveFileName(ui->centralFrame, QStringLiteral("Save CSV"), suggested, QStringLiteral("CSV files (*.csv)"));
    myXMLManager::setLastSavedDirectory(target);

    bool saved = false;
    if (logFile.isOpen())
        logFile.flush();
    QFile source(logFilePath);
    const bool haveLog = !target.isEmpty() && !logFilePath.isEmpty() && QFileInfo(logFilePath).isFile();
    if (haveLog && QFileInfo(target).canonicalFilePath() == QFileInfo(logFilePath).canonicalFilePath()) {
        saved = true; // the running log itself: replacing it would cut the open file off
    } else if (haveLog && source.open(QIODevice::ReadOnly)) {
        // The dialog has asked before an existing file is replaced; the copy goes in whole or not at all.
        QSaveFile copy(target);
        if (copy.open(QIODevice::WriteOnly)) {
            bool written = true;
            while (written && !source.atEnd()) {
                const QByteArray block = source.read(64 * 1024);
                written = !block.isEmpty() && copy.write(block) == block.size();
            }
            saved = written && copy.commit();
            if (!saved)
                copy.cancelWriting();
        }
    }
    if (saved)
        showStatus(successPalette, QStringLiteral("Log saved successfully."), statusShownMs);
    else
        showStatus(errorPalette, QStringLiteral("Failed to save log to directory."), statusShownMs);
}

void HDBaseT::clearLog()
{
    for (int channel = 1; channel <= 4; ++channel) {
        alertBoxThreshold(false, 1, channel);
        alertBoxThreshold(false, 2, channel);
    }
    if (ui->exStatusTable->rowCount() > 0) {
        const QMessageBox::StandardButton answer = Dialogs::information(
            ui->centralFrame, QStringLiteral("Save the log?"), QStringLiteral("Would you like to save the log for the current data?"),
            QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes)
            downloadLog();
    }
    alerts.clear();
    logFile.close();
    logFailureShown = false;
    ui->exStatusTable->clearContents();
    ui->exStatusTable->setRowCount(0);
    ui->exStatusDownloadLog->setEnabled(false);
    ui->exStatusClearLog->setEnabled(false);
}

// ---- Wiring standard -----------------------------------------------------------------------

void HDBaseT::executePinoutButton()
{
    pinoutSelector()->exec();
}

void HDBaseT::staticChartChange(bool indx)
{
    pinoutIsB = indx;
    const char* letter = indx ? "B" : "A";
    for (QWidget* button : {ui->channelAHide, ui->channelBHide, ui->channelAHide2, ui->channelBHide2})
        restyle(button, letter);
    applyPinoutColours();
    ui->exStatusPlot->replot(QCustomPlot::rpRefreshHint);
    ui->exStatusPlot2->replot(QCustomPlot::rpRefreshHint);
}

// T-568A swaps the first two pairs: graphs 0 and 1 take each other's colour. The plots keep the
// confirmed standard across resets, as the channel buttons do. A receiver's second plot shows the
// retransmission rate in its first graph, which keeps its own colour.
void HDBaseT::applyPinoutColours()
{
    const QColor& first = pinoutIsB ? channelColors[0] : channelColors[1];
    const QColor& second = pinoutIsB ? channelColors[1] : channelColors[0];
    setGraphPen(ui->exStatusPlot, 0, first, Qt::SolidLine, 2);
    setGraphPen(ui->exStatusPlot, 1, second, Qt::SolidLine, 2);
    if (!isReceiver)
        setGraphPen(ui->exStatusPlot2, 0, first, Qt::SolidLine, 2);
    setGraphPen(ui->exStatusPlot2, 1, second, Qt::SolidLine, 2);
}

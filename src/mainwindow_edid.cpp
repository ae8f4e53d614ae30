// The main window's EDID slots: the "EDID Summary" dock and the EDID sources.
// The EDID editor, viewer and upload slots are placeholders until the EDID tools are wired here.
#include "mainwindow.h"
#include "ui_mainui.h"

#include <QDockWidget>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

void MainWindow::createSummaryWindow()
{
    summaryDock = new QDockWidget(QStringLiteral("EDID Summary"), this);
    auto* frame = new QFrame(summaryDock);
    auto* layout = new QVBoxLayout(frame);

    auto* legend = new QHBoxLayout();
    auto addLegend = [legend](const QString& text, const QString& colour) {
        auto* box = new QLabel();
        box->setFixedSize(12, 12);
        box->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid black;").arg(colour));
        legend->addWidget(box);
        legend->addWidget(new QLabel(text));
    };
    addLegend(QStringLiteral("Removed"), QStringLiteral("#FF7F7F"));
    addLegend(QStringLiteral("Added"), QStringLiteral("#00FF00"));
    legend->addStretch();

    diffButton = new QToolButton();
    diffButton->setText(QStringLiteral("Diff"));
    diffButton->setCheckable(true);
    diffButton->setIcon(QIcon(QStringLiteral(":/images/Assets/EDID/ShowDiff.png")));
    diffButton->setToolTip(QStringLiteral("Show/Hide Diff"));
    legend->addWidget(diffButton);

    saveTextButton = new QToolButton();
    saveTextButton->setText(QStringLiteral("Save"));
    saveTextButton->setIcon(QIcon(QStringLiteral(":/images/Assets/EDID/SaveAsText.png")));
    saveTextButton->setToolTip(QStringLiteral("Save as Text"));
    legend->addWidget(saveTextButton);
    layout->addLayout(legend);

    summaryText = new QTextEdit();
    summaryText->setFontFamily(QStringLiteral("Courier"));
    QFont font(QStringLiteral("Courier"));
    font.setStyleHint(QFont::Monospace);
    summaryText->setFont(font);
    summaryText->setLineWrapMode(QTextEdit::NoWrap);
    summaryText->setMinimumWidth(500);
    layout->addWidget(summaryText);

    summaryDock->setWidget(frame);
    addDockWidget(Qt::RightDockWidgetArea, summaryDock);
    summaryDock->hide();

    connect(summaryDock, SIGNAL(visibilityChanged(bool)), this, SLOT(visibilityChanged(bool)));
    connect(diffButton, SIGNAL(clicked(bool)), this, SLOT(toggleDiff(bool)));
    connect(saveTextButton, SIGNAL(clicked()), this, SLOT(saveText()));
}

void MainWindow::showSummaryWindow()
{
    if (summaryDock->isVisible()) {
        summaryDock->hide();
        return;
    }
    summaryDock->show();
    summaryVisible = true;
    const Qt::DockWidgetArea area = dockWidgetArea(summaryDock);
    if (!summaryDock->isFloating() && (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea))
        resize(maximumSize());
}

void MainWindow::visibilityChanged(bool visible)
{
    summaryVisible = visible;
    if (!visible)
        resize(minimumWidth(), height());
}

void MainWindow::selectEDIDFromDevice(int index)
{
    const bool chosen = index >= 1;
    ui->openEDIDFromDevice->setEnabled(chosen);
    ui->downloadButton->setEnabled(chosen);
}

void MainWindow::selectEDIDFromMonitor(int index)
{
    const bool chosen = index > 0;
    ui->openEDIDFromMonitor->setEnabled(chosen);
    ui->downloadButtonMonitor->setEnabled(chosen);
}

// Placeholders: wired by the EDID tools.
void MainWindow::openEDIDFromDevice() {}
void MainWindow::openEDIDFromFile() {}
void MainWindow::expertMode() {}
void MainWindow::wizardNext() {}
void MainWindow::wizardBack() {}
void MainWindow::wizardFinish() {}
void MainWindow::toggleDiff(bool) {}
void MainWindow::newEDID() {}
void MainWindow::saveText() {}
void MainWindow::refreshEDID() {}
void MainWindow::ostrandDownloadEDID() {}
void MainWindow::jovarisDownloadEDID() {}
void MainWindow::zarrickDownloadEDID() {}
void MainWindow::cavroshDownloadEDID() {}
void MainWindow::uploadEDIDToDevice() {}
void MainWindow::openEDIDFromMonitor() {}
void MainWindow::converterScalerDownloadEDID() {}
void MainWindow::uploadEDIDToDeviceSlot() {}

// Scaler controller: construction, unit state, status bar and the hooks of the pages that other
// files of the controller fill (links, channel, selection, wiring, utilities).
#include "scaler.h"

#include "constants.h"
#include "mybuttongroup.h"
#include "myrangeeditor.h"
#include "timescale.h"
#include "timingpreset.h"
#include "ui_mainui.h"

#include <QButtonGroup>
#include <QDebug>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QStatusBar>
#include <QTabWidget>
#include <QTcpSocket>
#include <QTimer>

namespace {
const int pollIntervalMs = 2000;
const int statusShownMs = 3000;
const int statusDeadlineMs = 2900;
} // namespace

Scaler::Scaler(Ui_MainUI* ui)
    : Scaler(ui, NoSetup())
{
    init();
}

// Inert: the recording double and tests that only need the object get no link, timer, preset
// or wiring.
Scaler::Scaler(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
    , settings(new ScalerRecord)
{
}

Scaler::~Scaler()
{
    // The links close with their parent (this); a port left open by an exchange is closed here
    // so the unit sees the hang-up before the process goes on.
    if (serialPort && serialPort->isOpen())
        serialPort->close();
    qDeleteAll(presets);
    delete settings;
}

qint64 Scaler::monotonicNowMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

void Scaler::init()
{
    runFlag = true;
    zarrickInput = QStringLiteral("1");

    tcpSocket = new QTcpSocket(this);
    connect(tcpSocket, SIGNAL(readyRead()), this, SLOT(readyRead()));
    serialPort = new QSerialPort(this);
    connect(serialPort, SIGNAL(readyRead()), this, SLOT(readData()));
    availability = AVAILABLE;

    wirePages();

    deviceState = 0;
    pollingEnabled = true;
    firstPoll = true;
    lastDeviceCount = 0;
    checkDeviceCount();
    pollTimer = new QTimer(this);
    connect(pollTimer, SIGNAL(timeout()), this, SLOT(checkDeviceCount()));
    pollTimer->start(TimeScale::ms(pollIntervalMs));

    errorPalette.setColor(QPalette::WindowText, QColor(255, 70, 50));
    okPalette.setColor(QPalette::WindowText, Qt::green);
    infoPalette.setColor(QPalette::WindowText, QColor(0, 220, 255));

    for (QWidget* w : {static_cast<QWidget*>(ui->outputResolutionHeader), static_cast<QWidget*>(ui->outputResolutionFrame),
                       static_cast<QWidget*>(ui->colorSpaceLabel), static_cast<QWidget*>(ui->colorSpaceFrame),
                       static_cast<QWidget*>(ui->outputModeLabel), static_cast<QWidget*>(ui->outputModeFrame),
                       static_cast<QWidget*>(ui->outputLockLabel), static_cast<QWidget*>(ui->outputLockFrame)})
        w->hide();

    connect(ui->selectEDIDFromDevice, SIGNAL(currentIndexChanged(int)), this, SLOT(multiEDIDModeSet()));
    connect(ui->scalerExportSettings, SIGNAL(clicked()), this, SLOT(exportAllSettings()));
    connect(ui->scalerImportSettings, SIGNAL(clicked()), this, SLOT(importAllSettings()));
    // The generic scaler's EDID pages replace this grid with their own before they build buttons.
    edidModeGroup = new MyButtonGroup(EDID_MODE_CHOICES, ui->edidInputFrame, QStringLiteral("#SET_EDID_MODE"), this);
    edidInputGroup = new QButtonGroup(ui->scalerEDIDFrame);
}

void Scaler::setPollingEnabled(bool enabled)
{
    pollingEnabled = enabled;
}

// 1 enables, 2 disables the generic scaler's pages; any other value only records the state, so
// the hub's 0 makes the next 1 or 2 take effect even when it repeats the last one.
void Scaler::setState(int state)
{
    if (state == deviceState)
        return;
    if (state == 1 || state == 2) {
        const bool enabled = state == 1;
        const QList<QWidget*> pages = {ui->outputTab,          ui->pictureTab,         ui->adjustTab,
                                       ui->systemTab,          ui->testPatternTab,     ui->timingTab,
                                       ui->edidConfigureTab,   ui->osdTimeoutButton,   ui->osdTimeoutSpinBox,
                                       ui->refreshSystem,      ui->displayNotify,      ui->scalerFactoryReset,
                                       ui->scalerReboot,       ui->scalerImportSettings, ui->scalerExportSettings};
        for (QWidget* w : pages)
            w->setEnabled(enabled);
    }
    deviceState = state;
}

void Scaler::clearRunFlag()
{
    runFlag = false;
}

// Shows a result that clears itself: only the last message's timer finds its deadline passed.
void Scaler::showStatus(const QString& message)
{
    ui->statusBar->setPalette(okPalette);
    ui->statusBar->showMessage(message);
    statusClearDeadline = monotonicNowMs() + TimeScale::ms(statusDeadlineMs);
    QTimer::singleShot(TimeScale::ms(statusShownMs), this, SLOT(clearStatus()));
}

void Scaler::showError(const QString& message)
{
    ui->statusBar->setPalette(errorPalette);
    ui->statusBar->showMessage(message);
}

void Scaler::clearStatus()
{
    if (monotonicNowMs() > statusClearDeadline)
        ui->statusBar->clearMessage();
}


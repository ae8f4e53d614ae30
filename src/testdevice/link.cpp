// EDID test and booster units: finding and counting them, the shared serial port, the link state
// word that tells where received bytes go, the byte readers of the exchanges, and the start and
// stop of the HDBaseT link monitor that runs over the same port.
#include "sorvaneinterface.h"

#include "delay.h"
#include "dialogs.h"
#include "hdbaset.h"
#include "portaccess.h"
#include "serialports.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDebug>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>

namespace {

const int idleChecks = 10;
const int pollIntervalMs = 2000;
// Received bytes are kept for the running exchange only; a unit that floods the port cannot
// make the buffer grow past this.
const int maxReceiveBuffer = 1 << 20;

const char* const typePrefixes[] = {"DPSorvane", "WISTREL", "HDMI1.3Sorvane", "HDMI1.4Sorvane"};

QString stripped(const QString& description)
{
    QString s = description;
    s.remove(QLatin1Char('-'));
    s.remove(QLatin1Char(' '));
    return s;
}

} // namespace

int sorvaneTypeForDescription(const QString& description)
{
    const QString s = stripped(description);
    bool known = false;
    for (const char* prefix : typePrefixes)
        known = known || s.startsWith(QLatin1String(prefix));
    if (!known)
        return 0;
    if (s.contains(QLatin1String("DPSorvane")))
        return 1;
    if (s.startsWith(QLatin1String("WISTREL")))
        return 2;
    if (s.startsWith(QLatin1String("HDMI1.3Sorvane")))
        return 3;
    return 2; // "HDMI1.4Sorvane"
}

QString SorvaneInterface::deviceTypeName(int type)
{
    switch (type) {
    case 1: return QStringLiteral("DisplayPort Sorvane Plus");
    case 2: return QStringLiteral("Booster for HDMI w/EDID Sorvane");
    case 3: return QStringLiteral("HDMI Sorvane Plus");
    default: return QString();
    }
}

void SorvaneInterface::init()
{
    connect(port, SIGNAL(readyRead()), this, SLOT(readData()));
    connect(port, SIGNAL(errorOccurred(QSerialPort::SerialPortError)), this,
            SLOT(handleError(QSerialPort::SerialPortError)));
    appstate = Idle;
    deviceSelected = false;
    pollEnabled = true;
    firstCount = true;
    deviceCount = 0;
    edidSourceLimit = monitorEdids && !monitorEdids->isEmpty() ? 1 : -1;
    checkDeviceCount();

    deviceTimer = new QTimer(this);
    connect(deviceTimer, SIGNAL(timeout()), this, SLOT(checkDeviceCount()));
    deviceTimer->start(TimeScale::ms(pollIntervalMs));
    countdownTimer = new QTimer(this);
    connect(ui->exStatusStart, SIGNAL(clicked()), this, SLOT(setupPlot()));
}

void SorvaneInterface::checkDeviceCount()
{
    if (!pollEnabled)
        return;
    pollBusy = true;
    int count = 0;
    for (const SerialPortEntry& entry : SerialPortLister::availablePorts()) {
        if (sorvaneTypeForDescription(entry.description) != 0)
            ++count;
    }
    if (firstCount) {
        deviceCount = count;
        firstCount = false;
    } else if (count != deviceCount) {
        deviceCount = count;
        // The hub rebuilds its list, which asks updateDeviceList(), which starts the poll again.
        if (deviceTimer)
            deviceTimer->stop();
        emit refreshImmediately();
    }
    pollBusy = false;
}

void SorvaneInterface::findDevices()
{
    devices.clear();
    for (const SerialPortEntry& entry : SerialPortLister::availablePorts()) {
        const int type = sorvaneTypeForDescription(entry.description);
        if (type == 0)
            continue;
        Device d = deviceOnPort(entry);
        d.name = deviceTypeName(type);
        d.type = type;
        devices.append(d);
    }
}

QList<Device> SorvaneInterface::updateDeviceList()
{
    deviceSelected = false;
    if (waitForIdle())
        findDevices();
    ui->previewDownloadFrame->setEnabled(true);
    clearStatus();
    if (deviceTimer)
        deviceTimer->start(TimeScale::ms(pollIntervalMs));
    return devices;
}

void SorvaneInterface::clearDeviceState()
{
    deviceSelected = false;
}

bool SorvaneInterface::setSorvaneFlag(bool enabled)
{
    pollEnabled = enabled;
    return pollEnabled;
}

void SorvaneInterface::setDeviceInfoA(Device device, Scaler* scaler)
{
    selectedDevice = device;
    scalerLink = scaler;
}

void SorvaneInterface::setDeviceInfoB(Device device, Lunmora* lunmora)
{
    selectedDevice = device;
    lunmoraLink = lunmora;
}

bool SorvaneInterface::openPort()
{
    if (port->isOpen())
        port->close();
    openedPortName = selectedDevice.portName;
    port->setPortName(openedPortName);
    // The units are USB virtual COM ports: the line settings stay at the serial library's defaults.
    qDebug() << "baudRate" << port->baudRate() << "dataBits" << port->dataBits() << "flowControl"
             << port->flowControl() << "parity" << port->parity() << "stopBits" << port->stopBits();
    return !openedPortName.isEmpty() && port->open(QIODevice::ReadWrite);
}

void SorvaneInterface::closePort()
{
    if (port->isOpen())
        port->close();
    if (appstate == Monitoring) {
        hdbaset->startThePlot();
        appstate = Idle;
    } else if (appstate == AwaitingReboot && rebootDialog) {
        rebootDialog->showDialog();
    }
}

void SorvaneInterface::monitoringClose()
{
    if (appstate != Monitoring)
        return;
    if (port->isOpen())
        port->write("a\r");
    delay(1000);
    qDebug() << "Cancelled a running monitor before close.";
}

void SorvaneInterface::setupPlot()
{
    if (appstate != Monitoring) {
        if (!openPort()) {
            showStatus(PortAccess::explained(
                           QStringLiteral("Failed to open serial port. Try disconnect power and connect the unit."), *port),
                       errorPalette);
            delay(4000);
            clearStatus();
            qDebug() << "Failed to open serial port for HDBaseT Device.";
            return;
        }
        appstate = Monitoring;
        port->write("#rdstatus 1\r");
        hdbaset->startThePlot();
    } else {
        appstate = Idle;
        if (port->isOpen())
            port->write("a\r");
        hdbaset->startThePlot();
    }
}

void SorvaneInterface::setAvailable()
{
    appstate = Idle;
}

void SorvaneInterface::handleError(QSerialPort::SerialPortError error)
{
    // A USB port that vanishes reports a resource error; one that reads end of file (a pseudo
    // terminal, some drivers) a read error. Either way the unit is gone: closing the port ends
    // every wait on it at once instead of at its time-out.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    qDebug() << "SorvaneInterface: the unit is gone:" << port->errorString();
    if (port->isOpen())
        port->close();
}

void SorvaneInterface::readData()
{
    if (draining)
        return;
    const QByteArray chunk = port->readAll();
    if (chunk.isEmpty())
        return;
    if (rxBuffer.size() + chunk.size() > maxReceiveBuffer) {
        rxBuffer.remove(0, rxIndex);
        rxIndex = 0;
        if (rxBuffer.size() + chunk.size() > maxReceiveBuffer)
            rxBuffer.clear();
    }
    rxBuffer.append(chunk);

    switch (appstate) {
    case Monitoring:
        hdbaset->processMonitorReadyRead(chunk);
        break;
    case VersionQuery:
        for (char c : chunk) {
            if (c != '>')
                lineBuffer.append(c);
            if (c != '\n')
                continue;
            const QString line = QString::fromLatin1(lineBuffer).trimmed();
            if (!line.contains(QLatin1String("show_ver_data")) && line.size() > 2)
                versionText += line + QLatin1Char('\n');
            lineBuffer.clear();
        }
        break;
    case DdcCommand:
    case StatusQuery:
    case BoosterCommand:
        for (char c : chunk) {
            lineBuffer.append(c);
            if (lineBuffer.size() > maxReceiveBuffer)
                lineBuffer.clear();
            if (c != '\n')
                continue;
            const QString line = QString::fromLatin1(lineBuffer);
            if (!line.startsWith(QLatin1Char('#')) && line.size() > 2) {
                if (appstate == StatusQuery) {
                    statusText += line;
                } else if (appstate == BoosterCommand) {
                    if (commandReply.isEmpty())
                        commandReply = line;
                    lineBuffer.clear();
                    continue;
                } else {
                    if (edidStatus.isEmpty())
                        edidStatus = line.trimmed();
                    lineBuffer.clear();
                    continue;
                }
            }
            lineBuffer.clear();
        }
        break;
    case BackAfterReboot:
        ui->ConfiguratorTabs->setEnabled(false);
        break;
    default:
        break;
    }
}

bool SorvaneInterface::waitForIdle()
{
    for (int i = 0; i < idleChecks && appstate != Idle; ++i)
        delay(100);
    return appstate == Idle;
}

void SorvaneInterface::resetReceive()
{
    rxIndex = 0;
    rxBuffer.clear();
    lineBuffer.clear();
}

void SorvaneInterface::dropStaleInput()
{
    draining = true;
    staleInput.drop(port);
    draining = false;
}

void SorvaneInterface::writeCommand(const QString& command)
{
    port->write(command.toUtf8());
}

int SorvaneInterface::getonechar(int timeoutMs)
{
    if (timeoutMs <= 0)
        return -1;
    const QDeadlineTimer deadline(TimeScale::ms(timeoutMs));
    while (rxIndex >= rxBuffer.size()) {
        if (deadline.hasExpired() || !port->isOpen())
            return -1;
        delay(10);
    }
    return quint8(rxBuffer.at(rxIndex++));
}

void SorvaneInterface::putonechar(int byte)
{
    const char c = char(byte & 0xFF);
    if (port->write(&c, 1) != 1)
        qDebug() << "putonechar ERROR!!!!!!!!";
}

bool SorvaneInterface::awaitReply(const QString& reply, int quietMs, int limitMs)
{
    QElapsedTimer total;
    total.start();
    const int limit = TimeScale::ms(limitMs);
    int seen = rxBuffer.size();
    QElapsedTimer quiet;
    quiet.start();
    while (total.elapsed() < limit) {
        delay(20);
        if (rxBuffer.size() != seen) {
            seen = rxBuffer.size();
            quiet.restart();
        }
        if (!reply.isEmpty() && quiet.elapsed() >= TimeScale::ms(quietMs))
            return true;
        if (!port->isOpen())
            break;
    }
    return !reply.isEmpty();
}

void SorvaneInterface::setEdidControlsEnabled(bool enable)
{
    ui->sorvaneBox->setEnabled(enable);
    ui->previewDownloadFrame->setEnabled(enable);
    ui->selectEDIDFromDevice->setEnabled(ui->selectEDIDFromDevice->count() > 1);
    if (enable) {
        ui->boosterTab->setEnabled(isBooster || hasDdcMode);
        ui->ddcLabel->setEnabled(hasDdcMode);
        ui->ddcmodeDropdown->setEnabled(hasDdcMode);
        edidSelected(ui->selectEDIDFromDevice->currentIndex());
    }
    ui->copyButton->setEnabled(true);
    ui->copyFromDropdown->setEnabled(true);
    ui->copyToDropdown->setEnabled(true);
}

void SorvaneInterface::edidSelected(int index)
{
    const bool noMonitors = !monitorEdids || monitorEdids->isEmpty();
    if (noMonitors)
        edidSourceLimit = -1;
    else if (deviceSelected)
        edidSourceLimit = hasSixDefaultBanks ? 9 : 10;
    else
        edidSourceLimit = 1;

    bool enable = false;
    if (deviceSelected)
        enable = index == 1 || (edidSourceLimit > 0 && index >= edidSourceLimit);
    else
        enable = index > 0;
    ui->downloadButton->setEnabled(enable);
}

void SorvaneInterface::clearStatus()
{
    ui->statusBar->clearMessage();
}

void SorvaneInterface::showStatus(const QString& text, const QPalette& palette, int clearAfterMs)
{
    ui->statusBar->setPalette(palette);
    ui->statusBar->showMessage(text);
    if (clearAfterMs > 0)
        statusTimer->start(TimeScale::ms(clearAfterMs));
}

void SorvaneInterface::communicationError(const QString& status, const QString& text)
{
    showStatus(status, errorPalette);
    setEdidControlsEnabled(true);
    Dialogs::critical(ui->centralFrame, QStringLiteral("Communication Error"), text);
}

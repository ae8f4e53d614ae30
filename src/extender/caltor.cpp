// Caltor page: the serial and telnet links to the unit, its commands and reply texts, the baud
// search, reboot and rate restore, the COM-port choice and the firmware-package picker.
#include "caltor.h"

#include "baudprobe.h"
#include "delay.h"
#include "deviceinfodialog.h"
#include "dialogs.h"
#include "firmwarepackage.h"
#include "portaccess.h"
#include "serialports.h"
#include "tftpserver.h"
#include "ui_mainui.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QStatusBar>
#include <QTcpSocket>

namespace {
const QByteArray kTerminator = QByteArrayLiteral("\n\r");
}

Caltor::Caltor(Ui_MainUI* ui)
    : Caltor(ui, NoSetup())
{
    init();
}

Caltor::Caltor(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
{
}

Caltor::~Caltor()
{
    for (const QPointer<DeviceInfoDialog>& dialog : qAsConst(m_dialogs))
        delete dialog.data();
}

void Caltor::init()
{
    serialPort = new QSerialPort(this);
    connect(serialPort, &QSerialPort::readyRead, this, &Caltor::readSerialData);
    errorPalette.setColor(QPalette::WindowText, QColor(255, 70, 50, 255));
    okPalette.setColor(QPalette::WindowText, Qt::green);
}

const QList<qint32>& Caltor::baudRates()
{
    // Position + 1 is the unit's own code for the rate in "#SET_RS232_BAUD".
    static const QList<qint32> rates{115200, 57600, 38400, 19200, 9600, 4800};
    return rates;
}

void Caltor::showStatus(const QString& text, bool failure)
{
    ui->statusBar->setPalette(failure ? errorPalette : okPalette);
    ui->statusBar->showMessage(text);
}

bool Caltor::comPortSelection()
{
    bool ok = false;
    const QString port = Dialogs::getItem(this, QStringLiteral("Serial Port connection"),
                                          QStringLiteral("Select device COM port:"), SerialPortLister::portNames(), 0,
                                          false, &ok);
    if (!ok || port.isEmpty())
        return false;
    portName = port;
    return true;
}

bool Caltor::openPort()
{
    if (serialPort->isOpen())
        serialPort->close();
    serialPort->setPortName(portName);
    if (!serialPort->open(QIODevice::ReadWrite))
        return false;
    // A pseudo-terminal refuses data-bit and parity changes and runs 8N1 anyway.
    serialPort->setDataBits(QSerialPort::Data8);
    serialPort->setParity(QSerialPort::NoParity);
    serialPort->setStopBits(QSerialPort::OneStop);
    serialPort->setFlowControl(QSerialPort::NoFlowControl);
    serialPort->clearError();
    return true;
}

bool Caltor::baudCheck()
{
    showStatus(QStringLiteral("Checking compatible baud-rate. Please wait..."), false);
    BaudProbeOptions options;
    options.rates = baudRates();
    options.command = "#HELP" + kTerminator;
    options.settleMs = 0;
    // The probe reads the port itself; the page's reader stays out meanwhile.
    m_probing = true;
    const qint32 rate = probeBaudRate(*serialPort, portName, options);
    m_probing = false;
    if (rate == 0)
        return false;
    baudIndex = baudRates().indexOf(rate) + 1;
    return true;
}

void Caltor::sendSerialCommand(const QString& command)
{
    serialResponse.clear();
    serialPort->write(command.toLocal8Bit() + kTerminator);
}

void Caltor::writeToSerialPort(const QString& text)
{
    serialPort->write(text.toLocal8Bit());
}

void Caltor::readSerialData()
{
    if (m_probing)
        return;
    serialResponse += QString::fromLatin1(serialPort->readAll());
    // The console of a unit left talking must not grow without end: keep the recent text.
    constexpr int kKeep = 1 << 20;
    if (serialResponse.size() > kKeep)
        serialResponse.remove(0, serialResponse.size() - kKeep);
}

bool Caltor::readSerialLine(int timeoutMs, const QString& expected)
{
    for (int pass = 0; pass < timeoutMs / 500; ++pass) {
        delay(500);
        if (serialResponse.contains(expected))
            return true;
    }
    return false;
}

void Caltor::sendTCPCommand(const QString& command)
{
    if (!tcpSocket || tcpSocket->state() != QAbstractSocket::ConnectedState)
        return;
    tcpResponse.clear();
    tcpSocket->write(command.toLocal8Bit() + kTerminator);
}

void Caltor::readTCPData()
{
    tcpResponse = QString::fromLocal8Bit(tcpSocket->readAll());
}

bool Caltor::revertBaud()
{
    sendSerialCommand(QStringLiteral("#SET_RS232_BAUD ") + QString::number(baudIndex));
    delay(500);
    return true;
}

bool Caltor::rebootDevice()
{
    sendSerialCommand(QStringLiteral("#REBOOT"));
    delay(20000);
    if (!openPort()) {
        Dialogs::warning(this, QStringLiteral("Update Failed"),
                         PortAccess::explained(QStringLiteral("Either Device is not connected, wrong Com-Port is "
                                                              "selected, or baud rate is incorrect!"),
                                               *serialPort));
        return false;
    }
    return true;
}

bool Caltor::showDeviceInfoDialog()
{
    deviceInfoDialog = new DeviceInfoDialog;
    m_dialogs.append(deviceInfoDialog);
    connect(deviceInfoDialog->saveButton, &QPushButton::clicked, this, &Caltor::handleDeviceInfoDialogSave);
    deviceInfoDialog->show();
    return true;
}

QString Caltor::firmwareFolder() const
{
    return ui->firmwareFolder->text();
}

void Caltor::browseUpdateFiles()
{
    pickFirmwarePackage(this, ui);
}

// Scaler controller: the serial and TCP links. Opening the serial port per family (rate probe of
// the Jovaris and Surrow units), the TCP connection of the Zarrick and Cavrosh units, the receive
// slots and the one-byte writer of the YMODEM upload.
#include "scaler.h"

#include "baudprobe.h"
#include "dialogs.h"
#include "mybuttongroup.h"
#include "replyreader.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QDebug>
#include <QPushButton>
#include <QSerialPort>
#include <QTcpSocket>

namespace {
const int tcpConnectWaitMs = 1000;
const int tcpQuietMs = 1300;
// A reply that keeps trickling in is cut here; the Zarrick EDID replies take a few seconds.
const int tcpReplyCapMs = 20000;

// 8N1 without flow control. Pseudo-terminals keep 8N1 whatever is asked and refuse the call; the
// rate is what matters there.
void setFraming(QSerialPort& port)
{
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
}

bool openAt(QSerialPort& port, const QString& name, qint32 rate)
{
    port.setPortName(name);
    port.setBaudRate(rate);
    if (!port.open(QIODevice::ReadWrite)) {
        qDebug() << "Scaler::openPort:" << name << port.errorString();
        return false;
    }
    port.setBaudRate(rate);
    setFraming(port);
    return true;
}
} // namespace

bool Scaler::openPort(bool bootLoader)
{
    if (serialPort->isOpen())
        serialPort->close();

    switch (selectedFamily()) {
    case Family::Jovaris:
    case Family::Surrow:
        if (baudRateText.isEmpty()) {
            // The probe reads the port itself; readData() stays out of its way meanwhile.
            probing = true;
            const qint32 rate = probeBaudRate(*serialPort, serialPortName);
            probing = false;
            if (rate == 0)
                return false;
            baudRateText = QString::number(rate);
            replyText.clear();
            return true;
        }
        return openAt(*serialPort, serialPortName, baudRateText.toInt());
    case Family::Norrith:
        return openAt(*serialPort, serialPortName, 9600);
    case Family::Zarrick:
    case Family::Cavrosh:
        return openAt(*serialPort, serialPortName, 115200);
    case Family::GenericScaler:
        break;
    }
    return openAt(*serialPort, selectedDevice.portName, bootLoader ? 115200 : 19200);
}

// Every byte received goes to replyBytes and, one Latin-1 character each, to replyText; the
// command channel's reader takes the port over while it collects a reply.
void Scaler::readData()
{
    if (probing || readerActive)
        return;
    const QByteArray bytes = serialPort->readAll();
    replyBytes.append(bytes);
    replyText.append(QString::fromLatin1(bytes));
}

void Scaler::readyRead()
{
    if (readerActive)
        return;
    tcpChunk = QString::fromLocal8Bit(tcpSocket->readAll());
}

QStringList Scaler::readLine() const
{
    return ReplyCollector::splitWords(replyText.trimmed());
}

void Scaler::TCPConnect()
{
    if (tcpSocket->state() == QAbstractSocket::ConnectedState)
        tcpSocket->disconnectFromHost();
    tcpSocket->abort();
    tcpSocket->connectToHost(ipAddress, quint16(tcpPort), QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    if (!tcpSocket->waitForConnected(TimeScale::ms(tcpConnectWaitMs)))
        qDebug() << "Scaler::TCPConnect:" << ipAddress << tcpPort << tcpSocket->errorString();
}

void Scaler::TCPDisconnect()
{
    if (tcpSocket && tcpSocket->state() == QAbstractSocket::ConnectedState)
        tcpSocket->disconnectFromHost();
}

// The reply to the line sendTCPCommand() wrote: chunks until ">" and then 1300 ms of quiet,
// joined and split once. Nothing at all (or the prompt alone) means the unit is gone: the EDID
// page is shut and the user told.
QStringList Scaler::TCPreadLine()
{
    // The send was refused while the link was busy: there is no reply to wait for, and the unit
    // is not lost.
    if (tcpSendFailed && tcpSocket->state() == QAbstractSocket::ConnectedState)
        return {};
    const ReplyResult result = readTcpReply();
    if (!result.text.isEmpty())
        return result.words;
    tcpUnitLost();
    return {};
}

ReplyResult Scaler::readTcpReply(int firstByteMs)
{
    ReplyWait wait;
    wait.waitMs = tcpReplyCapMs;
    wait.blocking = true;
    wait.firstByteMs = firstByteMs;
    ReplyRules rules = ReplyRules::tcp();
    rules.quietMs = tcpQuietMs;
    readerActive = true;
    const ReplyResult result = ReplyReader(tcpSocket, rules).collect(wait);
    readerActive = false;
    // A reply that never started, or whose prompt has not come, may still come (or come on):
    // the next line's send drops it.
    staleTcp.settle(result.isComplete() && result.raw.contains(QLatin1Char('>')));
    tcpChunk = result.raw;
    releaseLink();
    return result;
}

void Scaler::tcpUnitLost()
{
    for (QWidget* w : {static_cast<QWidget*>(ui->downloadButton), static_cast<QWidget*>(ui->openEDIDFromDevice),
                       static_cast<QWidget*>(ui->uploadBrowse), static_cast<QWidget*>(ui->uploadButton),
                       static_cast<QWidget*>(ui->refreshEDIDModes), static_cast<QWidget*>(ui->copyButton)})
        w->setEnabled(false);
    if (edidModeGroup)
        edidModeGroup->clearButtons();
    ui->scalerEDIDFrame->hide();
    if (edidLockButton)
        edidLockButton->setEnabled(false);
    if (edidUnlockButton)
        edidUnlockButton->setEnabled(false);
    Dialogs::critical(ui->centralFrame, QStringLiteral("Connection Error"), QStringLiteral("Device is disconnected."));
}

void Scaler::putonechar(const char c)
{
    if (serialPort->write(&c, 1) != 1)
        qDebug() << "putonechar ERROR!!!!!!!!";
}

void Scaler::putonechar(int c)
{
    putonechar(char(c & 0xFF));
}

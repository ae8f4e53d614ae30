// Firmware of the boot-loader units: the generic scalers (their own serial port, "#FW_UPGRADE"
// first) and the Zarrick and Cavrosh models (a USB virtual COM port straight to the boot loader).
// Both speak the same packets: length byte (the whole packet), 8-bit sum of command and data, the
// command, up to 80 data bytes; the unit acknowledges with 00 CC and reports status as 03 40 40.
#include "scaler.h"

#include "checksums.h"
#include "constants.h"
#include "delay.h"
#include "dialogs.h"
#include "portaccess.h"
#include "serialports.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDebug>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSerialPort>
#include <QStatusBar>
#include <QTabWidget>

namespace {
const quint8 CmdPing = 0x20;
const quint8 CmdDownload = 0x21;
const quint8 CmdGetStatus = 0x23;
const quint8 CmdSendData = 0x24;
const quint8 CmdReset = 0x25;
const quint8 CmdHeader = 0x2D;
const quint8 CmdData = 0x2E;
const quint8 CmdFinish = 0x2F;
const char StatusSuccess = 0x40;

// Data bytes per packet of the generic upload, and per progress step of its bar.
const int GenericChunk = 80;
const int GenericProgressUnit = 76;
// Data bytes per packet of the Zarrick and Cavrosh upload.
const int OstrandChunk = 76;
// The longest the Zarrick and Cavrosh flow waits for an answer it expects: the unit erases its
// flash after the download command, which takes a few seconds.
const int OstrandAnswerTimeoutMs = 5000;

const QByteArray ackBytes("\x00\xcc", 2);
const QByteArray busyAckBytes("\x01\xcc", 2);
const QByteArray statusAnswer("\x00\xcc\x03\x40\x40", 5);

QString fwTitle() { return QStringLiteral("Firmware update"); }
} // namespace

QByteArray Scaler::bootLoaderPacket(quint8 command, const QByteArray& data)
{
    QByteArray packet;
    packet.reserve(data.size() + 3);
    packet.append(char(data.size() + 3));
    packet.append('\0');
    packet.append(char(command));
    packet.append(data);
    packet[1] = char(quint8(calcByteSum16(packet.constData() + 2, packet.size() - 2)));
    return packet;
}

// ---- Generic scalers ----------------------------------------------------------------------------

static void cannotOpenFirmware(QWidget* parent)
{
    Dialogs::critical(parent, QStringLiteral("I/O Error"), QStringLiteral("Cannot open file for reading."));
}

void Scaler::initiateFirmwareUpdate()
{
    emit firmwareUpdateEvent(true);
    // A file that cannot be read must not send a running unit into its boot loader first.
    QFile probe(ui->updateFilename->text());
    if (!probe.open(QIODevice::ReadOnly)) {
        cannotOpenFirmware(ui->centralFrame);
        emit firmwareUpdateEvent(false);
        return;
    }
    probe.close();
    disconnect(this, SIGNAL(commandComplete()), nullptr, nullptr);
    replyBytes.clear();
    replyReadPos = 0;
    if (deviceState == 1) {
        // The boot loader takes over once the firmware has answered; this connection serves
        // this one run and firmwareUpdate() removes it.
        connect(this, SIGNAL(commandComplete()), this, SLOT(firmwareUpdate()));
        sendCommand(QStringLiteral("#FW_UPGRADE"), QString(), QString(), 1000);
        if (lastSendFailed) {
            // Nothing was sent and no completion follows: the run ends here.
            disconnect(this, SIGNAL(commandComplete()), this, SLOT(firmwareUpdate()));
            emit firmwareUpdateEvent(false);
        }
    } else if (deviceState == 2) {
        firmwareUpdate();
    } else {
        emit firmwareUpdateEvent(false);
    }
}

void Scaler::firmwareBrowse()
{
    const QString path = Dialogs::getOpenFileName(ui->centralFrame, QStringLiteral("Select File"), QString(),
                                                  QStringLiteral("Files (*.bin)"));
    if (path.isEmpty())
        return;
    delete firmwareFile;
    firmwareFile = new QFile(path, this);
    // The file is only ever read: a firmware image is not the program's to change.
    if (!firmwareFile->open(QIODevice::ReadOnly)) {
        cannotOpenFirmware(ui->centralFrame);
        delete firmwareFile;
        firmwareFile = nullptr;
    }
}

bool Scaler::checkStatus()
{
    serialPort->write(QByteArray("\x03\x23\x23", 3));
    if (!receiveAck(5000))
        return false;
    const char expected[] = {0x03, StatusSuccess, StatusSuccess};
    for (const char byte : expected) {
        if (waitForBytes(byte, 5000)) {
            qDebug() << (byte == 0x03 ? "0x03 not received" : "0x40 not received");
            setAvailable();
            return false;
        }
    }
    serialPort->write(QByteArray(1, char(0xCC)));
    delay(5);
    return true;
}

void Scaler::firmwareUpdateCleanup(QString message)
{
    if (serialPort->isOpen())
        serialPort->close();
    ui->updateBar->setValue(0);
    ui->firmwareUpdateInstructions->setText(message);
    ui->statusBar->clearMessage();
    delete firmwareFile;
    firmwareFile = nullptr;
    setAvailable();
    emit firmwareUpdateEvent(false);
}

void Scaler::firmwareUpdate()
{
    disconnect(this, SIGNAL(commandComplete()), this, SLOT(firmwareUpdate()));

    delete firmwareFile;
    firmwareFile = new QFile(ui->updateFilename->text(), this);
    if (!firmwareFile->open(QIODevice::ReadOnly)) {
        cannotOpenFirmware(ui->centralFrame);
        delete firmwareFile;
        firmwareFile = nullptr;
        emit firmwareUpdateEvent(false);
        return;
    }

    ui->firmwareUpdateInstructions->clear();
    ui->statusBar->setPalette(infoPalette);
    ui->statusBar->showMessage(QStringLiteral("Updating firmware..."));
    ui->ConfiguratorTabs->setEnabled(false);
    ui->tabWidget->setEnabled(false);
    ui->productCombobox->setEnabled(false);
    setState(2);

    if (!openPort(true)) {
        firmwareUpdateCleanup(PortAccess::explained(MSG_FW_NO_COMMUNICATION, *serialPort));
        return;
    }
    ui->updateBar->setRange(0, int(firmwareFile->size() / GenericProgressUnit));
    ui->updateBar->setValue(0);

    qDebug() << "send PING command";
    serialPort->write(bootLoaderPacket(CmdPing, {}));
    if (!receiveAck(5000)) {
        firmwareUpdateCleanup(MSG_FW_NO_COMMUNICATION);
        return;
    }

    qDebug() << "construct header message";
    QByteArray header = firmwareFile->read(16);
    header.append(QByteArray(16 - header.size(), '\0'));
    serialPort->write(bootLoaderPacket(CmdHeader, header));
    delay(2000);
    if (!receiveAck(5000)) {
        qDebug() << "No ACK after header";
        firmwareUpdateCleanup(MSG_FW_WRONG_FILE);
        return;
    }
    if (!checkStatus()) {
        firmwareUpdateCleanup(MSG_FW_INTERRUPTED);
        return;
    }

    qint64 sent = 0;
    while (!firmwareFile->atEnd()) {
        if (!runFlag) {
            // The window is closing: no message and no clean-up, but the run is over.
            delete firmwareFile;
            firmwareFile = nullptr;
            emit firmwareUpdateEvent(false);
            return;
        }
        const QByteArray chunk = firmwareFile->read(GenericChunk);
        if (chunk.isEmpty())
            break;
        serialPort->write(bootLoaderPacket(CmdData, chunk));
        if (!receiveAck(5000) || !checkStatus()) {
            firmwareUpdateCleanup(MSG_FW_INTERRUPTED);
            return;
        }
        sent += chunk.size();
        ui->updateBar->setValue(int(sent / GenericProgressUnit));
        ui->statusBar->setPalette(infoPalette);
        ui->statusBar->showMessage(QStringLiteral("Updating..."));
    }
    firmwareFile->close();

    qDebug() << "wrap up the file transfer";
    serialPort->write(bootLoaderPacket(CmdFinish, {}));
    if (!receiveAck(5000)) {
        firmwareUpdateCleanup(MSG_FW_CHECKSUM_FAILED);
        return;
    }
    serialPort->write(bootLoaderPacket(CmdReset, {}));
    delay(2000);

    showStatus(QStringLiteral("FIRMWARE UPDATE SUCCESSFUL"));
    setState(1);
    delete firmwareFile;
    firmwareFile = nullptr;
    ui->updateBar->setValue(0);
    setAvailable();
    refreshSystemData();
    emit firmwareUpdateEvent(false);
}

// ---- Zarrick and Cavrosh ------------------------------------------------------------------------

QByteArray Scaler::bootLoaderExchange(const QByteArray& packet, int expectBytes, int settleMs, int timeoutMs)
{
    replyText.clear();
    replyBytes.clear();
    replyReadPos = 0;
    serialPort->write(packet);
    // An answer may come in pieces: wait until it is complete (bounded), and at least `settleMs`
    // so that a byte too many is seen too.
    QDeadlineTimer settle(TimeScale::ms(settleMs));
    QDeadlineTimer limit(TimeScale::ms(qMax(settleMs, timeoutMs)));
    while (!limit.hasExpired()) {
        if (replyBytes.size() >= expectBytes && settle.hasExpired())
            break;
        delay(1);
    }
    return replyBytes;
}

void Scaler::firmwareUpdateFailed(int code)
{
    Dialogs::critical(this, fwTitle(), QStringLiteral("Firmware update failed!!\nPlease try again. Err ") + QString::number(code));
    availability = AVAILABLE;
    ui->updateBar_2->setValue(0);
    ui->updateBarNumber_2->setText(QStringLiteral("0%"));
    if (serialPort->isOpen())
        serialPort->close();
    emit firmwareUpdateEvent(false);
}

// The firmware image of a Zarrick or Cavrosh package: the ".bin" named like the archive, else the
// package's only ".bin". Empty when the package does not say which one to flash.
static QString ostrandFirmwareFile(const QString& folder, const QString& archive)
{
    QDir dir(folder);
    const QStringList bins = dir.entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    const QString named = QFileInfo(archive).fileName().remove(QStringLiteral(".zip"));
    if (bins.contains(named))
        return dir.filePath(named);
    if (bins.size() == 1)
        return dir.filePath(bins.first());
    return {};
}

void Scaler::initiateOSTRANDFirmwareUpdate()
{
    qDebug() << "THE UDPATE IS IN PROGRESS: " << Q_FUNC_INFO;
    emit firmwareUpdateEvent(true);

    QString port;
    const auto ports = SerialPortLister::availablePorts();
    for (const SerialPortEntry& entry : ports) {
        if (entry.description.startsWith(MODEL_CAVROSH) || entry.description.startsWith(MODEL_ZARRICK))
            port = entry.portName;
    }
    if (port.isEmpty()) {
        ui->ConfiguratorTabs->setEnabled(false);
        Dialogs::critical(this, fwTitle(), QStringLiteral("Device driver not detected.\n"));
        emit firmwareUpdateEvent(false);
        return;
    }
    serialPortName = port;
    qDebug() << "THIS IS THE COM PORT ----> " << port;

    // The image is read before the unit is touched, so the size announced is the size sent and a
    // package without a clear image sends nothing at all.
    const QString path = ostrandFirmwareFile(ui->firmwareFolder->text(), ui->updateFilename_2->text());
    if (path.isEmpty()) {
        Dialogs::critical(this, fwTitle(), QStringLiteral("No firmware file for this unit was found in the package.\n"));
        emit firmwareUpdateEvent(false);
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Dialogs::critical(this, fwTitle(), QStringLiteral("File open failed!!\n"));
        ui->ConfiguratorTabs->setEnabled(true);
        emit firmwareUpdateEvent(false);
        return;
    }
    const QByteArray image = file.readAll();
    file.close();

    ui->statusBar->setPalette(okPalette);
    ui->statusBar->showMessage(QStringLiteral("Please wait..."));
    ui->ConfiguratorTabs->setEnabled(false);
    ui->updateBar_2->setRange(0, 100);
    ui->updateBar_2->setValue(0);
    ui->updateBarNumber_2->setText(QStringLiteral("0"));
    auto progress = [this](int percent) {
        ui->updateBar_2->setValue(percent);
        ui->updateBarNumber_2->setText(QString::number(percent) + QLatin1Char('%'));
    };

    if (!openPort(false)) {
        ui->ConfiguratorTabs->setEnabled(true);
        showError(PortAccess::explained(
            QStringLiteral("Failed to open serial port. Try disconnect and re-connect the unit."), *serialPort));
        emit firmwareUpdateEvent(false);
        return;
    }
    availability = OCCUPIED;

    const QByteArray ping = bootLoaderPacket(CmdPing, {});
    auto pingUntilAnswered = [&] {
        QByteArray answer;
        int tries = 0;
        while (tries < 20 && answer.size() < 2) {
            answer = bootLoaderExchange(ping, 2, 0, 300);
            ++tries;
        }
        // A slow unit may still answer the earlier pings: let those answers land now, or they
        // would pass for the answer to the next step.
        if (tries > 1)
            delay(300);
        return answer;
    };
    qDebug() << "Step 1 -- ";
    QByteArray answer = pingUntilAnswered();
    progress(1);
    if (answer == busyAckBytes) {
        qDebug() << "Step 2 -- ";
        answer = pingUntilAnswered();
    }
    if (answer != ackBytes) {
        firmwareUpdateFailed(6);
        return;
    }
    progress(2);

    qDebug() << "Step 3 -- ";
    const quint32 size = quint32(image.size());
    QByteArray download("\x00\x00\x40\x00", 4);
    for (int shift = 24; shift >= 0; shift -= 8)
        download.append(char((size >> shift) & 0xFF));
    if (bootLoaderExchange(bootLoaderPacket(CmdDownload, download), 2, 0, qMax(3500, OstrandAnswerTimeoutMs)) != ackBytes) {
        firmwareUpdateFailed(1);
        return;
    }
    progress(3);

    qDebug() << "Step 4 -- ";
    const QByteArray getStatus = bootLoaderPacket(CmdGetStatus, {});
    if (bootLoaderExchange(getStatus, statusAnswer.size(), 100, OstrandAnswerTimeoutMs) != statusAnswer) {
        firmwareUpdateFailed(2);
        return;
    }
    progress(4);

    qDebug() << "Step 5 -- ";
    bootLoaderExchange(QByteArray(1, char(0xCC)), 0, 10, 10);
    progress(5);

    qDebug() << "Step 6 -- ";
    int percent = 6;
    int acknowledged = 0;
    for (int offset = 0; offset < image.size(); offset += OstrandChunk) {
        const QByteArray packet = bootLoaderPacket(CmdSendData, image.mid(offset, OstrandChunk));
        if (bootLoaderExchange(packet, 2, 0, OstrandAnswerTimeoutMs) != ackBytes) {
            firmwareUpdateFailed(3);
            return;
        }
        if (++acknowledged % 150 == 0)
            percent = qMin(percent + 1, 97);
        progress(percent);
    }

    qDebug() << "Step 7 -- ";
    if (bootLoaderExchange(getStatus, statusAnswer.size(), 200, OstrandAnswerTimeoutMs) != statusAnswer) {
        firmwareUpdateFailed(4);
        return;
    }
    progress(98);

    qDebug() << "Step 8 -- ";
    if (bootLoaderExchange(QByteArray(1, char(0xCC)) + bootLoaderPacket(CmdReset, {}), 2, 100, OstrandAnswerTimeoutMs)
        != ackBytes) {
        firmwareUpdateFailed(5);
        return;
    }

    if (serialPort->isOpen())
        serialPort->close();
    progress(100);
    ui->statusBar->clearMessage();
    Dialogs::information(this, fwTitle(), QStringLiteral("Firmware update successful!!"));
    ui->ConfiguratorTabs->setEnabled(true);
    availability = AVAILABLE;
    TCPConnect();
    emit firmwareUpdateEvent(false);
}

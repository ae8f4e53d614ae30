// Caltor page: the network-module update. The user power-cycles the unit; the page catches the
// module's boot loader on the serial console with its keys, answers the boot menu (confirmation,
// the module's address, the PC's address, the file name) and serves the image from its own TFTP
// server. Success and failure are read from the console text.
#include "caltor.h"

#include "delay.h"
#include "dialogs.h"
#include "tftpserver.h"
#include "ui_mainui.h"

#include <QDebug>
#include <QFile>
#include <QHostAddress>
#include <QLabel>
#include <QProgressBar>
#include <QSerialPort>
#include <QStatusBar>

namespace {
// How long the module gets to send its read request after the file name, in device ms: the
// boot loader asks at once, so this only bounds a module that never asks.
constexpr int kRequestWaitMs = 10000;
// How long "done" may take to show on the console after the last block was acknowledged.
constexpr int kDoneWaitMs = 2000;
// The largest network-module image taken: far above any real one (the block number wraps at
// 32 MiB already).
constexpr qint64 kMaxImageBytes = 64 * 1024 * 1024;
} // namespace

void Caltor::setProgress(int value)
{
    progress = value;
    ui->updateBar_2->setValue(value);
    ui->updateBarNumber_2->setText(QString::number(value) + QLatin1Char('%'));
}

bool Caltor::ipAddressSelection(const QStringList& addresses)
{
    if (addresses.size() > 1) {
        bool ok = false;
        const QString chosen = Dialogs::getItem(this, QStringLiteral("IP Address Connection"),
                                                QStringLiteral("Select PC IP Address:"), addresses, 0, false, &ok);
        if (!ok || chosen.isEmpty())
            return false;
        hostIpAddress = chosen;
        return true;
    }
    if (addresses.size() == 1) {
        hostIpAddress = addresses.first();
        return true;
    }
    Dialogs::information(this, QStringLiteral("Update Failure"), QStringLiteral("IP address not found."));
    return false;
}

bool Caltor::connectTftpServer()
{
    if (!tftpServer)
        tftpServer = new TftpServer(this);
    const bool bound = tftpServer->listen(QHostAddress(hostIpAddress), tftpListenPort);
    // Only the unit being updated is served: its module asks from the address typed into its boot
    // menu. A request of any other host (however early) is ignored and does not take the image.
    tftpServer->setExpectedPeer(QHostAddress(ipAddress));
    tftpPort = bound ? tftpServer->localPort() : 0;
    qDebug() << "Bind socket: " << (bound ? "success" : "failed") << tftpServer->errorString();
    return bound;
}

void Caltor::disconnectTftpServer()
{
    qDebug() << "closing tftp server socket!";
    if (tftpServer)
        tftpServer->close();
}

void Caltor::abortTcpUpdate()
{
    sendSerialCommand(QString(QChar(0x03)));
    if (!readSerialLine(15000, QStringLiteral("Starting kernel")))
        showStatus(QStringLiteral("Update Abort Failed!!"), true);
}

void Caltor::resetParameters()
{
    if (baudIndex != 0)
        revertBaud();
    if (serialPort->isOpen())
        serialPort->close();
    ui->updateBar_2->setValue(0);
    ui->updateBarNumber_2->setText(QStringLiteral("0%"));
    ui->statusBar->clearMessage();
    disconnectTftpServer();
}

void Caltor::transferFailed(const QString& status)
{
    showStatus(status, true);
    abortTcpUpdate();
    resetParameters();
}

// Steps 3 to 8: boot keys until the menu shows, then the dialogue up to the file name.
bool Caltor::runBootMenu()
{
    const auto promptFailed = [this] {
        showStatus(QStringLiteral("Update Failed!!"), true);
        Dialogs::warning(this, QStringLiteral("Update Failed"), QStringLiteral("Please try restarting."));
        resetParameters();
        return false;
    };

    for (int attempt = 1;; ++attempt) {
        qDebug() << "boot key attempt" << attempt;
        writeToSerialPort(QStringLiteral("w"));
        delay(25);
        writeToSerialPort(QStringLiteral("b"));
        delay(25);
        writeToSerialPort(QStringLiteral("d"));
        delay(25);
        writeToSerialPort(QStringLiteral("g"));
        delay(1000);
        if (serialResponse.contains(QLatin1String("10")))
            break;
        if (attempt == 10) {
            Dialogs::information(this, QStringLiteral("Boot Mode Failure"),
                                 QStringLiteral("Unable to access boot mode. Please try restarting the device again."));
        } else if (attempt == 20) {
            Dialogs::information(this, QStringLiteral("Boot Mode Failure"),
                                 QStringLiteral("Unable to access boot mode. Quiting.."));
            showStatus(QStringLiteral("Update Failed!!"), true);
            resetParameters();
            return false;
        }
        serialResponse.clear();
    }

    ui->updateBar_2->setRange(0, 100);
    ui->updateBarNumber_2->setText(QStringLiteral("0%"));
    writeToSerialPort(QStringLiteral("2"));
    if (!readSerialLine(15000, QStringLiteral("Warning!!")))
        return promptFailed();
    writeToSerialPort(QStringLiteral("Y"));
    if (!readSerialLine(15000, QStringLiteral("Input")))
        return promptFailed();
    qDebug() << "Part 1";
    setProgress(1);

    qDebug() << "Part 2";
    writeToSerialPort(QString(QChar(0x17)));
    delay(15000);
    qDebug() << "Part 3/Input new device IP";
    writeToSerialPort(ipAddress);
    writeToSerialPort(QStringLiteral("\n"));
    delay(500);
    setProgress(3);

    writeToSerialPort(QString(QChar(0x17)));
    delay(15000);
    qDebug() << "Part 4/Input new server IP";
    writeToSerialPort(hostIpAddress);
    writeToSerialPort(QStringLiteral("\n"));
    delay(500);
    setProgress(5);
    delay(1000);

    writeToSerialPort(tcpFirmwareFileName);
    writeToSerialPort(QStringLiteral("\n"));
    qDebug() << "Part 4/sent filename";
    setProgress(7);
    delay(1000);
    return true;
}

// Step 9: the read request, the option acknowledgement and the blocks, with the console checks
// between blocks. False when the update ended here (the page is reset).
bool Caltor::transferImage(const QFileInfo& image)
{
    const auto arpFailed = [this] {
        if (!serialResponse.contains(QLatin1String("ArpTimeoutCheck")))
            return false;
        Dialogs::critical(this, QStringLiteral("Update Failed"),
                          QStringLiteral("TFTP connection failed.\nPlease reconnect device and try again."));
        abortTcpUpdate();
        resetParameters();
        return true;
    };

    // The module's read request, watching the console meanwhile.
    for (int waited = 0; !tftpServer->hasPeer(); waited += 500) {
        if (arpFailed())
            return false;
        if (waited >= kRequestWaitMs) {
            Dialogs::critical(this, QStringLiteral("Update Failed"),
                              QStringLiteral("The network module did not ask for the firmware file.\nPlease "
                                             "reconnect device and try again."));
            transferFailed(QStringLiteral("Update Failed!!"));
            return false;
        }
        tftpServer->waitForRequest(500);
    }

    qDebug() << "Part 5";
    // The image is read block by block as the transfer goes, not held whole.
    QFile file(image.filePath());
    qDebug() << "Part 8";
    if (!file.open(QIODevice::ReadOnly) || file.isSequential() || file.size() > kMaxImageBytes) {
        Dialogs::critical(this, QStringLiteral("Firmware update"), QStringLiteral("File open failed!!\n"));
        resetParameters();
        return false;
    }

    qDebug() << "Part 9";
    int restarts = 0;
    bool illegalBlock = false;
    bool arp = false;
    const TftpServer::Outcome outcome = tftpServer->serve(file, file.size(), [&](qint64 counter, bool sent) {
        if (!sent) {
            if (serialResponse.contains(QLatin1String("ArpTimeoutCheck"))) {
                arp = true;
                return TftpServer::BlockAction::Abort;
            }
            if (counter % 5000 == 0)
                setProgress(progress + 1);
            return TftpServer::BlockAction::Continue;
        }
        if (!serialResponse.contains(QLatin1String("is not block 1")))
            return TftpServer::BlockAction::Continue;
        serialResponse.clear();
        if (++restarts >= 2) {
            illegalBlock = true;
            return TftpServer::BlockAction::Abort;
        }
        return TftpServer::BlockAction::Restart;
    });

    if (arp) {
        arpFailed();
        return false;
    }
    if (illegalBlock) {
        transferFailed(QStringLiteral("Update Failed! Illegal block"));
        return false;
    }
    if (outcome != TftpServer::Outcome::Done) {
        transferFailed(QStringLiteral("Update Failed!!"));
        return false;
    }
    // The console line may trail the last acknowledgement a little.
    for (int waited = 0; !serialResponse.contains(QLatin1String("done")) && waited < kDoneWaitMs; waited += 100)
        delay(100);
    if (!serialResponse.contains(QLatin1String("done"))) {
        transferFailed(QStringLiteral("Update Failed!!"));
        return false;
    }
    return true;
}

void Caltor::initiate_TCP_FirmwareUpdate(const QFileInfo& image)
{
    if (!connectTftpServer()) {
        Dialogs::information(this, QStringLiteral("TFTP server error"),
                             QStringLiteral("Unable to connect to TFTP server. Abort\n%1").arg(tftpServer->errorString()));
        resetParameters();
        return;
    }
    Dialogs::information(this, QStringLiteral("Restart Device"),
                         QStringLiteral("Please remove the power cable, press OK and then re-insert it."));
    showStatus(QStringLiteral("Updating TCP module..."), false);
    serialResponse.clear();

    tcpFirmwareFileName = image.fileName();
    if (!runBootMenu() || !transferImage(image))
        return;

    setProgress(progress + 10);
    for (int second = 1; second <= 180; ++second) {
        delay(1000);
        if (second % 2 == 0 && progress < 99)
            setProgress(progress + 1);
    }
    Dialogs::information(this, QStringLiteral("Restart Device"),
                         QStringLiteral("Please remove the power cable and re-insert it."));
    setProgress(100);
    Dialogs::information(this, QStringLiteral("Update Complete"), QStringLiteral("Device Updated Successfully!!"));
    ui->statusBar->clearMessage();
    disconnectTftpServer();
}

// Caltor page: the firmware entry of the update router (which images the unpacked package holds,
// which update runs, how the unit's link is prepared) and the MCU update, whose image travels on
// a USB drive that the unit installs from when told "#FIRMWARE_UPDATE".
#include "caltor.h"

#include "delay.h"
#include "dialogs.h"
#include "portaccess.h"
#include "removabledrives.h"
#include "ui_mainui.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QLabel>
#include <QNetworkInterface>
#include <QProgressBar>
#include <QSerialPort>
#include <QSet>
#include <QStatusBar>
#include <QTcpSocket>

#include <unistd.h>

namespace {
const QString kFirmwareTitle = QStringLiteral("Firmware update");

bool askOk(QWidget* parent, const QString& text)
{
    return Dialogs::question(parent, kFirmwareTitle, text, QMessageBox::Ok | QMessageBox::Cancel)
        == QMessageBox::Ok;
}
} // namespace

QStringList Caltor::pcAddresses() const
{
    if (m_pcAddressesSet)
        return m_testPcAddresses;
    // The machine's own interfaces: resolving the host name gives 127.0.1.1 on Debian.
    QStringList addresses;
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            addresses.append(address.toString());
    }
    return addresses;
}

void Caltor::initiateCALTORFirmwareUpdate()
{
    baudIndex = 0;
    const bool hasAddress = !ipAddress.isEmpty();

    QFileInfo mcuImage;
    const QDir folder(firmwareFolder());
    for (const QFileInfo& entry : folder.entryInfoList({QStringLiteral("*.bin")}, QDir::Files, QDir::Unsorted)) {
        if (entry.fileName().startsWith(QLatin1String("CALTORV")))
            mcuImage = entry;
        else if (entry.fileName().startsWith(QLatin1String("KAVRELL")))
            tcpFirmwareFile = entry;
    }
    const bool hasMcu = !mcuImage.filePath().isEmpty();
    const bool hasTcp = !tcpFirmwareFile.filePath().isEmpty() && tcpFirmwareFile.exists();
    if (!hasMcu && !hasTcp) {
        Dialogs::warning(this, kFirmwareTitle,
                         QStringLiteral("The firmware package holds no Caltor image (CALTORV*.bin or KAVRELL*.bin) in "
                                        "%1.")
                             .arg(QDir::toNativeSeparators(folder.path())));
        return;
    }
    const QStringList addresses = pcAddresses();

    bool mcuFlow = hasMcu;
    if (hasMcu && hasTcp) {
        bool ok = false;
        const QString module = Dialogs::getItem(this, kFirmwareTitle, QStringLiteral("Select module to be updated:"),
                                                {QStringLiteral("MCU"), QStringLiteral("TCP")}, 0, false, &ok);
        if (!ok)
            return;
        mcuFlow = module == QLatin1String("MCU");
    }

    if (mcuFlow) {
        if (!hasAddress && !comPortSelection())
            return;
        initiate_MCU_FirmwareUpdate(mcuImage);
        return;
    }

    const auto unitLost = [this] {
        Dialogs::warning(this, QStringLiteral("Update Failed"),
                         PortAccess::explained(
                             QStringLiteral("Either Device is not connected or wrong Com-Port is selected."), *serialPort));
    };
    if (!comPortSelection())
        return;
    if (!baudCheck()) {
        unitLost();
        return;
    }
    if (baudIndex != 2) {
        // Code 2 is the unit's code for 57600 baud, the rate of the module's boot console.
        sendSerialCommand(QStringLiteral("#SET_RS232_BAUD 2"));
        delay(500);
        serialPort->setBaudRate(57600);
        if (!openPort()) {
            // The link went while the unit changed its rate (unplugged, powered off): the search
            // message must not stay as if it still ran.
            qDebug() << "Caltor: the port did not reopen at 57600:" << serialPort->errorString();
            showStatus(QStringLiteral("Update Failed!!"), true);
            unitLost();
            return;
        }
    }
    if (addresses.isEmpty()) {
        ipAddressSelection(addresses); // says that the PC has no address
        return;
    }
    if (!ipAddressSelection(addresses))
        return;
    if (!hasAddress) {
        showDeviceInfoDialog();
        return;
    }
    initiate_TCP_FirmwareUpdate(tcpFirmwareFile);
    revertBaud();
}

bool Caltor::connectTelnet()
{
    delete tcpSocket;
    tcpSocket = new QTcpSocket(this);
    connect(tcpSocket, &QTcpSocket::readyRead, this, &Caltor::readTCPData);
    tcpSocket->connectToHost(ipAddress, quint16(tcpPort));
    for (int waited = 0; waited < 1000 && tcpSocket->state() != QAbstractSocket::ConnectedState; waited += 50) {
        if (tcpSocket->state() == QAbstractSocket::UnconnectedState)
            break; // refused: no point waiting out the second
        delay(50);
    }
    return tcpSocket->state() == QAbstractSocket::ConnectedState;
}

void Caltor::tcpDisconnect()
{
    if (tcpSocket && tcpSocket->state() == QAbstractSocket::ConnectedState) {
        tcpConnected = 0;
        tcpSocket->disconnectFromHost();
    }
}

// Asks for an empty drive until one appears that was not there before; the last new one listed
// is taken. Empty when the user cancels.
QString Caltor::attachNewDrive()
{
    const QStringList before = RemovableDriveLister::drivePaths();
    const QSet<QString> known(before.begin(), before.end());
    while (true) {
        if (!askOk(this, QStringLiteral("Please connect empty USB drive(FAT format) to the PC.\nSelect OK to continue")))
            return QString();
        QString found;
        for (const QString& path : RemovableDriveLister::drivePaths()) {
            if (!known.contains(path))
                found = path;
        }
        if (!found.isEmpty())
            return found;
    }
}

// Replaces any file at `target` with the image, then checks the size on the drive and flushes
// it to the device, so a full or failing drive never reaches the unit.
bool Caltor::copyImageToDrive(const QString& source, const QString& target, QString* error)
{
    if (QFile::exists(target) && !QFile::remove(target)) {
        *error = QStringLiteral("the older file on the drive cannot be replaced");
        return false;
    }
    if (!QFile::copy(source, target)) {
        *error = QStringLiteral("the copy failed");
        return false;
    }
    QFile copy(target);
    if (!copy.open(QIODevice::ReadWrite) || copy.size() != QFileInfo(source).size()) {
        *error = QStringLiteral("the copy on the drive is incomplete");
        return false;
    }
    if (!copy.flush() || ::fsync(copy.handle()) != 0) {
        *error = QStringLiteral("the drive did not take the data");
        return false;
    }
    return true;
}

void Caltor::closingSteps()
{
    if (serialPort->isOpen())
        serialPort->close();
    ui->updateBar_2->setValue(0);
    ui->updateBarNumber_2->setText(QStringLiteral("0%"));
    ui->statusBar->clearMessage();
    tcpDisconnect();
}

void Caltor::initiate_MCU_FirmwareUpdate(const QFileInfo& image)
{
    bool linked = false;
    if (!ipAddress.isEmpty()) {
        if (connectTelnet()) {
            tcpConnected = 1;
            linked = true;
        } else {
            tcpConnected = 0;
            showStatus(QStringLiteral("TCP connection Failed. Activating Serial connection."), true);
            ipAddress.clear();
            // The unit was known by its address only: the serial port is still to be chosen.
            if (portName.isEmpty() && !comPortSelection())
                return;
        }
    } else {
        tcpConnected = 0;
    }
    if (!linked && !baudCheck()) {
        Dialogs::warning(this, QStringLiteral("Update Failed"),
                         QStringLiteral("Either Device is not connected or a wrong Com-Port is selected!!"));
        return;
    }

    const QString drive = attachNewDrive();
    if (drive.isEmpty())
        return;
    QString error;
    if (!copyImageToDrive(image.filePath(), drive + image.fileName(), &error)) {
        Dialogs::critical(this, kFirmwareTitle,
                          QStringLiteral("Copying the firmware to the USB drive failed: %1.\nPlease check the drive "
                                         "and try again.")
                              .arg(error));
        closingSteps();
        return;
    }
    if (!askOk(this, QStringLiteral("Please disconnect the USB drive from the PC(using the safely remove "
                                    "option).\nSelect OK to continue"))
        || !askOk(this, QStringLiteral("Please connect the USB drive to the unit's rear panel USB port.\nSelect OK "
                                       "to continue"))) {
        closingSteps();
        return;
    }

    const QString command = QStringLiteral("#FIRMWARE_UPDATE");
    if (tcpConnected == 1)
        sendTCPCommand(command);
    else
        sendSerialCommand(command);
    showStatus(QStringLiteral("Updating MCU..."), false);
    ui->updateBar_2->setRange(0, 100);
    for (int i = 0; i <= 40; ++i) {
        const double percent = i * 2.5;
        ui->updateBar_2->setValue(int(percent));
        ui->updateBarNumber_2->setText(QString::number(percent, 'g', 6) + QLatin1Char('%'));
        delay(500);
    }
    ui->updateBar_2->setValue(100);
    ui->updateBarNumber_2->setText(QStringLiteral("100%"));

    // Only what the unit said is reported: its answer to the command means the update started.
    const QString answer = tcpConnected == 1 ? tcpResponse : serialResponse;
    if (!answer.trimmed().isEmpty())
        Dialogs::information(this, kFirmwareTitle,
                             QStringLiteral("The unit started the firmware update from the USB drive.\nPlease "
                                            "disconnect the USB drive from the unit once it has finished."));
    else
        Dialogs::warning(this, kFirmwareTitle,
                         QStringLiteral("The unit did not answer the firmware update command.\nPlease check that the "
                                        "USB drive is in the unit's rear panel USB port and try again."));
    closingSteps();
}

#include "upgradeworker.h"

#include "delay.h"
#include "intelhex.h"
#include "portaccess.h"
#include "regularfile.h"
#include "timescale.h"
#include "ymodem.h"

#include <QDebug>
#include <QDeadlineTimer>
#include <QDir>
#include <QSerialPort>
#include <QTextCodec>

namespace {

// The unit's console bytes as text, in the system's encoding.
QString localText(const QByteArray& bytes)
{
    return QTextCodec::codecForLocale()->toUnicode(bytes);
}

// What the page's log shows for a transfer that stopped.
QString transferFailure(const YmodemResult& result)
{
    using Stage = YmodemResult::Stage;
    // The unit acknowledged the whole file, then its link ended before it said it was written:
    // neither a refusal nor a time-out, and not known to have failed.
    if (result.delivered && result.stage == Stage::Confirmation && !result.warning.isEmpty())
        return QStringLiteral("The unit took the whole file, but its link ended before it confirmed the "
                              "update. Please check the unit.");
    switch (result.stage) {
    case Stage::Header:
    case Stage::Data:
    case Stage::EndOfFile:
    case Stage::Closing: return QStringLiteral("NAK/Time Out!!");
    case Stage::Confirmation: return QStringLiteral("File upload has failed! please contact Velmo's support");
    case Stage::Source: return QStringLiteral("Can't read file!!");
    default: return QStringLiteral("Time Out!!");
    }
}

// Received bytes already taken are dropped once this many have gathered.
constexpr int ConsumedLimit = 1024 * 1024;

} // namespace

// The engine's view of the worker's port: writes go straight out, reads take from rxBuffer and
// wait in delay(), which runs this thread's events and so delivers readyRead.
class WorkerChannel : public YmodemChannel
{
public:
    explicit WorkerChannel(UpgradeWorker& worker)
        : m_worker(worker)
    {
    }
    bool write(const QByteArray& bytes) override { return m_worker.writeBytes(bytes); }
    int readByte(const QDeadlineTimer& deadline) override
    {
        for (;;) {
            if (m_worker.rxPos < m_worker.rxBuffer.size())
                return quint8(m_worker.rxBuffer.at(m_worker.rxPos++));
            if (m_worker.linkLost())
                return Closed;
            if (deadline.hasExpired())
                return Timeout;
            delay(50);
        }
    }
    void pause(int ms) override { delay(ms); }

private:
    UpgradeWorker& m_worker;
};

UpgradeWorker::UpgradeWorker(QString portName, FwProduct product, QString productName)
    : QObject(nullptr)
    , portName(std::move(portName))
    , product(std::move(product))
    , productName(std::move(productName))
{
}

UpgradeWorker::~UpgradeWorker()
{
    delete serialPort;
}

void UpgradeWorker::slot_newDataReceived()
{
    if (!serialPort)
        return;
    const QByteArray chunk = serialPort->readAll();
    if (chunk.isEmpty())
        return;
    if (rxPos > ConsumedLimit) {
        rxBuffer.remove(0, rxPos);
        rxPos = 0;
    }
    rxBuffer.append(chunk);
    emit updateConsole(localText(chunk));
}

bool UpgradeWorker::createPort()
{
    serialPort = new QSerialPort(this);
    connect(serialPort, &QSerialPort::readyRead, this, &UpgradeWorker::slot_newDataReceived);
    // A unit unplugged mid-transfer: the waits end at once instead of at their time-outs.
    connect(serialPort, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::ResourceError || e == QSerialPort::ReadError)
            portGone = true;
    });
    // Nothing to install is never a success.
    if (product.files.isEmpty()) {
        fail(QStringLiteral("No firmware file in the package!!"));
        return false;
    }
    return true;
}

bool UpgradeWorker::openPort()
{
    if (serialPort->isOpen())
        serialPort->close();
    portGone = false;
    serialPort->setPortName(portName);
    if (!serialPort->open(QIODevice::ReadWrite)) {
        qDebug() << "UpgradeWorker::openPort:" << portName << serialPort->errorString();
        return false;
    }
    if (product.baudRate == QLatin1String("19200"))
        serialPort->setBaudRate(QSerialPort::Baud19200);
    else if (product.baudRate == QLatin1String("57600"))
        serialPort->setBaudRate(QSerialPort::Baud57600);
    if (product.dataBits == QLatin1String("8"))
        serialPort->setDataBits(QSerialPort::Data8);
    if (product.parity == QLatin1String("N"))
        serialPort->setParity(QSerialPort::NoParity);
    if (product.stopBits == QLatin1String("1"))
        serialPort->setStopBits(QSerialPort::OneStop);
    if (product.flowControl == QLatin1String("OFF"))
        serialPort->setFlowControl(QSerialPort::NoFlowControl);
    serialPort->clearError();
    return true;
}

void UpgradeWorker::closePort()
{
    if (serialPort && serialPort->isOpen())
        serialPort->close();
}

void UpgradeWorker::fail(const QString& text)
{
    qDebug() << "UpgradeWorker:" << text;
    closePort();
    emit error(text);
}

bool UpgradeWorker::linkLost() const
{
    return portGone || !serialPort || !serialPort->isOpen();
}

void UpgradeWorker::clearReceived()
{
    rxBuffer.clear();
    rxPos = 0;
}

bool UpgradeWorker::writeBytes(const QByteArray& bytes)
{
    if (linkLost() || serialPort->write(bytes) != bytes.size()) {
        qDebug() << "UpgradeWorker: putonechar ERROR, bytes not written:" << bytes.size();
        return false;
    }
    // Bounded: a unit that holds the line (flow control) must not hold the worker for ever.
    const QDeadlineTimer limit(TimeScale::ms(5000));
    while (serialPort->bytesToWrite() > 0 && !limit.hasExpired() && !linkLost())
        serialPort->waitForBytesWritten(50);
    return serialPort->bytesToWrite() == 0;
}

void UpgradeWorker::sendPort(QString text, bool crlf)
{
    if (crlf)
        text += QStringLiteral("\r\n");
    QByteArray bytes = text.toUtf8();
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    qDebug() << "UpgradeWorker::sendPort r =" << writeBytes(bytes);
}

void UpgradeWorker::putonechar(int c)
{
    writeBytes(QByteArray(1, char(c)));
}

int UpgradeWorker::getonechar(int timeoutMs)
{
    WorkerChannel channel(*this);
    const int b = channel.readByte(QDeadlineTimer(TimeScale::ms(timeoutMs)));
    return b < 0 ? -1 : b;
}

bool UpgradeWorker::readFirmware(const FwFile& file, QByteArray* bytes)
{
    const QString path = product.directory + QDir::separator() + file.fileName;
    const RegularFileRead read = readRegularFile(path, MaxFirmwareBytes);
    if (!read.ok()) {
        qDebug() << "UpgradeWorker:" << read.error;
        fail(QStringLiteral("Can't open file!!"));
        return false;
    }
    *bytes = read.bytes;
    return true;
}

void UpgradeWorker::process()
{
    if (productName.contains(QLatin1String("Pelmorr")) || productName.contains(QLatin1String("Rindale"))) {
        processPELMORR();
        return;
    }
    if (!createPort())
        return;
    while (!product.files.isEmpty()) {
        if (!uploadFile(product.files.takeFirst()))
            return;
    }
    closePort();
    emit finished();
}

bool UpgradeWorker::uploadFile(const FwFile& file)
{
    emit updateMessage(QStringLiteral("Uploading file: ") + file.fileName);
    clearReceived();
    // Without a text to wait for, success could not be told from a unit that printed nothing.
    if (file.successMsg.isEmpty()) {
        fail(QStringLiteral("The package gives no success message for %1!!").arg(file.fileName));
        return false;
    }
    QByteArray data;
    if (!readFirmware(file, &data))
        return false;
    if (Ymodem::headerName(file.fileName, data.size()) != file.fileName) {
        fail(QStringLiteral("File name too long for the transfer!!"));
        return false;
    }
    emit updateProgressBar(0, data.size());
    if (!openPort()) {
        fail(PortAccess::explained(QStringLiteral("Can't open port!!"), *serialPort));
        return false;
    }
    delay(3000);
    for (const FwCommand& command : file.commands) {
        sendPort(command.text, command.crlf);
        delay(command.delayMillis);
    }

    YmodemSendOptions options = YmodemSendOptions::serialFirmware(QTextCodec::codecForLocale()->fromUnicode(file.successMsg));
    options.progress = [this](YmodemResult::Stage stage, qint64 sent, qint64 total) {
        if (stage == YmodemResult::Stage::Data)
            emit updateProgressBar(int(sent), int(total));
    };
    WorkerChannel channel(*this);
    const YmodemResult result = YmodemSender(channel, options).send(file.fileName, data);
    if (!result.ok()) {
        qDebug() << "UpgradeWorker: transfer of" << file.fileName << "stopped:" << result.reason;
        fail(transferFailure(result));
        return false;
    }
    qDebug() << "UpgradeWorker: success message found!";

    delay(15000);
    if (file.downloadDelayMillis > 0) {
        emit updateMessage(QStringLiteral("Please wait. Processing. "));
        for (qint64 elapsed = 0; elapsed <= file.downloadDelayMillis; elapsed += 1000) {
            emit updateProgressBar(int(elapsed), file.downloadDelayMillis);
            delay(1000);
        }
    }
    return true;
}

// ---- Intel HEX boot loader ------------------------------------------------------------------

void UpgradeWorker::processPELMORR()
{
    // The boot loader's line is fixed, whatever the package says.
    product.baudRate = QStringLiteral("57600");
    product.dataBits = QStringLiteral("8");
    product.parity = QStringLiteral("N");
    product.stopBits = QStringLiteral("1");
    product.flowControl = QStringLiteral("OFF");
    if (!createPort())
        return;
    const FwFile file = product.files.first(); // the boot loader takes one image
    emit updateMessage(QStringLiteral("Uploading file: ") + file.fileName);
    clearReceived();

    // The image is checked whole before the unit is touched.
    QByteArray text;
    if (!readFirmware(file, &text))
        return;
    const IntelHex::Result hex = IntelHex::parse(text, IntelHex::AddressModel::bootLoader64K());
    if (!hex.ok || hex.image.bytes.isEmpty()) {
        fail(QStringLiteral("Invalid HEX file!! ") + (hex.ok ? QStringLiteral("it holds no data") : hex.error));
        return;
    }
    const QByteArray& image = hex.image.bytes;
    qDebug() << "UpgradeWorker: size" << image.size();
    // The last partial block is sent too, padded with 0xFF.
    const int blocks = (image.size() + BootBlockSize - 1) / BootBlockSize;

    if (!openPort()) {
        fail(PortAccess::explained(QStringLiteral("Can't open port!!"), *serialPort));
        return;
    }
    bool synced = false;
    for (int attempt = 0; attempt < 20 && !synced; ++attempt) {
        qDebug() << "Command 0x81 let EP into boot";
        putonechar(0x81);
        delay(50);
        synced = rxBuffer.contains(char(0x81));
    }
    if (!synced) {
        fail(QStringLiteral("Time Out!!"));
        return;
    }
    // Drop what the sync brought, also the answers to the last tries still on their way.
    for (int round = 0; round < 10; ++round) {
        const int seen = rxBuffer.size();
        delay(200);
        if (rxBuffer.size() == seen)
            break;
    }
    clearReceived();

    emit updateProgressBar(0, blocks);
    for (int n = 0; n < blocks; ++n) {
        if (!flashAddr_Setting(0x84, quint8(2 * n), 0x00)) {
            fail(QStringLiteral("Set addr failed!"));
            return;
        }
        if (!bank0_Write(IntelHex::block(image, n * BootBlockSize, BootBlockSize), n)) {
            fail(QStringLiteral("Write flash failed!"));
            return;
        }
        emit updateProgressBar(n, blocks);
    }
    emit updateProgressBar(blocks, blocks);
    closePort();
    emit finished();
}

bool UpgradeWorker::flashAddr_Setting(unsigned char command, unsigned char address, unsigned char high)
{
    const char bytes[] = {char(command), char(address), char(high)};
    const QByteArray sent(bytes, 3);
    writeBytes(sent);
    // An answer to one of the last sync tries may still come before the echo: the echo starts
    // with 0x84, so a 0x81 in front of it can only be such a late answer.
    int b = getonechar(1000);
    while (b == 0x81 && command != 0x81)
        b = getonechar(1000);
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            b = getonechar(1000);
        if (b != quint8(sent.at(i)))
            return false;
    }
    qDebug() << "flashAddr_Setting end";
    return true;
}

bool UpgradeWorker::bank0_Write(const QByteArray& block, int index)
{
    qDebug() << "bank0_Write Sending block" << index;
    putonechar(0x86);
    writeBytes(block);
    getonechar(1000); // the first answer byte is not examined
    if (getonechar(1000) != 0x5A)
        return false;
    qDebug() << "bank0_Write end";
    return true;
}

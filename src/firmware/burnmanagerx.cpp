#include "burnmanagerx.h"

#include "delay.h"
#include "intelhex.h"
#include "portaccess.h"
#include "regularfile.h"
#include "timescale.h"
#include "usbbus.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QStringList>
#include <QTextStream>
#include <QtEndian>

#include <cerrno>
#include <cstring>

namespace {

const quint8 kEnterProgramming = 0x94;
const quint8 kPrepare = 0x8C;
const quint8 kReady = 0x93;
const quint8 kWriteBlock = 0x8E;
const quint8 kCloseOne = 0x8F;
const quint8 kCloseTwo = 0x90;
const int kBulkOut = 0x02;
const int kBulkIn = 0x81;
const int kReplySize = 64;
const int kReplyCommandByte = 7;

const int kMacRequest = 0x2D;
const int kMacOut = 0x40;
const int kMacAckIn = 0xC2;
const quint8 kAck = 0xE3;
const quint8 kSectionReceiver = 0x96;
const quint8 kSectionSender = 0x97;
const quint8 kSectionCommon = 0xFF;
const char kMagic[] = "\xF3\x5F\x12\x01\x35";
const int kStartPacketSize = 36;

const int kRetryPauseMs = 50;
const int kEventSliceMs = 50;

const QString kNoDevice = QStringLiteral("Problem connecting to device.");
const QString kFileError = QStringLiteral("Error with firmware file.");
const QString kHintInfoButton = QStringLiteral(
    "Please put the device into Programming mode and click install.\n\n"
    "To do that connect the device while holding the info button.\n\n");
const QString kHintInputButton = QStringLiteral(
    "Please put the device into Programming mode and click install.\n\n"
    "To do that connect the device while holding the input button.\n\n");
const QString kNotReady = QStringLiteral("The unit did not get ready for the update. Please reboot unit and try again.");
const QString kBlockFailed = QStringLiteral("Update failed at address 0x%1. Please reboot unit and try again.");
const QString kUnitGone = QStringLiteral("The unit was disconnected during the update.");
const QString kSuccess = QStringLiteral("Update Successful. Please reboot unit.");
const QString kOpenFail = QStringLiteral("Open File Fail.");
const QString kMallocError = QStringLiteral("Malloc Error.");
const QString kRebootRetry = QStringLiteral("Please reboot unit and try again.");
const QString kNoAck = QStringLiteral("not nBytes==1 && buffer[0]==REQUIRED_DATA_BYTE");
const QString kShortHeader = QStringLiteral("nBytes!=33");
const QString kMacFailed = QStringLiteral("Update MAC failed. Please reboot unit and try again.");
const QString kMacSuccess = QStringLiteral("Update MAC Successful.");
const QString kMacSuccessReplug = QStringLiteral("Update MAC Successful. Please disconnect and connect the unit.");

bool isInfoButtonUnit(const QString& unitName)
{
    return unitName == QLatin1String("Zornith") || unitName == QLatin1String("Zornith-EU");
}

void letEventsRun()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, kEventSliceMs);
}

int timeout()
{
    return TimeScale::ms(CBurnManagerX::kTransferTimeoutMs);
}

// The reader's report goes to standard output, one line each.
void hexReport(const QString& line)
{
    QTextStream out(stdout);
    out << line << '\n';
    out.flush();
}

const QString kHexLog = QStringLiteral("Open hex file     -> ");
const QString kHexLogFault = QStringLiteral("Open hex file      -> ");

// A record's type, from its two digits after the colon, byte count and address; -1 when they
// are no hexadecimal byte.
int recordType(const QByteArray& line)
{
    bool ok = false;
    const int type = line.mid(7, 2).toInt(&ok, 16);
    return ok && line.size() >= 9 ? type : -1;
}

// The unit's tools write one record per line, each closed by its line break, and nothing after
// the end record. A blank line among the records, anything after the end record or a last line
// without its break marks a file cut or edited by hand. Returns -1 when the layout holds, else
// the number (from 0) of the offending line; `beforeEnd` tells a blank line among the records.
int lineLayoutFault(const QByteArray& text, bool* beforeEnd)
{
    *beforeEnd = false;
    const QList<QByteArray> lines = text.split('\n');
    // split() leaves what follows the last line break as the last entry: empty when the last
    // line was closed.
    if (!lines.last().isEmpty())
        return lines.size() - 1;
    int lastRecord = -1;
    for (int i = 0; i < lines.size() - 1; ++i) {
        if (!lines.at(i).trimmed().isEmpty())
            lastRecord = i;
    }
    for (int i = 0; i < lines.size() - 1; ++i) {
        if (lines.at(i).trimmed().isEmpty()) {
            *beforeEnd = i < lastRecord;
            return i;
        }
    }
    return -1;
}

QString hex5(quint32 value)
{
    return QStringLiteral("%1").arg(value, 5, 16, QLatin1Char('0'));
}

} // namespace

CBurnManagerX::CBurnManagerX() = default;
CBurnManagerX::~CBurnManagerX() = default;

void CBurnManagerX::message(const QString& text)
{
    if (m_message)
        m_message(text);
}

void CBurnManagerX::progress(int percent)
{
    if (m_progress)
        m_progress(percent);
}

bool CBurnManagerX::isReceiverUnit(const QString& unitName)
{
    static const QStringList receivers{QStringLiteral("Sundrel"), QStringLiteral("Sundrel-EU"),
                                       QStringLiteral("Varrosk"), QStringLiteral("Varrosk-EU")};
    return receivers.contains(unitName);
}

quint8 CBurnManagerX::xorChecksum(const quint8* begin, const quint8* end)
{
    quint8 x = 0;
    for (const quint8* p = begin; p < end; ++p)
        x ^= *p;
    return x;
}

QByteArray CBurnManagerX::commandPacket(quint8 command, const QByteArray& payload)
{
    Q_ASSERT(payload.size() <= 255);
    QByteArray packet;
    packet.reserve(5 + payload.size());
    packet.append(char(0xAA));
    packet.append(char(0xBB));
    packet.append(char(command));
    packet.append(char(payload.size()));
    packet.append(payload);
    const auto* p = reinterpret_cast<const quint8*>(packet.constData());
    packet.append(char(xorChecksum(p, p + packet.size())));
    return packet;
}

std::unique_ptr<UsbHandle> CBurnManagerX::openUnit()
{
    // The last matching device of the walk is the one used.
    UsbBackend* backend = UsbBackend::current();
    const QList<UsbDeviceInfo> devices = backend->devices();
    for (int i = devices.size() - 1; i >= 0; --i) {
        if (devices.at(i).vendorId == kVendorId && devices.at(i).productId == kProductId)
            return backend->open(devices.at(i));
    }
    return nullptr;
}

// ---- "APP" firmware --------------------------------------------------------------------------

bool CBurnManagerX::openHexFile(const char* path)
{
    m_hexImage.clear();
    m_hexRecords.clear();
    m_hexMinAddress = kFlashEnd;
    m_hexMaxAddress = 0;

    const RegularFileRead read = readRegularFile(QFile::decodeName(path), kMaxHexFileBytes);
    if (!read.ok()) {
        qDebug() << "CBurnManagerX::openHexFile:" << read.error;
        return false;
    }
    IntelHex::AddressModel model;
    model.windowStart = kFlashStart;
    model.windowSize = kFlashEnd - kFlashStart;
    model.allowStartSegment = false;
    model.requireEndOfFile = true;
    const IntelHex::Result hex = IntelHex::parse(read.bytes, model);
    if (!hex.ok) {
        if (hex.line == 0) {
            hexReport(kHexLogFault + QStringLiteral("Error, missing EOF record"));
        } else {
            const QByteArray line = read.bytes.split('\n').value(hex.line - 1);
            const int type = recordType(line);
            const QString number = QString::number(hex.line - 1);
            if (!line.startsWith(':'))
                hexReport(kHexLog + QStringLiteral("Error,missing colon (line #") + number + QLatin1Char(')'));
            else if (type == 3 || type > 5)
                hexReport(kHexLogFault + QStringLiteral("Error,wrong record type (line #") + number + QLatin1Char(')'));
            else
                qDebug() << "CBurnManagerX::openHexFile:" << hex.error;
        }
        return false;
    }
    bool beforeEnd = false;
    const int badLine = lineLayoutFault(read.bytes, &beforeEnd);
    if (badLine >= 0) {
        if (beforeEnd)
            hexReport(kHexLog + QStringLiteral("Error,missing colon (line #%1)").arg(badLine));
        else
            qDebug() << "CBurnManagerX::openHexFile: line" << badLine << "after the end record or without its line break";
        return false;
    }
    // A file without data would leave the unit prepared and empty while reporting success.
    if (hex.image.records.isEmpty()) {
        qDebug() << "CBurnManagerX::openHexFile: no data records";
        return false;
    }
    for (auto it = hex.image.records.cbegin(); it != hex.image.records.cend(); ++it) {
        if (it.value() > kMaxRecordLength) {
            qDebug() << "CBurnManagerX::openHexFile:"
                     << QStringLiteral("the record at 0x%1 holds %2 bytes, a block carries at most %3")
                            .arg(it.key(), 0, 16)
                            .arg(it.value())
                            .arg(kMaxRecordLength);
            return false;
        }
    }
    m_hexImage = hex.image.bytes;
    m_hexRecords = hex.image.records;
    m_hexMinAddress = hex.image.minAddress;
    m_hexMaxAddress = hex.image.maxAddress;
    const quint32 length = m_hexMaxAddress - m_hexMinAddress;
    hexReport(kHexLog + QStringLiteral("Start address: 0x") + hex5(m_hexMinAddress));
    hexReport(kHexLog + QStringLiteral("End   address: 0x") + hex5(m_hexMaxAddress));
    hexReport(kHexLog + QStringLiteral("Length       : 0x%1( %2 bytes)").arg(hex5(length)).arg(length));
    return true;
}

QByteArray CBurnManagerX::blockPayload(quint32 address) const
{
    const int count = m_hexRecords.value(address);
    QByteArray payload(8, '\0');
    payload[0] = char((count + 3) / 4);
    qToLittleEndian<quint32>(address, payload.data() + 4);
    payload.append(IntelHex::block(m_hexImage, int(address - kFlashStart), count));
    return payload;
}

bool CBurnManagerX::sendUsbCommand(quint8 command, quint32 address, UsbHandle* handle)
{
    QByteArray payload;
    if (command == kWriteBlock) {
        if (!m_hexRecords.contains(address))
            return false;
        payload = blockPayload(address);
    }
    const int written = handle->bulkWrite(kBulkOut, commandPacket(command, payload), timeout());
    if (written == -ENODEV) {
        m_unitGone = true;
        return false;
    }
    QByteArray reply;
    const int n = handle->bulkRead(kBulkIn, &reply, kReplySize, timeout());
    if (n == -ENODEV)
        m_unitGone = true;
    // A reply too short to hold the command byte is no answer.
    return n > kReplyCommandByte && reply.size() > kReplyCommandByte && quint8(reply.at(kReplyCommandByte)) == command;
}

bool CBurnManagerX::readReady(UsbHandle* handle)
{
    for (int i = 0; i < kReadyReads; ++i) {
        QByteArray reply;
        const int n = handle->bulkRead(kBulkIn, &reply, kReplySize, timeout());
        if (n > kReplyCommandByte && quint8(reply.at(kReplyCommandByte)) == kReady)
            return true;
        if (n == -ENODEV) {
            m_unitGone = true;
            return false;
        }
        delay(kRetryPauseMs);
    }
    return false;
}

bool CBurnManagerX::burnUsbBulk(const std::string& file, const QString& unitName)
{
    m_unitGone = false;
    std::unique_ptr<UsbHandle> unit = openUnit();
    if (!unit) {
        message(PortAccess::explainedDenial(PortAccess::Kind::Usb, kNoDevice));
        return false;
    }
    if (!openHexFile(file.c_str())) {
        message(kFileError);
        unit.reset();
        return false;
    }
    // A claim the unit refuses shows in the first command.
    unit->claimInterface(0);
    // The unit stays claimed until the user has read the outcome.
    auto finish = [&](bool ok, const QString& text) {
        message(m_unitGone && !ok ? kUnitGone : text);
        unit->releaseInterface(0);
        unit.reset();
        return ok;
    };

    if (!sendUsbCommand(kEnterProgramming, 0, unit.get()))
        return finish(false, isInfoButtonUnit(unitName) ? kHintInfoButton : kHintInputButton);
    letEventsRun();

    bool prepared = false;
    for (int i = 0; i < kCommandTries && !prepared && !m_unitGone; ++i) {
        prepared = sendUsbCommand(kPrepare, 0, unit.get());
        if (!prepared)
            delay(kRetryPauseMs);
    }
    if (!prepared || !readReady(unit.get()))
        return finish(false, kNotReady);
    letEventsRun();

    // A block the unit does not confirm ends the burn: the closing commands would make it run
    // a half-written image.
    const int blocks = m_hexRecords.size();
    int sent = 0;
    for (auto it = m_hexRecords.cbegin(); it != m_hexRecords.cend(); ++it) {
        if (!sendUsbCommand(kWriteBlock, it.key(), unit.get()))
            return finish(false, kBlockFailed.arg(QStringLiteral("%1").arg(it.key(), 8, 16, QLatin1Char('0')).toUpper()));
        ++sent;
        progress(sent * 100 / blocks);
        letEventsRun();
    }

    sendUsbCommand(kCloseOne, 0, unit.get());
    sendUsbCommand(kCloseTwo, 0, unit.get());
    return finish(true, kSuccess);
}

// ---- "MAC" firmware --------------------------------------------------------------------------

CBurnManagerX::MacLayout CBurnManagerX::scanMacFile(const QByteArray& file)
{
    MacLayout layout;
    auto fail = [&layout](const QString& error) {
        layout.error = error;
        return layout;
    };
    const qint64 size = file.size();
    const auto* bytes = reinterpret_cast<const quint8*>(file.constData());
    qint64 pos = 0;
    while (pos < size) {
        if (size - pos < kMacHeaderSize)
            return fail(QStringLiteral("the section header at %1 is cut off").arg(pos));
        if (std::memcmp(bytes + pos, kMagic, 5) != 0)
            return fail(QStringLiteral("no section starts at %1").arg(pos));
        const quint8 type = bytes[pos + 5];
        MacSection section;
        section.offset = pos;
        section.length1 = qFromLittleEndian<quint32>(bytes + pos + 25);
        if (type == kSectionCommon)
            section.length2 = qFromLittleEndian<quint32>(bytes + pos + 29);
        const qint64 payload = qint64(section.length1) + qint64(section.length2);
        if (payload > size - pos - kMacHeaderSize)
            return fail(QStringLiteral("the section at %1 claims %2 payload bytes, the file holds %3 after its header")
                            .arg(pos)
                            .arg(payload)
                            .arg(size - pos - kMacHeaderSize));
        if (type == kSectionReceiver || type == kSectionSender) {
            (type == kSectionReceiver ? layout.receiver : layout.sender) = section;
        } else if (type == kSectionCommon) {
            layout.common = section;
        }
        pos += kMacHeaderSize + payload;
    }
    if (!layout.common.found())
        return fail(QStringLiteral("the file has no 0xFF section"));
    // Each part of the 0xFF section goes in one transfer.
    if (layout.common.length1 > quint32(kMacChunk) || layout.common.length2 > quint32(kMacChunk))
        return fail(QStringLiteral("the 0xFF section's parts exceed %1 bytes").arg(kMacChunk));
    layout.ok = true;
    return layout;
}

QByteArray CBurnManagerX::macStartPacket(const QByteArray& file, qint64 sectionOffset)
{
    QByteArray packet = QByteArray::fromHex("aabb7b1f0200");
    packet.append(file.mid(int(sectionOffset) + 6, 29));
    packet.append(QByteArray(kStartPacketSize - 1 - packet.size(), '\0'));
    const auto* p = reinterpret_cast<const quint8*>(packet.constData());
    packet.append(char(xorChecksum(p, p + packet.size())));
    return packet;
}

int CBurnManagerX::readAck(UsbHandle* handle)
{
    QByteArray ack;
    const int n = handle->controlRead(kMacAckIn, kMacRequest, 0, 0, &ack, 1, timeout());
    if (n == -ENODEV) {
        m_unitGone = true;
        return -1;
    }
    return n == 1 && ack.size() == 1 && quint8(ack.at(0)) == kAck ? 1 : 0;
}

bool CBurnManagerX::ackWithin(UsbHandle* handle, int polls)
{
    for (int i = 0; i < polls; ++i) {
        const int ack = readAck(handle);
        if (ack != 0)
            return ack > 0;
        delay(kRetryPauseMs);
    }
    return false;
}

CBurnManagerX::Step CBurnManagerX::sendAcknowledged(UsbHandle* handle, int length, const QString& shortText)
{
    const int n = handle->controlWrite(kMacOut, kMacRequest, 0, 0, m_transfer.left(length), timeout());
    if (n == -ENODEV) {
        m_unitGone = true;
        return Step::Gone;
    }
    if (n != length) {
        if (!shortText.isEmpty())
            message(shortText);
        return Step::Retry;
    }
    const int ack = readAck(handle);
    return ack > 0 ? Step::Done : ack < 0 ? Step::Gone : Step::Retry;
}

bool CBurnManagerX::BurnMac(const std::string& file, const QString& unitName, bool isSender)
{
    m_unitGone = false;
    std::unique_ptr<UsbHandle> unit = openUnit();
    if (!unit) {
        message(PortAccess::explainedDenial(PortAccess::Kind::Usb, kNoDevice));
        return false;
    }
    auto finish = [&](bool ok, const QString& text) {
        message(m_unitGone && !ok ? kUnitGone : text);
        unit.reset();
        return ok;
    };

    const RegularFileRead read = readRegularFile(QFile::decodeName(file.c_str()), kMaxMacFileBytes);
    if (read.status == RegularFileRead::TooLarge)
        return finish(false, kMallocError);
    if (!read.ok())
        return finish(false, kOpenFail);
    const QByteArray& bytes = read.bytes;
    // Every section is checked against the file before the unit hears anything.
    const MacLayout layout = scanMacFile(bytes);
    const MacSection& firmware = isSender ? layout.sender : layout.receiver;
    // The start packet carries the first two bytes of the unit's firmware; the other role's
    // section is never sent and may be anything.
    if (!layout.ok || !firmware.found() || firmware.length1 < 2) {
        qDebug() << "CBurnManagerX::BurnMac:"
                 << (layout.ok ? QStringLiteral("no firmware section for this unit") : layout.error);
        return finish(false, kFileError);
    }

    m_transfer = QByteArray(kMacChunk, '\0');
    const QByteArray start = macStartPacket(bytes, firmware.offset);
    bool started = false;
    for (int i = 0; i < kMacStepTries && !started; ++i) {
        if (i > 0)
            delay(kRetryPauseMs);
        const int n = unit->controlWrite(kMacOut, kMacRequest, 0, 0, start, timeout());
        if (n == -ENODEV) {
            m_unitGone = true;
            break;
        }
        if (n != kStartPacketSize) {
            message(kRebootRetry);
            continue;
        }
        const int ack = readAck(unit.get());
        if (ack < 0)
            break;
        if (ack == 0)
            message(kNoAck);
        started = ack > 0;
    }
    if (!started || !ackWithin(unit.get(), kAckPolls))
        return finish(false, kMacFailed);
    letEventsRun();

    // The 0xFF section: its header, then its two payload parts in one full transfer each. The
    // buffer keeps what earlier steps left beyond the bytes copied.
    const char* common = bytes.constData() + layout.common.offset;
    struct Piece {
        const char* from;
        int copy;
        int send;
        QString shortText;
    };
    const Piece pieces[] = {
        {common, kMacHeaderSize, kMacHeaderSize, kShortHeader},
        {common + kMacHeaderSize, int(layout.common.length1), kMacChunk, QString()},
        {common + kMacHeaderSize + layout.common.length1, int(layout.common.length2), kMacChunk, QString()},
    };
    for (const Piece& piece : pieces) {
        std::memcpy(m_transfer.data(), piece.from, size_t(piece.copy));
        Step step = Step::Retry;
        for (int i = 0; i < kMacStepTries && step == Step::Retry; ++i) {
            if (i > 0)
                delay(kRetryPauseMs);
            step = sendAcknowledged(unit.get(), piece.send, piece.shortText);
        }
        if (step != Step::Done)
            return finish(false, kMacFailed);
        letEventsRun();
    }

    // The firmware in 512-byte pieces, each after the unit's acknowledgement. A piece the unit
    // takes short is a failed burn: what it holds would not be the firmware.
    const qint64 total = firmware.length1;
    qint64 remaining = total;
    const char* next = bytes.constData() + firmware.offset + kMacHeaderSize;
    while (remaining > 0) {
        if (!ackWithin(unit.get(), kAckPolls))
            return finish(false, kMacFailed);
        const int count = int(qMin<qint64>(kMacChunk, remaining));
        std::memcpy(m_transfer.data(), next, size_t(count));
        const int n = unit->controlWrite(kMacOut, kMacRequest, 0, 0, m_transfer.left(count), timeout());
        if (n == -ENODEV)
            m_unitGone = true;
        if (n != count)
            return finish(false, kMacFailed);
        remaining -= n;
        next += kMacChunk;
        const int percent = int(100 - remaining * 100 / total);
        if (percent % 10 == 0)
            progress(percent);
        letEventsRun();
    }

    unit.reset();
    progress(100);
    message(isInfoButtonUnit(unitName) ? kMacSuccessReplug : kMacSuccess);
    return true;
}

#include "mcuisp.h"

#include "checksums.h"
#include "hid.h"
#include "regularfile.h"
#include "timescale.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QtEndian>

#include <cstdio>
#include <cstring>

namespace Isp {
const QString ProductFailure = QStringLiteral("Product Failure.");
const QString FileOpenFailure = QStringLiteral("File Open Failure.");
const QString LargeFile = QStringLiteral("Incorrect File. (Large File)");
const QString IncorrectFile = QStringLiteral("Incorrect File.");
const QString WrongProduct = QStringLiteral("Incorrect File. (Wrong product)");
const QString HeaderChecksum = QStringLiteral("Incorrect File. (Checksum)");
const QString ProgrammingFailed = QStringLiteral("Failed. Please reconnect the power.");
const QString UpdateSuccess = QStringLiteral("Firmware Update Success.");

int productCode(int vendorId, int productId)
{
    if (vendorId != 0x1EC7)
        return 0;
    switch (productId) {
    case 0x000E:
        return 3;
    case 0x0010:
        return 4;
    case 0x001E:
        return 5;
    default:
        return 0;
    }
}

QString firmwareImageProblem(const QByteArray& bytes, int productId)
{
    if (bytes.size() > MaxImageSize)
        return LargeFile;
    // Too short to hold the header is as wrong as a wrong mark.
    if (bytes.size() < 8 || quint8(bytes.at(0)) != 9)
        return IncorrectFile;
    if (quint8(bytes.at(1)) != productCode(0x1EC7, productId))
        return WrongProduct;
    int sum = 0;
    for (int i = 0; i < 7; ++i)
        sum += quint8(bytes.at(i));
    if (sum != quint8(bytes.at(7)))
        return HeaderChecksum;
    return QString();
}

QVector<QByteArray> imageChunks(const QByteArray& image)
{
    QVector<QByteArray> chunks;
    chunks.append(image.left(FirstPacketBytes));
    for (int at = FirstPacketBytes; at < image.size(); at += NextPacketBytes)
        chunks.append(image.mid(at, NextPacketBytes));
    return chunks;
}

int firstPacketProgress(qint64 sent, qint64 length)
{
    const qint64 percent = length > 0 ? sent * 100 / length : 100;
    return int(qBound<qint64>(20, percent, 100));
}

int nextPacketProgress(qint64 sent, qint64 length)
{
    const qint64 percent = length > 0 ? sent * 100 / length : 100;
    return int(qMin<qint64>(20 + percent * 80 / 100, 100));
}
} // namespace Isp

// ---- Chip table ----------------------------------------------------------------------------

namespace {
QVector<IspChip> buildChipTable()
{
    QVector<IspChip> table;
    table.append({0xC140, "NUC1XX_TEST", 16, 128});
    // NUC1xx: per series 27 parts, package outermost, RAM innermost; the part's index n is
    // written as two decimal digits read as hexadecimal.
    const struct {
        const char* name;
        quint32 base;
    } series[] = {{"100", 0x10000}, {"101", 0x10100}, {"120", 0x12000}, {"130", 0x13000}, {"140", 0x14000}};
    const char packages[] = {'L', 'R', 'V'};
    const struct {
        char letter;
        quint32 kb;
    } flashes[] = {{'E', 128}, {'D', 64}, {'C', 32}}, rams[] = {{'3', 16}, {'2', 8}, {'1', 4}};
    for (const auto& s : series) {
        int n = 0;
        for (char package : packages) {
            for (const auto& flash : flashes) {
                for (const auto& ram : rams) {
                    const QByteArray name = QByteArray("NUC") + s.name + package + flash.letter + ram.letter + "AN";
                    table.append({s.base + quint32((n / 10) * 16 + n % 10), name, ram.kb, flash.kb});
                    ++n;
                }
            }
        }
    }
    table.append({0xFFFFFFFF, "M05X_TEST", 4, 64});
    const struct {
        const char* name;
        quint32 base;
        quint32 flashKb;
    } m05x[] = {{"M052", 0x5200, 8}, {"M054", 0x5400, 16}, {"M058", 0x5800, 32}, {"M0516", 0x5A00, 64}};
    const char* suffixes[] = {"LAN", "PAN", "YAN", "ZAN"};
    for (const auto& part : m05x) {
        for (quint32 k = 0; k < 4; ++k)
            table.append({part.base + k, QByteArray(part.name) + suffixes[k], 4, part.flashKb});
    }
    return table;
}
} // namespace

const QVector<IspChip>& ispChipTable()
{
    static const QVector<IspChip> table = buildChipTable();
    return table;
}

// ---- Firmware file ---------------------------------------------------------------------------

bool confirmFirmwareFile(const QByteArray& path, int vendorId, int productId, QString* status, QByteArray* image)
{
    auto reject = [status](const QString& why) {
        if (status)
            *status = why;
        return false;
    };
    if (Isp::productCode(vendorId, productId) == 0)
        return reject(Isp::ProductFailure);
    const RegularFileRead read = readRegularFile(QFile::decodeName(path), Isp::MaxImageSize);
    if (read.status == RegularFileRead::TooLarge)
        return reject(Isp::LargeFile);
    if (!read.ok())
        return reject(Isp::FileOpenFailure);
    const QString problem = Isp::firmwareImageProblem(read.bytes, productId);
    if (!problem.isEmpty())
        return reject(problem);
    if (image)
        *image = read.bytes;
    return true;
}

// ---- Boot loader exchanges -------------------------------------------------------------------

namespace {
void trace(const char* text)
{
    std::fputs(text, stdout);
    std::fflush(stdout);
}

QByteArray words(quint32 first, quint32 second)
{
    QByteArray bytes(8, '\0');
    qToLittleEndian<quint32>(first, bytes.data());
    qToLittleEndian<quint32>(second, bytes.data() + 4);
    return bytes;
}
} // namespace

IspState::IspState(HidBackend* backend)
    : m_backend(backend)
{
}

IspState::~IspState() = default;

void IspState::close()
{
    m_device.reset();
}

bool IspState::ispOpenUsb(quint16 vendorId, quint16 productId)
{
    if (m_device)
        return true;
    HidBackend* backend = m_backend ? m_backend : HidBackend::current();
    for (int pass = 0; pass < Isp::OpenPasses; ++pass) {
        for (const HidDeviceInfo& unit : backend->enumerate(vendorId, productId)) {
            if (unit.vendorId != vendorId || unit.productId != productId)
                continue;
            m_device = backend->open(unit.path);
            if (m_device)
                return true;
            trace("Failed to access the USB device!\n");
        }
    }
    return false;
}

void IspState::startPacket(quint32 command, const QByteArray& params)
{
    std::memset(m_send, 0, sizeof m_send);
    qToLittleEndian<quint32>(command, packet());
    std::memcpy(packet() + 8, params.constData(), size_t(qMin(params.size(), Isp::PacketSize - 8)));
}

bool IspState::ispWritePacket()
{
    qToLittleEndian<quint32>(m_packetNumber, packet() + 4);
    ++m_packetNumber;
    m_expectedChecksum = calcByteSum16(packet(), Isp::PacketSize);
    if (!m_device) {
        trace("Failed to write data!\n");
        return false;
    }
    const int n = m_device->write(m_send, Isp::ReportSize, TimeScale::ms(Isp::WriteTimeoutMs));
    if (n == HidHandle::TimedOut) {
        trace("Writing: Timed Out. \n");
        return false;
    }
    if (n <= 0) {
        trace("Failed to write data!\n");
        return false;
    }
    return true;
}

bool IspState::ispReadPacket()
{
    const int timeout =
        TimeScale::ms(m_currentCommand == Isp::UpdateAprom ? Isp::ProgramReplyTimeoutMs : Isp::ReplyTimeoutMs);
    std::memset(m_receive, 0, sizeof m_receive);
    if (!m_device) {
        trace(" DF2 \n");
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        // Replies that are not ours (late or stray ones) are skipped, but never beyond the
        // time-out counted from the start of the read.
        const int left = int(qMax<qint64>(0, timeout - clock.elapsed()));
        const int n = m_device->read(m_receive, Isp::ReportSize, left);
        if (n == 0 || n == HidHandle::TimedOut) {
            trace(" Time Out! \n");
            return false;
        }
        if (n < 0) {
            trace(" DF2 \n");
            return false;
        }
        if (n < Isp::ReportSize) {
            ++m_packetNumber;
            return false;
        }
        const quint32 number = qFromLittleEndian<quint32>(m_receive + 1 + 4);
        if (number == m_packetNumber) {
            ++m_packetNumber;
            return qFromLittleEndian<quint16>(m_receive + 1) == m_expectedChecksum;
        }
        if (clock.elapsed() >= timeout) {
            trace(" Time Out! \n");
            return false;
        }
    }
}

bool IspState::exchange()
{
    return ispWritePacket() && ispReadPacket();
}

bool IspState::ispSimpleCommand(quint32 command)
{
    startPacket(command);
    m_currentCommand = command;
    return exchange();
}

bool IspState::ispSyncPacketNumber()
{
    // The reply is awaited as long as for the command the sync prepares.
    startPacket(Isp::SyncPacketNumber, words(m_packetNumber, 0).left(4));
    if (!ispWritePacket()) {
        trace("Write Sync Error\n");
        return false;
    }
    return ispReadPacket();
}

const IspChip* IspState::ispLookupChip() const
{
    for (const IspChip& chip : ispChipTable()) {
        if (chip.id == m_chipId)
            return &chip;
    }
    return nullptr;
}

bool IspState::ispGetChipInfo(const IspHooks& hooks)
{
    const IspChip* chip = ispLookupChip();
    if (!chip) {
        if (hooks.unknownChip)
            hooks.unknownChip();
        m_flashSize = 0;
        m_ramSize = 0;
        return false;
    }
    m_flashSize = chip->flashKb * 1024;
    m_ramSize = chip->ramKb * 1024;
    m_partName = chip->name;
    return true;
}

bool IspState::ispConnect(const IspHooks& hooks)
{
    if (!ispSyncPacketNumber() && !ispSyncPacketNumber())
        return false;
    if (!ispSyncPacketNumber())
        return false;

    if (!ispSimpleCommand(Isp::GetVersion))
        return false;
    m_version = replyData()[0];
    if (m_version == 0)
        return false;
    if (m_version != Isp::CurrentVersion) {
        const QString question =
            QString::asprintf("Firmware not match!\nV%x.%x is required, but current FW version is V%x.%x\n\nContinue?",
                              Isp::CurrentVersion >> 4, Isp::CurrentVersion & 0xF, m_version >> 4, m_version & 0xF);
        if (!hooks.continueWithVersion || !hooks.continueWithVersion(question))
            return false;
    }

    if (!ispSimpleCommand(Isp::GetDeviceId))
        return false;
    m_chipId = qFromLittleEndian<quint32>(replyData());
    if (m_chipId == 0)
        return false;

    if (!ispSimpleCommand(Isp::ReadConfig))
        return false;
    m_config[0] = qFromLittleEndian<quint32>(replyData());
    m_config[1] = qFromLittleEndian<quint32>(replyData() + 4);
    m_locked = (m_config[0] & 0x2) == 0;

    if (!ispGetChipInfo(hooks))
        return false;

    if (m_version < Isp::CurrentVersion) {
        startPacket(Isp::SetApromSize, words(m_flashSize, 0).left(4));
        if (!exchange())
            return false;
    }
    return true;
}

bool IspState::ispUpdateConfig()
{
    if (!ispSyncPacketNumber())
        return false;
    m_config[0] = Isp::Config0;
    m_config[1] = Isp::Config1;
    startPacket(Isp::UpdateConfig, words(m_config[0], m_config[1]));
    if (!exchange())
        return false;
    return qFromLittleEndian<quint32>(replyData()) == m_config[0]
        && qFromLittleEndian<quint32>(replyData() + 4) == m_config[1];
}

bool IspState::ispReadChecksum(quint32 start, quint32 length, quint16* checksum)
{
    startPacket(Isp::ReadChecksum, words(start, length));
    if (!exchange())
        return false;
    if (checksum)
        *checksum = qFromLittleEndian<quint16>(replyData());
    return true;
}

bool IspState::ispWriteChecksum(quint16 checksum, quint32 length)
{
    startPacket(Isp::WriteChecksum, words(length, checksum));
    return exchange();
}

void IspState::runAprom()
{
    startPacket(Isp::RunAprom);
    ispWritePacket();
}

bool IspState::programImage(const QByteArray& image, const IspHooks& hooks)
{
    auto progress = [&hooks](int percent) {
        if (hooks.progress)
            hooks.progress(percent);
    };
    const qint64 length = image.size();
    m_imageSum = calcByteSum16(image.constData(), image.size());
    // The programming replies, the sync before them and the checksum exchanges after them get
    // the longer wait: only a simple command sets another.
    m_currentCommand = Isp::UpdateAprom;
    if (!ispSyncPacketNumber())
        return false;

    const QVector<QByteArray> chunks = Isp::imageChunks(image);
    qint64 sent = 0;
    for (int i = 0; i < chunks.size(); ++i) {
        const QByteArray& chunk = chunks.at(i);
        if (i == 0)
            startPacket(Isp::UpdateAprom, words(0, quint32(length)) + chunk);
        else
            startPacket(Isp::UpdateApromNext, chunk);
        if (!ispWritePacket()) {
            trace(" Write Fail! \n");
            return false;
        }
        if (!ispReadPacket()) {
            trace(" Read Fail \n");
            return false;
        }
        sent += chunk.size();
        progress(i == 0 ? Isp::firstPacketProgress(sent, length) : Isp::nextPacketProgress(sent, length));
    }

    // The sum the boot loader has of what it programmed must be the image's: older boot loaders
    // are asked for it, newer ones state it in the reply to the last packet.
    quint16 reported = 0;
    if (m_version < Isp::CurrentVersion) {
        if (!ispReadChecksum(0, quint32(length), &reported))
            return false;
    } else {
        reported = qFromLittleEndian<quint16>(replyData());
    }
    if (reported != m_imageSum) {
        qDebug() << "IspState::programImage: the unit reports checksum" << Qt::hex << reported << "for"
                 << m_imageSum;
        return false;
    }
    return ispWriteChecksum(m_imageSum, quint32(length));
}

QString ThreadMCUBurn(const QByteArray& image, int vendorId, int productId, const IspHooks& hooks, HidBackend* backend)
{
    McuBurnCmd command(backend);
    IspState& isp = command.isp;
    std::printf("Connecting... VID wanted is %d PID wanted is %d\n", vendorId, productId);
    std::fflush(stdout);

    isp.ispOpenUsb(quint16(vendorId), quint16(productId));
    if (hooks.progress)
        hooks.progress(10);
    // A unit that cannot be reached, whose boot loader the user declined, whose chip is unknown
    // or that did not take the config is not programmed.
    const bool programmed = isp.isOpen() && isp.ispConnect(hooks) && isp.ispUpdateConfig()
        && isp.programImage(image, hooks);
    if (programmed)
        isp.runAprom();
    isp.close();
    return programmed ? Isp::UpdateSuccess : Isp::ProgrammingFailed;
}

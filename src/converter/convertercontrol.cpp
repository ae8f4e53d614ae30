#include "convertercontrol.h"

#include "chidcmd.h"
#include "dialogs.h"
#include "ediddecoder.h"
#include "mcuisp.h"
#include "messagebox.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QDebug>
#include <QProgressBar>
#include <QThread>

namespace {

// One open unit for the length of an exchange; closed on every way out.
class Exchange
{
public:
    Exchange(quint16 vendorId, quint16 productId)
        : m_hid(converterHid())
    {
        m_open = m_hid.OpenDevice(true, vendorId, productId);
        if (!m_open)
            qDebug() << "View Error";
    }
    ~Exchange()
    {
        if (m_open) {
            qDebug() << "++++++++ close device";
            m_hid.CloseDevice();
            qDebug() << "++++++++ closed";
        }
    }
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    bool isOpen() const { return m_open; }

    // Writes one request; false when it did not go out whole.
    bool request(const QByteArray& payload)
    {
        m_hid.buildReport(payload.constData(), payload.size());
        return m_hid.writeReport(ConverterTimeoutMs);
    }
    // Reads one reply of at most `size` bytes; empty when none came.
    QByteArray reply(int size)
    {
        QByteArray bytes(size, '\0');
        quint32 copied = 0;
        if (!m_hid.ReadFile(bytes.data(), size, &copied, ConverterTimeoutMs))
            return QByteArray();
        bytes.truncate(int(copied));
        return bytes;
    }
    // A reply that is exactly the status byte 0xAA (or begins with it).
    bool acknowledged()
    {
        const QByteArray status = reply(1);
        return !status.isEmpty() && quint8(status.at(0)) == ConverterAck;
    }
    // A reply of exactly `size` bytes, else empty.
    QByteArray chunk(int size)
    {
        const QByteArray bytes = reply(size);
        return bytes.size() == size ? bytes : QByteArray();
    }

private:
    CHidCmd& m_hid;
    bool m_open = false;
};

const QByteArray NextChunk(1, char(ConverterAck));

} // namespace

CHidCmd& converterHid()
{
    static CHidCmd hid;
    return hid;
}

QByteArray sendCommand(int vendorId, int productId, const quint8* data, int length)
{
    qDebug() << "vid pid " << vendorId << productId;
    if (length < 0 || (!data && length > 0)) {
        qDebug() << "sendCommand: refused a request of length" << length;
        return QByteArray();
    }
    // The caller's buffer ends at `length`; the report takes at most MaxPayload of it.
    const QByteArray payload(reinterpret_cast<const char*>(data), qMin(length, CHidCmd::MaxPayload));
    Exchange unit{quint16(vendorId), quint16(productId)};
    if (!unit.isOpen())
        return QByteArray();
    qDebug() << "--------- command" << payload.toHex(' ');
    qDebug() << "++++++++ write to device";
    if (!unit.request(payload))
        return QByteArray();
    const QByteArray reply = unit.reply(ConverterReplySize);
    qDebug() << "++++++++ read from device" << reply.toHex(' ');
    return reply;
}

QByteArray sendCommand(int vendorId, int productId, const QByteArray& payload)
{
    return sendCommand(vendorId, productId, reinterpret_cast<const quint8*>(payload.constData()), payload.size());
}

QByteArray scalerSettingPayload(quint8 reg, quint8 value)
{
    return QByteArray("\x5A\x41", 2) + char(reg) + char(value);
}

QByteArray scalerEdidPayload(quint8 code)
{
    return QByteArray("\x5A\x41", 2) + char(code);
}

QByteArray scalerDeviceInfoPayload()
{
    return QByteArray("\x59\x40", 2);
}

quint8 pairCode(bool first, bool second, const PairCodes& codes)
{
    if (first && second)
        return codes.both;
    if (first)
        return codes.firstOnly;
    return second ? codes.secondOnly : codes.neither;
}

bool decodePair(quint8 code, const PairCodes& codes, bool* first, bool* second)
{
    if (code == codes.both)
        *first = *second = true;
    else if (code == codes.firstOnly)
        *first = true, *second = false;
    else if (code == codes.secondOnly)
        *first = false, *second = true;
    else if (code == codes.neither)
        *first = *second = false;
    else
        return false;
    return true;
}

ScalerDeviceInfo parseScalerDeviceInfo(const QByteArray& reply)
{
    ScalerDeviceInfo info;
    // Bytes 0 to 9 are read; a shorter reply is a torn one, not a unit with a shorter version.
    if (reply.size() < 10 || quint8(reply.at(0)) != ConverterAck)
        return info;
    const auto at = [&reply](int i) { return quint8(reply.at(i)); };
    info.valid = true;
    info.output2 = at(1);
    info.output1 = at(2);
    info.hdcp = at(5);
    info.yuv420 = at(6);
    info.version = QStringLiteral("%1.%2.%3").arg(at(7)).arg(at(8)).arg(at(9));
    return info;
}

QByteArray edidFromUnitImage(const QByteArray& image, QString* problem)
{
    QString error;
    QByteArray edid;
    if (image.size() < 128) {
        error = QStringLiteral("The unit sent %1 EDID bytes.").arg(image.size());
    } else {
        // A unit holds one or two blocks; the bytes behind a single block are padding.
        const int size = (quint8(image.at(126)) == 0 || image.size() < 256) ? 128 : 256;
        edid = image.left(size);
        error = edidTransferError(edid);
        if (!error.isEmpty())
            edid.clear();
    }
    if (problem)
        *problem = error;
    return edid;
}

namespace {

// The eight chunks of an EDID image, each read after `askFirst` sends 0xAA (the HID scaler) or
// followed by 0xAA (the converter, whose first chunk answers the read request itself).
ConverterEdidRead readImage(Exchange& unit, bool askFirst, ConverterEdidRead result)
{
    QByteArray image;
    for (int i = 0; i < ConverterEdidImageSize / ConverterChunkSize; ++i) {
        if (askFirst) {
            qDebug() << "viewScalerEDID read command " << i;
            if (!unit.request(NextChunk)) {
                result.problem = QStringLiteral("The unit did not take the request for EDID chunk %1.").arg(i);
                return result;
            }
        }
        const QByteArray chunk = unit.chunk(ConverterChunkSize);
        if (chunk.isEmpty()) {
            result.problem = QStringLiteral("The unit did not send EDID chunk %1.").arg(i);
            return result;
        }
        image += chunk;
        // The converter is asked for the next chunk after each one, the last included.
        if (!askFirst && !unit.request(NextChunk) && i + 1 < ConverterEdidImageSize / ConverterChunkSize) {
            result.problem = QStringLiteral("The unit did not take the request for EDID chunk %1.").arg(i + 1);
            return result;
        }
    }
    result.edid = edidFromUnitImage(image, &result.problem);
    return result;
}

} // namespace

ConverterEdidRead viewEDID()
{
    ConverterEdidRead result;
    Exchange unit(ConverterUsb::MakerVendorId, ConverterUsb::OrrelinProductId);
    if (!unit.isOpen()) {
        result.problem = QStringLiteral("No converter found.");
        return result;
    }
    result.found = true;
    if (!unit.request(QByteArrayLiteral("#VIEW_LOCAL_EDID"))) {
        result.problem = QStringLiteral("The converter did not take the EDID request.");
        return result;
    }
    result.accepted = true;
    return readImage(unit, false, result);
}

quint8 scalerEdidSourceCode(int source)
{
    switch (source) {
    case 1:
        return 0x07;
    case 2:
        return 0x06;
    case 3:
        return 0x09;
    default:
        return 0x00;
    }
}

ConverterEdidRead viewScalerEDID(int source)
{
    ConverterEdidRead result;
    qDebug() << "viewScalerEDID opendevice";
    Exchange unit(ConverterUsb::MakerVendorId, ConverterUsb::PerrickProductId);
    if (!unit.isOpen()) {
        result.problem = QStringLiteral("No HID scaler found.");
        return result;
    }
    result.found = true;
    qDebug() << "viewScalerEDID write command";
    if (!unit.request(scalerEdidPayload(scalerEdidSourceCode(source))) || !unit.acknowledged()) {
        qDebug() << "viewScalerEDID read command: refused";
        result.problem = QStringLiteral("The HID scaler did not accept the EDID request.");
        return result;
    }
    result.accepted = true;
    return readImage(unit, true, result);
}

EdidUploadResult uploadEdidImage(quint16 productId, const QByteArray& command, const QByteArray& image,
                                 EdidUploadAnswers answers)
{
    Q_ASSERT(image.size() == ConverterEdidImageSize);
    Exchange unit(ConverterUsb::MakerVendorId, productId);
    if (!unit.isOpen())
        return EdidUploadResult::DeviceMissing;
    if (!unit.request(command))
        return EdidUploadResult::NotStarted;
    bool allAccepted = true;
    for (int offset = 0; offset < image.size(); offset += ConverterChunkSize) {
        const QByteArray status = unit.reply(1);
        const bool accepted = !status.isEmpty() && quint8(status.at(0)) == ConverterAck;
        if (answers == EdidUploadAnswers::Judged && !accepted) {
            qDebug() << "uploadEdidImage: not accepted before byte" << offset << status.toHex();
            // Only a refusal of the command itself can stop the upload cleanly: stopping after
            // a chunk went out would leave the unit a torn EDID.
            if (offset == 0)
                return EdidUploadResult::NotStarted;
            allAccepted = false;
        }
        if (!unit.request(image.mid(offset, ConverterChunkSize)))
            return offset == 0 ? EdidUploadResult::NotStarted : EdidUploadResult::Interrupted;
    }
    return allAccepted ? EdidUploadResult::Complete : EdidUploadResult::ChunksRefused;
}

// ---- In-system programming -------------------------------------------------------------------

namespace {
// The run in progress (one at a time, on the GUI thread) and the text of the last one.
Ui_MainUI* mcuBurnUi = nullptr;
QByteArray mcuBurnFilePath;
QString mcuBurnStatus;
QByteArray mcuBurnImage;

const QByteArray FirmwareUpgradeCommand = QByteArrayLiteral("#FW_UPGRADE");
constexpr int RestartIntoBootLoaderMs = 1000;

void setBurnProgress(int percent)
{
    if (mcuBurnUi && mcuBurnUi->updateBar)
        mcuBurnUi->updateBar->setValue(percent);
}

IspHooks burnHooks()
{
    IspHooks hooks;
    hooks.progress = setBurnProgress;
    hooks.continueWithVersion = [](const QString& question) {
        return Dialogs::question(nullptr, QStringLiteral("Warning"), question, QMessageBox::Ok | QMessageBox::Cancel)
            == QMessageBox::Ok;
    };
    hooks.unknownChip = [] { Platform::messageBox(nullptr, QStringLiteral("Invalid chip ID"), QStringLiteral("Error")); };
    return hooks;
}

// Asks the running unit to restart into its boot loader. A unit already in its boot loader
// takes no command, so the outcome is not looked at.
void requestBootLoader(quint16 vendorId, quint16 productId)
{
    CHidCmd& hid = converterHid();
    hid.OpenDevice(true, vendorId, productId);
    hid.buildReport(FirmwareUpgradeCommand.constData(), FirmwareUpgradeCommand.size());
    hid.writeReport(ConverterTimeoutMs);
    hid.CloseDevice();
}
} // namespace

QString startMcuBurn(Ui_MainUI* ui, const QByteArray& path, quint16 vendorId, quint16 productId)
{
    qDebug() << "startMcuBurn" << path << Qt::hex << vendorId << productId;
    mcuBurnUi = ui;
    mcuBurnFilePath = path;
    mcuBurnImage.clear();
    if (ui && ui->updateBar) {
        ui->updateBar->setRange(0, 100);
        ui->updateBar->setValue(5);
    }
    // The unit and the file are checked before the unit is asked to leave its application: a
    // refused file leaves a working unit as it was.
    if (confirmFirmwareFile(mcuBurnFilePath, vendorId, productId, &mcuBurnStatus, &mcuBurnImage)) {
        requestBootLoader(vendorId, productId);
        // The unit restarts and comes back as its boot loader; nothing else may run meanwhile.
        QThread::msleep(ulong(TimeScale::ms(RestartIntoBootLoaderMs)));
        mcuBurnStatus = ThreadMCUBurn(mcuBurnImage, vendorId, productId, burnHooks());
    }
    mcuBurnImage.clear();
    mcuBurnUi = nullptr;
    return mcuBurnStatus;
}

namespace {
McuBurnFunction& installedBurn()
{
    static McuBurnFunction burn;
    return burn;
}
} // namespace

QString runMcuBurn(Ui_MainUI* ui, const QByteArray& path, quint16 vendorId, quint16 productId)
{
    const McuBurnFunction& burn = installedBurn();
    return burn ? burn(ui, path, vendorId, productId) : startMcuBurn(ui, path, vendorId, productId);
}

McuBurnFunction replaceMcuBurn(McuBurnFunction burn)
{
    McuBurnFunction previous = std::move(installedBurn());
    installedBurn() = std::move(burn);
    return previous;
}

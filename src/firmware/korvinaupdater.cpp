#include "korvinaupdater.h"

#include "aes128.h"
#include "convertercontrol.h"
#include "delay.h"
#include "dialogs.h"
#include "hid.h"
#include "portaccess.h"
#include "regularfile.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QtEndian>

#include <cstring>

namespace {

const quint8 kHeaderKey[16] = {0x7c, 0x2e, 0x91, 0xd0, 0x4b, 0x3f, 0xa5, 0x86,
                               0x7e, 0x19, 0xc0, 0xd2, 0xb8, 0x4f, 0x6a, 0x13};
const quint8 kBodyKey[16] = {0xa0, 0x5d, 0x3e, 0x8c, 0x71, 0xf2, 0xb9, 0x4d,
                             0x0e, 0x6a, 0x58, 0xc3, 0xf7, 0x19, 0x4b, 0x2e};

const quint8 kMark = 0x67;
const quint16 kRunningVid = ConverterUsb::MakerVendorId;
const quint16 kRunningPid = ConverterUsb::KorvinaProductId;
const int kDataBytes = 64;     // body bytes in one data report
const int kFindTries = 20;
const int kWriteTimeoutMs = 5000; // the USB stack's own limit for one report

const QString kStatus = QStringLiteral("Status");
const QString kFileError = QStringLiteral("File Error.");
const QString kProgrammingMode = QStringLiteral("Please put the device into Programming mode.");
const QString kUpgradeFailed = QStringLiteral("Upgrade Failed.");

} // namespace

KorvinaUpdater::KorvinaUpdater(Ui_MainUI* ui)
    : KorvinaUpdater(ui, NoSetup())
{
}

KorvinaUpdater::KorvinaUpdater(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
{
}

KorvinaUpdater::~KorvinaUpdater() = default;

HidBackend* KorvinaUpdater::backend() const
{
    return m_backend ? m_backend : HidBackend::current();
}

void KorvinaUpdater::status(const QString& text)
{
    Dialogs::information(ui ? ui->centralFrame : nullptr, kStatus, text);
}

void KorvinaUpdater::closeDevice()
{
    kvmDevice.reset();
}

void KorvinaUpdater::initiateFirmwareUpdate()
{
    delay(2000);
    emit setUSBDiscover(false);
    if (ui)
        firmwareFileName = ui->updateFilename->text();
    if (OnSourceOpen() && SendUniFileProc() == 1)
        exitBootLoader();
    closeDevice();
    // The hub's own USB polling comes back after every ending, not only after a success.
    emit setUSBDiscover(true);
}

int KorvinaUpdater::velmoCheckSum(const quint8* data, int length)
{
    if (length <= 0)
        return 0;
    const int bytes = ((length - 1) / 16 + 1) * 16;
    quint32 sum = 0;
    for (int i = 0; i + 1 < bytes; i += 2)
        sum += quint32(data[i]) << 8 | data[i + 1];
    return int(sum);
}

void KorvinaUpdater::aesDecryptBlockKeyA(const quint8* source, quint8* destination)
{
    Aes128::decryptBlock(kHeaderKey, source, destination);
}

void KorvinaUpdater::aesDecryptBlockKeyB(const quint8* source, quint8* destination)
{
    Aes128::decryptBlock(kBodyKey, source, destination);
}

bool KorvinaUpdater::OnSourceOpen()
{
    // A file that is not there ends the update silently; a FIFO, a huge file or one too short to
    // hold a header is a bad file.
    const RegularFileRead read = readRegularFile(firmwareFileName, kBufferSize);
    if (read.status == RegularFileRead::Missing || read.status == RegularFileRead::Unreadable)
        return false;
    auto reject = [this] {
        fwHeader = QByteArray(16, '\0');
        status(kFileError);
        return false;
    };
    if (!read.ok() || read.bytes.size() < 16)
        return reject();
    fwFileBuffer = read.bytes;

    fwHeader = QByteArray(16, '\0');
    const auto* file = reinterpret_cast<const quint8*>(fwFileBuffer.constData());
    aesDecryptBlockKeyA(file, reinterpret_cast<quint8*>(fwHeader.data()));
    const auto* h = reinterpret_cast<const quint8*>(fwHeader.constData());

    quint8 sum = 0;
    for (int i = 0; i < 15; ++i)
        sum = quint8(sum + h[i]);
    const quint32 total = qFromLittleEndian<quint32>(h + 11);
    // The stated length must lie within the file, leave a body, and fit the buffers; the last
    // block may end past the file, its missing bytes read as 0.
    if (h[15] != sum || h[0] != kMark || total <= 16 || total > quint32(fwFileBuffer.size()))
        return reject();
    const int bodyLength = int(total) - 16;
    const int blocks = (bodyLength - 1) / 16 + 1;
    QByteArray padded = fwFileBuffer.mid(16);
    padded.append(QByteArray(blocks * 16 - qMin(padded.size(), blocks * 16), '\0'));
    fwBodyBuffer = QByteArray(blocks * 16, '\0');
    for (int b = 0; b < blocks; ++b)
        aesDecryptBlockKeyB(reinterpret_cast<const quint8*>(padded.constData()) + 16 * b,
                            reinterpret_cast<quint8*>(fwBodyBuffer.data()) + 16 * b);
    const quint32 checksum =
        quint32(velmoCheckSum(reinterpret_cast<const quint8*>(fwBodyBuffer.constData()), bodyLength));
    if (checksum != qFromLittleEndian<quint32>(h + 7))
        return reject();
    firmwareLength = int(total);
    return true;
}

bool KorvinaUpdater::openHidDevice(std::unique_ptr<HidHandle>& handle, quint16 vendorId, quint16 productId)
{
    for (const HidDeviceInfo& info : backend()->enumerate()) {
        if (info.vendorId != vendorId || info.productId != productId)
            continue;
        std::unique_ptr<HidHandle> opened = backend()->open(info.path);
        // The boot loader's interface is the one with feature reports of 8 bytes or more.
        if (opened && opened->featureReportLength() >= 8) {
            handle = std::move(opened);
            return true;
        }
    }
    return false;
}

int KorvinaUpdater::FindKvm(int type)
{
    if (type != 7 && type != 8)
        return 0;
    const quint16 vid = type == 8 ? ConverterUsb::KorvinaAltVendorId : ConverterUsb::MakerVendorId;
    const quint16 pid = type == 8 ? ConverterUsb::KorvinaAltProductId : ConverterUsb::KorvinaBootProductId;
    closeDevice();
    int reboots = 0;
    for (int tries = 1;; ++tries) {
        if (openHidDevice(kvmDevice, vid, pid))
            return 1;
        std::unique_ptr<HidHandle> running;
        if (reboots < kMaxReboots && openHidDevice(running, kRunningVid, kRunningPid)) {
            // A unit in normal mode is asked into its boot loader, and the search starts over.
            QByteArray report(running->featureReportLength(), '\0');
            report[0] = 0x04;
            report[1] = 0x01;
            running->sendFeatureReport(reinterpret_cast<const quint8*>(report.constData()), report.size());
            running.reset();
            ++reboots;
            delay(2000);
            tries = 0;
        }
        delay(300);
        if (tries >= kFindTries)
            return 0;
    }
}

unsigned int KorvinaUpdater::SendUniFileProc()
{
    const int type = quint8(fwHeader.at(1));
    if (!FindKvm(type) && !FindKvm(type)) {
        status(PortAccess::explainedDenial(PortAccess::Kind::Hid, kProgrammingMode));
        return 0;
    }
    const int length = kvmDevice->outputReportLength();
    if (length <= 0) {
        Dialogs::information(nullptr, QStringLiteral("Finished"), QStringLiteral("OutputReportByteLength"));
        closeDevice();
        return 0;
    }
    // A unit whose reports are shorter than a data report cannot take the body.
    if (length < 1 + kDataBytes) {
        closeDevice();
        status(kUpgradeFailed);
        return 0;
    }
    QByteArray report(length, '\0');
    auto* r = reinterpret_cast<quint8*>(report.data());
    // A type-8 unit takes the deciphered body, a type-7 unit deciphers it itself.
    const int bodyLength = firmwareLength - 16;
    const auto* source = reinterpret_cast<const quint8*>(type == 8 ? fwBodyBuffer.constData()
                                                                   : fwFileBuffer.constData() + 16);

    r[1] = 0x01;
    r[2] = 0x01;
    if (kvmDevice->sendFeatureReport(r, length) < 0) {
        closeDevice();
        status(QStringLiteral("Could not start firmware upgrade, try again."));
        return 0;
    }
    r[1] = r[2] = 0;
    delay(2000);

    for (int offset = 0; offset < bodyLength; offset += kDataBytes) {
        // The report is not cleared: a short last report carries on the bytes of the one before.
        std::memcpy(r + 1, source + offset, size_t(qMin(kDataBytes, bodyLength - offset)));
        if (kvmDevice->write(r, length, TimeScale::ms(kWriteTimeoutMs)) != length) {
            closeDevice();
            status(kUpgradeFailed);
            return 0;
        }
        if (offset % 512 == 0 && ui)
            ui->updateBar->setValue(ui->updateBar->value() + 1);
    }

    delay(500);
    r[1] = 0x09;
    // The unit keeps the firmware only after the end report, so a refused one is a failure.
    const bool ended = kvmDevice->sendFeatureReport(r, length) >= 0;
    closeDevice();
    if (!ended) {
        status(kUpgradeFailed);
        return 0;
    }
    return 1;
}

bool KorvinaUpdater::exitBootLoader()
{
    // Every unit leaves through the type-7 boot loader; a type-8 unit that is not seen there
    // is looked for under its own.
    const int type = quint8(fwHeader.at(1));
    bool left = false;
    if (FindKvm(7) || (type == 8 && FindKvm(8))) {
        QByteArray report(kvmDevice->featureReportLength(), '\0');
        report[1] = 0x0A;
        left = kvmDevice->sendFeatureReport(reinterpret_cast<const quint8*>(report.constData()), report.size()) >= 0;
        closeDevice();
    }
    status(left ? QStringLiteral("Firmware upgrade successful.") : kUpgradeFailed);
    return left;
}

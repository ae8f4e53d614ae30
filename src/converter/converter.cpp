#include "converter.h"

#include "constants.h"
#include "convertercontrol.h"
#include "delay.h"
#include "dialogs.h"
#include "ediddecoder.h"
#include "hid.h"
#include "regularfile.h"
#include "timescale.h"
#include "ui_mainui.h"
#include "usbbus.h"

#include <QButtonGroup>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QTimer>

namespace {

constexpr int DevicePollMs = 2500;
// The HID interfaces a scan looks at, at most.
constexpr int MaxHidInterfaces = 50;
// The HID scaler's wait for a unit that does not answer yet: 150 steps of 100 ms.
constexpr int ConnectSteps = 150;
constexpr int ConnectStepMs = 100;

const QString kConnecting = QStringLiteral("Please wait. Connecting.");

// The model a HID interface belongs to; empty for anything else.
QString hidModel(quint16 vendorId, quint16 productId)
{
    using namespace ConverterUsb;
    if (vendorId == MakerVendorId && productId == OrrelinProductId)
        return MODEL_ORRELIN;
    if (vendorId == MakerVendorId && productId == PalomirProductId)
        return MODEL_PALOMIR;
    if (vendorId == MakerVendorId && productId == PerrickProductId)
        return MODEL_PERRICK;
    if ((vendorId == KorvinaAltVendorId && productId == KorvinaAltProductId)
        || (vendorId == MakerVendorId && productId == KorvinaProductId))
        return MODEL_KORVINA;
    return QString();
}

// The drop-down record of a USB unit. Only the HID scaler's carries its real ids: the page sends
// its commands to them; the other pages find their units by name.
Device usbUnit(const QString& model)
{
    Device unit;
    unit.name = model;
    unit.portName = QStringLiteral("USB");
    const bool scaler = model == MODEL_PERRICK;
    unit.productId = scaler ? ConverterUsb::PerrickProductId : 1;
    unit.vendorId = scaler ? ConverterUsb::MakerVendorId : 1;
    unit.manufacturer = QStringLiteral("B");
    unit.type = 0;
    return unit;
}

bool listed(const QList<Device>& units, const QString& model)
{
    for (const Device& unit : units) {
        if (unit.name == model)
            return true;
    }
    return false;
}

} // namespace

Converter::Converter(Ui_MainUI* ui)
    : Converter(ui, NoSetup())
{
    connectSignals();
}

Converter::Converter(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
{
    errorPalette.setColor(QPalette::WindowText, QColor(255, 70, 50));
    normalPalette.setColor(QPalette::WindowText, Qt::green);
}

Converter::~Converter() = default;

void Converter::connectSignals()
{
    connect(ui->converterFirmwareBrowse, SIGNAL(clicked()), this, SLOT(firmwareBrowse()));
    connect(ui->converterFirmwareUpdate, SIGNAL(clicked()), this, SLOT(burnChosenFirmware()));
    connect(ui->scaler12controls, SIGNAL(buttonClicked(QAbstractButton*)), this,
            SLOT(handleScaler12Controls(QAbstractButton*)));
    connect(ui->scaler12o1res, SIGNAL(buttonClicked(QAbstractButton*)), this,
            SLOT(handleScaler12Controls(QAbstractButton*)));
    connect(ui->scaler12o2res, SIGNAL(buttonClicked(QAbstractButton*)), this,
            SLOT(handleScaler12Controls(QAbstractButton*)));
    ui->converterFirmwareUpdate->setEnabled(false);

    deviceTimer = new QTimer(this);
    connect(deviceTimer, SIGNAL(timeout()), this, SLOT(checkDeviceCount()));
    deviceTimer->start(TimeScale::ms(DevicePollMs));
}

// ---- USB scan --------------------------------------------------------------------------------

void Converter::setDeviceCheckEnabled(bool enabled)
{
    pollingEnabled = enabled;
}

QList<Device> Converter::updateDeviceList()
{
    deviceList.clear();

    HidBackend* hid = HidBackend::current();
    const QList<HidDeviceInfo> interfaces = hid->enumerate();
    for (int i = 0; i < interfaces.size() && i < MaxHidInterfaces; ++i) {
        const HidDeviceInfo& info = interfaces.at(i);
        const QString model = hidModel(info.vendorId, info.productId);
        // A unit with several interfaces is one unit; each model is listed once.
        if (model.isEmpty() || listed(deviceList, model))
            continue;
        // Only a unit that can be opened is of use (another program may hold it).
        if (!hid->open(info.path))
            continue;
        deviceList.append(usbUnit(model));
    }

    // Every wireless unit is listed: several may be attached at once.
    for (const UsbDeviceInfo& device : UsbBackend::current()->devices()) {
        if (device.vendorId == ConverterUsb::RolvaneVendorId && device.productId == ConverterUsb::RolvaneProductId)
            deviceList.append(usbUnit(MODEL_ROLVANE_SERIES));
    }
    return deviceList;
}

void Converter::checkDeviceCount()
{
    if (!pollingEnabled || waitingForUnit)
        return;
    previousDeviceList = deviceList;
    updateDeviceList();
    if (deviceList.size() != previousDeviceList.size()) {
        // Off until the hub has rebuilt its list and arms the poll again.
        pollingEnabled = false;
        emit refreshImmediately();
    }
}

// ---- Selection -------------------------------------------------------------------------------

void Converter::selectedProductChanged(Device device)
{
    qDebug() << "converter selectedProductChanged " << Qt::hex << device.vendorId << device.productId;
    if (device.name != MODEL_PERRICK) {
        unloadConvertersEDID();
        for (int i = 0; i < ui->selectEDIDFromDevice->count(); ++i) {
            if (ui->selectEDIDFromDevice->itemText(i).contains(QLatin1String("Converter"))) {
                enableRelevantFields();
                return;
            }
        }
        ui->selectEDIDFromDevice->setEnabled(true);
        ui->selectEDIDFromDevice->insertItem(1, QStringLiteral("Converter: %1").arg(MODEL_ORRELIN));
        enableRelevantFields();
        return;
    }

    QByteArray reply;
    if (!askScalerInfo(device, &reply)) {
        Dialogs::critical(ui->centralFrame, QStringLiteral("I/O Error"),
                          QStringLiteral("Cannot communicate with unit! please power cycle the unit and try again."));
        return;
    }
    qDebug() << "output get device info" << reply.left(11).toHex(' ');
    showScalerSettings(reply);

    showEdidBox(QStringLiteral("Custom EDID"));
    ui->selectEDIDFromDevice->clear();
    ui->selectEDIDFromDevice->setEnabled(true);
    ui->selectEDIDFromDevice->addItems({QStringLiteral("-- Select --"), QStringLiteral("External - Output 1"),
                                        QStringLiteral("External - Output 2"),
                                        QStringLiteral("Internal - User Defined")});
}

// Asks the HID scaler for its settings; a unit that does not answer yet gets 15 s to wake up and
// one more request.
bool Converter::askScalerInfo(const Device& device, QByteArray* reply)
{
    // The USB poll stays out of the whole exchange: its list refresh must not re-select the unit
    // between the requests (the progress dialog's steps run the event loop).
    waitingForUnit = true;
    const auto pollBack = qScopeGuard([this] { waitingForUnit = false; });
    *reply = sendCommand(int(device.vendorId), int(device.productId), scalerDeviceInfoPayload());
    if (parseScalerDeviceInfo(*reply).valid)
        return true;

    QProgressDialog progress(kConnecting, QString(), 0, ConnectSteps, ui->centralFrame);
    progress.setCancelButton(nullptr);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.show();
    for (int step = 0; step < ConnectSteps; ++step) {
        progress.setValue(step);
        delay(ConnectStepMs);
    }
    progress.setValue(ConnectSteps);
    progress.close();

    *reply = sendCommand(int(device.vendorId), int(device.productId), scalerDeviceInfoPayload());
    return parseScalerDeviceInfo(*reply).valid;
}

void Converter::showScalerSettings(const QByteArray& reply)
{
    const ScalerDeviceInfo info = parseScalerDeviceInfo(reply);
    const auto showResolution = [](quint8 code, QAbstractButton* scale, QAbstractButton* bypass) {
        if (code == ScalerRegister::Scale)
            scale->setChecked(true);
        else if (code == ScalerRegister::Bypass)
            bypass->setChecked(true);
    };
    showResolution(info.output1, ui->scaler12o1scale, ui->scaler12o1bypass);
    showResolution(info.output2, ui->scaler12o2scale, ui->scaler12o2bypass);

    const auto showPair = [](quint8 code, const PairCodes& codes, QAbstractButton* first, QAbstractButton* second) {
        bool on1 = first->isChecked();
        bool on2 = second->isChecked();
        if (decodePair(code, codes, &on1, &on2)) {
            first->setChecked(on1);
            second->setChecked(on2);
        }
    };
    showPair(info.hdcp, ScalerHdcpCodes, ui->scaler12hdcp14, ui->scaler12hdcp22);
    showPair(info.yuv420, ScalerYuv420Codes, ui->scaler12o1color, ui->scaler12o2color);

    // Output 1 carries YUV 4:2:0 only at its own resolution.
    if (ui->scaler12o1scale->isChecked())
        ui->scaler12o1color->setChecked(false);
    ui->scaler12o1color->setEnabled(!ui->scaler12o1scale->isChecked());

    ui->updateCurrentFirmware->setText(info.version);
    ui->versionInfo->setText(info.version);
}

void Converter::unloadConvertersEDID()
{
    ui->sorvaneBox->setEnabled(false);
    ui->versionInfo->clear();
    ui->versionInfo->setText(MODEL_ORRELIN);
    QComboBox* sources = ui->selectEDIDFromDevice;
    for (int i = sources->count() - 1; i >= 0; --i) {
        const QString text = sources->itemText(i);
        qDebug() << text;
        if (!text.contains(QLatin1String("Select EDID")) && !text.contains(QLatin1String("Converter"))
            && !text.contains(QLatin1String("Connected Display")))
            sources->removeItem(i);
    }
}

void Converter::enableRelevantFields()
{
    showEdidBox(QStringLiteral("Converter"));
}

// The EDID box of a USB unit: one upload destination, no copying between units.
void Converter::showEdidBox(const QString& destination)
{
    ui->sorvaneBox->setEnabled(true);
    ui->uploadToDropdown->clear();
    ui->uploadToDropdown->addItem(destination);
    ui->copyButton->setEnabled(false);
    ui->copyFromDropdown->setEnabled(false);
    ui->copyToDropdown->setEnabled(false);
}

// ---- HID scaler settings ---------------------------------------------------------------------

bool Converter::sendScalerSetting(quint8 reg, quint8 value)
{
    const QByteArray reply = sendCommand(ConverterUsb::MakerVendorId, ConverterUsb::PerrickProductId,
                                         scalerSettingPayload(reg, value));
    return !reply.isEmpty() && quint8(reply.at(0)) == ConverterAck;
}

void Converter::handleScaler12Controls(QAbstractButton* b)
{
    if (!b)
        return;
    const QString name = b->objectName();
    qDebug() << name << b->isChecked();
    const bool output1 = name.contains(QLatin1String("o1"));
    const bool resolution = name.contains(QLatin1String("bypass")) || name.contains(QLatin1String("scale"));
    const quint8 resolutionRegister = output1 ? ScalerRegister::Output1Resolution : ScalerRegister::Output2Resolution;
    const auto yuv420 = [this] {
        return pairCode(ui->scaler12o1color->isChecked(), ui->scaler12o2color->isChecked(), ScalerYuv420Codes);
    };

    bool ok = false;
    if (name.contains(QLatin1String("hdcp")))
        ok = sendScalerSetting(ScalerRegister::Hdcp,
                               pairCode(ui->scaler12hdcp14->isChecked(), ui->scaler12hdcp22->isChecked(), ScalerHdcpCodes));
    else if (name.contains(QLatin1String("color")))
        ok = sendScalerSetting(ScalerRegister::Yuv420, yuv420());
    else if (name.contains(QLatin1String("bypass")))
        ok = sendScalerSetting(resolutionRegister, ScalerRegister::Bypass);
    else if (name.contains(QLatin1String("scale")))
        ok = sendScalerSetting(resolutionRegister, ScalerRegister::Scale);
    else
        return;

    if (resolution && output1) {
        if (ui->scaler12o1scale->isChecked()) {
            ui->scaler12o1color->setEnabled(false);
            if (ui->scaler12o1color->isChecked()) {
                ui->scaler12o1color->setChecked(false);
                ok = sendScalerSetting(ScalerRegister::Yuv420, yuv420()) && ok;
            }
        } else {
            ui->scaler12o1color->setEnabled(true);
        }
    }

    if (ok) {
        showResult(QStringLiteral("Updated."), true);
        QTimer::singleShot(TimeScale::ms(2000), this, SLOT(clearStatus()));
    } else {
        showResult(QStringLiteral("Update failed."), false);
    }
}

// ---- EDIDs -----------------------------------------------------------------------------------

QByteArray Converter::doViewEDID()
{
    qDebug() << " Converter Do View EDID";
    const ConverterEdidRead read = viewEDID();
    if (read.edid.isEmpty())
        qDebug() << "converter EDID read failed:" << read.problem;
    return read.edid;
}

QByteArray Converter::doScalerViewEDID()
{
    qDebug() << " Scaler Do View EDID";
    const QString source = ui->selectEDIDFromDevice->currentText();
    const int number = source.contains(QLatin1Char('1')) ? 1 : source.contains(QLatin1Char('2')) ? 2 : 3;
    const ConverterEdidRead read = viewScalerEDID(number);
    if (read.edid.isEmpty()) {
        qDebug() << "HID scaler EDID read failed:" << read.problem;
        Dialogs::critical(ui->centralFrame, QStringLiteral("Error"), QStringLiteral("No EDID found!"));
    }
    return read.edid;
}

void Converter::showResult(const QString& text, bool ok)
{
    ui->statusBar->setPalette(ok ? normalPalette : errorPalette);
    ui->statusBar->showMessage(text);
}

QString Converter::performEdidUpload(const QString& fileName, quint16 productId, const QByteArray& command,
                                     EdidUploadAnswers answers)
{
    QString result;
    bool ok = false;
    // The file is only read, at most one byte more than a unit holds, and must be an EDID.
    const RegularFileRead file = readRegularFile(fileName, ConverterEdidImageSize);
    QString problem;
    if (file.status == RegularFileRead::TooLarge) {
        result = QStringLiteral("Upload failed, file failure.");
    } else if (!file.ok()) {
        qDebug() << "Couldn't open file." << file.error;
        result = QStringLiteral("Upload failed, could not open file.");
    } else if (!(problem = edidTransferError(file.bytes)).isEmpty()) {
        result = QStringLiteral("Upload failed, file failure. %1").arg(problem);
    } else {
        // A one-block EDID goes out padded with zeros: the unit always takes 256 bytes.
        QByteArray image = file.bytes;
        image.append(QByteArray(ConverterEdidImageSize - image.size(), '\0'));
        switch (uploadEdidImage(productId, command, image, answers)) {
        case EdidUploadResult::DeviceMissing:
            result = QStringLiteral("Upload failed, could not find device.");
            break;
        case EdidUploadResult::NotStarted:
        case EdidUploadResult::Interrupted:
        case EdidUploadResult::ChunksRefused:
            result = QStringLiteral("Upload failed!");
            break;
        case EdidUploadResult::Complete:
            result = QStringLiteral("Upload Complete.");
            ok = true;
            break;
        }
    }
    ui->statusBar->setPalette(ok ? normalPalette : errorPalette);
    return result;
}

QString Converter::performUploadEDID(QString fileName)
{
    return performEdidUpload(fileName, ConverterUsb::OrrelinProductId, QByteArrayLiteral("#SEND_EDID"),
                             EdidUploadAnswers::NotJudged);
}

QString Converter::performScaler12UploadEDID(QString fileName)
{
    return performEdidUpload(fileName, ConverterUsb::PerrickProductId, scalerEdidPayload(ScalerUserEdidWrite),
                             EdidUploadAnswers::Judged);
}

void Converter::uploadEDID(QString fileName)
{
    ui->statusBar->showMessage(performUploadEDID(fileName));
}

void Converter::uploadScaler12EDID(QString fileName)
{
    Dialogs::information(ui->centralFrame, QString(),
                         QStringLiteral("Please set the device to custom edid mode by changing rotary switch to 7 "
                                        "and press OK to continue."));
    ui->statusBar->showMessage(performScaler12UploadEDID(fileName));
}

// ---- Firmware --------------------------------------------------------------------------------

void Converter::firmwareBrowse()
{
    firmwareFileName = Dialogs::getOpenFileName(this, QStringLiteral("Select File"), QString(),
                                                QStringLiteral("Files (*.bin)"));
    if (firmwareFileName.isEmpty())
        return;
    // A FIFO or device would block the open; only a regular file can be a firmware file.
    QFile file(firmwareFileName);
    if (!QFileInfo(firmwareFileName).isFile() || !file.open(QIODevice::ReadOnly)) {
        Dialogs::critical(ui->centralFrame, QStringLiteral("I/O Error"), QStringLiteral("Cannot open file for reading."));
        return;
    }
    ui->converterFirmwareFile->setText(firmwareFileName);
    ui->converterFirmwareUpdate->setEnabled(true);
}

void Converter::initiateFirmwareUpdate()
{
    burnFirmware(ui->updateFilename->text());
}

// The page's own update button burns the file chosen beside it.
void Converter::burnChosenFirmware()
{
    burnFirmware(firmwareFileName);
}

void Converter::burnFirmware(const QString& fileName)
{
    emit setUSBDiscover(false);

    using namespace ConverterUsb;
    const QString product = ui->productCombobox->currentText();
    quint16 vendorId = 0xFFFF;
    quint16 productId = 0xFFFF;
    if (product.contains(MODEL_ORRELIN)) {
        vendorId = MakerVendorId;
        productId = OrrelinProductId;
    } else if (product.contains(MODEL_PALOMIR)) {
        vendorId = MakerVendorId;
        productId = PalomirProductId;
    } else if (product.contains(MODEL_PERRICK)) {
        vendorId = MakerVendorId;
        productId = PerrickProductId;
    } else {
        qDebug() << "USB selection error";
    }

    // The path stays as the system names it.
    const QByteArray path = QFile::encodeName(fileName);
    qDebug() << " STR " << path;
    burnResult = runMcuBurn(ui, path, vendorId, productId);
    updateStatus(burnResult);

    emit setUSBDiscover(true);
}

void Converter::updateStatus(const QString& msg)
{
    ui->converterFirmwareStatus->setText(msg);
    Dialogs::information(ui->centralFrame, QStringLiteral("Status"), msg);
}

void Converter::clearStatus()
{
    ui->statusBar->clearMessage();
}

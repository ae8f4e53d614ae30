#include "updatetabcontrol.h"

#include "constants.h"
#include "dialogs.h"
#include "serialports.h"
#include "ui_mainui.h"
#include "updatedownloadmanager.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

namespace {

const QString NOT_FOUND = QStringLiteral("Firmware file not found!!");
const QString DISCONNECTED = QStringLiteral("Update Method: Disconnected");
const QString INSTALL = QStringLiteral("Install");
const QString INSTALL_DEPRECATED = QStringLiteral("Install Deprecated");
const QString STARTUP_ENABLED = QStringLiteral("Check at Startup Enabled");
const QString STARTUP_DISABLED = QStringLiteral("Check at Startup Disabled");

// The products whose whole package is unpacked into a folder that their uploader reads.
bool isWholePackageProduct(const QString& name)
{
    static const QStringList names{MODEL_JOVARIS, MODEL_NORRITH, MODEL_SURROW,
                                   MODEL_ZARRICK, MODEL_CAVROSH, MODEL_CALTOR};
    return names.contains(name);
}

QString notesWithInstructions(const UpdateInfo& info)
{
    if (info.instructions.isEmpty())
        return info.notes;
    return info.instructions + QLatin1Char('\n') + QStringLiteral("---") + QLatin1Char('\n') + info.notes;
}

} // namespace

const QStringList& UpdateTabControl::rolvaneUnitModels()
{
    static const QStringList units{QStringLiteral("Torvala"),    QStringLiteral("Sundrel"),
                                   QStringLiteral("Torvala-EU"), QStringLiteral("Sundrel-EU"),
                                   QStringLiteral("Zornith"),    QStringLiteral("Varrosk"),
                                   QStringLiteral("Zornith-EU"), QStringLiteral("Varrosk-EU")};
    return units;
}

bool UpdateTabControl::isRolvaneFamily(const QString& productName)
{
    return productName == MODEL_ROLVANE_SERIES || rolvaneUnitModels().contains(productName);
}

int UpdateTabControl::firmwareCode(const QString& name)
{
    static const QStringList converters{MODEL_PALOMIR, MODEL_ORRELIN, MODEL_PERRICK};
    static const QStringList testDevices{NAME_DP_SORVANE_PLUS, NAME_HDMI_SORVANE_PLUS, NAME_BOOSTER_SORVANE,
                                         MODEL_LOMARET_R,      MODEL_LOMARET_S,        MODEL_OSRINTH_R,
                                         MODEL_OSRINTH_S,      MODEL_DUNMARL_R,        MODEL_DUNMARL_S};
    static const QStringList scalers{NAME_SCALER_HDMI_VGA_TO_3GSDI, NAME_SCALER_VGA_TO_DVI,
                                     NAME_SCALER_VGA_AUDIO_TO_HDMI};
    static const QStringList splitters{MODEL_FARRUND, MODEL_HARLISK, MODEL_JORVALE};
    static const QStringList jovarisFamily{MODEL_JOVARIS, MODEL_NORRITH, MODEL_SURROW};
    static const QStringList bootLoaderFamily{MODEL_ZARRICK, MODEL_CAVROSH};

    if (isFirmwareGroupModel(name))
        return 1;
    if (converters.contains(name))
        return 10;
    if (testDevices.contains(name))
        return 11;
    if (name == MODEL_ROLVANE_SERIES)
        return 12;
    if (scalers.contains(name))
        return 13;
    if (rolvaneUnitModels().contains(name))
        return 20;
    if (name == MODEL_KORVINA)
        return 30;
    if (splitters.contains(name))
        return 14;
    if (jovarisFamily.contains(name))
        return 40;
    if (bootLoaderFamily.contains(name))
        return 50;
    if (name == MODEL_CALTOR)
        return 51;
    return 0;
}

UpdateTabControl::UpdateTabControl(Ui_MainUI* ui)
    : UpdateTabControl(ui, NoSetup())
{
    xmlManager = new updateXMLManager(ui);
    downloadManager = new updateDownloadManager(ui);
    initConnections();
}

UpdateTabControl::UpdateTabControl(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
{
}

UpdateTabControl::~UpdateTabControl()
{
    delete downloadManager;
    delete xmlManager;
}

void UpdateTabControl::initConnections()
{
    internetAvailable = true;
    silentCheck = false;
    // The serial firmware page's own tab is never shown.
    const int serialPage = ui->tabWidget->indexOf(ui->depUpdateTab);
    if (serialPage >= 0)
        ui->tabWidget->removeTab(serialPage);
    ui->updateOptionTwo->hide();
    ui->updateOptionOne->hide();

    connect(ui->updateBrowse, SIGNAL(clicked()), this, SLOT(updateSelectBrowse()));
    connect(ui->updateCheckLatest, SIGNAL(clicked()), this, SLOT(getLatestUpdates()));
    connect(ui->updateCheckLatest_2, SIGNAL(clicked()), this, SLOT(getLatestUpdates()));
    connect(ui->updateToggleStartupCheck, SIGNAL(clicked()), this, SLOT(toggleStartupCheck()));
    connect(ui->updateToggleStartupCheck_2, SIGNAL(clicked()), this, SLOT(toggleStartupCheck()));
    connect(ui->updateFileInstall, SIGNAL(clicked()), this, SLOT(firmwareUpdateEmitter()));
    connect(ui->updatePlxInstall_3, SIGNAL(clicked()), this, SLOT(firmwareUpdateEmitter()));
    connect(ui->updateDLPlx, SIGNAL(clicked()), this, SLOT(downloadToPlexaTHandler()));
    connect(ui->updateDLComp_2, SIGNAL(clicked()), this, SLOT(downloadToPlexaTHandler()));
    connect(ui->updateDLComp, SIGNAL(clicked()), this, SLOT(downloadToCompHandler()));
    connect(ui->updatePlxInstall, SIGNAL(clicked()), this, SLOT(startFirmwareUpdateInstall()));
    connect(ui->updatePlxInstall_2, SIGNAL(clicked()), this, SLOT(startFirmwareUpdateInstall()));
    connect(downloadManager, SIGNAL(finishedDownloadingProductsXML(bool)), this, SLOT(getLatestUpdatesFinish(bool)));
    connect(downloadManager, SIGNAL(finishedDownloadingPackage(QString, bool, bool)), this,
            SLOT(packageDownloadFinished(QString, bool, bool)));
    connect(ui->updateOptionTwo, SIGNAL(currentIndexChanged(QString)), this, SLOT(updateOptionTwoHandler(QString)));
}

// --- Product selection -----------------------------------------------------------------------

void UpdateTabControl::setProductName(const QString& name)
{
    currentProductName = name;
    ui->updateProductName->setText(QStringLiteral("Product: ") + name);
}

void UpdateTabControl::setProduct(const Device& d)
{
    setProductName(d.name);
}

void UpdateTabControl::setUpdateMethod(const QString& m)
{
    currentUpdateMethod = m;
    ui->updateMethod->setText(QStringLiteral("Update Method: ") + m);
}

UpdateInfo UpdateTabControl::getUpdateInfo(QString devName)
{
    return xmlManager->readUpdateInfo(devName);
}

void UpdateTabControl::setUpdateInfo(QString devName)
{
    const UpdateInfo info = getUpdateInfo(devName);
    ui->updateLatestFirmware->setText(info.latestfw);
    ui->updateNotes->setText(notesWithInstructions(info));
    noUpdate = info.noupdate == QLatin1String("true");
}

void UpdateTabControl::setIPProduct(_Device* unit)
{
    if (!unit)
        return;
    // The record belongs to discovery and may be freed by its next scan: take copies now.
    const QString name = unit->productName;
    const QString version = unit->firmwareVersion;
    setProductName(name);
    ui->updateCurrentFirmware->setText(version);
    ui->updateCurrentFirmware_2->setText(version);
    setUpdateMethod(QStringLiteral("Network"));
    setUpdateInfo(currentProductName);
    ui->updateOptionTwo->hide();
    ui->updateOptionOne->hide();
    ui->updateOptionLabel->setText(QStringLiteral("None"));
    setFieldsForNewDevice();
    checkIfDownloaded();
}

void UpdateTabControl::setUSBSerialDevice(Device device)
{
    setProduct(device);
    setUpdateMethod(QStringLiteral("USB Serial"));
    ui->updateOptionTwo->hide();
    ui->updateOptionOne->hide();
    ui->updateOptionLabel->setText(QStringLiteral("None"));
    setUpdateInfo(currentProductName);
    setFieldsForNewDevice();
    checkIfDownloaded();
}

void UpdateTabControl::setUSBSerialProductAlt(Device device)
{
    setUSBSerialDevice(device);
}

void UpdateTabControl::setRS232Product(QString name)
{
    setProductName(name);
    ui->updateCurrentFirmware->setText(QStringLiteral("X"));
    ui->updateCurrentFirmware_2->setText(QStringLiteral("X"));
    setUpdateMethod(QStringLiteral("RS-232"));
    setUpdateInfo(currentProductName);
    ui->updateNotes->setText(SERIAL_UPDATE_INSTRUCTIONS);
    populateComPorts();
    setFieldsForNewDevice();
    checkIfDownloaded();
}

void UpdateTabControl::setUSBDevice(Device device)
{
    setProduct(device);
    if (device.name != MODEL_PERRICK) {
        ui->updateCurrentFirmware->setText(QStringLiteral("X"));
        ui->updateCurrentFirmware_2->setText(QStringLiteral("X"));
    }
    setUpdateMethod(QStringLiteral("USB"));
    setUpdateInfo(currentProductName);
    if (device.name == MODEL_ROLVANE_SERIES) {
        showRolvaneLists();
    } else {
        ui->updateOptionTwo->hide();
        ui->updateOptionOne->hide();
        ui->updateOptionLabel->setText(QStringLiteral("None"));
    }
    setFieldsForNewDevice();
    checkIfDownloaded();
}

void UpdateTabControl::setOfflineDevice(QString name)
{
    setProductName(name);
    ui->updateCurrentFirmware->clear();
    ui->updateCurrentFirmware_2->clear();
    ui->updateMethod->setText(DISCONNECTED);
    setUpdateInfo(currentProductName);
    setFieldsForNewDevice();
    checkIfDownloaded();
    ui->updatePlxInstall->setEnabled(false);
}

void UpdateTabControl::setSecondPage(const QString& name, const QString& method)
{
    currentProductName = name;
    ui->updateProductName_2->setText(QStringLiteral("Product: ") + name);
    ui->updateMethod_2->setText(QStringLiteral("Update Method: ") + method);
}

void UpdateTabControl::setCALTORDevice(QString name)
{
    setSecondPage(name, QStringLiteral("TCP"));
    const UpdateInfo info = getUpdateInfo(name);
    ui->updateLatestFirmware_2->setText(info.latestfw);
    ui->updateNotes_2->setText(info.notes);
}

void UpdateTabControl::setUSBProduct(QString name)
{
    setSecondPage(name, QStringLiteral("USB"));
    const UpdateInfo info = getUpdateInfo(name);
    ui->updateLatestFirmware_2->setText(info.latestfw);
    ui->updateNotes_2->setText(notesWithInstructions(info));
    noUpdate = info.noupdate == QLatin1String("true");
}

void UpdateTabControl::setUSBProductChecked(QString name)
{
    Q_UNUSED(name)
    setUSBProduct(MODEL_CAVROSH);
}

void UpdateTabControl::setUSBSerialProduct(QString name)
{
    setSecondPage(name, QStringLiteral("USB\\Serial"));
    ui->updateLatestFirmware_2->setText(getUpdateInfo(name).latestfw);
}

bool UpdateTabControl::isGroupOneDevice(QString name)
{
    return isFirmwareGroupModel(name);
}

void UpdateTabControl::populateComPorts()
{
    ui->updateOptionTwo->hide();
    ui->updateOptionOne->show();
    ui->updateOptionOne->clear();
    for (const SerialPortEntry& port : SerialPortLister::availablePorts()) {
        if (!port.portName.trimmed().isEmpty())
            ui->updateOptionOne->addItem(port.portName);
    }
    ui->updateOptionLabel->setText(QStringLiteral("Select COM Port"));
}

void UpdateTabControl::showRolvaneLists()
{
    ui->updateOptionTwo->show();
    ui->updateOptionOne->show();
    {
        // Filling the unit list must not count as the user choosing a unit.
        const QSignalBlocker blocker(ui->updateOptionTwo);
        ui->updateOptionTwo->clear();
        ui->updateOptionTwo->addItem(QStringLiteral("Select a unit"));
        ui->updateOptionTwo->addItems(rolvaneUnitModels());
    }
    ui->updateOptionOne->clear();
    ui->updateOptionOne->addItems({QStringLiteral("APP"), QStringLiteral("MAC")});
    ui->updateOptionLabel->setText(QStringLiteral("Select Product Type and Firmware Type"));
}

void UpdateTabControl::updateOptionTwoHandler(QString inp)
{
    if (isRolvaneFamily(currentProductName) && rolvaneUnitModels().contains(ui->updateOptionTwo->currentText()))
        updateSelectedProduct(inp);
}

void UpdateTabControl::updateSelectedProduct(const QString& name)
{
    setProductName(name);
    setUpdateInfo(currentProductName);
    setFieldsForNewDevice();
    checkIfDownloaded();
}

// --- Page state ------------------------------------------------------------------------------

void UpdateTabControl::setFieldsForNewDevice()
{
    ui->updatePlxInstall->setText(INSTALL);
    setFirmwareColors();
    if (ui->updateLatestFirmware->text().isEmpty() || ui->updateMethod->text() == DISCONNECTED)
        setUnavailableDevice();
    else
        refreshForSelectedDeviceChanged();
}

bool UpdateTabControl::packageDownloadRunning() const
{
    return downloadManager && downloadManager->isDownloadingPackage();
}

// The download buttons stay off while a package download runs, and come back when it ends.
void UpdateTabControl::setDownloadButtons()
{
    const bool available = !noUpdate && !ui->updateLatestFirmware->text().isEmpty()
        && ui->updateMethod->text() != DISCONNECTED;
    const bool idle = !packageDownloadRunning();
    ui->updateDLComp->setEnabled(available && idle);
    ui->updateDLPlx->setEnabled(available && idle);
    // The second page's button is set by the page sets; it is only held off meanwhile.
    if (!idle && !secondPageButtonHeld) {
        secondPageButtonHeld = true;
        secondPageButtonWasEnabled = ui->updateDLComp_2->isEnabled();
        ui->updateDLComp_2->setEnabled(false);
    } else if (idle && secondPageButtonHeld) {
        secondPageButtonHeld = false;
        ui->updateDLComp_2->setEnabled(secondPageButtonWasEnabled);
    }
}

void UpdateTabControl::refreshForSelectedDeviceChanged()
{
    if (noUpdate && ui->updateNotes->toPlainText().isEmpty())
        ui->updateNotes->setText(
            QStringLiteral("Firmware update functionality is currently unavailable in Plexa-T for this device."));
    ui->updatePlxInstall->setEnabled(false);
    setDownloadButtons();
    ui->updateBrowse->setEnabled(!noUpdate);
    ui->updateFileInstall->setEnabled(false);
    ui->updateBar->setValue(0);
    ui->updateFilename->clear();
}

void UpdateTabControl::setUnavailableDevice()
{
    if (ui->updateNotes->toPlainText().isEmpty())
        ui->updateNotes->setText(QStringLiteral("Firmware update functionality is currently unavailable for this device."));
    ui->updateOptionTwo->hide();
    ui->updateOptionOne->hide();
    ui->updateOptionLabel->setText(QStringLiteral("None"));
    ui->updatePlxInstall->setEnabled(false);
    ui->updateDLComp->setEnabled(false);
    ui->updateDLPlx->setEnabled(false);
    ui->updateBrowse->setEnabled(false);
    ui->updateFileInstall->setEnabled(false);
    ui->updateBar->setValue(0);
    ui->updateFilename->clear();
}

void UpdateTabControl::setFirmwareColors()
{
    const QString current = ui->updateCurrentFirmware->text().trimmed().toUpper();
    const QString latest = ui->updateLatestFirmware->text().trimmed().toUpper();
    int state = -1;
    if (current.isEmpty() || latest.isEmpty() || current == QLatin1String("X") || latest == QLatin1String("X"))
        state = 0;
    else if (current == latest)
        state = 1;
    applyFirmwareBoxStyle(state);
}

void UpdateTabControl::applyFirmwareBoxStyle(int state)
{
    const QString box = QStringLiteral("QGroupBox { background-color: white; border-radius: 5px; border: %1; }");
    QString border;
    QString label = QStringLiteral("QLabel { color: black; }");
    switch (state) {
    case 1:
        border = QStringLiteral("3px solid #0D9344");
        break;
    case 0:
        border = QStringLiteral("1px solid #BB241C");
        break;
    default:
        border = QStringLiteral("3px solid #BB241C");
        label = QStringLiteral("QLabel { color: #BB241C; }");
        break;
    }
    ui->updateCurrentFirmwareBox->setStyleSheet(box.arg(border));
    ui->updateLatestFirmwareBox->setStyleSheet(box.arg(border));
    ui->updateLatestFirmware->setStyleSheet(label);
}

// --- The package -----------------------------------------------------------------------------

QString UpdateTabControl::packagePath() const
{
    const QString zip = xmlManager->getZipFileName(currentProductName);
    if (zip.isEmpty() || currentProductName.isEmpty())
        return QString();
    return xmlManager->firmwareFolder() + QDir::separator() + currentProductName + QDir::separator() + zip;
}

QString UpdateTabControl::deprecatedPackagePath()
{
    const QString zip = xmlManager->getDeprecatedZipFile(currentProductName);
    if (zip.isEmpty() || currentProductName.isEmpty())
        return QString();
    return xmlManager->firmwareFolder() + QDir::separator() + currentProductName + QDir::separator() + zip;
}

void UpdateTabControl::checkIfDownloaded()
{
    // Only a file counts: without a package name the path would be the product's folder.
    const QString latest = packagePath();
    if (!latest.isEmpty() && QFileInfo(latest).isFile()) {
        ui->updatePlxInstall->setEnabled(!noUpdate);
        ui->updateDownloadedLabel->setText(QStringLiteral("Downloaded Version: ") + ui->updateLatestFirmware->text());
        return;
    }
    const QString older = deprecatedPackagePath();
    if (!older.isEmpty() && QFileInfo(older).isFile()) {
        ui->updatePlxInstall->setEnabled(!noUpdate);
        ui->updatePlxInstall->setText(INSTALL_DEPRECATED);
    } else {
        ui->updateDownloadedLabel->clear();
    }
}

void UpdateTabControl::downloadToCompHandler()
{
    downloadManager->downloadFilesTo(currentProductName, true);
    setDownloadButtons();
}

void UpdateTabControl::downloadToPlexaTHandler()
{
    downloadManager->downloadFilesToPlexaT(currentProductName);
    setDownloadButtons();
}

// The download is recorded and Install offered only once the package is complete.
void UpdateTabControl::packageDownloadFinished(QString deviceName, bool intoFirmwareFolder, bool ok)
{
    setDownloadButtons();
    if (!ok || !intoFirmwareFolder)
        return;
    xmlManager->updateDownloadListXML(deviceName);
    if (deviceName != currentProductName)
        return;
    checkIfDownloaded();
    ui->updatePlxInstall->setText(INSTALL);
    ui->updatePlxInstall->setEnabled(!noUpdate);
    ui->updatePlxInstall_2->setEnabled(!noUpdate);
}

void UpdateTabControl::updateSelectBrowse()
{
    const QString chosen = Dialogs::getOpenFileName(this, tr("Select File"), QString(), tr("Files (*.zip)"));
    if (chosen.isEmpty() || currentProductName.isEmpty())
        return;
    // Beside the product's downloaded package: the folder it is unpacked into belongs to it alone.
    const QString folder = xmlManager->firmwareFolder() + QDir::separator() + currentProductName;
    const QString target = folder + QDir::separator() + QFileInfo(chosen).fileName();
    QDir().mkpath(folder);
    if (!updateDownloadManager::copyInto(chosen, target)) {
        Dialogs::warning(ui->centralFrame, QStringLiteral("Warning"),
                         QStringLiteral("The file could not be copied into the firmware folder."));
        return;
    }
    browsedFile = target;
    ui->updateFilename->setText(browsedFile);
    ui->updateFileInstall->setEnabled(true);
}

void UpdateTabControl::startFirmwareUpdateInstall()
{
    ui->updateFilename->setText(packagePath());
    if (ui->updatePlxInstall->text() == INSTALL_DEPRECATED)
        ui->updateFilename->setText(deprecatedPackagePath());
    firmwareUpdateEmitter();
}

bool UpdateTabControl::unpack(const QString& zip)
{
    if (zip.trimmed().isEmpty() || !QFileInfo(zip).isFile()) {
        Dialogs::information(ui->centralFrame, QStringLiteral("Status"), NOT_FOUND);
        return false;
    }
    if (!downloadManager->unzip(zip)) {
        Dialogs::warning(ui->centralFrame, QStringLiteral("Warning"),
                         QStringLiteral("The firmware package could not be unpacked: ") + downloadManager->unzipError());
        return false;
    }
    return true;
}

QString UpdateTabControl::unzip()
{
    const QString zip = ui->updateFilename->text();
    if (!unpack(zip))
        return QString();
    return downloadManager->extractFolder();
}

QString UpdateTabControl::unzipAndChooseFile()
{
    const QString zip = ui->updateFilename->text();
    if (!unpack(zip))
        return QString();
    const QString folder = downloadManager->extractFolder();
    QString file;
    if (isRolvaneFamily(currentProductName) && ui->updateOptionOne->currentText().contains(QLatin1String("MAC")))
        file = xmlManager->getNextFirmwareFile(folder, currentProductName, 1);
    else
        file = xmlManager->getFirmwareFileName(folder, currentProductName);
    qDebug() << "Chosen firmware file:" << file;
    if (!file.isEmpty()) {
        ui->updateFilename->setText(file);
        return file;
    }
    // The serial firmware page takes the package itself and unpacks it on its own; every other
    // uploader needs the firmware file and is never handed the archive.
    if (isGroupOneDevice(currentProductName) && !zip.trimmed().isEmpty())
        return zip;
    Dialogs::information(ui->centralFrame, QStringLiteral("Status"), NOT_FOUND);
    return QString();
}

void UpdateTabControl::firmwareUpdateEmitter()
{
    qDebug() << "Installing for" << currentProductName;
    if (isWholePackageProduct(currentProductName)) {
        const QString folder = unzip();
        if (folder.isEmpty())
            return;
        qDebug() << "Unpacked into" << folder;
        ui->firmwareFolder->setText(folder);
    } else if (unzipAndChooseFile().isEmpty()) {
        return;
    }
    ui->updateBar->setValue(0);
    ui->updateBar->setRange(0, 100);
    const int code = firmwareCode(currentProductName);
    if (code != 0)
        emit FirmwareUpdateSignal(code);
}

// --- Update check ----------------------------------------------------------------------------

void UpdateTabControl::getLatestUpdates()
{
    ui->updateCheckLatest->setEnabled(false);
    ui->updateCheckLatest_2->setEnabled(false);
    // Without a place to download to, the check ends at once, as a failed one.
    if (!downloadManager->getProductsXML())
        getLatestUpdatesFinish(false);
}

void UpdateTabControl::showConnectionStatus()
{
    ui->updateConnectionLabel->setText(internetAvailable ? QString() : QStringLiteral("(No Internet Connection)"));
}

void UpdateTabControl::setLastCheckedNow()
{
    const QString text = QDateTime::currentDateTime().toString(Qt::TextDate);
    ui->updateLastChecked->setText(QStringLiteral("Last Checked: ") + text);
    ui->updateLastChecked_2->setText(QStringLiteral("Last Checked: ") + text);
    xmlManager->setLastChecked(text);
}

void UpdateTabControl::showLastChecked()
{
    const QString text = QStringLiteral("Last Checked: ") + xmlManager->getLastChecked();
    ui->updateLastChecked->setText(text);
    ui->updateLastChecked_2->setText(text);
}

void UpdateTabControl::getLatestUpdatesFinish(bool finished)
{
    internetAvailable = finished;
    showConnectionStatus();
    if (finished) {
        if (silentCheck)
            silentCheck = false;
        else
            Dialogs::information(ui->centralFrame, QStringLiteral("Success"),
                                 QStringLiteral("Successfully downloaded the current firmware update information."));
        setLastCheckedNow();
    } else {
        silentCheck = false;
        Dialogs::warning(ui->centralFrame, QStringLiteral("Warning"),
                         QStringLiteral("Application has found a local products XML file and will proceed by using "
                                        "this information. If you want to ensure that you have the latest product "
                                        "information, make sure you have internet connectivity and restart the "
                                        "application."));
        showLastChecked();
    }
    ui->updateCheckLatest->setEnabled(true);
    ui->updateCheckLatest_2->setEnabled(true);
}

void UpdateTabControl::startupUpdatesCheck()
{
    xmlManager->setupFirmwareFolder();
    if (!xmlManager->isCheckOnStartup()) {
        ui->updateToggleStartupCheck->setText(STARTUP_DISABLED);
        ui->updateToggleStartupCheck_2->setText(STARTUP_DISABLED);
        showLastChecked();
        return;
    }
    ui->updateToggleStartupCheck->setText(STARTUP_ENABLED);
    ui->updateToggleStartupCheck_2->setText(STARTUP_ENABLED);
    ui->updateToggleStartupCheck->setChecked(true);
    ui->updateToggleStartupCheck_2->setChecked(true);
    silentCheck = true;
    getLatestUpdates();
}

void UpdateTabControl::toggleStartupCheck()
{
    const bool enable = !xmlManager->isCheckOnStartup();
    xmlManager->setCheckOnStartup(enable);
    const QString text = enable ? STARTUP_ENABLED : STARTUP_DISABLED;
    ui->updateToggleStartupCheck->setText(text);
    ui->updateToggleStartupCheck->setChecked(enable);
    ui->updateToggleStartupCheck_2->setText(text);
    ui->updateToggleStartupCheck_2->setChecked(enable);
}

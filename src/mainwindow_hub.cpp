// The device hub: gathering every family's device list, deciding whether the product drop-down
// must be rebuilt, rebuilding it, putting the user's choice back afterwards, and routing firmware
// updates to the family's uploader.
#include "mainwindow.h"
#include "ui_mainui.h"

#include "caltor.h"
#include "constants.h"
#include "converter.h"
#include "delay.h"
#include "discovery.h"
#include "edidplus.h"
#include "firmwareupdate.h"
#include "hdbaset.h"
#include "korvinaupdater.h"
#include "lunmora.h"
#include "myxmlmanager.h"
#include "rolvanecontrol.h"
#include "scaler.h"
#include "serialports.h"
#include "sorvaneinterface.h"
#include "timescale.h"

#include <QDebug>
#include <QFont>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace {

const QString kConnectedDevicesHeader = QStringLiteral("Connected Devices");
const QString kOtherProductsHeader = QStringLiteral("Other Supported Products");
const QString kDisconnectedMessage = QStringLiteral("The current device is disconnected.");

enum class EntryLook { Header, Connected, NotConnected };

void addDropdownEntry(QComboBox* combo, const QString& text, EntryLook look)
{
    combo->addItem(text);
    const int index = combo->count() - 1;
    const int weight = look == EntryLook::Connected ? QFont::Bold : QFont::Normal;
    combo->setItemData(index, QFont(QStringLiteral("MS Shell Dlg 2"), 9, weight, false), Qt::FontRole);
    if (look == EntryLook::Header)
        combo->setItemData(index, COMBO_ITEM_DISABLED, COMBO_ITEM_FLAGS_ROLE);
}

// The first catalogue entry that `name` names. An empty name names nothing (every text starts
// with the empty text). Ethernet units may also report a longer name than the catalogue's.
int findCatalogueEntry(const QList<NamedFlag>& catalogue, const QString& name, bool allowLongerName)
{
    if (name.isEmpty())
        return -1;
    for (int i = 0; i < catalogue.size(); ++i) {
        const QString& entry = catalogue.at(i).name;
        if (entry.startsWith(name) || (allowLongerName && name.startsWith(entry)))
            return i;
    }
    return -1;
}

// Every unit of `now` has one in `before` on the same port, of the same type and model: a unit
// replaced by another model on the same port is a change.
bool sameUnits(const QList<Device>& now, const QList<Device>& before)
{
    for (const Device& unit : now) {
        const bool known = std::any_of(before.cbegin(), before.cend(), [&unit](const Device& old) {
            return old.portName == unit.portName && old.type == unit.type && old.name == unit.name;
        });
        if (!known)
            return false;
    }
    return true;
}

bool sameNamesInOrder(const QList<Device>& now, const QList<Device>& before)
{
    if (now.size() != before.size())
        return false;
    for (int i = 0; i < now.size(); ++i) {
        if (now.at(i).name != before.at(i).name)
            return false;
    }
    return true;
}

QList<EthernetUnit> copyUnits(const QList<_Device*>& units)
{
    QList<EthernetUnit> copies;
    for (const _Device* unit : units) {
        if (unit)
            copies.append(EthernetUnit(*unit));
    }
    return copies;
}

// Follows one firmware upload that may outlive the call that starts it. An uploader that runs
// asynchronously emits firmwareUpdateEvent(true) when its transfer starts and
// firmwareUpdateEvent(false) when it ends. `finish` runs exactly once: after the end, or right
// after the starting call when no transfer is running then (it failed at once or ran to its end
// inside the call).
class UploadWatch : public QObject
{
    Q_OBJECT

public:
    // Owned by `window`, whose members `finish` may use.
    UploadWatch(QObject* uploader, QObject* window, std::function<void()> finish)
        : QObject(window)
        , m_finish(std::move(finish))
    {
        connect(uploader, SIGNAL(firmwareUpdateEvent(bool)), this, SLOT(uploadEvent(bool)));
    }

    void startCallReturned()
    {
        m_inCall = false;
        if (!m_running)
            done();
    }

private slots:
    void uploadEvent(bool started)
    {
        if (started)
            m_running = true;
        else if (m_running) {
            m_running = false;
            if (!m_inCall)
                done();
        }
    }

private:
    void done()
    {
        if (m_done)
            return;
        m_done = true;
        m_finish();
        deleteLater();
    }

    std::function<void()> m_finish;
    bool m_inCall = true;
    bool m_running = false;
    bool m_done = false;
};

} // namespace

// ---- Refresh ----------------------------------------------------------------------------------

void MainWindow::refreshList()
{
    runHubWork(RefreshWork);
}

void MainWindow::updateProductDropdown()
{
    runHubWork(DropdownWork);
}

// A refresh waits for busy links with the event loop running, so a device poll may ask for
// another refresh, and discovery may report a scan, in the middle of one. Running them nested
// would mix two refreshes' lists; they are queued and run one after the other instead. A
// drop-down update always runs before a queued refresh, so no refresh overwrites the previous
// lists before they have been compared.
void MainWindow::runHubWork(HubWork work)
{
    hubWorkPending |= work;
    if (hubBusy)
        return;
    hubBusy = true;
    while (hubWorkPending) {
        if (hubWorkPending & DropdownWork) {
            hubWorkPending &= ~DropdownWork;
            runDropdownUpdate();
        } else {
            hubWorkPending &= ~RefreshWork;
            runRefresh();
        }
    }
    hubBusy = false;
}

void MainWindow::runRefresh()
{
    qDebug() << "mainwindow:refreshList";
    discovery->clearDeviceSettings();
    ui->myIpInfo->clearSelection();

    // Let a running poll of the EDID test devices finish first; it can only finish while the
    // event loop runs.
    for (int i = 0; i < 10 && edidPlus->isSorvaneBusy(); ++i)
        delay(100);

    edidPlus->setSorvaneFlag(false);
    scaler->setPollingEnabled(false);
    lunmora->setPollingEnabled(false);

    converterListOld = converterList;
    sorvaneListOld = sorvaneList;
    scalerListOld = scalerList;
    hdbaseTListOld = hdbaseTList;
    ipProductListOld = ipProductList;
    lunmoraListOld = lunmoraList;

    converterList = converter->updateDeviceList();
    sorvaneList = edidPlus->sorvaneDeviceList();
    scalerList = scaler->updateDeviceList();
    hdbaseTList = hdbaseT->updateDeviceList();
    lunmoraList = lunmora->updateDeviceList();

    discovery->setDetectEnabled(false);
    discovery->findDevices();

    if (dropdownPending) {
        // The first fill waits for the first discovery scan (or reports it earlier).
        if (!(hubWorkPending & DropdownWork))
            dropdownTimer->start(TimeScale::ms(5000));
        return;
    }
    hubWorkPending |= DropdownWork;
}

void MainWindow::autoRefreshList()
{
    qDebug() << "autoRefreshList";
    const QString current = ui->productCombobox->currentText();
    if (current != kConnectedDevicesHeader)
        lastProductText = current;
    refreshList();
}

void MainWindow::updateProductDropdownFromDiscovery()
{
    const QString current = ui->productCombobox->currentText();
    if (current != kConnectedDevicesHeader)
        lastProductText = current;
    ipListFromDiscovery = true;
    updateProductDropdown();
}

void MainWindow::runDropdownUpdate()
{
    qDebug() << "mainwindow updateProductDropdown";
    if (dropdownPending)
        dropdownTimer->stop();

    if (ipListFromDiscovery) {
        // Copied at once: Discovery may free these records at its next scan.
        ipProductList = copyUnits(discovery->updateDeviceList());
        qDebug() << "ipProductList111 " << ipProductList.size();
        ipListFromDiscovery = false;
    } else {
        ipProductList = ipProductListOld;
        qDebug() << "ipProductList222 " << ipProductList.size();
    }

    if (dropdownPending || productListChanged()) {
        ui->selectProductFrame->setEnabled(true);
        ui->productCombobox->setEnabled(true);
        qDebug() << "productListChanged111";
        populateProductDropdown();
    } else {
        rebindIpProductMap();
    }

    edidPlus->setSorvaneFlag(true);
    scaler->setPollingEnabled(true);
    lunmora->setPollingEnabled(true);
    discovery->setDetectEnabled(true);
    converter->setDeviceCheckEnabled(true);

    if (dropdownPending) {
        dropdownPending = false;
        return;
    }
    reviveDropdownState();
}

// The drop-down was left as it was: its Ethernet entries now stand for the records of the new
// list (same MACs, perhaps new addresses), so that the lists and the map agree.
void MainWindow::rebindIpProductMap()
{
    for (auto it = ipProductMap.begin(); it != ipProductMap.end(); ++it) {
        const QString mac = it.value().mac();
        for (const EthernetUnit& unit : qAsConst(ipProductList)) {
            if (unit.mac() == mac) {
                it.value() = unit;
                break;
            }
        }
    }
}

bool MainWindow::productListChanged()
{
    qDebug() << "productListChanged";
    qDebug() << "IpProductList " << ipProductListOld.size() << ipProductList.size();

    if (sorvaneList.size() != sorvaneListOld.size() || scalerList.size() != scalerListOld.size()
        || lunmoraList.size() != lunmoraListOld.size() || ipProductList.size() != ipProductListOld.size())
        return true;
    if (!sameNamesInOrder(converterList, converterListOld))
        return true;
    if (hdbaseTList.size() != hdbaseTListOld.size())
        return true;
    if (!sameUnits(converterList, converterListOld) || !sameUnits(sorvaneList, sorvaneListOld)
        || !sameUnits(scalerList, scalerListOld) || !sameUnits(lunmoraList, lunmoraListOld)
        || !sameUnits(hdbaseTList, hdbaseTListOld))
        return true;
    for (const EthernetUnit& unit : qAsConst(ipProductList)) {
        const QString mac = unit.mac();
        const bool known = std::any_of(ipProductListOld.cbegin(), ipProductListOld.cend(),
                                       [&mac](const EthernetUnit& old) { return old.mac() == mac; });
        if (!known)
            return true;
    }
    return false;
}

void MainWindow::reviveDropdownState()
{
    if (lastProductText.isEmpty())
        return;
    QComboBox* combo = ui->productCombobox;
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i) == lastProductText) {
            combo->setCurrentIndex(i);
            ui->ConfiguratorTabs->setEnabled(true);
            clearDisconnectedAlert();
            edidPlus->sorvaneInterface()->onSuddenReconnect();
            return;
        }
    }
    qDebug() << "Disconnected unit found.";
    if (!ui->ConfiguratorTabs->isEnabled())
        return;
    ui->ConfiguratorTabs->setEnabled(false);
    showDisconnectedAlert();
    edidPlus->sorvaneInterface()->closePort();
}

void MainWindow::showDisconnectedAlert()
{
    if (!statusAlertShown)
        statusPaletteBeforeAlert = ui->statusBar->palette();
    statusAlertShown = true;
    ui->statusBar->setPalette(alertPalette);
    ui->statusBar->showMessage(kDisconnectedMessage);
    QTimer::singleShot(TimeScale::ms(10000), scaler, SLOT(clearStatus()));
}

// The red of a disconnected unit lasts until the unit is back or another product is picked.
void MainWindow::clearDisconnectedAlert()
{
    if (!statusAlertShown)
        return;
    statusAlertShown = false;
    ui->statusBar->setPalette(statusPaletteBeforeAlert);
    if (ui->statusBar->currentMessage() == kDisconnectedMessage)
        ui->statusBar->clearMessage();
}

void MainWindow::converterDeviceCountCheckWrapper(bool toEnable)
{
    ui->updatePlxInstall->setEnabled(toEnable);
    ui->updateFileInstall->setEnabled(toEnable);
    if (toEnable) {
        // Give the unit time to come back on the bus before the USB check counts it.
        delay(2000);
        converter->setDeviceCheckEnabled(true);
    } else {
        dropdownTimer->stop();
        converter->setDeviceCheckEnabled(false);
    }
}

void MainWindow::rebootIpProduct()
{
    discovery->rebootDevice();
    ipProductList = copyUnits(discovery->removedDevices());
    populateProductDropdown();
}

void MainWindow::selectProductByMacAddress(QString macAddr)
{
    QComboBox* combo = ui->productCombobox;
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i).contains(macAddr)) {
            combo->setCurrentIndex(i);
            selectByMac = true;
            return;
        }
    }
}

// The unit Discovery knows now under `macText`; null when it has gone. Discovery's records may
// be freed at any later scan, so the pointer is good for the current call only.
_Device* MainWindow::discoveredUnit(const QString& macText) const
{
    const QList<_Device*> known = discovery->removedDevices(); // the units it lists now
    for (_Device* unit : known) {
        if (unit && macToString(unit) == macText)
            return unit;
    }
    return nullptr;
}

// ---- Drop-down population ---------------------------------------------------------------------

void MainWindow::resetSupportedProductList()
{
    productList.clear();
    for (const QString& name : SUPPORTED_PRODUCTS)
        productList.append({name, false});
}

void MainWindow::populateProductDropdown()
{
    qDebug() << "populateProductDropdown";
    resetSupportedProductList();
    converterMap.clear();
    sorvaneMap.clear();
    scalerMap.clear();
    lunmoraMap.clear();
    hdbaseTMap.clear();
    ipProductMap.clear();

    QComboBox* combo = ui->productCombobox;
    const bool wasBlocked = combo->blockSignals(true);
    combo->clear();
    addDropdownEntry(combo, kConnectedDevicesHeader, EntryLook::Header);

    qDebug() << "converterList.size() = " << converterList.size();
    qDebug() << "sorvaneList.size() = " << sorvaneList.size();
    qDebug() << "scalerList.size() = " << scalerList.size();
    qDebug() << "ipProductList.size() = " << ipProductList.size();

    const auto addUnits = [this, combo](const QList<Device>& units, QHash<int, Device>& map) {
        for (const Device& unit : units) {
            const int entry = findCatalogueEntry(productList, unit.name, false);
            if (entry < 0)
                continue;
            map.insert(combo->count(), unit);
            addDropdownEntry(combo, unit.name + QStringLiteral(", ") + unit.portName, EntryLook::Connected);
            myXMLManager::appendStatistic(STATISTIC_PRODUCTS, unit.name);
            productList[entry].connected = true;
        }
    };
    addUnits(converterList, converterMap);
    addUnits(sorvaneList, sorvaneMap);
    addUnits(scalerList, scalerMap);
    addUnits(lunmoraList, lunmoraMap);
    addUnits(hdbaseTList, hdbaseTMap);

    // Zarrick and Cavrosh units are reached over Ethernet or a USB serial port; a unit found
    // over Ethernet is not listed a second time by its port.
    bool zarrickOverEthernet = false;
    bool cavroshOverEthernet = false;
    for (const EthernetUnit& unit : qAsConst(ipProductList)) {
        const int entry = findCatalogueEntry(productList, unit->productName, true);
        if (entry < 0)
            continue;
        const QString& model = productList.at(entry).name;
        zarrickOverEthernet = zarrickOverEthernet || model.startsWith(MODEL_ZARRICK);
        cavroshOverEthernet = cavroshOverEthernet || model.startsWith(MODEL_CAVROSH);
        const QString text = QStringLiteral("%1, MAC: %2").arg(unit->productName, unit.mac());
        ipProductMap.insert(combo->count(), unit);
        addDropdownEntry(combo, text, EntryLook::Connected);
        qDebug() << "Added this item (ip) to productCombobox: " << text;
        myXMLManager::appendStatistic(STATISTIC_PRODUCTS, unit->productName);
        productList[entry].connected = true;
    }
    qDebug() << "Zarrick over Ethernet" << zarrickOverEthernet << "Cavrosh over Ethernet" << cavroshOverEthernet;

    for (const SerialPortEntry& port : SerialPortLister::availablePorts()) {
        const bool listed = (port.description.startsWith(MODEL_ZARRICK) && !zarrickOverEthernet)
            || (port.description.startsWith(MODEL_CAVROSH) && !cavroshOverEthernet);
        if (!listed)
            continue;
        qDebug() << "Found: " << port.description;
        addDropdownEntry(combo, port.description + QStringLiteral(", ") + port.portName, EntryLook::Connected);
    }

    addDropdownEntry(combo, kOtherProductsHeader, EntryLook::Header);
    qDebug() << "productList.size() = " << productList.size();
    for (const NamedFlag& product : qAsConst(productList)) {
        if (!product.connected)
            addDropdownEntry(combo, product.name, EntryLook::NotConnected);
    }
    combo->blockSignals(wasBlocked);
}

// ---- Firmware router --------------------------------------------------------------------------

void MainWindow::firmwareUpdateRouter(int type)
{
    qDebug() << "firmwareUpdateRouter";
    SorvaneInterface* sorvane = edidPlus->sorvaneInterface();
    QTimer* detectTimer = discovery->changeDetectionTimer();

    switch (type) {
    case 1:
        qDebug() << "in fw route";
        firmwareUpdate->slot_ui_startUpgrading();
        break;
    case 10:
        myXMLManager::incrementStatistic(QStringLiteral("perform_converter_fw_update"));
        converter->initiateFirmwareUpdate();
        break;
    case 11:
        myXMLManager::incrementStatistic(QStringLiteral("perform_sorvane_fw_update"));
        sorvane->sorvaneFirmwareUpdate();
        break;
    case 12:
    case 20:
        myXMLManager::incrementStatistic(QStringLiteral("perform_rolvane_fw_update"));
        rolvane->initiateFirmwareUpdate();
        break;
    case 13:
        myXMLManager::incrementStatistic(QStringLiteral("perform_scaler_fw_update"));
        scaler->initiateFirmwareUpdate();
        break;
    case 14: {
        // The splitter's firmware page asks the unit on the port the transfer uses: only after
        // the transfer has ended.
        qDebug() << "firmwareUpdateRouter" << 14;
        myXMLManager::incrementStatistic(QStringLiteral("perform_lunmora_fw_update"));
        auto* watch = new UploadWatch(edidPlus, this, [this] { lunmora->refreshFWPage(); });
        sorvane->sorvaneFirmwareUpdate();
        watch->startCallReturned();
        break;
    }
    case 30:
        myXMLManager::incrementStatistic(QStringLiteral("perform_korvina_fw_update"));
        korvinaUpdater->initiateFirmwareUpdate();
        break;
    case 40:
        scaler->initiateJOVARISFirmwareUpdate();
        break;
    case 50: {
        // No change check of the discovery while the boot loader runs.
        const bool wasBlocked = detectTimer->blockSignals(true);
        auto* watch = new UploadWatch(scaler, this, [this, detectTimer, wasBlocked] {
            ui->ConfiguratorTabs->setEnabled(true);
            detectTimer->blockSignals(wasBlocked);
        });
        scaler->initiateOSTRANDFirmwareUpdate();
        watch->startCallReturned();
        break;
    }
    case 51: {
        const bool wasBlocked = detectTimer->blockSignals(true);
        caltor->initiateCALTORFirmwareUpdate();
        detectTimer->blockSignals(wasBlocked);
        break;
    }
    default:
        break;
    }
}

void MainWindow::firmwareUpdateEvent(bool started)
{
    edidPlus->setSorvaneFlag(!started);
    scaler->setPollingEnabled(!started);
    lunmora->setPollingEnabled(!started);
    discovery->setDetectEnabled(!started);
}

#include "mainwindow_hub.moc"

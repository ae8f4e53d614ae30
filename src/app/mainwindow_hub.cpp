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
#include "productcatalogue.h"
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

// How the two kinds of unit are listed. Ethernet units name themselves (their name may be longer
// than the catalogue's) and are found over the network rather than on a port.
bool isNetworkUnit(const Device&)
{
    return false;
}
bool isNetworkUnit(const EthernetUnit&)
{
    return true;
}

QString modelOf(const Device& unit)
{
    return unit.name;
}
QString modelOf(const EthernetUnit& unit)
{
    return unit->productName;
}

QString entryText(const Device& unit)
{
    return unit.name + QStringLiteral(", ") + unit.portName;
}
QString entryText(const EthernetUnit& unit)
{
    return QStringLiteral("%1, MAC: %2").arg(unit->productName, unit.mac());
}

// The same unit in two refreshes: a unit on the same port, of the same type and model (a unit
// replaced by another model on the same port is a change); an Ethernet unit with the same MAC,
// whatever its address.
bool sameUnit(const Device& a, const Device& b)
{
    return a.portName == b.portName && a.type == b.type && a.name == b.name;
}
bool sameUnit(const EthernetUnit& a, const EthernetUnit& b)
{
    return a.macAddress() == b.macAddress();
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

// ---- The family table -------------------------------------------------------------------------

// One fill of the product drop-down, handed from family to family.
struct DropdownFill {
    QComboBox* combo;
    QList<NamedFlag>& catalogue;  // in the order of SUPPORTED_PRODUCTS
    QStringList modelsOnNetwork; // catalogue models listed through Ethernet units
    QStringList listedModels;    // catalogue models of every listed unit, for the statistics
};

template <typename Unit>
void UnitFamily<Unit>::keepPrevious()
{
    listOld = list;
}

template <typename Unit>
void UnitFamily<Unit>::ask()
{
    if (source)
        list = source();
}

template <typename Unit>
bool UnitFamily<Unit>::changed() const
{
    if (list.size() != listOld.size())
        return true;
    for (int i = 0; orderCounts && i < list.size(); ++i) {
        if (modelOf(list.at(i)) != modelOf(listOld.at(i)))
            return true;
    }
    return !std::all_of(list.cbegin(), list.cend(), [this](const Unit& unit) {
        return std::any_of(listOld.cbegin(), listOld.cend(), [&unit](const Unit& old) { return sameUnit(unit, old); });
    });
}

// Each unit whose model the catalogue names gets a bold entry, in list order.
template <typename Unit>
void UnitFamily<Unit>::addEntries(DropdownFill& fill)
{
    for (const Unit& unit : qAsConst(list)) {
        const int entry = supportedProductIndex(modelOf(unit), isNetworkUnit(unit));
        if (entry < 0 || entry >= fill.catalogue.size())
            continue;
        map.insert(fill.combo->count(), unit);
        addDropdownEntry(fill.combo, entryText(unit), EntryLook::Connected);
        NamedFlag& product = fill.catalogue[entry];
        product.connected = true;
        fill.listedModels.append(product.name);
        if (isNetworkUnit(unit))
            fill.modelsOnNetwork.append(product.name);
    }
}

template <typename Unit>
bool UnitFamily<Unit>::takeUp(int index, const QString& text) const
{
    return takeUpUnit(map.value(index), index, text);
}

template class UnitFamily<Device>;
template class UnitFamily<EthernetUnit>;

// The families in the order of their drop-down sections; `askOrder` is the order in which the
// refresh asks their controllers. Adding a family is adding an entry here.
UnitFamily<EthernetUnit>* MainWindow::buildFamilyTable()
{
    using Devices = UnitFamily<Device>;
    const auto add = [this](const char* name, int askOrder, std::function<QList<Device>()> source,
                            Devices::TakeUp takeUp) {
        auto* family = new Devices(name, std::move(takeUp));
        family->askOrder = askOrder;
        family->source = std::move(source);
        families.emplace_back(family);
        return family;
    };
    add("converter", 0, [this] { return converter->updateDeviceList(); },
        [this](const Device& unit, int index, const QString& text) { return takeUpConverterUnit(unit, index, text); })
        ->orderCounts = true;
    add("sorvane", 1, [this] { return edidPlus->sorvaneDeviceList(); },
        [this](const Device& unit, int, const QString& text) { return takeUpSorvaneUnit(unit, text); });
    add("scaler", 2, [this] { return scaler->updateDeviceList(); },
        [this](const Device& unit, int, const QString&) { return takeUpScalerUnit(unit); })
        ->configurePageShown = [this] { scaler->scalerTabChanged(1); };
    add("lunmora", 4, [this] { return lunmora->updateDeviceList(); },
        [this](const Device& unit, int, const QString&) { return takeUpLunmoraUnit(unit); })
        ->configurePageShown = [this] { lunmora->tabChanged(1); };
    add("hdbaseT", 3, [this] { return hdbaseT->updateDeviceList(); },
        [this](const Device& unit, int, const QString& text) { return takeUpHDBaseTUnit(unit, text); });

    // Asked by the drop-down update, not by the refresh.
    auto* network = new UnitFamily<EthernetUnit>(
        "ipProduct", [this](const EthernetUnit& unit, int, const QString&) { return takeUpEthernetUnit(unit); });
    families.emplace_back(network);
    return network;
}

HubFamily* MainWindow::familyOfEntry(int index) const
{
    for (const auto& family : families) {
        if (family->listsEntry(index))
            return family.get();
    }
    return nullptr;
}

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

    for (const auto& family : families)
        family->keepPrevious();
    std::vector<HubFamily*> asked;
    for (const auto& family : families) {
        if (family->askOrder >= 0)
            asked.push_back(family.get());
    }
    std::sort(asked.begin(), asked.end(), [](const HubFamily* a, const HubFamily* b) { return a->askOrder < b->askOrder; });
    for (HubFamily* family : asked)
        family->ask();

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
        ipProductList = networkFamily->listOld;
        qDebug() << "ipProductList222 " << ipProductList.size();
    }

    if (dropdownPending || productListChanged()) {
        ui->selectProductFrame->setEnabled(true);
        ui->productCombobox->setEnabled(true);
        qDebug() << "productListChanged111";
        populateProductDropdown();
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

bool MainWindow::productListChanged()
{
    qDebug() << "productListChanged";
    qDebug() << "IpProductList " << networkFamily->listOld.size() << ipProductList.size();
    return std::any_of(families.cbegin(), families.cend(), [](const auto& family) { return family->changed(); });
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

// The discovery table's pick arrives as MAC text; the entry is found by the unit's MAC value.
void MainWindow::selectProductByMacAddress(QString macAddr)
{
    const int entry = entryOfNetworkUnit(MacAddress::fromText(macAddr));
    if (entry < 0)
        return;
    ui->productCombobox->setCurrentIndex(entry);
    selectByMac = true;
}

// The drop-down entry of the Ethernet unit with this MAC as of the last fill; -1 when none.
int MainWindow::entryOfNetworkUnit(const MacAddress& mac) const
{
    int entry = -1;
    if (mac.isNull())
        return entry;
    for (auto it = networkFamily->map.constBegin(); it != networkFamily->map.constEnd(); ++it) {
        if (it.value().macAddress() == mac && (entry < 0 || it.key() < entry))
            entry = it.key();
    }
    return entry;
}

// The unit Discovery knows now under `mac`; null when it has gone. Discovery's records may be
// freed at any later scan, so the pointer is good for the current call only.
_Device* MainWindow::discoveredUnit(const MacAddress& mac) const
{
    const QList<_Device*> known = discovery->removedDevices(); // the units it lists now
    for (_Device* unit : known) {
        if (unit && MacAddress(unit) == mac)
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
    for (const auto& family : families)
        family->clearEntries();

    QComboBox* combo = ui->productCombobox;
    const bool wasBlocked = combo->blockSignals(true);
    combo->clear();
    addDropdownEntry(combo, kConnectedDevicesHeader, EntryLook::Header);
    for (const auto& family : families)
        qDebug() << family->name << "List.size() = " << family->size();

    DropdownFill fill{combo, productList, {}, {}};
    for (const auto& family : families)
        family->addEntries(fill);
    // The catalogue's names, never a name a unit chose, and one write of the file per fill.
    myXMLManager::appendStatistics(STATISTIC_PRODUCTS, fill.listedModels);

    // Zarrick and Cavrosh units are reached over Ethernet or a USB serial port; a unit found
    // over Ethernet is not listed a second time by its port.
    const auto overEthernet = [&fill](const QString& model) {
        return std::any_of(fill.modelsOnNetwork.cbegin(), fill.modelsOnNetwork.cend(),
                           [&model](const QString& listed) { return listed.startsWith(model); });
    };
    const bool zarrickOverEthernet = overEthernet(MODEL_ZARRICK);
    const bool cavroshOverEthernet = overEthernet(MODEL_CAVROSH);
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

#include "discovery.h"

#include "constants.h"
#include "dialogs.h"
#include "myxmlmanager.h"
#include "netparams.h"
#include "productcatalogue.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDebug>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QUdpSocket>
#include <QUrl>

#include <algorithm>
#include <cstring>

using namespace DiscoveryProtocol;

namespace {

const int FirstScanMs = 7000;
const int ScanIntervalMs = 14000;
const int DetectDelayMs = 5000;
const int MissesBeforeRemoval = 2; // the third scan in a row that misses a unit drops it
const int ReceiveBufferBytes = 1 << 20; // a scan of a large network answers in one burst

bool isZero(const quint8* bytes, int length)
{
    for (int i = 0; i < length; ++i) {
        if (bytes[i])
            return false;
    }
    return true;
}

QString link(const QString& url, const QString& text)
{
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), text.toHtmlEscaped());
}

// Each row of the device table carries its unit's MAC here, in the MAC column's cell.
const int MacColumn = 2;
const int MacRole = Qt::UserRole;

QString webGuiUrl(const _Device& unit)
{
    QString url = QStringLiteral("http://") + addressToString(unit.ip);
    if (unit.webPort != 0)
        url += QLatin1Char(':') + QString::number(unit.webPort);
    return url;
}

} // namespace

// ---- CTableWidgetItem -------------------------------------------------------------------------

bool CTableWidgetItem::operator<(const QTableWidgetItem& other) const
{
    const QStringList mine = text().split(QLatin1Char('.'));
    const QStringList theirs = other.text().split(QLatin1Char('.'));
    if (mine.size() < 4)
        return false;
    if (theirs.size() < 4)
        return true;
    for (int i = 0; i < 4; ++i) {
        const int a = mine.at(i).toInt(); // no number: 0
        const int b = theirs.at(i).toInt();
        if (a != b)
            return a < b;
    }
    return false;
}

// ---- Construction -----------------------------------------------------------------------------

Discovery::Discovery(Ui_MainUI* ui)
    : Discovery(ui, NoSetup())
{
    statusPalette.setColor(QPalette::WindowText, Qt::green);
    setUpPage();

    otherHostScanned = false;
    m_network = DiscoveryNetwork::current();
    setUpSockets();

    firstRun = true;
    scanTimer = new QTimer(this);
    connect(scanTimer, SIGNAL(timeout()), this, SLOT(findDevicesHandlerWrapper()));
    detectEnabled = true;
    scanTimer->start(TimeScale::ms(FirstScanMs));

    setUpInterfaces();
}

Discovery::Discovery(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
    , detectTimer(new QTimer(this))
{
    detectTimer->setSingleShot(true);
    connect(detectTimer, SIGNAL(timeout()), this, SLOT(detectChanges()));
}

Discovery::~Discovery()
{
    qDeleteAll(allRecords);
}

void Discovery::setUpPage()
{
    QTableWidget* table = ui->tableWidget;
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setTextElideMode(Qt::ElideNone);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    // Units are listed by address until the user sorts by another column.
    table->horizontalHeader()->setSortIndicator(1, Qt::AscendingOrder);

    QTableWidget* pc = ui->myIpInfo;
    pc->setColumnCount(4);
    pc->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    pc->setSelectionBehavior(QAbstractItemView::SelectRows);
    pc->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pc->horizontalHeader()->hide();
    pc->verticalHeader()->hide();

    // What a unit reports is shown as it is, never interpreted as rich text.
    for (QLabel* label : {ui->label_ProdName, ui->label_MacAddr, ui->label_FVersion, ui->label_HVersion})
        label->setTextFormat(Qt::PlainText);

    connect(ui->refreshDevices, SIGNAL(clicked()), this, SLOT(findDevicesHandlerWrapper()));
    connect(pc, SIGNAL(itemPressed(QTableWidgetItem*)), this, SLOT(myIpInfoClicked(QTableWidgetItem*)));
    interfaceCombo = new QComboBox; // square-cornered in its cell: see the application style sheet
    connect(interfaceCombo, SIGNAL(currentIndexChanged(int)), this, SLOT(selectedInterfaceChanged(int)));
    connect(ui->label_WebGUI, SIGNAL(linkActivated(QString)), this, SLOT(checkSubnetError(QString)));
    ui->label_ProdPage->setOpenExternalLinks(false);
    connect(ui->label_ProdPage, SIGNAL(linkActivated(QString)), this, SLOT(openProductPage(QString)));
    connect(ui->showYourselfButton, SIGNAL(clicked()), this, SLOT(showYourself()));
    connect(ui->combobox_IPMode, SIGNAL(currentIndexChanged(int)), this, SLOT(ipModeChanged(int)));
    connect(table->selectionModel(), SIGNAL(selectionChanged(QItemSelection, QItemSelection)), this,
            SLOT(selectedRowChanged(QItemSelection, QItemSelection)));
    connect(ui->saveButton, SIGNAL(clicked()), this, SLOT(saveChangesHandler()));
    connect(table, SIGNAL(doubleClicked(QModelIndex)), this, SLOT(onTableDoubleClick(QModelIndex)));
}

void Discovery::setUpSockets()
{
    // Bound to IPv4 before anything is sent: an unbound socket opens dual-stack on its first
    // write, and on a dual-stack socket the multicast TTL option sets only the IPv6 hop limit, so
    // every group copy would leave with TTL 1.
    m_sendSocket = new QUdpSocket(this);
    if (m_sendSocket->bind(QHostAddress(QHostAddress::AnyIPv4), 0))
        m_sendSocket->setSocketOption(QAbstractSocket::MulticastTtlOption, 255);
    else
        qDebug() << Q_FUNC_INFO << "send socket:" << m_sendSocket->errorString();

    m_requestSocket = new QUdpSocket(this);
    m_requestSocket->bind(m_network.bindAddress, m_network.replyPort, QUdpSocket::ShareAddress);
    m_requestSocket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, ReceiveBufferBytes);
    connect(m_requestSocket, SIGNAL(readyRead()), this, SLOT(readPendingDatagrams()));

    m_listeningSocket = new QUdpSocket(this);
    m_listeningSocket->bind(m_network.bindAddress, m_network.requestPort, QUdpSocket::ShareAddress);
    connect(m_listeningSocket, SIGNAL(readyRead()), this, SLOT(readPendingDatagramsSendPort()));

    // Failures here are not reported: scanning then simply finds nothing.
    if (m_network.groupAddress.isMulticast()) {
        m_requestSocket->joinMulticastGroup(m_network.groupAddress);
        m_listeningSocket->joinMulticastGroup(m_network.groupAddress);
    }
}

void Discovery::setUpInterfaces()
{
    ui->myIpInfo->setRowCount(1);
    ui->myIpInfo->setCellWidget(0, 3, interfaceCombo);
    {
        const QSignalBlocker blocker(interfaceCombo);
        const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
        for (const QNetworkInterface& iface : interfaces) {
            const auto flags = iface.flags();
            if (!(flags & QNetworkInterface::IsUp) || (flags & QNetworkInterface::IsLoopBack))
                continue;
            interfaceIndexes.append(iface.index());
            interfaceCombo->addItem(iface.humanReadableName(), iface.index());
        }
    }
    if (!interfaceIndexes.isEmpty()) {
        selectedInterfaceChanged(0);
        clearDeviceSettings();
        if (interfaceIndexes.size() == 1)
            interfaceCombo->setEnabled(false);
    }
}

// ---- Calls of the hub -------------------------------------------------------------------------

void Discovery::setDetectEnabled(bool enabled)
{
    detectEnabled = enabled;
}

QTimer* Discovery::changeDetectionTimer() const
{
    return detectTimer;
}

_Device* Discovery::currentDevice() const
{
    return m_currentMac.isNull() ? nullptr : listedDevices.value(m_currentMac);
}

MacAddress Discovery::macAtRow(int row) const
{
    const QTableWidgetItem* item = ui->tableWidget->item(row, MacColumn);
    return item ? MacAddress::fromUInt64(item->data(MacRole).toULongLong()) : MacAddress();
}

int Discovery::rowOfMac(const MacAddress& mac) const
{
    for (int row = 0; !mac.isNull() && row < ui->tableWidget->rowCount(); ++row) {
        if (macAtRow(row) == mac)
            return row;
    }
    return -1;
}

QList<_Device*> Discovery::updateDeviceList()
{
    qDebug() << Q_FUNC_INFO << "update discovery Device List ";
    listedDevices = scanReplies;
    QTableWidget* table = ui->tableWidget;
    const QSignalBlocker blocker(table->selectionModel());
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->setSortingEnabled(false);
    table->setRowCount(0);
    fillDeviceTable();
    table->setSortingEnabled(true);
    return listedInTableOrder();
}

QList<_Device*> Discovery::removedDevices()
{
    listedDevices = scanReplies;
    return listedInTableOrder();
}

// The listed units in the order the device table shows them (by address, or as the user sorted
// it); units the table does not show yet follow by address.
QList<_Device*> Discovery::listedInTableOrder() const
{
    QList<_Device*> units;
    QSet<MacAddress> taken;
    for (int row = 0; row < ui->tableWidget->rowCount(); ++row) {
        const MacAddress mac = macAtRow(row);
        if (_Device* unit = listedDevices.value(mac)) {
            if (!taken.contains(mac)) {
                units.append(unit);
                taken.insert(mac);
            }
        }
    }
    QList<_Device*> rest;
    for (auto it = listedDevices.cbegin(); it != listedDevices.cend(); ++it) {
        if (!taken.contains(it.key()))
            rest.append(it.value());
    }
    std::sort(rest.begin(), rest.end(), [](const _Device* a, const _Device* b) {
        return std::lexicographical_compare(a->ip, a->ip + 4, b->ip, b->ip + 4)
            || (std::equal(a->ip, a->ip + 4, b->ip) && MacAddress(a).toUInt64() < MacAddress(b).toUInt64());
    });
    return units + rest;
}

void Discovery::selectDeviceRow(_Device* unit)
{
    if (!unit)
        return;
    const MacAddress mac(unit);
    QTableWidget* table = ui->tableWidget;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (macAtRow(row) == mac)
            table->setCurrentCell(row, MacColumn);
    }
    showUnitSettings(mac);
}

// ---- Scanning ---------------------------------------------------------------------------------

void Discovery::findDevicesHandlerWrapper()
{
    if (handlerCount % 2 == 0) {
        findDevices();
    } else if (ui->statusBar->currentMessage().contains(QLatin1String("Scanning for devices"))) {
        ui->statusBar->clearMessage();
    }
    ++handlerCount;
}

void Discovery::findDevices()
{
    if (!detectEnabled && !firstRun)
        return;
    ui->statusBar->setPalette(statusPalette);
    if (ui->tabWidget->currentIndex() == 0)
        ui->statusBar->showMessage(QStringLiteral("Scanning for devices..."));

    scanReplies.clear();
    releaseOrphanRecords();
    if (otherHostScanned) {
        // Another PC has just asked; its replies reached us as well, so take those.
        scanReplies = sharedReplies;
        sharedReplies.clear();
        releaseOrphanRecords();
        otherHostScanned = false;
    } else {
        send(scanRequest());
    }

    if (firstRun) {
        firstRun = false;
        if (scanTimer)
            scanTimer->start(TimeScale::ms(ScanIntervalMs));
    } else {
        detectTimer->start(TimeScale::ms(DetectDelayMs));
    }
}

void Discovery::send(const QByteArray& datagram)
{
    if (!m_sendSocket)
        return;
    m_sendSocket->writeDatagram(datagram, m_network.broadcastAddress, m_network.requestPort);
    m_sendSocket->writeDatagram(datagram, m_network.groupAddress, m_network.requestPort);
}

void Discovery::readPendingDatagrams()
{
    while (m_requestSocket && m_requestSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_requestSocket->receiveDatagram();
        if (!datagram.isValid())
            break;
        const QByteArray data = datagram.data();
        if (!data.isEmpty() && quint8(data.at(0)) == ScanRequest)
            qDebug() << Q_FUNC_INFO << "WE HAVE RECEIVED A DISCOVERY_REQUEST FROM " << datagram.senderAddress();
        // A bad datagram is dropped on its own; the good ones behind it are still read.
        parseDeviceInfo(data.constData(), data.size());
    }
}

void Discovery::readPendingDatagramsSendPort()
{
    while (m_listeningSocket && m_listeningSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_listeningSocket->receiveDatagram();
        if (!datagram.isValid())
            break;
        if (isOwnAddress(datagram.senderAddress()))
            continue; // our own request coming back
        const QByteArray data = datagram.data();
        if (checkFrame(data.constData(), data.size()) != FrameCheck::Valid || quint8(data.at(0)) != ScanRequest)
            continue;
        qDebug() << Q_FUNC_INFO << "scan request of another host" << datagram.senderAddress();
        otherHostScanned = true;
        sharedReplies.clear();
        releaseOrphanRecords();
    }
}

bool Discovery::isOwnAddress(const QHostAddress& sender) const
{
    bool ok = false;
    const quint32 ipv4 = sender.toIPv4Address(&ok);
    if (!ok || ipv4 == QHostAddress(QHostAddress::LocalHost).toIPv4Address())
        return false;
    const QList<QHostAddress> own = QNetworkInterface::allAddresses();
    for (const QHostAddress& address : own) {
        bool isV4 = false;
        if (address.toIPv4Address(&isV4) == ipv4 && isV4)
            return true;
    }
    return false;
}

bool Discovery::parseDeviceInfo(const char* datagram, int size)
{
    _Device parsed;
    const ReplyCheck check = decodeReply(datagram, size, parsed);
    if (check != ReplyCheck::Valid) {
        if (check != ReplyCheck::NotAReply)
            qDebug() << Q_FUNC_INFO << "dropped a reply:" << int(check);
        return false;
    }
    auto* record = new _Device(parsed);
    allRecords.insert(record);
    const MacAddress key(record);
    scanReplies.insert(key, record);
    if (otherHostScanned)
        sharedReplies.insert(key, record);
    return true;
}

void Discovery::releaseOrphanRecords()
{
    QSet<_Device*> held;
    for (const DeviceHash* hash : {&listedDevices, &scanReplies, &sharedReplies}) {
        for (_Device* record : *hash)
            held.insert(record);
    }
    for (auto it = allRecords.begin(); it != allRecords.end();) {
        if (held.contains(*it)) {
            ++it;
        } else {
            delete *it;
            it = allRecords.erase(it);
        }
    }
}

void Discovery::detectChanges()
{
    bool changed = false;

    for (auto it = scanReplies.cbegin(); it != scanReplies.cend(); ++it) {
        if (!listedDevices.contains(it.key())) {
            qDebug() << Q_FUNC_INFO << "OLD DEV DOES NOT INCLUDE (ADD DEV)" << it.key().toString();
            changed = true;
        }
    }

    for (auto it = listedDevices.cbegin(); it != listedDevices.cend(); ++it) {
        const MacAddress& key = it.key();
        if (scanReplies.contains(key)) {
            missCounts[key] = 0;
        } else if (missCounts.value(key) < MissesBeforeRemoval) {
            // Keep the unit listed with its last known settings for now.
            const int count = ++missCounts[key];
            scanReplies.insert(key, it.value());
            allRecords.insert(it.value());
            qDebug() << Q_FUNC_INFO << "Add to removal map" << count << "out of 3 for " << key.toString();
        } else {
            missCounts[key] = 0;
            changed = true;
            qDebug() << Q_FUNC_INFO << "We will remove " << key.toString();
        }
    }
    // Counted only now: a unit kept through a missed scan is no change.
    if (listedDevices.size() != scanReplies.size())
        changed = true;

    for (auto it = listedDevices.cbegin(); it != listedDevices.cend(); ++it) {
        const _Device* fresh = scanReplies.value(it.key());
        if (fresh && fresh != it.value() && !deviceEquals(*it.value(), *fresh)) {
            qDebug() << Q_FUNC_INFO << "Device settings changed" << it.key().toString();
            changed = true;
        }
    }

    if (changed) {
        qDebug() << Q_FUNC_INFO << "An update was found for discovery, starting auto-update.";
        detectEnabled = false;
        updateProductForDiscovery();
    }
}

void Discovery::updateProductForDiscovery()
{
    selectedMac = m_shownMac;
    qDebug() << Q_FUNC_INFO << "Updating Product List for discovery.";
    emit refreshPerformed();
    detectEnabled = true;
}

// ---- Device table -----------------------------------------------------------------------------

void Discovery::fillDeviceTable()
{
    QTableWidget* table = ui->tableWidget;
    QStringList names;
    for (_Device* unit : qAsConst(listedDevices)) {
        if (isZero(unit->mac, 6))
            continue;
        const int row = table->rowCount();
        table->insertRow(row);
        table->setItem(row, 0, new QTableWidgetItem(unit->productName));
        table->setItem(row, 3, new QTableWidgetItem(unit->description));
        names.append(unit->productName);
        if (!isZero(unit->ip, 4))
            table->setItem(row, 1, new CTableWidgetItem(addressToString(unit->ip)));
        const MacAddress mac(unit);
        auto* macCell = new QTableWidgetItem(mac.toString());
        macCell->setData(MacRole, mac.toUInt64());
        table->setItem(row, MacColumn, macCell);
        if (mac == selectedMac) {
            table->selectRow(row);
            showUnitSettings(mac);
        }
    }
    // The names come from the network: only products the program knows are counted, and the
    // file is written once for the whole table.
    myXMLManager::appendStatistics(STATISTIC_PRODUCTS, knownProductNames(names, true));
}

void Discovery::selectedRowChanged(QItemSelection selected, QItemSelection deselected)
{
    Q_UNUSED(deselected)
    const QModelIndexList indexes = selected.indexes();
    if (indexes.isEmpty())
        return;
    const MacAddress mac = macAtRow(indexes.first().row());
    // Moving on from a unit that is identifying itself ends its identification first.
    const _Device* shown = currentDevice();
    if (shown && m_currentMac != mac && shown->showMeState == 1)
        showYourself();
    clearDeviceSettings();
    ui->myIpInfo->clearSelection();
    showUnitSettings(mac);
    emit ipTableClicked(m_shownMac.isNull() ? QString() : m_shownMac.toString());
}

void Discovery::onTableDoubleClick(QModelIndex indx)
{
    Q_UNUSED(indx) // the first click has made the row's unit current
    if (const _Device* unit = currentDevice())
        openWebLink(webGuiUrl(*unit));
}

// ---- Settings pane ----------------------------------------------------------------------------

void Discovery::clearDeviceSettings()
{
    for (QLineEdit* edit : {ui->lineEdit_IP, ui->lineEdit_Subnet, ui->lineEdit_Gateway, ui->lineEdit_DNS,
                            ui->lineEdit_WebGUIPort, ui->lineEdit_TelnetPort, ui->lineEdit_Description}) {
        edit->clear();
        edit->setEnabled(false);
    }
    for (QLabel* label : {ui->label_MacAddr, ui->label_FVersion, ui->label_HVersion, ui->label_ProdName,
                          ui->label_WebGUI, ui->label_ProdPage})
        label->clear();
    m_shownMac = MacAddress();
    {
        // No unit, no mode: the last unit's "DHCP" must not stay on show.
        const QSignalBlocker blocker(ui->combobox_IPMode);
        ui->combobox_IPMode->setCurrentIndex(-1);
    }
    ui->combobox_IPMode->setEnabled(false);
    ui->saveButton->setEnabled(false);
    ui->rebootButton->setEnabled(false);
    ui->showYourselfButton->setEnabled(false);
}

void Discovery::showDeviceSettings(QString macAddress)
{
    showUnitSettings(MacAddress::fromText(macAddress));
}

void Discovery::showUnitSettings(const MacAddress& mac)
{
    const _Device* unit = listedDevices.value(mac);
    if (!unit)
        return;
    clearDeviceSettings(); // nothing of the unit shown before may stay
    m_currentMac = mac;
    m_shownMac = mac;

    if (!isZero(unit->ip, 4))
        ui->lineEdit_IP->setText(addressToString(unit->ip));
    if (!isZero(unit->mac, 6))
        ui->label_MacAddr->setText(macToString(unit));
    if (!isZero(unit->subnetMask, 4))
        ui->lineEdit_Subnet->setText(addressToString(unit->subnetMask));
    if (!isZero(unit->gateway, 4))
        ui->lineEdit_Gateway->setText(addressToString(unit->gateway));
    if (!isZero(unit->dns, 4)) {
        ui->lineEdit_DNS->setText(addressToString(unit->dns));
        ui->lineEdit_DNS->setEnabled(!unit->dnsFlag);
    }

    QComboBox* mode = ui->combobox_IPMode;
    switch (unit->ipMode) {
    case 0:
    case 3:
        mode->setCurrentIndex(0);
        ipModeChanged(0);
        break;
    case 1:
    case 2:
        mode->setCurrentIndex(unit->ipMode);
        ipModeChanged(unit->ipMode);
        break;
    default: break;
    }
    mode->setEnabled(!unit->ipModeFlag && unit->ipMode != 3);
    if (auto* model = qobject_cast<QStandardItemModel*>(mode->model())) {
        if (QStandardItem* autoItem = model->item(2))
            autoItem->setEnabled(unit->ipModeFlag2);
    }

    if (unit->webPort != 0) {
        ui->lineEdit_WebGUIPort->setText(QString::number(unit->webPort));
        ui->lineEdit_WebGUIPort->setEnabled(!unit->webPortFlag);
    }
    if (unit->telnetPort != 0) {
        ui->lineEdit_TelnetPort->setText(QString::number(unit->telnetPort));
        ui->lineEdit_TelnetPort->setEnabled(!unit->telnetPortFlag);
    }
    if (!unit->description.isEmpty()) {
        ui->lineEdit_Description->setText(unit->description);
        ui->lineEdit_Description->setEnabled(!unit->descriptionFlag);
    }

    ui->label_FVersion->setText(unit->firmwareVersion);
    ui->label_HVersion->setText(unit->hardwareVersion);
    ui->label_ProdName->setText(unit->productName);
    ui->label_WebGUI->setText(link(webGuiUrl(*unit), QStringLiteral("Web GUI")));
    if (unit->productPageUrl == QLatin1String("Unavailable"))
        ui->label_ProdPage->setText(QStringLiteral("Unavailable"));
    else
        ui->label_ProdPage->setText(link(unit->productPageUrl, QStringLiteral("Web Page")));

    switch (unit->showMeState) {
    case 0:
        ui->showYourselfButton->setEnabled(true);
        ui->showYourselfButton->setText(QStringLiteral("Show Me"));
        break;
    case 1:
        ui->showYourselfButton->setEnabled(true);
        ui->showYourselfButton->setText(QStringLiteral("Hide Me"));
        break;
    case 2: ui->showYourselfButton->setEnabled(false); break;
    default: break;
    }
    ui->rebootButton->setEnabled(unit->tlv16Seen);
    ui->saveButton->setEnabled(true);
}

void Discovery::ipModeChanged(int index)
{
    const _Device* unit = currentDevice();
    struct Field {
        QLineEdit* edit;
        bool readOnly;
    };
    const Field fields[] = {
        {ui->lineEdit_IP, !unit || unit->ipFlag},
        {ui->lineEdit_Subnet, !unit || unit->subnetMaskFlag},
        {ui->lineEdit_Gateway, !unit || unit->gatewayFlag},
    };
    for (const Field& field : fields)
        field.edit->setEnabled(index == 0 && !field.readOnly && !field.edit->text().isEmpty());
}

bool Discovery::openWebLink(const QString& link)
{
    const QUrl url(link, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        || url.host().isEmpty()) {
        qDebug() << Q_FUNC_INFO << "not opened:" << link;
        return false;
    }
    return QDesktopServices::openUrl(url);
}

void Discovery::openProductPage(const QString& link)
{
    openWebLink(link);
}

void Discovery::checkSubnetError(QString theURL)
{
    if (!openWebLink(theURL))
        return;
    const _Device* unit = currentDevice();
    const QHostAddress address(unit && !isZero(unit->ip, 4) ? addressToString(unit->ip) : QString());

    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            if (!address.isNull() && address.isInSubnet(entry.ip(), entry.prefixLength()))
                return;
        }
    }

    QStringList pcAddresses;
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        if (!(flags & QNetworkInterface::IsUp) || (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : iface.addressEntries())
            pcAddresses.append(entry.ip().toString());
    }
    Dialogs::warning(ui->centralFrame, QStringLiteral("Incompatible IP Address"),
                     QStringLiteral("The IP Address of this device is not within your local network. You may not be "
                                    "able to access the Web GUI for this device. You may need to change the IP "
                                    "Address of this device to be within range of your PC (which is at ")
                         + pcAddresses.join(QStringLiteral(", "))
                         + QStringLiteral("), or set IP Mode to DHCP, before you can access the Web GUI."));
}

void Discovery::selectedInterfaceChanged(int index)
{
    if (index < 0 || index >= interfaceIndexes.size())
        return;
    const QNetworkInterface iface = QNetworkInterface::interfaceFromIndex(interfaceIndexes.at(index));
    QTableWidget* pc = ui->myIpInfo;
    auto setCell = [pc](int column, const QString& text) {
        if (QTableWidgetItem* item = pc->item(0, column))
            item->setText(text);
        else
            pc->setItem(0, column, new QTableWidgetItem(text));
    };

    for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
        if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
            continue; // the units speak IPv4 only
        setCell(0, QStringLiteral("My PC"));
        setCell(1, entry.ip().toString());
        setCell(2, iface.hardwareAddress());

        ui->label_ProdName->setText(QStringLiteral("My PC"));
        ui->lineEdit_IP->setText(entry.ip().toString());
        ui->label_MacAddr->setText(iface.hardwareAddress());
        ui->lineEdit_Subnet->setText(entry.netmask().toString());
        ui->lineEdit_WebGUIPort->setText(QStringLiteral("N/A"));
        ui->lineEdit_TelnetPort->setText(QStringLiteral("N/A"));
        ui->label_FVersion->setText(QStringLiteral("N/A"));
        ui->label_HVersion->setText(QStringLiteral("N/A"));
        ui->lineEdit_Description->setText(iface.humanReadableName());
    }

    const QString dns = Platform::dnsServer();
    if (!dns.isEmpty())
        ui->lineEdit_DNS->setText(dns);
    const QString gateway = Platform::defaultGateway(iface.name());
    if (!gateway.isEmpty())
        ui->lineEdit_Gateway->setText(gateway);
}

void Discovery::myIpInfoClicked(QTableWidgetItem* item)
{
    Q_UNUSED(item)
    ui->tableWidget->clearSelection();
    clearDeviceSettings();
    selectedInterfaceChanged(interfaceCombo ? interfaceCombo->currentIndex() : -1);
}

void Discovery::saveChangesHandler()
{
    _Device* unit = currentDevice();
    if (!unit || isZero(unit->mac, 6)) {
        Dialogs::warning(ui->centralFrame, QStringLiteral("MAC Address Missing"),
                         QStringLiteral("MAC address for this device is not known. Your changes cannot be saved."));
        return;
    }

    // Everything is checked and gathered first; the record takes the new values only once the
    // command has gone out.
    _Device updated = *unit;
    SaveCommand command(unit->mac);
    bool changed = false;
    bool rebootNeeded = false;

    auto refuse = [this](const QString& what, const QString& text, const QString& rule) {
        Dialogs::warning(ui->centralFrame, QStringLiteral("Invalid ") + what,
                         QStringLiteral("The %1 \"%2\" is not valid. %3 Nothing was sent.").arg(what, text, rule));
    };
    auto address = [&](QLineEdit* edit, FieldType type, quint8* current, const QString& what) {
        const QString text = edit->text();
        if (text.isEmpty())
            return true;
        quint8 value[4];
        if (!parseAddress(text, value)) {
            refuse(what, text, QStringLiteral("Enter four numbers from 0 to 255 separated by dots, for example "
                                              "192.168.1.10."));
            return false;
        }
        if (std::memcmp(value, current, 4) != 0) {
            std::memcpy(current, value, 4);
            changed = rebootNeeded = true;
        }
        command.addAddress(type, value);
        return true;
    };
    auto port = [&](QLineEdit* edit, FieldType type, quint16* current, const QString& what) {
        const QString text = edit->text();
        if (text.isEmpty())
            return true;
        bool ok = false;
        const uint value = text.trimmed().toUInt(&ok, 10);
        if (!ok || value < 1 || value > 65535) {
            refuse(what, text, QStringLiteral("Enter a number from 1 to 65535."));
            return false;
        }
        if (value != *current) {
            *current = quint16(value);
            changed = rebootNeeded = true;
        }
        command.addPort(type, quint16(value));
        return true;
    };

    if (ui->combobox_IPMode->currentIndex() == 0) {
        if (!address(ui->lineEdit_IP, FieldIp, updated.ip, QStringLiteral("IP Address"))
            || !address(ui->lineEdit_Subnet, FieldSubnetMask, updated.subnetMask, QStringLiteral("Subnet Mask"))
            || !address(ui->lineEdit_Gateway, FieldGateway, updated.gateway, QStringLiteral("Gateway IP")))
            return;
    }
    if (!address(ui->lineEdit_DNS, FieldDns, updated.dns, QStringLiteral("DNS")))
        return;
    if (ui->combobox_IPMode->isEnabled()) {
        const int mode = ui->combobox_IPMode->currentIndex();
        command.addIpMode(quint8(mode));
        if (mode != updated.ipMode) {
            updated.ipMode = mode;
            changed = rebootNeeded = true;
        }
    }
    if (!port(ui->lineEdit_WebGUIPort, FieldWebPort, &updated.webPort, QStringLiteral("Web GUI Port"))
        || !port(ui->lineEdit_TelnetPort, FieldTelnetPort, &updated.telnetPort, QStringLiteral("Telnet Port")))
        return;
    bool descriptionChanged = false;
    const QString description = ui->lineEdit_Description->text();
    if (!description.isEmpty()) {
        command.addDescription(description);
        // What the unit will report back: the text as it went out.
        const QString sent = QString::fromLatin1(description.left(MaxDescriptionLength).toLatin1());
        if (sent != updated.description) {
            updated.description = sent;
            changed = descriptionChanged = true;
        }
    }

    if (!changed) {
        Dialogs::information(ui->centralFrame, QStringLiteral("Warning"), QStringLiteral("No changes to save."));
        return;
    }

    send(command.datagram());
    updated.ipText = addressToString(updated.ip);
    *unit = updated;
    if (descriptionChanged) {
        const int row = rowOfMac(m_currentMac);
        if (QTableWidgetItem* cell = row >= 0 ? ui->tableWidget->item(row, 3) : nullptr)
            cell->setText(updated.description);
    }
    // The units never acknowledge a command: all we know is that it went out.
    Dialogs::information(ui->centralFrame, QStringLiteral("Changes Sent"),
                         rebootNeeded ? QStringLiteral("The changes were sent to the unit. Please reboot the unit "
                                                       "for the changes to take effect.")
                                      : QStringLiteral("The changes were sent to the unit. Its next reply to a "
                                                       "scan shows whether it took them."));
}

void Discovery::showYourself()
{
    _Device* unit = currentDevice();
    if (!unit)
        return;
    const bool on = unit->showMeState != 1;
    send(identifyCommand(unit->mac, on));
    unit->showMeState = on ? 1 : 0;
    ui->showYourselfButton->setText(on ? QStringLiteral("Hide Me") : QStringLiteral("Show Me"));
}

void Discovery::rebootDevice()
{
    const _Device* unit = currentDevice();
    if (!unit)
        return;
    send(rebootCommand(unit->mac));
    const MacAddress mac = m_currentMac;
    scanReplies.remove(mac);
    listedDevices.remove(mac);
    m_currentMac = MacAddress();
    const int row = rowOfMac(mac);
    if (row >= 0)
        ui->tableWidget->removeRow(row);
    clearDeviceSettings();
    if (scanTimer)
        scanTimer->start(TimeScale::ms(ScanIntervalMs));
    ui->tableWidget->clearSelection();
}

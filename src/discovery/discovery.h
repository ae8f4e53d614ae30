#ifndef DISCOVERY_H
#define DISCOVERY_H

#include "nosetup.h"

class Ui_MainUI;
#include "device.h"
#include "discoverydatagrams.h"

#include <QHash>
#include <QHostAddress>
#include <QItemSelection>
#include <QList>
#include <QModelIndex>
#include <QPalette>
#include <QSet>
#include <QString>
#include <QTableWidgetItem>
#include <QWidget>

class QComboBox;
class QTimer;
class QUdpSocket;

// The "IP Address" cell of the device table: sorts addresses numerically (10.0.0.9 before
// 10.0.0.10); cells that are no address sort after all addresses.
class CTableWidgetItem : public QTableWidgetItem
{
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem& other) const override;
};

// Finds the Ethernet units by UDP broadcast and multicast and drives the "Discover" page: the
// device table, the PC's own interface and the settings pane of the selected unit.
//
// Every unit record is created and owned here, keyed by its MAC value. The lists handed to the hub
// stay valid until the hub has taken a newer list and a later scan has released the records
// nobody lists any more. The settings pane remembers its unit by MAC and looks the record up
// again each time; each table row carries its unit's MAC as a value, not only as text.
class Discovery : public QWidget
{
    Q_OBJECT

public:
    explicit Discovery(Ui_MainUI* ui);
    ~Discovery() override;

    virtual void setDetectEnabled(bool enabled);
    virtual void findDevices();
    // Takes the replies of the last scan as the listed units, refills the table and returns them.
    virtual QList<_Device*> updateDeviceList();
    // Like updateDeviceList() without touching the table (after a reboot: the units that remain).
    virtual QList<_Device*> removedDevices();
    QList<_Device*> currentDevices() { return removedDevices(); }
    virtual void rebootDevice();
    virtual void selectDeviceRow(_Device* unit);

    // The single-shot timer whose time-out runs detectChanges(); firmware uploads that must not
    // be disturbed by a change check block its signals.
    QTimer* changeDetectionTimer() const;

    // The unit shown in the settings pane, looked up by its MAC; null when none is listed.
    _Device* currentDevice() const;
    // The unit of a row of the device table; null when the row shows none.
    MacAddress macAtRow(int row) const;

signals:
    void refreshPerformed();
    void ipTableClicked(QString macAddress);

public slots:
    void saveChangesHandler();
    void readPendingDatagrams();
    void showDeviceSettings(QString macAddress);
    virtual void clearDeviceSettings();
    void showYourself();
    void ipModeChanged(int index);
    void detectChanges();
    void findDevicesHandlerWrapper();
    void selectedRowChanged(QItemSelection selected, QItemSelection deselected);
    void selectedInterfaceChanged(int index);
    void myIpInfoClicked(QTableWidgetItem* item);
    void checkSubnetError(QString theURL);
    void updateProductForDiscovery();
    void readPendingDatagramsSendPort();
    void onTableDoubleClick(QModelIndex indx);

protected:
    Discovery(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;

private slots:
    void openProductPage(const QString& link);

private:
    using DeviceHash = QHash<MacAddress, _Device*>;

    void setUpPage();
    void setUpSockets();
    void setUpInterfaces();
    void send(const QByteArray& datagram);
    bool isOwnAddress(const QHostAddress& sender) const;
    bool parseDeviceInfo(const char* datagram, int size);
    void releaseOrphanRecords();
    void fillDeviceTable();
    QList<_Device*> listedInTableOrder() const;
    void showUnitSettings(const MacAddress& mac);
    int rowOfMac(const MacAddress& mac) const;
    static bool openWebLink(const QString& link);

    QUdpSocket* m_sendSocket = nullptr;
    QUdpSocket* m_requestSocket = nullptr;   // replies, port 53354
    QUdpSocket* m_listeningSocket = nullptr; // other hosts' scan requests, port 53355
    DiscoveryNetwork m_network;
    QComboBox* interfaceCombo = nullptr;
    QList<int> interfaceIndexes;
    MacAddress m_currentMac; // the unit the pane's buttons act on
    MacAddress m_shownMac;   // the unit the pane shows; null once cleared or showing this PC
    QTimer* detectTimer = nullptr;
    QTimer* scanTimer = nullptr;
    bool firstRun = true;
    MacAddress selectedMac; // the unit to select again when the table is refilled
    bool otherHostScanned = false;
    int handlerCount = 0;
    QPalette statusPalette;
    DeviceHash listedDevices;
    DeviceHash scanReplies;
    DeviceHash sharedReplies;
    QHash<MacAddress, int> missCounts;
    QSet<_Device*> allRecords;
    bool detectEnabled = true;
};

#endif // DISCOVERY_H

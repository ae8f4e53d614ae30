// The discovery controller against simulated units, over real UDP sockets. Scan-cycle cases run
// twice: on loopback (the logic, always) and across a veth pair between two network namespaces
// that the test creates (the real broadcast and multicast sockets; root only, skipped otherwise).
#include "discovery.h"
#include "discoverysim.h"
#include "myxmlmanager.h"
#include "netns.h"
#include "plexatest.h"
#include "resources.h"
#include "scripteddialogs.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QDomDocument>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableWidget>
#include <QUdpSocket>

#include <cstring>
#include <memory>
#include <sys/inotify.h>
#include <unistd.h>

Q_DECLARE_METATYPE(SimUnit)

namespace {

QByteArray hex(const QString& text)
{
    return QByteArray::fromHex(text.toLatin1().replace(' ', ""));
}

// A save datagram around a field area, framed by hand.
QByteArray saveFrame(const QByteArray& area)
{
    quint16 sum = 0;
    for (char c : area)
        sum = quint16(sum + quint8(c));
    return QByteArray(1, char(0x22)) + char(area.size()) + area + char(sum & 0xFF) + char(sum >> 8);
}

QString descriptionField(const QByteArray& text)
{
    return QStringLiteral("0D 1E ") + QString::fromLatin1((text + QByteArray(30 - text.size(), '\0')).toHex(' '));
}

// Records the links the program asks the desktop to open.
class LinkRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

enum class Net { Loopback, Namespace };

// One Discover page with its controller, the simulated units and a stand-in for the hub, which
// takes the unit list whenever the controller reports a change.
class Rig
{
public:
    Rig(Net net, const VethNamespacePair& pair, quint16 requestPort, quint16 replyPort)
    {
        if (net == Net::Namespace) {
            scope.reset(new NamespaceScope(pair.hostNamespace()));
            DiscoveryNetwork::setCurrent(DiscoveryNetwork()); // the protocol's own addresses and ports
            simNetwork = DiscoverySim::namespaceNetwork(pair.simNamespace(), VethNamespacePair::simAddress());
        } else {
            DiscoveryNetwork loopback;
            loopback.bindAddress = QHostAddress(QHostAddress::LocalHost);
            loopback.broadcastAddress = QHostAddress(QStringLiteral("127.0.0.2"));
            loopback.groupAddress = QHostAddress(QStringLiteral("127.0.0.2"));
            loopback.requestPort = requestPort;
            loopback.replyPort = replyPort;
            DiscoveryNetwork::setCurrent(loopback);
            simNetwork = DiscoverySim::loopbackNetwork(requestPort, replyPort);
        }
        ui.setupUi(&window);
        window.resize(600, 900);
    }

    ~Rig()
    {
        discovery.reset();
        DiscoveryNetwork::reset();
    }

    bool start(const QList<SimUnit>& units, QString* error)
    {
        if (scope && !scope->isEntered()) {
            *error = QStringLiteral("cannot enter the program's namespace");
            return false;
        }
        sim.setUnits(units);
        if (!sim.start(simNetwork, error))
            return false;
        discovery.reset(new Discovery(&ui));
        QObject::connect(discovery.get(), &Discovery::refreshPerformed, [this] {
            ++refreshes;
            hubList = discovery->updateDeviceList();
        });
        return true;
    }

    // Starts the units and waits until the first scan has listed all of them.
    bool startListed(const QList<SimUnit>& units, QString* error)
    {
        if (!start(units, error))
            return false;
        if (!sim.waitForScans(1)) {
            *error = QStringLiteral("no scan reached the units");
            return false;
        }
        if (!listed(units.size())) {
            *error = QStringLiteral("the first scan did not list all %1 units").arg(units.size());
            return false;
        }
        return true;
    }

    // The hub's first take of the list, once the first scan has been answered.
    bool listed(int count, int timeoutMs = 10000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            hubList = discovery->updateDeviceList();
            if (hubList.size() == count && ui.tableWidget->rowCount() == count)
                return true;
            if (deadline.hasExpired())
                return false;
            QTest::qWait(20);
        }
    }

    // A scan at once (the first one may be asked for before its timer runs), then the list.
    bool scanNowAndList(int count)
    {
        discovery->findDevices();
        return sim.waitForScans(1) && listed(count);
    }

    int rowOf(const QString& mac) const
    {
        for (int row = 0; row < ui.tableWidget->rowCount(); ++row) {
            if (ui.tableWidget->item(row, 2) && ui.tableWidget->item(row, 2)->text() == mac)
                return row;
        }
        return -1;
    }

    QString cell(const QString& mac, int column) const
    {
        const int row = rowOf(mac);
        const QTableWidgetItem* item = row >= 0 ? ui.tableWidget->item(row, column) : nullptr;
        return item ? item->text() : QString();
    }

    void select(const QString& mac) { ui.tableWidget->selectRow(rowOf(mac)); }

    bool waitForCommands(int count, int timeoutMs = 5000) const
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (sim.commands().size() < count) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(5);
        }
        return true;
    }

    // Waits for the program's next scan to have been answered and compared.
    bool nextComparison(int timeoutMs = 10000)
    {
        const int scans = sim.scanCount();
        if (!sim.waitForScans(scans + 1, timeoutMs))
            return false;
        QTest::qWait(TimeScale::ms(5000) + 150);
        return true;
    }

    std::unique_ptr<NamespaceScope> scope; // first in, last out
    DiscoverySim::Network simNetwork;
    QMainWindow window;
    Ui_MainUI ui;
    DiscoverySim sim;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope dialogScope {dialogs};
    std::unique_ptr<Discovery> discovery;
    QList<_Device*> hubList;
    int refreshes = 0;
};

QString fieldState(const QLineEdit* edit)
{
    return edit->text() + (edit->isEnabled() ? QString() : QStringLiteral("(off)"));
}

QString buttonState(const QPushButton* button)
{
    return button->text() + (button->isEnabled() ? QString() : QStringLiteral("(off)"));
}

// The settings pane in one line.
QString paneSummary(const Ui_MainUI& ui)
{
    const auto* model = qobject_cast<const QStandardItemModel*>(ui.combobox_IPMode->model());
    const bool autoEnabled = model && model->item(2) && model->item(2)->isEnabled();
    return QStringList {
        QStringLiteral("IP=") + fieldState(ui.lineEdit_IP),
        QStringLiteral("Mask=") + fieldState(ui.lineEdit_Subnet),
        QStringLiteral("GW=") + fieldState(ui.lineEdit_Gateway),
        QStringLiteral("DNS=") + fieldState(ui.lineEdit_DNS),
        QStringLiteral("Mode=") + ui.combobox_IPMode->currentText()
            + (ui.combobox_IPMode->isEnabled() ? QString() : QStringLiteral("(off)")),
        autoEnabled ? QStringLiteral("Auto") : QStringLiteral("Auto(off)"),
        QStringLiteral("Web=") + fieldState(ui.lineEdit_WebGUIPort),
        QStringLiteral("Telnet=") + fieldState(ui.lineEdit_TelnetPort),
        QStringLiteral("Desc=") + fieldState(ui.lineEdit_Description),
        QStringLiteral("|"),
        ui.label_ProdName->text(),
        ui.label_MacAddr->text(),
        ui.label_FVersion->text(),
        ui.label_HVersion->text(),
        QStringLiteral("|"),
        buttonState(ui.showYourselfButton),
        buttonState(ui.rebootButton),
        buttonState(ui.saveButton),
    }.join(QLatin1Char(' '));
}

const QString kMac1 = QStringLiteral("02:00:00:00:00:01");

// Counts the times a file is written whole into a folder: an atomic save renames a new file
// over the old one, a plain save closes it after writing.
class SaveCounter
{
public:
    explicit SaveCounter(const QString& path)
        : m_name(QFile::encodeName(QFileInfo(path).fileName()))
        , m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (m_fd >= 0)
            inotify_add_watch(m_fd, QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                              IN_MOVED_TO | IN_CLOSE_WRITE);
    }
    ~SaveCounter()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isValid() const { return m_fd >= 0; }
    int count()
    {
        alignas(inotify_event) char buffer[8192];
        ssize_t n;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                if (event->len && m_name == event->name)
                    ++m_count;
                p += sizeof(inotify_event) + event->len;
            }
        }
        return m_count;
    }

private:
    QByteArray m_name;
    int m_fd;
    int m_count = 0;
};

// A statistics file with the user's consent, a send just made and no data yet.
void resetStatistics()
{
    const QString path = myXMLManager::statisticsFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write(QStringLiteral("<!DOCTYPE Info>\n<DataSheet>\n    <acceptance>yes</acceptance>\n"
                              "    <id>{0f8fad5b-d9cb-469f-a165-70867728950e}</id>\n"
                              "    <lastSent>%1</lastSent>\n    <data/>\n</DataSheet>\n")
                   .arg(QDateTime::currentSecsSinceEpoch())
                   .toUtf8());
}

// The names in the statistics file's product list, sorted.
QStringList recordedProducts()
{
    QFile file(myXMLManager::statisticsFilePath());
    QDomDocument doc;
    if (!file.open(QIODevice::ReadOnly) || !doc.setContent(&file))
        return {QStringLiteral("(unreadable)")};
    const QString text =
        doc.documentElement().firstChildElement(QStringLiteral("data")).firstChildElement(QStringLiteral("products")).text();
    QStringList names = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    names.sort();
    return names;
}

} // namespace

class TestDiscovery : public QObject
{
    Q_OBJECT

private:
    VethNamespacePair pair;
    QString namespaceError;
    quint16 requestPort = 0;
    quint16 replyPort = 0;
    LinkRecorder links;

    void addNetworkRows()
    {
        QTest::addColumn<int>("net");
        QTest::newRow("loopback") << int(Net::Loopback);
        QTest::newRow("namespace") << int(Net::Namespace);
    }

    std::unique_ptr<Rig> makeRig(int net)
    {
        return std::make_unique<Rig>(Net(net), pair, requestPort, replyPort);
    }

    // Free loopback ports for the program's two sockets; the units take the same request port on
    // 127.0.0.2.
    static quint16 freePort()
    {
        QUdpSocket probe;
        probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
        return probe.localPort();
    }

private slots:
    void initTestCase()
    {
        initPlexaResources();
        // A scan every 1.4 s, the comparison 250 ms after it: roomy enough for a loaded machine.
        TimeScale::setFactor(0.05);
        requestPort = freePort();
        replyPort = freePort();
        QVERIFY(requestPort && replyPort && requestPort != replyPort);
        for (const char* scheme : {"http", "https", "file", "javascript"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &links, "open");
        if (!pair.create(&namespaceError))
            qInfo("namespace cases will be skipped: %s", qPrintable(namespaceError));
    }

    void cleanupTestCase()
    {
        for (const char* scheme : {"http", "https", "file", "javascript"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    void init() { links.opened.clear(); }

    // ---- Scan cycle -------------------------------------------------------------------------

    void unitsAppearSortedByAddress_data()
    {
        QTest::addColumn<int>("net");
        QTest::addColumn<int>("count");
        QTest::newRow("loopback, 3 units") << int(Net::Loopback) << 3;
        QTest::newRow("namespace, 3 units") << int(Net::Namespace) << 3;
        QTest::newRow("loopback, 250 units") << int(Net::Loopback) << 250;
        QTest::newRow("namespace, 250 units") << int(Net::Namespace) << 250;
    }

    // Every unit is listed once, whatever the order of the replies, sorted numerically by
    // address (10.77.1.9 before 10.77.1.10 and 10.77.1.100).
    void unitsAppearSortedByAddress()
    {
        QFETCH(int, net);
        QFETCH(int, count);
        if (Net(net) == Net::Namespace && !pair.isValid())
            QSKIP(qPrintable(QStringLiteral("no network namespace: ") + namespaceError));
        QList<SimUnit> units;
        for (int n = count - 1; n >= 0; --n) // replies arrive in falling address order
            units.append(SimUnit::numbered(n));
        auto rig = makeRig(net);
        rig->sim.setReplySpread(count > 10 ? 2000 : 0);
        QString error;
        QVERIFY2(rig->start(units, &error), qPrintable(error));
        QVERIFY(rig->sim.waitForScans(1));
        QVERIFY2(rig->listed(count), qPrintable(QString::number(rig->ui.tableWidget->rowCount())));

        QSet<QString> macs;
        QList<quint32> addresses;
        for (int row = 0; row < count; ++row) {
            macs.insert(rig->ui.tableWidget->item(row, 2)->text());
            addresses.append(QHostAddress(rig->ui.tableWidget->item(row, 1)->text()).toIPv4Address());
        }
        QCOMPARE(macs.size(), count);
        for (const SimUnit& unit : qAsConst(units))
            QVERIFY(macs.contains(unit.macText()));
        QList<quint32> sorted = addresses;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(addresses, sorted);
        QCOMPARE(rig->ui.tableWidget->item(0, 1)->text(), QStringLiteral("10.77.1.1"));
        QCOMPARE(rig->cell(kMac1, 0), QStringLiteral("Jovaris"));
        QCOMPARE(rig->cell(kMac1, 3), QStringLiteral("Unit 1"));
        QCOMPARE(rig->hubList.size(), count);
        // The hub gets the units in the table's order, not in the order of a hash.
        QStringList rowMacs;
        QStringList hubMacs;
        for (int row = 0; row < count; ++row) {
            rowMacs.append(rig->ui.tableWidget->item(row, 2)->text());
            hubMacs.append(macToString(rig->hubList.at(row)));
        }
        QCOMPARE(hubMacs, rowMacs);
    }

    // Every group copy of a request, scan or command, leaves with TTL 255.
    void groupCopiesLeaveWithTtl255()
    {
        if (!pair.isValid())
            QSKIP(qPrintable(QStringLiteral("no network namespace: ") + namespaceError));
        auto rig = makeRig(int(Net::Namespace));
        QString error;
        QVERIFY2(rig->startListed({SimUnit::numbered(1)}, &error), qPrintable(error));
        rig->select(kMac1);
        QTest::mouseClick(rig->ui.showYourselfButton, Qt::LeftButton);
        QVERIFY(rig->waitForCommands(2));
        const QList<int> ttls = rig->sim.groupCopyTtls();
        QVERIFY2(ttls.size() >= 2, qPrintable(QString::number(ttls.size()))); // the scan and the command
        QCOMPARE(ttls, QVector<int>(ttls.size(), 255).toList());
    }

    void changeIsReported_data()
    {
        addNetworkRows();
    }

    // A unit's changed setting raises refreshPerformed() and reaches the table; scans that find
    // nothing new raise nothing.
    void changeIsReported()
    {
        QFETCH(int, net);
        if (Net(net) == Net::Namespace && !pair.isValid())
            QSKIP(qPrintable(QStringLiteral("no network namespace: ") + namespaceError));
        auto rig = makeRig(net);
        QString error;
        QVERIFY2(rig->startListed({SimUnit::numbered(0), SimUnit::numbered(1)}, &error), qPrintable(error));

        QVERIFY(rig->nextComparison());
        QVERIFY(rig->nextComparison());
        QCOMPARE(rig->refreshes, 0);

        rig->sim.changeUnit(1, [](SimUnit& u) { u.description = QStringLiteral("Moved to rack 2"); });
        QTRY_COMPARE_WITH_TIMEOUT(rig->refreshes, 1, 10000);
        QCOMPARE(rig->cell(kMac1, 3), QStringLiteral("Moved to rack 2"));
        QCOMPARE(rig->hubList.size(), 2);
    }

    void missedScans_data()
    {
        addNetworkRows();
    }

    // Two missed scans keep a unit with its last values; an answer resets the count; the third
    // miss in a row drops it.
    void missedScans()
    {
        QFETCH(int, net);
        if (Net(net) == Net::Namespace && !pair.isValid())
            QSKIP(qPrintable(QStringLiteral("no network namespace: ") + namespaceError));
        auto rig = makeRig(net);
        QString error;
        QVERIFY2(rig->startListed({SimUnit::numbered(0), SimUnit::numbered(1), SimUnit::numbered(2)}, &error),
                 qPrintable(error));

        int scans = rig->sim.scanCount();
        rig->sim.silence(1, 2);
        QVERIFY(rig->sim.waitForScans(scans + 3)); // two misses, then it answers again
        rig->sim.silence(1, -1);
        scans = rig->sim.scanCount();
        QVERIFY(rig->sim.waitForScans(scans + 3)); // the third miss of the new run has begun
        QCOMPARE(rig->refreshes, 0);
        QCOMPARE(rig->ui.tableWidget->rowCount(), 3);
        QCOMPARE(rig->cell(kMac1, 1), QStringLiteral("10.77.1.2"));

        QTRY_COMPARE_WITH_TIMEOUT(rig->refreshes, 1, 5000);
        QCOMPARE(rig->ui.tableWidget->rowCount(), 2);
        QCOMPARE(rig->rowOf(kMac1), -1);
        QCOMPARE(rig->hubList.size(), 2);
    }

    void otherHostsScan_data()
    {
        addNetworkRows();
    }

    // After another PC's scan request, the next scan sends nothing and takes the replies that
    // request brought; the scan after it asks again.
    void otherHostsScan()
    {
        QFETCH(int, net);
        if (Net(net) == Net::Namespace && !pair.isValid())
            QSKIP(qPrintable(QStringLiteral("no network namespace: ") + namespaceError));
        auto rig = makeRig(net);
        QString error;
        QVERIFY2(rig->startListed({SimUnit::numbered(0), SimUnit::numbered(1)}, &error), qPrintable(error));

        const int scans = rig->sim.scanCount();
        QVERIFY(rig->sim.waitForScans(scans + 1)); // right after a scan: the next is 1.4 s away
        rig->sim.changeUnit(0, [](SimUnit& u) { u.description = QStringLiteral("Seen by the other PC"); });
        rig->sim.scanAsOtherHost();
        QTRY_COMPARE_WITH_TIMEOUT(rig->refreshes, 1, 10000);
        QCOMPARE(rig->sim.scanCount(), scans + 1); // the program sent no request of its own
        QCOMPARE(rig->cell(QStringLiteral("02:00:00:00:00:00"), 3), QStringLiteral("Seen by the other PC"));
        QCOMPARE(rig->ui.tableWidget->rowCount(), 2);
        QVERIFY(rig->sim.waitForScans(scans + 2));
    }

    // The program's own scan comes back to its listening socket through broadcast and multicast
    // loop-back; it must not count as another host's scan.
    void ownEchoesIgnored()
    {
        if (!pair.isValid())
            QSKIP(qPrintable(QStringLiteral("no network namespace: ") + namespaceError));
        auto rig = makeRig(int(Net::Namespace));
        QUdpSocket probe; // in the program's namespace: sees what the program's listener sees
        QVERIFY(probe.bind(QHostAddress(QHostAddress::AnyIPv4), 53355, QUdpSocket::ShareAddress));
        QVERIFY(probe.joinMulticastGroup(QHostAddress(QStringLiteral("225.87.32.145"))));
        QString error;
        QVERIFY2(rig->startListed({SimUnit::numbered(0)}, &error), qPrintable(error));

        const int scans = rig->sim.scanCount();
        QVERIFY(rig->sim.waitForScans(scans + 1));
        QTRY_VERIFY(probe.hasPendingDatagrams());
        int echoes = 0;
        while (probe.hasPendingDatagrams()) {
            const QNetworkDatagram d = probe.receiveDatagram();
            if (d.senderAddress().toString() == VethNamespacePair::hostAddress() && d.data() == hex("20 00 00 00"))
                ++echoes;
        }
        QVERIFY2(echoes >= 2, "both copies of the scan came back (broadcast and group)");
        QTest::qWait(100);
        for (int i = 1; i <= 2; ++i) {
            const int before = rig->sim.scanCount();
            rig->discovery->findDevices();
            QVERIFY2(rig->sim.waitForScans(before + 1, 1000), "the scan after an echo is sent");
            QTest::qWait(100);
        }
    }

    void badDatagramsDoNotStall_data()
    {
        addNetworkRows();
    }

    // Bad, short and foreign datagrams in front of good replies are dropped one by one; the good
    // ones behind them are taken in the same scan.
    void badDatagramsDoNotStall()
    {
        QFETCH(int, net);
        if (Net(net) == Net::Namespace && !pair.isValid())
            QSKIP(qPrintable(QStringLiteral("no network namespace: ") + namespaceError));
        auto rig = makeRig(net);
        SimUnit zeroMac = SimUnit::numbered(9);
        std::memset(zeroMac.mac, 0, 6);
        QByteArray badSum = SimUnit::numbered(7).reply();
        badSum[badSum.size() - 1] = char(badSum.at(badSum.size() - 1) ^ 0x40);
        QByteArray nTooBig = SimUnit::numbered(8).reply();
        nTooBig[1] = char(0xFF);
        rig->sim.queueBeforeNextReplies({
            SimRule::defaultGarbage(),
            QByteArray(),
            hex("21"),
            hex("21 00 00"),
            badSum,
            nTooBig,
            SimUnit::numbered(6).reply().left(20),
            zeroMac.reply(),
            hex("20 00 00 00"),
        });
        QString error;
        QVERIFY2(rig->startListed({SimUnit::numbered(0), SimUnit::numbered(1)}, &error), qPrintable(error));
        QVERIFY(rig->rowOf(kMac1) >= 0);
        QCOMPARE(rig->sim.scanCount(), 1); // taken in the first scan, not after a later one
    }

    // ---- Settings pane ----------------------------------------------------------------------

    void pane_data()
    {
        QTest::addColumn<SimUnit>("unit");
        QTest::addColumn<QString>("pane");
        const SimUnit plain = SimUnit::numbered(1);
        QTest::newRow("static unit")
            << plain
            << "IP=10.77.1.2 Mask=255.255.255.0 GW=10.77.0.254 DNS=10.77.0.53 Mode=Static Auto(off) Web=80 "
               "Telnet=23 Desc=Unit 1 | Jovaris 02:00:00:00:00:01 1.0.0 A1 | Show Me Reboot Save";
        SimUnit dhcp = plain;
        dhcp.ipMode = 1;
        QTest::newRow("DHCP: addresses locked")
            << dhcp
            << "IP=10.77.1.2(off) Mask=255.255.255.0(off) GW=10.77.0.254(off) DNS=10.77.0.53 Mode=DHCP Auto(off) "
               "Web=80 Telnet=23 Desc=Unit 1 | Jovaris 02:00:00:00:00:01 1.0.0 A1 | Show Me Reboot Save";
        SimUnit autoMode = plain;
        autoMode.ipMode = 2;
        autoMode.autoOffered = true;
        QTest::newRow("Auto offered and chosen")
            << autoMode
            << "IP=10.77.1.2(off) Mask=255.255.255.0(off) GW=10.77.0.254(off) DNS=10.77.0.53 Mode=Auto Auto "
               "Web=80 Telnet=23 Desc=Unit 1 | Jovaris 02:00:00:00:00:01 1.0.0 A1 | Show Me Reboot Save";
        SimUnit locked = plain;
        locked.readOnly = {2, 5, 6, 7, 13};
        QTest::newRow("read-only values in locked fields")
            << locked
            << "IP=10.77.1.2(off) Mask=255.255.255.0 GW=10.77.0.254 DNS=10.77.0.53(off) Mode=Static(off) Auto(off) "
               "Web=80(off) Telnet=23 Desc=Unit 1(off) | Jovaris 02:00:00:00:00:01 1.0.0 A1 | Show Me Reboot Save";
        SimUnit noMode = plain;
        noMode.ipMode = -1;
        QTest::newRow("mode not reported: Static, locked")
            << noMode
            << "IP=10.77.1.2 Mask=255.255.255.0 GW=10.77.0.254 DNS=10.77.0.53 Mode=Static(off) Auto(off) Web=80 "
               "Telnet=23 Desc=Unit 1 | Jovaris 02:00:00:00:00:01 1.0.0 A1 | Show Me Reboot Save";
        SimUnit bare = plain;
        bare.identifyState = -1;
        bare.acceptsReboot = false;
        bare.webPort = 0;
        bare.telnetPort = 0;
        std::memset(bare.ip, 0, 4);
        std::memset(bare.dns, 0, 4);
        QTest::newRow("no address, ports, identify or reboot")
            << bare
            << "IP=(off) Mask=255.255.255.0 GW=10.77.0.254 DNS=(off) Mode=Static Auto(off) Web=(off) Telnet=(off) "
               "Desc=Unit 1 | Jovaris 02:00:00:00:00:01 1.0.0 A1 | Show Me(off) Reboot(off) Save";
        SimUnit identifying = plain;
        identifying.identifyState = 1;
        QTest::newRow("identifying")
            << identifying
            << "IP=10.77.1.2 Mask=255.255.255.0 GW=10.77.0.254 DNS=10.77.0.53 Mode=Static Auto(off) Web=80 "
               "Telnet=23 Desc=Unit 1 | Jovaris 02:00:00:00:00:01 1.0.0 A1 | Hide Me Reboot Save";
    }

    void pane()
    {
        QFETCH(SimUnit, unit);
        QFETCH(QString, pane);
        auto rig = makeRig(int(Net::Loopback));
        QString error;
        QVERIFY2(rig->start({SimUnit::numbered(0), unit}, &error), qPrintable(error));
        QVERIFY(rig->scanNowAndList(2));
        QSignalSpy picked(rig->discovery.get(), &Discovery::ipTableClicked);
        rig->select(kMac1);
        QCOMPARE(paneSummary(rig->ui), pane);
        QCOMPARE(picked.count(), 1);
        QCOMPARE(picked.at(0).at(0).toString(), kMac1);

        // Another row, then the PC's own row: nothing of this unit stays behind.
        rig->select(QStringLiteral("02:00:00:00:00:00"));
        QCOMPARE(rig->ui.label_MacAddr->text(), QStringLiteral("02:00:00:00:00:00"));
        rig->discovery->myIpInfoClicked(nullptr);
        QVERIFY(rig->ui.tableWidget->selectedItems().isEmpty());
        QVERIFY(!rig->ui.saveButton->isEnabled());
        QVERIFY(!rig->ui.rebootButton->isEnabled());
        QVERIFY(!rig->ui.showYourselfButton->isEnabled());
        QVERIFY(!rig->ui.lineEdit_IP->isEnabled());
    }

    // What the units report goes into the links escaped, is shown as plain text elsewhere, and
    // only http(s) links are handed to the desktop.
    void reportedTextIsEscaped()
    {
        auto rig = makeRig(int(Net::Loopback));
        SimUnit unit = SimUnit::numbered(1);
        unit.productName = QStringLiteral("Jov\"><img src=x>-S");
        unit.firmwareVersion = QStringLiteral("<b>2.0</b>");
        QString error;
        QVERIFY2(rig->start({unit}, &error), qPrintable(error));
        QVERIFY(rig->scanNowAndList(1));
        rig->select(kMac1);

        const QString page = rig->ui.label_ProdPage->text();
        QVERIFY2(page.startsWith(QStringLiteral("<a href=\"")) && page.endsWith(QStringLiteral("\">Web Page</a>")),
                 qPrintable(page));
        QVERIFY2(page.contains(QStringLiteral("Jov&quot;&gt;&lt;img src=x&gt;")) && !page.contains(QStringLiteral("<img")),
                 qPrintable(page));
        QCOMPARE(rig->ui.label_WebGUI->text(), QStringLiteral("<a href=\"http://10.77.1.2:80\">Web GUI</a>"));
        QCOMPARE(rig->ui.label_FVersion->textFormat(), Qt::PlainText);
        QCOMPARE(rig->ui.label_FVersion->text(), QStringLiteral("<b>2.0</b>"));
        QCOMPARE(rig->ui.label_ProdName->textFormat(), Qt::PlainText);

        // The label hands the link back unescaped; it is still opened as one http(s) address.
        emit rig->ui.label_ProdPage->linkActivated(unit.productName);
        emit rig->ui.label_ProdPage->linkActivated(QStringLiteral("https://www.velmoplexa.com/search/node/Jov\"><img src=x>"));
        QCOMPARE(links.opened.size(), 1);
        QCOMPARE(links.opened.at(0).host(), QStringLiteral("www.velmoplexa.com"));
    }

    void webLinks_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("opened");
        QTest::newRow("web GUI with port") << "http://10.77.1.2:80" << true;
        QTest::newRow("https without port") << "https://10.77.1.2" << true;
        QTest::newRow("no host") << "http://" << false;
        QTest::newRow("port that is no number") << "http://10.77.1.2:8o" << false;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("file") << "file:///etc/passwd" << false;
    }

    void webLinks()
    {
        QFETCH(QString, link);
        QFETCH(bool, opened);
        auto rig = makeRig(int(Net::Loopback));
        QString error;
        QVERIFY2(rig->start({SimUnit::numbered(1)}, &error), qPrintable(error));
        QVERIFY(rig->scanNowAndList(1));
        rig->select(kMac1);
        rig->discovery->checkSubnetError(link);
        QCOMPARE(links.opened.size(), opened ? 1 : 0);
        if (!opened)
            QVERIFY(rig->dialogs.shown().isEmpty());

        links.opened.clear();
        rig->discovery->onTableDoubleClick(QModelIndex());
        QCOMPARE(links.opened, QList<QUrl>({QUrl(QStringLiteral("http://10.77.1.2:80"))}));
    }

    // ---- Commands ---------------------------------------------------------------------------

    void save_data()
    {
        QTest::addColumn<int>("net");
        QTest::addColumn<SimUnit>("unit");
        QTest::addColumn<QString>("edits");   // field=value;...
        QTest::addColumn<QString>("area");    // the field area sent; empty: nothing is sent
        QTest::addColumn<QString>("message"); // part of the message shown

        const QString mac = QStringLiteral("01 06 02 00 00 00 00 01 ");
        const QString ip = QStringLiteral("02 04 0A 4D 01 02 ");
        const QString mask = QStringLiteral("03 04 FF FF FF 00 ");
        const QString gw = QStringLiteral("04 04 0A 4D 00 FE ");
        const QString dns = QStringLiteral("05 04 0A 4D 00 35 ");
        const QString ports = QStringLiteral("07 02 50 00 08 02 17 00 ");
        const QString tookIt = QStringLiteral("Its next reply to a scan shows whether it took them.");
        const QString reboot = QStringLiteral("Please reboot the unit for the changes to take effect.");
        const SimUnit plain = SimUnit::numbered(1);
        SimUnit readOnlyIp = plain;
        readOnlyIp.readOnly = {2};
        SimUnit noMode = plain;
        noMode.ipMode = -1;
        SimUnit dhcp = plain;
        dhcp.ipMode = 1;

        for (Net net : {Net::Loopback, Net::Namespace}) {
            const QString prefix = net == Net::Loopback ? QStringLiteral("loopback: ") : QStringLiteral("namespace: ");
            auto row = [&](const QString& name) -> QTestData& { return QTest::newRow(qPrintable(prefix + name)) << int(net); };
            row("description only, every present field goes along")
                << plain << "Description=Stage left"
                << mac + ip + mask + gw + dns + "06 01 00 " + ports + descriptionField("Stage left") << tookIt;
            row("telnet port needs a reboot")
                << plain << "Telnet=2323"
                << mac + ip + mask + gw + dns + "06 01 00 07 02 50 00 08 02 13 09 " + descriptionField("Unit 1")
                << reboot;
            row("read-only IP still sent unchanged")
                << readOnlyIp << "Gateway=10.77.0.1"
                << mac + ip + mask + "04 04 0A 4D 00 01 " + dns + "06 01 00 " + ports + descriptionField("Unit 1")
                << reboot;
            row("mode not reported: no mode field")
                << noMode << "Description=X" << mac + ip + mask + gw + dns + ports + descriptionField("X") << tookIt;
            row("DHCP: no address fields, DNS still")
                << dhcp << "Description=X" << mac + dns + "06 01 01 " + ports + descriptionField("X") << tookIt;
            row("switching to DHCP")
                << plain << "Mode=1" << mac + dns + "06 01 01 " + ports + descriptionField("Unit 1") << reboot;
            row("address 256.1.1.1 refused")
                << plain << "IP=256.1.1.1" << QString() << "The IP Address \"256.1.1.1\" is not valid.";
            row("address of three parts refused")
                << plain << "Subnet=255.255.0" << QString() << "The Subnet Mask \"255.255.0\" is not valid.";
            row("port that is no number refused")
                << plain << "Web=http" << QString() << "The Web GUI Port \"http\" is not valid.";
            row("port above 65535 refused")
                << plain << "Telnet=70000" << QString() << "The Telnet Port \"70000\" is not valid.";
            row("nothing changed") << plain << "" << QString() << "No changes to save.";
        }
    }

    // The exact save datagram for each case, sent twice (broadcast and group), or nothing at all
    // with the reason shown.
    void save()
    {
        QFETCH(int, net);
        QFETCH(SimUnit, unit);
        QFETCH(QString, edits);
        QFETCH(QString, area);
        QFETCH(QString, message);
        if (Net(net) == Net::Namespace && !pair.isValid())
            QSKIP(qPrintable(QStringLiteral("no network namespace: ") + namespaceError));
        auto rig = makeRig(net);
        QString error;
        QVERIFY2(rig->start({unit}, &error), qPrintable(error));
        QVERIFY(rig->scanNowAndList(1));
        rig->select(kMac1);

        for (const QString& edit : edits.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString field = edit.section(QLatin1Char('='), 0, 0);
            const QString value = edit.section(QLatin1Char('='), 1);
            if (field == QLatin1String("Mode")) {
                rig->ui.combobox_IPMode->setCurrentIndex(value.toInt());
                continue;
            }
            QLineEdit* target = field == QLatin1String("IP") ? rig->ui.lineEdit_IP
                : field == QLatin1String("Subnet")           ? rig->ui.lineEdit_Subnet
                : field == QLatin1String("Gateway")          ? rig->ui.lineEdit_Gateway
                : field == QLatin1String("Web")              ? rig->ui.lineEdit_WebGUIPort
                : field == QLatin1String("Telnet")           ? rig->ui.lineEdit_TelnetPort
                                                             : rig->ui.lineEdit_Description;
            target->setText(value);
        }
        QTest::mouseClick(rig->ui.saveButton, Qt::LeftButton);
        QCOMPARE(rig->dialogs.shown().size(), 1);
        QVERIFY2(rig->dialogs.shown().at(0).text.contains(message), qPrintable(rig->dialogs.shown().at(0).text));

        if (!area.isEmpty()) {
            QVERIFY(rig->waitForCommands(2));
            const QByteArray expected = saveFrame(hex(area));
            QCOMPARE(rig->sim.commands().at(0).toHex(' '), expected.toHex(' '));
            QCOMPARE(rig->sim.commands().at(1).toHex(' '), expected.toHex(' '));
            QCOMPARE(rig->dialogs.shown().at(0).title, QStringLiteral("Changes Sent"));
        } else {
            // Whatever goes out next must be the first thing sent since the save was refused.
            QTest::mouseClick(rig->ui.showYourselfButton, Qt::LeftButton);
            QVERIFY(rig->waitForCommands(2));
            QCOMPARE(quint8(rig->sim.commands().at(0).at(0)), quint8(0x24));
            QCOMPARE(quint8(rig->sim.commands().at(1).at(0)), quint8(0x24));
        }
        QTest::qWait(50);
        QCOMPARE(rig->sim.commands().size(), 2);
    }

    void saveIsCheckedByTheNextReply_data()
    {
        QTest::addColumn<bool>("unitTakesIt");
        QTest::newRow("unit takes the change") << true;
        QTest::newRow("unit ignores the change") << false;
    }

    // The table shows the saved value at once; the next scan confirms it or puts the unit's real
    // value back.
    void saveIsCheckedByTheNextReply()
    {
        QFETCH(bool, unitTakesIt);
        auto rig = makeRig(int(Net::Loopback));
        rig->sim.setApplySaves(unitTakesIt);
        QString error;
        QVERIFY2(rig->start({SimUnit::numbered(0), SimUnit::numbered(1)}, &error), qPrintable(error));
        QVERIFY(rig->scanNowAndList(2));
        rig->select(kMac1);
        rig->ui.lineEdit_Description->setText(QStringLiteral("Projector"));
        rig->discovery->saveChangesHandler();
        QCOMPARE(rig->cell(kMac1, 3), QStringLiteral("Projector"));
        QVERIFY(rig->waitForCommands(2));

        QVERIFY(rig->nextComparison());
        QVERIFY(rig->nextComparison());
        QCOMPARE(rig->refreshes, unitTakesIt ? 0 : 1);
        QCOMPARE(rig->cell(kMac1, 3), unitTakesIt ? QStringLiteral("Projector") : QStringLiteral("Unit 1"));
        // The pane follows the unit by its MAC through every refill of the table.
        QCOMPARE(rig->ui.label_MacAddr->text(), kMac1);
        QCOMPARE(rig->ui.lineEdit_Description->text(), rig->cell(kMac1, 3));
        QVERIFY(rig->discovery->currentDevice());
        QCOMPARE(macToString(rig->discovery->currentDevice()), kMac1);
    }

    void identifyAndReboot_data()
    {
        addNetworkRows();
    }

    // "Show Me" / "Hide Me", identify off when moving to another row, and reboot: exact bytes,
    // each sent to the broadcast address and to the group.
    void identifyAndReboot()
    {
        QFETCH(int, net);
        if (Net(net) == Net::Namespace && !pair.isValid())
            QSKIP(qPrintable(QStringLiteral("no network namespace: ") + namespaceError));
        auto rig = makeRig(net);
        QString error;
        SimUnit dhcpUnit = SimUnit::numbered(1);
        dhcpUnit.ipMode = 1;
        QVERIFY2(rig->start({SimUnit::numbered(0), dhcpUnit}, &error), qPrintable(error));
        QVERIFY(rig->scanNowAndList(2));
        rig->select(kMac1);
        QCOMPARE(rig->ui.combobox_IPMode->currentText(), QStringLiteral("DHCP"));

        const QByteArray on = hex("24 0B 01 06 02 00 00 00 00 01 0F 01 01 1B 00");
        const QByteArray off = hex("24 0B 01 06 02 00 00 00 00 01 0F 01 00 1A 00");
        QTest::mouseClick(rig->ui.showYourselfButton, Qt::LeftButton);
        QCOMPARE(rig->ui.showYourselfButton->text(), QStringLiteral("Hide Me"));
        QTest::mouseClick(rig->ui.showYourselfButton, Qt::LeftButton);
        QCOMPARE(rig->ui.showYourselfButton->text(), QStringLiteral("Show Me"));
        QTest::mouseClick(rig->ui.showYourselfButton, Qt::LeftButton);
        rig->select(QStringLiteral("02:00:00:00:00:00")); // ends the identification of unit 1 first
        QCOMPARE(rig->ui.label_MacAddr->text(), QStringLiteral("02:00:00:00:00:00"));
        QVERIFY(rig->waitForCommands(8));
        QCOMPARE(rig->sim.commands(), QList<QByteArray>({on, on, off, off, on, on, off, off}));
        QCOMPARE(rig->sim.unit(1).identifyState, 0);

        rig->select(kMac1);
        rig->discovery->rebootDevice();
        QVERIFY(rig->waitForCommands(10));
        const QByteArray reboot = hex("23 08 01 06 02 00 00 00 00 01 0A 00");
        QCOMPARE(rig->sim.commands().mid(8), QList<QByteArray>({reboot, reboot}));
        QCOMPARE(rig->rowOf(kMac1), -1);
        QVERIFY(rig->ui.label_MacAddr->text().isEmpty());
        QVERIFY(rig->ui.combobox_IPMode->currentText().isEmpty()); // the rebooted unit's mode goes too
        QVERIFY(!rig->ui.saveButton->isEnabled());
        const QList<_Device*> remaining = rig->discovery->removedDevices();
        QCOMPARE(remaining.size(), 1);
        QCOMPARE(macToString(remaining.at(0)), QStringLiteral("02:00:00:00:00:00"));

        // It is back after it answers a later scan.
        QTRY_COMPARE_WITH_TIMEOUT(rig->refreshes, 1, 10000);
        QVERIFY(rig->rowOf(kMac1) >= 0);
    }

    // ---- What reaches the statistics file ---------------------------------------------------

    // The units choose their names: only supported products are counted, under the catalogue's
    // name and once each, with one write of the file for the whole list.
    void statisticsCountKnownProductsOnce()
    {
        resetStatistics();
        QVERIFY(myXMLManager::checkStatisticsAcceptanceFileRead());
        QList<SimUnit> units;
        for (int n = 0; n < 30; ++n) {
            SimUnit unit = SimUnit::numbered(n);
            unit.productName = n % 10 == 0 ? QStringLiteral("Quillon")
                : n % 10 == 1              ? QStringLiteral("Zarrick-XR 4K")
                                           : QStringLiteral("Anything %1").arg(n);
            units.append(unit);
        }
        auto rig = makeRig(int(Net::Loopback));
        QString error;
        QVERIFY2(rig->startListed(units, &error), qPrintable(error));

        resetStatistics();
        SaveCounter saves(myXMLManager::statisticsFilePath());
        QVERIFY(saves.isValid());
        rig->discovery->updateDeviceList();
        QCOMPARE(recordedProducts(), (QStringList{"Quillon", "Zarrick"}));
        QCOMPARE(saves.count(), 1);
        rig->discovery->updateDeviceList(); // nothing new
        QCOMPARE(saves.count(), 1);
    }

    // ---- The page through the namespace -----------------------------------------------------

    // The Discover page with units found across the veth pair and one unit's settings shown,
    // and the PC's own interface in the strip above the table. Set PLEXA_DISCOVERY_SCREENSHOT to
    // a file name to keep a picture of it.
    void discoverPage()
    {
        if (!pair.isValid())
            QSKIP(qPrintable(QStringLiteral("no network namespace: ") + namespaceError));
        auto rig = makeRig(int(Net::Namespace));
        QList<SimUnit> units;
        const char* names[] = {"Jovaris", "Norrith-TX", "Surrow-RX", "Kestrim Pro", "Zarrick"};
        for (int n = 0; n < 5; ++n) {
            SimUnit unit = SimUnit::numbered(n * 4 + 1);
            unit.productName = QString::fromLatin1(names[n]);
            unit.description = QStringLiteral("Room %1").arg(101 + n);
            units.append(unit);
        }
        QString error;
        QVERIFY2(rig->start(units, &error), qPrintable(error));
        QCOMPARE(rig->ui.myIpInfo->item(0, 0)->text(), QStringLiteral("My PC"));
        QCOMPARE(rig->ui.myIpInfo->item(0, 1)->text(), VethNamespacePair::hostAddress());
        auto* combo = qobject_cast<QComboBox*>(rig->ui.myIpInfo->cellWidget(0, 3));
        QVERIFY(combo);
        QCOMPARE(combo->currentText(), VethNamespacePair::hostInterface());
        QVERIFY(!combo->isEnabled()); // the only interface

        QVERIFY(rig->sim.waitForScans(1));
        QVERIFY(rig->listed(5));
        rig->select(units.at(1).macText());
        QCOMPARE(rig->ui.label_ProdName->text(), QStringLiteral("Norrith-TX"));
        QCOMPARE(rig->ui.lineEdit_IP->text(), QStringLiteral("10.77.1.6"));
        rig->ui.tabWidget->setCurrentIndex(0);
        rig->window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig->window));
        const QString shot = qEnvironmentVariable("PLEXA_DISCOVERY_SCREENSHOT");
        if (!shot.isEmpty())
            QVERIFY(rig->ui.tabWidget->grab().save(shot));

        // The unit is outside the PC's subnet (10.77.0.0/24): opening its web page warns.
        rig->discovery->checkSubnetError(QStringLiteral("http://10.77.1.6:80"));
        QCOMPARE(links.opened.size(), 1);
        QCOMPARE(rig->dialogs.shown().size(), 1);
        QCOMPARE(rig->dialogs.shown().at(0).title, QStringLiteral("Incompatible IP Address"));
        QVERIFY(rig->dialogs.shown().at(0).text.contains(QStringLiteral("(which is at 10.77.0.1")));

        // The PC's own row: its values in locked fields.
        rig->discovery->myIpInfoClicked(rig->ui.myIpInfo->item(0, 0));
        QCOMPARE(rig->ui.label_ProdName->text(), QStringLiteral("My PC"));
        QCOMPARE(rig->ui.lineEdit_IP->text(), VethNamespacePair::hostAddress());
        QCOMPARE(rig->ui.lineEdit_Subnet->text(), QStringLiteral("255.255.255.0"));
        QCOMPARE(rig->ui.lineEdit_WebGUIPort->text(), QStringLiteral("N/A"));
        QCOMPARE(rig->ui.lineEdit_Description->text(), VethNamespacePair::hostInterface());
        QVERIFY(!rig->ui.saveButton->isEnabled());
    }
};

PLEXA_TEST_MAIN(TestDiscovery)
#include "tst_discovery.moc"

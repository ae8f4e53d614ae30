// The whole window with the real scaler controller and the real network discovery, against two
// simulated units at once: a generic scaler on a pty and a Zarrick unit on loopback TCP that
// announces itself to the discovery scan. The window must list both, open each one's link when it
// is picked and show its pages.
//
// With PLEXA_SCREENSHOT_DIR set, each opened unit's window is saved there as a PNG
// (scripts/screenshots.sh runs this test under Xvfb for that).
#include "plexatest.h"
#include "constants.h"
#include "discovery.h"
#include "discoverydatagrams.h"
#include "discoverysim.h"
#include "formtestutil.h"
#include "mainwin.h"
#include "recordingcontrollers.h"
#include "resources.h"
#include "scaler.h"
#include "scalersim.h"
#include "scripteddialogs.h"
#include "serialports.h"
#include "timescale.h"
#include "ui_mainui.h"
#include "zarricksim.h"

#include <QComboBox>
#include <QPushButton>
#include <QDir>
#include <QTabWidget>
#include <QUdpSocket>

namespace {

quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return probe.localPort();
}

// Picks the drop-down entry that holds `text`, as the user would.
bool pick(QComboBox* combo, const QString& text)
{
    const int index = combo->findText(text, Qt::MatchContains);
    if (index < 0)
        return false;
    combo->setCurrentIndex(index);
    emit combo->activated(index);
    return true;
}

} // namespace

class TestScalerWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initPlexaResources();
        // Half the real waits: the scan's window for replies (2.5 s then) stays roomy on a loaded
        // machine, where a unit that misses it is dropped from the list until the next scan.
        TimeScale::setFactor(0.5);
    }

    void cleanup()
    {
        DiscoveryNetwork::reset();
        SerialPortLister::clearRegisteredPorts();
    }

    void serialAndNetworkScalersSideBySide()
    {
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);

        ScalerSim serialUnit(ScalerSim::Model::Sdi); // its port reads "CORMITH"
        QVERIFY(serialUnit.start());
        ZarrickSim networkUnit(ZarrickSim::Model::Zarrick);
        QVERIFY(networkUnit.start());

        // The discovery scan stays on loopback: the program on 127.0.0.1, the units on 127.0.0.2.
        const quint16 requestPort = freeUdpPort();
        const quint16 replyPort = freeUdpPort();
        QVERIFY(requestPort && replyPort && requestPort != replyPort);
        DiscoveryNetwork loopback;
        loopback.bindAddress = QHostAddress(QHostAddress::LocalHost);
        loopback.broadcastAddress = QHostAddress(QStringLiteral("127.0.0.2"));
        loopback.groupAddress = QHostAddress(QStringLiteral("127.0.0.2"));
        loopback.requestPort = requestPort;
        loopback.replyPort = replyPort;
        DiscoveryNetwork::setCurrent(loopback);

        // A Zarrick unit reports its model and family in its product name ("Zarrick" first, as the
        // catalogue lists it), and its telnet port.
        SimUnit announced = SimUnit::numbered(7);
        const quint8 localhost[4] = {127, 0, 0, 1};
        std::copy(localhost, localhost + 4, announced.ip);
        announced.productName = QStringLiteral("Zarrick Savrano");
        announced.telnetPort = networkUnit.tcpPort();
        DiscoverySim discoverySim;
        discoverySim.addUnit(announced);
        QString error;
        QVERIFY2(discoverySim.start(DiscoverySim::loopbackNetwork(requestPort, replyPort), &error),
                 qPrintable(error));

        RecordingControllerFactory factory;
        factory.realScaler = true;
        factory.realDiscovery = true;
        MainWin window(&factory);
        Scaler* scaler = factory.realScalerController;
        QVERIFY(scaler && factory.realDiscoveryController);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // The user manages a product from its own page, where the product drop-down is.
        QTest::mouseClick(window.form()->functionManageButton, Qt::LeftButton);
        QTRY_VERIFY(window.form()->productCombobox->isVisible());

        // Both units reach the drop-down: the scaler from its port, the Zarrick from the scan.
        QComboBox* combo = window.form()->productCombobox;
        const QString serialEntry = NAME_SCALER_HDMI_VGA_TO_3GSDI + QStringLiteral(", ") + serialUnit.portName();
        QTRY_VERIFY_WITH_TIMEOUT(combo->findText(serialEntry) >= 0, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(combo->findText(QStringLiteral("Zarrick Savrano"), Qt::MatchContains) >= 0, 20000);
        QCOMPARE(combo->findText(serialEntry), combo->findText(serialUnit.portName(), Qt::MatchContains));

        // The generic scaler: its port is opened at the boot-loader rate for the check, then its
        // pages are shown.
        QVERIFY(pick(combo, serialEntry));
        QVERIFY(serialUnit.waitForReceived(QByteArray("\x03\x20\x20", 3)));
        QTRY_COMPARE_WITH_TIMEOUT(scaler->deviceState, 1, 20000);
        QCOMPARE(scaler->selectedDevice.portName, serialUnit.portName());
        QTabWidget* pages = window.form()->ConfiguratorTabs;
        QCOMPARE(pages->tabText(0), QStringLiteral("Output"));
        QVERIFY(!window.form()->outputLockFrame->isHidden());
        QVERIFY(saveScreenshot(&window, QStringLiteral("scaler-serial")));

        // The Zarrick unit: the hub hands it to the controller, which opens its TCP link to the
        // announced address and port and shows the EDID page.
        QVERIFY(pick(combo, QStringLiteral("Zarrick Savrano")));
        QTRY_COMPARE_WITH_TIMEOUT(networkUnit.peerCount(), 1, 20000);
        QCOMPARE(scaler->ipAddress, QStringLiteral("127.0.0.1"));
        QCOMPARE(scaler->tcpPort, int(networkUnit.tcpPort()));
        QTRY_COMPARE_WITH_TIMEOUT(scaler->deviceState, 1, 20000);
        QVERIFY(pages->count() > 0);
        QVERIFY(saveScreenshot(&window, QStringLiteral("scaler-zarrick")));

        window.close();
    }
};

PLEXA_TEST_MAIN(TestScalerWindow)
#include "tst_scaler_window.moc"

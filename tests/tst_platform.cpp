// The Linux stand-ins for the platform interfaces.
#include "plexatest.h"
#include "appcast.h"
#include "endpoints.h"
#include "httppeer.h"
#include "netparams.h"
#include "serialports.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void dnsServer()
    {
        // IPv6 servers are skipped: the Discover page shows IPv4 settings only.
        QCOMPARE(Platform::dnsServer(PlexaTest::dataPath("resolv.conf")), QStringLiteral("192.168.1.53"));
        QCOMPARE(Platform::dnsServer(PlexaTest::dataPath("missing")), QString());
    }

    void defaultGateway_data()
    {
        QTest::addColumn<QString>("interfaceName");
        QTest::addColumn<QString>("gateway");
        QTest::newRow("any interface: first default route") << QString() << "192.168.1.254";
        QTest::newRow("named interface") << "eth0" << "10.0.2.1";
        QTest::newRow("interface without default route") << "wlan0" << QString();
    }
    void defaultGateway()
    {
        QFETCH(QString, interfaceName);
        QFETCH(QString, gateway);
        QCOMPARE(Platform::defaultGateway(interfaceName, PlexaTest::dataPath("route")), gateway);
    }

    void serialPortRegistration()
    {
        SerialPortEntry pty;
        pty.portName = QStringLiteral("/dev/pts/999");
        pty.description = QStringLiteral("Velmo Scaler");
        pty.vendorId = 0x1EC7;
        pty.hasVendorId = true;
        SerialPortLister::registerPort(pty);
        pty.description = QStringLiteral("Velmo Scaler (renamed)");
        SerialPortLister::registerPort(pty); // same port again replaces, never duplicates

        auto count = [] {
            int n = 0;
            for (const SerialPortEntry& e : SerialPortLister::availablePorts()) {
                if (e.portName == QLatin1String("/dev/pts/999")) {
                    ++n;
                    if (e.description != QLatin1String("Velmo Scaler (renamed)") || e.vendorId != 0x1EC7)
                        return -1;
                }
            }
            return n;
        };
        QCOMPARE(count(), 1);
        SerialPortLister::unregisterPort(pty.portName);
        QCOMPARE(count(), 0);
    }

    // Every caller shares one enumeration of the machine's ports until the device folder changes;
    // registered ports still show at once.
    void serialListingShared()
    {
        QTemporaryDir dev;
        QVERIFY(dev.isValid());
        SerialPortLister::setDeviceFolder(dev.path());
        const int before = SerialPortLister::systemListings();
        for (int i = 0; i < 8; ++i) // four families' polls and their list refreshes
            SerialPortLister::availablePorts();
        QCOMPARE(SerialPortLister::systemListings(), before + 1);

        SerialPortEntry pty;
        pty.portName = QStringLiteral("/dev/pts/998");
        SerialPortLister::registerPort(pty);
        QVERIFY(SerialPortLister::portNames().contains(pty.portName));
        SerialPortLister::unregisterPort(pty.portName);
        QVERIFY(!SerialPortLister::portNames().contains(pty.portName));
        QCOMPARE(SerialPortLister::systemListings(), before + 1);

        // An adapter plugged in adds its node: the next call lists afresh, the ones after share it.
        QFile node(dev.filePath(QStringLiteral("ttyUSB7")));
        QVERIFY(node.open(QIODevice::WriteOnly));
        node.close();
        SerialPortLister::availablePorts();
        SerialPortLister::availablePorts();
        QCOMPARE(SerialPortLister::systemListings(), before + 2);
        QVERIFY(node.remove());
        SerialPortLister::availablePorts();
        QCOMPARE(SerialPortLister::systemListings(), before + 3);

        // The folder itself gone: listed again, then shared for a short while without a watch.
        QVERIFY(dev.remove());
        SerialPortLister::availablePorts();
        SerialPortLister::availablePorts();
        QCOMPARE(SerialPortLister::systemListings(), before + 4);
        SerialPortLister::setDeviceFolder(QString());
    }

    void compareVersions_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("sign");
        QTest::newRow("equal") << "2.8.7" << "2.8.7" << 0;
        QTest::newRow("numeric, not text") << "2.10.0" << "2.9.9" << 1;
        QTest::newRow("missing part is 0") << "2.8" << "2.8.0" << 0;
        QTest::newRow("older") << "2.8.6" << "2.8.7" << -1;
    }
    void compareVersions()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, sign);
        const int c = Platform::Appcast::compareVersions(a, b);
        QCOMPARE((c > 0) - (c < 0), sign);
    }

    // The appcast check against a real HTTP server: a newer item is announced, the same version is not,
    // and an unreachable feed ends quietly.
    void appcastCheck_data()
    {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("announced");
        const QByteArray head = "<?xml version=\"1.0\"?><rss version=\"2.0\" "
                                "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>";
        QTest::newRow("newer enclosure") << head + "<item><enclosure url=\"x\" sparkle:version=\"2.8.6\"/></item>"
                                                   "<item><enclosure url=\"y\" sparkle:version=\"2.10.1\"/></item></channel></rss>"
                                         << true << "2.10.1";
        QTest::newRow("same version element") << head + "<item><sparkle:version>2.8.7</sparkle:version></item></channel></rss>"
                                              << true << QString();
        QTest::newRow("not a feed") << QByteArray("<html>moved</html>") << false << QString();
        QTest::newRow("no feed on the server") << QByteArray() << false << QString();
    }
    void appcastCheck()
    {
        QFETCH(QByteArray, feed);
        QFETCH(bool, ok);
        QFETCH(QString, announced);
        HttpPeer server;
        QVERIFY(server.start());
        Endpoints::setServer(server.url());
        if (!feed.isEmpty())
            server.putFile(QStringLiteral("Download/PlexaT/appcast.xml"), feed);

        Platform::Appcast* appcast = Platform::Appcast::instance();
        appcast->setAppcastUrl(Endpoints::appcastUrl());
        appcast->setAppDetails(QStringLiteral("Velmo"), QStringLiteral("Velmo Plexa-T"), QStringLiteral("2.8.7"));
        QSignalSpy finished(appcast, &Platform::Appcast::checkFinished);
        QSignalSpy update(appcast, &Platform::Appcast::updateAvailable);
        appcast->checkUpdateWithoutUi();
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.at(0).at(0).toBool(), ok);
        QCOMPARE(update.isEmpty() ? QString() : update.at(0).at(0).toString(), announced);
        Endpoints::setServer(QString());
    }

    // A feed that is too large, too slow, never answered or not a web address ends the check as a
    // failure, even when it names a newer release.
    void appcastHostileFeed_data()
    {
        QTest::addColumn<int>("how"); // an HttpPeer::Hostile, or -1 for a feed address that is a local file
        QTest::newRow("huge feed") << int(HttpPeer::Hostile::Huge);
        QTest::newRow("trickling feed") << int(HttpPeer::Hostile::Trickle);
        QTest::newRow("no answer") << int(HttpPeer::Hostile::Silent);
        QTest::newRow("local file") << -1;
    }
    void appcastHostileFeed()
    {
        QFETCH(int, how);
        const QByteArray feed = "<?xml version=\"1.0\"?><rss version=\"2.0\" "
                                "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>"
                                "<item><enclosure url=\"y\" sparkle:version=\"9.9.9\"/></item></channel></rss>";
        HttpPeer server;
        QVERIFY(server.start());
        QTemporaryDir local;
        QString url;
        if (how >= 0) {
            server.serveHostile(QStringLiteral("Download/PlexaT/appcast.xml"), HttpPeer::Hostile(how), feed);
            url = server.url() + QStringLiteral("/Download/PlexaT/appcast.xml");
        } else {
            QFile file(local.filePath(QStringLiteral("appcast.xml")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(feed);
            url = QUrl::fromLocalFile(file.fileName()).toString();
        }

        Platform::Appcast* appcast = Platform::Appcast::instance();
        appcast->setAppcastUrl(url);
        appcast->setAppDetails(QStringLiteral("Velmo"), QStringLiteral("Velmo Plexa-T"), QStringLiteral("2.8.7"));
        QSignalSpy finished(appcast, &Platform::Appcast::checkFinished);
        QSignalSpy update(appcast, &Platform::Appcast::updateAvailable);
        appcast->checkUpdateWithoutUi();
        QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 20000);
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        QVERIFY(update.isEmpty());
    }
};

PLEXA_TEST_MAIN(TestPlatform)
#include "tst_platform.moc"

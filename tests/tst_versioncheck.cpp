// The start-up check for a newer version: the application XML rules and the download against a
// real HTTP server on this machine.
#include "plexatest.h"
#include "appcast.h"
#include "applicationxml.h"
#include "endpoints.h"
#include "httppeer.h"
#include "mainwin.h"
#include "recordingcontrollers.h"
#include "resources.h"
#include "scripteddialogs.h"
#include "smalldownload.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class VersionWindow : public MainWin
{
public:
    using MainWin::MainWin;
    using MainWindow::appXmlDownloading;
};

class TestVersionCheck : public QObject
{
    Q_OBJECT

private:
    static QString dataDir() { return QDir::homePath() + QStringLiteral("/VelmoPlexaT"); }
    static QByteArray appXml(const QByteArray& version)
    {
        return "<?xml version=\"1.0\"?>\n<Velmo>\n <VelmoPlexaT version=\"" + version + "\"/>\n</Velmo>\n";
    }
    static QByteArray readFile(const QString& path)
    {
        if (!QFileInfo(path).isFile())
            return QByteArray(); // never wait on a FIFO left in place
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.read(Platform::SmallDownload::MaxBytes + 1) : QByteArray();
    }
    static void writeFile(const QString& path, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

    static QString okCopyPath() { return dataDir() + QStringLiteral("/VelmoPlexa-T-OK.xml"); }
    static QString targetPath() { return dataDir() + QStringLiteral("/VelmoPlexa-T.xml"); }
    static int updateWarnings(const ScriptedDialogs& dialogs)
    {
        int n = 0;
        for (const ScriptedDialogs::Shown& shown : dialogs.shown())
            n += shown.title == QLatin1String("Update Available");
        return n;
    }

    // What one start-up check left behind.
    struct Outcome {
        QByteArray okCopy;
        QByteArray target;
        int warnings = 0;
        bool startupCheck = false;
    };

    // Starts a window against `serverUrl` with a last good copy naming 2.8.7 (unless the test has
    // put something of its own there), waits until both the application XML download and the
    // appcast check have ended, and reports.
    static void runCheck(const QString& serverUrl, Outcome& outcome, bool ownOkCopy = false)
    {
        if (!ownOkCopy)
            writeFile(okCopyPath(), appXml("2.8.7"));
        // Consent already refused, so no question interleaves with the check.
        writeFile(dataDir() + QStringLiteral("/VelmoPlexa-T-Stat.xml"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE Info>\n<data>\n <accepted>false</accepted>\n</data>\n");
        Endpoints::setServer(serverUrl);
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        QSignalSpy appcastDone(Platform::Appcast::instance(), &Platform::Appcast::checkFinished);
        {
            RecordingControllerFactory factory;
            VersionWindow window(&factory);
            Endpoints::setServer(QString());
            QTRY_VERIFY_WITH_TIMEOUT(!window.appXmlDownloading && !appcastDone.isEmpty(), 20000);
            QTest::qWait(50); // the queued announcement, if any
            outcome.warnings = updateWarnings(dialogs);
            outcome.startupCheck = factory.log.contains(QStringLiteral("UpdateTabControl::startupUpdatesCheck()"));
        }
        outcome.okCopy = readFile(okCopyPath());
        outcome.target = readFile(targetPath());
    }

private slots:
    void initTestCase() { initPlexaResources(); }

    void newerVersion_data()
    {
        QTest::addColumn<QString>("offered");
        QTest::addColumn<bool>("newer");
        QTest::newRow("same") << "2.8.7" << false;
        QTest::newRow("patch") << "2.8.8" << true;
        QTest::newRow("minor") << "2.9.0" << true;
        QTest::newRow("major") << "3.0.0" << true;
        QTest::newRow("numeric, not text") << "10.0.0" << true;
        QTest::newRow("older minor") << "2.7.99" << false;
        QTest::newRow("older major") << "1.99.99" << false;
        QTest::newRow("two parts") << "2.8" << false;
        QTest::newRow("four parts") << "2.8.7.1" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("junk part counts as 0") << "2.x.9" << false;
        QTest::newRow("empty part counts as 0") << "3..0" << true;
    }
    void newerVersion()
    {
        QFETCH(QString, offered);
        QFETCH(bool, newer);
        QCOMPARE(ApplicationXml::isNewer(offered, 2, 8, 7), newer);
    }

    void redirect_data()
    {
        QTest::addColumn<QString>("head");
        QTest::addColumn<bool>("isRedirect");
        QTest::addColumn<QString>("link");
        const QString frame = QStringLiteral("<frameset><frame src=x></frameset></html>");
        QTest::newRow("http upgraded") << "<html><a href=\"http://mirror.example/Download/x.xml\">" + frame << true
                                       << "https://mirror.example/Download/x.xml";
        QTest::newRow("https kept, never httpss") << "<a href=\"https://m.example/http/x\">" + frame << true
                                                  << "https://m.example/http/x";
        QTest::newRow("no closing quote") << frame + "<a href=\"http://m.example/y" << true << "https://m.example/y";
        QTest::newRow("link without frame is the file") << QString("<a href=\"http://m.example/\"></html>") << false
                                                        << "https://m.example/";
        // Only web addresses are followed: a local file or device would be read into the download.
        QTest::newRow("local file") << "<a href=\"file:///etc/passwd\">" + frame << true << QString();
        QTest::newRow("ftp") << "<a href=\"ftp://m.example/x.xml\">" + frame << true << QString();
        QTest::newRow("relative") << "<a href=\"/Download/x.xml\">" + frame << true << QString();
        QTest::newRow("no host") << "<a href=\"http:///x.xml\">" + frame << true << QString();
    }
    void redirect()
    {
        QFETCH(QString, head);
        QFETCH(bool, isRedirect);
        QFETCH(QString, link);
        QCOMPARE(ApplicationXml::isRedirectPage(head), isRedirect);
        QCOMPARE(ApplicationXml::redirectLink(head), link);
    }

    void download_data()
    {
        QTest::addColumn<QByteArray>("served"); // empty: the server has no such file (404)
        QTest::addColumn<bool>("serverUp");
        QTest::addColumn<bool>("okCopyReplaced");
        QTest::addColumn<bool>("warned");
        QTest::addColumn<bool>("startupCheck");
        // The last good copy before each run names 2.8.7: no warning from it.
        QTest::newRow("newer release") << appXml("2.9.0") << true << true << true << true;
        QTest::newRow("same release") << appXml("2.8.7") << true << true << false << true;
        QTest::newRow("older release") << appXml("2.7.1") << true << true << false << true;
        QTest::newRow("404") << QByteArray() << true << false << false << false;
        QTest::newRow("refused connection") << QByteArray() << false << false << false << false;
        QTest::newRow("captive portal page") << QByteArray("<html><body>Please log in</body></html>") << true << false
                                             << false << false;
        QTest::newRow("xml without version") << QByteArray("<Velmo><VelmoPlexaT/></Velmo>") << true << false << false
                                             << false;
        // What a download cut off after the version gives: only a body that parses whole is kept.
        QTest::newRow("cut-off xml") << QByteArray("<Products><VelmoPlexaT version=\"9.9.9\"><unclosed></Products")
                                     << true << false << false << false;
    }
    void download()
    {
        QFETCH(QByteArray, served);
        QFETCH(bool, serverUp);
        QFETCH(bool, okCopyReplaced);
        QFETCH(bool, warned);
        QFETCH(bool, startupCheck);

        HttpPeer server;
        if (serverUp) {
            QVERIFY(server.start());
            if (!served.isEmpty())
                server.putFile(QStringLiteral("Download/VelmoPlexa-T.xml"), served);
        }
        Outcome outcome;
        runCheck(serverUp ? server.url() : QStringLiteral("http://127.0.0.1:9"), outcome);
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(outcome.okCopy, okCopyReplaced ? served : appXml("2.8.7"));
        QCOMPARE(outcome.warnings, warned ? 1 : 0);
        QCOMPARE(outcome.startupCheck, startupCheck);
    }

    // Servers that answer too much, too slowly or not at all, and redirect pages that lead off the
    // web: the check ends by itself, the last good copy stays and nothing of the answer is kept.
    void hostileServer_data()
    {
        QTest::addColumn<int>("how"); // an HttpPeer::Hostile, or -1 for a redirect page to `link`
        QTest::addColumn<QString>("link");
        QTest::newRow("huge reply") << int(HttpPeer::Hostile::Huge) << QString();
        QTest::newRow("trickling reply") << int(HttpPeer::Hostile::Trickle) << QString();
        QTest::newRow("no reply") << int(HttpPeer::Hostile::Silent) << QString();
        QTest::newRow("redirect to a local file") << -1 << "file://%1/newer.xml";
        QTest::newRow("redirect to a FIFO") << -1 << "file://%1/fifo";
        QTest::newRow("redirect to a relative path") << -1 << "/Download/newer.xml";
    }
    void hostileServer()
    {
        QFETCH(int, how);
        QFETCH(QString, link);
        QTemporaryDir local;
        writeFile(local.filePath(QStringLiteral("newer.xml")), appXml("9.9.9"));
        QCOMPARE(mkfifo(QFile::encodeName(local.filePath(QStringLiteral("fifo"))).constData(), 0600), 0);

        HttpPeer server;
        QVERIFY(server.start());
        if (how >= 0) {
            server.serveHostile(QStringLiteral("Download/VelmoPlexa-T.xml"), HttpPeer::Hostile(how), appXml("9.9.9"));
        } else {
            server.putFile(QStringLiteral("Download/newer.xml"), appXml("9.9.9"));
            server.putFile(QStringLiteral("Download/VelmoPlexa-T.xml"),
                           "<html><frameset><frame src=\"x\"></frameset><a href=\"" + link.arg(local.path()).toUtf8()
                               + "\">moved</a></html>");
        }
        Outcome outcome;
        runCheck(server.url(), outcome);
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(outcome.okCopy, appXml("2.8.7"));
        QCOMPARE(outcome.warnings, 0);
        QVERIFY(!outcome.startupCheck);
        QVERIFY2(!outcome.target.contains("9.9.9") && outcome.target.size() <= Platform::SmallDownload::MaxBytes,
                 QByteArray::number(outcome.target.size()).constData());
    }

    // A newer release in the appcast feed is announced like one in the application XML, and a release
    // both name is announced once.
    void appcastAnnounces_data()
    {
        QTest::addColumn<QByteArray>("xmlVersion");
        QTest::addColumn<QByteArray>("feedVersion");
        QTest::addColumn<int>("warnings");
        QTest::newRow("feed newer") << QByteArray("2.8.7") << QByteArray("2.9.0") << 1;
        QTest::newRow("both newer") << QByteArray("2.9.0") << QByteArray("2.9.0") << 1;
        QTest::newRow("neither newer") << QByteArray("2.8.7") << QByteArray("2.8.7") << 0;
    }
    void appcastAnnounces()
    {
        QFETCH(QByteArray, xmlVersion);
        QFETCH(QByteArray, feedVersion);
        QFETCH(int, warnings);
        HttpPeer server;
        QVERIFY(server.start());
        server.putFile(QStringLiteral("Download/VelmoPlexa-T.xml"), appXml(xmlVersion));
        server.putFile(QStringLiteral("Download/PlexaT/appcast.xml"),
                       "<?xml version=\"1.0\"?><rss version=\"2.0\" "
                       "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel><item>"
                       "<enclosure url=\"x\" sparkle:version=\""
                           + feedVersion + "\"/></item></channel></rss>");
        Outcome outcome;
        runCheck(server.url(), outcome);
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(outcome.warnings, warnings);
    }

    // The last good copy is read whenever the download fails. Something else at its path (a FIFO
    // would block the window for ever, a huge file would be taken into memory whole and its version
    // believed) is passed over.
    void lastGoodCopyNotRegular_data()
    {
        QTest::addColumn<bool>("fifo");
        QTest::newRow("FIFO") << true;
        QTest::newRow("huge file") << false;
    }
    void lastGoodCopyNotRegular()
    {
        QFETCH(bool, fifo);
        QDir().mkpath(dataDir());
        QFile::remove(okCopyPath());
        if (fifo) {
            QCOMPARE(mkfifo(QFile::encodeName(okCopyPath()).constData(), 0600), 0);
        } else {
            writeFile(okCopyPath(), appXml("9.9.9"));
            QVERIFY(QFile::resize(okCopyPath(), qint64(1) << 30)); // sparse: takes no disk
        }
        // A read that waits on the FIFO would wait for ever: it is released after a while, and the
        // test then fails. The while is generous, since the whole check runs inside it and a loaded
        // machine can take seconds over the window alone.
        std::atomic<bool> finished{false}, released{false};
        const QByteArray fifoPath = QFile::encodeName(okCopyPath());
        std::thread watchdog([&] {
            QElapsedTimer waited;
            waited.start();
            while (!finished && waited.elapsed() < 30000)
                QThread::msleep(20);
            if (!finished && fifo) {
                released = true;
                const int fd = ::open(fifoPath.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0)
                    ::close(fd);
            }
        });
        Outcome outcome;
        runCheck(QStringLiteral("http://127.0.0.1:9"), outcome, true);
        finished = true;
        watchdog.join();
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY2(!released, "the window waited on the FIFO");
        QCOMPARE(outcome.warnings, 0);
        QCOMPARE(QFileInfo(okCopyPath()).isFile(), !fifo); // left as it was
        QFile::remove(okCopyPath());
    }

    // A redirect page is followed; its target replaces the last good copy.
    void redirectPageIsFollowed()
    {
        HttpPeer server;
        QVERIFY(server.start());
        // The link is plain http to this server; it is upgraded to https, which this server does not
        // speak, so the follow-up fails and the last good copy stays.
        server.putFile(QStringLiteral("Download/VelmoPlexa-T.xml"),
                       "<html><frameset><frame src=\"x\"></frameset><a href=\"" + server.url().toUtf8()
                           + "/Download/real.xml\">moved</a></html>");
        server.putFile(QStringLiteral("Download/real.xml"), appXml("9.9.9"));
        Outcome outcome;
        runCheck(server.url(), outcome);
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(outcome.okCopy, appXml("2.8.7"));
        QCOMPARE(outcome.warnings, 0);
    }
};

PLEXA_TEST_MAIN(TestVersionCheck)
#include "tst_versioncheck.moc"

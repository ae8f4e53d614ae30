// The start-up check for a newer version: the application XML rules and the download against a
// real HTTP server on this machine.
#include "plexatest.h"
#include "applicationxml.h"
#include "endpoints.h"
#include "httppeer.h"
#include "mainwin.h"
#include "recordingcontrollers.h"
#include "resources.h"
#include "scripteddialogs.h"

#include <QDir>
#include <QFile>

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
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void writeFile(const QString& path, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
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
    }
    void download()
    {
        QFETCH(QByteArray, served);
        QFETCH(bool, serverUp);
        QFETCH(bool, okCopyReplaced);
        QFETCH(bool, warned);
        QFETCH(bool, startupCheck);

        const QByteArray previous = appXml("2.8.7");
        writeFile(dataDir() + QStringLiteral("/VelmoPlexa-T-OK.xml"), previous);
        // Consent already refused, so no question interleaves with the check.
        writeFile(dataDir() + QStringLiteral("/VelmoPlexa-T-Stat.xml"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE Info>\n<data>\n <accepted>false</accepted>\n</data>\n");

        HttpPeer server;
        if (serverUp) {
            QVERIFY(server.start());
            Endpoints::setServer(server.url());
            if (!served.isEmpty())
                server.putFile(QStringLiteral("Download/VelmoPlexa-T.xml"), served);
        } else {
            Endpoints::setServer(QStringLiteral("http://127.0.0.1:9"));
        }

        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        RecordingControllerFactory factory;
        VersionWindow window(&factory);
        QTRY_VERIFY_WITH_TIMEOUT(!window.appXmlDownloading, 20000);
        QTest::qWait(50);
        Endpoints::setServer(QString());

        const QByteArray okCopy = readFile(dataDir() + QStringLiteral("/VelmoPlexa-T-OK.xml"));
        QCOMPARE(okCopy, okCopyReplaced ? served : previous);
        QCOMPARE(dialogs.wasShown(QStringLiteral("Newer version of Velmo Plexa-T exists!")), warned);
        QCOMPARE(factory.log.contains(QStringLiteral("UpdateTabControl::startupUpdatesCheck()")), startupCheck);
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
        writeFile(dataDir() + QStringLiteral("/VelmoPlexa-T-OK.xml"), appXml("2.8.7"));
        Endpoints::setServer(server.url());
        ScriptedDialogs dialogs;
        ScriptedDialogs::Scope scope(dialogs);
        RecordingControllerFactory factory;
        VersionWindow window(&factory);
        QTRY_VERIFY_WITH_TIMEOUT(!window.appXmlDownloading, 20000);
        Endpoints::setServer(QString());
        QCOMPARE(readFile(dataDir() + QStringLiteral("/VelmoPlexa-T-OK.xml")), appXml("2.8.7"));
        QVERIFY(!dialogs.wasShown(QStringLiteral("Newer version")));
    }
};

PLEXA_TEST_MAIN(TestVersionCheck)
#include "tst_versioncheck.moc"

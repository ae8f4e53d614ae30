// Firmware downloads against a real HTTP server on this machine: the products XML and packages,
// redirect pages, and servers that fail, cut the transfer, say nothing or send too much.
#include "plexatest.h"
#include "endpoints.h"
#include "httppeer.h"
#include "scripteddialogs.h"
#include "ui_mainui.h"
#include "updatedownloadmanager.h"
#include "updatexmlmanager.h"

#include <QDir>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QSignalSpy>
#include <QSslConfiguration>

// The memory a download holds is measured here; in the sanitizer build, freed blocks are kept
// back (up to 256 MiB by default) and would count as held. A small quarantine keeps the figure
// the program's own. (Without the sanitizer nothing calls this.)
extern "C" const char* __asan_default_options()
{
    return "quarantine_size_mb=4";
}

namespace {

using PlexaTest::writeFile;

QByteArray catalogue(const QByteArray& version, const QByteArray& zip = "Korvina_1.zip")
{
    return "<!DOCTYPE VelmoFirmwareUpgrade>\n<VelmoFirmwareUpgrade>\n <product id=\"Korvina\" version=\"" + version
        + "\" zipfile=\"" + zip + "\">\n  <info><latestfw>" + version
        + "</latestfw></info>\n </product>\n <product id=\"Bare\"/>\n</VelmoFirmwareUpgrade>\n";
}

QByteArray redirectPage(const QString& link)
{
    return "<html>\n<frameset rows=\"100%\"><frame src=\"x\"></frameset>\n<noframes><a href=\"" + link.toUtf8()
        + "\">moved</a></noframes>\n</html>\n";
}

QString folder()
{
    return updateXMLManager::firmwareFolder();
}

QString inFolder(const QString& name)
{
    return folder() + QDir::separator() + name;
}

// The process's resident memory now and its peak since the last reset, in KiB (Linux).
qint64 statusKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

void resetPeakResident()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Bytes that are no text: every value, many times.
QByteArray packageBytes(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xFF);
    return bytes;
}

} // namespace

class TestUpdateDownload : public QObject
{
    Q_OBJECT

private:
    QMainWindow window;
    Ui_MainUI ui;
    HttpPeer server;
    ScriptedDialogs dialogs;

    // Runs a products XML download to its end; the number of completion signals and the last value.
    QPair<int, bool> checkCatalogue()
    {
        updateDownloadManager manager(&ui);
        QSignalSpy done(&manager, SIGNAL(finishedDownloadingProductsXML(bool)));
        if (!manager.getProductsXML())
            return {-1, false};
        done.wait(20000);
        QTest::qWait(50); // a second completion would come now
        return {done.count(), done.isEmpty() ? false : done.last().at(0).toBool()};
    }

    QList<QVariant> downloadPackage(updateDownloadManager& manager, bool askDialog, int waitMs = 20000)
    {
        QSignalSpy done(&manager, SIGNAL(finishedDownloadingPackage(QString, bool, bool)));
        manager.downloadFilesTo(QStringLiteral("Korvina"), askDialog);
        if (done.isEmpty())
            done.wait(waitMs);
        return done.count() == 1 ? done.first() : QList<QVariant>();
    }

private slots:
    void initTestCase()
    {
        ui.setupUi(&window);
        QVERIFY(server.start());
        Endpoints::setServer(server.url());
        Dialogs::setBackend(&dialogs);
    }

    void cleanupTestCase() { Dialogs::setBackend(nullptr); }

    void init()
    {
        QDir(folder()).removeRecursively();
        dialogs.clear();
        updateDownloadManager::overrideTimeLimits(0, 0);
        for (const char* path : {"/Download/PlexaT/firmwareUpgradeTabInfo.xml", "/Download/Broken.zip"}) {
            QFile::remove(server.root() + path);
            QFile::remove(server.root() + path + ".behaviour");
        }
    }

    void catalogueDownloads_data()
    {
        QTest::addColumn<int>("how"); // an HttpPeer::Hostile, -1 a plain file, -2 no file at all
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("taken");

        QTest::newRow("products XML") << -1 << catalogue("2") << true;
        QTest::newRow("no Content-Length") << int(HttpPeer::Hostile::NoLength) << catalogue("2") << true;
        QTest::newRow("404") << -2 << QByteArray() << false;
        QTest::newRow("not XML") << -1 << QByteArray("<html><body>Sign in to the hotel WiFi") << false;
        QTest::newRow("XML of another kind") << -1 << QByteArray("<html><body>portal</body></html>") << false;
        QTest::newRow("empty") << -1 << QByteArray() << false;
        QTest::newRow("two of the three redirect marks")
            << -1 << QByteArray("<html><a href=\"http://x/\">x</a></html>") << false;
        QTest::newRow("cut off") << int(HttpPeer::Hostile::Dropped) << catalogue("2") << false;
        QTest::newRow("silent server") << int(HttpPeer::Hostile::Silent) << QByteArray() << false;
        QTest::newRow("larger than a catalogue") << int(HttpPeer::Hostile::Huge) << catalogue("2") << false;
    }

    // A download replaces the catalogue only with a whole products XML; every failure reports
    // once, leaves the catalogue in use and the state ready for the next check.
    void catalogueDownloads()
    {
        QFETCH(int, how);
        QFETCH(QByteArray, body);
        QFETCH(bool, taken);
        const QString path = QStringLiteral("Download/PlexaT/firmwareUpgradeTabInfo.xml");
        if (how == -1)
            server.putFile(path, body);
        else if (how >= 0)
            server.serveHostile(path, HttpPeer::Hostile(how), body);
        writeFile(inFolder("firmwareUpgradeTabInfo.xml"), catalogue("1"));

        QElapsedTimer clock;
        clock.start();
        const QPair<int, bool> result = checkCatalogue();
        QCOMPARE(result.first, 1);
        QCOMPARE(result.second, taken);
        QVERIFY(clock.elapsed() < 15000); // a silent server is given up on (idle time-out, scaled)
        QCOMPARE(PlexaTest::readFile(inFolder("firmwareUpgradeTabInfo.xml")), taken ? body : catalogue("1"));
        if (taken)
            QCOMPARE(PlexaTest::readFile(inFolder("firmwareUpgradeTabInfoOK.xml")), body);
        QVERIFY(!QFileInfo::exists(inFolder("firmwareUpgradeTabInfoIN.xml")));
        QCOMPARE(ui.statusBar->currentMessage().isEmpty(), taken);
    }

    // Redirect pages are followed over https (a plain "http://" link is upgraded), at most twice.
    void redirectPages_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("taken");
        QTest::newRow("one") << 1 << true;
        QTest::newRow("two") << 2 << true;
        QTest::newRow("three") << 3 << false;
    }

    void redirectPages()
    {
        QFETCH(int, pages);
        QFETCH(bool, taken);
        HttpPeer secure;
        QVERIFY(secure.startTls());
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        QVERIFY(tls.addCaCertificates(secure.certificatePath()));
        QSslConfiguration::setDefaultConfiguration(tls);

        // The first page is on the plain server and links with "http://" to the https one.
        const QString plainLink = QString(secure.url()).replace(QStringLiteral("https://"), QStringLiteral("http://"));
        server.putFile(QStringLiteral("Download/PlexaT/firmwareUpgradeTabInfo.xml"),
                       redirectPage(plainLink + "/page1"));
        for (int i = 1; i < pages; ++i)
            secure.putFile(QStringLiteral("page%1").arg(i), redirectPage(secure.url() + QStringLiteral("/page%1").arg(i + 1)));
        secure.putFile(QStringLiteral("page%1").arg(pages), catalogue("3"));

        const QPair<int, bool> result = checkCatalogue();
        QCOMPARE(result.first, 1);
        QCOMPARE(result.second, taken);
        QCOMPARE(PlexaTest::readFile(inFolder("firmwareUpgradeTabInfo.xml")).contains("latestfw>3<"), taken);
    }

    // A package arrives byte for byte at firmware folder / product / package name, with progress.
    void packageDownload()
    {
        const QByteArray package = packageBytes(3 << 20);
        writeFile(inFolder("firmwareUpgradeTabInfo.xml"), catalogue("1"));
        server.putFile(QStringLiteral("Download/Korvina_1.zip"), package);
        updateDownloadManager manager(&ui);
        QSignalSpy bar(ui.updateBar, SIGNAL(valueChanged(int)));
        const QList<QVariant> done = downloadPackage(manager, false);
        QCOMPARE(done, (QList<QVariant>{QStringLiteral("Korvina"), true, true}));
        const QString target = folder() + "/Korvina/Korvina_1.zip";
        QCOMPARE(PlexaTest::readFile(target), package);
        QVERIFY(!QFileInfo::exists(target + ".part"));
        QCOMPARE(ui.updateBar->value(), 100);
        QVERIFY(!bar.isEmpty());
        QVERIFY(ui.statusBar->currentMessage().startsWith("Firmware zip file was downloaded successfully to "));
        QVERIFY(ui.statusBar->currentMessage().endsWith("Korvina"));
    }

    // A package whose stored files hold a web page with links is still the package.
    void archiveIsNoRedirectPage()
    {
        const QByteArray package = "PK\x03\x04" + redirectPage(server.url() + "/elsewhere") + packageBytes(100);
        writeFile(inFolder("firmwareUpgradeTabInfo.xml"), catalogue("1"));
        server.putFile(QStringLiteral("Download/Korvina_1.zip"), package);
        updateDownloadManager manager(&ui);
        QCOMPARE(downloadPackage(manager, false).value(2).toBool(), true);
        QCOMPARE(PlexaTest::readFile(folder() + "/Korvina/Korvina_1.zip"), package);
    }

    // Failed transfers leave no package that looks whole, and an earlier one stays as it was.
    void packageFailures_data()
    {
        QTest::addColumn<int>("how"); // -2 no file (404)
        QTest::newRow("404") << -2;
        QTest::newRow("cut off") << int(HttpPeer::Hostile::Dropped);
        QTest::newRow("silent") << int(HttpPeer::Hostile::Silent);
    }

    void packageFailures()
    {
        QFETCH(int, how);
        writeFile(inFolder("firmwareUpgradeTabInfo.xml"), catalogue("1", "Broken.zip"));
        const QString target = folder() + "/Korvina/Broken.zip";
        writeFile(target, "the package downloaded before");
        if (how >= 0)
            server.serveHostile(QStringLiteral("Download/Broken.zip"), HttpPeer::Hostile(how), packageBytes(5000));
        updateDownloadManager manager(&ui);
        const QList<QVariant> done = downloadPackage(manager, false);
        QCOMPARE(done, (QList<QVariant>{QStringLiteral("Korvina"), true, false}));
        QCOMPARE(PlexaTest::readFile(target), QByteArray("the package downloaded before"));
        QVERIFY(!QFileInfo::exists(target + ".part"));
        QCOMPARE(ui.statusBar->currentMessage(), QStringLiteral("Error occurred while downloading."));
        QCOMPARE(ui.statusBar->palette().color(QPalette::WindowText), QColor(255, 70, 50));
    }

    // A 2 GB body made up on the fly: it goes to disk as it arrives and is refused at the package
    // cap (at once when its length is announced), with the memory bounded; the package
    // downloaded before stays.
    void hugePackage_data()
    {
        QTest::addColumn<bool>("announced");
        QTest::newRow("length not announced") << false;
        QTest::newRow("length announced") << true;
    }

    void hugePackage()
    {
        QFETCH(bool, announced);
        writeFile(inFolder("firmwareUpgradeTabInfo.xml"), catalogue("1", "Broken.zip"));
        const QString target = folder() + "/Korvina/Broken.zip";
        writeFile(target, "the package downloaded before");
        server.serveGenerated(QStringLiteral("Download/Broken.zip"), qint64(2) << 30, announced, 170);
        // The size cap is what ends it here, not the deadline, however slow the machine.
        updateDownloadManager::overrideTimeLimits(180000, 0);
        updateDownloadManager manager(&ui);
        const qint64 resident = statusKiB("VmRSS:");
        resetPeakResident();
        QElapsedTimer clock;
        clock.start();
        const QList<QVariant> done = downloadPackage(manager, false, 180000);
        const qint64 peak = statusKiB("VmHWM:");
        qInfo("2 GB package reply: given up after %lld ms; resident %lld KiB before, peak %lld KiB during",
              clock.elapsed(), resident, peak);
        QCOMPARE(done, (QList<QVariant>{QStringLiteral("Korvina"), true, false}));
        // Far below the cap itself: the body is never held whole.
        QVERIFY2(peak - resident < 64 * 1024, qPrintable(QString::number(peak - resident)));
        if (announced)
            QVERIFY(clock.elapsed() < 3000);
        QCOMPARE(PlexaTest::readFile(target), QByteArray("the package downloaded before"));
        QVERIFY(!QFileInfo::exists(target + ".part"));
        QCOMPARE(ui.statusBar->currentMessage(), QStringLiteral("Error occurred while downloading."));
        QVERIFY(!manager.isDownloading());
    }

    // A server that sends one byte every 5 s: the products XML and the package downloads end
    // at their deadline (shortened here), as failures, though the idle time-out never fires.
    void trickleEndsAtTheDeadline()
    {
        updateDownloadManager::overrideTimeLimits(1500, 20000);
        server.serveTrickle(QStringLiteral("Download/PlexaT/firmwareUpgradeTabInfo.xml"), catalogue("2"), 5.0);
        writeFile(inFolder("firmwareUpgradeTabInfo.xml"), catalogue("1", "Broken.zip"));
        QElapsedTimer clock;
        clock.start();
        const QPair<int, bool> result = checkCatalogue();
        QCOMPARE(result.first, 1);
        QCOMPARE(result.second, false);
        QVERIFY(clock.elapsed() >= 1400 && clock.elapsed() < 4500);
        QCOMPARE(PlexaTest::readFile(inFolder("firmwareUpgradeTabInfo.xml")), catalogue("1", "Broken.zip"));

        server.serveTrickle(QStringLiteral("Download/Broken.zip"), "PK\x03\x04" + QByteArray(200, 'p'), 5.0);
        updateDownloadManager manager(&ui);
        clock.restart();
        const QList<QVariant> done = downloadPackage(manager, false);
        QCOMPARE(done, (QList<QVariant>{QStringLiteral("Korvina"), true, false}));
        QVERIFY2(clock.elapsed() >= 1400 && clock.elapsed() < 4500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!QFileInfo::exists(folder() + "/Korvina/Broken.zip.part"));
        QCOMPARE(ui.statusBar->currentMessage(), QStringLiteral("Error occurred while downloading."));
        QVERIFY(!manager.isDownloading());
    }

    // A message too long for the bar is shortened in its middle; the tool tip has it whole.
    void longMessageIsElided()
    {
        writeFile(inFolder("firmwareUpgradeTabInfo.xml"), catalogue("1"));
        server.putFile(QStringLiteral("Download/Korvina_1.zip"), packageBytes(1000));
        window.resize(360, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        updateDownloadManager manager(&ui);
        QCOMPARE(downloadPackage(manager, false).value(2).toBool(), true);
        const QString whole = "Firmware zip file was downloaded successfully to " + QDir::toNativeSeparators(folder() + "/Korvina");
        const QString shown = ui.statusBar->currentMessage();
        window.hide();
        QCOMPARE(ui.statusBar->toolTip(), whole);
        QVERIFY2(shown.contains(QChar(0x2026)) && shown.size() < whole.size(), qPrintable(shown));
        QVERIFY(shown.startsWith("Firmware zip") && shown.endsWith("Korvina"));
        ui.statusBar->showMessage(QStringLiteral("another page's message"));
        QCOMPARE(ui.statusBar->toolTip(), QString());
    }

    // With the save dialog the package goes where the user chose, and the folder is remembered.
    void packageToChosenPlace()
    {
        writeFile(inFolder("firmwareUpgradeTabInfo.xml"), catalogue("1"));
        server.putFile(QStringLiteral("Download/Korvina_1.zip"), packageBytes(1000));
        QTemporaryDir chosen;
        const QString target = chosen.filePath(QStringLiteral("mine.zip"));
        dialogs.answerPath(target);
        updateDownloadManager manager(&ui);
        const QList<QVariant> done = downloadPackage(manager, true);
        QCOMPARE(done, (QList<QVariant>{QStringLiteral("Korvina"), false, true}));
        QCOMPARE(PlexaTest::readFile(target), packageBytes(1000));
        QVERIFY(!QFileInfo::exists(folder() + "/Korvina/Korvina_1.zip"));
        QCOMPARE(ui.statusBar->currentMessage(),
                 "Firmware zip file was downloaded successfully to " + QDir::toNativeSeparators(chosen.path()));
    }

    // No place to write to: a cancelled dialog, a product without a package, a hostile name.
    void packageWithoutTarget_data()
    {
        QTest::addColumn<QByteArray>("zip");
        QTest::addColumn<bool>("askDialog");
        QTest::newRow("dialog cancelled") << QByteArray("Korvina_1.zip") << true;
        QTest::newRow("no package named") << QByteArray() << false;
        QTest::newRow("name leaving the folder") << QByteArray("../../escape.zip") << false;
    }

    void packageWithoutTarget()
    {
        QFETCH(QByteArray, zip);
        QFETCH(bool, askDialog);
        writeFile(inFolder("firmwareUpgradeTabInfo.xml"), catalogue("1", zip));
        dialogs.answerCancel();
        updateDownloadManager manager(&ui);
        const QList<QVariant> done = downloadPackage(manager, askDialog);
        QCOMPARE(done.value(2).toBool(), false);
        QCOMPARE(ui.statusBar->currentMessage(), QStringLiteral("Can't create zip file locally!"));
        QVERIFY(!QFileInfo::exists(QDir::homePath() + "/escape.zip"));
        QVERIFY(!manager.isDownloading());
    }
};

PLEXA_TEST_MAIN(TestUpdateDownload)
#include "tst_update_download.moc"

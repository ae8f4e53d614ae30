// The serial firmware page end to end: a package made by Info-ZIP's `zip` is unpacked flat into
// the product's folder, the product's description is read from the products list, the upload runs
// on the worker thread against the simulated unit or boot loader, and the page mirrors progress,
// console and result (status bar, boxes, controls). Also the package-description table, the
// refusals (no file, bad archive, product not in the list, package without files) and the worker
// thread ended after an error.
#include "plexatest.h"
#include "firmwareupdatepackage.h"
#include "firmwareupdatewin.h"
#include "localetest.h"
#include "scripteddialogs.h"
#include "serialfwsim.h"
#include "serialports.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray fileOf(int size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + i / 251) & 0xFF);
    return data;
}

// A short summary of a description, for the table.
QString describe(const FwProduct& p)
{
    QStringList parts{p.baudRate, p.dataBits, p.parity, p.stopBits, p.flowControl, p.version};
    for (const FwFile& f : p.files) {
        QString file = f.fileName + ":" + f.successMsg + ":" + QString::number(f.downloadDelayMillis);
        for (const FwCommand& c : f.commands)
            file += QString(":%1/%2/%3").arg(c.text).arg(c.crlf ? "crlf" : "bare").arg(c.delayMillis);
        parts << file;
    }
    return parts.join('|');
}

const char* const Catalogue = R"(<?xml version="1.0" encoding="UTF-8"?>
<VelmoFirmwareUpgrade>
  <product id="Lorvane-PB" version="2.0" zipfile="Lorvane-PB_v2.zip">
    <connect><baudRate>19200</baudRate><dataBits>8</dataBits><parity>N</parity><stopBits>1</stopBits>
      <flowControl>OFF</flowControl></connect>
    <file prefix="app"><successMsg>Upgrade OK</successMsg><downloadDelayMillis>0</downloadDelayMillis>
      <command><text>#FW_UPGRADE</text><crlf>true</crlf><delayMillis>100</delayMillis></command></file>
  </product>
  <product id="Lorvane" version="2.0">
    <file prefix="app"><successMsg>Upgrade OK</successMsg>
      <command><text>#FW_UPGRADE</text><crlf>true</crlf></command></file>
  </product>
  <product id="Pelmorr-RX" version="1.1"><file prefix="boot"/></product>
  <product id="Harvane" version="1.0"/>
</VelmoFirmwareUpgrade>
)";

struct Page {
    QMainWindow window;
    Ui_MainUI ui;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope{dialogs};
    std::unique_ptr<FirmwareUpdateWin> page;
    QTemporaryDir dir;

    Page()
    {
        ui.setupUi(&window);
        page = std::make_unique<FirmwareUpdateWin>(&ui);
    }
    ~Page()
    {
        // A run still going ends before the page and the form go.
        QTRY_VERIFY_WITH_TIMEOUT(!page->isUpgrading(), 30000);
        page.reset();
    }
    QString status() const { return ui.statusBar->currentMessage(); }
    bool statusIsError() const { return ui.statusBar->palette().color(QPalette::WindowText) == QColor(255, 70, 50); }
    void choose(const QString& product, const QString& port, const QString& package)
    {
        ui.productCombobox->clear();
        ui.productCombobox->addItem(product);
        ui.updateOptionOne->clear();
        ui.updateOptionOne->addItem(port);
        ui.updateFilename->setText(package);
    }
    // A package by Info-ZIP: each file under `folder/` in the archive (so it must come out flat),
    // with the folder's own entry.
    QString package(const QString& name, const QMap<QString, QByteArray>& files)
    {
        const QString staging = dir.filePath("staging-" + name);
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            if (!writeFile(staging + "/fw/" + it.key(), it.value()))
                return {};
        QProcess zip;
        zip.setWorkingDirectory(staging);
        zip.start("zip", {"-r", "-q", dir.filePath(name), "fw"});
        if (!zip.waitForFinished(10000) || zip.exitCode() != 0)
            return {};
        return dir.filePath(name);
    }
    bool controlsEnabled() const
    {
        return ui.startDownloadButton->isEnabled() && ui.startUploadButton->isEnabled() && ui.browseButton->isEnabled()
            && ui.prodBox->isEnabled() && ui.portBox->isEnabled() && ui.fileName->isEnabled();
    }
};

QString firmwareFolder()
{
    return QDir::homePath() + "/VelmoFWUpgrade";
}

} // namespace

class TestFirmwareUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SerialPortLister::setSystemPortsListed(false);
        QVERIFY(writeFile(firmwareFolder() + "/firmwareUpgradeTabInfoOK.xml", Catalogue));
    }

    void packageDescription_data()
    {
        QTest::addColumn<QString>("productXml");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("expected"); // describe(), or "refused: <part of the reason>"
        const QString head = "<product id=\"P\" version=\"3\">";
        QTest::newRow("settings and commands")
            << head + "<connect><x><baudRate>57600</baudRate></x><dataBits>8</dataBits></connect>"
                      "<file prefix=\"app\"><successMsg>OK</successMsg><downloadDelayMillis>-5</downloadDelayMillis>"
                      "<command><text>#A</text><crlf>true</crlf><delayMillis>200</delayMillis></command>"
                      "<command><text>#B</text><crlf>TRUE</crlf><delayMillis>2.5s</delayMillis></command>"
                      "<command><text>#C</text></command></file></product>"
            << QStringList{"app_v2.bin", "app_v2.hex"} << "57600|8||||3|app_v2.bin:OK:-5:#A/crlf/200:#B/bare/0:#C/bare/0";
        QTest::newRow("prefix ignores case, so two match")
            << head + "<file prefix=\"APP\"/></product>" << QStringList{"app_v2.bin", "APP_v1.BIN"} << "refused: exactly one";
        QTest::newRow("no prefix: any single .bin")
            << head + "<file><successMsg>OK</successMsg></file></product>" << QStringList{"x.bin", "notes.txt"}
            << "|||||3|x.bin:OK:0";
        QTest::newRow("no prefix, two .bin") << head + "<file/></product>" << QStringList{"x.bin", "y.bin"}
                                             << "refused: exactly one";
        QTest::newRow("no match") << head + "<file prefix=\"dsp\"/></product>" << QStringList{"app.bin"}
                                  << "refused: exactly one";
        QTest::newRow("connect deeper is not read")
            << head + "<x><connect><baudRate>19200</baudRate></connect></x><file/></product>" << QStringList{"a.bin"}
            << "|||||3|a.bin::0";
        QTest::newRow("product without files") << head + "</product>" << QStringList{"a.bin"} << "refused: lists no files";
        QTest::newRow("product not in the list") << "<product id=\"Q\"><file/></product>" << QStringList{"a.bin"}
                                                 << "refused: has no firmware package for P";
        QTest::newRow("first of two with the id")
            << head + "<file prefix=\"a\"/></product><product id=\"P\" version=\"9\"/>" << QStringList{"a.bin"}
            << "|||||3|a.bin::0";
        QTest::newRow("text over two lines, attributes over two lines")
            << "<product\nid=\"P\"\nversion=\"4\"><file prefix=\"a\"><successMsg>Upgrade\ncomplete</successMsg></file></product>"
            << QStringList{"a.bin"} << "|||||4|a.bin:Upgradecomplete:0";
    }
    void packageDescription()
    {
        QFETCH(QString, productXml);
        QFETCH(QStringList, files);
        QFETCH(QString, expected);
        // Numbers of the list ("-5", "2.5s") read the same under a comma-decimal locale.
        DefaultLocaleScope locale("de_DE");
        QTemporaryDir dir;
        for (const QString& name : files)
            QVERIFY(writeFile(dir.filePath(name), "x"));
        QDir(dir.path()).mkdir("folder.bin"); // folders never match
        const FwPackageRead read = readFwPackage("<VelmoFirmwareUpgrade>" + productXml + "</VelmoFirmwareUpgrade>", "P",
                                                 dir.path());
        if (expected.startsWith("refused: ")) {
            QVERIFY(!read.ok);
            QVERIFY2(read.error.contains(expected.mid(9)), qPrintable(read.error));
        } else {
            QVERIFY2(read.ok, qPrintable(read.error));
            QCOMPARE(describe(read.product), expected);
            QCOMPARE(read.product.directory, dir.path());
        }
    }

    // Install → unpack → description → worker thread → progress, console, result.
    void installEndToEnd_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("packageName");
        QTest::addColumn<QString>("finalStatus");
        QTest::addColumn<QString>("finalBox");
        QTest::newRow("Lorvane-PB, .ZIP") << "Lorvane-PB" << "Lorvane-PB_v2.ZIP" << "Success. Please reboot the unit."
                                          << "Update finished successfully. Please reboot the unit to complete the process.";
        QTest::newRow("Lorvane") << "Lorvane" << "Lorvane_v2.zip" << "Upgrade finished successfully!"
                                 << "Update finished successfully!";
    }
    void installEndToEnd()
    {
        QFETCH(QString, product);
        QFETCH(QString, packageName);
        QFETCH(QString, finalStatus);
        QFETCH(QString, finalBox);
        Page p;
        SerialFwUnitSim unit;
        QVERIFY(unit.startPty());
        const QByteArray firmware = fileOf(3000);
        const QString package = p.package(packageName, {{"app_v2.bin", firmware}, {"readme.txt", "notes"}});
        QVERIFY(!package.isEmpty());
        p.choose(product, unit.portName(), package);

        p.page->slot_ui_startUpgrading();
        QVERIFY(p.page->isUpgrading());
        QVERIFY(!p.controlsEnabled());
        QVERIFY(!p.ui.progressBar->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(p.dialogs.wasShown("Status"), 30000);

        const QString folder = firmwareFolder() + "/" + product + "/" + QFileInfo(packageName).completeBaseName();
        QCOMPARE(QDir::cleanPath(p.page->extractFolder()), QDir::cleanPath(folder));
        QCOMPARE(PlexaTest::readFile(folder + "/app_v2.bin"), firmware); // flat: no fw/ folder
        QVERIFY(!QFileInfo::exists(folder + "/fw"));
        QCOMPARE(unit.transfers().value(0).data, firmware);
        QCOMPARE(unit.transfers().value(0).name, QString("app_v2.bin"));

        QCOMPARE(p.dialogs.shown().size(), 1);
        QCOMPARE(p.dialogs.shown().at(0).text, finalBox);
        QCOMPARE(p.status(), finalStatus);
        QVERIFY(!p.statusIsError());
        QVERIFY(p.ui.console->toPlainText().contains("Upgrade OK"));
        QCOMPARE(p.ui.updateBar->maximum(), 3000);
        QCOMPARE(p.ui.updateBar->value(), 3000);
        QVERIFY(p.ui.progressBar->isHidden());
        QVERIFY(p.controlsEnabled());
        QVERIFY(p.ui.fileName->text().isEmpty());
        QTRY_VERIFY(!p.page->isUpgrading());
    }

    void bootLoaderEndToEnd()
    {
        // The boot loader's sync pauses are a millisecond at the usual test scale.
        const double factor = TimeScale::factor();
        TimeScale::setFactor(qMax(factor, 0.2));
        const auto restore = qScopeGuard([factor] { TimeScale::setFactor(factor); });
        Page p;
        HexBootSim boot;
        QVERIFY(boot.startPty());
        // The boot loader's HEX text travels in the package under a ".bin" name.
        const QString package = p.package("Pelmorr-RX_v1.zip", {{"boot_v1.bin", ":0400100001020304E2\r\n:00000001FF\r\n"}});
        p.choose("Pelmorr-RX", boot.portName(), package);
        p.page->slot_ui_startUpgrading();
        QTRY_VERIFY_WITH_TIMEOUT(p.dialogs.wasShown("Status"), 30000);
        QCOMPARE(p.dialogs.shown().size(), 2);
        QVERIFY(p.dialogs.shown().at(0).text.startsWith("To start the firmware update please set the Prog DIP switch"));
        QCOMPARE(p.dialogs.shown().at(1).text,
                 QString("Update finished successfully. Please set the Prog DIP switch to Off and power cycle the unit to "
                         "complete the process."));
        QCOMPARE(p.status(), QString("Success."));
        QCOMPARE(boot.flash().mid(0x10, 4), QByteArray("\x01\x02\x03\x04"));
        QCOMPARE(p.ui.updateBar->maximum(), 1);
    }

    // A failed run: the error texts, never the success box, and the thread ends and goes.
    void failedRunEndsTheThread()
    {
        Page p;
        SerialFwUnitSim unit;
        SerialFwUnitSim::Script script;
        script.nak[1] = 1;
        unit.setScript(script);
        QVERIFY(unit.startPty());
        p.choose("Lorvane", unit.portName(), p.package("Lorvane_v3.zip", {{"app_v3.bin", fileOf(2000)}}));
        p.page->slot_ui_startUpgrading();
        QTRY_VERIFY_WITH_TIMEOUT(p.dialogs.wasShown("Status"), 30000);
        QCOMPARE(p.dialogs.shown().size(), 1);
        QCOMPARE(p.dialogs.shown().at(0).text, QString("Error occurred!"));
        QCOMPARE(p.status(), QString("Error occurred! Please contact Velmo's support."));
        QVERIFY(p.statusIsError());
        QVERIFY(p.controlsEnabled());
        QVERIFY(p.ui.progressBar->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(!p.page->isUpgrading(), 5000);
        QVERIFY(!p.ui.fileName->text().isEmpty()); // kept for another try
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("packageKind");
        QTest::addColumn<QString>("status");
        QTest::newRow("no file") << "Lorvane" << "none" << "Please select a file first.";
        QTest::newRow("not an archive") << "Lorvane" << "garbage" << "Error occurred when trying to extract zip file!!";
        QTest::newRow("product not in the list") << "Jastric" << "good" << "The products list has no firmware package for Jastric.";
        QTest::newRow("package without files") << "Harvane" << "good" << "The firmware package of Harvane lists no files.";
        QTest::newRow("no matching file") << "Lorvane" << "other" << "The package needs exactly one file named app*.bin; it has 0.";
    }
    void refusals()
    {
        QFETCH(QString, product);
        QFETCH(QString, packageKind);
        QFETCH(QString, status);
        Page p;
        QString package;
        if (packageKind == "good")
            package = p.package("pkg.zip", {{"app_v1.bin", "x"}});
        else if (packageKind == "other")
            package = p.package("pkg.zip", {{"dsp_v1.bin", "x"}});
        else if (packageKind == "garbage") {
            package = p.dir.filePath("pkg.zip");
            QVERIFY(writeFile(package, "this is not a zip archive"));
        }
        p.choose(product, "/dev/null", package);
        p.ui.startUploadButton->setEnabled(false);
        p.page->slot_ui_startUpgrading();
        QCOMPARE(p.status(), status);
        QVERIFY(p.statusIsError());
        QVERIFY(!p.page->isUpgrading());
        QVERIFY(p.dialogs.shown().isEmpty());
        QVERIFY(p.controlsEnabled());
        QVERIFY(p.ui.productCombobox->count() == 1); // never filled with the list's ids
    }

    void missingProductsListWarns()
    {
        Page p;
        const QString ok = firmwareFolder() + "/firmwareUpgradeTabInfoOK.xml";
        QVERIFY(QFile::rename(ok, ok + ".away"));
        p.choose("Lorvane", "/dev/null", p.package("pkg.zip", {{"app_v1.bin", "x"}}));
        p.page->slot_ui_startUpgrading();
        QVERIFY(QFile::rename(ok + ".away", ok));
        QVERIFY(p.dialogs.wasShown("Unable to access product information."));
        QVERIFY(!p.page->isUpgrading());
    }

    void browseShowsTheFileName()
    {
        Page p;
        p.dialogs.answerPath("/somewhere/packages/Lorvane_v4.zip");
        p.page->slot_ui_browse();
        QCOMPARE(p.ui.fileName->text(), QString("Lorvane_v4.zip"));
        p.dialogs.answerCancel();
        p.page->slot_ui_browse();
        QCOMPARE(p.ui.fileName->text(), QString("Lorvane_v4.zip"));
    }

    // The hub's double builds the page through NoSetup: it touches no widget.
    void noSetupIsInert()
    {
        struct Inert : FirmwareUpdate {
            explicit Inert(Ui_MainUI* ui)
                : FirmwareUpdate(ui, NoSetup())
            {
            }
            bool unzip() override { return false; }
        };
        QMainWindow window;
        Ui_MainUI ui;
        ui.setupUi(&window);
        SerialFwUnitSim unit;
        QVERIFY(unit.startPty());
        const bool visible = !ui.progressBar->isHidden();
        Inert inert(&ui);
        QCOMPARE(ui.portBox->count(), 0);
        QCOMPARE(!ui.progressBar->isHidden(), visible);
        // The real page lists the ports, the simulated unit's among them.
        FirmwareUpdateWin real(&ui);
        QVERIFY(ui.portBox->findText(unit.portName()) >= 0);
        QVERIFY(ui.progressBar->isHidden());
    }
};

PLEXA_TEST_MAIN(TestFirmwareUpdate)
#include "tst_firmwareupdate.moc"

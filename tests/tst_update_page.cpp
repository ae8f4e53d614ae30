// The "Update" page: what it shows for a product, the family code Install emits, and the packages
// it downloads, takes from the user and unpacks (archives made by Info-ZIP's zip, a real HTTP peer).
#include "plexatest.h"
#include "endpoints.h"
#include "httppeer.h"
#include "myxmlmanager.h"
#include "resources.h"
#include "scripteddialogs.h"
#include "serialports.h"
#include "ui_mainui.h"
#include "updatedownloadmanager.h"
#include "updatetabcontrol.h"

#include <QDir>
#include <QDomDocument>
#include <QLabel>
#include <QMainWindow>
#include <QProcess>
#include <QSignalSpy>

namespace {

using PlexaTest::writeFile;

const QByteArray kCatalogue = R"(<!DOCTYPE VelmoFirmwareUpgrade>
<VelmoFirmwareUpgrade>
 <product id="Korvina" version="1.2" zipfile="Korvina_1.2.zip">
  <info><latestfw>1.2</latestfw><fwprefix>KVM_</fwprefix></info>
  <notes>Fixes the link.</notes><instructions>Power the unit.</instructions>
 </product>
 <product id="Kalvisk" zipfile="Kalvisk_4.zip"><info><latestfw>4</latestfw></info></product>
 <product id="Jovaris" zipfile="Jovaris_7.zip"><info><latestfw>7</latestfw></info></product>
 <product id="Orrelin" zipfile="Orrelin_1.zip"><info><latestfw>1</latestfw><noupdate>true</noupdate></info></product>
 <product id="Rolvane Series" zipfile="Rolvane_3.zip">
  <info><latestfw>3</latestfw><fwprefix>APP_</fwprefix>
   <fwextension><part number="1"><extprefix>MAC_</extprefix></part></fwextension></info>
 </product>
 <product id="Sundrel" zipfile="Sundrel_5.zip"><info><latestfw>5</latestfw><fwprefix>SUN_</fwprefix></info></product>
</VelmoFirmwareUpgrade>
)";

QString firmwareFolder()
{
    return updateXMLManager::firmwareFolder();
}

QByteArray binary(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + seed + i / 97) & 0xFF);
    return bytes;
}

// An archive made by Info-ZIP's zip, with folders as given in the names.
void makeZip(const QString& archive, const QMap<QString, QByteArray>& files)
{
    QTemporaryDir source;
    for (auto it = files.begin(); it != files.end(); ++it)
        writeFile(source.filePath(it.key()), it.value());
    QDir().mkpath(QFileInfo(archive).absolutePath());
    QFile::remove(archive);
    QProcess zip;
    zip.setWorkingDirectory(source.path());
    zip.start(QStringLiteral("zip"), QStringList{QStringLiteral("-q"), QStringLiteral("-r"), archive} + files.keys());
    QVERIFY(zip.waitForFinished(30000));
    QCOMPARE(zip.exitCode(), 0);
}

// What Info-ZIP's unzip gives for one entry.
QByteArray unzipEntry(const QString& archive, const QString& entry)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), archive, entry});
    unzip.waitForFinished(30000);
    return unzip.readAllStandardOutput();
}

Device usbDevice(const QString& name)
{
    Device d;
    d.name = name;
    d.portName = QStringLiteral("USB");
    return d;
}

} // namespace

class TestUpdatePage : public QObject
{
    Q_OBJECT

private:
    QMainWindow window;
    Ui_MainUI ui;
    ScriptedDialogs dialogs;
    HttpPeer server;
    UpdateTabControl* page = nullptr;

    QString packageOf(const QString& product, const QString& zip)
    {
        return firmwareFolder() + "/" + product + "/" + zip;
    }

    // Install (or the file-install button) and the code it emitted; -1 for none.
    int install(QAbstractButton* button)
    {
        QSignalSpy emitted(page, SIGNAL(FirmwareUpdateSignal(int)));
        button->setEnabled(true);
        button->click();
        return emitted.isEmpty() ? -1 : emitted.takeFirst().at(0).toInt();
    }

    bool shown(const QString& title, const QString& textPart)
    {
        for (const ScriptedDialogs::Shown& s : dialogs.shown())
            if (s.title == title && s.text.contains(textPart))
                return true;
        return false;
    }

private slots:
    void initTestCase()
    {
        initPlexaResources();
        ui.setupUi(&window);
        Dialogs::setBackend(&dialogs);
        QVERIFY(server.start());
        Endpoints::setServer(server.url()); // read by the page's downloads when it is made
        page = new UpdateTabControl(&ui);
        QCOMPARE(ui.tabWidget->indexOf(ui.depUpdateTab), -1);
    }

    void cleanupTestCase()
    {
        delete page;
        Dialogs::setBackend(nullptr);
    }

    void init()
    {
        QDir(firmwareFolder()).removeRecursively();
        writeFile(firmwareFolder() + "/firmwareUpgradeTabInfo.xml", kCatalogue);
        dialogs.clear();
    }

    // The family code of each product; names are compared exactly.
    void familyCodes_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("code");
        const QList<QPair<QString, int>> rows{
            {"Kalvisk-PB", 1},  {"Rindale-RX", 1},     {"Perrick", 10},           {"HDMI Sorvane Plus", 11},
            {"Dunmarl-S", 11},  {"Rolvane Series", 12}, {"VGA to DVI Scaler", 13}, {"Jorvale", 14},
            {"Varrosk-EU", 20}, {"Korvina", 30},       {"Norrith", 40},           {"Cavrosh", 50},
            {"Caltor", 51},     {"korvina", 0},        {"Quillon", 0},            {"Rolvane series", 0}};
        for (const auto& row : rows)
            QTest::newRow(qPrintable(row.first)) << row.first << row.second;
    }

    void familyCodes()
    {
        QFETCH(QString, product);
        QFETCH(int, code);
        QCOMPARE(UpdateTabControl::firmwareCode(product), code);
    }

    // Equal versions (whatever the case and blanks) are green, a missing one thin red, differing
    // ones thick red with the latest version in red.
    void versionColours_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("latest");
        QTest::addColumn<QString>("border");
        QTest::addColumn<bool>("redLabel");
        QTest::newRow("same") << "v1.2" << " V1.2 " << "3px solid #0D9344" << false;
        QTest::newRow("unknown installed") << "x" << "1.2" << "1px solid #BB241C" << false;
        QTest::newRow("no latest") << "1.2" << "" << "1px solid #BB241C" << false;
        QTest::newRow("offline") << "" << "1.2" << "1px solid #BB241C" << false;
        QTest::newRow("older") << "1.1" << "1.2" << "3px solid #BB241C" << true;
    }

    void versionColours()
    {
        QFETCH(QString, current);
        QFETCH(QString, latest);
        QFETCH(QString, border);
        QFETCH(bool, redLabel);
        ui.updateCurrentFirmware->setText(current);
        ui.updateLatestFirmware->setText(latest);
        page->setFirmwareColors();
        QVERIFY(ui.updateCurrentFirmwareBox->styleSheet().contains(border));
        QCOMPARE(ui.updateLatestFirmwareBox->styleSheet(), ui.updateCurrentFirmwareBox->styleSheet());
        QCOMPARE(ui.updateLatestFirmware->styleSheet().contains("#BB241C"), redLabel);
    }

    // What the page offers for a product: connected, offline, without updates, unknown.
    void productStates()
    {
        page->setUSBDevice(usbDevice("Korvina"));
        QCOMPARE(ui.updateProductName->text(), QStringLiteral("Product: Korvina"));
        QCOMPARE(ui.updateMethod->text(), QStringLiteral("Update Method: USB"));
        QCOMPARE(ui.updateCurrentFirmware->text(), QStringLiteral("X"));
        QCOMPARE(ui.updateLatestFirmware->text(), QStringLiteral("1.2"));
        QCOMPARE(ui.updateNotes->toPlainText(), QStringLiteral("Power the unit.\n---\nFixes the link."));
        QVERIFY(ui.updateDLPlx->isEnabled() && ui.updateDLComp->isEnabled() && ui.updateBrowse->isEnabled());
        QVERIFY(!ui.updatePlxInstall->isEnabled());
        QCOMPARE(ui.updateDownloadedLabel->text(), QString());

        page->setOfflineDevice(QStringLiteral("Korvina"));
        QCOMPARE(ui.updateMethod->text(), QStringLiteral("Update Method: Disconnected"));
        QCOMPARE(ui.updateCurrentFirmware->text(), QString());
        QVERIFY(!ui.updateDLPlx->isEnabled() && !ui.updateBrowse->isEnabled() && !ui.updatePlxInstall->isEnabled());

        page->setUSBDevice(usbDevice("Orrelin")); // "noupdate"
        QVERIFY(!ui.updateDLPlx->isEnabled() && !ui.updateDLComp->isEnabled() && !ui.updateBrowse->isEnabled());
        QCOMPARE(ui.updateNotes->toPlainText(),
                 QStringLiteral("Firmware update functionality is currently unavailable in Plexa-T for this device."));

        page->setUSBDevice(usbDevice("Palomir")); // not in the catalogue
        QCOMPARE(ui.updateNotes->toPlainText(),
                 QStringLiteral("Firmware update functionality is currently unavailable for this device."));
        QVERIFY(!ui.updateDLPlx->isEnabled());

        _Device unit;
        unit.productName = QStringLiteral("Korvina");
        unit.firmwareVersion = QStringLiteral("1.2");
        page->setIPProduct(&unit);
        unit.productName = QStringLiteral("changed after the call");
        QCOMPARE(ui.updateMethod->text(), QStringLiteral("Update Method: Network"));
        QVERIFY(ui.updateCurrentFirmwareBox->styleSheet().contains("#0D9344"));
        QCOMPARE(ui.updateProductName->text(), QStringLiteral("Product: Korvina"));

        SerialPortEntry port;
        port.portName = QStringLiteral("/dev/pts/77");
        SerialPortLister::registerPort(port);
        page->setRS232Product(QStringLiteral("Kalvisk"));
        SerialPortLister::unregisterPort(port.portName);
        QVERIFY(ui.updateNotes->toPlainText().startsWith("1. Connect AC power to the unit and turn it ON."));
        QCOMPARE(ui.updateOptionLabel->text(), QStringLiteral("Select COM Port"));
        QVERIFY(ui.updateOptionOne->findText(port.portName) >= 0);

        page->setUSBProductChecked(QStringLiteral("anything"));
        QCOMPARE(ui.updateProductName_2->text(), QStringLiteral("Product: Cavrosh"));
        page->setCALTORDevice(QStringLiteral("Korvina"));
        QCOMPARE(ui.updateMethod_2->text(), QStringLiteral("Update Method: TCP"));
        QCOMPARE(ui.updateLatestFirmware_2->text(), QStringLiteral("1.2"));
        QCOMPARE(ui.updateNotes_2->toPlainText(), QStringLiteral("Fixes the link."));
    }

    // A downloaded package is unpacked into an emptied folder beside it and the firmware file,
    // byte for byte what unzip gives, goes to the uploader.
    void installDownloadedPackage()
    {
        const QString zip = packageOf("Korvina", "Korvina_1.2.zip");
        makeZip(zip, {{"fw/KVM_2.bin", binary(300000, 1)}, {"readme.txt", "read me"}});
        writeFile(packageOf("Korvina", "Korvina_1.2/KVM_1.bin"), "left by an earlier unpack");
        page->setUSBDevice(usbDevice("Korvina"));
        QVERIFY(ui.updatePlxInstall->isEnabled());
        QCOMPARE(ui.updateDownloadedLabel->text(), QStringLiteral("Downloaded Version: 1.2"));

        QCOMPARE(install(ui.updatePlxInstall), 30);
        const QString chosen = QDir::toNativeSeparators(packageOf("Korvina", "Korvina_1.2/KVM_2.bin"));
        QCOMPARE(ui.updateFilename->text(), chosen);
        QCOMPARE(PlexaTest::readFile(chosen), unzipEntry(zip, "fw/KVM_2.bin"));
        QVERIFY(!QFileInfo::exists(packageOf("Korvina", "Korvina_1.2/KVM_1.bin")));
        QCOMPARE(ui.updateBar->value(), 0);
    }

    // An install that cannot find its file or unpack its package stops with a message; only the
    // serial firmware page, which unpacks by itself, is handed the package.
    void installFailures()
    {
        page->setUSBDevice(usbDevice("Korvina"));
        writeFile(packageOf("Korvina", "Korvina_1.2.zip"), "not an archive at all");
        QCOMPARE(install(ui.updatePlxInstall), -1);
        QVERIFY(shown("Warning", "The firmware package could not be unpacked"));

        dialogs.clear();
        makeZip(packageOf("Korvina", "Korvina_1.2.zip"), {{"readme.txt", "no firmware"}});
        QCOMPARE(install(ui.updatePlxInstall), -1);
        QVERIFY(shown("Status", "Firmware file not found!!"));

        dialogs.clear();
        QFile::remove(packageOf("Korvina", "Korvina_1.2.zip"));
        ui.updateFilename->clear();
        QCOMPARE(install(ui.updateFileInstall), -1);
        QVERIFY(shown("Status", "Firmware file not found!!"));

        const QString serial = packageOf("Kalvisk", "Kalvisk_4.zip");
        makeZip(serial, {{"Kalvisk.bin", binary(100, 2)}});
        page->setRS232Product(QStringLiteral("Kalvisk"));
        QCOMPARE(install(ui.updatePlxInstall), 1);
        QCOMPARE(ui.updateFilename->text(), QDir::toNativeSeparators(serial));
    }

    // With only an older download of the product, that package is installed.
    void installDeprecated()
    {
        writeFile(firmwareFolder() + "/firmwareUpgradeTabInfo.xml",
                  QByteArray(kCatalogue).replace("Korvina_1.2.zip", "Korvina_1.1.zip").replace(">1.2<", ">1.1<"));
        updateXMLManager xml(&ui);
        xml.setupFirmwareFolder();
        QVERIFY(xml.updateDownloadListXML(QStringLiteral("Korvina")));
        writeFile(firmwareFolder() + "/firmwareUpgradeTabInfo.xml", kCatalogue);
        makeZip(packageOf("Korvina", "Korvina_1.1.zip"), {{"KVM_1.bin", binary(1000, 3)}});

        page->setUSBDevice(usbDevice("Korvina"));
        QCOMPARE(ui.updatePlxInstall->text(), QStringLiteral("Install Deprecated"));
        QCOMPARE(ui.updateDownloadedLabel->text(), QStringLiteral("Downloaded Version: 1.1 (Deprecated)"));
        QCOMPARE(install(ui.updatePlxInstall), 30);
        QCOMPARE(ui.updateFilename->text(), QDir::toNativeSeparators(packageOf("Korvina", "Korvina_1.1/KVM_1.bin")));
    }

    // The whole-package families get the unpacked folder; no file is chosen.
    void installWholePackage()
    {
        const QString zip = packageOf("Jovaris", "Jovaris_7.zip");
        makeZip(zip, {{"a/main.bin", binary(5000, 4)}, {"boot.bin", binary(700, 5)}});
        page->setUSBSerialDevice(usbDevice("Jovaris"));
        ui.updateFilename->setText(zip);
        QCOMPARE(install(ui.updateFileInstall), 40);
        const QString folder = QDir::toNativeSeparators(packageOf("Jovaris", "Jovaris_7"));
        QCOMPARE(ui.firmwareFolder->text(), folder);
        QCOMPARE(QDir(folder).entryList(QDir::Files), (QStringList{"boot.bin", "main.bin"}));
        QCOMPARE(ui.updateFilename->text(), zip);
    }

    // "Rolvane Series": MAC picks the numbered part, APP the prefixed file; a chosen unit becomes
    // the product (code 20), the placeholder changes nothing.
    void rolvaneUnits()
    {
        makeZip(packageOf("Rolvane Series", "Rolvane_3.zip"), {{"APP_3.hex", "app"}, {"MAC_3.hex", "mac"}});
        page->setUSBDevice(usbDevice("Rolvane Series"));
        QCOMPARE(ui.updateOptionTwo->count(), 9);
        QCOMPARE(ui.updateOptionLabel->text(), QStringLiteral("Select Product Type and Firmware Type"));
        ui.updateOptionOne->setCurrentText(QStringLiteral("MAC"));
        QCOMPARE(install(ui.updatePlxInstall), 12);
        QVERIFY(ui.updateFilename->text().endsWith("MAC_3.hex"));
        ui.updateOptionOne->setCurrentText(QStringLiteral("APP"));
        QCOMPARE(install(ui.updatePlxInstall), 12);
        QVERIFY(ui.updateFilename->text().endsWith("APP_3.hex"));

        ui.updateOptionTwo->setCurrentIndex(2);
        QCOMPARE(ui.updateProductName->text(), QStringLiteral("Product: Sundrel"));
        ui.updateOptionTwo->setCurrentIndex(0);
        QCOMPARE(ui.updateProductName->text(), QStringLiteral("Product: Sundrel"));
        makeZip(packageOf("Sundrel", "Sundrel_5.zip"), {{"SUN_5.hex", "sun"}});
        page->setUSBDevice(usbDevice("Rolvane Series"));
        ui.updateOptionTwo->setCurrentIndex(2);
        QCOMPARE(install(ui.updatePlxInstall), 20);
    }

    // Browse copies the package beside the product's own (replacing an older copy of that name);
    // a cancelled dialog changes nothing.
    void browseForAPackage()
    {
        page->setUSBDevice(usbDevice("Korvina"));
        QTemporaryDir elsewhere;
        const QString picked = elsewhere.filePath("mine.zip");
        makeZip(picked, {{"KVM_9.bin", binary(2000, 6)}});
        writeFile(packageOf("Korvina", "mine.zip"), "an older copy");
        dialogs.answerPath(picked);
        ui.updateBrowse->click();
        const QString copy = packageOf("Korvina", "mine.zip");
        QCOMPARE(ui.updateFilename->text(), copy);
        QCOMPARE(PlexaTest::readFile(copy), PlexaTest::readFile(picked));
        QVERIFY(ui.updateFileInstall->isEnabled());

        dialogs.answerCancel();
        ui.updateBrowse->click();
        QCOMPARE(ui.updateFilename->text(), copy);
        QCOMPARE(install(ui.updateFileInstall), 30);
        QVERIFY(ui.updateFilename->text().endsWith("KVM_9.bin"));
    }

    // The start-up check: off means no network and the stored time; on is silent when it works
    // and warns when it does not; the switch is kept in the settings file.
    void startupCheck()
    {
        UpdateTabControl& fresh = *page;
        server.putFile(QStringLiteral("Download/PlexaT/firmwareUpgradeTabInfo.xml"), kCatalogue);

        fresh.startupUpdatesCheck();
        QCOMPARE(ui.updateToggleStartupCheck->text(), QStringLiteral("Check at Startup Enabled"));
        QTRY_VERIFY_WITH_TIMEOUT(ui.updateCheckLatest->isEnabled(), 20000);
        QVERIFY(dialogs.shown().isEmpty());
        QVERIFY(ui.updateLastChecked->text().startsWith("Last Checked: "));
        QCOMPARE(ui.updateConnectionLabel->text(), QString());

        ui.updateToggleStartupCheck->click();
        QCOMPARE(ui.updateToggleStartupCheck->text(), QStringLiteral("Check at Startup Disabled"));
        QVERIFY(!ui.updateToggleStartupCheck->isChecked());
        QFile::remove(server.root() + "/Download/PlexaT/firmwareUpgradeTabInfo.xml");
        fresh.startupUpdatesCheck();
        QCOMPARE(ui.updateToggleStartupCheck_2->text(), QStringLiteral("Check at Startup Disabled"));
        QVERIFY(ui.updateCheckLatest->isEnabled());
        QVERIFY(dialogs.shown().isEmpty());

        ui.updateToggleStartupCheck_2->click();
        fresh.startupUpdatesCheck();
        QTRY_VERIFY_WITH_TIMEOUT(ui.updateCheckLatest->isEnabled(), 20000);
        QVERIFY(shown("Warning", "Application has found a local products XML file"));
        QCOMPARE(ui.updateConnectionLabel->text(), QStringLiteral("(No Internet Connection)"));
        QCOMPARE(PlexaTest::readFile(firmwareFolder() + "/firmwareUpgradeTabInfo.xml"), kCatalogue);

        dialogs.clear();
        server.putFile(QStringLiteral("Download/PlexaT/firmwareUpgradeTabInfo.xml"), kCatalogue);
        ui.updateCheckLatest_2->click();
        QTRY_VERIFY_WITH_TIMEOUT(ui.updateCheckLatest->isEnabled(), 20000);
        QVERIFY(shown("Success", "Successfully downloaded the current firmware update information."));
    }

    // A package download is recorded and offered for install only once it has completed.
    void downloadThroughThePage()
    {
        UpdateTabControl& fresh = *page;
        fresh.setUSBDevice(usbDevice("Korvina"));
        ui.updateDLPlx->click();
        QTRY_COMPARE_WITH_TIMEOUT(ui.statusBar->currentMessage(), QStringLiteral("Error occurred while downloading."),
                                  20000);
        QVERIFY(!ui.updatePlxInstall->isEnabled());
        QVERIFY(!QFileInfo::exists(packageOf("Korvina", "Korvina_1.2.zip")));
        QVERIFY(!PlexaTest::readFile(myXMLManager::settingsFilePath()).contains("lastdownloadedfw"));

        QByteArray package;
        {
            QTemporaryDir made;
            makeZip(made.filePath("p.zip"), {{"KVM_3.bin", binary(4000, 7)}});
            package = PlexaTest::readFile(made.filePath("p.zip"));
        }
        server.putFile(QStringLiteral("Download/Korvina_1.2.zip"), package);
        ui.updateDLPlx->click();
        QVERIFY(!ui.updatePlxInstall->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(ui.updatePlxInstall->isEnabled(), 20000);
        QCOMPARE(ui.updatePlxInstall->text(), QStringLiteral("Install"));
        QCOMPARE(PlexaTest::readFile(packageOf("Korvina", "Korvina_1.2.zip")), package);
        QDomDocument settings;
        QVERIFY(settings.setContent(PlexaTest::readFile(myXMLManager::settingsFilePath())));
        QCOMPARE(settings.documentElement().firstChildElement("lastdownloadedfw").firstChildElement().attribute("zipfile"),
                 QStringLiteral("Korvina_1.2.zip"));
        QCOMPARE(install(ui.updatePlxInstall), 30);
    }

    // Download buttons are off while a package download runs and come back when it ends, and
    // "Check for Latest Update" comes back after a products XML download that never completes:
    // the server sends one byte every 5 s, and each download ends at its deadline (shortened).
    void buttonsComeBackAfterATricklingServer()
    {
        updateDownloadManager::overrideTimeLimits(1500, 20000);
        const QString package = QStringLiteral("Download/Korvina_1.2.zip");
        const QString catalogue = QStringLiteral("Download/PlexaT/firmwareUpgradeTabInfo.xml");
        server.serveTrickle(package, "PK\x03\x04 and the rest, slowly", 5.0);
        server.serveTrickle(catalogue, kCatalogue, 5.0);

        page->setUSBDevice(usbDevice("Korvina"));
        QVERIFY(ui.updateDLPlx->isEnabled() && ui.updateDLComp->isEnabled());
        ui.updateDLPlx->click();
        QVERIFY(!ui.updateDLPlx->isEnabled() && !ui.updateDLComp->isEnabled() && !ui.updateDLComp_2->isEnabled());
        page->setUSBDevice(usbDevice("Korvina")); // picking the product again keeps them off
        QVERIFY(!ui.updateDLPlx->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(ui.updateDLPlx->isEnabled(), 8000);
        QVERIFY(ui.updateDLComp->isEnabled() && ui.updateDLComp_2->isEnabled());
        QCOMPARE(ui.statusBar->currentMessage(), QStringLiteral("Error occurred while downloading."));
        QVERIFY(!ui.updatePlxInstall->isEnabled());

        ui.updateCheckLatest->click();
        QVERIFY(!ui.updateCheckLatest->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(ui.updateCheckLatest->isEnabled(), 8000);
        QVERIFY(shown("Warning", "Application has found a local products XML file"));
        QCOMPARE(PlexaTest::readFile(firmwareFolder() + "/firmwareUpgradeTabInfo.xml"), kCatalogue);

        updateDownloadManager::overrideTimeLimits(0, 0);
        for (const QString& path : {package, catalogue})
            QFile::remove(server.root() + "/" + path + ".behaviour");
    }

    // Each version shows whole in its box under the application's style ("9.9", not "9"), on
    // both copies of the page.
    void versionsFitTheirBoxes()
    {
        QFile sheet(QStringLiteral(":/style/stylesheet.qss"));
        QVERIFY(sheet.open(QIODevice::ReadOnly));
        qApp->setStyleSheet(QString::fromLatin1(sheet.readAll()));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (QLabel* label : {ui.updateCurrentFirmware, ui.updateLatestFirmware, ui.updateCurrentFirmware_2,
                              ui.updateLatestFirmware_2}) {
            for (const QString& version : {"9.9", "V1.0.3", "2.1.0", "1.12.203"}) {
                label->setText(version);
                const QRect inBox = label->geometry();
                QVERIFY2(label->parentWidget()->rect().contains(inBox), qPrintable(label->objectName()));
                const int width = label->fontMetrics().horizontalAdvance(version);
                QVERIFY2(width <= inBox.width() && label->alignment() & Qt::AlignHCenter,
                         qPrintable(label->objectName() + " " + version));
            }
        }
        window.hide();
        qApp->setStyleSheet(QString());
    }
};

PLEXA_TEST_MAIN(TestUpdatePage)
#include "tst_update_page.moc"

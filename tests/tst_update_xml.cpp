// The products XML lookups and the update elements of the settings file.
#include "plexatest.h"
#include "localetest.h"
#include "myxmlmanager.h"
#include "ui_mainui.h"
#include "updatexmlmanager.h"

#include <QDir>
#include <QDomDocument>
#include <QMainWindow>

#include <sys/stat.h>

namespace {

using PlexaTest::writeFile;

const QByteArray kCatalogue = R"(<!DOCTYPE VelmoFirmwareUpgrade>
<VelmoFirmwareUpgrade>
 <family>
  <product id="Korvina" version="1.2" zipfile="Korvina_1.2.zip">
   <info><latestfw>1.2</latestfw><fwprefix>KVM_</fwprefix></info>
   <notes>Fixes the link.</notes>
   <instructions>Power the unit.</instructions>
  </product>
 </family>
 <product id="Korvina" version="0.1" zipfile="second.zip"><info><latestfw>0.1</latestfw></info></product>
 <product id="korvina" zipfile="lower.zip"/>
 <product id="Rolvane Series" version="3" zipfile="Rolvane_3.zip">
  <info>
   <latestfw>3</latestfw><noupdate>true</noupdate><fwprefix>APP_</fwprefix>
   <fwextension>
    <part number="1"><extprefix>MAC_</extprefix></part>
    <part number="01"><extprefix>MACB_</extprefix></part>
    <part number="2"><extprefix></extprefix></part>
    <part number="3"><extprefix>CFG</extprefix></part>
   </fwextension>
  </info>
 </product>
 <product id="Escape" zipfile="../../escape.zip"><info><latestfw>1</latestfw><fwextension><p number="1"><extprefix>X</extprefix></p></fwextension></info></product>
</VelmoFirmwareUpgrade>
)";

QString firmwareFolder()
{
    return updateXMLManager::firmwareFolder();
}

QString settingsPath()
{
    return myXMLManager::settingsFilePath();
}

QDomElement settingsRoot(QDomDocument& doc)
{
    if (!doc.setContent(PlexaTest::readFile(settingsPath())))
        return QDomElement();
    return doc.documentElement();
}

} // namespace

class TestUpdateXml : public QObject
{
    Q_OBJECT

private:
    QMainWindow window;
    Ui_MainUI ui;

private slots:
    void initTestCase() { ui.setupUi(&window); }

    void init()
    {
        QDir(firmwareFolder()).removeRecursively();
        writeFile(firmwareFolder() + "/firmwareUpgradeTabInfo.xml", kCatalogue);
    }

    // The first product of that exact name anywhere in the document; notes and instructions are
    // the product's own children.
    void productLookups()
    {
        updateXMLManager xml(&ui);
        const UpdateInfo korvina = xml.readUpdateInfo(QStringLiteral("Korvina"));
        QCOMPARE(korvina.latestfw, QStringLiteral("1.2"));
        QCOMPARE(korvina.notes, QStringLiteral("Fixes the link."));
        QCOMPARE(korvina.instructions, QStringLiteral("Power the unit."));
        QCOMPARE(korvina.noupdate, QString());
        QCOMPARE(xml.getZipFileName(QStringLiteral("Korvina")), QStringLiteral("Korvina_1.2.zip"));
        QCOMPARE(xml.readUpdateInfo(QStringLiteral("Rolvane Series")).noupdate, QStringLiteral("true"));
        QCOMPARE(xml.readUpdateInfo(QStringLiteral("KORVINA")).latestfw, QString());
        // A package name from the server never leads out of the product's folder.
        QCOMPARE(xml.getZipFileName(QStringLiteral("Escape")), QString());
        QCOMPARE(xml.getNextFirmwareFile(QString(), QStringLiteral("Escape"), 1), QString());

        // No catalogue, or one that does not parse: everything is empty.
        writeFile(firmwareFolder() + "/firmwareUpgradeTabInfo.xml", kCatalogue.left(200));
        QCOMPARE(xml.readUpdateInfo(QStringLiteral("Korvina")).latestfw, QString());
        QCOMPARE(xml.getZipFileName(QStringLiteral("Korvina")), QString());
        QFile::remove(firmwareFolder() + "/firmwareUpgradeTabInfo.xml");
        QCOMPARE(xml.updateDownloadListXML(QStringLiteral("Korvina")), false);
        QVERIFY(!QFileInfo::exists(settingsPath()));
    }

    void firmwareFiles_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("number"); // 0: the single file (fwprefix)
        QTest::addColumn<QString>("chosen");

        const QStringList package{"KVM_2.bin", "readme.txt", "APP_r.hex", "MACB_r.hex", "MAC_old.hex", "CFG.txt"};
        QTest::newRow("single file") << package << "Korvina" << 0 << "KVM_2.bin";
        QTest::newRow("single file, case-sensitive")
            << QStringList{"kvm_2.bin", "readme.txt"} << "Korvina" << 0 << QString();
        QTest::newRow("two files with the prefix") << QStringList{"KVM_2.bin", "KVM_2.txt"} << "Korvina" << 0
                                                   << QString();
        QTest::newRow("no such file") << QStringList{"readme.txt"} << "Korvina" << 0 << QString();
        QTest::newRow("last part with the number, 01 is 1") << package << "Rolvane Series" << 1 << "MACB_r.hex";
        QTest::newRow("empty part prefix") << package << "Rolvane Series" << 2 << QString();
        QTest::newRow("no such part") << package << "Rolvane Series" << 7 << QString();
        QTest::newRow("part matched by two files")
            << QStringList{"MACB_1.hex", "MACB_2.hex"} << "Rolvane Series" << 1 << QString();
        QTest::newRow("a folder is no file") << QStringList{"CFG/"} << "Rolvane Series" << 3 << QString();
    }

    // The one file of the unpacked package that starts with the catalogue's prefix.
    void firmwareFiles()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, product);
        QFETCH(int, number);
        QFETCH(QString, chosen);
        QTemporaryDir package;
        for (const QString& f : files) {
            if (f.endsWith('/'))
                QDir(package.path()).mkpath(f);
            else
                writeFile(package.filePath(f), "x");
        }
        updateXMLManager xml(&ui);
        const QString found = number == 0 ? xml.getFirmwareFileName(package.path(), product)
                                          : xml.getNextFirmwareFile(package.path(), product, number);
        QCOMPARE(found, chosen.isEmpty() ? QString() : QDir::toNativeSeparators(package.filePath(chosen)));
    }

    // Part numbers are plain decimal numbers whatever the user's locale: "1.000" is no 1000.
    void partNumbersUnderAnyLocale_data() { addLocaleRows(); }

    void partNumbersUnderAnyLocale()
    {
        QFETCH(QString, locale);
        DefaultLocaleScope scope(locale);
        writeFile(firmwareFolder() + "/firmwareUpgradeTabInfo.xml",
                  QByteArray(kCatalogue).replace("number=\"3\"", "number=\"1.000\""));
        QTemporaryDir package;
        writeFile(package.filePath("CFG.txt"), "x");
        writeFile(package.filePath("MACB_1.hex"), "x");
        updateXMLManager xml(&ui);
        QCOMPARE(xml.getNextFirmwareFile(package.path(), QStringLiteral("Rolvane Series"), 1000), QString());
        QCOMPARE(xml.getNextFirmwareFile(package.path(), QStringLiteral("Rolvane Series"), 1),
                 QDir::toNativeSeparators(package.filePath("MACB_1.hex")));
    }

    // Without a folder the part is looked for where the page unpacks the downloaded package, by a
    // manager of its own that has no form.
    void nextFileInTheUnpackedPackage()
    {
        const QString unpacked = firmwareFolder() + "/Rolvane Series/Rolvane_3";
        writeFile(unpacked + "/MACB_2.hex", "x");
        writeFile(unpacked + "/APP_2.hex", "x");
        updateXMLManager xml(nullptr);
        QCOMPARE(xml.getNextFirmwareFile(QString(), QStringLiteral("Rolvane Series"), 1),
                 QDir::toNativeSeparators(unpacked + "/MACB_2.hex"));
    }

    // A first start creates the settings file with the update elements; switching the check keeps
    // what other pages stored there and leaves a well-formed file.
    void settingsDefaultsAndSwitch()
    {
        updateXMLManager xml(&ui);
        QCOMPARE(xml.isCheckOnStartup(), false); // no file yet
        xml.setupFirmwareFolder();
        QCOMPARE(xml.isCheckOnStartup(), true);
        QCOMPARE(xml.getLastChecked(), QString());
        myXMLManager::setLastSavedDirectory(QDir::homePath() + "/some/file.bin");

        xml.setCheckOnStartup(false);
        QCOMPARE(xml.isCheckOnStartup(), false);
        xml.setLastChecked(QStringLiteral("Fri Dec 11 07:00:00 2026"));
        xml.setCheckOnStartup(true);
        QCOMPARE(xml.isCheckOnStartup(), true);
        QCOMPARE(xml.getLastChecked(), QStringLiteral("Fri Dec 11 07:00:00 2026"));
        QCOMPARE(myXMLManager::getLastSavedDirectory(), QDir::homePath() + "/some");
        QDomDocument doc;
        const QDomElement root = settingsRoot(doc);
        QCOMPARE(root.elementsByTagName("startcheck").size(), 1);
        QCOMPARE(root.elementsByTagName("update").size(), 1);

        // Elements missing from an older file are added when a value is written.
        writeFile(settingsPath(), "<!DOCTYPE data><data><lastSavedDirectory>/x</lastSavedDirectory></data>");
        xml.setLastChecked(QStringLiteral("now"));
        QCOMPARE(xml.getLastChecked(), QStringLiteral("now"));
        QCOMPARE(xml.isCheckOnStartup(), true);
        QCOMPARE(myXMLManager::getLastSavedDirectory(), QStringLiteral("/x"));
    }

    // A settings file that cannot be read is never written over, by any writer.
    void unreadableSettingsAreKept_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: a FIFO stands there
        QTest::newRow("cut off") << QByteArray("<!DOCTYPE data><data><update><startcheck>enabled</startch");
        QTest::newRow("not UTF-8") << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><data>\xff</data>");
        QTest::newRow("FIFO") << QByteArray();
    }

    void unreadableSettingsAreKept()
    {
        QFETCH(QByteArray, content);
        QDir().mkpath(firmwareFolder());
        if (content.isEmpty())
            QCOMPARE(mkfifo(QFile::encodeName(settingsPath()).constData(), 0600), 0);
        else
            writeFile(settingsPath(), content);
        updateXMLManager xml(&ui);
        xml.setupFirmwareFolder();
        xml.setCheckOnStartup(true);
        xml.setLastChecked(QStringLiteral("now"));
        QCOMPARE(xml.updateDownloadListXML(QStringLiteral("Korvina")), false);
        QCOMPARE(xml.isCheckOnStartup(), false);
        QCOMPARE(xml.getLastChecked(), QString());
        if (content.isEmpty())
            QVERIFY(!QFileInfo(settingsPath()).isFile());
        else
            QCOMPARE(PlexaTest::readFile(settingsPath()), content);
    }

    // The download record keeps one copy per product, the newest, and names the older package.
    void downloadRecord()
    {
        updateXMLManager xml(&ui);
        xml.setupFirmwareFolder();
        QVERIFY(xml.updateDownloadListXML(QStringLiteral("Korvina")));
        QVERIFY(xml.updateDownloadListXML(QStringLiteral("Rolvane Series")));
        writeFile(firmwareFolder() + "/firmwareUpgradeTabInfo.xml",
                  QByteArray(kCatalogue).replace("Korvina_1.2.zip", "Korvina_1.3.zip").replace(">1.2<", ">1.3<"));
        QVERIFY(xml.updateDownloadListXML(QStringLiteral("Korvina")));

        QDomDocument doc;
        const QDomElement list = settingsRoot(doc).firstChildElement("lastdownloadedfw");
        QStringList stored;
        for (QDomElement e = list.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
            stored << e.attribute("id") + "=" + e.attribute("zipfile");
        QCOMPARE(stored, (QStringList{"Rolvane Series=Rolvane_3.zip", "Korvina=Korvina_1.3.zip"}));
        QCOMPARE(list.firstChildElement().firstChildElement("info").firstChildElement("noupdate").text(), "true");

        ui.updateDownloadedLabel->clear();
        QCOMPARE(xml.getDeprecatedZipFile(QStringLiteral("Korvina")), QStringLiteral("Korvina_1.3.zip"));
        QCOMPARE(ui.updateDownloadedLabel->text(), QStringLiteral("Downloaded Version: 1.3 (Deprecated)"));
        QCOMPARE(xml.getDeprecatedZipFile(QStringLiteral("Palomir")), QString());
    }

    // Templates beside the program seed the firmware folder; they never replace what is there.
    void templatesFromTheProgramFolder()
    {
        QDir(firmwareFolder()).removeRecursively();
        QTemporaryDir program;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(program.path()));
        writeFile(program.filePath("VelmoPersistent.xml"),
                  "<!DOCTYPE data><data><update><startcheck>disabled</startcheck><lastchecked>never</lastchecked>"
                  "</update></data>");
        writeFile(program.filePath("firmwareUpgradeTabInfo.xml"), kCatalogue);
        updateXMLManager xml(&ui);
        xml.setupFirmwareFolder();
        QCOMPARE(xml.isCheckOnStartup(), false);
        QCOMPARE(xml.getLastChecked(), QStringLiteral("never"));
        QCOMPARE(xml.getZipFileName(QStringLiteral("Korvina")), QStringLiteral("Korvina_1.2.zip"));

        writeFile(program.filePath("firmwareUpgradeTabInfo.xml"), "<VelmoFirmwareUpgrade/>");
        xml.setupFirmwareFolder();
        QCOMPARE(xml.getZipFileName(QStringLiteral("Korvina")), QStringLiteral("Korvina_1.2.zip"));
        QVERIFY(QDir::setCurrent(before));
    }
};

PLEXA_TEST_MAIN(TestUpdateXml)
#include "tst_update_xml.moc"

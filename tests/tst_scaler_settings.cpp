// The generic scaler's settings file against the simulated unit: what the export writes for each
// model (under any locale), that it refuses to save what it could not read, that an import of an
// exported file gives the unit back the settings it had, and how the import treats files that are
// not what they should be.
#include "plexatest.h"
#include "constants.h"
#include "scaler.h"
#include "settingsfile.h"
#include "scalerfixture.h"
#include "scalersim.h"
#include "scripteddialogs.h"
#include "serialports.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QLocale>
#include <QPushButton>
#include <QSerialPort>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

namespace {

const int kRunTimeoutMs = 30000;

const QString saved = QStringLiteral("Settings saved to file.");
const QString notSaved = QStringLiteral("Settings not saved: not every setting could be read from the unit.");
const QString importOk = QStringLiteral("Import settings successful.");
const QString importIncomplete = QStringLiteral("Import settings incomplete: not every setting was applied.");
const QString incorrect = QStringLiteral("Incorrect settings file.");

// The real controller over the form, with one simulated scaler picked as the hub picks it, the
// "Update" page in front so that picking reads nothing.
struct Bench {
    ScalerFixture f;
    ScalerSim sim;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope {dialogs};
    QTemporaryDir dir;

    explicit Bench(ScalerSim::Model model)
        : sim(model)
    {
    }
    Scaler* scaler() { return f.scaler.get(); }

    bool setUp()
    {
        if (!dir.isValid() || !sim.start())
            return false;
        const QList<Device> devices = scaler()->updateDeviceList();
        if (devices.size() != 1)
            return false;
        const Device device = devices.first();
        QTabWidget* tabs = f.ui.ConfiguratorTabs;
        tabs->clear();
        for (QWidget* page : {f.ui.outputTab, f.ui.pictureTab, f.ui.adjustTab, f.ui.systemTab, f.ui.testPatternTab,
                              f.ui.timingTab, f.ui.edidConfigureTab, f.ui.updateConfigureTab})
            tabs->addTab(page, page->objectName());
        tabs->setCurrentIndex(7);
        QObject::disconnect(f.ui.selectEDIDFromDevice, SIGNAL(currentIndexChanged(int)), scaler(),
                            SLOT(multiEDIDModeSet()));
        f.selectProductText(device.name + QStringLiteral(", ") + device.portName);
        scaler()->setState(1);
        scaler()->selectedProductChanged(device);
        sim.clearLog();
        return scaler()->deviceState == 1;
    }

    // Nothing is read or sent any more, the link is free and closed, the pages take clicks and
    // the device poll runs.
    bool idle()
    {
        Scaler* s = scaler();
        return !s->updating && s->availability == Scaler::AVAILABLE && f.ui.ConfiguratorTabs->isEnabled()
               && f.ui.ConfiguratorTabs->tabBar()->isEnabled() && f.ui.scalerImportSettings->isEnabled()
               && f.ui.scalerExportSettings->isEnabled() && !s->serialPort->isOpen() && s->pollTimer->isActive();
    }

    // Runs the export into `path`; returns the status bar message it ends with.
    QString exportTo(const QString& path)
    {
        dialogs.answerPath(path);
        scaler()->exportAllSettings();
        return f.status();
    }
    QString importFrom(const QString& path)
    {
        dialogs.answerPath(path);
        scaler()->importAllSettings();
        return f.status();
    }
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
        return path;
    }
    // The text of every warning shown, one after another.
    QString warnings() const
    {
        QString text;
        for (const ScriptedDialogs::Shown& shown : dialogs.shown()) {
            if (shown.kind == DialogBackend::Kind::Warning)
                text += shown.text + QLatin1Char('\n');
        }
        return text;
    }
};

#define SET_UP(bench) QVERIFY2((bench).setUp(), "the simulated scaler could not be picked")

QString modelFile(ScalerSim::Model model)
{
    switch (model) {
    case ScalerSim::Model::Sdi: return QStringLiteral("cormith.xml");
    case ScalerSim::Model::Dvi: return QStringLiteral("fornale.xml");
    case ScalerSim::Model::Hdmi: return QStringLiteral("darvosk.xml");
    }
    return QString();
}

// A unit whose every exported setting differs from its factory value.
void changeEverySetting(ScalerSim& sim)
{
    const bool sdi = sim.model() == ScalerSim::Model::Sdi;
    const QMap<QString, QString> values {
        {"OUTPUT_RES", sdi ? "HD (720p) 50Hz" : "1280x1024 60Hz"},
        {"OUTPUT_COLOR", "YCBCR 4:2:2"},
        {"OUTPUT_MODE", "DVI"},
        {"OUTPUT_LOCK", "HDMI"},
        {"COLOR_RANGE", "LIMITED"},
        {"COLOR_TEMP", "COOL"},
        {"EDGE_ENHANCE", "USER"},
        {"ASPECT_RATIO", "STRETCH"},
        {"TEST_PATTERNS", "HATCH"},
        {"CONTRAST", "37"},
        {"BRIGHTNESS", "61"},
        {"SATURATION", "44"},
        {"HUE", "12"},
        {"SHARPNESS", "70"},
        {"COLOR_BALANCE 0", "10"},
        {"COLOR_BALANCE 1", "20"},
        {"COLOR_BALANCE 2", "30"},
        {"UO_SCAN", "-12%"},
        {"HORIZONTAL_SHIFT", "-7"},
        {"VERTICAL_SHIFT", "9"},
        {"HORIZONTAL_MIRROR", "ON"},
        {"VERTICAL_MIRROR", "ON"},
        {"PHASE", "12"},
        {"OSD_TIMEOUT", "OFF"},
        {"DISPLAY_NOTIFY", "OFF"},
        {"EDID_MODE 0", "CUSTOM"},
        {"EDID_MODE 1", sdi ? "CUSTOM" : "INTERNAL"},
    };
    for (auto it = values.begin(); it != values.end(); ++it) {
        // Only what the model's file carries: the rest keeps its factory value on both sides.
        if (!sdi && it.key() == QLatin1String("OUTPUT_LOCK"))
            continue;
        if (sim.model() != ScalerSim::Model::Hdmi && it.key() == QLatin1String("OUTPUT_COLOR"))
            continue;
        if (sdi && it.key() == QLatin1String("COLOR_RANGE"))
            continue;
        if (sim.model() == ScalerSim::Model::Dvi && it.key() == QLatin1String("OUTPUT_MODE"))
            continue;
        sim.setSetting(it.key(), it.value());
    }
    sim.setPresetField(0, QStringLiteral("Hor Polarity"), QStringLiteral("-"));
    sim.setPresetField(2, QStringLiteral("Hor Active"), QStringLiteral("1800"));
    sim.setPresetField(3, QStringLiteral("Ver Refresh"), QStringLiteral("59.940"));
    sim.setPresetField(5, QStringLiteral("Pixel Clk"), QStringLiteral("74.250"));
    sim.setPresetField(5, QStringLiteral("Ver Polarity"), QStringLiteral("-"));
}

QByteArray settingsXml(const QByteArray& body)
{
    return "<!DOCTYPE scalerSettings>\n<scalerSettings>\n" + body + "\n</scalerSettings>\n";
}

} // namespace

Q_DECLARE_METATYPE(ScalerSim::Model)

class TestScalerSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SerialPortLister::setSystemPortsListed(false);
        TimeScale::setFactor(0.25);
    }
    void cleanup()
    {
        QLocale::setDefault(QLocale::c());
        ScalerSettingsFile::setClock({});
    }

    // The name the save dialog proposes, from the product and the (injected) clock.
    void proposedFileName_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("name");
        const QDateTime may9 (QDate(2024, 5, 9), QTime(14, 7, 59));
        QTest::newRow("two-input scaler") << NAME_SCALER_HDMI_VGA_TO_3GSDI << may9 << "Cormith_settings_2024-05-09_1407.xml";
        QTest::newRow("DVI scaler") << NAME_SCALER_VGA_TO_DVI << may9 << "Fornale_settings_2024-05-09_1407.xml";
        QTest::newRow("HDMI scaler, just after midnight")
            << NAME_SCALER_VGA_AUDIO_TO_HDMI << QDateTime(QDate(2025, 12, 31), QTime(0, 5))
            << "Darvosk_settings_2025-12-31_0005.xml";
        QTest::newRow("evening hours are 24-hour") << NAME_SCALER_VGA_TO_DVI << QDateTime(QDate(2024, 1, 2), QTime(23, 59))
                                                   << "Fornale_settings_2024-01-02_2359.xml";
        QTest::newRow("another product keeps its name") << "Some Box" << may9 << "Some Box_settings_2024-05-09_1407.xml";
    }
    void proposedFileName()
    {
        QFETCH(QString, product);
        QFETCH(QDateTime, when);
        QFETCH(QString, name);
        ScalerSettingsFile::setClock([when] { return when; });
        // Digits stay Western under a locale with its own.
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
        QCOMPARE(ScalerSettingsFile::proposedFileName(QStringLiteral("/some/dir"), product, ScalerSettingsFile::now()),
                 QStringLiteral("/some/dir") + QDir::separator() + name);
    }

    // The export of a unit at its factory settings, byte for byte, under a point- and a
    // comma-decimal locale.
    void exportGolden_data()
    {
        QTest::addColumn<ScalerSim::Model>("model");
        QTest::addColumn<QLocale>("locale");
        for (const ScalerSim::Model model : {ScalerSim::Model::Sdi, ScalerSim::Model::Dvi, ScalerSim::Model::Hdmi}) {
            QTest::newRow(qPrintable(modelFile(model))) << model << QLocale::c();
            QTest::newRow(qPrintable(modelFile(model) + " de_DE")) << model << QLocale(QLocale::German, QLocale::Germany);
        }
    }
    void exportGolden()
    {
        QFETCH(ScalerSim::Model, model);
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        Bench b(model);
        SET_UP(b);
        const QString path = b.dir.filePath("out.xml");
        QCOMPARE(b.exportTo(path), saved);
        QVERIFY(b.idle());
        QCOMPARE(b.f.ui.timingPresets->currentIndex(), 0);
        const QByteArray written = PlexaTest::readFile(path);
        const QString golden = PlexaTest::dataPath("scaler-settings/" + modelFile(model));
        if (qEnvironmentVariableIsSet("PLEXA_UPDATE_GOLDEN")) {
            QFile out(golden);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(written);
        }
        QCOMPARE(QString::fromUtf8(written), QString::fromUtf8(PlexaTest::readFile(golden)));
    }

    // Export, factory reset, import: the unit holds again what it held when it was exported.
    void roundTrip_data()
    {
        QTest::addColumn<ScalerSim::Model>("model");
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("Cormith") << ScalerSim::Model::Sdi << QLocale::c();
        QTest::newRow("Fornale") << ScalerSim::Model::Dvi << QLocale::c();
        QTest::newRow("Darvosk, comma decimals") << ScalerSim::Model::Hdmi << QLocale(QLocale::German, QLocale::Germany);
    }
    void roundTrip()
    {
        QFETCH(ScalerSim::Model, model);
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        Bench b(model);
        SET_UP(b);
        changeEverySetting(b.sim);
        const QMap<QString, QString> exported = b.sim.settings();
        const QString path = b.dir.filePath("settings.xml");
        QCOMPARE(b.exportTo(path), saved);

        b.sim.resetSettings();
        b.sim.clearSets();
        QCOMPARE(b.importFrom(path), importOk);
        QVERIFY2(b.warnings().isEmpty(), qPrintable(b.warnings()));
        QVERIFY(b.idle());
        const QMap<QString, QString> now = b.sim.settings();
        for (auto it = exported.begin(); it != exported.end(); ++it)
            QCOMPARE(now.value(it.key()), it.value());
        // Every value goes out, the unchanged ones too: the page may show another unit's values.
        const int presetCommands = 6 * 15;
        QCOMPARE(b.sim.sets().size(),
                 ScalerSettingsFile::planImport(PlexaTest::readFile(path), int(model)).commands.size());
        QVERIFY(b.sim.sets().size() > presetCommands + 20);
    }

    // What the export could not read is not saved: the user is told what is missing, no file is
    // written, and the pages and the poll are back.
    void exportRefusesWhatItCouldNotRead_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QByteArray>("reply"); // empty: the unit stops answering
        QTest::addColumn<QString>("named");
        QTest::newRow("unit stops answering mid-export") << "#GET_VIDEO_SETTINGS" << QByteArray() << Scaler::noResponseMessage();
        QTest::newRow("a reply without its value") << "#GET_DISPLAY_NOTIFY" << QByteArray("DISPLAY NOTIFY IS MAYBE\r\n>")
                                                   << "displayNotify";
        QTest::newRow("switches missing from the Adjust reply")
            << "#GET_VIDEO_SETTINGS" << QByteArray("UNDER/OVER SCAN IS 0%\r\nASPECT RATIO IS 16:9\r\n>") << "horizontalMirror";
        QTest::newRow("a preset the unit does not report") << "#GET_TIMING_PRESET 4" << QByteArray("Wrong parameter\r\n>")
                                                           << "timing preset 5";
        QTest::newRow("silence on the last preset") << "#GET_TIMING_PRESET 5" << QByteArray() << "timing preset 6";
    }
    void exportRefusesWhatItCouldNotRead()
    {
        QFETCH(QString, query);
        QFETCH(QByteArray, reply);
        QFETCH(QString, named);
        Bench b(ScalerSim::Model::Dvi);
        SET_UP(b);
        // Values of another unit in the record and the panels must not stand in for unread ones.
        b.scaler()->settings->displayNotify = true;
        const QString path = b.dir.filePath("settings.xml");
        QCOMPARE(b.exportTo(path), saved);
        QVERIFY(QFile::remove(path));

        if (reply.isEmpty())
            b.sim.addRule(SimRule::exact(query).silence());
        else
            b.sim.addRule(SimRule::exact(query).reply(reply));
        QCOMPARE(b.exportTo(path), notSaved);
        QVERIFY(b.f.statusIsError());
        QVERIFY2(b.warnings().contains(named), qPrintable(b.warnings()));
        QVERIFY(!QFile::exists(path));
        QTRY_VERIFY(b.idle());
    }

    // A file that cannot be written is reported and leaves an older one whole.
    void exportReportsAFailedWrite()
    {
        Bench b(ScalerSim::Model::Sdi);
        SET_UP(b);
        QCOMPARE(b.exportTo(b.dir.filePath("no such folder/settings.xml")), QStringLiteral("Settings could not be saved."));
        QVERIFY(b.warnings().contains("no such folder"));
        QVERIFY(b.idle());
    }

    // Cancelling the save dialog reads nothing and says nothing.
    void exportCancelled()
    {
        Bench b(ScalerSim::Model::Dvi);
        SET_UP(b);
        b.dialogs.answerCancel();
        b.scaler()->exportAllSettings();
        QVERIFY(b.f.status().isEmpty());
        QVERIFY(!b.sim.waitForRequestMatching(QRegularExpression("^#GET_"), TimeScale::ms(300)));
        QVERIFY(b.idle());
    }

    // Files that are not what they should be: each is refused whole or in part with its reason,
    // and only the valid values reach the unit (a DVI scaler here).
    void importChecksTheFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QStringList>("setKeys");
        const QByteArray contrast = "<contrast>40</contrast>";
        QTest::newRow("wrong root") << QByteArray("<!DOCTYPE scalerSettings>\n<settings>" + contrast + "</settings>")
                                    << incorrect << "not a scaler settings file" << QStringList();
        QTest::newRow("no doctype") << QByteArray("<scalerSettings>" + contrast + "</scalerSettings>") << incorrect
                                    << "not a scaler settings file" << QStringList();
        QTest::newRow("not XML") << QByteArray("contrast=40") << incorrect << "not readable XML" << QStringList();
        QTest::newRow("no setting in it") << settingsXml("<colour>1</colour>") << incorrect << "no scaler settings"
                                          << QStringList();
        QTest::newRow("another model's file") << settingsXml("<outputLock>1</outputLock>" + contrast) << incorrect
                                              << "another scaler model" << QStringList();
        QTest::newRow("unknown text") << settingsXml("<colorTemperature>Lukewarm</colorTemperature>" + contrast)
                                      << importIncomplete << "Lukewarm" << QStringList{"CONTRAST"};
        QTest::newRow("carriage return injects a command")
            << settingsXml("<contrast>40&#13;#FACTORY_RESET</contrast><hue>20</hue>") << importIncomplete << "<contrast>"
            << QStringList{"HUE"};
        QTest::newRow("preset without its number")
            << settingsXml("<preset><hActive>1800</hActive></preset><saturation>30</saturation>") << importIncomplete
            << "without a valid number" << QStringList{"SATURATION"};
        QTest::newRow("out-of-range value") << settingsXml("<contrast>101</contrast><hue>20</hue>") << importIncomplete
                                            << "\"101\"" << QStringList{"HUE"};
        QTest::newRow("comma decimal in a preset")
            << settingsXml("<preset><number>1</number><vRefresh>59,940</vRefresh><hActive>1800</hActive></preset>")
            << importIncomplete << "59,940" << QStringList{"TIMING_PRESET 1"};
        QTest::newRow("unknown element") << settingsXml("<volume>3</volume>" + contrast) << importIncomplete << "<volume>"
                                         << QStringList{"CONTRAST"};
        QTest::newRow("a single setting") << settingsXml("<saturation>30</saturation>") << importOk << QString()
                                          << QStringList{"SATURATION"};
    }
    void importChecksTheFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, status);
        QFETCH(QString, reason);
        QFETCH(QStringList, setKeys);
        Bench b(ScalerSim::Model::Dvi);
        SET_UP(b);
        b.sim.setSetting("BRIGHTNESS", "77");
        QCOMPARE(b.importFrom(b.write("in.xml", file)), status);
        QCOMPARE(b.f.statusIsError(), status != importOk);
        QVERIFY2(b.warnings().contains(reason), qPrintable(b.warnings()));
        QStringList keys;
        for (const ScalerSim::SetRecord& set : b.sim.sets())
            keys << set.key;
        QCOMPARE(keys, setKeys);
        // Nothing reset the unit behind the import's back.
        QCOMPARE(b.sim.setting("BRIGHTNESS"), QStringLiteral("77"));
        QVERIFY(b.idle());
    }

    // A Cormith file written with every element of its model carries colorSpaces, for which the
    // unit reports no value: left empty it is skipped without calling the import incomplete, a
    // listed value is applied. A model that has the value still wants a valid one.
    void importOfAnElementWithoutValue_data()
    {
        QTest::addColumn<ScalerSim::Model>("model");
        QTest::addColumn<QByteArray>("element");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("outputColor"); // the unit's value afterwards
        QTest::newRow("Cormith, empty") << ScalerSim::Model::Sdi << QByteArray("<colorSpaces></colorSpaces>")
                                        << importOk << "RGB 4:4:4";
        QTest::newRow("Cormith, a listed value") << ScalerSim::Model::Sdi
                                                 << QByteArray("<colorSpaces>YCbCr 4:2:2</colorSpaces>") << importOk
                                                 << "YCbCr 4:2:2";
        QTest::newRow("Darvosk, empty") << ScalerSim::Model::Hdmi << QByteArray("<colorSpaces></colorSpaces>")
                                        << importIncomplete << "RGB 4:4:4";
    }
    void importOfAnElementWithoutValue()
    {
        QFETCH(ScalerSim::Model, model);
        QFETCH(QByteArray, element);
        QFETCH(QString, status);
        QFETCH(QString, outputColor);
        Bench b(model);
        SET_UP(b);
        changeEverySetting(b.sim);
        const QMap<QString, QString> exported = b.sim.settings();
        const QString path = b.dir.filePath("settings.xml");
        QCOMPARE(b.exportTo(path), saved);
        // The element as the file of a model that has it carries it: before outputModes.
        QByteArray file;
        for (const QByteArray& line : PlexaTest::readFile(path).split('\n')) {
            if (line.contains("<colorSpaces>"))
                continue;
            if (line.contains("<outputModes>"))
                file += ' ' + element + '\n';
            file += line + '\n';
        }
        QVERIFY2(file.count("<colorSpaces>") == 1, file.constData());

        b.sim.resetSettings();
        b.sim.setSetting("OUTPUT_COLOR", "RGB 4:4:4");
        QCOMPARE(b.importFrom(b.write("in.xml", file)), status);
        QCOMPARE(b.warnings().isEmpty(), status == importOk);
        QCOMPARE(b.sim.setting("OUTPUT_COLOR").toUpper(), outputColor.toUpper());
        for (auto it = exported.begin(); it != exported.end(); ++it) {
            if (it.key() != QLatin1String("OUTPUT_COLOR"))
                QCOMPARE(b.sim.setting(it.key()), it.value());
        }
        QVERIFY(b.idle());
    }

    // A value the unit refuses or does not answer is named; the others are applied all the same.
    void importReportsFailedCommands()
    {
        Bench b(ScalerSim::Model::Dvi);
        SET_UP(b);
        b.sim.addRule(SimRule::exact("#SET_CONTRAST 40").reply("Wrong parameter\r\n>"));
        b.sim.addRule(SimRule::exact("#SET_HUE 20").silence());
        const QString path = b.write("in.xml", settingsXml("<contrast>40</contrast><hue>20</hue><saturation>30</saturation>"));
        QCOMPARE(b.importFrom(path), importIncomplete);
        QVERIFY2(b.warnings().contains("contrast (refused)"), qPrintable(b.warnings()));
        QVERIFY2(b.warnings().contains("hue (no answer)"), qPrintable(b.warnings()));
        QCOMPARE(b.sim.setting("SATURATION"), QStringLiteral("30"));
        QVERIFY(b.idle());
    }
};

PLEXA_TEST_MAIN(TestScalerSettings)
#include "tst_scaler_settings.moc"

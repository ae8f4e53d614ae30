// The generic scaler's read-back against the simulated unit: what each chain asks and in which
// order, what the replies of each model put into the pages and the settings record, how every
// way out of a chain (silence, an unplugged unit, a reply without its value) gives the pages back
// with a message, the once-per-tab reading of the timing presets, and hostile replies.
#include "plexatest.h"
#include "constants.h"
#include "mybuttongroup.h"
#include "scaler.h"
#include "scalerfixture.h"
#include "scalersim.h"
#include "serialports.h"
#include "timescale.h"
#include "timingpreset.h"
#include "ui_mainui.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalBlocker>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>

#include <functional>

namespace {

const int kChainTimeoutMs = 15000;

const QString fw = QStringLiteral("#GET_FIRMWARE_VERSION");
const QString videoOutput = QStringLiteral("#GET_VIDEO_OUTPUT");
const QString inputSelect = QStringLiteral("#GET_INPUT_SELECT");
const QString osd = QStringLiteral("#GET_OSD_TIMEOUT");
const QString notify = QStringLiteral("#GET_DISPLAY_NOTIFY");
const QString inputRes = QStringLiteral("#GET_INPUT_RESOLUTION");
const QString edidMode = QStringLiteral("#GET_EDID_MODE");
const QString testPatterns = QStringLiteral("#GET_TEST_PATTERNS");

// A port name no unit has: the port of a unit that has been unplugged.
const QString gone = QStringLiteral("/dev/plexa-unplugged-scaler");

const QString openFailed = QStringLiteral("Failed to open serial port. Try disconnect power and connect the unit.");

// The read-backs that the pages, the export and the window start.
enum class Chain { Output, System, TestPatterns, Timings, Input, EdidVga, EdidHdmi, EdidMode, FirmwareShort };

// The real controller over the form, with one simulated scaler picked as the hub picks it.
struct Bench {
    ScalerFixture f;
    ScalerSim sim;
    Device device;

    explicit Bench(ScalerSim::Model model)
        : sim(model)
    {
    }

    Scaler* scaler() { return f.scaler.get(); }

    bool setUp()
    {
        if (!sim.start())
            return false;
        const QList<Device> devices = scaler()->updateDeviceList();
        if (devices.size() != 1)
            return false;
        device = devices.first();
        // The generic scaler's pages as the hub lays them out, "Update" in front so that picking
        // the unit reads no page yet.
        QTabWidget* tabs = f.ui.ConfiguratorTabs;
        tabs->clear();
        const QList<QPair<QWidget*, QString>> pages = {
            {f.ui.outputTab, "Output"},       {f.ui.pictureTab, "Picture"},      {f.ui.adjustTab, "Adjust"},
            {f.ui.systemTab, "System"},       {f.ui.testPatternTab, "Test Patterns"}, {f.ui.timingTab, "Timings"},
            {f.ui.edidConfigureTab, " Manage EDID "}, {f.ui.updateConfigureTab, "Update"}};
        for (const auto& page : pages)
            tabs->addTab(page.first, page.second);
        tabs->setCurrentIndex(7);
        f.ui.selectEDIDFromDevice->clear();
        f.ui.selectEDIDFromDevice->addItems({QStringLiteral("Select EDID"), QStringLiteral("Connected Display 1")});
        // A new EDID source starts the EDID page's own read; these tests watch the read-back alone.
        QObject::disconnect(f.ui.selectEDIDFromDevice, SIGNAL(currentIndexChanged(int)), scaler(),
                            SLOT(multiEDIDModeSet()));
        f.selectProductText(device.name + QStringLiteral(", ") + device.portName);
        scaler()->setState(1);
        scaler()->selectedProductChanged(device);
        if (!selectionPingsArrived(sim))
            return false;
        sim.clearLog();
        return scaler()->deviceState == 1;
    }

    void start(Chain chain)
    {
        Scaler* s = scaler();
        switch (chain) {
        case Chain::Output: s->refreshOutputData(); break;
        case Chain::System: s->refreshSystemData(); break;
        case Chain::TestPatterns: s->refreshTestPatternData(); break;
        case Chain::Timings: s->refreshTimingData(); break;
        case Chain::Input: s->refreshInputSelected(); break;
        case Chain::EdidVga: s->refreshEDIDModeVGA(); break;
        case Chain::EdidHdmi: s->refreshEDIDModeHDMI(); break;
        case Chain::EdidMode: s->refreshEDIDMode(); break;
        case Chain::FirmwareShort: s->doFirmwareVersionShort(); break;
        }
    }

    // The pages are usable again: nothing is being read, the link is free and closed, and the
    // tabs, the main tabs and the product list take clicks.
    bool idle()
    {
        Scaler* s = scaler();
        return !s->updating && s->availability == Scaler::AVAILABLE && f.ui.ConfiguratorTabs->isEnabled()
               && f.ui.tabWidget->isEnabled() && f.ui.productCombobox->isEnabled() && !s->serialPort->isOpen();
    }

    // Runs a read-back to its end; false when the pages are still held after the time-out.
    bool run(Chain chain)
    {
        start(chain);
        return settle();
    }
    bool settle()
    {
        // A chain step follows 50 ms after its reply; a little quiet shows the chain is over.
        if (!QTest::qWaitFor([&] { return idle(); }, kChainTimeoutMs))
            return false;
        return !QTest::qWaitFor([&] { return !idle(); }, TimeScale::ms(300));
    }
};

#define SET_UP(bench) QVERIFY2((bench).setUp(), "the simulated scaler could not be picked")

} // namespace

Q_DECLARE_METATYPE(Chain)

class TestScalerReadback : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SerialPortLister::setSystemPortsListed(false);
        // Short enough to run the chains quickly; long enough for a simulated unit's first byte
        // within a chain step's wait, under the sanitizers on a loaded machine.
        TimeScale::setFactor(qMax(TimeScale::factor(), 0.5));
    }

    // Each chain's queries, in order, as the unit receives them.
    void chainQueryOrder_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<Chain>("chain");
        QTest::addColumn<QStringList>("queries");
        const int dvi = int(ScalerSim::Model::Dvi);
        const int sdi = int(ScalerSim::Model::Sdi);
        QTest::newRow("output") << dvi << Chain::Output << QStringList{fw, videoOutput, inputSelect};
        QTest::newRow("system") << sdi << Chain::System << QStringList{osd, notify, inputRes, fw, edidMode, inputSelect};
        QTest::newRow("test patterns") << dvi << Chain::TestPatterns << QStringList{testPatterns};
        QTest::newRow("timings, preset tab 4") << dvi << Chain::Timings << QStringList{"#GET_TIMING_PRESET 3"};
        QTest::newRow("input") << sdi << Chain::Input << QStringList{inputSelect};
        QTest::newRow("EDID mode of the VGA input") << sdi << Chain::EdidVga << QStringList{"#GET_EDID_MODE 0"};
        QTest::newRow("EDID mode of the HDMI input") << sdi << Chain::EdidHdmi << QStringList{"#GET_EDID_MODE 1"};
        QTest::newRow("EDID mode, one input") << dvi << Chain::EdidMode << QStringList{edidMode, inputSelect};
        QTest::newRow("firmware version") << dvi << Chain::FirmwareShort << QStringList{fw, edidMode, inputSelect};
    }

    void chainQueryOrder()
    {
        QFETCH(int, model);
        QFETCH(Chain, chain);
        QFETCH(QStringList, queries);
        Bench b{ScalerSim::Model(model)};
        SET_UP(b);
        {
            QSignalBlocker quiet(b.f.ui.timingPresets);
            b.f.ui.timingPresets->setCurrentIndex(3);
        }
        QVERIFY(b.run(chain));
        QCOMPARE(b.sim.requests(), queries);
        QCOMPARE(b.f.status(), QString());
    }

    // Opening a page tab starts that page's read-back with its first query.
    void tabSwitchStartsThePagesRead_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("firstQuery");
        const int dvi = int(ScalerSim::Model::Dvi);
        const int sdi = int(ScalerSim::Model::Sdi);
        QTest::newRow("Output") << dvi << 0 << fw;
        QTest::newRow("System") << dvi << 3 << osd;
        QTest::newRow("Test Patterns") << dvi << 4 << testPatterns;
        QTest::newRow("Timings") << dvi << 5 << QStringLiteral("#GET_TIMING_PRESET 0");
        QTest::newRow("EDID, two inputs") << sdi << 6 << inputSelect;
        QTest::newRow("EDID, one input") << dvi << 6 << QString();
    }

    void tabSwitchStartsThePagesRead()
    {
        QFETCH(int, model);
        QFETCH(int, tab);
        QFETCH(QString, firstQuery);
        Bench b{ScalerSim::Model(model)};
        SET_UP(b);
        b.f.ui.ConfiguratorTabs->setCurrentIndex(tab);
        QVERIFY(b.settle());
        if (firstQuery.isEmpty())
            QVERIFY(b.sim.requests().isEmpty());
        else
            QCOMPARE(b.sim.requests().value(0), firstQuery);
    }

    // The unit's settings, per model, in the pages and in the record the export writes.
    void pagesAndRecordFromEachModel_data()
    {
        QTest::addColumn<int>("model");
        QTest::newRow("HDMI/VGA to 3GSDI") << int(ScalerSim::Model::Sdi);
        QTest::newRow("VGA to DVI") << int(ScalerSim::Model::Dvi);
        QTest::newRow("VGA w/Audio to HDMI") << int(ScalerSim::Model::Hdmi);
    }

    void pagesAndRecordFromEachModel()
    {
        QFETCH(int, model);
        Bench b{ScalerSim::Model(model)};
        SET_UP(b);
        const bool sdi = model == int(ScalerSim::Model::Sdi);
        const QMap<QString, QString> unit = {
            {"OUTPUT_RES", "HD (720p) 60Hz"}, {"OUTPUT_COLOR", "YCBCR 4:2:2"}, {"OUTPUT_LOCK", "HDMI"},
            {"OUTPUT_MODE", "DVI"}, {"FIRMWARE_VERSION", "V2.4.1"}, {"OSD_TIMEOUT", "15 SECONDS"},
            {"DISPLAY_NOTIFY", "OFF"}, {"INPUT_RESOLUTION", "1280x1024 75Hz"}, {"EDID_MODE 0", "CUSTOM"},
            {"EDID_MODE 1", "INTERNAL"}, {"TEST_PATTERNS", "HATCH"}, {"INPUT_SELECT", sdi ? "HDMI" : "VGA"}};
        for (auto it = unit.begin(); it != unit.end(); ++it)
            b.sim.setSetting(it.key(), it.value());
        Scaler* s = b.scaler();
        ScalerRecord* record = s->settings;
        QSignalSpy firmwareRead(s, SIGNAL(setFirmwareColorSignal()));
        b.f.ui.scalerEDIDBox->setEnabled(false);

        QVERIFY(b.run(Chain::Output));
        QCOMPARE(b.f.ui.updateCurrentFirmware->text(), QStringLiteral("2.4.1"));
        QCOMPARE(b.f.ui.versionInfo->toPlainText(), QStringLiteral("FIRMWARE VERSION IS V2.4.1"));
        QCOMPARE(firmwareRead.count(), 1);
        QCOMPARE(b.f.ui.scalerOutputRes->text(), QStringLiteral("HD (720p) 60Hz"));
        QCOMPARE(s->currentOutputResGroup->checkedText(), QStringLiteral("HD (720p) 60Hz"));
        QCOMPARE(record->outputResolution, b.sim.setting("OUTPUT_RES"));
        QCOMPARE(s->outputModeGroup->checkedText(), QStringLiteral("DVI"));
        QCOMPARE(record->outputModes, QStringLiteral("DVI"));
        // The second output line: colour space on the HDMI-output model, lock on the two-input
        // one, nothing on the DVI one.
        const bool hdmi = model == int(ScalerSim::Model::Hdmi);
        QCOMPARE(s->colorSpaceGroup->checkedText(), hdmi ? QStringLiteral("YCbCr 4:2:2") : QString());
        QCOMPARE(record->colorSpaces, hdmi ? QStringLiteral("YCBCR 4:2:2") : QString());
        QCOMPARE(s->outputLockGroup->checkedText(), sdi ? QStringLiteral("HDMI") : QString());
        QCOMPARE(record->outputLock, qint16(sdi ? b.sim.programValue("OUTPUT_LOCK").toShort() : 0));
        // The input ends the chain: the two-input model shows its HDMI input.
        QCOMPARE(s->inputSelectGroup->checkedText(), sdi ? QStringLiteral("HDMI") : QStringLiteral("VGA"));
        QCOMPARE(b.f.ui.selectEDIDFromDevice->currentIndex(), sdi ? 2 : 1);
        QCOMPARE(b.f.ui.phaseSlider->isEnabled(), !sdi);
        QCOMPARE(b.f.ui.outputLockFrame->isEnabled(), sdi);

        QVERIFY(b.run(Chain::System));
        QVERIFY(b.f.ui.osdTimeoutButton->isChecked());
        QVERIFY(b.f.ui.osdTimeoutSpinBox->isEnabled());
        QCOMPARE(b.f.ui.osdTimeoutSpinBox->value(), 15);
        QCOMPARE(QString::number(record->osdTimeout), b.sim.programValue("OSD_TIMEOUT"));
        QVERIFY(!b.f.ui.displayNotify->isChecked());
        QCOMPARE(record->displayNotify, false);
        QCOMPARE(b.f.ui.scalerInputRes->text(), QStringLiteral("1280x1024 75Hz"));
        // Without an input the unit reports the mode of the input it shows.
        QCOMPARE(s->edidModeGroup->checkedText(), sdi ? QStringLiteral("Internal") : QStringLiteral("Custom"));
        QCOMPARE(record->edidMode, qint16(sdi ? 0 : 1));
        QCOMPARE(b.f.ui.scalerEDIDBox->isEnabled(), !sdi);
        QCOMPARE(firmwareRead.count(), 2);

        QVERIFY(b.run(Chain::TestPatterns));
        QCOMPARE(s->testPatternGroup->checkedText(), QStringLiteral("Hatch"));
        QCOMPARE(record->testPattern, QStringLiteral("HATCH"));

        QVERIFY(b.run(Chain::EdidVga));
        QVERIFY(b.run(Chain::EdidHdmi));
        QCOMPARE(QString::number(record->edidModeVGA), b.sim.programValue("EDID_MODE 0"));
        QCOMPARE(QString::number(record->edidModeHDMI), b.sim.programValue("EDID_MODE 1"));
        QCOMPARE(b.f.status(), QString());
    }

    // Every way out of every chain gives the pages back and says what went wrong: the unit
    // stays silent at a step, the unit is unplugged before a step, or a step's reply holds no
    // value (the chain goes on, except after the firmware version). The pages read normally
    // afterwards.
    void everyExitGivesThePagesBack_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<Chain>("chain");
        QTest::addColumn<QStringList>("queries");
        QTest::addColumn<QString>("fault");
        const int dvi = int(ScalerSim::Model::Dvi);
        const int sdi = int(ScalerSim::Model::Sdi);
        struct Row {
            const char* name;
            int model;
            Chain chain;
            QStringList queries;
        };
        const QList<Row> rows = {
            {"output", dvi, Chain::Output, {fw, videoOutput, inputSelect}},
            {"system", sdi, Chain::System, {osd, notify, inputRes, fw, edidMode, inputSelect}},
            {"test patterns", dvi, Chain::TestPatterns, {testPatterns}},
            {"timings", dvi, Chain::Timings, {"#GET_TIMING_PRESET 0"}},
            {"input", sdi, Chain::Input, {inputSelect}},
            {"EDID VGA", sdi, Chain::EdidVga, {"#GET_EDID_MODE 0"}},
            {"EDID HDMI", sdi, Chain::EdidHdmi, {"#GET_EDID_MODE 1"}},
            {"EDID mode", dvi, Chain::EdidMode, {edidMode, inputSelect}},
            {"firmware", dvi, Chain::FirmwareShort, {fw, edidMode, inputSelect}},
        };
        for (const Row& row : rows) {
            for (const char* fault : {"silent", "unplugged", "no value"}) {
                QTest::addRow("%s, %s", row.name, fault) << row.model << row.chain << row.queries << QString(fault);
            }
        }
    }

    void everyExitGivesThePagesBack()
    {
        QFETCH(int, model);
        QFETCH(Chain, chain);
        QFETCH(QStringList, queries);
        QFETCH(QString, fault);
        for (int step = 0; step < queries.size(); ++step) {
            const QByteArray where = QStringLiteral("%1 at step %2").arg(fault).arg(step).toLatin1();
            Bench b{ScalerSim::Model(model)};
            SET_UP(b);
            const QString query = queries.at(step);
            QMetaObject::Connection unplug;
            QStringList asked = queries;
            QString message;
            if (fault == "silent") {
                b.sim.addRule(SimRule::exact(query).silence());
                asked = queries.mid(0, step + 1);
                message = Scaler::noResponseMessage();
            } else if (fault == "unplugged") {
                // The unit's port is gone from the moment the previous reply comes in, so the
                // port cannot be opened for this step's query.
                if (step == 0) {
                    b.scaler()->selectedDevice.portName = gone;
                } else {
                    const QString previous = queries.at(step - 1);
                    unplug = QObject::connect(b.scaler()->serialPort, &QSerialPort::readyRead, b.scaler(), [&b, previous] {
                        if (b.sim.requestCount(previous) > 0)
                            b.scaler()->selectedDevice.portName = gone;
                    });
                }
                asked = queries.mid(0, step);
                message = openFailed;
            } else {
                b.sim.addRule(SimRule::exact(query).reply(SimRule::defaultGarbage() + "\r\n>"));
                if (query == fw)
                    asked = queries.mid(0, step + 1);
                message = QStringLiteral("Unexpected reply to ") + query;
            }
            QVERIFY2(b.run(chain), where.constData());
            QVERIFY2(b.sim.requests() == asked, qPrintable(QString::fromLatin1(where) + ": " + b.sim.requests().join(", ")));
            QVERIFY2(b.f.status() == message, qPrintable(QString::fromLatin1(where) + ": " + b.f.status()));
            QVERIFY2(b.f.statusIsError(), where.constData());
            // The next read of the page goes through.
            QObject::disconnect(unplug);
            b.scaler()->selectedDevice.portName = b.device.portName;
            b.sim.clearRules();
            b.sim.clearLog();
            QVERIFY2(b.run(chain), where.constData());
            QVERIFY2(b.sim.requests() == queries, where.constData());
        }
    }

    // A reply that lacks its key changes nothing: an empty OSD or display-notify reply checks no
    // button and leaves the record; the OSD seconds come only from the exact form.
    void osdAndNotifyReplies_data()
    {
        QTest::addColumn<QByteArray>("osdReply");
        QTest::addColumn<QByteArray>("notifyReply");
        QTest::addColumn<bool>("osdChecked");
        QTest::addColumn<bool>("spinEnabled");
        QTest::addColumn<int>("spinValue");
        QTest::addColumn<int>("osdRecord");
        QTest::addColumn<bool>("notifyChecked");
        QTest::addColumn<QString>("status");
        // Before each row: OSD button unchecked, spin box disabled at 30, record 7; notify off.
        const QString unread = QStringLiteral("Unexpected reply to ");
        QTest::newRow("off, off") << QByteArray("OSD TIMEOUT IS OFF") << QByteArray("DISPLAY NOTIFY IS OFF")
                                  << false << false << 30 << 0 << false << QString();
        QTest::newRow("15 seconds, on") << QByteArray("OSD TIMEOUT IS 15 SECONDS") << QByteArray("DISPLAY NOTIFY IS ON")
                                        << true << true << 15 << 15 << true << QString();
        QTest::newRow("further word keeps the seconds") << QByteArray("OSD TIMEOUT IS 15 SECONDS NOW")
                                                        << QByteArray("DISPLAY NOTIFY IS ON") << true << true << 30 << 7
                                                        << true << QString();
        QTest::newRow("seconds past 16 bits") << QByteArray("OSD TIMEOUT IS 99999 SECONDS") << QByteArray("DISPLAY NOTIFY IS OFF")
                                              << true << true << 30 << 7 << false << QString();
        QTest::newRow("empty replies") << QByteArray("") << QByteArray("") << false << false << 30 << 7 << false
                                       << unread + notify;
        QTest::newRow("rejections") << QByteArray("Wrong command") << QByteArray("Wrong command") << false << false << 30
                                    << 7 << false << unread + notify;
        QTest::newRow("key without value") << QByteArray("OSD TIMEOUT IS") << QByteArray("DISPLAY NOTIFY IS OFF") << false
                                           << false << 30 << 7 << false << unread + osd;
    }

    void osdAndNotifyReplies()
    {
        QFETCH(QByteArray, osdReply);
        QFETCH(QByteArray, notifyReply);
        QFETCH(bool, osdChecked);
        QFETCH(bool, spinEnabled);
        QFETCH(int, spinValue);
        QFETCH(int, osdRecord);
        QFETCH(bool, notifyChecked);
        QFETCH(QString, status);
        Bench b{ScalerSim::Model::Dvi};
        SET_UP(b);
        {
            QSignalBlocker a(b.f.ui.osdTimeoutButton), c(b.f.ui.displayNotify);
            b.f.ui.osdTimeoutButton->setChecked(false);
            b.f.ui.displayNotify->setChecked(false);
        }
        b.f.ui.osdTimeoutSpinBox->setEnabled(false);
        b.f.ui.osdTimeoutSpinBox->setValue(30);
        b.scaler()->settings->osdTimeout = 7;
        b.scaler()->settings->displayNotify = false;
        b.sim.addRule(SimRule::exact(osd).reply(osdReply + "\r\n>"));
        b.sim.addRule(SimRule::exact(notify).reply(notifyReply + "\r\n>"));

        QVERIFY(b.run(Chain::System));
        QCOMPARE(b.sim.requests().size(), 6);
        QCOMPARE(b.f.ui.osdTimeoutButton->isChecked(), osdChecked);
        QCOMPARE(b.f.ui.osdTimeoutSpinBox->isEnabled(), spinEnabled);
        QCOMPARE(b.f.ui.osdTimeoutSpinBox->value(), spinValue);
        QCOMPARE(int(b.scaler()->settings->osdTimeout), osdRecord);
        QCOMPARE(b.f.ui.displayNotify->isChecked(), notifyChecked);
        QCOMPARE(b.scaler()->settings->displayNotify, notifyChecked);
        QCOMPARE(b.f.status(), status);
    }

    // The output reply is read line by line with the key of each line's place.
    void outputReplies_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("resolution");
        QTest::addColumn<QString>("colorSpace"); // record; the button follows the record
        QTest::addColumn<int>("outputLock");     // record (-1 before the read)
        QTest::addColumn<QString>("lockButton");
        QTest::addColumn<QString>("mode");       // record
        QTest::addColumn<QString>("modeButton");
        QTest::addColumn<bool>("complete");
        const QByteArray vgaScalers =
            "OUTPUT RESOLUTION IS 1920x1080 RB\r\nOUTPUT COLOR SPACE IS ycbcr 4:4:4\r\nOUTPUT MODE IS AUTO DETECT";
        QTest::newRow("HDMI output: colour space") << int(ScalerSim::Model::Hdmi) << vgaScalers << "1920x1080 RB"
                                                   << "ycbcr 4:4:4" << -1 << "" << "AUTO DETECT" << "Auto Detect" << true;
        QTest::newRow("DVI: second line ignored") << int(ScalerSim::Model::Dvi) << vgaScalers << "1920x1080 RB" << "" << -1
                                                  << "" << "AUTO DETECT" << "Auto Detect" << true;
        QTest::newRow("3GSDI: lock by name") << int(ScalerSim::Model::Sdi)
                                             << QByteArray("OUTPUT RESOLUTION IS HD (720p) 50Hz\r\n\r\nOUTPUT IS FREE RUN\nOUTPUT MODE IS HDMI")
                                             << "HD (720p) 50Hz" << "" << 0 << "Free Run" << "HDMI" << "HDMI" << true;
        QTest::newRow("3GSDI: lock as a number") << int(ScalerSim::Model::Sdi)
                                                 << QByteArray("OUTPUT RESOLUTION IS HD (720p) 50Hz\r\nOUTPUT IS 1\r\nOUTPUT MODE IS HDMI")
                                                 << "HD (720p) 50Hz" << "" << 1 << "" << "HDMI" << "HDMI" << true;
        QTest::newRow("a line too many shifts every key") << int(ScalerSim::Model::Hdmi) << "BANNER\r\n" + vgaScalers << ""
                                                          << "" << -1 << "" << "" << "" << false;
        QTest::newRow("fewer lines") << int(ScalerSim::Model::Hdmi) << QByteArray("OUTPUT RESOLUTION IS Bypass") << "Bypass"
                                     << "" << -1 << "" << "" << "" << false;
    }

    void outputReplies()
    {
        QFETCH(int, model);
        QFETCH(QByteArray, reply);
        QFETCH(QString, resolution);
        QFETCH(QString, colorSpace);
        QFETCH(int, outputLock);
        QFETCH(QString, lockButton);
        QFETCH(QString, mode);
        QFETCH(QString, modeButton);
        QFETCH(bool, complete);
        Bench b{ScalerSim::Model(model)};
        SET_UP(b);
        Scaler* s = b.scaler();
        s->settings->outputLock = -1;
        b.sim.addRule(SimRule::exact(videoOutput).reply(reply + "\r\n>"));

        QVERIFY(b.run(Chain::Output));
        QCOMPARE(b.sim.requests(), (QStringList{fw, videoOutput, inputSelect}));
        QCOMPARE(s->settings->outputResolution, resolution);
        QCOMPARE(b.f.ui.scalerOutputRes->text(), resolution);
        QCOMPARE(s->currentOutputResGroup->checkedText(), resolution);
        QCOMPARE(s->settings->colorSpaces, colorSpace);
        QCOMPARE(s->colorSpaceGroup->checkedText().toLower(), colorSpace.toLower());
        QCOMPARE(int(s->settings->outputLock), outputLock);
        QCOMPARE(s->outputLockGroup->checkedText(), lockButton);
        QCOMPARE(s->settings->outputModes, mode);
        QCOMPARE(s->outputModeGroup->checkedText(), modeButton);
        QCOMPARE(b.f.status(), complete ? QString() : QStringLiteral("Unexpected reply to ") + videoOutput);
    }

    // "VGA" and "HDMI" as they stand; "HDMI" counts only on the model with an HDMI input.
    void inputReplies_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("edidSource");
        QTest::addColumn<QString>("inputButton");
        QTest::addColumn<bool>("phaseEnabled");
        QTest::addColumn<bool>("lockFrameEnabled");
        QTest::addColumn<bool>("understood");
        const int sdi = int(ScalerSim::Model::Sdi);
        const int hdmi = int(ScalerSim::Model::Hdmi);
        // Before each row: EDID source 0, no input checked, phase widgets disabled, lock frame enabled.
        QTest::newRow("VGA") << sdi << QByteArray("INPUT SELECT IS VGA") << 1 << "VGA" << true << false << true;
        QTest::newRow("HDMI") << sdi << QByteArray("INPUT SELECT IS HDMI") << 2 << "HDMI" << false << true << true;
        QTest::newRow("both: HDMI wins") << sdi << QByteArray("VGA HDMI") << 2 << "HDMI" << false << true << true;
        QTest::newRow("lower case only") << sdi << QByteArray("input select is vga") << 0 << "" << false << true << false;
        QTest::newRow("one input, HDMI named") << hdmi << QByteArray("INPUT SELECT IS HDMI") << 0 << "" << false << true << false;
        QTest::newRow("one input, both named") << hdmi << QByteArray("INPUT VGA, OUTPUT HDMI") << 1 << "VGA" << true
                                               << false << true;
    }

    void inputReplies()
    {
        QFETCH(int, model);
        QFETCH(QByteArray, reply);
        QFETCH(int, edidSource);
        QFETCH(QString, inputButton);
        QFETCH(bool, phaseEnabled);
        QFETCH(bool, lockFrameEnabled);
        QFETCH(bool, understood);
        Bench b{ScalerSim::Model(model)};
        SET_UP(b);
        b.f.ui.selectEDIDFromDevice->setCurrentIndex(0);
        for (QWidget* w : {static_cast<QWidget*>(b.f.ui.phaseAuto), static_cast<QWidget*>(b.f.ui.phaseText),
                           static_cast<QWidget*>(b.f.ui.phaseSlider)})
            w->setEnabled(false);
        b.f.ui.outputLockFrame->setEnabled(true);
        b.sim.addRule(SimRule::exact(inputSelect).reply(reply + "\r\n>"));

        QVERIFY(b.run(Chain::Input));
        QCOMPARE(b.f.ui.selectEDIDFromDevice->currentIndex(), edidSource);
        QCOMPARE(b.scaler()->inputSelectGroup->checkedText(), inputButton);
        QCOMPARE(b.f.ui.phaseSlider->isEnabled(), phaseEnabled);
        QCOMPARE(b.f.ui.phaseAuto->isEnabled(), phaseEnabled);
        QCOMPARE(b.f.ui.outputLockFrame->isEnabled(), lockFrameEnabled);
        QCOMPARE(b.f.status(), understood ? QString() : QStringLiteral("Unexpected reply to ") + inputSelect);
    }

    // The version is what follows "FIRMWARE VERSION IS V", any letter case; without it the chain
    // stops there, with the pages given back and the reason shown.
    void firmwareVersionReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("version");
        QTest::newRow("version") << QByteArray("FIRMWARE VERSION IS V1.2.3") << "1.2.3";
        QTest::newRow("lower case") << QByteArray("firmware version is v1.2.3") << "1.2.3";
        QTest::newRow("no V") << QByteArray("FIRMWARE VERSION IS 1.2.3") << "";
        QTest::newRow("key twice") << QByteArray("FIRMWARE VERSION IS V1\r\nFIRMWARE VERSION IS V2") << "";
        QTest::newRow("empty") << QByteArray("") << "";
    }

    void firmwareVersionReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, version);
        Bench b{ScalerSim::Model::Dvi};
        SET_UP(b);
        b.f.ui.updateCurrentFirmware->setText(QStringLiteral("before"));
        QSignalSpy firmwareRead(b.scaler(), SIGNAL(setFirmwareColorSignal()));
        b.sim.addRule(SimRule::exact(fw).reply(reply + "\r\n>"));

        QVERIFY(b.run(Chain::FirmwareShort));
        if (version.isEmpty()) {
            QCOMPARE(b.sim.requests(), QStringList{fw});
            QCOMPARE(b.f.ui.updateCurrentFirmware->text(), QStringLiteral("before"));
            QCOMPARE(firmwareRead.count(), 0);
            QCOMPARE(b.f.status(), QStringLiteral("Unexpected reply to ") + fw);
            QVERIFY(b.f.statusIsError());
        } else {
            QCOMPARE(b.sim.requests(), (QStringList{fw, edidMode, inputSelect}));
            QCOMPARE(b.f.ui.updateCurrentFirmware->text(), version);
            QCOMPARE(b.f.ui.versionInfo->toPlainText(), QString::fromLatin1(reply));
            QCOMPARE(firmwareRead.count(), 1);
        }
    }

    // Replies no unit should send, to the input-resolution query of the System page: no prompt
    // (a time-out ends the chain), or a prompt around something that is no value (the field is
    // left alone, the chain goes on).
    void hostileReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("partial"); // -1: the whole reply goes out
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("chainGoesOn");
        QTest::addColumn<QString>("status");
        const QString unread = QStringLiteral("Unexpected reply to ") + inputRes;
        QTest::newRow("garbage") << SimRule::defaultGarbage() << -1 << "before" << false << Scaler::noResponseMessage();
        QTest::newRow("garbage and prompt") << SimRule::defaultGarbage() + ">" << -1 << "before" << true << unread;
        QTest::newRow("truncated") << QByteArray("INPUT RESOLUTION IS 800x600 60Hz\r\n>") << 22 << "before" << false
                                   << Scaler::noResponseMessage();
        QTest::newRow("oversized value") << "INPUT RESOLUTION IS " + QByteArray(8000, 'X') + "\r\n>" << -1 << "before"
                                         << true << unread;
        QTest::newRow("oversized reply") << QByteArray(8000, 'Y') + "\r\n>" << -1 << "before" << true << unread;
        QTest::newRow("junk after the value") << QByteArray("INPUT RESOLUTION IS 800x600 60Hz\r\nJUNK\x01\r\n>") << -1
                                              << "800x600 60Hz" << true << QString();
        QTest::newRow("echo before the value") << QByteArray("#GET_INPUT_RESOLUTION\rINPUT RESOLUTION IS 800x600 60Hz\r\n>")
                                               << -1 << "800x600 60Hz" << true << QString();
    }

    void hostileReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, partial);
        QFETCH(QString, shown);
        QFETCH(bool, chainGoesOn);
        QFETCH(QString, status);
        Bench b{ScalerSim::Model::Dvi};
        SET_UP(b);
        b.f.ui.scalerInputRes->setText(QStringLiteral("before"));
        SimRule rule = SimRule::exact(inputRes).reply(reply);
        if (partial >= 0)
            rule.partial(partial);
        b.sim.addRule(rule);

        QVERIFY(b.run(Chain::System));
        QCOMPARE(b.f.ui.scalerInputRes->text(), shown);
        QCOMPARE(b.sim.requests().size(), chainGoesOn ? 6 : 3);
        QCOMPARE(b.f.status(), status);
    }

    // A preset is asked once per tab until the page's Refresh; the Refresh asks the current one
    // again and every other one once more when its tab opens. A preset whose read failed is asked
    // again when its tab opens next.
    void timingPresetRules()
    {
        Bench b{ScalerSim::Model::Dvi};
        SET_UP(b);
        QTabWidget* presetTabs = b.f.ui.timingPresets;
        QTabWidget* pages = b.f.ui.ConfiguratorTabs;
        QStringList expected;
        auto step = [&](const std::function<void()>& act, const QString& asked) {
            act();
            if (!asked.isEmpty())
                expected << asked;
            return b.settle() && b.sim.requests() == expected;
        };
        auto preset = [](int n) { return QStringLiteral("#GET_TIMING_PRESET %1").arg(n); };

        QVERIFY(step([&] { pages->setCurrentIndex(5); }, preset(0)));
        QVERIFY(step([&] { pages->setCurrentIndex(7); }, QString()));
        QVERIFY(step([&] { pages->setCurrentIndex(5); }, QString()));
        QVERIFY(step([&] { presetTabs->setCurrentIndex(3); }, preset(3)));
        QVERIFY(step([&] { presetTabs->setCurrentIndex(0); }, QString()));
        QVERIFY(step([&] { presetTabs->setCurrentIndex(3); }, QString()));
        QVERIFY(step([&] { b.f.ui.refreshTimings->click(); }, preset(3)));
        QVERIFY(step([&] { presetTabs->setCurrentIndex(0); }, preset(0)));
        QVERIFY(step([&] { presetTabs->setCurrentIndex(3); }, QString()));

        b.sim.addRule(SimRule::exact(preset(4)).silence().times(1));
        QVERIFY(step([&] { presetTabs->setCurrentIndex(4); }, preset(4)));
        QCOMPARE(b.f.status(), Scaler::noResponseMessage());
        QVERIFY(b.scaler()->presets.at(4)->isEnabledFlag());
        QVERIFY(step([&] { presetTabs->setCurrentIndex(0); }, QString()));
        QVERIFY(step([&] { presetTabs->setCurrentIndex(4); }, preset(4)));
        QVERIFY(!b.scaler()->presets.at(4)->isEnabledFlag());
    }

    // The reply goes to the preset that was asked, even when another preset tab is opened
    // while it is on its way.
    void presetReplyFillsTheAskedPreset()
    {
        // Real time: the reply, held back 300 ms so that the other tab opens meanwhile, must
        // still come within the query's 500 ms wait on a loaded machine.
        const double factor = TimeScale::factor();
        TimeScale::setFactor(qMax(factor, 1.0));
        const auto restore = qScopeGuard([factor] { TimeScale::setFactor(factor); });
        Bench b{ScalerSim::Model::Dvi};
        SET_UP(b);
        Scaler* s = b.scaler();
        QTabWidget* presetTabs = b.f.ui.timingPresets;
        {
            QSignalBlocker quiet(presetTabs);
            presetTabs->setCurrentIndex(2);
        }
        s->presets.at(4)->setEnabledFlag(false); // read already: opening its tab asks nothing
        auto askPresetTwoAndMoveOn = [&](const QByteArray& reply) {
            b.sim.clearRules();
            b.sim.addRule(SimRule::exact("#GET_TIMING_PRESET 2").reply(reply).after(300));
            QTimer::singleShot(TimeScale::ms(100), presetTabs, [presetTabs] { presetTabs->setCurrentIndex(4); });
            s->presets.at(2)->setEnabledFlag(true);
            s->presetTabChanged(2);
            return b.settle();
        };

        // A reply without timing lines leaves the asked preset due, not the one now shown.
        QVERIFY(askPresetTwoAndMoveOn("Wrong command\r\n>"));
        QCOMPARE(presetTabs->currentIndex(), 4);
        QCOMPARE(b.sim.requests(), QStringList{"#GET_TIMING_PRESET 2"});
        QCOMPARE(b.f.status(), QStringLiteral("Unexpected reply to #GET_TIMING_PRESET 2"));
        QVERIFY(s->presets.at(2)->isEnabledFlag());

        // A good reply fills preset 2's editor (its active width, 1888, is its own).
        {
            QSignalBlocker quiet(presetTabs);
            presetTabs->setCurrentIndex(2);
        }
        b.sim.clearLog();
        const QByteArray timing = (b.sim.setting("TIMING_PRESET 2") + "\r\n>").toLatin1();
        QVERIFY(askPresetTwoAndMoveOn(timing));
        QCOMPARE(b.sim.requests(), QStringList{"#GET_TIMING_PRESET 2"});
        QVERIFY(!s->presets.at(2)->isEnabledFlag());
        QCOMPARE(b.sim.presetField(2, "Hor Active"), QStringLiteral("1888"));
        auto shows = [](TimingPreset* p, const QString& text) {
            for (QAbstractSpinBox* box : p->value()->findChildren<QAbstractSpinBox*>()) {
                if (box->text() == text)
                    return true;
            }
            return false;
        };
        if (!s->presets.at(2)->value())
            QSKIP("the preset editor is not built yet: which editor shows the reply cannot be seen");
        QVERIFY(shows(s->presets.at(2), QStringLiteral("1888")));
        QVERIFY(!shows(s->presets.at(4), QStringLiteral("1888")));
    }

    // After an output-resolution command the page shows what the unit confirms; a refusal is a
    // failure on the status bar; the record and the page lock are left alone.
    void outputResolutionCommandReply_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("error");
        QTest::newRow("confirmed") << QByteArray("OUTPUT RESOLUTION IS 1920x1080 RB") << "1920x1080 RB" << "" << false;
        QTest::newRow("set to") << QByteArray("OUTPUT RESOLUTION SET TO 800x600 60Hz") << "800x600 60Hz"
                                << "OUTPUT RESOLUTION SET TO 800x600 60Hz" << false;
        QTest::newRow("refused") << QByteArray("Wrong parameter") << "before" << "Command failed." << true;
    }

    void outputResolutionCommandReply()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, shown);
        QFETCH(QString, status);
        QFETCH(bool, error);
        Bench b{ScalerSim::Model::Dvi};
        SET_UP(b);
        Scaler* s = b.scaler();
        b.f.ui.scalerOutputRes->setText(QStringLiteral("before"));
        b.sim.addRule(SimRule::prefix("#SET_OUTPUT_RES").reply(reply + "\r\n>"));
        QObject::disconnect(s, SIGNAL(commandComplete()), nullptr, nullptr);
        QObject::connect(s, SIGNAL(commandComplete()), s, SLOT(parseOutputResolution()));
        s->sendCommand(QStringLiteral("#SET_OUTPUT_RES"), QStringLiteral("17"), QString(), 500);
        QTRY_COMPARE(b.f.ui.scalerOutputRes->text(), shown);
        QTRY_COMPARE(b.f.status(), status);
        if (!status.isEmpty())
            QCOMPARE(b.f.statusIsError(), error);
        QCOMPARE(s->currentOutputResGroup->checkedText(), shown == "before" ? QString() : shown);
        QCOMPARE(s->availability, int(Scaler::AVAILABLE));
        QVERIFY(s->settings->outputResolution.isEmpty());
    }
};

PLEXA_TEST_MAIN(TestScalerReadback)
#include "tst_scaler_readback.moc"

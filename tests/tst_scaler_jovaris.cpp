// The Jovaris, Norrith and Surrow pages against the simulated unit (echo on unless a test says
// otherwise; confirmations in the unit's own words or by repeating the line): what each page's
// read-back asks per model and input, how replies are read (signs, the baud index, pass-through,
// modes and versions that make no sense), the command of every page widget,
// the slider/spin-box pairs ending with the unit on the page's value, the link rate following a
// baud change, and the restart waits of a factory reset and a reboot.
#include "plexatest.h"
#include "scalerfixture.h"
#include "constants.h"
#include "jovarissim.h"
#include "mybuttongroup.h"
#include "scaler.h"
#include "scripteddialogs.h"
#include "serialports.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSerialPort>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QRegularExpression>
#include <QWheelEvent>

#include <memory>

namespace {

using Model = JovarisSim::Model;

// A unit of `model` on a pty and the real controller with its product picked and its port and
// factory rate known, as the hub leaves them.
struct Bench {
    explicit Bench(Model model)
        : sim(model)
    {
        started = sim.start();
        f.selectProductText(JovarisSim::modelName(model) + QStringLiteral(" Transmitter"));
        f.scaler->serialPortName = sim.portName();
        f.scaler->baudRateText = QString::number(JovarisSim::factoryRate(model));
    }
    bool linkReleased() const
    {
        return f.scaler->availability == Scaler::AVAILABLE && f.ui.ConfiguratorTabs->isEnabled()
               && !f.scaler->serialPort->isOpen();
    }
    // Checks one routing button as the routing page would have left it.
    void route(const QString& input)
    {
        const QMap<QString, QPushButton*> buttons {{"H", f.ui.routingHDMI},
                                                   {"V", f.ui.routingVGA},
                                                   {"DP", f.ui.routingDisplayport},
                                                   {"D", f.ui.routingDvi}};
        for (QPushButton* b : buttons)
            b->setChecked(false);
        if (buttons.contains(input))
            buttons.value(input)->setChecked(true);
    }
    template <typename T>
    T* widget(const QString& name)
    {
        return f.window.findChild<T*>(name);
    }
    QStringList sets() const
    {
        QStringList lines;
        for (const QString& line : sim.requests()) {
            if (!line.startsWith(QLatin1String("#GET_")))
                lines << line;
        }
        return lines;
    }

    bool started = false;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope {dialogs};
    ScalerFixture f;
    JovarisSim sim;
};

QStringList words(const char* text)
{
    return QString::fromLatin1(text).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

} // namespace

class TestScalerJovaris : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SerialPortLister::setSystemPortsListed(false);
        // Real time: a simulated unit's reply must come within the family sender's 300 ms wait
        // (stretched to 1000 ms for silence), across its thread and a pty on a loaded machine.
        TimeScale::setFactor(1.0);
    }

    // ---- Read-back ----------------------------------------------------------------------------

    // What each page asks, per model and selected input.
    void pageQueries_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("input"); // routing route of the unit / routing button checked
        QTest::addColumn<QString>("edidMode");
        QTest::addColumn<QStringList>("queries");
        const int jovaris = int(Model::Jovaris);
        const int norrith = int(Model::Norrith);
        const int surrow = int(Model::Surrow);
        const QString routeBase = "S,#GET_FIRMWARE_VERSION,#GET_AUTO_SWITCH";
        QTest::newRow("routing, Jovaris") << jovaris << "routing" << "H" << "1"
                                          << words("S,#GET_FIRMWARE_VERSION,#GET_AUTO_SWITCH,#GET_VOL,#GET_MUTE");
        QTest::newRow("routing, Norrith on VGA") << norrith << "routing" << "V" << "1" << words("S,#GET_FIRMWARE_VERSION,#GET_AUTO_SWITCH");
        QTest::newRow("routing, Surrow on VGA") << surrow << "routing" << "V" << "1"
                                                << words("S,#GET_FIRMWARE_VERSION,#GET_AUTO_SWITCH,#GET_INPUT_MODE V");
        QTest::newRow("routing, Surrow on DVI")
            << surrow << "routing" << "D" << "1"
            << words("S,#GET_FIRMWARE_VERSION,#GET_AUTO_SWITCH,#GET_INPUT_MODE D,#GET_DVI_AUDIO");
        QTest::newRow("routing, Surrow on HDMI") << surrow << "routing" << "H" << "1" << words("S,#GET_FIRMWARE_VERSION,#GET_AUTO_SWITCH");
        QTest::newRow("setup, Jovaris on HDMI") << jovaris << "setup" << "H" << "1" << words("#GET_INPUT_HDCP");
        QTest::newRow("setup, Jovaris on VGA") << jovaris << "setup" << "V" << "1" << words("#GET_INPUT_HDCP,#GET_OUTPUT_RES");
        QTest::newRow("setup, Surrow on DVI")
            << surrow << "setup" << "D" << "1"
            << words("#GET_INPUT_HDCP,#GET_OUTPUT_RES,#GET_PICTURE_MODE,#GET_CONTRAST,#GET_BRIGHTNESS,#GET_SATURATION,"
                     "#GET_SHARPNESS");
        QTest::newRow("VGA, Jovaris on HDMI") << jovaris << "vga" << "H" << "1" << QStringList();
        QTest::newRow("VGA, Jovaris on VGA") << jovaris << "vga" << "V" << "1" << words("#GET_AUTO_SYNC,#GET_PHASE,#GET_CLOCK");
        QTest::newRow("VGA, Norrith on VGA")
            << norrith << "vga" << "V" << "1"
            << words("#GET_AUTO_SYNC,#GET_PHASE,#GET_CLOCK,#GET_COLOR_BALANCE 0,#GET_COLOR_TEMP,#GET_ASPECT,"
                     "#GET_POLARITY 0,#GET_IMAGE_ADJ 0,#GET_IMAGE_STRETCH 0");
        QTest::newRow("VGA, Surrow on DVI") << surrow << "vga" << "D" << "1"
                                            << words("#GET_COLOR_BALANCE 0,#GET_COLOR_TEMP,#GET_ASPECT");
        QTest::newRow("system, Jovaris") << jovaris << "system" << "H" << "1" << words("#GET_RS232_MODE,#GET_RS232_BAUD");
        QTest::newRow("system, Norrith") << norrith << "system" << "H" << "1" << words("#GET_RS232_MODE");
        QTest::newRow("system, Surrow") << surrow << "system" << "H" << "1"
                                        << words("#GET_RS232_MODE,#GET_IR_MODE,#GET_RS232_BAUD");
        QTest::newRow("EDID, Jovaris custom") << jovaris << "edid" << "H" << "4" << words("#GET_EDID_MODE,#GET_EDID_LOCK");
        QTest::newRow("EDID, Norrith mode 4") << norrith << "edid" << "H" << "4" << words("#GET_EDID_MODE");
        QTest::newRow("EDID, Norrith custom") << norrith << "edid" << "DP" << "6" << words("#GET_EDID_MODE,#GET_EDID_LOCK");
        QTest::newRow("EDID, Jovaris on VGA") << jovaris << "edid" << "V" << "4" << QStringList();
        QTest::newRow("EDID, Surrow on DVI") << surrow << "edid" << "D" << "1" << QStringList();
    }

    void pageQueries()
    {
        QFETCH(int, model);
        QFETCH(QString, page);
        QFETCH(QString, input);
        QFETCH(QString, edidMode);
        QFETCH(QStringList, queries);
        Bench b {Model(model)};
        QVERIFY(b.started);
        b.sim.setSetting("ROUTE", input);
        b.sim.setSetting("EDID_MODE", edidMode);
        b.route(input);
        Scaler& s = *b.f.scaler;
        if (page == "routing")
            s.refreshJOVARIS_routingPage();
        else if (page == "setup")
            s.refreshJOVARIS_setupPage();
        else if (page == "vga")
            s.refreshJOVARIS_vgaPage();
        else if (page == "system")
            s.refreshJOVARIS_systemPage();
        else
            s.refreshJOVARIS_edidPage();
        QCOMPARE(b.sim.requests(), queries);
        QVERIFY(b.dialogs.shown().isEmpty());
        if (!queries.isEmpty())
            QVERIFY(b.linkReleased());
        // Nothing a read-back writes into a level widget turns into a command.
        QCOMPARE(b.sets(), queries.filter(QRegularExpression("^[^#]")));
    }

    // Words read by position: signs, the route, versions, the baud index, EDID modes.
    void routingReadsTheUnit()
    {
        Bench b {Model::Surrow};
        b.sim.setSetting("ROUTE", "D");
        b.sim.setSetting("INPUT_MODE D", "1");
        b.sim.setSetting("DVI_AUDIO", "2");
        b.sim.setSetting("AUTO_SWITCH", "0");
        b.sim.setSetting("FIRMWARE_VERSION", "2.3.4b");
        b.f.scaler->refreshJOVARIS_routingPage();
        QVERIFY(b.f.ui.routingDvi->isChecked() && !b.f.ui.routingHDMI->isChecked());
        QVERIFY(b.f.ui.inputModeYPbPr->isChecked() && b.f.ui.inputModeDvi->isEnabled());
        QVERIFY(b.f.ui.dviAudioExternal->isChecked() && !b.f.ui.dviAudioEmbedded->isChecked());
        QVERIFY(b.f.ui.routingASDisable->isChecked());
        QCOMPARE(b.f.ui.updateCurrentFirmware_2->text(), QStringLiteral("2.3.4B"));
        QCOMPARE(b.f.ui.ConfiguratorTabs->tabText(2), QStringLiteral("DVI/VGA"));
        QVERIFY(!b.f.ui.dviAudioEmbedded->isHidden());

        // A Jovaris gives its version as the second of three words, cut at the line end.
        Bench j {Model::Jovaris};
        j.sim.setSetting("VOL", "37");
        j.sim.setSetting("MUTE", "1");
        j.f.scaler->refreshJOVARIS_routingPage();
        QCOMPARE(j.f.ui.versionInfo->toPlainText(), QStringLiteral("1.0.2"));
        QCOMPARE(j.f.ui.routingVolume->value(), 37);
        QCOMPARE(j.f.ui.routingSlider->value(), 37);
        QVERIFY(j.f.ui.routingMEnable->isChecked());
        QVERIFY(j.sets() == QStringList {"S"});
    }

    // A version reply with no words leaves the version shown; a route the page does not know
    // checks nothing; a unit that does not answer the key query gets the connection box.
    void routingOddReplies()
    {
        Bench b {Model::Norrith};
        b.f.ui.updateCurrentFirmware_2->setText("9.9");
        b.sim.setSetting("ROUTE", "X");
        b.sim.addRule(SimRule::exact("#GET_FIRMWARE_VERSION").reply("\r\n>"));
        b.f.scaler->refreshJOVARIS_routingPage();
        QCOMPARE(b.f.ui.updateCurrentFirmware_2->text(), QStringLiteral("9.9"));
        for (QPushButton* r : {b.f.ui.routingHDMI, b.f.ui.routingVGA, b.f.ui.routingDisplayport, b.f.ui.routingDvi})
            QVERIFY(!r->isChecked());
        QVERIFY(b.dialogs.shown().isEmpty());

        b.sim.addRule(SimRule::exact("#GET_AUTO_SWITCH").silence());
        b.f.scaler->refreshJOVARIS_routingPage();
        QCOMPARE(b.dialogs.shown().size(), 1);
        QCOMPARE(b.dialogs.shown().first().title, QStringLiteral("Connection Error"));
        QCOMPARE(b.dialogs.shown().first().text, QStringLiteral("Device is disconnected."));
        QVERIFY(!b.f.ui.routingASEnable->isEnabled());
        QVERIFY(b.linkReleased());
    }

    void vgaPageSignsAndSwitches()
    {
        Bench b {Model::Norrith};
        b.sim.setSetting("IMAGE_STRETCH", "W - 5 H + 3");
        b.sim.setSetting("POLARITY", "H - V +");
        b.sim.setSetting("IMAGE_ADJ", "4 5 6");
        b.sim.setSetting("COLOR_BALANCE", "10 20 30");
        b.sim.setSetting("COLOR_TEMP", "4");
        b.sim.setSetting("AUTO_SYNC", "0");
        b.route("V");
        b.f.scaler->refreshJOVARIS_vgaPage();
        QCOMPARE(b.f.ui.vgaStretchH->value(), -5);
        QCOMPARE(b.f.ui.vgaStretchV->value(), 3);
        QVERIFY(b.f.ui.vgaHorizontalMinus->isChecked() && b.f.ui.vgaVerticalPlus->isChecked());
        QCOMPARE(b.f.ui.vgaAdjustRight->value(), 6);
        QCOMPARE(b.f.ui.vgaCBGSlider->value(), 20);
        QCOMPARE(b.f.ui.vgaCBB->value(), 30);
        QVERIFY(b.f.ui.vgaUser->isChecked() && b.f.ui.vgaCBR->isEnabled());
        QVERIFY(b.f.ui.vgaDisable->isChecked() && b.f.ui.vgaStretchH->isEnabled());
        QVERIFY(b.sets().isEmpty());
    }

    // The unit's baud index checks its button; an index off the list checks none.
    void systemPageBaudIndex_data()
    {
        QTest::addColumn<QString>("index");
        QTest::addColumn<QString>("checked");
        QTest::newRow("0 is 115200") << "0" << "systemBR1";
        QTest::newRow("5 is 4800") << "5" << "systemBR6";
        QTest::newRow("6 is 2400") << "6" << "systemBR7";
        QTest::newRow("7 is none") << "7" << "";
    }

    void systemPageBaudIndex()
    {
        QFETCH(QString, index);
        QFETCH(QString, checked);
        Bench b {Model::Jovaris};
        b.sim.setSetting("RS232_BAUD", index);
        b.f.ui.systemBR2->setChecked(true);
        b.f.scaler->refreshJOVARIS_systemPage();
        for (int i = 1; i <= 7; ++i) {
            auto* button = b.widget<QPushButton>(QStringLiteral("systemBR%1").arg(i));
            QCOMPARE(button->isChecked(), button->objectName() == checked);
        }
        QVERIFY(b.f.ui.irmodePass->isHidden());
    }

    // A Surrow set to pass-through hands its link on: the command is confirmed, then the unit is
    // silent, and the page offers only the mode pair until the link is taken back.
    void surrowPassThrough()
    {
        Bench b {Model::Surrow};
        b.f.scaler->refreshJOVARIS_systemPage();
        QVERIFY(!b.f.ui.irmodePass->isHidden());
        b.f.ui.systemPT->click();
        QCOMPARE(b.f.status(), QStringLiteral("Setting updated."));
        QVERIFY(!b.f.ui.systemBR1->isEnabled() && b.f.ui.systemCFR->isEnabled());

        b.f.scaler->refreshJOVARIS_systemPage();
        QCOMPARE(b.dialogs.shown().size(), 1);
        QCOMPARE(b.dialogs.shown().first().text,
                 QStringLiteral("Device is disconnected or RS232 mode is set to Pass-through."));
        QVERIFY(b.f.ui.systemPT->isChecked() && b.f.ui.systemPT->isEnabled() && !b.f.ui.systemBR1->isEnabled());

        // Taking the link back: the rate probe finds nothing in pass-through, the saved rate is
        // kept and the command gets through.
        b.sim.clearLog();
        b.f.ui.systemCFR->click();
        QCOMPARE(b.sim.requests().filter(QRegularExpression("^[^#]|^#[^H]")),
                 words("#SET_RS232_MODE 2,#GET_RS232_MODE,#GET_IR_MODE,#GET_RS232_BAUD"));
        QCOMPARE(b.f.scaler->baudRateText, QStringLiteral("19200"));
        QVERIFY(b.f.ui.systemCFR->isChecked() && b.f.ui.systemBR1->isEnabled());
        QCOMPARE(b.f.ui.systemCFR->text(), QStringLiteral("Control the Sender"));
        QVERIFY(b.linkReleased());
    }

    // The EDID page: the model's list, the custom mode's lock, a mode off the list checks nothing;
    // the mode buttons and the lock buttons send their commands.
    void edidPage()
    {
        Bench b {Model::Jovaris};
        b.sim.setSetting("EDID_MODE", "4");
        b.sim.setSetting("EDID_LOCK", "1");
        b.f.scaler->refreshJOVARIS_edidPage();
        QVERIFY(b.f.scaler->edidModeGroup);
        QCOMPARE(b.f.scaler->edidModeGroup->checkedText(), JOVARIS_EDID_MODE_CHOICES.last());
        QVERIFY(b.f.scaler->edidLockButton->isChecked() && b.f.scaler->edidLockButton->isEnabled());
        QVERIFY(b.f.ui.uploadBrowse->isEnabled() && !b.f.ui.uploadButton->isEnabled());

        b.sim.clearLog();
        b.f.scaler->edidUnlockButton->click();
        QCOMPARE(b.sim.requests(), QStringList {"#SET_EDID_LOCK 0"});
        QVERIFY(b.f.scaler->edidUnlockButton->isChecked() && !b.f.scaler->edidLockButton->isChecked());

        // The second button sends mode 2; off the custom mode the lock and upload are shut.
        b.sim.clearLog();
        b.f.scaler->edidModeGroup->buttonGroup()->buttons().at(1)->click();
        QCOMPARE(b.sim.requests(), QStringList {"#SET_EDID_MODE 2"});
        QCOMPARE(b.f.status(), QStringLiteral("Setting updated"));
        QVERIFY(!b.f.scaler->edidLockButton->isEnabled() && !b.f.ui.uploadBrowse->isEnabled());
        QCOMPARE(b.sim.setting("EDID_MODE"), QStringLiteral("2"));

        // Back to the custom mode: the lock is read again.
        b.sim.clearLog();
        b.f.scaler->edidModeGroup->buttonGroup()->buttons().at(3)->click();
        QCOMPARE(b.sim.requests(), words("#SET_EDID_MODE 4,#GET_EDID_LOCK"));
        QVERIFY(b.f.scaler->edidUnlockButton->isEnabled() && b.f.ui.uploadButton->isEnabled());

        // A mode the list does not have: nothing checked, nothing read past the list.
        b.sim.setSetting("EDID_MODE", "9");
        b.sim.clearLog();
        b.f.ui.refreshEDIDModes->click();
        QCOMPARE(b.sim.requests(), QStringList {"#GET_EDID_MODE"});
        b.f.scaler->refreshJOVARIS_edidPage();
        QCOMPARE(b.f.scaler->edidModeGroup->checkedText(), QString());
        QVERIFY(!b.f.scaler->edidLockButton->isEnabled());

        // A refused mode is reported and changes no control.
        b.sim.addRule(SimRule::prefix("#SET_EDID_MODE").reply("WRONG_PARAMETER\r\n>"));
        b.f.scaler->edidModeGroup->buttonGroup()->buttons().at(3)->click();
        QCOMPARE(b.f.status(), QStringLiteral("Command failed. Restart unit and try again."));
        QVERIFY(b.f.statusIsError());
        QVERIFY(!b.f.scaler->edidLockButton->isEnabled());
        QVERIFY(b.linkReleased());
    }

    // ---- Commands -----------------------------------------------------------------------------

    // The line each page widget puts on the wire (queries of the row included).
    void widgetCommands_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("input"); // routing button checked first
        QTest::addColumn<int>("value");     // for sliders and spin boxes; else the widget is clicked
        QTest::addColumn<QStringList>("lines");
        const int j = int(Model::Jovaris);
        const int n = int(Model::Norrith);
        const int s = int(Model::Surrow);
        const int click = INT_MIN;
        QTest::newRow("HDMI") << j << "routingHDMI" << "V" << click << words("V H");
        QTest::newRow("HDMI, Surrow") << s << "routingHDMI" << "V" << click << words("R H");
        QTest::newRow("DisplayPort") << n << "routingDisplayport" << "H" << click << words("V DP");
        QTest::newRow("VGA") << j << "routingVGA" << "H" << click << words("#GET_INPUT_MODE V,V V");
        QTest::newRow("DVI") << n << "routingDvi" << "H" << click << words("#GET_INPUT_MODE D,#GET_DVI_AUDIO,V D");
        QTest::newRow("DVI, Surrow") << s << "routingDvi" << "H" << click << words("#GET_INPUT_MODE D,#GET_DVI_AUDIO,R D");
        QTest::newRow("YPbPr on DVI") << s << "inputModeYPbPr" << "D" << click << words("#SET_INPUT_MODE D 1");
        QTest::newRow("YPbPr on VGA") << s << "inputModeYPbPr" << "V" << click << words("#SET_INPUT_MODE V 1");
        QTest::newRow("VGA mode") << s << "inputModeDvi" << "D" << click << words("#SET_INPUT_MODE D 3");
        QTest::newRow("DVI audio") << s << "dviAudioExternal" << "D" << click << words("#SET_DVI_AUDIO 2");
        QTest::newRow("auto switch") << j << "routingASEnable" << "H" << click << words("#SET_AUTO_SWITCH 1");
        QTest::newRow("mute off") << j << "routingMDisable" << "H" << click << words("#SET_MUTE 0");
        QTest::newRow("volume box") << j << "routingVolume" << "H" << 33 << words("#SET_VOL 33");
        QTest::newRow("HDCP on") << j << "setupOn" << "H" << click << words("#SET_INPUT_HDCP 2");
        QTest::newRow("picture mode") << s << "setupVivid" << "V" << click << words("#SET_PICTURE_MODE 3");
        QTest::newRow("contrast slider") << s << "setupContrastSlider" << "V" << 70 << words("#SET_CONTRAST 70");
        QTest::newRow("sharpness box") << s << "setupSharpnessValue" << "V" << 9 << words("#SET_SHARPNESS 9");
        QTest::newRow("auto sync on") << j << "vgaEnable" << "V" << click << words("#SET_AUTO_SYNC 1");
        QTest::newRow("auto sync off, Norrith")
            << n << "vgaDisable" << "V" << click << words("#SET_AUTO_SYNC 0,#GET_IMAGE_STRETCH 0,#GET_IMAGE_ADJ 0");
        QTest::newRow("auto sync off, Jovaris") << j << "vgaDisable" << "V" << click << words("#SET_AUTO_SYNC 0");
        QTest::newRow("auto-sync now") << j << "vgaAutosync" << "V" << click << words("#AUTO_SYNC");
        QTest::newRow("phase slider") << j << "vgaPSlider" << "V" << 12 << words("#SET_PHASE 12");
        QTest::newRow("clock box") << j << "vgaClock" << "V" << 40 << words("#SET_CLOCK 40");
        QTest::newRow("green slider") << n << "vgaCBGSlider" << "V" << 12 << words("#SET_COLOR_BALANCE G 12");
        QTest::newRow("blue box") << n << "vgaCBB" << "V" << 77 << words("#SET_COLOR_BALANCE B 77");
        QTest::newRow("colour temperature") << n << "vgaUser" << "V" << click << words("#SET_COLOR_TEMP 4");
        QTest::newRow("aspect") << n << "vgaAspect2" << "V" << click << words("#SET_ASPECT 2");
        QTest::newRow("polarity H") << n << "vgaHorizontalMinus" << "V" << click << words("#SET_POLARITY H -");
        QTest::newRow("polarity V") << n << "vgaVerticalPlus" << "V" << click << words("#SET_POLARITY V +");
        QTest::newRow("adjust left") << n << "vgaAdjustLeft" << "V" << 4 << words("#SET_IMAGE_ADJ L 4");
        QTest::newRow("stretch, negative") << n << "vgaStretchH" << "V" << -3 << words("#SET_IMAGE_STRETCH W - 3");
        QTest::newRow("stretch, positive") << n << "vgaStretchV" << "V" << 2 << words("#SET_IMAGE_STRETCH H + 2");
        QTest::newRow("RS-232 control") << j << "systemCFR" << "H" << click << words("#SET_RS232_MODE 2");
        QTest::newRow("IR mode") << s << "irmodeControl" << "H" << click << words("#SET_IR_MODE 2");
        QTest::newRow("baud 4800") << j << "systemBR6" << "H" << click << words("#SET_RS232_BAUD 5");
    }

    void widgetCommands()
    {
        QFETCH(int, model);
        QFETCH(QString, name);
        QFETCH(QString, input);
        QFETCH(int, value);
        QFETCH(QStringList, lines);
        Bench b {Model(model)};
        b.route(input);
        QWidget* w = b.widget<QWidget>(name);
        QVERIFY(w);
        w->setEnabled(true);
        if (auto* slider = qobject_cast<QSlider*>(w))
            slider->setValue(value);
        else if (auto* box = qobject_cast<QSpinBox*>(w))
            box->setValue(value);
        else
            qobject_cast<QAbstractButton*>(w)->click();
        QCOMPARE(b.sim.requests(), lines);
        QCOMPARE(b.f.status(), QStringLiteral("Setting updated."));
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            QVERIFY(button->isChecked() || name == "vgaAutosync");
        if (qobject_cast<QSpinBox*>(w))
            QVERIFY(w->isEnabled());
        QVERIFY(b.linkReleased());
    }

    // A unit may echo the line or not, and may confirm a setting with its own words or by
    // repeating the line: every way is a success, and the next command goes out at the same rate
    // without looking for it again.
    void confirmationsEitherWay_data()
    {
        QTest::addColumn<bool>("echo");
        QTest::addColumn<bool>("repeat");
        QTest::newRow("echo, own words") << true << false;
        QTest::newRow("echo, repetition") << true << true;
        QTest::newRow("no echo, own words") << false << false;
        QTest::newRow("no echo, repetition") << false << true;
    }
    void confirmationsEitherWay()
    {
        QFETCH(bool, echo);
        QFETCH(bool, repeat);
        Bench b {Model::Jovaris};
        b.sim.setEcho(echo);
        b.sim.setConfirmByRepetition(repeat);
        b.sim.setSetting("ROUTE", "V");
        b.route("V");
        b.f.ui.routingHDMI->click();
        QCOMPARE(b.f.status(), QStringLiteral("Setting updated."));
        QVERIFY(!b.f.statusIsError());
        QCOMPARE(b.sim.setting("ROUTE"), QStringLiteral("H"));

        b.f.ui.routingVolume->setEnabled(true);
        b.f.ui.routingVolume->setValue(40);
        QCOMPARE(b.f.status(), QStringLiteral("Setting updated."));
        QCOMPARE(b.sim.setting("VOL"), QStringLiteral("40"));
        // The page reads the unit the same whether it echoes or not.
        {
            const QSignalBlocker quiet(b.f.ui.routingVolume);
            b.f.ui.routingVolume->setValue(0);
        }
        b.f.ui.routingHDMI->setChecked(false);
        b.f.scaler->refreshJOVARIS_routingPage();
        QVERIFY(b.f.ui.routingHDMI->isChecked());
        QCOMPARE(b.f.ui.routingVolume->value(), 40);
        QCOMPARE(b.sim.requestCount("#HELP"), 0);
        QCOMPARE(b.sim.sets().size(), 2);
        QVERIFY(b.linkReleased());
    }

    // A refusal or silence is a failure whatever its words; nothing is sent while busy.
    void commandFailures()
    {
        Bench b {Model::Jovaris};
        b.sim.addRule(SimRule::exact("#SET_MUTE 1").reply("WRONG PARAMETER\r\n>"));
        b.f.ui.routingMEnable->click();
        QCOMPARE(b.f.status(), QStringLiteral("Failed updating. Try to power cycle device."));
        QVERIFY(b.f.statusIsError());

        // An answer of one word that is no refusal is a success.
        b.f.ui.vgaAutosync->click();
        QCOMPARE(b.f.status(), QStringLiteral("Setting updated."));

        b.sim.clearLog();
        b.f.scaler->availability = Scaler::OCCUPIED;
        b.f.ui.routingHDMI->click();
        QCOMPARE(b.f.status(), QStringLiteral("Device busy!!"));
        b.f.scaler->availability = Scaler::AVAILABLE;
        QTest::qWait(TimeScale::ms(200));
        QVERIFY(b.sim.requests().isEmpty());
    }

    // ---- Slider and spin-box pairs ------------------------------------------------------------

    // However the level changes, it is sent once with the new value, the partner follows and the
    // unit ends on what the page shows.
    void pairEndsOnPageValue_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("box, keyboard") << "boxKey";
        QTest::newRow("slider, keyboard") << "sliderKey";
        QTest::newRow("slider, page step") << "sliderPage";
        QTest::newRow("slider, wheel burst") << "sliderWheel";
        QTest::newRow("slider, drag") << "drag";
    }

    void pairEndsOnPageValue()
    {
        QFETCH(QString, how);
        Bench b {Model::Jovaris};
        QSlider* slider = b.f.ui.routingSlider;
        QSpinBox* box = b.f.ui.routingVolume;
        {
            const QSignalBlocker s(slider), x(box);
            slider->setValue(50);
            box->setValue(50);
        }
        b.f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&b.f.window));
        QStringList expected;
        if (how == "boxKey") {
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Up);
            expected = words("#SET_VOL 51");
        } else if (how == "sliderKey") {
            QTest::keyClick(slider, Qt::Key_Right);
            expected = words("#SET_VOL 51");
        } else if (how == "sliderPage") {
            QTest::keyClick(slider, Qt::Key_PageDown);
            expected = words("#SET_VOL 40");
        } else if (how == "sliderWheel") {
            // Three notches arrive while the first is being sent: the last value follows it.
            for (int i = 0; i < 3; ++i) {
                const QPoint at = slider->rect().center();
                QApplication::postEvent(slider, new QWheelEvent(at, slider->mapToGlobal(at), QPoint(), QPoint(0, 120),
                                                                Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false));
            }
        } else {
            slider->setSliderDown(true);
            for (int v : {55, 60, 65}) {
                slider->setSliderPosition(v);
                QCOMPARE(box->value(), v);
            }
            QVERIFY(b.sim.requests().isEmpty());
            slider->setSliderDown(false);
            expected = words("#SET_VOL 65");
        }
        QTRY_COMPARE_WITH_TIMEOUT(b.f.scaler->availability, int(Scaler::AVAILABLE), 10000);
        QTest::qWait(TimeScale::ms(300));
        QTRY_VERIFY(b.linkReleased());
        if (!expected.isEmpty())
            QCOMPARE(b.sim.requests(), expected);
        QVERIFY(slider->value() != 50);
        QCOMPARE(box->value(), slider->value());
        QCOMPARE(b.sim.setting("VOL"), QString::number(slider->value()));
        QVERIFY(b.sim.requests().size() <= 3);
    }

    // ---- Link rate ----------------------------------------------------------------------------

    // A confirmed baud change moves the link to the new rate; a refused one leaves it; a unit
    // that went quiet at the saved rate is looked for again at the next open.
    void baudChangeFollowedByNextOpen()
    {
        Bench b {Model::Jovaris};
        b.f.ui.systemBR5->click();
        QCOMPARE(b.f.scaler->baudRateText, QStringLiteral("9600"));
        QCOMPARE(b.sim.baudRate(), 9600);
        b.f.scaler->refreshJOVARIS_routingPage();
        QVERIFY(b.dialogs.shown().isEmpty());
        // The unit hears only 9600 now: the page read it there, without a probe.
        QVERIFY(b.f.ui.routingASEnable->isEnabled());
        QCOMPARE(b.sim.requestCount("#HELP"), 0);

        b.sim.addRule(SimRule::prefix("#SET_RS232_BAUD").reply("WRONG_PARAMETER\r\n>"));
        b.f.ui.systemBR2->click();
        QCOMPARE(b.f.scaler->baudRateText, QStringLiteral("9600"));
        QCOMPARE(b.f.status(), QStringLiteral("Failed updating. Try to power cycle device."));

        // Changed behind the page's back: the next read fails, the one after finds the rate.
        b.sim.setBaudRate(38400);
        b.f.scaler->refreshJOVARIS_systemPage();
        QCOMPARE(b.dialogs.shown().size(), 1);
        b.f.scaler->refreshJOVARIS_systemPage();
        QCOMPARE(b.f.scaler->baudRateText, QStringLiteral("38400"));
        QCOMPARE(b.dialogs.shown().size(), 1);
        QVERIFY(b.f.ui.systemBR1->isEnabled());
        QVERIFY(b.linkReleased());
    }

    // ---- Restart waits ------------------------------------------------------------------------

    // A factory reset and a reboot wait until the unit answers again (not the whole 20 s), then
    // say "Done."; the reset finds the unit at its factory rate and reads the pages again.
    void restartWaits_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("name");
        QTest::newRow("factory reset, Jovaris at 57600") << int(Model::Jovaris) << "systemFR";
        QTest::newRow("reboot, Norrith") << int(Model::Norrith) << "systemReboot";
        QTest::newRow("reboot, Jovaris") << int(Model::Jovaris) << "systemReboot";
    }

    void restartWaits()
    {
        QFETCH(int, model);
        QFETCH(QString, name);
        Bench b {Model(model)};
        b.sim.setRestartTime(3000);
        if (name == "systemFR") {
            b.sim.setBaudRate(57600);
            b.f.scaler->baudRateText = "57600";
        }
        QElapsedTimer clock;
        clock.start();
        b.widget<QPushButton>(name)->click();
        // The whole wait is 200 steps of 100 ms.
        QVERIFY(clock.elapsed() < TimeScale::ms(18000));
        QVERIFY(!b.sim.restarting());
        const QStringList asked = b.sim.requests();
        QVERIFY(asked.count("#GET_FIRMWARE_VERSION") >= 1);
        QCOMPARE(b.f.status(), QStringLiteral("Done."));
        if (name == "systemFR") {
            QCOMPARE(b.f.scaler->baudRateText, QStringLiteral("115200"));
            QVERIFY(asked.contains("#GET_AUTO_SWITCH") && asked.contains("#GET_RS232_BAUD"));
            QVERIFY(b.f.ui.systemBR1->isChecked());
            QVERIFY(b.dialogs.shown().isEmpty());
        }
        QVERIFY(b.linkReleased());
    }
};

PLEXA_TEST_MAIN(TestScalerJovaris)
#include "tst_scaler_jovaris.moc"

// The generic scaler's Picture and Adjust pages and its command slots against the real
// controller: whole-page replies read into the controls and the settings record (by model, out of
// place, hostile), the one-value read-back chains as a simulated unit sees them, and what each
// page control puts on the wire, with its result on the status bar.
#include "plexatest.h"
#include "connections.h"
#include "constants.h"
#include "formtestutil.h"
#include "localetest.h"
#include "mybuttongroup.h"
#include "myrangeeditor.h"
#include "scaler.h"
#include "scalerfixture.h"
#include "scalersim.h"
#include "serialports.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>

#include <functional>

namespace {

QString join(const QStringList& parts)
{
    return parts.join(QLatin1Char('|'));
}

QString n(int value)
{
    return QString::number(value);
}

// The Picture page as the user sees it: editors' values and the checked choices.
QString pictureControls(ScalerFixture& f)
{
    Scaler& s = *f.scaler;
    return join({n(s.contrastEditor->slider()->value()), n(s.brightnessEditor->slider()->value()),
                 n(s.saturationEditor->slider()->value()), n(s.hueEditor->slider()->value()),
                 s.colorRangeGroup->checkedText(), s.colorTempGroup->checkedText(),
                 n(s.redEditor->slider()->value()), n(s.greenEditor->slider()->value()),
                 n(s.blueEditor->slider()->value()), s.edgeEnhanceGroup->checkedText(),
                 n(s.sharpnessEditor->slider()->value())});
}

QString pictureRecord(const ScalerRecord& r)
{
    return join({n(r.contrast), n(r.brightness), n(r.saturation), n(r.hue), r.colorRange, r.colorTemperature,
                 n(r.colorBalanceRed), n(r.colorBalanceGreen), n(r.colorBalanceBlue), r.edgeEnhancement,
                 n(r.sharpness)});
}

// The Adjust page: scan, aspect, the two mirrors, the shifts, the phase, whether the phase is
// automatic and whether its slider can be used.
QString adjustControls(ScalerFixture& f)
{
    Scaler& s = *f.scaler;
    return join({n(s.scanEditor->slider()->value()), s.aspectRatioGroup->checkedText(),
                 n(f.ui.horizontalMirror->isChecked()), n(f.ui.verticalMirror->isChecked()),
                 n(s.horizontalShiftEditor->slider()->value()), n(s.verticalShiftEditor->slider()->value()),
                 n(s.phaseEditor->slider()->value()), n(f.ui.phaseAuto->isChecked()),
                 n(f.ui.phaseSlider->isEnabled() && f.ui.phaseText->isEnabled())});
}

QString adjustRecord(const ScalerRecord& r)
{
    return join({n(r.underOverscan), r.aspectRatio, n(r.horizontalMirror), n(r.verticalMirror), n(r.horizontalShift),
                 n(r.verticalShift), n(r.phase)});
}

// As a refresh slot leaves the page while its query is out.
void chainRunning(ScalerFixture& f)
{
    f.scaler->updating = true;
    f.ui.ConfiguratorTabs->setEnabled(false);
}

void verifyChainEnded(ScalerFixture& f)
{
    QVERIFY(!f.scaler->updating);
    QVERIFY(f.ui.ConfiguratorTabs->isEnabled());
    QCOMPARE(f.scaler->availability, int(Scaler::AVAILABLE));
}

const QString type4Picture = QStringLiteral(
    "PICTURE CONTRAST IS 61\r\nPICTURE BRIGHTNESS IS 52\r\nPICTURE SATURATION IS 43\r\nPICTURE HUE IS 34\r\n"
    "PICTURE COLOR TEMPERATURE IS WARM\r\nPICTURE COLOR BALANCE RED CHANNEL IS 25\r\n"
    "PICTURE COLOR BALANCE GREEN CHANNEL IS 16\r\nPICTURE COLOR BALANCE BLUE CHANNEL IS 9\r\n"
    "PICTURE EDGE ENHANCEMENT IS MAX\r\nPICTURE SHARPNESS IS 88");
const QString vgaPicture = QStringLiteral(
    "PICTURE CONTRAST IS 61\r\nPICTURE BRIGHTNESS IS 52\r\nPICTURE SATURATION IS 43\r\nPICTURE HUE IS 34\r\n"
    "PICTURE COLOR RANGE IS LIMITED\r\nPICTURE COLOR TEMPERATURE IS cool\r\n"
    "PICTURE COLOR BALANCE RED CHANNEL IS 25\r\nPICTURE COLOR BALANCE GREEN CHANNEL IS 16\r\n"
    "PICTURE COLOR BALANCE BLUE CHANNEL IS 9\r\nPICTURE EDGE ENHANCEMENT IS Off\r\nPICTURE SHARPNESS IS 88");

// A simulated scaler of `model`, picked as the hub picks it but without a page read-back, so a
// test sees only the lines its own actions send.
struct SimulatedScaler {
    ScalerFixture f;
    ScalerSim sim;

    explicit SimulatedScaler(ScalerSim::Model model)
        : sim(model)
    {
    }
    bool start()
    {
        if (!sim.start())
            return false;
        const QList<Device> devices = f.scaler->updateDeviceList();
        if (devices.size() != 1)
            return false;
        f.selectProductText(devices[0].name + QStringLiteral(", ") + devices[0].portName);
        // With no unit state yet the selection starts no page read-back.
        f.scaler->selectedProductChanged(devices[0]);
        f.scaler->setState(1);
        if (!selectionPingsArrived(sim))
            return false;
        sim.clearLog();
        return true;
    }
    // The lines the unit heard once `lines` came and the follow-up of the last one ran.
    QStringList settledRequests(int lines)
    {
        // A short list shows in the comparison that follows.
        (void)QTest::qWaitFor([&] { return sim.requests().size() >= lines; }, 5000);
        QTest::qWait(TimeScale::ms(200));
        return sim.requests();
    }
};

} // namespace

class TestScalerPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SerialPortLister::setSystemPortsListed(false);
        // The exchanges cross threads and a pty: a 500 ms wait must stay long enough for a
        // simulated unit's first byte under the sanitizers on a loaded machine.
        TimeScale::setFactor(qMax(TimeScale::factor(), 0.5));
    }

    // "#GET_PICTURE_SETTINGS": line N is read with the key of place N for the model, so a reply
    // in another model's order, or with a line in front, sets nothing past the lines that agree.
    void pictureReplyByModel_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("controls");
        QTest::addColumn<QString>("record");

        QTest::newRow("3GSDI order") << 4 << type4Picture << "61|52|43|34||Warm|25|16|9|Max|88"
                                     << "61|52|43|34||WARM|25|16|9|MAX|88";
        QTest::newRow("VGA to DVI order") << 5 << vgaPicture << "61|52|43|34|Limited|Cool|25|16|9|Off|88"
                                          << "61|52|43|34|LIMITED|cool|25|16|9|Off|88";
        QTest::newRow("VGA w/Audio order") << 6 << vgaPicture << "61|52|43|34|Limited|Cool|25|16|9|Off|88"
                                           << "61|52|43|34|LIMITED|cool|25|16|9|Off|88";
        QTest::newRow("3GSDI order on a VGA to DVI") << 5 << type4Picture << "61|52|43|34|||7|7|7||7"
                                                     << "61|52|43|34|||0|0|0||0";
        QTest::newRow("VGA order on the 3GSDI") << 4 << vgaPicture << "61|52|43|34|||7|7|7||7"
                                                << "61|52|43|34|||0|0|0||0";
        QTest::newRow("unknown model: first four") << 0 << vgaPicture << "61|52|43|34|||7|7|7||7"
                                                   << "61|52|43|34|||0|0|0||0";
        QTest::newRow("line in front") << 4 << QStringLiteral("PICTURE SETTINGS:\r\n") + type4Picture
                                       << "7|7|7|7|||7|7|7||7" << "0|0|0|0|||0|0|0||0";
        QTest::newRow("three lines") << 4 << type4Picture.section(QStringLiteral("\r\n"), 0, 2)
                                     << "61|52|43|7|||7|7|7||7" << "61|52|43|0|||0|0|0||0";
        QTest::newRow("empty") << 6 << QString() << "7|7|7|7|||7|7|7||7" << "0|0|0|0|||0|0|0||0";
        // Numbers for the controls are read unsigned, for the record as 16-bit signed; anything
        // else reads 0; a key found twice or not at all sets nothing; an unknown choice is kept
        // in the record only.
        QTest::newRow("hostile")
            << 4
            << QStringLiteral("PICTURE CONTRAST IS abc\n\nPICTURE BRIGHTNESS IS -5\rPICTURE SATURATION IS 99999\r\n"
                              "picture hue is 12\r\n"
                              "PICTURE COLOR TEMPERATURE IS PICTURE COLOR TEMPERATURE IS WARM\r\n"
                              "PICTURE COLOR BALANCE RED CHANNEL IS 4294967295\r\n"
                              "PICTURE COLOR BALANCE GREEN CHANNEL IS   12  \r\n"
                              "PICTURE COLOR BALANCE BLUE CHANNEL IS\r\n"
                              "PICTURE EDGE ENHANCEMENT IS Sideways\r\nPICTURE SHARPNESS IS 0x10\r\n"
                              "PICTURE CONTRAST IS 99")
            << "0|0|100|12|||100|12|7||0"
            << "0|-5|0|12|||0|12|0|Sideways|0";
    }

    void pictureReplyByModel()
    {
        QFETCH(int, type);
        QFETCH(QString, reply);
        QFETCH(QString, controls);
        QFETCH(QString, record);
        ScalerFixture f;
        f.scaler->selectedDevice.type = type;
        for (MyRangeEditor* e : {f.scaler->contrastEditor, f.scaler->brightnessEditor, f.scaler->saturationEditor,
                                 f.scaler->hueEditor, f.scaler->redEditor, f.scaler->greenEditor,
                                 f.scaler->blueEditor, f.scaler->sharpnessEditor})
            e->setValue(7);
        chainRunning(f);
        f.scaler->replyText = reply;
        f.scaler->parsePictureData();
        QCOMPARE(pictureControls(f), controls);
        QCOMPARE(pictureRecord(*f.scaler->settings), record);
        verifyChainEnded(f);
    }

    // Only "User" lets the unit take a sharpness: any other edge enhancement read back locks the
    // sharpness controls; "User" (any case) leaves them as the last command set them.
    void edgeEnhancementReadBackLocksSharpness_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("before");
        QTest::addColumn<bool>("after");
        QTest::newRow("Mid") << "Mid" << true << false;
        QTest::newRow("OFF") << "OFF" << true << false;
        QTest::newRow("unknown value") << "Soft" << true << false;
        QTest::newRow("USER keeps enabled") << "USER" << true << true;
        QTest::newRow("user keeps disabled") << "user" << false << false;
    }

    void edgeEnhancementReadBackLocksSharpness()
    {
        QFETCH(QString, value);
        QFETCH(bool, before);
        QFETCH(bool, after);
        ScalerFixture f;
        f.scaler->selectedDevice.type = 4;
        f.ui.sharpnessSlider->setEnabled(before);
        f.ui.sharpnessText->setEnabled(before);
        f.scaler->replyText = type4Picture.section(QStringLiteral("\r\n"), 0, 7) + QStringLiteral("\r\n")
                              + QStringLiteral("PICTURE EDGE ENHANCEMENT IS ") + value;
        f.scaler->parsePictureData();
        QCOMPARE(f.ui.sharpnessSlider->isEnabled(), after);
        QCOMPARE(f.ui.sharpnessText->isEnabled(), after);
    }

    // "#GET_VIDEO_SETTINGS": seven lines in a fixed order; "off" and "auto" in any letter case.
    void adjustReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("controls");
        QTest::addColumn<QString>("record");

        // Before: scan, shifts and phase 7, horizontal mirror off, vertical mirror on, phase manual.
        QTest::newRow("numbers")
            << QStringLiteral("UNDER/OVER SCAN IS -12%\r\nASPECT RATIO IS STRETCH\r\nHORIZONTAL MIRROR IS ON\r\n"
                              "VERTICAL MIRROR IS OFF\r\nHORIZONTAL SHIFT IS -7\r\nVERTICAL SHIFT IS 100\r\nPHASE IS 23")
            << "-12|Stretch|1|0|-7|100|23|0|1" << "-12|STRETCH|1|0|-7|100|23";
        QTest::newRow("off and auto")
            << QStringLiteral("UNDER/OVER SCAN IS Off\r\nASPECT RATIO IS 4:3\r\nHORIZONTAL MIRROR IS 1\r\n"
                              "VERTICAL MIRROR IS off\r\nHORIZONTAL SHIFT IS OFF\r\nVERTICAL SHIFT IS oFF\r\nPHASE IS AUTO")
            << "0|4:3|1|0|0|0|1|1|0" << "0|4:3|1|0|0|0|0";
        QTest::newRow("auto in small letters, lines past seven ignored")
            << QStringLiteral("UNDER/OVER SCAN IS 50%\r\nASPECT RATIO IS source\r\nHORIZONTAL MIRROR IS OFF\r\n"
                              "VERTICAL MIRROR IS ON\r\nHORIZONTAL SHIFT IS 3\r\nVERTICAL SHIFT IS -3\r\nPHASE IS auto\r\n"
                              "PHASE IS 5\r\nUNDER/OVER SCAN IS 1%")
            << "50|Source|0|1|3|-3|1|1|0" << "50|source|0|1|3|-3|0";
        QTest::newRow("empty") << QString() << "7||0|1|7|7|7|0|1" << "0||0|0|0|0|0";
        QTest::newRow("line in front")
            << QStringLiteral("VIDEO SETTINGS\r\nUNDER/OVER SCAN IS -12%\r\nASPECT RATIO IS STRETCH\r\n")
            << "7||0|1|7|7|7|0|1" << "0||0|0|0|0|0";
        QTest::newRow("hostile")
            << QStringLiteral("UNDER/OVER SCAN IS %12\r\nASPECT RATIO IS \r\nHORIZONTAL MIRROR IS\r\n"
                              "VERTICAL MIRROR IS VERTICAL MIRROR IS OFF\r\nHORIZONTAL SHIFT IS -9999\r\n"
                              "VERTICAL SHIFT IS 40000\r\nPHASE IS -3")
            << "0||0|1|-100|100|1|0|1" << "0||0|0|-9999|0|0";
    }

    void adjustReply()
    {
        QFETCH(QString, reply);
        QFETCH(QString, controls);
        QFETCH(QString, record);
        ScalerFixture f;
        chainRunning(f);
        for (MyRangeEditor* e : {f.scaler->scanEditor, f.scaler->horizontalShiftEditor,
                                 f.scaler->verticalShiftEditor, f.scaler->phaseEditor})
            e->setValue(7);
        f.ui.verticalMirror->setChecked(true);
        f.ui.phaseSlider->setEnabled(true);
        f.ui.phaseText->setEnabled(true);
        f.scaler->replyText = reply;
        f.scaler->parseAdjustData();
        QCOMPARE(adjustControls(f), controls);
        QCOMPARE(adjustRecord(*f.scaler->settings), record);
        QVERIFY(!f.scaler->updating);
    }

    // Numbers read and sent do not follow the user's locale.
    void numbersIgnoreTheLocale_data() { addLocaleRows(); }

    void numbersIgnoreTheLocale()
    {
        QFETCH(QString, locale);
        DefaultLocaleScope scope(locale);
        ScalerFixture page;
        chainRunning(page);
        page.scaler->replyText = QStringLiteral("UNDER/OVER SCAN IS -12%\r\nASPECT RATIO IS 4:3\r\nHORIZONTAL MIRROR IS OFF\r\n"
                                                "VERTICAL MIRROR IS OFF\r\nHORIZONTAL SHIFT IS -1000\r\n"
                                                "VERTICAL SHIFT IS -45\r\nPHASE IS 1000");
        page.scaler->parseAdjustData();
        QCOMPARE(adjustRecord(*page.scaler->settings), QStringLiteral("-12|4:3|0|0|-1000|-45|1000"));
        QCOMPARE(page.ui.scanText->text(), QStringLiteral("-12"));

        SimulatedScaler u(ScalerSim::Model::Dvi);
        QVERIFY(u.start());
        u.f.ui.scanText->setText(QStringLiteral("-20"));
        emit u.f.ui.scanText->returnPressed();
        u.f.ui.osdTimeoutSpinBox->setValue(45);
        emit u.f.ui.osdTimeoutSpinBox->editingFinished();
        QCOMPARE(u.settledRequests(2), (QStringList{"#SET_UO_SCAN -20", "#SET_OSD_TIMEOUT 45"}));
    }

    // The pages' own refreshes against the unit: one query each, the page locked until the
    // answer is read, and the buttons set from it send nothing back.
    void pageRefreshReadsTheUnit()
    {
        SimulatedScaler u(ScalerSim::Model::Dvi);
        u.sim.setSetting(QStringLiteral("CONTRAST"), QStringLiteral("61"));
        u.sim.setSetting(QStringLiteral("COLOR_RANGE"), QStringLiteral("LIMITED"));
        u.sim.setSetting(QStringLiteral("EDGE_ENHANCE"), QStringLiteral("USER"));
        u.sim.setSetting(QStringLiteral("UO_SCAN"), QStringLiteral("-10%"));
        u.sim.setSetting(QStringLiteral("HORIZONTAL_MIRROR"), QStringLiteral("ON"));
        u.sim.setSetting(QStringLiteral("VERTICAL_MIRROR"), QStringLiteral("ON"));
        u.sim.setSetting(QStringLiteral("PHASE"), QStringLiteral("17"));
        QVERIFY(u.start());
        ScalerFixture& f = u.f;
        {
            // The unit's phase is manual: the read-back clears the automatic phase.
            const QSignalBlocker quiet(f.ui.phaseAuto);
            f.ui.phaseAuto->setChecked(true);
        }

        f.scaler->refreshPictureData();
        QVERIFY(f.scaler->updating);
        QVERIFY(!f.ui.ConfiguratorTabs->isEnabled());
        QTRY_VERIFY(!f.scaler->updating);
        verifyChainEnded(f);
        QCOMPARE(pictureControls(f), QStringLiteral("61|50|50|50|Limited|Neutral|50|50|50|User|50"));
        QCOMPARE(f.scaler->settings->colorRange, QStringLiteral("LIMITED"));
        QCOMPARE(u.settledRequests(1), QStringList{"#GET_PICTURE_SETTINGS"});

        u.sim.clearLog();
        f.scaler->refreshAdjustData();
        QTRY_VERIFY(!f.scaler->updating);
        QCOMPARE(adjustControls(f), QStringLiteral("-10|16:9|1|1|0|0|17|0|1"));
        const QStringList heard = u.settledRequests(1);
        QCOMPARE(heard.value(0), QStringLiteral("#GET_VIDEO_SETTINGS"));
        for (const QString& line : heard)
            QVERIFY2(!line.startsWith(QLatin1String("#SET_")), qPrintable(line));
        QVERIFY(u.sim.sets().isEmpty());
    }

    // A unit that does not answer the page query: the page is given back with a message.
    void silentUnitGivesThePageBack()
    {
        SimulatedScaler u(ScalerSim::Model::Hdmi);
        u.sim.addRule(SimRule::exact("#GET_PICTURE_SETTINGS").silence());
        QVERIFY(u.start());
        u.f.scaler->contrastEditor->setValue(7);
        u.f.scaler->refreshPictureData();
        QTRY_VERIFY(!u.f.scaler->updating);
        verifyChainEnded(u.f);
        QCOMPARE(u.f.status(), QStringLiteral("No response from unit"));
        QVERIFY(u.f.statusIsError());
        QCOMPARE(u.f.scaler->contrastEditor->slider()->value(), 7);
    }

    // The one-value chains: the order of queries per model, where each ends, and an unanswered
    // query ending the chain with a message and the pages usable.
    void oneValueChains_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("silent");
        QTest::addColumn<QStringList>("heard");

        const QStringList sdiPicture = {"#GET_CONTRAST",        "#GET_BRIGHTNESS",       "#GET_SATURATION",
                                        "#GET_HUE",             "#GET_SHARPNESS",        "#GET_COLOR_TEMP",
                                        "#GET_COLOR_BALANCE 0", "#GET_COLOR_BALANCE 1", "#GET_COLOR_BALANCE 2",
                                        "#GET_EDGE_ENHANCE"};
        QStringList vgaPicture = sdiPicture;
        vgaPicture.insert(5, QStringLiteral("#GET_COLOR_RANGE"));
        const int sdi = int(ScalerSim::Model::Sdi), dvi = int(ScalerSim::Model::Dvi), hdmi = int(ScalerSim::Model::Hdmi);
        const QByteArray contrast = SLOT(parseContrast());
        QTest::newRow("picture, 3GSDI") << sdi << 4 << contrast << "#GET_CONTRAST" << "" << sdiPicture;
        QTest::newRow("picture, VGA to DVI") << dvi << 5 << contrast << "#GET_CONTRAST" << "" << vgaPicture;
        QTest::newRow("picture, VGA w/Audio") << hdmi << 6 << contrast << "#GET_CONTRAST" << "" << vgaPicture;
        QTest::newRow("picture, unknown model ends at sharpness")
            << dvi << 0 << contrast << "#GET_CONTRAST" << "" << QStringList(sdiPicture.mid(0, 5));
        QTest::newRow("adjust") << hdmi << 6 << QByteArray(SLOT(parseUnderOverScan())) << "#GET_UO_SCAN" << ""
                                << QStringList{"#GET_UO_SCAN", "#GET_ASPECT_RATIO", "#GET_HORIZONTAL_MIRROR",
                                               "#GET_VERTICAL_MIRROR", "#GET_HORIZONTAL_SHIFT",
                                               "#GET_VERTICAL_SHIFT"};
        QTest::newRow("output colour and mode") << hdmi << 6 << QByteArray(SLOT(parseColorSpace())) << "#GET_OUTPUT_COLOR"
                                                << "" << QStringList{"#GET_OUTPUT_COLOR", "#GET_OUTPUT_MODE"};
        QTest::newRow("output lock") << sdi << 4 << QByteArray(SLOT(parseOutputLock())) << "#GET_OUTPUT_LOCK" << ""
                                     << QStringList{"#GET_OUTPUT_LOCK"};
        QTest::newRow("unit silent at the hue") << dvi << 5 << contrast << "#GET_CONTRAST" << "#GET_HUE"
                                                << QStringList(sdiPicture.mid(0, 4));
        QTest::newRow("unit silent at the first mirror")
            << hdmi << 6 << QByteArray(SLOT(parseUnderOverScan())) << "#GET_UO_SCAN" << "#GET_HORIZONTAL_MIRROR"
            << QStringList{"#GET_UO_SCAN", "#GET_ASPECT_RATIO", "#GET_HORIZONTAL_MIRROR"};
    }

    void oneValueChains()
    {
        QFETCH(int, model);
        QFETCH(int, type);
        QFETCH(QByteArray, head);
        QFETCH(QString, query);
        QFETCH(QString, silent);
        QFETCH(QStringList, heard);

        SimulatedScaler u(static_cast<ScalerSim::Model>(model));
        u.sim.setSetting(QStringLiteral("CONTRAST"), QStringLiteral("61"));
        u.sim.setSetting(QStringLiteral("EDGE_ENHANCE"), QStringLiteral("MAX"));
        u.sim.setSetting(QStringLiteral("UO_SCAN"), QStringLiteral("12%"));
        u.sim.setSetting(QStringLiteral("HORIZONTAL_MIRROR"), QStringLiteral("ON"));
        u.sim.setSetting(QStringLiteral("VERTICAL_SHIFT"), QStringLiteral("-5"));
        u.sim.setSetting(QStringLiteral("OUTPUT_COLOR"), QStringLiteral("YCBCR 4:2:2"));
        u.sim.setSetting(QStringLiteral("OUTPUT_LOCK"), QStringLiteral("HDMI"));
        if (!silent.isEmpty())
            u.sim.addRule(SimRule::exact(silent.toLatin1()).silence());
        QVERIFY(u.start());
        ScalerFixture& f = u.f;
        f.scaler->selectedDevice.type = type;

        // Started as the page refreshes start theirs: the chain's end gives the pages back.
        chainRunning(f);
        connect(f.scaler.get(), SIGNAL(commandComplete()), f.scaler.get(), head.constData());
        f.scaler->sendCommand(query, QString(), QString(), 500);
        QTRY_VERIFY(f.ui.ConfiguratorTabs->isEnabled());
        QCOMPARE(u.settledRequests(heard.size()), heard);
        verifyChainEnded(f);
        QVERIFY(u.sim.sets().isEmpty());
        if (!silent.isEmpty()) {
            QCOMPARE(f.status(), QStringLiteral("No response from unit"));
            return;
        }
        if (heard.contains("#GET_CONTRAST"))
            QCOMPARE(f.ui.contrastSlider->value(), 61);
        if (heard.contains("#GET_EDGE_ENHANCE"))
            QCOMPARE(f.scaler->edgeEnhanceGroup->checkedText(), QStringLiteral("Max"));
        if (heard.contains("#GET_UO_SCAN"))
            QCOMPARE(f.ui.scanSlider->value(), 12);
        if (heard.contains("#GET_HORIZONTAL_MIRROR"))
            QVERIFY(f.ui.horizontalMirror->isChecked() && f.scaler->settings->horizontalMirror);
        if (heard.contains("#GET_VERTICAL_SHIFT"))
            QCOMPARE(f.ui.verticalShiftSlider->value(), -5);
        if (heard.contains("#GET_OUTPUT_COLOR")) {
            QCOMPARE(f.scaler->colorSpaceGroup->checkedText(), QStringLiteral("YCbCr 4:2:2"));
            QCOMPARE(f.scaler->settings->colorSpaces, QStringLiteral("YCBCR 4:2:2"));
            QCOMPARE(f.scaler->settings->outputModes, QStringLiteral("AUTO DETECT"));
        }
        if (heard.contains("#GET_OUTPUT_LOCK")) {
            QCOMPARE(f.scaler->outputLockGroup->checkedText(), QStringLiteral("HDMI"));
            QCOMPARE(f.scaler->settings->outputLock, qint16(1)); // as the whole output page keeps it
        }
    }

    // Page control -> the line the unit hears, and the answer on the status bar.
    void controlsSendTheirCommands()
    {
        SimulatedScaler u(ScalerSim::Model::Hdmi);
        u.sim.addRule(SimRule::exact("#SET_HUE 5").silence());
        QVERIFY(u.start());
        ScalerFixture& f = u.f;
        {
            const QSignalBlocker b1(f.ui.osdTimeoutButton), b2(f.ui.displayNotify), b3(f.ui.horizontalMirror),
                b4(f.ui.phaseAuto);
            f.ui.osdTimeoutButton->setChecked(false);
            f.ui.displayNotify->setChecked(false);
            f.ui.horizontalMirror->setChecked(false);
            f.ui.phaseAuto->setChecked(false);
        }

        struct Action {
            const char* name;
            std::function<void()> act;
            QStringList lines;
            QString status; // empty: none expected
            bool error;
            std::function<bool()> after;
        };
        auto enabled = [](QWidget* w) { return w->isEnabled(); };
        const QList<Action> actions = {
            {"OSD time-out on",
             [&] {
                 f.ui.osdTimeoutSpinBox->setValue(25);
                 f.ui.osdTimeoutButton->setChecked(true);
             },
             {"#SET_OSD_TIMEOUT 25"}, "OSD TIMEOUT IS 25 SECONDS", false,
             [&] { return enabled(f.ui.osdTimeoutSpinBox); }},
            {"OSD time-out off", [&] { f.ui.osdTimeoutButton->setChecked(false); }, {"#SET_OSD_TIMEOUT 0"},
             "OSD TIMEOUT IS OFF", false, [&] { return !enabled(f.ui.osdTimeoutSpinBox); }},
            {"OSD seconds edited",
             [&] {
                 f.ui.osdTimeoutSpinBox->setValue(30);
                 emit f.ui.osdTimeoutSpinBox->editingFinished();
             },
             {"#SET_OSD_TIMEOUT 30"}, "OSD TIMEOUT IS 30 SECONDS", false, nullptr},
            {"display notify", [&] { f.ui.displayNotify->setChecked(true); }, {"#SET_DISPLAY_NOTIFY 1"},
             "DISPLAY NOTIFY IS ON", false, nullptr},
            {"horizontal mirror", [&] { f.ui.horizontalMirror->setChecked(true); }, {"#SET_HORIZONTAL_MIRROR 1"},
             "HORIZONTAL MIRROR IS ON", false, nullptr},
            {"phase auto on", [&] { f.ui.phaseAuto->setChecked(true); }, {"#SET_PHASE 0"}, "PHASE IS AUTO", false,
             [&] { return !enabled(f.ui.phaseSlider) && !enabled(f.ui.phaseText); }},
            {"phase auto off sends nothing", [&] { f.ui.phaseAuto->setChecked(false); }, {}, "", false,
             [&] { return enabled(f.ui.phaseSlider) && enabled(f.ui.phaseText); }},
            {"aspect ratio", [&] { buttonWithText(f.ui.aspectRatioFrame, QStringLiteral("Source"))->click(); },
             {"#SET_ASPECT_RATIO 3"}, "ASPECT RATIO IS SOURCE", false, nullptr},
            {"scan typed",
             [&] {
                 f.ui.scanText->setText(QStringLiteral("-20"));
                 emit f.ui.scanText->returnPressed();
             },
             {"#SET_UO_SCAN -20"}, "UNDER/OVER SCAN IS -20%", false, nullptr},
            {"settings import's two arguments",
             [&] { f.scaler->handleCommandWait(QStringLiteral("#SET_COLOR_BALANCE"), "2", "40", 500); },
             {"#SET_COLOR_BALANCE 2 40"}, "PICTURE COLOR BALANCE BLUE CHANNEL IS 40", false, nullptr},
            {"factory reset", [&] { f.ui.scalerFactoryReset->click(); }, {"#FACTORY_RESET"}, "FACTORY RESET DONE", false,
             nullptr},
            {"reboot", [&] { f.ui.scalerReboot->click(); }, {"#REBOOT"}, "REBOOTING", false, nullptr},
            {"value the unit rejects", [&] { f.scaler->handleCommand(QStringLiteral("#SET_CONTRAST"), "101"); },
             {"#SET_CONTRAST 101"}, "Command failed.", true, nullptr},
            {"unit silent", [&] { f.scaler->handleCommand(QStringLiteral("#SET_HUE"), "5"); }, {"#SET_HUE 5"},
             "No response from unit", true, nullptr},
        };
        for (const Action& action : actions) {
            u.sim.clearLog();
            f.ui.statusBar->clearMessage();
            action.act();
            const QStringList heard = u.settledRequests(action.lines.size());
            QVERIFY2(heard == action.lines, qPrintable(QString::fromLatin1(action.name) + ": " + heard.join(", ")));
            QTRY_COMPARE(f.scaler->availability, int(Scaler::AVAILABLE));
            if (!action.status.isEmpty()) {
                QTRY_COMPARE(f.status(), action.status);
                QVERIFY2(f.statusIsError() == action.error, action.name);
            }
            if (action.after)
                QVERIFY2(action.after(), action.name);
        }
    }

    // While a read-back fills the page the toggles are silent and change nothing; the two
    // system buttons still send.
    void togglesAreSilentWhileThePageIsFilled()
    {
        SimulatedScaler u(ScalerSim::Model::Sdi);
        QVERIFY(u.start());
        ScalerFixture& f = u.f;
        f.ui.osdTimeoutSpinBox->setEnabled(true);
        f.ui.phaseSlider->setEnabled(true);
        f.scaler->updating = true;
        f.ui.displayNotify->toggle();
        f.ui.horizontalMirror->toggle();
        f.ui.verticalMirror->toggle();
        f.ui.osdTimeoutButton->setChecked(false);
        f.ui.osdTimeoutButton->setChecked(true);
        f.ui.osdTimeoutButton->setChecked(false);
        emit f.ui.osdTimeoutSpinBox->editingFinished();
        f.ui.phaseAuto->setChecked(true);
        QTest::qWait(TimeScale::ms(300));
        QVERIFY(u.sim.received().isEmpty());
        QVERIFY(f.ui.osdTimeoutSpinBox->isEnabled());
        QVERIFY(f.ui.phaseSlider->isEnabled());

        f.ui.scalerFactoryReset->click();
        f.ui.scalerReboot->click();
        QCOMPARE(u.settledRequests(2), (QStringList{"#FACTORY_RESET", "#REBOOT"}));
    }

    // The sharpness controls follow the edge-enhancement choice on a generic scaler only.
    void edgeEnhancementCommandUnlocksSharpness_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<bool>("before");
        QTest::addColumn<bool>("after");
        QTest::newRow("User") << 6 << "User" << false << true;
        QTest::newRow("Mid") << 5 << "Mid" << true << false;
        QTest::newRow("Off on the 3GSDI") << 4 << "Off" << true << false;
        QTest::newRow("Max") << 6 << "Max" << true << false;
        QTest::newRow("no generic scaler, User") << 0 << "User" << false << false;
        QTest::newRow("no generic scaler, Mid") << 0 << "Mid" << true << true;
    }

    void edgeEnhancementCommandUnlocksSharpness()
    {
        QFETCH(int, type);
        QFETCH(QString, choice);
        QFETCH(bool, before);
        QFETCH(bool, after);
        SimulatedScaler u(ScalerSim::Model::Hdmi);
        QVERIFY(u.start());
        ScalerFixture& f = u.f;
        f.scaler->selectedDevice.type = type;
        f.ui.sharpnessSlider->setEnabled(before);
        f.ui.sharpnessText->setEnabled(before);
        buttonWithText(f.ui.edgeEnhanceFrame, choice)->click();
        QCOMPARE(f.ui.sharpnessSlider->isEnabled(), after);
        QCOMPARE(f.ui.sharpnessText->isEnabled(), after);
        QCOMPARE(u.settledRequests(1).value(0),
                 QStringLiteral("#SET_EDGE_ENHANCE %1").arg(EDGE_ENHANCE_CHOICES.indexOf(choice)));
    }

    // A new output resolution is answered with the resolution; that answer goes to the
    // resolution read-back, not to the status bar, and replaces the previous command's routing.
    void outputResolutionIsReadBack()
    {
        SimulatedScaler u(ScalerSim::Model::Dvi);
        QVERIFY(u.start());
        ScalerFixture& f = u.f;
        f.scaler->handleCommand(QStringLiteral("#SET_CONTRAST"), QStringLiteral("40"));
        QTRY_COMPARE(f.status(), QStringLiteral("PICTURE CONTRAST IS 40"));
        f.ui.statusBar->clearMessage();
        u.sim.clearLog();

        buttonWithText(f.ui.outputResolutionFrame, QStringLiteral("Auto-Detect"))->click();
        QCOMPARE(u.settledRequests(1), QStringList{"#SET_OUTPUT_RES 21"});
        QCOMPARE(u.sim.setting(QStringLiteral("OUTPUT_RES")), QStringLiteral("Auto-Detect"));
        QStringList followUps;
        for (const QString& line : outgoingConnections(f.scaler.get())) {
            if (line.startsWith(QLatin1String("commandComplete ")))
                followUps.append(line.section(QLatin1Char(' '), -1));
        }
        QCOMPARE(followUps, QStringList{"parseOutputResolution"});
        QVERIFY(f.status().isEmpty());
    }
};

PLEXA_TEST_MAIN(TestScalerPages)
#include "tst_scaler_pages.moc"

// The timing preset editor: totals, pixel clock and scan rate from the inputs (under any locale),
// filling from the unit's reply (also hostile ones), the pause before changes go out and the Enter
// key, which values an apply sends and how, polarity clicks, a failed command sent again, and
// one preset edited in front of the real scaler with a simulated unit on the wire.
#include "plexatest.h"
#include "constants.h"
#include "formtestutil.h"
#include "localetest.h"
#include "mydoublespinbox.h"
#include "myspinbox.h"
#include "scalerfixture.h"
#include "scalersim.h"
#include "serialports.h"
#include "timescale.h"
#include "timingpreset.h"
#include "ui_mainui.h"

#include <QAbstractButton>
#include <QFrame>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// A 1080p60 preset as the unit reports it.
const QString Reply1080p60 = QStringLiteral(
    "Hor Scan = 67.500\r\nHor Active = 1920\r\nHor Ft Porch = 88\r\nHor Sync W = 44\r\nHor Bk Porch = 148\r\n"
    "Hor Total = 2200\r\nHor Polarity = +\r\nPixel Clk = 148.500\r\nVer Refresh = 60.000\r\nVer Active = 1080\r\n"
    "Ver Ft Porch = 4\r\nVer Sync W = 5\r\nVer Bk Porch = 36\r\nVer Total = 1125\r\nVer Polarity = -");

// One preset on the real form, its commands recorded as "command param".
struct PresetFixture {
    QMainWindow window;
    Ui_MainUI ui;
    std::unique_ptr<TimingPreset> preset;
    QStringList sent;
    // Runs inside each emit, as the scaler's handling does.
    std::function<void(const QString&, const QString&)> onSend;

    explicit PresetFixture(int index)
    {
        ui.setupUi(&window);
        preset = std::make_unique<TimingPreset>(&ui, index);
        QObject::connect(preset.get(), &TimingPreset::sendCommand, [this](const QString& cmd, const QString& param) {
            sent << cmd + QLatin1Char(' ') + param;
            if (onSend)
                onSend(cmd, param);
        });
    }

    QWidget* editor() const { return preset->value(); }
    MySpinBox* spin(const char* name) const { return editor()->findChild<MySpinBox*>(QLatin1String(name)); }
    MyDoubleSpinBox* refresh() const { return editor()->findChild<MyDoubleSpinBox*>(QStringLiteral("vRefreshSpin")); }
    QAbstractSpinBox* box(const QString& name) const { return editor()->findChild<QAbstractSpinBox*>(name); }
    QTimer* applyTimer() const { return preset->findChild<QTimer*>(); }

    // What the user sees in a field, a spin box or a polarity frame (the checked button).
    QString shown(const QString& name) const
    {
        if (auto edit = editor()->findChild<QLineEdit*>(name, Qt::FindDirectChildrenOnly))
            return edit->text();
        if (auto spinBox = box(name))
            return spinBox->text();
        for (QAbstractButton* button : editor()->findChild<QFrame*>(name)->findChildren<QAbstractButton*>()) {
            if (button->isChecked())
                return button->text();
        }
        return QString();
    }

    void type(QAbstractSpinBox* spinBox, const QString& text)
    {
        spinBox->selectAll();
        QTest::keyClicks(spinBox, text);
    }
    void typeAndEnter(QAbstractSpinBox* spinBox, const QString& text)
    {
        type(spinBox, text);
        QTest::keyClick(spinBox, Qt::Key_Return);
    }
    void enter() { QTest::keyClick(spin("hSyncWidthSpin"), Qt::Key_Enter); }
    void setInputs(const QList<int>& h, const QList<int>& v)
    {
        const char* hNames[] = {"hSyncWidthSpin", "hFrontPorchSpin", "hActiveSpin", "hBackPorchSpin"};
        const char* vNames[] = {"vSyncWidthSpin", "vFrontPorchSpin", "vActiveSpin", "vBackPorchSpin"};
        for (int i = 0; i < 4; ++i) {
            spin(hNames[i])->setValue(h.at(i));
            spin(vNames[i])->setValue(v.at(i));
        }
    }
    // The parameter of `command` among the commands sent, or "(not sent)".
    QString paramOf(const QString& command) const
    {
        for (const QString& line : sent) {
            if (line.startsWith(command + QLatin1Char(' ')))
                return line.mid(command.size() + 1);
        }
        return QStringLiteral("(not sent)");
    }
};

} // namespace

class TestTimingPreset : public QObject
{
    Q_OBJECT

private slots:
    void init() { TimeScale::setFactor(0.02); }

    // Totals, pixel clock and scan rate while editing, and what an apply sends for them; the
    // refresh rate typed with a point (or a comma) reads and shows the same in every locale.
    void derivedValues_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QList<int>>("h"); // sync width, front porch, active, back porch
        QTest::addColumn<QList<int>>("v");
        QTest::addColumn<QString>("typedRefresh");
        QTest::addColumn<QString>("refreshSent");
        QTest::addColumn<QString>("hTotal");
        QTest::addColumn<QString>("vTotal");
        QTest::addColumn<QString>("pixelClockShown");
        QTest::addColumn<QString>("scanRateShown");
        QTest::addColumn<QString>("pixelClockSent");
        QTest::addColumn<QString>("scanRateSent");

        const QList<int> h1080 {44, 88, 1920, 148};
        const QList<int> v1080 {5, 4, 1080, 36};
        const QList<int> zeros {0, 0, 0, 0};
        for (const char* locale : {"C", "de_DE", "fr_FR"}) {
            auto row = [&](const char* name) { return &QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(name, locale))); };
            *row("1080p60") << locale << h1080 << v1080 << "60" << "60.000 0" << "2200" << "1125" << "148.500"
                            << "67.500" << "148.500 0" << "67.5 0";
            *row("720p60") << locale << QList<int> {40, 110, 1280, 220} << QList<int> {5, 5, 720, 20} << "60"
                           << "60.000 0" << "1650" << "750" << "74.250" << "45.000" << "74.250 0" << "45 0";
            *row("1080p59.94") << locale << h1080 << v1080 << "59.94" << "59.940 0" << "2200" << "1125" << "148.351"
                               << "67.433" << "148.351 0" << "67.4325 0";
            *row("59.94 typed with a comma") << locale << h1080 << v1080 << "59,94" << "59.940 0" << "2200" << "1125"
                                             << "148.351" << "67.433" << "148.351 0" << "67.4325 0";
            *row("horizontal all zero") << locale << zeros << v1080 << "60" << "60.000 0" << "0" << "1125" << "0.000"
                                        << "" << "0.000 0" << "(not sent)";
            *row("vertical all zero") << locale << h1080 << zeros << "60" << "60.000 0" << "2200" << "0" << "0.000"
                                      << "0.000" << "0.000 0" << "0 0";
        }
    }
    void derivedValues()
    {
        QFETCH(QString, locale);
        QFETCH(QList<int>, h);
        QFETCH(QList<int>, v);
        QFETCH(QString, typedRefresh);
        DefaultLocaleScope scope(locale);
        PresetFixture f(0);

        f.setInputs(h, v);
        f.type(f.refresh(), typedRefresh);
        QTEST(f.shown("hTotalEdit"), "hTotal");
        QTEST(f.shown("vTotalEdit"), "vTotal");
        QTEST(f.shown("pixelClockEdit"), "pixelClockShown");
        QTEST(f.shown("hScanRateEdit"), "scanRateShown");
        QTEST(f.refresh()->textFromValue(f.refresh()->value()) + QStringLiteral(" 0"), "refreshSent");

        QVERIFY(f.sent.isEmpty());
        QTest::keyClick(f.refresh(), Qt::Key_Return);
        QTEST(f.paramOf("#SET_VERT_REFRESH_RATE"), "refreshSent");
        QTEST(f.paramOf("#SET_PIXEL_CLOCK"), "pixelClockSent");
        QTEST(f.paramOf("#SET_HORZ_SCAN_RATE"), "scanRateSent");
        QCOMPARE(f.paramOf("#SET_HORZ_TOTAL"), f.shown("hTotalEdit") + QStringLiteral(" 0"));
        QCOMPARE(f.paramOf("#SET_VERT_TOTAL"), f.shown("vTotalEdit") + QStringLiteral(" 0"));
    }

    // A second reply after the unit's 1080p60: what the editor shows, and what the next apply
    // sends (the editor's values against what the reply said the unit holds).
    void fillFromReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QStringList>("shown"); // "field=text"
        QTest::addColumn<QStringList>("sent");

        QTest::newRow("nothing more: an apply sends nothing")
            << QString() << QStringList {"hActiveSpin=1920", "hTotalEdit=2200", "vTotalEdit=1125", "pixelClockEdit=148.500",
                                        "hScanRateEdit=67.500", "vRefreshSpin=60.000", "hPolarityFrame=+", "vPolarityFrame=-"}
            << QStringList();
        QTest::newRow("720p59.94 rounded by the unit")
            << QStringLiteral("Hor Scan = 44.955\nHor Active = 1280\nHor Ft Porch = 110\nHor Sync W = 40\nHor Bk Porch = 220\n"
                              "Hor Total = 1650\nPixel Clk = 74.176\nVer Refresh = 59.940\nVer Active = 720\n"
                              "Ver Ft Porch = 5\nVer Sync W = 5\nVer Bk Porch = 20\nVer Total = 750")
            << QStringList {"hActiveSpin=1280", "pixelClockEdit=74.176", "hScanRateEdit=44.955", "vRefreshSpin=59.940"}
            << QStringList();
        QTest::newRow("not a number reads as 0")
            << QStringLiteral("Hor Active = abc") << QStringList {"hActiveSpin=0"}
            << QStringList {"#SET_PIXEL_CLOCK 18.900 1", "#SET_HORZ_TOTAL 280 1"};
        QTest::newRow("more than the box holds")
            << QStringLiteral("Ver Active = 12000") << QStringList {"vActiveSpin=9999"}
            << QStringList {"#SET_VERT_ACTIVE 9999 1", "#SET_PIXEL_CLOCK 1325.808 1", "#SET_VERT_TOTAL 10044 1",
                            "#SET_HORZ_SCAN_RATE 602.64 1"};
        QTest::newRow("more digits than any integer")
            << QStringLiteral("Ver Sync W = 99999999999999999999999\r\nHor Total = 88888888888888888888")
            << QStringList {"vSyncWidthSpin=9999", "hTotalEdit=88888888888888888888"}
            << QStringList {"#SET_VERT_SYNC_WIDTH 9999 1", "#SET_PIXEL_CLOCK 1467.708 1", "#SET_HORZ_TOTAL 2200 1",
                            "#SET_VERT_TOTAL 11119 1", "#SET_HORZ_SCAN_RATE 667.14 1"};
        QTest::newRow("infinite and nan")
            << QStringLiteral("Ver Refresh = 1e999\nPixel Clk = nan") << QStringList {"vRefreshSpin=0.000", "pixelClockEdit=0.000"}
            << QStringList {"#SET_HORZ_SCAN_RATE 0 1"};
        QTest::newRow("short, garbled and misshapen lines")
            << QStringLiteral("Hor Active\nHor Active: 1280\nHor Active = 1280 = 720\n\x01\x02\xff = \nNote = Hor Active\n = \n>")
            << QStringList {"hActiveSpin=1920", "hTotalEdit=2200"} << QStringList();
        QTest::newRow("polarities are shown, never sent")
            << QStringLiteral("Hor Polarity = -\nVer Polarity = +") << QStringList {"hPolarityFrame=-", "vPolarityFrame=+"}
            << QStringList();
    }
    void fillFromReply()
    {
        QFETCH(QString, reply);
        QFETCH(QStringList, shown);
        PresetFixture f(1);
        f.preset->setTimingFields(Reply1080p60);
        f.preset->setTimingFields(reply);
        for (const QString& expected : shown) {
            const QString field = expected.section(QLatin1Char('='), 0, 0);
            QCOMPARE(field + QLatin1Char('=') + f.shown(field), expected);
        }
        QTest::qWait(TimeScale::ms(1000));
        QVERIFY2(f.sent.isEmpty(), "a fill sends nothing");
        f.enter();
        QTEST(f.sent, "sent");
    }

    // An edit updates the fields at once; the values that differ go out after the pause, each
    // addressed to the preset; "Refresh" waits for them and the editor is locked while they go.
    void editSendsTheChangedValuesAfterThePause()
    {
        PresetFixture f(2);
        f.preset->setTimingFields(QStringLiteral(
            "Hor Scan = 67.500\nHor Active = 1280\nHor Ft Porch = 88\nHor Sync W = 44\nHor Bk Porch = 148\n"
            "Hor Total = 1560\nPixel Clk = 105.300\nVer Refresh = 60.000\nVer Active = 1080\nVer Ft Porch = 4\n"
            "Ver Sync W = 5\nVer Bk Porch = 36\nVer Total = 1125"));
        QList<bool> editorEnabledWhileSending;
        f.onSend = [&](const QString&, const QString&) { editorEnabledWhileSending << f.editor()->isEnabled(); };

        f.type(f.spin("hActiveSpin"), QStringLiteral("1920"));
        QCOMPARE(f.shown("hTotalEdit"), QStringLiteral("2200"));
        QCOMPARE(f.shown("pixelClockEdit"), QStringLiteral("148.500"));
        QVERIFY(!f.ui.refreshTimings->isEnabled());
        QVERIFY(f.sent.isEmpty());
        QTRY_COMPARE(f.sent, (QStringList {"#SET_HORZ_ACTIVE 1920 2", "#SET_PIXEL_CLOCK 148.500 2", "#SET_HORZ_TOTAL 2200 2"}));
        QCOMPARE(editorEnabledWhileSending, (QList<bool> {false, false, false}));
        QVERIFY(f.editor()->isEnabled());
        QVERIFY(f.ui.refreshTimings->isEnabled());

        // Typed back to what the unit held before: the fields follow, and the old values go out.
        f.sent.clear();
        f.type(f.spin("hActiveSpin"), QStringLiteral("1280"));
        QCOMPARE(f.shown("hTotalEdit"), QStringLiteral("1560"));
        QCOMPARE(f.shown("pixelClockEdit"), QStringLiteral("105.300"));
        QTRY_COMPARE(f.sent, (QStringList {"#SET_HORZ_ACTIVE 1280 2", "#SET_PIXEL_CLOCK 105.300 2", "#SET_HORZ_TOTAL 1560 2"}));
    }

    // A preset never read from the unit knows none of its values: its first apply sends all of
    // them, in the unit's order, and the next one nothing.
    void unreadPresetSendsEveryValueOnce()
    {
        PresetFixture f(4);
        f.setInputs({40, 110, 1280, 220}, {5, 5, 720, 20});
        f.refresh()->setValue(60);
        f.enter();
        QCOMPARE(f.sent, (QStringList {"#SET_HORZ_SYNC_WIDTH 40 4", "#SET_HORZ_FRONT_PORCH 110 4", "#SET_HORZ_ACTIVE 1280 4",
                                       "#SET_HORZ_BACK_PORCH 220 4", "#SET_VERT_REFRESH_RATE 60.000 4",
                                       "#SET_VERT_SYNC_WIDTH 5 4", "#SET_VERT_FRONT_PORCH 5 4", "#SET_VERT_ACTIVE 720 4",
                                       "#SET_VERT_BACK_PORCH 20 4", "#SET_PIXEL_CLOCK 74.250 4", "#SET_HORZ_TOTAL 1650 4",
                                       "#SET_VERT_TOTAL 750 4", "#SET_HORZ_SCAN_RATE 45 4"}));
        f.sent.clear();
        f.enter();
        QCOMPARE(f.sent, QStringList());
    }

    // The scaler reports a failed command back; that value, and only that one, goes out again.
    void failedCommandIsSentAgain()
    {
        PresetFixture f(2);
        f.preset->setTimingFields(Reply1080p60);
        bool unitRefuses = true;
        f.onSend = [&](const QString& cmd, const QString& param) {
            if (unitRefuses && cmd == QLatin1String("#SET_HORZ_ACTIVE"))
                f.preset->commandFailed(cmd, param);
        };
        f.typeAndEnter(f.spin("hActiveSpin"), QStringLiteral("1280"));
        QCOMPARE(f.sent.first(), QStringLiteral("#SET_HORZ_ACTIVE 1280 2"));

        unitRefuses = false;
        f.sent.clear();
        f.enter();
        QCOMPARE(f.sent, QStringList {"#SET_HORZ_ACTIVE 1280 2"});

        // Reports about other presets, older values, polarities or unknown words change nothing.
        f.preset->commandFailed(QStringLiteral("#SET_HORZ_ACTIVE"), QStringLiteral("1280 3"));
        f.preset->commandFailed(QStringLiteral("#SET_HORZ_ACTIVE"), QStringLiteral("1920 2"));
        f.preset->commandFailed(QStringLiteral("#SET_HORZ_SYNC_POLARITY"), QStringLiteral("1 2"));
        f.preset->commandFailed(QStringLiteral("#SET_NOTHING"), QStringLiteral("1280 2"));
        f.preset->commandFailed(QStringLiteral("#SET_HORZ_ACTIVE"), QString());
        f.sent.clear();
        f.enter();
        QCOMPARE(f.sent, QStringList());

        // A derived value is known by its text on the wire.
        f.preset->commandFailed(QStringLiteral("#SET_HORZ_SCAN_RATE"), QStringLiteral("67.5 2"));
        f.enter();
        QCOMPARE(f.sent, QStringList {"#SET_HORZ_SCAN_RATE 67.5 2"});
    }

    void polarityClickIsSentAtOnce_data()
    {
        QTest::addColumn<int>("preset");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("sent");
        QTest::newRow("vertical + in the first tab") << 0 << "vPolarityFrame" << "+" << "#SET_VERT_SYNC_POLARITY 1 0";
        QTest::newRow("horizontal - in the last tab") << 5 << "hPolarityFrame" << "-" << "#SET_HORZ_SYNC_POLARITY 0 5";
    }
    void polarityClickIsSentAtOnce()
    {
        QFETCH(int, preset);
        QFETCH(QString, frame);
        QFETCH(QString, button);
        PresetFixture f(preset);
        f.preset->setTimingFields(Reply1080p60);
        buttonWithText(f.editor()->findChild<QFrame*>(frame), button)->click();
        QTEST(f.sent.join(QLatin1Char('|')), "sent");
        QVERIFY(!f.applyTimer()->isActive());
        QVERIFY(f.ui.refreshTimings->isEnabled());
    }

    // Every keystroke restarts the pause; one apply follows the burst with the final value only.
    void burstOfEditsAppliesOnce()
    {
        TimeScale::setFactor(1); // keystrokes 300 ms apart, half the pause: room for a loaded machine
        PresetFixture f(0);
        f.preset->setTimingFields(Reply1080p60);
        MySpinBox* active = f.spin("vActiveSpin");
        active->selectAll();
        for (const QChar digit : QStringLiteral("1088")) {
            QTest::keyClick(active, digit.toLatin1());
            QCOMPARE(f.applyTimer()->interval(), TimeScale::ms(600));
            QTest::qWait(TimeScale::ms(300));
            QVERIFY2(f.sent.isEmpty(), qPrintable(f.sent.join(QLatin1Char('|'))));
        }
        const QStringList once {"#SET_VERT_ACTIVE 1088 0", "#SET_PIXEL_CLOCK 149.556 0", "#SET_VERT_TOTAL 1133 0",
                                "#SET_HORZ_SCAN_RATE 67.98 0"};
        QTRY_COMPARE(f.sent, once);
        QTest::qWait(TimeScale::ms(1200));
        QCOMPARE(f.sent, once);

        // The refresh rate waits longer.
        f.type(f.refresh(), QStringLiteral("50"));
        QCOMPARE(f.applyTimer()->interval(), TimeScale::ms(900));
    }

    // Enter in an input applies at once and cancels the pending pause.
    void enterAppliesAtOnce_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent");
        QTest::newRow("horizontal sync width") << "hSyncWidthSpin" << "40" << "#SET_HORZ_SYNC_WIDTH 40 3";
        QTest::newRow("vertical active") << "vActiveSpin" << "720" << "#SET_VERT_ACTIVE 720 3";
        QTest::newRow("refresh rate") << "vRefreshSpin" << "50" << "#SET_VERT_REFRESH_RATE 50.000 3";
    }
    void enterAppliesAtOnce()
    {
        QFETCH(QString, input);
        QFETCH(QString, typed);
        PresetFixture f(3);
        f.preset->setTimingFields(Reply1080p60);
        f.typeAndEnter(f.box(input), typed);
        QVERIFY(!f.sent.isEmpty());
        QTEST(f.sent.first(), "sent");
        QVERIFY(!f.applyTimer()->isActive());
        const int count = f.sent.size();
        QTest::qWait(TimeScale::ms(2000));
        QCOMPARE(f.sent.size(), count);
    }

    // A reply that comes in while an edit waits replaces the edit: nothing is sent, and
    // "Refresh" is usable again.
    void fillCancelsThePendingApply()
    {
        PresetFixture f(0);
        f.preset->setTimingFields(Reply1080p60);
        f.type(f.spin("hActiveSpin"), QStringLiteral("1280"));
        QVERIFY(f.applyTimer()->isActive());
        f.preset->setTimingFields(Reply1080p60);
        QVERIFY(!f.applyTimer()->isActive());
        QVERIFY(f.ui.refreshTimings->isEnabled());
        QCOMPARE(f.shown("hActiveSpin"), QStringLiteral("1920"));
        QTest::qWait(TimeScale::ms(2000));
        QCOMPARE(f.sent, QStringList());
    }

    // The real scaler in front of a simulated unit: an edit of the third preset reaches the wire
    // as "#SET_HORZ_ACTIVE 1920 2\r", and a value the unit refused goes out again with the next
    // apply (the scaler reports the failure back to the preset).
    void editedPresetReachesTheUnit()
    {
        TimeScale::setFactor(1); // a pty, a loaded machine and the sanitizers: real reply waits
        SerialPortLister::setSystemPortsListed(false);
        ScalerFixture f;
        ScalerSim sim(ScalerSim::Model::Dvi);
        QVERIFY(sim.start());
        sim.addRule(SimRule::regex(QStringLiteral("^#SET_(HORZ|VERT|PIXEL)_")).respond([](const QString& line) {
            return line.section(QLatin1Char(' '), 0, 0).mid(5).toLatin1() + " IS " + line.section(QLatin1Char(' '), 1, 1).toLatin1() + "\r\n>";
        }));
        f.pickGeneric(sim.portName());

        TimingPreset* preset = f.scaler->presets.at(2);
        QCOMPARE(f.ui.timingPresets->widget(2), preset->value());
        // The unit's own preset 2 differs from 1080p60 in its active width only.
        const QString unitPreset = sim.setting(QStringLiteral("TIMING_PRESET 2"));
        QVERIFY(unitPreset.contains(QLatin1String("Hor Active = 1888")));
        preset->setTimingFields(unitPreset.trimmed());

        auto active = preset->value()->findChild<MySpinBox*>(QStringLiteral("hActiveSpin"));
        active->selectAll();
        QTest::keyClicks(active, QStringLiteral("1920"));
        QVERIFY(sim.waitForRequest(QStringLiteral("#SET_HORZ_ACTIVE 1920 2"), 5000));
        QTRY_COMPARE(f.scaler->availability, int(Scaler::AVAILABLE));
        QTRY_VERIFY(f.ui.refreshTimings->isEnabled());
        QCOMPARE(sim.received(), QByteArray("#SET_HORZ_ACTIVE 1920 2\r"));
        QTRY_COMPARE(f.status(), QStringLiteral("HORZ_ACTIVE IS 1920"));

        // Refused once: the value goes out again with the next apply, and then no more.
        sim.clearLog();
        sim.addRule(SimRule::exact(QStringLiteral("#SET_HORZ_ACTIVE 1280 2")).reply("Wrong parameter\r\n>").times(1));
        active->selectAll();
        QTest::keyClicks(active, QStringLiteral("1280"));
        QTest::keyClick(active, Qt::Key_Return);
        QCOMPARE(sim.requests().first(), QStringLiteral("#SET_HORZ_ACTIVE 1280 2"));
        sim.clearLog();
        QTest::keyClick(active, Qt::Key_Return);
        QCOMPARE(sim.requests(), QStringList {"#SET_HORZ_ACTIVE 1280 2"});
        sim.clearLog();
        QTest::keyClick(active, Qt::Key_Return);
        QTest::qWait(TimeScale::ms(200));
        QCOMPARE(sim.requests(), QStringList());

        // A polarity click goes straight to the wire.
        buttonWithText(preset->value()->findChild<QFrame*>(QStringLiteral("hPolarityFrame")), QStringLiteral("-"))->click();
        QCOMPARE(sim.requests(), QStringList {"#SET_HORZ_SYNC_POLARITY 0 2"});
    }
};

PLEXA_TEST_MAIN(TestTimingPreset)
#include "tst_timingpreset.moc"

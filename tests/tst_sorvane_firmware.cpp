// The serial firmware update of the EDID test units, the HDBaseT pair units and the splitters,
// against the simulated unit's firmware receiver: byte-exact uploads, the progress bar, what the
// user is told for each way a transfer fails, the file checks, the HDBaseT unit's countdown,
// reboot wait and second and third files (through the real hub's refresh, and each way the
// continuation ends), and the splitter's hand-over to its page.
#include "plexatest.h"

#include "edidpluswin.h"
#include "endpoints.h"
#include "hdbaset.h"
#include "mainwin.h"
#include "recordingcontrollers.h"
#include "resources.h"
#include "scripteddialogs.h"
#include "serialports.h"
#include "sorvaneinterface.h"
#include "sorvanesim.h"
#include "timescale.h"
#include "ui_mainui.h"
#include "updatexmlmanager.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/stat.h>

#include <functional>
#include <memory>

using FirmwareScript = SorvaneSim::FirmwareScript;
Q_DECLARE_METATYPE(FirmwareScript)
Q_DECLARE_METATYPE(QList<FirmwareScript>)

namespace {

const QString kSuccess = QStringLiteral("Success. Please reboot the unit to apply.");
const QString kConnect = QStringLiteral(
    "Failed to connect, try rebooting the device. Also make sure no other serial connections are open.");
const QString kMissing = QStringLiteral("Cannot find remaining firmware update files.");
const QString kHdbtProduct = QStringLiteral("Dunmarl-R");
const QString kHdbtDescription = QStringLiteral("DUNMARL-R HDBaseT Receiver");

// Firmware-like bytes: every value occurs, CAN and the frame bytes among them.
QByteArray image(int size, int seed = 0)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + seed + i / 251) & 0xFF);
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QList<bool> eventsOf(const QSignalSpy& spy)
{
    QList<bool> events;
    for (const QList<QVariant>& args : spy)
        events << args.at(0).toBool();
    return events;
}

QList<int> valuesOf(const QSignalSpy& spy)
{
    QList<int> values;
    for (const QList<QVariant>& args : spy)
        values << args.at(0).toInt();
    return values;
}

bool shown(const ScriptedDialogs& dialogs, const QString& title, const QString& text)
{
    for (const ScriptedDialogs::Shown& s : dialogs.shown()) {
        if (s.title == title && s.text == text)
            return true;
    }
    return false;
}

// The products XML in the per-user firmware folder, naming the files of the HDBaseT unit's
// second and third parts (`parts` of 1 and 2), and those files in the folder the update page
// unpacks the package into. Returns the files' paths by part number.
QMap<int, QString> installPackage(const QList<int>& parts, const QMap<int, QByteArray>& contents)
{
    const QString root = updateXMLManager::firmwareFolder();
    QDir(root).removeRecursively();
    QByteArray entries;
    for (int part : parts)
        entries += "<part number=\"" + QByteArray::number(part) + "\"><extprefix>DUNMARL_P" + QByteArray::number(part)
                   + "</extprefix></part>";
    writeFile(root + QStringLiteral("/firmwareUpgradeTabInfo.xml"),
              "<!DOCTYPE VelmoFirmwareUpgrade>\n<VelmoFirmwareUpgrade><product id=\"" + kHdbtProduct.toUtf8()
                  + "\" zipfile=\"Dunmarl_R_2.1.zip\"><info><latestfw>2.1</latestfw><fwprefix>DUNMARL_P0</fwprefix>"
                  + "<fwextension>" + entries + "</fwextension></info></product></VelmoFirmwareUpgrade>\n");
    QMap<int, QString> files;
    for (auto it = contents.constBegin(); it != contents.constEnd(); ++it) {
        const QString path =
            root + QStringLiteral("/%1/Dunmarl_R_2.1/DUNMARL_P%2_v21.bin").arg(kHdbtProduct).arg(it.key());
        writeFile(path, it.value());
        files.insert(it.key(), QDir::toNativeSeparators(path));
    }
    return files;
}

// Calls `step` from inside whatever event loop runs (the reboot dialog's too) until it says done.
QTimer* drive(QObject* owner, std::function<bool()> step)
{
    auto* timer = new QTimer(owner);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, step] {
        if (step())
            timer->stop();
    });
    timer->start();
    return timer;
}

// The form, the real page over it and one simulated unit, selected as the hub would.
struct Fixture {
    QMainWindow window;
    Ui_MainUI ui;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope{dialogs};
    QSerialPort port;
    QList<EdidEntry> monitors;
    QTemporaryDir dir;
    SorvaneSim sim;
    std::unique_ptr<SorvaneInterface> page;
    bool started = false;

    explicit Fixture(int type = 2)
        : sim(type)
    {
        ui.setupUi(&window);
        started = sim.start(type == 7 ? kHdbtDescription : QString());
        page = std::make_unique<SorvaneInterface>(&ui, &monitors, &port);
        page->init();
        page->updateDeviceList();
        Device d;
        d.name = type == 7 ? kHdbtProduct : SorvaneInterface::deviceTypeName(type);
        d.portName = sim.portName();
        d.type = type;
        page->selectedProductChanged(d);
        sim.clearLog();
        dialogs.clear();
    }
    ~Fixture()
    {
        page.reset();
        sim.stop();
        SerialPortLister::clearRegisteredPorts();
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    // Runs the first upload of `bytes`; the firmwareUpdateEvent flags it emitted.
    QList<bool> update(const QByteArray& bytes, const QString& name = QStringLiteral("sorvane_fw_1.4.bin"))
    {
        writeFile(path(name), bytes);
        return updateFrom(path(name));
    }
    QList<bool> updateFrom(const QString& file)
    {
        ui.updateFilename->setText(file);
        QSignalSpy events(page.get(), SIGNAL(firmwareUpdateEvent(bool)));
        page->sorvaneFirmwareUpdate();
        return eventsOf(events);
    }
    bool idleAfterFailure() const
    {
        return page->linkState() == SorvaneInterface::Idle && ui.ConfiguratorTabs->isEnabled() && !port.isOpen();
    }
};

// A hub on recording doubles except for the EDID viewer, which is the real one with the real
// test-device page and HDBaseT page, so the hub's product-list refresh drives the update.
class FirmwareHubFactory : public RecordingControllerFactory
{
public:
    ~FirmwareHubFactory() override { delete viewer; }
    EdidPlus* createEdidPlus(Ui_MainUI* ui, QSerialPort* port) override
    {
        viewer = new EdidPlusWin(ui, new SorvaneInterface(ui, &monitors, port), drm.path());
        return viewer;
    }
    SorvaneInterface* page() const { return viewer->sorvaneInterface(); }

    QTemporaryDir drm; // no monitors
    QList<EdidEntry> monitors;
    EdidPlusWin* viewer = nullptr;
};

struct Hub {
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope{dialogs};
    FirmwareHubFactory factory;
    std::unique_ptr<MainWin> window;

    Hub()
    {
        window = std::make_unique<MainWin>(&factory);
        emit factory.discovery->refreshPerformed(); // the first fill, without the timer
    }
    ~Hub() { window.reset(); }
    Ui_MainUI* ui() const { return window->form(); }
    SorvaneInterface* page() const { return factory.page(); }
    // Picks the drop-down entry that holds `text`, as the user would.
    bool pick(const QString& text)
    {
        QComboBox* combo = ui()->productCombobox;
        const int index = combo->findText(text, Qt::MatchContains);
        if (index < 0)
            return false;
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        return true;
    }
    void route(int code) { QMetaObject::invokeMethod(window.get(), "firmwareUpdateRouter", Q_ARG(int, code)); }
};

} // namespace

class TestSorvaneFirmware : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initPlexaResources();
        Endpoints::setServer(QStringLiteral("http://127.0.0.1:9"));
        SerialPortLister::setSystemPortsListed(false);
        // The unit's answers must land inside the page's waits on a loaded machine.
        TimeScale::setFactor(qMax(TimeScale::factor(), 0.05));
    }
    void cleanupTestCase() { Endpoints::setServer(QString()); }

    // The unit receives the file as it is on disk: name, size, every byte (block numbers wrap
    // past 255), and the test unit is told to reboot, the link held until it is back.
    void uploadsAreByteExact_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("one byte") << 1;
        QTest::newRow("1500 bytes: the last block padded") << 1500;
        QTest::newRow("2048 bytes: two full blocks") << 2048;
        QTest::newRow("block numbers wrap past 255") << 257 * 1024 + 300;
    }
    void uploadsAreByteExact()
    {
        QFETCH(int, size);
        Fixture f;
        QVERIFY(f.started);
        const QByteArray bytes = image(size, size);
        QCOMPARE(f.update(bytes), (QList<bool>{true, false}));

        const QList<SorvaneSim::FirmwareFile> files = f.sim.firmwareFiles();
        QCOMPARE(files.size(), 1);
        QCOMPARE(files[0].errors, QStringList());
        QCOMPARE(files[0].name, QStringLiteral("sorvane_fw_1.4.bin"));
        QCOMPARE(files[0].size, qint64(size));
        QVERIFY(files[0].data == bytes);
        QVERIFY(files[0].complete);
        QCOMPARE(files[0].naks + files[0].repeats, 0);
        QVERIFY(shown(f.dialogs, "Status", kSuccess));
        QCOMPARE(f.ui.statusBar->currentMessage(), kSuccess);
        QCOMPARE(f.ui.updateBar->value(), 100);
        QVERIFY(f.ui.ConfiguratorTabs->isEnabled());
        QVERIFY(!f.port.isOpen());
        QCOMPARE(f.page->linkState(), int(SorvaneInterface::BoosterCommand));

        // The unit's return releases the link and refreshes the page.
        QSignalSpy events(f.page.get(), SIGNAL(firmwareUpdateEvent(bool)));
        f.page->onSuddenReconnect();
        QCOMPARE(eventsOf(events), QList<bool>{false});
        QVERIFY(f.sim.requests().contains(QStringLiteral("#show_ver_data")));
        QCOMPARE(f.page->linkState(), int(SorvaneInterface::Idle));
        // Once refreshed, a later change of the list leaves the page alone.
        f.page->onSuddenReconnect();
        QCOMPARE(events.size(), 1);
    }

    // The bar: 5 at the unit's "C", 10 when the data starts, then 80 units over the file, never
    // past 100 and never back; 100 at the end.
    void progressFollowsTheBlocks_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<int>>("start");
        QTest::addColumn<int>("beforeEnd");
        QTest::newRow("100 full blocks") << 100 * 1024 << QList<int>{5, 10, 11} << 90;
        QTest::newRow("a small file is held at 100") << 1500 << QList<int>{5, 10, 100} << 10;
    }
    void progressFollowsTheBlocks()
    {
        QFETCH(int, size);
        QFETCH(QList<int>, start);
        QFETCH(int, beforeEnd);
        Fixture f;
        f.ui.updateBar->setValue(0);
        QSignalSpy bar(f.ui.updateBar, SIGNAL(valueChanged(int)));
        f.update(image(size));
        const QList<int> values = valuesOf(bar);
        QVERIFY2(values.size() >= start.size(), qPrintable(QString::number(values.size())));
        QCOMPARE(values.mid(0, start.size()), start);
        QCOMPARE(values.last(), 100);
        if (values.size() > start.size())
            QCOMPARE(values.at(values.size() - 2), beforeEnd);
        for (int i = 1; i < values.size(); ++i)
            QVERIFY2(values[i] > values[i - 1], qPrintable(QString("at %1").arg(i)));
        QCOMPARE(f.ui.updateBar->maximum(), 100);
    }

    // Each way the unit lets the transfer down gets its message; the unit is told to give up
    // (CAN CAN) whenever it may still be listening; the page is usable again at once.
    void failuresAreReported_data()
    {
        QTest::addColumn<FirmwareScript>("script");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("cancels");

        FirmwareScript s;
        s.request = false;
        QTest::newRow("no C") << s << kConnect << 1;
        s.greeting = "CRC mode, Ctrl-C aborts\r\nC:\\> ready\r\n";
        QTest::newRow("C only inside the unit's text") << s << kConnect << 1;
        s = FirmwareScript();
        s.nak[0] = 100;
        QTest::newRow("block 0 refused") << s << "Fail. Incorrect File." << 1;
        s = FirmwareScript();
        s.silentAt = 0;
        QTest::newRow("block 0 unanswered") << s << "Fail. Incorrect File." << 0;
        s = FirmwareScript();
        s.requestAfterHeader = false;
        QTest::newRow("no C after block 0") << s << "Fail. Timeout." << 1;
        s = FirmwareScript();
        s.nak[2] = 100;
        QTest::newRow("a block refused again and again") << s << "Fail. Problem sending data." << 1;
        s = FirmwareScript();
        s.silentAt = 2;
        QTest::newRow("the unit falls silent mid-file") << s << "Fail. Problem sending data." << 0;
        s = FirmwareScript();
        s.vanishAt = 3;
        QTest::newRow("the unit is unplugged mid-file") << s << "Fail. Problem sending data." << 0;
        s = FirmwareScript();
        s.cancelAt = 2;
        QTest::newRow("the unit cancels mid-file") << s << "Fail. Problem sending data." << 0;
        s = FirmwareScript();
        s.nak[SorvaneSim::Eot] = 100;
        QTest::newRow("EOT refused") << s << "Fail. Problem sending file." << 1;
        s = FirmwareScript();
        s.cancelAt = SorvaneSim::Closing;
        QTest::newRow("closing block cancelled") << s << "Fail. Problem completing upgrade." << 0;
    }
    void failuresAreReported()
    {
        QFETCH(FirmwareScript, script);
        QFETCH(QString, message);
        QFETCH(int, cancels);
        Fixture f;
        f.sim.setFirmwareScripts({script});
        QCOMPARE(f.update(image(3000)), (QList<bool>{true, false}));
        QVERIFY2(shown(f.dialogs, "Status", message), qPrintable(f.dialogs.shown().value(0).text));
        QCOMPARE(f.dialogs.shown().size(), 1);
        QVERIFY(f.idleAfterFailure());
        QTRY_COMPARE(f.sim.firmwareCancels(), cancels);
        QVERIFY(!f.sim.firmwareFiles().value(0).complete);
        // Nothing pending: the unit's return does not refresh anything.
        QSignalSpy events(f.page.get(), SIGNAL(firmwareUpdateEvent(bool)));
        f.page->onSuddenReconnect();
        QCOMPARE(events.size(), 0);
    }

    // Hiccups the upload rides out: a few refused blocks are sent again, a unit that does not
    // ask before the closing block or does not acknowledge it after the whole file.
    void hiccupsAreRiddenOut_data()
    {
        QTest::addColumn<FirmwareScript>("script");
        QTest::addColumn<int>("naks");
        FirmwareScript s;
        s.nak[2] = 3;
        s.nak[0] = 1;
        QTest::newRow("blocks refused a few times") << s << 4;
        s = FirmwareScript();
        s.requestAfterEot = false;
        QTest::newRow("no C after EOT") << s << 0;
        s = FirmwareScript();
        s.silentAt = SorvaneSim::Closing;
        QTest::newRow("closing block unanswered") << s << 0;
        s = FirmwareScript();
        s.requestIntervalMs = 1; // "C"s without a pause until block 0 comes
        s.requestRepeats = 100000;
        QTest::newRow("the unit asks without pause") << s << 0;
    }
    void hiccupsAreRiddenOut()
    {
        QFETCH(FirmwareScript, script);
        QFETCH(int, naks);
        Fixture f;
        f.sim.setFirmwareScripts({script});
        const QByteArray bytes = image(5000, 3);
        QElapsedTimer clock;
        clock.start();
        f.update(bytes);
        // Every wait kept its bound: none of these rides more than a few of them.
        QVERIFY2(clock.elapsed() < TimeScale::ms(60000), qPrintable(QString::number(clock.elapsed())));
        QVERIFY(shown(f.dialogs, "Status", kSuccess));
        const SorvaneSim::FirmwareFile file = f.sim.firmwareFiles().value(0);
        QVERIFY(file.data.left(5000) == bytes);
        QCOMPARE(file.naks, naks);
        QCOMPARE(f.sim.firmwareCancels(), 0);
    }

    // A file that cannot be sent is refused before the unit is put into its upgrade mode.
    void badFilesNeverReachTheUnit_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "missing" << "Cannot open file for reading.";
        QTest::newRow("no name") << "none" << "Cannot open file for reading.";
        QTest::newRow("empty") << "empty" << "The firmware file is empty.";
        QTest::newRow("FIFO") << "fifo" << QString();
        QTest::newRow("folder") << "folder" << QString();
        QTest::newRow("larger than any firmware") << "huge" << QString();
    }
    void badFilesNeverReachTheUnit()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        Fixture f;
        QString file = f.path(QStringLiteral("fw.bin"));
        if (kind == "empty")
            writeFile(file, QByteArray());
        else if (kind == "fifo")
            QCOMPARE(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        else if (kind == "folder")
            QVERIFY(QDir().mkpath(file));
        else if (kind == "none")
            file.clear();
        else if (kind == "huge")
            QVERIFY(QFile(file).open(QIODevice::WriteOnly) && QFile::resize(file, 64 * 1024 * 1024 + 1));
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(f.updateFrom(file), (QList<bool>{true, false}));
        QVERIFY(timer.elapsed() < 5000);
        QCOMPARE(f.dialogs.shown().size(), 1);
        QCOMPARE(f.dialogs.shown()[0].title, QStringLiteral("I/O Error"));
        if (!message.isEmpty())
            QCOMPARE(f.dialogs.shown()[0].text, message);
        QVERIFY(!f.sim.requests().contains(QStringLiteral("#fw_upgrade")));
        QCOMPARE(f.page->linkState(), int(SorvaneInterface::Idle));
        QVERIFY(f.ui.ConfiguratorTabs->isEnabled());
    }

    // The page's own file field takes only a file that can be sent; its button starts the update
    // with the update page's file, and stays off after it until a file is chosen again.
    void pageButtonsBrowseAndStart()
    {
        Fixture f;
        f.ui.sorvaneFirmwareUpdate->setEnabled(false);
        f.dialogs.answerPath(f.path(QStringLiteral("missing.bin")));
        f.ui.sorvaneFirmwareBrowse->click();
        QCOMPARE(f.dialogs.shown().value(1).title, QStringLiteral("I/O Error"));
        QVERIFY(!f.ui.sorvaneFirmwareUpdate->isEnabled());
        QCOMPARE(f.ui.sorvaneFirmwareFile->text(), QString());

        const QString page = f.path(QStringLiteral("page.bin"));
        writeFile(page, image(100));
        f.dialogs.answerPath(page);
        f.ui.sorvaneFirmwareBrowse->click();
        QCOMPARE(f.ui.sorvaneFirmwareFile->text(), page);
        QVERIFY(f.ui.sorvaneFirmwareUpdate->isEnabled());

        const QString chosen = f.path(QStringLiteral("update_page.bin"));
        writeFile(chosen, image(1200, 9));
        f.ui.updateFilename->setText(chosen);
        f.ui.sorvaneFirmwareUpdate->click();
        QCOMPARE(f.sim.firmwareFiles().value(0).name, QStringLiteral("update_page.bin"));
        QVERIFY(f.sim.firmwareFiles().value(0).data == image(1200, 9));
        QVERIFY(!f.ui.sorvaneFirmwareUpdate->isEnabled());
    }

    // "C"s the unit sent before the command (or that an earlier exchange left unread) do not
    // start a transfer the unit is not ready for.
    void staleRequestsAreDropped()
    {
        Fixture f;
        FirmwareScript s;
        s.request = false;
        f.sim.setFirmwareScripts({s});
        QVERIFY(f.port.isOpen());
        f.sim.push("\r\nC\r\n");
        QTest::qWait(TimeScale::ms(500));
        f.update(image(2000));
        QVERIFY(shown(f.dialogs, "Status", kConnect));
        QVERIFY(!f.sim.received().contains(QByteArray("\x01\x00\xff", 3)));
    }

    // An HDBaseT unit whose link monitor runs when the update starts: its lines ("CH0: n",
    // "ReTransRate: r") keep coming and their "C"s are no request of the unit's receiver.
    void monitorLinesAreNoRequest()
    {
        Fixture f(7);
        FirmwareScript s;
        s.request = false;
        s.greeting = "ok\r\n";
        f.sim.setFirmwareScripts({s});
        f.page->setupPlot();
        QTRY_VERIFY(f.sim.monitoring());
        QTest::qWait(TimeScale::ms(2500));
        f.update(image(2000));
        QVERIFY(shown(f.dialogs, "Status", kConnect));
        QVERIFY(f.sim.monitoring());
        QVERIFY(!f.sim.received().contains(QByteArray("\x01\x00\xff", 3)));
    }

    // The HDBaseT unit through the real hub: the first file, the 60-second countdown, the reboot
    // dialog, the unit unplugged and plugged in under the same port name, the second and third
    // files from the unpacked package, and the page refresh once it is all done.
    void hdbaseTUnitUpdatesThroughTheHub_data()
    {
        QTest::addColumn<bool>("unplugDuringCountdown");
        QTest::newRow("unplugged in the reboot dialog") << false;
        QTest::newRow("unplugged while it counts down") << true;
    }
    void hdbaseTUnitUpdatesThroughTheHub()
    {
        QFETCH(bool, unplugDuringCountdown);
        QTemporaryDir links;
        const QString stable = links.filePath(QStringLiteral("ttyHDBT0"));
        SorvaneSim sim(7);
        sim.setStablePortName(stable);
        QVERIFY(sim.start(kHdbtDescription));
        installPackage({1, 2}, {{1, image(4000, 1)}, {2, image(9000, 2)}});
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("DUNMARL_P0_v21.bin"));
        writeFile(first, image(7000, 0));

        Hub hub;
        QVERIFY(hub.pick(kHdbtProduct));
        QTRY_VERIFY(sim.requests().contains(QStringLiteral("#v2kver l")));
        sim.clearLog();
        hub.ui()->updateFilename->setText(first);
        QSignalSpy bar(hub.ui()->updateBar, SIGNAL(valueChanged(int)));
        QSignalSpy events(hub.page(), SIGNAL(firmwareUpdateEvent(bool)));
        QElapsedTimer clock;
        clock.start();
        hub.route(11);
        QCOMPARE(sim.firmwareFiles().size(), 1);
        QCOMPARE(hub.ui()->updateBar->maximum(), 660);
        QCOMPARE(hub.ui()->statusBar->currentMessage(), QStringLiteral("[1/3] Programming the device..."));
        QCOMPARE(eventsOf(events), QList<bool>{true});

        // The user power-cycles the unit, early or once asked by the reboot dialog. It comes back
        // once the HDBaseT page's poll has seen it go and the dialog is open.
        RebootDialog* dialog = hub.page()->rebootDialogWidget();
        QSignalSpy countChanges(hub.page()->hdbaseT(), SIGNAL(refreshImmediately()));
        if (unplugDuringCountdown)
            sim.unplug();
        int step = 0;
        qint64 countdownEnd = 0;
        QElapsedTimer away;
        drive(hub.window.get(), [&] {
            if (step == 0 && dialog->isVisible()) {
                countdownEnd = clock.elapsed();
                if (!unplugDuringCountdown) {
                    countChanges.clear();
                    sim.unplug();
                }
                step = 1;
            } else if (step == 1 && countChanges.size() > 0 && !away.isValid()) {
                away.start();
            } else if (step == 1 && away.isValid() && away.elapsed() > TimeScale::ms(3000)) {
                sim.plugIn();
                step = 2;
            }
            return step == 2;
        });
        QTRY_VERIFY_WITH_TIMEOUT(step == 2 && !dialog->isVisible() && hub.page()->linkState() == SorvaneInterface::Idle
                                     && sim.requests().contains(QStringLiteral("#show_ver_data")),
                                 60000);
        QVERIFY(countdownEnd >= TimeScale::ms(59000));
        QCOMPARE(sim.portName(), stable);

        const QList<SorvaneSim::FirmwareFile> files = sim.firmwareFiles();
        QCOMPARE(files.size(), 3);
        QVERIFY(files[0].data == image(7000, 0));
        QCOMPARE(files[1].name, QStringLiteral("DUNMARL_P1_v21.bin"));
        QVERIFY(files[1].data == image(4000, 1));
        QVERIFY(files[2].data == image(9000, 2));
        QVERIFY(shown(hub.dialogs, "Status", kSuccess));
        QCOMPARE(hub.ui()->updateBar->value(), 100);
        QVERIFY(hub.ui()->ConfiguratorTabs->isEnabled());
        // The end of the update, then the refresh that found the unit again.
        QCOMPARE(eventsOf(events), (QList<bool>{true, false, false}));

        // The countdown walked 100, 102, ... 218; each later file moved on from its own base.
        const QList<int> values = valuesOf(bar);
        const int at100 = values.indexOf(100);
        QVERIFY(at100 > 0);
        for (int t = 0; t < 60; ++t)
            QCOMPARE(values.value(at100 + t), 100 + 2 * t);
        for (int i = 0; i < at100; ++i)
            QVERIFY(values[i] <= 100);
        QVERIFY(values.contains(225) && values.contains(445));
    }

    // Each way the second and third files can end, from the moment the unit is back.
    void continuationOutcomes_data()
    {
        QTest::addColumn<QList<int>>("listed");
        QTest::addColumn<QList<FirmwareScript>>("scripts");
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("transfers");

        FirmwareScript split;
        split.restartText = "restart\r\n";
        split.restartCharGapMs = 1500; // the word spans more than one watch window
        QTest::newRow("restart cut by a window renewal")
            << QList<int>{1, 2} << QList<FirmwareScript>{split} << kSuccess << kSuccess << 2;
        FirmwareScript unanswered;
        unanswered.ackClosing = false;
        unanswered.progressLines = 0; // "restart" comes while the closing block awaits its answer
        QTest::newRow("restart instead of the closing block's answer")
            << QList<int>{1, 2} << QList<FirmwareScript>{unanswered} << kSuccess << kSuccess << 2;
        FirmwareScript silent;
        silent.progressLines = 0;
        silent.restartText.clear();
        QTest::newRow("silent after the second file")
            << QList<int>{1, 2} << QList<FirmwareScript>{silent} << "Second firmware update process failed."
            << QString() << 1;
        QTest::newRow("silent after the third file")
            << QList<int>{1, 2} << QList<FirmwareScript>{FirmwareScript(), silent}
            << "Third firmware update process failed." << QString() << 2;
        QTest::newRow("only the second file listed")
            << QList<int>{1} << QList<FirmwareScript>{FirmwareScript()} << kMissing << QString() << 1;
        QTest::newRow("no file listed") << QList<int>{} << QList<FirmwareScript>{FirmwareScript()} << kMissing
                                        << QString() << 0;
        FirmwareScript chatty;
        chatty.progressLines = -1;
        QTest::newRow("talks for ever without restart")
            << QList<int>{1, 2} << QList<FirmwareScript>{chatty} << "Second firmware update process failed."
            << "Fail. The unit did not report the end of its programming in time. Please power cycle the unit and "
               "try again."
            << 1;
    }
    void continuationOutcomes()
    {
        QFETCH(QList<int>, listed);
        QFETCH(QList<FirmwareScript>, scripts);
        QFETCH(QString, report);
        QFETCH(QString, box);
        QFETCH(int, transfers);
        Fixture f(7);
        f.sim.setFirmwareScripts(scripts);
        installPackage(listed, {{1, image(3000, 1)}, {2, image(2500, 2)}});
        f.ui.updateBar->setMaximum(660);
        QSignalSpy events(f.page.get(), SIGNAL(firmwareUpdateEvent(bool)));

        drive(&f.window, [&] {
            if (!f.page->rebootDialogWidget()->isVisible())
                return false;
            f.page->onSuddenReconnect(); // as the hub does when the unit is listed again
            return true;
        });
        f.page->rebootTest();

        QCOMPARE(f.sim.firmwareFiles().size(), transfers);
        for (const SorvaneSim::FirmwareFile& file : f.sim.firmwareFiles())
            QVERIFY(file.complete);
        if (report == kSuccess) {
            QVERIFY(f.sim.requests().contains(QStringLiteral("#show_ver_data")));
            QCOMPARE(eventsOf(events), (QList<bool>{false, false}));
        } else {
            QCOMPARE(f.ui.statusBar->currentMessage(), report);
            QCOMPARE(f.ui.statusBar->palette().color(QPalette::WindowText), QColor(255, 70, 50));
            QCOMPARE(eventsOf(events), QList<bool>{false});
            QTRY_COMPARE(f.ui.statusBar->currentMessage(), QString());
        }
        QStringList boxes;
        for (const ScriptedDialogs::Shown& s : f.dialogs.shown())
            boxes << s.text;
        QCOMPARE(boxes, box.isEmpty() ? QStringList() : QStringList{box});
        QCOMPARE(f.page->linkState(), int(SorvaneInterface::Idle));
        QVERIFY(f.ui.ConfiguratorTabs->isEnabled());
    }

    // Giving up in the reboot dialog ends the update; the unit's return later changes nothing.
    void rebootWaitCanBeAbandoned()
    {
        Fixture f(7);
        QSignalSpy events(f.page.get(), SIGNAL(firmwareUpdateEvent(bool)));
        f.dialogs.answerButton(QMessageBox::Yes);
        drive(&f.window, [&] {
            if (!f.page->rebootDialogWidget()->isVisible())
                return false;
            f.page->closePort(); // the hub saw the unit go
            f.page->rebootDialogWidget()->onCancelClick();
            return true;
        });
        f.page->rebootTest();
        QCOMPARE(f.ui.statusBar->currentMessage(), QStringLiteral("The firmware update process has been aborted."));
        QCOMPARE(f.page->linkState(), int(SorvaneInterface::Idle));
        QVERIFY(f.ui.ConfiguratorTabs->isEnabled());
        QCOMPARE(eventsOf(events), QList<bool>{false});
        QTRY_COMPARE(f.ui.statusBar->currentMessage(), QString());
        f.page->onSuddenReconnect();
        QCOMPARE(f.sim.firmwareFiles().size(), 0);
        QCOMPARE(events.size(), 1);
    }

    // A splitter (router code 14): the upload, 56 seconds of programming, then the splitter
    // page's finishing step and, once the upload has ended, its firmware page refresh.
    void splitterIsHandedToItsPage()
    {
        SorvaneSim sim(2);
        QVERIFY(sim.start(QStringLiteral("Jorvale HDMI Splitter")));
        Hub hub;
        Device splitter;
        splitter.name = QStringLiteral("Jorvale");
        splitter.portName = sim.portName();
        splitter.type = 10;
        hub.factory.script.lunmoraDevices = {splitter};
        hub.window->refreshList();
        QTRY_VERIFY(hub.pick(QStringLiteral("Jorvale")));
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("jorvale_fw_2.10.bin"));
        writeFile(file, image(6000));
        hub.ui()->updateFilename->setText(file);
        hub.factory.log.clear();
        QSignalSpy bar(hub.ui()->updateBar, SIGNAL(valueChanged(int)));
        // The splitter page stays busy through the whole upload, the hub's list refreshes
        // (which switch its poll back on) notwithstanding.
        QList<bool> busy;
        QTimer* sampler = drive(hub.window.get(), [&] {
            busy << hub.factory.lunmora->isPageBusy();
            if (busy.size() == 20)
                hub.window->refreshList();
            return false;
        });
        QElapsedTimer clock;
        clock.start();
        hub.route(14);
        sampler->stop();
        QVERIFY(clock.elapsed() >= TimeScale::ms(56000));
        QVERIFY(busy.size() > 20);
        QVERIFY(!busy.contains(false));
        QVERIFY(!hub.factory.lunmora->isPageBusy());

        QCOMPARE(sim.firmwareFiles().size(), 1);
        QVERIFY(sim.firmwareFiles()[0].data == image(6000));
        const QStringList calls = hub.factory.log.callsTo(QStringLiteral("Lunmora"));
        const int finish = calls.indexOf(QStringLiteral("Lunmora::finishFirmwareUpdate(%1)").arg(file));
        QVERIFY2(finish >= 0, qPrintable(calls.join('\n')));
        QCOMPARE(calls.lastIndexOf(QStringLiteral("Lunmora::refreshFWPage()")), calls.size() - 1);
        QVERIFY(calls.lastIndexOf(QStringLiteral("Lunmora::refreshFWPage()")) > finish);
        const QList<int> values = valuesOf(bar);
        QCOMPARE(values.mid(values.lastIndexOf(91), 8), (QList<int>{91, 92, 93, 94, 95, 96, 97, 98}));
        // The splitter page checked the unit; this page does not wait for it nor open its port.
        QCOMPARE(hub.page()->linkState(), int(SorvaneInterface::Idle));
        sim.clearLog();
        hub.page()->onSuddenReconnect();
        QVERIFY(sim.requests().isEmpty());

        // A failed upload gives the splitter page back as well.
        FirmwareScript mute;
        mute.request = false;
        sim.setFirmwareScripts({mute});
        busy.clear();
        sampler->start();
        hub.route(14);
        sampler->stop();
        QCOMPARE(sim.firmwareFiles().size(), 2);
        QVERIFY(!busy.isEmpty() && !busy.contains(false));
        QVERIFY(!hub.factory.lunmora->isPageBusy());
        QVERIFY(shown(hub.dialogs, "Status", kConnect));
    }
};

PLEXA_TEST_MAIN(TestSorvaneFirmware)
#include "tst_sorvane_firmware.moc"

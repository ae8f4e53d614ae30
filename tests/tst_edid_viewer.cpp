// The EDID viewer's sources: units (through doubles of the device controllers), ".bin" files and
// the PC's monitors (from a fake sysfs tree), the viewer's messages, the monitor list's change
// detection and the window's EDID refresh and download routing.
#include "plexatest.h"
#include "edidbuilder.h"
#include "edidmanagement.h"
#include "endpoints.h"
#include "mainwin.h"
#include "recordingcontrollers.h"
#include "resources.h"
#include "scripteddialogs.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <sys/stat.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolButton>

class EdidWindow : public MainWin
{
public:
    using MainWin::MainWin;
    using MainWindow::edidPlus;
};

// A fake "/sys/class/drm": one folder per connector with its "status" and "edid" files, plus the
// entries of a real tree that are not connectors.
class FakeDrm
{
public:
    FakeDrm()
    {
        QDir(path()).mkpath(QStringLiteral("card0"));
        QDir(path()).mkpath(QStringLiteral("renderD128"));
        write(QStringLiteral("version"), "drm 1.1.0 20060810\n");
    }
    QString path() const { return m_dir.path(); }

    void connector(const QString& name, const QByteArray& status, const QByteArray& edid)
    {
        QDir(path()).mkpath(name);
        write(name + QStringLiteral("/status"), status + '\n');
        write(name + QStringLiteral("/edid"), edid);
        write(name + QStringLiteral("/enabled"), "enabled\n");
    }
    void remove(const QString& name) { QDir(path() + QLatin1Char('/') + name).removeRecursively(); }

private:
    void write(const QString& relative, const QByteArray& bytes)
    {
        QFile file(path() + QLatin1Char('/') + relative);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QTemporaryDir m_dir;
};

namespace {
// A monitor's EDID: a name descriptor (none when empty) and a serial number, so two monitors of
// one model differ only in bytes 12 to 15.
QByteArray monitorEdid(const QByteArray& name, int serial, bool withExtension = false)
{
    EdidBuilder builder;
    builder.set(12, {serial & 0xFF, (serial >> 8) & 0xFF, 0, 0});
    if (!name.isEmpty())
        builder.displayDescriptor(1, 0xFC, name);
    if (withExtension)
        builder.cea().dataBlock(2, {0x90});
    return builder.build();
}

QStringList monitorItems(const Ui_MainUI* ui)
{
    QStringList items;
    for (int i = 0; i < ui->selectEDIDFromMonitor->count(); ++i)
        items << ui->selectEDIDFromMonitor->itemText(i);
    return items;
}

// The EDID reads made of the device controllers, in order.
QStringList edidReads(const CallLog& log)
{
    static const QRegularExpression read(QStringLiteral("::(getEDID|get[A-Z]+EDID|readConverterEdid)\\("));
    return log.calls().filter(read);
}

// The widget's own enabled flag, whatever its containers say.
bool ownEnabled(const QWidget* w)
{
    return !w->testAttribute(Qt::WA_ForceDisabled);
}

int openFileHandles(const QString& path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    int count = 0;
    const QFileInfoList fds = QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::Files | QDir::System);
    for (const QFileInfo& fd : fds) {
        if (fd.symLinkTarget() == target)
            ++count;
    }
    return count;
}
} // namespace

class TestEdidViewer : public QObject
{
    Q_OBJECT

private:
    ScriptedDialogs dialogs;
    QScopedPointer<ScriptedDialogs::Scope> scope;

    // The window over doubles of the device controllers, with the real viewer and editor.
    struct Fixture {
        FakeDrm drm;
        RecordingControllerFactory factory;
        QScopedPointer<EdidWindow> window;
        explicit Fixture(const std::function<void(FakeDrm&)>& monitors = {})
        {
            if (monitors)
                monitors(drm);
            factory.realViewerDrmRoot = drm.path();
            window.reset(new EdidWindow(&factory));
        }
        Ui_MainUI* ui() const { return window->form(); }
        RecordingEdidViewer* viewer() const { return factory.edidViewer; }
        EdidManagement* editor() const { return viewer()->edidManagement(); }
        void sources(const QString& product, const QStringList& entries, int index)
        {
            ui()->productCombobox->clear();
            ui()->productCombobox->addItem(product);
            ui()->selectEDIDFromDevice->clear();
            ui()->selectEDIDFromDevice->addItems(entries);
            ui()->selectEDIDFromDevice->setCurrentIndex(index);
        }
    };

    // One window for the table-driven routing checks; each row resets what it relies on.
    QScopedPointer<Fixture> shared;
    Fixture& sharedFixture()
    {
        if (!shared)
            shared.reset(new Fixture);
        Fixture& f = *shared;
        f.viewer()->setDeviceInfoA(Device(), nullptr);
        f.viewer()->setDeviceInfoB(Device(), nullptr);
        f.ui()->loadedEDID->clear();
        f.factory.script.deviceEdid.clear();
        f.factory.log.clear();
        return f;
    }

    QStringList messageTitles() const
    {
        QStringList titles;
        for (const ScriptedDialogs::Shown& shown : dialogs.shown()) {
            if (shown.kind != DialogBackend::Kind::OpenFile)
                titles << shown.title;
        }
        return titles;
    }

private slots:
    void initTestCase()
    {
        initPlexaResources();
        // No server: every download fails at once on a closed port of this machine.
        Endpoints::setServer(QStringLiteral("http://127.0.0.1:9"));
        scope.reset(new ScriptedDialogs::Scope(dialogs));
    }
    void cleanupTestCase()
    {
        shared.reset();
        Endpoints::setServer(QString());
    }
    void init() { dialogs.clear(); }

    // ---- EDIDs of units ------------------------------------------------------------------------

    void deviceSourceRouting_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("link");     // the controller handed over beforehand
        QTest::addColumn<bool>("unitAnswers"); // the read returns an EDID
        QTest::addColumn<QStringList>("reads");
        QTest::addColumn<QString>("message"); // title of the message shown, if any
        QTest::addColumn<bool>("shown");

        const QStringList sorvane{"Select EDID", "Connected Display", "Local EDID"};
        const QStringList dev{"Select EDID", "Input 1"};
        QTest::newRow("test unit reads by index")
            << "HDMI Sorvane Plus" << sorvane << 2 << "" << true << QStringList{"SorvaneInterface::getEDID(2)"}
            << "" << true;
        QTest::newRow("test unit read fails")
            << "HDMI Sorvane Plus" << sorvane << 2 << "" << false << QStringList{"SorvaneInterface::getEDID(2)"}
            << "Error" << false;
        QTest::newRow("converter source wins over scaler")
            << "HDMI Sorvane Plus" << QStringList{"Select EDID", "Converter Scaler EDID"} << 1 << "scaler" << true
            << QStringList{"EdidPlus::readConverterEdid(false)"} << "" << true;
        QTest::newRow("perrick reads through the converter's scaler read")
            << "Perrick DP" << QStringList{"Select EDID", "Local EDID"} << 1 << "" << true
            << QStringList{"EdidPlus::readConverterEdid(true)"} << "" << true;
        QTest::newRow("scaler source") << "VGA to DVI Scaler" << QStringList{"Select EDID", "Scaler EDID"} << 1
                                       << "scaler" << true
                                       << QStringList{"Scaler::getEDID(Device(VGA to DVI Scaler, /dev/ttyUSB0, 5))"}
                                       << "" << true;
        QTest::newRow("scaler source without its controller")
            << "VGA to DVI Scaler" << QStringList{"Select EDID", "Scaler EDID"} << 1 << "" << true << QStringList{}
            << "Error" << false;
        QTest::newRow("splitter") << "Farrund 1x4" << QStringList{"Select EDID", "Preset EDID"} << 1 << "splitter"
                                  << true << QStringList{"Lunmora::getEDID()"} << "" << true;
        QTest::newRow("first item does nothing")
            << "HDMI Sorvane Plus" << sorvane << 0 << "" << true << QStringList{} << "" << false;
        QTest::newRow("network unit") << "Quillon 4x4" << dev << 1 << "" << true << QStringList{"Ostrand::getEDID()"}
                                      << "" << true;
        QTest::newRow("network unit shown even at the first item")
            << "Quillon 4x4" << dev << 0 << "" << true << QStringList{"Ostrand::getEDID()"} << "" << true;
        QTest::newRow("network unit read fails silently")
            << "Rennart 8x8" << dev << 1 << "" << false << QStringList{"Ostrand::getEDID()"} << "" << false;
        QTest::newRow("jovaris") << "Jovaris TX" << dev << 1 << "" << true << QStringList{"Scaler::getJOVARISEDID()"}
                                 << "" << true;
        QTest::newRow("norrith") << "Norrith RX" << dev << 1 << "" << true << QStringList{"Scaler::getJOVARISEDID()"}
                                 << "" << true;
        QTest::newRow("zarrick") << "Zarrick" << dev << 1 << "" << true << QStringList{"Scaler::getZARRICKEDID()"}
                                 << "" << true;
        QTest::newRow("cavrosh") << "Cavrosh" << dev << 1 << "" << true << QStringList{"Scaler::getCAVROSHEDID()"}
                                 << "" << true;
    }
    void deviceSourceRouting()
    {
        QFETCH(QString, product);
        QFETCH(QStringList, sources);
        QFETCH(int, index);
        QFETCH(QString, link);
        QFETCH(bool, unitAnswers);
        QFETCH(QStringList, reads);
        QFETCH(QString, message);
        QFETCH(bool, shown);

        Fixture& f = sharedFixture();
        const QByteArray before = EdidBuilder().set(12, {0x77}).build();
        f.editor()->setEdidData(before);
        const QByteArray unitEdid = monitorEdid("UNIT", 5);
        f.factory.script.deviceEdid = unitAnswers ? unitEdid : QByteArray();
        if (link == QLatin1String("scaler"))
            f.viewer()->setDeviceInfoA({"VGA to DVI Scaler", "/dev/ttyUSB0", 0, 0, {}, 5}, f.factory.scaler);
        if (link == QLatin1String("splitter"))
            f.viewer()->setDeviceInfoB({"Farrund 1x4", "/dev/ttyUSB1", 0, 0, {}, 8}, f.factory.lunmora);
        f.sources(product, sources, index);
        f.window->wizardMode();
        f.ui()->showAsText->setEnabled(false);
        f.ui()->sorvaneBox->setEnabled(true);
        f.ui()->ConfiguratorTabs->setEnabled(false);
        f.factory.log.clear();
        dialogs.clear();
        QSignalSpy pageShown(f.ui()->functionEDIDButton, SIGNAL(clicked()));

        f.window->openEDIDFromDevice();

        QCOMPARE(edidReads(f.factory.log), reads);
        QCOMPARE(messageTitles(), message.isEmpty() ? QStringList() : QStringList{message});
        if (!message.isEmpty())
            QCOMPARE(dialogs.shown().last().text, QStringLiteral("Unable to read the selected EDID."));
        QCOMPARE(pageShown.count(), shown ? 1 : 0);
        if (shown)
            QCOMPARE(f.editor()->currentEdid(), unitEdid);
        else if (message.isEmpty())
            QCOMPARE(f.editor()->currentEdid(), before); // nothing read, nothing replaced
        else
            QVERIFY(f.editor()->currentEdid().isEmpty()); // the failed read replaced it

        // The label names the source, except when a network or scaler-driven read failed.
        if (reads.isEmpty() || shown || !message.isEmpty())
            QCOMPARE(f.ui()->loadedEDID->text(), QStringLiteral("Viewing %1").arg(sources.at(index)));
        if (reads.value(0) == QLatin1String("EdidPlus::readConverterEdid(false)")
            || reads.value(0) == QLatin1String("EdidPlus::readConverterEdid(true)"))
            QVERIFY(ownEnabled(f.ui()->ConfiguratorTabs));
        QCOMPARE(ownEnabled(f.ui()->sorvaneBox), !(shown && product.startsWith(QLatin1String("Quillon"))));

        // A source past the first item (read or not, shown or not) ends wizard mode; the first
        // item leaves the mode alone. A read that fails silently ends the slot at once.
        const bool silentFailure = !reads.isEmpty() && !shown && message.isEmpty();
        const bool expert = index > 0 && !silentFailure;
        QCOMPARE(f.ui()->newEDID->text(), expert ? QStringLiteral("New") : QStringLiteral("Exit"));
        QCOMPARE(ownEnabled(f.ui()->showAsText), expert);
    }

    // Choosing a unit clears what the previous EDID test unit put on the page.
    void selectingAProductResetsTheDeviceView()
    {
        Fixture f([](FakeDrm& drm) { drm.connector("card0-HDMI-A-1", "connected", monitorEdid("ONE", 1)); });
        f.ui()->selectEDIDFromDevice->clear();
        f.ui()->selectEDIDFromDevice->addItems({"Select EDID", "Connected Display", "Local EDID", "Bank 1"});
        f.ui()->sorvaneBox->setEnabled(true);
        f.ui()->versionInfo->setText(QStringLiteral("v1.2"));
        f.factory.log.clear();

        f.viewer()->selectProduct({"HDMI Sorvane Plus", "/dev/ttyACM0", 0, 0, {}, 2});

        QVERIFY(!ownEnabled(f.ui()->sorvaneBox));
        QVERIFY(f.ui()->versionInfo->toPlainText().isEmpty());
        // As many entries stay as the monitor list has, plus the prompt.
        QCOMPARE(f.ui()->selectEDIDFromDevice->count(), 2);
        QCOMPARE(f.ui()->selectEDIDFromDevice->itemText(1), QStringLiteral("Bank 1"));
        QCOMPARE(f.factory.log.callsTo(QStringLiteral("SorvaneInterface")),
                 (QStringList{"SorvaneInterface::clearDeviceState()",
                              "SorvaneInterface::selectedProductChanged(Device(HDMI Sorvane Plus, /dev/ttyACM0, 2))"}));
    }

    void refreshAndDownloadRouting_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("slot");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("refresh scaler") << "VGA to DVI Scaler" << "refreshEDID"
                                        << QStringList{"Scaler::refreshEDIDModeHDMI()"};
        QTest::newRow("refresh splitter") << "Harlisk 1x2" << "refreshEDID" << QStringList{"Lunmora::refreshEDID()"};
        QTest::newRow("refresh other") << "HDMI Sorvane Plus" << "refreshEDID" << QStringList{};
        QTest::newRow("download zarrick") << "" << "zarrickDownloadEDID" << QStringList{"Scaler::zarrickDownloadEDID()"};
        QTest::newRow("download cavrosh") << "" << "cavroshDownloadEDID" << QStringList{"Scaler::cavroshDownloadEDID()"};
        QTest::newRow("download jovaris") << "" << "jovarisDownloadEDID" << QStringList{"Scaler::jovarisDownloadEDID()"};
        QTest::newRow("download ostrand") << "" << "ostrandDownloadEDID" << QStringList{"Ostrand::downloadEDID()"};
        QTest::newRow("download test unit")
            << "" << "converterScalerDownloadEDID" << QStringList{"SorvaneInterface::downloadEdid()"};
    }
    void refreshAndDownloadRouting()
    {
        QFETCH(QString, product);
        QFETCH(QString, slot);
        QFETCH(QStringList, calls);
        Fixture& f = sharedFixture();
        f.ui()->productCombobox->clear();
        f.ui()->productCombobox->addItem(product);
        f.factory.log.clear();
        QVERIFY(QMetaObject::invokeMethod(f.window.data(), slot.toLatin1().constData()));
        QCOMPARE(f.factory.log.calls().filter(QRegularExpression(QStringLiteral("EDID|Edid"))), calls);
    }

    // ---- EDIDs from files ----------------------------------------------------------------------

    // An EDID file is shown whole; the label shows the base name; the mode stays; the file is
    // closed once read, however often it is opened. A file that holds no EDID (not whole blocks)
    // is refused with the reason, and the EDID shown before stays.
    void fileSource_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("refused");
        QTest::newRow("128") << 128 << false;
        QTest::newRow("256") << 256 << false;
        QTest::newRow("short") << 100 << true;
        QTest::newRow("long") << 300 << true;
    }
    void fileSource()
    {
        QFETCH(int, length);
        QFETCH(bool, refused);
        Fixture f;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bench.monitor.bin"));
        QByteArray content = monitorEdid("FILE", 3, true);
        content = content.leftJustified(length, '\x5A', true);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        const QByteArray before = monitorEdid("KEEP", 1);
        f.editor()->setEdidData(before);
        f.window->wizardMode();
        QSignalSpy pageShown(f.ui()->functionEDIDButton, SIGNAL(clicked()));
        for (int i = 0; i < 2; ++i) {
            dialogs.answerPath(path);
            f.window->openEDIDFromFile();
            QCOMPARE(openFileHandles(path), 0);
        }
        QCOMPARE(pageShown.count(), 0);
        QCOMPARE(f.ui()->newEDID->text(), QStringLiteral("Exit")); // still in the wizard
        if (refused) {
            QCOMPARE(messageTitles(), (QStringList{"I/O Error", "I/O Error"}));
            QVERIFY(dialogs.shown().last().text.startsWith(QLatin1String("This is not an EDID")));
            QCOMPARE(f.editor()->currentEdid(), before);
            QVERIFY(f.ui()->loadedEDID->text() != QStringLiteral("Viewing File: bench"));
            return;
        }
        QCOMPARE(f.editor()->currentEdid(), content);
        QCOMPARE(f.ui()->loadedEDID->text(), QStringLiteral("Viewing File: bench"));
        QVERIFY(ownEnabled(f.ui()->showAsText));
        QVERIFY(messageTitles().isEmpty());
    }

    void fileThatCannotBeOpened()
    {
        Fixture f;
        const QByteArray before = monitorEdid("KEEP", 1);
        f.editor()->setEdidData(before);
        f.ui()->loadedEDID->setText(QStringLiteral("Viewing KEEP"));
        dialogs.clear();
        dialogs.answerPath(QStringLiteral("/nonexistent/folder/missing.bin"));
        f.window->openEDIDFromFile();
        QCOMPARE(messageTitles(), QStringList{"I/O Error"});
        QCOMPARE(dialogs.shown().last().text, QStringLiteral("Cannot open file for reading."));
        QCOMPARE(f.editor()->currentEdid(), before);
        QCOMPARE(f.ui()->loadedEDID->text(), QStringLiteral("Viewing KEEP"));

        // A FIFO in place of the file is refused at once instead of blocking the open.
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("pipe.bin"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        dialogs.clear();
        dialogs.answerPath(fifo);
        f.window->openEDIDFromFile();
        QCOMPARE(messageTitles(), QStringList{"I/O Error"});
        QCOMPARE(f.editor()->currentEdid(), before);

        // A cancelled dialog opens nothing and says nothing.
        dialogs.clear();
        dialogs.answerCancel();
        f.window->openEDIDFromFile();
        QCOMPARE(dialogs.shown().size(), 1); // the file dialog only
        QCOMPARE(f.editor()->currentEdid(), before);
    }

    // ---- EDIDs of the PC's monitors ------------------------------------------------------------

    // Connected connectors with an EDID are listed in the tree's order; unnamed monitors are
    // numbered among themselves.
    void monitorList()
    {
        Fixture f([](FakeDrm& drm) {
            drm.connector("card0-DP-1", "connected", monitorEdid("", 1));
            drm.connector("card0-DP-2", "disconnected", monitorEdid("GONE", 2));
            drm.connector("card0-HDMI-A-1", "connected", monitorEdid("DELL U2415", 3, true));
            drm.connector("card0-HDMI-A-2", "connected", QByteArray()); // connected, no EDID
            drm.connector("card1-eDP-1", "connected", monitorEdid("", 4));
        });
        const QStringList items = monitorItems(f.ui());
        QCOMPARE(items.size(), 4);
        QCOMPARE(items.at(0), QStringLiteral("Select EDID From Display"));
        QCOMPARE(items.at(1), QStringLiteral("Connected Display: Default Monitor 1"));
        QVERIFY2(items.at(2).startsWith(QLatin1String("Connected Display: DELL U2415")), qPrintable(items.at(2)));
        QCOMPARE(items.at(3), QStringLiteral("Connected Display: Default Monitor 2"));
        QCOMPARE(f.viewer()->monitors().size(), 3);
        QCOMPARE(f.viewer()->monitors().at(1).edid, monitorEdid("DELL U2415", 3, true));
        QCOMPARE(f.viewer()->monitors().at(1).edid.size(), 256);
        QVERIFY(f.ui()->selectEDIDFromDevice->isEnabled());
    }

    // The list is rebuilt only when it changed: in count, in a name, or in the bytes of an EDID
    // (a monitor swapped for another of the same model). Repeated or failed reads never leave
    // an entry twice.
    void monitorChangeDetection()
    {
        Fixture f([](FakeDrm& drm) {
            drm.connector("card0-HDMI-A-1", "connected", monitorEdid("DELL U2415", 100));
            drm.connector("card0-HDMI-A-2", "connected", monitorEdid("DELL U2415", 200));
        });
        QAbstractItemModel* model = f.ui()->selectEDIDFromMonitor->model();
        QSignalSpy inserted(model, SIGNAL(rowsInserted(QModelIndex, int, int)));
        QSignalSpy removed(model, SIGNAL(rowsRemoved(QModelIndex, int, int)));

        for (int i = 0; i < 3; ++i)
            f.viewer()->readGpuEdids();
        QCOMPARE(inserted.count() + removed.count(), 0); // steady: nothing redrawn
        QCOMPARE(f.ui()->selectEDIDFromMonitor->count(), 3);

        // Same model, same name, another unit: noticed.
        f.drm.connector("card0-HDMI-A-2", "connected", monitorEdid("DELL U2415", 201));
        f.viewer()->readGpuEdids();
        QCOMPARE(f.viewer()->monitors().at(1).edid, monitorEdid("DELL U2415", 201));
        QCOMPARE(f.ui()->selectEDIDFromMonitor->count(), 3);

        // The walk finds nothing (the tree is gone): the list empties down to the prompt...
        const QString root = f.drm.path();
        QVERIFY(QDir().rename(root, root + QStringLiteral(".away")));
        f.viewer()->readGpuEdids();
        f.viewer()->readGpuEdids();
        QVERIFY(f.viewer()->monitors().isEmpty());
        QCOMPARE(monitorItems(f.ui()), QStringList{"Select EDID From Display"});
        // ... and fills again once, however often it is read.
        QVERIFY(QDir().rename(root + QStringLiteral(".away"), root));
        for (int i = 0; i < 3; ++i)
            f.viewer()->readGpuEdids();
        QCOMPARE(f.viewer()->monitors().size(), 2);
        QCOMPARE(f.ui()->selectEDIDFromMonitor->count(), 3);

        // Unplugged: gone at the next run of the 5000 ms refresh.
        f.drm.connector("card0-HDMI-A-1", "disconnected", QByteArray());
        QTRY_COMPARE_WITH_TIMEOUT(f.ui()->selectEDIDFromMonitor->count(), 2, 5 * TimeScale::ms(5000) + 1000);
        QCOMPARE(f.viewer()->monitors().at(0).edid, monitorEdid("DELL U2415", 201));
    }

    void monitorSource_data()
    {
        QTest::addColumn<QByteArray>("edid");
        QTest::addColumn<bool>("warning");
        QTest::newRow("base block only") << monitorEdid("PLAIN", 1) << false;
        QTest::newRow("with its extension") << monitorEdid("FULL", 2, true) << false;
        // The extension is announced but the source gave the base block only.
        QTest::newRow("announced extension missing") << EdidBuilder().set(126, {1}).build() << true;
    }
    void monitorSource()
    {
        QFETCH(QByteArray, edid);
        QFETCH(bool, warning);
        Fixture f([&edid](FakeDrm& drm) { drm.connector("card0-HDMI-A-1", "connected", edid); });
        f.window->wizardMode();
        QSignalSpy pageShown(f.ui()->functionEDIDButton, SIGNAL(clicked()));
        dialogs.clear();

        f.ui()->selectEDIDFromMonitor->setCurrentIndex(1);
        QVERIFY(f.ui()->openEDIDFromMonitor->isEnabled());
        f.window->openEDIDFromMonitor();

        QCOMPARE(messageTitles(), warning ? QStringList{"Warning"} : QStringList());
        if (warning)
            QVERIFY(dialogs.shown().first().text.startsWith(
                QLatin1String("The EDID that the kernel reports for this display's connector announces an "
                              "extension block that it does not contain")));
        QCOMPARE(f.editor()->currentEdid(), edid); // shown all the same
        QCOMPARE(pageShown.count(), 1);
        QCOMPARE(f.ui()->loadedEDID->text(), QStringLiteral("Viewing %1").arg(f.ui()->selectEDIDFromMonitor->currentText()));
        QCOMPARE(f.ui()->newEDID->text(), QStringLiteral("New"));
        QVERIFY(ownEnabled(f.ui()->showAsText));
    }

    // The prompt changes the label and opens nothing.
    void monitorPromptOpensNothing()
    {
        Fixture f([](FakeDrm& drm) { drm.connector("card0-HDMI-A-1", "connected", monitorEdid("ONE", 1)); });
        const QByteArray before = monitorEdid("KEEP", 9);
        f.editor()->setEdidData(before);
        f.window->wizardMode();
        QSignalSpy pageShown(f.ui()->functionEDIDButton, SIGNAL(clicked()));
        dialogs.clear();
        f.ui()->selectEDIDFromMonitor->setCurrentIndex(0);
        QVERIFY(!f.ui()->openEDIDFromMonitor->isEnabled());
        f.window->openEDIDFromMonitor();
        QCOMPARE(f.ui()->loadedEDID->text(), QStringLiteral("Viewing Select EDID From Display"));
        QCOMPARE(f.editor()->currentEdid(), before);
        QCOMPARE(pageShown.count(), 0);
        QVERIFY(dialogs.shown().isEmpty());
        QCOMPARE(f.ui()->newEDID->text(), QStringLiteral("Exit"));
    }

    // The viewer's own set-up: a first read of the monitors, then the test-device poll.
    void viewerStartsTheTestDeviceController()
    {
        Fixture f;
        QCOMPARE(f.factory.log.count(QStringLiteral("SorvaneInterface::init()")), 1);
        // Busy flag and flag setter pass through.
        f.factory.script.sorvaneBusy = true;
        QVERIFY(f.viewer()->isSorvaneBusy());
        QVERIFY(!f.viewer()->setSorvaneFlag(false));
        QVERIFY(f.factory.log.contains(QStringLiteral("SorvaneInterface::setSorvaneFlag(false)")));
    }
};

PLEXA_TEST_MAIN(TestEdidViewer)
#include "tst_edid_viewer.moc"

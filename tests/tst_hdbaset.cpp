// The HDBaseT "Status" page on the real form: units found by their port descriptions and the
// device poll; the monitor stream from a simulated unit over a pty in every chunking; the plot
// window and x range; the caps of the history and the event table; the alert latch with its one
// table row and one CSV line; the CSV log (save, overwrite, clear, a log that cannot be opened);
// the receiver page; the wiring-standard dialog; the help box.
//
// With PLEXA_SCREENSHOT_DIR set, the status page with live simulated data is saved there as a PNG
// (scripts/screenshots.sh runs this test under Xvfb for that).
#include "plexatest.h"
#include "formtestutil.h"
#include "hdbaset.h"
#include "hdbasetstream.h"
#include "pinout_selector.h"
#include "resources.h"
#include "scripteddialogs.h"
#include "serialports.h"
#include "simdevice.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <qcustomplot.h>

#include <cmath>
#include <memory>

namespace {

using Chunking = HDBaseTStream::Chunking;

// Remembers the filter of the file dialogs as well.
class FilterDialogs : public ScriptedDialogs
{
public:
    QString path(Kind kind, QWidget* parent, const QString& caption, const QString& dir, const QString& filter) override
    {
        lastFilter = filter;
        lastDir = dir;
        return ScriptedDialogs::path(kind, parent, caption, dir, filter);
    }
    QString lastFilter;
    QString lastDir;
};

// The raw number a unit sends for a link quality in percent (the inverse of the page's scale:
// 0 % at -10 dB, 100 % at -23 dB, 2 dB offset, 2^19 full scale on a transmitter, 2^16 on a receiver).
int rawForLink(double percent, bool receiver = false)
{
    const double dB = -10.0 - 13.0 * percent / 100.0;
    return int(std::lround(std::pow(10.0, (dB - 2.0) / 20.0) * (receiver ? 65536.0 : 524288.0)));
}

HDBaseTCycle goodCycle(bool receiver = false)
{
    HDBaseTCycle cycle;
    cycle.receiver = receiver;
    for (int pair = 0; pair < 4; ++pair) {
        cycle.mse[pair] = rawForLink(90, receiver);
        cycle.maxErr[pair] = 20;
    }
    cycle.retransRate = 99;
    return cycle;
}

QString stateOf(const QWidget* widget)
{
    return widget->property("state").toString();
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The form, the page over it and a clock the test moves.
struct Page {
    QMainWindow window;
    Ui_MainUI ui;
    FilterDialogs dialogs;
    ScriptedDialogs::Scope scope{dialogs};
    QSerialPort port;
    std::unique_ptr<HDBaseT> page;
    QDateTime now{QDate(2026, 12, 9), QTime(10, 0, 0)};

    Page()
    {
        ui.setupUi(&window);
        page = std::make_unique<HDBaseT>(&ui, &port);
        page->setClock([this] { return now; });
    }
    ~Page()
    {
        page.reset();
        SerialPortLister::clearRegisteredPorts();
    }
    void select(const QString& name)
    {
        Device unit;
        unit.name = name;
        unit.portName = QStringLiteral("/dev/ttyUSB7");
        unit.type = 7;
        page->selectedProductChanged(unit);
    }
    // One cycle as the unit writes it, one second after the last.
    void feed(const HDBaseTCycle& cycle, Chunking chunking = Chunking::LinePerWrite)
    {
        now = now.addSecs(1);
        for (const QByteArray& chunk : HDBaseTStream::writes(HDBaseTStream::cycleLines(cycle), chunking))
            page->processMonitorReadyRead(chunk);
    }
    void feedLinkB(double percent)
    {
        HDBaseTCycle cycle = goodCycle();
        cycle.mse[1] = rawForLink(percent);
        feed(cycle);
    }
    double key(int secondsAfterStart) const
    {
        return QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0)).addSecs(secondsAfterStart).toMSecsSinceEpoch() / 1000.0;
    }
    QString status() const { return ui.statusBar->currentMessage(); }
};

SerialPortEntry unitPort(const QString& description, const QString& name)
{
    SerialPortEntry entry;
    entry.portName = name;
    entry.systemLocation = name;
    entry.description = description;
    entry.manufacturer = QStringLiteral("Velmo");
    entry.vendorId = 0x0403;
    entry.productId = 0x6015;
    entry.hasVendorId = entry.hasProductId = true;
    return entry;
}

} // namespace

class TestHDBaseT : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initPlexaResources();
        qApp->setStyleSheet(plexaStyleSheet());
        SerialPortLister::setSystemPortsListed(false);
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    }
    void cleanup() { SerialPortLister::clearRegisteredPorts(); }

    void unitsAndPoll()
    {
        SerialPortLister::registerPort(unitPort(QStringLiteral("LO-MA RET- R USB"), QStringLiteral("/dev/ttyUSB1")));
        SerialPortLister::registerPort(unitPort(QStringLiteral("lomaretr"), QStringLiteral("/dev/ttyUSB2")));
        SerialPortLister::registerPort(unitPort(QStringLiteral("FTDI serial"), QStringLiteral("/dev/ttyUSB3")));
        Page p;
        QSignalSpy refresh(p.page.get(), SIGNAL(refreshImmediately()));
        const QList<Device> units = p.page->updateDeviceList();
        QCOMPARE(units.size(), 1);
        QCOMPARE(units.first().name, QStringLiteral("Lomaret-R"));
        QCOMPARE(units.first().portName, QStringLiteral("/dev/ttyUSB1"));
        QCOMPARE(units.first().type, 7);
        QCOMPARE(units.first().vendorId, quint32(0x0403));
        QCOMPARE(units.first().productId, quint32(0x6015));
        QCOMPARE(units.first().manufacturer, QStringLiteral("Velmo"));

        // The first poll only counts; a second unit is reported once and the poll then rests.
        QTest::qWait(300);
        QCOMPARE(refresh.count(), 0);
        SerialPortLister::registerPort(unitPort(QStringLiteral("OSRINTH-S"), QStringLiteral("/dev/ttyUSB4")));
        QTRY_COMPARE(refresh.count(), 1);
        SerialPortLister::unregisterPort(QStringLiteral("/dev/ttyUSB4"));
        QTest::qWait(300);
        QCOMPARE(refresh.count(), 1);
        // The hub's refresh restarts it; the unit that left is then reported.
        SerialPortLister::registerPort(unitPort(QStringLiteral("OSRINTH-S"), QStringLiteral("/dev/ttyUSB4")));
        const QList<Device> both = p.page->updateDeviceList();
        QCOMPARE(both.size(), 2);
        QCOMPARE(both.last().name, QStringLiteral("Osrinth-S"));
        SerialPortLister::unregisterPort(QStringLiteral("/dev/ttyUSB4"));
        QTRY_COMPARE(refresh.count(), 2);
    }

    // A simulated transmitter streams over a pty; the port's reads go to the page as the
    // test-device page forwards them, in each chunking the unit's serial line may give.
    void monitorStreamOverPty()
    {
        SimDevice sim;
        QVERIFY(sim.startPty(unitPort(QStringLiteral("DUNMARL-S"), QString())));
        Page p;
        p.page->setClock([&p] { return p.now = p.now.addSecs(1); });
        const QList<Device> units = p.page->updateDeviceList();
        QCOMPARE(units.size(), 1);
        QCOMPARE(units.first().name, QStringLiteral("Dunmarl-S"));
        p.page->selectedProductChanged(units.first());
        QVERIFY(!p.page->receiverUnit());

        QSerialPort port;
        port.setPortName(sim.portName());
        QVERIFY(port.open(QIODevice::ReadWrite));
        connect(&port, &QSerialPort::readyRead, p.page.get(), [&] { p.page->processMonitorReadyRead(port.readAll()); });

        p.page->startThePlot();
        QVERIFY(p.page->isMonitoring());
        QCOMPARE(p.ui.exStatusStart->text(), QStringLiteral("Stop"));
        QVERIFY(!p.ui.productFrame->isEnabled());
        QVERIFY(!p.ui.selectFunctionFrame->isEnabled());
        QVERIFY(!p.ui.ConfiguratorTabs->tabBar()->isEnabled());

        HDBaseTCycle cycle;
        cycle.mse[0] = 29482;
        cycle.mse[1] = 93246;
        cycle.mse[2] = 0;
        cycle.mse[3] = 29482;
        cycle.maxErr[0] = 64;
        cycle.maxErr[1] = 200;
        cycle.maxErr[2] = 0;
        cycle.maxErr[3] = 64;
        HDBaseTStream stream(sim);
        int expected = 0;
        for (Chunking chunking : {Chunking::LinePerWrite, Chunking::SplitMidNumber, Chunking::Coalesced}) {
            stream.pushCycle(cycle, chunking);
            ++expected;
            QTRY_COMPARE(p.page->history().size(), expected);
            const PlotSample& s = p.page->history().last();
            QCOMPARE(s.linkQuality[0], 100.0);
            QCOMPARE(s.maxErr[0], 25.0);
            QCOMPARE(s.maxErr[1], 78.125);
            QCOMPARE(p.ui.channelAValue->text(), QStringLiteral("100%"));
            QCOMPARE(p.ui.channelBValue->text(), QStringLiteral("23%"));
            QCOMPARE(p.ui.channelCValue->text(), QStringLiteral("0%"));
            QCOMPARE(p.ui.channelBValue2->text(), QStringLiteral("78%"));
            QCOMPARE(p.ui.exTMDSValue->text(), QStringLiteral("148 MHz"));
        }
        // Channels B (23 %) and C (0 %) are below the threshold: one link event each, once.
        QCOMPARE(p.ui.exStatusTable->rowCount(), 2);
        QCOMPARE(p.ui.exStatusTable->item(0, 3)->text(), QStringLiteral("B"));
        QCOMPARE(p.ui.exStatusTable->item(1, 3)->text(), QStringLiteral("C"));

        // A running stream, every cycle cut mid-number, then the page on screen.
        stream.start([](int n) {
            HDBaseTCycle c = goodCycle();
            for (int pair = 0; pair < 4; ++pair) {
                c.mse[pair] = rawForLink(60 + 25 * std::sin(n / 3.0 + pair), false);
                c.maxErr[pair] = 30 + int(40 * (1 + std::sin(n / 4.0 + pair * 0.7)));
            }
            c.tmdsMHz = 297;
            return c;
        }, 200, Chunking::SplitMidNumber);
        QTRY_VERIFY(p.page->history().size() >= expected + 12);
        p.ui.exStatusInterval->setCurrentIndex(1);
        p.window.resize(640, 980);
        p.window.show();
        bringToFront(p.ui.statusTab);
        QVERIFY(QTest::qWaitForWindowExposed(&p.window));
        QTest::qWait(200);
        QVERIFY(saveScreenshot(p.ui.statusTab, QStringLiteral("hdbaset-status")));
        stream.stop();
        QCOMPARE(p.ui.exTMDSValue->text(), QStringLiteral("297 MHz"));

        p.page->startThePlot();
        QVERIFY(!p.page->isMonitoring());
        QCOMPARE(p.ui.exStatusStart->text(), QStringLiteral("Start"));
        QVERIFY(p.ui.productFrame->isEnabled());
        QVERIFY(p.ui.ConfiguratorTabs->tabBar()->isEnabled());
        sim.stop();
    }

    void plotWindow()
    {
        Page p;
        p.select(QStringLiteral("Lomaret-S"));
        QCustomPlot* plot = p.ui.exStatusPlot;
        // Before any sample, changing the window or hiding a channel draws nothing.
        p.ui.channelAHide->click();
        p.ui.channelAHide->click();
        QCOMPARE(plot->graph(0)->data()->size(), 0);

        for (int i = 0; i < 100; ++i)
            p.feed(goodCycle());
        QCOMPARE(p.page->history().size(), 100);
        p.ui.exStatusInterval->setCurrentIndex(0); // 10 seconds
        QCOMPARE(plot->graph(0)->data()->size(), 11);
        QCOMPARE(p.ui.exStatusPlot2->graph(3)->data()->size(), 11);
        QCOMPARE(plot->xAxis->range().upper, p.key(100));
        QCOMPARE(plot->xAxis->range().lower, p.key(90));
        QCOMPARE(p.ui.exStatusPlot2->xAxis->range().lower, p.key(90));
        // The threshold line spans the window at the link threshold.
        QCOMPARE(plot->graph(4)->data()->size(), 2);
        QCOMPARE(plot->graph(4)->data()->begin()->value, THRESHHOLD_LINK);
        QCOMPARE(p.ui.exStatusPlot2->graph(4)->data()->begin()->value, 80.0);

        p.ui.exStatusInterval->setCurrentIndex(7); // 1 hour: every sample, from the first
        QCOMPARE(plot->graph(0)->data()->size(), 100);
        QCOMPARE(plot->xAxis->range().lower, p.key(1));

        // Hiding channel C empties its curve in the link-quality plot only; its box still updates.
        p.ui.channelCHide->click();
        QVERIFY(p.ui.channelCHide->isChecked());
        QCOMPARE(plot->graph(2)->data()->size(), 0);
        QCOMPARE(p.ui.exStatusPlot2->graph(2)->data()->size(), 100);
        HDBaseTCycle cycle = goodCycle();
        cycle.mse[2] = rawForLink(70);
        p.feed(cycle);
        QCOMPARE(p.ui.channelCValue->text(), QStringLiteral("70%"));
        QCOMPARE(plot->graph(2)->data()->size(), 0);
        p.ui.channelCHide->click();
        QCOMPARE(plot->graph(2)->data()->size(), 101);

        // Five samples in a one-hour window: the range starts at the first of them.
        p.page->restartThePlot();
        QCOMPARE(plot->graph(0)->data()->size(), 0);
        for (int i = 0; i < 5; ++i)
            p.feed(goodCycle());
        QCOMPARE(plot->graph(0)->data()->size(), 5);
        QCOMPARE(plot->xAxis->range().lower, p.key(102));
        QCOMPARE(plot->xAxis->range().upper, p.key(106));
    }

    void historyAndTableCaps()
    {
        Page p;
        p.select(QStringLiteral("Lomaret-S"));
        for (int i = 0; i < 3601; ++i)
            p.feed(goodCycle(), Chunking::Coalesced);
        QCOMPARE(p.page->history().size(), 3600);
        QCOMPARE(p.page->history().first().time, p.now.addSecs(-3599));

        // 501 events: channel B alternates between bad and good.
        p.page->restartThePlot();
        for (int i = 0; i < 501; ++i) {
            p.feedLinkB(20);
            p.feedLinkB(90);
        }
        QCOMPARE(p.ui.exStatusTable->rowCount(), 500);
        const QDateTime secondEvent = p.now.addSecs(-2 * 501 + 3);
        QCOMPARE(p.ui.exStatusTable->item(0, 1)->text(), secondEvent.toString(QStringLiteral("hh:mm:ss")));
        const QList<QByteArray> lines = readAll(p.page->logPath()).split('\n');
        QCOMPARE(lines.size(), 1 + 501 + 1); // header, every event, nothing after the last line end
    }

    // Channel B at 50, 30, 20, 45 %: one event with the second sample, one row, one CSV line.
    void alertLatchGivesOneEvent()
    {
        Page p;
        p.select(QStringLiteral("Osrinth-S"));
        QVERIFY(!p.ui.exStatusDownloadLog->isEnabled());
        p.feedLinkB(50);
        QCOMPARE(stateOf(p.ui.channelBValueBox), QString());
        p.feedLinkB(30);
        QCOMPARE(stateOf(p.ui.channelBValueBox), QStringLiteral("exceeded"));
        QCOMPARE(stateOf(p.ui.channelBValue), QStringLiteral("exceeded"));
        p.feedLinkB(20);
        p.feedLinkB(45);
        QCOMPARE(stateOf(p.ui.channelBValueBox), QString());
        QCOMPARE(stateOf(p.ui.channelBValue), QString());

        QCOMPARE(p.ui.exStatusTable->rowCount(), 1);
        QStringList row;
        for (int c = 0; c < 5; ++c)
            row << p.ui.exStatusTable->item(0, c)->text();
        QCOMPARE(row, QStringList({"Wed Dec 9 2026", "10:00:02", "Link", "B", "30"}));
        QVERIFY(p.ui.exStatusDownloadLog->isEnabled());
        QVERIFY(p.ui.exStatusClearLog->isEnabled());
        QVERIFY(p.page->isLogOpen());
        QCOMPARE(QFileInfo(p.page->logPath()).fileName(), QStringLiteral("Osrinth-S_12-09-26_10-00.csv"));
        QCOMPARE(QFileInfo(p.page->logPath()).absolutePath(), QDir::home().filePath(QStringLiteral("VelmoPlexaT/logs")));
        // Written through at once, not only when the file is closed.
        QCOMPARE(readAll(p.page->logPath()), QByteArray("Date,Time,Type,Ch,Value\r\nWed Dec 9 2026,10:00:02,Link,B,30\r\n"));

        // A max error above the threshold is an event of its own; equal to it is none.
        HDBaseTCycle cycle = goodCycle();
        cycle.tmdsMHz = 297;
        cycle.maxErr[3] = 103; // 80.46875 %
        p.feed(cycle);
        QCOMPARE(p.ui.exStatusTable->rowCount(), 2);
        QCOMPARE(p.ui.exStatusTable->item(1, 2)->text(), QStringLiteral("Max Err"));
        QCOMPARE(p.ui.exStatusTable->item(1, 4)->text(), QStringLiteral("80"));
        QCOMPARE(stateOf(p.ui.channelDValue2Box), QStringLiteral("exceeded"));
    }

    void saveAndClearLog()
    {
        Page p;
        p.select(QStringLiteral("Lomaret-S"));
        // Nothing logged yet: saving fails in the status bar.
        p.dialogs.answerPath(QDir::home().filePath(QStringLiteral("none.csv")));
        p.ui.exStatusDownloadLog->setEnabled(true);
        p.ui.exStatusDownloadLog->click();
        QCOMPARE(p.status(), QStringLiteral("Failed to save log to directory."));
        QCOMPARE(p.ui.statusBar->palette().color(QPalette::WindowText), QColor(255, 70, 50));

        p.feedLinkB(90);
        p.feedLinkB(10);
        const QString log = p.page->logPath();

        // Save over an existing file the user confirmed in the dialog.
        const QString target = QDir::home().filePath(QStringLiteral("saved.csv"));
        {
            QFile old(target);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(100000, 'x'));
        }
        p.dialogs.answerPath(target);
        p.ui.exStatusDownloadLog->click();
        QCOMPARE(p.dialogs.shown().last().title, QStringLiteral("Save CSV"));
        QCOMPARE(p.dialogs.lastFilter, QStringLiteral("CSV files (*.csv)"));
        QCOMPARE(QFileInfo(p.dialogs.lastDir).fileName(), QFileInfo(log).fileName());
        QCOMPARE(p.status(), QStringLiteral("Log saved successfully."));
        QCOMPARE(p.ui.statusBar->palette().color(QPalette::WindowText), QColor(Qt::green));
        QCOMPARE(readAll(target), readAll(log));
        QVERIFY(readAll(target).startsWith("Date,Time,Type,Ch,Value\r\n"));
        QTRY_COMPARE(p.status(), QString()); // cleared after a while

        // Saved onto the running log itself: nothing is cut off; later events still reach it.
        p.dialogs.answerPath(log);
        p.ui.exStatusDownloadLog->click();
        QCOMPARE(p.status(), QStringLiteral("Log saved successfully."));
        p.feedLinkB(90);
        p.feedLinkB(11);
        QVERIFY(readAll(log).endsWith(",Link,B,11\r\n"));

        // Cancelled: the status bar says so.
        p.dialogs.answerCancel();
        p.ui.exStatusDownloadLog->click();
        QCOMPARE(p.status(), QStringLiteral("Failed to save log to directory."));

        // Clear with rows: asked first (No saves nothing); table, flags and file are closed.
        p.dialogs.clear();
        p.dialogs.answerButton(QMessageBox::No);
        p.ui.exStatusClearLog->click();
        QCOMPARE(p.dialogs.shown().size(), 1);
        QCOMPARE(p.dialogs.shown().first().title, QStringLiteral("Save the log?"));
        QCOMPARE(p.ui.exStatusTable->rowCount(), 0);
        QVERIFY(!p.page->isLogOpen());
        QVERIFY(!p.ui.exStatusClearLog->isEnabled());
        QVERIFY(!p.ui.exStatusDownloadLog->isEnabled());

        // The next event starts a new file in the same minute.
        p.feedLinkB(90);
        p.feedLinkB(10);
        QCOMPARE(p.page->logPath(), log.chopped(4) + QStringLiteral("_2.csv"));

        // Clear with an empty table asks nothing but still closes and disables.
        p.dialogs.answerButton(QMessageBox::Yes);
        p.dialogs.answerPath(QDir::home().filePath(QStringLiteral("second.csv")));
        p.ui.exStatusClearLog->click(); // Yes: saved first
        QVERIFY(QFileInfo::exists(QDir::home().filePath(QStringLiteral("second.csv"))));
        p.dialogs.clear();
        p.page->clearLog();
        QVERIFY(p.dialogs.shown().isEmpty());
        QVERIFY(!p.ui.exStatusClearLog->isEnabled());

        // Picking a product while the table has rows asks before it is emptied.
        p.feedLinkB(90);
        p.feedLinkB(10);
        p.dialogs.answerButton(QMessageBox::No);
        p.select(QStringLiteral("Dunmarl-S"));
        QCOMPARE(p.dialogs.shown().size(), 1);
        QCOMPARE(p.dialogs.shown().first().text, QStringLiteral("Would you like to save the log for the current data?"));
        QCOMPARE(p.ui.exStatusTable->rowCount(), 0);
        QVERIFY(p.page->history().isEmpty());
    }

    // A log folder that cannot be created: said once; the table keeps the events and the first
    // log that opens later writes them all.
    void logThatCannotBeOpened()
    {
        Page p;
        p.select(QStringLiteral("Lomaret-S"));
        const QString folder = QDir::home().filePath(QStringLiteral("VelmoPlexaT/logs"));
        QDir(folder).removeRecursively();
        QDir().mkpath(QDir::home().filePath(QStringLiteral("VelmoPlexaT")));
        {
            QFile blocker(folder);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        p.feedLinkB(10);
        QVERIFY(!p.page->isLogOpen());
        QVERIFY2(p.status().startsWith(QStringLiteral("Failed to open the log file")), qPrintable(p.status()));
        QCOMPARE(p.ui.exStatusTable->rowCount(), 1);

        QVERIFY(QFile::remove(folder));
        p.feedLinkB(90);
        p.feedLinkB(10);
        QVERIFY(p.page->isLogOpen());
        const QList<QByteArray> lines = readAll(p.page->logPath()).split('\n');
        QCOMPARE(lines.size(), 1 + 2 + 1);
        QVERIFY(lines.at(1).startsWith("Wed Dec 9 2026,10:00:01,Link,B,10"));
    }

    // A receiver: the second plot's widgets give way to the rate, whose alert needs a rate from
    // the stream and adds no table row.
    void receiverPage()
    {
        Page p;
        p.select(QStringLiteral("Lomaret-R"));
        QVERIFY(p.page->receiverUnit());
        QVERIFY(p.ui.exStatusPlot2->isHidden());
        QVERIFY(p.ui.exStatusPlotLabel2->isHidden());
        QCOMPARE(p.ui.channelDHide2->text(), QStringLiteral("Rate"));
        QCOMPARE(p.ui.exStatusPlotLabel2->text(), QStringLiteral("Retransmission Rate"));
        QCOMPARE(stateOf(p.ui.channelDHide2), QStringLiteral("R"));

        HDBaseTCycle cycle = goodCycle(true);
        cycle.mse[2] = 3685;
        cycle.retransRate = 90;
        p.feed(cycle, Chunking::SplitMidNumber);
        QCOMPARE(p.page->history().size(), 1);
        QCOMPARE(p.ui.channelCValue->text(), QStringLiteral("100%"));
        QCOMPARE(p.ui.channelDValue2->text(), QStringLiteral("90%"));
        QCOMPARE(stateOf(p.ui.channelDValue2Box), QStringLiteral("exceeded"));
        QCOMPARE(p.ui.exStatusTable->rowCount(), 0);
        QCOMPARE(p.ui.exStatusPlot2->graph(0)->data()->size(), 1);

        // A rate line without a number leaves the alert as it was.
        p.page->processMonitorReadyRead("ReTransRate:\r\n");
        QCOMPARE(p.page->history().size(), 2);
        QCOMPARE(stateOf(p.ui.channelDValue2Box), QStringLiteral("exceeded"));
        cycle.retransRate = 99.5;
        p.feed(cycle);
        QCOMPARE(stateOf(p.ui.channelDValue2Box), QString());

        // Back to a transmitter.
        p.select(QStringLiteral("Lomaret-S"));
        QVERIFY(!p.ui.exStatusPlot2->isHidden());
        QCOMPARE(p.ui.channelDHide2->text(), QStringLiteral("Channel D"));
        QCOMPARE(p.ui.exStatusPlotLabel2->text(), QStringLiteral("Max Error Rate"));
        QCOMPARE(stateOf(p.ui.channelDHide2), QString());
        QCOMPARE(p.ui.channelDValue2->text(), QStringLiteral("0"));
    }

    void pinoutDialog()
    {
        Page p;
        p.select(QStringLiteral("Lomaret-S"));
        p.window.show();
        bringToFront(p.ui.statusTab);
        QVERIFY(QTest::qWaitForWindowExposed(&p.window));
        pinout_selector* dialog = p.page->pinoutSelector();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Select a Channel Configuration."));
        auto* radioA = dialog->findChild<QRadioButton*>(QStringLiteral("radioA"));
        auto* radioB = dialog->findChild<QRadioButton*>(QStringLiteral("radioB"));
        auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        QVERIFY(radioA && radioB && buttons);
        QVERIFY(radioB->isChecked());
        QSignalSpy chosen(dialog, SIGNAL(selectedPinoutChanged(bool)));

        // T-568A, then Cancel: nothing changes and the dialog shows T-568B again.
        QTimer::singleShot(0, dialog, [&] {
            radioA->click();
            buttons->button(QDialogButtonBox::Cancel)->click();
        });
        p.ui.exPinoutButton->click();
        QCOMPARE(chosen.count(), 0);
        QVERIFY(radioB->isChecked());
        // The window's close button counts as Cancel.
        QTimer::singleShot(0, dialog, [&] {
            radioA->click();
            dialog->close();
        });
        p.ui.exPinoutButton->click();
        QCOMPARE(chosen.count(), 0);
        QVERIFY(radioB->isChecked());

        // T-568A, then Ok: the first two channels swap colours on the buttons and the curves.
        const QColor orange(249, 149, 35), green(14, 150, 78);
        QCOMPARE(p.ui.exStatusPlot->graph(0)->pen().color(), orange);
        QTimer::singleShot(0, dialog, [&] {
            radioA->click();
            buttons->button(QDialogButtonBox::Ok)->click();
        });
        p.ui.exPinoutButton->click();
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.first().first().toBool(), false);
        for (QWidget* button : {static_cast<QWidget*>(p.ui.channelAHide), static_cast<QWidget*>(p.ui.channelBHide),
                                static_cast<QWidget*>(p.ui.channelAHide2), static_cast<QWidget*>(p.ui.channelBHide2)})
            QCOMPARE(stateOf(button), QStringLiteral("A"));
        QCOMPARE(p.ui.channelAHide->palette().color(QPalette::Button), green);
        QCOMPARE(p.ui.channelBHide2->palette().color(QPalette::Button), orange);
        for (QCustomPlot* plot : {p.ui.exStatusPlot, p.ui.exStatusPlot2}) {
            QCOMPARE(plot->graph(0)->pen().color(), green);
            QCOMPARE(plot->graph(1)->pen().color(), orange);
            QCOMPARE(plot->graph(2)->pen().color(), QColor(37, 59, 144));
        }
        // The plots keep the standard after a reset, as the buttons do.
        p.page->restartThePlot();
        QCOMPARE(p.ui.exStatusPlot->graph(0)->pen().color(), green);

        // Confirming T-568B again signals again and swaps back.
        QTimer::singleShot(0, dialog, [&] {
            radioB->click();
            buttons->button(QDialogButtonBox::Ok)->click();
        });
        p.ui.exPinoutButton->click();
        QCOMPARE(chosen.count(), 2);
        QCOMPARE(chosen.last().first().toBool(), true);
        QCOMPARE(stateOf(p.ui.channelAHide), QStringLiteral("B"));
        QCOMPARE(p.ui.channelAHide->palette().color(QPalette::Button), orange);
        QCOMPARE(p.ui.exStatusPlot->graph(0)->pen().color(), orange);
    }

    // The unit's EDID banks go into the shared EDID box: kept the prompt and the PC's displays,
    // dropped everything else.
    void selectionFillsEdidLists()
    {
        Page p;
        QComboBox* sources = p.ui.selectEDIDFromDevice;
        sources->clear();
        sources->addItems({QStringLiteral("Select EDID"), QStringLiteral("Scaler: Input 1"),
                           QStringLiteral("Connected Display 1"), QStringLiteral("Bank 3")});
        p.ui.ddcFrame->setEnabled(false);
        p.ui.boosterFrame->show();
        p.select(QStringLiteral("Dunmarl-R"));
        QStringList texts;
        for (int i = 0; i < sources->count(); ++i)
            texts << sources->itemText(i);
        QCOMPARE(texts, QStringList({"Select EDID", "Extender: Local EDID", "Extender: Down Stream",
                                     "Extender: Bank 1", "Extender: Bank 2", "Extender: Bank 3", "Extender: Bank 4",
                                     "Extender: Bank 5", "Extender: Bank 6", "", "Connected Display 1"}));
        QCOMPARE(sources->itemData(9, Qt::AccessibleDescriptionRole).toString(), QStringLiteral("separator"));
        QCOMPARE(p.ui.uploadToDropdown->count(), 7);
        QCOMPARE(p.ui.uploadToDropdown->itemText(0), QStringLiteral("Local EDID"));
        QCOMPARE(p.ui.uploadToDropdown->itemText(6), QStringLiteral("Bank 6"));
        QVERIFY(p.ui.ddcFrame->isEnabled());
        QVERIFY(p.ui.boosterFrame->isHidden());
        QVERIFY(p.page->receiverUnit());
    }

    void helpBox()
    {
        Page p;
        p.ui.exStatusHelpButton->click();
        QCOMPARE(p.dialogs.shown().size(), 1);
        const ScriptedDialogs::Shown& shown = p.dialogs.shown().first();
        QCOMPARE(shown.kind, DialogBackend::Kind::Information);
        QCOMPARE(shown.title, QStringLiteral("How to use this page."));
        QVERIFY(shown.text.startsWith(QStringLiteral("This monitoring tab has been designed")));
        QVERIFY(shown.text.contains(QStringLiteral("HDBaseT\u2122 2.0 setup")));
        QVERIFY(shown.text.contains(QStringLiteral("received\n\nThe Max Error Rate graph")));
        QVERIFY(shown.text.endsWith(QStringLiteral("the cable\u2019s placement in an installation may need to be moved "
                                                   "to alleviate these issues.")));
    }
};

PLEXA_TEST_MAIN(TestHDBaseT)
#include "tst_hdbaset.moc"

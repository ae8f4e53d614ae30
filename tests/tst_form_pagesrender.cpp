// Every page of the main form and every dialog of the program as the user sees it: the program's
// window at its normal size, in the program's fonts and style sheet, each page brought up the way
// the program brings it up. No caption is cut off, no two widgets run into each other and nothing
// reaches out of its parent.
#include "appfonts.h"
#include "constants.h"
#include "lunmora.h"
#include "scaler.h"
#include "zarricksim.h"
#include "edidbuilder.h"
#include "edidmanagement.h"
#include "edidwindowfixture.h"
#include "formtestutil.h"
#include "mainwin.h"
#include "plexatest.h"
#include "rebootdialog.h"
#include "resources.h"
#include "scripteddialogs.h"
#include "timescale.h"
#include "serialports.h"
#include "ui_mainui.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTabWidget>
#include <QTimer>

#include <functional>

class PagesWindow : public MainWin
{
public:
    using MainWin::MainWin;
    using MainWindow::showBORLUNEControls;
    using MainWindow::showGenericControls;
    using MainWindow::showHDBaseTControls;
    using MainWindow::showHdmiEdidToolControls;
    using MainWindow::showIpProductControls;
    using MainWindow::showNORRITHControls;
    using MainWindow::showSAVRANOControls;
    using MainWindow::showScalerControls;
    using MainWindow::showSplitterControls;
    using MainWindow::summaryDock;
    using MainWindow::uploadEdidDialog;
};

namespace {

// An HDMI EDID with a timing, a name and the audio formats a sound bar offers.
QByteArray soundBarEdid()
{
    return EdidBuilder()
        .descriptor(0, {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00, 0xC4, 0x8E, 0x21,
                        0x00, 0x00, 0x1E})
        .displayDescriptor(1, 0xFC, "VELMO BAR")
        .cea(0x70)
        .dataBlock(2, {0x90, 0x04, 0x03, 0x05})
        .dataBlock(1, {0x09, 0x7F, 0x07, 0x15, 0x07, 0x50, 0x3D, 0x07, 0xC0, 0x57, 0x06, 0x00, 0x5F, 0x7E, 0x01})
        .dataBlock(4, {0x4F, 0x00, 0x00})
        .dataBlock(3, {0x03, 0x0C, 0x00, 0x10, 0x00, 0xB8, 0x3C, 0xE0, 0x0A, 0x0A, 0x14, 0x14})
        .build();
}

enum Arrangement {
    NarrowLabel,
    WrappedLabelTooLow,
    OverlappingButtons,
    OverlapMeant,
    ChildOutside,
    CaptionBesidePicture,
    CentredCaptionOverPicture,
    BackdropHoldsWhole,
    BackdropCutsAcross,
    CaptionAboveLine,
    EmptyLabel,
    SqueezedCell,
};

// Lays out one small made-up page for the check on itself; `ex` gets the page's exceptions.
void arrange(QWidget* page, Arrangement arrangement, RenderExceptions* ex)
{
    auto button = [page](const char* name, const QRect& r, const char* text = "OK") {
        auto* b = new QPushButton(QString::fromLatin1(text), page);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(r);
        return b;
    };
    // a push button drawn as a check box, with its picture at the right as the style sheet does it
    auto pictureButton = [&](const QRect& r, const char* text, const char* align) {
        QPushButton* b = button("switch", r, text);
        b->setStyleSheet(QStringLiteral("QPushButton { image: url(:/images/Assets/Style/Unchecked.png); "
                                        "image-position: right; text-align: %1; padding-right: 15px; }")
                             .arg(QLatin1String(align)));
    };
    switch (arrangement) {
    case NarrowLabel: {
        auto* l = new QLabel(QStringLiteral("Audio Latency (ms)"), page);
        l->setGeometry(10, 10, 60, 20);
        break;
    }
    case WrappedLabelTooLow: {
        auto* l = new QLabel(QStringLiteral("From the list, choose the input to configure"), page);
        l->setWordWrap(true);
        l->setGeometry(10, 10, 150, 16);
        break;
    }
    case OverlappingButtons:
    case OverlapMeant:
        button("a", QRect(10, 10, 80, 30));
        button("b", QRect(60, 20, 80, 30));
        if (arrangement == OverlapMeant)
            ex->overlaps = {{"b", "a"}};
        break;
    case ChildOutside: {
        auto* box = new QFrame(page);
        box->setObjectName(QStringLiteral("box"));
        box->setGeometry(10, 10, 100, 50);
        auto* l = new QLabel(QStringLiteral("TMDS"), box);
        l->setGeometry(50, 10, 80, 20);
        break;
    }
    case CaptionBesidePicture:
        pictureButton(QRect(10, 10, 120, 30), "Enable Audio Support", "left");
        break;
    case CentredCaptionOverPicture:
        pictureButton(QRect(10, 10, 75, 30), "HDMI", "center");
        break;
    case BackdropHoldsWhole:
    case BackdropCutsAcross: {
        auto* panel = new QFrame(page);
        panel->setObjectName(QStringLiteral("panel"));
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setGeometry(arrangement == BackdropHoldsWhole ? QRect(5, 5, 200, 100) : QRect(5, 5, 60, 20));
        button("open", QRect(10, 10, 80, 30));
        ex->backdrops << QStringLiteral("panel");
        break;
    }
    case CaptionAboveLine: {
        auto* l = new QLabel(QStringLiteral("Product Options"), page);
        l->setGeometry(10, 0, 150, 22);
        auto* line = new QFrame(page);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        line->setGeometry(10, 20, 200, 16);
        break;
    }
    case EmptyLabel: {
        auto* l = new QLabel(page);
        l->setGeometry(10, 10, 100, 30);
        button("open", QRect(50, 20, 80, 30));
        break;
    }
    case SqueezedCell: {
        auto* table = new QTableWidget(1, 2, page);
        table->setGeometry(10, 10, 280, 120);
        table->setItem(0, 0, new QTableWidgetItem(QStringLiteral("LPCM 2ch 32-192kHz 16/20/24bit")));
        table->setColumnWidth(0, 40);
        break;
    }
    }
}

} // namespace

Q_DECLARE_METATYPE(Arrangement)

class TestFormPagesRender : public QObject
{
    Q_OBJECT

private:
    ScriptedDialogs dialogs;
    QScopedPointer<ScriptedDialogs::Scope> scope;
    QTemporaryDir drm;
    QTemporaryDir files;
    QString edidPath;
    QScopedPointer<EdidWindowFixture<PagesWindow>> f;
    QString editorMode; // how the EDID pages were last brought up

    Ui_MainUI* ui() const { return f->ui(); }
    PagesWindow* window() const { return f->window.data(); }

    // The main form as it stands: everything in the window's frame.
    void checkWindow()
    {
        settleLayouts(ui()->centralFrame);
        const QStringList faults = renderFaults(ui()->centralFrame, mainFormRenderExceptions());
        VERIFY_RENDERS_CLEAN(faults);
    }

    // Opens a modal dialog with `open` and checks it while it runs; the dialog is then cancelled,
    // or accepted when `accept` is set.
    QStringList faultsOfModal(const std::function<void()>& open, const QString& name, bool accept = false)
    {
        QStringList faults{QStringLiteral("no %1 was shown").arg(name)};
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog->objectName() != name)
                return;
            poll.stop();
            if (QTest::qWaitForWindowExposed(dialog)) {
                settleLayouts(dialog);
                faults = renderFaults(dialog, RenderExceptions());
            }
            if (accept)
                dialog->accept();
            else
                dialog->reject();
        });
        poll.start();
        open();
        return faults;
    }

    QStringList faultsOfWindow(QWidget* w)
    {
        w->show();
        if (!QTest::qWaitForWindowExposed(w))
            return {QStringLiteral("%1 was not shown").arg(w->objectName())};
        settleLayouts(w);
        const QStringList faults = renderFaults(w, RenderExceptions());
        w->hide();
        return faults;
    }

    void openEdid()
    {
        dialogs.answerPath(edidPath);
        window()->openEDIDFromFile();
        QVERIFY(!f->editor()->description().isEmpty());
    }

    void showEditorPage(const QString& page)
    {
        window()->setFunctionTab(-4);
        QWidget* p = window()->findChild<QWidget*>(page);
        QVERIFY(p);
        if (p == ui()->tab || p == ui()->tab_2) {
            ui()->managementTabs->setCurrentWidget(ui()->color);
            ui()->tabWidget_2->setCurrentWidget(p);
        } else {
            ui()->managementTabs->setCurrentWidget(p);
        }
    }

private slots:
    void initTestCase()
    {
        initPlexaResources();
        installApplicationFonts();
        scope.reset(new ScriptedDialogs::Scope(dialogs));
        SerialPortLister::setSystemPortsListed(false);
        SerialPortEntry port;
        port.portName = QStringLiteral("/dev/ttyUSB7");
        port.systemLocation = port.portName;
        SerialPortLister::registerPort(port);
        MainWindow::setDesktopHeightForTests(1080);
        edidPath = files.filePath(QStringLiteral("soundbar.bin"));
        QFile file(edidPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(soundBarEdid());
        file.close();
        f.reset(new EdidWindowFixture<PagesWindow>(drm.path()));
        window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(window()));
        QVERIFY(!qApp->styleSheet().isEmpty());
    }

    void cleanupTestCase()
    {
        f.reset();
        MainWindow::setDesktopHeightForTests(0);
        SerialPortLister::clearRegisteredPorts();
        SerialPortLister::setSystemPortsListed(true);
    }

    void init() { dialogs.clear(); }

    // The check on small made-up pages: each kind of fault it reports (by a part of its one
    // message), and what it lets pass.
    void checkOnItself_data()
    {
        QTest::addColumn<Arrangement>("arrangement");
        QTest::addColumn<QString>("fault");
        QTest::newRow("label too narrow") << NarrowLabel << "\"Audio Latency (ms)\" needs";
        QTest::newRow("wrapped label too low") << WrappedLabelTooLow << "needs";
        QTest::newRow("siblings overlap") << OverlappingButtons << "a (10,10 80x30) overlaps b (60,20 80x30)";
        QTest::newRow("overlap meant") << OverlapMeant << "";
        QTest::newRow("child cut off") << ChildOutside << "reaches out of box (0,0 100x50)";
        QTest::newRow("caption beside a style picture") << CaptionBesidePicture << "beside the picture";
        QTest::newRow("centred caption over a style picture") << CentredCaptionOverPicture
                                                               << "runs into the picture";
        QTest::newRow("backdrop behind a whole button") << BackdropHoldsWhole << "";
        QTest::newRow("backdrop across a button") << BackdropCutsAcross << "panel (5,5 60x20) overlaps open";
        QTest::newRow("caption above a line's drawn stroke") << CaptionAboveLine << "";
        QTest::newRow("empty label") << EmptyLabel << "";
        QTest::newRow("squeezed table cell") << SqueezedCell << "cell 0,0 \"LPCM 2ch";
    }

    void checkOnItself()
    {
        QFETCH(Arrangement, arrangement);
        QFETCH(QString, fault);
        QWidget page;
        page.resize(300, 150);
        RenderExceptions ex;
        arrange(&page, arrangement, &ex);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        settleLayouts(&page);
        const QStringList faults = renderFaults(&page, ex);
        if (fault.isEmpty()) {
            VERIFY_RENDERS_CLEAN(faults);
        } else {
            QCOMPARE(faults.size(), 1);
            QVERIFY2(faults.first().contains(fault), qPrintable(faults.first()));
        }
    }

    // The function tabs without a product: Discover, and the empty Configure and Update pages.
    void functionPages_data()
    {
        QTest::addColumn<QString>("page");
        for (const char* page : {"tab_5", "tab_8", "depUpdateTab", "updateTab"})
            QTest::newRow(page) << page;
    }

    void functionPages()
    {
        QFETCH(QString, page);
        window()->setFunctionTab(page == QLatin1String("tab_5") ? -2 : -3);
        ui()->tabWidget->setCurrentWidget(window()->findChild<QWidget*>(page));
        checkWindow();
    }

    // Each page of the Configure tab, in the page set of a family that shows it.
    void configurePages_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("page");
        const QVector<QPair<const char*, QStringList>> sets{
            {"booster", {"boosterTab", "edidConfigureTab", "updateConfigureTab"}},
            {"hdbaset", {"statusTab", "edidConfigureTab"}},
            {"scaler", {"outputTab", "pictureTab", "adjustTab", "systemTab", "testPatternTab", "timingTab"}},
            {"splitter", {"lunmoraHdcpTab", "lunmoraStatusTab", "lunmoraSystem"}},
            {"generic", {"scaler12controlsTab"}},
            {"savrano", {"edidConfigureTab", "updatetab2"}},
            {"borlune", {"edidConfigureTab"}},
            {"ip", {"edidConfigureTab"}},
            {"Norrith", {"routeTab", "setupTab", "vgaTab", "hdbtSystem"}},
            {"Jovaris", {"routeTab", "setupTab", "vgaTab", "hdbtSystem"}},
            {"Surrow", {"routeTab", "setupTab", "vgaTab", "hdbtSystem"}},
            {"firmware", {"firmwareTab", "firmwareTabSorvane", "firmwareTabROLVANE"}},
        };
        for (const auto& set : sets)
            for (const QString& page : set.second)
                QTest::newRow(qPrintable(QStringLiteral("%1/%2").arg(QLatin1String(set.first), page)))
                    << set.first << page;
    }

    void configurePages()
    {
        QFETCH(QString, family);
        QFETCH(QString, page);
        PagesWindow* w = window();
        w->setFunctionTab(-3);
        QComboBox* products = ui()->productCombobox;
        if (family == QLatin1String("booster")) {
            w->showHdmiEdidToolControls();
        } else if (family == QLatin1String("hdbaset")) {
            w->showHDBaseTControls(false, true);
        } else if (family == QLatin1String("scaler")) {
            w->showScalerControls();
        } else if (family == QLatin1String("splitter")) {
            w->showSplitterControls();
        } else if (family == QLatin1String("generic")) {
            w->showGenericControls();
        } else if (family == QLatin1String("savrano")) {
            w->showSAVRANOControls(true, false);
        } else if (family == QLatin1String("borlune")) {
            w->showBORLUNEControls(true, false);
        } else if (family == QLatin1String("ip")) {
            w->showIpProductControls(true);
        } else if (family == QLatin1String("firmware")) {
            // pages the form holds for the firmware controllers, shown on their own
            QTabWidget* tabs = ui()->ConfiguratorTabs;
            tabs->clear();
            tabs->addTab(w->findChild<QWidget*>(page), QStringLiteral("Firmware"));
            tabs->tabBar()->show();
        } else {
            // the serially controlled extenders: the product entry names the model, the port is
            // chosen in the program's own dialog (or, for the Norrith, from a list)
            const QSignalBlocker blocker(products);
            products->addItem(family + QStringLiteral(" HDBaseT Extender"));
            products->setCurrentIndex(products->count() - 1);
            if (family == QLatin1String("Norrith")) {
                dialogs.answerText(QStringLiteral("/dev/ttyUSB7"));
                w->showNORRITHControls(true);
            } else {
                faultsOfModal([w] { w->showNORRITHControls(true); }, QStringLiteral("comPortDialog"), true);
            }
            products->removeItem(products->count() - 1);
        }
        QWidget* p = w->findChild<QWidget*>(page);
        QVERIFY(p);
        QVERIFY2(ui()->ConfiguratorTabs->indexOf(p) >= 0, "the family's page set lacks the page");
        ui()->ConfiguratorTabs->setCurrentWidget(p);
        checkWindow();
    }

    // The EDID pages of the units reached over Ethernet, built and filled from a simulated unit
    // as the scaler controller does it, after a splitter (whose buttons share the page's frames)
    // and the other Ethernet unit were shown: the page holds its own buttons alone.
    void ethernetEdidPages_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QStringList>("shownBefore");
        QTest::newRow("Zarrick after a splitter") << "Zarrick" << QStringList {"splitter"};
        QTest::newRow("Cavrosh after a splitter") << "Cavrosh" << QStringList {"splitter"};
        QTest::newRow("Zarrick after a splitter and a Cavrosh") << "Zarrick" << QStringList {"splitter", "Cavrosh"};
        QTest::newRow("Cavrosh after a Zarrick") << "Cavrosh" << QStringList {"Zarrick"};
    }

    void ethernetEdidPages()
    {
        QFETCH(QString, model);
        QFETCH(QStringList, shownBefore);
        PagesWindow* w = window();
        w->setFunctionTab(-3);
        QComboBox* products = ui()->productCombobox;
        const int productsBefore = products->count();
        auto visibleButtons = [](QWidget* frame) {
            QStringList texts;
            for (QAbstractButton* b : frame->findChildren<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly)) {
                if (b->isVisible())
                    texts << b->text();
            }
            return texts;
        };
        // The unit answers across its thread and loopback TCP within the page's waits.
        const double factor = TimeScale::factor();
        TimeScale::setFactor(qMax(factor, 0.25));
        struct Restore {
            double factor;
            ~Restore() { TimeScale::setFactor(factor); }
        } restore {factor};
        // The window holds doubles of the device controllers: the real ones work on its form here.
        Lunmora splitter(ui());
        Scaler scaler(ui());
        std::unique_ptr<ZarrickSim> sim;
        auto show = [&](const QString& shown) {
            if (shown == QLatin1String("splitter")) {
                w->showSplitterControls();
                splitter.previewProductControls(MODEL_JORVALE);
                return;
            }
            const bool zarrick = shown == QLatin1String("Zarrick");
            sim = std::make_unique<ZarrickSim>(zarrick ? ZarrickSim::Model::Zarrick : ZarrickSim::Model::Cavrosh);
            QVERIFY(sim->start());
            {
                const QSignalBlocker blocker(products);
                products->addItem(zarrick ? QStringLiteral("Zarrick Savrano") : QStringLiteral("Cavrosh Borlune"));
                products->setCurrentIndex(products->count() - 1);
            }
            if (zarrick)
                w->showSAVRANOControls(true, false);
            else
                w->showBORLUNEControls(true, false);
            Scaler* s = &scaler;
            s->ipAddress = QStringLiteral("127.0.0.1");
            s->tcpPort = sim->tcpPort();
            s->TCPConnect();
            if (zarrick)
                s->refreshZARRICK_edidPage();
            else
                s->refreshCAVROSH_edidPage();
            ui()->ConfiguratorTabs->setCurrentWidget(ui()->edidConfigureTab);
        };
        for (const QString& shown : shownBefore)
            show(shown);
        show(model);
        settleLayouts(ui()->centralFrame);
        for (const ScriptedDialogs::Shown& shown : dialogs.shown())
            QFAIL(qPrintable(shown.title + QLatin1String(": ") + shown.text));
        if (model == QLatin1String("Zarrick")) {
            QCOMPARE(visibleButtons(ui()->scalerEDIDFrame), ZARRICK_INPUT_NAMES);
            QCOMPARE(visibleButtons(ui()->edidInputFrame), ZARRICK_EDID_MODE_CHOICES);
        } else {
            QCOMPARE(visibleButtons(ui()->scalerEDIDFrame).size(), CAVROSH_EDID_MODE_CHOICES.size());
            QVERIFY(visibleButtons(ui()->edidInputFrame).isEmpty());
        }
        checkWindow();
        scaler.TCPDisconnect();
        const QSignalBlocker blocker(products);
        while (products->count() > productsBefore)
            products->removeItem(products->count() - 1);
    }

    // The EDID viewer with an EDID open, the editor editing it, and the new-EDID wizard, on
    // each of the editor's pages.
    void edidPages_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("page");
        for (const char* mode : {"viewer", "editor", "wizard"})
            for (const char* page : {"edidType", "general", "timings", "tab", "tab_2", "audioFormat", "hdmi", "threeD", "HDR"})
                QTest::newRow(qPrintable(QStringLiteral("%1/%2").arg(QLatin1String(mode), QLatin1String(page))))
                    << mode << page;
    }

    void edidPages()
    {
        QFETCH(QString, mode);
        QFETCH(QString, page);
        if (mode != editorMode) {
            editorMode = mode;
            window()->setFunctionTab(-4);
            if (mode == QLatin1String("wizard")) {
                dialogs.answerButton(QMessageBox::Yes);
                ui()->newEDID->click();
            } else {
                window()->expertMode();
                openEdid();
                if (mode == QLatin1String("editor"))
                    f->editor()->editEDID();
            }
        }
        showEditorPage(page);
        checkWindow();
    }

    // The program's own dialogs and windows.
    void customTimingDialog()
    {
        window()->expertMode();
        openEdid();
        f->editor()->editEDID();
        showEditorPage(QStringLiteral("timings"));
        const QStringList faults = faultsOfModal([this] { ui()->createYourOwnTiming->click(); },
                                                 QStringLiteral("CustomTimingDialog"));
        VERIFY_RENDERS_CLEAN(faults);
    }

    void customAudioDialog_data()
    {
        QTest::addColumn<bool>("editRow");
        QTest::newRow("new format") << false;
        QTest::newRow("a row of the table") << true;
    }

    void customAudioDialog()
    {
        QFETCH(bool, editRow);
        window()->expertMode();
        openEdid();
        f->editor()->editEDID();
        showEditorPage(QStringLiteral("audioFormat"));
        // the audio controls open up as the user turns audio support on
        ui()->basicAudio->click();
        if (!ui()->basicAudio->isChecked())
            ui()->basicAudio->click();
        QPushButton* opener = ui()->createYourOwnAudioFormat;
        if (editRow) {
            ui()->audioTable->selectRow(1);
            opener = ui()->editAudio;
        }
        QVERIFY2(opener->isEnabled(), qPrintable(opener->objectName()));
        const QStringList faults = faultsOfModal([opener] { opener->click(); }, QStringLiteral("CustomAudioDialog"));
        VERIFY_RENDERS_CLEAN(faults);
    }

    void comPortDialog()
    {
        const QSignalBlocker blocker(ui()->productCombobox);
        ui()->productCombobox->addItem(QStringLiteral("Jovaris HDBaseT Extender"));
        ui()->productCombobox->setCurrentIndex(ui()->productCombobox->count() - 1);
        const QStringList faults = faultsOfModal([this] { window()->showNORRITHControls(true); },
                                                 QStringLiteral("comPortDialog"));
        ui()->productCombobox->removeItem(ui()->productCombobox->count() - 1);
        VERIFY_RENDERS_CLEAN(faults);
    }

    void rebootDialog_data()
    {
        QTest::addColumn<bool>("disconnected");
        QTest::newRow("waiting") << false;
        QTest::newRow("disconnect detected") << true;
    }

    void rebootDialog()
    {
        QFETCH(bool, disconnected);
        RebootDialog dialog(window());
        if (disconnected)
            dialog.showDisconnectDetected();
        const QStringList faults = faultsOfWindow(&dialog);
        VERIFY_RENDERS_CLEAN(faults);
    }

    void uploadEdidDialog()
    {
        window()->uploadEDIDToDevice();
        QDialog* dialog = window()->uploadEdidDialog;
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        const QStringList faults = faultsOfWindow(dialog);
        VERIFY_RENDERS_CLEAN(faults);
    }

    void summaryDock()
    {
        window()->expertMode();
        openEdid();
        window()->showSummaryWindow();
        settleLayouts(window()->summaryDock);
        QDockWidget* dock = window()->summaryDock;
        QVERIFY(dock->isVisible());
        const QStringList faults = renderFaults(dock, RenderExceptions());
        window()->summaryDock->hide();
        VERIFY_RENDERS_CLEAN(faults);
    }
};

PLEXA_TEST_MAIN(TestFormPagesRender)
#include "tst_form_pagesrender.moc"

// The splitter controller against simulated Farrund, Harlisk and Jorvale units on a pty: discovery
// by port description, the command lines and the echo, answers without the prompt or with text
// of the unit's own before the echo, a link that stays busy, the page set-up,
// the HDCP and Status refreshes of each model, factory reset, the EDID reads, copy, download and
// upload, the EDID page and the firmware page's reconnection wait and version check.
#include "plexatest.h"
#include "constants.h"
#include "ediddecoder.h"
#include "lunmora.h"
#include "mybuttongroup.h"
#include "scripteddialogs.h"
#include "serialports.h"
#include "simedid.h"
#include "splittersim.h"
#include "ui_mainui.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>

#include <memory>

namespace {

using Model = SplitterSim::Model;

int typeOf(Model model)
{
    return model == Model::Farrund ? 8 : model == Model::Harlisk ? 9 : 10;
}

// A 256-byte EDID whose both blocks sum to 0: the sample base block announcing one extension.
QByteArray twoBlockEdid()
{
    QByteArray edid = simSampleEdid(7);
    edid[126] = 1;
    unsigned sum = 0;
    for (int i = 0; i < 127; ++i)
        sum += quint8(edid[i]);
    edid[127] = char((256 - sum % 256) % 256);
    QByteArray ext(128, '\0');
    ext[0] = 0x02;
    ext[1] = 0x03;
    ext[2] = 0x04;
    sum = 0;
    for (int i = 0; i < 127; ++i)
        sum += quint8(ext[i]);
    ext[127] = char((256 - sum % 256) % 256);
    return edid + ext;
}

QByteArray withBadChecksum(QByteArray edid)
{
    edid[127] = char(edid.at(127) + 1);
    return edid;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

// The form, the real controller over it and one simulated unit, selected as the hub would.
struct Fixture {
    QMainWindow window;
    Ui_MainUI ui;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope{dialogs};
    SplitterSim sim;
    std::unique_ptr<Lunmora> lunmora;

    explicit Fixture(Model model = Model::Harlisk, const QString& stableName = QString())
        : sim(model)
    {
        ui.setupUi(&window);
        if (!stableName.isEmpty())
            sim.setStablePortName(stableName);
        started = sim.start();
        lunmora = std::make_unique<Lunmora>(&ui);
    }
    ~Fixture()
    {
        lunmora.reset();
        sim.stop();
        SerialPortLister::clearRegisteredPorts();
    }

    Device device() const
    {
        Device d;
        d.name = SplitterSim::modelName(sim.model());
        d.portName = sim.portName();
        d.type = typeOf(sim.model());
        return d;
    }
    // Selected with the page state of a connected unit, but no page refresh (the drop-down
    // names no splitter until a test puts one there).
    void select()
    {
        lunmora->setTabState(1);
        lunmora->selectedProductChanged(device());
        sim.clearLog();
    }
    QString status() const { return ui.statusBar->currentMessage(); }
    bool statusIsError() const { return ui.statusBar->palette().color(QPalette::WindowText) == QColor(255, 70, 50); }
    QAbstractButton* button(QWidget* frame, const QString& text) const
    {
        for (QAbstractButton* b : frame->findChildren<QAbstractButton*>())
            if (b->text() == text)
                return b;
        return nullptr;
    }
    QString checkedIn(QWidget* frame) const
    {
        for (QAbstractButton* b : frame->findChildren<QAbstractButton*>())
            if (b->isChecked())
                return b->text();
        return QString();
    }
    QWidget* outputFrame(int k) const
    {
        QWidget* frames[] = {ui.outputHdcpFrame,   ui.outputHdcpFrame_2, ui.outputHdcpFrame_3, ui.outputHdcpFrame_4,
                             ui.outputHdcpFrame_5, ui.outputHdcpFrame_6, ui.outputHdcpFrame_7, ui.outputHdcpFrame_8};
        return frames[k - 1];
    }
    bool started = false;
};

} // namespace

class TestSplitter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SerialPortLister::setSystemPortsListed(false); }

    void discoveryListsUnitsByDescriptionStart();
    void answerFollowsTheEcho_data();
    void answerFollowsTheEcho();
    void commandLinesAndTheirConfirmation_data();
    void commandLinesAndTheirConfirmation();
    void promptlessAndChattyUnits_data();
    void promptlessAndChattyUnits();
    void aBusyLinkRefusesAClickWithoutWriting();
    void pageSetupFollowsTheModel();
    void buttonsSendTheirCommands();
    void hdcpRefreshPerModel_data();
    void hdcpRefreshPerModel();
    void hdcpIndexesOutOfRangeAreRefused();
    void statusRefreshPerModel_data();
    void statusRefreshPerModel();
    void factoryResetNeedsTheUnitsAnswer();
    void sourceIndexSelectsTheEdidCommand_data();
    void sourceIndexSelectsTheEdidCommand();
    void edidsFromTheUnitMustPassTheTransferCheck();
    void downloadReplacesAFileOnlyOnSuccess();
    void userEdidUpload_data();
    void userEdidUpload();
    void copyAndEdidPage();
    void firmwareWaitsForTheUnitUnderItsPortName();
    void firmwareVersionCheck_data();
    void firmwareVersionCheck();
};

void TestSplitter::discoveryListsUnitsByDescriptionStart()
{
    Fixture f(Model::Harlisk);
    QVERIFY(f.started);
    SplitterSim other(Model::Farrund);
    SerialPortEntry id;
    id.description = QStringLiteral("USB Serial Farrund"); // the model name after other text
    id.manufacturer = QStringLiteral("Velmo");
    QVERIFY(other.startPty(id));

    QSignalSpy refresh(f.lunmora.get(), &Lunmora::refreshImmediately);
    const QList<Device> found = f.lunmora->updateDeviceList();
    QCOMPARE(found.size(), 1);
    QCOMPARE(found[0].name, MODEL_HARLISK);
    QCOMPARE(found[0].type, 9);
    QCOMPARE(found[0].portName, f.sim.portName());
    QCOMPARE(found[0].manufacturer, QStringLiteral("Velmo"));
    // Not listed, but the poll's membership check still flags it.
    f.lunmora->checkDeviceCount();
    QVERIFY(refresh.count() >= 1);

    // The selected unit vanishing turns the page state back to "no unit".
    f.select();
    QCOMPARE(f.lunmora->tabState(), 1);
    f.sim.stop();
    f.lunmora->updateDeviceList();
    QCOMPARE(f.lunmora->tabState(), 0);
}

void TestSplitter::answerFollowsTheEcho_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("answer");
    const QString copy = QStringLiteral("#SET_EDID_COPY 2");
    QTest::newRow("echo, words, prompt") << copy + "\r\nEDID_COPY COMPLETE\r\n>" << "EDID_COPY COMPLETE";
    QTest::newRow("no prompt") << copy + "\r\nEDID_COPY_COMPLETE\r\n" << "EDID_COPY_COMPLETE";
    QTest::newRow("a line before the echo") << "Splitter ready\r\n" + copy + "\r\nEDID_COPY_COMPLETE\r\n>"
                                            << "EDID_COPY_COMPLETE";
    QTest::newRow("bytes before the echo") << "........" + copy + "\r\nEDID_COPY_COMPLETE\r\n>"
                                           << "EDID_COPY_COMPLETE";
    QTest::newRow("no echo: up to the first line feed") << "noise\r\nEDID_COPY_COMPLETE\r\n>"
                                                        << "EDID_COPY_COMPLETE";
    QTest::newRow("no line feed") << "EDID_COPY_COMPLETE>" << "";
    QTest::newRow("the echo alone") << copy + "\r\n" << "";
}

void TestSplitter::answerFollowsTheEcho()
{
    QFETCH(QString, received);
    QFETCH(QString, answer);
    QCOMPARE(Lunmora::answerText(received, QStringLiteral("#SET_EDID_COPY 2")), answer);
}

void TestSplitter::commandLinesAndTheirConfirmation_data()
{
    QTest::addColumn<QString>("cmd");
    QTest::addColumn<QString>("param");
    QTest::addColumn<QString>("fault"); // "", "noecho", "noprompt", "silent", "otherword", "inputword"
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("confirmed");

    QTest::newRow("input hdcp") << "#SET_INPUT_HDCP" << "2" << "" << "#SET_INPUT_HDCP 2" << true;
    QTest::newRow("output hdcp") << "#SET_OUTPUT_HDCP 3" << "1" << "" << "#SET_OUTPUT_HDCP 3 1" << true;
    QTest::newRow("edid mode") << "#SET_EDID_MODE" << "7" << "" << "#SET_EDID_MODE 7" << true;
    // Units word and frame their answers differently: a setting they answer is taken.
    QTest::newRow("no echo") << "#SET_INPUT_HDCP" << "2" << "noecho" << "#SET_INPUT_HDCP 2" << true;
    QTest::newRow("no prompt") << "#SET_INPUT_HDCP" << "2" << "noprompt" << "#SET_INPUT_HDCP 2" << true;
    QTest::newRow("output hdcp, no prompt") << "#SET_OUTPUT_HDCP 3" << "1" << "noprompt" << "#SET_OUTPUT_HDCP 3 1" << true;
    QTest::newRow("another keyword") << "#SET_INPUT_HDCP" << "2" << "otherword" << "#SET_INPUT_HDCP 2" << true;
    // An output's HDCP setting is confirmed by name; silence and refusals are not taken.
    QTest::newRow("output hdcp, not named") << "#SET_OUTPUT_HDCP 3" << "1" << "inputword" << "#SET_OUTPUT_HDCP 3 1" << false;
    QTest::newRow("no answer") << "#SET_INPUT_HDCP" << "2" << "silent" << "#SET_INPUT_HDCP 2" << false;
    QTest::newRow("refused") << "#SET_INPUT_HDCP" << "7" << "" << "#SET_INPUT_HDCP 7" << false;
}

void TestSplitter::commandLinesAndTheirConfirmation()
{
    QFETCH(QString, cmd);
    QFETCH(QString, param);
    QFETCH(QString, fault);
    QFETCH(QString, line);
    QFETCH(bool, confirmed);

    Fixture f(Model::Harlisk);
    f.select();
    if (fault == QLatin1String("noecho"))
        f.sim.setEcho(false);
    else if (fault == QLatin1String("noprompt"))
        f.sim.setPromptSent(false);
    else if (fault == QLatin1String("silent"))
        f.sim.addRule(SimRule::any().silence());
    else if (fault == QLatin1String("otherword"))
        f.sim.addRule(SimRule::any().respond([](const QString& l) { return l.toLatin1() + "\r\nOUTPUT_HDCP 1 1\r\n>"; }));
    else if (fault == QLatin1String("inputword"))
        f.sim.addRule(SimRule::any().respond([](const QString& l) { return l.toLatin1() + "\r\nINPUT_HDCP 1\r\n>"; }));

    f.lunmora->handleCommand(cmd, param);
    QCOMPARE(f.sim.received(), line.toLatin1() + "\r");
    QCOMPARE(f.status(), confirmed ? QStringLiteral("Setting updated.") : QStringLiteral("Error occured!"));
    QCOMPARE(f.statusIsError(), !confirmed);
    QCOMPARE(f.lunmora->linkState(), int(Lunmora::AVAILABLE));
}

void TestSplitter::promptlessAndChattyUnits_data()
{
    QTest::addColumn<bool>("prompt");
    QTest::addColumn<QByteArray>("leading"); // printed before every echo
    QTest::newRow("no prompt") << false << QByteArray();
    QTest::newRow("a line before the echo") << true << QByteArray("Splitter ready\r\n");
    QTest::newRow("bytes before the echo") << true << QByteArray("........");
    QTest::newRow("both") << false << QByteArray("........");
}

// The page operations against such units: settings, reads, the copy and the user EDID upload.
void TestSplitter::promptlessAndChattyUnits()
{
    QFETCH(bool, prompt);
    QFETCH(QByteArray, leading);
    Fixture f(Model::Harlisk);
    QVERIFY(f.started);
    f.select();
    f.sim.setPromptSent(prompt);
    f.sim.setLeadingText(leading);

    f.lunmora->handleCommand(QStringLiteral("#SET_INPUT_HDCP"), QStringLiteral("2"));
    QCOMPARE(f.sim.inputHdcp(), 2);
    QCOMPARE(f.status(), QStringLiteral("Setting updated."));

    f.sim.setOutputHdcp(2, 1);
    f.lunmora->refreshHDCP();
    QCOMPARE(f.checkedIn(f.ui.inputHdcpFrame), QStringLiteral("VERSION 1.4 AND BELOW"));
    QCOMPARE(f.checkedIn(f.outputFrame(2)), QStringLiteral("ALWAYS ENCODE"));
    QCOMPARE(f.checkedIn(f.outputFrame(1)), QStringLiteral("FOLLOW INPUT"));

    f.ui.copyFromDropdown->setCurrentIndex(1);
    f.ui.copyButton->click();
    QCOMPARE(f.status(), QStringLiteral("Copy completed."));
    QCOMPARE(f.sim.edid(QStringLiteral("USER")), f.sim.edid(QStringLiteral("DS 2")));

    f.ui.selectEDIDFromDevice->setCurrentIndex(3);
    QCOMPARE(f.lunmora->getEDID(), f.sim.edid(QStringLiteral("PRESET 3")));

    QTemporaryDir dir;
    const QByteArray edid = twoBlockEdid();
    f.lunmora->sendEDID(writeFile(dir, QStringLiteral("user.bin"), edid));
    QCOMPARE(f.sim.edid(QStringLiteral("USER")), edid);
    QCOMPARE(f.status(), QStringLiteral("Done."));
    QVERIFY(!f.lunmora->isPageBusy());
}

void TestSplitter::aBusyLinkRefusesAClickWithoutWriting()
{
    Fixture f(Model::Farrund);
    f.select();
    // The first status query is answered late; a click meanwhile finds the link taken.
    f.sim.addRule(SimRule::exact("#GETS_INPUT_SIGNAL").reply("#GETS_INPUT_SIGNAL\r\nINPUT_SIGNAL Y\r\n>").after(3000));
    bool clickRan = false;
    QTimer::singleShot(5, [&] {
        QCOMPARE(f.lunmora->linkState(), int(Lunmora::OCCUPIED));
        QVERIFY(f.lunmora->isPageBusy());
        QVERIFY(!f.ui.ConfiguratorTabs->isEnabled());
        f.lunmora->handleCommand(QStringLiteral("#SET_INPUT_HDCP"), QStringLiteral("2"));
        clickRan = true;
    });
    f.lunmora->refreshStatus();
    QVERIFY(clickRan);
    QCOMPARE(f.sim.requestCount(QStringLiteral("#SET_INPUT_HDCP 2")), 0);
    QCOMPARE(f.ui.activeSignalLineEdit->text(), QStringLiteral("Yes"));
    QVERIFY(!f.lunmora->isPageBusy());
    QVERIFY(f.ui.ConfiguratorTabs->isEnabled());
}

void TestSplitter::pageSetupFollowsTheModel()
{
    Fixture f(Model::Jorvale);
    f.select();
    QCOMPARE(f.ui.copyFromDropdown->count(), 8);
    QCOMPARE(f.ui.selectEDIDFromDevice->count(), 1 + 8 + 8);
    QCOMPARE(f.ui.selectEDIDFromDevice->currentIndex(), 0);
    QCOMPARE(f.ui.selectEDIDFromDevice->itemText(9), QStringLiteral("Output 1"));
    QCOMPARE(f.ui.out8hdcp->text(), QStringLiteral("8"));
    QVERIFY(f.button(f.outputFrame(8), QStringLiteral("ALWAYS ENCODE")));
    QVERIFY(!f.ui.uploadButton->isEnabled());
    QVERIFY(f.ui.copyButton->isEnabled());

    // A Farrund after it: rows and buttons above output 2 go.
    Device farrund = f.device();
    farrund.type = 8;
    farrund.name = MODEL_FARRUND;
    f.lunmora->selectedProductChanged(farrund);
    QVERIFY(f.ui.output3->isHidden());
    QVERIFY(f.ui.out3hdcp->text().isEmpty());
    QVERIFY(f.ui.out8hdcp->text().isEmpty());
    QVERIFY(!f.button(f.outputFrame(3), QStringLiteral("FOLLOW INPUT")));
    QVERIFY(f.button(f.outputFrame(2), QStringLiteral("FOLLOW INPUT")));
    QCOMPARE(f.ui.copyFromDropdown->count(), 2);

    // A preview builds the rows of the named model and sends nothing.
    f.lunmora->previewProductControls(MODEL_HARLISK);
    QVERIFY(!f.ui.output4->isHidden());
    QVERIFY(f.ui.output5->isHidden());
    QCOMPARE(f.ui.out4hdcp->text(), QStringLiteral("4"));
    f.lunmora->setTabState(0);
    f.ui.productCombobox->addItem(QStringLiteral("Harlisk (preview)"));
    f.lunmora->tabChanged(3);
    f.lunmora->tabChanged(0);
    QCOMPARE(f.ui.scalerEDIDFrame->maximumHeight(), 170);
    QVERIFY(f.sim.requests().isEmpty());

    // The copy and download buttons of the shared EDID box keep exactly one receiver.
    f.lunmora->selectedProductChanged(f.device());
    f.lunmora->selectedProductChanged(f.device());
    f.ui.copyButton->click();
    QCOMPARE(f.sim.requests(), QStringList({"#SET_EDID_COPY 1"}));
    f.dialogs.answerCancel();
    f.ui.downloadButton->click();
    QCOMPARE(f.dialogs.shown().size(), 1);
}

void TestSplitter::buttonsSendTheirCommands()
{
    Fixture f(Model::Harlisk);
    f.select();
    f.button(f.outputFrame(3), QStringLiteral("ALWAYS ENCODE"))->click();
    QCOMPARE(f.sim.outputHdcp(3), 1);
    f.button(f.ui.inputHdcpFrame, QStringLiteral("VERSION 1.4 AND BELOW"))->click();
    QCOMPARE(f.sim.inputHdcp(), 2);
    f.button(f.ui.scalerEDIDFrame, QStringLiteral("Custom - USER"))->click();
    QCOMPARE(f.sim.edidMode(), 7);
    QCOMPARE(f.sim.requests(), QStringList({"#SET_OUTPUT_HDCP 3 1", "#SET_INPUT_HDCP 2", "#SET_EDID_MODE 7"}));
    QCOMPARE(f.status(), QStringLiteral("Setting updated."));
}

void TestSplitter::hdcpRefreshPerModel_data()
{
    QTest::addColumn<int>("model");
    QTest::newRow("Farrund") << int(Model::Farrund);
    QTest::newRow("Harlisk") << int(Model::Harlisk);
    QTest::newRow("Jorvale") << int(Model::Jorvale);
}

void TestSplitter::hdcpRefreshPerModel()
{
    QFETCH(int, model);
    Fixture f{Model(model)};
    f.select();
    const int n = SplitterSim::outputCount(Model(model));
    f.sim.setInputHdcp(1);
    for (int k = 1; k <= n; ++k)
        f.sim.setOutputHdcp(k, k % 2);
    f.ui.productCombobox->addItem(SplitterSim::modelName(Model(model)));
    f.lunmora->tabChanged(0); // the HDCP page comes to the top

    QStringList expected = {QStringLiteral("#GET_INPUT_HDCP")};
    for (int k = 1; k <= n; ++k)
        expected << QStringLiteral("#GET_OUTPUT_HDCP %1").arg(k);
    QCOMPARE(f.sim.requests(), expected);
    QCOMPARE(f.checkedIn(f.ui.inputHdcpFrame), QStringLiteral("VERSION 2.2 AND BELOW"));
    for (int k = 1; k <= n; ++k)
        QCOMPARE(f.checkedIn(f.outputFrame(k)), k % 2 ? QStringLiteral("ALWAYS ENCODE") : QStringLiteral("FOLLOW INPUT"));
    QVERIFY(!f.lunmora->isPageBusy());
}

void TestSplitter::hdcpIndexesOutOfRangeAreRefused()
{
    Fixture f(Model::Farrund);
    f.select();
    f.sim.setInputHdcp(3);
    f.lunmora->refreshHDCP();
    QCOMPARE(f.status(), QStringLiteral("Error occured!"));
    QCOMPARE(f.sim.requests(), QStringList({"#GET_INPUT_HDCP"}));
    QVERIFY(f.checkedIn(f.ui.inputHdcpFrame).isEmpty());

    // An output index out of range leaves that output as it was; the others are read.
    f.sim.clearLog();
    f.sim.setInputHdcp(0);
    f.sim.setOutputHdcp(1, 1);
    f.sim.setOutputHdcp(2, 9);
    f.lunmora->refreshHDCP();
    QCOMPARE(f.checkedIn(f.ui.inputHdcpFrame), QStringLiteral("REJECT"));
    QCOMPARE(f.checkedIn(f.outputFrame(1)), QStringLiteral("ALWAYS ENCODE"));
    QVERIFY(f.checkedIn(f.outputFrame(2)).isEmpty());
    QCOMPARE(f.sim.requests().size(), 3);
}

void TestSplitter::statusRefreshPerModel_data()
{
    QTest::addColumn<int>("model");
    QTest::newRow("Farrund") << int(Model::Farrund);
    QTest::newRow("Jorvale") << int(Model::Jorvale);
}

void TestSplitter::statusRefreshPerModel()
{
    QFETCH(int, model);
    Fixture f{Model(model)};
    f.select();
    const int n = SplitterSim::outputCount(Model(model));
    f.sim.setStatus(QStringLiteral("SIGNAL"), {QStringLiteral("N")});
    f.sim.setStatus(QStringLiteral("HDCP"), {QStringLiteral("2")});
    f.sim.setStatus(QStringLiteral("HPD"), {QStringLiteral("L")});
    f.sim.setStatus(QStringLiteral("MODE"), {QStringLiteral("D")});
    QStringList hpd;
    QStringList hdcp;
    QStringList rsense;
    for (int k = 1; k <= n; ++k) {
        hpd << (k == 1 ? QStringLiteral("L") : QStringLiteral("H"));
        hdcp << (k == 1 ? QStringLiteral("A") : k == 2 ? QStringLiteral("X") : QStringLiteral("U"));
        rsense << (k == 2 ? QStringLiteral("?") : QStringLiteral("L"));
    }
    f.sim.setStatus(QStringLiteral("OUT_HPD"), hpd);
    f.sim.setStatus(QStringLiteral("OUT_HDCP"), hdcp);
    f.sim.setStatus(QStringLiteral("OUT_RSENSE"), rsense);
    f.ui.hPDLineEdit_8->setText(QStringLiteral("stale"));
    f.ui.productCombobox->addItem(SplitterSim::modelName(Model(model)));
    f.lunmora->tabChanged(1);

    QCOMPARE(f.sim.requests().size(), 7);
    QCOMPARE(f.ui.activeSignalLineEdit->text(), QStringLiteral("No"));
    QCOMPARE(f.ui.hDCPLineEdit->text(), QString::fromUtf8("Encrypted \u2013 2.2"));
    QCOMPARE(f.ui.hPDLineEdit->text(), QStringLiteral("Low"));
    QCOMPARE(f.ui.videoModeLineEdit->text(), QStringLiteral("DVI"));
    QCOMPARE(f.ui.hPDLineEdit_1->text(), QStringLiteral("Low"));
    QCOMPARE(f.ui.hPDLineEdit_2->text(), QStringLiteral("High"));
    QCOMPARE(f.ui.hDCPLineEdit_1->text(), QStringLiteral("Active"));
    QCOMPARE(f.ui.hDCPLineEdit_2->text(), QStringLiteral("FAIL"));
    QCOMPARE(f.ui.rSENSELineEdit_1->text(), QStringLiteral("Low"));
    QCOMPARE(f.ui.rSENSELineEdit_2->text(), QString());
    QCOMPARE(f.ui.hPDLineEdit_8->text(), n == 8 ? QStringLiteral("High") : QString());

    // An answer with the wrong word count fills nothing of its own and the refresh goes on.
    f.sim.addRule(SimRule::exact("#GETS_OUTPUT_HDCP 0").reply("#GETS_OUTPUT_HDCP 0\r\nOUTPUT_HDCP 0 A A\r\n>"));
    f.lunmora->refreshStatus();
    QCOMPARE(f.ui.hDCPLineEdit_1->text(), QString());
    QCOMPARE(f.ui.rSENSELineEdit_1->text(), QStringLiteral("Low"));
}

void TestSplitter::factoryResetNeedsTheUnitsAnswer()
{
    Fixture f(Model::Harlisk);
    f.select();
    f.sim.setInputHdcp(0);
    f.ui.lunmoraFactoryReset->click();
    QCOMPARE(f.sim.factoryResets(), 1);
    QCOMPARE(f.sim.inputHdcp(), 1);
    QCOMPARE(f.status(), QStringLiteral("Settings reset successfully."));

    f.sim.addRule(SimRule::exact("#FACTORY_RESET").silence());
    f.ui.lunmoraFactoryReset->click();
    QCOMPARE(f.status(), QStringLiteral("Error occured!"));
    QVERIFY(f.statusIsError());
    QVERIFY(f.ui.ConfiguratorTabs->isEnabled());
}

void TestSplitter::sourceIndexSelectsTheEdidCommand_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("slot");
    QTest::newRow("first entry") << 0 << "#GET_PRESET_EDID 0" << "PRESET 0";
    QTest::newRow("preset 3") << 3 << "#GET_PRESET_EDID 3" << "PRESET 3";
    QTest::newRow("user") << 7 << "#GET_USER_EDID" << "USER";
    QTest::newRow("external") << 8 << "#GET_EXT_EDID" << "EXT";
    QTest::newRow("output 2") << 10 << "#GET_DS_EDID 2" << "DS 2";
}

void TestSplitter::sourceIndexSelectsTheEdidCommand()
{
    QFETCH(int, index);
    QFETCH(QString, line);
    QFETCH(QString, slot);
    Fixture f(Model::Harlisk);
    f.select();
    f.sim.setEdid(QStringLiteral("USER"), twoBlockEdid());
    f.ui.selectEDIDFromDevice->setCurrentIndex(index);
    const QByteArray edid = f.lunmora->getEDID();
    QCOMPARE(f.sim.requests(), QStringList({line}));
    QCOMPARE(edid, f.sim.edid(slot));
    QVERIFY(!edid.isEmpty());
    QVERIFY(!f.lunmora->isPageBusy());
}

void TestSplitter::edidsFromTheUnitMustPassTheTransferCheck()
{
    Fixture f(Model::Farrund);
    f.select();
    f.ui.selectEDIDFromDevice->setCurrentIndex(7);
    const QList<QByteArray> refused = {withBadChecksum(simSampleEdid(1)), simSampleEdid(1).left(100), QByteArray()};
    for (const QByteArray& bytes : refused) {
        f.sim.setEdid(QStringLiteral("USER"), bytes);
        QVERIFY(f.lunmora->getEDID().isEmpty());
        QVERIFY(f.statusIsError());
    }
    // An odd digit at the end is not half a byte.
    f.sim.addRule(SimRule::exact("#GET_USER_EDID")
                      .reply("#GET_USER_EDID\r\n" + simSampleEdid(1).toHex().toUpper() + "0\r\n>"));
    QVERIFY(f.lunmora->getEDID().isEmpty());
}

void TestSplitter::downloadReplacesAFileOnlyOnSuccess()
{
    Fixture f(Model::Harlisk);
    f.select();
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("kept.bin"), "old contents");
    f.ui.selectEDIDFromDevice->setCurrentIndex(9); // output 1
    f.sim.setEdid(QStringLiteral("DS 1"), withBadChecksum(simSampleEdid(3)));
    f.dialogs.answerPath(path);
    f.ui.downloadButton->click();
    QCOMPARE(PlexaTest::readFile(path), QByteArray("old contents"));
    QVERIFY(f.statusIsError());

    f.sim.setEdid(QStringLiteral("DS 1"), simSampleEdid(3));
    f.dialogs.answerPath(path);
    f.ui.downloadButton->click();
    QCOMPARE(PlexaTest::readFile(path), simSampleEdid(3));
    QCOMPARE(f.status(), QStringLiteral("Download Complete."));
}

void TestSplitter::userEdidUpload_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("refusal"); // part of the box text; empty: sent
    QTest::newRow("128 bytes") << simSampleEdid(5) << "";
    QTest::newRow("256 bytes") << twoBlockEdid() << "";
    QTest::newRow("bad sum") << withBadChecksum(simSampleEdid(5)) << "checksum";
    QTest::newRow("200 bytes") << simSampleEdid(5) + QByteArray(72, '\0') << "";
    QTest::newRow("too long") << QByteArray(300, '\0') << "Illegal EDID file! file size too larger.";
}

void TestSplitter::userEdidUpload()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, refusal);
    Fixture f(Model::Jorvale);
    f.select();
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("user.bin"), file);
    f.lunmora->sendEDID(path);
    const bool valid = edidTransferError(file).isEmpty();
    if (!valid) {
        QVERIFY(f.sim.received().isEmpty());
        QCOMPARE(f.dialogs.shown().size(), 1);
        QCOMPARE(f.dialogs.shown()[0].title, QStringLiteral("File Selection Error"));
        if (!refusal.isEmpty() && refusal != QLatin1String("checksum"))
            QCOMPARE(f.dialogs.shown()[0].text, refusal);
        return;
    }
    QCOMPARE(f.sim.received(), "#SEND_USER_EDID " + file.toHex() + "\r");
    QCOMPARE(f.sim.received().size(), 16 + 2 * file.size() + 1);
    QCOMPARE(f.sim.edid(QStringLiteral("USER")), file);
    QCOMPARE(f.status(), QStringLiteral("Done."));

    // The unit refusing it is reported, not "Done.".
    f.sim.addRule(SimRule::prefix("#SEND_USER_EDID").respond([](const QString& l) {
        return l.toLatin1() + "\r\nWRONG_PARAMETER\r\n>";
    }));
    f.lunmora->sendEDID(path);
    QCOMPARE(f.status(), QStringLiteral("Error occured!"));
}

void TestSplitter::copyAndEdidPage()
{
    Fixture f(Model::Harlisk);
    f.select();
    f.ui.copyFromDropdown->setCurrentIndex(1);
    f.ui.copyButton->click();
    QCOMPARE(f.sim.requests(), QStringList({"#SET_EDID_COPY 2"}));
    QCOMPARE(f.sim.edid(QStringLiteral("USER")), f.sim.edid(QStringLiteral("DS 2")));
    QCOMPARE(f.status(), QStringLiteral("Copy completed."));

    f.sim.setEdid(QStringLiteral("DS 1"), QByteArray());
    f.ui.copyFromDropdown->setCurrentIndex(0);
    f.ui.copyButton->click();
    QVERIFY(f.status().startsWith(QStringLiteral("Copy failed! ")));

    // The EDID page: mode and version; a mode number without a list entry checks nothing.
    f.sim.clearLog();
    f.sim.setEdidMode(7);
    f.sim.setFirmwareVersion(QStringLiteral("1.2.3"));
    f.ui.productCombobox->addItem(MODEL_HARLISK);
    f.lunmora->tabChanged(3);
    QCOMPARE(f.sim.requests(), QStringList({"#GET_EDID_MODE", "#GET_FW"}));
    QCOMPARE(f.checkedIn(f.ui.scalerEDIDFrame), QStringLiteral("Custom - USER"));
    QCOMPARE(f.ui.versionInfo->toPlainText(), QStringLiteral("FW 1.2.3"));
    QCOMPARE(f.ui.updateCurrentFirmware->text(), QStringLiteral("1.2.3"));
    f.sim.setEdidMode(12);
    f.lunmora->refreshEDID();
    QCOMPARE(f.checkedIn(f.ui.scalerEDIDFrame), QStringLiteral("Custom - USER"));
    // The System page asks nothing.
    f.sim.clearLog();
    f.lunmora->tabChanged(2);
    QVERIFY(f.sim.requests().isEmpty());
}

void TestSplitter::firmwareWaitsForTheUnitUnderItsPortName()
{
    QTemporaryDir links;
    const QString stable = links.filePath(QStringLiteral("ttySPLITTER0"));
    Fixture f(Model::Farrund, stable);
    QVERIFY(f.started);
    QCOMPARE(f.sim.portName(), stable);
    f.select();
    f.sim.setFirmwareVersion(QStringLiteral("2.10"));

    // Quick re-enumeration: no replug message.
    f.lunmora->finishFirmwareUpdate(QStringLiteral("/x/farrund_fw_2.10.bin"));
    QVERIFY(!f.dialogs.wasShown(QStringLiteral("pull usb cable")));
    QVERIFY(f.dialogs.wasShown(QStringLiteral("Firmware update finished successfully!")));
    QCOMPARE(f.ui.updateBar->value(), 100);

    // The unit reboots and comes back later, under the same name.
    f.dialogs.clear();
    f.sim.stop();
    QTimer::singleShot(400, [&] { QVERIFY(f.sim.start()); });
    f.lunmora->finishFirmwareUpdate(QStringLiteral("farrund_210.bin"));
    QCOMPARE(f.sim.portName(), stable);
    QCOMPARE(f.dialogs.shown().size(), 2);
    QCOMPARE(f.dialogs.shown()[0].text, QStringLiteral("Update complete. Please pull usb cable and reconnect."));
    QCOMPARE(f.dialogs.shown()[1].text, QStringLiteral("Firmware update finished successfully!"));
    QVERIFY(!f.lunmora->isPageBusy());

    // A unit that never returns.
    f.dialogs.clear();
    f.sim.stop();
    f.lunmora->finishFirmwareUpdate(QStringLiteral("farrund_210.bin"));
    QCOMPARE(f.status(), QStringLiteral("Failed to connect device."));
    QCOMPARE(f.dialogs.shown().size(), 1);
}

void TestSplitter::firmwareVersionCheck_data()
{
    QTest::addColumn<QString>("version"); // empty: "#GET_FW" goes unanswered
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("title");
    QTest::newRow("same version") << "1.2.3" << "farrund_123.bin" << "STATUS";
    QTest::newRow("dotted in the name") << "1.2.3" << "farrund_v1.2.3.bin" << "STATUS";
    QTest::newRow("older file") << "1.2.3" << "farrund_122.bin" << "ERROR";
    QTest::newRow("digits inside a longer run") << "1.2.3" << "farrund_1123.bin" << "ERROR";
    QTest::newRow("no version in the name") << "1.2.3" << "farrund.bin" << "verify";
    QTest::newRow("no answer") << "" << "farrund_123.bin" << "verify";
    QTest::newRow("not a version") << "BOOT" << "farrund_123.bin" << "verify";
}

void TestSplitter::firmwareVersionCheck()
{
    QFETCH(QString, version);
    QFETCH(QString, fileName);
    QFETCH(QString, title);
    Fixture f(Model::Harlisk);
    f.select();
    // What the page showed before the upload must not pass for the new version.
    f.ui.updateCurrentFirmware->setText(QStringLiteral("1.2.3"));
    if (version.isEmpty())
        f.sim.addRule(SimRule::exact("#GET_FW").silence());
    else
        f.sim.setFirmwareVersion(version);
    f.lunmora->finishFirmwareUpdate(fileName);
    QCOMPARE(f.dialogs.shown().size(), 1);
    const ScriptedDialogs::Shown& box = f.dialogs.shown()[0];
    if (title == QLatin1String("verify")) {
        QVERIFY2(box.text.contains(QStringLiteral("could not be verified")), qPrintable(box.text));
        QVERIFY(!box.text.contains(QStringLiteral("successfully")));
    } else {
        QCOMPARE(box.title, title);
    }
}

PLEXA_TEST_MAIN(TestSplitter)
#include "tst_splitter.moc"

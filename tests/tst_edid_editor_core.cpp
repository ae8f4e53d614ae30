// The EDID editor's core on an offscreen main form: the binder between the editor's state and the
// form, the page state of the interface choices, edit mode and the undo history, the description
// view and saving ".bin" files.

#include "audioformatmodel.h"
#include "constants.h"
#include "edidbuilder.h"
#include "ediddecoder.h"
#include "edidencoder.h"
#include "edidformbinder.h"
#include "edidmanagement.h"
#include "localetest.h"
#include "plexatest.h"
#include "resources.h"
#include "scripteddialogs.h"
#include "timingmodel.h"
#include "ui_mainui.h"

#include <QDir>
#include <QMainWindow>
#include <QStyledItemDelegate>
#include <QTextEdit>

#include <memory>

namespace {

QByteArray corpusFile(const QString& name)
{
    QFile f(PlexaTest::edidCorpusDir() + QLatin1Char('/') + name);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

// One main form with its editor, as the viewer builds them.
struct Editor
{
    QMainWindow window;
    Ui_MainUI ui;
    QList<EdidEntry> monitors;
    QTextEdit view;
    std::unique_ptr<EdidManagement> em;

    Editor()
    {
        initPlexaResources();
        ui.setupUi(&window);
        em.reset(new EdidManagement(&ui, &monitors));
        em->setTextEdit(&view);
    }
    ~Editor() { em.reset(); }

    void display(const QByteArray& bytes, const QString& name = QStringLiteral("test"))
    {
        em->setEdidData(bytes);
        em->displayEDID(name);
    }
    // The viewer's new-EDID sequence.
    void startNew()
    {
        em->initNewEDID();
        em->clearEDID();
        em->enableEditButtons(true);
        em->refreshEDID();
        em->resetHistory();
    }
    // Shows a corpus EDID and returns its bytes.
    QByteArray displayCorpus(const QString& name)
    {
        const QByteArray bytes = corpusFile(name);
        display(bytes);
        return bytes;
    }
};

// Compares the members the form shows; `what` names the EDID in a failure.
#define COMPARE_FIELD(field) QVERIFY2(a.field == b.field, qPrintable(what + QStringLiteral(": ") + QStringLiteral(#field)))

void compareShownState(const EdidState& a, const EdidState& b, const QString& what, bool* ok)
{
    *ok = false;
    COMPARE_FIELD(signalType);
    COMPARE_FIELD(digitalInterface);
    COMPARE_FIELD(colorBitDepth);
    COMPARE_FIELD(signalLevel);
    COMPARE_FIELD(videoSetup);
    COMPARE_FIELD(separateSync);
    COMPARE_FIELD(compositeSyncHoriz);
    COMPARE_FIELD(compositeSyncGreen);
    COMPARE_FIELD(serrationVertSync);
    COMPARE_FIELD(edidSize);
    COMPARE_FIELD(displaySize);
    COMPARE_FIELD(standbyMode);
    COMPARE_FIELD(suspendMode);
    COMPARE_FIELD(activeOff);
    COMPARE_FIELD(rgb444);
    COMPARE_FIELD(ycbcr444);
    COMPARE_FIELD(ycbcr422);
    COMPARE_FIELD(colorType);
    COMPARE_FIELD(redX);
    COMPARE_FIELD(redY);
    COMPARE_FIELD(greenX);
    COMPARE_FIELD(greenY);
    COMPARE_FIELD(blueX);
    COMPARE_FIELD(blueY);
    COMPARE_FIELD(whiteX);
    COMPARE_FIELD(whiteY);
    COMPARE_FIELD(monitorName);
    COMPARE_FIELD(underscan);
    COMPARE_FIELD(basicAudio);
    COMPARE_FIELD(audioFormats);
    COMPARE_FIELD(speakerFL);
    COMPARE_FIELD(speakerFR);
    COMPARE_FIELD(speakerLFE);
    COMPARE_FIELD(speakerFC);
    COMPARE_FIELD(speakerRL);
    COMPARE_FIELD(speakerRR);
    COMPARE_FIELD(speakerRC);
    COMPARE_FIELD(speakerFLC);
    COMPARE_FIELD(speakerFRC);
    COMPARE_FIELD(speakerRLC);
    COMPARE_FIELD(speakerRRC);
    COMPARE_FIELD(speakerFLW);
    COMPARE_FIELD(speakerFRW);
    COMPARE_FIELD(speakerFLH);
    COMPARE_FIELD(speakerFRH);
    COMPARE_FIELD(speakerTC);
    COMPARE_FIELD(speakerFCH);
    COMPARE_FIELD(supportsAI);
    COMPARE_FIELD(dc48bit);
    COMPARE_FIELD(dc36bit);
    COMPARE_FIELD(dc30bit);
    COMPARE_FIELD(dcY444);
    COMPARE_FIELD(dviDual);
    COMPARE_FIELD(maxTmdsClock);
    COMPARE_FIELD(graphicsContent);
    COMPARE_FIELD(photoContent);
    COMPARE_FIELD(cinemaContent);
    COMPARE_FIELD(gameContent);
    COMPARE_FIELD(latencyProgressiveVideo);
    COMPARE_FIELD(latencyProgressiveAudio);
    COMPARE_FIELD(latencyInterlacedVideo);
    COMPARE_FIELD(latencyInterlacedAudio);
    COMPARE_FIELD(threeDPresent);
    COMPARE_FIELD(colorimetry);
    COMPARE_FIELD(enableHdr);
    COMPARE_FIELD(hdrSdr);
    COMPARE_FIELD(hdrHdr);
    COMPARE_FIELD(hdrSmpte2084);
    COMPARE_FIELD(contentMaxLuminance);
    COMPARE_FIELD(contentMaxFrameAvgLuminance);
    COMPARE_FIELD(contentMinLuminance);
    COMPARE_FIELD(dtdCount);
    QVERIFY2(a.timings.size() == b.timings.size(), qPrintable(what + QStringLiteral(": timing rows")));
    for (int i = 0; i < a.timings.size(); ++i) {
        const Timing& x = a.timings.at(i);
        const Timing& y = b.timings.at(i);
        QVERIFY2(TimingModel::sameTiming(x, y) && x.type == y.type && x.name == y.name && x.vic == y.vic
                     && x.hdmiVic == y.hdmiVic && x.native == y.native && x.established == y.established
                     && x.standard == y.standard && x.videoBlock == y.videoBlock && x.dtd == y.dtd
                     && x.hdmiBlock == y.hdmiBlock && x.subsampling == y.subsampling,
                 qPrintable(what + QStringLiteral(": timing row %1").arg(i)));
    }
    QVERIFY2(a.vicSlots.size() == b.vicSlots.size(), qPrintable(what + QStringLiteral(": VIC slots")));
    for (int i = 0; i < a.vicSlots.size(); ++i)
        QVERIFY2(a.vicSlots.at(i).vic == b.vicSlots.at(i).vic, qPrintable(what + QStringLiteral(": VIC slot %1").arg(i)));
    if (a.hdmiVsdbPresent)
        COMPARE_FIELD(physicalAddress);
    // Choices a state may leave open are compared where it made them.
    if (a.aspectRatio >= 0)
        COMPARE_FIELD(aspectRatio);
    if (a.hdmiImageSize >= 0)
        COMPARE_FIELD(hdmiImageSize);
    if (a.chromaticityPreset >= 0)
        COMPARE_FIELD(chromaticityPreset);
    if (a.maxTmdsClockAuto)
        COMPARE_FIELD(maxTmdsClockAuto);
    *ok = true;
}

} // namespace

class TestEdidEditorCore : public QObject
{
    Q_OBJECT

private slots:
    void binderRoundTripOnCorpus();
    void binderWritesWithoutSignals();
    void constructionState();
    void interfacePageState_data();
    void interfacePageState();
    void interfaceRulesKeepDecodedDepth();
    void undoHistory_data();
    void undoHistory();
    void nothingRecordedWhileLoading();
    void newEdid();
    void numbersFollowOneRule_data();
    void numbersFollowOneRule();
    void largeEdidLabelledAsItIs();
    void displayAndDescriptionView();
    void unencodableEditIsRefused();
    void saveWritesTheFile_data();
    void saveWritesTheFile();
    void saveRefusals();
    void saveWarnsAboutDroppedBlocks();
};

// Every corpus EDID: decode, apply to a form that held the EDID before, read back from an empty
// state: every value the form shows comes back.
void TestEdidEditorCore::binderRoundTripOnCorpus()
{
    Editor e;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope(dialogs);
    EdidDecodeContext context;
    context.timings = &e.em->timings();
    context.audio = &e.em->audioFormats();
    QVERIFY(!e.em->timings().timings.isEmpty());
    int checked = 0, refused = 0;
    const QStringList files = QDir(PlexaTest::edidCorpusDir()).entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name);
    QVERIFY(files.size() >= 300);
    for (const QString& file : files) {
        const QByteArray bytes = corpusFile(file);
        EdidState decoded;
        QString error;
        decodeEdid(bytes, context, &decoded, &error);
        if (!error.isEmpty())
            continue;
        EdidFormBinder::applyStateToForm(decoded, &e.ui, e.em->getTimingModel(), e.em->getAudioModel());
        EdidState back;
        EdidFormBinder::readStateFromForm(&e.ui, e.em->getTimingModel(), e.em->getAudioModel(), &back);
        bool ok = false;
        compareShownState(decoded, back, file, &ok);
        if (!ok)
            return;
        // Read into a base: what the form does not show stays as the base had it.
        EdidState based = decoded;
        EdidFormBinder::readStateFromForm(&e.ui, e.em->getTimingModel(), e.em->getAudioModel(), &based);
        QCOMPARE(based.manufacturer, decoded.manufacturer);
        QCOMPARE(based.otherDataBlocks, decoded.otherDataBlocks);
        QCOMPARE(based.threeDMask, decoded.threeDMask);
        QCOMPARE(based.hfVsdbTail, decoded.hfVsdbTail);
        if (!edidEncodableError(based).isEmpty())
            ++refused;
        ++checked;
    }
    qInfo("binder round trip on %d corpus EDIDs; the encoder refuses %d of the states read back", checked, refused);
    // Every real EDID the editor shows can be edited and saved.
    QCOMPARE(refused, 0);
    QVERIFY(checked >= 290);
}

// Applying a state is not an edit: no slot runs, and exclusive choices can be emptied.
void TestEdidEditorCore::binderWritesWithoutSignals()
{
    Editor e;
    int clicks = 0, texts = 0;
    QObject::connect(e.ui.standbyMode, &QPushButton::toggled, [&clicks] { ++clicks; });
    QObject::connect(e.ui.monitorName, &QLineEdit::textChanged, [&texts] { ++texts; });
    EdidState s;
    s.signalType = EdidState::SignalType::Digital;
    s.digitalInterface = EdidState::DigitalInterface::DisplayPort;
    s.colorBitDepth = EdidState::ColorBitDepth::Unset;
    s.standbyMode = !e.ui.standbyMode->isChecked();
    s.monitorName = QStringLiteral("Plexa");
    Timing cea;
    cea.type = QStringLiteral("CEA");
    cea.vic = 16;
    cea.hActive = 1920;
    cea.vActive = 1080;
    cea.hAspect = 16;
    cea.vAspect = 9;
    cea.fieldRate = 60;
    s.timings = {cea};
    s.vicSlots = {cea};
    s.threeDMask = 0x0001;
    s.threeDStructureAll = 0x0041;
    e.ui.eightBitsPPC->setChecked(true);
    EdidFormBinder::applyStateToForm(s, &e.ui, e.em->getTimingModel(), e.em->getAudioModel());
    QCOMPARE(clicks, 0);
    QCOMPARE(texts, 0);
    QVERIFY(!e.ui.eightBitsPPC->isChecked()); // emptied although its group is exclusive
    QVERIFY(e.ui.dpRadio->isChecked());
    QCOMPARE(e.ui.monitorName->text(), QStringLiteral("Plexa"));
    QCOMPARE(e.em->getTimingModel()->rowCount(), 1);
    QCOMPARE(e.ui.vic3Ddropdown->count(), 2);
    QCOMPARE(e.ui.vic3Ddropdown->itemText(1), QStringLiteral("16  1920x1080p(16:9)     60Hz    "));
    QCOMPARE(e.ui.firstVIC->text(), e.ui.vic3Ddropdown->itemText(1));
    QVERIFY(e.ui.firstVIC->isChecked());
    QVERIFY(e.ui.framePacking->isChecked() && e.ui.topAndBottom->isChecked() && !e.ui.sideBySideHalf->isChecked());
}

void TestEdidEditorCore::constructionState()
{
    Editor e;
    QVERIFY(e.em->currentEdid().isEmpty());
    QVERIFY(!e.em->isEditing());
    QVERIFY(e.em->undoHistory().isEmpty());
    QVERIFY(e.em->diffModeOn());
    for (QToolButton* b : {e.ui.saveEDID, e.ui.editEDID, e.ui.undoEDID, e.ui.undoEDIDAll, e.ui.saveToDevice})
        QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    QVERIFY(e.ui.firstVIC->isHidden());
    QVERIFY(e.ui.wizardNext->isHidden());
    QVERIFY(e.ui.timingTable->model() == e.em->getTimingModel());
    QVERIFY(e.ui.timingTable->isColumnHidden(TimingModel::DtdColumn));
    QVERIFY(!e.ui.timingTable->isColumnHidden(TimingModel::Ycbcr420Column));
    QVERIFY(e.ui.audioDropdown->count() > 1);
    // The timing catalogue is not read at start-up: its pick list fills when the timings page is
    // first shown.
    QCOMPARE(e.ui.timingDropdown->count(), 1); // the prompt only
    e.em->managementTabChanged(2);
    QVERIFY(e.ui.timingDropdown->count() > 1);
    QCOMPARE(e.em->activeTable(), e.ui.timingTable);
    e.em->managementTabChanged(4);
    QCOMPARE(e.em->activeTable(), e.ui.audioTable);
    e.em->managementTabChanged(3);
    QVERIFY(e.em->activeTable() == nullptr);
}

void TestEdidEditorCore::interfacePageState_data()
{
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<bool>("size256");
    QTest::addColumn<bool>("sizeBoxEnabled");
    QTest::addColumn<bool>("depthFrameEnabled");
    QTest::addColumn<bool>("hdmiPageEnabled");
    QTest::addColumn<bool>("ycbcr444");
    QTest::addColumn<bool>("eightBits");

    QTest::newRow("HDMI") << "digitalRadio hdmiRadio" << true << false << false << true << true << false;
    QTest::newRow("HDMI after DisplayPort") << "digitalRadio dpRadio hdmiRadio" << true << false << false << true << true << false;
    QTest::newRow("DisplayPort") << "digitalRadio dpRadio" << true << false << true << false << false << false;
    QTest::newRow("DVI, no EDID: one block") << "digitalRadio dviRadio" << false << true << false << false << false << true;
    QTest::newRow("DVI after DisplayPort") << "digitalRadio dpRadio dviRadio" << false << true << false << false << false << true;
    QTest::newRow("analog") << "analogRadio" << false << true << false << false << false << false;
}

// The interface buttons, clicked as a user clicks them, through the editor's connections.
void TestEdidEditorCore::interfacePageState()
{
    QFETCH(QString, clicks);
    Editor e;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope(dialogs);
    e.em->enableEditButtons(true);
    for (const QString& name : clicks.split(QLatin1Char(' '))) {
        auto* b = e.window.findChild<QPushButton*>(name);
        QVERIFY(b);
        b->click();
    }
    QTEST(e.ui.edidSize256->isChecked(), "size256");
    QTEST(e.ui.edidSizeBox->isEnabled(), "sizeBoxEnabled");
    QTEST(e.ui.colorBitDepthFrame->isEnabled(), "depthFrameEnabled");
    QTEST(e.ui.hdmi->isEnabled(), "hdmiPageEnabled");
    QTEST(e.ui.HDR->isEnabled(), "hdmiPageEnabled"); // HDMI again after DisplayPort: HDR comes back
    QTEST(e.ui.enableHDR->isEnabled(), "hdmiPageEnabled");
    QTEST(e.ui.ycbcr444Checkbox->isChecked(), "ycbcr444");
    QTEST(e.ui.eightBitsPPC->isChecked(), "eightBits");
    QCOMPARE(e.ui.analogFrame->isEnabled(), e.ui.analogRadio->isChecked());
    QCOMPARE(e.ui.underscan->isEnabled(), e.ui.edidSize256->isChecked());
    // No EDID on display: nothing is recorded.
    QVERIFY(e.em->undoHistory().isEmpty());
}

// A DisplayPort EDID that states 8 bits per colour keeps them through display, edit mode and edits.
void TestEdidEditorCore::interfaceRulesKeepDecodedDepth()
{
    Editor e;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope(dialogs);
    QCOMPARE(e.displayCorpus(QStringLiteral("Digital_AOC_AOC2369_8F537FD52363.bin")).size(), 256);
    QVERIFY(e.ui.dpRadio->isChecked());
    QVERIFY(e.ui.eightBitsPPC->isChecked());
    e.em->editEDID();
    QVERIFY(e.ui.eightBitsPPC->isChecked());
    e.ui.standbyMode->click();
    QVERIFY(e.ui.eightBitsPPC->isChecked());
    QCOMPARE(quint8(e.em->currentEdid().at(20)) & 0x70, 0x20);
    // Choosing DisplayPort again is the user's choice: its rule leaves the depth open.
    e.ui.dpRadio->click();
    QVERIFY(!e.ui.eightBitsPPC->isChecked());
}

void TestEdidEditorCore::undoHistory_data()
{
    // Steps: e = an edit (toggles standbyMode), u = undo, a = undo all. Then the expected history
    // length, whether the undo buttons are enabled and which edit state standbyMode shows.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("historySize");
    QTest::addColumn<bool>("undoEnabled");
    QTest::addColumn<int>("editsInEffect");

    QTest::newRow("no edit") << "" << 1 << false << 0;
    QTest::newRow("three edits") << "eee" << 4 << true << 3;
    QTest::newRow("three edits, one undo") << "eeeu" << 3 << true << 2;
    QTest::newRow("three edits, three undos") << "eeeuuu" << 1 << false << 0;
    QTest::newRow("a fourth undo does nothing") << "eeeuuuu" << 1 << false << 0;
    QTest::newRow("undo all") << "eeea" << 1 << false << 0;
    QTest::newRow("edit after undo") << "eeuee" << 4 << true << 3;
    QTest::newRow("undo all, then edit") << "eeae" << 2 << true << 1;
}

void TestEdidEditorCore::undoHistory()
{
    QFETCH(QString, steps);
    Editor e;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope(dialogs);
    const QByteArray bytes = corpusFile(QStringLiteral("Digital_AOC_AOC2369_8F537FD52363.bin"));
    e.display(bytes, QStringLiteral("AOC"));
    e.em->editEDID();
    QCOMPARE(e.em->undoHistory().size(), 1);
    const QByteArray start = e.em->currentEdid();
    const bool standby0 = e.ui.standbyMode->isChecked();
    QList<QByteArray> states = {start};
    int inEffect = 0;
    for (QChar step : steps) {
        if (step == QLatin1Char('e')) {
            e.ui.standbyMode->click();
            ++inEffect;
            QCOMPARE(e.em->currentEdid(), e.em->undoHistory().last());
        } else if (step == QLatin1Char('u')) {
            if (e.em->undoHistory().size() < 2)
                QTest::ignoreMessage(QtDebugMsg, "Empty history error.");
            inEffect = qMax(0, inEffect - 1);
            e.em->undoEDID();
            QVERIFY(e.em->isEditing());
            QVERIFY(!e.ui.editEDID->isEnabled());
        } else {
            inEffect = 0;
            e.em->undoEDIDAll();
        }
    }
    QTEST(e.em->undoHistory().size(), "historySize");
    QTEST(e.ui.undoEDID->isEnabled(), "undoEnabled");
    QTEST(e.ui.undoEDIDAll->isEnabled(), "undoEnabled");
    QTEST(inEffect, "editsInEffect");
    QCOMPARE(e.ui.standbyMode->isChecked(), bool(standby0 ^ (inEffect % 2)));
    QCOMPARE(e.em->undoHistory().first(), start);
    if (inEffect == 0)
        QCOMPARE(e.em->currentEdid(), start);
}

void TestEdidEditorCore::nothingRecordedWhileLoading()
{
    Editor e;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope(dialogs);
    e.display(corpusFile(QStringLiteral("Digital_AOC_AOC2369_8F537FD52363.bin")));
    QVERIFY(e.em->undoHistory().isEmpty());
    e.em->editEDID();
    // Showing another EDID, or the editor filling its own fields, records nothing.
    e.display(corpusFile(QStringLiteral("Analog_AOC_AOC2400_06FDBF5D212E.bin")));
    QCOMPARE(e.em->undoHistory().size(), 1);
    e.em->editEDID();
    // Picking a chromaticity set fills eight fields and is one edit.
    QVERIFY(e.ui.chromaticityDropdown->count() > 2);
    e.em->chromaticitySelected(2);
    QCOMPARE(e.em->undoHistory().size(), 2);
    e.ui.monitorName->setText(QStringLiteral("loud"));
    QCOMPARE(e.em->undoHistory().size(), 3);
    QVERIFY(e.em->currentEdid().contains("loud"));
}

// The viewer's new-EDID sequence: an HDMI EDID of the program's own maker, in edit mode.
void TestEdidEditorCore::newEdid()
{
    Editor e;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope(dialogs);
    e.startNew();
    QVERIFY(!e.em->isLoading());
    QVERIFY(e.em->isEditing());
    QCOMPARE(e.em->currentEdid().size(), 256);
    QVERIFY(edidInputError(e.em->currentEdid()).isEmpty());
    QCOMPARE(e.em->decodedState().manufacturer, QStringLiteral("VLM"));
    QVERIFY(e.ui.hdmiRadio->isChecked());
    QVERIFY(e.em->description().contains(QStringLiteral("manufacturer:     VLM")));
    QCOMPARE(e.view.toPlainText(), e.em->description());
    QCOMPARE(e.em->undoHistory().size(), 1);
    e.ui.standbyMode->click();
    QCOMPARE(e.em->undoHistory().size(), 2);
    QVERIFY(quint8(e.em->currentEdid().at(24)) & 0x80);
    QCOMPARE(e.em->decodedState().manufacturer, QStringLiteral("VLM"));
    QVERIFY(dialogs.shown().isEmpty());
}

// Whatever the user's locale, a number is typed, shown and encoded with a point: a comma typed in
// its place becomes a point, group separators are refused, the tables show what the fields take.
void TestEdidEditorCore::numbersFollowOneRule_data()
{
    addLocaleRows();
}

void TestEdidEditorCore::numbersFollowOneRule()
{
    QFETCH(QString, locale);
    const DefaultLocaleScope localeScope(locale);

    Editor e;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope(dialogs);
    e.startNew();

    const struct
    {
        QLineEdit* field;
        const char* typed;
        const char* shown;
    } typing[] = {{e.ui.redX, "0.6400", "0.6400"},
                  {e.ui.redY, "0,3300", "0.3300"},
                  {e.ui.displaySize, "27.00", "27.00"},
                  {e.ui.latencyProgressiveVideo, "1.00", "100"}};
    for (const auto& t : typing) {
        QVERIFY2(t.field->isEnabled(), qPrintable(t.field->objectName()));
        t.field->clear();
        QTest::keyClicks(t.field, QLatin1String(t.typed));
        QCOMPARE(t.field->text(), QLatin1String(t.shown));
    }
    QVERIFY(dialogs.shown().isEmpty());

    EdidState written;
    QString error;
    decodeEdid(e.em->currentEdid(), EdidDecodeContext(), &written, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(written.redX, QStringLiteral("0.640"));
    QCOMPARE(written.redY, QStringLiteral("0.330"));
    QVERIFY2(qAbs(written.displaySize.toDouble() - 27.0) < 0.5, qPrintable(written.displaySize));
    QCOMPARE(written.latencyProgressiveVideo, QStringLiteral("100"));

    // The timing table shows its numbers as the fields take them.
    Timing t;
    t.type = TIMING_TYPE_CUSTOM;
    t.hActive = 1920;
    t.vActive = 1080;
    t.hBlank = 280;
    t.vBlank = 45;
    t.pixelFreq = 148.5;
    t.updateTotalsAndRates();
    EdidFormBinder::applyStateToForm([&] {
        EdidState s = e.em->formState();
        s.timings = {t};
        return s;
    }(), &e.ui, e.em->getTimingModel(), e.em->getAudioModel());
    const TimingModel* model = e.em->getTimingModel();
    auto* delegate = qobject_cast<QStyledItemDelegate*>(e.ui.timingTable->itemDelegate());
    QVERIFY(delegate);
    const auto shown = [&](int column) {
        return delegate->displayText(model->data(model->index(0, column)), e.ui.timingTable->locale());
    };
    QCOMPARE(shown(TimingModel::PixelClockColumn), QStringLiteral("148.5"));
    QCOMPARE(shown(TimingModel::HTotalColumn), QStringLiteral("2200"));
}

// A four-block EDID 1.3 (block map, then CTA-861, then DisplayID) is not a one-block DVI EDID:
// the editor shows two blocks (the ones it keeps) and does not claim an interface the EDID does
// not name in the blocks it decodes.
void TestEdidEditorCore::largeEdidLabelledAsItIs()
{
    Editor e;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope(dialogs);
    QCOMPARE(e.displayCorpus(QStringLiteral("Digital_Goldstar_GSM7799_3327701AF5D8.bin")).size(), 512);
    QVERIFY(e.ui.digitalRadio->isChecked());
    QVERIFY(e.ui.edidSize256->isChecked());
    QVERIFY(!e.ui.edidSize128->isChecked());
    QVERIFY(!e.ui.dviRadio->isChecked());
}

void TestEdidEditorCore::displayAndDescriptionView()
{
    Editor e;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope(dialogs);
    // Nothing on display: a refresh does nothing.
    e.em->refreshEditView();
    QVERIFY(e.view.toPlainText().isEmpty());

    const QByteArray bytes = corpusFile(QStringLiteral("Digital_AOC_AOC2369_8F537FD52363.bin"));
    e.display(bytes, QStringLiteral("/tmp/AOC.bin"));
    QCOMPARE(e.em->shownName(), QStringLiteral("/tmp/AOC.bin"));
    QVERIFY(e.em->isLoading());
    QVERIFY(!e.em->isEditing());
    QVERIFY(e.ui.editEDID->isEnabled());
    QVERIFY(!e.ui.saveEDID->isEnabled());
    QVERIFY(!e.ui.edidType->isEnabled());
    QCOMPARE(e.view.toPlainText(), e.em->description());
    QVERIFY(e.em->description().contains(QStringLiteral("DisplayPort interface")));
    QVERIFY(e.em->getTimingModel()->rowCount() > 0);
    QCOMPARE(e.em->decodedState().manufacturer, QStringLiteral("AOC"));

    // Entering edit mode re-encodes and compares; the name of a file is its base name.
    e.ui.loadedEDID->setText(QStringLiteral("Viewing File"));
    e.em->editEDID();
    QVERIFY(dialogs.wasShown(QStringLiteral("Now editing new EDID file based on currently selected EDID (File: AOC)")));
    QCOMPARE(e.ui.loadedEDID->text(), QStringLiteral("Editing File: AOC"));
    QVERIFY(!e.em->isLoading());
    QVERIFY(e.em->isEditing());
    QVERIFY(e.ui.saveEDID->isEnabled());
    QVERIFY(e.ui.edidType->isEnabled());
    QCOMPARE(e.em->currentEdid().size(), 256);

    // An edit that changes nothing in the description shows all of it unchanged.
    const QString before = e.em->description();
    e.em->refreshEditView();
    QCOMPARE(e.em->description(), before);
    QCOMPARE(e.em->descriptionDiffs().size(), 1);
    QCOMPARE(e.em->descriptionDiffs().first().operation, Diff::EQUAL);
    QCOMPARE(e.view.toPlainText(), before);

    // A real edit shows what changed.
    e.ui.monitorName->setText(QStringLiteral("Plexa Test"));
    QVERIFY(e.em->description().contains(QStringLiteral("Monitor name: Plexa Test")));
    bool inserted = false;
    for (const Diff& d : e.em->descriptionDiffs())
        inserted |= d.operation == Diff::INSERT && d.text.contains(QStringLiteral("Plexa Test"));
    QVERIFY(inserted);

    // Plain mode shows the plain description.
    e.em->setDiffMode(false);
    QCOMPARE(e.view.toPlainText(), e.em->description());
    e.ui.monitorName->setText(QStringLiteral("Plexa"));
    QCOMPARE(e.view.toPlainText(), e.em->description());
}

// An edit the EDID cannot hold is refused with the encoder's reason, and the form goes back.
void TestEdidEditorCore::unencodableEditIsRefused()
{
    Editor e;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope(dialogs);
    e.display(corpusFile(QStringLiteral("Digital_AOC_AOC2369_8F537FD52363.bin")));
    e.em->editEDID();
    const QByteArray before = e.em->currentEdid();
    const int rows = e.em->getAudioModel()->rowCount();
    const int historySize = e.em->undoHistory().size();
    // Far more audio formats than an extension holds.
    for (int i = 0; i < 60; ++i) {
        AudioFormat f;
        f.type = 1;
        f.channels = 1 + i % 8;
        f.samplingFreqs = {48.0 + i};
        f.bitDepths = {16};
        e.em->getAudioModel()->insertFormat(e.em->getAudioModel()->rowCount(), f);
    }
    dialogs.clear();
    e.em->edidFileEdited();
    QVERIFY(e.em->lastEditRefused());
    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(dialogs.shown().first().title, QStringLiteral("Editing EDID"));
    QVERIFY(!dialogs.shown().first().text.isEmpty());
    QCOMPARE(e.em->getAudioModel()->rowCount(), rows);
    QCOMPARE(e.em->currentEdid(), before);
    QCOMPARE(e.em->undoHistory().size(), historySize);
    // The next edit is taken as usual.
    e.ui.standbyMode->click();
    QVERIFY(!e.em->lastEditRefused());
    QCOMPARE(e.em->undoHistory().size(), historySize + 1);
}

void TestEdidEditorCore::saveWritesTheFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("size");
    QTest::newRow("128 bytes") << "Analog_AOC_AOC2400_06FDBF5D212E.bin" << 128;
    QTest::newRow("256 bytes") << "Digital_AOC_AOC2369_8F537FD52363.bin" << 256;
}

void TestEdidEditorCore::saveWritesTheFile()
{
    QFETCH(QString, file);
    QFETCH(int, size);
    Editor e;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope(dialogs);
    const QByteArray bytes = corpusFile(file);
    QCOMPARE(bytes.size(), size);
    e.display(bytes);
    e.em->editEDID();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.bin"));
    // A longer file is replaced whole: no bytes of it stay behind.
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(512, char(0x55)));
    }
    dialogs.answerPath(path);
    e.em->saveEDID();
    QCOMPARE(e.em->lastSavedFileName(), path);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray written = f.readAll();
    QCOMPARE(written.size(), size);
    QCOMPARE(written, e.em->currentEdid());
    QVERIFY(edidInputError(written).isEmpty());
    for (int block = 0; block < size / 128; ++block) {
        int sum = 0;
        for (int i = 0; i < 128; ++i)
            sum += quint8(written.at(block * 128 + i));
        QCOMPARE(sum % 256, 0);
    }
}

void TestEdidEditorCore::saveRefusals()
{
    Editor e;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope(dialogs);
    e.display(corpusFile(QStringLiteral("Digital_AOC_AOC2369_8F537FD52363.bin")));
    e.em->editEDID();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.bin"));

    // Cancelled: nothing written.
    dialogs.clear();
    dialogs.answerCancel();
    e.em->saveEDID();
    QVERIFY(!QFile::exists(path));

    // HDR without an EOTF: refused before any dialog.
    e.ui.hdmiRadio->click();
    QVERIFY(e.ui.enableHDR->isEnabled());
    e.ui.enableHDR->click();
    QVERIFY(e.ui.enableHDR->isChecked());
    for (QPushButton* b : {e.ui.hdroption1, e.ui.hdroption2, e.ui.hdroption3})
        QVERIFY(!b->isChecked());
    dialogs.clear();
    dialogs.answerPath(path);
    e.em->saveEDID();
    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(dialogs.shown().first().text, QStringLiteral("Please select at least one of the HDR Supported EOTF."));
    QVERIFY(!QFile::exists(path));

    // A failed write is reported.
    e.ui.hdroption1->click();
    dialogs.clear();
    const QString nowhere = dir.filePath(QStringLiteral("missing/folder/out.bin"));
    dialogs.answerPath(nowhere);
    e.em->saveEDID();
    QVERIFY(!QFile::exists(nowhere));
    QCOMPARE(dialogs.shown().size(), 2);
    QCOMPARE(dialogs.shown().at(1).kind, DialogBackend::Kind::Critical);
    QVERIFY(dialogs.shown().at(1).text.contains(nowhere));
}

// An EDID with blocks past the first extension: the editor keeps two blocks and says so on save.
void TestEdidEditorCore::saveWarnsAboutDroppedBlocks()
{
    Editor e;
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope(dialogs);
    const QByteArray bytes = corpusFile(QStringLiteral("Digital_AOC_AOC3402_3519F0F4D468.bin"));
    QCOMPARE(bytes.size(), 384);
    e.display(bytes);
    e.em->editEDID();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.bin"));
    dialogs.clear();
    dialogs.answerButton(QMessageBox::No);
    e.em->saveEDID();
    QVERIFY(dialogs.wasShown(QStringLiteral("1 more extension block")));
    QVERIFY(!QFile::exists(path));
    dialogs.clear();
    dialogs.answerButton(QMessageBox::Yes);
    dialogs.answerPath(path);
    e.em->saveEDID();
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.size(), 256);
}

PLEXA_TEST_MAIN(TestEdidEditorCore)
#include "tst_edid_editor_core.moc"

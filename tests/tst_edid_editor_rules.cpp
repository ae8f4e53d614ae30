// The EDID editor's rules: TMDS clock and range limits, the 4:2:0 threshold, the audio limit and
// duplicates, speaker pairs, VIC slots and their 3D structures. First on plain values, then
// through the editor's widgets on the real form, with edid-decode reading what the editor wrote.
#include "plexatest.h"
#include "scripteddialogs.h"

#include "audioformatmodel.h"
#include "edidcatalogues.h"
#include "edidencoder.h"
#include "edidmanagement.h"
#include "edidrules.h"
#include "resources.h"
#include "timingmodel.h"
#include "customtimingdialog.h"
#include "ui_customtimingdialog.h"
#include "ui_mainui.h"

#include <QComboBox>
#include <QDomDocument>
#include <QMainWindow>
#include <QProcess>
#include <QRegularExpression>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>

namespace {

Timing timingOf(double pixelFreq, int subsampling, int fieldRate = 60, double hFreq = 67.5, int vic = 0)
{
    Timing t;
    t.type = QStringLiteral("CEA");
    t.vic = vic;
    t.hActive = 1920;
    t.vActive = 1080;
    t.pixelFreq = pixelFreq;
    t.subsampling = subsampling;
    t.fieldRate = fieldRate;
    t.hFreq = hFreq;
    return t;
}

AudioFormat lpcm(int channels, const QString& name = QString())
{
    AudioFormat f;
    f.type = 1;
    f.name = name.isEmpty() ? QStringLiteral("LPCM %1ch").arg(channels) : name;
    f.channels = channels;
    f.samplingFreqs = {32, 44.1, 48};
    f.bitDepths = {16, 24};
    return f;
}

// edid-decode's text for an EDID (empty when it is not installed).
QString edidDecode(const QByteArray& edid)
{
    QProcess p;
    p.start(QStringLiteral("edid-decode"), {QStringLiteral("-")});
    if (!p.waitForStarted(5000))
        return QString();
    p.write(edid);
    p.closeWriteChannel();
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

Q_DECLARE_METATYPE(QList<Timing>)

class TestEdidEditorRules : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // Plain values.
    void rangeLimitsAndTmdsClock_data();
    void rangeLimitsAndTmdsClock();
    void tmds420Threshold();
    void deepColourChoicesPreselectTheLargestFit();
    void audioLimitAndDuplicates();
    void speakerPairs_data();
    void speakerPairs();
    void vicSlotRemovalMoves3DStructures();
    void vicMaskToggle_data();
    void vicMaskToggle();

    // Through the widgets.
    void init();
    void cleanup();
    void timingsAddMoveRemove();
    void timingShiftsTo420BelowThreshold();
    void editingATimingReplacesItsRow();
    void removingAVicKeepsEach3DStructureWithItsVic();
    void threeDEntriesBeyondTheBlockAreRefused();
    void audioAddWithinTheLimit();
    void speakersGoInPairs();
    void chromaticitySelectStoreRemove();
    void deepColourDropdownAndManualClock();

private:
    // A new EDID in edit mode, on the given page of the editor.
    void startEditing(int tab);
    int dropdownItem(QComboBox* box, const QString& prefix);
    void addCatalogueVic(int vic);
    int tableRowOfVic(int vic);
    QStringList vicLabels();

    QMainWindow window;
    Ui_MainUI ui;
    EdidManagement* editor = nullptr;
    ScriptedDialogs dialogs;
};

void TestEdidEditorRules::initTestCase()
{
    initPlexaResources();
    qRegisterMetaType<QList<Timing>>();
    ui.setupUi(&window);
}

// ---- plain values ------------------------------------------------------------------------------------

void TestEdidEditorRules::rangeLimitsAndTmdsClock_data()
{
    QTest::addColumn<QList<Timing>>("rows");
    QTest::addColumn<int>("deepColour"); // 0, 30, 36 or 48 bits per pixel
    QTest::addColumn<int>("minVRate");
    QTest::addColumn<int>("maxVRate");
    QTest::addColumn<double>("maxPixelClock");
    QTest::addColumn<int>("maxTmds");

    QTest::newRow("empty table") << QList<Timing>() << 0 << 255 << 0 << 0.0 << 0;
    QTest::newRow("1080p60 148.5") << QList<Timing>{timingOf(148.5, 0)} << 0 << 60 << 60 << 150.0 << 150;
    QTest::newRow("4:2:0-only 594 counts half, TMDS 300")
        << QList<Timing>{timingOf(594, 1), timingOf(148.5, 0, 24)} << 0 << 24 << 60 << 300.0 << 300;
    QTest::newRow("both formats at 594: 595 becomes 600")
        << QList<Timing>{timingOf(594, 2, 50)} << 0 << 50 << 50 << 600.0 << 600;
    QTest::newRow("12-bit colour scales the pixel clock") << QList<Timing>{timingOf(148.5, 0)} << 36 << 60 << 60
                                                         << 225.0 << 150;
    QTest::newRow("16-bit wins over the others") << QList<Timing>{timingOf(148.5, 0)} << 48 << 60 << 60 << 300.0
                                                 << 150;
    QTest::newRow("10-bit") << QList<Timing>{timingOf(74.25, 0, 30)} << 30 << 30 << 30 << 95.0 << 75;
}

void TestEdidEditorRules::rangeLimitsAndTmdsClock()
{
    QFETCH(QList<Timing>, rows);
    QFETCH(int, deepColour);
    EdidRules::DeepColour dc;
    dc.bits30 = deepColour == 30;
    dc.bits36 = deepColour == 36;
    dc.bits48 = deepColour == 48;
    if (deepColour == 48)
        dc.bits36 = dc.bits30 = true; // the deepest one counts
    const EdidRules::RangeLimits r = EdidRules::rangeLimits(rows, dc);
    QTEST(r.minVRate, "minVRate");
    QTEST(r.maxVRate, "maxVRate");
    QTEST(r.maxPixelClock, "maxPixelClock");
    if (rows.isEmpty()) {
        QCOMPARE(r.minHRate, 255.0);
        QCOMPARE(r.maxHRate, 0.0);
    }
    QTEST(EdidRules::maxTmdsClock(rows), "maxTmds");
}

void TestEdidEditorRules::tmds420Threshold()
{
    // The field's text: a number, else 0.
    QCOMPARE(EdidRules::tmdsClockFieldValue(QStringLiteral("600")), 600);
    QCOMPARE(EdidRules::tmdsClockFieldValue(QString()), 0);
    QCOMPARE(EdidRules::tmdsClockFieldValue(QStringLiteral("abc")), 0);

    Timing vic97 = timingOf(594, 0, 60, 135, 97);
    QVERIFY(EdidRules::shiftsTo420(vic97, 340));
    QVERIFY(EdidRules::shiftsTo420(vic97, 589));
    QVERIFY(!EdidRules::shiftsTo420(vic97, 590));
    QVERIFY(!EdidRules::shiftsTo420(timingOf(148.5, 0, 60, 67.5, 16), 340));
    for (int vic : {96, 97, 101, 102, 106, 107})
        QVERIFY(EdidRules::isTmds420Vic(vic));
    QVERIFY(!EdidRules::isTmds420Vic(95));

    const QList<Timing> table = {timingOf(594, 2), timingOf(148.5, 0), timingOf(297, 2), timingOf(594, 1)};
    QList<Timing> rows = table;
    QCOMPARE(EdidRules::downgradeTo420(&rows, 589), (QList<int>{0, 2}));
    QCOMPARE(rows.at(0).subsampling, 1);
    QCOMPARE(rows.at(1).subsampling, 0);
    QCOMPARE(rows.at(2).subsampling, 1);
    rows = table;
    QVERIFY(EdidRules::downgradeTo420(&rows, 590).isEmpty());
    QCOMPARE(rows.at(0).subsampling, 2);
}

void TestEdidEditorRules::deepColourChoicesPreselectTheLargestFit()
{
    Timing uhd = timingOf(594, 2, 60);
    uhd.hActive = 3840;
    uhd.vActive = 2160;
    Timing interlaced = timingOf(74.25, 0, 60);
    interlaced.ip = true;
    interlaced.vActive = 540;
    const QList<Timing> rows = {interlaced, timingOf(148.5, 0), uhd, timingOf(297, 1)};
    const EdidRules::DeepColourChoices c = EdidRules::deepColourChoices(rows, 1.5, 225);
    QCOMPARE(c.entries,
             (QStringList{QStringLiteral("891 MHz / 3840x2160p 60Hz"), QStringLiteral("222.75 MHz / 1920x1080p 60Hz"),
                          QStringLiteral("111.375 MHz / 1920x1080i 60Hz")}));
    QCOMPARE(c.preselected, 2);
    QCOMPARE(EdidRules::deepColourChoices(rows, 1.5, 100).preselected, 0);
}

void TestEdidEditorRules::audioLimitAndDuplicates()
{
    using EdidRules::AudioAddCheck;
    QList<AudioFormat> rows;
    for (int i = 0; i < 9; ++i)
        rows << lpcm(i + 1);
    QCOMPARE(EdidRules::checkAudioAdd(rows, lpcm(2)), AudioAddCheck::Duplicate);
    // Only an equal row is a duplicate: the name counts.
    QCOMPARE(EdidRules::checkAudioAdd(rows, lpcm(2, QStringLiteral("Other name"))), AudioAddCheck::Ok);
    QCOMPARE(EdidRules::checkAudioAdd(rows, lpcm(10)), AudioAddCheck::Ok);
    rows << lpcm(10);
    QCOMPARE(rows.size(), EdidRules::MaxAudioFormats);
    QCOMPARE(EdidRules::checkAudioAdd(rows, lpcm(11)), AudioAddCheck::LimitReached);
    // Replacing a row of a full table does not grow it.
    QCOMPARE(EdidRules::checkAudioAdd(rows, lpcm(11), true), AudioAddCheck::Ok);
}

void TestEdidEditorRules::speakerPairs_data()
{
    QTest::addColumn<QString>("speaker");
    QTest::addColumn<QString>("partner");
    const char* const table[][2] = {
        {"speakerFL", "speakerFR"},   {"speakerFR", "speakerFL"},   {"speakerFLH", "speakerFRH"},
        {"speakerFRW", "speakerFLW"}, {"speakerFLC", "speakerFRC"}, {"speakerRR", "speakerRL"},
        {"speakerRLC", "speakerRRC"}, {"speakerFC", ""},            {"speakerRC", ""},
        {"speakerLFE", ""},           {"speakerTC", ""},            {"speakerFCH", ""},
        {"speakerXY", ""},
    };
    for (const auto& row : table)
        QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]);
}

void TestEdidEditorRules::speakerPairs()
{
    QFETCH(QString, speaker);
    QTEST(EdidRules::speakerPartner(speaker), "partner");
}

void TestEdidEditorRules::vicSlotRemovalMoves3DStructures()
{
    EdidState s;
    for (int vic : {16, 4, 31, 32, 19})
        s.vicSlots << timingOf(148.5, 0, 60, 67.5, vic);
    s.vicThreeDStructures = {0x001, 0x040, 0x100, 0x041, 0x008};
    s.vicThreeDDetails = {0, 0, 1, 0, 0};
    s.threeDMask = 0b10110; // slots 1, 2 and 4

    EdidRules::removeVicSlot(&s, 2); // VIC 31
    QCOMPARE(s.vicSlots.size(), 4);
    QCOMPARE(s.vicSlots.at(2).vic, 32);
    QCOMPARE(s.vicThreeDStructures[0], 0x001);
    QCOMPARE(s.vicThreeDStructures[1], 0x040);
    QCOMPARE(s.vicThreeDStructures[2], 0x041); // VIC 32 keeps its structures
    QCOMPARE(s.vicThreeDStructures[3], 0x008);
    QCOMPARE(s.vicThreeDStructures[4], 0);
    QCOMPARE(s.vicThreeDDetails[2], 0);
    QCOMPARE(s.threeDMask, 0b1010); // slot 1 stays, VIC 19 moves from 4 to 3

    // The last of 16 slots, and a mask that stands for every VIC.
    EdidState full;
    full.vicThreeDStructures.fill(0x001);
    full.threeDMask = -1;
    EdidRules::removeVicSlot(&full, 15);
    QCOMPARE(full.vicThreeDStructures[15], 0);
    QCOMPARE(full.vicThreeDStructures[14], 0x001);
    QCOMPARE(full.threeDMask, -1);
    int mask = 0xFFFF;
    EdidRules::removeVicSlot3D(0, &mask, nullptr, nullptr);
    QCOMPARE(mask, 0x7FFF);
    EdidRules::removeVicSlot3D(16, &mask, nullptr, nullptr); // no such slot
    QCOMPARE(mask, 0x7FFF);

    QCOMPARE(EdidRules::findVicSlot({QStringLiteral("16  1920x1080p"), QStringLiteral("4   1280x720p"), QString()}, 4), 1);
    QCOMPARE(EdidRules::findVicSlot({QStringLiteral("16  1920x1080p"), QString()}, 0), 1);
    QCOMPARE(EdidRules::findVicSlot({QStringLiteral("16  1920x1080p")}, 5), -1);
}

void TestEdidEditorRules::vicMaskToggle_data()
{
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("all");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("expected");
    QTest::newRow("set a bit") << 0b101 << 0x001 << 1 << 0b111;
    QTest::newRow("clear a bit") << 0b101 << 0x001 << 0 << 0b100;
    QTest::newRow("-1 without an all-VIC structure is none") << -1 << -1 << 3 << 0b1000;
    QTest::newRow("-1 with an all-VIC structure is every VIC") << -1 << 0x041 << 3 << 0xFFF7;
    QTest::newRow("slot 15") << 0 << 0 << 15 << 0x8000;
}

void TestEdidEditorRules::vicMaskToggle()
{
    QFETCH(int, mask);
    QFETCH(int, all);
    QFETCH(int, slot);
    QTEST(EdidRules::toggleVicMask(mask, all, slot), "expected");
}

// ---- through the widgets -----------------------------------------------------------------------------

void TestEdidEditorRules::init()
{
    dialogs.clear();
    Dialogs::setBackend(&dialogs);
    editor = new EdidManagement(&ui, nullptr);
}

void TestEdidEditorRules::cleanup()
{
    delete editor;
    editor = nullptr;
    Dialogs::setBackend(nullptr);
}

void TestEdidEditorRules::startEditing(int tab)
{
    // A real HDMI monitor's EDID (a video data block and an HDMI block), its timing table emptied.
    const QString path = PlexaTest::edidCorpusDir() + QStringLiteral("/Digital_Samsung_SAM0C12_BF824DAD6E56.bin");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    editor->setEdidData(file.readAll());
    QCOMPARE(editor->currentEdid().size(), 256);
    editor->displayEDID(path);
    editor->editEDID();
    QVERIFY(editor->isEditing());
    QVERIFY(ui.hdmiRadio->isChecked());
    ui.managementTabs->setCurrentIndex(2);
    editor->clearTimingTable();
    QCOMPARE(editor->getTimingModel()->rowCount(), 0);
    QCOMPARE(ui.vic3Ddropdown->count(), 1);
    ui.managementTabs->setCurrentIndex(tab);
    QCOMPARE(editor->activeTable(), tab == 2 ? ui.timingTable : tab == 4 ? ui.audioTable : nullptr);
    dialogs.clear();
}

int TestEdidEditorRules::dropdownItem(QComboBox* box, const QString& prefix)
{
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemText(i).startsWith(prefix))
            return i;
    }
    return -1;
}

// Picks a CEA timing from the pick list, as the user does.
void TestEdidEditorRules::addCatalogueVic(int vic)
{
    const int i = dropdownItem(ui.timingDropdown, QStringLiteral("CEA VIC %1 ").arg(vic));
    QVERIFY2(i > 0, qPrintable(QStringLiteral("VIC %1 in the pick list").arg(vic)));
    ui.timingDropdown->setCurrentIndex(i);
    emit ui.timingDropdown->textActivated(ui.timingDropdown->itemText(i));
}

int TestEdidEditorRules::tableRowOfVic(int vic)
{
    for (int row = 0; row < editor->getTimingModel()->rowCount(); ++row) {
        if (editor->getTimingModel()->getTiming(row).vic == vic)
            return row;
    }
    return -1;
}

QStringList TestEdidEditorRules::vicLabels()
{
    QStringList labels;
    for (QPushButton* b : editor->vicSlotButtons()) {
        if (!b->text().isEmpty())
            labels << b->text().split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0);
    }
    return labels;
}

void TestEdidEditorRules::timingsAddMoveRemove()
{
    startEditing(2);
    const int rowsBefore = editor->getTimingModel()->rowCount();
    const int historyBefore = editor->undoHistory().size();

    // Item 0 is the prompt.
    ui.timingDropdown->setCurrentIndex(0);
    emit ui.timingDropdown->textActivated(ui.timingDropdown->itemText(0));
    QCOMPARE(editor->getTimingModel()->rowCount(), rowsBefore);

    addCatalogueVic(16);
    addCatalogueVic(4);
    QCOMPARE(editor->getTimingModel()->rowCount(), rowsBefore + 2);
    QCOMPARE(editor->undoHistory().size(), historyBefore + 2);
    QCOMPARE(vicLabels(), (QStringList{QStringLiteral("16"), QStringLiteral("4")}));
    QCOMPARE(ui.vic3Ddropdown->count(), 3);
    QVERIFY(ui.vic3Ddropdown->itemText(1).startsWith(QLatin1String("16  1920x1080p(16:9)")));
    QVERIFY(!dialogs.wasShown(QStringLiteral("will not appear")));

    // The same timing again is refused and changes nothing.
    addCatalogueVic(16);
    QVERIFY(dialogs.wasShown(QStringLiteral("Duplicate timings are not allowed.")));
    QCOMPARE(editor->getTimingModel()->rowCount(), rowsBefore + 2);
    QCOMPARE(editor->undoHistory().size(), historyBefore + 2);

    // Move the last row up: it lands above, stays selected, and the move is an undo step.
    const int last = editor->getTimingModel()->rowCount() - 1;
    ui.timingTable->selectRow(last);
    editor->moveUp();
    QCOMPARE(editor->getTimingModel()->getTiming(last - 1).vic, 4);
    QCOMPARE(ui.timingTable->currentIndex().row(), last - 1);
    QCOMPARE(ui.moveTimingDown->isEnabled(), true);
    QCOMPARE(ui.moveTimingUp->isEnabled(), last - 1 > 0);
    QCOMPARE(editor->undoHistory().size(), historyBefore + 3);
    // The row is written to the EDID: edid-decode finds both VICs.
    const QString text = edidDecode(editor->currentEdid());
    if (!text.isEmpty()) {
        QVERIFY2(text.contains(QLatin1String("VIC  16:")), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("VIC   4:")), qPrintable(text));
    }

    // Removing VIC 16 frees its slot; VIC 4 moves to slot 0.
    ui.timingTable->selectRow(tableRowOfVic(16));
    editor->removeTiming();
    QCOMPARE(tableRowOfVic(16), -1);
    QCOMPARE(vicLabels(), QStringList{QStringLiteral("4")});
    QCOMPARE(ui.vic3Ddropdown->count(), 2);
    QVERIFY(editor->vicSlotButtons()[1]->isHidden());
    QVERIFY(editor->vicSlotButtons()[1]->text().isEmpty());

    // Removing the last CEA timing leaves no VIC and switches the 3D frame off.
    ui.threeDFrame->setEnabled(true);
    ui.timingTable->selectRow(tableRowOfVic(4));
    editor->removeTiming();
    QVERIFY(vicLabels().isEmpty());
    QCOMPARE(ui.vic3Ddropdown->count(), 1);
    QVERIFY(!ui.threeDFrame->isEnabled());
}

void TestEdidEditorRules::timingShiftsTo420BelowThreshold()
{
    startEditing(2);
    ui.maxTMDSClockManual->click();
    ui.maxTMDSClock->setText(QStringLiteral("340"));
    addCatalogueVic(97);
    const int row = tableRowOfVic(97);
    QVERIFY(row >= 0);
    QCOMPARE(editor->getTimingModel()->getTiming(row).subsampling, 1);
    QVERIFY(!dialogs.wasShown(QStringLiteral("will not appear")));
    QCOMPARE(ui.maxTMDSClock->text(), QStringLiteral("340")); // manual: as typed

    ui.maxTMDSClock->setText(QStringLiteral("600"));
    addCatalogueVic(102);
    QCOMPARE(editor->getTimingModel()->getTiming(tableRowOfVic(102)).subsampling, 0);

    // Entering edit mode again below the threshold turns "both" rows into 4:2:0-only ones.
    editor->getTimingModel()->setSubsampling(tableRowOfVic(102), 2);
    ui.maxTMDSClock->setText(QStringLiteral("340"));
    QCOMPARE(editor->getTimingModel()->getTiming(tableRowOfVic(102)).subsampling, 2);
    editor->displayEDID(QStringLiteral("Edited"));
    QCOMPARE(editor->getTimingModel()->getTiming(tableRowOfVic(102)).subsampling, 2);
    editor->editEDID();
    QCOMPARE(editor->getTimingModel()->getTiming(tableRowOfVic(102)).subsampling, 1);
}

void TestEdidEditorRules::editingATimingReplacesItsRow()
{
    startEditing(2);
    addCatalogueVic(16);
    addCatalogueVic(4);
    const int row = tableRowOfVic(16);
    const int rows = editor->getTimingModel()->rowCount();
    const int historyBefore = editor->undoHistory().size();

    // Only the name changes: the edited timing is no duplicate of the row it replaces.
    CustomTimingDialog* dialog = editor->timingDialog();
    QTimer::singleShot(0, dialog, [dialog] {
        QTest::keyClicks(dialog->form()->timingName, QStringLiteral("Studio 1080p"));
        dialog->form()->timingButtonBox->button(QDialogButtonBox::Ok)->click();
    });
    QTimer::singleShot(3000, dialog, &QDialog::reject); // never hang on a dialog that stays open
    ui.timingTable->selectRow(row);
    editor->editTiming();

    QVERIFY(!dialogs.wasShown(QStringLiteral("Duplicate timings")));
    QCOMPARE(editor->getTimingModel()->rowCount(), rows);
    const Timing edited = editor->getTimingModel()->getTiming(row);
    QCOMPARE(edited.name, QStringLiteral("Studio 1080p"));
    QCOMPARE(edited.type, QStringLiteral("Custom"));
    QCOMPARE(edited.hActive, 1920);
    QCOMPARE(ui.timingTable->currentIndex().row(), row);
    // The removal and the new row are two undo steps; the old VIC gave up its slot.
    QCOMPARE(editor->undoHistory().size(), historyBefore + 2);
    QCOMPARE(vicLabels(), QStringList{QStringLiteral("4")});
    QVERIFY(editor->timings().customNames.contains(QStringLiteral("Studio 1080p")));
}

void TestEdidEditorRules::removingAVicKeepsEach3DStructureWithItsVic()
{
    startEditing(2);
    ui.threeDPresent->click();
    QVERIFY(ui.threeDPresent->isChecked());
    // 16, 4 and 31 stand in the source's video block in this order; 32 and 34 are new.
    const QList<int> vics = {16, 4, 31, 32, 34};
    for (int vic : vics)
        addCatalogueVic(vic);
    QCOMPARE(vicLabels(), (QStringList{"16", "4", "31", "32", "34"}));
    QVERIFY(ui.threeDFrame->isEnabled());

    // Per VIC: VIC 4 top-and-bottom, VIC 32 frame packing, VIC 34 side-by-side (half).
    const struct
    {
        int slot;
        QPushButton* format;
    } own[] = {{1, ui.topAndBottom}, {3, ui.framePacking}, {4, ui.sideBySideHalf}};
    for (const auto& o : own) {
        ui.vic3Ddropdown->setCurrentIndex(o.slot + 1);
        o.format->click();
    }
    // All VICs: frame packing, for VICs 31 and 34 only.
    ui.vic3Ddropdown->setCurrentIndex(0);
    ui.framePacking->click();
    editor->vicSlotButtons()[2]->click();
    editor->vicSlotButtons()[4]->click();
    QCOMPARE(editor->decodedState().threeDMask, 0b10100);
    QCOMPARE(editor->decodedState().vicThreeDStructures[1], 0x040);
    QCOMPARE(editor->decodedState().vicThreeDStructures[3], 0x001);
    QCOMPARE(editor->decodedState().vicThreeDStructures[4], 0x100);

    // Remove VIC 31 (slot 2).
    ui.timingTable->selectRow(tableRowOfVic(31));
    editor->removeTiming();
    QCOMPARE(vicLabels(), (QStringList{"16", "4", "32", "34"}));
    QCOMPARE(editor->decodedState().vicThreeDStructures[2], 0x001); // VIC 32
    QCOMPARE(editor->decodedState().vicThreeDStructures[3], 0x100); // VIC 34
    QCOMPARE(editor->decodedState().vicThreeDStructures[4], 0);
    QCOMPARE(editor->decodedState().threeDMask, 0b01000); // VIC 34 only
    QVERIFY(!editor->vicSlotButtons()[2]->isChecked());
    QVERIFY(editor->vicSlotButtons()[3]->isChecked());
    QVERIFY(editor->vicSlotButtons()[4]->isHidden());

    // The dropdown shows each VIC's own structures, plus the all-VIC one where the mask says so.
    ui.vic3Ddropdown->setCurrentIndex(4); // VIC 34
    QVERIFY(ui.sideBySideHalf->isChecked());
    QVERIFY(ui.framePacking->isChecked());
    QVERIFY(!ui.topAndBottom->isChecked());
    ui.vic3Ddropdown->setCurrentIndex(3); // VIC 32
    QVERIFY(ui.framePacking->isChecked());
    QVERIFY(!ui.sideBySideHalf->isChecked());
    // A bit that comes from the all-VIC structure is not the VIC's own to clear.
    ui.vic3Ddropdown->setCurrentIndex(4);
    ui.framePacking->click();
    QCOMPARE(editor->decodedState().vicThreeDStructures[3], 0x100);
    QVERIFY(ui.framePacking->isChecked());

    // edid-decode finds each structure at its VIC, and the all-VIC structure at VIC 34 only.
    const QString text = edidDecode(editor->currentEdid());
    QVERIFY2(!text.isEmpty(), "edid-decode gave no description (is it installed?)");
    QMap<int, QString> specific;
    QList<int> maskVics;
    bool inMask = false, inSpecific = false;
    const QRegularExpression vicLine(QStringLiteral("^\\s+VIC\\s+(\\d+):.*?(\\(([^)]*)\\))?$"));
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1String("3D VIC indices that support these capabilities"))) {
            inMask = true;
            inSpecific = false;
        } else if (line.contains(QLatin1String("3D VIC indices with specific capabilities"))) {
            inSpecific = true;
            inMask = false;
        } else {
            const QRegularExpressionMatch m = vicLine.match(line);
            if (!m.hasMatch()) {
                inMask = inSpecific = false;
            } else if (inMask) {
                maskVics << m.captured(1).toInt();
            } else if (inSpecific) {
                specific.insert(m.captured(1).toInt(), m.captured(3));
            }
        }
    }
    QVERIFY2(text.contains(QLatin1String("3D: Frame-packing")), qPrintable(text));
    QCOMPARE(maskVics, QList<int>{34});
    QCOMPARE(specific.value(4), QStringLiteral("top-and-bottom"));
    QCOMPARE(specific.value(32), QStringLiteral("frame packing"));
    QVERIFY2(specific.value(34).startsWith(QLatin1String("side-by-side")), qPrintable(text));
    QCOMPARE(specific.size(), 3);
}

void TestEdidEditorRules::threeDEntriesBeyondTheBlockAreRefused()
{
    startEditing(2);
    ui.threeDPresent->click();
    const QList<int> vics = {1, 2, 3, 4, 5, 16, 17, 18, 19, 20, 31, 32, 33, 34, 39, 40};
    for (int vic : vics)
        addCatalogueVic(vic);
    QCOMPARE(vicLabels().size(), 16);
    // A 17th CEA timing joins the table but gets no VIC slot.
    addCatalogueVic(60);
    QVERIFY(tableRowOfVic(60) >= 0);
    QCOMPARE(vicLabels().size(), 16);

    // Side-by-side (half) takes two bytes per VIC; sixteen of them do not fit the HDMI block.
    int refusedAt = -1;
    for (int slot = 0; slot < 16 && refusedAt < 0; ++slot) {
        dialogs.clear();
        ui.vic3Ddropdown->setCurrentIndex(slot + 1);
        ui.sideBySideHalf->click();
        if (dialogs.wasShown(QStringLiteral("3D")) || dialogs.wasShown(QStringLiteral("HDMI")))
            refusedAt = slot;
    }
    QVERIFY2(refusedAt > 0, "the editor refused a 3D entry the HDMI block cannot hold");
    QCOMPARE(dialogs.shown().constLast().title, QStringLiteral("Editing EDID"));
    QCOMPARE(editor->decodedState().vicThreeDStructures[size_t(refusedAt)], 0);
    QVERIFY(!ui.sideBySideHalf->isChecked());
    QCOMPARE(editor->decodedState().vicThreeDStructures[size_t(refusedAt - 1)], 0x100);
    // What the editor holds can still be written.
    QCOMPARE(edidEncodableError(editor->formState()), QString());
}

void TestEdidEditorRules::audioAddWithinTheLimit()
{
    startEditing(4);
    QVERIFY(ui.audioDropdown->count() > 2);
    const int historyBefore = editor->undoHistory().size();
    const QString first = ui.audioDropdown->itemText(1);
    ui.audioDropdown->setCurrentIndex(1);
    emit ui.audioDropdown->textActivated(first);
    QCOMPARE(editor->getAudioModel()->rowCount(), 1);
    QCOMPARE(editor->getAudioModel()->formatAt(0).name, first);
    QCOMPARE(editor->undoHistory().size(), historyBefore + 1);

    emit ui.audioDropdown->textActivated(first);
    QVERIFY(dialogs.wasShown(QStringLiteral("Duplicate audio formats are not allowed.")));
    QCOMPARE(editor->getAudioModel()->rowCount(), 1);

    for (int i = editor->getAudioModel()->rowCount(); i < EdidRules::MaxAudioFormats; ++i)
        editor->getAudioModel()->insertFormat(i, lpcm(i));
    dialogs.clear();
    const QString second = ui.audioDropdown->itemText(2);
    ui.audioDropdown->setCurrentIndex(2);
    emit ui.audioDropdown->textActivated(second);
    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(dialogs.shown().at(0).title, QStringLiteral("Audio Formats Limit Reached"));
    QCOMPARE(dialogs.shown().at(0).text, QStringLiteral("You have reached the limit on audio formats."));
    QCOMPARE(editor->getAudioModel()->rowCount(), EdidRules::MaxAudioFormats);
    // A new custom format is refused before the dialog opens.
    dialogs.clear();
    editor->createYourOwnAudioFormat();
    QVERIFY(dialogs.wasShown(QStringLiteral("You have reached the limit on audio formats.")));

    // Ten rows are written: edid-decode lists ten descriptors.
    editor->edidFileEdited();
    const QString text = edidDecode(editor->currentEdid());
    if (!text.isEmpty())
        QCOMPARE(text.count(QStringLiteral("Linear PCM:")), EdidRules::MaxAudioFormats);

    // Moving and removing rows.
    ui.audioTable->selectRow(1);
    const AudioFormat moved = editor->getAudioModel()->formatAt(1);
    editor->moveUp();
    QCOMPARE(editor->getAudioModel()->formatAt(0), moved);
    QVERIFY(!ui.moveAudioUp->isEnabled());
    editor->removeAudio();
    QCOMPARE(editor->getAudioModel()->rowCount(), EdidRules::MaxAudioFormats - 1);
    QVERIFY(!editor->getAudioModel()->contains(moved));
}

void TestEdidEditorRules::speakersGoInPairs()
{
    startEditing(4);
    // Basic audio offers the speakers.
    if (!ui.basicAudio->isChecked())
        ui.basicAudio->click();
    QVERIFY(ui.speakerFL->isEnabled());
    const bool fl = ui.speakerFL->isChecked();
    QCOMPARE(ui.speakerFR->isChecked(), fl);
    const int historyBefore = editor->undoHistory().size();
    ui.speakerFL->click();
    QCOMPARE(ui.speakerFL->isChecked(), !fl);
    QCOMPARE(ui.speakerFR->isChecked(), !fl);
    ui.speakerRRC->click();
    QVERIFY(ui.speakerRLC->isChecked());
    const bool rc = ui.speakerRC->isChecked();
    const bool lfe = ui.speakerLFE->isChecked();
    ui.speakerFC->click();
    QVERIFY(ui.speakerFC->isChecked());
    QCOMPARE(ui.speakerRC->isChecked(), rc);
    QCOMPARE(ui.speakerLFE->isChecked(), lfe);
    QVERIFY(editor->undoHistory().size() > historyBefore);
    const EdidState s = editor->formState();
    QCOMPARE(s.speakerFL, s.speakerFR);
    QVERIFY(s.speakerRLC && s.speakerRRC && s.speakerFC);
}

void TestEdidEditorRules::chromaticitySelectStoreRemove()
{
    startEditing(3);
    const QString file = CatalogueFiles::path(QStringLiteral("chromaticity.xml"));
    QCOMPARE(ui.chromaticityDropdown->itemText(1), QStringLiteral("sRGB"));

    ui.chromaticityDropdown->setCurrentIndex(2);
    QVERIFY(!editor->decodedState().srgbDefault);
    QVERIFY(ui.removeChromaticity->isEnabled());
    QVERIFY(!ui.storeChromaticity->isEnabled());
    ui.chromaticityDropdown->setCurrentIndex(1);
    QCOMPARE(ui.redX->text(), QStringLiteral("0.6400"));
    QCOMPARE(ui.whiteY->text(), QStringLiteral("0.3290"));
    QVERIFY(editor->decodedState().srgbDefault);
    QVERIFY(editor->formState().srgbDefault);
    QVERIFY(!ui.removeChromaticity->isEnabled()); // the first set stays
    QVERIFY(!ui.storeChromaticity->isEnabled());

    // Typing a coordinate offers storing it.
    ui.redX->setText(QStringLiteral("0.6800"));
    QVERIFY(ui.storeChromaticity->isEnabled());
    QVERIFY(!ui.removeChromaticity->isEnabled());

    dialogs.answerText(QStringLiteral("sRGB"));
    editor->storeChromaticity();
    QVERIFY(dialogs.wasShown(QStringLiteral("Please provide a unique name for the set of chromaticity values.")));
    dialogs.clear();
    dialogs.answerText(QStringLiteral("Wide red"));
    editor->storeChromaticity();
    QVERIFY(dialogs.shown().size() == 1 && dialogs.shown().at(0).kind == DialogBackend::Kind::Text);
    const int stored = ui.chromaticityDropdown->count() - 1;
    QCOMPARE(ui.chromaticityDropdown->itemText(stored), QStringLiteral("Wide red"));
    QCOMPARE(ui.chromaticityDropdown->currentIndex(), 1);
    ChromaticityCatalogue reread;
    QVERIFY(loadChromaticityCatalogue(file, &reread));
    QCOMPARE(reread.sets.constLast().name, QStringLiteral("Wide red"));
    QCOMPARE(reread.sets.constLast().redX, 0.68);

    // Removing the picked set takes it out of the file and the list; the EDID keeps its values.
    ui.chromaticityDropdown->setCurrentIndex(stored);
    QCOMPARE(ui.redX->text(), QStringLiteral("0.6800"));
    const int historyBefore = editor->undoHistory().size();
    editor->removeChromaticity();
    QCOMPARE(ui.chromaticityDropdown->count(), stored);
    QCOMPARE(ui.chromaticityDropdown->currentIndex(), 0);
    QCOMPARE(ui.redX->text(), QStringLiteral("0.6800"));
    QCOMPARE(editor->undoHistory().size(), historyBefore);
    QVERIFY(loadChromaticityCatalogue(file, &reread));
    QVERIFY(!reread.names.contains(QStringLiteral("Wide red")));
    QCOMPARE(editor->chromaticities().sets.size(), reread.sets.size());
}

void TestEdidEditorRules::deepColourDropdownAndManualClock()
{
    startEditing(2);
    addCatalogueVic(16); // 148.5 MHz
    ui.maxTMDSClockAuto->click();
    QCOMPARE(ui.maxTMDSClock->text(), QStringLiteral("150"));
    QCOMPARE(editor->decodedState().maxPixelClock, 150.0);

    ui.managementTabs->setCurrentIndex(5);
    ui.hdmiColorBox->setEnabled(true);
    ui.hdmi36bitspixel->setEnabled(true);
    ui.hdmi36bitspixel->click();
    QVERIFY(ui.combohdmi36bitspixel->isEnabled());
    const int entry = dropdownItem(ui.combohdmi36bitspixel, QStringLiteral("222.75 MHz / 1920x1080p 60Hz"));
    QVERIFY(entry > 0);
    ui.combohdmi36bitspixel->setCurrentIndex(entry);
    QCOMPARE(ui.maxTMDSClock->text(), QStringLiteral("225"));
    QCOMPARE(editor->decodedState().maxPixelClock, 225.0);
    // The prompt is no longer a choice.
    auto* model = qobject_cast<QStandardItemModel*>(ui.combohdmi36bitspixel->model());
    QVERIFY(model && !model->item(0)->isEnabled());

    // Manual: the clock stays as typed whatever the table and drop-downs do.
    ui.maxTMDSClockManual->click();
    QVERIFY(ui.maxTMDSClock->isEnabled());
    ui.maxTMDSClock->setText(QStringLiteral("400"));
    ui.combohdmi36bitspixel->setCurrentIndex(0);
    addCatalogueVic(4);
    QCOMPARE(ui.maxTMDSClock->text(), QStringLiteral("400"));
}

PLEXA_TEST_MAIN(TestEdidEditorRules)
#include "tst_edid_editor_rules.moc"

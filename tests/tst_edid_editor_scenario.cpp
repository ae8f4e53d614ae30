// A user's session with the EDID editor on real monitors' EDIDs: open one, add a custom timing,
// change the audio, save. Debian's edid-decode reads the saved file: it reports no failure that it
// did not report for the original, and it shows both edits.

#include "audioformatmodel.h"
#include "customtimingdialog.h"
#include "edidmanagement.h"
#include "plexatest.h"
#include "resources.h"
#include "scripteddialogs.h"
#include "timingmodel.h"
#include "ui_customtimingdialog.h"
#include "ui_mainui.h"

#include <QMainWindow>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextEdit>
#include <QTimer>

#include <memory>

namespace {

struct EdidDecodeReport
{
    bool ran = false;
    QString text;
    QSet<QString> failures; // the lines of the "Failures:" part, numbers masked
};

EdidDecodeReport edidDecode(const QString& path)
{
    EdidDecodeReport r;
    QProcess p;
    p.start(QStringLiteral("edid-decode"), {QStringLiteral("-c"), path});
    if (!p.waitForFinished(30000))
        return r;
    r.ran = true;
    r.text = QString::fromUtf8(p.readAllStandardOutput());
    const int at = r.text.indexOf(QLatin1String("\nFailures:\n"));
    if (at < 0)
        return r;
    const QString part = r.text.mid(at + 11);
    for (QString line : part.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("EDID conformity")) || line.startsWith(QLatin1String("Block "))
            || line == QLatin1String("EDID:"))
            continue;
        // The range failure quotes the ranges themselves; an edit that moves them is no new fault.
        line.replace(QRegularExpression(QStringLiteral("[0-9]+(\\.[0-9]+)?")), QStringLiteral("#"));
        r.failures.insert(line);
    }
    return r;
}

void type(QLineEdit* e, const QString& text)
{
    e->selectAll();
    QTest::keyClicks(e, text);
}

} // namespace

class TestEdidEditorScenario : public QObject
{
    Q_OBJECT

private slots:
    void openEditSave_data();
    void openEditSave();
};

void TestEdidEditorScenario::openEditSave_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("AOC 2260 (HDMI)") << "Digital_AOC_AOC2260_1767AB4053CD.bin";
    QTest::newRow("AOC 2369 (DisplayPort)") << "Digital_AOC_AOC2369_8F537FD52363.bin";
}

void TestEdidEditorScenario::openEditSave()
{
    QFETCH(QString, file);
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("edid-decode")).isEmpty(), "edid-decode is not installed");
    initPlexaResources();
    QMainWindow window;
    Ui_MainUI ui;
    ui.setupUi(&window);
    QList<EdidEntry> monitors;
    auto em = std::make_unique<EdidManagement>(&ui, &monitors);
    QTextEdit view;
    em->setTextEdit(&view);
    ScriptedDialogs dialogs;
    ScriptedDialogs::Scope scope(dialogs);

    const QString source = PlexaTest::edidCorpusDir() + QLatin1Char('/') + file;
    QFile in(source);
    QVERIFY(in.open(QIODevice::ReadOnly));
    em->setEdidData(in.readAll());
    em->displayEDID(source);
    em->editEDID();
    QVERIFY(em->isEditing());

    // A custom timing from the timing dialog's calculator: 1600 x 900 at 60 Hz.
    ui.managementTabs->setCurrentIndex(2);
    QCOMPARE(em->activeTable(), ui.timingTable);
    const int rowsBefore = em->getTimingModel()->rowCount();
    bool dialogRan = false;
    QTimer::singleShot(0, [&] {
        CustomTimingDialog* d = em->timingDialog();
        Ui_CustomTimingDialog* f = d->form();
        type(f->horizontalPixelsCalc, QStringLiteral("1600"));
        type(f->verticalLinesCalc, QStringLiteral("900"));
        type(f->refreshRateCalc, QStringLiteral("60"));
        f->calculateDTD->click();
        // The monitor's image size, as a user copies it from the display's other timings.
        type(f->hImageSize, QString::number(em->getTimingModel()->getTiming(0).hSize));
        type(f->vImageSize, QString::number(em->getTimingModel()->getTiming(0).vSize));
        // Custom timing names are unique in the catalogue, which the rows share.
        type(f->timingName, QStringLiteral("Scenario 1600x900 ") + QString::fromLatin1(QTest::currentDataTag()));
        dialogRan = true;
        d->accept();
        if (d->isVisible())
            d->reject(); // refused: never leave the test waiting on the dialog
    });
    em->createYourOwnTiming();
    QVERIFY(dialogRan);
    QCOMPARE(em->getTimingModel()->rowCount(), rowsBefore + 1);
    // Up to the second row, below the preferred timing: the second detailed timing.
    const int added = em->getTimingModel()->rowCount() - 1;
    QCOMPARE(em->getTimingModel()->getTiming(added).hActive, 1600);
    ui.timingTable->selectRow(added);
    for (int i = 1; i < added; ++i)
        em->moveUp();
    QCOMPARE(em->getTimingModel()->getTiming(1).hActive, 1600);
    QVERIFY(em->getTimingModel()->isChecked(1, TimingModel::DtdColumn));

    // The audio: a multichannel AC-3 format besides what the monitor had.
    ui.managementTabs->setCurrentIndex(4);
    const int audioBefore = em->getAudioModel()->rowCount();
    const QString ac3 = QStringLiteral("AC-3 6ch 32-48kHz 640kbps");
    if (!ui.basicAudio->isChecked())
        ui.basicAudio->click();
    const int item = ui.audioDropdown->findText(ac3);
    QVERIFY(item > 0);
    ui.audioDropdown->setCurrentIndex(item);
    em->addAudioToEDID(ac3);
    QCOMPARE(em->getAudioModel()->rowCount(), audioBefore + 1);

    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("edited.bin"));
    dialogs.answerPath(saved);
    em->saveEDID();
    QVERIFY2(QFile::exists(saved), qPrintable(dialogs.shown().isEmpty() ? QString() : dialogs.shown().last().text));

    const EdidDecodeReport before = edidDecode(source);
    const EdidDecodeReport after = edidDecode(saved);
    QVERIFY(before.ran && after.ran);
    const QSet<QString> added_failures = after.failures - before.failures;
    QVERIFY2(added_failures.isEmpty(), qPrintable(QStringList(added_failures.values()).join(QLatin1Char('\n'))));
    QVERIFY2(after.text.contains(QRegularExpression(QStringLiteral("DTD 2: +1600x900 +(59\\.9|60)"))),
             qPrintable(after.text));
    QVERIFY2(after.text.contains(QLatin1String("AC-3:")), qPrintable(after.text));
    QVERIFY(after.text.contains(QRegularExpression(QStringLiteral("AC-3:\\s+Max channels: 6"))));
}

PLEXA_TEST_MAIN(TestEdidEditorScenario)
#include "tst_edid_editor_scenario.moc"

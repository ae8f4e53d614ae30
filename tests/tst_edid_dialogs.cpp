// The custom timing and custom audio dialogs.

#include "localetest.h"
#include "plexatest.h"
#include "scripteddialogs.h"

#include "constants.h"
#include "customaudiodialog.h"
#include "customtimingdialog.h"
#include "cvt.h"
#include "edidcatalogues.h"
#include "ui_customaudiodialog.h"
#include "ui_customtimingdialog.h"

#include <QPushButton>

namespace {

void type(QLineEdit* edit, const QString& text)
{
    edit->clear();
    QTest::keyClicks(edit, text);
}

// Types the calculator's three values into the dialog, made ready for a new timing in `record`,
// and presses Calculate.
void calculate(CustomTimingDialog& dialog, Timing* record, const QString& pixels, const QString& lines,
               const QString& rate)
{
    Ui_CustomTimingDialog* ui = dialog.form();
    dialog.resetForm();
    dialog.loadTiming(record);
    type(ui->horizontalPixelsCalc, pixels);
    type(ui->verticalLinesCalc, lines);
    type(ui->refreshRateCalc, rate);
    ui->calculateDTD->click();
}

} // namespace

class TestEdidDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void calculatorFillsTheFields();
    void calculatorRefusesMissingOrZeroInput_data();
    void calculatorRefusesMissingOrZeroInput();
    void editsKeepTheTimingConsistent();
    void timingNameRules();
    void savedTimingIsAppendedAndReRead();
    void failedTimingWriteKeepsTheDialogOpen();
    void timingDialogUnderAnyLocale_data();
    void timingDialogUnderAnyLocale();
    void refreshRateAsTyped_data();
    void refreshRateAsTyped();
    void unencodableTimingIsRefused();
    void audioCodingRules();
    void audioOkRule();
    void savedAudioFormatIsAppendedAndReRead();

private:
    QTemporaryDir dir;
    QString timingsPath;
    QString audioPath;
    ScriptedDialogs dialogs;
};

void TestEdidDialogs::init()
{
    dialogs.clear();
    timingsPath = dir.filePath(QStringLiteral("timings.xml"));
    audioPath = dir.filePath(QStringLiteral("audio.xml"));
    QFile::remove(timingsPath);
    QFile::remove(audioPath);
}

void TestEdidDialogs::calculatorFillsTheFields()
{
    CustomTimingDialog dialog;
    Ui_CustomTimingDialog* ui = dialog.form();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Create Custom Timing"));
    Timing record;
    dialog.resetForm();
    dialog.loadTiming(&record);
    QVERIFY(ui->cvtCalcBox->isEnabled());
    QVERIFY(!ui->customTimingBox->isEnabled());

    type(ui->horizontalPixelsCalc, QStringLiteral("1920"));
    type(ui->verticalLinesCalc, QStringLiteral("1080"));
    type(ui->refreshRateCalc, QStringLiteral("60"));
    ui->calculateDTD->click();
    QVERIFY(ui->customTimingBox->isEnabled());
    QCOMPARE(ui->hTotal->text(), QStringLiteral("2576"));
    QCOMPARE(ui->vTotal->text(), QStringLiteral("1120"));
    QCOMPARE(ui->pixelClock->text(), QStringLiteral("173.000"));
    QCOMPARE(ui->refreshRate->text(), QStringLiteral("60"));
    QCOMPARE(ui->hFreq->text(), QStringLiteral("67.1584"));
    QVERIFY(!ui->hPolarityPos->isChecked());
    QVERIFY(ui->vPolarityPos->isChecked());
    QCOMPARE(record.type, TIMING_TYPE_CUSTOM);

    ui->reducedBlankingCalc->setChecked(true);
    ui->calculateDTD->click();
    QCOMPARE(ui->hTotal->text(), QStringLiteral("2080"));
    QVERIFY(ui->hPolarityPos->isChecked());
    QVERIFY(!ui->vPolarityPos->isChecked());
    QVERIFY(dialogs.shown().isEmpty());
}

void TestEdidDialogs::calculatorRefusesMissingOrZeroInput_data()
{
    QTest::addColumn<QString>("pixels");
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("rate");
    QTest::newRow("empty rate") << "1920" << "1080" << "";
    QTest::newRow("zero pixels") << "0" << "1080" << "60";
    QTest::newRow("zero lines") << "1920" << "0" << "60";
    QTest::newRow("zero rate") << "1920" << "1080" << "0";
}

void TestEdidDialogs::calculatorRefusesMissingOrZeroInput()
{
    QFETCH(QString, pixels);
    QFETCH(QString, lines);
    QFETCH(QString, rate);
    ScriptedDialogs::Scope scope(dialogs);
    CustomTimingDialog dialog;
    Ui_CustomTimingDialog* ui = dialog.form();
    Timing record;
    dialog.resetForm();
    dialog.loadTiming(&record);
    // Set the texts directly: a validator may keep a zero from being typed at all.
    ui->horizontalPixelsCalc->setText(pixels);
    ui->verticalLinesCalc->setText(lines);
    ui->refreshRateCalc->setText(rate);
    ui->calculateDTD->click();
    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(dialogs.shown().at(0).title, QStringLiteral("Missing Field"));
    QVERIFY(!ui->customTimingBox->isEnabled());
    QVERIFY(record.type.isEmpty());
}

void TestEdidDialogs::editsKeepTheTimingConsistent()
{
    ScriptedDialogs::Scope scope(dialogs);
    CustomTimingDialog dialog;
    dialog.setCatalogueFile(timingsPath);
    Ui_CustomTimingDialog* ui = dialog.form();
    Timing record;
    dialog.resetForm();
    dialog.loadTiming(&record);
    type(ui->horizontalPixelsCalc, QStringLiteral("1920"));
    type(ui->verticalLinesCalc, QStringLiteral("1080"));
    type(ui->refreshRateCalc, QStringLiteral("60"));
    ui->calculateDTD->click();

    // A wider front porch widens the blanking and the total; the rates follow.
    type(ui->hFrontPorch, QStringLiteral("228"));
    QCOMPARE(ui->hBlanking->text(), QStringLiteral("756"));
    QCOMPARE(ui->hTotal->text(), QStringLiteral("2676"));
    // A new blanking moves the back porch.
    type(ui->vBlanking, QStringLiteral("45"));
    QCOMPARE(ui->vBack->text(), QStringLiteral("37"));
    QCOMPARE(ui->vTotal->text(), QStringLiteral("1125"));
    type(ui->pixelClock, QStringLiteral("180.6"));
    QCOMPARE(ui->refreshRate->text(), QStringLiteral("60"));
    ui->interlaced->setChecked(true);
    QCOMPARE(ui->vTotal->text(), QStringLiteral("2251"));

    type(ui->timingName, QStringLiteral("Edited"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(record.hBlank, record.hFront + record.hSync + record.hBack);
    QCOMPARE(record.hTotal, 2676);
    QCOMPARE(record.vBack, 37);
    QCOMPARE(record.hFreq, 180.6 * 1000 / 2676);
    QCOMPARE(record.fieldRate, qRound(record.hFreq * 1000 / 1125.5));
    QVERIFY(record.ip);
    QVERIFY(!record.hPol && record.vPol);
    QCOMPARE(record.name, QStringLiteral("Edited"));
}

void TestEdidDialogs::timingNameRules()
{
    ScriptedDialogs::Scope scope(dialogs);
    QSet<QString> names{QStringLiteral("Taken")};
    CustomTimingDialog dialog;
    dialog.setTimingNames(&names);
    dialog.setCatalogueFile(timingsPath);
    Ui_CustomTimingDialog* ui = dialog.form();
    QPushButton* ok = ui->timingButtonBox->button(QDialogButtonBox::Ok);
    QVERIFY(!ok->isEnabled());

    // An existing timing: the calculator is off, OK waits for a name.
    Timing existing = computeTiming(1280, 720, 60, false, false, false);
    existing.type = TIMING_TYPE_VESA;
    dialog.resetForm();
    dialog.loadTiming(&existing);
    QVERIFY(!ui->cvtCalcBox->isEnabled());
    QVERIFY(ui->customTimingBox->isEnabled());
    QCOMPARE(ui->hTotal->text(), QString::number(existing.hTotal));
    QVERIFY(ui->timingName->text().isEmpty());
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(ui->timingName, QStringLiteral("Taken"));
    QVERIFY(ok->isEnabled());

    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialogs.shown().value(0).title, QStringLiteral("Timing Name"));
    QVERIFY(!QFile::exists(timingsPath));

    for (int i = 0; i < 5; ++i)
        QTest::keyClick(ui->timingName, Qt::Key_Backspace);
    QVERIFY(!ok->isEnabled());
}

void TestEdidDialogs::savedTimingIsAppendedAndReRead()
{
    QVERIFY(appendTimingEntry(timingsPath, Timing())); // a catalogue with one entry already
    TimingCatalogue catalogue;
    QVERIFY(loadTimingCatalogue(timingsPath, &catalogue));

    ScriptedDialogs::Scope scope(dialogs);
    CustomTimingDialog dialog;
    dialog.setTimingNames(&catalogue.customNames);
    dialog.setCatalogueFile(timingsPath);
    Ui_CustomTimingDialog* ui = dialog.form();
    Timing record;
    dialog.resetForm();
    dialog.loadTiming(&record);
    type(ui->horizontalPixelsCalc, QStringLiteral("1366"));
    type(ui->verticalLinesCalc, QStringLiteral("768"));
    type(ui->refreshRateCalc, QStringLiteral("60"));
    ui->calculateDTD->click();
    ui->nativeTiming->setChecked(true);
    type(ui->timingName, QStringLiteral("Laptop"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(record.native);
    QVERIFY(catalogue.customNames.contains(QStringLiteral("Laptop")));

    TimingCatalogue reread;
    QVERIFY(loadTimingCatalogue(timingsPath, &reread));
    QCOMPARE(reread.timings.size(), 2);
    const Timing saved = reread.timings.at(1);
    QCOMPARE(saved.name, QStringLiteral("Laptop"));
    QCOMPARE(saved.hActive, 1366);
    QCOMPARE(saved.hTotal, record.hTotal);
    QCOMPARE(saved.vTotal, record.vTotal);
    QCOMPARE(saved.pixelFreq, 84.75);
    QCOMPARE(saved.fieldRate, record.fieldRate);
    QVERIFY(!saved.hPol && saved.vPol);
    QVERIFY(reread.customNames.contains(QStringLiteral("Laptop")));

    // The same name is refused the next time.
    dialog.resetForm();
    Timing another;
    dialog.loadTiming(&another);
    type(ui->timingName, QStringLiteral("Laptop"));
    dialog.accept();
    QCOMPARE(dialogs.shown().last().title, QStringLiteral("Timing Name"));
}

// The calculator's pixel clock is read back as it was written, and typed with a point or a comma,
// whatever the user's locale; the catalogue stores it in the C locale.
void TestEdidDialogs::timingDialogUnderAnyLocale_data()
{
    addLocaleRows();
}

void TestEdidDialogs::timingDialogUnderAnyLocale()
{
    QFETCH(QString, locale);
    const DefaultLocaleScope localeScope(locale);

    ScriptedDialogs::Scope scope(dialogs);
    QSet<QString> names;
    CustomTimingDialog dialog;
    dialog.setTimingNames(&names);
    dialog.setCatalogueFile(timingsPath);
    Ui_CustomTimingDialog* ui = dialog.form();
    const auto calculate = [&](Timing* record, const QString& name) {
        dialog.resetForm();
        dialog.loadTiming(record);
        type(ui->horizontalPixelsCalc, QStringLiteral("1920"));
        type(ui->verticalLinesCalc, QStringLiteral("1080"));
        type(ui->refreshRateCalc, QStringLiteral("60"));
        ui->calculateDTD->click();
        type(ui->timingName, name);
    };

    Timing calculated;
    calculate(&calculated, QStringLiteral("Calculated"));
    QCOMPARE(ui->pixelClock->text(), QStringLiteral("173.000"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(dialogs.shown().isEmpty());
    QCOMPARE(calculated.pixelFreq, 173.0);
    QCOMPARE(calculated.fieldRate, 60);
    QVERIFY(qAbs(calculated.hFreq - 67.158) < 0.001);

    Timing typed;
    calculate(&typed, QStringLiteral("Typed"));
    type(ui->pixelClock, QStringLiteral("148,5"));
    QCOMPARE(ui->pixelClock->text(), QStringLiteral("148.5"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(typed.pixelFreq, 148.5);

    QFile file(timingsPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray xml = file.readAll();
    QVERIFY2(xml.contains("<pixelFreq>173</pixelFreq>") && xml.contains("<pixelFreq>148.5</pixelFreq>"), xml.constData());
    TimingCatalogue reread;
    QVERIFY(loadTimingCatalogue(timingsPath, &reread));
    QCOMPARE(reread.timings.size(), 2);
    QCOMPARE(reread.timings.at(0).pixelFreq, 173.0);
}

void TestEdidDialogs::refreshRateAsTyped_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept"); // what the field holds
    QTest::addColumn<int>("fieldRate"); // 0: Calculate is refused
    for (const char* locale : {"C", "de_DE"}) {
        const auto row = [locale](const char* tag, const char* typed, const char* kept, int rate) {
            QTest::addRow("%s %s", locale, tag) << QString::fromLatin1(locale) << QString::fromUtf8(typed)
                                                << QString::fromUtf8(kept) << rate;
        };
        row("59.94", "59.94", "59.94", 60);
        row("59,94", "59,94", "59.94", 60);
        row("23.976", "23.976", "23.976", 24);
        row("whole", "50", "50", 50);
        // Never another number: what cannot be a rate is not taken as typed.
        row("above 240", "599", "59", 59);
        row("four decimals", "59.9401", "59.940", 60);
        row("point, not a group separator", "24.000", "24.000", 24);
    }
}

// The refresh field takes the rate as typed, decimals included, under any locale; the calculator
// uses it as it stands and never turns it into another number.
void TestEdidDialogs::refreshRateAsTyped()
{
    QFETCH(QString, locale);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QFETCH(int, fieldRate);
    const DefaultLocaleScope localeScope(locale);
    ScriptedDialogs::Scope scope(dialogs);
    CustomTimingDialog dialog;
    Ui_CustomTimingDialog* ui = dialog.form();
    Timing record;
    calculate(dialog, &record, QStringLiteral("1920"), QStringLiteral("1080"), typed);
    QCOMPARE(ui->refreshRateCalc->text(), kept);
    QVERIFY(dialogs.shown().isEmpty());
    QCOMPARE(record.fieldRate, fieldRate);
    const double rate = kept.toDouble();
    const Timing expected = computeTiming(1920, 1080, rate, false, false, false);
    QCOMPARE(record.pixelFreq, expected.pixelFreq);
    QCOMPARE(ui->pixelClock->text(), QString::number(expected.pixelFreq, 'f', 3));

    // A text put there by other means than typing is refused when it is no rate.
    ui->refreshRateCalc->setText(QStringLiteral("599"));
    ui->calculateDTD->click();
    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(dialogs.shown().at(0).title, QStringLiteral("Missing Field"));
    QCOMPARE(record.fieldRate, fieldRate);
}

// A calculated timing beyond what a detailed timing descriptor holds (a pixel clock over
// 655.35 MHz) is refused with a message, and nothing of it reaches the record or the fields.
void TestEdidDialogs::unencodableTimingIsRefused()
{
    ScriptedDialogs::Scope scope(dialogs);
    CustomTimingDialog dialog;
    Ui_CustomTimingDialog* ui = dialog.form();
    Timing record;
    calculate(dialog, &record, QStringLiteral("3840"), QStringLiteral("2160"), QStringLiteral("120"));
    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(dialogs.shown().at(0).title, QStringLiteral("Invalid Timing"));
    QVERIFY(dialogs.shown().at(0).text.contains(QStringLiteral("655.35 MHz")));
    QVERIFY(record.type.isEmpty());
    QVERIFY(ui->pixelClock->text().isEmpty());
    QVERIFY(!ui->customTimingBox->isEnabled());

    // The same resolution at a rate the descriptor can hold is taken.
    type(ui->refreshRateCalc, QStringLiteral("30"));
    ui->calculateDTD->click();
    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(record.type, TIMING_TYPE_CUSTOM);
    QVERIFY(record.pixelFreq < 655.35);
}

void TestEdidDialogs::failedTimingWriteKeepsTheDialogOpen()
{
    QFile broken(timingsPath);
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("<timings><timing>");
    broken.close();

    ScriptedDialogs::Scope scope(dialogs);
    QSet<QString> names;
    CustomTimingDialog dialog;
    dialog.setTimingNames(&names);
    dialog.setCatalogueFile(timingsPath);
    Ui_CustomTimingDialog* ui = dialog.form();
    Timing record;
    dialog.resetForm();
    dialog.loadTiming(&record);
    type(ui->horizontalPixelsCalc, QStringLiteral("800"));
    type(ui->verticalLinesCalc, QStringLiteral("600"));
    type(ui->refreshRateCalc, QStringLiteral("60"));
    ui->calculateDTD->click();
    const Timing calculated = record;
    type(ui->timingName, QStringLiteral("Lost"));
    dialog.show();
    dialog.accept();
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialogs.shown().value(0).title, QStringLiteral("Timing Not Saved"));
    QVERIFY(record.name.isEmpty());
    QCOMPARE(record.hTotal, calculated.hTotal);
    QVERIFY(names.isEmpty());
    QCOMPARE(QFile(timingsPath).size(), qint64(17)); // the broken file is kept as it was
}

void TestEdidDialogs::audioCodingRules()
{
    CustomAudioDialog dialog;
    Ui_CustomAudioDialog* ui = dialog.form();
    QCOMPARE(ui->audioCodingType->count(), 21);
    QCOMPARE(ui->audioCodingType->itemText(12), QStringLiteral("MAT (MLP)"));
    dialog.resetForm();
    QVERIFY(!ui->samplingFreqBox->isEnabled());

    dialog.audioCodingChanged(1);
    QVERIFY(ui->bitDepthBox->isEnabled());
    QVERIFY(!ui->maxBitRateFrame->isEnabled());
    ui->bitDepth24->setChecked(true);

    dialog.audioCodingChanged(2);
    QVERIFY(!ui->bitDepth24->isChecked());
    QVERIFY(ui->maxBitRateFrame->isEnabled());
    QVERIFY(ui->samplingFreqBox->isEnabled());

    for (int code : {18, 19}) {
        dialog.audioCodingChanged(code);
        QVERIFY(ui->mpsFrame->isEnabled());
        QVERIFY(ui->mpsImplicit->isChecked());
        QVERIFY(!ui->mpsImplicit->isEnabled());
        QVERIFY(ui->aacFrame->isEnabled());
    }
    dialog.audioCodingChanged(15);
    QVERIFY(!ui->mpsFrame->isEnabled());
    QVERIFY(!ui->mpsImplicit->isChecked());

    dialog.audioCodingChanged(0);
    QVERIFY(!ui->samplingFreqBox->isEnabled());
    QVERIFY(!ui->aacFrame->isEnabled());
}

void TestEdidDialogs::audioOkRule()
{
    CustomAudioDialog dialog;
    Ui_CustomAudioDialog* ui = dialog.form();
    QPushButton* ok = ui->audioButtonBox->button(QDialogButtonBox::Ok);
    dialog.resetForm();
    QTest::keyClicks(ui->audioName, QStringLiteral("Mine"));
    QVERIFY(!ok->isEnabled());
    ui->audioCodingType->setCurrentIndex(1);
    dialog.audioCodingChanged(1);
    QVERIFY(!ok->isEnabled());
    ui->audioChannels->setCurrentIndex(1);
    dialog.audioChannelsChanged(1);
    QVERIFY(ok->isEnabled());
    dialog.audioCodingChanged(0);
    QVERIFY(!ok->isEnabled());

    // A loaded format keeps its settings, but not its name or bit rate.
    AudioFormat loaded;
    loaded.type = 7;
    loaded.name = QStringLiteral("DTS");
    loaded.channels = 6;
    loaded.samplingFreqs = {44.1, 48};
    loaded.maxBitRate = 1536;
    dialog.resetForm();
    dialog.loadAudioFormat(&loaded);
    QCOMPARE(ui->audioCodingType->currentIndex(), 7);
    QCOMPARE(ui->audioChannels->currentText(), QStringLiteral("6"));
    QVERIFY(ui->sampFreq441->isChecked() && ui->sampFreq48->isChecked() && !ui->sampFreq32->isChecked());
    QVERIFY(ui->audioName->text().isEmpty());
    QVERIFY(ui->maxBitRate->text().isEmpty());
    QVERIFY(!ok->isEnabled());
}

void TestEdidDialogs::savedAudioFormatIsAppendedAndReRead()
{
    ScriptedDialogs::Scope scope(dialogs);
    AudioCatalogue catalogue;
    catalogue.names.insert(QStringLiteral("Shipped"));
    CustomAudioDialog dialog;
    dialog.setAudioFormatNames(&catalogue.names);
    dialog.setCatalogueFile(audioPath);
    Ui_CustomAudioDialog* ui = dialog.form();

    AudioFormat record;
    dialog.resetForm();
    dialog.loadAudioFormat(&record);
    ui->audioCodingType->setCurrentIndex(19);
    dialog.audioCodingChanged(19);
    ui->audioChannels->setCurrentIndex(5);
    dialog.audioChannelsChanged(5);
    ui->sampFreq48->setChecked(true);
    ui->sampFreq1764->setChecked(true);
    ui->aac1024->setChecked(true);
    ui->aac960->setChecked(true);
    ui->mpsExplicit->setChecked(true);

    type(ui->audioName, QStringLiteral("Shipped"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialogs.shown().value(0).title, QStringLiteral("Audio Format Name"));

    type(ui->audioName, QStringLiteral("Surround"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(record.type, 19);
    QCOMPARE(record.channels, 6);
    QCOMPARE(record.samplingFreqs, (QList<double>{48, 176.4}));
    QCOMPARE(record.audioFrameLength, (QList<int>{960, 1024}));
    QVERIFY(record.mpegSurroundExplicit);
    QVERIFY(catalogue.names.contains(QStringLiteral("Surround")));

    AudioCatalogue reread;
    QVERIFY(loadAudioCatalogue(audioPath, &reread));
    QCOMPARE(reread.formats.value(0), record);

    // A catalogue that cannot be written: said so, the dialog stays, the record keeps its value.
    QFile::remove(audioPath);
    QVERIFY(QDir().mkpath(audioPath)); // a folder where the file should be
    const AudioFormat before = record;
    dialog.resetForm();
    dialog.loadAudioFormat(&record);
    type(ui->audioName, QStringLiteral("Never stored"));
    dialog.show();
    dialog.accept();
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialogs.shown().last().title, QStringLiteral("Audio Format Not Saved"));
    QCOMPARE(record, before);
    QVERIFY(!catalogue.names.contains(QStringLiteral("Never stored")));
    QDir(audioPath).removeRecursively();
}

PLEXA_TEST_MAIN(TestEdidDialogs)
#include "tst_edid_dialogs.moc"

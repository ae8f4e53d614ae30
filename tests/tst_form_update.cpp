// The firmware and update pages of the main form: the widgets the firmware controllers and the
// update controller address, where they sit, what they say and the state they start in.
#include "appfonts.h"
#include "plexatest.h"
#include "formtestutil.h"
#include "resources.h"
#include "ui_mainui.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QScopeGuard>
#include <QProgressBar>
#include <QRadioButton>
#include <QTextDocument>

namespace {


// The caption the user reads on a widget: a label's or button's text, a group box's title,
// a line edit's contents.
QString caption(const QWidget* w)
{
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w))
        return g->title();
    if (auto* e = qobject_cast<const QLineEdit*>(w))
        return e->text();
    return QString();
}

const QStringList kPages{"firmwareTab", "firmwareTabSorvane", "firmwareTabROLVANE",
                         "updateConfigureTab", "updatetab2", "depUpdateTab"};
const char* const kBarImage = ":/images/Assets/barpicture.PNG";

} // namespace

class TestFormUpdate : public QObject
{
    Q_OBJECT

private:
    QMainWindow window;
    Ui_MainUI ui;

    template <typename T>
    T* find(const QString& name)
    {
        auto* w = window.findChild<T*>(name);
        if (!w)
            qWarning("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
        return w;
    }

private slots:
    void initTestCase()
    {
        initPlexaResources();
        installApplicationFonts();
        ui.setupUi(&window);
    }

    void widgets_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        const QRect inLayout;

        // The three firmware-file pages share one arrangement under their own prefixes.
        const QList<QPair<QString, QString>> firmwarePages{
            {"firmwareTab", "converter"}, {"firmwareTabSorvane", "sorvane"}, {"firmwareTabROLVANE", "rolvane"}};
        for (const auto& page : firmwarePages) {
            const QString p = page.second;
            auto row = [&](const QString& suffix, const char* cls, const QRect& r, const QString& text) {
                const QString name = p + suffix;
                QTest::newRow(qPrintable(name)) << name << cls << page.first << r << text;
            };
            row("FirmwareLabel", "QLabel", QRect(10, 20, 551, 33), "Firmware Update");
            row("FirmwareFile", "QLineEdit", QRect(40, 60, 471, 41),
                p == "rolvane" ? "Select File, Product Type, and Firmware Type" : "");
            row("FirmwareStatus", "QLineEdit", QRect(40, 110, 271, 41), "");
            row("FirmwareBrowse", "QPushButton", QRect(320, 110, 91, 41), "Browse");
            row("FirmwareUpdate", "QPushButton", QRect(420, 110, 91, 41), "Update");
            row("FirmwareBar", "QProgressBar", QRect(40, 160, 471, 21), "");
        }
        QTest::newRow("groupBox_4") << "groupBox_4" << "QGroupBox" << "firmwareTabROLVANE" << QRect(70, 210, 120, 80) << "Product Type";
        QTest::newRow("radioButton") << "radioButton" << "QRadioButton" << "groupBox_4" << QRect(10, 20, 82, 17) << "Sender";
        QTest::newRow("radioButton_2") << "radioButton_2" << "QRadioButton" << "groupBox_4" << QRect(10, 50, 82, 17) << "Receiver";
        QTest::newRow("groupBox_5") << "groupBox_5" << "QGroupBox" << "firmwareTabROLVANE" << QRect(240, 210, 120, 80) << "Firmware Type";
        QTest::newRow("radioButton_3") << "radioButton_3" << "QRadioButton" << "groupBox_5" << QRect(10, 20, 82, 17) << "APP";
        QTest::newRow("radioButton_4") << "radioButton_4" << "QRadioButton" << "groupBox_5" << QRect(10, 50, 82, 17) << "MAC";

        // updateConfigureTab
        QTest::newRow("updateProductName") << "updateProductName" << "QLabel" << "groupBox_12" << QRect(10, 5, 361, 21) << "Product:";
        QTest::newRow("updateMethod") << "updateMethod" << "QLabel" << "groupBox_9" << QRect(10, 0, 161, 31) << "Update Method:";
        QTest::newRow("updateCurrentFirmwareBox") << "updateCurrentFirmwareBox" << "QGroupBox" << "updateConfigureTab" << QRect(140, 50, 61, 31) << "";
        QTest::newRow("updateCurrentFirmware") << "updateCurrentFirmware" << "QLabel" << "updateCurrentFirmwareBox" << QRect(0, 0, 61, 31) << "";
        QTest::newRow("label_116") << "label_116" << "QLabel" << "groupBox_20" << QRect(10, 0, 101, 31) << "Latest Firmware";
        QTest::newRow("updateLatestFirmwareBox") << "updateLatestFirmwareBox" << "QGroupBox" << "updateConfigureTab" << QRect(330, 50, 61, 31) << "";
        QTest::newRow("updateLatestFirmware") << "updateLatestFirmware" << "QLabel" << "updateLatestFirmwareBox" << QRect(0, 0, 61, 31) << "";
        QTest::newRow("updateToggleStartupCheck") << "updateToggleStartupCheck" << "QPushButton" << "updateConfigureTab" << QRect(400, 50, 181, 31) << "Check at Startup";
        QTest::newRow("updateLastChecked") << "updateLastChecked" << "QLabel" << "groupBox_23" << QRect(10, 5, 361, 21) << "Last Checked:";
        QTest::newRow("updateCheckLatest") << "updateCheckLatest" << "QPushButton" << "updateConfigureTab" << QRect(400, 90, 181, 31) << "Check for Latest Update";
        QTest::newRow("updateNotes") << "updateNotes" << "QTextBrowser" << "updateConfigureTab" << QRect(10, 140, 571, 221) << "";
        QTest::newRow("updateOptionLabel") << "updateOptionLabel" << "QLabel" << "groupBox_21" << QRect(10, 30, 231, 31) << "None";
        QTest::newRow("updateOptionTwo") << "updateOptionTwo" << "QComboBox" << "groupBox_21" << QRect(248, 30, 171, 22) << "";
        QTest::newRow("updateOptionOne") << "updateOptionOne" << "QComboBox" << "groupBox_21" << QRect(428, 30, 131, 22) << "";
        QTest::newRow("updateConnectionLabel") << "updateConnectionLabel" << "QLabel" << "groupBox_19" << QRect(150, 0, 211, 31) << "";
        QTest::newRow("label_114") << "label_114" << "QLabel" << "groupBox_19" << QRect(10, 30, 271, 29) << "Download Latest Version to Velmo Plexa-T";
        QTest::newRow("updateDLPlx") << "updateDLPlx" << "QPushButton" << "groupBox_19" << QRect(380, 30, 181, 21) << "Start";
        QTest::newRow("barImage") << "barImage" << "QLabel" << "groupBox_19" << QRect(0, 59, 380, 33) << "";
        QTest::newRow("updateBarNumber") << "updateBarNumber" << "QLabel" << "groupBox_19" << QRect(315, 60, 51, 31) << "0%";
        QTest::newRow("updatePlxInstall") << "updatePlxInstall" << "QPushButton" << "groupBox_19" << QRect(380, 60, 181, 31) << "Install";
        QTest::newRow("updateBar") << "updateBar" << "QProgressBar" << "groupBox_19" << QRect(30, 70, 260, 10) << "";
        QTest::newRow("updateDownloadedLabel") << "updateDownloadedLabel" << "QLabel" << "groupBox_19" << QRect(150, 90, 231, 16) << "";
        QTest::newRow("updateDLComp") << "updateDLComp" << "QPushButton" << "groupBox_19" << QRect(380, 100, 181, 21) << "Save";
        QTest::newRow("updateBrowse") << "updateBrowse" << "QPushButton" << "groupBox_22" << QRect(380, 30, 181, 31) << "Browse";
        QTest::newRow("updateFilename") << "updateFilename" << "QLineEdit" << "groupBox_22" << QRect(10, 70, 351, 31) << "";
        QTest::newRow("updateFileInstall") << "updateFileInstall" << "QPushButton" << "groupBox_22" << QRect(380, 70, 181, 31) << "Install";

        // updatetab2: the same head, then the download/install box with the firmware folder
        QTest::newRow("updateProductName_2") << "updateProductName_2" << "QLabel" << "groupBox_13" << QRect(10, 5, 361, 21) << "Product:";
        QTest::newRow("updateMethod_2") << "updateMethod_2" << "QLabel" << "groupBox_10" << QRect(10, 0, 161, 31) << "Update Method:";
        QTest::newRow("updateCurrentFirmwareBox_2") << "updateCurrentFirmwareBox_2" << "QGroupBox" << "updatetab2" << QRect(140, 50, 61, 31) << "";
        QTest::newRow("updateCurrentFirmware_2") << "updateCurrentFirmware_2" << "QLabel" << "updateCurrentFirmwareBox_2" << QRect(0, 0, 61, 31) << "";
        QTest::newRow("label_133") << "label_133" << "QLabel" << "groupBox_25" << QRect(10, 0, 101, 31) << "Latest Firmware";
        QTest::newRow("updateLatestFirmwareBox_2") << "updateLatestFirmwareBox_2" << "QGroupBox" << "updatetab2" << QRect(330, 50, 61, 31) << "";
        QTest::newRow("updateLatestFirmware_2") << "updateLatestFirmware_2" << "QLabel" << "updateLatestFirmwareBox_2" << QRect(0, 0, 61, 31) << "";
        QTest::newRow("updateToggleStartupCheck_2") << "updateToggleStartupCheck_2" << "QPushButton" << "updatetab2" << QRect(400, 50, 181, 31) << "Check at Startup";
        QTest::newRow("updateLastChecked_2") << "updateLastChecked_2" << "QLabel" << "groupBox_26" << QRect(10, 5, 361, 21) << "Last Checked:";
        QTest::newRow("updateCheckLatest_2") << "updateCheckLatest_2" << "QPushButton" << "updatetab2" << QRect(400, 90, 181, 31) << "Check for Latest Update";
        QTest::newRow("updateNotes_2") << "updateNotes_2" << "QTextBrowser" << "updatetab2" << QRect(10, 130, 571, 221) << "";
        QTest::newRow("updateDLComp_2") << "updateDLComp_2" << "QPushButton" << "groupBox_24" << QRect(170, 20, 181, 31) << "Download";
        QTest::newRow("updatePlxInstall_2") << "updatePlxInstall_2" << "QPushButton" << "groupBox_24" << QRect(380, 20, 181, 31) << "Install";
        QTest::newRow("updateDownloadedLabel_2") << "updateDownloadedLabel_2" << "QLabel" << "groupBox_24" << QRect(150, 90, 231, 16) << "";
        QTest::newRow("updateBrowse_2") << "updateBrowse_2" << "QPushButton" << "groupBox_24" << QRect(380, 90, 181, 31) << "Browse";
        QTest::newRow("updateFilename_2") << "updateFilename_2" << "QLineEdit" << "groupBox_24" << QRect(10, 130, 351, 31) << "";
        QTest::newRow("updatePlxInstall_3") << "updatePlxInstall_3" << "QPushButton" << "groupBox_24" << QRect(380, 130, 181, 31) << "Install";
        QTest::newRow("label_132") << "label_132" << "QLabel" << "groupBox_24" << QRect(10, 161, 261, 29) << "Extracted firmware folder:";
        QTest::newRow("firmwareFolder") << "firmwareFolder" << "QLabel" << "groupBox_24" << QRect(10, 190, 551, 31) << "";
        QTest::newRow("barImage_2") << "barImage_2" << "QLabel" << "groupBox_24" << QRect(82, 235, 381, 51) << "";
        QTest::newRow("updateBarNumber_2") << "updateBarNumber_2" << "QLabel" << "groupBox_24" << QRect(399, 245, 51, 31) << "0%";
        QTest::newRow("updateBar_2") << "updateBar_2" << "QProgressBar" << "groupBox_24" << QRect(110, 250, 261, 20) << "";

        // depUpdateTab: boxes by geometry; the controls inside them sit in layouts (see gridCells)
        QTest::newRow("firmwareInstructionsLabel") << "firmwareInstructionsLabel" << "QLabel" << "groupBox_3" << inLayout
            << "<html><head/><body><p>1. Connect AC power to the unit and turn it ON.<br/>"
               "2. Connect an RS-232 cable between the unit and the computer.<br/>"
               "3. Select the product name and COM port below.<br/>4. Click Start.</p></body></html>";
        QTest::newRow("groupBox_3") << "groupBox_3" << "QGroupBox" << "depUpdateTab" << QRect(10, 10, 571, 261) << "";
        QTest::newRow("groupBox_2") << "groupBox_2" << "QGroupBox" << "depUpdateTab" << QRect(10, 280, 571, 241) << "";
        QTest::newRow("console") << "console" << "QPlainTextEdit" << "depUpdateTab" << QRect(10, 530, 571, 191) << "";
        QTest::newRow("progressBar") << "progressBar" << "QProgressBar" << "depUpdateTab" << QRect(10, 730, 571, 21) << "";
    }

    void widgets()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, parentName);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        auto* w = find<QWidget>(name);
        QVERIFY(w);
        QCOMPARE(QString(w->metaObject()->className()), className);
        QCOMPARE(::parentName(w), parentName);
        if (geometry.isValid())
            QCOMPARE(w->geometry(), geometry);
        QCOMPARE(caption(w), text);
    }

    void instructionsReadAsFourSteps()
    {
        QVERIFY(Qt::mightBeRichText(ui.firmwareInstructionsLabel->text()));
        QTextDocument doc;
        doc.setHtml(ui.firmwareInstructionsLabel->text());
        // one paragraph, its lines separated by line breaks
        QCOMPARE(doc.blockCount(), 1);
        const QStringList lines = doc.toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines, (QStringList{"1. Connect AC power to the unit and turn it ON.",
                                     "2. Connect an RS-232 cable between the unit and the computer.",
                                     "3. Select the product name and COM port below.",
                                     "4. Click Start."}));
    }

    // The serial firmware page: product and port choice, the download path and the file path.
    void gridCells_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("rowSpan");
        QTest::addColumn<int>("columnSpan");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("text");
        QTest::newRow("label_15") << "label_15" << 0 << 0 << 1 << 2 << "QLabel" << "Select Product";
        QTest::newRow("prodBox") << "prodBox" << 0 << 2 << 1 << 1 << "QComboBox" << "";
        QTest::newRow("label_19") << "label_19" << 1 << 0 << 1 << 1 << "QLabel" << "Select COM Port";
        QTest::newRow("portBox") << "portBox" << 1 << 2 << 1 << 1 << "QComboBox" << "";
        QTest::newRow("line_4") << "line_4" << 2 << 0 << 1 << 3 << "QFrame" << "";
        QTest::newRow("label_17") << "label_17" << 3 << 0 << 1 << 2 << "QLabel" << "Download & Install latest Firmware";
        QTest::newRow("startDownloadButton") << "startDownloadButton" << 3 << 2 << 1 << 1 << "QPushButton" << "Start";
        QTest::newRow("line") << "line" << 4 << 0 << 1 << 1 << "QFrame" << "";
        QTest::newRow("label_14") << "label_14" << 4 << 1 << 1 << 1 << "QLabel" << "OR";
        QTest::newRow("line_2") << "line_2" << 4 << 2 << 1 << 1 << "QFrame" << "";
        QTest::newRow("label_18") << "label_18" << 5 << 0 << 1 << 1 << "QLabel" << "Select File to Upload";
        QTest::newRow("browseButton") << "browseButton" << 5 << 2 << 1 << 1 << "QPushButton" << "Browse";
        QTest::newRow("fileName") << "fileName" << 6 << 0 << 1 << 1 << "QLineEdit" << "";
        QTest::newRow("startUploadButton") << "startUploadButton" << 6 << 2 << 1 << 1 << "QPushButton" << "Start";
    }

    void gridCells()
    {
        QFETCH(QString, name);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, rowSpan);
        QFETCH(int, columnSpan);
        QFETCH(QString, className);
        QFETCH(QString, text);
        auto* w = find<QWidget>(name);
        QVERIFY(w);
        QCOMPARE(QString(w->metaObject()->className()), className);
        QCOMPARE(w->parentWidget(), ui.groupBox_2);
        const int index = ui.gridLayout_2->indexOf(w);
        QVERIFY(index >= 0);
        int r, c, rs, cs;
        ui.gridLayout_2->getItemPosition(index, &r, &c, &rs, &cs);
        QCOMPARE(QList<int>({r, c, rs, cs}), QList<int>({row, column, rowSpan, columnSpan}));
        QCOMPARE(caption(w), text);
    }

    void gridDetails()
    {
        QCOMPARE(ui.gridLayout_2->columnCount(), 3);
        QCOMPARE(ui.gridLayout_2->rowCount(), 7);
        // the narrow middle column: a fixed 30 px gap before the upload button
        QLayoutItem* gap = ui.gridLayout_2->itemAtPosition(6, 1);
        QVERIFY(gap && gap->spacerItem());
        QCOMPARE(gap->sizeHint(), QSize(30, 20));
        QCOMPARE(gap->spacerItem()->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(gap->spacerItem()->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
        QCOMPARE(ui.startUploadButton->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
        QCOMPARE(ui.startUploadButton->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
        QCOMPARE(ui.label_14->alignment(), Qt::AlignCenter);
        for (QFrame* line : {ui.line_4, ui.line, ui.line_2}) {
            QCOMPARE(line->frameShape(), QFrame::HLine);
            QCOMPARE(line->frameShadow(), QFrame::Sunken);
        }
        // the two Start buttons are two objects with two jobs
        QVERIFY(ui.startDownloadButton != ui.startUploadButton);
        for (QLayout* l : {static_cast<QLayout*>(ui.gridLayout_2), static_cast<QLayout*>(ui.verticalLayout_4)}) {
            QCOMPARE(l->spacing(), 6);
            QCOMPARE(l->contentsMargins(), QMargins(11, 11, 11, 11));
        }
        QCOMPARE(ui.verticalLayout_4->indexOf(ui.firmwareInstructionsLabel), 0);
        QCOMPARE(ui.groupBox_2->title(), QString());
    }

    // Enabled state, placeholder and read-only flag of every line edit; a field the user may not
    // type into must ignore typing.
    void lineEdits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("placeholder");
        for (const char* p : {"converter", "sorvane", "rolvane"}) {
            const QString file = QString(p) + "FirmwareFile", status = QString(p) + "FirmwareStatus";
            QTest::newRow(qPrintable(file)) << file << false << false << "Select File";
            QTest::newRow(qPrintable(status)) << status << false << false << "";
        }
        QTest::newRow("updateFilename") << "updateFilename" << true << true << "...";
        QTest::newRow("updateFilename_2") << "updateFilename_2" << true << true << "...";
        QTest::newRow("fileName") << "fileName" << true << true << "";
    }

    void lineEdits()
    {
        QFETCH(QString, name);
        QFETCH(bool, enabled);
        QFETCH(bool, readOnly);
        QFETCH(QString, placeholder);
        auto* e = find<QLineEdit>(name);
        QVERIFY(e);
        QCOMPARE(e->isEnabled(), enabled);
        QCOMPARE(e->isReadOnly(), readOnly);
        QCOMPARE(e->placeholderText(), placeholder);
        const QString before = e->text();
        QTest::keyClicks(e, "C:/fw.bin");
        QCOMPARE(e->text(), before);
    }

    void buttonStates_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("checkable");
        // the download and install paths open only once the controller knows the product
        for (const char* n : {"updateDLPlx", "updatePlxInstall", "updateDLComp", "updateBrowse", "updateFileInstall"})
            QTest::newRow(n) << n << false << false;
        // on the second update page the page-set builders switch the buttons themselves
        for (const char* n : {"updateDLComp_2", "updatePlxInstall_2", "updateBrowse_2", "updatePlxInstall_3",
                              "updateCheckLatest", "updateCheckLatest_2"})
            QTest::newRow(n) << n << true << false;
        QTest::newRow("updateToggleStartupCheck") << "updateToggleStartupCheck" << true << true;
        QTest::newRow("updateToggleStartupCheck_2") << "updateToggleStartupCheck_2" << true << true;
        for (const char* p : {"converter", "sorvane", "rolvane"}) {
            for (const char* s : {"FirmwareBrowse", "FirmwareUpdate"}) {
                const QString n = QString(p) + s;
                QTest::newRow(qPrintable(n)) << n << true << false;
            }
        }
        for (const char* n : {"startDownloadButton", "browseButton", "startUploadButton"})
            QTest::newRow(n) << n << true << false;
    }

    void buttonStates()
    {
        QFETCH(QString, name);
        QFETCH(bool, enabled);
        QFETCH(bool, checkable);
        auto* b = find<QAbstractButton>(name);
        QVERIFY(b);
        QCOMPARE(b->isEnabled(), enabled);
        QCOMPARE(b->isCheckable(), checkable);
        QVERIFY(!b->isChecked());
    }

    // Product type and firmware type are two independent choices: picking one of each keeps
    // both, picking the other of a pair drops the first.
    void rolvaneChoicesAreTwoPairs()
    {
        const QList<QRadioButton*> all{ui.radioButton, ui.radioButton_2, ui.radioButton_3, ui.radioButton_4};
        for (auto* r : all)
            QVERIFY2(!r->isChecked(), qPrintable(r->objectName()));
        ui.radioButton->click();
        ui.radioButton_4->click();
        QVERIFY(ui.radioButton->isChecked());
        QVERIFY(ui.radioButton_4->isChecked());
        ui.radioButton_2->click();
        ui.radioButton_3->click();
        QVERIFY(!ui.radioButton->isChecked());
        QVERIFY(ui.radioButton_2->isChecked());
        QVERIFY(ui.radioButton_3->isChecked());
        QVERIFY(!ui.radioButton_4->isChecked());
        for (auto* r : all)
            QVERIFY(!r->group());
        // leave the form as built for the tests that follow
        for (auto* r : all) {
            r->setAutoExclusive(false);
            r->setChecked(false);
            r->setAutoExclusive(true);
        }
    }

    void progressBars_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("textVisible");
        for (const char* p : {"converter", "sorvane", "rolvane"}) {
            const QString n = QString(p) + "FirmwareBar";
            QTest::newRow(qPrintable(n)) << n << 0 << true;
        }
        // the percentage of these two stands in a label beside them
        QTest::newRow("updateBar") << "updateBar" << 0 << false;
        QTest::newRow("updateBar_2") << "updateBar_2" << 0 << false;
        QTest::newRow("progressBar") << "progressBar" << 24 << true;
    }

    void progressBars()
    {
        QFETCH(QString, name);
        QFETCH(int, value);
        QFETCH(bool, textVisible);
        auto* bar = find<QProgressBar>(name);
        QVERIFY(bar);
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QCOMPARE(bar->value(), value);
        QCOMPARE(bar->isTextVisible(), textVisible);
        QVERIFY(bar->isEnabled());
    }

    // The controllers fill these; the form leaves them empty.
    void combosStartEmpty()
    {
        for (QComboBox* c : {ui.prodBox, ui.portBox, ui.updateOptionOne, ui.updateOptionTwo})
            QVERIFY2(c->count() == 0, qPrintable(c->objectName()));
    }

    void barPictures()
    {
        QVERIFY2(QFile::exists(kBarImage), "the resource bundle lacks the bar picture");
        const QImage expected = QImage(kBarImage).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (QLabel* l : {ui.barImage, ui.barImage_2}) {
            const QPixmap shown = l->pixmap(Qt::ReturnByValue);
            QVERIFY2(!shown.isNull(), qPrintable(l->objectName()));
            QCOMPARE(shown.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), expected);
            QCOMPARE(l->alignment(), Qt::AlignCenter);
        }
        // the bars are drawn over their picture, not hidden under it
        QVERIFY(ui.groupBox_19->children().indexOf(ui.updateBar) > ui.groupBox_19->children().indexOf(ui.barImage));
        QVERIFY(ui.groupBox_24->children().indexOf(ui.updateBar_2) > ui.groupBox_24->children().indexOf(ui.barImage_2));
    }

    void fonts()
    {
        for (QLabel* l : {ui.label_116, ui.label_133})
            QCOMPARE(l->font().pointSize(), 8);
        for (QLabel* l : {ui.updateDownloadedLabel, ui.updateDownloadedLabel_2}) {
            QCOMPARE(l->font().family(), QStringLiteral("MS Shell Dlg 2"));
            QCOMPARE(l->font().pointSize(), 6);
            QVERIFY(!l->font().bold());
        }
    }

    // Each page as shown in the application style: its captions fit, nothing overlaps and nothing
    // is cut off by its parent.
    void captionsFit_data()
    {
        QTest::addColumn<QString>("page");
        for (const QString& p : kPages)
            QTest::newRow(qPrintable(p)) << p;
    }

    void captionsFit()
    {
        QFETCH(QString, page);
        auto* root = find<QWidget>(page);
        QVERIFY(root);
        qApp->setStyleSheet(plexaStyleSheet());
        QVERIFY(!qApp->styleSheet().isEmpty());
        const auto restore = qScopeGuard([this] {
            window.hide();
            qApp->setStyleSheet(QString());
        });
        bringToFront(root);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        settleLayouts(root);
        VERIFY_RENDERS_CLEAN(renderFaults(root, mainFormRenderExceptions()));
    }
};

PLEXA_TEST_MAIN(TestFormUpdate)
#include "tst_form_update.moc"

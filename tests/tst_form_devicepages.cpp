// The booster, link-status and device-EDID pages of the Configure tab as the form builds them:
// the widgets their controllers address, where they sit, their item lists (whose indexes are the
// device's codes) and the states they start in.
#include "plexatest.h"
#include "formtestutil.h"
#include "resources.h"
#include "ui_mainui.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableWidget>
#include <QTextBrowser>
#include <qcustomplot.h>

class TestFormDevicePages : public QObject
{
    Q_OBJECT

private:
    QMainWindow window;
    Ui_MainUI ui;


    static QString textOf(const QWidget* w)
    {
        if (auto* b = qobject_cast<const QAbstractButton*>(w))
            return b->text();
        if (auto* l = qobject_cast<const QLabel*>(w))
            return l->text();
        if (auto* g = qobject_cast<const QGroupBox*>(w))
            return g->title();
        return QString();
    }

    static QStringList itemsOf(const QComboBox* c)
    {
        QStringList list;
        for (int i = 0; i < c->count(); ++i)
            list << c->itemText(i);
        return list;
    }

private slots:
    void initTestCase()
    {
        initPlexaResources();
        ui.setupUi(&window);
    }

    // Every widget a controller or the page-set builders address: class, parent, rectangle
    // (for widgets placed by fixed geometry), caption and initial enabled and checkable state.
    void widgets_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("checkable");
        const QRect inLayout;
        auto row = [](const char* name, const char* cls, const char* parent, QRect geometry, const char* text = "",
                      bool enabled = true, bool checkable = false) {
            QTest::newRow(name) << name << cls << parent << geometry << text << enabled << checkable;
        };

        // Booster page: four stacked parts shown or hidden per family.
        row("ddcFrame", "QFrame", "boosterTab", QRect(10, 20, 541, 51));
        row("layoutWidget_4", "QWidget", "ddcFrame", QRect(0, 10, 541, 32));
        row("ddcLabel", "QLabel", "layoutWidget_4", inLayout, "DDC Mode");
        row("ddcmodeDropdown", "QComboBox", "layoutWidget_4", inLayout);
        row("configTabMessage", "QLabel", "boosterTab", QRect(10, 30, 541, 31), "Please select a product to configure.");
        row("boosterFrame", "QFrame", "boosterTab", QRect(10, 70, 541, 331));
        row("layoutWidget", "QWidget", "boosterFrame", QRect(0, 0, 541, 311));
        row("eqLabel", "QLabel", "layoutWidget", inLayout, "Equalization (in dB)");
        row("eqDropdown", "QComboBox", "layoutWidget", inLayout);
        row("deemphasisLabel", "QLabel", "layoutWidget", inLayout, "De-emphasis control (in dB)");
        row("deemphasisDropdown", "QComboBox", "layoutWidget", inLayout);
        // On/off switches are checkable push buttons, whatever their names say.
        row("cdrCheckbox", "QPushButton", "layoutWidget", inLayout, "Enable CDR Bypass", true, true);
        row("maskCheckbox", "QPushButton", "layoutWidget", inLayout, "Disable Video Output", true, true);
        row("boosterTextPanel", "QTextBrowser", "layoutWidget", inLayout);
        row("vstatButton", "QPushButton", "layoutWidget", inLayout, "Show Video Status");
        row("eqButton", "QPushButton", "layoutWidget", inLayout, "Show EQ Status");
        row("configTabLogo", "QLabel", "boosterTab", QRect(10, 100, 541, 241));

        // Link status page.
        row("exStatusStart", "QPushButton", "statusTab", QRect(20, 10, 75, 23), "Start");
        row("exStatusReset", "QPushButton", "statusTab", QRect(100, 10, 75, 23), "Reset");
        row("label_51", "QLabel", "statusTab", QRect(180, 10, 70, 21), "Max Interval");
        row("exStatusInterval", "QComboBox", "statusTab", QRect(250, 10, 91, 22));
        row("exPinoutButton", "QPushButton", "statusTab", QRect(346, 10, 95, 23), "Channel Config");
        row("label_61", "QLabel", "statusTab", QRect(446, 10, 40, 20), "TMDS");
        row("groupBox_17", "QGroupBox", "statusTab", QRect(490, 10, 91, 21));
        row("exTMDSValue", "QLabel", "groupBox_17", QRect(10, 0, 81, 20), "0 MHz");
        row("line_5", "QFrame", "statusTab", QRect(10, 30, 571, 16));
        row("label_50", "QLabel", "statusTab", QRect(20, 39, 131, 21), "Link Quality");
        row("exStatusPlot", "QCustomPlot", "statusTab", QRect(10, 60, 571, 151));
        row("channelAHide", "QPushButton", "statusTab", QRect(50, 220, 81, 23), "Channel A", true, true);
        row("channelBHide", "QPushButton", "statusTab", QRect(190, 220, 81, 23), "Channel B", true, true);
        row("channelCHide", "QPushButton", "statusTab", QRect(340, 220, 81, 23), "Channel C", true, true);
        row("channelDHide", "QPushButton", "statusTab", QRect(480, 220, 81, 23), "Channel D", true, true);
        row("channelAValueBox", "QGroupBox", "statusTab", QRect(40, 250, 101, 21));
        row("channelAValue", "QLabel", "channelAValueBox", QRect(0, 0, 101, 21), "0");
        row("channelBValueBox", "QGroupBox", "statusTab", QRect(180, 250, 101, 21));
        row("channelBValue", "QLabel", "channelBValueBox", QRect(0, 0, 101, 21), "0");
        row("channelCValueBox", "QGroupBox", "statusTab", QRect(330, 250, 101, 21));
        row("channelCValue", "QLabel", "channelCValueBox", QRect(0, 0, 101, 21), "0");
        row("channelDValueBox", "QGroupBox", "statusTab", QRect(470, 250, 101, 21));
        row("channelDValue", "QLabel", "channelDValueBox", QRect(0, 0, 101, 21), "0");
        row("line_6", "QFrame", "statusTab", QRect(10, 270, 571, 16));
        row("exStatusPlotLabel2", "QLabel", "statusTab", QRect(20, 280, 211, 16));
        row("exStatusPlot2", "QCustomPlot", "statusTab", QRect(10, 300, 571, 151));
        row("channelAHide2", "QPushButton", "statusTab", QRect(50, 460, 81, 23), "Channel A", true, true);
        row("channelBHide2", "QPushButton", "statusTab", QRect(190, 460, 75, 23), "Channel B", true, true);
        row("channelCHide2", "QPushButton", "statusTab", QRect(340, 460, 81, 23), "Channel C", true, true);
        row("channelDHide2", "QPushButton", "statusTab", QRect(474, 460, 91, 23), "Channel D", true, true);
        row("channelAValue2Box", "QGroupBox", "statusTab", QRect(40, 490, 101, 21));
        row("channelAValue2", "QLabel", "channelAValue2Box", QRect(0, 0, 101, 21), "0");
        row("channelBValue2Box", "QGroupBox", "statusTab", QRect(180, 490, 101, 21));
        row("channelBValue2", "QLabel", "channelBValue2Box", QRect(0, 0, 101, 21), "0");
        row("channelCValue2Box", "QGroupBox", "statusTab", QRect(330, 490, 101, 21));
        row("channelCValue2", "QLabel", "channelCValue2Box", QRect(0, 0, 101, 21), "0");
        row("channelDValue2Box", "QGroupBox", "statusTab", QRect(470, 490, 101, 21));
        row("channelDValue2", "QLabel", "channelDValue2Box", QRect(0, 0, 101, 21), "0");
        row("horizontalLineForStatusLog", "QFrame", "statusTab", QRect(20, 510, 571, 16));
        row("exStatusTable", "QTableWidget", "statusTab", QRect(20, 530, 551, 141));
        row("exStatusHelpButton", "QPushButton", "statusTab", QRect(30, 680, 241, 23), "How To Use This");
        // Nothing to clear or save until a log exists.
        row("exStatusClearLog", "QPushButton", "statusTab", QRect(320, 680, 111, 23), "Clear Log", false);
        row("exStatusDownloadLog", "QPushButton", "statusTab", QRect(450, 680, 111, 23), "Download Log", false);

        // Device EDID page.
        row("label_29", "QLabel", "edidConfigureTab", QRect(30, 20, 111, 16), "Version Info");
        row("versionInfo", "QTextBrowser", "edidConfigureTab", QRect(30, 40, 281, 101));
        row("label_109", "QLabel", "edidConfigureTab", QRect(30, 150, 521, 20));
        row("previewDownloadFrame", "QFrame", "edidConfigureTab", QRect(30, 180, 551, 42));
        row("layoutWidget_45", "QWidget", "previewDownloadFrame", QRect(10, 5, 364, 32));
        row("selectEDIDFromDevice", "QComboBox", "layoutWidget_45", inLayout);
        row("downloadButton", "QPushButton", "layoutWidget_45", inLayout, "Save As");
        row("openEDIDFromDevice", "QPushButton", "layoutWidget_45", inLayout, "View");
        row("sorvaneBox", "QGroupBox", "edidConfigureTab", QRect(30, 260, 551, 161));
        row("label_90", "QLabel", "sorvaneBox", inLayout, "Upload EDID to");
        row("uploadToDropdown", "QComboBox", "sorvaneBox", inLayout);
        row("uploadFilename", "QLineEdit", "sorvaneBox", inLayout, "", false);
        row("uploadBrowse", "QPushButton", "sorvaneBox", inLayout, "Browse");
        row("uploadButton", "QPushButton", "sorvaneBox", inLayout, "Upload");
        row("label_91", "QLabel", "sorvaneBox", inLayout, "Copy EDID from");
        row("copyFromDropdown", "QComboBox", "sorvaneBox", inLayout);
        row("label_89", "QLabel", "sorvaneBox", inLayout, "to");
        row("copyToDropdown", "QComboBox", "sorvaneBox", inLayout);
        row("copyButton", "QPushButton", "sorvaneBox", inLayout, "Copy");
        row("scalerEDIDBox", "QGroupBox", "edidConfigureTab", QRect(30, 440, 551, 233));
        row("label_93", "QLabel", "scalerEDIDBox", QRect(10, 5, 531, 30),
            "From the \"Select EDID from Device\" dropdown, choose the input to configure the EDID mode.");
        row("label_92", "QLabel", "scalerEDIDBox", QRect(10, 37, 100, 23), "EDID Mode");
        row("refreshEDIDModes", "QPushButton", "scalerEDIDBox", QRect(404, 37, 131, 23), "Refresh EDID Mode");
        row("verticalLayoutWidget_2", "QWidget", "scalerEDIDBox", QRect(10, 62, 531, 161));
        row("scalerEDIDFrame", "QFrame", "verticalLayoutWidget_2", inLayout);
        row("edidInputFrame", "QFrame", "verticalLayoutWidget_2", inLayout);
    }

    void widgets()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, parentName);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        QFETCH(bool, checkable);
        auto* w = window.findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(QString(w->metaObject()->className()), className);
        QCOMPARE(::parentName(w), parentName);
        if (geometry.isValid())
            QCOMPARE(w->geometry(), geometry);
        QCOMPARE(textOf(w), text);
        QCOMPARE(w->isEnabled(), enabled);
        auto* b = qobject_cast<QAbstractButton*>(w);
        QCOMPARE(b && b->isCheckable(), checkable);
        if (b)
            QVERIFY(!b->isChecked());
    }

    // Item lists in the device's order of codes: the controllers send or read the index.
    void itemLists_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("items");
        const QStringList banks{"Bank 1", "Bank 2", "Bank 3", "Bank 4", "Bank 5", "Bank 6"};
        QTest::newRow("ddcmodeDropdown") << "ddcmodeDropdown"
            << QStringList{"Local EDID HDCP Enable", "Local EDID HDCP Disable", "EDID Pass Through HDCP Enable"};
        QTest::newRow("eqDropdown") << "eqDropdown"
            << QStringList{"0 (default)", "10", "16", "19", "23", "25", "26", "27"};
        QTest::newRow("deemphasisDropdown") << "deemphasisDropdown" << QStringList{"0 (default)", "-3", "-6", "-9"};
        QTest::newRow("exStatusInterval") << "exStatusInterval"
            << QStringList{"10 Seconds", "30 Seconds", "1 Minute", "3 Minutes", "5 Minutes", "10 Minutes",
                           "30 Minutes", "1 Hour"};
        // Only the prompt: index 0 means no EDID chosen, the controllers append the sources.
        QTest::newRow("selectEDIDFromDevice") << "selectEDIDFromDevice" << QStringList{"Select EDID From Device"};
        QTest::newRow("uploadToDropdown") << "uploadToDropdown" << QStringList{"Local EDID"} + banks;
        QTest::newRow("copyFromDropdown") << "copyFromDropdown" << QStringList{"Down Stream"} + banks;
        QTest::newRow("copyToDropdown") << "copyToDropdown" << QStringList{"Local EDID"} + banks;
    }

    void itemLists()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, items);
        auto* c = window.findChild<QComboBox*>(name);
        QVERIFY2(c, qPrintable(name));
        QCOMPARE(itemsOf(c), items);
        QCOMPARE(c->currentIndex(), 0);
    }

    // Positions inside the layouts: grids by cell, rows and columns by order.
    void layoutCells_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("rowSpan");
        QTest::addColumn<int>("columnSpan");
        auto cell = [](const char* layout, const char* name, int row, int column, int rowSpan = 1, int columnSpan = 1) {
            QTest::newRow(name) << layout << name << row << column << rowSpan << columnSpan;
        };
        cell("gridLayout_9", "eqLabel", 0, 0);
        cell("gridLayout_9", "eqDropdown", 0, 1);
        cell("gridLayout_9", "deemphasisLabel", 1, 0);
        cell("gridLayout_9", "deemphasisDropdown", 1, 1);
        cell("gridLayout_9", "cdrCheckbox", 2, 0);
        cell("gridLayout_9", "maskCheckbox", 2, 1);
        cell("gridLayout_9", "boosterTextPanel", 4, 0, 1, 2);
        cell("gridLayout_9", "vstatButton", 5, 0);
        cell("gridLayout_9", "eqButton", 5, 1);
        cell("gridLayout_15", "label_90", 0, 0);
        cell("gridLayout_15", "uploadToDropdown", 0, 1);
        cell("gridLayout_15", "uploadFilename", 0, 2, 1, 3);
        cell("gridLayout_15", "uploadBrowse", 0, 5);
        cell("gridLayout_15", "uploadButton", 0, 6);
        cell("gridLayout_15", "label_91", 1, 0);
        cell("gridLayout_15", "copyFromDropdown", 1, 1);
        cell("gridLayout_15", "label_89", 1, 2);
        cell("gridLayout_15", "copyToDropdown", 1, 3);
        cell("gridLayout_15", "copyButton", 1, 5);
        // Row and column layouts: the row is the item's index.
        cell("horizontalLayout_5", "ddcLabel", 0, -1);
        cell("horizontalLayout_5", "ddcmodeDropdown", 1, -1);
        cell("horizontalLayout_11", "selectEDIDFromDevice", 0, -1);
        cell("horizontalLayout_11", "downloadButton", 1, -1);
        cell("horizontalLayout_11", "openEDIDFromDevice", 2, -1);
        cell("verticalLayout_12", "scalerEDIDFrame", 0, -1);
        cell("verticalLayout_12", "edidInputFrame", 1, -1);
    }

    void layoutCells()
    {
        QFETCH(QString, layout);
        QFETCH(QString, name);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, rowSpan);
        QFETCH(int, columnSpan);
        auto* l = window.findChild<QLayout*>(layout);
        QVERIFY2(l, qPrintable(layout));
        auto* w = window.findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        const int index = l->indexOf(w);
        QVERIFY2(index >= 0, "not an item of the layout");
        if (auto* grid = qobject_cast<QGridLayout*>(l)) {
            int r, c, rs, cs;
            grid->getItemPosition(index, &r, &c, &rs, &cs);
            QCOMPARE(QList<int>({r, c, rs, cs}), QList<int>({row, column, rowSpan, columnSpan}));
        } else {
            QCOMPARE(index, row);
        }
    }

    void layoutCounts()
    {
        QCOMPARE(ui.horizontalLayout_5->count(), 2);
        QCOMPARE(ui.gridLayout_9->count(), 9);
        QCOMPARE(ui.horizontalLayout_11->count(), 3);
        QCOMPARE(ui.gridLayout_15->count(), 10);
        // The scaler's EDID-mode choices go into two empty frames and one empty row at run time.
        QCOMPARE(ui.verticalLayout_12->count(), 3);
        QCOMPARE(ui.verticalLayout_12->itemAt(2)->layout(), ui.lockedidLayout);
        QCOMPARE(ui.lockedidLayout->count(), 0);
        QVERIFY(ui.scalerEDIDFrame->children().isEmpty());
        QVERIFY(ui.edidInputFrame->children().isEmpty());
    }

    void toolTips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("toolTip");
        const char* ddc = "Enable / disable HDCP with local EDID or use EDID pass-through (HDCP enabled)";
        const char* eq = "Use higher gain settings with long cables and low gain settings when using short cables";
        const char* de = "Sets output de-emphasis to improve performance when long cables are used on input";
        QTest::newRow("ddcLabel") << "ddcLabel" << ddc;
        QTest::newRow("ddcmodeDropdown") << "ddcmodeDropdown" << ddc;
        QTest::newRow("eqLabel") << "eqLabel" << eq;
        QTest::newRow("eqDropdown") << "eqDropdown" << eq;
        QTest::newRow("deemphasisLabel") << "deemphasisLabel" << de;
        QTest::newRow("deemphasisDropdown") << "deemphasisDropdown" << de;
        QTest::newRow("cdrCheckbox") << "cdrCheckbox"
            << "Enable CDR (Clock Data Recovery) Bypass if you experience lengthy video recovery delays when "
               "switching frequencies and/or resolutions.";
        QTest::newRow("maskCheckbox") << "maskCheckbox" << "Mask the video output.";
        QTest::newRow("vstatButton") << "vstatButton" << "Show the video status in the panel at the top right.";
        QTest::newRow("eqButton") << "eqButton" << "Show the EQ status in the panel at the top right.";
        QTest::newRow("selectEDIDFromDevice") << "selectEDIDFromDevice"
            << "Select an EDID from the sorvane device or a connected display.";
        QTest::newRow("downloadButton") << "downloadButton" << "Download selected EDID.";
        QTest::newRow("openEDIDFromDevice") << "openEDIDFromDevice" << "";
        QTest::newRow("uploadToDropdown") << "uploadToDropdown" << "Select a location where you want to upload the EDID.";
        QTest::newRow("uploadFilename") << "uploadFilename" << "Displays the path to the EDID file to be uploaded.";
        QTest::newRow("uploadBrowse") << "uploadBrowse" << "Browse your local file system for an EDID file to upload.";
        QTest::newRow("uploadButton") << "uploadButton" << "Upload the EDID file to the selected location on the device.";
        QTest::newRow("copyFromDropdown") << "copyFromDropdown" << "Select an EDID from the sorvane device to copy from.";
        QTest::newRow("copyToDropdown") << "copyToDropdown" << "Select an EDID from the sorvane device to copy to.";
        QTest::newRow("copyButton") << "copyButton"
            << "Copy the EDID from the selected source to the selected destination.";
    }

    void toolTips()
    {
        QFETCH(QString, name);
        QFETCH(QString, toolTip);
        auto* w = window.findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(w->toolTip(), toolTip);
    }

    void styles()
    {
        QCOMPARE(ui.versionInfo->font().pointSize(), 10);
        QCOMPARE(ui.versionInfo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(ui.label_93->font().bold());
        QVERIFY(ui.label_93->wordWrap());
        // The status page's separators are drawn as sunken horizontal lines.
        for (QFrame* line : {ui.line_5, ui.line_6, ui.horizontalLineForStatusLog}) {
            QCOMPARE(line->frameShape(), QFrame::HLine);
            QCOMPARE(line->frameShadow(), QFrame::Sunken);
        }

        // what the application style sheet gives the booster page's message and text panel
        qApp->setStyleSheet(plexaStyleSheet());
        const auto restore = qScopeGuard([] { qApp->setStyleSheet(QString()); });
        ui.configTabMessage->ensurePolished();
        QCOMPARE(ui.configTabMessage->font().pixelSize(), 15);
        QVERIFY(ui.configTabMessage->font().bold());
        for (QWidget* w : {static_cast<QWidget*>(ui.boosterTextPanel), ui.boosterTextPanel->viewport()}) {
            w->ensurePolished();
            QCOMPARE(w->font().family(), QStringLiteral("Courier"));
            QCOMPARE(w->font().pointSize(), 11);
        }
    }

    void logoFromResources()
    {
        QVERIFY2(QFile::exists(QStringLiteral(":/images/Assets/Plexa_T_Logo.png")), "logo missing from the resources");
        const QPixmap logo = ui.configTabLogo->pixmap(Qt::ReturnByValue);
        QVERIFY(!logo.isNull());
        QCOMPARE(logo.size(), QPixmap(QStringLiteral(":/images/Assets/Plexa_T_Logo.png")).size());
    }

    void statusLog()
    {
        QTableWidget* t = ui.exStatusTable;
        QCOMPARE(t->rowCount(), 0);
        QStringList headers;
        for (int i = 0; i < t->columnCount(); ++i)
            headers << t->horizontalHeaderItem(i)->text();
        QCOMPARE(headers, QStringList({"Date", "Time", "Type", "Ch", "Value"}));
        // The plots are empty until the link monitor draws into them.
        for (QCustomPlot* plot : {ui.exStatusPlot, ui.exStatusPlot2})
            QCOMPARE(plot->graphCount(), 0);
    }
};

PLEXA_TEST_MAIN(TestFormDevicePages)
#include "tst_form_devicepages.moc"

// The scaler pages of the main form (output, picture, adjust, system, test patterns, timings and
// the two-output scaler's controls): the widgets the scaler and converter controllers address,
// where they sit, their ranges and limits, the button groups, and how the pages look with the
// application style sheet.
#include "appfonts.h"
#include "plexatest.h"
#include "formtestutil.h"
#include "resources.h"
#include "ui_mainui.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScopeGuard>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>

namespace {

struct NamedClass
{
    const char* name;
    const char* className;
};

struct PageObjects
{
    const char* page;
    QVector<NamedClass> objects;
};

// Every named widget and layout of the scaler pages, page by page, with its class.
const QVector<PageObjects> kPageObjects{
    {"outputTab",
     {{"verticalLayout_6", "QVBoxLayout"}, {"outputResolutionHeader", "QFrame"}, {"gridLayout_22", "QGridLayout"},
      {"outputResolutionLabel", "QLabel"}, {"scalerOutputRes", "QLineEdit"}, {"refreshOutput", "QPushButton"},
      {"outputResolutionFrame", "QFrame"}, {"colorSpaceLabel", "QLabel"}, {"colorSpaceFrame", "QFrame"},
      {"outputModeLabel", "QLabel"}, {"outputModeFrame", "QFrame"}, {"outputLockLabel", "QLabel"},
      {"outputLockFrame", "QFrame"}}},
    {"pictureTab",
     {{"gridLayout_14", "QGridLayout"}, {"refreshPicture", "QPushButton"}, {"label_34", "QLabel"},
      {"contrastText", "QLineEdit"}, {"contrastSlider", "QSlider"}, {"label_35", "QLabel"},
      {"brightnessText", "QLineEdit"}, {"brightnessSlider", "QSlider"}, {"label_36", "QLabel"},
      {"saturationText", "QLineEdit"}, {"saturationSlider", "QSlider"}, {"label_43", "QLabel"},
      {"hueText", "QLineEdit"}, {"hueSlider", "QSlider"}, {"label_45", "QLabel"}, {"sharpnessText", "QLineEdit"},
      {"sharpnessSlider", "QSlider"}, {"colorRangeLabel", "QLabel"}, {"colorRangeFrame", "QFrame"},
      {"colorTempLabel", "QLabel"}, {"colorTempFrame", "QFrame"}, {"colorBalanceLabel", "QLabel"},
      {"label_52", "QLabel"}, {"redText", "QLineEdit"}, {"redSlider", "QSlider"}, {"label_58", "QLabel"},
      {"greenText", "QLineEdit"}, {"greenSlider", "QSlider"}, {"label_53", "QLabel"}, {"blueText", "QLineEdit"},
      {"blueSlider", "QSlider"}, {"edgeEnhancementLabel", "QLabel"}, {"edgeEnhanceFrame", "QFrame"}}},
    {"adjustTab",
     {{"gridLayout_13", "QGridLayout"}, {"refreshAdjust", "QPushButton"}, {"label_62", "QLabel"},
      {"scanText", "QLineEdit"}, {"scanSlider", "QSlider"}, {"aspectRatioLabel", "QLabel"},
      {"aspectRatioFrame", "QFrame"}, {"mirrorLabel", "QLabel"}, {"mirrorFrame", "QFrame"},
      {"horizontalLayout_6", "QHBoxLayout"}, {"horizontalMirror", "QPushButton"},
      {"verticalMirror", "QPushButton"}, {"label_64", "QLabel"}, {"horizontalShiftText", "QLineEdit"},
      {"horizontalShiftSlider", "QSlider"}, {"label_63", "QLabel"}, {"verticalShiftText", "QLineEdit"},
      {"verticalShiftSlider", "QSlider"}, {"label_65", "QLabel"}, {"phaseAuto", "QPushButton"},
      {"phaseText", "QLineEdit"}, {"phaseSlider", "QSlider"}}},
    {"systemTab",
     {{"refreshSystem", "QPushButton"}, {"osdTimeoutButton", "QPushButton"}, {"osdTimeoutSpinBox", "QSpinBox"},
      {"label_106", "QLabel"}, {"label_101", "QLabel"}, {"label_102", "QLabel"}, {"displayNotify", "QPushButton"},
      {"scalerInputRes", "QLineEdit"}, {"label_103", "QLabel"}, {"inputselectframe", "QFrame"},
      {"inputselectlabel", "QLabel"}, {"scalerFactoryReset", "QPushButton"}, {"scalerReboot", "QPushButton"},
      {"scalerExportSettings", "QPushButton"}, {"scalerImportSettings", "QPushButton"},
      {"firmwareUpdateInstructions", "QLabel"}}},
    {"testPatternTab",
     {{"verticalLayout_8", "QVBoxLayout"}, {"refreshTestPatterns", "QPushButton"}, {"testPatternFrame", "QFrame"}}},
    {"timingTab",
     {{"verticalLayout_9", "QVBoxLayout"}, {"refreshTimings", "QPushButton"}, {"timingPresets", "QTabWidget"}}},
    {"scaler12controlsTab",
     {{"gridLayoutWidget_4", "QWidget"}, {"gridLayout_18", "QGridLayout"}, {"out1_2", "QLabel"},
      {"line_7", "QFrame"}, {"hDCPLabel_17", "QLabel"}, {"scaler12hdcp14", "QCheckBox"},
      {"scaler12hdcp22", "QCheckBox"}, {"label_95", "QLabel"}, {"out1_3", "QLabel"}, {"line_8", "QFrame"},
      {"hDCPLabel_18", "QLabel"}, {"scaler12o1bypass", "QPushButton"}, {"scaler12o1scale", "QPushButton"},
      {"hDCPLabel_20", "QLabel"}, {"scaler12o1color", "QCheckBox"}, {"label_87", "QLabel"}, {"label_94", "QLabel"},
      {"out1_10", "QLabel"}, {"line_12", "QFrame"}, {"hDCPLabel_46", "QLabel"},
      {"scaler12o2bypass", "QPushButton"}, {"scaler12o2scale", "QPushButton"}, {"hDCPLabel_45", "QLabel"},
      {"scaler12o2color", "QCheckBox"}, {"label_88", "QLabel"}}},
};

// The longest message the scaler controller puts into firmwareUpdateInstructions.
const char* const kBootLoaderMessage =
    "The firmware update process was started but did not run to completion. In order to return the unit to a "
    "functional state, try power cycling the unit. If you still get this message, please use the browse button "
    "above to select a valid firmware file and push the Update button to complete the update.";

const QString kOsdTip = QStringLiteral("Sets time-out delay. If off, the OSD will be displayed until manual exit.");
const QString kSourceTip = QStringLiteral("Displays current resolution of the Source device.");
const QString kScanTip = QStringLiteral("Adjusts the size of the output picture to compensate for display scan.");
const QString kMirrorTip = QStringLiteral("When set to on, the output image is flipped horizontally or vertically.");
const QString kPhaseTip = QStringLiteral("Sets horizontal synch pulse phase of output video.");
const QString kOnlyAt4k = QStringLiteral("(Only applicable when input is 4k2k 50H/60Hz)");

// The page a widget or layout lives on: the nearest ancestor that is a page of ConfiguratorTabs.
QString pageOf(const QObject* o)
{
    const QWidget* w = qobject_cast<const QWidget*>(o);
    if (!w)
        w = qobject_cast<const QLayout*>(o)->parentWidget();
    for (; w; w = w->parentWidget()) {
        const QWidget* p = w->parentWidget();
        if (p && p->objectName() == QLatin1String("qt_tabwidget_stackedwidget")
            && p->parentWidget()->objectName() == QLatin1String("ConfiguratorTabs"))
            return w->objectName();
    }
    return QString();
}


QString caption(const QWidget* w)
{
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    return QString();
}

} // namespace

class TestFormScaler : public QObject
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

    // The cell of a widget in the grid layout that manages it.
    static QList<int> cellOf(QGridLayout* grid, QWidget* w)
    {
        const int index = grid->indexOf(w);
        if (index < 0)
            return {};
        int r, c, rs, cs;
        grid->getItemPosition(index, &r, &c, &rs, &cs);
        return {r, c, rs, cs};
    }

private slots:
    void initTestCase()
    {
        initPlexaResources();
        installApplicationFonts();
        ui.setupUi(&window);
    }

    // Every object name of the scaler pages exists once, with its class, on its page.
    void objectNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("page");
        for (const PageObjects& p : kPageObjects) {
            for (const NamedClass& o : p.objects)
                QTest::newRow(o.name) << o.name << o.className << p.page;
        }
    }

    void objectNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, page);
        const auto all = window.findChildren<QObject*>(name);
        QCOMPARE(all.size(), 1);
        QCOMPARE(QString(all.first()->metaObject()->className()), className);
        QCOMPARE(pageOf(all.first()), page);
    }

    // The pages hold nothing but the listed objects (and the unnamed internals of Qt's widgets).
    void noStrayObjects()
    {
        QSet<QString> listed;
        for (const PageObjects& p : kPageObjects)
            for (const NamedClass& o : p.objects)
                listed.insert(o.name);
        for (const PageObjects& p : kPageObjects) {
            auto* page = find<QWidget>(p.page);
            QVERIFY(page);
            const auto all = page->findChildren<QObject*>();
            for (QObject* o : all) {
                const QString n = o->objectName();
                // skip Qt's own parts, such as the scroll buttons of a tab bar
                if (n.isEmpty() || n.startsWith(QLatin1String("qt_"))
                    || o->parent()->objectName().startsWith(QLatin1String("qt_")))
                    continue;
                QVERIFY2(listed.contains(n), qPrintable(QStringLiteral("%1 on %2").arg(n, p.page)));
            }
        }
    }

    // Widgets the controllers address: parent, fixed geometry, caption and tool tip.
    void widgets_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        const QRect inLayout;
        auto row = [](const char* n, const char* parent, const QRect& r, const QString& text, const QString& tip) {
            QTest::newRow(n) << n << parent << r << text << tip;
        };
        row("outputResolutionHeader", "outputTab", inLayout, "", "");
        row("outputResolutionLabel", "outputResolutionHeader", inLayout, "Output Resolution", "Displays current output resolution.");
        row("scalerOutputRes", "outputResolutionHeader", inLayout, "", "Displays current output resolution.");
        row("refreshOutput", "outputResolutionHeader", inLayout, "Refresh", "");
        row("colorSpaceLabel", "outputTab", inLayout, "Output Color Space", "");
        row("outputModeLabel", "outputTab", inLayout, "Output Mode", "");
        row("outputLockLabel", "outputTab", inLayout, "Output Lock", "Sets the output signal lock mode.");

        row("refreshPicture", "pictureTab", inLayout, "Refresh", "");
        row("colorRangeLabel", "pictureTab", inLayout, "Color Range", "Some displays only accept a limited color range.");
        row("colorRangeFrame", "pictureTab", inLayout, "", "Some displays only accept a limited color range.");
        row("colorTempLabel", "pictureTab", inLayout, "Color Temperature", "Set color temperature of output video.");
        row("colorTempFrame", "pictureTab", inLayout, "", "Set color temperature of output video.");
        row("colorBalanceLabel", "pictureTab", inLayout, "Color Balance", "Set red / green / blue color balance.");
        row("edgeEnhancementLabel", "pictureTab", inLayout, "Edge Enhancement",
            "Sets the picture edge enhancement (sharpness) threshold.");
        row("edgeEnhanceFrame", "pictureTab", inLayout, "", "Sets the picture edge enhancement (sharpness) threshold.");

        row("refreshAdjust", "adjustTab", inLayout, "Refresh", "");
        row("label_62", "adjustTab", inLayout, "Under/Over Scan", kScanTip);
        row("scanText", "adjustTab", inLayout, "", kScanTip);
        row("scanSlider", "adjustTab", inLayout, "", kScanTip);
        row("aspectRatioLabel", "adjustTab", inLayout, "Aspect Ratio", "Set output aspect ratio to match screen.");
        row("aspectRatioFrame", "adjustTab", inLayout, "", "Set output aspect ratio to match screen.");
        row("mirrorLabel", "adjustTab", inLayout, "Mirrors", kMirrorTip);
        row("mirrorFrame", "adjustTab", inLayout, "", "");
        row("horizontalMirror", "mirrorFrame", inLayout, "Horizontal Mirror", kMirrorTip);
        row("verticalMirror", "mirrorFrame", inLayout, "Vertical Mirror", kMirrorTip);
        row("horizontalShiftText", "adjustTab", inLayout, "", "");
        row("verticalShiftText", "adjustTab", inLayout, "", "");
        row("label_65", "adjustTab", inLayout, "Phase", kPhaseTip);
        row("phaseAuto", "adjustTab", inLayout, "Auto", kPhaseTip);
        row("phaseText", "adjustTab", inLayout, "", kPhaseTip);
        row("phaseSlider", "adjustTab", inLayout, "", kPhaseTip);

        row("refreshSystem", "systemTab", QRect(460, 9, 100, 40), "Refresh", "");
        row("osdTimeoutButton", "systemTab", QRect(150, 10, 75, 40), "ON", kOsdTip);
        row("osdTimeoutSpinBox", "systemTab", QRect(240, 10, 51, 31), "", kOsdTip);
        row("label_106", "systemTab", QRect(300, 10, 51, 31), "seconds", kOsdTip);
        row("label_101", "systemTab", QRect(10, 15, 111, 31), "OSD Timeout", kOsdTip);
        row("label_102", "systemTab", QRect(10, 60, 101, 31), "Display Notify",
            "Display input/output resolution momentarily when source changes.");
        row("displayNotify", "systemTab", QRect(150, 60, 75, 40), "ON",
            "Display input/output resolution momentarily when source changes.");
        row("scalerInputRes", "systemTab", QRect(150, 109, 141, 31), "", kSourceTip);
        row("label_103", "systemTab", QRect(10, 110, 111, 21), "Input Resolution", kSourceTip);
        row("inputselectframe", "systemTab", QRect(150, 140, 281, 41), "", "");
        row("inputselectlabel", "systemTab", QRect(10, 150, 111, 21), "Input Select", kSourceTip);
        row("scalerFactoryReset", "systemTab", QRect(10, 190, 260, 41), "Factory Reset",
            "Resets all settings to factory default values.");
        row("scalerReboot", "systemTab", QRect(300, 190, 260, 41), "Reboot", "");
        row("scalerExportSettings", "systemTab", QRect(10, 250, 261, 41), "Export Settings To File",
            "Downloads all current settings to a file which can be used to restore a device.");
        row("scalerImportSettings", "systemTab", QRect(300, 250, 261, 41), "Import Settings From File",
            "Upload an exported file which can be used to restore settings on this device.");
        // wide enough for the recovery messages the scaler controller shows in it
        row("firmwareUpdateInstructions", "systemTab", QRect(9, 315, 552, 100), "", "");

        row("refreshTestPatterns", "testPatternTab", inLayout, "Refresh", "");
        row("testPatternFrame", "testPatternTab", inLayout, "", "");
        row("refreshTimings", "timingTab", inLayout, "Refresh", "");
        row("timingPresets", "timingTab", inLayout, "",
            "Sets each parameter and saves it to selected preset. See Manual for details.");

        row("gridLayoutWidget_4", "scaler12controlsTab", QRect(20, 20, 461, 261), "", "");
        row("out1_2", "gridLayoutWidget_4", inLayout, "Input", "");
        row("hDCPLabel_17", "gridLayoutWidget_4", inLayout, "HDCP", "");
        row("scaler12hdcp14", "gridLayoutWidget_4", inLayout, "Accept HDCP 1.4", "");
        row("scaler12hdcp22", "gridLayoutWidget_4", inLayout, "Accept HDCP 2.2", "");
        row("label_95", "gridLayoutWidget_4", inLayout, "", "");
        row("out1_3", "gridLayoutWidget_4", inLayout, "Output 1", "");
        row("hDCPLabel_18", "gridLayoutWidget_4", inLayout, "Resolution", "");
        row("scaler12o1bypass", "gridLayoutWidget_4", inLayout, "Bypass", "");
        row("scaler12o1scale", "gridLayoutWidget_4", inLayout, "Down-scale to 1080P", "");
        row("hDCPLabel_20", "gridLayoutWidget_4", inLayout, "Color Space", "");
        row("scaler12o1color", "gridLayoutWidget_4", inLayout, "Enable YUV 4:2:0", "");
        row("label_87", "gridLayoutWidget_4", inLayout, kOnlyAt4k, "");
        row("label_94", "gridLayoutWidget_4", inLayout, "", "");
        row("out1_10", "gridLayoutWidget_4", inLayout, "Output 2", "");
        row("hDCPLabel_46", "gridLayoutWidget_4", inLayout, "Resolution", "");
        row("scaler12o2bypass", "gridLayoutWidget_4", inLayout, "Bypass", "");
        row("scaler12o2scale", "gridLayoutWidget_4", inLayout, "Up-scale to 4K2K", "");
        row("hDCPLabel_45", "gridLayoutWidget_4", inLayout, "Color Space", "");
        row("scaler12o2color", "gridLayoutWidget_4", inLayout, "Enable YUV 4:2:0", "");
        row("label_88", "gridLayoutWidget_4", inLayout, kOnlyAt4k, "");
    }

    void widgets()
    {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(QString, toolTip);
        auto* w = find<QWidget>(name);
        QVERIFY(w);
        QCOMPARE(parentName(w), parent);
        if (geometry.isValid())
            QCOMPARE(w->geometry(), geometry);
        QCOMPARE(caption(w), text);
        QCOMPARE(w->toolTip(), toolTip);
    }

    // Cells of the grid layouts; the value rows keep label, number field and slider side by side.
    void gridCells_data()
    {
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<int>>("cell");
        auto row = [](const char* grid, const char* n, QList<int> cell) {
            QTest::newRow(n) << grid << n << cell;
        };
        row("gridLayout_22", "outputResolutionLabel", {0, 1, 1, 1});
        row("gridLayout_22", "scalerOutputRes", {0, 2, 1, 1});
        row("gridLayout_22", "refreshOutput", {0, 3, 1, 1});

        row("gridLayout_14", "refreshPicture", {2, 2, 1, 1});
        const QList<QPair<const char*, int>> pictureRows{{"contrast", 3}, {"brightness", 4}, {"saturation", 5},
                                                         {"hue", 6},      {"sharpness", 7},  {"red", 13},
                                                         {"green", 14},   {"blue", 15}};
        const char* const pictureLabels[] = {"label_34", "label_35", "label_36", "label_43",
                                             "label_45", "label_52", "label_58", "label_53"};
        for (int i = 0; i < pictureRows.size(); ++i) {
            const int r = pictureRows[i].second;
            row("gridLayout_14", pictureLabels[i], {r, 0, 1, 1});
            const QString text = QString(pictureRows[i].first) + "Text", slider = QString(pictureRows[i].first) + "Slider";
            QTest::newRow(qPrintable(text)) << "gridLayout_14" << text << QList<int>{r, 1, 1, 1};
            QTest::newRow(qPrintable(slider)) << "gridLayout_14" << slider << QList<int>{r, 2, 1, 1};
        }
        row("gridLayout_14", "colorRangeLabel", {8, 0, 1, 3});
        row("gridLayout_14", "colorRangeFrame", {9, 0, 1, 3});
        row("gridLayout_14", "colorTempLabel", {10, 0, 1, 3});
        row("gridLayout_14", "colorTempFrame", {11, 0, 1, 3});
        row("gridLayout_14", "colorBalanceLabel", {12, 0, 1, 3});
        row("gridLayout_14", "edgeEnhancementLabel", {16, 0, 1, 3});
        row("gridLayout_14", "edgeEnhanceFrame", {17, 0, 1, 3});

        row("gridLayout_13", "refreshAdjust", {1, 4, 1, 1});
        row("gridLayout_13", "label_62", {2, 0, 1, 1});
        row("gridLayout_13", "scanText", {2, 2, 1, 1});
        row("gridLayout_13", "scanSlider", {2, 4, 1, 1});
        row("gridLayout_13", "aspectRatioLabel", {3, 0, 1, 5});
        row("gridLayout_13", "aspectRatioFrame", {4, 0, 1, 5});
        row("gridLayout_13", "mirrorLabel", {5, 0, 1, 5});
        row("gridLayout_13", "mirrorFrame", {6, 0, 1, 5});
        row("gridLayout_13", "label_64", {9, 0, 1, 1});
        row("gridLayout_13", "horizontalShiftText", {9, 2, 1, 1});
        row("gridLayout_13", "horizontalShiftSlider", {9, 4, 1, 1});
        row("gridLayout_13", "label_63", {10, 0, 1, 1});
        row("gridLayout_13", "verticalShiftText", {10, 2, 1, 1});
        row("gridLayout_13", "verticalShiftSlider", {10, 4, 1, 1});
        row("gridLayout_13", "label_65", {12, 0, 1, 1});
        row("gridLayout_13", "phaseAuto", {12, 1, 1, 1});
        row("gridLayout_13", "phaseText", {12, 2, 1, 1});
        row("gridLayout_13", "phaseSlider", {12, 4, 1, 1});

        row("gridLayout_18", "out1_2", {0, 0, 1, 1});
        row("gridLayout_18", "line_7", {0, 1, 1, 2});
        row("gridLayout_18", "hDCPLabel_17", {1, 0, 1, 1});
        row("gridLayout_18", "scaler12hdcp14", {1, 1, 1, 1});
        row("gridLayout_18", "scaler12hdcp22", {1, 2, 1, 1});
        row("gridLayout_18", "label_95", {2, 0, 1, 1});
        row("gridLayout_18", "out1_3", {3, 0, 1, 1});
        row("gridLayout_18", "line_8", {3, 1, 1, 2});
        row("gridLayout_18", "hDCPLabel_18", {4, 0, 1, 1});
        row("gridLayout_18", "scaler12o1bypass", {4, 1, 1, 1});
        row("gridLayout_18", "scaler12o1scale", {4, 2, 1, 1});
        row("gridLayout_18", "hDCPLabel_20", {6, 0, 1, 1});
        row("gridLayout_18", "scaler12o1color", {6, 1, 1, 1});
        row("gridLayout_18", "label_87", {6, 2, 1, 1});
        row("gridLayout_18", "label_94", {7, 0, 1, 1});
        row("gridLayout_18", "out1_10", {8, 0, 1, 1});
        row("gridLayout_18", "line_12", {8, 1, 1, 2});
        row("gridLayout_18", "hDCPLabel_46", {9, 0, 1, 1});
        row("gridLayout_18", "scaler12o2bypass", {9, 1, 1, 1});
        row("gridLayout_18", "scaler12o2scale", {9, 2, 1, 1});
        row("gridLayout_18", "hDCPLabel_45", {10, 0, 1, 1});
        row("gridLayout_18", "scaler12o2color", {10, 1, 1, 1});
        row("gridLayout_18", "label_88", {10, 2, 1, 1});
    }

    void gridCells()
    {
        QFETCH(QString, grid);
        QFETCH(QString, name);
        QFETCH(QList<int>, cell);
        auto* layout = find<QGridLayout>(grid);
        auto* w = find<QWidget>(name);
        QVERIFY(layout && w);
        QCOMPARE(cellOf(layout, w), cell);
    }

    // Row and column layouts: which layout rules each page and the order of its items.
    void boxLayouts()
    {
        QCOMPARE(ui.outputTab->layout(), ui.verticalLayout_6);
        QCOMPARE(ui.pictureTab->layout(), ui.gridLayout_14);
        QCOMPARE(ui.adjustTab->layout(), ui.gridLayout_13);
        QCOMPARE(ui.testPatternTab->layout(), ui.verticalLayout_8);
        QCOMPARE(ui.timingTab->layout(), ui.verticalLayout_9);
        QCOMPARE(ui.outputResolutionHeader->layout(), ui.gridLayout_22);
        QCOMPARE(ui.mirrorFrame->layout(), ui.horizontalLayout_6);
        QCOMPARE(ui.gridLayoutWidget_4->layout(), ui.gridLayout_18);
        QVERIFY(!ui.systemTab->layout());
        QVERIFY(!ui.scaler12controlsTab->layout());

        auto widgetsOf = [](QLayout* l) {
            QStringList names;
            for (int i = 0; i < l->count(); ++i) {
                if (QWidget* w = l->itemAt(i)->widget())
                    names << w->objectName();
            }
            return names;
        };
        QCOMPARE(widgetsOf(ui.verticalLayout_6),
                 (QStringList{"outputResolutionHeader", "outputResolutionFrame", "colorSpaceLabel", "colorSpaceFrame",
                              "outputModeLabel", "outputModeFrame", "outputLockLabel", "outputLockFrame"}));
        QCOMPARE(widgetsOf(ui.horizontalLayout_6), (QStringList{"horizontalMirror", "verticalMirror"}));
        QCOMPARE(widgetsOf(ui.verticalLayout_8), (QStringList{"refreshTestPatterns", "testPatternFrame"}));
        QCOMPARE(widgetsOf(ui.verticalLayout_9), (QStringList{"refreshTimings", "timingPresets"}));
    }

    // Slider and spin-box ranges: the ends are reachable and nothing lies beyond them.
    void ranges_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        for (const char* n : {"contrastSlider", "brightnessSlider", "saturationSlider", "hueSlider",
                              "sharpnessSlider", "redSlider", "greenSlider", "blueSlider"})
            QTest::newRow(n) << n << 0 << 100;
        QTest::newRow("scanSlider") << "scanSlider" << -50 << 50;
        QTest::newRow("horizontalShiftSlider") << "horizontalShiftSlider" << -100 << 100;
        QTest::newRow("verticalShiftSlider") << "verticalShiftSlider" << -100 << 100;
        QTest::newRow("phaseSlider") << "phaseSlider" << 1 << 64;
        QTest::newRow("osdTimeoutSpinBox") << "osdTimeoutSpinBox" << 5 << 60;
    }

    void ranges()
    {
        QFETCH(QString, name);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        auto* range = find<QWidget>(name);
        QVERIFY(range);
        const int before = range->property("value").toInt();
        const auto restore = qScopeGuard([&] { range->setProperty("value", before); });
        QVERIFY(before >= minimum && before <= maximum);
        QCOMPARE(range->property("minimum").toInt(), minimum);
        QCOMPARE(range->property("maximum").toInt(), maximum);
        for (const QPair<int, int>& set : {qMakePair(minimum, minimum), qMakePair(maximum, maximum),
                                           qMakePair(minimum - 1, minimum), qMakePair(maximum + 1, maximum)}) {
            range->setProperty("value", set.first);
            QCOMPARE(range->property("value").toInt(), set.second);
        }
        if (auto* slider = qobject_cast<QSlider*>(range)) {
            QCOMPARE(slider->orientation(), Qt::Horizontal);
            QVERIFY(slider->hasTracking());
            QCOMPARE(slider->tickInterval(), name == QLatin1String("contrastSlider") ? 2 : 0);
        }
    }

    // Number fields beside the sliders and the two read-only resolution displays.
    void lineEdits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<bool>("digitsHint");
        for (const char* n : {"contrastText", "brightnessText", "saturationText", "hueText", "sharpnessText",
                              "redText", "greenText", "blueText"})
            QTest::newRow(n) << n << true << 3 << true;
        // signed values: no digits-only hint, Qt's default length
        for (const char* n : {"scanText", "horizontalShiftText", "verticalShiftText", "phaseText"})
            QTest::newRow(n) << n << true << 32767 << false;
        QTest::newRow("scalerOutputRes") << "scalerOutputRes" << false << 32767 << false;
        QTest::newRow("scalerInputRes") << "scalerInputRes" << false << 32767 << false;
    }

    void lineEdits()
    {
        QFETCH(QString, name);
        QFETCH(bool, enabled);
        QFETCH(int, maxLength);
        QFETCH(bool, digitsHint);
        auto* e = find<QLineEdit>(name);
        QVERIFY(e);
        QCOMPARE(e->isEnabled(), enabled);
        QCOMPARE(e->maxLength(), maxLength);
        QCOMPARE(bool(e->inputMethodHints() & Qt::ImhDigitsOnly), digitsHint);
        QVERIFY(!e->validator());
        QVERIFY(!e->isReadOnly());
        QVERIFY(e->text().isEmpty());
        const auto restore = qScopeGuard([e] { e->clear(); });
        QTest::keyClicks(e, "-1234");
        if (!enabled)
            QVERIFY(e->text().isEmpty()); // a disabled display ignores typing
        else if (maxLength == 3)
            QCOMPARE(e->text(), QStringLiteral("-12")); // a hint, not a validator: the fourth character is refused
        else
            QCOMPARE(e->text(), QStringLiteral("-1234"));
    }

    // Every button of the pages starts unchecked and enabled; the switches are checkable.
    void buttons_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("checkable");
        for (const char* n : {"horizontalMirror", "verticalMirror", "phaseAuto", "osdTimeoutButton", "displayNotify",
                              "scaler12o1bypass", "scaler12o1scale", "scaler12o2bypass", "scaler12o2scale",
                              "scaler12hdcp14", "scaler12hdcp22", "scaler12o1color", "scaler12o2color"})
            QTest::newRow(n) << n << true;
        for (const char* n : {"refreshOutput", "refreshPicture", "refreshAdjust", "refreshSystem",
                              "refreshTestPatterns", "refreshTimings", "scalerFactoryReset", "scalerReboot",
                              "scalerExportSettings", "scalerImportSettings"})
            QTest::newRow(n) << n << false;
    }

    void buttons()
    {
        QFETCH(QString, name);
        QFETCH(bool, checkable);
        auto* b = find<QAbstractButton>(name);
        QVERIFY(b);
        QCOMPARE(b->isCheckable(), checkable);
        QVERIFY(!b->isChecked());
        QVERIFY(b->isEnabled());
        if (qobject_cast<QPushButton*>(b)) {
            // the page Refresh buttons run right to left, the others left to right
            const bool refresh = name.startsWith(QLatin1String("refresh")) && name != QLatin1String("refreshOutput");
            QCOMPARE(b->layoutDirection(), refresh ? Qt::RightToLeft : Qt::LeftToRight);
        }
    }

    // The two-output scaler's groups: automatic ids in adding order, parent the window.
    void buttonGroups_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<bool>("exclusive");
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("scaler12controls") << "scaler12controls" << false
            << QStringList{"scaler12o2color", "scaler12hdcp22", "scaler12o1color", "scaler12hdcp14"};
        QTest::newRow("scaler12o1res") << "scaler12o1res" << true
                                       << QStringList{"scaler12o1scale", "scaler12o1bypass"};
        QTest::newRow("scaler12o2res") << "scaler12o2res" << true
                                       << QStringList{"scaler12o2scale", "scaler12o2bypass"};
    }

    void buttonGroups()
    {
        QFETCH(QString, group);
        QFETCH(bool, exclusive);
        QFETCH(QStringList, buttons);
        auto* g = window.findChild<QButtonGroup*>(group);
        QVERIFY(g);
        QCOMPARE(g->parent(), &window);
        QCOMPARE(g->exclusive(), exclusive);
        QCOMPARE(g->buttons().size(), buttons.size());
        for (int i = 0; i < buttons.size(); ++i) {
            QAbstractButton* b = g->button(-2 - i);
            QVERIFY2(b, qPrintable(QString::number(-2 - i)));
            QCOMPARE(b->objectName(), buttons.at(i));
            QCOMPARE(b->group(), g);
        }
    }

    // Both HDCP versions can be accepted together, and both outputs can use YUV 4:2:0;
    // the two resolution buttons of one output exclude each other, across outputs they do not.
    void groupBehaviour()
    {
        const auto restore = qScopeGuard([this] {
            for (QButtonGroup* g : {ui.scaler12controls, ui.scaler12o1res, ui.scaler12o2res}) {
                const bool exclusive = g->exclusive();
                g->setExclusive(false);
                for (QAbstractButton* b : g->buttons())
                    b->setChecked(false);
                g->setExclusive(exclusive);
            }
        });
        ui.scaler12hdcp14->click();
        ui.scaler12hdcp22->click();
        ui.scaler12o1color->click();
        ui.scaler12o2color->click();
        for (QAbstractButton* b : ui.scaler12controls->buttons())
            QVERIFY2(b->isChecked(), qPrintable(b->objectName()));
        ui.scaler12hdcp22->click();
        QVERIFY(!ui.scaler12hdcp22->isChecked());
        QVERIFY(ui.scaler12hdcp14->isChecked());

        ui.scaler12o1bypass->click();
        ui.scaler12o2scale->click();
        QVERIFY(ui.scaler12o1bypass->isChecked());
        QVERIFY(ui.scaler12o2scale->isChecked());
        ui.scaler12o1scale->click();
        QVERIFY(ui.scaler12o1scale->isChecked());
        QVERIFY(!ui.scaler12o1bypass->isChecked());
        QVERIFY(ui.scaler12o2scale->isChecked());
        // a checked choice stays checked when clicked again
        ui.scaler12o1scale->click();
        QVERIFY(ui.scaler12o1scale->isChecked());
        QCOMPARE(ui.scaler12o1res->checkedButton(), ui.scaler12o1scale);
    }

    // The controllers build the choices; the form leaves these empty.
    void placeholdersStartEmpty()
    {
        for (QFrame* f : {ui.outputResolutionFrame, ui.colorSpaceFrame, ui.outputModeFrame, ui.outputLockFrame,
                          ui.colorRangeFrame, ui.colorTempFrame, ui.edgeEnhanceFrame, ui.aspectRatioFrame,
                          ui.inputselectframe, ui.testPatternFrame}) {
            QVERIFY2(f->children().isEmpty(), qPrintable(f->objectName()));
            QVERIFY(!f->layout());
        }
        QCOMPARE(ui.timingPresets->count(), 0);
        QVERIFY(ui.firmwareUpdateInstructions->text().isEmpty());
        QVERIFY(ui.firmwareUpdateInstructions->wordWrap());
    }

    void fontsAndLines()
    {
        for (QLabel* l : {ui.out1_2, ui.out1_3, ui.out1_10})
            QVERIFY2(l->font().bold(), qPrintable(l->objectName()));
        QVERIFY(!ui.label_87->font().bold());
        for (QFrame* line : {ui.line_7, ui.line_8, ui.line_12}) {
            QCOMPARE(line->frameShape(), QFrame::HLine);
            QCOMPARE(line->frameShadow(), QFrame::Sunken);
        }
        for (QFrame* f : {ui.outputResolutionHeader, ui.mirrorFrame, ui.testPatternFrame, ui.inputselectframe})
            QCOMPARE(f->frameShape(), QFrame::NoFrame);
    }

    // Shown with the application style sheet, in the size the window gives them: every caption
    // fits its widget, no widgets overlap, and nothing leaves its parent.
    void pagesRenderClean_data()
    {
        QTest::addColumn<QString>("page");
        for (const PageObjects& p : kPageObjects)
            QTest::newRow(p.page) << p.page;
    }

    void pagesRenderClean()
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
        QVERIFY(root->isVisible());
        VERIFY_RENDERS_CLEAN(renderFaults(root, mainFormRenderExceptions()));
    }

    // The recovery messages of the scaler controller wrap inside the instructions label.
    void instructionsHoldTheMessages()
    {
        qApp->setStyleSheet(plexaStyleSheet());
        const auto restore = qScopeGuard([this] {
            ui.firmwareUpdateInstructions->clear();
            qApp->setStyleSheet(QString());
        });
        QLabel* l = ui.firmwareUpdateInstructions;
        l->setText(QString::fromLatin1(kBootLoaderMessage));
        l->ensurePolished();
        QVERIFY2(l->heightForWidth(l->width()) <= l->height(),
                 qPrintable(QString::number(l->heightForWidth(l->width()))));
    }
};

PLEXA_TEST_MAIN(TestFormScaler)
#include "tst_form_scaler.moc"

// The first EDID editor pages of the Manage EDID tab ("EDID Type", "General", "Timings", the two
// colour sub-pages and "Audio"): every object the EDID editor and the style sheet address by name,
// the editor's exclusive button groups, the item lists whose indexes the editor reads, and how the
// pages look in the application style.
#include "appfonts.h"
#include "formtestutil.h"
#include "plexatest.h"
#include "resources.h"
#include "ui_mainui.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTextBlock>
#include <QTextDocument>

namespace {

// Every object of these pages, with its class and the page that holds it (button groups belong
// to the window).
struct NamedObject
{
    const char* name;
    const char* className;
    const char* page;
};

const NamedObject kObjects[] = {
    {"edidTypeLabel", "QLabel", "edidType"},
    {"digitalRadio", "QPushButton", "edidType"},
    {"videoInterfaceGroup", "QButtonGroup", ""},
    {"digitalFrame", "QGroupBox", "edidType"},
    {"dpRadio", "QPushButton", "edidType"},
    {"horizontalLayout_2", "QHBoxLayout", "edidType"},
    {"digitalVideoInterfaceGroup", "QButtonGroup", ""},
    {"hdmiRadio", "QPushButton", "edidType"},
    {"dviRadio", "QPushButton", "edidType"},
    {"analogRadio", "QPushButton", "edidType"},
    {"analogFrame", "QGroupBox", "edidType"},
    {"gridLayout_3", "QGridLayout", "edidType"},
    {"edidSizeBox", "QGroupBox", "edidType"},
    {"edidSizeLabel", "QLabel", "edidType"},
    {"layoutWidget_2", "QWidget", "edidType"},
    {"signalLevelStdLabel", "QLabel", "edidType"},
    {"syncTypeLabel", "QLabel", "edidType"},
    {"signalLevel1", "QPushButton", "edidType"},
    {"signalLevelGroup", "QButtonGroup", ""},
    {"signalLevel2", "QPushButton", "edidType"},
    {"signalLevel3", "QPushButton", "edidType"},
    {"signalLevel4", "QPushButton", "edidType"},
    {"separateSync", "QPushButton", "edidType"},
    {"compositeSyncHoriz", "QPushButton", "edidType"},
    {"compositeSyncGreen", "QPushButton", "edidType"},
    {"videoSetupLabel", "QLabel", "edidType"},
    {"serrationsLabel", "QLabel", "edidType"},
    {"videoSetup1", "QPushButton", "edidType"},
    {"videoSetupGroup", "QButtonGroup", ""},
    {"videoSetup2", "QPushButton", "edidType"},
    {"serrationVertSync", "QPushButton", "edidType"},
    {"layoutWidget3", "QWidget", "edidType"},
    {"horizontalLayout_3", "QHBoxLayout", "edidType"},
    {"edidSize128", "QPushButton", "edidType"},
    {"edidSizeGroup", "QButtonGroup", ""},
    {"edidSize256", "QPushButton", "edidType"},
    {"generalLabel", "QLabel", "general"},
    {"layoutWidget_6", "QWidget", "general"},
    {"horizontalLayout_15", "QHBoxLayout", "general"},
    {"label_47", "QLabel", "general"},
    {"monitorName", "QLineEdit", "general"},
    {"featureSupportLabel", "QLabel", "general"},
    {"featureSupportBox", "QGroupBox", "general"},
    {"imageSizeLabel", "QLabel", "general"},
    {"imageSizeBox", "QGroupBox", "general"},
    {"layoutWidget_3", "QWidget", "general"},
    {"verticalLayout_7", "QVBoxLayout", "general"},
    {"standbyMode", "QPushButton", "general"},
    {"suspendMode", "QPushButton", "general"},
    {"activeOff", "QPushButton", "general"},
    {"underscan", "QPushButton", "general"},
    {"layoutWidget4", "QWidget", "general"},
    {"gridLayout_5", "QGridLayout", "general"},
    {"label_9", "QLabel", "general"},
    {"displaySize", "QLineEdit", "general"},
    {"label_20", "QLabel", "general"},
    {"label_21", "QLabel", "general"},
    {"aspectRatio", "QComboBox", "general"},
    {"layoutWidget_5", "QWidget", "general"},
    {"horizontalLayout_4", "QHBoxLayout", "general"},
    {"hdmiImageSizeLabel", "QLabel", "general"},
    {"hdmiImageSize", "QComboBox", "general"},
    {"timingsLabel", "QLabel", "timings"},
    {"filterLabel", "QLabel", "timings"},
    {"filterTimingBox", "QGroupBox", "timings"},
    {"selectTimingLabel", "QLabel", "timings"},
    {"selectTimingBox", "QGroupBox", "timings"},
    {"timingTable", "QTableView", "timings"},
    {"moveTimingUp", "QPushButton", "timings"},
    {"moveTimingDown", "QPushButton", "timings"},
    {"editTiming", "QPushButton", "timings"},
    {"removeTiming", "QPushButton", "timings"},
    {"clearTimingTable", "QPushButton", "timings"},
    {"layoutWidget_7", "QWidget", "timings"},
    {"horizontalLayout_10", "QHBoxLayout", "timings"},
    {"preferredTimingKey", "QWidget", "timings"},
    {"label_44", "QLabel", "timings"},
    {"layoutWidget_12", "QWidget", "timings"},
    {"gridLayout_11", "QGridLayout", "timings"},
    {"label_28", "QLabel", "timings"},
    {"horizontalPixels", "QComboBox", "timings"},
    {"label_31", "QLabel", "timings"},
    {"verticalLines", "QComboBox", "timings"},
    {"label_32", "QLabel", "timings"},
    {"refreshRate", "QComboBox", "timings"},
    {"label_78", "QLabel", "timings"},
    {"scanType", "QComboBox", "timings"},
    {"timingDropdown", "QComboBox", "timings"},
    {"label_60", "QLabel", "timings"},
    {"createYourOwnTiming", "QPushButton", "timings"},
    {"colorLabel", "QLabel", "tab"},
    {"digitalColorLabel", "QLabel", "tab"},
    {"digitalColorBox", "QGroupBox", "tab"},
    {"analogColorLabel", "QLabel", "tab"},
    {"analogColorBox", "QGroupBox", "tab"},
    {"hdmiColorLabel", "QLabel", "tab"},
    {"hdmiColorBox", "QGroupBox", "tab"},
    {"label_23", "QLabel", "tab"},
    {"layoutWidget_10", "QWidget", "tab"},
    {"verticalLayout_2", "QVBoxLayout", "tab"},
    {"rgb444Checkbox", "QPushButton", "tab"},
    {"ycbcr444Checkbox", "QPushButton", "tab"},
    {"ycbcr422Checkbox", "QPushButton", "tab"},
    {"colorBitDepthFrame", "QFrame", "tab"},
    {"label_24", "QLabel", "tab"},
    {"layoutWidget_13", "QWidget", "tab"},
    {"verticalLayout", "QVBoxLayout", "tab"},
    {"colorBitDepthGroup", "QButtonGroup", ""},
    {"eightBitsPPC", "QPushButton", "tab"},
    {"tenBitsPPC", "QPushButton", "tab"},
    {"twelveBitsPPC", "QPushButton", "tab"},
    {"fourteenBitsPPC", "QPushButton", "tab"},
    {"sixteenBitsPPC", "QPushButton", "tab"},
    {"label_22", "QLabel", "tab"},
    {"layoutWidget_16", "QWidget", "tab"},
    {"verticalLayout_3", "QVBoxLayout", "tab"},
    {"vgaDisplayColorGroup", "QButtonGroup", ""},
    {"monochromeGrayscale", "QPushButton", "tab"},
    {"rgbColor", "QPushButton", "tab"},
    {"nonrgbColor", "QPushButton", "tab"},
    {"undefinedColor", "QPushButton", "tab"},
    {"layoutWidget_14", "QWidget", "tab"},
    {"verticalLayout_5", "QVBoxLayout", "tab"},
    {"hdmi48bitspixel", "QPushButton", "tab"},
    {"hdmi36bitspixel", "QPushButton", "tab"},
    {"hdmi30bitspixel", "QPushButton", "tab"},
    {"hdmiYCrCb444", "QPushButton", "tab"},
    {"combohdmi48bitspixel", "QComboBox", "tab"},
    {"combohdmi36bitspixel", "QComboBox", "tab"},
    {"combohdmi30bitspixel", "QComboBox", "tab"},
    {"layoutWidget_15", "QWidget", "tab"},
    {"gridLayout_12", "QGridLayout", "tab"},
    {"label_46", "QLabel", "tab"},
    {"maxTMDSClockAuto", "QPushButton", "tab"},
    {"tmdsClockGroup", "QButtonGroup", ""},
    {"maxTMDSClockManual", "QPushButton", "tab"},
    {"maxTMDSClock", "QLineEdit", "tab"},
    {"label_49", "QLabel", "tab"},
    {"chromaticityLabel", "QLabel", "tab_2"},
    {"chromaticityBox", "QGroupBox", "tab_2"},
    {"chromaticityDropdown", "QComboBox", "tab_2"},
    {"layoutWidget_8", "QWidget", "tab_2"},
    {"gridLayout_7", "QGridLayout", "tab_2"},
    {"label_37", "QLabel", "tab_2"},
    {"label_38", "QLabel", "tab_2"},
    {"label_39", "QLabel", "tab_2"},
    {"label_40", "QLabel", "tab_2"},
    {"label_41", "QLabel", "tab_2"},
    {"label_42", "QLabel", "tab_2"},
    {"redX", "QLineEdit", "tab_2"},
    {"redY", "QLineEdit", "tab_2"},
    {"greenX", "QLineEdit", "tab_2"},
    {"greenY", "QLineEdit", "tab_2"},
    {"blueX", "QLineEdit", "tab_2"},
    {"blueY", "QLineEdit", "tab_2"},
    {"whiteX", "QLineEdit", "tab_2"},
    {"whiteY", "QLineEdit", "tab_2"},
    {"storeChromaticity", "QPushButton", "tab_2"},
    {"removeChromaticity", "QPushButton", "tab_2"},
    {"colorimetryLabel", "QLabel", "tab_2"},
    {"chromaticityBox_2", "QGroupBox", "tab_2"},
    {"verticalLayoutWidget", "QWidget", "tab_2"},
    {"verticalLayout_11", "QVBoxLayout", "tab_2"},
    {"colorimetry0", "QCheckBox", "tab_2"},
    {"colorimetry1", "QCheckBox", "tab_2"},
    {"colorimetry2", "QCheckBox", "tab_2"},
    {"colorimetry3", "QCheckBox", "tab_2"},
    {"colorimetry4", "QCheckBox", "tab_2"},
    {"colorimetry5", "QCheckBox", "tab_2"},
    {"colorimetry6", "QCheckBox", "tab_2"},
    {"colorimetry7", "QCheckBox", "tab_2"},
    {"colorimetry8", "QCheckBox", "tab_2"},
    {"audioLabel", "QLabel", "audioFormat"},
    {"basicAudio", "QPushButton", "audioFormat"},
    {"audioLatencyFrame", "QFrame", "audioFormat"},
    {"audioFormatFrame", "QFrame", "audioFormat"},
    {"layoutWidget_11", "QWidget", "audioFormat"},
    {"gridLayout_10", "QGridLayout", "audioFormat"},
    {"label_59", "QLabel", "audioFormat"},
    {"interlacedLatencyLabel_2", "QLabel", "audioFormat"},
    {"label_67", "QLabel", "audioFormat"},
    {"latencyProgressiveAudio", "QLineEdit", "audioFormat"},
    {"latencyInterlacedAudio", "QLineEdit", "audioFormat"},
    {"speakerAllocLabel", "QLabel", "audioFormat"},
    {"speakerAllocBox", "QGroupBox", "audioFormat"},
    {"speakerFLH", "QPushButton", "audioFormat"},
    {"speakerFCH", "QPushButton", "audioFormat"},
    {"speakerFRH", "QPushButton", "audioFormat"},
    {"speakerFLW", "QPushButton", "audioFormat"},
    {"speakerFL", "QPushButton", "audioFormat"},
    {"speakerFLC", "QPushButton", "audioFormat"},
    {"speakerFC", "QPushButton", "audioFormat"},
    {"speakerFRC", "QPushButton", "audioFormat"},
    {"speakerFR", "QPushButton", "audioFormat"},
    {"speakerFRW", "QPushButton", "audioFormat"},
    {"speakerLFE", "QPushButton", "audioFormat"},
    {"speakerTC", "QPushButton", "audioFormat"},
    {"speakerRL", "QPushButton", "audioFormat"},
    {"speakerRLC", "QPushButton", "audioFormat"},
    {"speakerRC", "QPushButton", "audioFormat"},
    {"speakerRRC", "QPushButton", "audioFormat"},
    {"speakerRR", "QPushButton", "audioFormat"},
    {"line_3", "QFrame", "audioFormat"},
    {"selectAudioLabel", "QLabel", "audioFormat"},
    {"selectAudioBox", "QGroupBox", "audioFormat"},
    {"audioDropdown", "QComboBox", "audioFormat"},
    {"label_25", "QLabel", "audioFormat"},
    {"createYourOwnAudioFormat", "QPushButton", "audioFormat"},
    {"layoutWidget5", "QWidget", "audioFormat"},
    {"gridLayout_24", "QGridLayout", "audioFormat"},
    {"audioTable", "QTableView", "audioFormat"},
    {"moveAudioUp", "QPushButton", "audioFormat"},
    {"moveAudioDown", "QPushButton", "audioFormat"},
    {"editAudio", "QPushButton", "audioFormat"},
    {"removeAudio", "QPushButton", "audioFormat"},
    {"clearAudioTable", "QPushButton", "audioFormat"},
};

const QStringList kPages{"edidType", "general", "timings", "tab", "tab_2", "audioFormat"};

// One cell of a layout: row and column of a grid, or the place in box order (column -1).
struct Cell
{
    const char* name;
    int row;
    int column;
    int rowSpan;
    int columnSpan;
};

enum Flag { Plain = 0, Checkable = 1, Checked = 2, Disabled = 4 };

// Visible wording of a caption or tool tip, whether it is carried as rich text or not.
QString wording(const QString& text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    QTextDocument doc;
    doc.setHtml(text);
    return doc.toPlainText().trimmed();
}

QString caption(const QWidget* w)
{
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    return QString();
}

QStringList items(const QComboBox* c)
{
    QStringList list;
    for (int i = 0; i < c->count(); ++i)
        list << c->itemText(i);
    return list;
}

} // namespace

Q_DECLARE_METATYPE(QList<Cell>)

class TestFormEdidEditor1 : public QObject
{
    Q_OBJECT

private:
    QMainWindow window;
    Ui_MainUI ui;

    template <typename T> T* find(const QString& name) { return window.findChild<T*>(name); }

    // Shows the window in the application style with the given editor page in front; the guard
    // hides it again and drops the style sheet.
    auto showStyled(const QString& page)
    {
        qApp->setStyleSheet(plexaStyleSheet());
        QWidget* p = find<QWidget>(page);
        bringToFront(p);
        window.show();
        // a page that did not come up is reported by the render check
        static_cast<void>(QTest::qWaitForWindowExposed(&window));
        settleLayouts(p);
        return qScopeGuard([this] {
            window.hide();
            qApp->setStyleSheet(QString());
        });
    }

private slots:
    void initTestCase()
    {
        initPlexaResources();
        installApplicationFonts();
        ui.setupUi(&window);
    }

    // Every object named for these pages exists with its class, under its page.
    void objectNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("page");
        for (const NamedObject& o : kObjects)
            QTest::newRow(o.name) << QString::fromLatin1(o.name) << QString::fromLatin1(o.className)
                                  << QString::fromLatin1(o.page);
    }

    void objectNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, page);
        const auto found = window.findChildren<QObject*>(name);
        QCOMPARE(found.size(), 1);
        QObject* o = found.first();
        QCOMPARE(QString(o->metaObject()->className()), className);
        if (page.isEmpty()) {
            QCOMPARE(o->parent(), &window); // button groups
            return;
        }
        auto* root = find<QWidget>(page);
        QVERIFY(root);
        QWidget* w = qobject_cast<QWidget*>(o);
        if (auto* l = qobject_cast<QLayout*>(o))
            w = l->parentWidget();
        QVERIFY2(w && root->isAncestorOf(w), qPrintable(name + " is not on " + page));
    }

    // No object of these pages is missing from the list above: the pages hold exactly the
    // widgets and layouts named for them.
    void nothingUnnamed()
    {
        QSet<QString> listed;
        for (const NamedObject& o : kObjects)
            listed.insert(QString::fromLatin1(o.name));
        for (const QString& page : kPages) {
            auto* root = find<QWidget>(page);
            QVERIFY(root);
            for (QWidget* w : root->findChildren<QWidget*>()) {
                // the table views' and combo boxes' own inner widgets carry no name of the form
                if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
                    continue;
                QVERIFY2(listed.contains(w->objectName()), qPrintable(w->objectName()));
            }
            for (QLayout* l : root->findChildren<QLayout*>())
                if (!l->objectName().isEmpty())
                    QVERIFY2(listed.contains(l->objectName()), qPrintable(l->objectName()));
        }
    }

    void widgets_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        QTest::addColumn<int>("flags");
        const QRect inLayout;
        const auto row = [](const char* name, const char* cls, const char* parent, const QRect& geometry,
                            const QString& text, const QString& toolTip, int flags) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(cls) << QString::fromLatin1(parent)
                                << geometry << text << toolTip << flags;
        };
        // edidType
        row("edidTypeLabel", "QLabel", "edidType", QRect(10, 10, 111, 21), "EDID Type", "", Plain);
        row("digitalRadio", "QPushButton", "edidType", QRect(20, 40, 111, 30), "Digital", "Input is a Digital Video Signal Interface", Checkable);
        row("digitalFrame", "QGroupBox", "edidType", QRect(10, 60, 531, 71), "", "", Plain);
        row("dpRadio", "QPushButton", "layoutWidget_2", inLayout, "DisplayPort", "DisplayPort is supported", Checkable);
        row("hdmiRadio", "QPushButton", "layoutWidget_2", inLayout, "HDMI", "HDMI is supported", Checkable);
        row("dviRadio", "QPushButton", "layoutWidget_2", inLayout, "DVI", "DVI is supported", Checkable);
        row("analogRadio", "QPushButton", "edidType", QRect(20, 140, 111, 30), "VGA", "Input is an Analog Video Signal Interface", Checkable);
        row("analogFrame", "QGroupBox", "edidType", QRect(10, 160, 531, 341), "", "", Plain);
        row("signalLevelStdLabel", "QLabel", "analogFrame", inLayout, "Signal Level Standard", "", Plain);
        row("syncTypeLabel", "QLabel", "analogFrame", inLayout, "Synchronization Types Supported", "", Plain);
        row("signalLevel1", "QPushButton", "analogFrame", inLayout, "0.700 : 0.300 : 1.000 V p-p", "Video : Sync : Total", Checkable);
        row("signalLevel2", "QPushButton", "analogFrame", inLayout, "0.714 : 0.286 : 1.000 V p-p", "Video : Sync : Total", Checkable);
        row("signalLevel3", "QPushButton", "analogFrame", inLayout, "1.000 : 0.400 : 1.400 V p-p", "Video : Sync : Total", Checkable);
        row("signalLevel4", "QPushButton", "analogFrame", inLayout, "0.700 : 0.000 : 0.700 V p-p", "Video : Sync : Total", Checkable);
        row("separateSync", "QPushButton", "analogFrame", inLayout, "Separate Sync H and V Signals", "Separate Sync H and V Signals", Checkable);
        row("compositeSyncHoriz", "QPushButton", "analogFrame", inLayout, "Comp Sync Signal on Horizontal", "Composite Sync Signal on Horizontal", Checkable);
        row("compositeSyncGreen", "QPushButton", "analogFrame", inLayout, "Comp Sync Signal on Green", "Composite Sync Signal on Green Video", Checkable);
        row("videoSetupLabel", "QLabel", "analogFrame", inLayout, "Video Setup", "", Plain);
        row("serrationsLabel", "QLabel", "analogFrame", inLayout, "Serrations Supported", "", Plain);
        row("videoSetup1", "QPushButton", "analogFrame", inLayout, "Blank Level = Black Level", "Blank Level = Black Level", Checkable);
        row("videoSetup2", "QPushButton", "analogFrame", inLayout, "Blank-to-Black setup or pedestal", "Refer to the appropriate analog video signal level standard for the correct blank-to-black setup level or pedestal amplitude.", Checkable);
        row("serrationVertSync", "QPushButton", "analogFrame", inLayout, "Serration on Vertical Sync", "Serrations of the Vertical Sync Pulse are required when composite sync or sync-on-green video is used.", Checkable);
        row("edidSizeBox", "QGroupBox", "edidType", QRect(10, 530, 531, 51), "", "", Plain);
        row("edidSize128", "QPushButton", "layoutWidget3", inLayout, "128 Bytes", "", Checkable);
        row("edidSize256", "QPushButton", "layoutWidget3", inLayout, "256 Bytes", "", Checkable);
        row("edidSizeLabel", "QLabel", "edidType", QRect(10, 510, 531, 21), "EDID Size", "", Plain);
        // general
        row("generalLabel", "QLabel", "general", QRect(10, 10, 111, 21), "General", "", Plain);
        row("label_47", "QLabel", "layoutWidget_6", inLayout, "Monitor Name", "Model name of the display product", Plain);
        row("monitorName", "QLineEdit", "layoutWidget_6", inLayout, "", "Model name of the display product", Plain);
        row("featureSupportLabel", "QLabel", "general", QRect(10, 99, 411, 30), "Feature Support", "", Plain);
        row("featureSupportBox", "QGroupBox", "general", QRect(10, 130, 411, 191), "", "", Plain);
        row("standbyMode", "QPushButton", "layoutWidget_3", inLayout, "Standby Mode Supported", "DPMS Standby Mode Supported", Checkable);
        row("suspendMode", "QPushButton", "layoutWidget_3", inLayout, "Suspend Mode Supported", "DPMS Suspend Mode Supported", Checkable);
        row("activeOff", "QPushButton", "layoutWidget_3", inLayout, "Active Off = Very Low Power Supported", "DPMS Active Off = Very Low Power Supported", Checkable);
        row("underscan", "QPushButton", "layoutWidget_3", inLayout, "Underscan Supported", "Sink underscans IT Video Formats by default.", Checkable);
        row("imageSizeLabel", "QLabel", "general", QRect(10, 349, 411, 30), "Image Size", "", Plain);
        row("imageSizeBox", "QGroupBox", "general", QRect(10, 380, 411, 151), "", "", Plain);
        row("label_9", "QLabel", "layoutWidget4", inLayout, "Display Size", "", Plain);
        row("displaySize", "QLineEdit", "layoutWidget4", inLayout, "", "", Plain);
        row("label_20", "QLabel", "layoutWidget4", inLayout, "inches", "", Plain);
        row("label_21", "QLabel", "layoutWidget4", inLayout, "Aspect Ratio", "", Plain);
        row("aspectRatio", "QComboBox", "layoutWidget4", inLayout, "", "", Plain);
        row("hdmiImageSizeLabel", "QLabel", "layoutWidget_5", inLayout, "Additional Info", "Indicates additional properties of the above horizontal and vertical image size values.", Plain);
        row("hdmiImageSize", "QComboBox", "layoutWidget_5", inLayout, "", "Indicates additional properties of the above horizontal and vertical image size values.", Plain);
        // timings
        row("timingsLabel", "QLabel", "timings", QRect(10, 10, 111, 21), "Timings", "", Plain);
        row("filterLabel", "QLabel", "timings", QRect(50, 40, 451, 21), "Filter", "", Plain);
        row("filterTimingBox", "QGroupBox", "timings", QRect(50, 60, 451, 91), "", "", Plain);
        row("label_28", "QLabel", "layoutWidget_12", inLayout, "Horizontal Pixels", "Filter timing list by horizontal pixel count.", Plain);
        row("horizontalPixels", "QComboBox", "layoutWidget_12", inLayout, "", "Filter timing list by horizontal pixel count.", Plain);
        row("label_31", "QLabel", "layoutWidget_12", inLayout, "Vertical Lines", "Filter timing list by vertical line count.", Plain);
        row("verticalLines", "QComboBox", "layoutWidget_12", inLayout, "", "Filter timing list by vertical line count.", Plain);
        row("label_32", "QLabel", "layoutWidget_12", inLayout, "Refresh Rate", "Filter timing list by refresh rate.", Plain);
        row("refreshRate", "QComboBox", "layoutWidget_12", inLayout, "", "Filter timing list by refresh rate.", Plain);
        row("label_78", "QLabel", "layoutWidget_12", inLayout, "Scan Type", "Filter timing list by scan type.", Plain);
        row("scanType", "QComboBox", "layoutWidget_12", inLayout, "", "Filter timing list by scan type.", Plain);
        row("selectTimingLabel", "QLabel", "timings", QRect(50, 170, 451, 21), "Make Selection", "", Plain);
        row("selectTimingBox", "QGroupBox", "timings", QRect(50, 190, 451, 111), "", "", Plain);
        row("timingDropdown", "QComboBox", "selectTimingBox", QRect(20, 10, 410, 30), "", "Select a timing to add to the EDID file. The timing will appear in the table below.", Plain);
        row("label_60", "QLabel", "selectTimingBox", QRect(217, 47, 20, 16), "OR", "", Plain);
        row("createYourOwnTiming", "QPushButton", "selectTimingBox", QRect(160, 70, 131, 30), "Create Your Own", "Create a custom timing that will be added to the EDID file and will be stored for future access.", Plain);
        row("timingTable", "QTableView", "timings", QRect(10, 320, 451, 231), "", "Timing table", Plain);
        row("moveTimingUp", "QPushButton", "timings", QRect(470, 320, 71, 30), "Move up", "Move selected timing up in table.", Disabled);
        row("moveTimingDown", "QPushButton", "timings", QRect(470, 360, 71, 30), "Move down", "Move selected timing down in table.", Disabled);
        row("editTiming", "QPushButton", "timings", QRect(470, 400, 71, 30), "Edit", "Edit selected timing.", Disabled);
        row("removeTiming", "QPushButton", "timings", QRect(470, 440, 71, 30), "Remove", "Remove selected timing from table.", Disabled);
        row("clearTimingTable", "QPushButton", "timings", QRect(470, 480, 71, 30), "Clear", "Clear all timings from table.", Disabled);
        row("preferredTimingKey", "QWidget", "layoutWidget_7", inLayout, "", "", Plain);
        row("label_44", "QLabel", "layoutWidget_7", inLayout, "Preferred Timing", "", Plain);
        // tab
        row("colorLabel", "QLabel", "tab", QRect(10, 10, 111, 21), "Color", "", Plain);
        row("digitalColorLabel", "QLabel", "tab", QRect(10, 39, 281, 21), "Digital", "", Plain);
        row("digitalColorBox", "QGroupBox", "tab", QRect(10, 60, 281, 211), "", "", Plain);
        row("label_23", "QLabel", "digitalColorBox", QRect(10, 10, 155, 16), "Color Encoding Formats:", "", Plain);
        row("rgb444Checkbox", "QPushButton", "layoutWidget_10", inLayout, "RGB 4:4:4", "RGB 4:4:4", Checkable | Disabled);
        row("ycbcr444Checkbox", "QPushButton", "layoutWidget_10", inLayout, "YCrCb 4:4:4", "YCrCb 4:4:4", Checkable);
        row("ycbcr422Checkbox", "QPushButton", "layoutWidget_10", inLayout, "YCrCb 4:2:2", "YCrCb 4:2:2", Checkable);
        row("colorBitDepthFrame", "QFrame", "digitalColorBox", QRect(170, 10, 111, 191), "", "", Plain);
        row("label_24", "QLabel", "colorBitDepthFrame", QRect(10, 0, 101, 16), "Color Bit Depth:", "", Plain);
        row("eightBitsPPC", "QPushButton", "layoutWidget_13", inLayout, "8", "8 Bits per Primary Color", Checkable);
        row("tenBitsPPC", "QPushButton", "layoutWidget_13", inLayout, "10", "10 Bits per Primary Color", Checkable);
        row("twelveBitsPPC", "QPushButton", "layoutWidget_13", inLayout, "12", "12 Bits per Primary Color", Checkable);
        row("fourteenBitsPPC", "QPushButton", "layoutWidget_13", inLayout, "14", "14 Bits per Primary Color", Checkable);
        row("sixteenBitsPPC", "QPushButton", "layoutWidget_13", inLayout, "16", "16 Bits per Primary Color", Checkable);
        row("analogColorLabel", "QLabel", "tab", QRect(300, 40, 221, 21), "Analog", "", Plain);
        row("analogColorBox", "QGroupBox", "tab", QRect(300, 61, 221, 211), "", "", Plain);
        row("label_22", "QLabel", "analogColorBox", QRect(9, 10, 151, 16), "Display Color Type:", "", Plain);
        row("monochromeGrayscale", "QPushButton", "layoutWidget_16", inLayout, "Monochrome/grayscale", "Monochrome or Grayscale display", Checkable);
        row("rgbColor", "QPushButton", "layoutWidget_16", inLayout, "RGB color", "RGB color display", Checkable);
        row("nonrgbColor", "QPushButton", "layoutWidget_16", inLayout, "Non-RGB color", "Non-RGB color display", Checkable);
        row("undefinedColor", "QPushButton", "layoutWidget_16", inLayout, "Undefined", "Display color type is undefined", Checkable);
        row("hdmiColorLabel", "QLabel", "tab", QRect(10, 280, 281, 21), "HDMI Settings", "", Plain);
        row("hdmiColorBox", "QGroupBox", "tab", QRect(10, 300, 511, 261), "", "", Plain);
        row("hdmi48bitspixel", "QPushButton", "layoutWidget_14", inLayout, "48 bits/pixel (16 bits/color)", "48 bits/pixel (16 bits/color)", Checkable);
        row("hdmi36bitspixel", "QPushButton", "layoutWidget_14", inLayout, "36 bits/pixel (12 bits/color)", "36 bits/pixel (12 bits/color)", Checkable);
        row("hdmi30bitspixel", "QPushButton", "layoutWidget_14", inLayout, "30 bits/pixel (10 bits/color)", "30 bits/pixel (10 bits/color)", Checkable);
        row("hdmiYCrCb444", "QPushButton", "layoutWidget_14", inLayout, "YCrCb 4:4:4 in Deep Color", "YCrCb 4:4:4 in Deep Color", Checkable);
        row("combohdmi48bitspixel", "QComboBox", "hdmiColorBox", QRect(280, 10, 221, 21), "", "", Plain);
        row("combohdmi36bitspixel", "QComboBox", "hdmiColorBox", QRect(280, 50, 221, 21), "", "", Plain);
        row("combohdmi30bitspixel", "QComboBox", "hdmiColorBox", QRect(280, 90, 221, 21), "", "", Plain);
        row("label_46", "QLabel", "layoutWidget_15", inLayout, "Max TMDS Clock", "", Plain);
        row("maxTMDSClockAuto", "QPushButton", "layoutWidget_15", inLayout, "Automatic", "Automatically compute Max TMDS Clock based on number of bits/pixel in HDMI Settings and the maximum pixel frequency in all timings in the EDID.", Checkable | Checked);
        row("maxTMDSClockManual", "QPushButton", "layoutWidget_15", inLayout, "Manual", "Manually specify the Max TMDS Clock rate.", Checkable);
        row("maxTMDSClock", "QLineEdit", "layoutWidget_15", inLayout, "", "Maximum TMDS Clock Rate", Disabled);
        row("label_49", "QLabel", "layoutWidget_15", inLayout, "MHz", "", Plain);
        // tab_2
        row("chromaticityLabel", "QLabel", "tab_2", QRect(20, 20, 221, 21), "Chromaticity", "", Plain);
        row("chromaticityBox", "QGroupBox", "tab_2", QRect(20, 40, 221, 261), "", "", Plain);
        row("chromaticityDropdown", "QComboBox", "chromaticityBox", QRect(10, 10, 201, 30), "", "Select a set of chromaticity coordinates to populate the fields below.", Plain);
        row("label_37", "QLabel", "layoutWidget_8", inLayout, "X", "", Plain);
        row("label_38", "QLabel", "layoutWidget_8", inLayout, "Y", "", Plain);
        row("label_39", "QLabel", "layoutWidget_8", inLayout, "Red", "", Plain);
        row("redX", "QLineEdit", "layoutWidget_8", inLayout, "", "Red, X", Plain);
        row("redY", "QLineEdit", "layoutWidget_8", inLayout, "", "Red, Y", Plain);
        row("label_40", "QLabel", "layoutWidget_8", inLayout, "Green", "", Plain);
        row("greenX", "QLineEdit", "layoutWidget_8", inLayout, "", "Green, X", Plain);
        row("greenY", "QLineEdit", "layoutWidget_8", inLayout, "", "Green, Y", Plain);
        row("label_41", "QLabel", "layoutWidget_8", inLayout, "Blue", "", Plain);
        row("blueX", "QLineEdit", "layoutWidget_8", inLayout, "", "Blue, X", Plain);
        row("blueY", "QLineEdit", "layoutWidget_8", inLayout, "", "Blue, Y", Plain);
        row("label_42", "QLabel", "layoutWidget_8", inLayout, "White", "", Plain);
        row("whiteX", "QLineEdit", "layoutWidget_8", inLayout, "", "White, X", Plain);
        row("whiteY", "QLineEdit", "layoutWidget_8", inLayout, "", "White, Y", Plain);
        row("storeChromaticity", "QPushButton", "chromaticityBox", QRect(8, 220, 91, 30), "Store", "Store the current set of chromaticity coordinates in a file for future access.", Disabled);
        row("removeChromaticity", "QPushButton", "chromaticityBox", QRect(120, 220, 91, 30), "Remove", "Remove the stored set of chromaticity coordinates.", Disabled);
        row("colorimetryLabel", "QLabel", "tab_2", QRect(280, 20, 141, 21), "Colorimetry", "", Plain);
        row("chromaticityBox_2", "QGroupBox", "tab_2", QRect(280, 40, 141, 261), "", "", Plain);
        row("colorimetry0", "QCheckBox", "verticalLayoutWidget", inLayout, "xvYCC 601", "", Plain);
        row("colorimetry1", "QCheckBox", "verticalLayoutWidget", inLayout, "xvYCC 709", "", Plain);
        row("colorimetry2", "QCheckBox", "verticalLayoutWidget", inLayout, "sYCC 601", "", Plain);
        row("colorimetry3", "QCheckBox", "verticalLayoutWidget", inLayout, "opYCC 601", "", Plain);
        row("colorimetry4", "QCheckBox", "verticalLayoutWidget", inLayout, "opRGB", "", Plain);
        row("colorimetry5", "QCheckBox", "verticalLayoutWidget", inLayout, "BT2020 cYCC", "", Plain);
        row("colorimetry6", "QCheckBox", "verticalLayoutWidget", inLayout, "BT2020 YCC", "", Plain);
        row("colorimetry7", "QCheckBox", "verticalLayoutWidget", inLayout, "BT2020 RGB", "", Plain);
        row("colorimetry8", "QCheckBox", "verticalLayoutWidget", inLayout, "DCI-P3", "", Plain);
        // audioFormat
        row("audioLabel", "QLabel", "audioFormat", QRect(10, 10, 111, 21), "Audio", "", Plain);
        row("basicAudio", "QPushButton", "audioFormat", QRect(10, 50, 201, 30), "Enable Audio Support", "Supports Basic Audio and the audio formats listed below", Checkable);
        row("audioLatencyFrame", "QFrame", "audioFormat", QRect(245, 20, 301, 61), "", "", Plain);
        row("label_59", "QLabel", "layoutWidget_11", inLayout, "Progressive", "", Plain);
        row("interlacedLatencyLabel_2", "QLabel", "layoutWidget_11", inLayout, "Interlaced", "", Plain);
        row("label_67", "QLabel", "layoutWidget_11", inLayout, "Audio Latency (ms)", "The amount of time between the audio entering the HDMI input to the actual presentation to the user (on speakers), whether that presentation is performed by the device itself or by another device downstream.", Plain);
        row("latencyProgressiveAudio", "QLineEdit", "layoutWidget_11", inLayout, "", "Progressive Audio Latency", Plain);
        row("latencyInterlacedAudio", "QLineEdit", "layoutWidget_11", inLayout, "", "Interlaced Audio Latency", Plain);
        row("audioFormatFrame", "QFrame", "audioFormat", QRect(0, 90, 548, 501), "", "", Plain);
        row("speakerAllocLabel", "QLabel", "audioFormatFrame", QRect(10, 10, 531, 21), "Speaker Allocation", "", Plain);
        row("speakerAllocBox", "QGroupBox", "audioFormatFrame", QRect(10, 30, 531, 151), "", "", Plain);
        row("speakerFLH", "QPushButton", "speakerAllocBox", QRect(20, 10, 31, 25), "FLH", "Front Left High", Checkable);
        row("speakerFCH", "QPushButton", "speakerAllocBox", QRect(245, 10, 31, 25), "FCH", "Front Center High", Checkable);
        row("speakerFRH", "QPushButton", "speakerAllocBox", QRect(470, 10, 31, 25), "FRH", "Front Right High", Checkable);
        row("speakerFLW", "QPushButton", "speakerAllocBox", QRect(50, 40, 31, 25), "FLW", "Front Left Wide", Checkable);
        row("speakerFL", "QPushButton", "speakerAllocBox", QRect(90, 40, 81, 25), "FL", "Front Left", Checkable);
        row("speakerFLC", "QPushButton", "speakerAllocBox", QRect(180, 40, 31, 25), "FLC", "Front Left Center", Checkable);
        row("speakerFC", "QPushButton", "speakerAllocBox", QRect(220, 40, 81, 25), "FC", "Front Center", Checkable);
        row("speakerFRC", "QPushButton", "speakerAllocBox", QRect(310, 40, 31, 25), "FRC", "Front Right Center", Checkable);
        row("speakerFR", "QPushButton", "speakerAllocBox", QRect(350, 40, 81, 25), "FR", "Front Right", Checkable);
        row("speakerFRW", "QPushButton", "speakerAllocBox", QRect(439, 40, 33, 25), "FRW", "Front Right Wide", Checkable);
        row("speakerLFE", "QPushButton", "speakerAllocBox", QRect(380, 70, 81, 25), "LFE", "", Checkable);
        row("speakerTC", "QPushButton", "speakerAllocBox", QRect(245, 80, 31, 25), "TC", "Top Center", Checkable);
        row("speakerRL", "QPushButton", "speakerAllocBox", QRect(65, 120, 81, 25), "RL", "Rear Left", Checkable);
        row("speakerRLC", "QPushButton", "speakerAllocBox", QRect(155, 120, 81, 25), "RLC", "Rear Left Center", Checkable);
        row("speakerRC", "QPushButton", "speakerAllocBox", QRect(245, 120, 31, 25), "RC", "Rear Center", Checkable);
        row("speakerRRC", "QPushButton", "speakerAllocBox", QRect(285, 120, 81, 25), "RRC", "Rear Right Center", Checkable);
        row("speakerRR", "QPushButton", "speakerAllocBox", QRect(375, 120, 81, 25), "RR", "Rear Right", Checkable);
        row("line_3", "QFrame", "audioFormatFrame", QRect(10, 190, 531, 20), "", "", Plain);
        row("selectAudioLabel", "QLabel", "audioFormatFrame", QRect(60, 210, 421, 21), "Make Selection", "", Plain);
        row("selectAudioBox", "QGroupBox", "audioFormatFrame", QRect(60, 230, 421, 101), "", "", Plain);
        row("audioDropdown", "QComboBox", "selectAudioBox", QRect(20, 10, 381, 30), "", "Select an audio format to add to the Audio Data Block in the EDID file. The audio format will appear in the table below.", Plain);
        row("label_25", "QLabel", "selectAudioBox", QRect(200, 40, 20, 20), "OR", "", Plain);
        row("createYourOwnAudioFormat", "QPushButton", "selectAudioBox", QRect(145, 60, 131, 30), "Create Your Own", "Create a custom audio format that will be added to the Audio Data Block in the EDID file and will be stored for future access.", Plain);
        row("audioTable", "QTableView", "layoutWidget5", inLayout, "", "Audio formats table", Plain);
        row("moveAudioUp", "QPushButton", "layoutWidget5", inLayout, "Move up", "Move selected audio format up in table.", Disabled);
        row("moveAudioDown", "QPushButton", "layoutWidget5", inLayout, "Move down", "Move selected audio format down in table.", Disabled);
        row("editAudio", "QPushButton", "layoutWidget5", inLayout, "Edit", "Edit selected audio format.", Disabled);
        row("removeAudio", "QPushButton", "layoutWidget5", inLayout, "Remove", "Remove selected audio format from table.", Disabled);
        row("clearAudioTable", "QPushButton", "layoutWidget5", inLayout, "Clear", "Clear audio formats table.", Disabled);
    }

    void widgets()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, parentName);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(QString, toolTip);
        QFETCH(int, flags);
        auto* w = find<QWidget>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(QString(w->metaObject()->className()), className);
        QCOMPARE(w->parentWidget()->objectName(), parentName);
        if (geometry.isValid())
            QCOMPARE(w->geometry(), geometry);
        QCOMPARE(wording(caption(w)), text);
        QCOMPARE(wording(w->toolTip()), toolTip);
        QCOMPARE(w->isEnabled(), !(flags & Disabled));
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            QCOMPARE(b->isCheckable(), bool(flags & Checkable) || qobject_cast<QCheckBox*>(w) != nullptr);
            QCOMPARE(b->isChecked(), bool(flags & Checked));
        }
    }

    // Cells of the layouts; a blank name stands for a spacer. Box layouts give the place in box
    // order as the row.
    void layouts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("spacing");
        QTest::addColumn<int>("margin");
        QTest::addColumn<QList<Cell>>("cells");
        QTest::newRow("horizontalLayout_2") << "horizontalLayout_2" << 6 << 0 << QList<Cell>{{"dpRadio", 0, -1, 1, 1}, {"", 1, -1, 1, 1}, {"hdmiRadio", 2, -1, 1, 1}, {"", 3, -1, 1, 1}, {"dviRadio", 4, -1, 1, 1}};
        QTest::newRow("gridLayout_3") << "gridLayout_3" << 6 << 11 << QList<Cell>{{"signalLevelStdLabel", 0, 0, 1, 2}, {"", 0, 2, 1, 1}, {"syncTypeLabel", 0, 3, 1, 2}, {"signalLevel1", 1, 0, 1, 2}, {"signalLevel2", 2, 0, 1, 2}, {"signalLevel3", 3, 0, 1, 2}, {"signalLevel4", 4, 0, 1, 2}, {"separateSync", 1, 3, 1, 2}, {"compositeSyncHoriz", 2, 3, 1, 2}, {"compositeSyncGreen", 3, 3, 1, 2}, {"videoSetupLabel", 5, 0, 1, 2}, {"serrationsLabel", 5, 3, 1, 2}, {"videoSetup1", 6, 0, 1, 2}, {"videoSetup2", 7, 0, 1, 2}, {"serrationVertSync", 6, 3, 1, 2}};
        QTest::newRow("horizontalLayout_3") << "horizontalLayout_3" << 6 << 0 << QList<Cell>{{"edidSize128", 0, -1, 1, 1}, {"", 1, -1, 1, 1}, {"edidSize256", 2, -1, 1, 1}};
        QTest::newRow("horizontalLayout_15") << "horizontalLayout_15" << 6 << 0 << QList<Cell>{{"label_47", 0, -1, 1, 1}, {"", 1, -1, 1, 1}, {"monitorName", 2, -1, 1, 1}};
        QTest::newRow("verticalLayout_7") << "verticalLayout_7" << 6 << 0 << QList<Cell>{{"standbyMode", 0, -1, 1, 1}, {"suspendMode", 1, -1, 1, 1}, {"activeOff", 2, -1, 1, 1}, {"underscan", 3, -1, 1, 1}};
        QTest::newRow("gridLayout_5") << "gridLayout_5" << 6 << 0 << QList<Cell>{{"label_9", 0, 0, 1, 1}, {"displaySize", 0, 1, 1, 1}, {"label_20", 0, 2, 1, 1}, {"label_21", 1, 0, 1, 1}, {"aspectRatio", 1, 1, 1, 2}};
        QTest::newRow("horizontalLayout_4") << "horizontalLayout_4" << 6 << 0 << QList<Cell>{{"hdmiImageSizeLabel", 0, -1, 1, 1}, {"hdmiImageSize", 1, -1, 1, 1}};
        QTest::newRow("gridLayout_11") << "gridLayout_11" << 6 << 0 << QList<Cell>{{"label_28", 0, 0, 1, 1}, {"horizontalPixels", 0, 1, 1, 1}, {"", 0, 2, 1, 1}, {"label_31", 0, 3, 1, 1}, {"verticalLines", 0, 4, 1, 1}, {"label_32", 1, 0, 1, 1}, {"refreshRate", 1, 1, 1, 1}, {"", 1, 2, 1, 1}, {"label_78", 1, 3, 1, 1}, {"scanType", 1, 4, 1, 1}};
        QTest::newRow("horizontalLayout_10") << "horizontalLayout_10" << 6 << 0 << QList<Cell>{{"preferredTimingKey", 0, -1, 1, 1}, {"label_44", 1, -1, 1, 1}};
        QTest::newRow("verticalLayout_2") << "verticalLayout_2" << 6 << 0 << QList<Cell>{{"rgb444Checkbox", 0, -1, 1, 1}, {"ycbcr444Checkbox", 1, -1, 1, 1}, {"ycbcr422Checkbox", 2, -1, 1, 1}};
        QTest::newRow("verticalLayout") << "verticalLayout" << 6 << 0 << QList<Cell>{{"eightBitsPPC", 0, -1, 1, 1}, {"tenBitsPPC", 1, -1, 1, 1}, {"twelveBitsPPC", 2, -1, 1, 1}, {"fourteenBitsPPC", 3, -1, 1, 1}, {"sixteenBitsPPC", 4, -1, 1, 1}};
        QTest::newRow("verticalLayout_3") << "verticalLayout_3" << 6 << 0 << QList<Cell>{{"monochromeGrayscale", 0, -1, 1, 1}, {"rgbColor", 1, -1, 1, 1}, {"nonrgbColor", 2, -1, 1, 1}, {"undefinedColor", 3, -1, 1, 1}};
        QTest::newRow("verticalLayout_5") << "verticalLayout_5" << 5 << 0 << QList<Cell>{{"hdmi48bitspixel", 0, -1, 1, 1}, {"hdmi36bitspixel", 1, -1, 1, 1}, {"hdmi30bitspixel", 2, -1, 1, 1}, {"hdmiYCrCb444", 3, -1, 1, 1}};
        QTest::newRow("gridLayout_12") << "gridLayout_12" << 6 << 0 << QList<Cell>{{"label_46", 0, 0, 1, 2}, {"maxTMDSClockAuto", 1, 0, 1, 1}, {"maxTMDSClockManual", 2, 0, 1, 1}, {"maxTMDSClock", 1, 1, 2, 1}, {"label_49", 1, 2, 2, 1}};
        QTest::newRow("gridLayout_7") << "gridLayout_7" << 6 << 0 << QList<Cell>{{"label_37", 0, 1, 1, 1}, {"label_38", 0, 2, 1, 1}, {"label_39", 1, 0, 1, 1}, {"redX", 1, 1, 1, 1}, {"redY", 1, 2, 1, 1}, {"label_40", 2, 0, 1, 1}, {"greenX", 2, 1, 1, 1}, {"greenY", 2, 2, 1, 1}, {"label_41", 3, 0, 1, 1}, {"blueX", 3, 1, 1, 1}, {"blueY", 3, 2, 1, 1}, {"label_42", 4, 0, 1, 1}, {"whiteX", 4, 1, 1, 1}, {"whiteY", 4, 2, 1, 1}};
        QTest::newRow("verticalLayout_11") << "verticalLayout_11" << 6 << 0 << QList<Cell>{{"colorimetry0", 0, -1, 1, 1}, {"colorimetry1", 1, -1, 1, 1}, {"colorimetry2", 2, -1, 1, 1}, {"colorimetry3", 3, -1, 1, 1}, {"colorimetry4", 4, -1, 1, 1}, {"colorimetry5", 5, -1, 1, 1}, {"colorimetry6", 6, -1, 1, 1}, {"colorimetry7", 7, -1, 1, 1}, {"colorimetry8", 8, -1, 1, 1}};
        QTest::newRow("gridLayout_10") << "gridLayout_10" << 6 << 0 << QList<Cell>{{"label_59", 0, 1, 1, 1}, {"interlacedLatencyLabel_2", 0, 2, 1, 1}, {"label_67", 1, 0, 1, 1}, {"latencyProgressiveAudio", 1, 1, 1, 1}, {"latencyInterlacedAudio", 1, 2, 1, 1}};
        QTest::newRow("gridLayout_24") << "gridLayout_24" << 6 << 0 << QList<Cell>{{"audioTable", 0, 0, 5, 1}, {"moveAudioUp", 0, 1, 1, 1}, {"moveAudioDown", 1, 1, 1, 1}, {"editAudio", 2, 1, 1, 1}, {"removeAudio", 3, 1, 1, 1}, {"clearAudioTable", 4, 1, 1, 1}};
    }

    void layouts()
    {
        QFETCH(QString, name);
        QFETCH(int, spacing);
        QFETCH(int, margin);
        QFETCH(QList<Cell>, cells);
        auto* layout = window.findChild<QLayout*>(name);
        QVERIFY(layout);
        QCOMPARE(layout->spacing(), spacing);
        QCOMPARE(layout->contentsMargins(), QMargins(margin, margin, margin, margin));
        QCOMPARE(layout->count(), cells.size());
        auto* grid = qobject_cast<QGridLayout*>(layout);
        for (const Cell& c : qAsConst(cells)) {
            QLayoutItem* item = nullptr;
            if (grid) {
                item = grid->itemAtPosition(c.row, c.column);
                QVERIFY2(item, qPrintable(QStringLiteral("%1: nothing at %2,%3").arg(name).arg(c.row).arg(c.column)));
                int row, column, rowSpan, columnSpan;
                grid->getItemPosition(grid->indexOf(item), &row, &column, &rowSpan, &columnSpan);
                QCOMPARE(QPoint(row, column), QPoint(c.row, c.column));
                QCOMPARE(QSize(columnSpan, rowSpan), QSize(c.columnSpan, c.rowSpan));
            } else {
                item = layout->itemAt(c.row);
            }
            if (c.name[0] == '\0')
                QVERIFY2(item->spacerItem(), qPrintable(QStringLiteral("%1: no spacer at %2").arg(name).arg(c.row)));
            else
                QVERIFY2(item->widget() && item->widget()->objectName() == QLatin1String(c.name),
                         qPrintable(QStringLiteral("%1: %2 is not at its place").arg(name, c.name)));
        }
    }

    void spacers()
    {
        const auto spacerAt = [](QLayout* l, int index) { return l->itemAt(index)->spacerItem(); };
        const auto check = [](QSpacerItem* s, QSize size, QSizePolicy::Policy h, QSizePolicy::Policy v) {
            QVERIFY(s);
            QCOMPARE(s->sizeHint(), size);
            QCOMPARE(s->sizePolicy().horizontalPolicy(), h);
            QCOMPARE(s->sizePolicy().verticalPolicy(), v);
        };
        check(spacerAt(ui.horizontalLayout_2, 1), QSize(20, 40), QSizePolicy::Minimum, QSizePolicy::Expanding);
        check(spacerAt(ui.horizontalLayout_2, 3), QSize(20, 40), QSizePolicy::Minimum, QSizePolicy::Expanding);
        check(spacerAt(ui.horizontalLayout_3, 1), QSize(38, 20), QSizePolicy::Fixed, QSizePolicy::Minimum);
        check(spacerAt(ui.horizontalLayout_15, 1), QSize(20, 40), QSizePolicy::Minimum, QSizePolicy::Expanding);
        check(ui.gridLayout_3->itemAtPosition(0, 2)->spacerItem(), QSize(15, 20), QSizePolicy::Fixed, QSizePolicy::Minimum);
        check(ui.gridLayout_11->itemAtPosition(0, 2)->spacerItem(), QSize(20, 20), QSizePolicy::Fixed, QSizePolicy::Minimum);
        check(ui.gridLayout_11->itemAtPosition(1, 2)->spacerItem(), QSize(20, 20), QSizePolicy::Fixed, QSizePolicy::Minimum);
    }

    void layoutWidgets_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("layoutWidget_2") << "layoutWidget_2" << "digitalFrame" << QRect(30, 20, 461, 32);
        QTest::newRow("layoutWidget3") << "layoutWidget3" << "edidSizeBox" << QRect(100, 10, 331, 32);
        QTest::newRow("layoutWidget_6") << "layoutWidget_6" << "general" << QRect(10, 50, 411, 41);
        QTest::newRow("layoutWidget_3") << "layoutWidget_3" << "featureSupportBox" << QRect(60, 8, 291, 171);
        QTest::newRow("layoutWidget4") << "layoutWidget4" << "imageSizeBox" << QRect(10, 20, 255, 68);
        QTest::newRow("layoutWidget_5") << "layoutWidget_5" << "imageSizeBox" << QRect(11, 101, 358, 32);
        QTest::newRow("layoutWidget_12") << "layoutWidget_12" << "filterTimingBox" << QRect(10, 10, 431, 71);
        QTest::newRow("layoutWidget_7") << "layoutWidget_7" << "timings" << QRect(10, 560, 121, 20);
        QTest::newRow("layoutWidget_10") << "layoutWidget_10" << "digitalColorBox" << QRect(10, 30, 141, 121);
        QTest::newRow("layoutWidget_13") << "layoutWidget_13" << "colorBitDepthFrame" << QRect(10, 20, 91, 171);
        QTest::newRow("layoutWidget_16") << "layoutWidget_16" << "analogColorBox" << QRect(10, 30, 201, 171);
        QTest::newRow("layoutWidget_14") << "layoutWidget_14" << "hdmiColorBox" << QRect(10, 10, 261, 137);
        QTest::newRow("layoutWidget_15") << "layoutWidget_15" << "hdmiColorBox" << QRect(10, 160, 261, 87);
        QTest::newRow("layoutWidget_8") << "layoutWidget_8" << "chromaticityBox" << QRect(10, 50, 201, 161);
        QTest::newRow("verticalLayoutWidget") << "verticalLayoutWidget" << "chromaticityBox_2" << QRect(9, 9, 123, 241);
        QTest::newRow("layoutWidget_11") << "layoutWidget_11" << "audioLatencyFrame" << QRect(0, 0, 291, 61);
        QTest::newRow("layoutWidget5") << "layoutWidget5" << "audioFormatFrame" << QRect(10, 340, 531, 161);
    }

    void layoutWidgets()
    {
        QFETCH(QString, name);
        QFETCH(QString, parentName);
        QFETCH(QRect, geometry);
        auto* w = find<QWidget>(name);
        QVERIFY(w);
        QCOMPARE(QString(w->metaObject()->className()), QStringLiteral("QWidget"));
        QCOMPARE(w->parentWidget()->objectName(), parentName);
        QCOMPARE(w->geometry(), geometry);
        QVERIFY(w->layout());
    }

    // The exclusive groups of the editor and their automatic ids, in the order of adding.
    void buttonGroups_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("videoInterfaceGroup") << "videoInterfaceGroup" << QStringList{"digitalRadio", "analogRadio"};
        QTest::newRow("digitalVideoInterfaceGroup") << "digitalVideoInterfaceGroup" << QStringList{"dpRadio", "hdmiRadio", "dviRadio"};
        QTest::newRow("signalLevelGroup") << "signalLevelGroup"
                                          << QStringList{"signalLevel1", "signalLevel2", "signalLevel3", "signalLevel4"};
        QTest::newRow("videoSetupGroup") << "videoSetupGroup" << QStringList{"videoSetup1", "videoSetup2"};
        QTest::newRow("edidSizeGroup") << "edidSizeGroup" << QStringList{"edidSize128", "edidSize256"};
        QTest::newRow("tmdsClockGroup") << "tmdsClockGroup" << QStringList{"maxTMDSClockAuto", "maxTMDSClockManual"};
        QTest::newRow("colorBitDepthGroup") << "colorBitDepthGroup"
                                            << QStringList{"eightBitsPPC", "tenBitsPPC", "twelveBitsPPC", "fourteenBitsPPC", "sixteenBitsPPC"};
        QTest::newRow("vgaDisplayColorGroup") << "vgaDisplayColorGroup"
                                              << QStringList{"monochromeGrayscale", "rgbColor", "nonrgbColor", "undefinedColor"};
    }

    void buttonGroups()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, buttons);
        auto* group = find<QButtonGroup>(name);
        QVERIFY(group);
        QCOMPARE(group->parent(), &window);
        QVERIFY(group->exclusive());
        QStringList members;
        for (QAbstractButton* b : group->buttons())
            members << b->objectName();
        QCOMPARE(members, buttons);
        for (int i = 0; i < buttons.size(); ++i) {
            auto* b = find<QAbstractButton>(buttons.at(i));
            QCOMPARE(group->id(b), -2 - i);
            QCOMPARE(group->button(-2 - i), b);
            QCOMPARE(b->group(), group);
        }

        // Picking one button drops the others; picking the checked one again keeps it.
        QAbstractButton* before = group->checkedButton();
        const auto restore = qScopeGuard([&] {
            group->setExclusive(false);
            for (QAbstractButton* b : group->buttons())
                b->setChecked(b == before);
            group->setExclusive(true);
        });
        for (QAbstractButton* picked : group->buttons()) {
            picked->click();
            QCOMPARE(group->checkedButton(), picked);
            for (QAbstractButton* other : group->buttons())
                QCOMPARE(other->isChecked(), other == picked);
            picked->click();
            QVERIFY(picked->isChecked());
        }
    }

    // After the form is built only the automatic TMDS clock is chosen.
    void initialChoices()
    {
        for (const QString& page : kPages)
            for (QAbstractButton* b : find<QWidget>(page)->findChildren<QAbstractButton*>())
                QVERIFY2(b->isChecked() == (b == ui.maxTMDSClockAuto), qPrintable(b->objectName()));
    }

    // Switches outside the groups toggle on their own and do not affect their neighbours.
    void independentSwitches_data()
    {
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("sync types") << QStringList{"separateSync", "compositeSyncHoriz", "compositeSyncGreen", "serrationVertSync"};
        QTest::newRow("feature support") << QStringList{"standbyMode", "suspendMode", "activeOff", "underscan"};
        QTest::newRow("colour encodings") << QStringList{"ycbcr444Checkbox", "ycbcr422Checkbox"};
        QTest::newRow("deep colour") << QStringList{"hdmi48bitspixel", "hdmi36bitspixel", "hdmi30bitspixel", "hdmiYCrCb444"};
        QTest::newRow("colorimetry") << QStringList{"colorimetry0", "colorimetry1", "colorimetry2", "colorimetry3", "colorimetry4",
                                                    "colorimetry5", "colorimetry6", "colorimetry7", "colorimetry8"};
        QStringList speakers;
        for (QAbstractButton* b : window.findChild<QWidget*>("speakerAllocBox")->findChildren<QAbstractButton*>())
            speakers << b->objectName();
        QTest::newRow("speakers") << speakers;
    }

    void independentSwitches()
    {
        QFETCH(QStringList, buttons);
        QVERIFY(!buttons.isEmpty());
        QList<QAbstractButton*> list;
        for (const QString& n : qAsConst(buttons))
            list << find<QAbstractButton>(n);
        const auto restore = qScopeGuard([&] {
            for (QAbstractButton* b : qAsConst(list))
                b->setChecked(false);
        });
        for (QAbstractButton* b : qAsConst(list)) {
            QVERIFY2(!b->group() && !b->autoExclusive(), qPrintable(b->objectName()));
            b->click();
        }
        for (QAbstractButton* b : qAsConst(list))
            QVERIFY2(b->isChecked(), qPrintable(b->objectName()));
        list.first()->click();
        QVERIFY(!list.first()->isChecked());
        QVERIFY(list.last()->isChecked());
    }

    // The editor turns indexes into EDID values: the lists keep exactly this order.
    void comboItems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("aspectRatio") << "aspectRatio" << QStringList{"16:9", "4:3", "16:10", "5:4", "18:10", "64:27", "256:135"};
        QTest::newRow("hdmiImageSize") << "hdmiImageSize"
                                       << QStringList{"None", "Correct aspect ratio but sizes not guaranteed",
                                                      "Sizes rounded to nearest centimeter", "Sizes rounded to nearest 5 centimeters"};
        QTest::newRow("horizontalPixels") << "horizontalPixels" << QStringList{"Any"};
        QTest::newRow("verticalLines") << "verticalLines" << QStringList{"Any"};
        QTest::newRow("refreshRate") << "refreshRate" << QStringList{"Any"};
        QTest::newRow("scanType") << "scanType" << QStringList{"Any", "Progressive", "Interlaced"};
        QTest::newRow("timingDropdown") << "timingDropdown" << QStringList{"Select Timing from List"};
        QTest::newRow("combohdmi48bitspixel") << "combohdmi48bitspixel" << QStringList{"Maximum Resolution in 16bits"};
        QTest::newRow("combohdmi36bitspixel") << "combohdmi36bitspixel" << QStringList{"Maximum Resolution in 12bits"};
        QTest::newRow("combohdmi30bitspixel") << "combohdmi30bitspixel" << QStringList{"Maximum Resolution in 10bits"};
        QTest::newRow("chromaticityDropdown") << "chromaticityDropdown" << QStringList{"Select from List"};
        QTest::newRow("audioDropdown") << "audioDropdown" << QStringList{"Select Audio Format from List"};
    }

    void comboItems()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, items);
        auto* c = find<QComboBox>(name);
        QVERIFY(c);
        QCOMPARE(::items(c), items);
        QCOMPARE(c->currentIndex(), 0);
        QVERIFY(!c->isEditable());
        QVERIFY(c->isEnabled());
    }

    // Text fields: free text without validators or masks; only the monitor name has a limit.
    void lineEdits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("placeholder");
        const int unlimited = QLineEdit().maxLength();
        QTest::newRow("monitorName") << "monitorName" << 13 << "Optional";
        QTest::newRow("displaySize") << "displaySize" << unlimited << "Optional";
        QTest::newRow("maxTMDSClock") << "maxTMDSClock" << unlimited << "";
        for (const char* n : {"redX", "redY", "greenX", "greenY", "blueX", "blueY", "whiteX", "whiteY"})
            QTest::newRow(n) << n << unlimited << "0.0000";
        QTest::newRow("latencyProgressiveAudio") << "latencyProgressiveAudio" << unlimited << "Optional";
        QTest::newRow("latencyInterlacedAudio") << "latencyInterlacedAudio" << unlimited << "Optional";
    }

    void lineEdits()
    {
        QFETCH(QString, name);
        QFETCH(int, maxLength);
        QFETCH(QString, placeholder);
        auto* e = find<QLineEdit>(name);
        QVERIFY(e);
        QCOMPARE(e->maxLength(), maxLength);
        QCOMPARE(e->placeholderText(), placeholder);
        QVERIFY(e->text().isEmpty());
        QVERIFY(!e->validator());
        QVERIFY(e->inputMask().isEmpty());
        QCOMPARE(e->inputMethodHints(), Qt::ImhNone);
        QVERIFY(!e->isReadOnly());
        QCOMPARE(e->minimumHeight(), 30);
    }

    // A monitor-name descriptor holds 13 characters: typing more keeps the first 13.
    void monitorNameLimit()
    {
        const auto restore = qScopeGuard([this] { ui.monitorName->clear(); });
        QTest::keyClicks(ui.monitorName, QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
        QCOMPARE(ui.monitorName->text(), QStringLiteral("ABCDEFGHIJKLM"));
        ui.monitorName->setText(QStringLiteral("Velmo Display Pro"));
        QCOMPARE(ui.monitorName->text(), QStringLiteral("Velmo Display"));
    }

    void sizes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<QSize>("maximum");
        QTest::addColumn<int>("hPolicy");
        QTest::addColumn<int>("vPolicy");
        const int none = QWIDGETSIZE_MAX;
        const int pref = QSizePolicy::Preferred, fixed = QSizePolicy::Fixed, exp = QSizePolicy::Expanding,
                  maxi = QSizePolicy::Maximum, mini = QSizePolicy::Minimum;
        QTest::newRow("edidTypeLabel") << "edidTypeLabel" << QSize(0, 0) << QSize(none, none) << pref << pref;
        QTest::newRow("digitalRadio") << "digitalRadio" << QSize(0, 30) << QSize(none, none) << mini << fixed;
        QTest::newRow("dpRadio") << "dpRadio" << QSize(0, 30) << QSize(none, none) << exp << fixed;
        QTest::newRow("hdmiRadio") << "hdmiRadio" << QSize(0, 30) << QSize(none, none) << exp << fixed;
        QTest::newRow("dviRadio") << "dviRadio" << QSize(0, 30) << QSize(none, none) << exp << fixed;
        QTest::newRow("signalLevelStdLabel") << "signalLevelStdLabel" << QSize(0, 30) << QSize(none, 30) << pref << pref;
        QTest::newRow("videoSetup2") << "videoSetup2" << QSize(200, 30) << QSize(none, none) << mini << fixed;
        QTest::newRow("edidSize256") << "edidSize256" << QSize(0, 30) << QSize(none, none) << mini << fixed;
        QTest::newRow("label_21") << "label_21" << QSize(73, 0) << QSize(none, none) << pref << pref;
        QTest::newRow("hdmiImageSize") << "hdmiImageSize" << QSize(280, 30) << QSize(none, none) << pref << fixed;
        QTest::newRow("aspectRatio") << "aspectRatio" << QSize(0, 30) << QSize(none, none) << pref << fixed;
        QTest::newRow("horizontalPixels") << "horizontalPixels" << QSize(0, 30) << QSize(82, none) << maxi << fixed;
        QTest::newRow("verticalLines") << "verticalLines" << QSize(0, 30) << QSize(69, none) << maxi << fixed;
        QTest::newRow("refreshRate") << "refreshRate" << QSize(0, 30) << QSize(82, none) << pref << fixed;
        QTest::newRow("scanType") << "scanType" << QSize(0, 30) << QSize(69, none) << pref << fixed;
        QTest::newRow("timingDropdown") << "timingDropdown" << QSize(0, 30) << QSize(410, none) << fixed << fixed;
        QTest::newRow("label_60") << "label_60" << QSize(0, 0) << QSize(20, none) << pref << pref;
        QTest::newRow("createYourOwnTiming") << "createYourOwnTiming" << QSize(0, 30) << QSize(160, none) << mini << fixed;
        QTest::newRow("moveTimingUp") << "moveTimingUp" << QSize(0, 30) << QSize(none, none) << mini << fixed;
        QTest::newRow("eightBitsPPC") << "eightBitsPPC" << QSize(0, 25) << QSize(none, none) << mini << fixed;
        QTest::newRow("sixteenBitsPPC") << "sixteenBitsPPC" << QSize(0, 25) << QSize(none, none) << mini << fixed;
        QTest::newRow("maxTMDSClockAuto") << "maxTMDSClockAuto" << QSize(120, 30) << QSize(none, none) << pref << fixed;
        QTest::newRow("maxTMDSClockManual") << "maxTMDSClockManual" << QSize(120, 30) << QSize(none, none) << pref << fixed;
        QTest::newRow("storeChromaticity") << "storeChromaticity" << QSize(0, 30) << QSize(none, none) << mini << fixed;
        QTest::newRow("basicAudio") << "basicAudio" << QSize(0, 30) << QSize(none, none) << mini << fixed;
        QTest::newRow("audioDropdown") << "audioDropdown" << QSize(0, 30) << QSize(500, none) << fixed << fixed;
        QTest::newRow("createYourOwnAudioFormat") << "createYourOwnAudioFormat" << QSize(0, 30) << QSize(160, none) << mini << fixed;
        QTest::newRow("moveAudioUp") << "moveAudioUp" << QSize(0, 0) << QSize(none, none) << mini << exp;
        QTest::newRow("clearAudioTable") << "clearAudioTable" << QSize(0, 0) << QSize(none, none) << mini << exp;
    }

    void sizes()
    {
        QFETCH(QString, name);
        QFETCH(QSize, minimum);
        QFETCH(QSize, maximum);
        QFETCH(int, hPolicy);
        QFETCH(int, vPolicy);
        auto* w = find<QWidget>(name);
        QVERIFY(w);
        QCOMPARE(w->minimumSize(), minimum);
        QCOMPARE(w->maximumSize(), maximum);
        QCOMPARE(int(w->sizePolicy().horizontalPolicy()), hPolicy);
        QCOMPARE(int(w->sizePolicy().verticalPolicy()), vPolicy);
    }

    // Every checkable button of the analog box and the feature, colour and latency rows is at
    // least 30 px high, like the rest of the editor's buttons.
    void buttonHeights()
    {
        for (const QString& page : kPages) {
            for (QPushButton* b : find<QWidget>(page)->findChildren<QPushButton*>()) {
                if (b->parentWidget() == ui.speakerAllocBox || b->parentWidget() == ui.layoutWidget_13
                    || b->parentWidget() == ui.layoutWidget5)
                    continue;
                QVERIFY2(b->minimumHeight() == 30, qPrintable(b->objectName()));
            }
        }
    }

    // Page headings: a 10 pt caption, bold and centred.
    void headings_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* n : {"edidTypeLabel", "generalLabel", "timingsLabel", "colorLabel", "audioLabel"})
            QTest::newRow(n) << n;
    }

    void headings()
    {
        QFETCH(QString, name);
        auto* l = find<QLabel>(name);
        QVERIFY(l);
        QCOMPARE(l->geometry(), QRect(10, 10, 111, 21));
        QVERIFY(Qt::mightBeRichText(l->text()));
        QTextDocument doc;
        doc.setHtml(l->text());
        QCOMPARE(doc.blockCount(), 1);
        const QTextBlock block = doc.firstBlock();
        QCOMPARE(block.begin().fragment().charFormat().font().pointSize(), 10);
        QVERIFY(l->font().bold());
        QCOMPARE(l->font().weight(), int(QFont::Bold));
        QCOMPARE(l->alignment(), Qt::AlignCenter);
    }

    // Long tool tips are justified paragraphs.
    void justifiedToolTips_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* n : {"videoSetup2", "serrationVertSync", "hdmiImageSizeLabel", "hdmiImageSize", "createYourOwnTiming",
                              "maxTMDSClockAuto", "label_67", "audioDropdown", "createYourOwnAudioFormat"})
            QTest::newRow(n) << n;
    }

    void justifiedToolTips()
    {
        QFETCH(QString, name);
        auto* w = find<QWidget>(name);
        QVERIFY(w);
        QVERIFY(Qt::mightBeRichText(w->toolTip()));
        QTextDocument doc;
        doc.setHtml(w->toolTip());
        QCOMPARE(doc.blockCount(), 1);
        QVERIFY(doc.firstBlock().blockFormat().alignment() & Qt::AlignJustify);
    }

    void captionLabels()
    {
        for (QLabel* l : {ui.signalLevelStdLabel, ui.syncTypeLabel, ui.videoSetupLabel, ui.serrationsLabel}) {
            QVERIFY(Qt::mightBeRichText(l->text()));
            QCOMPARE(l->alignment(), Qt::AlignCenter);
            QVERIFY(l->toolTip().isEmpty());
        }
        for (QLabel* l : {ui.featureSupportLabel, ui.imageSizeLabel, ui.filterLabel, ui.selectTimingLabel, ui.digitalColorLabel,
                          ui.analogColorLabel, ui.hdmiColorLabel, ui.chromaticityLabel, ui.colorimetryLabel,
                          ui.speakerAllocLabel, ui.selectAudioLabel, ui.edidSizeLabel, ui.label_37, ui.label_38})
            QVERIFY2(l->alignment() == Qt::AlignCenter, qPrintable(l->objectName()));
        // the timing list's tool tip is a document in the dialog font, not justified
        QTextDocument doc;
        doc.setHtml(ui.timingDropdown->toolTip());
        const QFont font = doc.firstBlock().begin().fragment().charFormat().font();
        QCOMPARE(font.family(), QStringLiteral("MS Shell Dlg 2"));
        QCOMPARE(font.pointSize(), 8);
        QVERIFY(!(doc.firstBlock().blockFormat().alignment() & Qt::AlignJustify));
    }

    void fonts()
    {
        for (QTableView* t : {ui.timingTable, ui.audioTable}) {
            QCOMPARE(t->font().family(), QStringLiteral("MS Shell Dlg 2"));
            QCOMPARE(t->font().pointSize(), 8);
            QVERIFY(!t->font().bold());
            QVERIFY(t->styleSheet().isEmpty());
            QVERIFY(!t->model()); // the editor sets its models
        }
        for (QWidget* w : QList<QWidget*>{ui.edidSizeLabel, ui.audioFormatFrame, ui.label_25, ui.createYourOwnAudioFormat})
            QCOMPARE(w->font().pointSize(), 8);
        QVERIFY(ui.preferredTimingKey->styleSheet().isEmpty());
        QVERIFY(ui.filterTimingBox->styleSheet().isEmpty());
        QVERIFY(!ui.filterTimingBox->autoFillBackground());

        // the application style sheet sets the pick lists, and their drop-down lists, in 11 px Courier
        qApp->setStyleSheet(plexaStyleSheet());
        const auto restore = qScopeGuard([] { qApp->setStyleSheet(QString()); });
        for (QComboBox* c : {ui.timingDropdown, ui.audioDropdown}) {
            for (QWidget* w : {static_cast<QWidget*>(c), static_cast<QWidget*>(c->view())}) {
                w->ensurePolished();
                QCOMPARE(w->font().family(), QStringLiteral("Courier"));
                QCOMPARE(w->font().pixelSize(), 11);
                QVERIFY(!w->font().bold() && !w->font().italic());
            }
        }
    }

    void framesAndBoxes()
    {
        for (QFrame* f : {ui.colorBitDepthFrame, ui.audioLatencyFrame, ui.audioFormatFrame}) {
            QCOMPARE(f->frameShape(), QFrame::StyledPanel);
            QCOMPARE(f->frameShadow(), QFrame::Raised);
        }
        QCOMPARE(ui.line_3->frameShape(), QFrame::HLine);
        QCOMPARE(ui.line_3->frameShadow(), QFrame::Sunken);
        for (const QString& page : kPages)
            for (QGroupBox* g : find<QWidget>(page)->findChildren<QGroupBox*>())
                QVERIFY2(g->title().isEmpty() && !g->isCheckable(), qPrintable(g->objectName()));
        // the empty help texts some widgets carry
        QVERIFY(ui.redX->statusTip().isEmpty() && ui.redX->whatsThis().isEmpty());
        QVERIFY(ui.speakerFRH->statusTip().isEmpty());
        QVERIFY(ui.speakerFCH->whatsThis().isEmpty());
    }

    // The interface buttons lie over the upper edge of the box below each of them, and the
    // size caption over its box.
    void stacking()
    {
        const QList<QObject*> order = ui.edidType->children();
        const QStringList expected{"analogFrame", "digitalFrame", "edidTypeLabel", "digitalRadio", "analogRadio",
                                   "edidSizeBox", "edidSizeLabel"};
        QStringList actual;
        for (QObject* o : order)
            if (o->isWidgetType())
                actual << o->objectName();
        QCOMPARE(actual, expected);
        QCOMPARE(ui.edidType->childAt(25, 65), ui.digitalRadio);
        QCOMPARE(ui.edidType->childAt(25, 165), ui.analogRadio);
    }


    // The pages as the user sees them: shown in the application style, every caption fits what
    // its widget and the widget's parents show of it.
    void captionsFit_data()
    {
        QTest::addColumn<QString>("page");
        for (const QString& p : kPages)
            QTest::newRow(qPrintable(p)) << p;
    }

    void captionsFit()
    {
        QFETCH(QString, page);
        const auto restore = showStyled(page);
        VERIFY_RENDERS_CLEAN(renderFaults(find<QWidget>(page), mainFormRenderExceptions(), CaptionsFit | InsideParents));
    }

    // Widgets do not cover one another, but for the overlaps the form means (the interface
    // buttons of "EDID Type" on the upper edge of their boxes, section captions over the top
    // border of their boxes).
    void noOverlaps_data() { captionsFit_data(); }

    void noOverlaps()
    {
        QFETCH(QString, page);
        const auto restore = showStyled(page);
        VERIFY_RENDERS_CLEAN(renderFaults(find<QWidget>(page), mainFormRenderExceptions(), NoOverlaps));
    }
};

PLEXA_TEST_MAIN(TestFormEdidEditor1)
#include "tst_form_edideditor1.moc"

// The resource bundle and the application style sheet: every image the program addresses is in
// the bundle at its size and format, the sheet parses, and its rules change the rendered look of
// the widgets they name, including the rules on the dynamic property "state".
#include "plexatest.h"
#include "resources.h"

#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <memory>

namespace {

QStringList gMessages;
QtMessageHandler gPreviousHandler = nullptr;

void recordMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        gMessages << message;
    if (gPreviousHandler)
        gPreviousHandler(type, context, message);
}

// The way the pages make a new "state" take effect.
void restyle(QWidget* w)
{
    w->style()->unpolish(w);
    w->style()->polish(w);
    w->update();
}

QImage shot(QWidget* w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

bool sameColour(QRgb a, QRgb b, int tolerance = 3)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance
        && qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

// True when every fully opaque pixel of the icon appears unchanged somewhere in the picture.
bool containsIcon(const QImage& picture, const QImage& icon)
{
    const QImage ic = icon.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y + ic.height() <= picture.height(); ++y) {
        for (int x = 0; x + ic.width() <= picture.width(); ++x) {
            bool match = true;
            for (int j = 0; j < ic.height() && match; ++j)
                for (int i = 0; i < ic.width() && match; ++i) {
                    const QRgb p = ic.pixel(i, j);
                    if (qAlpha(p) == 255 && !sameColour(picture.pixel(x + i, y + j), p))
                        match = false;
                }
            if (match)
                return true;
        }
    }
    return false;
}

QString colourName(QRgb c)
{
    return QColor(c).name();
}

const QStringList kCheckBoxButtons = {
    "separateSync", "compositeSyncHoriz", "compositeSyncGreen", "serrationVertSync", "cdrCheckbox",
    "maskCheckbox", "threeDPresent", "enableHDR", "hdroption1", "hdroption2", "hdroption3",
    "supportedStaticMetadata", "standbyMode", "suspendMode", "activeOff", "underscan", "rgb444Checkbox",
    "ycbcr444Checkbox", "ycbcr422Checkbox", "hdmi48bitspixel", "hdmi36bitspixel", "hdmi30bitspixel",
    "hdmiYCrCb444", "basicAudio", "supportsAI", "supportsDVI", "graphicsContent", "photoContent",
    "cinemaContent", "gameContent", "firstVIC", "secondVIC", "thirdVIC", "fourthVIC", "fifthVIC",
    "sixthVIC", "seventhVIC", "eighthVIC", "ninthVIC", "tenthVIC", "eleventhVIC", "twelfthVIC",
    "thirteenthVIC", "fourteenthVIC", "fifteenthVIC", "sixteenthVIC", "firstVICChroma", "secondVICChroma",
    "thirdVICChroma", "fourthVICChroma", "fifthVICChroma", "sixthVICChroma", "seventhVICChroma",
    "eighthVICChroma", "ninthVICChroma", "tenthVICChroma", "eleventhVICChroma", "twelfthVICChroma",
    "thirteenthVICChroma", "fourteenthVICChroma", "fifteenthVICChroma", "sixteenthVICChroma",
    "framePacking", "fieldAlternative", "lineAlternative", "sideBySideFull", "depth", "depthGraphics",
    "topAndBottom", "sideBySideHalf", "edidSize128", "edidSize256", "sampFreq32", "sampFreq441",
    "sampFreq48", "sampFreq882", "sampFreq96", "sampFreq1764", "sampFreq192", "bitDepth16", "bitDepth20",
    "bitDepth24", "aac1024", "aac960", "mpsImplicit", "mpsExplicit", "marginsCalc", "interlacedCalc",
    "reducedBlankingCalc", "nativeTiming", "interlaced", "hPolarityPos", "vPolarityPos",
    "horizontalMirror", "verticalMirror", "osdTimeoutButton", "displayNotify", "phaseAuto",
    "chromaAddedButton", "chromaOnlyButton", "chromaVideo1", "chromaVideo2", "chromaVideo3",
    "chromaVideo4", "chromaVideo5", "chromaVideo6"};

const QStringList kRadioButtons = {
    "digitalRadio", "analogRadio", "signalLevel1", "signalLevel2", "signalLevel3", "signalLevel4",
    "videoSetup1", "videoSetup2", "eightBitsPPC", "tenBitsPPC", "twelveBitsPPC", "fourteenBitsPPC",
    "sixteenBitsPPC", "maxTMDSClockAuto", "maxTMDSClockManual", "monochromeGrayscale", "rgbColor",
    "nonrgbColor", "undefinedColor", "dpRadio", "hdmiRadio", "dviRadio"};

// Section headers that keep their orange when disabled.
const QStringList kAlwaysOrangeHeaders = {
    "out1", "out2", "out3", "out4", "out5", "out6", "out7", "out8", "inp1",
    "inputhdcpheader", "outputhdcpheader", "selectFunctionFrame"};

// Section headers that turn grey when disabled.
const QStringList kGreyingHeaders = {
    "selectProductFrame", "sorvaneControlsLabel", "boosterControlsLabel", "previewDownloadFrame",
    "signalLevelStdLabel", "syncTypeLabel", "videoSetupLabel", "serrationsLabel", "featureSupportLabel",
    "imageSizeLabel", "edidTypeLabel", "generalLabel", "timingsLabel", "colorLabel", "audioLabel",
    "hdmiLabel", "threeDLabel", "filterLabel", "selectTimingLabel", "selectAudioLabel",
    "digitalColorLabel", "analogColorLabel", "hdmiColorLabel", "chromaticityLabel", "colorimetryLabel",
    "speakerAllocLabel", "cvtCalcLabel", "customTimingLabel", "bitDepthLabel", "samplingFreqLabel",
    "edidSizeLabel", "deviceSettingsLabel", "outputResolutionHeader", "outputResolutionLabel",
    "colorSpaceLabel", "outputModeLabel", "colorRangeLabel", "colorTempLabel", "colorBalanceLabel",
    "edgeEnhancementLabel", "aspectRatioLabel", "mirrorLabel", "firmwareUpdateLabel"};

const QRgb kOrange = qRgb(0xF9, 0x9B, 0x20);
const QRgb kDisabledGrey = qRgb(0xE0, 0xE0, 0xE0);
const QRgb kRed = qRgb(0xCF, 0x29, 0x1F);

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initPlexaResources();
        gPreviousHandler = qInstallMessageHandler(recordMessages);
        const QString sheet = plexaStyleSheet();
        QVERIFY(!sheet.isEmpty());
        qApp->setStyleSheet(sheet);
    }

    void cleanupTestCase()
    {
        qInstallMessageHandler(gPreviousHandler);
    }

    void init() { gMessages.clear(); }

    // No test may leave a style warning behind (a sheet that fails to parse is dropped whole,
    // with only a warning to show for it).
    void cleanup() { QVERIFY2(gMessages.isEmpty(), qPrintable(gMessages.join('\n'))); }

    void images_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        const struct {
            const char* path;
            int w, h;
        } images[] = {
            {"Style/Checked.png", 15, 15},
            {"Style/Unchecked.png", 15, 15},
            {"Style/RadioSelected.png", 15, 15},
            {"Style/RadioDeselected.png", 15, 15},
            {"Style/DropdownArrowEnabled.png", 14, 16},
            {"Style/DropdownArrow.png", 14, 16},
            {"EDID/BlankDocument.png", 128, 128},
            {"EDID/DocumentOpen.png", 128, 128},
            {"EDID/Save.png", 128, 128},
            {"EDID/Edit.png", 128, 128},
            {"EDID/ViewText.png", 128, 128},
            {"EDID/SaveAsText.png", 128, 128},
            {"EDID/ShowDiff.png", 32, 32},
            {"EDID/Exit.png", 128, 128},
            {"UndoAll.png", 48, 48},
            {"LeftArrow.png", 48, 48},
            {"RightArrow.png", 48, 48},
            {"Plexa_T_Logo.png", 433, 200},
            {"barpicture.PNG", 360, 33},
            {"Tirel_Patterns/Tirel_Pattern_White.png", 621, 351},
            {"Tirel_Patterns/Tirel_Pattern_Cross.png", 621, 351},
            {"Tirel_Patterns/Tirel_Pattern_Hatch.png", 621, 351},
            {"Tirel_Patterns/Tirel_Pattern_Color.png", 621, 351},
            {"Tirel_Patterns/Tirel_Pattern_Gray.png", 621, 351},
            {"Tirel_Patterns/Tirel_Pattern_Window.png", 621, 351},
            {"qualitylink.png", 428, 113},
            {"errrate.png", 427, 112},
            {"HDBaseT/HDBT_Status_568A.png", 350, 200},
            {"HDBaseT/HDBT_Status_568B.png", 350, 200},
        };
        for (const auto& i : images) {
            const QString path = QStringLiteral(":/images/Assets/") + QLatin1String(i.path);
            QTest::newRow(i.path) << path << QSize(i.w, i.h);
        }
    }

    // Each image is a PNG of 8 bits per channel with alpha, at the size its users lay out for.
    void images()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        const QByteArray data = file.readAll();
        QVERIFY(data.startsWith("\x89PNG\r\n\x1a\n"));
        QCOMPARE(data.mid(12, 4), QByteArray("IHDR"));
        QCOMPARE(int(uchar(data.at(24))), 8); // bit depth
        QCOMPARE(int(uchar(data.at(25))), 6); // colour type: RGB with alpha
        QImage image;
        QVERIFY(image.loadFromData(data, "PNG"));
        QCOMPARE(image.size(), size);
        QVERIFY(image.hasAlphaChannel());
        // Loaded by path the way the form and the pages do it.
        QCOMPARE(QImage(path).size(), size);
    }

    void pathsAreCaseSensitive()
    {
        QVERIFY(QFile::exists(":/images/Assets/barpicture.PNG"));
        QVERIFY(!QFile::exists(":/images/Assets/barpicture.png"));
        QVERIFY(!QFile::exists(":/images/assets/Plexa_T_Logo.png"));
    }

    // The sheet's own image references all resolve, or the arrows and check marks would vanish
    // without a word.
    void styleSheetImagesExist()
    {
        const QString sheet = plexaStyleSheet();
        QRegularExpression url(QStringLiteral("url\\(([^)]+)\\)"));
        int count = 0;
        for (auto it = url.globalMatch(sheet); it.hasNext(); ++count) {
            const QString path = it.next().captured(1).trimmed();
            QVERIFY2(QFile::exists(path), qPrintable(path));
            QVERIFY2(!QImage(path).isNull(), qPrintable(path));
        }
        QVERIFY(count >= 6);
    }

    // The pinout pictures show the eight wire colours in each standard's order: T-568A and
    // T-568B swap the green and orange pairs. The solid wires (pins 2, 4, 6, 8) tell them apart.
    void wiringPictures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("solidWires");
        QTest::newRow("568A") << ":/images/Assets/HDBaseT/HDBT_Status_568A.png"
                              << QStringList{"green", "blue", "orange", "brown"};
        QTest::newRow("568B") << ":/images/Assets/HDBaseT/HDBT_Status_568B.png"
                              << QStringList{"orange", "blue", "green", "brown"};
    }

    void wiringPictures()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, solidWires);
        const QImage img(path);
        QVERIFY(!img.isNull());
        // Wires are drawn 30 pixels apart, centred on the picture, below the plug.
        auto classify = [](QColor c) -> QString {
            const int h = c.hsvHue();
            if (h >= 90 && h <= 170)
                return "green";
            if (h >= 190 && h <= 250)
                return "blue";
            if (h >= 15 && h <= 45)
                return c.value() > 180 ? "orange" : "brown";
            return c.name();
        };
        QStringList seen;
        for (int pin = 2; pin <= 8; pin += 2)
            seen << classify(img.pixelColor(qRound(175 - 30 * 3.5 + 30 * (pin - 1)), 150));
        QCOMPARE(seen, solidWires);
    }

    // "state" on the top tab widget switches its pane between page grey and frame grey, whether
    // the page re-applies the style by unpolish/polish or by setting the application style again.
    void tabWidgetState_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("viaSetStyle");
        QTest::addColumn<QRgb>("pane");
        QTest::newRow("none") << QString() << false << qRgb(0xF0, 0xF0, 0xF0);
        QTest::newRow("on") << "on" << false << qRgb(0xF0, 0xF0, 0xF0);
        QTest::newRow("off") << "off" << false << qRgb(0x52, 0x52, 0x54);
        QTest::newRow("off, setStyle") << "off" << true << qRgb(0x52, 0x52, 0x54);
    }

    void tabWidgetState()
    {
        QFETCH(QString, state);
        QFETCH(bool, viaSetStyle);
        QFETCH(QRgb, pane);
        QTabWidget tabs;
        tabs.setObjectName("tabWidget");
        tabs.addTab(new QWidget, "Discover");
        tabs.addTab(new QWidget, "Configure");
        tabs.resize(300, 200);
        tabs.show();
        const QRgb before = shot(&tabs).pixel(150, 150);
        QVERIFY2(sameColour(before, qRgb(0xF0, 0xF0, 0xF0)), qPrintable(colourName(before)));

        tabs.setProperty("state", state);
        if (viaSetStyle)
            tabs.setStyle(QApplication::style());
        else
            restyle(&tabs);
        const QRgb after = shot(&tabs).pixel(150, 150);
        QVERIFY2(sameColour(after, pane), qPrintable(colourName(after)));

        // Back on: the page grey returns.
        tabs.setProperty("state", "on");
        restyle(&tabs);
        const QRgb back = shot(&tabs).pixel(150, 150);
        QVERIFY2(sameColour(back, qRgb(0xF0, 0xF0, 0xF0)), qPrintable(colourName(back)));
    }

    // Other tab widgets keep the white pane of the general rule.
    void otherTabPanesAreWhite()
    {
        QTabWidget tabs;
        tabs.setObjectName("managementTabs");
        tabs.addTab(new QWidget, "General");
        tabs.resize(300, 200);
        tabs.show();
        const QRgb c = shot(&tabs).pixel(150, 150);
        QVERIFY2(sameColour(c, qRgb(0xFF, 0xFF, 0xFF)), qPrintable(colourName(c)));
    }

    // The wide tabs of EDIDPlusTabs belong to its own tab bar only: the editor's page tabs
    // nested inside the EDIDPlusTabs container must stay narrow enough for eight pages.
    void editorTabsStayNarrow()
    {
        QWidget container;
        container.setObjectName("EDIDPlusTabs");
        auto* management = new QTabWidget(&container);
        management->setObjectName("managementTabs");
        for (const char* title : {"Type", "General", "Timings", "Color", "Audio", "HDMI", "3D", "HDR"})
            management->addTab(new QWidget, title);
        management->setGeometry(10, 80, 552, 621);
        container.resize(574, 751);
        container.show();
        container.grab();
        const QTabBar* bar = management->tabBar();
        for (int i = 0; i < bar->count(); ++i)
            QVERIFY2(bar->tabRect(i).width() < 253, qPrintable(QString::number(bar->tabRect(i).width())));

        QTabWidget wide;
        wide.setObjectName("EDIDPlusTabs");
        wide.addTab(new QWidget, "EDID Viewer");
        wide.addTab(new QWidget, "EDID Editor");
        wide.resize(574, 300);
        wide.show();
        wide.grab();
        QVERIFY(wide.tabBar()->tabRect(0).width() >= 253);
    }

    // Push buttons drawn as check boxes and radio buttons carry the unchecked image, and the
    // checked image once checked, for every name the sheet lists; other buttons carry neither.
    void indicatorButtons_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("off");
        QTest::addColumn<QString>("on");
        const QString style = QStringLiteral(":/images/Assets/Style/");
        for (const QString& n : kCheckBoxButtons)
            QTest::newRow(qPrintable(n)) << n << style + "Unchecked.png" << style + "Checked.png";
        for (const QString& n : kRadioButtons)
            QTest::newRow(qPrintable(n)) << n << style + "RadioDeselected.png" << style + "RadioSelected.png";
        QTest::newRow("plain button") << "refreshDevices" << QString() << QString();
    }

    void indicatorButtons()
    {
        QFETCH(QString, name);
        QFETCH(QString, off);
        QFETCH(QString, on);
        const QString style = QStringLiteral(":/images/Assets/Style/");
        const QImage unchecked(style + "Unchecked.png"), checked(style + "Checked.png");
        const QImage deselected(style + "RadioDeselected.png"), selected(style + "RadioSelected.png");

        QPushButton button("Option");
        button.setObjectName(name);
        button.setCheckable(true);
        button.resize(140, 30);
        button.show();

        const QImage plain = shot(&button);
        button.setChecked(true);
        const QImage ticked = shot(&button);
        if (off.isEmpty()) {
            for (const QImage* icon : {&unchecked, &checked, &deselected, &selected}) {
                QVERIFY(!containsIcon(plain, *icon));
                QVERIFY(!containsIcon(ticked, *icon));
            }
            return;
        }
        QVERIFY2(containsIcon(plain, QImage(off)), "unchecked image missing");
        QVERIFY2(!containsIcon(plain, QImage(on)), "checked image shown while unchecked");
        QVERIFY2(containsIcon(ticked, QImage(on)), "checked image missing");
        QVERIFY2(!containsIcon(ticked, QImage(off)), "unchecked image shown while checked");
        // The image sits at the right end, clear of the left-aligned text.
        const QImage right = ticked.copy(ticked.width() / 2, 0, ticked.width() / 2, ticked.height());
        QVERIFY(containsIcon(right, QImage(on)));
    }

    // Section headers are orange; when disabled most turn grey, but the routing headers, the HDCP
    // headers and the function frame stay orange.
    void sectionHeaders_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRgb>("disabled");
        for (const QString& n : kAlwaysOrangeHeaders)
            QTest::newRow(qPrintable(n)) << n << kOrange;
        for (const QString& n : kGreyingHeaders)
            QTest::newRow(qPrintable(n)) << n << kDisabledGrey;
    }

    void sectionHeaders()
    {
        QFETCH(QString, name);
        QFETCH(QRgb, disabled);
        QWidget parent;
        std::unique_ptr<QWidget> header;
        if (name.endsWith("Frame"))
            header.reset(new QFrame(&parent));
        else
            header.reset(new QLabel(&parent));
        header->setObjectName(name);
        header->setGeometry(0, 0, 200, 30);
        parent.resize(200, 30);
        parent.show();
        QRgb c = shot(header.get()).pixel(100, 15);
        QVERIFY2(sameColour(c, kOrange), qPrintable(colourName(c)));
        if (auto* label = qobject_cast<QLabel*>(header.get()))
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::white));
        header->setEnabled(false);
        c = shot(header.get()).pixel(100, 15);
        QVERIFY2(sameColour(c, disabled), qPrintable(colourName(c)));
    }

    // "exceeded" turns a group box red and a label's text white; clearing it restores both.
    void exceededState()
    {
        QWidget page;
        // The status page's value box of channel A on the second plot, and its value.
        auto* box = new QGroupBox(&page);
        box->setObjectName(QStringLiteral("channelAValue2Box"));
        box->setGeometry(0, 0, 120, 60);
        auto* label = new QLabel("42%", box);
        label->setObjectName(QStringLiteral("channelAValue2"));
        label->setGeometry(10, 20, 60, 30);
        page.resize(120, 60);
        page.show();
        QRgb c = shot(box).pixel(100, 10);
        QVERIFY2(sameColour(c, qRgb(0xFF, 0xFF, 0xFF)), qPrintable(colourName(c)));
        const QColor normalText = label->palette().color(QPalette::WindowText);
        QVERIFY(normalText != QColor(Qt::white));

        box->setProperty("state", "exceeded");
        label->setProperty("state", "exceeded");
        restyle(box);
        restyle(label);
        c = shot(box).pixel(100, 10);
        QVERIFY2(sameColour(c, kRed), qPrintable(colourName(c)));
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::white));

        box->setProperty("state", "");
        label->setProperty("state", "");
        restyle(box);
        restyle(label);
        c = shot(box).pixel(100, 10);
        QVERIFY2(sameColour(c, qRgb(0xFF, 0xFF, 0xFF)), qPrintable(colourName(c)));
        QCOMPARE(label->palette().color(QPalette::WindowText), normalText);
    }

    // The HDBaseT channel buttons wear their channel's plot colour; "A"/"B" swap the first two
    // channels, "R" recolours only the receiver's rate button, and a checked (hidden) channel is
    // white.
    void channelButtons_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QRgb>("colour");
        const QRgb a = qRgb(249, 149, 35), b = qRgb(14, 150, 78), c = qRgb(37, 59, 144), d = qRgb(138, 94, 57);
        QTest::newRow("A plain") << "channelAHide" << "" << false << a;
        QTest::newRow("A2 in A") << "channelAHide2" << "A" << false << b;
        QTest::newRow("A in B") << "channelAHide" << "B" << false << a;
        QTest::newRow("B plain") << "channelBHide2" << "" << false << b;
        QTest::newRow("B in A") << "channelBHide" << "A" << false << a;
        QTest::newRow("B2 in B") << "channelBHide2" << "B" << false << b;
        QTest::newRow("C plain") << "channelCHide" << "" << false << c;
        QTest::newRow("D plain") << "channelDHide" << "" << false << d;
        QTest::newRow("D2 rate") << "channelDHide2" << "R" << false << c;
        QTest::newRow("D not rate") << "channelDHide" << "R" << false << d;
        QTest::newRow("A hidden") << "channelAHide" << "A" << true << qRgb(0xFF, 0xFF, 0xFF);
        QTest::newRow("D2 rate hidden") << "channelDHide2" << "R" << true << qRgb(0xFF, 0xFF, 0xFF);
    }

    void channelButtons()
    {
        QFETCH(QString, name);
        QFETCH(QString, state);
        QFETCH(bool, checked);
        QFETCH(QRgb, colour);
        QPushButton button;
        button.setObjectName(name);
        button.setCheckable(true);
        button.resize(100, 30);
        button.show();
        shot(&button);
        button.setProperty("state", state);
        button.setChecked(checked);
        button.setStyle(QApplication::style());
        const QRgb c = shot(&button).pixel(50, 15);
        QVERIFY2(sameColour(c, colour), qPrintable(colourName(c)));
    }

    // Push buttons: pale orange, red when checked, grey when disabled; the EDID tool bar is red.
    void buttons_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QRgb>("colour");
        QTest::newRow("plain") << "saveButton" << false << true << qRgb(0xFE, 0xED, 0xD8);
        QTest::newRow("checked") << "functionDiscoverButton" << true << true << kRed;
        QTest::newRow("disabled") << "rebootButton" << false << false << kDisabledGrey;
        QTest::newRow("tool bar") << "newEDID" << false << true << kRed;
        QTest::newRow("tool bar disabled") << "undoEDIDAll" << false << false << kDisabledGrey;
    }

    void buttons()
    {
        QFETCH(QString, name);
        QFETCH(bool, checked);
        QFETCH(bool, enabled);
        QFETCH(QRgb, colour);
        std::unique_ptr<QAbstractButton> button;
        if (name == "newEDID" || name == "undoEDIDAll")
            button.reset(new QToolButton);
        else
            button.reset(new QPushButton);
        button->setObjectName(name);
        button->setCheckable(true);
        button->setChecked(checked);
        button->setEnabled(enabled);
        button->resize(100, 30);
        button->show();
        const QRgb c = shot(button.get()).pixel(50, 15);
        QVERIFY2(sameColour(c, colour), qPrintable(colourName(c)));
    }
};

PLEXA_TEST_MAIN(TestResources)
#include "tst_resources.moc"

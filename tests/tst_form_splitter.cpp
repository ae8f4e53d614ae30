// The splitter pages (HDCP, System, Status) and the HDBaseT transmitter pages (Routing, Setup,
// VGA, System) of the main form: every object by name and class, where it sits, what it says,
// the ranges and starting state the controllers rely on, and that the pages show whole with the
// application style sheet.
#include "appfonts.h"
#include "plexatest.h"
#include "formtestutil.h"
#include "resources.h"
#include "ui_mainui.h"

#include <QButtonGroup>
#include <QFormLayout>
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

struct Obj {
    const char* name;
    const char* className;
};
struct PageObjects {
    const char* page;
    QVector<Obj> objects;
};

// Every named object of the seven pages, page by page, in form order.
const QVector<PageObjects> kObjects{
    {"lunmoraHdcpTab", {
        {"lunmorarefreshHDCP", "QPushButton"}, {"gridLayoutWidget_3", "QWidget"},
        {"gridLayout_17", "QGridLayout"}, {"inputhdcpheader", "QLabel"}, {"inputHdcpFrame", "QFrame"},
        {"outputhdcpheader", "QLabel"}, {"label_83", "QLabel"}, {"outputHdcpFrame", "QFrame"},
        {"label_84", "QLabel"}, {"outputHdcpFrame_2", "QFrame"}, {"out3hdcp", "QLabel"},
        {"outputHdcpFrame_3", "QFrame"}, {"out4hdcp", "QLabel"}, {"outputHdcpFrame_4", "QFrame"},
        {"out5hdcp", "QLabel"}, {"outputHdcpFrame_5", "QFrame"}, {"out6hdcp", "QLabel"},
        {"outputHdcpFrame_6", "QFrame"}, {"out7hdcp", "QLabel"}, {"outputHdcpFrame_7", "QFrame"},
        {"out8hdcp", "QLabel"}, {"outputHdcpFrame_8", "QFrame"},
    }},
    {"lunmoraSystem", {
        {"lunmoraFactoryReset", "QPushButton"},
    }},
    {"lunmoraStatusTab", {
        {"inp1", "QLabel"}, {"lunmorarefreshStatus", "QPushButton"}, {"layoutWidget1", "QWidget"},
        {"formLayout", "QFormLayout"}, {"activeSignalLabel", "QLabel"}, {"activeSignalLineEdit", "QLineEdit"},
        {"hDCPLabel", "QLabel"}, {"hDCPLineEdit", "QLineEdit"}, {"hPDLabel", "QLabel"},
        {"hPDLineEdit", "QLineEdit"}, {"videoModeLabel", "QLabel"}, {"videoModeLineEdit", "QLineEdit"},
        {"gridLayoutWidget_2", "QWidget"}, {"gridLayout_16", "QGridLayout"}, {"output1", "QWidget"},
        {"layoutWidget_23", "QWidget"}, {"formLayout_13", "QFormLayout"}, {"out1", "QLabel"},
        {"hPDLabel_13", "QLabel"}, {"hPDLineEdit_1", "QLineEdit"}, {"rSENSELabel_12", "QLabel"},
        {"rSENSELineEdit_1", "QLineEdit"}, {"hDCPLabel_13", "QLabel"}, {"hDCPLineEdit_1", "QLineEdit"},
        {"output2", "QWidget"}, {"layoutWidget_25", "QWidget"}, {"formLayout_15", "QFormLayout"},
        {"out2", "QLabel"}, {"hPDLabel_15", "QLabel"}, {"hPDLineEdit_2", "QLineEdit"},
        {"rSENSELabel_14", "QLabel"}, {"rSENSELineEdit_2", "QLineEdit"}, {"hDCPLabel_15", "QLabel"},
        {"hDCPLineEdit_2", "QLineEdit"}, {"output3", "QWidget"}, {"layoutWidget_26", "QWidget"},
        {"formLayout_16", "QFormLayout"}, {"out3", "QLabel"}, {"hPDLabel_16", "QLabel"},
        {"hPDLineEdit_3", "QLineEdit"}, {"rSENSELabel_15", "QLabel"}, {"rSENSELineEdit_3", "QLineEdit"},
        {"hDCPLabel_16", "QLabel"}, {"hDCPLineEdit_3", "QLineEdit"}, {"output4", "QWidget"},
        {"layoutWidget_24", "QWidget"}, {"formLayout_14", "QFormLayout"}, {"out4", "QLabel"},
        {"hPDLabel_14", "QLabel"}, {"hPDLineEdit_4", "QLineEdit"}, {"rSENSELabel_13", "QLabel"},
        {"rSENSELineEdit_4", "QLineEdit"}, {"hDCPLabel_14", "QLabel"}, {"hDCPLineEdit_4", "QLineEdit"},
        {"output5", "QWidget"}, {"layoutWidget_22", "QWidget"}, {"formLayout_12", "QFormLayout"},
        {"out5", "QLabel"}, {"hPDLabel_12", "QLabel"}, {"hPDLineEdit_5", "QLineEdit"},
        {"rSENSELabel_11", "QLabel"}, {"rSENSELineEdit_5", "QLineEdit"}, {"hDCPLabel_12", "QLabel"},
        {"hDCPLineEdit_5", "QLineEdit"}, {"output6", "QWidget"}, {"layoutWidget_21", "QWidget"},
        {"formLayout_11", "QFormLayout"}, {"out6", "QLabel"}, {"hPDLabel_11", "QLabel"},
        {"hPDLineEdit_6", "QLineEdit"}, {"rSENSELabel_10", "QLabel"}, {"rSENSELineEdit_6", "QLineEdit"},
        {"hDCPLabel_11", "QLabel"}, {"hDCPLineEdit_6", "QLineEdit"}, {"output7", "QWidget"},
        {"layoutWidget_20", "QWidget"}, {"formLayout_10", "QFormLayout"}, {"out7", "QLabel"},
        {"hPDLabel_10", "QLabel"}, {"hPDLineEdit_7", "QLineEdit"}, {"rSENSELabel_9", "QLabel"},
        {"rSENSELineEdit_7", "QLineEdit"}, {"hDCPLabel_10", "QLabel"}, {"hDCPLineEdit_7", "QLineEdit"},
        {"output8", "QWidget"}, {"layoutWidget_19", "QWidget"}, {"formLayout_9", "QFormLayout"},
        {"out8", "QLabel"}, {"hPDLabel_9", "QLabel"}, {"hPDLineEdit_8", "QLineEdit"},
        {"rSENSELabel_8", "QLabel"}, {"rSENSELineEdit_8", "QLineEdit"}, {"hDCPLabel_9", "QLabel"},
        {"hDCPLineEdit_8", "QLineEdit"},
    }},
    {"routeTab", {
        {"gridLayoutWidget_17", "QWidget"}, {"gridLayout_48", "QGridLayout"},
        {"horizontalLayout_22", "QHBoxLayout"}, {"hDCPLabel_61", "QLabel"}, {"routingHDMI", "QPushButton"},
        {"routingDisplayport", "QPushButton"}, {"routingDvi", "QPushButton"}, {"routingVGA", "QPushButton"},
        {"horizontalLayout_24", "QHBoxLayout"}, {"hDCPLabel_64", "QLabel"}, {"routingASEnable", "QPushButton"},
        {"routingASDisable", "QPushButton"}, {"horizontalLayout_45", "QHBoxLayout"},
        {"hDCPLabel_62", "QLabel"}, {"inputModeNormal", "QPushButton"}, {"inputModeYPbPr", "QPushButton"},
        {"inputModeComposite", "QPushButton"}, {"inputModeDvi", "QPushButton"},
        {"horizontalLayout_46", "QHBoxLayout"}, {"hDCPLabel_67", "QLabel"},
        {"dviAudioEmbedded", "QPushButton"}, {"dviAudioExternal", "QPushButton"},
        {"horizontalLayout_26", "QHBoxLayout"}, {"label_277", "QLabel"}, {"routingSlider", "QSlider"},
        {"routingVolume", "QSpinBox"}, {"horizontalLayout_27", "QHBoxLayout"},
        {"horizontalLayout_28", "QHBoxLayout"}, {"label_276", "QLabel"}, {"routingMEnable", "QPushButton"},
        {"routingMDisable", "QPushButton"},
    }},
    {"setupTab", {
        {"gridLayoutWidget_18", "QWidget"}, {"gridLayout_49", "QGridLayout"},
        {"horizontalLayout_33", "QHBoxLayout"}, {"gridLayout_50", "QGridLayout"}, {"setupres1", "QPushButton"},
        {"setupres2", "QPushButton"}, {"setupres3", "QPushButton"}, {"setupres4", "QPushButton"},
        {"verticalLayout_13", "QVBoxLayout"}, {"label_126", "QLabel"}, {"setupres5", "QPushButton"},
        {"setupres6", "QPushButton"}, {"setupres7", "QPushButton"}, {"setupres8", "QPushButton"},
        {"setupres9", "QPushButton"}, {"horizontalLayout_29", "QHBoxLayout"}, {"hDCPLabel_65", "QLabel"},
        {"setupActive", "QPushButton"}, {"setupOn", "QPushButton"}, {"horizontalLayout_42", "QHBoxLayout"},
        {"label_123", "QLabel"}, {"line_13", "QFrame"}, {"horizontalLayout_8", "QHBoxLayout"},
        {"label_96", "QLabel"}, {"setupDynamic", "QPushButton"}, {"setupStandard", "QPushButton"},
        {"setupVivid", "QPushButton"}, {"setupUser", "QPushButton"}, {"horizontalLayout_9", "QHBoxLayout"},
        {"label_97", "QLabel"}, {"setupContrastSlider", "QSlider"}, {"setupContrastValue", "QSpinBox"},
        {"horizontalLayout_14", "QHBoxLayout"}, {"label_98", "QLabel"}, {"setupBrightnessSlider", "QSlider"},
        {"setupBrightnessValue", "QSpinBox"}, {"horizontalLayout_16", "QHBoxLayout"}, {"label_99", "QLabel"},
        {"setupSaturationSlider", "QSlider"}, {"setupSaturationValue", "QSpinBox"},
        {"horizontalLayout_17", "QHBoxLayout"}, {"label_100", "QLabel"}, {"setupSharpnessSlider", "QSlider"},
        {"setupSharpnessValue", "QSpinBox"},
    }},
    {"vgaTab", {
        {"gridLayoutWidget_20", "QWidget"}, {"gridLayout_51", "QGridLayout"},
        {"horizontalLayout_35", "QHBoxLayout"}, {"hDCPLabel_63", "QLabel"}, {"vgaEnable", "QPushButton"},
        {"vgaDisable", "QPushButton"}, {"horizontalLayout_36", "QHBoxLayout"}, {"vgaAutosync", "QPushButton"},
        {"horizontalLayout_31", "QHBoxLayout"}, {"label_278", "QLabel"}, {"vgaPSlider", "QSlider"},
        {"vgaPhase", "QSpinBox"}, {"horizontalLayout_34", "QHBoxLayout"},
        {"horizontalLayout_37", "QHBoxLayout"}, {"label_279", "QLabel"}, {"vgaCSlider", "QSlider"},
        {"vgaClock", "QSpinBox"}, {"horizontalLayout_18", "QHBoxLayout"}, {"label_104", "QLabel"},
        {"vgaWarm", "QPushButton"}, {"vgaMedium", "QPushButton"}, {"vgaCool", "QPushButton"},
        {"vgaUser", "QPushButton"}, {"horizontalLayout_44", "QHBoxLayout"}, {"label_105", "QLabel"},
        {"label_122", "QLabel"}, {"vgaCBRSlider", "QSlider"}, {"vgaCBR", "QSpinBox"},
        {"horizontalLayout_20", "QHBoxLayout"}, {"label_107", "QLabel"}, {"vgaCBGSlider", "QSlider"},
        {"vgaCBG", "QSpinBox"}, {"horizontalLayout_21", "QHBoxLayout"}, {"label_108", "QLabel"},
        {"vgaCBBSlider", "QSlider"}, {"vgaCBB", "QSpinBox"}, {"horizontalLayout_23", "QHBoxLayout"},
        {"label_124", "QLabel"}, {"vgaAspect1", "QPushButton"}, {"vgaAspect2", "QPushButton"},
        {"vgaAspect3", "QPushButton"}, {"horizontalLayout_25", "QHBoxLayout"}, {"label_110", "QLabel"},
        {"vgaHorizontalPlus", "QPushButton"}, {"vgaHorizontalMinus", "QPushButton"},
        {"horizontalLayout_30", "QHBoxLayout"}, {"label_111", "QLabel"}, {"vgaVerticalPlus", "QPushButton"},
        {"vgaVerticalMinus", "QPushButton"}, {"horizontalLayout_40", "QHBoxLayout"}, {"label_120", "QLabel"},
        {"label_127", "QLabel"}, {"vgaAdjustDown", "QSpinBox"}, {"label_128", "QLabel"},
        {"vgaAdjustLeft", "QSpinBox"}, {"label_129", "QLabel"}, {"vgaAdjustRight", "QSpinBox"},
        {"horizontalLayout_41", "QHBoxLayout"}, {"label_121", "QLabel"}, {"vgaStretchH", "QSpinBox"},
        {"horizontalLayout_43", "QHBoxLayout"}, {"label_125", "QLabel"}, {"vgaStretchV", "QSpinBox"},
    }},
    {"hdbtSystem", {
        {"gridLayoutWidget_21", "QWidget"}, {"gridLayout_52", "QGridLayout"},
        {"horizontalLayout_38", "QHBoxLayout"}, {"hDCPLabel_66", "QLabel"}, {"systemPT", "QPushButton"},
        {"systemCFR", "QPushButton"}, {"gridLayout_53", "QGridLayout"}, {"label_282", "QLabel"},
        {"systemBR1", "QPushButton"}, {"systemBR2", "QPushButton"}, {"systemBR3", "QPushButton"},
        {"systemBR4", "QPushButton"}, {"systemBR5", "QPushButton"}, {"systemBR6", "QPushButton"},
        {"systemBR7", "QPushButton"}, {"horizontalLayout_47", "QHBoxLayout"}, {"hDCPLabel_68", "QLabel"},
        {"irmodePass", "QPushButton"}, {"irmodeControl", "QPushButton"},
        {"horizontalLayout_39", "QHBoxLayout"}, {"systemFR", "QPushButton"},
        {"horizontalLayout_32", "QHBoxLayout"}, {"systemReboot", "QPushButton"},
    }},
};

// Label and button captions and tool tips. Every other label and button of the pages starts
// blank: the controllers write the row labels of outputs 3 to 8 themselves.
struct Caption {
    const char* name;
    const char* text;
    const char* toolTip = "";
};
const QVector<Caption> kCaptions{
        {"lunmorarefreshHDCP", "Refresh"},
        {"inputhdcpheader", "Input HDCP"},
        {"outputhdcpheader", "Output HDCP"},
        {"label_83", "1"},
        {"label_84", "2"},
        {"lunmoraFactoryReset", "Factory Reset", "Resets all settings to factory default values."},
        {"inp1", "Input 1"},
        {"lunmorarefreshStatus", "Refresh"},
        {"activeSignalLabel", "Active Signal"},
        {"hDCPLabel", "HDCP"},
        {"hPDLabel", "HPD"},
        {"videoModeLabel", "Video Mode"},
        {"out1", "Output 1"},
        {"hPDLabel_13", "HPD"},
        {"rSENSELabel_12", "RSENSE"},
        {"hDCPLabel_13", "HDCP"},
        {"out2", "Output 2"},
        {"hPDLabel_15", "HPD"},
        {"rSENSELabel_14", "RSENSE"},
        {"hDCPLabel_15", "HDCP"},
        {"out3", "Output 3"},
        {"hPDLabel_16", "HPD"},
        {"rSENSELabel_15", "RSENSE"},
        {"hDCPLabel_16", "HDCP"},
        {"out4", "Output 4"},
        {"hPDLabel_14", "HPD"},
        {"rSENSELabel_13", "RSENSE"},
        {"hDCPLabel_14", "HDCP"},
        {"out5", "Output 5"},
        {"hPDLabel_12", "HPD"},
        {"rSENSELabel_11", "RSENSE"},
        {"hDCPLabel_12", "HDCP"},
        {"out6", "Output 6"},
        {"hPDLabel_11", "HPD"},
        {"rSENSELabel_10", "RSENSE"},
        {"hDCPLabel_11", "HDCP"},
        {"out7", "Output 7"},
        {"hPDLabel_10", "HPD"},
        {"rSENSELabel_9", "RSENSE"},
        {"hDCPLabel_10", "HDCP"},
        {"out8", "Output 8"},
        {"hPDLabel_9", "HPD"},
        {"rSENSELabel_8", "RSENSE"},
        {"hDCPLabel_9", "HDCP"},
        {"hDCPLabel_61", "Video Input"},
        {"routingHDMI", "HDMI"},
        {"routingDisplayport", "DisplayPort"},
        {"routingDvi", "DVI"},
        {"routingVGA", "VGA"},
        {"hDCPLabel_64", "Auto Switch"},
        {"routingASEnable", "Enable"},
        {"routingASDisable", "Disable"},
        {"hDCPLabel_62", "Input Mode"},
        {"inputModeNormal", "Normal"},
        {"inputModeYPbPr", "YPbPr"},
        {"inputModeComposite", "Composite"},
        {"inputModeDvi", "VGA Mode"},
        {"hDCPLabel_67", "DVI Audio"},
        {"dviAudioEmbedded", "Embedded"},
        {"dviAudioExternal", "External"},
        {"label_277", "Volume"},
        {"label_276", "Mute"},
        {"routingMEnable", "Enable"},
        {"routingMDisable", "Disable"},
        {"setupres1", "1360x768 60 Hz"},
        {"setupres2", "1024x768 60 Hz"},
        {"setupres3", "1280x720 50 Hz"},
        {"setupres4", "1280x720 60 Hz"},
        {"label_126", "Output Resolution"},
        {"setupres5", "1280x800 60 Hz"},
        {"setupres6", "1920x1080 50 Hz"},
        {"setupres7", "1920x1080 60 Hz"},
        {"setupres8", "1920x1200 60 Hz"},
        {"setupres9", "1600x1200 60 Hz"},
        {"hDCPLabel_65", "Input HDCP"},
        {"setupActive", "Active"},
        {"setupOn", "On"},
        {"label_123", "VGA Picture Settings"},
        {"label_96", "Picture Mode"},
        {"setupDynamic", "Dynamic"},
        {"setupStandard", "Standard"},
        {"setupVivid", "Vivid"},
        {"setupUser", "User"},
        {"label_97", "Contrast"},
        {"label_98", "Brightness"},
        {"label_99", "Saturation"},
        {"label_100", "Sharpness"},
        {"hDCPLabel_63", "Auto-Sync"},
        {"vgaEnable", "Enable"},
        {"vgaDisable", "Disable"},
        {"vgaAutosync", "Auto-Sync"},
        {"label_278", "Phase"},
        {"label_279", "Clock"},
        {"label_104", "Color Temp"},
        {"vgaWarm", "Warm"},
        {"vgaMedium", "Medium"},
        {"vgaCool", "Cool"},
        {"vgaUser", "User"},
        {"label_105", "Color Balance (User Mode Only)"},
        {"label_122", "R"},
        {"label_107", "G"},
        {"label_108", "B"},
        {"label_124", "Aspect Ratio"},
        {"vgaAspect1", "16:9"},
        {"vgaAspect2", "4:3"},
        {"vgaAspect3", "Auto"},
        {"label_110", "Polarity Horizontal"},
        {"vgaHorizontalPlus", "+"},
        {"vgaHorizontalMinus", "-"},
        {"label_111", "Polarity Vertical"},
        {"vgaVerticalPlus", "+"},
        {"vgaVerticalMinus", "-"},
        {"label_120", "Image Adjust"},
        {"label_127", "Down"},
        {"label_128", "Left"},
        {"label_129", "Right"},
        {"label_121", "Image Stretch Horizontal"},
        {"label_125", "Image Stretch Vertical"},
        {"hDCPLabel_66", "RS-232 Mode"},
        {"systemPT", "Pass-Through"},
        {"systemCFR", "Control from Receiver"},
        {"label_282", "RS-232 Baud Rate"},
        {"systemBR1", "115200"},
        {"systemBR2", "57600"},
        {"systemBR3", "38400"},
        {"systemBR4", "19200"},
        {"systemBR5", "9600"},
        {"systemBR6", "4800"},
        {"systemBR7", "2400"},
        {"hDCPLabel_68", "IR Mode"},
        {"irmodePass", "Pass-Through"},
        {"irmodeControl", "Control from IR Remote"},
        {"systemFR", "Factory Reset"},
        {"systemReboot", "Reboot"},
};

// The items of every layout of the pages, in adding order: "name" in a row or column layout,
// "name@row,column" in a grid, "name@row,Label|Field|Spanning" in a form layout.
struct LayoutItems {
    const char* layout;
    const char* items;
};
const QVector<LayoutItems> kLayouts{
        {"gridLayout_17",
         "inputhdcpheader@0,1 inputHdcpFrame@1,1 outputhdcpheader@2,1 label_83@3,0 "
         "outputHdcpFrame@3,1 label_84@4,0 outputHdcpFrame_2@4,1 out3hdcp@5,0 "
         "outputHdcpFrame_3@5,1 out4hdcp@6,0 outputHdcpFrame_4@6,1 out5hdcp@7,0 "
         "outputHdcpFrame_5@7,1 out6hdcp@8,0 outputHdcpFrame_6@8,1 out7hdcp@9,0 "
         "outputHdcpFrame_7@9,1 out8hdcp@10,0 outputHdcpFrame_8@10,1"},
        {"formLayout",
         "activeSignalLabel@0,Label activeSignalLineEdit@0,Field hDCPLabel@1,Label "
         "hDCPLineEdit@1,Field hPDLabel@2,Label hPDLineEdit@2,Field videoModeLabel@3,Label "
         "videoModeLineEdit@3,Field"},
        {"gridLayout_16",
         "output1@0,0 output2@0,1 output3@0,2 output4@0,3 output5@1,0 output6@1,1 output7@1,2 "
         "output8@1,3"},
        {"formLayout_13",
         "out1@0,Spanning hPDLabel_13@1,Label hPDLineEdit_1@1,Field rSENSELabel_12@2,Label "
         "rSENSELineEdit_1@2,Field hDCPLabel_13@3,Label hDCPLineEdit_1@3,Field"},
        {"formLayout_15",
         "out2@0,Spanning hPDLabel_15@1,Label hPDLineEdit_2@1,Field rSENSELabel_14@2,Label "
         "rSENSELineEdit_2@2,Field hDCPLabel_15@3,Label hDCPLineEdit_2@3,Field"},
        {"formLayout_16",
         "out3@0,Spanning hPDLabel_16@1,Label hPDLineEdit_3@1,Field rSENSELabel_15@2,Label "
         "rSENSELineEdit_3@2,Field hDCPLabel_16@3,Label hDCPLineEdit_3@3,Field"},
        {"formLayout_14",
         "out4@0,Spanning hPDLabel_14@1,Label hPDLineEdit_4@1,Field rSENSELabel_13@2,Label "
         "rSENSELineEdit_4@2,Field hDCPLabel_14@3,Label hDCPLineEdit_4@3,Field"},
        {"formLayout_12",
         "out5@0,Spanning hPDLabel_12@1,Label hPDLineEdit_5@1,Field rSENSELabel_11@2,Label "
         "rSENSELineEdit_5@2,Field hDCPLabel_12@3,Label hDCPLineEdit_5@3,Field"},
        {"formLayout_11",
         "out6@0,Spanning hPDLabel_11@1,Label hPDLineEdit_6@1,Field rSENSELabel_10@2,Label "
         "rSENSELineEdit_6@2,Field hDCPLabel_11@3,Label hDCPLineEdit_6@3,Field"},
        {"formLayout_10",
         "out7@0,Spanning hPDLabel_10@1,Label hPDLineEdit_7@1,Field rSENSELabel_9@2,Label "
         "rSENSELineEdit_7@2,Field hDCPLabel_10@3,Label hDCPLineEdit_7@3,Field"},
        {"formLayout_9",
         "out8@0,Spanning hPDLabel_9@1,Label hPDLineEdit_8@1,Field rSENSELabel_8@2,Label "
         "rSENSELineEdit_8@2,Field hDCPLabel_9@3,Label hDCPLineEdit_8@3,Field"},
        {"gridLayout_48",
         "horizontalLayout_22@1,0 horizontalLayout_24@2,0 horizontalLayout_45@3,0 "
         "horizontalLayout_46@4,0 horizontalLayout_26@5,0 horizontalLayout_27@6,0"},
        {"horizontalLayout_22", "hDCPLabel_61 routingHDMI routingDisplayport routingDvi routingVGA"},
        {"horizontalLayout_24", "hDCPLabel_64 routingASEnable routingASDisable"},
        {"horizontalLayout_45", "hDCPLabel_62 inputModeNormal inputModeYPbPr inputModeComposite inputModeDvi"},
        {"horizontalLayout_46", "hDCPLabel_67 dviAudioEmbedded dviAudioExternal"},
        {"horizontalLayout_26", "label_277 routingSlider routingVolume"},
        {"horizontalLayout_27", "horizontalLayout_28"},
        {"horizontalLayout_28", "label_276 routingMEnable routingMDisable"},
        {"gridLayout_49",
         "horizontalLayout_33@1,1 horizontalLayout_29@2,1 horizontalLayout_42@3,1 "
         "horizontalLayout_8@4,1 horizontalLayout_9@5,1 horizontalLayout_14@6,1 "
         "horizontalLayout_16@7,1 horizontalLayout_17@8,1"},
        {"horizontalLayout_33", "gridLayout_50"},
        {"gridLayout_50",
         "setupres1@0,1 setupres2@0,2 setupres3@0,3 setupres4@0,4 verticalLayout_13@1,0 "
         "setupres5@1,1 setupres6@1,2 setupres7@1,3 setupres8@1,4 setupres9@2,1"},
        {"verticalLayout_13", "label_126"},
        {"horizontalLayout_29", "hDCPLabel_65 setupActive setupOn"},
        {"horizontalLayout_42", "label_123 line_13"},
        {"horizontalLayout_8", "label_96 setupDynamic setupStandard setupVivid setupUser"},
        {"horizontalLayout_9", "label_97 setupContrastSlider setupContrastValue"},
        {"horizontalLayout_14", "label_98 setupBrightnessSlider setupBrightnessValue"},
        {"horizontalLayout_16", "label_99 setupSaturationSlider setupSaturationValue"},
        {"horizontalLayout_17", "label_100 setupSharpnessSlider setupSharpnessValue"},
        {"gridLayout_51",
         "horizontalLayout_35@1,0 horizontalLayout_36@2,0 horizontalLayout_31@3,0 "
         "horizontalLayout_34@4,0 horizontalLayout_18@5,0 horizontalLayout_44@6,0 "
         "horizontalLayout_20@7,0 horizontalLayout_21@8,0 horizontalLayout_23@9,0 "
         "horizontalLayout_25@10,0 horizontalLayout_30@11,0 horizontalLayout_40@12,0 "
         "horizontalLayout_41@13,0 horizontalLayout_43@14,0"},
        {"horizontalLayout_35", "hDCPLabel_63 vgaEnable vgaDisable"},
        {"horizontalLayout_36", "vgaAutosync"},
        {"horizontalLayout_31", "label_278 vgaPSlider vgaPhase"},
        {"horizontalLayout_34", "horizontalLayout_37"},
        {"horizontalLayout_37", "label_279 vgaCSlider vgaClock"},
        {"horizontalLayout_18", "label_104 vgaWarm vgaMedium vgaCool vgaUser"},
        {"horizontalLayout_44", "label_105 label_122 vgaCBRSlider vgaCBR"},
        {"horizontalLayout_20", "label_107 vgaCBGSlider vgaCBG"},
        {"horizontalLayout_21", "label_108 vgaCBBSlider vgaCBB"},
        {"horizontalLayout_23", "label_124 vgaAspect1 vgaAspect2 vgaAspect3"},
        {"horizontalLayout_25", "label_110 vgaHorizontalPlus vgaHorizontalMinus"},
        {"horizontalLayout_30", "label_111 vgaVerticalPlus vgaVerticalMinus"},
        {"horizontalLayout_40",
         "label_120 label_127 vgaAdjustDown label_128 vgaAdjustLeft label_129 vgaAdjustRight"},
        {"horizontalLayout_41", "label_121 vgaStretchH"},
        {"horizontalLayout_43", "label_125 vgaStretchV"},
        {"gridLayout_52",
         "horizontalLayout_38@1,0 gridLayout_53@2,0 horizontalLayout_47@3,0 "
         "horizontalLayout_39@4,0 horizontalLayout_32@5,0"},
        {"horizontalLayout_38", "hDCPLabel_66 systemPT systemCFR"},
        {"gridLayout_53",
         "label_282@0,0 systemBR1@0,1 systemBR2@0,2 systemBR3@0,3 systemBR4@0,4 systemBR5@1,1 "
         "systemBR6@1,2 systemBR7@1,3"},
        {"horizontalLayout_47", "hDCPLabel_68 irmodePass irmodeControl"},
        {"horizontalLayout_39", "systemFR"},
        {"horizontalLayout_32", "systemReboot"},
};

// Push buttons that act once rather than switch a setting.
const QStringList kActionButtons{"lunmorarefreshHDCP", "lunmorarefreshStatus", "lunmoraFactoryReset",
                                 "vgaAutosync", "systemFR", "systemReboot"};

// The placeholders the splitter controller fills with its HDCP choice buttons.
const QStringList kHdcpFrames{"inputHdcpFrame", "outputHdcpFrame", "outputHdcpFrame_2", "outputHdcpFrame_3",
                              "outputHdcpFrame_4", "outputHdcpFrame_5", "outputHdcpFrame_6",
                              "outputHdcpFrame_7", "outputHdcpFrame_8"};


QString caption(const QWidget* w)
{
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    return QString();
}

// The page widget that holds a widget or layout.
QWidget* pageOf(const QObject* o, const QList<QWidget*>& pages)
{
    const QWidget* w = qobject_cast<const QWidget*>(o);
    if (auto* l = qobject_cast<const QLayout*>(o))
        w = l->parentWidget();
    for (QWidget* p : pages)
        if (w && (p == w || p->isAncestorOf(w)))
            return p;
    return nullptr;
}

QFormLayout::ItemRole roleNamed(const QString& role)
{
    if (role == QLatin1String("Label"))
        return QFormLayout::LabelRole;
    if (role == QLatin1String("Field"))
        return QFormLayout::FieldRole;
    return QFormLayout::SpanningRole;
}

} // namespace

class TestFormSplitter : public QObject
{
    Q_OBJECT

private:
    QMainWindow window;
    Ui_MainUI ui;

    QList<QWidget*> pages() const
    {
        return {ui.lunmoraHdcpTab, ui.lunmoraSystem, ui.lunmoraStatusTab, ui.routeTab,
                ui.setupTab, ui.vgaTab, ui.hdbtSystem};
    }

    template <typename T>
    T* find(const QString& name)
    {
        auto* o = window.findChild<T*>(name);
        if (!o)
            qWarning("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
        return o;
    }

private slots:
    void initTestCase()
    {
        initPlexaResources();
        installApplicationFonts();
        ui.setupUi(&window);
    }

    // Each object exists once in the whole form, with its class, on its page.
    void objects_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("page");
        for (const PageObjects& p : kObjects)
            for (const Obj& o : p.objects)
                QTest::newRow(o.name) << o.name << o.className << p.page;
    }

    void objects()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, page);
        const auto all = window.findChildren<QObject*>(name);
        QCOMPARE(all.size(), 1);
        QCOMPARE(QString(all.first()->metaObject()->className()), className);
        QWidget* holder = pageOf(all.first(), pages());
        QVERIFY(holder);
        QCOMPARE(holder->objectName(), page);
    }

    // Nothing on the pages beyond the listed objects (a stray or renamed widget shows up here).
    void pagesHoldOnlyListedObjects()
    {
        for (const PageObjects& p : kObjects) {
            QStringList expected;
            for (const Obj& o : p.objects)
                expected << o.name;
            auto* page = find<QWidget>(p.page);
            QVERIFY(page);
            QStringList found;
            for (QObject* o : page->findChildren<QObject*>()) {
                const QString n = o->objectName();
                // the widgets' own inner parts (a spin box's line edit)
                if (!n.isEmpty() && !n.startsWith(QLatin1String("qt_")))
                    found << n;
            }
            expected.sort();
            found.sort();
            QCOMPARE(found, expected);
        }
    }

    void fixedGeometry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("lunmorarefreshHDCP") << "lunmorarefreshHDCP" << "lunmoraHdcpTab" << QRect(473, 5, 100, 40);
        QTest::newRow("gridLayoutWidget_3") << "gridLayoutWidget_3" << "lunmoraHdcpTab" << QRect(20, 50, 551, 471);
        QTest::newRow("lunmoraFactoryReset") << "lunmoraFactoryReset" << "lunmoraSystem" << QRect(20, 20, 260, 41);
        QTest::newRow("inp1") << "inp1" << "lunmoraStatusTab" << QRect(10, 20, 191, 16);
        QTest::newRow("lunmorarefreshStatus") << "lunmorarefreshStatus" << "lunmoraStatusTab" << QRect(480, 20, 100, 40);
        QTest::newRow("layoutWidget1") << "layoutWidget1" << "lunmoraStatusTab" << QRect(10, 40, 191, 100);
        QTest::newRow("gridLayoutWidget_2") << "gridLayoutWidget_2" << "lunmoraStatusTab" << QRect(10, 170, 571, 231);
        QTest::newRow("layoutWidget_23") << "layoutWidget_23" << "output1" << QRect(0, 0, 131, 93);
        QTest::newRow("layoutWidget_25") << "layoutWidget_25" << "output2" << QRect(0, 0, 131, 93);
        QTest::newRow("layoutWidget_26") << "layoutWidget_26" << "output3" << QRect(0, 0, 131, 93);
        QTest::newRow("layoutWidget_24") << "layoutWidget_24" << "output4" << QRect(0, 0, 131, 93);
        QTest::newRow("layoutWidget_22") << "layoutWidget_22" << "output5" << QRect(0, 0, 131, 93);
        QTest::newRow("layoutWidget_21") << "layoutWidget_21" << "output6" << QRect(0, 0, 131, 93);
        QTest::newRow("layoutWidget_20") << "layoutWidget_20" << "output7" << QRect(0, 0, 131, 93);
        QTest::newRow("layoutWidget_19") << "layoutWidget_19" << "output8" << QRect(0, 0, 131, 93);
        QTest::newRow("gridLayoutWidget_17") << "gridLayoutWidget_17" << "routeTab" << QRect(20, 20, 451, 194);
        QTest::newRow("gridLayoutWidget_18") << "gridLayoutWidget_18" << "setupTab" << QRect(10, 20, 574, 501);
        QTest::newRow("gridLayoutWidget_20") << "gridLayoutWidget_20" << "vgaTab" << QRect(30, 20, 468, 631);
        QTest::newRow("gridLayoutWidget_21") << "gridLayoutWidget_21" << "hdbtSystem" << QRect(30, 20, 531, 231);
    }

    void fixedGeometry()
    {
        QFETCH(QString, name);
        QFETCH(QString, parentName);
        QFETCH(QRect, geometry);
        auto* w = find<QWidget>(name);
        QVERIFY(w);
        QCOMPARE(::parentName(w), parentName);
        QCOMPARE(w->geometry(), geometry);
    }

    void captions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("toolTip");
        for (const Caption& c : kCaptions)
            QTest::newRow(c.name) << c.name << c.text << c.toolTip;
    }

    void captions()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, toolTip);
        auto* w = find<QWidget>(name);
        QVERIFY(w);
        QCOMPARE(caption(w), text);
        QCOMPARE(w->toolTip(), toolTip);
    }

    void othersStartBlank()
    {
        QSet<QString> captioned;
        for (const Caption& c : kCaptions)
            captioned << c.name;
        int blank = 0;
        for (QWidget* page : pages()) {
            for (QWidget* w : page->findChildren<QWidget*>()) {
                if (w->objectName().startsWith(QLatin1String("qt_")) || captioned.contains(w->objectName()))
                    continue;
                QVERIFY2(caption(w).isEmpty(), qPrintable(w->objectName()));
                QVERIFY2(w->toolTip().isEmpty(), qPrintable(w->objectName()));
                if (qobject_cast<QLabel*>(w))
                    ++blank;
            }
        }
        // the row labels of outputs 3 to 8 on the HDCP page
        QCOMPARE(blank, 6);
        for (int n = 3; n <= 8; ++n)
            QVERIFY(!captioned.contains(QStringLiteral("out%1hdcp").arg(n)));
    }

    // Layout items in order and in their cells; a layout holds nothing else (no stray spacer
    // that would push a row out of place).
    void layouts_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QStringList>("items");
        for (const LayoutItems& l : kLayouts)
            QTest::newRow(l.layout) << l.layout << QString(l.items).split(QLatin1Char(' '));
    }

    void layouts()
    {
        QFETCH(QString, layout);
        QFETCH(QStringList, items);
        auto* l = find<QLayout>(layout);
        QVERIFY(l);
        QCOMPARE(l->count(), items.size());
        for (int i = 0; i < items.size(); ++i) {
            const QStringList parts = items.at(i).split(QLatin1Char('@'));
            const QString name = parts.first();
            QObject* o = window.findChild<QObject*>(name);
            QVERIFY2(o, qPrintable(name));
            QLayoutItem* item = l->itemAt(i);
            QVERIFY(item);
            const QObject* held = item->widget() ? static_cast<QObject*>(item->widget())
                                                 : static_cast<QObject*>(item->layout());
            QVERIFY2(held == o, qPrintable(QStringLiteral("%1: item %2 is not %3").arg(layout).arg(i).arg(name)));
            if (parts.size() == 1) {
                QVERIFY(qobject_cast<QBoxLayout*>(l));
                continue;
            }
            const QStringList cell = parts.at(1).split(QLatin1Char(','));
            if (auto* grid = qobject_cast<QGridLayout*>(l)) {
                int r, c, rs, cs;
                grid->getItemPosition(i, &r, &c, &rs, &cs);
                QCOMPARE(QList<int>({r, c, rs, cs}), QList<int>({cell.at(0).toInt(), cell.at(1).toInt(), 1, 1}));
            } else {
                auto* form = qobject_cast<QFormLayout*>(l);
                QVERIFY(form);
                int r;
                QFormLayout::ItemRole role;
                form->getItemPosition(i, &r, &role);
                QCOMPARE(r, cell.at(0).toInt());
                QCOMPARE(role, roleNamed(cell.at(1)));
            }
        }
    }

    // The levels: every slider reports on release only and pairs with a spin box of the same
    // range; values beyond the range are held at its ends.
    void ranges_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        for (const char* n : {"routingSlider", "routingVolume", "setupContrastSlider", "setupContrastValue",
                              "setupBrightnessSlider", "setupBrightnessValue", "setupSaturationSlider",
                              "setupSaturationValue", "setupSharpnessSlider", "setupSharpnessValue", "vgaPSlider",
                              "vgaPhase", "vgaCSlider", "vgaClock", "vgaCBRSlider", "vgaCBR", "vgaCBGSlider",
                              "vgaCBG", "vgaCBBSlider", "vgaCBB"})
            QTest::newRow(n) << n << 0 << 100;
        QTest::newRow("vgaAdjustDown") << "vgaAdjustDown" << 0 << 4;
        QTest::newRow("vgaAdjustLeft") << "vgaAdjustLeft" << 0 << 30;
        QTest::newRow("vgaAdjustRight") << "vgaAdjustRight" << 0 << 30;
        QTest::newRow("vgaStretchH") << "vgaStretchH" << -30 << 20;
        QTest::newRow("vgaStretchV") << "vgaStretchV" << 0 << 4;
    }

    void ranges()
    {
        QFETCH(QString, name);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        if (auto* slider = window.findChild<QSlider*>(name)) {
            QCOMPARE(slider->minimum(), minimum);
            QCOMPARE(slider->maximum(), maximum);
            QCOMPARE(slider->value(), 0);
            QVERIFY(!slider->hasTracking());
            QCOMPARE(slider->orientation(), Qt::Horizontal);
            // its spin box stands right after it in the same row
            QSpinBox* partner = nullptr;
            for (QBoxLayout* row : window.findChildren<QBoxLayout*>()) {
                const int at = row->indexOf(slider);
                if (at >= 0 && at + 1 < row->count())
                    partner = qobject_cast<QSpinBox*>(row->itemAt(at + 1)->widget());
            }
            QVERIFY2(partner, "no spin box right after the slider");
            QCOMPARE(partner->minimum(), minimum);
            QCOMPARE(partner->maximum(), maximum);
            return;
        }
        auto* spin = find<QSpinBox>(name);
        QVERIFY(spin);
        QCOMPARE(spin->minimum(), minimum);
        QCOMPARE(spin->maximum(), maximum);
        QCOMPARE(spin->value(), 0);
        const auto restore = qScopeGuard([spin] { spin->setValue(0); });
        spin->setValue(minimum - 1);
        QCOMPARE(spin->value(), minimum);
        spin->setValue(maximum + 1);
        QCOMPARE(spin->value(), maximum);
        // typed in: the lowest value is taken, one past the highest is not
        spin->selectAll();
        QTest::keyClicks(spin, QString::number(minimum));
        QCOMPARE(spin->value(), minimum);
        spin->selectAll();
        QTest::keyClicks(spin, QString::number(maximum + 1));
        QVERIFY(spin->value() <= maximum);
    }

    // Every choice button is a checkable push button in no group, none checked: the scaler
    // controller checks one per row itself and must be able to leave a whole row unchecked.
    void buttons_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("checkable");
        for (const PageObjects& p : kObjects)
            for (const Obj& o : p.objects)
                if (qstrcmp(o.className, "QPushButton") == 0)
                    QTest::newRow(o.name) << o.name << !kActionButtons.contains(o.name);
    }

    void buttons()
    {
        QFETCH(QString, name);
        QFETCH(bool, checkable);
        auto* b = find<QPushButton>(name);
        QVERIFY(b);
        QCOMPARE(b->isCheckable(), checkable);
        QVERIFY(!b->isChecked());
        QVERIFY(b->isEnabled());
        QVERIFY(!b->group());
        QVERIFY(!b->autoExclusive());
    }

    void choiceRowsLeaveExclusivityToTheController()
    {
        for (QButtonGroup* g : window.findChildren<QButtonGroup*>())
            for (QAbstractButton* b : g->buttons())
                QVERIFY2(!pageOf(b, pages()), qPrintable(b->objectName()));
        const QList<QPushButton*> row{ui.routingHDMI, ui.routingDisplayport, ui.routingDvi, ui.routingVGA};
        const auto restore = qScopeGuard([&] { for (auto* b : row) b->setChecked(false); });
        ui.routingHDMI->click();
        ui.routingVGA->click();
        QVERIFY(ui.routingHDMI->isChecked());
        QVERIFY(ui.routingVGA->isChecked());
        for (auto* b : row)
            b->setChecked(false);
        for (auto* b : row)
            QVERIFY(!b->isChecked());
    }

    // The splitter's status fields are written by the controller only.
    void statusFields()
    {
        const auto edits = ui.lunmoraStatusTab->findChildren<QLineEdit*>();
        QCOMPARE(edits.size(), 28);
        for (QLineEdit* e : edits) {
            QVERIFY2(!e->isEnabled(), qPrintable(e->objectName()));
            QVERIFY(e->text().isEmpty());
            QTest::keyClicks(e, "ON");
            QVERIFY2(e->text().isEmpty(), qPrintable(e->objectName()));
        }
        // outputs 1 to 4 above 5 to 8, each block its own widget that the controller hides
        for (int n = 1; n <= 8; ++n) {
            auto* block = find<QWidget>(QStringLiteral("output%1").arg(n));
            QVERIFY(block);
            for (const char* field : {"hPDLineEdit_%1", "rSENSELineEdit_%1", "hDCPLineEdit_%1"})
                QVERIFY(block->isAncestorOf(find<QLineEdit>(QString::fromLatin1(field).arg(n))));
            QCOMPARE(find<QLabel>(QStringLiteral("out%1").arg(n))->text(), QStringLiteral("Output %1").arg(n));
        }
    }

    void hdcpPlaceholdersAreEmpty()
    {
        for (const QString& name : kHdcpFrames) {
            auto* f = find<QFrame>(name);
            QVERIFY(f);
            QVERIFY2(!f->layout(), qPrintable(name));
            QVERIFY2(f->children().isEmpty(), qPrintable(name));
        }
    }

    void details()
    {
        for (QWidget* w : QList<QWidget*>{ui.inp1, ui.lunmorarefreshHDCP, ui.lunmorarefreshStatus})
            QCOMPARE(w->layoutDirection(), Qt::RightToLeft);
        QVERIFY(ui.label_123->font().bold());
        QVERIFY(ui.label_105->wordWrap());
        QVERIFY(ui.label_120->wordWrap());
        QCOMPARE(ui.line_13->frameShape(), QFrame::HLine);
        QCOMPARE(ui.line_13->frameShadow(), QFrame::Sunken);
        // the nine resolution buttons are exactly the push buttons of their grid, which the
        // controller unchecks as a whole
        QStringList inGrid;
        for (int i = 0; i < ui.gridLayout_50->count(); ++i)
            if (auto* b = qobject_cast<QPushButton*>(ui.gridLayout_50->itemAt(i)->widget()))
                inGrid << b->objectName();
        QCOMPARE(inGrid.size(), 9);
        for (int n = 1; n <= 9; ++n)
            QVERIFY(inGrid.contains(QStringLiteral("setupres%1").arg(n)));
    }

    // Each page as shown with the application style sheet: every caption fits its widget, text
    // fields hold a line of text, and no widget overlaps a sibling or runs out of its parent.
    void pagesShowWhole_data()
    {
        QTest::addColumn<QString>("page");
        for (const PageObjects& p : kObjects)
            QTest::newRow(p.page) << p.page;
    }

    void pagesShowWhole()
    {
        QFETCH(QString, page);
        auto* root = find<QWidget>(page);
        QVERIFY(root);
        qApp->setStyleSheet(plexaStyleSheet());
        QVERIFY(!qApp->styleSheet().isEmpty());
        const auto restore = qScopeGuard([this] {
            qApp->setStyleSheet(QString());
            window.hide();
        });
        bringToFront(root);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        settleLayouts(root);
        VERIFY_RENDERS_CLEAN(renderFaults(root, mainFormRenderExceptions()));
    }
};

PLEXA_TEST_MAIN(TestFormSplitter)
#include "tst_form_splitter.moc"

// Page sets of the "Configure" tab. The form creates every device page once; a page set only
// moves pages in and out of ConfiguratorTabs, titles them, and points the shared EDID and
// firmware buttons at the selected family. Pages keep their widget values between selections.
#include "mainwindow.h"
#include "ui_mainui.h"

#include "dialogs.h"
#include "scaler.h"
#include "serialports.h"

#include <QComboBox>
#include <QDebug>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QFormLayout>
#include <QLabel>
#include <QTabBar>

namespace {

// The selected tab in the page grey. The sheet replaces the device tab widget's own sheet, so its
// panes go back to the plain look, which the application sheet's rounded rule for this widget
// would otherwise keep. The scaler's preset tabs keep their white selected tab: a sheet set here
// outranks the application sheet's rule for them.
const QString kSelectedTabStyle =
    QStringLiteral("QTabBar::tab:selected{background:#F5F5F5;border-bottom-color:#F5F5F5;}"
                   "QTabWidget#timingPresets>QTabBar::tab:selected{background:white;border-bottom-color:white;}")
    + QLatin1String(kPlainTabPaneStyle);
const QString kSerialPortTitle = QStringLiteral("Serial Port connection");
// What a title bar takes beside its title: the window icon, three buttons and the margins.
const int kTitleBarButtonsWidth = 160;

const QStringList kSavranoEdids = {
    QStringLiteral("Internal - 720P 2 Ch"),  QStringLiteral("Internal - 1080P 2 Ch"),
    QStringLiteral("External EDID"),         QStringLiteral("Input 1 Custom - User"),
    QStringLiteral("Input 2 Custom - User"), QStringLiteral("Input 3 Custom - User"),
    QStringLiteral("Input 4 Custom - User"),
};
const QStringList kBorluneEdids = {
    QStringLiteral("Internal - 4K 600 2 Ch"),   QStringLiteral("Internal - 4K 300 2 Ch"),
    QStringLiteral("Internal - 1080P 2 Ch"),    QStringLiteral("External (HDMI Output 1)"),
    QStringLiteral("External (HDMI Output 2)"), QStringLiteral("External (HDMI Output 3)"),
    QStringLiteral("External (HDMI Output 4)"), QStringLiteral("Custom Mode - User"),
};
const QStringList kNorrithEdids = {
    QStringLiteral("Internal - 1080P 2 Ch"),
    QStringLiteral("Internal - 1080P Multi-Ch"),
    QStringLiteral("Internal - 4K UHD 300 MHZ 2 Ch"),
    QStringLiteral("Internal - 4K UHD 300 MHZ Multi-Ch"),
    QStringLiteral("External EDID"),
    QStringLiteral("Custom - User"),
};
const QStringList kJovarisEdids = {
    QStringLiteral("Internal - 1080P 2 Ch"),
    QStringLiteral("Internal - 4K UHD 300 MHZ 2 Ch"),
    QStringLiteral("External EDID"),
    QStringLiteral("Custom - User"),
};

// Output resolutions offered by the extenders' resolution buttons, in button order.
const QStringList kSurrowResolutions = {
    QStringLiteral("1360x768 60 Hz"),  QStringLiteral("1024x768 60 Hz"),  QStringLiteral("1280x720 50 Hz"),
    QStringLiteral("1280x720 60 Hz"),  QStringLiteral("1280x800 60 Hz"),  QStringLiteral("1600x1200 60 Hz"),
    QStringLiteral("1920x1080 50 Hz"), QStringLiteral("1920x1080 60 Hz"), QStringLiteral("1920x1200 60 Hz"),
};
const QStringList kNorrithResolutions = {
    QStringLiteral("1360x768 60 Hz"),  QStringLiteral("1024x768 60 Hz"),  QStringLiteral("1280x720 50 Hz"),
    QStringLiteral("1280x720 60 Hz"),  QStringLiteral("1280x800 60 Hz"),  QStringLiteral("1920x1080 50 Hz"),
    QStringLiteral("1920x1080 60 Hz"), QStringLiteral("1920x1200 60 Hz"), QStringLiteral("1600x1200 60 Hz"),
};
const QStringList kJovarisResolutions = {
    QStringLiteral("1024x768 60 HZ"),  QStringLiteral("1280x720 50 HZ"),  QStringLiteral("1280x720 60 HZ"),
    QStringLiteral("1360x768 60 HZ"),  QStringLiteral("1920x1080 50 HZ"), QStringLiteral("1920x1080 60 HZ"),
    QStringLiteral("3840x2160 30 HZ"),
};

void enableAll(std::initializer_list<QWidget*> widgets, bool enabled)
{
    for (QWidget* widget : widgets)
        widget->setEnabled(enabled);
}

void showAll(const QList<QWidget*>& widgets, bool visible)
{
    for (QWidget* widget : widgets)
        widget->setVisible(visible);
}

void setTexts(const QList<QAbstractButton*>& buttons, const QStringList& texts)
{
    for (int i = 0; i < texts.size() && i < buttons.size(); ++i)
        buttons.at(i)->setText(texts.at(i));
}

} // namespace

// ---- Common frame -----------------------------------------------------------------------------

void MainWindow::setPageSet(const QList<ConfigPage>& pages, PageSetLook look)
{
    QTabWidget* tabs = ui->ConfiguratorTabs;
    tabs->clear(); // removes the pages, does not delete them
    for (const ConfigPage& page : pages)
        tabs->addTab(page.page, page.title);
    tabs->tabBar()->setVisible(true);
    if (look == SelectedTabStyle)
        tabs->setStyleSheet(kSelectedTabStyle);
    else if (look == EnableTabs)
        tabs->setEnabled(true);
}

MainWindow::ConfigPage MainWindow::manageEdidPage() const
{
    return {ui->edidConfigureTab, QStringLiteral(" Manage EDID ")};
}

// The shared buttons serve one family at a time: whoever was connected before goes.
void MainWindow::rewire(QAbstractButton* button, const char* slot)
{
    disconnect(button, SIGNAL(clicked()), nullptr, nullptr);
    connect(button, SIGNAL(clicked()), this, slot);
}

// Everything after the prompt goes, whichever family put it there (including other families'
// own "Select EDID" prompts); then the model's sources follow the prompt.
void MainWindow::rebuildEdidSourceList(const QStringList& entries)
{
    QComboBox* sources = ui->selectEDIDFromDevice;
    for (int i = sources->count() - 1; i >= 1; --i) {
        qDebug() << sources->itemText(i);
        sources->removeItem(i);
    }
    sources->setEnabled(true);
    disconnect(sources, SIGNAL(currentIndexChanged(int)), nullptr, nullptr);
    connect(sources, SIGNAL(currentIndexChanged(int)), this, SLOT(selectEDIDFromDevice(int)));
    for (int i = 0; i < entries.size(); ++i)
        sources->insertItem(i + 1, entries.at(i));
    sources->setCurrentIndex(0);
    scaler->scalerTabChanged(0);
}

// ---- The page sets ----------------------------------------------------------------------------

void MainWindow::showHdmiEdidToolControls()
{
    setPageSet({{boosterPage, QStringLiteral("Booster")},
                manageEdidPage(),
                {ui->updateConfigureTab, QStringLiteral("Update")}},
               KeepLook);
}

void MainWindow::showDisplayPortEdidToolControls()
{
    setPageSet({manageEdidPage(), {ui->updateConfigureTab, QStringLiteral("Update")}}, SelectedTabStyle);
}

void MainWindow::showHDBaseTControls(bool noEdidPage, bool statusEnabled)
{
    QList<ConfigPage> pages{{ui->statusTab, QStringLiteral("Status")}};
    if (!noEdidPage)
        pages.append(manageEdidPage());
    pages.append({ui->updateConfigureTab, QStringLiteral("Update")});
    setPageSet(pages, KeepLook);

    ui->ddcFrame->show();
    ui->boosterFrame->hide();
    ui->configTabMessage->hide();
    ui->configTabLogo->show();
    ui->statusTab->setEnabled(statusEnabled);
}

void MainWindow::showCALTORControls(bool enabled)
{
    qDebug() << "showCaltorControls";
    setPageSet({{ui->updatetab2, QStringLiteral("Update")}}, EnableTabs);
    if (!enabled) {
        enableAll({ui->updateDLComp_2, ui->updatePlxInstall_2, ui->updateBrowse_2, ui->updatePlxInstall_3}, false);
        return;
    }
    enableAll({ui->updateDLComp_2, ui->updateBrowse_2}, true);
    enableAll({ui->updatePlxInstall_2, ui->updatePlxInstall_3}, false);
    rewire(ui->updateBrowse_2, SLOT(browseCALTORUpdateFiles()));
}

void MainWindow::showSAVRANOControls(bool enabled, bool noEdidPage)
{
    showScalerFamilyControls(false, enabled, noEdidPage);
}

void MainWindow::showBORLUNEControls(bool enabled, bool noEdidPage)
{
    showScalerFamilyControls(true, enabled, noEdidPage);
}

// The scaler-driven units reached over TCP or a USB serial port: Savrano/Zarrick and
// Borlune/Cavrosh. Their EDID and firmware work runs through the scaler controller.
void MainWindow::showScalerFamilyControls(bool borlune, bool enabled, bool noEdidPage)
{
    qDebug() << (borlune ? "showBORLUNEControls" : "showSAVRANOControls");
    QList<ConfigPage> pages;
    if (!noEdidPage)
        pages.append(manageEdidPage());
    pages.append({ui->updatetab2, QStringLiteral("Update")});
    setPageSet(pages, EnableTabs);

    if (!enabled) {
        enableAll({ui->selectEDIDFromDevice, ui->downloadButton, ui->openEDIDFromDevice, ui->uploadBrowse,
                    ui->uploadButton, ui->updateDLComp_2, ui->updatePlxInstall_2, ui->updateBrowse_2,
                    ui->updatePlxInstall_3},
                   false);
        return;
    }

    if (!noEdidPage) {
        enableAll({ui->selectEDIDFromDevice, ui->refreshEDIDModes, ui->scalerEDIDFrame, ui->openEDIDFromDevice,
                    ui->scalerEDIDBox},
                   true);
        ui->downloadButton->setEnabled(false);
        if (!borlune) {
            ui->edidInputFrame->setEnabled(true);
            ui->edidInputFrame->show();
            rewire(ui->downloadButton, SLOT(zarrickDownloadEDID()));
        }
    }

    enableAll({ui->sorvaneBox, ui->uploadToDropdown, ui->uploadFilename}, true);
    ui->uploadBrowse->setEnabled(false);
    ui->uploadButton->setEnabled(borlune);
    enableAll({ui->updateDLComp_2, ui->updatePlxInstall_2, ui->updateBrowse_2, ui->updatePlxInstall_3}, true);
    rewire(ui->updateBrowse_2, SLOT(browseScalerUpdateFiles()));

    if (noEdidPage)
        return;
    if (borlune) {
        ui->edidInputFrame->setEnabled(false);
        ui->edidInputFrame->hide();
        rewire(ui->downloadButton, SLOT(cavroshDownloadEDID()));
    }
    rebuildEdidSourceList(borlune ? kBorluneEdids : kSavranoEdids);
}

void MainWindow::showGenericControls()
{
    setPageSet({{ui->scaler12controlsTab, QStringLiteral("Controls")},
                manageEdidPage(),
                {ui->updateConfigureTab, QStringLiteral("Update")}},
               SelectedTabStyle);
}

void MainWindow::showScalerControls()
{
    setPageSet({{outputPage, QStringLiteral("Output")},
                {picturePage, QStringLiteral("Picture")},
                {adjustPage, QStringLiteral("Adjust")},
                {systemPage, QStringLiteral("System")},
                {testPatternPage, QStringLiteral("Test Patterns")},
                {timingPage, QStringLiteral("Timings")},
                manageEdidPage(),
                {ui->updateConfigureTab, QStringLiteral("Update")}},
               SelectedTabStyle);
}

void MainWindow::showIpProductControls(bool enabled)
{
    setPageSet({manageEdidPage(), {ui->updateConfigureTab, QStringLiteral("Update")}}, EnableTabs);
    enableAll({ui->selectEDIDFromDevice, ui->downloadButton, ui->openEDIDFromDevice, ui->uploadBrowse,
                ui->uploadButton},
               enabled);
    if (enabled)
        rewire(ui->downloadButton, SLOT(ostrandDownloadEDID()));
}

void MainWindow::showUpdateOnlyControls()
{
    setPageSet({{ui->updateConfigureTab, QStringLiteral("Update")}}, SelectedTabStyle);
}

void MainWindow::showSplitterControls()
{
    setPageSet({{lunmoraHdcpPage, QStringLiteral("HDCP")},
                {lunmoraStatusPage, QStringLiteral("Status")},
                {ui->lunmoraSystem, QStringLiteral("System")},
                manageEdidPage(),
                {ui->updateConfigureTab, QStringLiteral("Update")}},
               SelectedTabStyle);
}

// ---- The serially controlled extenders --------------------------------------------------------

// True, after telling the user, when the PC has no serial port for an RS-232 `model` to be on.
bool MainWindow::noSerialPortFor(const QString& model)
{
    if (!SerialPortLister::portNames().isEmpty())
        return false;
    Dialogs::warning(this, kSerialPortTitle,
                     QStringLiteral("No serial port was found on this PC. %1 units are controlled over RS-232: "
                                    "connect the unit's serial cable or a USB serial adapter, then choose the "
                                    "product again.")
                         .arg(model));
    return true;
}

// Asks which serial port the extender is on and hands it to the scaler controller. The Norrith
// gets the plain list choice; Jovaris and Surrow a small form. False when the user cancelled or
// chose no port.
bool MainWindow::askComPort(bool listDialog)
{
    const QStringList ports = SerialPortLister::portNames();
    if (listDialog) {
        bool ok = false;
        const QString port = Dialogs::getItem(this, kSerialPortTitle, tr("Select device COM port:"), ports, 0,
                                              false, &ok);
        if (!ok || port.isEmpty())
            return false;
        scaler->serialPortName = port;
        return true;
    }

    QDialog dialog;
    dialog.setObjectName(QStringLiteral("comPortDialog"));
    dialog.setWindowTitle(kSerialPortTitle);
    auto* layout = new QFormLayout(&dialog);
    auto* portBox = new QComboBox(&dialog);
    portBox->addItems(ports);
    portBox->setCurrentIndex(0);
    layout->addRow(new QLabel(QStringLiteral("Com Port"), &dialog), portBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addRow(new QLabel(QString(), &dialog), buttons);
    connect(buttons, SIGNAL(accepted()), &dialog, SLOT(accept()));
    connect(buttons, SIGNAL(rejected()), &dialog, SLOT(reject()));
    // The form alone is narrower than its title: leave the title bar room for the whole title
    // (title bars use a bold font) beside the window buttons.
    QFont titleFont = dialog.font();
    titleFont.setBold(true);
    dialog.setMinimumWidth(QFontMetrics(titleFont).horizontalAdvance(kSerialPortTitle) + kTitleBarButtonsWidth);

    if (dialog.exec() != QDialog::Accepted || portBox->currentText().isEmpty())
        return false;
    qDebug() << "The user clicked:" << "ComboBoxA" << portBox->currentText();
    scaler->serialPortName = portBox->currentText();
    scaler->baudRateText.clear();
    return true;
}

void MainWindow::showNORRITHControls(bool enabled)
{
    const QString text = ui->productCombobox->currentText();
    const bool norrith = text.contains(QLatin1String("Norrith"));
    const bool jovaris = text.contains(QLatin1String("Jovaris"));
    const bool surrow = text.contains(QLatin1String("Surrow"));

    if (norrith && !askComPort(true))
        return;
    if ((jovaris || surrow) && !askComPort(false))
        return;

    qDebug() << "showNORRITHControls";
    setPageSet({{ui->routeTab, QStringLiteral("Routing")},
                {ui->setupTab, QStringLiteral("Setup")},
                {ui->vgaTab, QStringLiteral("VGA")},
                manageEdidPage(),
                {ui->hdbtSystem, QStringLiteral("System")},
                {ui->updatetab2, QStringLiteral("Update")}},
               EnableTabs);

    const QList<QWidget*> audioGroup{ui->label_276,      ui->label_277,      ui->routingSlider,
                                     ui->routingVolume,  ui->routingMEnable, ui->routingMDisable};
    const QList<QWidget*> baudRateGroup{ui->label_282, ui->systemBR1, ui->systemBR2, ui->systemBR3,
                                        ui->systemBR4, ui->systemBR5, ui->systemBR6, ui->systemBR7};
    const QList<QWidget*> pictureGroup{
        ui->label_123,          ui->line_13,           ui->label_96,
        ui->setupDynamic,       ui->setupStandard,     ui->setupVivid,
        ui->setupUser,          ui->label_97,          ui->setupContrastSlider,
        ui->setupContrastValue, ui->label_98,          ui->setupBrightnessSlider,
        ui->setupBrightnessValue, ui->label_99,        ui->setupSaturationSlider,
        ui->setupSaturationValue, ui->label_100,       ui->setupSharpnessSlider,
        ui->setupSharpnessValue, ui->label_104,        ui->vgaWarm,
        ui->vgaMedium,          ui->vgaCool,           ui->vgaUser,
        ui->label_105,          ui->vgaCBRSlider,      ui->label_122,
        ui->label_107,          ui->vgaCBGSlider,      ui->vgaCBG,
        ui->vgaCBR,             ui->label_108,         ui->vgaCBBSlider,
        ui->vgaCBB,             ui->label_124,         ui->vgaAspect1,
        ui->vgaAspect2,         ui->vgaAspect3,        ui->label_110,
        ui->vgaHorizontalPlus,  ui->vgaHorizontalMinus, ui->label_111,
        ui->vgaVerticalPlus,    ui->vgaVerticalMinus,  ui->label_120,
        ui->label_127,          ui->vgaAdjustDown,     ui->label_128,
        ui->vgaAdjustLeft,      ui->label_129,         ui->vgaAdjustRight,
        ui->label_121,          ui->vgaStretchH,       ui->label_125,
        ui->vgaStretchV};
    const QList<QWidget*> inputGroup{ui->routingDisplayport, ui->routingDvi,         ui->hDCPLabel_62,
                                     ui->inputModeNormal,    ui->inputModeYPbPr,     ui->inputModeComposite,
                                     ui->inputModeDvi,       ui->hDCPLabel_67,       ui->dviAudioEmbedded,
                                     ui->dviAudioExternal};
    const QList<QAbstractButton*> resolutionButtons{ui->setupres1, ui->setupres2, ui->setupres3,
                                                    ui->setupres4, ui->setupres5, ui->setupres6,
                                                    ui->setupres7, ui->setupres8, ui->setupres9};

    showAll(audioGroup, true);
    showAll(baudRateGroup, true);
    showAll(pictureGroup, true);
    showAll({ui->setupres8, ui->setupres9}, true);
    showAll(inputGroup, false);
    if (surrow) {
        showAll(inputGroup, true);
        showAll(audioGroup, false);
        setTexts(resolutionButtons, kSurrowResolutions);
    }
    if (jovaris) {
        setTexts(resolutionButtons, kJovarisResolutions);
        showAll({ui->setupres8, ui->setupres9}, false);
        showAll(pictureGroup, false);
    }
    if (norrith) {
        setTexts(resolutionButtons, kNorrithResolutions);
        showAll(audioGroup, false);
        showAll(baudRateGroup, false);
    }

    if (!enabled) {
        enableAll({ui->selectEDIDFromDevice, ui->downloadButton, ui->openEDIDFromDevice, ui->uploadBrowse,
                    ui->uploadButton},
                   false);
        return;
    }
    enableAll({ui->selectEDIDFromDevice, ui->openEDIDFromDevice, ui->scalerEDIDBox, ui->sorvaneBox,
                ui->uploadToDropdown, ui->uploadFilename, ui->uploadButton, ui->refreshEDIDModes,
                ui->scalerEDIDFrame},
               true);
    enableAll({ui->downloadButton, ui->uploadBrowse}, false);
    rewire(ui->downloadButton, SLOT(jovarisDownloadEDID()));
    rewire(ui->updateBrowse_2, SLOT(browseScalerUpdateFiles()));
    rebuildEdidSourceList(jovaris ? kJovarisEdids : (norrith || surrow) ? kNorrithEdids : QStringList());
}

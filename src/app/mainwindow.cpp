#include "mainwindow.h"
#include "statuscolour.h"
#include "ui_mainui.h"

#include "caltor.h"
#include "controllerfactory.h"
#include "converter.h"
#include "discovery.h"
#include "edidplus.h"
#include "endpoints.h"
#include "firmwareupdate.h"
#include "hdbaset.h"
#include "korvinaupdater.h"
#include "lunmora.h"
#include "myxmlmanager.h"
#include "ostrand.h"
#include "rolvanecontrol.h"
#include "scaler.h"
#include "sorvaneinterface.h"
#include "updatetabcontrol.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QSerialPort>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
int desktopHeightForTests = 0;

int desktopHeight()
{
    if (desktopHeightForTests > 0)
        return desktopHeightForTests;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->virtualGeometry().height() : 0;
}
} // namespace

void MainWindow::setDesktopHeightForTests(int height)
{
    desktopHeightForTests = height;
}

MainWindow::MainWindow(QWidget* parent, ControllerFactory* controllerFactory)
    : QMainWindow(parent)
    , factory(controllerFactory ? controllerFactory : ControllerFactory::standard())
    , ui(new Ui_MainUI())
    , networkFamily(buildFamilyTable())
    , ipProductList(networkFamily->list)
{
    ui->setupUi(this);

    // The form is laid out by fixed geometry; a scroll area keeps it usable on short screens.
    auto* scrollArea = new QScrollArea();
    scrollArea->setWidget(ui->centralFrame);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setCentralWidget(scrollArea); // disposes of the form's own central widget
    ui->centralWidget = nullptr;
    setContentsMargins(10, 15, 0, 0);

    createSummaryWindow();

    // The application style sheet goes in only now, once the whole form sits in its final place.
    // Polishing ~1,100 widgets with it is the largest single cost of start-up, and any earlier
    // point makes it larger, not smaller: uic builds the tab pages without a parent and this
    // constructor moves the form into the scroll area, and under an application style sheet every
    // such re-parenting restyles (and re-polishes) the whole subtree again. Measured to the first
    // paint: about 0.54 G instructions here, 1.05 G with the sheet set before setupUi(), 0.96 G
    // between setupUi() and the scroll area.
    QFile styleFile(QStringLiteral(":/style/stylesheet.qss"));
    if (styleFile.open(QIODevice::ReadOnly | QIODevice::Text)) {
        styleSheetText = QString::fromLatin1(styleFile.readAll());
        qDebug() << " Stylesheet -- " << styleSheetText.size() << "characters";
        // Setting the same sheet again (a second window in one process) would only repolish every
        // widget that exists.
        if (qApp->styleSheet() != styleSheetText)
            qApp->setStyleSheet(styleSheetText);
        styleFile.close();
    }
    // The pages colour their outcome through the status bar's palette; keep it on screen.
    StatusColourKeeper::install(ui->statusBar);

    // A short desktop gets a shorter window; the scroll area shows the rest of the form.
    const int desktop = desktopHeight();
    if (desktop > 0 && desktop < 910)
        resize(width(), desktop - 68);

    versionMajor = 2;
    versionMinor = 8;
    versionPatch = 7;
    setWindowTitle(QStringLiteral("Velmo Plexa-T v%1.%2.%3").arg(versionMajor).arg(versionMinor).arg(versionPatch));

    downloadBaseUrl = Endpoints::downloadBaseUrl();
    dataDir = QDir::toNativeSeparators(QDir::homePath() + QDir::separator() + QStringLiteral("VelmoPlexaT"));

    appXmlDownloading = false;
    alertPalette.setColor(QPalette::WindowText, QColor(255, 70, 50, 255));
    ipListFromDiscovery = true;

    ui->tableWidget->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

    serialPort = factory->createSerialPort();
    discovery = factory->createDiscovery(ui);
    scaler = factory->createScaler(ui);
    ostrand = factory->createOstrand(ui);
    lunmora = factory->createLunmora(ui);
    converter = factory->createConverter(ui);
    rolvane = factory->createRolvaneControl(ui);
    korvinaUpdater = factory->createKorvinaUpdater(ui);
    updateTabControl = factory->createUpdateTabControl(ui);
    caltor = factory->createCaltor(ui);

    boosterPage = ui->boosterTab;
    outputPage = ui->outputTab;
    lunmoraStatusPage = ui->lunmoraStatusTab;
    lunmoraHdcpPage = ui->lunmoraHdcpTab;
    picturePage = ui->pictureTab;
    adjustPage = ui->adjustTab;
    systemPage = ui->systemTab;
    testPatternPage = ui->testPatternTab;
    timingPage = ui->timingTab;
    firmwarePage = ui->firmwareTab;

    ui->tabWidget->tabBar()->hide();

    ui->ConfiguratorTabs->blockSignals(true);
    ui->ConfiguratorTabs->clear();
    ui->ConfiguratorTabs->insertTab(0, boosterPage, QStringLiteral("Booster"));
    ui->ConfiguratorTabs->tabBar()->hide();
    ui->ConfiguratorTabs->blockSignals(false);

    ui->openEDIDFromDevice->setEnabled(false);
    ui->downloadButton->setEnabled(false);
    ui->sorvaneBox->setEnabled(false);
    ui->openEDIDFromMonitor->setEnabled(false);
    ui->downloadButtonMonitor->setEnabled(false);
    ui->scalerEDIDBox->setEnabled(false);

    ui->ddcFrame->hide();
    ui->boosterFrame->hide();
    ui->configTabMessage->show();
    ui->configTabLogo->show();

    ui->selectProductFrame->setEnabled(false);

    setFunctionTab(-2);

    myXMLManager::checkStatisticsAcceptance();

    connect(ui->selectEDIDFromDevice, SIGNAL(currentIndexChanged(int)), this, SLOT(selectEDIDFromDevice(int)));
    connect(ui->openEDIDFromDevice, SIGNAL(clicked()), this, SLOT(openEDIDFromDevice()));
    connect(ui->openEDIDFromFile, SIGNAL(clicked()), this, SLOT(openEDIDFromFile()));
    connect(ui->newEDID, SIGNAL(clicked()), this, SLOT(newEDID()));
    connect(ui->showAsText, SIGNAL(clicked()), this, SLOT(showSummaryWindow()));
    connect(ui->tabWidget, SIGNAL(currentChanged(int)), this, SLOT(tabChanged(int)));
    connect(ui->rebootButton, SIGNAL(clicked()), this, SLOT(rebootIpProduct()));
    connect(ui->wizardNext, SIGNAL(clicked()), this, SLOT(wizardNext()));
    connect(ui->wizardBack, SIGNAL(clicked()), this, SLOT(wizardBack()));
    connect(ui->selectEDIDFromMonitor, SIGNAL(currentIndexChanged(int)), this, SLOT(selectEDIDFromMonitor(int)));
    connect(ui->openEDIDFromMonitor, SIGNAL(clicked()), this, SLOT(openEDIDFromMonitor()));
    connect(ui->refreshEDIDModes, SIGNAL(clicked()), this, SLOT(refreshEDID()));
    connect(ui->saveToDevice, SIGNAL(clicked()), this, SLOT(uploadEDIDToDevice()));

    for (QToolButton* button : {ui->newEDID, ui->showAsText, ui->openEDIDFromFile, ui->saveEDID, ui->saveToDevice,
                                ui->editEDID, ui->undoEDID, ui->undoEDIDAll})
        button->installEventFilter(this);

    connect(updateTabControl, SIGNAL(FirmwareUpdateSignal(int)), this, SLOT(firmwareUpdateRouter(int)));
    connect(ui->updateBar, SIGNAL(valueChanged(int)), this, SLOT(changeUpdateBarNumber(int)));

    ui->productCombobox->setItemDelegate(new QStyledItemDelegate(ui->productCombobox));

    connect(ui->productCombobox, SIGNAL(activated(int)), this, SLOT(selectedProductChanged(int)));
    connect(ui->tableWidget->selectionModel(), SIGNAL(selectionChanged(const QItemSelection&, const QItemSelection&)),
            this, SLOT(selectedRowChanged(const QItemSelection&)));
    dropdownPending = true;

    dropdownTimer = new QTimer(this);
    dropdownTimer->setSingleShot(true);
    connect(dropdownTimer, SIGNAL(timeout()), this, SLOT(updateProductDropdown()));

    connect(discovery, SIGNAL(refreshPerformed()), this, SLOT(updateProductDropdownFromDiscovery()));
    connect(discovery, SIGNAL(ipTableClicked(QString)), this, SLOT(selectProductByMacAddress(QString)));
    connect(scaler, SIGNAL(refreshImmediately()), this, SLOT(autoRefreshList()));
    connect(lunmora, SIGNAL(refreshImmediately()), this, SLOT(autoRefreshList()));
    connect(converter, SIGNAL(refreshImmediately()), this, SLOT(autoRefreshList()));
    connect(korvinaUpdater, SIGNAL(setUSBDiscover(bool)), this, SLOT(converterDeviceCountCheckWrapper(bool)));
    connect(converter, SIGNAL(setUSBDiscover(bool)), this, SLOT(converterDeviceCountCheckWrapper(bool)));
    connect(rolvane, SIGNAL(setUSBDiscover(bool)), this, SLOT(converterDeviceCountCheckWrapper(bool)));
    connect(scaler, SIGNAL(setFirmwareColorSignal()), updateTabControl, SLOT(setFirmwareColors()));
    connect(ui->functionButtonGroup, SIGNAL(buttonClicked(int)), this, SLOT(setFunctionTab(int)));

    summaryVisible = false;
    selectByMac = false;

    getApplicationXML();
    initWinSparkle(QStringLiteral("%1.%2.%3").arg(versionMajor).arg(versionMinor).arg(versionPatch));
    myXMLManager::incrementStatistic(QStringLiteral("opened_plexat"));

    uploadEdidDialog = new QDialog(ui->centralFrame); // styled by the application sheet, like every window
    uploadEdidDialog->setWindowTitle(QStringLiteral("Upload EDID to device"));
    auto* uploadLayout = new QVBoxLayout();
    auto* availableLabel = new QLabel(QStringLiteral("<b>Available devices</b>"));
    uploadLayout->addWidget(availableLabel);
    uploadDeviceGrid = new QGridLayout();
    uploadLayout->addLayout(uploadDeviceGrid);
    uploadEdidDialog->setLayout(uploadLayout);
    uploadEdidDialog->setMinimumWidth(500);
}

MainWindow::~MainWindow()
{
    // The controllers have lived for the whole run; now that the event loop is over they go
    // first, while the widgets they drive still exist.
    factory->disposeControllers();
    // A version download still running at exit is dropped with its half-written file.
    if (appXmlReply) {
        appXmlReply->disconnect(this);
        appXmlReply->abort();
    }
    delete appXmlFile;
    delete ui;
}

void MainWindow::cleanUp()
{
    qDebug() << "Closing the program.";
    const QString entry = ui->productCombobox->currentText();
    if (entry.contains(QLatin1String("Zarrick")) || entry.contains(QLatin1String("Cavrosh")))
        scaler->TCPDisconnect();
    if (edidPlus && edidPlus->sorvaneInterface())
        edidPlus->sorvaneInterface()->monitoringClose();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    scaler->clearRunFlag();
    lunmora->deactivate();
    QMainWindow::closeEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        const QList<QToolButton*> toolButtons{ui->newEDID, ui->showAsText, ui->openEDIDFromFile, ui->saveEDID,
                                              ui->saveToDevice, ui->editEDID, ui->undoEDID, ui->undoEDIDAll};
        for (QToolButton* button : toolButtons) {
            if (watched != button)
                continue;
            button->setIconSize(QSize(16, 16));
            QFont font = button->font();
            font.setPointSize(button == ui->undoEDIDAll ? 6 : 7);
            button->setFont(font);
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::tabChanged(int index)
{
    if (index == 2) {
        if (summaryVisible)
            summaryDock->show();
        else if (summaryDock->isVisible())
            ui->showAsText->click();
    } else if (index == 1) {
        const int current = ui->productCombobox->currentIndex();
        for (const auto& family : families) {
            if (family->configurePageShown && family->listsEntry(current))
                family->configurePageShown();
        }
    }
}

void MainWindow::changeUpdateBarNumber(int val)
{
    const int maximum = ui->updateBar->maximum();
    if (maximum <= 0) {
        // Busy mode: the bar shows activity, there is no percentage to give.
        ui->updateBarNumber->clear();
        return;
    }
    const int percent = maximum == 100 ? val : int(double(val) / double(maximum) * 100.0);
    ui->updateBarNumber->setText(QString::number(percent) + QLatin1Char('%'));
}

void MainWindow::browseScalerUpdateFiles()
{
    scaler->updateSelectBrowse_2();
}

void MainWindow::browseCALTORUpdateFiles()
{
    caltor->browseUpdateFiles();
}

void MainWindow::setFunctionTab(int tabNumber)
{
    qDebug() << tabNumber << " this is the tab number";
    switch (tabNumber) {
    case -2:
        ui->tabWidget->tabBar()->hide();
        ui->tabWidget->setCurrentIndex(0);
        ui->selectProductFrame->hide();
        ui->tabWidget->setProperty("state", QStringLiteral("on"));
        break;
    case -3:
        ui->tabWidget->setCurrentIndex(1);
        ui->selectProductFrame->show();
        ui->tabWidget->setProperty("state", QStringLiteral("off"));
        break;
    case -4:
        ui->tabWidget->setCurrentIndex(2);
        ui->selectProductFrame->hide();
        ui->tabWidget->setProperty("state", QStringLiteral("on"));
        break;
    default:
        return;
    }
    // Re-polish so the style sheet's property selectors see the new "state".
    ui->tabWidget->setStyle(QApplication::style());
    if (tabNumber == -3 && selectByMac) {
        selectedProductChanged(ui->productCombobox->currentIndex());
        selectByMac = false;
    }
}

// The row's unit by its MAC value; its drop-down entry becomes current without a selection.
void MainWindow::selectedRowChanged(const QItemSelection& selected)
{
    if (selected.isEmpty() || selected.indexes().isEmpty())
        return;
    const int entry = entryOfNetworkUnit(discovery->macAtRow(selected.indexes().first().row()));
    if (entry < 0)
        return;
    const bool wasBlocked = ui->productCombobox->blockSignals(true);
    ui->productCombobox->setCurrentIndex(entry);
    ui->productCombobox->blockSignals(wasBlocked);
}

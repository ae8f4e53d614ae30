#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "device.h"

#include <QHash>
#include <QItemSelection>
#include <QList>
#include <QMainWindow>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPalette>
#include <QString>

class Ui_MainUI;
class ControllerFactory;
class HDBaseT;
class UpdateTabControl;
class QSerialPort;
class FirmwareUpdate;
class EdidPlus;
class QTextEdit;
class Discovery;
class Scaler;
class Ostrand;
class Caltor;
class Lunmora;
class QGridLayout;
class QDialog;
class Converter;
class rolvaneControl;
class KorvinaUpdater;
class QToolButton;
class QDockWidget;
class QTimer;
class QFile;

// One entry of the supported-product list: a model name and whether a unit of that model was
// listed in the current drop-down fill.
struct NamedFlag {
    QString name;
    bool connected = false;
};

// The main window: the form, one controller per device family, the product drop-down over all of
// them and the routing of selections and firmware updates to the right controller.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The controllers come from `factory` (the real ones when it is null); the window never
    // deletes them: they live until the process ends.
    explicit MainWindow(QWidget* parent = nullptr, ControllerFactory* factory = nullptr);
    ~MainWindow() override;

    Ui_MainUI* form() const { return ui; }

    // Tests stand in for the desktop's height (0: ask the screen).
    static void setDesktopHeightForTests(int height);

public slots:
    void selectEDIDFromDevice(int index);
    void openEDIDFromDevice();
    void openEDIDFromFile();
    void expertMode();
    void wizardNext();
    void wizardBack();
    void wizardFinish();
    void showSummaryWindow();
    void visibilityChanged(bool visible);
    void toggleDiff(bool on);
    void newEDID();
    void saveText();
    void selectedProductChanged(int index);
    void refreshList();
    void refreshEDID();
    void selectedRowChanged(const QItemSelection& selected);
    void updateProductDropdown();
    void tabChanged(int index);
    void rebootIpProduct();
    void ostrandDownloadEDID();
    void jovarisDownloadEDID();
    void zarrickDownloadEDID();
    void cavroshDownloadEDID();
    void browseScalerUpdateFiles();
    void browseCALTORUpdateFiles();
    void uploadEDIDToDevice();
    void slot_http_readyRead3();
    void slot_http_finished3();
    void slot_http_networkError3(QNetworkReply::NetworkError ne);
    void firmwareUpdateEvent(bool started);
    void firmwareUpdateRouter(int type);
    void changeUpdateBarNumber(int val);
    void setFunctionTab(int tabNumber);
    void selectProductByMacAddress(QString macAddr);
    void autoRefreshList();
    void converterDeviceCountCheckWrapper(bool toEnable);
    void updateProductDropdownFromDiscovery();
    void selectEDIDFromMonitor(int index);
    void openEDIDFromMonitor();
    void cleanUp();
    void converterScalerDownloadEDID();
    void uploadEDIDToDeviceSlot();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // Start-up network work.
    void getApplicationXML();
    void loadApplicationXML();
    void initWinSparkle(QString version);
    // The "EDID Summary" dock.
    void createSummaryWindow();

    ControllerFactory* factory = nullptr;

    Ui_MainUI* ui = nullptr;
    HDBaseT* hdbaseT = nullptr;
    UpdateTabControl* updateTabControl = nullptr;
    QSerialPort* serialPort = nullptr;
    FirmwareUpdate* firmwareUpdate = nullptr;
    EdidPlus* edidPlus = nullptr;
    QTextEdit* summaryText = nullptr;
    Discovery* discovery = nullptr;
    Scaler* scaler = nullptr;
    Ostrand* ostrand = nullptr;
    Caltor* caltor = nullptr;
    Lunmora* lunmora = nullptr;
    QGridLayout* uploadDeviceGrid = nullptr;
    QDialog* uploadEdidDialog = nullptr;
    Converter* converter = nullptr;
    rolvaneControl* rolvane = nullptr;
    KorvinaUpdater* korvinaUpdater = nullptr;
    QList<NamedFlag> productList;
    QList<Device> sorvaneList, sorvaneListOld;
    QHash<int, Device> sorvaneMap;
    QList<Device> scalerList, scalerListOld;
    QHash<int, Device> scalerMap;
    QList<Device> lunmoraList, lunmoraListOld;
    QHash<int, Device> lunmoraMap;
    QList<Device> hdbaseTList, hdbaseTListOld;
    QHash<int, Device> hdbaseTMap;
    QList<Device> converterList, converterListOld;
    QHash<int, Device> converterMap;
    QList<_Device*> ipProductList, ipProductListOld;
    QHash<int, _Device*> ipProductMap;
    QToolButton* diffButton = nullptr;
    QToolButton* saveTextButton = nullptr;
    QDockWidget* summaryDock = nullptr;
    bool summaryVisible = false;
    int versionMajor = 2;
    int versionMinor = 8;
    int versionPatch = 7;
    bool dropdownPending = true;
    bool ipListFromDiscovery = true;
    QTimer* dropdownTimer = nullptr;
    QPalette alertPalette;
    QString dataDir;
    QString downloadBaseUrl;
    bool appXmlDownloading = false;
    QNetworkAccessManager networkManager;
    QNetworkReply* appXmlReply = nullptr;
    QFile* appXmlFile = nullptr;
    QString appXmlText;
    QWidget* boosterPage = nullptr;
    QWidget* outputPage = nullptr;
    QWidget* lunmoraStatusPage = nullptr;
    QWidget* lunmoraHdcpPage = nullptr;
    QWidget* picturePage = nullptr;
    QWidget* adjustPage = nullptr;
    QWidget* systemPage = nullptr;
    QWidget* testPatternPage = nullptr;
    QWidget* timingPage = nullptr;
    QWidget* firmwarePage = nullptr;
    bool selectByMac = false;
    QString lastProductText;

private:
    void startApplicationXmlGet(const QUrl& url);
    void finishApplicationXmlDownload(bool failed);
    int appXmlRedirects = 0;
    QString styleSheetText;
};

#endif // MAINWINDOW_H

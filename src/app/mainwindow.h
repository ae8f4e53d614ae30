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
#include <QSharedPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

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
class QAbstractButton;

// One entry of the supported-product list: a model name and whether a unit of that model was
// listed in the current drop-down fill.
// A tab widget's own sheet that gives it, and every tab widget inside it, the application sheet's
// plain pane (top corners square, tucked under the tab bar) over any rounder pane rule.
inline constexpr char kPlainTabPaneStyle[] =
    "QTabWidget::pane {margin-top:-2px;border-color: white #909090 #909090 #D0D0D0;"
    "border-top-left-radius: 0;border-top-right-radius: 0;border-bottom-left-radius: 5px;"
    "border-bottom-right-radius: 5px;}";

struct NamedFlag {
    QString name;
    bool connected = false;
};

// A discovered Ethernet unit as the hub keeps it: the window's own copy of the record, shared by
// the lists and the drop-down map that refer to it. Discovery may free its records at any later
// scan; these copies live as long as something here refers to them. Reads like a `_Device*`.
// Controllers are never handed these copies: the hub looks the unit up again by its MAC.
class EthernetUnit
{
public:
    EthernetUnit() = default;
    explicit EthernetUnit(const _Device& unit)
        : d(QSharedPointer<_Device>::create(unit))
    {
    }

    operator _Device*() const { return d.data(); }
    _Device* operator->() const { return d.data(); }
    MacAddress macAddress() const { return MacAddress(d.data()); }
    QString mac() const { return macAddress().toString(); }

private:
    QSharedPointer<_Device> d;
};

struct DropdownFill;

// One device family as the hub keeps it: its units as of this refresh and the last one, and which
// product drop-down entry shows which unit. The window holds one record per family in one table
// (`MainWindow::families`); the refresh, the change check, the drop-down fill and the product
// selection walk that table, so a new family is one more entry there.
class HubFamily
{
public:
    explicit HubFamily(const char* name)
        : name(name)
    {
    }
    virtual ~HubFamily() = default;

    const char* const name; // "scaler": debug lines
    // Place among the refresh's questions to the controllers (-1: the refresh does not ask; the
    // Ethernet units come with the drop-down update).
    int askOrder = -1;
    // Run when the "Configure" page opens while an entry of this family is the current one.
    std::function<void()> configurePageShown;

    virtual void keepPrevious() = 0; // the current list becomes the previous one
    virtual void ask() = 0;          // a new current list from the controller
    virtual bool changed() const = 0; // the units differ from the previous list's
    virtual int size() const = 0;
    virtual bool listsEntry(int index) const = 0; // the drop-down entry shows a unit of this family
    virtual void clearEntries() = 0;
    virtual void addEntries(DropdownFill& fill) = 0;
    // Takes up the unit of the entry: pages, controller, update page. False when it cannot be.
    virtual bool takeUp(int index, const QString& text) const = 0;
};

// A family whose units are values of type `Unit` (`Device` or `EthernetUnit`).
template <typename Unit>
class UnitFamily : public HubFamily
{
public:
    using TakeUp = std::function<bool(const Unit& unit, int index, const QString& text)>;
    UnitFamily(const char* name, TakeUp takeUpUnit)
        : HubFamily(name)
        , takeUpUnit(std::move(takeUpUnit))
    {
    }

    QList<Unit> list;
    QList<Unit> listOld;
    QHash<int, Unit> map; // drop-down index to unit, as of the last fill
    std::function<QList<Unit>()> source; // what the refresh asks (askOrder >= 0)
    // A change of order or of the model at a position counts as a change too.
    bool orderCounts = false;
    TakeUp takeUpUnit;

    void keepPrevious() override;
    void ask() override;
    bool changed() const override;
    int size() const override { return list.size(); }
    bool listsEntry(int index) const override { return map.contains(index); }
    void clearEntries() override { map.clear(); }
    void addEntries(DropdownFill& fill) override;
    bool takeUp(int index, const QString& text) const override;
};

extern template class UnitFamily<Device>;
extern template class UnitFamily<EthernetUnit>;

// The main window: the form, one controller per device family, the product drop-down over all of
// them and the routing of selections and firmware updates to the right controller.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The controllers come from `factory` (the real ones when it is null). They live as long as
    // the window: its destructor has the factory dispose of them.
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
    void wizardMode();
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
    bool summaryDockedAtSide() const;
    // EDID wizard and upload helpers.
    void setWizardCaptionsVisible(bool visible);
    void showWizardNextAsNext();
    static QString uploadInputNumber(const QString& inputName);
    bool uploadDialogFilling = false;

    // Product list refresh and the product drop-down.
    bool productListChanged();
    void reviveDropdownState();
    void populateProductDropdown();
    void resetSupportedProductList();

    // Page sets of the "Configure" tab: each puts its family's pages into ConfiguratorTabs.
    void showHdmiEdidToolControls();
    void showDisplayPortEdidToolControls();
    void showHDBaseTControls(bool noEdidPage, bool statusEnabled);
    void showCALTORControls(bool enabled);
    void showSAVRANOControls(bool enabled, bool noEdidPage);
    void showGenericControls();
    void showScalerControls();
    void showIpProductControls(bool enabled);
    void showUpdateOnlyControls();
    void showBORLUNEControls(bool enabled, bool noEdidPage);
    void showSplitterControls();
    void showNORRITHControls(bool enabled);

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
    // The device families, in the order of their sections in the product drop-down.
    std::vector<std::unique_ptr<HubFamily>> families;
    UnitFamily<EthernetUnit>* networkFamily = nullptr; // the Ethernet units, also in `families`
    QList<EthernetUnit>& ipProductList;                // its current units
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
    QNetworkAccessManager* networkManager = nullptr; // made on first use, owned by the window
    bool updateWarningShown = false;                  // a newer version is announced once
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
    QString chosenEntryText; // the drop-down entry of the last product selection

private:
    // The refresh and the drop-down update wait for devices with the event loop running, so a
    // request may arrive while one of them is under way; it is queued and run afterwards.
    enum HubWork { RefreshWork = 1, DropdownWork = 2 };
    void runHubWork(HubWork work);
    void runRefresh();
    void runDropdownUpdate();
    void showDisconnectedAlert();
    void clearDisconnectedAlert();
    UnitFamily<EthernetUnit>* buildFamilyTable();
    HubFamily* familyOfEntry(int index) const;
    int entryOfNetworkUnit(const MacAddress& mac) const;
    _Device* discoveredUnit(const MacAddress& mac) const;

    // Product selection: one take-up per family, then the entries no family lists.
    bool takeUpConverterUnit(const Device& unit, int index, const QString& text);
    bool takeUpSorvaneUnit(const Device& unit, const QString& text);
    bool takeUpScalerUnit(const Device& unit);
    bool takeUpLunmoraUnit(const Device& unit);
    bool takeUpHDBaseTUnit(const Device& unit, const QString& text);
    bool takeUpEthernetUnit(const EthernetUnit& unit);
    bool takeUpUnitByText(const QString& text);
    bool takeUpSerialOnlyUnit(const QString& model);
    void showProductNotConnected(const QString& text);

    // Page-set building blocks.
    struct ConfigPage {
        QWidget* page;
        QString title;
    };
    enum PageSetLook { KeepLook, SelectedTabStyle, EnableTabs };
    void setPageSet(const QList<ConfigPage>& pages, PageSetLook look);
    ConfigPage manageEdidPage() const;
    void showScalerFamilyControls(bool borlune, bool enabled, bool noEdidPage);
    void rewire(QAbstractButton* button, const char* slot);
    void rebuildEdidSourceList(const QStringList& entries);
    bool noSerialPortFor(const QString& model);
    bool askComPort(bool listDialog);

    bool hubBusy = false;
    int hubWorkPending = 0;
    bool statusAlertShown = false;
    QPalette statusPaletteBeforeAlert;

    void startApplicationXmlGet(const QUrl& url);
    void finishApplicationXmlDownload(bool failed);
    int appXmlRedirects = 0;
    QString styleSheetText;
};

#endif // MAINWINDOW_H

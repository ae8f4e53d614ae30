#ifndef UPDATETABCONTROL_H
#define UPDATETABCONTROL_H

#include "nosetup.h"
#include "updatexmlmanager.h"

class Ui_MainUI;
class updateDownloadManager;
#include "device.h"

#include <QString>
#include <QStringList>
#include <QWidget>

// The "Update" page: shows the selected product's firmware state, downloads and unpacks its
// firmware and asks the window to run the family's uploader (FirmwareUpdateSignal).
//
// The page owns no widgets: the form has two copies of it, the first for most products, the
// second ("_2"/"_3" widgets and `firmwareFolder`) for the products whose whole package is
// unpacked into a folder. The uploaders read what the page leaves in `updateFilename`,
// `firmwareFolder`, `updateOptionOne` and `updateOptionTwo`.
class UpdateTabControl : public QWidget
{
    Q_OBJECT

public:
    explicit UpdateTabControl(Ui_MainUI* ui);
    ~UpdateTabControl() override;

    // The update target, one call per kind of product the drop-down can hold.
    virtual void setUSBDevice(Device device);
    virtual void setUSBSerialDevice(Device device);
    virtual void setUSBSerialProductAlt(Device device);
    virtual void setUSBProduct(QString name);
    virtual void setUSBProductChecked(QString name);
    virtual void setUSBSerialProduct(QString name);
    virtual void setCALTORDevice(QString name);
    // `unit` is valid during the call only.
    virtual void setIPProduct(_Device* unit);
    virtual void setRS232Product(QString name);
    // True for the models updated over RS-232 through the serial firmware page.
    virtual bool isGroupOneDevice(QString name);
    // Once after start: prepares the firmware folder and, when the start-up check is on,
    // downloads the products XML without a success message.
    virtual void startupUpdatesCheck();

    // The family code Install emits for a product (0: none).
    static int firmwareCode(const QString& productName);
    // "Rolvane Series" and the eight unit models.
    static bool isRolvaneFamily(const QString& productName);
    static const QStringList& rolvaneUnitModels();

signals:
    void FirmwareUpdateSignal(int type);

public slots:
    UpdateInfo getUpdateInfo(QString devName);
    void setUpdateInfo(QString devName);
    void downloadToPlexaTHandler();
    void downloadToCompHandler();
    void startFirmwareUpdateInstall();
    virtual void setOfflineDevice(QString name);
    void getLatestUpdatesFinish(bool finished);
    void updateOptionTwoHandler(QString inp);
    virtual void setFirmwareColors();
    void updateSelectBrowse();
    void getLatestUpdates();
    void toggleStartupCheck();
    void firmwareUpdateEmitter();

private slots:
    void packageDownloadFinished(QString deviceName, bool intoFirmwareFolder, bool ok);

protected:
    UpdateTabControl(Ui_MainUI* ui, NoSetup);

    Ui_MainUI* ui = nullptr;

private:
    void initConnections();
    void setProductName(const QString& name);
    void setProduct(const Device& d);
    void setUpdateMethod(const QString& m);
    void setFieldsForNewDevice();
    void refreshForSelectedDeviceChanged();
    bool packageDownloadRunning() const;
    void setDownloadButtons();
    void setUnavailableDevice();
    void checkIfDownloaded();
    void populateComPorts();
    void showRolvaneLists();
    void updateSelectedProduct(const QString& name);
    void applyFirmwareBoxStyle(int state);
    void showConnectionStatus();
    void setLastCheckedNow();
    void showLastChecked();
    void setSecondPage(const QString& name, const QString& method);
    QString packagePath() const;
    QString deprecatedPackagePath();
    bool unpack(const QString& zip);
    QString unzip();
    QString unzipAndChooseFile();

    QString currentProductName;
    QString currentUpdateMethod;
    QString browsedFile;
    bool noUpdate = false;
    updateXMLManager* xmlManager = nullptr;
    updateDownloadManager* downloadManager = nullptr;
    bool internetAvailable = true;
    bool silentCheck = false;
    bool secondPageButtonHeld = false;       // updateDLComp_2 held off by a running download
    bool secondPageButtonWasEnabled = false;
};

#endif // UPDATETABCONTROL_H

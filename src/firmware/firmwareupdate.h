#ifndef FIRMWAREUPDATE_H
#define FIRMWAREUPDATE_H

#include "firmwareupdatepackage.h"
#include "nosetup.h"

class QThread;
class Ui_MainUI;

#include <QPointer>
#include <QString>
#include <QWidget>

// The serial firmware page: installs a firmware package over a COM port on the first group of
// serial models (router code 1). Never shown itself: it drives widgets of the main form (the
// Update page's file and port fields, its own hidden tab's console and progress bar), the status
// bar and message boxes. The install unpacks the package (platform work, left to the subclass),
// reads the product's package description and runs an UpgradeWorker on the program's one worker
// thread, mirroring its progress, messages and console output.
class FirmwareUpdate : public QWidget
{
    Q_OBJECT

public:
    explicit FirmwareUpdate(Ui_MainUI* ui);
    ~FirmwareUpdate() override;

    virtual bool unzip() = 0;

    // The install's state, for tests and the log.
    FwProduct packageDescription() const { return product; }
    QString extractFolder() const { return extractDir; }
    bool isUpgrading() const { return !workerThread.isNull(); }

public slots:
    void slot_ui_browse();
    virtual void slot_ui_startUpgrading();
    void slot_ui_startDownload();
    void slot_ui_updateProgressBar(int currentSize, int total);
    void slot_ui_updateMessage(QString msg);
    void slot_ui_updateConsole(QString msg);
    void slot_ui_errorString(QString err);
    void slot_upgrade_quit();

protected:
    FirmwareUpdate(Ui_MainUI* ui, NoSetup);

    bool parseProd();
    void loadLocalProductsXML();
    void showStatus(QString msg, bool ok);
    void setUiDisabled(bool disabled);

    QString downloadDir;
    QString productsXml;
    Ui_MainUI* ui = nullptr;
    FwProduct product;
    QString extractDir;
    QString filePath;
    QString zipName;

private:
    // The thread of the running install; it deletes itself when the run ends.
    QPointer<QThread> workerThread;
};

#endif // FIRMWAREUPDATE_H

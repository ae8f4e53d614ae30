#include "firmwareupdate.h"

#include "dialogs.h"
#include "regularfile.h"
#include "serialports.h"
#include "ui_mainui.h"
#include "upgradeworker.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QPalette>
#include <QThread>

namespace {

bool isBootLoaderProduct(const QString& name)
{
    return name.contains(QLatin1String("Pelmorr")) || name.contains(QLatin1String("Rindale"));
}

} // namespace

FirmwareUpdate::FirmwareUpdate(Ui_MainUI* ui)
    : FirmwareUpdate(ui, NoSetup())
{
    ui->progressBar->hide();
    for (const SerialPortEntry& port : SerialPortLister::availablePorts()) {
        if (!port.portName.trimmed().isEmpty())
            ui->portBox->addItem(port.portName);
    }
}

FirmwareUpdate::FirmwareUpdate(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , downloadDir(QDir::toNativeSeparators(QDir::homePath() + QDir::separator() + QStringLiteral("VelmoFWUpgrade")))
    , ui(ui)
{
}

FirmwareUpdate::~FirmwareUpdate() = default;

void FirmwareUpdate::slot_ui_browse()
{
    const QString path = Dialogs::getOpenFileName(ui->centralFrame, tr("Select firmware package"), QString(),
                                                  tr("Firmware packages (*.zip *.ZIP)"));
    if (path.isEmpty())
        return;
    ui->fileName->setText(QFileInfo(path).fileName());
}

void FirmwareUpdate::slot_ui_startDownload()
{
    // The page's own tab is never shown: packages are downloaded by the Update page.
}

void FirmwareUpdate::showStatus(QString msg, bool ok)
{
    ui->statusBar->showMessage(msg);
    QPalette palette = ui->statusBar->palette();
    palette.setColor(ui->statusBar->foregroundRole(), ok ? QColor(0, 220, 255) : QColor(255, 70, 50));
    if (!ok)
        setUiDisabled(false);
    ui->statusBar->setPalette(palette);
}

void FirmwareUpdate::setUiDisabled(bool disabled)
{
    ui->startDownloadButton->setDisabled(disabled);
    ui->startUploadButton->setDisabled(disabled);
    ui->browseButton->setDisabled(disabled);
    ui->prodBox->setDisabled(disabled);
    ui->portBox->setDisabled(disabled);
    ui->fileName->setDisabled(disabled);
}

void FirmwareUpdate::slot_ui_startUpgrading()
{
    // One unit, one port: a second install would talk over the running one.
    if (isUpgrading()) {
        showStatus(QStringLiteral("A firmware update is already running."), true);
        return;
    }
    filePath = ui->updateFilename->text();
    int position = filePath.lastIndexOf(QLatin1Char('/'));
    if (position < 0)
        position = filePath.lastIndexOf(QLatin1Char('\\'));
    zipName = position >= 0 ? filePath.mid(position + 1) : filePath;
    ui->fileName->setText(filePath);
    if (ui->fileName->text().isEmpty()) {
        showStatus(QStringLiteral("Please select a file first."), false);
        return;
    }
    ui->console->setPlainText(QString());
    if (!unzip()) {
        showStatus(QStringLiteral("Error occurred when trying to extract zip file!!"), false);
        return;
    }
    if (!parseProd())
        return;
    setUiDisabled(true);

    const QString productName = ui->productCombobox->currentText();
    if (isBootLoaderProduct(productName))
        Dialogs::information(ui->centralFrame, QString(),
                             QStringLiteral("To start the firmware update please set the Prog DIP switch on unit to ON. "
                                            "Then power cycle the unit. Press OK to continue."),
                             QMessageBox::Ok);
    ui->progressBar->setValue(0);
    ui->progressBar->show();
    showStatus(QStringLiteral("Loading file. Please wait..."), true);

    auto* thread = new QThread();
    auto* worker = new UpgradeWorker(ui->updateOptionOne->currentText(), product, productName);
    worker->moveToThread(thread);
    connect(worker, SIGNAL(error(QString)), this, SLOT(slot_ui_errorString(QString)));
    connect(thread, SIGNAL(started()), worker, SLOT(process()));
    connect(worker, SIGNAL(finished()), thread, SLOT(quit()));
    connect(worker, SIGNAL(finished()), worker, SLOT(deleteLater()));
    // A failed run ends the thread the same way: nothing of it is left behind.
    connect(worker, SIGNAL(error(QString)), thread, SLOT(quit()));
    connect(worker, SIGNAL(error(QString)), worker, SLOT(deleteLater()));
    connect(thread, SIGNAL(finished()), thread, SLOT(deleteLater()));
    connect(worker, SIGNAL(finished()), this, SLOT(slot_upgrade_quit()));
    connect(worker, SIGNAL(updateProgressBar(int,int)), this, SLOT(slot_ui_updateProgressBar(int,int)));
    connect(worker, SIGNAL(updateMessage(QString)), this, SLOT(slot_ui_updateMessage(QString)));
    connect(worker, SIGNAL(updateConsole(QString)), this, SLOT(slot_ui_updateConsole(QString)));
    workerThread = thread;
    thread->start(QThread::InheritPriority);
}

bool FirmwareUpdate::parseProd()
{
    loadLocalProductsXML();
    product = FwProduct();
    const FwPackageRead read = readFwPackage(productsXml, ui->productCombobox->currentText(), extractDir);
    product = read.product;
    if (!read.ok) {
        qDebug() << "FirmwareUpdate::parseProd:" << read.error;
        // Nothing is installed; the user learns why instead of seeing nothing happen.
        showStatus(read.error, false);
        return false;
    }
    return true;
}

void FirmwareUpdate::loadLocalProductsXML()
{
    const QString okCopy = downloadDir + QDir::separator() + QStringLiteral("firmwareUpgradeTabInfoOK.xml");
    const QString installed = QDir::currentPath() + QDir::separator() + QStringLiteral("firmwareUpgradeTabInfo.xml");
    for (const QString& path : {okCopy, installed}) {
        const RegularFileRead read = readRegularFile(path, MaxPerUserXmlBytes);
        if (!read.ok() || read.bytes.isEmpty())
            continue;
        // Parsed from the bytes as they are: the declared encoding is honoured and line breaks
        // between attributes keep them apart.
        productsXml = QString::fromUtf8(read.bytes);
        return;
    }
    Dialogs::warning(ui->centralFrame, QStringLiteral("Warning"),
                     QStringLiteral("Unable to access product information. Make sure you're connected to the internet "
                                    "and restart the application. If that doesn't work, try reinstalling the Velmo "
                                    "Brennick."),
                     QMessageBox::Ok);
}

void FirmwareUpdate::slot_ui_updateProgressBar(int currentSize, int total)
{
    if (currentSize == 0) {
        ui->progressBar->setMaximum(total);
        ui->updateBar->setMaximum(total);
    }
    ui->progressBar->setValue(currentSize);
    ui->updateBar->setValue(currentSize);
}

void FirmwareUpdate::slot_ui_updateMessage(QString msg)
{
    showStatus(msg, true);
}

void FirmwareUpdate::slot_ui_updateConsole(QString msg)
{
    ui->console->appendPlainText(msg);
}

void FirmwareUpdate::slot_ui_errorString(QString err)
{
    qDebug() << "UpgradeWorker:" << err;
    ui->progressBar->hide();
    setUiDisabled(false);
    showStatus(QStringLiteral("Error occurred! Please contact Velmo's support."), false);
    Dialogs::information(ui->centralFrame, QStringLiteral("Status"), QStringLiteral("Error occurred!"), QMessageBox::Ok);
}

void FirmwareUpdate::slot_upgrade_quit()
{
    ui->progressBar->hide();
    setUiDisabled(false);
    showStatus(QStringLiteral("Upgrade finished successfully!"), true);
    QString message = QStringLiteral("Update finished successfully!");
    const QString productName = ui->productCombobox->currentText();
    if (productName.contains(QLatin1String("Lorvane-PB"))) {
        message = QStringLiteral("Update finished successfully. Please reboot the unit to complete the process.");
        showStatus(QStringLiteral("Success. Please reboot the unit."), true);
    }
    if (isBootLoaderProduct(productName)) {
        message = QStringLiteral("Update finished successfully. Please set the Prog DIP switch to Off and power cycle "
                                 "the unit to complete the process.");
        showStatus(QStringLiteral("Success."), true);
    }
    Dialogs::information(ui->centralFrame, QStringLiteral("Status"), message, QMessageBox::Ok);
    filePath.clear();
    zipName.clear();
    ui->fileName->clear();
}

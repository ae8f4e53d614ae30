#include "rolvanecontrol.h"

#include "dialogs.h"
#include "regularfile.h"
#include "ui_mainui.h"

#include <QFile>

rolvaneControl::rolvaneControl(Ui_MainUI* ui)
    : rolvaneControl(ui, NoSetup())
{
    connect(ui->rolvaneFirmwareBrowse, SIGNAL(clicked()), this, SLOT(firmwareBrowse()));
    connect(ui->rolvaneFirmwareUpdate, SIGNAL(clicked()), this, SLOT(initiateFirmwareUpdate()));
}

rolvaneControl::rolvaneControl(Ui_MainUI* ui, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
{
    okPalette.setColor(QPalette::WindowText, QColor(0, 220, 255));
    m_burner.setMessageHook([this](const QString& text) {
        Dialogs::information(this->ui ? this->ui->centralFrame : nullptr, QStringLiteral("Status"), text);
    });
    m_burner.setProgressHook([this](int percent) {
        if (this->ui)
            this->ui->updateBar->setValue(percent);
    });
}

rolvaneControl::~rolvaneControl() = default;

void rolvaneControl::initiateFirmwareUpdate()
{
    // Events run during a burn; a second start (the router, the page's button) waits its turn.
    if (!ui || m_burning)
        return;
    // The firmware page's own button burns the file picked on that page.
    const bool fromPage = sender() == ui->rolvaneFirmwareUpdate;
    firmwarePath = fromPage ? ui->rolvaneFirmwareFile->text() : ui->updateFilename->text();
    if (firmwarePath.isEmpty())
        return;

    m_burning = true;
    emit setUSBDiscover(false);
    ui->statusBar->setPalette(okPalette);
    ui->statusBar->showMessage(QStringLiteral("Please wait.. updating."));
    ui->ConfiguratorTabs->setEnabled(false);

    const std::string file = QFile::encodeName(firmwarePath).toStdString();
    const QString unit = ui->updateOptionTwo->currentText();
    if (ui->updateOptionOne->currentText().contains(QLatin1String("APP")))
        m_burner.burnUsbBulk(file, unit);
    else
        m_burner.BurnMac(file, unit, !CBurnManagerX::isReceiverUnit(unit));

    ui->statusBar->clearMessage();
    emit setUSBDiscover(true);
    ui->ConfiguratorTabs->setEnabled(true);
    m_burning = false;
}

void rolvaneControl::firmwareBrowse()
{
    const QString path = Dialogs::getOpenFileName(ui->centralFrame, tr("Select File"), QString(), tr("Files (*.hex)"));
    if (path.isNull())
        return;
    firmwarePath = path;
    // Only whether the file can be read: a FIFO or a device is refused without waiting on it, and
    // nothing of a large file is kept.
    const RegularFileRead check = readRegularFile(path, 0);
    if (check.status != RegularFileRead::Ok && check.status != RegularFileRead::TooLarge) {
        Dialogs::critical(ui->centralFrame, QStringLiteral("I/O Error"), QStringLiteral("Cannot open file for reading."));
        return;
    }
    ui->rolvaneFirmwareFile->setText(path);
    ui->rolvaneFirmwareUpdate->setEnabled(true);
}

// The main window's EDID glue: the "EDID Summary" dock and its text export, the EDID sources
// (unit, file, PC monitor), the new-EDID wizard and expert mode, the download slots and the
// "Upload EDID to device" dialog.
#include "mainwindow.h"
#include "ui_mainui.h"

#include "delay.h"
#include "dialogs.h"
#include "discoverydatagrams.h"
#include "edidmanagement.h"
#include "edidplus.h"
#include "lunmora.h"
#include "myxmlmanager.h"
#include "ostrand.h"
#include "scaler.h"
#include "sorvaneinterface.h"
#include "timingmodel.h"

#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFrame>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTabBar>
#include <QTextEdit>
#include <QToolButton>

#include <algorithm>

namespace {
const int kWizardPages = 8;
const int kTimingPage = 2;

const char* const kWizardPaneStyle =
    "QTabWidget::pane {margin-top:0;border-color: #D0D0D0 #909090 #909090 #D0D0D0;"
    "border-top-left-radius: 5px;border-top-right-radius: 5px;border-bottom-left-radius: 5px;"
    "border-bottom-right-radius: 5px;}";
const char* const kExpertPaneStyle = kPlainTabPaneStyle;

bool containsAny(const QString& text, std::initializer_list<const char*> parts)
{
    return std::any_of(parts.begin(), parts.end(), [&text](const char* part) { return text.contains(QLatin1String(part)); });
}

bool isUploadTarget(const _Device* unit)
{
    return containsAny(unit->productName, {"Quillon", "Rennart"});
}

QWidget* legendSwatch(const QString& colour)
{
    auto* swatch = new QWidget();
    swatch->setAttribute(Qt::WA_StyledBackground);
    swatch->setStyleSheet(QStringLiteral("QWidget {max-height: 31px;background-color: %1;border: 2px solid "
                                         "white;border-radius:5px;}")
                              .arg(colour));
    return swatch;
}

QLabel* legendLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setStyleSheet(QStringLiteral("QLabel {color: white;}"));
    return label;
}
} // namespace

// The number an input is addressed by: the whole number the input's name ends in ("Input 10" is
// input 10, not 0). A name without digits gives its last character.
QString MainWindow::uploadInputNumber(const QString& inputName)
{
    static const QRegularExpression trailingNumber(QStringLiteral("(\\d+)\\s*$"));
    const QRegularExpressionMatch match = trailingNumber.match(inputName);
    if (match.hasMatch())
        return match.captured(1);
    const QString trimmed = inputName.trimmed();
    return trimmed.isEmpty() ? QString() : trimmed.right(1);
}

void MainWindow::createSummaryWindow()
{
    summaryDock = new QDockWidget(tr("EDID Summary"), this);

    QWidget* removedSwatch = legendSwatch(QStringLiteral("#FF7F7F"));
    QLabel* removedLabel = legendLabel(QStringLiteral("Removed"));
    QWidget* addedSwatch = legendSwatch(QStringLiteral("#00FF00"));
    QLabel* addedLabel = legendLabel(QStringLiteral("Added"));

    auto* frame = new QFrame(summaryDock);
    summaryText = new QTextEdit();

    diffButton = new QToolButton();
    diffButton->setIcon(QIcon(QStringLiteral(":/images/Assets/EDID/ShowDiff.png")));
    diffButton->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    diffButton->setText(QStringLiteral("Diff"));
    diffButton->setToolTip(QStringLiteral("Show/Hide Diff"));
    diffButton->setCheckable(true);
    diffButton->setChecked(true);
    diffButton->setMinimumWidth(50);
    diffButton->setStyleSheet(QStringLiteral("QToolButton {padding-right:1px;}"));

    saveTextButton = new QToolButton();
    saveTextButton->setIcon(QIcon(QStringLiteral(":/images/Assets/EDID/SaveAsText.png")));
    saveTextButton->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    saveTextButton->setText(QStringLiteral("Save"));
    saveTextButton->setToolTip(QStringLiteral("Save as Text"));
    saveTextButton->setMinimumWidth(50);

    auto* grid = new QGridLayout(frame);
    grid->addWidget(summaryText, 0, 0, 1, 12);
    grid->addWidget(removedSwatch, 1, 0);
    grid->addWidget(removedLabel, 1, 1);
    grid->addWidget(addedSwatch, 1, 3);
    grid->addWidget(addedLabel, 1, 4);
    grid->addWidget(diffButton, 1, 10);
    grid->addWidget(saveTextButton, 1, 11);

    connect(summaryDock, SIGNAL(visibilityChanged(bool)), this, SLOT(visibilityChanged(bool)));
    connect(diffButton, SIGNAL(clicked(bool)), this, SLOT(toggleDiff(bool)));
    connect(saveTextButton, SIGNAL(clicked()), this, SLOT(saveText()));

    QFont font(QStringLiteral("Courier"), 10);
    font.setStyleHint(QFont::Monospace);
    summaryText->setFont(font);
    summaryText->setLineWrapMode(QTextEdit::NoWrap);
    summaryText->setMinimumWidth(500);

    summaryDock->setWidget(frame);
    addDockWidget(Qt::RightDockWidgetArea, summaryDock);
    summaryDock->hide();
}

// Docked beside the form, the dock needs the window's full width.
bool MainWindow::summaryDockedAtSide() const
{
    const Qt::DockWidgetArea area = dockWidgetArea(summaryDock);
    return !summaryDock->isFloating() && (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea);
}

void MainWindow::showSummaryWindow()
{
    if (summaryDock->isVisible()) {
        summaryDock->hide();
        return;
    }
    summaryDock->show();
    summaryVisible = true;
    if (summaryDockedAtSide())
        resize(maximumSize());
}

void MainWindow::visibilityChanged(bool visible)
{
    summaryVisible = visible;
    if (visible) {
        if (summaryDockedAtSide())
            resize(maximumSize());
    } else {
        resize(minimumWidth(), height());
    }
}

void MainWindow::toggleDiff(bool on)
{
    edidPlus->setDiffMode(on);
}

// Writes the summary as a text file with CR LF line ends. The file is replaced only once the new
// text is completely written; a failed write is reported and leaves any old file as it was.
void MainWindow::saveText()
{
    const QString path = Dialogs::getSaveFileName(this, QStringLiteral("Select File to Save As"),
                                                  myXMLManager::getLastSavedDirectory(),
                                                  QStringLiteral("Files (*.txt)"));
    myXMLManager::setLastSavedDirectory(path);
    if (path.isEmpty())
        return;

    QString text = summaryText->toPlainText();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));

    QSaveFile file(path);
    QString error;
    if (!file.open(QIODevice::WriteOnly))
        error = file.errorString();
    else if (file.write(text.toLocal8Bit()) < 0 || !file.commit())
        error = file.errorString();
    if (!error.isEmpty()) {
        Dialogs::critical(ui->centralFrame, QStringLiteral("I/O Error"),
                          QStringLiteral("Cannot write file %1:\n%2.").arg(QDir::toNativeSeparators(path), error));
    }
}

void MainWindow::selectEDIDFromDevice(int index)
{
    const bool chosen = index >= 1;
    ui->openEDIDFromDevice->setEnabled(chosen);
    ui->downloadButton->setEnabled(chosen);
}

void MainWindow::selectEDIDFromMonitor(int index)
{
    const bool chosen = index > 0;
    ui->openEDIDFromMonitor->setEnabled(chosen);
    ui->downloadButtonMonitor->setEnabled(chosen);
}

void MainWindow::openEDIDFromDevice()
{
    const QString product = ui->productCombobox->currentText();
    // The network and scaler-driven models read their EDID here; the others let the viewer
    // choose the source from the source drop-down.
    enum Reader { None, OstrandRead, JovarisRead, ZarrickRead, CavroshRead } reader = None;
    if (containsAny(product, {"Quillon", "Rennart"}))
        reader = OstrandRead;
    else if (containsAny(product, {"Jovaris", "Norrith", "Surrow"}))
        reader = JovarisRead;
    else if (product.contains(QLatin1String("Zarrick")))
        reader = ZarrickRead;
    else if (product.contains(QLatin1String("Cavrosh")))
        reader = CavroshRead;

    if (reader == None) {
        edidPlus->openEDIDFromDevice(QByteArray());
    } else {
        QByteArray edid;
        switch (reader) {
        case OstrandRead: edid = ostrand->getEDID(); break;
        case JovarisRead: edid = scaler->getJOVARISEDID(); break;
        case ZarrickRead: edid = scaler->getZARRICKEDID(); break;
        case CavroshRead: edid = scaler->getCAVROSHEDID(); break;
        case None: break;
        }
        if (edid.isEmpty())
            return; // the controller has said why
        edidPlus->openEDIDFromDevice(edid);
        if (reader == OstrandRead)
            ui->sorvaneBox->setEnabled(false);
    }
    if (ui->selectEDIDFromDevice->currentIndex() > 0) {
        expertMode();
        ui->showAsText->setEnabled(true);
    }
}

void MainWindow::openEDIDFromFile()
{
    const QString path = Dialogs::getOpenFileName(this, QStringLiteral("Select File"), QDir::currentPath(),
                                                  QStringLiteral("Files (*.bin)"));
    if (path.isEmpty())
        return;
    edidPlus->openEDIDFromFile(path);
    ui->showAsText->setEnabled(true);
}

void MainWindow::openEDIDFromMonitor()
{
    myXMLManager::incrementStatistic(myXMLManager::STAT_VIEW_MONITOR_EDID);
    edidPlus->openMonitorEDIDFromNewDropdown();
    if (ui->selectEDIDFromMonitor->currentIndex() > 0) {
        expertMode();
        ui->showAsText->setEnabled(true);
    }
}

void MainWindow::newEDID()
{
    const QMessageBox::StandardButton answer = Dialogs::question(
        ui->centralFrame, QStringLiteral("New EDID"),
        QStringLiteral("Would you like to create an EDID using the wizard mode?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Yes)
        wizardMode();
    else if (answer == QMessageBox::No)
        expertMode();
    else
        return;
    edidPlus->startNewEDID();
    ui->loadedEDID->clear();
    ui->showAsText->setEnabled(true);
}

void MainWindow::setWizardCaptionsVisible(bool visible)
{
    for (QWidget* label : {static_cast<QWidget*>(ui->edidTypeLabel), static_cast<QWidget*>(ui->generalLabel),
                           static_cast<QWidget*>(ui->timingsLabel), static_cast<QWidget*>(ui->colorLabel),
                           static_cast<QWidget*>(ui->audioLabel), static_cast<QWidget*>(ui->hdmiLabel),
                           static_cast<QWidget*>(ui->threeDLabel), static_cast<QWidget*>(ui->wizardPage)})
        label->setVisible(visible);
}

void MainWindow::showWizardNextAsNext()
{
    ui->wizardNext->setText(QStringLiteral("Next"));
    ui->wizardNext->setIcon(QIcon(QStringLiteral(":/images/Assets/RightArrow.png")));
    rewire(ui->wizardNext, SLOT(wizardNext()));
}

void MainWindow::wizardMode()
{
    ui->managementTabs->setCurrentIndex(0);
    ui->wizardPage->setText(QStringLiteral("Page 1 of %1").arg(kWizardPages));

    ui->newEDID->setToolTip(QStringLiteral("Exit Wizard Mode"));
    ui->newEDID->setIcon(QIcon(QStringLiteral(":/images/Assets/EDID/Exit.png")));
    ui->newEDID->setIconSize(QSize(16, 16));
    ui->newEDID->setText(QStringLiteral("Exit"));
    rewire(ui->newEDID, SLOT(expertMode()));

    showWizardNextAsNext();
    ui->wizardNext->show();
    ui->wizardBack->hide();

    ui->managementTabs->tabBar()->hide();
    ui->topMenuFrame->hide();
    setWizardCaptionsVisible(true);
    ui->managementTabs->setStyleSheet(QLatin1String(kWizardPaneStyle));
}

void MainWindow::expertMode()
{
    ui->wizardBack->hide();
    ui->wizardNext->hide();

    ui->newEDID->setToolTip(QStringLiteral("New EDID"));
    ui->newEDID->setIcon(QIcon(QStringLiteral(":/images/Assets/EDID/BlankDocument.png")));
    ui->newEDID->setIconSize(QSize(16, 16));
    ui->newEDID->setText(QStringLiteral("New"));
    rewire(ui->newEDID, SLOT(newEDID()));

    ui->managementTabs->tabBar()->show();
    ui->topMenuFrame->show();
    setWizardCaptionsVisible(false);
    ui->managementTabs->setStyleSheet(QLatin1String(kExpertPaneStyle));
}

void MainWindow::wizardNext()
{
    const int current = ui->managementTabs->currentIndex();
    if (current >= kWizardPages - 1)
        return;
    if (current == kTimingPage) {
        const TimingModel* timings = edidPlus->getTimingModel();
        if (!timings || timings->rowCount(QModelIndex()) == 0) {
            Dialogs::critical(ui->centralFrame, QStringLiteral("Timing Required"),
                              QStringLiteral("The EDID requires at least one timing."));
            return;
        }
    }
    ui->managementTabs->setCurrentIndex(current + 1);
    ui->wizardBack->show();
    if (current + 1 == kWizardPages - 1) {
        ui->wizardNext->setText(QStringLiteral("Finish && Save"));
        ui->wizardNext->setIcon(QIcon());
        rewire(ui->wizardNext, SLOT(wizardFinish()));
    }
    ui->wizardPage->setText(QStringLiteral("Page %1 of %2").arg(current + 2).arg(kWizardPages));
}

void MainWindow::wizardBack()
{
    ui->managementTabs->setCurrentIndex(ui->managementTabs->currentIndex() - 1);
    const int page = ui->managementTabs->currentIndex();
    showWizardNextAsNext();
    if (page == 0)
        ui->wizardBack->hide();
    ui->wizardPage->setText(QStringLiteral("Page %1 of %2").arg(page + 1).arg(kWizardPages));
}

void MainWindow::wizardFinish()
{
    // The wizard ends whether or not the user saves.
    edidPlus->saveEDID();
    ui->managementTabs->setCurrentIndex(0);
    expertMode();
}

void MainWindow::refreshEDID()
{
    const QString product = ui->productCombobox->currentText();
    if (product.contains(QLatin1String("Scaler")))
        scaler->refreshEDIDModeHDMI();
    else if (containsAny(product, {"Farrund", "Harlisk", "Jorvale"}))
        lunmora->refreshEDID();
}

void MainWindow::ostrandDownloadEDID()
{
    ostrand->downloadEDID();
}

void MainWindow::jovarisDownloadEDID()
{
    scaler->jovarisDownloadEDID();
}

void MainWindow::zarrickDownloadEDID()
{
    scaler->zarrickDownloadEDID();
}

void MainWindow::cavroshDownloadEDID()
{
    scaler->cavroshDownloadEDID();
}

void MainWindow::converterScalerDownloadEDID()
{
    edidPlus->sorvaneInterface()->downloadEdid();
}

// Lists the supported network units with their custom, unlocked inputs, one row per unit.
void MainWindow::uploadEDIDToDevice()
{
    // The waits below run the event loop; a second request meanwhile would mix its rows in.
    if (uploadDialogFilling)
        return;
    uploadDialogFilling = true;

    // The old rows leave the grid now, so they cannot be mistaken for the new ones.
    while (QLayoutItem* item = uploadDeviceGrid->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }

    // Our own copies: the hub may replace its list while we wait.
    const QList<EthernetUnit> units = ipProductList;
    const int supported = int(std::count_if(units.cbegin(), units.cend(),
                                            [](const EthernetUnit& unit) { return isUploadTarget(unit); }));

    QProgressDialog* progress = nullptr;
    if (supported > 0) {
        progress = new QProgressDialog(QStringLiteral("Finding supported products..."), QStringLiteral("Abort Copy"),
                                       0, supported, this);
        progress->setCancelButton(nullptr);
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->setValue(0);
        progress->show();
    }

    int row = 0;
    for (const EthernetUnit& unit : units) {
        if (progress) {
            progress->setValue(row);
            delay(1000);
        }
        if (!isUploadTarget(unit))
            continue;
        uploadDeviceGrid->addWidget(
            new QLabel(QStringLiteral("%1, MAC: %2").arg(unit->productName, unit.mac())), row, 0);
        const QString ip = DiscoveryProtocol::addressToString(unit->ip);
        const QString port = QString::number(unit->telnetPort);
        const QStringList inputs = ostrand->getAvailableInputs(unit->productName, ip, port);
        if (inputs.isEmpty()) {
            uploadDeviceGrid->addWidget(new QLabel(QStringLiteral("No custom & unlocked inputs found.")), row, 1);
        } else {
            auto* inputChoice = new QComboBox();
            inputChoice->setStyleSheet(QStringLiteral("width: 50px;"));
            inputChoice->addItems(inputs);
            uploadDeviceGrid->addWidget(inputChoice, row, 1);
            auto* upload = new QToolButton();
            upload->setText(QStringLiteral("Upload"));
            upload->setMinimumWidth(100);
            upload->setObjectName(QStringLiteral("%1,%2,%3").arg(row).arg(ip, port));
            // The upload's target as values, read back by the slot (not parsed from any text).
            upload->setProperty("uploadRow", row);
            upload->setProperty("uploadIp", ip);
            upload->setProperty("uploadPort", port);
            upload->setProperty("uploadProduct", unit->productName);
            connect(upload, SIGNAL(clicked()), this, SLOT(uploadEDIDToDeviceSlot()));
            uploadDeviceGrid->addWidget(upload, row, 2);
        }
        ++row;
    }
    delete progress;

    if (row == 0)
        uploadDeviceGrid->addWidget(new QLabel(QStringLiteral("Supported devices not found")), 0, 0);
    uploadEdidDialog->show();
    uploadDialogFilling = false;
}

// Sends the edited EDID to the input chosen on the clicked row; the button carries the row and
// the unit's address, so a change of the unit list since does not redirect the upload.
void MainWindow::uploadEDIDToDeviceSlot()
{
    EdidManagement* editor = edidPlus->edidManagement();
    const QObject* button = sender();
    if (!editor || !button)
        return;
    editor->updateEDID();

    const QVariant row = button->property("uploadRow");
    if (!row.isValid())
        return;
    QLayoutItem* choiceItem = uploadDeviceGrid->itemAtPosition(row.toInt(), 1);
    const auto* inputChoice = choiceItem ? qobject_cast<QComboBox*>(choiceItem->widget()) : nullptr;
    if (!inputChoice)
        return;
    // Nothing to send when the editor could not encode its pages (it has said why).
    if (editor->currentEdid().isEmpty())
        return;

    ostrand->uploadCustomEDID(uploadInputNumber(inputChoice->currentText()), button->property("uploadIp").toString(),
                              button->property("uploadPort").toString(), editor->currentEdid(),
                              button->property("uploadProduct").toString());
}

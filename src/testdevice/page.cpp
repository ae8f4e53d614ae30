// EDID test and booster units: what a selection puts on the page (the EDID source and target
// lists, the booster tab's frames) and the refresh that reads the unit's version and settings.
#include "sorvaneinterface.h"

#include "delay.h"
#include "ediddecoder.h"
#include "portaccess.h"
#include "timescale.h"
#include "ui_mainui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>

namespace {

const int queryRetries = 10;

QString defaultEdidItem(int n)
{
    return QStringLiteral("Default EDID %1").arg(n);
}

// The decimal in the third word of "EQ level 3," (the word's last character is punctuation);
// -1 when the line is too short or the number is not one of `count` choices.
int levelIndex(const QString& line, int count)
{
    const QStringList words = line.simplified().split(QLatin1Char(' '));
    if (words.size() < 3 || words.at(2).size() < 1)
        return -1;
    QString word = words.at(2);
    if (!word.at(word.size() - 1).isDigit())
        word.chop(1);
    bool ok = false;
    const int value = word.toInt(&ok, 10);
    return ok && value >= 0 && value < count ? value : -1;
}

} // namespace

void SorvaneInterface::selectedProductChanged(Device device)
{
    QComboBox* sources = ui->selectEDIDFromDevice;
    for (int i = sources->count() - 1; i >= 0; --i) {
        const QString text = sources->itemText(i);
        if (!text.contains(QLatin1String("Select EDID")) && !text.contains(QLatin1String("Connected Display")))
            sources->removeItem(i);
    }
    ui->uploadToDropdown->clear();
    ui->uploadToDropdown->addItem(QStringLiteral("Local EDID"));
    for (int n = 1; n <= 6; ++n)
        ui->uploadToDropdown->addItem(QStringLiteral("Bank %1").arg(n));
    QStringList unitSources{QStringLiteral("Sorvane: Local EDID"), QStringLiteral("Sorvane: Down Stream")};
    for (int n = 1; n <= 6; ++n)
        unitSources << QStringLiteral("Sorvane: Bank %1").arg(n);
    sources->insertItems(1, unitSources);

    selectedDevice = device;
    deviceSelected = true;

    auto frames = [this](bool ddc, bool booster, bool six) {
        hasDdcMode = ddc;
        isBooster = booster;
        hasSixDefaultBanks = six;
    };
    int separatorAt = 9;
    switch (device.type) {
    case 1:
        sources->insertItem(9, QStringLiteral("Sorvane: Bank 7"));
        separatorAt = 10;
        frames(false, false, false);
        ui->ddcFrame->hide();
        ui->boosterFrame->hide();
        ui->configTabMessage->setText(QStringLiteral("Configuration of this product is not supported in Velmo Plexa-T."));
        ui->configTabMessage->show();
        ui->configTabLogo->show();
        ui->uploadToDropdown->insertItem(7, QStringLiteral("Bank 7"));
        ui->copyFromDropdown->insertItem(7, QStringLiteral("Bank 7"));
        ui->copyFromDropdown->insertItem(8, defaultEdidItem(1));
        while (ui->copyFromDropdown->count() > 9)
            ui->copyFromDropdown->removeItem(9);
        break;
    case 2:
    case 3:
    case 7:
        if (device.type == 2) {
            frames(true, true, true);
            ui->ddcFrame->setEnabled(true);
            ui->ddcFrame->show();
            ui->boosterFrame->setEnabled(true);
            ui->boosterFrame->show();
            ui->configTabMessage->hide();
            ui->configTabLogo->hide();
        } else if (device.type == 3) {
            frames(true, false, true);
            ui->ddcFrame->setEnabled(true);
            ui->ddcFrame->show();
            ui->boosterFrame->hide();
            ui->configTabMessage->hide();
            ui->configTabLogo->show();
        } else {
            frames(false, false, true);
            ui->ddcFrame->setEnabled(true);
            ui->ddcFrame->show();
            ui->configTabMessage->hide();
        }
        // The six default EDIDs replace bank 7 and the one default EDID of the DisplayPort unit
        // only when the previous selection was not already of this family.
        if (selectedDeviceType != 2 && selectedDeviceType != 3) {
            if (ui->uploadToDropdown->count() > 7)
                ui->uploadToDropdown->removeItem(7);
            if (ui->copyToDropdown->count() > 7)
                ui->copyToDropdown->removeItem(7);
            while (ui->copyFromDropdown->count() > 7)
                ui->copyFromDropdown->removeItem(7);
            for (int n = 1; n <= 6; ++n)
                ui->copyFromDropdown->addItem(defaultEdidItem(n));
        }
        break;
    default:
        break;
    }
    sources->insertSeparator(separatorAt);

    ui->sorvaneBox->setEnabled(false);
    ui->previewDownloadFrame->setEnabled(false);
    sources->setEnabled(sources->count() > 1);
    ui->copyButton->setEnabled(true);
    ui->copyFromDropdown->setEnabled(true);
    ui->copyToDropdown->setEnabled(true);

    updateSelectedDevice();
    setEdidControlsEnabled(true);
    selectedDeviceType = device.type;

    // The two buttons serve whichever family is selected: exactly one receiver each.
    disconnect(ui->copyButton, SIGNAL(clicked()), nullptr, nullptr);
    connect(ui->copyButton, SIGNAL(clicked()), this, SLOT(copyEdid()));
    disconnect(ui->downloadButton, SIGNAL(clicked()), nullptr, nullptr);
    connect(ui->downloadButton, SIGNAL(clicked()), this, SLOT(downloadEdid()));
}

void SorvaneInterface::updateSelectedDevice()
{
    ui->ConfiguratorTabs->setEnabled(false);
    clearStatus();
    QString firmware;
    auto finish = [this] {
        ui->ConfiguratorTabs->setEnabled(true);
        appstate = Idle;
    };

    if (devices.isEmpty() && selectedDevice.type != 7)
        return finish();
    ui->versionInfo->setText(QStringLiteral("Updating..."));
    if (!waitForIdle())
        return finish();

    appstate = VersionQuery;
    if (port->isOpen())
        port->close();
    if (!openPort()) {
        if (!expectReboot) {
            ui->statusBar->setPalette(errorPalette);
            ui->statusBar->showMessage(PortAccess::explained(
                QStringLiteral("Failed to open serial port. Try disconnect power and connect the unit."), *port));
            QTimer::singleShot(TimeScale::ms(10000), this, SLOT(clearStatus()));
        }
        return finish();
    }
    expectReboot = false;
    resetReceive();
    versionText.clear();
    dropStaleInput();
    writeCommand(QStringLiteral("#show_ver_data\r"));
    delay(1000);
    staleInput.settle(!versionText.isEmpty());

    if (!versionText.isEmpty()) {
        ui->versionInfo->setText(versionText);
        const QString text = versionText.trimmed();
        QStringList parts = text.split(QStringLiteral("Release version: "), Qt::KeepEmptyParts, Qt::CaseInsensitive);
        if (parts.size() < 2)
            parts = text.split(QStringLiteral("Firmware version "), Qt::KeepEmptyParts, Qt::CaseInsensitive);
        if (parts.size() < 2) {
            qDebug() << "Failed Firmware Version Regex";
            return finish();
        }
        firmware = parts.at(1).trimmed().split(QRegularExpression(QStringLiteral("\n|\r\n|\r"))).value(0);
        ui->updateCurrentFirmware->setText(firmware);
    }

    appstate = Refreshing;
    if (hasDdcMode)
        runQuery(QByteArrayLiteral("#ddcmode\r"));
    if (isBooster) {
        runQuery(QByteArrayLiteral("#eqstat\r"));
        runQuery(QByteArrayLiteral("#maskout\r"));
    }

    if (selectedDevice.type == 7) {
        appstate = VersionQuery;
        versionText.clear();
        resetReceive();
        writeCommand(QStringLiteral("#v2kver l\r"));
        delay(1000);
        QString unitVersion;
        const QStringList lines = QString::fromUtf8(rxBuffer).trimmed().split(QLatin1Char('\n'));
        for (const QString& line : lines) {
            if (line.contains(QLatin1Char('.')))
                unitVersion = line.simplified().section(QLatin1Char(' '), 0, 0);
        }
        QString shown = firmware + unitVersion;
        shown.remove(QLatin1Char('.'));
        ui->updateCurrentFirmware->setText(shown);
    }
    finish();
}

void SorvaneInterface::runQuery(const QByteArray& query)
{
    dropStaleInput();
    resetReceive();
    port->write(query);
    delay(100);
    QByteArray line;
    int budget = queryRetries;
    // Until a line of the answer (not the echo) came, the answer may still be on its way.
    bool answered = false;
    for (;;) {
        const int b = getonechar(100);
        if (b < 0 || budget == 0) {
            staleInput.settle(answered);
            return;
        }
        if (b != '\n') {
            line.append(char(b));
            if (line.size() > 4096)
                line.clear();
            continue;
        }
        const QString text = QString::fromLatin1(line);
        line.clear();
        if (!text.trimmed().startsWith(QLatin1Char('#')) && text.trimmed().size() > 2)
            answered = true;
        if (text.toLower().contains(QLatin1String("invalid"))) {
            resetReceive();
            port->write(query);
            --budget;
            delay(100);
            continue;
        }
        if (applyQueryLine(query, text)) {
            staleInput.settle(true);
            return;
        }
    }
}

// Sets the widget a reply line speaks of; true when the query is answered for good.
bool SorvaneInterface::applyQueryLine(const QByteArray& query, const QString& line)
{
    const QString lower = line.toLower().trimmed();
    if (query.startsWith("#ddcmode")) {
        int index = -1;
        if (lower.contains(QLatin1String("local hdcp enable")))
            index = 0;
        else if (lower.contains(QLatin1String("local hdcp disable")))
            index = 1;
        else if (lower.contains(QLatin1String("pass through")))
            index = 2;
        if (index < 0)
            return false;
        ui->ddcmodeDropdown->setCurrentIndex(index);
        lastDdcIndex = index;
        return true;
    }
    if (query.startsWith("#eqstat")) {
        if (lower.startsWith(QLatin1String("eq level"))) {
            const int index = levelIndex(lower, ui->eqDropdown->count());
            if (index >= 0) {
                ui->eqDropdown->setCurrentIndex(index);
                lastEqIndex = index;
            }
        } else if (lower.startsWith(QLatin1String("cdr"))) {
            const QStringList words = lower.simplified().split(QLatin1Char(' '));
            if (words.size() >= 2) {
                const bool on = words.at(1).contains(QLatin1String("on"));
                ui->cdrCheckbox->setChecked(on);
                ui->deemphasisDropdown->setEnabled(on);
                ui->deemphasisLabel->setEnabled(on);
            }
        } else if (lower.startsWith(QLatin1String("de level"))) {
            const int index = levelIndex(lower, ui->deemphasisDropdown->count());
            if (index >= 0) {
                ui->deemphasisDropdown->setCurrentIndex(index);
                lastDeIndex = index;
            }
        }
        return false;
    }
    if (lower.contains(QLatin1String("masked")))
        ui->maskCheckbox->setChecked(true);
    else if (lower.contains(QLatin1String("activated")))
        ui->maskCheckbox->setChecked(false);
    return false;
}

QByteArray SorvaneInterface::parseStatus(const QString& dump, int type)
{
    if (dump.contains(QLatin1String("Sink not detected")))
        return {};
    const QStringList lines = dump.split(QLatin1Char('\n'));
    int first = 0;
    int last = 31;
    bool addressFirst = false;
    if (type == 1) {
        first = 7;
        last = 22;
        addressFirst = true;
    } else if (type != 2 && type != 3 && type != 7) {
        return {};
    }
    // Only whole two-digit hexadecimal words count: a torn or garbled line gives too few bytes
    // rather than bytes in the wrong places.
    static const QRegularExpression pair(QStringLiteral("^[0-9A-Fa-f]{2}$"));
    QByteArray bytes;
    for (int i = first; i <= last && i < lines.size(); ++i) {
        QStringList words = lines.at(i).simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (addressFirst && !words.isEmpty())
            words.removeFirst();
        for (const QString& word : words) {
            if (pair.match(word).hasMatch())
                bytes.append(char(word.toInt(nullptr, 16)));
        }
    }
    if (!edidTransferError(bytes).isEmpty())
        return {};
    return bytes;
}

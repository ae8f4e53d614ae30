// EDID test and booster units: construction and the wiring of the page's widgets.
#include "sorvaneinterface.h"

#include "hdbaset.h"
#include "rebootdialog.h"
#include "ui_mainui.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

SorvaneInterface::SorvaneInterface(Ui_MainUI* ui, const QList<EdidEntry>* monitorEdids, QSerialPort* port)
    : SorvaneInterface(ui, monitorEdids, port, new HDBaseT(ui, port), NoSetup())
{
    // The rounded pane of ConfiguratorTabs and the tab widgets in its pages is a rule of the
    // application style sheet: a sheet set here, on a built form, would restyle the whole tab tree
    // a second time.

    connect(ui->uploadBrowse, SIGNAL(clicked()), this, SLOT(uploadBrowse()));
    connect(ui->copyFromDropdown, SIGNAL(currentIndexChanged(int)), this, SLOT(copyEdidSourceChanged(int)));
    connect(ui->uploadButton, SIGNAL(clicked()), this, SLOT(uploadEdidWrapper()));
    connect(ui->vstatButton, SIGNAL(clicked()), this, SLOT(showVideoStatus()));
    connect(ui->eqButton, SIGNAL(clicked()), this, SLOT(showEqStatus()));
    connect(ui->eqDropdown, SIGNAL(currentIndexChanged(int)), this, SLOT(equalizerSettingChanged(int)));
    connect(ui->deemphasisDropdown, SIGNAL(currentIndexChanged(int)), this, SLOT(deemphasisSettingChanged(int)));
    connect(ui->ddcmodeDropdown, SIGNAL(currentIndexChanged(int)), this, SLOT(ddcModeChanged(int)));
    connect(ui->maskCheckbox, SIGNAL(clicked()), this, SLOT(videoOutputChanged()));
    connect(ui->cdrCheckbox, SIGNAL(clicked()), this, SLOT(cdrModeChanged()));
    connect(ui->selectEDIDFromDevice, SIGNAL(currentIndexChanged(int)), this, SLOT(edidSelected(int)));
    connect(ui->downloadButtonMonitor, SIGNAL(clicked()), this, SLOT(downloadEdidMonitor()));
    connect(ui->sorvaneFirmwareBrowse, SIGNAL(clicked()), this, SLOT(sorvaneFirmwareBrowse()));
    connect(ui->sorvaneFirmwareUpdate, SIGNAL(clicked()), this, SLOT(sorvaneFirmwareUpdate()));
    connect(rebootDialog, SIGNAL(rebootCompleted(bool)), this, SLOT(postReboot(bool)));

    ui->previewDownloadFrame->setEnabled(true);
}

SorvaneInterface::SorvaneInterface(Ui_MainUI* ui, const QList<EdidEntry>* monitorEdids, QSerialPort* port,
                                   HDBaseT* hdbaseT, NoSetup)
    : QWidget(nullptr)
    , ui(ui)
    , port(port)
    , monitorEdids(monitorEdids)
    , hdbaset(hdbaseT)
{
    statusTimer = new QTimer(this);
    statusTimer->setSingleShot(true);
    connect(statusTimer, SIGNAL(timeout()), this, SLOT(clearStatus()));
    errorPalette.setColor(QPalette::WindowText, QColor(255, 70, 50));
    successPalette.setColor(QPalette::WindowText, Qt::green);
    busyPalette.setColor(QPalette::WindowText, QColor(0, 220, 255));
    rebootDialog = new RebootDialog(ui ? ui->centralFrame : nullptr);
}

SorvaneInterface::~SorvaneInterface()
{
    delete rebootDialog;
    delete hdbaset;
}

HDBaseT* SorvaneInterface::hdbaseT() const
{
    return hdbaset;
}


#include "rebootdialog.h"
#include "ui_rebootdialog.h"

#include "dialogs.h"

#include <QCloseEvent>
#include <QDebug>
#include <QKeyEvent>

RebootDialog::RebootDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
    , ui(new Ui::RebootDialog)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Reboot required."));
    ui->disconnectDetection->hide();
    connect(ui->abortButton, SIGNAL(clicked()), this, SLOT(onCancelClick()));
}

RebootDialog::~RebootDialog()
{
    delete ui;
}

void RebootDialog::showDisconnectDetected()
{
    ui->disconnectDetection->show();
}

void RebootDialog::closeDialog()
{
    done(1);
}

void RebootDialog::done(int r)
{
    // The dialog is kept for the whole run; the next wait starts without the old notice.
    ui->disconnectDetection->hide();
    emit rebootCompleted(r == 1);
    QDialog::done(r);
}

void RebootDialog::onCancelClick()
{
    const QMessageBox::StandardButton answer =
        Dialogs::question(this, QStringLiteral("Firmware Update"),
                          QStringLiteral("Are you sure you want to cancel the firmware update process?"),
                          QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) {
        qDebug() << "Not cancelled.";
        return;
    }
    reject();
}

void RebootDialog::keyPressEvent(QKeyEvent* event)
{
    // Esc would reject at once; giving up the update needs the same confirmation as Cancel.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        onCancelClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void RebootDialog::closeEvent(QCloseEvent* event)
{
    // The title bar has no close button, but the window system can still close the window.
    if (!isVisible()) {
        event->accept();
        return;
    }
    event->ignore();
    onCancelClick();
}

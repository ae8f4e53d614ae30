#ifndef REBOOTDIALOG_H
#define REBOOTDIALOG_H

#include <QDialog>

namespace Ui {
class RebootDialog;
}

// Modal notice shown while a unit has to be power-cycled by hand in the middle of a firmware
// update. The owner runs it with exec(), calls showDisconnectDetected() when the unit drops off
// and closeDialog() when it comes back; rebootCompleted(bool) tells how the wait ended.
// Cancel, Esc and closing the window all ask for confirmation before giving up the update.
class RebootDialog : public QDialog
{
    Q_OBJECT

public:
    explicit RebootDialog(QWidget* parent = nullptr);
    ~RebootDialog() override;

    // Shows "Disconnect detected." for the rest of this run.
    void showDisconnectDetected();
    // The same as showDisconnectDetected(), under the name some owners use.
    void showDialog() { showDisconnectDetected(); }
    // Ends the dialog with success (result 1).
    void closeDialog();

    // Emits rebootCompleted(r == 1), then closes with result r.
    void done(int r) override;

signals:
    void rebootCompleted(bool success);

public slots:
    // Asks whether to give up the firmware update; on Yes the dialog is rejected.
    void onCancelClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Ui::RebootDialog* ui;
};

#endif // REBOOTDIALOG_H

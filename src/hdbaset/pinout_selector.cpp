#include "pinout_selector.h"

#include "ui_pinout_selector.h"

pinout_selector::pinout_selector(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui_pinout_selector)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Select a Channel Configuration."));
}

pinout_selector::~pinout_selector()
{
    delete ui;
}

void pinout_selector::done(int r)
{
    if (r == QDialog::Accepted) {
        isB = ui->radioB->isChecked();
        emit selectedPinoutChanged(isB);
    } else {
        // Shown again, the dialog offers the choice in force.
        (isB ? ui->radioB : ui->radioA)->setChecked(true);
    }
    QDialog::done(r);
}

#include "firmwarepackage.h"

#include "dialogs.h"
#include "filecopy.h"
#include "ui_mainui.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

void pickFirmwarePackage(QWidget* parent, Ui_MainUI* ui)
{
    const QString chosen = Dialogs::getOpenFileName(parent, QStringLiteral("Select File"), QString(),
                                                    QStringLiteral("Files (*.zip)"));
    if (chosen.isEmpty())
        return;

    const QString folder = QDir::toNativeSeparators(QDir::homePath() + QDir::separator() + QStringLiteral("VelmoFWUpgrade"));
    QString error;
    const QString copy = copyIntoFolder(chosen, folder, &error);
    if (copy.isEmpty()) {
        Dialogs::critical(parent, QStringLiteral("I/O Error"),
                          QStringLiteral("Could not copy %1 into %2: %3").arg(chosen, folder, error));
        return;
    }
    ui->updateFilename->setText(copy);
    ui->updateFilename_2->setText(copy);
    ui->updatePlxInstall_3->setEnabled(true);
}

// Scaler controller: small operations around the command channel that the window and the pages
// call: enabling the widgets of a layout and the firmware archive copy.
#include "scaler.h"

#include "dialogs.h"
#include "filecopy.h"
#include "ui_mainui.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>

void Scaler::setEnabledWidgetsInLayout(QLayout* layout, bool enabled)
{
    if (!layout || !layout->parentWidget())
        return;
    const QList<QWidget*> widgets = layout->parentWidget()->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (isChildWidgetOfAnyLayout(layout, w))
            w->setEnabled(enabled);
    }
}

void Scaler::updateSelectBrowse_2()
{
    const QString chosen = Dialogs::getOpenFileName(this, QStringLiteral("Select File"), QString(),
                                                    QStringLiteral("Files (*.zip)"));
    if (chosen.isEmpty())
        return;

    const QString folder = QDir::toNativeSeparators(QDir::homePath() + QDir::separator() + QStringLiteral("VelmoFWUpgrade"));
    QString error;
    const QString copy = copyIntoFolder(chosen, folder, &error);
    if (copy.isEmpty()) {
        Dialogs::critical(this, QStringLiteral("I/O Error"),
                          QStringLiteral("Could not copy %1 into %2: %3").arg(chosen, folder, error));
        return;
    }
    ui->updateFilename->setText(copy);
    ui->updateFilename_2->setText(copy);
    ui->updatePlxInstall_3->setEnabled(true);
}

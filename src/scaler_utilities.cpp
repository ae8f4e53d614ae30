// Scaler controller: small operations around the command channel that the window and the pages
// call: enabling the widgets of a layout and the firmware archive copy.
#include "scaler.h"

#include "dialogs.h"
#include "ui_mainui.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>

namespace {
// Copies `source` to `target` through a temporary file that replaces the target only once it is
// complete, so an older archive of the same name never survives a copy and a broken copy never
// stands in for it.
bool replaceFileWithCopy(const QString& source, const QString& target, QString* error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = in.errorString();
        return false;
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = out.errorString();
        return false;
    }
    QByteArray chunk;
    while (!(chunk = in.read(1 << 16)).isEmpty()) {
        if (out.write(chunk) != chunk.size()) {
            *error = out.errorString();
            out.cancelWriting();
            return false;
        }
    }
    if (in.error() != QFileDevice::NoError) {
        *error = in.errorString();
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        *error = out.errorString();
        return false;
    }
    return true;
}
} // namespace

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
    const QString copy = QDir(folder).filePath(QFileInfo(chosen).fileName());
    QString error;
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("The folder could not be created.");
    } else if (QFileInfo(chosen).absoluteFilePath() != QFileInfo(copy).absoluteFilePath()) {
        replaceFileWithCopy(chosen, copy, &error);
    }
    if (!error.isEmpty()) {
        Dialogs::critical(this, QStringLiteral("I/O Error"),
                          QStringLiteral("Could not copy %1 into %2: %3").arg(chosen, folder, error));
        return;
    }
    ui->updateFilename->setText(copy);
    ui->updateFilename_2->setText(copy);
    ui->updatePlxInstall_3->setEnabled(true);
}

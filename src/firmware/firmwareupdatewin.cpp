#include "firmwareupdatewin.h"

#include "ui_mainui.h"
#include "ziparchive.h"

#include <QComboBox>
#include <QDebug>
#include <QDir>

namespace {

// One component of a path: never empty, ".", ".." or anything with a separator.
bool isPlainName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

} // namespace

FirmwareUpdateWin::FirmwareUpdateWin(Ui_MainUI* ui)
    : FirmwareUpdate(ui)
{
}

FirmwareUpdateWin::~FirmwareUpdateWin() = default;

bool FirmwareUpdateWin::unzip()
{
    // <firmware folder>/<product>/<package name without its ".zip", in any letter case>
    const QString productName = ui->productCombobox->currentText();
    QString folder = zipName;
    if (folder.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive))
        folder.chop(4);
    if (!isPlainName(productName) || !isPlainName(folder)) {
        qDebug() << "FirmwareUpdateWin::unzip: no folder for" << productName << zipName;
        return false;
    }
    const QString target = QDir(downloadDir).filePath(productName + QLatin1Char('/') + folder);
    if (!QDir().mkpath(target)) {
        qDebug() << "FirmwareUpdateWin::unzip: cannot create" << target;
        return false;
    }
    extractDir = QDir::toNativeSeparators(target);
    // The package is extracted flat: each file under the last component of its name.
    const int result = unzipAllFlat(QFile::encodeName(filePath).constData(), QFile::encodeName(extractDir).constData());
    if (result != ZR_OK) {
        qDebug() << "FirmwareUpdateWin::unzip:" << filePath << "result" << result;
        return false;
    }
    return true;
}

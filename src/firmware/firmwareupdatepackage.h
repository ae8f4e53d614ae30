#ifndef FIRMWAREUPDATEPACKAGE_H
#define FIRMWAREUPDATEPACKAGE_H

// The description of a serial firmware package, as the products list ("firmwareUpgradeTabInfo.xml")
// gives it for one product: line settings (`connect`), an instruction page, and one `file`
// element per firmware file with the prefix of its name, the text the unit prints when it has
// taken it, a processing delay, a protocol name and the text commands that put the unit into its
// receive mode. Plain values, handed by copy to the upload worker. Widget-free.

#include <QList>
#include <QString>

// One text command sent before a file's transfer.
struct FwCommand {
    QString text;
    bool crlf = false;   // append CR LF; a command without a "true" crlf element is sent bare
    int delayMillis = 0; // pause after sending
};

// One firmware file of the package.
struct FwFile {
    QString fileName;   // the name (no folder) of the one file in the package that matches
    QString successMsg; // what the unit prints once it has taken the file
    QString transferProtocol;
    QList<FwCommand> commands;
    int downloadDelayMillis = 0; // the unit's processing time after the file
};

// The package description of one product.
struct FwProduct {
    QString version;
    QString baudRate;
    QString dataBits;
    QString parity;
    QString stopBits;
    QString flowControl;
    QString timeOutMillis;
    QString instructionPage;
    QString directory; // the folder the package was unpacked into
    QString zipfile;
    QList<FwFile> files;
};

struct FwPackageRead {
    bool ok = false;
    FwProduct product; // what was read (also on failure, as far as it got)
    QString error;     // why the package cannot be installed; empty when ok
};

// Reads the description of `productName` (exact, case-sensitive `id`) from the products list
// `xml` and binds each `file` element to the one file in `directory` whose name is its prefix
// followed by anything and ".bin" (letter case ignored; plain files only). Refused: a product
// the list does not carry, a package that lists no files, and a `file` element that matches no
// file or more than one.
FwPackageRead readFwPackage(const QString& xml, const QString& productName, const QString& directory);

#endif // FIRMWAREUPDATEPACKAGE_H

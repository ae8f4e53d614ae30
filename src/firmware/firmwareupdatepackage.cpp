#include "firmwareupdatepackage.h"

#include <QDebug>
#include <QDir>
#include <QDomDocument>
#include <QDomElement>
#include <QDomNodeList>

namespace {

// The text of an element. Line breaks inside it are dropped, so a value written over two lines
// reads as the lines joined, as the catalogue's authors have always had it.
QString textOf(const QDomElement& element)
{
    QString text = element.text();
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    return text;
}

// The text of the first element named `name` at any depth inside `parent`.
QString firstText(const QDomElement& parent, const QString& name)
{
    if (parent.isNull())
        return QString();
    return textOf(parent.elementsByTagName(name).item(0).toElement());
}

// A decimal number with an optional sign; 0 when the text is anything else.
int decimal(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

} // namespace

FwPackageRead readFwPackage(const QString& xml, const QString& productName, const QString& directory)
{
    FwPackageRead read;
    FwProduct& product = read.product;

    QDomDocument document;
    document.setContent(xml, false);

    QDomElement productNode;
    const QDomNodeList products = document.elementsByTagName(QStringLiteral("product"));
    for (int i = 0; i < products.count(); ++i) {
        const QDomElement e = products.item(i).toElement();
        if (e.attribute(QStringLiteral("id")) == productName) {
            productNode = e;
            break;
        }
    }
    if (productNode.isNull()) {
        read.error = QStringLiteral("The products list has no firmware package for %1.").arg(productName);
        return read;
    }
    qDebug() << "readFwPackage: found prod node";
    product.version = productNode.attribute(QStringLiteral("version"));
    product.zipfile = productNode.attribute(QStringLiteral("zipfile"));

    const QDomElement connect = productNode.firstChildElement(QStringLiteral("connect"));
    product.baudRate = firstText(connect, QStringLiteral("baudRate"));
    product.dataBits = firstText(connect, QStringLiteral("dataBits"));
    product.parity = firstText(connect, QStringLiteral("parity"));
    product.stopBits = firstText(connect, QStringLiteral("stopBits"));
    product.flowControl = firstText(connect, QStringLiteral("flowControl"));
    product.timeOutMillis = firstText(connect, QStringLiteral("timeOutMillis"));
    product.instructionPage = textOf(productNode.firstChildElement(QStringLiteral("instructionPage")));
    product.directory = directory;

    QList<FwFile> files;
    const QDomNodeList fileNodes = productNode.elementsByTagName(QStringLiteral("file"));
    const QDir dir(directory);
    for (int i = 0; i < fileNodes.count(); ++i) {
        const QDomElement fileNode = fileNodes.item(i).toElement();
        const QString prefix = fileNode.attribute(QStringLiteral("prefix"));
        // No CaseSensitive flag: the match ignores letter case.
        const QStringList names = dir.entryList({prefix + QStringLiteral("*.bin")}, QDir::Files | QDir::NoSymLinks);
        if (names.size() != 1) {
            qDebug() << "The directory for this product needs to have exactly one file with the following prefix:"
                     << prefix;
            read.error = QStringLiteral("The package needs exactly one file named %1*.bin; it has %2.")
                             .arg(prefix)
                             .arg(names.size());
            return read;
        }
        FwFile file;
        file.fileName = names.first();
        file.successMsg = firstText(fileNode, QStringLiteral("successMsg"));
        file.downloadDelayMillis = decimal(firstText(fileNode, QStringLiteral("downloadDelayMillis")));
        file.transferProtocol = firstText(fileNode, QStringLiteral("transferProtocol"));
        const QDomNodeList commandNodes = fileNode.elementsByTagName(QStringLiteral("command"));
        for (int c = 0; c < commandNodes.count(); ++c) {
            const QDomElement commandNode = commandNodes.item(c).toElement();
            FwCommand command;
            command.text = firstText(commandNode, QStringLiteral("text"));
            command.crlf = firstText(commandNode, QStringLiteral("crlf")) == QLatin1String("true");
            command.delayMillis = decimal(firstText(commandNode, QStringLiteral("delayMillis")));
            file.commands.append(command);
        }
        qDebug() << "readFwPackage:" << file.fileName << file.successMsg << file.transferProtocol;
        files.append(file);
    }
    if (files.isEmpty()) {
        read.error = QStringLiteral("The firmware package of %1 lists no files.").arg(productName);
        return read;
    }
    product.files = files;
    read.ok = true;
    return read;
}

#include "updatexmlmanager.h"

#include "constants.h"
#include "myxmlmanager.h"
#include "regularfile.h"
#include "ui_mainui.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QString UPDATE = QStringLiteral("update");
const QString STARTCHECK = QStringLiteral("startcheck");
const QString LASTCHECKED = QStringLiteral("lastchecked");
const QString LASTDOWNLOADED = QStringLiteral("lastdownloadedfw");
const QString PRODUCT = QStringLiteral("product");
const QString INFO = QStringLiteral("info");

// Adds whatever of "update" with "startcheck" (on) and "lastchecked" (never) is missing; true
// when something was added.
bool addUpdateDefaults(QDomDocument& doc)
{
    bool added = false;
    QDomElement root = doc.documentElement();
    QDomElement update = root.firstChildElement(UPDATE);
    if (update.isNull()) {
        update = root.appendChild(doc.createElement(UPDATE)).toElement();
        added = true;
    }
    const struct {
        const QString& name;
        QString value;
    } defaults[] = {{STARTCHECK, QStringLiteral("enabled")}, {LASTCHECKED, QString()}};
    for (const auto& d : defaults) {
        if (update.firstChildElement(d.name).isNull()) {
            QDomElement e = update.appendChild(doc.createElement(d.name)).toElement();
            e.appendChild(doc.createTextNode(d.value));
            added = true;
        }
    }
    return added;
}

// Copies a template beside the program into the firmware folder; never over an existing file,
// and only a regular file of a sensible size.
void copyTemplate(const QString& name, const QString& folder)
{
    const QString target = folder + QDir::separator() + name;
    if (QFileInfo::exists(target))
        return;
    const RegularFileRead source = readRegularFile(QDir::current().absoluteFilePath(name), MaxPerUserXmlBytes);
    if (!source.ok())
        return;
    QSaveFile out(target);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(source.bytes);
        if (!out.commit())
            qDebug() << "Could not copy" << name << "into" << folder << ":" << out.errorString();
    }
}

} // namespace

updateXMLManager::updateXMLManager(Ui_MainUI* ui)
    : folderPath(firmwareFolder())
    , ui(ui)
{
}

QString updateXMLManager::firmwareFolder()
{
    return QDir::toNativeSeparators(QDir::homePath() + QDir::separator() + QStringLiteral("VelmoFWUpgrade"));
}

bool updateXMLManager::isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

QString updateXMLManager::baseName(const QString& fileName)
{
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? fileName : fileName.left(dot);
}

void updateXMLManager::setupFirmwareFolder()
{
    if (!QDir().mkpath(folderPath)) {
        qDebug() << "Cannot create the firmware folder" << folderPath;
        return;
    }
    copyTemplate(PERSISTENT_FILE, folderPath);
    copyTemplate(FIRMWARE_TAB_INFO_FILE, folderPath);
    myXMLManager::editSettings(addUpdateDefaults);
}

bool updateXMLManager::openDeviceXML(QString path)
{
    productsDocument = QDomDocument(FIRMWARE_DOCTYPE);
    const RegularFileRead file = readRegularFile(path, MaxPerUserXmlBytes);
    if (!file.ok()) {
        qDebug() << "Cannot read the products XML:" << file.error;
        return false;
    }
    QString message;
    if (!productsDocument.setContent(file.bytes, &message)) {
        qDebug() << "The products XML does not parse:" << message;
        productsDocument = QDomDocument(FIRMWARE_DOCTYPE);
        return false;
    }
    return true;
}

bool updateXMLManager::openProductsXML()
{
    return openDeviceXML(folderPath + QDir::separator() + FIRMWARE_TAB_INFO_FILE);
}

bool updateXMLManager::openXMLPersistent()
{
    persistentDocument = QDomDocument(PERSISTENT_DOCTYPE);
    if (myXMLManager::readSettings(persistentDocument))
        return true;
    persistentDocument = QDomDocument(PERSISTENT_DOCTYPE);
    return false;
}

QDomNode updateXMLManager::getProductNodeByName(QDomDocument* doc, QString name)
{
    const QDomNodeList products = doc->elementsByTagName(PRODUCT);
    for (int i = 0; i < products.size(); ++i) {
        const QDomElement product = products.at(i).toElement();
        if (product.hasAttribute(QStringLiteral("id")) && product.attribute(QStringLiteral("id")) == name)
            return product;
    }
    return QDomNode();
}

QDomNode updateXMLManager::getPersistentProductNode(QDomDocument* doc, QString name)
{
    const QDomElement list = doc->documentElement().firstChildElement(LASTDOWNLOADED);
    for (QDomElement e = list.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        if (e.hasAttribute(QStringLiteral("id")) && e.attribute(QStringLiteral("id")) == name)
            return e;
    }
    return QDomNode();
}

QDomElement updateXMLManager::findProduct(QString name)
{
    if (!openProductsXML())
        return QDomElement();
    return getProductNodeByName(&productsDocument, name).toElement();
}

QString updateXMLManager::getZipFileName(QString name)
{
    const QString zip = findProduct(name).attribute(QStringLiteral("zipfile"));
    if (!zip.isEmpty() && !isPlainFileName(zip)) {
        qDebug() << "Package name that leaves the product folder refused:" << zip;
        return QString();
    }
    return zip;
}

UpdateInfo updateXMLManager::readUpdateInfo(QString name)
{
    UpdateInfo info;
    const QDomElement product = findProduct(name);
    if (product.isNull())
        return info;
    const QDomElement inner = product.firstChildElement(INFO);
    info.latestfw = inner.firstChildElement(QStringLiteral("latestfw")).text();
    info.notes = product.firstChildElement(QStringLiteral("notes")).text();
    info.instructions = product.firstChildElement(QStringLiteral("instructions")).text();
    info.noupdate = inner.firstChildElement(QStringLiteral("noupdate")).text();
    return info;
}

QString updateXMLManager::findPrefixedFile(const QString& folder, const QString& prefix) const
{
    if (prefix.isEmpty() || folder.isEmpty())
        return QString();
    QStringList matches;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.fileName().startsWith(prefix))
            matches.append(QDir::toNativeSeparators(entry.absoluteFilePath()));
    }
    if (matches.size() > 1) {
        // Which one the listing gives last is chance: installing either could flash the wrong image.
        qDebug() << "More than one firmware file starts with" << prefix << ":" << matches;
        return QString();
    }
    return matches.value(0);
}

QString updateXMLManager::getFirmwareFileName(QString folder, QString name)
{
    const QDomElement product = findProduct(name);
    const QString prefix = product.firstChildElement(INFO).firstChildElement(QStringLiteral("fwprefix")).text();
    return findPrefixedFile(folder, prefix);
}

QString updateXMLManager::getNextFirmwareFile(QString folder, QString name, int number)
{
    const QDomElement product = findProduct(name);
    if (product.isNull())
        return QString();
    QDomElement part;
    const QDomElement parts = product.firstChildElement(INFO).firstChildElement(QStringLiteral("fwextension"));
    for (QDomElement e = parts.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        bool ok = false;
        if (e.hasAttribute(QStringLiteral("number")) && e.attribute(QStringLiteral("number")).toInt(&ok, 10) == number
            && ok)
            part = e;
    }
    const QString prefix = part.firstChildElement(QStringLiteral("extprefix")).text();
    if (prefix.isEmpty())
        return QString();
    if (folder.isEmpty()) {
        const QString zip = product.attribute(QStringLiteral("zipfile"));
        if (!isPlainFileName(zip))
            return QString();
        folder = folderPath + QDir::separator() + name + QDir::separator() + baseName(zip);
    }
    return findPrefixedFile(folder, prefix);
}

QString updateXMLManager::getDeprecatedZipFile(QString name)
{
    if (!openXMLPersistent())
        return QString();
    const QDomElement stored = getPersistentProductNode(&persistentDocument, name).toElement();
    if (stored.isNull())
        return QString();
    const QDomElement latest = stored.firstChildElement(INFO).firstChildElement(QStringLiteral("latestfw"));
    if (!latest.isNull() && ui)
        ui->updateDownloadedLabel->setText(QStringLiteral("Downloaded Version: ") + latest.text()
                                           + QStringLiteral(" (Deprecated)"));
    const QString zip = stored.attribute(QStringLiteral("zipfile"));
    return isPlainFileName(zip) ? zip : QString();
}

bool updateXMLManager::updateDownloadListXML(QString name)
{
    if (!openProductsXML())
        return false;
    const QDomElement product = getProductNodeByName(&productsDocument, name).toElement();
    const bool written = myXMLManager::editSettings([&](QDomDocument& doc) {
        QDomElement root = doc.documentElement();
        QDomElement list = root.firstChildElement(LASTDOWNLOADED);
        if (list.isNull())
            list = root.appendChild(doc.createElement(LASTDOWNLOADED)).toElement();
        for (QDomElement e = list.firstChildElement(); !e.isNull();) {
            const QDomElement next = e.nextSiblingElement();
            if (e.hasAttribute(QStringLiteral("id")) && e.attribute(QStringLiteral("id")) == name)
                list.removeChild(e);
            e = next;
        }
        if (!product.isNull())
            list.appendChild(doc.importNode(product, true));
        return true;
    });
    openXMLPersistent();
    return written;
}

QString updateXMLManager::updateValue(const QString& element)
{
    if (!openXMLPersistent())
        return QString();
    return persistentDocument.documentElement().firstChildElement(UPDATE).firstChildElement(element).text();
}

bool updateXMLManager::setUpdateValue(const QString& element, const QString& text)
{
    const bool written = myXMLManager::editSettings([&](QDomDocument& doc) {
        addUpdateDefaults(doc);
        QDomElement e = doc.documentElement().firstChildElement(UPDATE).firstChildElement(element);
        while (e.hasChildNodes())
            e.removeChild(e.firstChild());
        e.appendChild(doc.createTextNode(text));
        return true;
    });
    openXMLPersistent();
    return written;
}

bool updateXMLManager::isCheckOnStartup()
{
    return updateValue(STARTCHECK) == QLatin1String("enabled");
}

void updateXMLManager::setCheckOnStartup(bool enabled)
{
    setUpdateValue(STARTCHECK, enabled ? QStringLiteral("enabled") : QStringLiteral("disabled"));
}

QString updateXMLManager::getLastChecked()
{
    return updateValue(LASTCHECKED);
}

void updateXMLManager::setLastChecked(QString text)
{
    setUpdateValue(LASTCHECKED, text);
}

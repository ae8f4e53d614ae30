#ifndef UPDATEXMLMANAGER_H
#define UPDATEXMLMANAGER_H

#include <QDomDocument>
#include <QDomElement>
#include <QDomNode>
#include <QString>

class Ui_MainUI;

// What the products XML says about one product; every text is empty when the catalogue cannot
// be read or does not name the product.
struct UpdateInfo
{
    QString latestfw;
    QString notes;
    QString instructions;
    QString noupdate;
};

// The firmware catalogue ("firmwareUpgradeTabInfo.xml", root "VelmoFirmwareUpgrade") and the
// update elements of the settings file ("VelmoPersistent.xml"), both in the per-user firmware
// folder. Every lookup reads the file again; nothing is cached between calls. The settings file
// is read and written through myXMLManager (atomic writes, never over a file it cannot read).
//
// Usable on its own: a page that only needs the firmware file of an unpacked package may create
// one with a null form and call getNextFirmwareFile with an empty folder.
class updateXMLManager
{
public:
    explicit updateXMLManager(Ui_MainUI* ui);

    // The user's home folder + "VelmoFWUpgrade", in native separators.
    static QString firmwareFolder();
    // A package name that stays inside the product's folder: no separator, not "." or "..".
    static bool isPlainFileName(const QString& name);
    // The name up to its last "." (the whole name when it has none).
    static QString baseName(const QString& fileName);

    // Creates the firmware folder and puts the settings file and the catalogue there: copies of
    // the files of that name in the current folder when present (never over existing ones), and
    // a settings file with the default update elements otherwise.
    void setupFirmwareFolder();

    bool openDeviceXML(QString path);
    bool openProductsXML();
    bool openXMLPersistent();
    // The first "product" element of `doc` (any depth, document order) whose "id" is `name`.
    QDomNode getProductNodeByName(QDomDocument* doc, QString name);
    // The stored copy of `name` under the settings file's "lastdownloadedfw".
    QDomNode getPersistentProductNode(QDomDocument* doc, QString name);
    // The catalogue's product element for `name` (read afresh), or a null element.
    QDomElement findProduct(QString name);

    // The package file name; empty when missing or when it would leave the product's folder.
    QString getZipFileName(QString name);
    UpdateInfo readUpdateInfo(QString name);
    // The one file of `folder` whose name starts with the product's "fwprefix"; empty when there
    // is none or more than one (an ambiguous package installs nothing).
    QString getFirmwareFileName(QString folder, QString name);
    // The one file whose name starts with the "extprefix" of the product's firmware part
    // `number`. An empty folder means where the update page unpacks the downloaded package:
    // firmware folder / name / package name without its extension.
    QString getNextFirmwareFile(QString folder, QString name, int number);
    // The package of the copy stored at the last download of `name`; shows its version in
    // "updateDownloadedLabel" when it has one.
    QString getDeprecatedZipFile(QString name);
    // Stores a copy of the product's catalogue entry as its last downloaded package.
    bool updateDownloadListXML(QString name);

    bool isCheckOnStartup();
    void setCheckOnStartup(bool enabled);
    QString getLastChecked();
    void setLastChecked(QString text);

private:
    QString findPrefixedFile(const QString& folder, const QString& prefix) const;
    QString updateValue(const QString& element);
    bool setUpdateValue(const QString& element, const QString& text);

    QDomDocument persistentDocument;
    QDomDocument productsDocument;
    QString folderPath;
    Ui_MainUI* ui = nullptr;
};

#endif // UPDATEXMLMANAGER_H

#ifndef SCALER_SETTINGSFILE_H
#define SCALER_SETTINGSFILE_H

// The generic scaler's settings file: an XML document with the doctype and root element
// "scalerSettings", the model's setting elements (text only) and six "preset" elements of 16
// children each. Writing and reading it touch no widget and no link, so a test can take the file
// apart without a unit or a form.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>

namespace ScalerSettingsFile {

// What a file carries: (element, value text) pairs in document order, and per preset its
// number and the 15 values in presetChildren() order.
struct Preset {
    int number = 0;
    QStringList values;
};
struct Content {
    QList<QPair<QString, QString>> settings;
    QList<Preset> presets;
};

// All 28 setting elements, in document order, and those one model (device type 4, 5 or 6)
// writes and takes. Empty for any other type.
const QStringList& settingElements();
QStringList settingElementsFor(int deviceType);
// The model reports a value for the element. The two-input scaler's file has a colorSpaces
// element, but the unit reports no output colour space, so the element carries none of its own.
bool modelHasValue(const QString& element, int deviceType);
// The 15 value children of a preset, after its "number".
const QStringList& presetChildren();

// The document text: doctype line, root, one element a line, indent of one space, LF.
QByteArray toXml(const Content& content);
// Writes the document atomically: a failed write leaves an older file whole. False with *error.
bool writeFile(const QString& path, const Content& content, QString* error);

// The model's short name taken from the product name; the product name itself for others.
QString shortName(const QString& productName);
// The name the save dialog proposes: dir/<short name>_settings_yyyy-MM-dd_hhmm.xml.
QString proposedFileName(const QString& dir, const QString& productName, const QDateTime& when);
// The clock of the proposed name; a test puts its own in (an empty function restores the real one).
QDateTime now();
void setClock(std::function<QDateTime()> clock);

// One command the import sends: the line is `command` and the non-empty arguments, each after a
// blank. `what` names the element it came from, for the report.
struct Command {
    QString command;
    QString param1;
    QString param2;
    QString what;
};

// What a file asks of a unit of `deviceType`. `fileError` set: the whole file is refused (not
// XML, another root or doctype, another model's file, nothing recognised) and `commands` is
// empty. Otherwise `commands` holds every valid setting and preset value, and `problems` one line
// for each element or value that was skipped.
struct ImportPlan {
    QString fileError;
    QList<Command> commands;
    QStringList problems;
};
ImportPlan planImport(const QByteArray& xml, int deviceType);

// The position of `text` in `list`, letter case ignored; -1 when it is not there.
int indexInList(const QStringList& list, const QString& text);

} // namespace ScalerSettingsFile

#endif // SCALER_SETTINGSFILE_H

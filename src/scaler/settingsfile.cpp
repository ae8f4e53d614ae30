#include "settingsfile.h"

#include "constants.h"
#include "edidfile.h"

#include <QDir>
#include <QDomDocument>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace ScalerSettingsFile {

namespace {

// How a value is checked and what it becomes on the line to the unit.
enum class Kind {
    Number, // a decimal integer in [min, max], sent as it stands
    Switch, // "0" or "1"
    Choice, // a text of `choices`, letter case ignored, sent as its position
};

struct Rule {
    QString element;
    QString command;
    Kind kind;
    int min = 0;
    int max = 0;
    QStringList choices;
    // Colour balance: the channel goes first on the line, the value second.
    QString channel;
};

// Which models write an element: bit (type - 4).
const int Sdi = 1, Dvi = 2, Hdmi = 4, All = Sdi | Dvi | Hdmi;

struct Element {
    const char* name;
    int models;
};

const Element elementTable[] = {
    {"outputResolution", All}, {"contrast", All},         {"brightness", All},        {"saturation", All},
    {"hue", All},              {"sharpness", All},        {"outputLock", Sdi},        {"edidModeVGA", Sdi},
    {"edidModeHDMI", Sdi},     {"colorRange", Dvi | Hdmi}, {"edidMode", Dvi | Hdmi},  {"colorTemperature", All},
    {"colorBalanceRed", All},  {"colorBalanceGreen", All}, {"colorBalanceBlue", All}, {"edgeEnhancement", All},
    {"underOverscan", All},    {"aspectRatio", All},      {"horizontalMirror", All},  {"verticalMirror", All},
    {"horizontalShift", All},  {"verticalShift", All},    {"phase", All},             {"osdTimeout", All},
    {"displayNotify", All},    {"testPattern", All},      {"colorSpaces", Sdi | Hdmi}, {"outputModes", Sdi | Hdmi},
};

int modelBit(int deviceType)
{
    return deviceType >= 4 && deviceType <= 6 ? 1 << (deviceType - 4) : 0;
}

int modelsOf(const QString& element)
{
    for (const Element& e : elementTable) {
        if (element == QLatin1String(e.name))
            return e.models;
    }
    return 0;
}

QList<Rule> rulesFor(int deviceType)
{
    const QStringList resolutions = deviceType == 4 ? SDI_OUTPUT_RES_CHOICES : OUTPUT_RES_CHOICES;
    const QString balance = QStringLiteral("#SET_COLOR_BALANCE");
    return {
        {"outputResolution", "#SET_OUTPUT_RES", Kind::Choice, 0, 0, resolutions, {}},
        {"contrast", "#SET_CONTRAST", Kind::Number, 0, 100, {}, {}},
        {"brightness", "#SET_BRIGHTNESS", Kind::Number, 0, 100, {}, {}},
        {"saturation", "#SET_SATURATION", Kind::Number, 0, 100, {}, {}},
        {"hue", "#SET_HUE", Kind::Number, 0, 100, {}, {}},
        {"sharpness", "#SET_SHARPNESS", Kind::Number, 0, 100, {}, {}},
        {"outputLock", "#SET_OUTPUT_LOCK", Kind::Number, 0, int(OUTPUT_LOCK_CHOICES.size()) - 1, {}, {}},
        {"edidModeVGA", "#SET_EDID_MODE", Kind::Switch, 0, 1, {}, {}},
        {"edidModeHDMI", "#SET_EDID_MODE", Kind::Switch, 0, 1, {}, {}},
        {"colorRange", "#SET_COLOR_RANGE", Kind::Choice, 0, 0, COLOR_RANGE_CHOICES, {}},
        {"edidMode", "#SET_EDID_MODE", Kind::Switch, 0, 1, {}, {}},
        {"colorTemperature", "#SET_COLOR_TEMP", Kind::Choice, 0, 0, COLOR_TEMP_CHOICES, {}},
        {"colorBalanceRed", balance, Kind::Number, 0, 100, {}, "0"},
        {"colorBalanceGreen", balance, Kind::Number, 0, 100, {}, "1"},
        {"colorBalanceBlue", balance, Kind::Number, 0, 100, {}, "2"},
        {"edgeEnhancement", "#SET_EDGE_ENHANCE", Kind::Choice, 0, 0, EDGE_ENHANCE_CHOICES, {}},
        {"underOverscan", "#SET_UO_SCAN", Kind::Number, -50, 50, {}, {}},
        {"aspectRatio", "#SET_ASPECT_RATIO", Kind::Choice, 0, 0, ASPECT_RATIO_CHOICES, {}},
        {"horizontalMirror", "#SET_HORIZONTAL_MIRROR", Kind::Switch, 0, 1, {}, {}},
        {"verticalMirror", "#SET_VERTICAL_MIRROR", Kind::Switch, 0, 1, {}, {}},
        {"horizontalShift", "#SET_HORIZONTAL_SHIFT", Kind::Number, -100, 100, {}, {}},
        {"verticalShift", "#SET_VERTICAL_SHIFT", Kind::Number, -100, 100, {}, {}},
        // 0 is the automatic phase.
        {"phase", "#SET_PHASE", Kind::Number, 0, 64, {}, {}},
        // 0 is no time-out.
        {"osdTimeout", "#SET_OSD_TIMEOUT", Kind::Number, 0, 255, {}, {}},
        {"displayNotify", "#SET_DISPLAY_NOTIFY", Kind::Switch, 0, 1, {}, {}},
        {"testPattern", "#SET_TEST_PATTERNS", Kind::Choice, 0, 0, TEST_PATTERN_CHOICES, {}},
        {"colorSpaces", "#SET_OUTPUT_COLOR", Kind::Choice, 0, 0, OUTPUT_COLOR_CHOICES, {}},
        {"outputModes", "#SET_OUTPUT_MODE", Kind::Choice, 0, 0, OUTPUT_MODE_CHOICES, {}},
    };
}

// A preset value: integer fields in the editor's range, the three rates as plain decimals, the
// polarities as the buttons' "+" and "-".
enum class PresetKind { Integer, Real, Polarity };
struct PresetRule {
    const char* child;
    const char* command;
    PresetKind kind;
};
const PresetRule presetRules[] = {
    {"pixelClock", "#SET_PIXEL_CLOCK", PresetKind::Real},
    {"hScanRate", "#SET_HORZ_SCAN_RATE", PresetKind::Real},
    {"hSyncWidth", "#SET_HORZ_SYNC_WIDTH", PresetKind::Integer},
    {"hFrontPorch", "#SET_HORZ_FRONT_PORCH", PresetKind::Integer},
    {"hActive", "#SET_HORZ_ACTIVE", PresetKind::Integer},
    {"hBackPorch", "#SET_HORZ_BACK_PORCH", PresetKind::Integer},
    {"hTotal", "#SET_HORZ_TOTAL", PresetKind::Integer},
    {"hPolarityGroup", "#SET_HORZ_SYNC_POLARITY", PresetKind::Polarity},
    {"vRefresh", "#SET_VERT_REFRESH_RATE", PresetKind::Real},
    {"vSyncWidth", "#SET_VERT_SYNC_WIDTH", PresetKind::Integer},
    {"vFrontPorch", "#SET_VERT_FRONT_PORCH", PresetKind::Integer},
    {"vActive", "#SET_VERT_ACTIVE", PresetKind::Integer},
    {"vBackPorch", "#SET_VERT_BACK_PORCH", PresetKind::Integer},
    {"vTotal", "#SET_VERT_TOTAL", PresetKind::Integer},
    {"vPolarityGroup", "#SET_VERT_SYNC_POLARITY", PresetKind::Polarity},
};

const int presetCount = 6;
// Totals are sums of four editor values of at most 9999 each.
const int presetIntegerMax = 4 * 9999;
const double presetRealMax = 9999.0;

// Nothing below a blank and no DEL: a carriage return or line feed in a value would end the
// command line early and start another command on the unit.
bool hasControlCharacter(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

// Plain decimals only, the same under every locale.
bool readInteger(const QString& text, int min, int max, int* value)
{
    static const QRegularExpression form(QStringLiteral("\\A-?[0-9]{1,6}\\z"));
    if (!form.match(text).hasMatch())
        return false;
    const int n = text.toInt();
    if (n < min || n > max)
        return false;
    *value = n;
    return true;
}

bool isPlainReal(const QString& text, double max)
{
    static const QRegularExpression form(QStringLiteral("\\A[0-9]{1,6}(\\.[0-9]{1,6})?\\z"));
    return form.match(text).hasMatch() && text.toDouble() <= max;
}

QString shown(const QString& text)
{
    QString s = text;
    for (QChar& c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QChar(0xfffd);
    }
    return s.size() > 40 ? s.left(40) + QStringLiteral("...") : s;
}

std::function<QDateTime()>& clockFunction()
{
    static std::function<QDateTime()> clock;
    return clock;
}

void planPreset(const QDomElement& preset, ImportPlan* plan, QSet<int>* seen)
{
    const QDomElement numberElement = preset.firstChildElement(QStringLiteral("number"));
    const QString numberText = numberElement.text().trimmed();
    int number = -1;
    if (numberElement.isNull() || hasControlCharacter(numberElement.text())
        || !readInteger(numberText, 0, presetCount - 1, &number)) {
        plan->problems << QStringLiteral("A timing preset without a valid number (0 to 5) was skipped.");
        return;
    }
    if (seen->contains(number)) {
        plan->problems << QStringLiteral("Timing preset %1 appears twice; the second was skipped.").arg(number + 1);
        return;
    }
    seen->insert(number);
    const QString index = QString::number(number);
    for (const PresetRule& rule : presetRules) {
        const QDomElement child = preset.firstChildElement(QLatin1String(rule.child));
        if (child.isNull())
            continue;
        const QString raw = child.text();
        const QString text = raw.trimmed();
        QString value;
        bool ok = !hasControlCharacter(raw);
        if (ok) {
            switch (rule.kind) {
            case PresetKind::Integer: {
                int n = 0;
                ok = readInteger(text, 0, presetIntegerMax, &n);
                value = QString::number(n);
                break;
            }
            case PresetKind::Real:
                ok = isPlainReal(text, presetRealMax);
                value = text;
                break;
            case PresetKind::Polarity:
                // A preset whose polarity the unit never reported is written empty: nothing to set.
                if (text.isEmpty())
                    continue;
                ok = SYNC_POLARITY_CHOICES.contains(text);
                value = text == QLatin1String("-") ? QStringLiteral("0") : QStringLiteral("1");
                break;
            }
        }
        if (!ok) {
            plan->problems << QStringLiteral("Timing preset %1: \"%2\" is not a valid %3; skipped.")
                                  .arg(number + 1)
                                  .arg(shown(raw), QString::fromLatin1(rule.child));
            continue;
        }
        plan->commands << Command{QLatin1String(rule.command), value, index,
                                  QStringLiteral("preset %1 %2").arg(number + 1).arg(QLatin1String(rule.child))};
    }
}

} // namespace

const QStringList& settingElements()
{
    static const QStringList names = [] {
        QStringList list;
        for (const Element& e : elementTable)
            list << QLatin1String(e.name);
        return list;
    }();
    return names;
}

QStringList settingElementsFor(int deviceType)
{
    QStringList list;
    for (const Element& e : elementTable) {
        if (e.models & modelBit(deviceType))
            list << QLatin1String(e.name);
    }
    return list;
}

bool modelHasValue(const QString& element, int deviceType)
{
    return !(deviceType == 4 && element == QLatin1String("colorSpaces"))
           && settingElementsFor(deviceType).contains(element);
}

const QStringList& presetChildren()
{
    static const QStringList names = [] {
        QStringList list;
        for (const PresetRule& rule : presetRules)
            list << QLatin1String(rule.child);
        return list;
    }();
    return names;
}

QByteArray toXml(const Content& content)
{
    QDomDocument doc(SCALER_SETTINGS_DOCTYPE);
    QDomElement root = doc.createElement(SCALER_SETTINGS_DOCTYPE);
    doc.appendChild(root);
    auto leaf = [&doc](QDomElement& parent, const QString& name, const QString& value) {
        QDomElement e = doc.createElement(name);
        e.appendChild(doc.createTextNode(value));
        parent.appendChild(e);
    };
    for (const auto& setting : content.settings)
        leaf(root, setting.first, setting.second);
    for (const Preset& preset : content.presets) {
        QDomElement e = doc.createElement(QStringLiteral("preset"));
        leaf(e, QStringLiteral("number"), QString::number(preset.number));
        for (int i = 0; i < presetChildren().size(); ++i)
            leaf(e, presetChildren().at(i), preset.values.value(i));
        root.appendChild(e);
    }
    return doc.toByteArray(1);
}

bool writeFile(const QString& path, const Content& content, QString* error)
{
    // The same atomic, checked write as the EDID files: the bytes are what matters, not the kind.
    return writeEdidFile(path, toXml(content), error);
}

QString shortName(const QString& productName)
{
    if (productName.contains(QLatin1String("Audio to HDMI Scaler")))
        return QStringLiteral("Darvosk");
    if (productName.contains(QLatin1String("VGA to DVI Scaler")))
        return QStringLiteral("Fornale");
    if (productName.contains(QLatin1String("VGA to 3GSDI Scaler")))
        return QStringLiteral("Cormith");
    return productName;
}

QString proposedFileName(const QString& dir, const QString& productName, const QDateTime& when)
{
    // The date is formatted with fixed digits, whatever the user's locale.
    return dir + QDir::separator() + shortName(productName) + QStringLiteral("_settings_")
        + QLocale::c().toString(when, QStringLiteral("yyyy-MM-dd_hhmm")) + QStringLiteral(".xml");
}

QDateTime now()
{
    const auto& clock = clockFunction();
    return clock ? clock() : QDateTime::currentDateTime();
}

void setClock(std::function<QDateTime()> clock)
{
    clockFunction() = std::move(clock);
}

int indexInList(const QStringList& list, const QString& text)
{
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).compare(text, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

ImportPlan planImport(const QByteArray& xml, int deviceType)
{
    ImportPlan plan;
    if (!modelBit(deviceType)) {
        plan.fileError = QStringLiteral("Settings can only be imported into a generic scaler.");
        return plan;
    }
    QDomDocument doc;
    QString parseError;
    int line = 0;
    if (!doc.setContent(xml, &parseError, &line)) {
        plan.fileError = QStringLiteral("The file is not readable XML (line %1: %2).").arg(line).arg(parseError);
        return plan;
    }
    const QDomElement root = doc.documentElement();
    if (root.tagName() != SCALER_SETTINGS_DOCTYPE || doc.doctype().name() != SCALER_SETTINGS_DOCTYPE) {
        plan.fileError = QStringLiteral("The file is not a scaler settings file.");
        return plan;
    }

    // The model's own elements say which model wrote the file: one another model has and this
    // one lacks means the file belongs to another unit.
    const int bit = modelBit(deviceType);
    for (QDomElement e = root.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
        const int models = modelsOf(e.tagName());
        if (models && !(models & bit)) {
            plan.fileError = QStringLiteral("The file was written for another scaler model (it has %1).").arg(e.tagName());
            return plan;
        }
    }

    const QList<Rule> rules = rulesFor(deviceType);
    QList<Command> presetCommands;
    QSet<int> presetsSeen;
    QSet<QString> settingsSeen;
    bool recognised = false;
    for (QDomNode node = root.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (node.isComment() || node.isProcessingInstruction())
            continue;
        if (!node.isElement()) {
            if (!node.nodeValue().trimmed().isEmpty())
                plan.problems << QStringLiteral("Text outside any setting was skipped.");
            continue;
        }
        const QDomElement e = node.toElement();
        const QString name = e.tagName();
        if (name == QLatin1String("preset")) {
            recognised = true;
            ImportPlan presetPlan;
            planPreset(e, &presetPlan, &presetsSeen);
            presetCommands << presetPlan.commands;
            plan.problems << presetPlan.problems;
            continue;
        }
        const auto rule = std::find_if(rules.begin(), rules.end(), [&](const Rule& r) { return r.element == name; });
        if (rule == rules.end()) {
            plan.problems << QStringLiteral("Unknown element <%1> was skipped.").arg(shown(name));
            continue;
        }
        recognised = true;
        if (settingsSeen.contains(name)) {
            plan.problems << QStringLiteral("<%1> appears twice; the second was skipped.").arg(name);
            continue;
        }
        settingsSeen.insert(name);
        const QString raw = e.text();
        const QString text = raw.trimmed();
        QString value;
        bool ok = !hasControlCharacter(raw) && e.firstChildElement().isNull();
        if (ok) {
            int n = 0;
            switch (rule->kind) {
            case Kind::Number:
            case Kind::Switch:
                ok = readInteger(text, rule->min, rule->max, &n);
                value = QString::number(n);
                break;
            case Kind::Choice:
                n = indexInList(rule->choices, text);
                ok = n >= 0;
                value = QString::number(n);
                break;
            }
        }
        if (!ok) {
            // An element the model reports nothing for holds no value of this unit (its export
            // leaves it empty): there is nothing to apply and nothing missing.
            if (!modelHasValue(name, deviceType))
                continue;
            plan.problems << QStringLiteral("<%1>: \"%2\" is not a valid value; skipped.").arg(name, shown(raw));
            continue;
        }
        Command command{rule->command, value, QString(), name};
        if (!rule->channel.isEmpty()) {
            command.param1 = rule->channel;
            command.param2 = value;
        } else if (name == QLatin1String("edidModeVGA") || name == QLatin1String("edidModeHDMI")) {
            // One word with its input: the sender fills in the input of a bare "#SET_EDID_MODE"
            // from the EDID page's source list, which has nothing to do with the file.
            const QString input = name == QLatin1String("edidModeVGA") ? QStringLiteral("0") : QStringLiteral("1");
            command.command = QStringLiteral("#SET_EDID_MODE %1 %2").arg(value, input);
            command.param1.clear();
        }
        plan.commands << command;
    }
    if (!recognised) {
        plan.fileError = QStringLiteral("The file holds no scaler settings.");
        plan.commands.clear();
        return plan;
    }

    // The unit takes a sharpness only while the edge enhancement is "User": set it after that.
    const auto isNamed = [](const QString& what) { return [what](const Command& c) { return c.what == what; }; };
    const auto sharpness = std::find_if(plan.commands.begin(), plan.commands.end(), isNamed("sharpness"));
    const auto edge = std::find_if(plan.commands.begin(), plan.commands.end(), isNamed("edgeEnhancement"));
    if (sharpness != plan.commands.end() && edge != plan.commands.end() && sharpness < edge) {
        const Command moved = *sharpness;
        const int edgeIndex = int(edge - plan.commands.begin());
        plan.commands.removeAt(int(sharpness - plan.commands.begin()));
        plan.commands.insert(edgeIndex, moved);
    }
    plan.commands << presetCommands;
    return plan;
}

} // namespace ScalerSettingsFile

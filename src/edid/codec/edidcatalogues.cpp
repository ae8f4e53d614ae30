#include "edidcatalogues.h"

#include "constants.h"
#include "regularfile.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>
#include <cmath>

// The library is static: its resources are only linked in when something refers to them.
static void registerCatalogueResources()
{
    Q_INIT_RESOURCE(catalogues);
}

static void initCatalogueResources()
{
    static const bool done = (registerCatalogueResources(), true);
    Q_UNUSED(done);
}

namespace {

const QString PerUserFolderName = QStringLiteral("VelmoPlexaT");
const QString ShippedPrefix = QStringLiteral(":/catalogues/");

QList<int> sortedValues(const QSet<int>& values)
{
    QList<int> list = values.values();
    std::sort(list.begin(), list.end());
    return list;
}

int toInt(const QString& text)
{
    return text.trimmed().toInt(); // C locale; 0 when it does not parse
}

double toDouble(const QString& text)
{
    return text.trimmed().toDouble();
}

// Comma-separated numbers; an empty part reads as 0, a blank text as an empty list.
template<typename T>
QList<T> toList(const QString& text, T (*convert)(const QString&))
{
    QList<T> values;
    if (text.trimmed().isEmpty())
        return values;
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString& part : parts)
        values << convert(part);
    return values;
}

int integerRate(const QString& text)
{
    const double rate = toDouble(text);
    return std::isfinite(rate) && std::fabs(rate) < 1e9 ? int(rate) : 0; // truncated toward zero
}

Timing readTiming(const QDomElement& entry)
{
    Timing t;
    for (QDomElement child = entry.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString key = child.tagName();
        const QString text = child.text();
        if (key == QLatin1String("type")) t.type = text;
        else if (key == QLatin1String("name")) t.name = text;
        else if (key == QLatin1String("vic")) t.vic = toInt(text);
        else if (key == QLatin1String("hdmiVic")) t.hdmiVic = toInt(text);
        else if (key == QLatin1String("hActive")) t.hActive = toInt(text);
        else if (key == QLatin1String("vActive")) t.vActive = toInt(text);
        else if (key == QLatin1String("ip")) t.ip = text.trimmed().toLower() == QLatin1String("interlaced");
        else if (key == QLatin1String("hAspect")) t.hAspect = toInt(text);
        else if (key == QLatin1String("vAspect")) t.vAspect = toInt(text);
        else if (key == QLatin1String("hTotal")) t.hTotal = toInt(text);
        else if (key == QLatin1String("hBlank")) t.hBlank = toInt(text);
        else if (key == QLatin1String("hFront")) t.hFront = toInt(text);
        else if (key == QLatin1String("hSync")) t.hSync = toInt(text);
        else if (key == QLatin1String("hBack")) t.hBack = toInt(text);
        else if (key == QLatin1String("hSize")) t.hSize = toInt(text);
        else if (key == QLatin1String("hPol")) t.hPol = text.trimmed().toLower().startsWith(QLatin1Char('p'));
        else if (key == QLatin1String("vTotal")) t.vTotal = toInt(text);
        else if (key == QLatin1String("vBlank")) t.vBlank = toInt(text);
        else if (key == QLatin1String("vFront")) t.vFront = toInt(text);
        else if (key == QLatin1String("vSync")) t.vSync = toInt(text);
        else if (key == QLatin1String("vBack")) t.vBack = toInt(text);
        else if (key == QLatin1String("vSize")) t.vSize = toInt(text);
        else if (key == QLatin1String("vPol")) t.vPol = text.trimmed().toLower().startsWith(QLatin1Char('p'));
        else if (key == QLatin1String("hFreq")) t.hFreq = toDouble(text);
        else if (key == QLatin1String("pixelFreq")) t.pixelFreq = toDouble(text);
        else if (key == QLatin1String("fieldRate")) t.fieldRate = integerRate(text);
        else if (key == QLatin1String("hBorder")) t.hBorder = toInt(text);
        else if (key == QLatin1String("vBorder")) t.vBorder = toInt(text);
    }

    // An entry without an aspect ratio gets the reduced ratio of its resolution. One without an
    // image size gets the aspect ratio in its place, as EDID detailed timings carry it when the
    // size is unknown; inventing millimetres from pixel counts would describe a wrong screen.
    const int g = gcd(t.hActive, t.vActive);
    if (g > 0 && (t.hAspect == 0 || t.vAspect == 0)) {
        t.hAspect = t.hActive / g;
        t.vAspect = t.vActive / g;
    }
    if (t.hSize == 0 || t.vSize == 0) {
        t.hSize = t.hAspect;
        t.vSize = t.vAspect;
    }
    if (g > 0 && (t.hSize > 4095 || t.vSize > 4095)) {
        t.hSize /= g;
        t.vSize /= g;
    }
    return t;
}

AudioFormat readAudioFormat(const QDomElement& entry)
{
    AudioFormat f;
    for (QDomElement child = entry.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString key = child.tagName();
        const QString text = child.text();
        if (key == QLatin1String("type")) f.type = audioFormatCode(text);
        else if (key == QLatin1String("name")) f.name = text;
        else if (key == QLatin1String("channels")) f.channels = toInt(text);
        else if (key == QLatin1String("samplingFreqs")) f.samplingFreqs += toList<double>(text, toDouble);
        else if (key == QLatin1String("maxBitRate")) f.maxBitRate = toInt(text);
        else if (key == QLatin1String("bitDepths")) f.bitDepths += toList<int>(text, toInt);
        else if (key == QLatin1String("audioFrameLength")) f.audioFrameLength += toList<int>(text, toInt);
        else if (key == QLatin1String("explicitMPS")) f.mpegSurroundExplicit = text.trimmed() == QLatin1String("true");
    }
    return f;
}

void readPoint(const QDomElement& colour, double* x, double* y)
{
    for (QDomElement child = colour.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        if (child.tagName() == QLatin1String("x"))
            *x = toDouble(child.text());
        else if (child.tagName() == QLatin1String("y"))
            *y = toDouble(child.text());
    }
}

Chromaticity readChromaticity(const QDomElement& entry)
{
    Chromaticity c;
    for (QDomElement child = entry.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        const QString key = child.tagName();
        if (key == QLatin1String("name")) c.name = child.text();
        else if (key == QLatin1String("red")) readPoint(child, &c.redX, &c.redY);
        else if (key == QLatin1String("green")) readPoint(child, &c.greenX, &c.greenY);
        else if (key == QLatin1String("blue")) readPoint(child, &c.blueX, &c.blueY);
        else if (key == QLatin1String("white")) readPoint(child, &c.whiteX, &c.whiteY);
    }
    return c;
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// The document to append to: the file as it is, or a new one when there is no file yet.
bool openForAppend(const QString& path, const QString& rootName, QDomDocument* document, QString* error)
{
    if (!QFileInfo::exists(path)) {
        *document = QDomDocument(rootName);
        document->appendChild(document->createProcessingInstruction(
            QStringLiteral("xml"), QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
        document->appendChild(document->createElement(rootName));
        return true;
    }
    if (!CatalogueFiles::readDocument(path, document, error))
        return false;
    if (document->documentElement().isNull()) {
        setError(error, QObject::tr("\"%1\" has no root element.").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    return true;
}

QDomElement textElement(QDomDocument& document, const QString& name, const QString& text)
{
    QDomElement element = document.createElement(name);
    element.appendChild(document.createTextNode(text));
    return element;
}

QDomElement pointElement(QDomDocument& document, const QString& name, double x, double y)
{
    QDomElement element = document.createElement(name);
    element.appendChild(textElement(document, QStringLiteral("x"), QString::number(x, 'g', 10)));
    element.appendChild(textElement(document, QStringLiteral("y"), QString::number(y, 'g', 10)));
    return element;
}

bool appendEntry(const QString& path, const QDomElement& entry, QDomDocument& document,
                 QString* error)
{
    document.documentElement().appendChild(entry);
    return CatalogueFiles::writeDocument(path, document, error);
}

} // namespace

QString CatalogueFiles::folder()
{
    return QDir::homePath() + QLatin1Char('/') + PerUserFolderName;
}

QString CatalogueFiles::path(const QString& fileName)
{
    const QString target = folder() + QLatin1Char('/') + fileName;
    if (QFileInfo::exists(target))
        return target;
    initCatalogueResources();
    const QString shipped = ShippedPrefix + fileName;
    if (QDir().mkpath(folder()) && QFile::exists(shipped) && QFile::copy(shipped, target)) {
        // Copies of resources are read-only; the dialogs add entries to this one.
        QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner | QFile::ReadOwner);
    }
    return target;
}

bool CatalogueFiles::readDocument(const QString& path, QDomDocument* document, QString* error)
{
    initCatalogueResources(); // the shipped copies may be read straight from ":/catalogues/"
    // Only a regular file of a sensible size: a FIFO or device here would block the start-up.
    const RegularFileRead file = readRegularFile(path, MaxPerUserXmlBytes);
    if (!file.ok()) {
        setError(error, file.error);
        return false;
    }
    QString message;
    int line = 0;
    int column = 0;
    // The parser would take bytes that are not UTF-8 as U+FFFD, and the next write would make
    // the loss permanent: such a file is refused like one that does not parse.
    if (xmlUtf8Error(file.bytes, &line, &column))
        message = QObject::tr("a byte that is not UTF-8");
    if (!message.isEmpty() || !document->setContent(file.bytes, &message, &line, &column)) {
        setError(error, QObject::tr("\"%1\" is not a valid XML file (line %2, column %3: %4). It was left unchanged.")
                            .arg(QDir::toNativeSeparators(path))
                            .arg(line)
                            .arg(column)
                            .arg(message));
        return false;
    }
    return true;
}

bool CatalogueFiles::writeDocument(const QString& path, const QDomDocument& document, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, QObject::tr("Cannot write \"%1\": %2").arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    file.write(document.toByteArray(1));
    if (!file.commit()) {
        setError(error, QObject::tr("Cannot write \"%1\": %2").arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    return true;
}

bool loadTimingCatalogue(const QString& path, TimingCatalogue* catalogue, QString* error)
{
    *catalogue = TimingCatalogue();
    QDomDocument document;
    if (!CatalogueFiles::readDocument(path, &document, error))
        return false;

    QSet<int> hPixels;
    QSet<int> vLines;
    QSet<int> rates;
    const QDomNodeList entries = document.elementsByTagName(TIMING_ELEMENT);
    for (int i = 0; i < entries.size(); ++i) {
        const Timing t = readTiming(entries.at(i).toElement());
        hPixels.insert(t.hActive);
        rates.insert(t.fieldRate);
        const int lines = t.ip ? 2 * t.vActive : t.vActive;
        if (lines != 0)
            vLines.insert(lines);
        if (t.type == TIMING_TYPE_CUSTOM)
            catalogue->customNames.insert(t.name);
        catalogue->timings << t;
    }
    catalogue->horizontalPixels = sortedValues(hPixels);
    catalogue->verticalLines = sortedValues(vLines);
    catalogue->refreshRates = sortedValues(rates);
    return true;
}

bool loadAudioCatalogue(const QString& path, AudioCatalogue* catalogue, QString* error)
{
    *catalogue = AudioCatalogue();
    QDomDocument document;
    if (!CatalogueFiles::readDocument(path, &document, error))
        return false;
    const QDomNodeList entries = document.elementsByTagName(AUDIO_ELEMENT);
    for (int i = 0; i < entries.size(); ++i) {
        const AudioFormat f = readAudioFormat(entries.at(i).toElement());
        catalogue->names.insert(f.name);
        catalogue->formats << f;
    }
    return true;
}

bool loadChromaticityCatalogue(const QString& path, ChromaticityCatalogue* catalogue, QString* error)
{
    *catalogue = ChromaticityCatalogue();
    QDomDocument document;
    if (!CatalogueFiles::readDocument(path, &document, error))
        return false;
    const QDomNodeList entries = document.elementsByTagName(CHROMATICITY_ELEMENT);
    for (int i = 0; i < entries.size(); ++i) {
        const Chromaticity c = readChromaticity(entries.at(i).toElement());
        catalogue->names.insert(c.name);
        catalogue->sets << c;
    }
    return true;
}

bool appendTimingEntry(const QString& path, const Timing& t, QString* error)
{
    QDomDocument document;
    if (!openForAppend(path, TIMINGS_DOCTYPE, &document, error))
        return false;
    const auto number = [](double value) { return QString::number(value, 'g', 6); };
    const auto positive = [](bool on) { return on ? QStringLiteral("positive") : QStringLiteral("negative"); };

    QDomElement entry = document.createElement(TIMING_ELEMENT);
    const QList<QPair<QString, QString>> children = {
        {QStringLiteral("type"), TIMING_TYPE_CUSTOM},
        {QStringLiteral("name"), t.name},
        {QStringLiteral("pixelFreq"), number(t.pixelFreq)},
        {QStringLiteral("hActive"), QString::number(t.hActive)},
        {QStringLiteral("hTotal"), QString::number(t.hTotal)},
        {QStringLiteral("hBlank"), QString::number(t.hBlank)},
        {QStringLiteral("vActive"), QString::number(t.vActive)},
        {QStringLiteral("vTotal"), QString::number(t.vTotal)},
        {QStringLiteral("vBlank"), QString::number(t.vBlank)},
        {QStringLiteral("hFront"), QString::number(t.hFront)},
        {QStringLiteral("hSync"), QString::number(t.hSync)},
        {QStringLiteral("hBack"), QString::number(t.hBack)},
        {QStringLiteral("hSize"), QString::number(t.hSize)},
        {QStringLiteral("vFront"), QString::number(t.vFront)},
        {QStringLiteral("vSync"), QString::number(t.vSync)},
        {QStringLiteral("vBack"), QString::number(t.vBack)},
        {QStringLiteral("vSize"), QString::number(t.vSize)},
        {QStringLiteral("ip"), t.ip ? QStringLiteral("interlaced") : QStringLiteral("progressive")},
        {QStringLiteral("hPol"), positive(t.hPol)},
        {QStringLiteral("vPol"), positive(t.vPol)},
        {QStringLiteral("hFreq"), number(t.hFreq)},
        {QStringLiteral("fieldRate"), QString::number(t.fieldRate)},
        {QStringLiteral("hBorder"), QString::number(t.hBorder)},
        {QStringLiteral("vBorder"), QString::number(t.vBorder)},
    };
    for (const auto& child : children)
        entry.appendChild(textElement(document, child.first, child.second));
    return appendEntry(path, entry, document, error);
}

bool appendAudioEntry(const QString& path, const AudioFormat& f, QString* error)
{
    QDomDocument document;
    if (!openForAppend(path, AUDIO_DOCTYPE, &document, error))
        return false;
    QDomElement entry = document.createElement(AUDIO_ELEMENT);
    entry.appendChild(textElement(document, QStringLiteral("type"), audioFormatName(f.type)));
    entry.appendChild(textElement(document, QStringLiteral("name"), f.name));
    entry.appendChild(textElement(document, QStringLiteral("channels"), QString::number(f.channels)));
    entry.appendChild(textElement(document, QStringLiteral("samplingFreqs"), doubleListToString(f.samplingFreqs)));
    entry.appendChild(textElement(document, QStringLiteral("bitDepths"), intListToString(f.bitDepths)));
    entry.appendChild(textElement(document, QStringLiteral("audioFrameLength"), intListToString(f.audioFrameLength)));
    entry.appendChild(textElement(document, QStringLiteral("maxBitRate"), QString::number(f.maxBitRate)));
    entry.appendChild(textElement(document, QStringLiteral("explicitMPS"),
                                  f.mpegSurroundExplicit ? QStringLiteral("true") : QStringLiteral("false")));
    return appendEntry(path, entry, document, error);
}

bool appendChromaticityEntry(const QString& path, const Chromaticity& c, QString* error)
{
    QDomDocument document;
    if (!openForAppend(path, CHROMATICITY_DOCTYPE, &document, error))
        return false;
    QDomElement entry = document.createElement(CHROMATICITY_ELEMENT);
    entry.appendChild(textElement(document, QStringLiteral("name"), c.name));
    entry.appendChild(pointElement(document, QStringLiteral("red"), c.redX, c.redY));
    entry.appendChild(pointElement(document, QStringLiteral("green"), c.greenX, c.greenY));
    entry.appendChild(pointElement(document, QStringLiteral("blue"), c.blueX, c.blueY));
    entry.appendChild(pointElement(document, QStringLiteral("white"), c.whiteX, c.whiteY));
    return appendEntry(path, entry, document, error);
}

bool removeChromaticityEntry(const QString& path, const QString& name, QString* error)
{
    QDomDocument document;
    if (!CatalogueFiles::readDocument(path, &document, error))
        return false;
    const QDomNodeList entries = document.elementsByTagName(CHROMATICITY_ELEMENT);
    for (int i = 0; i < entries.size(); ++i) {
        QDomElement entry = entries.at(i).toElement();
        if (entry.firstChildElement(QStringLiteral("name")).text() == name) {
            entry.parentNode().removeChild(entry);
            break;
        }
    }
    return CatalogueFiles::writeDocument(path, document, error);
}

bool TimingFilter::accepts(const Timing& t) const
{
    const QString any = QStringLiteral("Any");
    if (horizontalPixels != any && horizontalPixels.toInt() != t.hActive)
        return false;
    if (verticalLines != any && verticalLines.toInt() != (t.ip ? 2 * t.vActive : t.vActive))
        return false;
    if (refreshRate != any && refreshRate.toInt() != t.fieldRate)
        return false;
    if (scanType == any)
        return true;
    return (scanType == QLatin1String("Interlaced") && t.ip) || (scanType == QLatin1String("Progressive") && !t.ip);
}

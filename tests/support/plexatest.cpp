#include "plexatest.h"
#include "timescale.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace PlexaTest {

QTemporaryDir* prepareEnvironment()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QTemporaryDir* home = nullptr;
    if (!home) {
        home = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/plexa-home-XXXXXX"));
        qputenv("HOME", home->path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (home->path() + QStringLiteral("/.config")).toLocal8Bit());
        qputenv("XDG_CACHE_HOME", (home->path() + QStringLiteral("/.cache")).toLocal8Bit());
    }
    // Discovery talks to the machine's real networks unless told otherwise; tests stay on loopback
    // (or in network namespaces they create themselves).
    if (qEnvironmentVariableIsEmpty("PLEXA_DISCOVERY_NETWORK"))
        qputenv("PLEXA_DISCOVERY_NETWORK", "loopback");
    bool ok = false;
    double scale = qEnvironmentVariable("PLEXA_TEST_TIME_SCALE").toDouble(&ok);
    TimeScale::setFactor(ok && scale > 0 ? scale : 0.02);
    return home;
}

QString dataPath(const QString& name)
{
    return QStringLiteral(PLEXA_TEST_DATA_DIR) + QLatin1Char('/') + name;
}

QString edidCorpusDir()
{
    return QDir::cleanPath(QStringLiteral(PLEXA_EDID_CORPUS_DIR));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

} // namespace PlexaTest

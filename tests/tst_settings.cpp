// The settings file: the folder file dialogs remember, kept beside the update page's settings.
#include "plexatest.h"
#include "myxmlmanager.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>

class TestSettings : public QObject
{
    Q_OBJECT

private:
    QString folder() const { return QFileInfo(myXMLManager::settingsFilePath()).absolutePath(); }

    static QByteArray readAll(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void writeSettings(const QByteArray& content)
    {
        QVERIFY(QDir().mkpath(folder()));
        QFile file(myXMLManager::settingsFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    static QString xmlOf(const QDomNode& node)
    {
        QString text;
        QTextStream stream(&text);
        node.save(stream, 1);
        return text;
    }

    // Names of the document element's children, in order.
    static QStringList childNames(const QByteArray& xml)
    {
        QDomDocument doc;
        if (!doc.setContent(xml))
            return {QStringLiteral("<malformed>")};
        QStringList names;
        for (QDomElement e = doc.documentElement().firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
            names << e.tagName();
        return names;
    }

private slots:
    void init()
    {
        const QString f = folder();
        if (QFileInfo(f).isDir()) {
            QFile::setPermissions(f, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QDir(f).removeRecursively();
        } else {
            QFile::remove(f);
        }
    }

    // No settings file yet: dialogs start at home, and the first choice creates the file so the
    // folder is remembered from then on.
    void firstChoiceCreatesTheFile()
    {
        QCOMPARE(myXMLManager::getLastSavedDirectory(), QDir::homePath());

        QTemporaryDir picked;
        myXMLManager::setLastSavedDirectory(picked.path() + QStringLiteral("/edid.bin"));
        QCOMPARE(myXMLManager::getLastSavedDirectory(), picked.path());

        const QByteArray bytes = readAll(myXMLManager::settingsFilePath());
        QVERIFY2(bytes.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), bytes.constData());
        QVERIFY(bytes.contains("<!DOCTYPE data>"));
        QCOMPARE(childNames(bytes), QStringList{QStringLiteral("lastSavedDirectory")});
    }

    void rememberedFolder_data()
    {
        QTest::addColumn<QString>("chosen");   // relative to a temporary folder; "" = cancelled
        QTest::addColumn<QString>("expected"); // relative to the same folder
        QTest::newRow("file: its folder") << "sub/edid.bin" << "sub";
        QTest::newRow("file not yet saved") << "sub/new.txt" << "sub";
        QTest::newRow("folder itself") << "sub" << "sub";
        QTest::newRow("non-ASCII folder") << QString::fromUtf8("Jörg ü/edid.bin") << QString::fromUtf8("Jörg ü");
        QTest::newRow("cancelled keeps the old folder") << "" << "old";
    }
    void rememberedFolder()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, expected);
        QTemporaryDir base;
        QVERIFY(QDir(base.path()).mkpath(QStringLiteral("sub")));
        QVERIFY(QDir(base.path()).mkpath(QStringLiteral("old")));
        QFile(base.filePath(QStringLiteral("sub/edid.bin"))).open(QIODevice::WriteOnly);
        myXMLManager::setLastSavedDirectory(base.filePath(QStringLiteral("old/x.bin")));

        myXMLManager::setLastSavedDirectory(chosen.isEmpty() ? QString() : base.filePath(chosen));
        QCOMPARE(myXMLManager::getLastSavedDirectory(), base.filePath(expected));
        QCOMPARE(childNames(readAll(myXMLManager::settingsFilePath())),
                 QStringList{QStringLiteral("lastSavedDirectory")});
    }

    void deletedFolderIsStillOffered()
    {
        QString gone;
        {
            QTemporaryDir dir;
            gone = dir.path();
            myXMLManager::setLastSavedDirectory(dir.filePath(QStringLiteral("a.bin")));
        }
        QVERIFY(!QFileInfo::exists(gone));
        QCOMPARE(myXMLManager::getLastSavedDirectory(), gone);
    }

    // The update page's elements share the file: they survive in their order, the folder is
    // appended after them when new and replaced in place afterwards.
    void updatePageSettingsSurvive()
    {
        const QByteArray original =
            "<!DOCTYPE data>\n<data>\n"
            "    <update>\n        <startcheck>enabled</startcheck>\n"
            "        <lastchecked>Mon Mar 4 10:00:00 2024</lastchecked>\n    </update>\n"
            "    <lastdownloadedfw>\n        <product id=\"7\" name=\"Palomir\">\n"
            "            <latestfw>1.2 &amp; 1.3</latestfw>\n        </product>\n    </lastdownloadedfw>\n"
            "</data>\n";
        writeSettings(original);

        myXMLManager::setLastSavedDirectory(QStringLiteral("/srv/one/a.bin"));
        myXMLManager::setLastSavedDirectory(QStringLiteral("/srv/two/b.bin"));

        const QByteArray bytes = readAll(myXMLManager::settingsFilePath());
        QCOMPARE(childNames(bytes), (QStringList{"update", "lastdownloadedfw", "lastSavedDirectory"}));
        QCOMPARE(myXMLManager::getLastSavedDirectory(), QStringLiteral("/srv/two"));
        QDomDocument before, after;
        QVERIFY(before.setContent(original));
        QVERIFY(after.setContent(bytes));
        QCOMPARE(after.doctype().name(), QStringLiteral("data"));
        for (const char* name : {"update", "lastdownloadedfw"}) {
            QCOMPARE(xmlOf(after.documentElement().firstChildElement(name)),
                     xmlOf(before.documentElement().firstChildElement(name)));
        }
    }

    // A settings file that cannot be read is neither used nor replaced; a folder that cannot be
    // written to leaves the old file as it was.
    void unusableFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("malformed")
            << "file" << QByteArray("<data><update><startcheck>enabled</startcheck></update><lastSavedDirectory>/x");
        QTest::newRow("empty file") << "file" << QByteArray();
        QTest::newRow("not a file") << "directory" << QByteArray();
        QTest::newRow("read-only folder")
            << "read-only"
            << QByteArray("<data><update/><lastSavedDirectory>/srv/kept</lastSavedDirectory></data>");
        QTest::newRow("folder path is a file") << "blocked" << QByteArray();
    }
    void unusableFile()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        const QString path = myXMLManager::settingsFilePath();
        QString expectedFolder = QDir::homePath();
        if (kind == QLatin1String("directory")) {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == QLatin1String("blocked")) {
            QFile block(folder());
            QVERIFY(block.open(QIODevice::WriteOnly));
        } else {
            writeSettings(content);
        }
        if (kind == QLatin1String("read-only")) {
            expectedFolder = QStringLiteral("/srv/kept");
            QVERIFY(QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner));
            QFile probe(folder() + QStringLiteral("/probe"));
            if (probe.open(QIODevice::WriteOnly)) {
                probe.remove();
                QSKIP("permissions are not enforced for this user");
            }
        }
        const QStringList entriesBefore = QDir(folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        QCOMPARE(myXMLManager::getLastSavedDirectory(), expectedFolder);
        myXMLManager::setLastSavedDirectory(QStringLiteral("/srv/new/a.bin"));
        QCOMPARE(myXMLManager::getLastSavedDirectory(), expectedFolder);

        if (kind == QLatin1String("file") || kind == QLatin1String("read-only"))
            QCOMPARE(readAll(path), content);
        if (kind == QLatin1String("directory"))
            QVERIFY(QFileInfo(path).isDir());
        if (kind == QLatin1String("blocked"))
            QVERIFY(QFileInfo(folder()).isFile());
        else // no temporary files left behind
            QCOMPARE(QDir(folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entriesBefore);
    }
};

PLEXA_TEST_MAIN(TestSettings)
#include "tst_settings.moc"

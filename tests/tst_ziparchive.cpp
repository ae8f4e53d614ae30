// The ZIP reader against real archives made here by Info-ZIP zip, Python's zipfile and gzip:
// every entry must come out byte for byte as `unzip -p` (or `gzip -dc`) gives it, and every
// damage, hostile name and size trick must end in its own result code without writing outside
// the target.

#include "plexatest.h"
#include "ziparchive.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Crafts archives Info-ZIP will not write. argv: mode, output path, then the mode's arguments.
const char* const CraftScript = R"PY(
import struct, sys, zipfile
mode, out = sys.argv[1], sys.argv[2]

class Unseekable:
    # Writing through this makes zipfile put sizes and CRC in data descriptors.
    def __init__(self, f): self.f = f
    def write(self, b): return self.f.write(b)
    def flush(self): self.f.flush()
    def tell(self): raise OSError('unseekable')
    def seekable(self): return False

if mode == 'names':
    with zipfile.ZipFile(out, 'w') as z:
        for name in sys.argv[3:]:
            z.writestr(zipfile.ZipInfo(name, (2020, 1, 2, 3, 4, 6)), name.encode())
elif mode == 'empty':
    zipfile.ZipFile(out, 'w').close()
elif mode == 'stream':
    with open(out, 'wb') as f, zipfile.ZipFile(Unseekable(f), 'w') as z:
        z.writestr('deflated.txt', b'stream ' * 5000, compress_type=zipfile.ZIP_DEFLATED)
        z.writestr('stored.bin', bytes(range(256)) * 40, compress_type=zipfile.ZIP_STORED)
elif mode == 'attributes':
    with zipfile.ZipFile(out, 'w') as z:
        def put(name, system, attr, extra=b''):
            i = zipfile.ZipInfo(name, (2021, 6, 15, 12, 30, 10))
            i.create_system, i.external_attr, i.extra = system, attr, extra
            z.writestr(i, b'' if name.endswith('/') else name.encode())
        put('dos-readonly.txt', 0, 0x21)
        put('unix-writable.txt', 3, 0o100644 << 16)
        put('unix-readonly.txt', 3, 0o100444 << 16)
        put('unix-dir/', 3, (0o40755 << 16) | 0x10)
        # "UT" with modification time only (flags 1), after an unrelated record.
        put('ut-mtime.txt', 3, 0o100644 << 16,
            struct.pack('<HHI', 0xcafe, 4, 0) + struct.pack('<HHBi', 0x5455, 5, 1, 1000000000))
)PY";

struct Ran {
    int exitCode = -1;
    QByteArray out;
};

Ran run(const QString& program, const QStringList& args, const QString& dir = QString())
{
    QProcess p;
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    p.start(program, args);
    Ran r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    return r;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray randomBytes(int n, quint32 seed)
{
    QRandomGenerator gen(seed);
    QByteArray b(n, Qt::Uninitialized);
    gen.fillRange(reinterpret_cast<quint32*>(b.data()), n / 4);
    return b;
}

quint32 le32(const QByteArray& b, int pos)
{
    const auto* p = reinterpret_cast<const uchar*>(b.constData() + pos);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 le16(const QByteArray& b, int pos)
{
    const auto* p = reinterpret_cast<const uchar*>(b.constData() + pos);
    return quint16(p[0] | p[1] << 8);
}

void put32(QByteArray& b, int pos, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[pos + i] = char(v >> (8 * i));
}

void put16(QByteArray& b, int pos, quint16 v)
{
    b[pos] = char(v);
    b[pos + 1] = char(v >> 8);
}

int endRecordPos(const QByteArray& zip)
{
    return zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
}

// Position of the central record of entry `index` (archives without a prefix).
int centralPos(const QByteArray& zip, int index)
{
    int pos = int(le32(zip, endRecordPos(zip) + 16));
    for (int i = 0; i < index; ++i)
        pos += 46 + le16(zip, pos + 28) + le16(zip, pos + 30) + le16(zip, pos + 32);
    return pos;
}

// Position of the first data byte of entry `index`.
int dataPos(const QByteArray& zip, int index)
{
    const int local = int(le32(zip, centralPos(zip, index) + 42));
    return local + 30 + le16(zip, local + 26) + le16(zip, local + 28);
}

// The system's Python (a version manager's shim in PATH can take seconds to start).
QString python()
{
    const QString system = QStandardPaths::findExecutable("python3", {"/usr/bin"});
    return system.isEmpty() ? QStringLiteral("python3") : system;
}

QString baseFolder()
{
    return QDir::currentPath() + "/";
}

// One open archive, closed on scope exit.
struct Archive {
    ZipHandle h = nullptr;
    int openCode;
    explicit Archive(const QString& path, const char* password = nullptr)
        : openCode(openZip(&h, QFile::encodeName(path).constData(), password))
    {
    }
    ~Archive()
    {
        if (h)
            closeZip(h);
    }
    int count()
    {
        ZipEntry e;
        e.index = -1;
        return getZipItem(h, &e) == ZR_OK ? e.index : -1;
    }
    int select(int index, ZipEntry* e)
    {
        e->index = index;
        return getZipItem(h, e);
    }
    int extract(int index, const QString& target)
    {
        ZipEntry e;
        const int rc = select(index, &e);
        return rc != ZR_OK ? rc : unzipItem(h, QFile::encodeName(target).constData(), &e);
    }
};

} // namespace

class TestZipArchive : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString src;   // files the archives are made of
    QString zipped; // archives

    QString path(const QString& name) const { return tmp.filePath(name); }

    QString infoZip(const QString& name, const QStringList& options, const QStringList& files)
    {
        const QString out = zipped + "/" + name;
        QFile::remove(out);
        const Ran r = run("zip", QStringList{"-q"} + options + QStringList{out} + files, src);
        return r.exitCode == 0 ? out : QString();
    }

    QString crafted(const QString& name, const QString& mode, const QStringList& args = {})
    {
        const QString out = zipped + "/" + name;
        QFile::remove(out);
        const Ran r = run(python(), QStringList{"-c", CraftScript, mode, out} + args);
        return r.exitCode == 0 ? out : QString();
    }

    // A copy of `archive` with `patch` applied.
    template <typename Patch>
    QString patched(const QString& archive, const QString& name, Patch patch)
    {
        QByteArray bytes = PlexaTest::readFile(archive);
        patch(bytes);
        const QString out = zipped + "/" + name;
        return writeFile(out, bytes) ? out : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        src = path("src");
        zipped = path("zipped");
        QVERIFY(QDir().mkpath(zipped));
        QByteArray text;
        for (int i = 0; i < 4000; ++i)
            text += "line " + QByteArray::number(i) + " of the firmware notes\n";
        QByteArray mixed;
        for (int i = 0; i < 24; ++i)
            mixed += randomBytes(32 * 1024, quint32(i)) + QByteArray(32 * 1024, char(0xff));
        QVERIFY(writeFile(src + "/notes.txt", text));
        QVERIFY(writeFile(src + "/random.bin", randomBytes(300 * 1024, 7)));
        QVERIFY(writeFile(src + "/mixed.bin", mixed)); // 1.5 MiB: many buffers, both kinds of block
        QVERIFY(writeFile(src + "/empty.dat", QByteArray()));
        QVERIFY(writeFile(src + "/tree/a/one.txt", "one\n"));
        QVERIFY(writeFile(src + "/tree/a/b/two.bin", randomBytes(5000, 3)));
        QVERIFY(QDir().mkpath(src + "/tree/empty-dir"));
    }

    // Every entry of every kind of archive comes out as `unzip -p` gives it, with the name the
    // base folder plus the stored name; folders come out as folders.
    void extractsLikeUnzip_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("password");
        const QStringList files{"notes.txt", "random.bin", "mixed.bin", "empty.dat"};
        QTest::newRow("stored") << infoZip("stored.zip", {"-0"}, files) << QString();
        QTest::newRow("deflated") << infoZip("deflated.zip", {"-9"}, files) << QString();
        QTest::newRow("recursive") << infoZip("tree.zip", {"-r"}, {"tree", "notes.txt"}) << QString();
        QTest::newRow("encrypted") << infoZip("secret.zip", {"-P", "fw-s3cret"}, files) << "fw-s3cret";
        QTest::newRow("data descriptors") << crafted("stream.zip", "stream") << QString();

        // A self-extractor: an executable stub in front, offsets either left or adjusted (-A).
        const QString plain = infoZip("for-stub.zip", {"-r"}, {"tree", "mixed.bin"});
        QByteArray stub = randomBytes(5000, 11);
        stub.prepend("\x7f" "ELF");
        const QString sfx = zipped + "/sfx.zip";
        writeFile(sfx, stub + PlexaTest::readFile(plain));
        QTest::newRow("stub") << sfx << QString();
        const QString adjusted = zipped + "/sfx-adjusted.zip";
        QFile::copy(sfx, adjusted);
        run("zip", {"-q", "-A", adjusted});
        QTest::newRow("stub, adjusted") << adjusted << QString();
    }

    void extractsLikeUnzip()
    {
        QFETCH(QString, archive);
        QFETCH(QString, password);
        QVERIFY(!archive.isEmpty());
        const QByteArray pw = password.toUtf8();
        Archive zip(archive, password.isEmpty() ? nullptr : pw.constData());
        QCOMPARE(zip.openCode, int(ZR_OK));

        const Ran listing = run("unzip", {"-Z1", archive});
        QVERIFY(listing.exitCode == 0 || listing.exitCode == 1); // 1: a warning about the stub
        const QStringList names = QString::fromUtf8(listing.out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(zip.count(), names.size());

        const QString out = path("out-" + QFileInfo(archive).baseName());
        for (int i = 0; i < names.size(); ++i) {
            ZipEntry e;
            QCOMPARE(zip.select(i, &e), int(ZR_OK));
            QCOMPARE(QString::fromUtf8(e.name), baseFolder() + names[i]);
            const QString target = out + "/" + names[i];
            QCOMPARE(unzipItem(zip.h, QFile::encodeName(target).constData(), &e), int(ZR_OK));
            if (names[i].endsWith('/')) {
                QVERIFY(e.attributes & ZIP_ATTR_DIRECTORY);
                QVERIFY(QFileInfo(target).isDir());
                continue;
            }
            QStringList args{"-p"};
            if (!password.isEmpty())
                args << "-P" << password;
            const Ran peer = run("unzip", args << archive << names[i]);
            QVERIFY(peer.exitCode == 0 || peer.exitCode == 1);
            QVERIFY2(PlexaTest::readFile(target) == peer.out, qPrintable(names[i]));
            QCOMPARE(quint32(peer.out.size()), e.uncompressedSize);
        }
    }

    // Names: kept as stored under the base folder ("\" read as a separator); absolute names,
    // drive prefixes, ".." steps and names too long are refused before anything is written.
    void names_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("nested") << "dir/sub/file.bin" << int(ZR_OK) << "dir/sub/file.bin";
        QTest::newRow("backslashes") << "win\\style\\fw.hex" << int(ZR_OK) << "win/style/fw.hex";
        QTest::newRow("dots inside") << "fw..v2/a..b" << int(ZR_OK) << "fw..v2/a..b";
        QTest::newRow("parent") << "../evil.txt" << int(ZR_BADNAME) << "";
        QTest::newRow("parent inside") << "a/../../evil.txt" << int(ZR_BADNAME) << "";
        QTest::newRow("parent, backslash") << "ok\\..\\..\\evil.txt" << int(ZR_BADNAME) << "";
        QTest::newRow("parent at end") << "a/.." << int(ZR_BADNAME) << "";
        QTest::newRow("absolute") << "/tmp/evil.txt" << int(ZR_BADNAME) << "";
        QTest::newRow("drive") << "C:/Windows/evil.txt" << int(ZR_BADNAME) << "";
        QTest::newRow("too long") << QString(300, 'n') << int(ZR_BADNAME) << "";
    }

    void names()
    {
        QFETCH(QString, stored);
        QFETCH(int, code);
        QFETCH(QString, name);
        const QString archive = crafted("names.zip", "names", {stored});
        QVERIFY(!archive.isEmpty());
        Archive zip(archive);
        QCOMPARE(zip.openCode, int(ZR_OK));
        ZipEntry e;
        QCOMPARE(zip.select(0, &e), code);
        if (code == ZR_OK) {
            QCOMPARE(QString::fromUtf8(e.name), baseFolder() + name);
        } else {
            ZipEntry after;
            QCOMPARE(unzipItem(zip.h, "/tmp/never-written", &after), int(ZR_ARGS));
        }
    }

    // Attributes in the Windows sense whatever system made the entry; times from the DOS fields
    // unless a "UT" record gives the modification time; a folder entry makes the folder only.
    void attributesAndTimes()
    {
        const QString archive = crafted("attributes.zip", "attributes");
        Archive zip(archive);
        QCOMPARE(zip.openCode, int(ZR_OK));
        QCOMPARE(zip.count(), 5);
        const quint32 expected[] = {0x21, 0x20, 0x21, 0x30, 0x20};
        for (int i = 0; i < 5; ++i) {
            ZipEntry e;
            QCOMPARE(zip.select(i, &e), int(ZR_OK));
            QCOMPARE(e.attributes, expected[i]);
        }

        auto fromFileTime = [](quint64 t) {
            return QDateTime::fromSecsSinceEpoch(qint64(t / 10000000) - 11644473600LL, Qt::UTC);
        };
        const QDateTime dos(QDate(2021, 6, 15), QTime(12, 30, 10), Qt::LocalTime);
        ZipEntry e;
        QCOMPARE(zip.select(1, &e), int(ZR_OK));
        QCOMPARE(fromFileTime(e.lastWriteTime), dos.toUTC());
        QCOMPARE(e.creationTime, e.lastWriteTime);
        QCOMPARE(zip.select(4, &e), int(ZR_OK));
        QCOMPARE(fromFileTime(e.lastWriteTime).toSecsSinceEpoch(), qint64(1000000000));
        QCOMPARE(fromFileTime(e.lastAccessTime), dos.toUTC());
        QCOMPARE(e.creationTime, e.lastAccessTime);
        const QString target = path("times/ut-mtime.txt");
        QCOMPARE(unzipItem(zip.h, QFile::encodeName(target).constData(), &e), int(ZR_OK));
        QCOMPARE(QFileInfo(target).lastModified().toSecsSinceEpoch(), qint64(1000000000));

        // A read-only entry comes out read-only; a folder entry stays current (unlike a file).
        QCOMPARE(zip.select(2, &e), int(ZR_OK));
        QCOMPARE(unzipItem(zip.h, QFile::encodeName(path("times/ro.txt")).constData(), &e), int(ZR_OK));
        QVERIFY(!(QFileInfo(path("times/ro.txt")).permissions() & QFile::WriteOwner));
        QCOMPARE(unzipItem(zip.h, QFile::encodeName(path("times/again")).constData(), &e), int(ZR_ARGS));
        QCOMPARE(zip.select(3, &e), int(ZR_OK));
        QCOMPARE(unzipItem(zip.h, QFile::encodeName(path("times/d1")).constData(), &e), int(ZR_OK));
        QCOMPARE(unzipItem(zip.h, QFile::encodeName(path("times/d2/sub")).constData(), &e), int(ZR_OK));
        QVERIFY(QFileInfo(path("times/d2/sub")).isDir());
    }

    // Info-ZIP's central "UT" record says "modification and access time" in its flags but holds
    // the first only: the bytes after it (the next record) are not read as an access time.
    void infoZipExtendedTime()
    {
        const QString file = src + "/dated.txt";
        writeFile(file, "dated\n");
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::fromSecsSinceEpoch(1234567890), QFileDevice::FileModificationTime));
        f.close();
        Archive zip(infoZip("dated.zip", {}, {"dated.txt"}));
        ZipEntry e;
        QCOMPARE(zip.select(0, &e), int(ZR_OK));
        QCOMPARE(qint64(e.lastWriteTime / 10000000) - 11644473600LL, qint64(1234567890));
        QCOMPARE(e.lastAccessTime, e.creationTime); // both from the DOS fields
    }

    void emptyArchiveAndCallOrder()
    {
        {
            Archive zip(crafted("empty.zip", "empty"));
            QCOMPARE(zip.openCode, int(ZR_OK));
            QCOMPARE(zip.count(), 0);
            ZipEntry e;
            QCOMPARE(zip.select(0, &e), int(ZR_NOTFOUND));
            QCOMPARE(unzipAllFlat(QFile::encodeName(zipped + "/empty.zip").constData(),
                                  QFile::encodeName(path("flat-empty")).constData()),
                     int(ZR_OK));
        }
        Archive zip(zipped + "/deflated.zip");
        ZipEntry e;
        QCOMPARE(unzipItem(zip.h, "/tmp/x", &e), int(ZR_ARGS)); // nothing selected yet
        QCOMPARE(zip.select(4, &e), int(ZR_NOTFOUND));
        QCOMPARE(zip.select(-2, &e), int(ZR_NOTFOUND));
        QCOMPARE(zip.select(0, &e), int(ZR_OK));
        QCOMPARE(zip.count(), 4); // the count leaves the current entry alone
        const QString target = path("order/notes.txt");
        QCOMPARE(unzipItem(zip.h, QFile::encodeName(target).constData(), &e), int(ZR_OK));
        QCOMPARE(unzipItem(zip.h, QFile::encodeName(target).constData(), &e), int(ZR_ARGS));
        // Going back after walking forward finds the right record again.
        QCOMPARE(zip.select(3, &e), int(ZR_OK));
        QVERIFY(QByteArray(e.name).endsWith("empty.dat"));
        QCOMPARE(zip.select(1, &e), int(ZR_OK));
        QVERIFY(QByteArray(e.name).endsWith("random.bin"));

        QCOMPARE(getZipItem(nullptr, &e), int(ZR_ARGS));
        QCOMPARE(unzipItem(nullptr, "/tmp/x", &e), int(ZR_ARGS));
        QCOMPARE(closeZip(nullptr), int(ZR_ARGS));
        ZipHandle h = nullptr;
        QCOMPARE(openZip(&h, QFile::encodeName(zipped + "/stored.zip").constData(), nullptr), int(ZR_OK));
        QCOMPARE(closeZip(h), int(ZR_OK));
        QCOMPARE(closeZip(h), int(ZR_ARGS)); // a handle already closed is not touched
    }

    // Damaged, unsupported and hostile archives: each ends in its own code, from openZip,
    // getZipItem or unzipItem.
    void resultCodes_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<int>("openCode");
        QTest::addColumn<int>("selectCode");
        QTest::addColumn<int>("extractCode");
        const QString deflated = zipped + "/deflated.zip"; // notes.txt first, deflated
        const QString stored = zipped + "/stored.zip";
        auto row = [](const char* name, const QString& archive, int open, int select = ZR_OK,
                      int extract = ZR_OK) {
            QTest::newRow(name) << archive << open << select << extract;
        };

        row("missing file", path("nothing-here.zip"), ZR_NOFILE);
        row("a folder", zipped, ZR_NOFILE);
        writeFile(zipped + "/garbage.zip", randomBytes(70000, 5));
        row("not an archive", zipped + "/garbage.zip", ZR_CORRUPT);
        writeFile(zipped + "/tiny.zip", "PK");
        row("two bytes", zipped + "/tiny.zip", ZR_CORRUPT);
        // A comment that holds an end-record signature of its own.
        row("decoy in the comment", patched(deflated, "comment.zip", [](QByteArray& b) {
                const QByteArray comment = QByteArray("PK\x05\x06", 4) + QByteArray(18, '\x01');
                put16(b, endRecordPos(b) + 20, quint16(comment.size()));
                b += comment;
            }),
            ZR_OK);
        row("spans disks", patched(deflated, "disks.zip", [](QByteArray& b) { put16(b, endRecordPos(b) + 4, 1); }),
            ZR_NOTSUPPORTED);
        row("entry counts differ",
            patched(deflated, "counts.zip", [](QByteArray& b) { put16(b, endRecordPos(b) + 8, 3); }),
            ZR_NOTSUPPORTED);
        row("directory past the end record",
            patched(deflated, "cdpast.zip", [](QByteArray& b) { put32(b, endRecordPos(b) + 16, 0x7fffff00); }),
            ZR_CORRUPT);
        row("directory record without signature",
            patched(deflated, "nosig.zip", [](QByteArray& b) { b[centralPos(b, 0)] = 'X'; }), ZR_OK,
            ZR_CORRUPT);
        row("name runs past the directory",
            patched(deflated, "longname.zip", [](QByteArray& b) { put16(b, centralPos(b, 0) + 28, 60000); }),
            ZR_OK, ZR_CORRUPT);
        row("bzip2", infoZip("bzip2.zip", {"-Z", "bzip2"}, {"notes.txt"}), ZR_OK, ZR_NOTSUPPORTED);
        row("local header without signature",
            patched(deflated, "nolocal.zip", [](QByteArray& b) { b[int(le32(b, centralPos(b, 0) + 42))] = 'X'; }),
            ZR_OK, ZR_OK, ZR_CORRUPT);
        // The data starts after the local header's own name, which may be longer.
        row("local name longer than the directory's",
            patched(crafted("localname.zip", "names", {"dir/sub/file.bin"}), "localname2.zip",
                    [](QByteArray& b) { put16(b, centralPos(b, 0) + 28, 3); }),
            ZR_OK, ZR_OK, ZR_OK);
        row("data past the directory",
            patched(deflated, "datapast.zip", [](QByteArray& b) { put32(b, centralPos(b, 0) + 20, 0x00ffffff); }),
            ZR_OK, ZR_OK, ZR_CORRUPT);
        row("broken deflate data",
            patched(deflated, "badflate.zip", [](QByteArray& b) { b[dataPos(b, 0)] = 0x07; }), ZR_OK, ZR_OK,
            ZR_FLATE);
        row("CRC-32 differs",
            patched(deflated, "crc.zip", [](QByteArray& b) { put32(b, centralPos(b, 0) + 16, 0x12345678); }),
            ZR_OK, ZR_OK, ZR_MISMATCH);
        row("stream longer than its size",
            patched(deflated, "bigger.zip", [](QByteArray& b) { put32(b, centralPos(b, 0) + 24, 1000); }),
            ZR_OK, ZR_OK, ZR_MISMATCH);
        row("stream shorter than its size",
            patched(deflated, "shorter.zip",
                    [](QByteArray& b) { put32(b, centralPos(b, 0) + 24, le32(b, centralPos(b, 0) + 24) + 1); }),
            ZR_OK, ZR_OK, ZR_MISMATCH);
        row("stored data shorter than its size",
            patched(stored, "storedshort.zip",
                    [](QByteArray& b) { put32(b, centralPos(b, 0) + 20, le32(b, centralPos(b, 0) + 20) - 10); }),
            ZR_OK, ZR_OK, ZR_MISMATCH);
        row("ZIP64 sizes",
            patched(deflated, "zip64.zip", [](QByteArray& b) { put32(b, centralPos(b, 0) + 24, 0xffffffff); }),
            ZR_OK, ZR_NOTSUPPORTED);

        // Bombs: a huge ratio, a declared size over the per-entry cap.
        writeFile(src + "/zeros.bin", QByteArray(20 * 1024 * 1024, '\0'));
        row("ratio", infoZip("ratio.zip", {"-9"}, {"zeros.bin"}), ZR_OK, ZR_OK, ZR_TOOBIG);
        row("entry over the cap", patched(deflated, "huge.zip", [](QByteArray& b) {
                put32(b, centralPos(b, 0) + 24, 600u << 20);
                put32(b, centralPos(b, 0) + 20, 6u << 20);
            }),
            ZR_OK, ZR_OK, ZR_TOOBIG);
    }

    void resultCodes()
    {
        QFETCH(QString, archive);
        QFETCH(int, openCode);
        QFETCH(int, selectCode);
        QFETCH(int, extractCode);
        QVERIFY(!archive.isEmpty());
        Archive zip(archive);
        QCOMPARE(zip.openCode, openCode);
        if (openCode != ZR_OK) {
            QVERIFY(!zip.h);
            return;
        }
        ZipEntry e;
        QCOMPARE(zip.select(0, &e), selectCode);
        if (selectCode != ZR_OK)
            return;
        const QString target = path("codes/" + QString(QTest::currentDataTag()));
        QCOMPARE(unzipItem(zip.h, QFile::encodeName(target).constData(), &e), extractCode);
        QCOMPARE(unzipItem(zip.h, QFile::encodeName(target).constData(), &e), int(ZR_ARGS));
        // The handle stays usable after a failed entry.
        if (zip.count() > 1) {
            QCOMPARE(zip.select(1, &e), int(ZR_OK));
        }
    }

    // The total cap counts every entry unpacked through one handle: three entries that each
    // claim 400 MiB (in 4 MiB, a plain ratio) pass one by one until the third.
    void totalCap()
    {
        const QString archive = patched(zipped + "/deflated.zip", "total.zip", [](QByteArray& b) {
            for (int i = 0; i < 3; ++i) {
                put32(b, centralPos(b, i) + 24, 400u << 20);
                put32(b, centralPos(b, i) + 20, 4u << 20);
            }
        });
        Archive zip(archive);
        QCOMPARE(zip.extract(0, path("total/0")), int(ZR_CORRUPT)); // its data is not there
        QCOMPARE(zip.extract(1, path("total/1")), int(ZR_CORRUPT));
        QCOMPARE(zip.extract(2, path("total/2")), int(ZR_TOOBIG));
    }

    // Failures of the file system around the reader.
    void targetsAndArchiveFile()
    {
        const QString deflated = zipped + "/deflated.zip";
        {
            Archive zip(deflated);
            writeFile(path("plainfile"), "x");
            QCOMPARE(zip.extract(0, path("plainfile/under/notes.txt")), int(ZR_NOFILE));
            if (QFileInfo::exists("/dev/full")) // every write fails there: no space
                QCOMPARE(zip.extract(0, "/dev/full"), int(ZR_WRITE));
        }

        // The archive shrinks after it was opened: reading the entry fails.
        const QString shrinking = path("shrinking.zip");
        QFile::copy(deflated, shrinking);
        Archive zip(shrinking);
        ZipEntry e;
        QCOMPARE(zip.select(2, &e), int(ZR_OK));
        QVERIFY(QFile::resize(shrinking, 100));
        QCOMPARE(unzipItem(zip.h, QFile::encodeName(path("shrunk/x")).constData(), &e), int(ZR_READ));

        // A FIFO is refused at once, not waited on.
        const QByteArray fifo = QFile::encodeName(path("fifo.zip"));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        ZipHandle h = nullptr;
        QCOMPARE(openZip(&h, fifo.constData(), nullptr), int(ZR_NOFILE));
        QVERIFY(!h);
    }

    // A target file system without room for the entry (a 1 MiB tmpfs, where mounting is allowed).
    void diskFull()
    {
        const QString mnt = path("small-fs");
        QDir().mkpath(mnt);
        if (::mount("tmpfs", QFile::encodeName(mnt).constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP("cannot mount a small tmpfs here (needs root)");
        const QString archive = infoZip("two-mib.zip", {"-0"}, {"mixed.bin"});
        int rc;
        {
            Archive zip(archive);
            rc = zip.extract(0, mnt + "/mixed.bin");
        }
        ::umount(QFile::encodeName(mnt).constData());
        QCOMPARE(rc, int(ZR_DISKFULL));
    }

    // Without the password, or with a wrong one, the check byte stops the entry (one password
    // in 256 passes it by chance; then the data or its CRC-32 does not hold).
    void wrongPassword()
    {
        const QString archive = zipped + "/secret.zip";
        int checkByteStops = 0;
        for (const char* pw : {static_cast<const char*>(nullptr), "wrong", "Fw-s3cret", "fw-s3cre"}) {
            Archive zip(archive, pw);
            const int rc = zip.extract(0, path("secret/notes.txt"));
            QVERIFY2(rc == ZR_PASSWORD || rc == ZR_FLATE || rc == ZR_MISMATCH, qPrintable(QString::number(rc)));
            checkByteStops += rc == ZR_PASSWORD;
        }
        QVERIFY(checkByteStops > 0);
    }

    // The firmware pages' sequence: folders flattened, folder entries skipped, an existing
    // (read-only) file replaced.
    void flatExtraction()
    {
        const QString archive = zipped + "/tree.zip";
        const QString out = path("flat");
        QVERIFY(writeFile(out + "/one.txt", "old"));
        QFile::setPermissions(out + "/one.txt", QFile::ReadOwner);
        QCOMPARE(unzipAllFlat(QFile::encodeName(archive).constData(), QFile::encodeName(out).constData()),
                 int(ZR_OK));
        QCOMPARE(PlexaTest::readFile(out + "/one.txt"), QByteArray("one\n"));
        QCOMPARE(PlexaTest::readFile(out + "/two.bin"), PlexaTest::readFile(src + "/tree/a/b/two.bin"));
        QCOMPARE(PlexaTest::readFile(out + "/notes.txt"), PlexaTest::readFile(src + "/notes.txt"));
        QStringList made = QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        made.sort();
        QCOMPARE(made, (QStringList{"notes.txt", "one.txt", "two.bin"}));

    }

    // A refused archive leaves the folder byte for byte as it was, even when good entries came
    // before the bad one, and nothing of the attempt stays beside it.
    void refusedArchiveLeavesTheFolderAsItWas_data()
    {
        QTest::addColumn<QString>("archive");
        QTest::addColumn<int>("code");
        // Info-ZIP archives: a good entry, then one that unpacks far beyond its size.
        writeFile(src + "/zeros.bin", QByteArray(20 * 1024 * 1024, '\0'));
        QTest::newRow("bomb") << infoZip("bomb.zip", {"-9"}, {"notes.txt", "zeros.bin"}) << int(ZR_TOOBIG);
        const QString two = infoZip("two.zip", {}, {"notes.txt", "random.bin"});
        QTest::newRow("CRC mismatch")
            << patched(two, "two-crc.zip", [](QByteArray& b) { put32(b, centralPos(b, 1) + 16, 0x12345678); })
            << int(ZR_MISMATCH);
        QTest::newRow("directory claims too much")
            << patched(two, "two-claims.zip", [](QByteArray& b) {
                   for (int i = 0; i < 2; ++i)
                       put32(b, centralPos(b, i) + 24, 600u << 20);
               })
            << int(ZR_TOOBIG);
        QTest::newRow("name leaving the folder")
            << crafted("flat-bad.zip", "names", {"good.txt", "../evil.txt", "after.txt"}) << int(ZR_BADNAME);
    }

    void refusedArchiveLeavesTheFolderAsItWas()
    {
        QFETCH(QString, archive);
        QFETCH(int, code);
        QVERIFY(!archive.isEmpty());
        const QString parent = path("refused/" + QString(QTest::currentDataTag()));
        const QString out = parent + "/pkg";
        QVERIFY(writeFile(out + "/notes.txt", "an earlier unpack"));
        QVERIFY(writeFile(out + "/kept.bin", randomBytes(3000, 9)));
        const auto snapshot = [&] {
            QMap<QString, QByteArray> files;
            for (const QString& name : QDir(parent).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
                files.insert(name, QByteArray());
            for (const QString& name : QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
                files.insert("pkg/" + name, PlexaTest::readFile(out + "/" + name));
            return files;
        };
        const QMap<QString, QByteArray> before = snapshot();
        QCOMPARE(unzipAllFlat(QFile::encodeName(archive).constData(), QFile::encodeName(out).constData()), code);
        QCOMPARE(snapshot(), before);
        QVERIFY(!QFile::exists(path("evil.txt")) && !QFile::exists(path("refused/evil.txt")));
    }

    // A single gzip member stands for an archive of one entry, named by the member or by the
    // file.
    void gzipMember()
    {
        QDir().mkpath(path("gz"));
        for (const bool keepName : {true, false}) {
            const QString plain = path(keepName ? "gz/named.bin" : "gz/anon.bin");
            const QString gz = plain + ".gz";
            QVERIFY(QFile::copy(src + "/mixed.bin", plain));
            QCOMPARE(run("gzip", {keepName ? "-fN" : "-fn", plain}).exitCode, 0);
            Archive zip(gz);
            QCOMPARE(zip.openCode, int(ZR_OK));
            QCOMPARE(zip.count(), 1);
            ZipEntry e;
            QCOMPARE(zip.select(0, &e), int(ZR_OK));
            QCOMPARE(QString::fromUtf8(e.name), baseFolder() + (keepName ? "named.bin" : "anon.bin"));
            const QString target = path("gz/out.bin");
            QCOMPARE(unzipItem(zip.h, QFile::encodeName(target).constData(), &e), int(ZR_OK));
            QCOMPARE(PlexaTest::readFile(target), run("gzip", {"-dc", gz}).out);
        }

        const QString gz = path("gz/named.bin.gz");
        Archive broken(patched(gz, "bad-crc.gz", [](QByteArray& b) { b[b.size() - 8] = char(b[b.size() - 8] ^ 1); }));
        QCOMPARE(broken.extract(0, path("gz/x")), int(ZR_MISMATCH));
        const QByteArray member = PlexaTest::readFile(gz);
        const QString two = zipped + "/two-members.gz";
        writeFile(two, member + member);
        Archive twoMembers(two);
        QCOMPARE(twoMembers.extract(0, path("gz/y")), int(ZR_MISMATCH));
        Archive hostile(patched(gz, "hostile.gz", [](QByteArray& b) { b.replace(10, 9, "../n.bin\0", 9); }));
        ZipEntry e;
        QCOMPARE(hostile.select(0, &e), int(ZR_BADNAME));
    }
};

PLEXA_TEST_MAIN(TestZipArchive)
#include "tst_ziparchive.moc"

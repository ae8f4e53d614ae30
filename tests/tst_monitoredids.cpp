// Monitor EDIDs from a fake DRM class folder: only connected connectors with a real EDID are
// listed, in card and connector order, named after the EDID or numbered "Default Monitor n". The
// NVIDIA driver interface's copies (from the fake driver library) take the place of the kernel's
// where they are the longer; displays only the driver knows are not listed.

#include "plexatest.h"

#include "edidbuilder.h"
#include "fakegpudriver.h"
#include "monitoredids.h"

#include <QDir>
#include <QFile>

namespace {

QByteArray namedEdid(const QByteArray& name)
{
    return EdidBuilder().displayDescriptor(3, 0xFC, name).build();
}

class FakeDrm
{
public:
    FakeDrm() { QVERIFY(m_dir.isValid()); }

    QString root() const { return m_dir.path(); }

    // A folder with the given files (a null content: no such file).
    void add(const QString& name, const QByteArray& status, const QByteArray& edid)
    {
        const QString folder = m_dir.filePath(name);
        QVERIFY(QDir().mkpath(folder));
        if (!status.isNull())
            write(folder + QStringLiteral("/status"), status);
        if (!edid.isNull())
            write(folder + QStringLiteral("/edid"), edid);
    }

    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), qint64(bytes.size()));
    }

private:
    QTemporaryDir m_dir;
};

QStringList names(const QList<EdidEntry>& entries)
{
    QStringList n;
    for (const EdidEntry& e : entries)
        n << e.name;
    return n;
}

QList<int> sizes(const QList<EdidEntry>& entries)
{
    QList<int> n;
    for (const EdidEntry& e : entries)
        n << e.edid.size();
    return n;
}

} // namespace

class TestMonitorEdids : public QObject
{
    Q_OBJECT

private slots:
    void listsConnectedMonitorsInOrder();
    void namesFromDescriptors();
    void noDrmFolder();
    void driverEdidsJoinTheList();
};

void TestMonitorEdids::listsConnectedMonitorsInOrder()
{
    const QByteArray dell = namedEdid("DELL U2412M");
    const QByteArray plain = EdidBuilder().build();
    const QByteArray plainWithExtension = EdidBuilder().set(0x10, {7}).cea(0x40).build();
    const QByteArray plain3 = EdidBuilder().set(0x10, {9}).build();
    QByteArray garbage(128, char(0x5A));
    QByteArray badHeader = plain;
    badHeader[1] = 0;

    FakeDrm drm;
    // Created out of order: the listing must not depend on the folder order.
    drm.add(QStringLiteral("card1-HDMI-A-2"), "connected\n", namedEdid("Projector"));
    drm.add(QStringLiteral("card0-DP-10"), "connected\n", plain3);
    drm.add(QStringLiteral("card0-HDMI-A-1"), "disconnected\n", namedEdid("Unplugged"));
    drm.add(QStringLiteral("card0-DP-2"), "connected\n", plainWithExtension);
    drm.add(QStringLiteral("card0-DP-1"), "connected\n", dell);
    drm.add(QStringLiteral("card0-eDP-1"), "connected\n", QByteArray(""));      // empty edid
    drm.add(QStringLiteral("card0-DVI-I-1"), "connected\n", QByteArray());      // no edid file
    drm.add(QStringLiteral("card0-DP-3"), QByteArray(), namedEdid("No status"));
    drm.add(QStringLiteral("card0-DP-4"), "unknown\n", namedEdid("Unknown"));
    drm.add(QStringLiteral("card1-DP-1"), "connected\n", garbage);
    drm.add(QStringLiteral("card1-DP-5"), "connected\n", badHeader);
    drm.add(QStringLiteral("card1-VGA-1"), "connected\n", plain.left(100));     // not whole blocks
    drm.add(QStringLiteral("card0"), QByteArray(), dell);                       // the card itself
    drm.add(QStringLiteral("renderD128"), "connected\n", dell);
    FakeDrm::write(drm.root() + QStringLiteral("/version"), "drm 1.1.0\n");

    const QList<EdidEntry> list = connectedMonitorEdids(drm.root());
    QCOMPARE(names(list), (QStringList{QStringLiteral("DELL U2412M\n "), QStringLiteral("Default Monitor 1"),
                                       QStringLiteral("Default Monitor 2"), QStringLiteral("Projector\n   ")}));
    QCOMPARE(list.at(0).edid, dell);
    QCOMPARE(list.at(1).edid, plainWithExtension); // the whole EDID, extension included
    QCOMPARE(list.at(2).edid, plain3);
    QCOMPARE(list.at(1).edid.size(), 256);

    // Stable: the same tree gives the same list; a monitor unplugged renumbers the unnamed ones.
    const QList<EdidEntry> again = connectedMonitorEdids(drm.root());
    QCOMPARE(names(again), names(list));
    FakeDrm::write(drm.root() + QStringLiteral("/card0-DP-2/status"), "disconnected\n");
    FakeDrm::write(drm.root() + QStringLiteral("/card0-DP-2/edid"), QByteArray());
    QCOMPARE(names(connectedMonitorEdids(drm.root())),
             (QStringList{QStringLiteral("DELL U2412M\n "), QStringLiteral("Default Monitor 1"),
                          QStringLiteral("Projector\n   ")}));
    QCOMPARE(connectedMonitorEdids(drm.root()).at(1).edid, plain3);
}

void TestMonitorEdids::namesFromDescriptors()
{
    // Name descriptors are taken as stored, several in order; other text descriptors are not names;
    // a name of blanks only counts as no name.
    const QByteArray twoNames = EdidBuilder()
                                    .displayDescriptor(1, 0xFC, "Velmo Plexa ")
                                    .displayDescriptor(2, 0xFE, "some text")
                                    .displayDescriptor(3, 0xFC, "T-2000")
                                    .build();
    QCOMPARE(edidMonitorName(twoNames), QStringLiteral("Velmo Plexa \nT-2000\n      "));
    const QByteArray serialOnly = EdidBuilder().displayDescriptor(3, 0xFF, "12345").build();
    QCOMPARE(edidMonitorName(serialOnly), QString());
    const QByteArray blank = EdidBuilder().displayDescriptor(0, 0xFC, "   ").build();
    QCOMPARE(edidMonitorName(QByteArray("\x00\xFF", 2)), QString()); // too short: no descriptor read
    QCOMPARE(edidMonitorName(namedEdid("Caf\xE9")), QStringLiteral("Café\n        "));

    FakeDrm drm;
    drm.add(QStringLiteral("card0-DP-1"), "connected", blank);
    drm.add(QStringLiteral("card0-DP-2"), "connected", twoNames);
    drm.add(QStringLiteral("card0-DP-3"), "connected", serialOnly);
    QCOMPARE(names(connectedMonitorEdids(drm.root())),
             (QStringList{QStringLiteral("Default Monitor 1"), QStringLiteral("Velmo Plexa \nT-2000\n      "),
                          QStringLiteral("Default Monitor 2")}));
}

void TestMonitorEdids::noDrmFolder()
{
    QTemporaryDir dir;
    QVERIFY(connectedMonitorEdids(dir.filePath(QStringLiteral("missing"))).isEmpty());
    QVERIFY(connectedMonitorEdids(dir.path()).isEmpty());
}

void TestMonitorEdids::driverEdidsJoinTheList()
{
    const QByteArray dell = EdidBuilder().displayDescriptor(3, 0xFC, "DELL U2412M").cea(0x40).build();
    const QByteArray unnamed = EdidBuilder().set(0x10, {5}).cea(0x40).build();
    const QByteArray twin = EdidBuilder().displayDescriptor(3, 0xFC, "Twin").cea().build();
    const QByteArray projector = EdidBuilder().displayDescriptor(3, 0xFC, "Projector").cea().build();
    const QByteArray studioKernel = EdidBuilder().set(0x10, {1}).displayDescriptor(3, 0xFC, "Studio").build();
    const QByteArray studioDriver = EdidBuilder().set(0x10, {2}).displayDescriptor(3, 0xFC, "Studio").cea().build();
    const QByteArray full = EdidBuilder().set(0x10, {3}).cea(0x40).build();
    QByteArray badExtension = full;
    badExtension[200] = char(badExtension.at(200) + 1); // the extension no longer sums to 0
    QByteArray notCta = unnamed;
    notCta[128] = 0x10;
    EdidBuilder::fixChecksums(&notCta);

    FakeGpuDriver driver;
    driver.addDisplay(projector);
    driver.addDisplay(twin);
    driver.addDisplay(dell);
    driver.addDisplay(QByteArray()); // its EDID cannot be read
    driver.addDisplay(unnamed);
    driver.addDisplay(studioDriver);
    driver.addDisplay(badExtension);
    driver.addDisplay(notCta);

    // The driver's own list, in its order: an extension counts only when it is a CTA-861 block
    // that sums to 0; names come from the descriptors, unnamed ones stay empty.
    const QList<EdidEntry> fromDriver = nvidiaDisplayEdids();
    QCOMPARE(sizes(fromDriver), (QList<int>{256, 256, 256, 256, 256, 128, 128}));
    QCOMPARE(names(fromDriver), (QStringList{QStringLiteral("Projector\n   "), QStringLiteral("Twin\n        "),
                                             QStringLiteral("DELL U2412M\n "), QString(), QStringLiteral("Studio\n      "),
                                             QString(), QString()}));
    QCOMPARE(fromDriver.at(2).edid, dell);
    QCOMPARE(fromDriver.at(5).edid, full.left(128));

    FakeDrm drm;
    drm.add(QStringLiteral("card0-DP-1"), "connected\n", dell.left(128));
    drm.add(QStringLiteral("card0-DP-2"), "connected\n", unnamed.left(128));
    drm.add(QStringLiteral("card0-DP-3"), "connected\n", twin.left(128));
    drm.add(QStringLiteral("card0-DP-4"), "connected\n", twin.left(128));
    drm.add(QStringLiteral("card0-DP-5"), "connected\n", studioKernel);
    drm.add(QStringLiteral("card0-DP-6"), "connected\n", full);

    // The driver's copy with its extension replaces the kernel's (an unnamed monitor is matched
    // before it is numbered); one driver copy serves one monitor of a pair; a same-named monitor
    // with other bytes and a kernel copy longer than the driver's keep the kernel's; the
    // projector, which only the driver lists, is left out.
    const QList<EdidEntry> list = connectedMonitorEdids(drm.root());
    QCOMPARE(names(list), (QStringList{QStringLiteral("DELL U2412M\n "), QStringLiteral("Default Monitor 1"),
                                       QStringLiteral("Twin\n        "), QStringLiteral("Twin\n        "),
                                       QStringLiteral("Studio\n      "), QStringLiteral("Default Monitor 2")}));
    QCOMPARE(list.at(0).edid, dell);
    QCOMPARE(list.at(1).edid, unnamed);
    QCOMPARE(list.at(2).edid, twin);
    QCOMPARE(list.at(3).edid, twin.left(128));
    QCOMPARE(list.at(4).edid, studioKernel);
    QCOMPARE(list.at(5).edid, full);

    // Without the driver library the kernel's copies stand alone.
    FakeGpuDriver none(FakeGpuDriver::Missing);
    QVERIFY(nvidiaDisplayEdids().isEmpty());
    QCOMPARE(sizes(connectedMonitorEdids(drm.root())), (QList<int>{128, 128, 128, 128, 128, 256}));
}

PLEXA_TEST_MAIN(TestMonitorEdids)
#include "tst_monitoredids.moc"

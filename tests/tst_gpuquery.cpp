// The NVIDIA driver-interface loader and its entries against a fake driver library: loading only
// from the trusted folders, every load status, binding again after the library file is replaced,
// unloading while in use, the trace hooks, the power-library twin, and every interface id of the
// table reaching its own function with all of its arguments.

#include "plexatest.h"

#include "driverdisplays.h"
#include "driverinterfaces.h"
#include "driverloader.h"
#include "fakegpudriver.h"
#include "timescale.h"
#include "trustedlibrary.h"

#include <QElapsedTimer>

#include <atomic>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace GpuQuery;

namespace {

constexpr std::uint32_t TwoArgId = 0x6C2D048C;
constexpr std::uint32_t OtherTwoArgId = 0xF951A4D1;

int inUse()
{
    return loaderSnapshot(0).inUseCount;
}

// Whether the library at `path` is loaded in the process.
bool isLoaded(const QString& path)
{
    void* module = dlopen(QFile::encodeName(path).constData(), RTLD_LAZY | RTLD_NOLOAD);
    if (module)
        dlclose(module);
    return module != nullptr;
}

NvStatus callTwoArg(std::uint32_t id)
{
    int word = 0;
    return id == TwoArgId ? nvapiCall<TwoArgId>(1u, &word) : nvapiCall<OtherTwoArgId>(1u, &word);
}

} // namespace

class TestGpuQuery : public QObject
{
    Q_OBJECT

private slots:
    void trustedLoading();
    void protectedSystemFiles();
    void missingLibrary();
    void firstLoadBinds_data();
    void firstLoadBinds();
    void bindFailures_data();
    void bindFailures();
    void rebindAfterReplace();
    void unknownInterface();
    void unloading();
    void traceHooks_data();
    void traceHooks();
    void everyInterfaceId();
    void powerLibraryTwin();
    void concurrentCallers();
};

void TestGpuQuery::trustedLoading()
{
    FakeGpuDriver driver;
    QTemporaryDir elsewhere;
    const QString outsidePath = elsewhere.filePath(QString::fromLatin1(DriverLibraryName));
    QVERIFY(QFile::copy(driver.path(), outsidePath));
    const std::string inFolder = QFile::encodeName(driver.path()).toStdString();
    const std::string outside = QFile::encodeName(outsidePath).toStdString();
    // Inside the folder by its text, outside once resolved.
    const std::string escaping = QFile::encodeName(driver.folder()).toStdString() + "/../"
        + QFile::encodeName(QFileInfo(elsewhere.path()).fileName()).toStdString() + '/' + DriverLibraryName;

    struct Refusal
    {
        const char* what;
        std::function<void*()> load;
        std::uint32_t error;
    };
    const std::vector<Refusal> refusals = {
        {"a name with a folder", [] { return nvSecureLoadLibrary("sub/libnvidia-api.so.1", 0); }, ErrorBadArguments},
        {"a path for a name", [&] { return nvSecureLoadLibrary(inFolder.c_str(), 0); }, ErrorBadArguments},
        {"a lookup with a folder", [] { return nvSecureGetModuleHandle("./libnvidia-api.so.1"); }, ErrorBadArguments},
        {"no name", [] { return nvSecureLoadLibrary("", 0); }, ErrorInvalidParameter},
        {"a name not there", [] { return nvSecureLoadLibrary("libnothing.so.1", 0); }, ErrorModuleNotFound},
        {"a relative path", [] { return nvSecureLoadLibraryFromPath("libnvidia-api.so.1", 0); }, ErrorBadArguments},
        {"a path elsewhere", [&] { return nvSecureLoadLibraryFromPath(outside.c_str(), 0); }, ErrorBadPathName},
        {"a path leaving the folder", [&] { return nvSecureLoadLibraryFromPath(escaping.c_str(), 0); },
         ErrorBadPathName},
        {"a signed load", [&] { return nvLoadSignedLibrary(inFolder.c_str(), 0, true); }, ErrorNotSupported},
        {"an untrusted path needing a signature", [&] { return nvLoadTrustedOrSignedLibrary(outside.c_str(), 0, false); },
         ErrorNotSupported},
        {"trusted-or-signed without a name", [] { return nvLoadTrustedOrSignedLibrary(nullptr, 0, false); },
         ErrorInvalidParameter},
    };
    for (const Refusal& refusal : refusals) {
        QVERIFY2(!refusal.load(), refusal.what);
        QVERIFY2(trustedLibraryLastError() == refusal.error,
                 qPrintable(QStringLiteral("%1: error %2").arg(QLatin1String(refusal.what)).arg(trustedLibraryLastError())));
    }
    QVERIFY(!isLoaded(driver.path()));
    QVERIFY(!isLoaded(outsidePath));
    QVERIFY(!nvSecureGetModuleHandle(DriverLibraryName));

    // The trusted ways all reach the one library in the folder.
    void* byName = nvSecureLoadLibrary(DriverLibraryName, 0);
    QVERIFY(byName);
    QCOMPARE(trustedLibraryLastError(), std::uint32_t(ErrorNone));
    QCOMPARE(nvSecureGetModuleHandle(DriverLibraryName), byName);
    void* byPath = nvSecureLoadLibraryFromPath(inFolder.c_str(), RTLD_LAZY);
    void* trustedPath = nvLoadTrustedOrSignedLibrary(inFolder.c_str(), 0, true);
    void* trustedName = nvLoadTrustedOrSignedLibrary(DriverLibraryName, 0, true);
    QCOMPARE(byPath, byName);
    QCOMPARE(trustedPath, byName);
    QCOMPARE(trustedName, byName);
    for (void* module : {byName, byPath, trustedPath, trustedName})
        dlclose(module);
    QVERIFY(!isLoaded(driver.path()));

    // No signature test and no checked process creation on this platform: nothing is started.
    bool matched = true;
    QCOMPARE(nvVerifyFileSignature(inFolder.c_str(), &matched), 0);
    QCOMPARE(trustedLibraryLastError(), std::uint32_t(ErrorNotSupported));
    QVERIFY(!matched);
    QCOMPARE(nvVerifyFileSignature((inFolder + ".none").c_str(), nullptr), 0);
    QCOMPARE(trustedLibraryLastError(), std::uint32_t(ErrorModuleNotFound));
    const QString marker = elsewhere.filePath(QStringLiteral("started"));
    const QByteArray script = "touch " + QFile::encodeName(marker);
    char shell[] = "/bin/sh", dashC[] = "-c";
    char* argv[] = {shell, dashC, const_cast<char*>(script.constData()), nullptr};
    char* envp[] = {nullptr};
    pid_t pid = 1;
    QCOMPARE(nvSecureCreateProcess("/bin/sh", argv, envp, true, &pid), 0);
    QCOMPARE(trustedLibraryLastError(), std::uint32_t(ErrorNotSupported));
    QCOMPARE(nvSecureCreateProcessAsUser(getuid(), "/bin/sh", argv, envp, false, &pid), 0);
    QCOMPARE(pid, pid_t(0));
    QTest::qWait(50);
    QVERIFY(!QFile::exists(marker));
}

void TestGpuQuery::protectedSystemFiles()
{
    // Without a test folder the system folders are searched: the C library is found there, and
    // it passes the ownership test as installed.
    const std::string libc = trustedLibraryPath("libc.so.6");
    QVERIFY2(!libc.empty(), "the C library is in a system library folder");
    QVERIFY(libc.rfind("/usr/lib", 0) == 0 || libc.rfind("/lib", 0) == 0);
    QVERIFY(isProtectedSystemFile(libc));
    // A driver library in the working directory is never the one taken.
    QTemporaryDir here;
    QVERIFY(QFile::copy(QStringLiteral(PLEXA_FAKE_NVAPI), here.filePath(QString::fromLatin1(DriverLibraryName))));
    const QString previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(here.path()));
    const std::string driverPath = trustedLibraryPath(DriverLibraryName);
    QVERIFY(QDir::setCurrent(previousDir));
    QVERIFY2(driverPath.empty() || driverPath.rfind("/usr/lib", 0) == 0 || driverPath.rfind("/lib", 0) == 0,
             driverPath.c_str());

    // A folder of ours (root's when the tests run as root) and a world-writable one.
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                  | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                                  | QFile::ExeOther));
    const QString file = dir.filePath(QStringLiteral("libx.so.1"));
    QVERIFY(QFile::copy(QString::fromStdString(libc), file));
    QVERIFY(chmod(QFile::encodeName(file).constData(), 0644) == 0);
    const bool root = geteuid() == 0;
    QCOMPARE(isProtectedSystemFile(file.toStdString()), root);
    const QString link = dir.filePath(QStringLiteral("liby.so.1"));
    QVERIFY(QFile::link(QString::fromStdString(libc), link));
    QCOMPARE(isProtectedSystemFile(link.toStdString()), root);

    QVERIFY(chmod(QFile::encodeName(file).constData(), 0664) == 0);
    QVERIFY(!isProtectedSystemFile(file.toStdString()));
    QVERIFY(chmod(QFile::encodeName(file).constData(), 0644) == 0);
    QVERIFY(chmod(QFile::encodeName(dir.path()).constData(), 0777) == 0);
    QVERIFY(!isProtectedSystemFile(file.toStdString()));
    QVERIFY(!isProtectedSystemFile(link.toStdString()));
    QVERIFY(chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);

    // A link in a protected folder leading into a writable one.
    QTemporaryDir open;
    QVERIFY(chmod(QFile::encodeName(open.path()).constData(), 01777) == 0);
    const QString target = open.filePath(QStringLiteral("libz.so.1"));
    QVERIFY(QFile::copy(QString::fromStdString(libc), target));
    QVERIFY(chmod(QFile::encodeName(target).constData(), 0644) == 0);
    const QString intoOpen = dir.filePath(QStringLiteral("libz.so.1"));
    QVERIFY(QFile::link(target, intoOpen));
    QVERIFY(!isProtectedSystemFile(intoOpen.toStdString()));
    QVERIFY(!isProtectedSystemFile(dir.filePath(QStringLiteral("none")).toStdString()));
}

void TestGpuQuery::missingLibrary()
{
    // No NVIDIA driver: every load and every entry reports the library absent and nothing stays
    // counted as in use.
    FakeGpuDriver driver(FakeGpuDriver::Missing);
    void* module = reinterpret_cast<void*>(1);
    QCOMPARE(nvapiLoad(&module), StatusLibraryNotFound);
    QCOMPARE(nvapiInitialize(), StatusLibraryNotFound);
    QCOMPARE(callTwoArg(TwoArgId), StatusLibraryNotFound);
    NvDisplayHandle display = nullptr;
    QCOMPARE(NvAPI_EnumNvidiaDisplayHandle(0, &display), StatusLibraryNotFound);
    QCOMPARE(inUse(), 0);
    QCOMPARE(nvapiUnload(), StatusNotLoaded);
    QCOMPARE(nvpowerapiLoad(nullptr), StatusLibraryNotFound);
    QCOMPARE(loaderSnapshot(1).inUseCount, 0);
    QCOMPARE(nvpowerapiUnload(), StatusNotLoaded);
}

void TestGpuQuery::firstLoadBinds_data()
{
    QTest::addColumn<bool>("loadedBySomeoneElse");
    QTest::newRow("not loaded yet") << false;
    QTest::newRow("loaded by someone else") << true;
}

void TestGpuQuery::firstLoadBinds()
{
    QFETCH(bool, loadedBySomeoneElse);
    FakeGpuDriver driver;
    if (loadedBySomeoneElse)
        driver.attach();
    const std::uint32_t generation = loaderSnapshot(0).bindGeneration;

    void* module = nullptr;
    QCOMPARE(nvapiLoad(&module), StatusNewlyBound);
    QVERIFY(module);
    QCOMPARE(inUse(), 1);
    nvapiEndCall();
    QCOMPARE(nvapiLoad(&module), StatusOk);
    nvapiEndCall();
    QCOMPARE(nvapiInitialize(), StatusOk);
    QCOMPARE(inUse(), 0);
    QCOMPARE(loaderSnapshot(0).bindGeneration, generation + 1);
    QCOMPARE(loaderSnapshot(0).module, module);
    QCOMPARE(driver.initCount(), 1);
}

void TestGpuQuery::bindFailures_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("hideInitialize");
    QTest::addColumn<int>("initStatus");
    QTest::addColumn<int>("expected");
    QTest::newRow("no query function") << int(FakeGpuDriver::WithoutQuery) << false << 0 << int(StatusError);
    QTest::newRow("no initialisation") << int(FakeGpuDriver::Working) << true << 0 << int(StatusError);
    QTest::newRow("initialisation fails") << int(FakeGpuDriver::Working) << false << -101 << -101;
}

void TestGpuQuery::bindFailures()
{
    QFETCH(int, kind);
    QFETCH(bool, hideInitialize);
    QFETCH(int, initStatus);
    QFETCH(int, expected);
    FakeGpuDriver driver{FakeGpuDriver::Kind(kind)};
    if (hideInitialize)
        driver.hide(InitializeId);
    if (initStatus != 0)
        driver.setInitStatus(initStatus);

    // Nothing stays bound, and the next load starts again from the beginning.
    for (int attempt = 1; attempt <= 2; ++attempt) {
        QCOMPARE(nvapiLoad(nullptr), expected);
        QCOMPARE(inUse(), 0);
        QVERIFY(!loaderSnapshot(0).bound);
        QVERIFY(!loaderSnapshot(0).module);
        QCOMPARE(callTwoArg(TwoArgId), expected);
        if (initStatus != 0)
            QCOMPARE(driver.initCount(), 2 * attempt);
    }
    // The loader holds no reference of its own.
    driver.detach();
    QVERIFY(!isLoaded(driver.path()));
    if (kind == FakeGpuDriver::Working) {
        QCOMPARE(nvapiLoad(nullptr), StatusNewlyBound);
        nvapiEndCall();
    }
}

void TestGpuQuery::rebindAfterReplace()
{
    FakeGpuDriver driver;
    driver.defineInterface(TwoArgId, 2);
    driver.defineInterface(OtherTwoArgId, 2);
    QCOMPARE(callTwoArg(TwoArgId), NvStatus(TwoArgId));
    QCOMPARE(callTwoArg(TwoArgId), NvStatus(TwoArgId));
    QCOMPARE(callTwoArg(OtherTwoArgId), NvStatus(OtherTwoArgId));
    QCOMPARE(driver.queryCount(TwoArgId), 1); // fetched once per binding
    const std::uint32_t generation = loaderSnapshot(0).bindGeneration;

    // A driver update puts a new file in place: the next load binds again, and every entry fetches
    // its function again, also one whose own load did not see the new binding.
    driver.replace();
    QCOMPARE(callTwoArg(OtherTwoArgId), NvStatus(OtherTwoArgId));
    QCOMPARE(loaderSnapshot(0).bindGeneration, generation + 1);
    QCOMPARE(driver.initCount(), 2);
    QCOMPARE(driver.queryCount(OtherTwoArgId), 2);
    QCOMPARE(callTwoArg(TwoArgId), NvStatus(TwoArgId));
    QCOMPARE(driver.queryCount(TwoArgId), 2);
    QCOMPARE(nvapiLoad(nullptr), StatusOk);
    nvapiEndCall();
    QCOMPARE(inUse(), 0);

    // Binding again took no second reference: after an unload only the test's own one is left.
    QCOMPARE(nvapiUnload(), StatusOk);
    driver.detach();
    QVERIFY(!isLoaded(driver.path()));
}

void TestGpuQuery::unknownInterface()
{
    FakeGpuDriver driver;
    driver.defineInterface(TwoArgId, 2);
    driver.hide(TwoArgId);
    QCOMPARE(callTwoArg(TwoArgId), StatusNoImplementation);
    QCOMPARE(inUse(), 0);
    // A null answer is asked for again at the next call.
    QCOMPARE(callTwoArg(TwoArgId), StatusNoImplementation);
    QCOMPARE(driver.queryCount(TwoArgId), 2);
    driver.hide(TwoArgId, false);
    QCOMPARE(callTwoArg(TwoArgId), NvStatus(TwoArgId));
    QCOMPARE(inUse(), 0);
}

namespace {

struct UnloadProbe
{
    std::uint32_t onId = 0;
    NvStatus result = 1;
    qint64 elapsedMs = -1;
    bool unload = false; // else load
};

void probeFromInside(std::uint32_t id, void* context)
{
    auto* probe = static_cast<UnloadProbe*>(context);
    if (id != probe->onId)
        return;
    QElapsedTimer timer;
    timer.start();
    probe->result = probe->unload ? nvapiUnload() : nvapiLoad(nullptr);
    probe->elapsedMs = timer.elapsed();
}

} // namespace

void TestGpuQuery::unloading()
{
    FakeGpuDriver driver;
    driver.defineInterface(TwoArgId, 2);

    // During an entry call the library is in use: the unload is refused, the call completes.
    UnloadProbe inCall{TwoArgId, 1, -1, true};
    driver.setCallHandler(probeFromInside, &inCall);
    QCOMPARE(callTwoArg(TwoArgId), NvStatus(TwoArgId));
    QCOMPARE(inCall.result, StatusError);
    QVERIFY(loaderSnapshot(0).bound);
    QCOMPARE(driver.unloadCount(), 0);
    QCOMPARE(inUse(), 0);

    // The library refuses, or has no unload function: it stays loaded.
    driver.setCallHandler(nullptr, nullptr);
    driver.setUnloadStatus(3);
    QCOMPARE(nvapiUnload(), StatusError);
    driver.setUnloadStatus(0);
    driver.hide(UnloadId);
    QCOMPARE(nvapiUnload(), StatusNoImplementation);
    driver.hide(UnloadId, false);
    QVERIFY(loaderSnapshot(0).bound);
    QCOMPARE(callTwoArg(TwoArgId), NvStatus(TwoArgId));

    // A load while the unload runs waits 100 ms per attempt and gives up after 10.
    UnloadProbe inUnload{UnloadId, 1, -1, false};
    driver.setCallHandler(probeFromInside, &inUnload);
    QCOMPARE(nvapiUnload(), StatusOk);
    QCOMPARE(inUnload.result, StatusError);
    QVERIFY(inUnload.elapsedMs >= 10 * TimeScale::ms(100));
    QCOMPARE(inUse(), 0);
    driver.setCallHandler(nullptr, nullptr);

    const LoaderSnapshot after = loaderSnapshot(0);
    QVERIFY(!after.module);
    QVERIFY(!after.bound);
    QCOMPARE(nvapiUnload(), StatusNotLoaded);
    // Loaded again on the next call.
    QCOMPARE(callTwoArg(TwoArgId), NvStatus(TwoArgId));
    QVERIFY(loaderSnapshot(0).bound);
}

void TestGpuQuery::traceHooks_data()
{
    QTest::addColumn<bool>("pre");
    QTest::addColumn<bool>("post");
    QTest::addColumn<bool>("preInstalled");
    QTest::addColumn<bool>("postInstalled");
    QTest::newRow("both") << true << true << true << true;
    QTest::newRow("pre-call hook alone") << true << false << false << false;
    QTest::newRow("post-call hook alone") << false << true << false << true;
    QTest::newRow("none") << false << false << false << false;
}

void TestGpuQuery::traceHooks()
{
    QFETCH(bool, pre);
    QFETCH(bool, post);
    QFETCH(bool, preInstalled);
    QFETCH(bool, postInstalled);
    FakeGpuDriver driver;
    driver.defineInterface(TwoArgId, 2);
    driver.setHooks(pre, post);
    QCOMPARE(callTwoArg(TwoArgId), NvStatus(TwoArgId));
    QCOMPARE(loaderSnapshot(0).preCallHook, preInstalled);
    QCOMPARE(loaderSnapshot(0).postCallHook, postInstalled);

    using Calls = QList<QList<qint64>>;
    const qint64 id = TwoArgId;
    // The pre-call hook sees two zero words and marks them; the post-call hook gets them back
    // with the result.
    const Calls preCalls = preInstalled ? Calls{{id, 0, 0, 0}} : Calls();
    QCOMPARE(driver.hookCalls(false), preCalls);
    const qint64 word0 = preInstalled ? qint64(~TwoArgId) : 0;
    const qint64 word1 = preInstalled ? 0x5A5A : 0;
    const Calls postCalls = postInstalled ? Calls{{id, word0, word1, qint64(NvStatus(TwoArgId))}} : Calls();
    QCOMPARE(driver.hookCalls(true), postCalls);

    // Unloading drops the hooks.
    QCOMPARE(nvapiUnload(), StatusOk);
    QVERIFY(!loaderSnapshot(0).preCallHook);
    QVERIFY(!loaderSnapshot(0).postCallHook);
}

void TestGpuQuery::everyInterfaceId()
{
    // The table against the published id lists: how many ids of each argument count, and their
    // sum, so a mistyped or misplaced id shows.
    std::map<int, std::pair<int, std::uint32_t>> groups;
    for (const InterfaceRow& row : interfaceTable) {
        groups[row.argCount].first += 1;
        groups[row.argCount].second += row.id;
    }
    const std::map<int, std::pair<int, std::uint32_t>> published = {
        {0, {2, 0x52615170}},   {1, {42, 0x0B896F00}}, {2, {122, 0xDF08FE26}}, {3, {55, 0x1E21ABB2}},
        {4, {19, 0x85D92DD6}},  {5, {8, 0xF080CEE8}},  {6, {2, 0xBB74899A}},   {7, {1, 0x332D3942}},
        {11, {1, 0x6A16D3A0}}, {13, {1, 0xBB939EE5}},
    };
    QVERIFY(groups == published);

    // Every entry reaches the function of its own id with all of its arguments at full width,
    // and returns its result.
    FakeGpuDriver driver;
    for (const InterfaceRow& row : interfaceTable)
        QVERIFY(driver.defineInterface(row.id, row.argCount));
    for (int i = 0; i < InterfaceCount; ++i) {
        const InterfaceRow& row = interfaceTable[i];
        InterfaceArg args[MaxInterfaceArgs] = {};
        for (int k = 0; k < row.argCount; ++k)
            args[k] = (InterfaceArg(0xA5) << (8 * sizeof(InterfaceArg) - 8)) | (InterfaceArg(row.id) << 4) | InterfaceArg(k);
        QCOMPARE(callInterface(i, args), NvStatus(row.id));
        std::uint32_t id = 0;
        int argCount = -1;
        std::uintptr_t seen[13] = {};
        driver.lastCall(&id, &argCount, seen);
        QCOMPARE(id, row.id);
        QCOMPARE(argCount, row.argCount);
        for (int k = 0; k < row.argCount; ++k)
            QCOMPARE(seen[k], args[k]);
    }
    QCOMPARE(inUse(), 0);

    // 8-bit values arrive zero-extended in their own slots.
    std::uint32_t id = 0;
    int argCount = 0;
    std::uintptr_t seen[13] = {};
    int target = 0;
    QCOMPARE(nvapiCall<0xC02EEC20>(&target, std::int8_t(-1), std::uint8_t(7)), NvStatus(0xC02EEC20));
    driver.lastCall(&id, &argCount, seen);
    QCOMPARE(seen[0], reinterpret_cast<std::uintptr_t>(&target));
    QCOMPARE(seen[1], std::uintptr_t(0xFF));
    QCOMPARE(seen[2], std::uintptr_t(7));
    QCOMPARE(nvapiCall<0xA776E8DB>(&target, std::uint8_t(0xAB)), NvStatus(0xA776E8DB));
    driver.lastCall(&id, &argCount, seen);
    QCOMPARE(seen[1], std::uintptr_t(0xAB));
    // Out of the table: no call.
    QCOMPARE(callInterface(InterfaceCount, seen), StatusNoImplementation);
}

void TestGpuQuery::powerLibraryTwin()
{
    {
        // Only the driver library installed.
        FakeGpuDriver driver;
        QCOMPARE(nvpowerapiLoad(nullptr), StatusLibraryNotFound);
        QCOMPARE(loaderSnapshot(1).inUseCount, 0);
    }
    {
        FakeGpuDriver power(FakeGpuDriver::Working, PowerLibraryName);
        const std::uint32_t generation = loaderSnapshot(1).bindGeneration;
        void* module = nullptr;
        QCOMPARE(nvpowerapiLoad(&module), StatusNewlyBound);
        QVERIFY(module);
        nvpowerapiEndCall();
        QCOMPARE(nvpowerapiLoad(&module), StatusOk);
        QCOMPARE(nvpowerapiUnload(), StatusError); // still in use
        nvpowerapiEndCall();
        QCOMPARE(loaderSnapshot(1).bindGeneration, generation + 1);
        QCOMPARE(nvpowerapiUnload(), StatusOk);
        QCOMPARE(nvpowerapiUnload(), StatusNotLoaded);
        QVERIFY(!isLoaded(power.path()));
        // The driver library itself was never touched.
        QVERIFY(!loaderSnapshot(0).module);
    }
    {
        FakeGpuDriver power(FakeGpuDriver::WithoutQuery, PowerLibraryName);
        QCOMPARE(nvpowerapiLoad(nullptr), StatusError);
        QCOMPARE(loaderSnapshot(1).inUseCount, 0);
        QVERIFY(!loaderSnapshot(1).module);
        QVERIFY(!isLoaded(power.path()));
    }
}

void TestGpuQuery::concurrentCallers()
{
    // Threads that start together before the library is loaded: one binding, every call served,
    // nothing left counted as in use.
    FakeGpuDriver driver;
    driver.addDisplay(QByteArray(128, '\0'));
    const std::uint32_t generation = loaderSnapshot(0).bindGeneration;
    std::atomic<bool> go{false};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            while (!go.load())
                std::this_thread::yield();
            for (int i = 0; i < 200; ++i) {
                NvDisplayHandle display = nullptr;
                if (NvAPI_EnumNvidiaDisplayHandle(0, &display) != StatusOk || !display)
                    failures.fetch_add(1);
            }
        });
    }
    go = true;
    for (std::thread& thread : threads)
        thread.join();
    QCOMPARE(failures.load(), 0);
    QCOMPARE(loaderSnapshot(0).bindGeneration, generation + 1);
    QCOMPARE(driver.initCount(), 1);
    QCOMPARE(driver.callCount(), 800);
    QCOMPARE(inUse(), 0);
}

PLEXA_TEST_MAIN(TestGpuQuery)
#include "tst_gpuquery.moc"

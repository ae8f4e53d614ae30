#ifndef FAKEGPUDRIVER_H
#define FAKEGPUDRIVER_H

// The test side of the fake driver library (fakenvapi.cpp): puts a copy of it under the driver
// library's name into a folder of its own, points the loader at that folder, and reaches the
// copy's set-up functions. On destruction the loader lets the library go and looks at the system
// folders again.

#include "driverloader.h"
#include "trustedlibrary.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdint>

#include <dlfcn.h>

class FakeGpuDriver
{
public:
    enum Kind {
        Working,      // the fake driver
        WithoutQuery, // a library of that name without the query function
        Missing       // no library in the folder
    };

    // `fileName`: the name the copy takes in the folder (the driver library's, by default).
    explicit FakeGpuDriver(Kind kind = Working, const char* fileName = GpuQuery::DriverLibraryName)
        : m_kind(kind)
        , m_path(m_dir.filePath(QString::fromLatin1(fileName)))
    {
        if (kind != Missing)
            install();
        GpuQuery::setTestLibraryFolder(QFile::encodeName(m_dir.path()).toStdString());
    }

    ~FakeGpuDriver()
    {
        if (m_handle) {
            reset();
            call<void (*)(void (*)(std::uint32_t, void*), void*)>("fake_setCallHandler")(nullptr, nullptr);
        }
        GpuQuery::nvapiUnload();
        GpuQuery::nvpowerapiUnload();
        if (m_handle)
            dlclose(m_handle);
        GpuQuery::setTestLibraryFolder(std::string());
    }

    QString folder() const { return m_dir.path(); }
    QString path() const { return m_path; }

    // Opens the copy for the test's own use (a second reference: the library counts as loaded by
    // someone else from now on). Done lazily by every set-up call.
    void attach()
    {
        if (!m_handle)
            m_handle = dlopen(QFile::encodeName(m_path).constData(), RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(m_handle, dlerror());
    }

    // Lets go of the test's own reference (the library's set-up is lost once nobody holds it).
    void detach()
    {
        if (m_handle)
            dlclose(m_handle);
        m_handle = nullptr;
    }

    // Puts a fresh copy in place of the library file (a new file: another identity).
    void replace()
    {
        const QString fresh = m_path + QStringLiteral(".new");
        QVERIFY(QFile::copy(sourcePath(), fresh));
        QVERIFY(::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(m_path).constData()) == 0);
    }

    void reset() { call<void (*)()>("fake_reset")(); }
    void setInitStatus(std::int32_t status) { call<void (*)(std::int32_t)>("fake_setInitStatus")(status); }
    void setUnloadStatus(std::int32_t status) { call<void (*)(std::int32_t)>("fake_setUnloadStatus")(status); }
    void hide(std::uint32_t id, bool hidden = true) { call<void (*)(std::uint32_t, int)>("fake_hide")(id, hidden); }
    void setHooks(bool pre, bool post) { call<void (*)(int, int)>("fake_setHooks")(pre, post); }
    bool defineInterface(std::uint32_t id, int argCount)
    {
        return call<int (*)(std::uint32_t, int)>("fake_defineInterface")(id, argCount) != 0;
    }
    void lastCall(std::uint32_t* id, int* argCount, std::uintptr_t args[13])
    {
        call<void (*)(std::uint32_t*, int*, std::uintptr_t*)>("fake_lastCall")(id, argCount, args);
    }
    int queryCount(std::uint32_t id) { return call<int (*)(std::uint32_t)>("fake_queryCount")(id); }
    int initCount() { return call<int (*)()>("fake_initCount")(); }
    int unloadCount() { return call<int (*)()>("fake_unloadCount")(); }
    int callCount() { return call<int (*)()>("fake_callCount")(); }
    void addDisplay(const QByteArray& edid)
    {
        call<void (*)(const std::uint8_t*, int)>("fake_addDisplay")(
            reinterpret_cast<const std::uint8_t*>(edid.constData()), edid.size());
    }
    // Runs `handler(id, context)` inside every interface call and the unload function.
    void setCallHandler(void (*handler)(std::uint32_t, void*), void* context)
    {
        call<void (*)(void (*)(std::uint32_t, void*), void*)>("fake_setCallHandler")(handler, context);
    }
    // The hooks' calls, four numbers each: id, word 0, word 1, result.
    QList<QList<qint64>> hookCalls(bool post)
    {
        qint64 records[4 * 32];
        const int n = call<int (*)(int, qint64*, int)>("fake_hookCalls")(post ? 1 : 0, records, 32);
        QList<QList<qint64>> result;
        for (int i = 0; i < n && i < 32; ++i)
            result << QList<qint64>{records[4 * i], records[4 * i + 1], records[4 * i + 2], records[4 * i + 3]};
        return result;
    }

    template <typename F>
    F call(const char* name)
    {
        attach();
        void* symbol = m_handle ? dlsym(m_handle, name) : nullptr;
        if (!symbol)
            qFatal("the fake driver library has no %s", name);
        return reinterpret_cast<F>(symbol);
    }

private:
    QString sourcePath() const
    {
        return QString::fromLocal8Bit(m_kind == WithoutQuery ? PLEXA_FAKE_NVAPI_NOQUERY : PLEXA_FAKE_NVAPI);
    }

    void install() { QVERIFY(QFile::copy(sourcePath(), m_path)); }

    Kind m_kind;
    QTemporaryDir m_dir;
    QString m_path;
    void* m_handle = nullptr;
};

#endif // FAKEGPUDRIVER_H

#include "chidio.h"

#include "hid.h"
#include "timescale.h"

#include <QElapsedTimer>

#include <cstdio>

namespace {
// How often a waiting read looks for a cancel.
constexpr int CancelPollMs = 10;
} // namespace

CHidIO::CHidIO(HidBackend* backend)
    : m_backend(backend)
{
}

CHidIO::~CHidIO()
{
    CloseDevice();
}

bool CHidIO::OpenDevice(bool twoHandles, quint16 vendorId, quint16 productId)
{
    // Reopening must not leave the earlier handles open behind the new ones.
    CloseDevice();
    m_twoHandles = twoHandles;
    m_cancelRequested.store(false);

    HidBackend* backend = m_backend ? m_backend : HidBackend::current();
    QByteArray path;
    for (const HidDeviceInfo& unit : backend->enumerate(vendorId, productId)) {
        if (unit.vendorId == vendorId && unit.productId == productId) {
            path = unit.path;
            break;
        }
    }
    if (path.isEmpty())
        return false;

    m_readHandle = backend->open(path);
    m_writeHandle = twoHandles ? std::shared_ptr<HidHandle>(backend->open(path)) : m_readHandle;
    if (!m_readHandle || !m_writeHandle) {
        // A unit that is there but cannot be opened is as useless as one that is not there.
        m_readHandle.reset();
        m_writeHandle.reset();
        return false;
    }
    return true;
}

bool CHidIO::WriteFile(const void* data, int length, quint32* written, int timeout)
{
    if (written)
        *written = 0;
    if (!m_writeHandle || !data || length <= 0)
        return false;
    if (takeCancel())
        return false;
    const int n = m_writeHandle->write(static_cast<const quint8*>(data), length, qMax(0, TimeScale::ms(timeout)));
    if (n < 0)
        return false;
    if (written)
        *written = quint32(n);
    return true;
}

int CHidIO::readReport(quint8* buffer, int size, int timeoutMs)
{
    if (!m_readHandle || !buffer || size <= 0)
        return HidHandle::Failed;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (takeCancel())
            return HidHandle::Failed;
        const qint64 left = timeoutMs - clock.elapsed();
        const int n = m_readHandle->read(buffer, size, int(qBound<qint64>(0, left, CancelPollMs)));
        if (n > 0)
            return qMin(n, size);
        if (n != 0 && n != HidHandle::TimedOut)
            return HidHandle::Failed;
        if (clock.elapsed() >= timeoutMs)
            return 0;
    }
}

void CHidIO::CloseDevice()
{
    if (!m_readHandle && !m_writeHandle)
        return;
    if (!m_twoHandles) {
        std::fputs(" The First Close One\n", stdout);
        std::fflush(stdout);
    }
    m_readHandle.reset();
    m_writeHandle.reset();
}

void CHidIO::Cancel()
{
    m_cancelRequested.store(true);
}

bool CHidIO::isOpen() const
{
    return m_readHandle && m_writeHandle;
}

bool CHidIO::takeCancel()
{
    return m_cancelRequested.exchange(false);
}

#include "fakehidunit.h"

#include <QThread>

#include <algorithm>
#include <cstring>

FakeHidUnit::FakeHidUnit(quint16 vendorId, quint16 productId, const QByteArray& path)
    : m_vendorId(vendorId)
    , m_productId(productId)
    , m_path(path)
{
    m_clock.start();
}

void FakeHidUnit::sendReport(const QByteArray& report, int delayMs)
{
    const qint64 due = m_clock.elapsed() + qMax(0, delayMs);
    // Keep the queue in arrival order.
    auto later = std::upper_bound(m_inbox.begin(), m_inbox.end(), due,
                                  [](qint64 d, const Pending& p) { return d < p.due; });
    m_inbox.insert(later, Pending{report, due});
}

void FakeHidUnit::unplugFor(int ms)
{
    ++m_generation;
    m_inbox.clear();
    m_absentUntil = m_clock.elapsed() + qMax(0, ms);
}

QByteArray FakeHidUnit::report(quint8 sequenceByte, const QByteArray& payload, int lengthByte, int size)
{
    QByteArray r(qMax(size, 3 + payload.size()), '\0');
    r[1] = char(sequenceByte);
    r[2] = char(lengthByte < 0 ? payload.size() : lengthByte);
    std::memcpy(r.data() + 3, payload.constData(), size_t(payload.size()));
    return r.left(size);
}

quint8 FakeHidUnit::sequenceOf(const QByteArray& report)
{
    return report.size() > 1 ? quint8(report.at(1) & 0x7F) : 0;
}

class FakeHidHandle : public HidHandle
{
public:
    explicit FakeHidHandle(std::shared_ptr<FakeHidUnit> unit)
        : m_unit(std::move(unit))
        , m_generation(m_unit->m_generation)
    {
        ++m_unit->m_openCount;
        ++m_unit->m_openHandles;
    }

    ~FakeHidHandle() override
    {
        if (--m_unit->m_openHandles == 0 && alive())
            m_unit->m_inbox.clear();
    }

    int write(const quint8* report, int length, int timeoutMs) override
    {
        if (!alive())
            return Failed;
        if (m_unit->m_writeStalls) {
            QThread::msleep(ulong(qMax(0, timeoutMs)));
            return TimedOut;
        }
        const QByteArray written(reinterpret_cast<const char*>(report), length);
        m_unit->m_written.append(written);
        if (m_unit->m_responder)
            m_unit->m_responder(*m_unit, written);
        return length;
    }

    int sendFeatureReport(const quint8* report, int length) override
    {
        if (!alive() || m_unit->m_featureRefused)
            return Failed;
        const QByteArray sent(reinterpret_cast<const char*>(report), length);
        m_unit->m_features.append(sent);
        if (m_unit->m_featureResponder)
            m_unit->m_featureResponder(*m_unit, sent);
        return length;
    }
    int outputReportLength() const override { return m_unit->m_outputLength; }
    int featureReportLength() const override { return m_unit->m_featureLength; }

    int read(quint8* buffer, int size, int timeoutMs) override
    {
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            if (!alive())
                return Failed;
            QList<FakeHidUnit::Pending>& inbox = m_unit->m_inbox;
            if (!inbox.isEmpty() && inbox.first().due <= m_unit->m_clock.elapsed()) {
                const QByteArray r = inbox.takeFirst().report;
                const int n = qMin(size, r.size());
                std::memcpy(buffer, r.constData(), size_t(n));
                return n;
            }
            if (waited.elapsed() >= timeoutMs)
                return 0;
            QThread::msleep(1);
        }
    }

private:
    bool alive() const { return m_unit->isPresent() && m_unit->m_generation == m_generation; }

    std::shared_ptr<FakeHidUnit> m_unit;
    int m_generation;
};

FakeHidUnit& FakeHidBus::addUnit(quint16 vendorId, quint16 productId)
{
    const QByteArray path = "/dev/fakehid" + QByteArray::number(m_units.size());
    m_units.append(std::make_shared<FakeHidUnit>(vendorId, productId, path));
    return *m_units.last();
}

QList<HidDeviceInfo> FakeHidBus::enumerate(quint16 vendorId, quint16 productId)
{
    QList<HidDeviceInfo> found;
    for (const auto& unit : m_units) {
        if (!unit->isPresent() || (vendorId && unit->vendorId() != vendorId)
            || (productId && unit->productId() != productId))
            continue;
        HidDeviceInfo info;
        info.path = unit->path();
        info.vendorId = unit->vendorId();
        info.productId = unit->productId();
        info.product = QStringLiteral("Fake HID unit");
        found.append(info);
    }
    return found;
}

std::unique_ptr<HidHandle> FakeHidBus::open(const QByteArray& path)
{
    for (const auto& unit : m_units) {
        if (unit->path() == path && unit->isPresent()
            && (unit->m_handleLimit < 0 || unit->m_openHandles < unit->m_handleLimit))
            return std::make_unique<FakeHidHandle>(unit);
    }
    return nullptr;
}

#ifndef FAKEHIDUNIT_H
#define FAKEHIDUNIT_H

#include "hid.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>

#include <functional>
#include <memory>

// A scripted vendor HID unit. It records every report written to it, answers through a
// responder, and can refuse to be opened, stall its writes or vanish. Reports it sends wait in
// one queue read by any open handle; the queue empties when the last handle closes, as the
// kernel drops the reports of a closed handle.
class FakeHidUnit
{
public:
    // Called for every report written; it answers with sendReport.
    using Responder = std::function<void(FakeHidUnit& unit, const QByteArray& report)>;

    FakeHidUnit(quint16 vendorId, quint16 productId, const QByteArray& path);

    quint16 vendorId() const { return m_vendorId; }
    quint16 productId() const { return m_productId; }
    QByteArray path() const { return m_path; }

    void setResponder(Responder responder) { m_responder = std::move(responder); }
    // Queues an input report (report id byte first), readable `delayMs` ms from now.
    void sendReport(const QByteArray& report, int delayMs = 0);
    // At most `limit` handles can be open at once; opening more fails while the unit stays listed
    // (0: a unit held by another program; 1: a unit that allows one handle only). -1: no limit.
    void setHandleLimit(int limit) { m_handleLimit = limit; }
    // A stalled unit never completes a write: every write times out.
    void setWriteStalls(bool stalls) { m_writeStalls = stalls; }
    // Unplugs the unit: it is no longer listed and every transfer on its open handles fails.
    void unplug() { m_present = false; }
    // A unit that restarts: it leaves the bus now (its open handles fail for good, its queued
    // reports are lost) and is listed again `ms` ms later.
    void unplugFor(int ms);
    bool isPresent() const { return m_present && m_clock.elapsed() >= m_absentUntil; }

    // The report lengths its capabilities state (report id byte included).
    void setReportLengths(int output, int feature)
    {
        m_outputLength = output;
        m_featureLength = feature;
    }
    // Called for every feature report sent; it may change the bus (a unit that reboots).
    void setFeatureResponder(Responder responder) { m_featureResponder = std::move(responder); }
    // A unit that refuses feature reports.
    void setFeatureRefused(bool refused) { m_featureRefused = refused; }
    // Feature reports sent to it, in order (refused ones are not recorded).
    QList<QByteArray> featureReports() const { return m_features; }

    QList<QByteArray> writtenReports() const { return m_written; }
    int openCount() const { return m_openCount; }     // handles ever opened
    int openHandles() const { return m_openHandles; } // handles open now

    // A report in the transport's layout: id 0, `sequenceByte`, the length byte (the payload's
    // size when negative), the payload, zeros up to `size` bytes; cut at `size` bytes.
    static QByteArray report(quint8 sequenceByte, const QByteArray& payload, int lengthByte = -1, int size = 65);
    // The sequence number (bits 0-6 of byte 1) of a report written to the unit.
    static quint8 sequenceOf(const QByteArray& report);

private:
    friend class FakeHidHandle;
    friend class FakeHidBus;
    struct Pending {
        QByteArray report;
        qint64 due;
    };

    quint16 m_vendorId;
    quint16 m_productId;
    QByteArray m_path;
    Responder m_responder;
    Responder m_featureResponder;
    QList<QByteArray> m_features;
    int m_outputLength = 65;
    int m_featureLength = 65;
    bool m_featureRefused = false;
    QElapsedTimer m_clock;
    QList<Pending> m_inbox;
    QList<QByteArray> m_written;
    int m_handleLimit = -1;
    bool m_writeStalls = false;
    bool m_present = true;
    qint64 m_absentUntil = 0;
    int m_generation = 0; // restarts so far; a handle works only in the one it was opened in
    int m_openCount = 0;
    int m_openHandles = 0;
};

// The HID units of a test: a HidBackend that lists and opens FakeHidUnits. Hand it to
// CHidIO/CHidCmd, or install it for the whole program with HidBackend::setCurrent.
class FakeHidBus : public HidBackend
{
public:
    FakeHidUnit& addUnit(quint16 vendorId, quint16 productId);

    QList<HidDeviceInfo> enumerate(quint16 vendorId = 0, quint16 productId = 0) override;
    std::unique_ptr<HidHandle> open(const QByteArray& path) override;

private:
    QList<std::shared_ptr<FakeHidUnit>> m_units;
};

#endif // FAKEHIDUNIT_H

#ifndef HDBASETSTREAM_H
#define HDBASETSTREAM_H

#include <QByteArray>
#include <QList>

#include <atomic>
#include <functional>
#include <memory>

class SimDevice;

// What an HDBaseT pair unit's link monitor measures in one cycle, as raw numbers.
struct HDBaseTCycle {
    int mse[4] = {3685, 3685, 3685, 3685};  // mean-square error of pairs A to D
    int maxErr[4] = {20, 20, 20, 20};       // max error of pairs A to D (transmitter)
    int tmdsMHz = 148;
    bool receiver = false;                  // a receiver closes the cycle with its retransmission rate
    double retransRate = 100.0;             // percent
};

// The link-monitor stream of an HDBaseT pair unit (between its "#rdstatus 1" and "a"), pushed to
// every peer of a SimDevice. One cycle is the lines "CH0: n" to "CH3: n", "TMDS: n MHz", and
// either "Cnl A n" to "Cnl D n" (a transmitter) or "ReTransRate: r" (a receiver), each ended by
// "\r\n". The bytes reach the program in the shape a test asks for: one line per write, each
// line cut in two in the middle of its number, or a whole cycle in one write.
class HDBaseTStream
{
public:
    enum class Chunking { LinePerWrite, SplitMidNumber, Coalesced };

    explicit HDBaseTStream(SimDevice& device);
    ~HDBaseTStream();

    static QList<QByteArray> cycleLines(const HDBaseTCycle& cycle);
    // The writes that carry `lines` in the given shape.
    static QList<QByteArray> writes(const QList<QByteArray>& lines, Chunking chunking);

    // Pushes one cycle, one SimDevice::push() per write, `gapMs` (device ms) apart.
    void pushCycle(const HDBaseTCycle& cycle, Chunking chunking, int gapMs = 2);
    // A cycle every `intervalMs` device ms on the simulator thread, the n-th made by `make(n)`,
    // until stop(), the device's stop() or this object's end.
    void start(std::function<HDBaseTCycle(int n)> make, int intervalMs, Chunking chunking);
    void stop();
    bool isRunning() const { return m_run && m_run->running; }
    // Cycles pushed by pushCycle() and by the current start().
    int cyclesSent() const { return m_sent + (m_run ? int(m_run->sent) : 0); }

private:
    // One start()'s run, shared with the tasks it has scheduled on the simulator thread.
    struct Run {
        std::function<HDBaseTCycle(int)> make;
        int intervalMs = 1000;
        Chunking chunking = Chunking::LinePerWrite;
        std::atomic<bool> running{true};
        std::atomic<int> sent{0};
    };
    static void tick(SimDevice& device, const std::shared_ptr<Run>& run);

    SimDevice& m_device;
    std::shared_ptr<Run> m_run;
    int m_sent = 0;
};

#endif // HDBASETSTREAM_H

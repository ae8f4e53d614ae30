#ifndef HDBASET_H
#define HDBASET_H

#include "nosetup.h"

class Ui_MainUI;
class QSerialPort;
class QTimer;
class QCustomPlot;
class pinout_selector;
#include "device.h"
#include "hdbtmonitor.h"

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QFile>
#include <QList>
#include <QPalette>
#include <QVector>
#include <QWidget>

#include <functional>

// The "Status" page of the HDBaseT extender pairs: finds the units among the serial ports, reads
// the link-monitor stream that the test-device page forwards while it monitors, keeps a history
// of samples, draws the link-quality and max-error plots, raises per-channel alerts and keeps
// their event table and CSV log, and recolours the first two channels for the cable's wiring
// standard. It never reads or writes the shared port itself.
class HDBaseT : public QWidget
{
    Q_OBJECT

public:
    HDBaseT(Ui_MainUI* ui, QSerialPort* port);
    ~HDBaseT() override;

    virtual void selectedProductChanged(Device device);
    // One received chunk of the link-monitor stream, handed on by the test-device page while it
    // monitors. Chunks are joined into lines, whatever the serial chunking.
    virtual void processMonitorReadyRead(const QByteArray& chunk);

    QList<Device> findDevices();
    double mse_formula(double x) const;
    double maxerr_formula(double x) const;
    int numberOfSeconds() const;
    void alertBoxThreshold(bool exceeded, int graph, int channel);
    static QString percentText(double value);

    // Read-only views for the status bar and tests.
    const QList<PlotSample>& history() const { return samples; }
    const PlotSample& currentSample() const { return parser.sample(); }
    bool isMonitoring() const { return monitoring; }
    bool receiverUnit() const { return isReceiver; }
    QString logPath() const { return logFilePath; }
    bool isLogOpen() const { return logFile.isOpen(); }
    // The wiring-standard dialog, built on first use.
    pinout_selector* pinoutSelector();
    // Replaces the clock that stamps samples and names log files; an empty function restores
    // the system clock.
    void setClock(std::function<QDateTime()> clock) { this->clock = std::move(clock); }

signals:
    void refreshImmediately();

public slots:
    void checkDeviceCount();
    virtual QList<Device> updateDeviceList();
    virtual void startThePlot();
    void addADataPoint();
    void restartThePlot();
    void clearLog();
    void downloadLog();
    bool openPort();
    void executePinoutButton();
    void staticChartChange(bool indx);
    void onHideClicked();
    void clearStatus();
    void onHelpClicked();

protected:
    HDBaseT(Ui_MainUI* ui, QSerialPort* port, NoSetup);

    Ui_MainUI* ui = nullptr;
    QSerialPort* port = nullptr; // shared with the EDID test-device page; not owned

private:
    void init();
    void initPlots();
    void redrawPlots();
    void refreshChannelWidgets();
    void startTheLog();
    void recordEvent(int alertIndex);
    void showStatus(const QPalette& palette, const QString& text, int clearAfterMs);
    void setGraphPen(QCustomPlot* plot, int graph, const QColor& color, Qt::PenStyle style, int width);
    void applyPinoutColours();
    static void restyle(QWidget* widget, const char* state);

    QList<Device> devices;
    QTimer* deviceTimer = nullptr;
    QTimer* statusTimer = nullptr;
    QPalette errorPalette;
    QPalette successPalette;
    Device selectedDevice;
    bool isReceiver = false;
    bool firstCount = true;
    int deviceCount = 0;
    QList<PlotSample> samples;
    bool monitoring = false;
    HDBaseTAlerts alerts;
    QColor channelColors[4];
    QString openedPortName;
    HDBaseTMonitorParser parser; // holds the sample being filled and the max-error peaks
    pinout_selector* pinoutDialog = nullptr;
    bool pinoutIsB = true;       // the wiring standard last confirmed
    QFile logFile;
    QString logFilePath;
    bool logFailureShown = false;
    QVector<double> linkThresholdLine;
    QVector<double> maxErrThresholdLine;
    std::function<QDateTime()> clock;
};

#endif // HDBASET_H

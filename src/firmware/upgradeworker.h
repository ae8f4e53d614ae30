#ifndef UPGRADEWORKER_H
#define UPGRADEWORKER_H

// The serial firmware upload, run on the program's one worker thread: for every file of a package
// the text commands that put the unit into its receive mode, then the units' YMODEM-1K style
// transfer (the shared engine's serialFirmware variant) and the wait for the unit's success text;
// for the Pelmorr and Rindale units instead the Intel HEX boot loader (512-byte blocks, each after
// a set-address command the unit echoes).
//
// The worker owns its port and touches it only on its own thread. Replies reach `rxBuffer`
// through readyRead while the thread runs its events, that is inside delay(); every wait polls
// the buffer between short delays.

#include "firmwareupdatepackage.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QSerialPort;

class UpgradeWorker : public QObject
{
    Q_OBJECT

public:
    UpgradeWorker(QString portName, FwProduct product, QString productName);
    ~UpgradeWorker() override;

    // The largest firmware file taken (the units' images are far smaller).
    static constexpr qint64 MaxFirmwareBytes = 64 * 1024 * 1024;
    // The boot loader's block and the count its one-byte address field reaches.
    static constexpr int BootBlockSize = 512;
    static constexpr int BootMaxBlocks = 128;

signals:
    void finished();
    void error(QString err);
    void updateMessage(QString msg);
    void updateConsole(QString msg);
    void updateProgressBar(int currentSize, int total);

public slots:
    void slot_newDataReceived();
    void process();
    void processPELMORR();

private:
    friend class WorkerChannel;

    // Creates the port on the worker's thread; false (reported) for a package without files.
    bool createPort();
    bool openPort();
    void closePort();
    void sendPort(QString text, bool crlf);
    // Writes `bytes` and waits (bounded) until the port has handed them on.
    bool writeBytes(const QByteArray& bytes);
    void putonechar(int c);
    // The next byte not yet taken from rxBuffer (0..255), or -1 when none came within timeoutMs
    // (device milliseconds) or the port is gone.
    int getonechar(int timeoutMs);
    bool linkLost() const;
    void clearReceived();
    // Ends the run with `text`: the port is closed, nothing follows.
    void fail(const QString& text);
    // One file of the YMODEM path; false after a failure (already reported).
    bool uploadFile(const FwFile& file);
    // The bytes of the firmware file; false after a failure (already reported).
    bool readFirmware(const FwFile& file, QByteArray* bytes);
    bool flashAddr_Setting(unsigned char command, unsigned char address, unsigned char high);
    bool bank0_Write(const QByteArray& block, int index);

    QString portName;
    QSerialPort* serialPort = nullptr;
    QByteArray rxBuffer;
    FwProduct product;
    QString productName;
    int rxPos = 0;
    bool portGone = false;
};

#endif // UPGRADEWORKER_H

#ifndef MYXMLMANAGER_H
#define MYXMLMANAGER_H

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

class QDomDocument;

// The program's own per-user XML files, shared by every page:
//
// - the settings file "VelmoPersistent.xml" in the folder "VelmoFWUpgrade" under the home folder,
//   where file dialogs remember the last folder used. The update page keeps its own elements in
//   the same file through readSettings/editSettings; only "lastSavedDirectory" is named here.
// - the usage statistics "VelmoPlexa-T-Stat.xml" in the folder "VelmoPlexaT" under the home
//   folder: the user's consent, an anonymous id, the time of the last send and one counter or
//   list per event key, posted to the statistics server at most once every seven days.
//
// Every write replaces the whole file atomically (UTF-8, with an XML declaration). A file that
// cannot be read or parsed is never overwritten: it is left as it is and defaults are used.
// All functions run on the GUI thread; failures only produce debug lines.
class myXMLManager
{
public:
    // Settings -------------------------------------------------------------------------------
    // Folder a file dialog starts in: the remembered folder, else QDir::homePath().
    static QString getLastSavedDirectory();
    // Remembers the folder of the path a file dialog returned; an empty path (cancelled) is ignored.
    static void setLastSavedDirectory(QString path);
    // The settings file as a whole, for the pages that keep elements of their own in it.
    // readSettings: true with the parsed document; false when the file is missing, unreadable or
    // malformed. editSettings: reads the file (a missing one starts as an empty "data"
    // document), lets `edit` change it and writes it back atomically when `edit` returns true.
    // A file that cannot be read or parsed is left as it is. True when the file was written.
    static bool readSettings(QDomDocument& doc);
    static bool editSettings(const std::function<bool(QDomDocument& doc)>& edit);

    // Usage statistics -----------------------------------------------------------------------
    // Start-up: asks for consent when there is no statistics file yet, otherwise reads the
    // stored answer and posts the counters when seven days have passed. Returns the consent.
    // When something other than a regular file (a folder, a FIFO) stands in the file's place,
    // nothing is asked, nothing is collected and the user is told once. When the answer cannot
    // be written, it holds for this run and the user is told once. Either way the question is
    // not asked again until the program is started again.
    static bool checkStatisticsAcceptance();
    // Sets the consent from the file; false when the file cannot be read or parsed.
    static bool checkStatisticsAcceptanceFileRead();
    // Asks the consent question and writes a new statistics file with the answer.
    static void createStatisticsFile();
    // Posts the statistics when the user agreed and seven days have passed since the last send.
    // The counters are cleared only after the server has answered with success.
    static void checkSendStatisticsData();
    // Empties the counters and sets the time of the last send to now.
    static void cleanStatisticsXML();
    // Adds one to the counter `key` (only with consent).
    static void incrementStatistic(QString key);
    // Adds `value` to the comma-separated list `key` unless it is already an item (only with consent).
    static void appendStatistic(QString key, QString value);
    // Several values at once: one read of the file and at most one write.
    static void appendStatistics(QString key, const QStringList& values);

    static bool statisticsAccepted();
    // True from a post until the server's answer (or the failure) has been handled.
    static bool isSendingStatistics();

    // File locations (native separators).
    static QString settingsFilePath();
    static QString statisticsFilePath();

    // Replaces the clock used for "now" (seven-day rule, time of the last send); an empty
    // function restores the system clock.
    static void setClockForTests(std::function<QDateTime()> clock);
    // Forgets what this run settled (the consent, a told failure), as a new start does.
    static void startAgainForTests();

    // Statistic keys.
    static const QString STAT_OPENED;                // "opened_plexat"
    static const QString STAT_CONVERTER_FW_UPDATE;   // "perform_converter_fw_update"
    static const QString STAT_SORVANE_FW_UPDATE;     // "perform_sorvane_fw_update"
    static const QString STAT_ROLVANE_FW_UPDATE;     // "perform_rolvane_fw_update"
    static const QString STAT_SCALER_FW_UPDATE;      // "perform_scaler_fw_update"
    static const QString STAT_LUNMORA_FW_UPDATE;     // "perform_lunmora_fw_update"
    static const QString STAT_KORVINA_FW_UPDATE;     // "perform_korvina_fw_update"
    static const QString STAT_VIEW_MONITOR_EDID;     // "view_monitor_edid"
    static const QString STAT_HDBASET_MONITORING;    // "hdbaset_monitoring_started"
    // The list of connected products is STATISTIC_PRODUCTS ("products") of constants.h.
};

#endif // MYXMLMANAGER_H

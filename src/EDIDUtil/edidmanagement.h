#ifndef EDIDMANAGEMENT_H
#define EDIDMANAGEMENT_H

#include "audioformat.h"
#include "edidcatalogues.h"
#include "edidentry.h"
#include "edidstate.h"
#include "textdiff.h"
#include "timing.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QModelIndex>
#include <QSet>
#include <QString>
#include <QWidget>

#include <array>

class AudioFormatModel;
class CustomAudioDialog;
class CustomTimingDialog;
class QPushButton;
class QTableView;
class QTextEdit;
class TimingModel;
class Ui_MainUI;

// The EDID editor behind the "Manage EDID" pages. Never shown; it drives the form's widgets.
//
// The form's widgets and the two table models are the EDID being edited. Decoding fills an
// EdidState and the binder applies it to the form; encoding reads the form back into a state
// (starting from `parsedState`, so what the form does not show is written back unchanged) and
// encodes it. The viewer and the main window reach the members below directly.
class EdidManagement : public QWidget
{
    Q_OBJECT

public:
    // monitorList: the viewer's list of monitor EDIDs; not used by the editor, not owned.
    EdidManagement(Ui_MainUI* ui, QList<EdidEntry>* monitorList);
    ~EdidManagement() override;

    // ---- Files, description view (EdidManagement core) -----------------------------------
    void setTextEdit(QTextEdit* view);
    QTextEdit* textEdit() const { return descriptionView; }
    void setDiffMode(bool on);
    // Shows the EDID the caller has just put into edidData, read-only.
    void displayEDID(QString name);
    void importEDID();
    void refreshEditView();
    void showDiff();
    void setEDIDText();

    // ---- Encoding and decoding of the current EDID ---------------------------------------
    void updateEDID();
    void initNewEDID();
    void parseEDID();

    // ---- Edit mode, clearing, undo --------------------------------------------------------
    void clearEDID();
    void refreshEDID();
    void resetHistory();
    void enableEditButtons(bool enabled);
    void resetParsedLists();

    TimingModel* getTimingModel() const { return timingModel; }

    // ---- State (the viewer and the window read and set these) ----------------------------
    QTextEdit* descriptionView = nullptr;
    QByteArray edidData;
    Ui_MainUI* ui = nullptr;
    bool refreshing = false;
    bool checksumReported = false;
    bool suppressHistory = false;
    QString edidName;
    QList<Diff> diffs;
    bool showDiffMode = true;
    TimingModel* timingModel = nullptr;
    TimingCatalogue timingCatalogue;
    QString savedFileName;
    QString hPixelsFilter, vLinesFilter, refreshRateFilter, scanTypeFilter;
    bool editingTiming = false;
    CustomTimingDialog* customTimingDialog = nullptr;
    AudioFormatModel* audioModel = nullptr;
    AudioCatalogue audioCatalogue;
    CustomAudioDialog* customAudioDialog = nullptr;
    ChromaticityCatalogue chromaticityCatalogue;
    QTableView* currentTable = nullptr;
    bool loading = false;
    QString descriptionText;
    bool editMode = false;
    std::array<QPushButton*, 16> vicButtons{};
    int descriptionScroll = 0;
    QList<QByteArray> history;
    // The state of the last decode: the source of everything the form does not show.
    EdidState parsedState;

public slots:
    // Core: files, edit mode, undo, page state.
    void saveEDID();
    void editEDID();
    void videoInterfaceChanged();
    void digitalVideoInterfaceChanged();
    void edidSizeChanged(bool oneBlock);
    void edidFileEdited();
    void managementTabChanged(int tabIndex);
    void enable420CapabilityMap(bool setTo);
    void enable420VideoBlock(bool setTo);
    void enableHDRChanged(bool checked);
    void undoEDID();
    void undoEDIDAll();

    // Timings, VICs and 3D options (edidmanagement_timings.cpp).
    void moveUp();
    void moveDown();
    void editTiming();
    void addTimingToEDID(QString item);
    void createYourOwnTiming();
    void removeTiming();
    void clearTimingTable();
    void horizontalPixelsChanged(QString hPixels);
    void verticalLinesChanged(QString vLines);
    void refreshRateChanged(QString rRate);
    void scanTypeChanged(QString sType);
    void timingRowChanged(QModelIndex current, QModelIndex previous);
    void threeDOptionChanged(bool checked);
    void vic3DdropdownIndexChanged(int option);
    void threeDTxFormatToggled();
    void vicMaskToggled();

    // Audio, speakers and chromaticity (edidmanagement_audio.cpp).
    void editAudio();
    void audioSettingChanged(bool checked);
    void addAudioToEDID(QString item);
    void createYourOwnAudioFormat();
    void removeAudio();
    void clearAudioTable();
    void audioFormatRowChanged(QModelIndex current, QModelIndex previous);
    void speakerAllocChanged(bool checked);
    void chromaticitySelected(int index);
    void storeChromaticity();
    void removeChromaticity();
    void chromaticityValueChanged();

    // TMDS clock, colour depth and 4:2:0 rules (edidmanagement_tmds.cpp).
    void maxTMDSOptionChanged(bool autoChecked);
    void computeTMDSClockAndRangeLimits();
    void tmdsPromotion(int row);
    void checkColorDepthDropdowns();
    void clickHandlerColorDepth();
    void tmdsManualToAuto();

private:
    // ---- Core helpers (edidmanagement.cpp) ------------------------------------------------

    // ---- Timing, audio and TMDS helpers (edidmanagement_timings/_audio/_tmds.cpp) ---------
};

#endif // EDIDMANAGEMENT_H

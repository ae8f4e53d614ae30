#ifndef EDIDMANAGEMENT_H
#define EDIDMANAGEMENT_H

#include "audioformat.h"
#include "edidcatalogues.h"
#include "ediddecoder.h"
#include "edidentry.h"
#include "edidstate.h"
#include "textdiff.h"
#include "timing.h"

#include <QByteArray>
#include <QHash>
#include <QPointer>
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
// EdidState and the binder (edidformbinder.h) applies it to the form; encoding reads the form back
// into a state (starting from `parsedState`, so what the form does not show is written back
// unchanged) and encodes it. The viewer and the main window hand EDIDs over with setEdidData and
// read the editor through the const accessors; everything else changes through its slots.
//
// Values the form cannot show live in `parsedState` and slots that change them change them there:
// the 3D structures (`threeDStructureAll`, `threeDMask`, `vicThreeDStructures`), the kept blocks
// (HDR static metadata, HDMI Forum block, 4:2:0 lists), `srgbDefault` and the range limits. The
// VIC slots are the VIC buttons and the items of `vic3Ddropdown` (binder helpers below).
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

    // Reloads a catalogue from its per-user file and refills its pick list (the custom dialogs
    // add entries to the files).
    void loadTimings();
    void loadAudioFormats();
    void loadChromaticities();
    // Refills `timingDropdown` from `timingCatalogue` and the four filter texts.
    void populateTimingDropdown();
    // The row buttons of the table of the open tab (`currentTable`).
    void updateTableButtons(bool enable);
    // The state the form holds now: `parsedState` with every value the form shows read back.
    EdidState formState() const;

    // ---- What the viewer, the window and the tests reach ---------------------------------
    // The EDID sources (a unit, a file, a monitor) hand their bytes over here; displayEDID or the
    // viewer's openSelectedEDID then shows them. An empty array is the "nothing read" result.
    void setEdidData(const QByteArray& bytes);
    // The EDID being shown or edited; after an edit, the encoding of the form.
    const QByteArray& currentEdid() const { return edidData; }
    // The EDIDs an undo can go back to, the first being the one editing started from.
    const QList<QByteArray>& undoHistory() const { return history; }
    // The state of the last decode, the source of everything the form does not show.
    const EdidState& decodedState() const { return parsedState; }
    // The description of the current EDID and its comparison with the one before the last edit.
    const QString& description() const { return descriptionText; }
    const QList<Diff>& descriptionDiffs() const { return diffs; }
    bool diffModeOn() const { return showDiffMode; }
    // The title the EDID was shown with (a source name or a file path).
    const QString& shownName() const { return edidName; }
    // The last name chosen in the save dialog (empty when it was cancelled).
    const QString& lastSavedFileName() const { return savedFileName; }
    bool isEditing() const { return editMode; }
    bool isLoading() const { return loading; }
    // Whether the last edit was refused because the EDID could not hold it (the form is back as
    // it was, and the reason has been shown).
    bool lastEditRefused() const { return editRefused; }
    // The table of the open tab whose row buttons act: the timing or the audio table, or none.
    QTableView* activeTable() const { return currentTable; }
    const std::array<QPushButton*, 16>& vicSlotButtons() const { return vicButtons; }
    AudioFormatModel* getAudioModel() const { return audioModel; }
    // The custom timing dialog, built on first use (most sessions never open it).
    CustomTimingDialog* timingDialog();
    CustomAudioDialog* audioDialog();
    // The catalogues behind the pick lists. The timing catalogue is read on first use.
    const TimingCatalogue& timings();
    const AudioCatalogue& audioFormats() const { return audioCatalogue; }
    const ChromaticityCatalogue& chromaticities() const { return chromaticityCatalogue; }

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
    // ---- State ------------------------------------------------------------------------------
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
    bool timingCatalogueRead = false;
    QHash<QString, int> timingIndexByName;
    QString savedFileName;
    QString hPixelsFilter, vLinesFilter, refreshRateFilter, scanTypeFilter;
    bool editingTiming = false;
    CustomTimingDialog* customTimingDialog = nullptr;
    AudioFormatModel* audioModel = nullptr;
    AudioCatalogue audioCatalogue;
    QHash<QString, int> audioIndexByName;
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
    // Set by edidFileEdited when it refused the edit (the EDID could not hold it): the form is
    // back as it was before the edit, and the message has been shown.
    bool editRefused = false;

    // ---- Core helpers (edidmanagement.cpp) ------------------------------------------------
    EdidDecodeContext decodeContext();
    // Enables the pages and frames the chosen interface offers; changes no choice.
    void updateInterfacePageState();
    // Encodes the form; on success stores the bytes and shows the placements in the timing
    // table. Returns the encoder's refusal, empty on success.
    QString encodeForm();
    // Puts the form back to the last state that could be encoded.
    void restoreLastGoodForm();
    // Re-enters edit mode after an EDID has been (re)displayed, without touching the history.
    void resumeEditing();
    void ensureTimingCatalogue();
    QList<EdidEntry>* monitorList = nullptr;
    EdidState lastGoodState; // the form's state at the last successful encode
    bool haveLastGoodState = false;
    int sourceExtraBlocks = 0; // blocks past the first extension of the EDID editing began from
    QPointer<QWidget> timingDialogGuard, audioDialogGuard;

    // ---- Timing, audio and TMDS helpers (edidmanagement_timings/_audio/_tmds.cpp) ---------
    // Called by the core (declared here early so the core builds; defined in those files).
    void clearVICButtons();
    void resetVICButtons();
    void downgradeTo420();
    void populateColorDepthDropdowns();
    void maxTMDSCalculation();
    // Timings and VIC slots (edidmanagement_timings.cpp). addTiming runs the custom timing
    // dialog on `timing` and adds the result (replacing the selected row while editingTiming).
    void addTiming(Timing* timing);
    void replaceSelectedTiming(const Timing& timing);
    void addVIC(const Timing& timing);
    void removeVIC(int vic);
    void moveRow(bool up);
    // The "will not appear in the EDID" warning when the encoder placed row `row` nowhere.
    void warnIfTimingNotPlaced(int row);
    // The eight 3D format buttons show `bits`.
    void showThreeDStructure(int bits);
    // Audio (edidmanagement_audio.cpp).
    void addAudioFormat(AudioFormat* format);
    void replaceSelectedAudioFormat(const AudioFormat& format);
    void showAudioLimitMessage();
    // Refuses, with the encoder's reason, an edit that would turn the EDID the form holds now
    // into one that cannot be written; `after` is the form's state with the edit applied.
    bool refuseUnencodable(const EdidState& after);
};

#endif // EDIDMANAGEMENT_H

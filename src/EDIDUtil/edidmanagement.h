#ifndef EDIDMANAGEMENT_H
#define EDIDMANAGEMENT_H

#include "edidentry.h"

#include <QList>
#include <QModelIndex>
#include <QString>
#include <QWidget>

class QTextEdit;
class Ui_MainUI;

// The EDID editor behind the "Manage EDID" pages. Never shown; it drives the form's widgets.
class EdidManagement : public QWidget
{
    Q_OBJECT

public:
    // monitorList: the viewer's list of monitor EDIDs; not used by the editor, not owned.
    EdidManagement(Ui_MainUI* ui, QList<EdidEntry>* monitorList);
    ~EdidManagement() override;

    // The view that receives the description of the current EDID; not owned.
    void setTextEdit(QTextEdit* text);
    QTextEdit* textEdit() const { return m_textEdit; }

public slots:
    void saveEDID();
    void editEDID();
    void undoEDID();
    void undoEDIDAll();
    void managementTabChanged(int index);
    void videoInterfaceChanged();
    void digitalVideoInterfaceChanged();
    void edidSizeChanged(bool is128);
    void edidFileEdited();

    void addTimingToEDID(QString name);
    void createYourOwnTiming();
    void moveUp();
    void moveDown();
    void editTiming();
    void removeTiming();
    void clearTimingTable();
    void horizontalPixelsChanged(QString text);
    void verticalLinesChanged(QString text);
    void refreshRateChanged(QString text);
    void scanTypeChanged(QString text);
    void timingRowChanged(QModelIndex current, QModelIndex previous);

    void clickHandlerColorDepth();
    void checkColorDepthDropdowns();
    void maxTMDSOptionChanged(bool automatic);

    void chromaticitySelected(int index);
    void storeChromaticity();
    void removeChromaticity();
    void chromaticityValueChanged();

    void audioSettingChanged(bool basicAudio);
    void addAudioToEDID(QString name);
    void createYourOwnAudioFormat();
    void editAudio();
    void removeAudio();
    void clearAudioTable();
    void audioFormatRowChanged(QModelIndex current, QModelIndex previous);
    void speakerAllocChanged(bool checked);

    void threeDOptionChanged(bool present);
    void vic3DdropdownIndexChanged(int index);
    void threeDTxFormatToggled();
    void vicMaskToggled();
    void enableHDRChanged(bool enabled);

private:
    Ui_MainUI* ui = nullptr;
    QTextEdit* m_textEdit = nullptr;
};

#endif // EDIDMANAGEMENT_H

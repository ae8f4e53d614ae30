#ifndef CUSTOMAUDIODIALOG_H
#define CUSTOMAUDIODIALOG_H

#include "audioformat.h"

#include <QDialog>
#include <QSet>
#include <QString>

class Ui_CustomAudioDialog;

// Makes a new custom audio format (one CTA-861 short audio descriptor), or shows an existing one
// to be replaced. An accepted format is stored in the caller's record and appended to the audio
// catalogue. Use: resetForm(), loadAudioFormat(&record), exec().
class CustomAudioDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CustomAudioDialog(QWidget* parent = nullptr);
    ~CustomAudioDialog() override;

    // The names of all catalogue formats, shared with the catalogue loader; not owned. Without one
    // the dialog keeps its own set.
    void setAudioFormatNames(QSet<QString>* names);
    // The catalogue file new formats go to; by default the per-user "audio.xml".
    void setCatalogueFile(const QString& path);

    void resetForm();
    void loadAudioFormat(AudioFormat* f);

    Ui_CustomAudioDialog* form() const { return ui; }

public slots:
    void audioNameEdited(const QString& text);
    void audioCodingChanged(int index);
    void audioChannelsChanged(int index);
    void done(int result) override;

private:
    void updateOkButton(const QString& name, int codingIndex, int channelsIndex);
    AudioFormat formatFromForm() const;
    QString catalogueFile() const;

    Ui_CustomAudioDialog* ui = nullptr;
    AudioFormat* format = nullptr;
    QSet<QString> ownNames;
    QSet<QString>* audioFormatNames = &ownNames;
    QString cataloguePath;
};

#endif // CUSTOMAUDIODIALOG_H

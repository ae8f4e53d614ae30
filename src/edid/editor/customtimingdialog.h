#ifndef CUSTOMTIMINGDIALOG_H
#define CUSTOMTIMINGDIALOG_H

#include "timing.h"

#include <QDialog>
#include <QSet>
#include <QString>

class QLineEdit;
class Ui_CustomTimingDialog;

// Makes a new custom timing (with a CVT calculator) or shows an existing one for editing. An
// accepted timing is stored in the caller's record and appended to the timing catalogue.
// Use: resetForm(), loadTiming(&record), exec().
class CustomTimingDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CustomTimingDialog(QWidget* parent = nullptr);
    ~CustomTimingDialog() override;

    // The names of the catalogue's custom timings, shared with the catalogue loader; not owned.
    // Without one the dialog keeps its own set.
    void setTimingNames(QSet<QString>* names);
    // The catalogue file new timings go to; by default the per-user "timings.xml".
    void setCatalogueFile(const QString& path);

    void resetForm();
    void loadTiming(Timing* t);

    Ui_CustomTimingDialog* form() const { return ui; }

public slots:
    void calculateAndShowDTD();
    void timingNameEdited(const QString& text);
    void done(int result) override;

private slots:
    void horizontalFieldEdited();
    void verticalFieldEdited();
    void updateDerivedFields();

private:
    void showTiming(const Timing& t);
    Timing timingFromForm() const;
    bool refuseUnencodable(const Timing& t);
    QString catalogueFile() const;

    Ui_CustomTimingDialog* ui = nullptr;
    Timing* timing = nullptr;
    QSet<QString> ownNames;
    QSet<QString>* timingNames = &ownNames;
    QString cataloguePath;
};

#endif // CUSTOMTIMINGDIALOG_H

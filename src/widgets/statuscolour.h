#ifndef STATUSCOLOUR_H
#define STATUSCOLOUR_H

#include <QColor>
#include <QObject>

class QStatusBar;

// Keeps the status bar's text in the colour the pages give it.
//
// Every page reports an outcome by setting the foreground of the status bar's palette (red for
// a failure, cyan for progress and success, ...). Under the application style sheet a palette
// set by code does not last: each time the style sheet re-polishes the bar it puts back the
// palette the bar had when it was first polished, so a failure could be painted in the colour of
// an earlier success. This filter turns each palette colour the code sets into a one-rule style
// sheet of the bar itself, which every re-polish honours.
class StatusColourKeeper : public QObject
{
public:
    // Installs the keeper on `bar` (owned by the bar); once per bar.
    static void install(QStatusBar* bar);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit StatusColourKeeper(QStatusBar* bar);
    void follow();

    QStatusBar* bar;
    QColor shown;
    bool restyling = false;
};

#endif // STATUSCOLOUR_H

#ifndef PAGERENDER_H
#define PAGERENDER_H

#include <QFlags>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

class QWidget;

// What a page may do on purpose that the render check would otherwise report. Widgets are named
// by object name.
struct RenderExceptions
{
    // Sibling pairs laid over one another on purpose (a radio button on the edge of its box).
    QVector<QPair<QString, QString>> overlaps;
    // Widgets drawn as a backdrop behind their siblings: they may overlap any of them.
    QStringList backdrops;
    // Widgets that may reach out of their parent.
    QStringList outside;
    // Widgets left out of the check together with everything in them (checked elsewhere, or
    // filled in later by a controller).
    QStringList skipped;
};

enum RenderCheck {
    // Every caption fits the room its widget gives it, measured in the widget's own font and
    // contents margins: label texts (plain, rich and word-wrapped), push and tool button captions
    // beside their icon and beside any picture the style draws in the button, check box and radio
    // button texts, group box titles, a combo box's current entry, an empty field's placeholder,
    // the cells and header sections of item views; text fields are high enough for a line.
    CaptionsFit = 0x1,
    // No two sibling widgets overlap. A separator line counts where it is drawn, across the
    // middle of its box; an empty label that draws nothing does not count.
    NoOverlaps = 0x2,
    // No widget reaches out of its parent, which would cut it off.
    InsideParents = 0x4,
    AllRenderChecks = CaptionsFit | NoOverlaps | InsideParents
};
Q_DECLARE_FLAGS(RenderChecks, RenderCheck)
Q_DECLARE_OPERATORS_FOR_FLAGS(RenderChecks)

// Checks a shown page or dialog as the user sees it, and returns one line per fault (empty when
// it renders clean). Only visible widgets count. Each line names the widgets and their
// rectangles in their parent.
QStringList renderFaults(QWidget* shown, const RenderExceptions& exceptions = RenderExceptions(),
                         RenderChecks checks = AllRenderChecks);

// Fails the running test when `faults` is not empty. A test message holds only about 1,000
// characters, so every fault is also written to the log on a line of its own.
#define VERIFY_RENDERS_CLEAN(faults)                                                                         \
    do {                                                                                                     \
        const QStringList faultList_ = (faults);                                                             \
        for (const QString& fault_ : faultList_)                                                             \
            qWarning("render fault: %s", qPrintable(fault_));                                                \
        QVERIFY2(faultList_.isEmpty(), qPrintable(faultList_.join(QLatin1Char('\n'))));                      \
    } while (false)

#endif // PAGERENDER_H

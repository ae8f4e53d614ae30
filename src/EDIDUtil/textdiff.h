#ifndef TEXTDIFF_H
#define TEXTDIFF_H

#include <QList>
#include <QString>

// One piece of a comparison of two texts: removed from the old text, inserted by the new one,
// or common to both.
struct Diff
{
    enum Operation { DELETE, INSERT, EQUAL };
    Operation operation = EQUAL;
    QString text;

    bool operator==(const Diff& other) const { return operation == other.operation && text == other.text; }
};

#endif // TEXTDIFF_H

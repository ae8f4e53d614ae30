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

// The difference half of diff-match-patch (Myers' O(ND) difference with bisection, common prefix
// and suffix trimming, half-match speed-up, line mode and semantic cleanup).
//
// A result is a list of Diff in order: the EQUAL and DELETE texts concatenated give the first
// text, the EQUAL and INSERT texts the second. The texts are compared by Unicode code point, so a
// piece never starts or ends inside a surrogate pair (an unpaired surrogate counts as one
// character of its own). A null QString is an empty text.
class diff_match_patch
{
public:
    diff_match_patch();

    // Seconds a comparison may take before the bisection gives up and returns a coarser (but
    // still correct) difference. At or below 0: no deadline, and the half-match speed-up, which
    // may give a non-minimal result, is not used either.
    float Diff_Timeout;
    // Cost of an empty edit, in characters (kept with the settings; no operation here reads it).
    short Diff_EditCost;

    // Line mode on, deadline from Diff_Timeout.
    QList<Diff> diff_main(const QString& text1, const QString& text2);
    // checklines: compare line by line first when both texts are longer than 100 characters.
    QList<Diff> diff_main(const QString& text1, const QString& text2, bool checklines);
    // deadline: milliseconds on the monotonic clock of QDeadlineTimer::current().deadline().
    QList<Diff> diff_main(const QString& text1, const QString& text2, bool checklines, qint64 deadline);

    // Removes equalities that are semantically trivial, shifts edits to word and line
    // boundaries, extracts overlaps between a deletion and the following insertion, and merges.
    void diff_cleanupSemantic(QList<Diff>& diffs);
    // Only the shift of single edits between equalities to logical boundaries.
    void diff_cleanupSemanticLossless(QList<Diff>& diffs);
    // Merges neighbouring pieces of the same kind, factors common prefixes and suffixes of edit
    // runs out into the equalities around them, and slides single edits over a neighbouring
    // equality where that removes it.
    void diff_cleanupMerge(QList<Diff>& diffs);
};

// The comparison the description view shows: a default diff_match_patch (one-second deadline).
QList<Diff> diff_main(const QString& a, const QString& b, bool lineMode);
void diff_cleanupSemantic(QList<Diff>& diffs);

#endif // TEXTDIFF_H

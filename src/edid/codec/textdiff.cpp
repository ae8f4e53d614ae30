#include "textdiff.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// Every index the engine uses is a whole character: texts without surrogates are compared as
// their UTF-16 data, texts with surrogates as code points, so no piece of a result can cut a
// surrogate pair in two. Line mode numbers lines with 32-bit codes, so any count of distinct
// lines fits.

namespace {

constexpr qint64 NoDeadline = std::numeric_limits<qint64>::max();

bool hasSurrogates(const QString& s)
{
    const ushort* const p = s.utf16();
    const size_t n = size_t(s.size());
    unsigned found = 0;
    for (size_t i = 0; i < n; ++i)
        found |= unsigned(p[i] - 0xD800u < 0x800u);
    return found != 0;
}

std::u16string_view utf16View(const QString& s)
{
    return std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size()));
}

// Surrogate pairs become one code point; an unpaired surrogate is kept as its own value, so the
// way back gives the exact UTF-16 text again.
std::u32string toCodePoints(const QString& s)
{
    const ushort* const p = s.utf16();
    const size_t n = size_t(s.size());
    std::u32string t;
    t.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const ushort c = p[i];
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            t.push_back(QChar::surrogateToUcs4(c, p[i + 1]));
            ++i;
        } else {
            t.push_back(c);
        }
    }
    return t;
}

template <typename Char>
std::basic_string<Char> fromQString(const QString& s);

template <>
std::u16string fromQString<char16_t>(const QString& s)
{
    return std::u16string(utf16View(s));
}

template <>
std::u32string fromQString<char32_t>(const QString& s)
{
    return toCodePoints(s);
}

QString toQString(std::u16string_view t)
{
    return QString(reinterpret_cast<const QChar*>(t.data()), int(t.size()));
}

QString toQString(std::u32string_view t)
{
    QString s;
    s.reserve(int(t.size()));
    for (const char32_t c : t) {
        if (c >= 0x10000) {
            s.append(QChar(QChar::highSurrogate(c)));
            s.append(QChar(QChar::lowSurrogate(c)));
        } else {
            s.append(QChar(ushort(c)));
        }
    }
    return s;
}

// One piece of a result, in the engine's character type.
template <typename Char>
struct EditOf
{
    Diff::Operation op;
    std::basic_string<Char> text;
};

// The engine for one character type: char16_t for texts without surrogates (the usual case: the
// QString data is used as it is), char32_t (code points) otherwise, and char32_t for the line
// codes of line mode.
template <typename Char>
class DiffEngine
{
public:
    using Text = std::basic_string<Char>;
    using View = std::basic_string_view<Char>;
    using Edit = EditOf<Char>;
    using Edits = std::vector<Edit>;
    static constexpr size_t npos = View::npos;

    explicit DiffEngine(float timeout) : m_timeout(timeout) {}

    // Substring clamped to the text, like a slice: positions past the end give an empty piece.
    static View slice(View t, size_t pos, size_t len = npos)
    {
        if (pos >= t.size())
            return View();
        return t.substr(pos, len);
    }

    static size_t commonPrefix(View a, View b)
    {
        const size_t n = std::min(a.size(), b.size());
        size_t i = 0;
        while (i < n && a[i] == b[i])
            ++i;
        return i;
    }

    static size_t commonSuffix(View a, View b)
    {
        const size_t n = std::min(a.size(), b.size());
        const size_t na = a.size(), nb = b.size();
        size_t i = 0;
        while (i < n && a[na - 1 - i] == b[nb - 1 - i])
            ++i;
        return i;
    }

    // Length of the longest suffix of text1 that is a prefix of text2.
    static size_t commonOverlap(View text1, View text2)
    {
        const size_t length1 = text1.size(), length2 = text2.size();
        if (length1 == 0 || length2 == 0)
            return 0;
        if (length1 > length2)
            text1 = text1.substr(length1 - length2);
        else if (length1 < length2)
            text2 = text2.substr(0, length1);
        const size_t textLength = std::min(length1, length2);
        if (text1 == text2)
            return textLength;

        // Grow a candidate from one character on; each miss tells how far the next can be.
        size_t best = 0;
        size_t length = 1;
        for (;;) {
            if (length > textLength)
                return best; // the whole text was tried above
            const size_t found = text2.find(text1.substr(textLength - length));
            if (found == npos)
                return best;
            length += found;
            if (found == 0 || text1.substr(textLength - length) == text2.substr(0, length)) {
                best = length;
                ++length;
            }
        }
    }

    // Whether a split of a text into "one" and "two" falls on a logical boundary: 6 at either end,
    // 5 at a blank line, 4 at a line break, 3 at the end of a sentence, 2 at white space, 1 at other
    // non-alphanumerics, 0 inside a word. at(i) reads the text; one is [begin, split), two
    // [split, end).
    template <typename At>
    static int semanticScore(const At& at, size_t begin, size_t split, size_t end)
    {
        if (split == begin || split == end)
            return 6;
        const char32_t char1 = at(split - 1);
        const char32_t char2 = at(split);
        const bool nonAlphaNumeric1 = !QChar::isLetterOrNumber(uint(char1));
        const bool nonAlphaNumeric2 = !QChar::isLetterOrNumber(uint(char2));
        const bool whitespace1 = nonAlphaNumeric1 && QChar::isSpace(uint(char1));
        const bool whitespace2 = nonAlphaNumeric2 && QChar::isSpace(uint(char2));
        const bool lineBreak1 = whitespace1 && (char1 == U'\r' || char1 == U'\n');
        const bool lineBreak2 = whitespace2 && (char2 == U'\r' || char2 == U'\n');

        // "one" ends with \n\r?\n
        bool blankLine1 = false;
        if (lineBreak1 && char1 == U'\n') {
            const size_t n = split - begin;
            blankLine1 = (n >= 2 && at(split - 2) == U'\n')
                         || (n >= 3 && at(split - 2) == U'\r' && at(split - 3) == U'\n');
        }
        // "two" starts with \r?\n\r?\n
        bool blankLine2 = false;
        if (lineBreak2) {
            size_t q = split;
            if (at(q) == U'\r')
                ++q;
            if (q < end && at(q) == U'\n') {
                ++q;
                if (q < end && at(q) == U'\r')
                    ++q;
                blankLine2 = q < end && at(q) == U'\n';
            }
        }

        if (blankLine1 || blankLine2)
            return 5;
        if (lineBreak1 || lineBreak2)
            return 4;
        if (nonAlphaNumeric1 && !whitespace1 && whitespace2)
            return 3;
        if (whitespace1 || whitespace2)
            return 2;
        if (nonAlphaNumeric1 || nonAlphaNumeric2)
            return 1;
        return 0;
    }

    static void cleanupMerge(Edits& diffs)
    {
        diffs.push_back({Diff::EQUAL, Text()}); // sentinel: flushes the last run of edits
        size_t pointer = 0;
        size_t countDelete = 0;
        size_t countInsert = 0;
        Text textDelete;
        Text textInsert;
        while (pointer < diffs.size()) {
            switch (diffs[pointer].op) {
            case Diff::INSERT:
                ++countInsert;
                textInsert += diffs[pointer].text;
                ++pointer;
                break;
            case Diff::DELETE:
                ++countDelete;
                textDelete += diffs[pointer].text;
                ++pointer;
                break;
            case Diff::EQUAL:
                if (countDelete + countInsert > 1) {
                    if (countDelete != 0 && countInsert != 0) {
                        // Factor a common prefix of the run out into the equality before it.
                        size_t common = commonPrefix(textInsert, textDelete);
                        if (common != 0) {
                            const size_t runStart = pointer - countDelete - countInsert;
                            if (runStart > 0 && diffs[runStart - 1].op == Diff::EQUAL) {
                                diffs[runStart - 1].text.append(textInsert, 0, common);
                            } else {
                                diffs.insert(diffs.begin(), Edit{Diff::EQUAL, textInsert.substr(0, common)});
                                ++pointer;
                            }
                            textInsert.erase(0, common);
                            textDelete.erase(0, common);
                        }
                        // And a common suffix into the equality after it.
                        common = commonSuffix(textInsert, textDelete);
                        if (common != 0) {
                            diffs[pointer].text.insert(0, textInsert, textInsert.size() - common, common);
                            textInsert.resize(textInsert.size() - common);
                            textDelete.resize(textDelete.size() - common);
                        }
                    }
                    // Replace the run by at most one deletion and one insertion.
                    pointer -= countDelete + countInsert;
                    const auto runBegin = diffs.begin() + std::ptrdiff_t(pointer);
                    diffs.erase(runBegin, runBegin + std::ptrdiff_t(countDelete + countInsert));
                    size_t added = 0;
                    if (!textDelete.empty())
                        diffs.insert(diffs.begin() + std::ptrdiff_t(pointer + added++), Edit{Diff::DELETE, textDelete});
                    if (!textInsert.empty())
                        diffs.insert(diffs.begin() + std::ptrdiff_t(pointer + added++), Edit{Diff::INSERT, textInsert});
                    pointer += added + 1;
                } else if (pointer != 0 && diffs[pointer - 1].op == Diff::EQUAL) {
                    // Merge this equality with the previous one.
                    diffs[pointer - 1].text += diffs[pointer].text;
                    diffs.erase(diffs.begin() + std::ptrdiff_t(pointer));
                } else {
                    ++pointer;
                }
                countInsert = 0;
                countDelete = 0;
                textDelete.clear();
                textInsert.clear();
                break;
            }
        }
        if (!diffs.empty() && diffs.back().text.empty())
            diffs.pop_back();

        // Second pass: a single edit between two equalities that can slide over one of them
        // removes that equality (A<ins>BA</ins>C -> <ins>AB</ins>AC).
        bool changes = false;
        pointer = 1;
        while (pointer + 1 < diffs.size()) {
            if (diffs[pointer - 1].op == Diff::EQUAL && diffs[pointer + 1].op == Diff::EQUAL) {
                Text& previous = diffs[pointer - 1].text;
                Text& edit = diffs[pointer].text;
                Text& next = diffs[pointer + 1].text;
                const View editView(edit);
                if (editView.size() >= previous.size()
                    && editView.substr(editView.size() - previous.size()) == View(previous)) {
                    if (!previous.empty()) {
                        edit = previous + edit.substr(0, edit.size() - previous.size());
                        next = previous + next;
                    }
                    diffs.erase(diffs.begin() + std::ptrdiff_t(pointer - 1));
                    changes = true;
                } else if (editView.size() >= next.size() && editView.substr(0, next.size()) == View(next)) {
                    previous += next;
                    edit = edit.substr(next.size()) + next;
                    diffs.erase(diffs.begin() + std::ptrdiff_t(pointer + 1));
                    changes = true;
                }
            }
            ++pointer;
        }
        if (changes)
            cleanupMerge(diffs);
    }

    static void cleanupSemanticLossless(Edits& diffs)
    {
        size_t pointer = 1;
        while (pointer + 1 < diffs.size()) {
            if (diffs[pointer - 1].op == Diff::EQUAL && diffs[pointer + 1].op == Diff::EQUAL) {
                // A single edit between equalities. The three pieces read as one text in which the
                // edit is the window [pos, pos + length); sliding the window keeps that text.
                const Text& equality1 = diffs[pointer - 1].text;
                const Text& edit = diffs[pointer].text;
                const Text& equality2 = diffs[pointer + 1].text;
                const size_t length1 = equality1.size();
                const size_t length = edit.size();
                const size_t total = length1 + length + equality2.size();
                const auto at = [&](size_t i) -> char32_t {
                    if (i < length1)
                        return equality1[i];
                    if (i < length1 + length)
                        return edit[i - length1];
                    return equality2[i - length1 - length];
                };
                const auto score = [&](size_t pos) {
                    return semanticScore(at, 0, pos, pos + length) + semanticScore(at, pos, pos + length, total);
                };

                // First shift the edit as far left as possible, then step right looking for the
                // best fit; >= prefers trailing rather than leading white space on edits.
                size_t pos = length1 - commonSuffix(equality1, edit);
                size_t bestPos = pos;
                int bestScore = score(pos);
                while (length > 0 && pos + length < total && at(pos) == at(pos + length)) {
                    ++pos;
                    const int s = score(pos);
                    if (s >= bestScore) {
                        bestScore = s;
                        bestPos = pos;
                    }
                }

                if (bestPos != length1) {
                    Text all;
                    all.reserve(total);
                    all.append(equality1).append(edit).append(equality2);
                    Text bestEquality1 = all.substr(0, bestPos);
                    Text bestEdit = all.substr(bestPos, length);
                    Text bestEquality2 = all.substr(bestPos + length);
                    if (!bestEquality1.empty()) {
                        diffs[pointer - 1].text = std::move(bestEquality1);
                    } else {
                        diffs.erase(diffs.begin() + std::ptrdiff_t(pointer - 1));
                        --pointer;
                    }
                    diffs[pointer].text = std::move(bestEdit);
                    if (!bestEquality2.empty()) {
                        diffs[pointer + 1].text = std::move(bestEquality2);
                    } else {
                        diffs.erase(diffs.begin() + std::ptrdiff_t(pointer + 1));
                        --pointer;
                    }
                }
            }
            ++pointer;
        }
    }

    static void cleanupSemantic(Edits& diffs)
    {
        bool changes = false;
        std::vector<std::ptrdiff_t> equalities; // indices of equalities, innermost last
        // Length of the last equality seen (always the one at equalities.back()); 0: none.
        size_t lastEquality = 0;
        std::ptrdiff_t pointer = 0;
        // Characters changed before and after the last equality.
        size_t insertions1 = 0, deletions1 = 0, insertions2 = 0, deletions2 = 0;
        while (pointer < std::ptrdiff_t(diffs.size())) {
            Edit& current = diffs[size_t(pointer)];
            if (current.op == Diff::EQUAL) {
                equalities.push_back(pointer);
                insertions1 = insertions2;
                deletions1 = deletions2;
                insertions2 = 0;
                deletions2 = 0;
                lastEquality = current.text.size();
            } else {
                if (current.op == Diff::INSERT)
                    insertions2 += current.text.size();
                else
                    deletions2 += current.text.size();
                // An equality no longer than the edits on both of its sides goes.
                if (lastEquality != 0 && lastEquality <= std::max(insertions1, deletions1)
                    && lastEquality <= std::max(insertions2, deletions2)) {
                    const std::ptrdiff_t at = equalities.back();
                    Text equality = diffs[size_t(at)].text;
                    diffs.insert(diffs.begin() + at, Edit{Diff::DELETE, std::move(equality)});
                    diffs[size_t(at + 1)].op = Diff::INSERT;
                    equalities.pop_back();
                    // The previous equality needs to be looked at again.
                    if (!equalities.empty())
                        equalities.pop_back();
                    pointer = equalities.empty() ? -1 : equalities.back();
                    insertions1 = deletions1 = insertions2 = deletions2 = 0;
                    lastEquality = 0;
                    changes = true;
                }
            }
            ++pointer;
        }

        if (changes)
            cleanupMerge(diffs);
        cleanupSemanticLossless(diffs);

        // An overlap between a deletion and the insertion after it becomes an equality when it is
        // at least half as long as either:
        //   <del>abcxxx</del><ins>xxxdef</ins> -> <del>abc</del>xxx<ins>def</ins>
        //   <del>xxxabc</del><ins>defxxx</ins> -> <ins>def</ins>xxx<del>abc</del>
        size_t p = 1;
        while (p < diffs.size()) {
            if (diffs[p - 1].op == Diff::DELETE && diffs[p].op == Diff::INSERT) {
                const Text deletion = diffs[p - 1].text;
                const Text insertion = diffs[p].text;
                const size_t overlap1 = commonOverlap(deletion, insertion);
                const size_t overlap2 = commonOverlap(insertion, deletion);
                if (overlap1 >= overlap2) {
                    if (2 * overlap1 >= deletion.size() || 2 * overlap1 >= insertion.size()) {
                        diffs.insert(diffs.begin() + std::ptrdiff_t(p), Edit{Diff::EQUAL, insertion.substr(0, overlap1)});
                        diffs[p - 1].text = deletion.substr(0, deletion.size() - overlap1);
                        diffs[p + 1].text = insertion.substr(overlap1);
                        ++p;
                    }
                } else if (2 * overlap2 >= deletion.size() || 2 * overlap2 >= insertion.size()) {
                    diffs.insert(diffs.begin() + std::ptrdiff_t(p), Edit{Diff::EQUAL, deletion.substr(0, overlap2)});
                    diffs[p - 1] = Edit{Diff::INSERT, insertion.substr(0, insertion.size() - overlap2)};
                    diffs[p + 1] = Edit{Diff::DELETE, deletion.substr(overlap2)};
                    ++p;
                }
                ++p;
            }
            ++p;
        }
    }

    // Lines become single 32-bit codes (code 0 is never used), so a line-level diff runs as a
    // character diff.
    struct LineCodes
    {
        std::vector<View> lines{View()};
        std::unordered_map<View, char32_t> codes;

        std::u32string encode(View text)
        {
            std::u32string out;
            size_t lineStart = 0;
            while (lineStart < text.size()) {
                size_t lineEnd = text.find(Char('\n'), lineStart);
                if (lineEnd == npos)
                    lineEnd = text.size() - 1;
                const View line = text.substr(lineStart, lineEnd + 1 - lineStart);
                const auto found = codes.find(line);
                if (found != codes.end()) {
                    out.push_back(found->second);
                } else {
                    const char32_t code = char32_t(lines.size());
                    lines.push_back(line);
                    codes.emplace(line, code);
                    out.push_back(code);
                }
                lineStart = lineEnd + 1;
            }
            return out;
        }

        Edits decode(const std::vector<EditOf<char32_t>>& coded) const
        {
            Edits diffs;
            diffs.reserve(coded.size());
            for (const auto& e : coded) {
                Text text;
                for (const char32_t code : e.text)
                    text.append(lines[code]);
                diffs.push_back({e.op, std::move(text)});
            }
            return diffs;
        }
    };

    struct HalfMatch
    {
        View text1A, text1B, text2A, text2B, common;
    };


    Edits main(View text1, View text2, bool checklines, qint64 deadline) const
    {
        if (text1 == text2) {
            Edits diffs;
            if (!text1.empty())
                diffs.push_back({Diff::EQUAL, Text(text1)});
            return diffs;
        }

        const size_t prefixLength = commonPrefix(text1, text2);
        const View prefix = text1.substr(0, prefixLength);
        text1.remove_prefix(prefixLength);
        text2.remove_prefix(prefixLength);
        const size_t suffixLength = commonSuffix(text1, text2);
        const View suffix = text1.substr(text1.size() - suffixLength);
        text1.remove_suffix(suffixLength);
        text2.remove_suffix(suffixLength);

        Edits diffs = compute(text1, text2, checklines, deadline);
        if (!prefix.empty())
            diffs.insert(diffs.begin(), Edit{Diff::EQUAL, Text(prefix)});
        if (!suffix.empty())
            diffs.push_back({Diff::EQUAL, Text(suffix)});
        cleanupMerge(diffs);
        return diffs;
    }

private:
    static bool pastDeadline(qint64 deadline)
    {
        return deadline != NoDeadline && QDeadlineTimer::current().deadline() > deadline;
    }

    // The texts have no common prefix or suffix.
    Edits compute(View text1, View text2, bool checklines, qint64 deadline) const
    {
        if (text1.empty())
            return {{Diff::INSERT, Text(text2)}};
        if (text2.empty())
            return {{Diff::DELETE, Text(text1)}};

        const bool firstLonger = text1.size() > text2.size();
        const View longText = firstLonger ? text1 : text2;
        const View shortText = firstLonger ? text2 : text1;
        const size_t i = longText.find(shortText);
        if (i != npos) {
            // The shorter text lies inside the longer one.
            const Diff::Operation op = firstLonger ? Diff::DELETE : Diff::INSERT;
            return {{op, Text(longText.substr(0, i))},
                    {Diff::EQUAL, Text(shortText)},
                    {op, Text(longText.substr(i + shortText.size()))}};
        }
        if (shortText.size() == 1) // a single character, and not a common one
            return {{Diff::DELETE, Text(text1)}, {Diff::INSERT, Text(text2)}};

        HalfMatch hm;
        if (halfMatch(text1, text2, &hm)) {
            Edits diffs = main(hm.text1A, hm.text2A, checklines, deadline);
            Edits diffsB = main(hm.text1B, hm.text2B, checklines, deadline);
            diffs.push_back({Diff::EQUAL, Text(hm.common)});
            std::move(diffsB.begin(), diffsB.end(), std::back_inserter(diffs));
            return diffs;
        }

        if (checklines && text1.size() > 100 && text2.size() > 100)
            return lineMode(text1, text2, deadline);
        return bisect(text1, text2, deadline);
    }

    // A line-level diff first, then each replaced block again character by character.
    Edits lineMode(View text1, View text2, qint64 deadline) const
    {
        LineCodes codes;
        const std::u32string chars1 = codes.encode(text1);
        const std::u32string chars2 = codes.encode(text2);
        Edits diffs = codes.decode(DiffEngine<char32_t>(m_timeout).main(chars1, chars2, false, deadline));
        cleanupSemantic(diffs); // drops freak matches such as blank lines

        diffs.push_back({Diff::EQUAL, Text()}); // sentinel
        size_t pointer = 0;
        size_t countDelete = 0;
        size_t countInsert = 0;
        Text textDelete;
        Text textInsert;
        while (pointer < diffs.size()) {
            switch (diffs[pointer].op) {
            case Diff::INSERT:
                ++countInsert;
                textInsert += diffs[pointer].text;
                break;
            case Diff::DELETE:
                ++countDelete;
                textDelete += diffs[pointer].text;
                break;
            case Diff::EQUAL:
                if (countDelete >= 1 && countInsert >= 1) {
                    Edits sub = main(textDelete, textInsert, false, deadline);
                    const size_t start = pointer - countDelete - countInsert;
                    diffs.erase(diffs.begin() + std::ptrdiff_t(start), diffs.begin() + std::ptrdiff_t(pointer));
                    diffs.insert(diffs.begin() + std::ptrdiff_t(start), std::make_move_iterator(sub.begin()),
                                 std::make_move_iterator(sub.end()));
                    pointer = start + sub.size();
                }
                countInsert = 0;
                countDelete = 0;
                textDelete.clear();
                textInsert.clear();
                break;
            }
            ++pointer;
        }
        diffs.pop_back();
        return diffs;
    }

    // Myers' middle snake; splits the problem there and recurses. Past the deadline, or with
    // nothing in common, the whole texts come back as one deletion and one insertion.
    Edits bisect(View text1, View text2, qint64 deadline) const
    {
        const int length1 = int(text1.size());
        const int length2 = int(text2.size());
        const int maxD = (length1 + length2 + 1) / 2;
        const int vOffset = maxD;
        const int vLength = 2 * maxD;
        // Two spare cells: the walks read one past the diagonal they write.
        std::vector<int> v1(size_t(vLength) + 2, -1);
        v1[size_t(vOffset + 1)] = 0;
        std::vector<int> v2 = v1;
        const int delta = length1 - length2;
        // With an odd total the front path meets the reverse path.
        const bool front = delta % 2 != 0;
        // Trims of the k loops that keep them inside the grid.
        int k1start = 0, k1end = 0, k2start = 0, k2end = 0;
        for (int d = 0; d < maxD; ++d) {
            if (pastDeadline(deadline))
                break;

            for (int k1 = -d + k1start; k1 < d + 1 - k1end; k1 += 2) {
                const int k1Offset = vOffset + k1;
                int x1;
                if (k1 == -d || (k1 != d && v1[size_t(k1Offset - 1)] < v1[size_t(k1Offset + 1)]))
                    x1 = v1[size_t(k1Offset + 1)];
                else
                    x1 = v1[size_t(k1Offset - 1)] + 1;
                int y1 = x1 - k1;
                while (x1 < length1 && y1 < length2 && text1[size_t(x1)] == text2[size_t(y1)]) {
                    ++x1;
                    ++y1;
                }
                v1[size_t(k1Offset)] = x1;
                if (x1 > length1) {
                    k1end += 2; // ran off the right of the graph
                } else if (y1 > length2) {
                    k1start += 2; // ran off the bottom of the graph
                } else if (front) {
                    const int k2Offset = vOffset + delta - k1;
                    if (k2Offset >= 0 && k2Offset < vLength && v2[size_t(k2Offset)] != -1) {
                        const int x2 = length1 - v2[size_t(k2Offset)]; // mirrored to the top left
                        if (x1 >= x2)
                            return bisectSplit(text1, text2, x1, y1, deadline);
                    }
                }
            }

            for (int k2 = -d + k2start; k2 < d + 1 - k2end; k2 += 2) {
                const int k2Offset = vOffset + k2;
                int x2;
                if (k2 == -d || (k2 != d && v2[size_t(k2Offset - 1)] < v2[size_t(k2Offset + 1)]))
                    x2 = v2[size_t(k2Offset + 1)];
                else
                    x2 = v2[size_t(k2Offset - 1)] + 1;
                int y2 = x2 - k2;
                while (x2 < length1 && y2 < length2
                       && text1[size_t(length1 - x2 - 1)] == text2[size_t(length2 - y2 - 1)]) {
                    ++x2;
                    ++y2;
                }
                v2[size_t(k2Offset)] = x2;
                if (x2 > length1) {
                    k2end += 2; // ran off the left of the graph
                } else if (y2 > length2) {
                    k2start += 2; // ran off the top of the graph
                } else if (!front) {
                    const int k1Offset = vOffset + delta - k2;
                    if (k1Offset >= 0 && k1Offset < vLength && v1[size_t(k1Offset)] != -1) {
                        const int x1 = v1[size_t(k1Offset)];
                        const int y1 = vOffset + x1 - k1Offset;
                        if (x1 >= length1 - x2) // x2 mirrored to the top left
                            return bisectSplit(text1, text2, x1, y1, deadline);
                    }
                }
            }
        }
        return {{Diff::DELETE, Text(text1)}, {Diff::INSERT, Text(text2)}};
    }

    Edits bisectSplit(View text1, View text2, int x, int y, qint64 deadline) const
    {
        // A stored diagonal may lie just past the end of a text: clamp like a slice does.
        const size_t sx = size_t(std::clamp(x, 0, int(text1.size())));
        const size_t sy = size_t(std::clamp(y, 0, int(text2.size())));
        Edits diffs = main(text1.substr(0, sx), text2.substr(0, sy), false, deadline);
        Edits diffsB = main(slice(text1, sx), slice(text2, sy), false, deadline);
        std::move(diffsB.begin(), diffsB.end(), std::back_inserter(diffs));
        return diffs;
    }

    // Whether the texts share a piece at least half as long as the longer text. Fast, but the
    // result may not be minimal, so it is not used without a deadline.
    bool halfMatch(View text1, View text2, HalfMatch* out) const
    {
        if (m_timeout <= 0)
            return false;
        const bool firstLonger = text1.size() > text2.size();
        const View longText = firstLonger ? text1 : text2;
        const View shortText = firstLonger ? text2 : text1;
        if (longText.size() < 4 || shortText.size() * 2 < longText.size())
            return false;

        // Seeds: the second quarter and the third quarter of the longer text.
        HalfMatch hm1, hm2;
        const bool found1 = halfMatchI(longText, shortText, (longText.size() + 3) / 4, &hm1);
        const bool found2 = halfMatchI(longText, shortText, (longText.size() + 1) / 2, &hm2);
        if (!found1 && !found2)
            return false;
        const HalfMatch& hm = !found2 ? hm1 : !found1 ? hm2 : hm1.common.size() > hm2.common.size() ? hm1 : hm2;
        // hm is in long/short order; hand it back in text1/text2 order.
        if (firstLonger) {
            *out = hm;
        } else {
            out->text1A = hm.text2A;
            out->text1B = hm.text2B;
            out->text2A = hm.text1A;
            out->text2B = hm.text1B;
            out->common = hm.common;
        }
        return true;
    }

    // Does a piece of shortText, grown from the seed longText[i, i + length / 4), cover at least
    // half of longText? Result in long/short order (text1 = long, text2 = short).
    static bool halfMatchI(View longText, View shortText, size_t i, HalfMatch* out)
    {
        const View seed = slice(longText, i, longText.size() / 4);
        size_t bestCommon = 0, bestJ = 0, bestPrefix = 0, bestSuffix = 0;
        size_t j = shortText.find(seed);
        while (j != npos) {
            const size_t prefixLength = commonPrefix(longText.substr(i), shortText.substr(j));
            const size_t suffixLength = commonSuffix(longText.substr(0, i), shortText.substr(0, j));
            if (bestCommon < suffixLength + prefixLength) {
                bestCommon = suffixLength + prefixLength;
                bestJ = j;
                bestPrefix = prefixLength;
                bestSuffix = suffixLength;
            }
            j = shortText.find(seed, j + 1);
        }
        if (bestCommon == 0 || bestCommon * 2 < longText.size())
            return false;
        out->common = shortText.substr(bestJ - bestSuffix, bestSuffix + bestPrefix);
        out->text1A = longText.substr(0, i - bestSuffix);
        out->text1B = slice(longText, i + bestPrefix);
        out->text2A = shortText.substr(0, bestJ - bestSuffix);
        out->text2B = slice(shortText, bestJ + bestPrefix);
        return true;
    }

    float m_timeout;
};

template <typename Char>
typename DiffEngine<Char>::Edits toEdits(const QList<Diff>& diffs)
{
    typename DiffEngine<Char>::Edits edits;
    edits.reserve(size_t(diffs.size()));
    for (const Diff& d : diffs)
        edits.push_back({d.operation, fromQString<Char>(d.text)});
    return edits;
}

template <typename Char>
QList<Diff> toDiffs(const typename DiffEngine<Char>::Edits& edits)
{
    QList<Diff> diffs;
    diffs.reserve(int(edits.size()));
    for (const auto& e : edits) {
        Diff d;
        d.operation = e.op;
        d.text = toQString(std::basic_string_view<Char>(e.text));
        diffs.append(d);
    }
    return diffs;
}

enum class Cleanup { Merge, Semantic, SemanticLossless };

template <typename Char>
void cleanupAs(QList<Diff>& diffs, Cleanup cleanup)
{
    using Engine = DiffEngine<Char>;
    typename Engine::Edits edits = toEdits<Char>(diffs);
    switch (cleanup) {
    case Cleanup::Merge:
        Engine::cleanupMerge(edits);
        break;
    case Cleanup::Semantic:
        Engine::cleanupSemantic(edits);
        break;
    case Cleanup::SemanticLossless:
        Engine::cleanupSemanticLossless(edits);
        break;
    }
    diffs = toDiffs<Char>(edits);
}

void runCleanup(QList<Diff>& diffs, Cleanup cleanup)
{
    bool surrogates = false;
    for (const Diff& d : diffs)
        surrogates = surrogates || hasSurrogates(d.text);
    if (surrogates)
        cleanupAs<char32_t>(diffs, cleanup);
    else
        cleanupAs<char16_t>(diffs, cleanup);
}

} // namespace

diff_match_patch::diff_match_patch() : Diff_Timeout(1.0f), Diff_EditCost(4) {}

QList<Diff> diff_match_patch::diff_main(const QString& text1, const QString& text2)
{
    return diff_main(text1, text2, true);
}

QList<Diff> diff_match_patch::diff_main(const QString& text1, const QString& text2, bool checklines)
{
    qint64 deadline = NoDeadline;
    if (Diff_Timeout > 0) {
        const double ms = double(Diff_Timeout) * 1000.0;
        if (ms < 1e15)
            deadline = QDeadlineTimer::current().deadline() + qint64(ms);
    }
    return diff_main(text1, text2, checklines, deadline);
}

QList<Diff> diff_match_patch::diff_main(const QString& text1, const QString& text2, bool checklines, qint64 deadline)
{
    // Without surrogates every UTF-16 unit is a whole character: compare the QString data as it
    // is. Otherwise compare code points.
    if (!hasSurrogates(text1) && !hasSurrogates(text2)) {
        return toDiffs<char16_t>(
            DiffEngine<char16_t>(Diff_Timeout).main(utf16View(text1), utf16View(text2), checklines, deadline));
    }
    const std::u32string a = toCodePoints(text1);
    const std::u32string b = toCodePoints(text2);
    return toDiffs<char32_t>(DiffEngine<char32_t>(Diff_Timeout).main(a, b, checklines, deadline));
}

void diff_match_patch::diff_cleanupSemantic(QList<Diff>& diffs)
{
    runCleanup(diffs, Cleanup::Semantic);
}

void diff_match_patch::diff_cleanupSemanticLossless(QList<Diff>& diffs)
{
    runCleanup(diffs, Cleanup::SemanticLossless);
}

void diff_match_patch::diff_cleanupMerge(QList<Diff>& diffs)
{
    runCleanup(diffs, Cleanup::Merge);
}

QList<Diff> diff_main(const QString& a, const QString& b, bool lineMode)
{
    return diff_match_patch().diff_main(a, b, lineMode);
}

void diff_cleanupSemantic(QList<Diff>& diffs)
{
    diff_match_patch().diff_cleanupSemantic(diffs);
}

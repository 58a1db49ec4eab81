#include "match/NearMiss.h"

#include "match/TextKeys.h"

#include <QStringList>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace pq {

namespace {

constexpr qsizetype kLongestShownText = 200;
constexpr qsizetype kMostDifferencesNamed = 4;

const char16_t* nameOf(char16_t c)
{
    switch (c) {
    case 0x0000:
        return u"NULL";
    case 0x0009:
        return u"CHARACTER TABULATION";
    case 0x000a:
        return u"LINE FEED";
    case 0x000d:
        return u"CARRIAGE RETURN";
    case 0x001b:
        return u"ESCAPE";
    case 0x0020:
        return u"SPACE";
    case 0x007f:
        return u"DELETE";
    case 0x0085:
        return u"NEXT LINE";
    case 0x00a0:
        return u"NO-BREAK SPACE";
    case 0x00ad:
        return u"SOFT HYPHEN";
    case 0x1680:
        return u"OGHAM SPACE MARK";
    case 0x2000:
        return u"EN QUAD";
    case 0x2001:
        return u"EM QUAD";
    case 0x2002:
        return u"EN SPACE";
    case 0x2003:
        return u"EM SPACE";
    case 0x2004:
        return u"THREE-PER-EM SPACE";
    case 0x2005:
        return u"FOUR-PER-EM SPACE";
    case 0x2006:
        return u"SIX-PER-EM SPACE";
    case 0x2007:
        return u"FIGURE SPACE";
    case 0x2008:
        return u"PUNCTUATION SPACE";
    case 0x2009:
        return u"THIN SPACE";
    case 0x200a:
        return u"HAIR SPACE";
    case 0x200b:
        return u"ZERO WIDTH SPACE";
    case 0x200c:
        return u"ZERO WIDTH NON-JOINER";
    case 0x200d:
        return u"ZERO WIDTH JOINER";
    case 0x200e:
        return u"LEFT-TO-RIGHT MARK";
    case 0x200f:
        return u"RIGHT-TO-LEFT MARK";
    case 0x202a:
        return u"LEFT-TO-RIGHT EMBEDDING";
    case 0x202b:
        return u"RIGHT-TO-LEFT EMBEDDING";
    case 0x202c:
        return u"POP DIRECTIONAL FORMATTING";
    case 0x202d:
        return u"LEFT-TO-RIGHT OVERRIDE";
    case 0x202e:
        return u"RIGHT-TO-LEFT OVERRIDE";
    case 0x202f:
        return u"NARROW NO-BREAK SPACE";
    case 0x205f:
        return u"MEDIUM MATHEMATICAL SPACE";
    case 0x2060:
        return u"WORD JOINER";
    case 0x2061:
        return u"FUNCTION APPLICATION";
    case 0x2062:
        return u"INVISIBLE TIMES";
    case 0x2063:
        return u"INVISIBLE SEPARATOR";
    case 0x2064:
        return u"INVISIBLE PLUS";
    case 0x2066:
        return u"LEFT-TO-RIGHT ISOLATE";
    case 0x2067:
        return u"RIGHT-TO-LEFT ISOLATE";
    case 0x2068:
        return u"FIRST STRONG ISOLATE";
    case 0x2069:
        return u"POP DIRECTIONAL ISOLATE";
    case 0x3000:
        return u"IDEOGRAPHIC SPACE";
    case 0xfeff:
        return u"BYTE ORDER MARK";
    default:
        return c < 0x20 || (c >= 0x7f && c <= 0x9f) ? u"CONTROL CHARACTER" : nullptr;
    }
}

QString codeOf(char16_t c)
{
    return u"U+"_s + QString::number(c, 16).toUpper().rightJustified(4, u'0');
}

// A character that makes a difference without showing: where it is in its text (from 1)
// and where it sits among the text's visible characters.
struct Mark
{
    char16_t c = 0;
    qsizetype position = 0;
    qsizetype anchor = 0;

    bool sameAs(const Mark& other) const { return c == other.c && anchor == other.anchor; }
};

// A text taken apart as a near miss is explained: its leading blanks, what lies between
// them with unusual spaces read as a space, its trailing blanks, and its marks.
struct Shape
{
    QString lead;
    QString core;
    QString trail;
    std::vector<Mark> marks;
};

Shape shapeOf(QStringView text)
{
    QString visible;
    std::vector<qsizetype> positions; // of the visible characters in the text
    std::vector<Mark> dropped;        // anchored at the visible characters before them
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (isInvisible(c) && !isBlank(c)) {
            dropped.push_back({c, i + 1, visible.size()});
        } else {
            visible.append(text[i]);
            positions.push_back(i + 1);
        }
    }
    const QStringView kept = trimBlanks(visible);
    const qsizetype from = kept.isEmpty() ? visible.size() : kept.data() - visible.constData();
    const qsizetype to = from + kept.size();

    Shape shape;
    shape.lead = visible.first(from);
    shape.trail = visible.sliced(to);
    for (qsizetype k = from; k < to; ++k) {
        QChar ch = visible[k];
        if (isBlank(ch.unicode()) && ch != u' ' && ch != u'\t') {
            shape.marks.push_back({ch.unicode(), positions[size_t(k)], k - from});
            ch = u' ';
        }
        shape.core.append(ch);
    }
    for (Mark mark : dropped) {
        mark.anchor = std::clamp(mark.anchor - from, qsizetype(0), to - from);
        shape.marks.push_back(mark);
    }
    std::sort(shape.marks.begin(), shape.marks.end(),
              [](const Mark& a, const Mark& b) { return a.position < b.position; });
    return shape;
}

QString blankRunDifference(const QString& mine, const QString& theirs, const QString& where)
{
    if (mine == theirs)
        return {};
    const QString& run = mine.isEmpty() ? theirs : mine;
    const bool oneSided = mine.isEmpty() || theirs.isEmpty();
    if (!oneSided || run.count(run.front()) != run.size())
        return u"different "_s + where + u" blanks"_s;
    const char16_t c = run.front().unicode();
    const QString what = c == u' ' ? u"blank"_s : c == u'\t' ? u"TAB"_s : characterName(c);
    if (run.size() == 1)
        return u"a "_s + where + u' ' + what;
    const QString plural =
        c == u' ' || c == u'\t' ? QString(what + u's') : QString(what + u" characters"_s);
    return QString::number(run.size()) + u' ' + where + u' ' + plural;
}

// The marks of `marks` that `others` does not have at the same place, named.
void addUnmatchedMarks(const std::vector<Mark>& marks, std::vector<Mark> others,
                       QStringList& differences)
{
    for (const Mark& mark : marks) {
        const auto same = std::find_if(others.begin(), others.end(),
                                       [&](const Mark& other) { return other.sameAs(mark); });
        if (same != others.end())
            others.erase(same);
        else
            differences.append(characterName(mark.c) + u" at position "_s +
                               QString::number(mark.position));
    }
}

QStringList differencesOf(const Shape& mine, const Shape& theirs, CompareOptions options)
{
    QStringList differences;
    if (!options.ignoreCase && mine.core != theirs.core)
        differences.append(u"different case"_s);
    if (!options.ignoreBlanks) {
        for (const QString& difference :
             {blankRunDifference(mine.lead, theirs.lead, u"leading"_s),
              blankRunDifference(mine.trail, theirs.trail, u"trailing"_s)}) {
            if (!difference.isEmpty())
                differences.append(difference);
        }
    }
    addUnmatchedMarks(mine.marks, theirs.marks, differences);
    addUnmatchedMarks(theirs.marks, mine.marks, differences);
    return differences;
}

} // namespace

QString characterName(char16_t c)
{
    const char16_t* name = nameOf(c);
    return name ? codeOf(c) + u' ' + QStringView(name) : codeOf(c);
}

QString visibleText(QStringView text)
{
    const auto shows = [](QChar ch) {
        return !isBlank(ch.unicode()) && !isInvisible(ch.unicode());
    };
    const qsizetype first = std::find_if(text.begin(), text.end(), shows) - text.begin();
    const qsizetype last = text.rend() - std::find_if(text.rbegin(), text.rend(), shows) - 1;
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\t')
            shown.append(u'→');
        else if (c == u' ')
            shown.append(i < first || i > last ? u'·' : u' ');
        else if (isBlank(c) || isInvisible(c))
            shown.append(u'[' + codeOf(c) + u']');
        else
            shown.append(text[i]);
    }
    return shown;
}

QString nearMissExplanation(QStringView item, QStringView list2Text, CompareOptions options)
{
    QString shown = visibleText(list2Text);
    if (shown.size() > kLongestShownText)
        shown = shown.first(kLongestShownText) + u'…';
    QStringList differences = differencesOf(shapeOf(item), shapeOf(list2Text), options);
    if (differences.isEmpty())
        differences.append(u"different invisible characters"_s);
    if (differences.size() > kMostDifferencesNamed) {
        const qsizetype more = differences.size() - kMostDifferencesNamed + 1;
        differences.resize(kMostDifferencesNamed - 1);
        differences.append(QString::number(more) + u" more differences"_s);
    }
    return u"List 2 has \""_s + shown + u"\" — "_s + differences.join(u", "_s);
}

QString resultsHeaderNote(CompareOptions options)
{
    QStringList parts;
    if (options.ignoreCase && options.ignoreBlanks)
        parts.append(u"ignoring case and surrounding blanks"_s);
    else if (options.ignoreCase)
        parts.append(u"ignoring case"_s);
    else if (options.ignoreBlanks)
        parts.append(u"ignoring surrounding blanks"_s);
    if (options.eachResultOnce)
        parts.append(u"each result once"_s);
    return parts.join(u" · "_s);
}

} // namespace pq

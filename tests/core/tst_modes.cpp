// The start button's other questions and its options: each against a plain reference,
// progress over the walked list, commands run in the middle of a run, and the keys.
#include "TestDoubles.h"

#include "lists/ItemCommands.h"
#include "match/Comparison.h"
#include "match/MatchFinder.h"
#include "match/NearMiss.h"
#include "match/ResultsCommands.h"
#include "match/TextKeys.h"

#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

#include <optional>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(pq::Comparison)

namespace {

// The blanks and invisible characters as the menu's options and help name them.
bool referenceBlank(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

bool referenceInvisible(QChar c)
{
    const char16_t u = c.unicode();
    return (u < 0x20 && u != u'\t') || (u >= 0x7f && u <= 0x9f) || u == 0x00a0 ||
           (u >= 0x200b && u <= 0x200d) || u == 0x2060 || u == 0xfeff;
}

QString referenceTrim(QString text)
{
    while (!text.isEmpty() && referenceBlank(text.front()))
        text.remove(0, 1);
    while (!text.isEmpty() && referenceBlank(text.back()))
        text.chop(1);
    return text;
}

QString referenceKey(const QString& text, CompareOptions options)
{
    const QString trimmed = options.ignoreBlanks ? referenceTrim(text) : text;
    return options.ignoreCase ? trimmed.toCaseFolded() : trimmed;
}

QString referenceLooseKey(const QString& text)
{
    QString kept;
    for (const QChar c : text) {
        if (referenceBlank(c))
            kept += c == u'\t' ? c : QChar(u' ');
        else if (!referenceInvisible(c))
            kept += c;
    }
    return referenceTrim(kept).toCaseFolded();
}

// The first item of `list` that `equal` finds equal to `text`; empty when there is none.
template <typename Equal>
std::optional<QString> firstOf(const QStringList& list, const QString& text, Equal equal)
{
    for (const QString& other : list) {
        if (equal(text, other))
            return other;
    }
    return std::nullopt;
}

bool sameKey(const QString& a, const QString& b, CompareOptions options)
{
    return referenceKey(a, options) == referenceKey(b, options);
}

bool sameLooseKey(const QString& a, const QString& b)
{
    return referenceLooseKey(a) == referenceLooseKey(b);
}

// Each question as plain nested loops.
QStringList reference(Comparison comparison, CompareOptions options, const QStringList& list1,
                      const QStringList& list2)
{
    const bool fromList2 = comparison == Comparison::List2NotInList1;
    const QStringList& walked = fromList2 ? list2 : list1;
    const QStringList& other = fromList2 ? list1 : list2;
    const auto exact = [&](const QString& a, const QString& b) { return sameKey(a, b, options); };
    QStringList results;
    QStringList resultKeys;
    for (const QString& a : walked) {
        const bool found = firstOf(other, a, exact).has_value();
        bool keep = comparison == Comparison::AlsoIn ? found : !found;
        if (comparison == Comparison::NearMisses)
            keep = !found && firstOf(other, a, sameLooseKey).has_value();
        if (keep && options.eachResultOnce) {
            keep = !resultKeys.contains(referenceKey(a, options));
            resultKeys.append(referenceKey(a, options));
        }
        if (keep)
            results.append(a);
    }
    return results;
}

const QString kPieces[] = {u"a"_s,      u"A"_s,      u"b"_s,      u" "_s,      u"\t"_s,
                           u"\u00a0"_s, u"\u200b"_s, u"\ufeff"_s, u"\u0001"_s, u"\u0085"_s,
                           u"\u2003"_s, u"\u00df"_s, u"S"_s,      u""_s};

QString drawPiece(QRandomGenerator& random)
{
    return kPieces[random.bounded(int(std::size(kPieces)))];
}

// Small texts made of pieces that make many near misses of every kind.
QString drawText(QRandomGenerator& random)
{
    QString text;
    for (int parts = random.bounded(5); parts > 0; --parts)
        text += drawPiece(random);
    return text;
}

// The text with a piece put in, or one of its characters replaced by one or changed in case.
QString nearlyTheSame(QString text, QRandomGenerator& random)
{
    const int at = random.bounded(int(text.size()) + 1);
    if (at == text.size() || random.bounded(3) == 0)
        return text.insert(at, drawPiece(random));
    if (random.bounded(2) == 0)
        return text.replace(at, 1, drawPiece(random));
    text[at] = text[at].isUpper() ? text[at].toLower() : text[at].toUpper();
    return text;
}

QStringList drawList(QRandomGenerator& random, const QStringList& near = {})
{
    QStringList list;
    for (int i = random.bounded(25); i > 0; --i) {
        if (near.isEmpty() || random.bounded(2) == 0)
            list.append(drawText(random));
        else
            list.append(nearlyTheSame(near.at(random.bounded(int(near.size()))), random));
    }
    return list;
}

CompareOptions optionsNumbered(int bits)
{
    CompareOptions options;
    options.ignoreCase = bits & 1;
    options.ignoreBlanks = bits & 2;
    options.eachResultOnce = bits & 4;
    return options;
}

QString describe(Comparison comparison, CompareOptions options)
{
    return u"comparison %1, case %2, blanks %3, once %4"_s.arg(int(comparison))
        .arg(options.ignoreCase)
        .arg(options.ignoreBlanks)
        .arg(options.eachResultOnce);
}

const Comparison kComparisons[] = {Comparison::AlsoIn, Comparison::NotIn,
                                   Comparison::List2NotInList1, Comparison::NearMisses};

} // namespace

class ModesTest : public QObject
{
    Q_OBJECT
private slots:
    void everyQuestionMatchesTheReference();
    void nearMissesNameTheFirstListTwoTextNearlyMatched();
    void startButtonFollowsTheOptions();
    void defaultIsTheExactComparison();
    void samples_data();
    void samples();
    void list2NotInList1RunsItsProgressOverList2();
    void missingItemsOfAnEmptyList();
    void eachResultOnceCountsThisRunOnly();
    void optionsChangedDuringARunApplyToTheNext();
    void walkedListShrinksDuringARun_data();
    void walkedListShrinksDuringARun();
    void list1ChangesWhileList2IsWalked();
    void walkedListChangesInTheMiddleOfABlock();
    void otherListChangesWhileItsKeysAreMade();
    void listsChangeWhileBlocksAreJudgedAhead();
    void listsChangeJustBeforeABlockJudgedAhead();
    void runAndHelperShareTheBlocksAhead();
    void anotherQuestionDuringARun();
    void resultsClearedDuringARun();
    void explanations_data();
    void explanations();
    void longTextsAreShortenedInExplanations();
    void headerNotes();
    void blanksAndInvisibleCharacters();
    void keys();
    void keysOfRandomTexts();
    void textSetKeepsEachTextOnce();
};

void ModesTest::everyQuestionMatchesTheReference()
{
    QRandomGenerator random(20261208);
    for (const Comparison comparison : kComparisons) {
        for (int bits = 0; bits < 8; ++bits) {
            const CompareOptions options = optionsNumbered(bits);
            for (int round = 0; round < 40; ++round) {
                const QStringList list1 = drawList(random);
                const QStringList list2 = drawList(random, list1);
                Fixture f;
                fill(f.ws->listView1, list1);
                fill(f.ws->listView2, list2);
                f.ws->compareOptions = options;
                compareLists(*f.ws, comparison);
                QVERIFY2(textsOf(f.ws->listView3) == reference(comparison, options, list1, list2),
                         qPrintable(describe(comparison, options)));
                QVERIFY(f.errors.reports.isEmpty());
            }
        }
    }
}

void ModesTest::nearMissesNameTheFirstListTwoTextNearlyMatched()
{
    QRandomGenerator random(7);
    for (int round = 0; round < 60; ++round) {
        const CompareOptions options = optionsNumbered(round % 4);
        const QStringList list1 = drawList(random);
        ListPane list2;
        fill(list2, drawList(random, list1));
        const QStringList texts2 = textsOf(list2);
        ListIndex index(options, Comparison::NearMisses);
        QVERIFY(index.build(list2.texts()));
        JudgingRoom room;
        for (const QString& a : list1) {
            const Verdict verdict = judge(a, index, list2.count(), room);
            const bool exact = firstOf(texts2, a, [&](const QString& x, const QString& y) {
                                   return sameKey(x, y, options);
                               }).has_value();
            const std::optional<QString> near = firstOf(texts2, a, sameLooseKey);
            QCOMPARE(verdict.append, !exact && near.has_value());
            if (verdict.append)
                QCOMPARE(verdict.nearlyMatched, *near);
        }
    }
}

void ModesTest::startButtonFollowsTheOptions()
{
    Fixture f;
    fill(f.ws->listView1, {u"Apples"_s, u"pear "_s, u"apples"_s, u"kiwi"_s, u"APPLES "_s});
    fill(f.ws->listView2, {u"apples"_s, u" pear"_s});
    f.ws->compareOptions.ignoreCase = true;
    PushButton11_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView3), (QStringList{u"Apples"_s, u"apples"_s}));
    f.ws->listView3.clear();
    f.ws->compareOptions = {true, true, true};
    PushButton11_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView3), (QStringList{u"Apples"_s, u"pear "_s}));
}

void ModesTest::defaultIsTheExactComparison()
{
    // With every option off the start button and the first entry compare exact texts, and
    // a run walks, yields and reports progress the same way whichever of them started it.
    QRandomGenerator random(11);
    for (int round = 0; round < 20; ++round) {
        const QStringList list1 = drawList(random);
        const QStringList list2 = drawList(random);
        QStringList exact;
        for (const QString& a : list1) {
            if (list2.contains(a))
                exact.append(a);
        }
        QList<QList<int>> progress;
        for (const bool byButton : {true, false}) {
            Fixture f;
            fill(f.ws->listView1, list1);
            fill(f.ws->listView2, list2);
            QList<int> values;
            f.pump.every = [&](int) { values.append(f.ws->progressBar1.value()); };
            if (byButton)
                PushButton11_Click(*f.ws);
            else
                compareLists(*f.ws, Comparison::AlsoIn);
            QCOMPARE(textsOf(f.ws->listView3), exact);
            progress.append(values);
        }
        QCOMPARE(progress.first(), progress.last());
    }
}

void ModesTest::samples_data()
{
    QTest::addColumn<Comparison>("comparison");
    QTest::addColumn<QStringList>("results");
    QTest::newRow("also in") << Comparison::AlsoIn << QStringList{u"apples"_s, u"oranges"_s};
    QTest::newRow("not in") << Comparison::NotIn << QStringList{u"mangos"_s, u"black cherries"_s};
    QTest::newRow("list 2 not in list 1")
        << Comparison::List2NotInList1 << QStringList{u"bananas"_s, u"black cherry"_s};
    QTest::newRow("near misses") << Comparison::NearMisses << QStringList{};
}

void ModesTest::samples()
{
    QFETCH(Comparison, comparison);
    QFETCH(QStringList, results);
    Fixture f;
    PushButton20_Click(*f.ws);
    PushButton4_Click(*f.ws);
    compareLists(*f.ws, comparison);
    QCOMPARE(textsOf(f.ws->listView3), results);
    QVERIFY(f.ws->listView3.count() == 0 || f.ws->listView3.checked(1));
    QCOMPARE(f.ws->progressBar1.value(), 0);
    QCOMPARE(f.ws->progressBar1.text(), ProgressBar::restText());
}

void ModesTest::list2NotInList1RunsItsProgressOverList2()
{
    Fixture f;
    fill(f.ws->listView1, {u"x"_s, u"y"_s, u"z"_s, u"w"_s, u"v"_s});
    fill(f.ws->listView2, {u"C:\\Data\\names.txt"_s, u"x"_s, u"ends\\"_s});
    const auto shown = recordProgress(f.pump, f.ws->progressBar1);
    f.ws->mousePointer.setValue(MousePointer::Custom);
    compareLists(*f.ws, Comparison::List2NotInList1);
    QCOMPARE(textsOf(f.ws->listView3), (QStringList{u"C:\\Data\\names.txt"_s, u"ends\\"_s}));
    QCOMPARE(shown->values, (QList<int>{0, 33, 66, 100}));
    QCOMPARE(shown->captions, (QStringList{u"Progress Bar"_s, u"Processing: names.txt"_s,
                                           u"Processing: x"_s, u"Processing: "_s}));
    QCOMPARE(f.ws->progressBar1.value(), 0);
    QCOMPARE(f.ws->progressBar1.text(), ProgressBar::restText());
    QCOMPARE(f.ws->mousePointer.value(), MousePointer::Default);
}

void ModesTest::missingItemsOfAnEmptyList()
{
    // Nothing is in an empty list: every walked item is missing from it, and is processed
    // as a comparison would be. Near misses and matches need something to compare with.
    for (const Comparison comparison : kComparisons) {
        Fixture f;
        fill(comparison == Comparison::List2NotInList1 ? f.ws->listView2 : f.ws->listView1,
             {u"a"_s, u""_s, u"a"_s, u"b"_s});
        f.ws->compareOptions.eachResultOnce = comparison == Comparison::List2NotInList1;
        QList<int> values;
        f.pump.every = [&](int) { values.append(f.ws->progressBar1.value()); };
        compareLists(*f.ws, comparison);
        QStringList expected;
        if (comparison == Comparison::NotIn)
            expected = {u"a"_s, u""_s, u"a"_s, u"b"_s};
        if (comparison == Comparison::List2NotInList1)
            expected = {u"a"_s, u""_s, u"b"_s};
        QCOMPARE(textsOf(f.ws->listView3), expected);
        QVERIFY(values.contains(75));
        QCOMPARE(f.ws->progressBar1.text(), ProgressBar::restText());
        QVERIFY(f.errors.reports.isEmpty());
    }
}

void ModesTest::eachResultOnceCountsThisRunOnly()
{
    Fixture f;
    fill(f.ws->listView1, {u"a"_s, u"b"_s, u"a"_s, u"A"_s, u"b"_s});
    fill(f.ws->listView2, {u"a"_s, u"b"_s, u"A"_s});
    f.ws->listView3.add(u"a"_s, true); // an earlier run's row does not count
    f.ws->compareOptions.eachResultOnce = true;
    PushButton11_Click(*f.ws);
    PushButton11_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView3),
             (QStringList{u"a"_s, u"a"_s, u"b"_s, u"A"_s, u"a"_s, u"b"_s, u"A"_s}));
    // Ignoring case, "a" and "A" are the same result.
    f.ws->listView3.clear();
    f.ws->compareOptions.ignoreCase = true;
    PushButton11_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView3), (QStringList{u"a"_s, u"b"_s}));
}

void ModesTest::optionsChangedDuringARunApplyToTheNext()
{
    Fixture f;
    fill(f.ws->listView1, {u"A"_s, u"a"_s, u"B"_s});
    fill(f.ws->listView2, {u"a"_s, u"b"_s});
    f.pump.at[3] = [&] { f.ws->compareOptions.ignoreCase = true; };
    PushButton11_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView3), QStringList{u"a"_s});
    PushButton11_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView3), (QStringList{u"a"_s, u"A"_s, u"a"_s, u"B"_s}));
}

void ModesTest::walkedListShrinksDuringARun_data()
{
    QTest::addColumn<Comparison>("comparison");
    QTest::addColumn<int>("options");
    QTest::newRow("not in") << Comparison::NotIn << 0;
    QTest::newRow("list 2 not in list 1, all options") << Comparison::List2NotInList1 << 7;
    QTest::newRow("near misses, ignoring case") << Comparison::NearMisses << 1;
}

void ModesTest::walkedListShrinksDuringARun()
{
    QFETCH(Comparison, comparison);
    QFETCH(int, options);
    for (int yield = 1; yield <= 14; ++yield) {
        Fixture f;
        const bool fromList2 = comparison == Comparison::List2NotInList1;
        fill(f.ws->listView1, {u"a "_s, u"B"_s, u"c"_s, u"d"_s});
        fill(f.ws->listView2, {u"a"_s, u"b"_s, u"e"_s, u"f"_s});
        f.ws->compareOptions = optionsNumbered(options);
        f.pump.at[yield] = [&] { fromList2 ? PushButton5_Click(*f.ws) : PushButton1_Click(*f.ws); };
        compareLists(*f.ws, comparison);
        QVERIFY2(f.errors.reports.isEmpty(), qPrintable(f.errors.descriptions().join(u'\n')));
        QVERIFY(f.ws->listView3.count() <= 4);
        QCOMPARE(f.ws->progressBar1.value(), 0);
        QCOMPARE(f.ws->progressBar1.text(), ProgressBar::restText());
    }
}

void ModesTest::list1ChangesWhileList2IsWalked()
{
    // Walking List 2, the run looks items up in List 1: once List 1 becomes the sample, the
    // rest of List 2 is looked up in the sample.
    Fixture f;
    fill(f.ws->listView1, {u"kiwi"_s});
    fill(f.ws->listView2, {u"kiwi"_s, u"apples"_s, u"kiwi"_s, u"bananas"_s});
    const auto replaced = onceWhen(
        f.pump, [&] { return f.ws->listView3.count() == 2; }, [&] { PushButton20_Click(*f.ws); });
    f.ws->listView3.add(u"earlier"_s);
    compareLists(*f.ws, Comparison::List2NotInList1);
    QVERIFY(*replaced);
    QCOMPARE(textsOf(f.ws->listView3),
             (QStringList{u"earlier"_s, u"apples"_s, u"kiwi"_s, u"bananas"_s}));
}

void ModesTest::walkedListChangesInTheMiddleOfABlock()
{
    // Items are judged in blocks ahead of the walk. List 1 loses its first item in the
    // yield after item 300 was read, or in the first yield of item 301: item 300 is judged
    // as read, and the walk goes on with the item that is now at 301.
    QStringList list1;
    QStringList list2;
    for (int i = 0; i < 600; ++i) {
        list1.append(u"v"_s + QString::number(i));
        if (i % 3 == 0)
            list2.append(u"V"_s + QString::number(i));
    }
    QStringList visited = list1;
    visited.removeAt(300);
    for (const int yield : {3 * 300 + 1, 3 * 301 - 1}) {
        Fixture f;
        f.ws->listView1.addMany(list1);
        f.ws->listView2.addMany(list2);
        f.ws->compareOptions.ignoreCase = true;
        f.pump.at[yield] = [&] { f.ws->listView1.remove(1); };
        compareLists(*f.ws, Comparison::NotIn);
        QCOMPARE(textsOf(f.ws->listView3),
                 reference(Comparison::NotIn, f.ws->compareOptions, visited, list2));
        QCOMPARE(f.ws->listView3.count(), 400);
    }
}

void ModesTest::otherListChangesWhileItsKeysAreMade()
{
    // The keys of a long List 2 are made in stretches with a yield between them. List 2
    // loses its first item at each of the first yields: the run compares against List 2 as
    // it ended.
    Fixture f;
    QStringList list2;
    for (int i = 0; i < 10000; ++i)
        list2.append(u"V"_s + QString::number(i) + u' ');
    const QStringList list1{u"v9999"_s, u"v10"_s, u"v5000"_s, u"v19"_s, u"v20"_s, u"v4100"_s};
    f.ws->listView2.addMany(list2);
    fill(f.ws->listView1, list1);
    f.ws->compareOptions = {true, true, false};
    f.pump.every = [&](int yields) {
        if (yields <= 20)
            f.ws->listView2.remove(1);
    };
    PushButton11_Click(*f.ws);
    QCOMPARE(f.ws->listView2.count(), 9980);
    QCOMPARE(textsOf(f.ws->listView3),
             reference(Comparison::AlsoIn, f.ws->compareOptions, list1, textsOf(f.ws->listView2)));
    QCOMPARE(textsOf(f.ws->listView3), (QStringList{u"v9999"_s, u"v5000"_s, u"v20"_s, u"v4100"_s}));
}

// The number a text of listsChangeWhileBlocksAreJudgedAhead ends with.
int numberOf(QStringView text)
{
    return text.mid(1).toInt();
}

void ModesTest::listsChangeWhileBlocksAreJudgedAhead()
{
    // Blocks ahead of the walk are judged on a helper thread. Every 97th yield, the walked
    // list loses the item three after the one being processed; once, halfway, the other
    // list loses the texts of the 300 numbers after the next 100. Those changes only
    // touch items the walk has yet to reach, so every question must give what it gives
    // for the lists as they ended.
    constexpr int kItems = 1200;
    QStringList list1;
    QStringList list2;
    for (int k = 0; k < kItems; ++k) {
        list1.append(u"v"_s + QString::number(k));
        list2.append((k % 3 == 0 ? u"v"_s : k % 3 == 1 ? u"V"_s : u"x"_s) + QString::number(k));
    }
    for (const Comparison comparison : kComparisons) {
        for (const int bits : {0, 7}) {
            Fixture f;
            f.ws->listView1.addMany(list1);
            f.ws->listView2.addMany(list2);
            f.ws->compareOptions = optionsNumbered(bits);
            ListPane& walked = walksList2(comparison) ? f.ws->listView2 : f.ws->listView1;
            ListPane& other = walksList2(comparison) ? f.ws->listView1 : f.ws->listView2;
            bool otherChanged = false;
            f.pump.every = [&](int yields) {
                const QString caption = f.ws->progressBar1.text();
                if (yields % 97 != 0 || !caption.startsWith(u"Processing: "_s))
                    return;
                const QString current = caption.mid(12);
                const int at = int(textsOf(walked).indexOf(current)) + 1;
                if (at + 3 <= walked.count())
                    walked.remove(at + 3);
                if (otherChanged || numberOf(current) < kItems / 2)
                    return;
                otherChanged = true;
                for (int p = other.count(); p >= 1; --p) {
                    const int n = numberOf(other.view(p));
                    if (n > numberOf(current) + 100 && n <= numberOf(current) + 400)
                        other.remove(p);
                }
            };
            compareLists(*f.ws, comparison);
            const QString described = describe(comparison, f.ws->compareOptions);
            QVERIFY2(otherChanged, qPrintable(described));
            QVERIFY2(walked.count() < kItems - 20, qPrintable(described));
            QVERIFY2(textsOf(f.ws->listView3) == reference(comparison, f.ws->compareOptions,
                                                           textsOf(f.ws->listView1),
                                                           textsOf(f.ws->listView2)),
                     qPrintable(described));
            QVERIFY(f.errors.reports.isEmpty());
        }
    }
}

void ModesTest::listsChangeJustBeforeABlockJudgedAhead()
{
    // The first 256 items are judged while the run waits, the next ones by the helper
    // meanwhile. Just before the run reaches item 257, in the second yield that shows item
    // 256, the walked list loses item 257, or the other list has the text item 257 matches
    // replaced by one that differs in case. Either way the block judged ahead is stale and
    // item 257's verdict changes.
    QStringList list1;
    QStringList list2;
    for (int k = 1; k <= 600; ++k) {
        list1.append(u"v"_s + QString::number(k));
        list2.append((k % 3 == 2 ? u"v"_s : k % 3 == 0 ? u"V"_s : u"x"_s) + QString::number(k));
    }
    for (const Comparison comparison : kComparisons) {
        for (const bool changeWalked : {false, true}) {
            Fixture f;
            f.ws->listView1.addMany(list1);
            f.ws->listView2.addMany(list2);
            ListPane& walked = walksList2(comparison) ? f.ws->listView2 : f.ws->listView1;
            ListPane& other = walksList2(comparison) ? f.ws->listView1 : f.ws->listView2;
            const QString item256 = u"Processing: "_s + walked.text(256);
            int shown = 0;
            f.pump.every = [&](int) {
                if (f.ws->progressBar1.text() != item256 || ++shown != 2)
                    return;
                if (changeWalked) {
                    walked.remove(257);
                } else {
                    other.remove(257);
                    other.add(u"V257"_s);
                }
            };
            compareLists(*f.ws, comparison);
            const QString described = describe(comparison, f.ws->compareOptions) +
                                      u", walked changed %1"_s.arg(changeWalked);
            QVERIFY2(shown >= 2, qPrintable(described));
            QVERIFY2(textsOf(f.ws->listView3) == reference(comparison, f.ws->compareOptions,
                                                           textsOf(f.ws->listView1),
                                                           textsOf(f.ws->listView2)),
                     qPrintable(described));
        }
    }
}

void ModesTest::runAndHelperShareTheBlocksAhead()
{
    // With dispatches rare, the run often reaches a block ahead before the helper is done
    // with it and judges the pieces left itself. Every question, with every option, must
    // still give its reference rows; the references here look keys up in sets.
    QRandomGenerator random(20261209);
    QStringList list1;
    QStringList list2;
    for (int k = 0; k < 20000; ++k) {
        const QString text = drawText(random) + QString::number(random.bounded(30000));
        list1.append(text);
        list2.append(random.bounded(2) ? nearlyTheSame(text, random) : drawText(random));
    }
    for (const Comparison comparison : kComparisons) {
        const CompareOptions options = optionsNumbered(7);
        const bool fromList2 = walksList2(comparison);
        const QStringList& walked = fromList2 ? list2 : list1;
        QSet<QString> keys;
        QSet<QString> looseKeys;
        for (const QString& text : fromList2 ? list1 : list2) {
            keys.insert(referenceKey(text, options));
            looseKeys.insert(referenceLooseKey(text));
        }
        QStringList expected;
        QSet<QString> resultKeys;
        for (const QString& a : walked) {
            const bool found = keys.contains(referenceKey(a, options));
            bool keep = comparison == Comparison::AlsoIn ? found : !found;
            if (comparison == Comparison::NearMisses)
                keep = !found && looseKeys.contains(referenceLooseKey(a));
            if (keep && !resultKeys.contains(referenceKey(a, options))) {
                resultKeys.insert(referenceKey(a, options));
                expected.append(a);
            }
        }
        Fixture f;
        f.pump.yieldsPerDispatch = 50000;
        f.ws->listView1.addMany(list1);
        f.ws->listView2.addMany(list2);
        f.ws->compareOptions = options;
        compareLists(*f.ws, comparison);
        QVERIFY2(textsOf(f.ws->listView3) == expected, qPrintable(describe(comparison, options)));
        QVERIFY(expected.size() > 100);
    }
}

void ModesTest::anotherQuestionDuringARun()
{
    // Near misses run to their end inside a yield of a run of what is missing; that run
    // then goes on appending after them, and both leave the bar at rest.
    Fixture f;
    fill(f.ws->listView1, {u"a"_s, u"B"_s, u"c"_s});
    fill(f.ws->listView2, {u"b"_s, u"C "_s});
    const auto nested = onceWhen(
        f.pump, [&] { return f.ws->listView3.count() == 1; },
        [&] { compareLists(*f.ws, Comparison::NearMisses); });
    compareLists(*f.ws, Comparison::NotIn);
    QVERIFY(*nested);
    QCOMPARE(textsOf(f.ws->listView3), (QStringList{u"a"_s, u"B"_s, u"c"_s, u"B"_s, u"c"_s}));
    QCOMPARE(f.ws->progressBar1.value(), 0);
    QCOMPARE(f.ws->progressBar1.text(), ProgressBar::restText());
}

void ModesTest::resultsClearedDuringARun()
{
    // Clearing Results does not make this run's results new again.
    Fixture f;
    fill(f.ws->listView1, {u"a"_s, u"a"_s, u"b"_s, u"a"_s});
    fill(f.ws->listView2, {u"x"_s});
    f.ws->compareOptions.eachResultOnce = true;
    const auto cleared = onceWhen(
        f.pump, [&] { return f.ws->listView3.count() == 1; }, [&] { PushButton10_Click(*f.ws); });
    compareLists(*f.ws, Comparison::NotIn);
    QVERIFY(*cleared);
    QCOMPARE(textsOf(f.ws->listView3), QStringList{u"b"_s});
}

void ModesTest::explanations_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("list2Text");
    QTest::addColumn<int>("options");
    QTest::addColumn<QString>("explanation");
    const auto row = [](const char* name, const QString& item, const QString& list2Text,
                        int options, const QString& explanation) {
        QTest::newRow(name) << item << list2Text << options << explanation;
    };
    row("trailing blank in list 2", u"apples"_s, u"apples "_s, 0,
        u"List 2 has \"apples·\" — a trailing blank"_s);
    row("different case", u"apples"_s, u"Apples"_s, 0, u"List 2 has \"Apples\" — different case"_s);
    row("zero width space here", u"ap\u200bples"_s, u"apples"_s, 0,
        u"List 2 has \"apples\" — U+200B ZERO WIDTH SPACE at position 3"_s);
    row("trailing blank here", u"apples "_s, u"apples"_s, 0,
        u"List 2 has \"apples\" — a trailing blank"_s);
    row("case and leading blanks", u"Apples"_s, u"  apples"_s, 0,
        u"List 2 has \"··apples\" — different case, 2 leading blanks"_s);
    row("byte-order mark", u"\ufeffapples"_s, u"apples"_s, 0,
        u"List 2 has \"apples\" — U+FEFF BYTE ORDER MARK at position 1"_s);
    row("no-break space inside", u"New York"_s, u"New\u00a0York"_s, 0,
        u"List 2 has \"New[U+00A0]York\" — U+00A0 NO-BREAK SPACE at position 4"_s);
    row("trailing no-break space", u"apples"_s, u"apples\u00a0"_s, 0,
        u"List 2 has \"apples[U+00A0]\" — a trailing U+00A0 NO-BREAK SPACE"_s);
    row("trailing TABs", u"apples\t\t"_s, u"apples"_s, 0,
        u"List 2 has \"apples\" — 2 trailing TABs"_s);
    row("control character", u"x\u0001"_s, u"x"_s, 0,
        u"List 2 has \"x\" — U+0001 CONTROL CHARACTER at position 2"_s);
    row("next line", u"x"_s, u"x\u0085"_s, 0,
        u"List 2 has \"x[U+0085]\" — U+0085 NEXT LINE at position 2"_s);
    row("more trailing blanks", u"apples  "_s, u"apples "_s, 0,
        u"List 2 has \"apples·\" — different trailing blanks"_s);
    row("case ignored", u"Apples "_s, u"apples"_s, 1,
        u"List 2 has \"apples\" — a trailing blank"_s);
    row("blanks ignored", u"\u200b apples"_s, u"Apples"_s, 3,
        u"List 2 has \"Apples\" — U+200B ZERO WIDTH SPACE at position 1"_s);
    row("the same mark in both", u"ap\u200bples "_s, u"ap\u200bples"_s, 0,
        u"List 2 has \"ap[U+200B]ples\" — a trailing blank"_s);
    row("a mark among trailing blanks", u"apples \u200b"_s, u"apples\u200b"_s, 0,
        u"List 2 has \"apples[U+200B]\" — a trailing blank"_s);
    row("mark in list 2 and blank here", u"apples "_s, u"app\u2060les"_s, 0,
        u"List 2 has \"app[U+2060]les\" — a trailing blank, U+2060 WORD JOINER at position 4"_s);
    row("only blanks", u"   "_s, u""_s, 0, u"List 2 has \"\" — 3 leading blanks"_s);
    row("marks in another order", u"a\u200b\u200cb"_s, u"a\u200c\u200bb"_s, 0,
        u"List 2 has \"a[U+200C][U+200B]b\" — different invisible characters"_s);
    row("many differences", u"\u200ba\u200bb\u200bc\u200b"_s, u"ABC "_s, 0,
        u"List 2 has \"ABC·\" — different case, a trailing blank, "
        u"U+200B ZERO WIDTH SPACE at position 1, 3 more differences"_s);
}

void ModesTest::explanations()
{
    QFETCH(QString, item);
    QFETCH(QString, list2Text);
    QFETCH(int, options);
    QFETCH(QString, explanation);
    QCOMPARE(nearMissExplanation(item, list2Text, optionsNumbered(options)), explanation);
}

void ModesTest::longTextsAreShortenedInExplanations()
{
    const QString long2 = QString(300, u'x') + u' ';
    const QString explanation = nearMissExplanation(QString(300, u'x'), long2, {});
    QCOMPARE(explanation, u"List 2 has \""_s + QString(200, u'x') + u"…\" — a trailing blank"_s);
    QCOMPARE(visibleText(u" \ta b\u2003\u200d "_s), u"·→a b[U+2003][U+200D]·"_s);
}

void ModesTest::headerNotes()
{
    QCOMPARE(resultsHeaderNote({}), QString());
    QCOMPARE(resultsHeaderNote({true, false, false}), u"ignoring case"_s);
    QCOMPARE(resultsHeaderNote({false, true, false}), u"ignoring surrounding blanks"_s);
    QCOMPARE(resultsHeaderNote({false, false, true}), u"each result once"_s);
    QCOMPARE(resultsHeaderNote({true, true, false}), u"ignoring case and surrounding blanks"_s);
    QCOMPARE(resultsHeaderNote({true, true, true}),
             u"ignoring case and surrounding blanks · each result once"_s);
    QCOMPARE(resultsHeaderNote({false, true, true}),
             u"ignoring surrounding blanks · each result once"_s);
}

void ModesTest::blanksAndInvisibleCharacters()
{
    for (int u = 0; u <= 0xffff; ++u) {
        const QChar c(static_cast<char16_t>(u));
        QVERIFY2(isBlank(c.unicode()) == referenceBlank(c), qPrintable(characterName(u)));
        if (referenceInvisible(c))
            QVERIFY2(isInvisible(c.unicode()), qPrintable(characterName(u)));
        if (isInvisible(c.unicode()))
            QVERIFY2(!characterName(u).endsWith(QString::number(u, 16).toUpper()),
                     qPrintable(characterName(u))); // every one has a name
    }
    for (const char16_t shown : {u'\t', u' ', u'a', u'-', u'\u00e9', u'\u3042'})
        QVERIFY(!isInvisible(shown));
    QCOMPARE(characterName(0x200b), u"U+200B ZERO WIDTH SPACE"_s);
    QCOMPARE(characterName(0x0009), u"U+0009 CHARACTER TABULATION"_s);
    QCOMPARE(characterName(0x0002), u"U+0002 CONTROL CHARACTER"_s);
}

void ModesTest::keys()
{
    KeyMaker keys;
    const CompareOptions both{true, true, false};
    QCOMPARE(keys.exactKey(u" \u00a0Stra\u00dfe\t"_s, both), u"stra\u00dfe"_s.toCaseFolded());
    QCOMPARE(keys.exactKey(u" \u200bA "_s, both), u"\u200ba"_s);
    QCOMPARE(keys.exactKey(u" A "_s, {false, true, false}), u"A"_s);
    QCOMPARE(keys.exactKey(u" A "_s, {}), u" A "_s);
    QCOMPARE(keys.looseKey(u"\ufeff A\u200bb\u00a0"_s), u"ab"_s);
    QCOMPARE(keys.looseKey(u"New\u00a0York\u2003x"_s), u"new york x"_s);
    QCOMPARE(keys.looseKey(u"a\tB"_s), u"a\tb"_s);
    QCOMPARE(keys.looseKey(u"\u0001\u200b "_s), QString());
    // Folding is Qt's: ASCII, other scripts, and the special foldings.
    for (char16_t c = 1; c < 0x80; ++c)
        QCOMPARE(keys.exactKey(QString(QChar(c)), {true, false, false}),
                 QString(QChar(c)).toCaseFolded());
    for (const QString& text : {u"AbC\u00c9\u0130\u03a3x"_s, u"\u00df\u1e9e\ufb03"_s})
        QCOMPARE(keys.exactKey(text, {true, false, false}), text.toCaseFolded());
    QCOMPARE(keys.looseKey(u" Ab\u00c9\u200bC "_s), u"Ab\u00c9C"_s.toCaseFolded());
    // A key lasts until the next key of its kind.
    const QStringView exact = keys.exactKey(u"XY"_s, both);
    keys.looseKey(u"Z"_s);
    QCOMPARE(exact, u"xy"_s);
}

void ModesTest::keysOfRandomTexts()
{
    // Characters at the edges of the ASCII that keys are made of eight at a time, in texts
    // long and short enough for whole groups of eight and the characters after them.
    static const char16_t alphabet[] = {0x01, 0x09, 0x1f,   0x20,   0x21,   u'@',   u'A',   u'Z',
                                        u'[', u'`', u'a',   u'z',   u'{',   0x7e,   0x7f,   0x80,
                                        0xa0, 0xc9, 0x200b, 0x2003, 0x8000, 0xfeff, 0xffff, u'q'};
    QRandomGenerator random(20261208);
    KeyMaker keys;
    for (int round = 0; round < 4000; ++round) {
        QString text;
        const int length = random.bounded(41);
        // Mostly plain ASCII, as real lists are, so that whole groups of it occur.
        const int choices = round % 2 == 0 ? 15 : int(std::size(alphabet));
        for (int i = 0; i < length; ++i)
            text += QChar(alphabet[random.bounded(choices)]);
        for (const CompareOptions options :
             {CompareOptions{true, false, false}, CompareOptions{false, true, false},
              CompareOptions{true, true, false}})
            QCOMPARE(keys.exactKey(text, options), referenceKey(text, options));
        QCOMPARE(keys.looseKey(text), referenceLooseKey(text));
    }
}

void ModesTest::textSetKeepsEachTextOnce()
{
    TextSet set;
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 20000; ++i)
            QCOMPARE(set.insert(QString::number(i)), round == 0);
    }
    QVERIFY(set.insert(QString()));
    QVERIFY(!set.insert(u""_s));

    // Room reserved ahead, a table of several slices had with pauses meanwhile, keeps
    // what the set held and takes more without growing.
    int pauses = 0;
    set.reserve(1100000, [&] { ++pauses; });
    QVERIFY(pauses >= 1);
    QVERIFY(!set.insert(u"19999"_s));
    QVERIFY(!set.insert(QString()));
    for (int i = 20000; i < 60000; ++i)
        QVERIFY(set.insert(QString::number(i)));
    QVERIFY(!set.insert(u"59999"_s));
}

QTEST_MAIN(ModesTest)
#include "tst_modes.moc"

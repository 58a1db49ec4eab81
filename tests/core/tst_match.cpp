// The match finder: results, progress, and commands run in the middle of a run.
#include "TestDoubles.h"

#include "lists/ItemCommands.h"
#include "match/MatchFinder.h"
#include "match/ResultsCommands.h"
#include "match/TextIndex.h"
#include "platform/AppError.h"
#include "platform/HelperThread.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

namespace {

// The comparison as a plain nested scan: for each List 1 item, the first equal List 2 item.
QStringList nestedScan(const QStringList& list1, const QStringList& list2)
{
    QStringList results;
    for (const QString& a : list1) {
        for (const QString& b : list2) {
            if (a == b) {
                results.append(a);
                break;
            }
        }
    }
    return results;
}

} // namespace

class MatchTest : public QObject
{
    Q_OBJECT
private slots:
    void samples();
    void exactComparison_data();
    void exactComparison();
    void sameRowsAsANestedScan();
    void indexFindsTheFirstOccurrence();
    void textHashesSpreadOverTheTable();
    void resultsAreAppendedAndTicked();
    void progressAndCaption();
    void emptyLists();
    void fileNamePart();
    void progressPercent();
    void list2ChangesDuringARun();
    void list2ChangesWhileItsIndexIsBuilt();
    void list1ShrinksDuringARun();
    void secondRunDuringARun();
    void resultsClearedDuringARun();
};

void MatchTest::samples()
{
    Fixture f;
    PushButton20_Click(*f.ws);
    PushButton4_Click(*f.ws);
    PushButton11_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView3), (QStringList{u"apples"_s, u"oranges"_s}));
    QVERIFY(f.errors.reports.isEmpty());
}

void MatchTest::exactComparison_data()
{
    QTest::addColumn<QStringList>("list1");
    QTest::addColumn<QStringList>("list2");
    QTest::addColumn<QStringList>("results");
    QTest::newRow("case and order")
        << QStringList{u"a"_s, u"B"_s, u"a"_s, u"c"_s} << QStringList{u"b"_s, u"a"_s, u"a"_s}
        << QStringList{u"a"_s, u"a"_s};
    QTest::newRow("trailing blank") << QStringList{u"Apple "_s, u"Apple"_s}
                                    << QStringList{u"Apple"_s} << QStringList{u"Apple"_s};
    QTest::newRow("empty texts") << QStringList{u""_s, u"x"_s, u""_s} << QStringList{u""_s}
                                 << QStringList{u""_s, u""_s};
    QTest::newRow("tabs and accents")
        << QStringList{u"a\tb"_s, u"caf\u00e9"_s, u"cafe"_s}
        << QStringList{u"caf\u00e9"_s, u"a\tb"_s} << QStringList{u"a\tb"_s, u"caf\u00e9"_s};
    QTest::newRow("duplicates in list 2 count once")
        << QStringList{u"k"_s} << QStringList{u"k"_s, u"k"_s, u"k"_s} << QStringList{u"k"_s};
}

void MatchTest::exactComparison()
{
    QFETCH(QStringList, list1);
    QFETCH(QStringList, list2);
    QFETCH(QStringList, results);
    Fixture f;
    fill(f.ws->listView1, list1);
    fill(f.ws->listView2, list2);
    PushButton11_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView3), results);
}

void MatchTest::sameRowsAsANestedScan()
{
    QRandomGenerator random(20261207);
    for (int round = 0; round < 20; ++round) {
        // Small alphabets make many near misses: case, trailing blanks, prefixes.
        const auto draw = [&] {
            static const QString pieces[] = {u"a"_s, u"A"_s, u" "_s, u"b"_s, u""_s};
            QString text;
            const int parts = random.bounded(4);
            for (int i = 0; i < parts; ++i)
                text += pieces[random.bounded(5)];
            return text;
        };
        QStringList list1, list2;
        for (int i = random.bounded(60); i > 0; --i)
            list1.append(draw());
        for (int i = random.bounded(60); i > 0; --i)
            list2.append(draw());
        Fixture f;
        fill(f.ws->listView1, list1);
        fill(f.ws->listView2, list2);
        PushButton11_Click(*f.ws);
        QCOMPARE(textsOf(f.ws->listView3), nestedScan(list1, list2));
    }
}

void MatchTest::indexFindsTheFirstOccurrence()
{
    // Long enough for a table of its own from the system, and not a whole number of the
    // batches the build works in; every text occurs two or three times.
    QStringList texts;
    for (int i = 0; i < 300007; ++i)
        texts.append(QString::number(i % 123457));
    ListPane pane;
    pane.addMany(texts);
    TextIndex index;
    QVERIFY(index.build(pane.texts()));
    for (int i = 0; i < 123457; i += 97)
        QCOMPARE(index.firstPosition(QString::number(i)), i + 1);
    QCOMPARE(index.firstPosition(u"123457"_s), 0);
    // What tells absent texts apart before the table never takes a present one for absent.
    int found = 0;
    for (int i = 0; i < 123457; ++i)
        found += index.firstPosition(QString::number(i)) == i + 1 ? 1 : 0;
    QCOMPARE(found, 123457);
    for (int i = 123457; i < 223457; ++i)
        found += index.firstPosition(QString::number(i)) != 0 ? 1 : 0;
    QCOMPARE(found, 123457);
    QCOMPARE(index.firstPosition(QString()), 0);

    int pauses = 0;
    QVERIFY(!index.build(pane.texts(), [&] { return ++pauses < 3; }));
    QCOMPARE(pauses, 3);
    QCOMPARE(index.firstPosition(u"5"_s), 0); // an index given up is empty

    // A table of several slices, had from the system with pauses in between before any
    // text goes in: a list changed in the first of them gives the build up at once.
    const std::vector<TextRef> blanks(1100000);
    pauses = 0;
    QVERIFY(!index.build(blanks, [&] { return ++pauses > 1; }));
    QCOMPARE(pauses, 1);
    QCOMPARE(index.firstPosition(QString()), 0);
    QVERIFY(index.build(blanks, [] { return true; }));
    QCOMPARE(index.firstPosition(QString()), 1);

    // With a helper that makes the keys of every other stretch: the same first positions,
    // by the keys.
    HelperThread helper;
    const TextIndex::KeyOf keyOf = [buffer = QString()](QStringView text) mutable {
        buffer = u'#' + text;
        return QStringView(buffer);
    };
    QVERIFY(index.build(
        pane.texts(), keyOf, [] { return true; }, &helper));
    for (int i = 0; i < 123457; i += 97)
        QCOMPARE(index.firstPosition(QString(u'#' + QString::number(i))), i + 1);
    QCOMPARE(index.firstPosition(u"5"_s), 0);
    pauses = 0;
    QVERIFY(!index.build(
        blanks, {}, [&] { return ++pauses < 2; }, &helper));
    QCOMPARE(pauses, 2);
    QVERIFY(index.build(
        blanks, {}, [] { return true; }, &helper));
    QCOMPARE(index.firstPosition(QString()), 1);
}

// The table chooses a slot by the high bits of a hash's high half (a small table by its
// highest), and tells texts apart by its low half: texts that differ anywhere, in one
// character or only in length, must differ in both, or lookups walk long runs of slots and
// compare texts that differ.
void MatchTest::textHashesSpreadOverTheTable()
{
    const auto spread = [](const QStringList& texts, int shift) {
        QSet<uint32_t> seen;
        for (const QString& text : texts)
            seen.insert(uint32_t(TextIndex::hashOf(text) >> shift) & 0xffffu);
        return int(seen.size());
    };
    // The sixteen bits on top of each half: where the table looks, and the fingerprint's.
    const auto highBits = [&](const QStringList& texts) {
        return std::min(spread(texts, 48), spread(texts, 15));
    };

    QStringList ids;
    for (int i = 0; i < 100000; ++i)
        ids.append(u"ID-"_s + QString::number(i).rightJustified(7, u'0'));
    // 100,000 random hashes fill about 51,300 of 65,536 places.
    QVERIFY2(highBits(ids) > 49000, qPrintable(QString::number(highBits(ids))));

    // Every character counts, whatever the length: short texts are read in words that
    // overlap, long ones in steps with a tail.
    for (int size : {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 40}) {
        QStringList oneCharacterApart;
        const QString base(size, u'x');
        for (int at = 0; at < base.size(); ++at) {
            for (char16_t c = u'a'; c < u'x'; ++c) {
                QString text = base;
                text[at] = QChar(c);
                oneCharacterApart.append(text);
            }
        }
        // n random hashes fill about n - n^2 / 131072 places: 914 of 920 at 40 characters.
        const double expected = oneCharacterApart.size() * 0.97 - 2;
        QVERIFY2(highBits(oneCharacterApart) > expected,
                 qPrintable(u"%1 characters: %2"_s.arg(size).arg(highBits(oneCharacterApart))));
    }

    QStringList lengths;
    for (int size = 0; size <= 64; ++size) {
        lengths.append(QString(size, u'a'));
        lengths.append(QString(size, QChar(0)));
    }
    QSet<TextHash> whole;
    for (const QString& text : lengths)
        whole.insert(TextIndex::hashOf(text));
    QCOMPARE(whole.size(), lengths.size() - 1); // the two empty texts are one
}

void MatchTest::resultsAreAppendedAndTicked()
{
    Fixture f;
    f.ws->listView3.add(u"earlier"_s);
    fill(f.ws->listView1, {u"x"_s, u"y"_s});
    fill(f.ws->listView2, {u"y"_s, u"x"_s});
    PushButton11_Click(*f.ws);
    PushButton11_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView3), (QStringList{u"earlier"_s, u"x"_s, u"y"_s, u"x"_s, u"y"_s}));
    QVERIFY(!f.ws->listView3.checked(1));
    for (int i = 2; i <= 5; ++i)
        QVERIFY(f.ws->listView3.checked(i));
}

void MatchTest::progressAndCaption()
{
    Fixture f;
    fill(f.ws->listView1, {u"C:\\Data\\names.txt"_s, u"plain text"_s, u"ends\\"_s});
    fill(f.ws->listView2, {u"zzz"_s});
    const auto shown = recordProgress(f.pump, f.ws->progressBar1);
    f.ws->mousePointer.setValue(MousePointer::Custom);
    PushButton11_Click(*f.ws);
    QCOMPARE(shown->values, (QList<int>{0, 33, 66, 100}));
    QCOMPARE(shown->captions, (QStringList{u"Progress Bar"_s, u"Processing: names.txt"_s,
                                           u"Processing: plain text"_s, u"Processing: "_s}));
    QCOMPARE(f.ws->progressBar1.value(), 0);
    QCOMPARE(f.ws->progressBar1.text(), u"Progress Bar"_s);
    QCOMPARE(f.ws->mousePointer.value(), MousePointer::Default);
}

void MatchTest::emptyLists()
{
    // List 2 empty: the value steps through List 1, the caption is never set.
    Fixture f;
    fill(f.ws->listView1, {u"a"_s, u"b"_s, u"c"_s, u"d"_s});
    QList<int> values;
    QStringList captions;
    f.pump.every = [&](int) {
        values.append(f.ws->progressBar1.value());
        captions.append(f.ws->progressBar1.text());
    };
    PushButton11_Click(*f.ws);
    QCOMPARE(values, (QList<int>{0, 0, 25, 50, 75}));
    QCOMPARE(captions.filter(u"Processing"_s), QStringList());
    QCOMPARE(f.ws->listView3.count(), 0);
    QCOMPARE(f.ws->progressBar1.value(), 0);

    // List 1 empty: nothing happens beyond the reset.
    Fixture g;
    fill(g.ws->listView2, {u"a"_s});
    g.ws->mousePointer.setValue(MousePointer::Busy);
    PushButton11_Click(*g.ws);
    QCOMPARE(g.ws->listView3.count(), 0);
    QCOMPARE(g.ws->mousePointer.value(), MousePointer::Default);
    QCOMPARE(g.ws->progressBar1.text(), u"Progress Bar"_s);
}

void MatchTest::fileNamePart()
{
    QCOMPARE(FileNamePart(u"C:\\Data\\names.txt"_s), u"names.txt"_s);
    QCOMPARE(FileNamePart(u"plain text"_s), u"plain text"_s);
    QCOMPARE(FileNamePart(u"folder\\"_s), QString());
    QCOMPARE(FileNamePart(QString()), QString());
    QCOMPARE(FileNamePart(u"a/b/c"_s), u"a/b/c"_s);
}

void MatchTest::progressPercent()
{
    QCOMPARE(pq::progressPercent(57, 100), 56);
    QCOMPARE(pq::progressPercent(29, 50), 57);
    QCOMPARE(pq::progressPercent(2, 3), 66);
    QCOMPARE(pq::progressPercent(3, 3), 100);
    QCOMPARE(pq::progressPercent(1000000, 1000000), 100);
    QVERIFY_THROWS_EXCEPTION(AppError, pq::progressPercent(1, 0));

    // Worked out only where it changes, it is still the same value at every item, also
    // when the count changes on the way or items are skipped back and forth.
    for (const int count : {1, 3, 7, 49, 100, 101, 333, 12345, 1000003}) {
        ProgressSteps steps;
        for (int i = 1; i <= count; ++i)
            QCOMPARE(steps.at(i, count), pq::progressPercent(i, count));
        for (int i = count; i >= 1; i -= 1 + i / 7)
            QCOMPARE(steps.at(i, count), pq::progressPercent(i, count));
    }
    ProgressSteps steps;
    QCOMPARE(steps.at(50, 100), 50);
    QCOMPARE(steps.at(51, 60), 85);
    QCOMPARE(steps.at(52, 100), 52);
    QVERIFY_THROWS_EXCEPTION(AppError, steps.at(1, 0));
    QVERIFY_THROWS_EXCEPTION(AppError, steps.at(1, 0));
}

void MatchTest::list2ChangesDuringARun()
{
    // After the first item, List 2 is replaced by the List 2 sample: the rest of the run
    // compares against the new content.
    Fixture f;
    fill(f.ws->listView1, {u"kiwi"_s, u"apples"_s, u"kiwi"_s, u"bananas"_s});
    fill(f.ws->listView2, {u"kiwi"_s});
    const auto replaced = onceWhen(
        f.pump, [&] { return f.ws->listView3.count() == 1; }, [&] { PushButton4_Click(*f.ws); });
    PushButton11_Click(*f.ws);
    QVERIFY(*replaced);
    QCOMPARE(textsOf(f.ws->listView3), (QStringList{u"kiwi"_s, u"apples"_s, u"bananas"_s}));
    QVERIFY(f.errors.reports.isEmpty());
}

void MatchTest::list2ChangesWhileItsIndexIsBuilt()
{
    // The index of a long List 2 is built in stretches with a yield between them. List 2
    // loses its first item at each of the first yields, some of them in the middle of a
    // build: the run compares against List 2 as it ended, never against a stale index.
    Fixture f;
    QStringList list2;
    for (int i = 0; i < 10000; ++i)
        list2.append(u"v"_s + QString::number(i));
    const QStringList list1{u"v9999"_s, u"v10"_s, u"v5000"_s, u"v19"_s, u"v20"_s, u"v4100"_s};
    f.ws->listView2.addMany(list2);
    fill(f.ws->listView1, list1);
    f.pump.every = [&](int yields) {
        if (yields <= 20)
            f.ws->listView2.remove(1);
    };
    PushButton11_Click(*f.ws);
    QCOMPARE(f.ws->listView2.count(), 9980);
    QCOMPARE(textsOf(f.ws->listView3), nestedScan(list1, textsOf(f.ws->listView2)));
    QCOMPARE(textsOf(f.ws->listView3), (QStringList{u"v9999"_s, u"v5000"_s, u"v20"_s, u"v4100"_s}));
    QVERIFY(f.errors.reports.isEmpty());
}

void MatchTest::list1ShrinksDuringARun()
{
    for (int yield = 1; yield <= 12; ++yield) {
        Fixture f;
        f.ws->listView1.addMany({u"a"_s, u"b"_s, u"c"_s, u"d"_s}); // one block, as from a file
        fill(f.ws->listView2, {u"a"_s, u"b"_s, u"c"_s, u"d"_s});
        f.pump.at[yield] = [&] { PushButton1_Click(*f.ws); };
        PushButton11_Click(*f.ws);
        QVERIFY2(f.errors.reports.isEmpty(), qPrintable(f.errors.descriptions().join(u'\n')));
        // Results keep their texts once nothing can bring List 1's back.
        f.ws->listView1.clear();
        QCOMPARE(f.ws->listView1.heldCharacters(), 0);
        const QStringList found = textsOf(f.ws->listView3);
        QCOMPARE(found, (QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s}.mid(0, found.size())));
        QCOMPARE(f.ws->progressBar1.value(), 0);
        QCOMPARE(f.ws->progressBar1.text(), u"Progress Bar"_s);
    }
}

void MatchTest::secondRunDuringARun()
{
    Fixture f;
    fill(f.ws->listView1, {u"a"_s, u"b"_s, u"c"_s});
    fill(f.ws->listView2, {u"c"_s, u"a"_s});
    const auto nested = onceWhen(
        f.pump, [&] { return f.ws->listView3.count() == 1; }, [&] { PushButton11_Click(*f.ws); });
    PushButton11_Click(*f.ws);
    QVERIFY(*nested);
    QCOMPARE(f.ws->listView3.count(), 4);
    QCOMPARE(f.ws->listView3.text(1), u"a"_s); // found by the first run before the second
    QCOMPARE(textsOf(f.ws->listView3).count(u"a"_s), 2);
    QCOMPARE(textsOf(f.ws->listView3).count(u"c"_s), 2);
    QCOMPARE(f.ws->progressBar1.value(), 0);
}

void MatchTest::resultsClearedDuringARun()
{
    Fixture f;
    fill(f.ws->listView1, {u"a"_s, u"b"_s});
    fill(f.ws->listView2, {u"a"_s, u"b"_s});
    const auto cleared = onceWhen(
        f.pump, [&] { return f.ws->listView3.count() == 1; }, [&] { PushButton10_Click(*f.ws); });
    PushButton11_Click(*f.ws);
    QVERIFY(*cleared);
    QCOMPARE(textsOf(f.ws->listView3), QStringList{u"b"_s});
}

QTEST_MAIN(MatchTest)
#include "tst_match.moc"

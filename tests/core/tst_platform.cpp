// The pane model and its storage, the progress bar, the error trap, FileExists, the helper
// thread and the waits before a dispatch.
#include "TestDoubles.h"

#include "platform/AppError.h"
#include "platform/FileSystem.h"
#include "platform/HelperThread.h"
#include "platform/ListPane.h"
#include "platform/Memory.h"
#include "platform/ProgressBar.h"
#include "platform/SpareBlocks.h"
#include "platform/TextStore.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

class PlatformTest : public QObject
{
    Q_OBJECT
private slots:
    void paneAddressesRowsFromOne();
    void paneReadsOutsideRaiseFailures();
    void paneRemovalMovesLaterRowsAndSelection();
    void paneAnnouncesAppendsOncePerDispatch();
    void longPaneShowsAppendsInLargerSteps();
    void paneSubItemsAndChecks();
    void paneModelStaysConsistentForViews();
    void paneTextsAreTheirOwn();
    void panesShareOnlyBlocksTheyUseWell();
    void viewsAreGivenTheStartOfLongItems();
    void removingRunsMatchesOneByOne();
    void selectionFollowsItsRows();
    void rowToolTipsStayWithTheirRows();
    void countAndNoteAreAnnounced();
    void progressBarForwardsOncePerDispatch();
    void trapReportsAndCarriesOn();
    void trapHaltsALoopWhoseEveryPassFails();
    void trapCanStopAtTheFirstFailure();
    void trapLetsAbandonPass();
    void fileExists();
    void zeroedRoomsAreZeroedAndOwnTheirMemory();
    void memoryFiguresAreTheSystems();
    void populatedPagesKeepWhatTheyHold();
    void spareBlocksLendTheirMemoryOnce();
    void spareBlocksAreFreedWhenUnused();
    void rowTablesLetGoOfAreLentAgain();
    void roomForNextRowsStaysWithinTheReservation();
    void helperRunsJobsInTurnAndKeepsTheirFailures();
    void waitsBeforeDispatchRunWhileTheyLive();
};

void PlatformTest::paneAddressesRowsFromOne()
{
    ListPane pane;
    pane.add(QStringLiteral("a"));
    pane.add(QString());
    pane.add(QStringLiteral("a"));
    pane.addMany({QStringLiteral(" b "), QStringLiteral("c")});
    QCOMPARE(pane.count(), 5);
    QCOMPARE(textsOf(pane), (QStringList{u"a"_s, u""_s, u"a"_s, u" b "_s, u"c"_s}));
    QCOMPARE(pane.text(1), u"a"_s);
    QCOMPARE(pane.text(5), u"c"_s);
}

void PlatformTest::paneReadsOutsideRaiseFailures()
{
    ListPane pane;
    QVERIFY_THROWS_EXCEPTION(AppError, pane.text(1));
    pane.add(QStringLiteral("x"));
    QVERIFY_THROWS_EXCEPTION(AppError, pane.text(0));
    QVERIFY_THROWS_EXCEPTION(AppError, pane.text(2));
    QVERIFY_THROWS_EXCEPTION(AppError, pane.remove(2));
    QVERIFY_THROWS_EXCEPTION(AppError, pane.checked(-1));
    QVERIFY_THROWS_EXCEPTION(AppError, pane.columnTitle(1));
    try {
        pane.text(3);
        QFAIL("no failure");
    } catch (const AppError& e) {
        QCOMPARE(e.description(), u"Index out of bounds"_s);
    }
}

void PlatformTest::paneRemovalMovesLaterRowsAndSelection()
{
    ListPane pane;
    fill(pane, {u"a"_s, u"b"_s, u"c"_s, u"d"_s});
    pane.select(3);
    pane.remove(1);
    QCOMPARE(textsOf(pane), (QStringList{u"b"_s, u"c"_s, u"d"_s}));
    QCOMPARE(pane.selected(), 2); // still "c"
    QCOMPARE(pane.text(pane.selected()), u"c"_s);
    pane.remove(2);
    QCOMPARE(pane.selected(), 0);
    pane.select(9);
    QCOMPARE(pane.selected(), 0);
    pane.select(1);
    pane.clear();
    QCOMPARE(pane.count(), 0);
    QCOMPARE(pane.selected(), 0);
}

void PlatformTest::paneAnnouncesAppendsOncePerDispatch()
{
    ListPane pane;
    pane.addColumn(u"List 1"_s);
    QSignalSpy inserted(&pane, &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 1000; ++i)
        pane.add(QString::number(i));
    QCOMPARE(pane.count(), 1000);
    QCOMPARE(pane.rowCount(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(pane.rowCount(), 1000);
    QCOMPARE(pane.data(pane.index(999, 0), Qt::DisplayRole).toString(), u"999"_s);

    // Rows not yet shown can be removed without confusing views.
    pane.add(u"x"_s);
    pane.add(u"y"_s);
    pane.remove(1001);
    QSignalSpy removed(&pane, &QAbstractItemModel::rowsRemoved);
    pane.remove(1);
    QCOMPARE(removed.count(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(pane.rowCount(), pane.count());
    QCOMPARE(pane.text(pane.count()), u"y"_s);
}

// Dispatches until the pane's views hold every row, checking that each event took in as
// many rows as it may, or all that were left.
static void showAllRowsEventByEvent(ListPane& pane)
{
    for (int events = 0; pane.rowCount() < pane.count() && events < 64; ++events) {
        const int before = pane.rowCount();
        QCoreApplication::processEvents();
        QCOMPARE(pane.rowCount(),
                 std::min(pane.count(), before + ListPane::rowsForNextEvent(before)));
    }
}

void PlatformTest::longPaneShowsAppendsInLargerSteps()
{
    ListPane pane;
    pane.addColumn(u"List 1"_s);
    pane.beginCommand(); // rows wait for more only while a command may still append them
    pane.addMany(QStringList(1 << 22, u"x"_s));
    QElapsedTimer sinceRowsShown; // started before the pane's own clock for it
    sinceRowsShown.start();
    // A view takes in two million rows in one event at most, fewer the more it holds (as it
    // lays them all out again after each); the rest come in the events after.
    QCOMPARE(ListPane::rowsForNextEvent(0), 1 << 21);
    QVERIFY(ListPane::rowsForNextEvent(1 << 23) < 1 << 21);
    QCOMPARE(ListPane::rowsForNextEvent(1 << 30), 1 << 18);
    showAllRowsEventByEvent(pane);
    QCOMPARE(pane.rowCount(), 1 << 22);

    QSignalSpy counted(&pane, &ListPane::countChanged);
    pane.add(u"a"_s);
    QCoreApplication::processEvents();
    QCOMPARE(counted.count(), 1); // the count is told at once
    // The row waits a quarter of a second after rows were last shown: on a machine slow
    // enough (a sanitizer's build) that it had passed already, the row is shown at once.
    if (sinceRowsShown.elapsed() < 250)
        QCOMPARE(pane.rowCount(), 1 << 22);
    QTRY_COMPARE_WITH_TIMEOUT(pane.rowCount(), (1 << 22) + 1, 2000); // the row a moment later
    QCOMPARE(pane.data(pane.index(1 << 22, 0), Qt::DisplayRole).toString(), u"a"_s);

    // Half as many rows more are shown from the next dispatch on, without waiting, even when
    // a row appended before them was waiting.
    pane.add(u"y"_s);
    QCoreApplication::processEvents();
    pane.addMany(QStringList(1 << 21, u"y"_s));
    sinceRowsShown.start();
    const int shownBefore = pane.rowCount();
    QCoreApplication::processEvents();
    QCOMPARE(pane.rowCount(), shownBefore + ListPane::rowsForNextEvent(shownBefore));
    showAllRowsEventByEvent(pane);

    // A waiting row is shown as soon as the command ends.
    pane.add(u"b"_s);
    QCoreApplication::processEvents();
    if (sinceRowsShown.elapsed() < 250)
        QCOMPARE(pane.rowCount(), pane.count() - 1);
    pane.endCommand();
    QCoreApplication::processEvents();
    QCOMPARE(pane.rowCount(), pane.count());

    // Outside commands, nothing waits.
    pane.add(u"c"_s);
    QCoreApplication::processEvents();
    QCOMPARE(pane.rowCount(), pane.count());
}

void PlatformTest::paneSubItemsAndChecks()
{
    ListPane pane;
    pane.addColumn(u"Name"_s);
    pane.addColumn(u"Qty"_s);
    pane.add(u"Bolt"_s);
    pane.add(u"Washer"_s, true);
    QCOMPARE(pane.subItem(1, 1), QString());
    pane.setSubItem(2, 1, u"7"_s);
    QCOMPARE(pane.cell(2, 2), u"7"_s);
    QCOMPARE(pane.cell(2, 1), u"Washer"_s);
    QVERIFY_THROWS_EXCEPTION(AppError, pane.subItem(1, 2));
    pane.add(u"Nut"_s);
    QCOMPARE(pane.subItem(3, 1), QString());
    QVERIFY(!pane.checked(1));
    QVERIFY(pane.checked(2));
    pane.remove(1);
    QCOMPARE(pane.cell(1, 2), u"7"_s);
    QVERIFY(pane.checked(1));

    pane.setCheckable(true);
    QCoreApplication::processEvents();
    const QModelIndex first = pane.index(0, 0);
    QCOMPARE(pane.data(first, Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(pane.setData(first, Qt::Unchecked, Qt::CheckStateRole));
    QVERIFY(!pane.checked(1));
}

void PlatformTest::paneModelStaysConsistentForViews()
{
    ListPane pane;
    QAbstractItemModelTester tester(&pane, QAbstractItemModelTester::FailureReportingMode::QtTest);
    pane.addColumn(u"Results"_s);
    pane.setCheckable(true);
    for (int i = 0; i < 300; ++i)
        pane.add(QString::number(i), i % 2 == 0);
    pane.remove(300); // not yet announced to views
    QCoreApplication::processEvents();
    QCOMPARE(pane.rowCount(), 299);
    pane.addMany({u"x"_s, u"y"_s});
    pane.remove(1); // announced, while appended rows still wait
    pane.remove(pane.count());
    QCoreApplication::processEvents();
    QCOMPARE(pane.rowCount(), pane.count());
    pane.setChecked(5, true);
    QVERIFY(pane.setData(pane.index(4, 0), Qt::Unchecked, Qt::CheckStateRole));
    QVERIFY(!pane.checked(5));
    pane.clear();
    pane.add(u"after"_s);
    QCoreApplication::processEvents();
    QCOMPARE(pane.rowCount(), 1);
    QCOMPARE(pane.data(pane.index(0, 0), Qt::DisplayRole).toString(), u"after"_s);
}

void PlatformTest::paneTextsAreTheirOwn()
{
    // Rows added one by one are copied into the pane, so Results made from List 1 keeps
    // only its own characters once List 1 is cleared.
    ListPane list1;
    ListPane results;
    QStringList texts;
    for (int i = 0; i < 5000; ++i)
        texts.append(u"item number "_s + QString::number(i));
    list1.addMany(texts);
    const qsizetype list1Chars = list1.heldCharacters();
    QVERIFY(list1Chars >= 5000 * 12);
    for (int i = 1; i <= list1.count(); i += 100)
        results.add(list1.view(i), true);
    list1.clear();
    QCOMPARE(list1.heldCharacters(), 0);
    QCOMPARE(results.count(), 50);
    QCOMPARE(results.text(50), u"item number 4900"_s);
    QVERIFY(results.heldCharacters() < list1Chars / 10);

    // Empty texts, and texts longer than any block, keep their place and content.
    const QString longText(300000, u'w');
    results.add(QString());
    results.add(longText);
    results.add(u"tail"_s);
    QCOMPARE(results.text(51), QString());
    QCOMPARE(results.text(52), longText);
    QCOMPARE(results.text(53), u"tail"_s);
    QCOMPARE(results.text(1), u"item number 0"_s);
}

void PlatformTest::panesShareOnlyBlocksTheyUseWell()
{
    ListPane list1;
    QStringList texts;
    for (int i = 0; i < 4000; ++i)
        texts.append(u"item number "_s + QString::number(i));
    list1.addMany(texts.mid(0, 2000)); // two blocks
    list1.addMany(texts.mid(2000));
    const qsizetype list1Chars = list1.heldCharacters();
    BlockLookup lookup;
    lookup.index(list1.blocks());
    const auto share = [&](ListPane& results, int position) {
        const TextRef& text = list1.texts()[size_t(position - 1)];
        results.addShared(text, *lookup.holding(text), true);
    };

    // Every other item of the first block is shared, a few of the second are copied once
    // the sharing ends, and the first block shared again is held once more.
    ListPane results;
    results.beginCommand();
    for (int i = 1; i <= 2000; i += 2)
        share(results, i);
    QCOMPARE(results.view(1).data(), list1.view(1).data());
    for (int i = 2001; i <= 4000; i += 500)
        share(results, i);
    QCOMPARE(results.view(1001).data(), list1.view(2001).data());
    share(results, 2);
    QVERIFY(results.view(1001).data() != list1.view(2001).data());
    results.add(u"own"_s, true);
    results.endCommand();
    list1.clear(); // outside any command: nothing can bring its rows back
    QCOMPARE(list1.heldCharacters(), 0);
    QStringList expected;
    for (int i = 1; i <= 2000; i += 2)
        expected.append(texts.at(i - 1));
    for (int i = 2001; i <= 4000; i += 500)
        expected.append(texts.at(i - 1));
    expected << texts.at(1) << u"own"_s;
    QCOMPARE(textsOf(results), expected);
    QVERIFY(results.checked(1006));
    QVERIFY(results.heldCharacters() < list1Chars);

    // Undone, the shared rows and the copies of those copied go; what the pane held before
    // stays.
    list1.addMany(texts);
    lookup.index(list1.blocks());
    results.beginCommand();
    for (int i = 1; i <= 4000; i += 1000)
        share(results, i);
    results.endSharing();
    results.endCommand();
    QCOMPARE(results.count(), expected.size() + 4);
    QCOMPARE(results.text(expected.size() + 4), texts.at(3000));
    QVERIFY(results.undo());
    list1.clear();
    QCOMPARE(textsOf(results), expected);
}

void PlatformTest::viewsAreGivenTheStartOfLongItems()
{
    ListPane pane;
    pane.addColumn(u"Results"_s);
    QString longText(3 * ListPane::kShownCharacters, u'x');
    longText[ListPane::kShownCharacters - 1] = QChar(0xD83C); // a pair across the cut
    longText[ListPane::kShownCharacters] = QChar(0xDF4E);
    const QString shortText(ListPane::kShownCharacters, u'y');
    pane.add(longText, true);
    pane.add(shortText, true);
    QCoreApplication::processEvents();
    const QString shown = pane.data(pane.index(0, 0), Qt::DisplayRole).toString();
    QCOMPARE(shown, longText.first(ListPane::kShownCharacters - 1) + u"\u2026"_s);
    QCOMPARE(pane.data(pane.index(1, 0), Qt::DisplayRole).toString(), shortText);
    // The item itself keeps every character.
    QCOMPARE(pane.text(1), longText);
    QCOMPARE(pane.view(1).size(), longText.size());
}

// Removing scattered runs in one pass, checked against removing the same rows one at a
// time from the last back, with a model tester watching what views are told.
void PlatformTest::removingRunsMatchesOneByOne()
{
    QRandomGenerator random(20261208);
    for (int round = 0; round < 40; ++round) {
        ListPane pane;
        QAbstractItemModelTester tester(&pane,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        pane.addColumn(u"List 1"_s);
        const int rows = 1 + random.bounded(60);
        QStringList reference;
        for (int i = 0; i < rows; ++i)
            reference.append(u"row "_s + QString::number(i));
        pane.addMany(reference.first(rows / 2));
        QCoreApplication::processEvents(); // half of the rows shown, half still waiting
        pane.addMany(reference.sliced(rows / 2));

        std::vector<RowRun> runs;
        QList<bool> removed(rows, false);
        for (int k = random.bounded(5); k >= 0; --k) {
            const int first = random.bounded(rows);
            const int count = 1 + random.bounded(std::min(4, rows - first));
            runs.push_back({first, count});
            for (int r = first; r < first + count; ++r)
                removed[r] = true;
        }
        for (int r = rows - 1; r >= 0; --r) {
            if (removed[r])
                reference.removeAt(r);
        }
        pane.removeRows(runs);
        QCOMPARE(textsOf(pane), reference);
        QCoreApplication::processEvents();
        QCOMPARE(pane.rowCount(), pane.count());
    }
    ListPane pane;
    fill(pane, {u"a"_s, u"b"_s});
    QVERIFY_THROWS_EXCEPTION(AppError, pane.removeRows({{1, 2}}));
    QCOMPARE(pane.count(), 2);
}

void PlatformTest::selectionFollowsItsRows()
{
    const std::vector<RowRun> selected{{1, 3}, {7, 2}};
    QCOMPARE(runsAfterRemoval(selected, std::vector<RowRun>{{0, 1}, {2, 1}, {8, 5}}),
             (std::vector<RowRun>{{0, 2}, {5, 1}}));
    QCOMPARE(runsAfterInsertion(selected, std::vector<RowRun>{{0, 1}, {3, 2}}),
             (std::vector<RowRun>{{2, 1}, {5, 2}, {10, 2}}));
    QCOMPARE(joinedRuns({{5, 2}, {0, 1}, {1, 2}, {6, 4}, {3, 0}}),
             (std::vector<RowRun>{{0, 3}, {5, 5}}));

    ListPane pane;
    fill(pane, {u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s});
    QSignalSpy moved(&pane, &ListPane::selectionMoved);
    pane.setSelection({{3, 2}, {1, 1}}, 2);
    QCOMPARE(pane.selected(), 2);
    pane.remove(1);
    QCOMPARE(std::vector<RowRun>(pane.selection().begin(), pane.selection().end()),
             (std::vector<RowRun>{{0, 1}, {2, 2}})); // still "b", "d" and "e"
    QCOMPARE(pane.selected(), 1);
    QCOMPARE(moved.count(), 1);
    pane.setSelection({{1, 1}, {3, 1}}, 2);
    pane.removeRows({{1, 1}, {3, 1}});
    QVERIFY(pane.selection().empty());
    QCOMPARE(pane.selected(), 0);
    QCOMPARE(textsOf(pane), (QStringList{u"b"_s, u"d"_s}));
}

void PlatformTest::rowToolTipsStayWithTheirRows()
{
    ListPane pane;
    pane.addColumn(u"Results"_s);
    fill(pane, {u"a"_s, u"b"_s, u"c"_s});
    pane.setRowToolTip(3, u"found as C"_s);
    QCoreApplication::processEvents();
    QCOMPARE(pane.data(pane.index(2, 0), Qt::ToolTipRole).toString(), u"found as C"_s);
    QVERIFY(!pane.data(pane.index(0, 0), Qt::ToolTipRole).isValid());
    pane.beginCommand();
    pane.remove(1);
    pane.add(u"d"_s);
    pane.endCommand();
    QCOMPARE(pane.rowToolTip(2), u"found as C"_s);
    QCOMPARE(pane.rowToolTip(3), QString());
    QVERIFY(pane.undo());
    QCOMPARE(textsOf(pane), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    QCOMPARE(pane.rowToolTip(3), u"found as C"_s);
    QCOMPARE(pane.rowToolTip(1), QString());

    // A tool tip made when read is made only then, goes with its row, and gives way to a
    // plain one set later.
    int made = 0;
    pane.setRowToolTip(1, [&made] {
        ++made;
        return u"made for A"_s;
    });
    QCOMPARE(made, 0);
    pane.beginCommand();
    pane.remove(2);
    pane.endCommand();
    QCOMPARE(made, 0);
    QCOMPARE(pane.data(pane.index(0, 0), Qt::ToolTipRole).toString(), u"made for A"_s);
    QCOMPARE(pane.rowToolTip(2), u"found as C"_s);
    QCOMPARE(made, 1);
    pane.setRowToolTip(1, u"plain"_s);
    QCOMPARE(pane.rowToolTip(1), u"plain"_s);
    QCOMPARE(made, 1);
}

void PlatformTest::countAndNoteAreAnnounced()
{
    ListPane pane;
    QSignalSpy counts(&pane, &ListPane::countChanged);
    QSignalSpy notes(&pane, &ListPane::headerNoteChanged);
    for (int i = 0; i < 1000; ++i)
        pane.add(QString::number(i));
    pane.remove(1);
    QCOMPARE(counts.count(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(counts.count(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(counts.count(), 1);
    pane.setHeaderNote(u"ignoring case"_s);
    pane.setHeaderNote(u"ignoring case"_s);
    QCOMPARE(notes.count(), 1);
    QCOMPARE(pane.headerNote(), u"ignoring case"_s);
}

void PlatformTest::progressBarForwardsOncePerDispatch()
{
    ProgressBar bar;
    QSignalSpy changed(&bar, &ProgressBar::changed);
    for (int i = 0; i <= 100; ++i) {
        bar.setValue(i);
        bar.setText(u"Processing: "_s + QString::number(i));
    }
    QCOMPARE(changed.count(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(bar.value(), 100);
    QCOMPARE(bar.text(), u"Processing: 100"_s);
    bar.setValue(100);
    QCoreApplication::processEvents();
    QCOMPARE(changed.count(), 1);
    bar.setText(u"50% done"_s);
    QCOMPARE(bar.text(), u"50% done"_s);
}

void PlatformTest::trapReportsAndCarriesOn()
{
    RecordedErrors errors;
    Trap trap(errors, u"Form1.PushButton4_Click"_s);
    QStringList done;
    QVERIFY(!trap.step(102, [] { throw AppError(u"first"_s); }));
    QVERIFY(trap.step(104, [&] { done << u"104"_s; }));
    QVERIFY(!trap.step(106, [] { throw std::runtime_error("second"); }));
    QVERIFY(!trap.step(106, [] { throw AppError(u"third"_s); })); // plain steps never halt
    QVERIFY(!trap.step(108, [] { throw std::bad_alloc(); }));
    QCOMPARE(done, QStringList{u"104"_s});
    QCOMPARE(errors.descriptions(),
             (QStringList{u"first"_s, u"second"_s, u"third"_s, u"Out of memory"_s}));
    QCOMPARE(errors.reports.first().location, u"Form1.PushButton4_Click"_s);
    QCOMPARE(errors.reports.first().label, 102);
    QCOMPARE(errors.reports.at(1).label, 106);
    QVERIFY(!trap.halted());
}

void PlatformTest::trapHaltsALoopWhoseEveryPassFails()
{
    RecordedErrors errors;
    Trap trap(errors, u"Form1.PushButton11_Click"_s);
    int passes = 0;
    for (int i = 0; i < 1000 && !trap.halted(); ++i) {
        ++passes;
        trap.loopStep(112, [] { throw AppError(u"Index out of bounds"_s); });
    }
    QCOMPARE(passes, 2);
    QCOMPARE(errors.reports.size(), 1);
    bool closingRan = false;
    QVERIFY(trap.step(124, [&] { closingRan = true; }));
    QVERIFY(closingRan);
    QVERIFY(!trap.loopStep(114, [] {}));
}

void PlatformTest::trapCanStopAtTheFirstFailure()
{
    RecordedErrors errors;
    Trap trap(errors, u"SaveList.SaveListviewProperlySpaced"_s, Trap::Mode::StopAtFirstFailure);
    QStringList ran;
    QVERIFY(trap.step(100, [&] { ran << u"100"_s; }));
    QVERIFY(!trap.step(156, [] { throw AppError(u"Cannot create the file"_s); }));
    QVERIFY(trap.halted());
    QVERIFY(!trap.step(170, [&] { ran << u"170"_s; }));
    QVERIFY(!trap.loopStep(222, [&] { ran << u"222"_s; }));
    QCOMPARE(ran, QStringList{u"100"_s});
    QCOMPARE(errors.reports.size(), 1);
    QCOMPARE(errors.reports.first().label, 156);
    QCOMPARE(errors.reports.first().location, u"SaveList.SaveListviewProperlySpaced"_s);
}

void PlatformTest::trapLetsAbandonPass()
{
    RecordedErrors errors;
    for (Trap::Mode mode : {Trap::Mode::CarryOn, Trap::Mode::StopAtFirstFailure}) {
        Trap trap(errors, u"Form1.PushButton11_Click"_s, mode);
        QVERIFY_THROWS_EXCEPTION(CommandAbandoned,
                                 trap.step(100, [] { throw CommandAbandoned(); }));
        QVERIFY(!trap.halted());
    }
    QVERIFY(errors.reports.isEmpty());
}

void PlatformTest::fileExists()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(u"here.txt"_s);
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(FileExists(file));
    QVERIFY(!FileExists(QString()));
    QVERIFY(!FileExists(dir.filePath(u"missing.txt"_s)));
    QVERIFY(!FileExists(dir.filePath(u"no/such/folder/x.txt"_s)));
}

void PlatformTest::zeroedRoomsAreZeroedAndOwnTheirMemory()
{
    // A small room from the heap, and large ones from the system, one of a size that is no
    // whole number of pages.
    for (const size_t count : {size_t(0), size_t(100), size_t(1) << 20, (size_t(3) << 20) + 5}) {
        ZeroedArray<quint64> room(count);
        QCOMPARE(room.size(), count);
        // Had from the system ahead of use, in part and past the end, it stays zeroed.
        if (count > 0) {
            room.populate(count / 3, count / 3);
            room.populate(count - 1, count);
        }
        const auto all = room.all();
        QVERIFY(std::all_of(all.begin(), all.end(), [](quint64 v) { return v == 0; }));
        if (count == 0)
            continue;
        room[0] = 1;
        room[count - 1] = 2;
        ZeroedArray<quint64> moved = std::move(room);
        QVERIFY(room.empty());
        QCOMPARE(moved[0], quint64(1));
        QCOMPARE(moved[count - 1], quint64(2));
        moved = ZeroedArray<quint64>(count); // the old room is given back, the new one zeroed
        QCOMPARE(moved[0], quint64(0));
        QCOMPARE(moved[count - 1], quint64(0));
    }
}

void PlatformTest::populatedPagesKeepWhatTheyHold()
{
    // Bytes read into a buffer before the rest of it is had from the system ahead of the
    // next read, and bytes of other owners on the pages at either end, stay as they were.
    QByteArray buffer(3 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < buffer.size(); ++i)
        buffer[i] = char(i * 7 + 1);
    const QByteArray before = buffer;
    QVERIFY(populatePages(buffer.data() + 1, size_t(buffer.size()) - 2) ||
            !QSysInfo::kernelType().contains(u"linux"_s));
    QVERIFY(populatePages(buffer.data() + 5, 10) || !QSysInfo::kernelType().contains(u"linux"_s));
    QCOMPARE(buffer, before);
}

void PlatformTest::memoryFiguresAreTheSystems()
{
#ifdef Q_OS_LINUX
    // What is left can never be more than the system has in all.
    const qint64 total = memoryTotalBytes();
    QVERIFY(total > 0);
    QVERIFY(memoryLeftBytes() > 0);
    QVERIFY(memoryLeftBytes() <= total);
    // A share of it: the whole of a small amount, the share of a large one.
    QCOMPARE(systemShareBytes(4096, 24), qint64(4096));
    QCOMPARE(systemShareBytes(total, 8), total / 8);
#else
    QCOMPARE(memoryTotalBytes(), qint64(-1));
    QCOMPARE(systemShareBytes(4096, 24), qint64(4096));
#endif
}

namespace {

const char16_t* charsOf(const std::shared_ptr<TextBlock>& block)
{
    return reinterpret_cast<const char16_t*>(block->chars.constData());
}

} // namespace

void PlatformTest::spareBlocksLendTheirMemoryOnce()
{
    constexpr qsizetype kBlock = SpareBlocks::kSmallestKept * 4;
    SpareBlocks spares(kBlock * 3, 60000);

    auto first = spares.make(kBlock);
    QCOMPARE(first->chars.size(), kBlock);
    QCOMPARE(first->used, 0);
    const char16_t* memory = charsOf(first);
    first->chars[0] = u'x';
    first->used = 1;
    auto held = spares.make(kBlock); // alive throughout: never lent
    const char16_t* heldMemory = charsOf(held);
    first.reset();
    QCOMPARE(spares.spareCharacters(), kBlock);

    // Too small for it, then too large: made anew, the spare kept.
    QVERIFY(charsOf(spares.make(kBlock / 2 - 1)) != memory);
    QVERIFY(charsOf(spares.make(kBlock + 1)) != memory);
    // Those two went back as spares of their own; the fitting one is lent, empty and sized.
    auto again = spares.make(kBlock - 10);
    QCOMPARE(charsOf(again), memory);
    QCOMPARE(again->chars.size(), kBlock - 10);
    QCOMPARE(again->used, 0);
    QVERIFY(charsOf(spares.make(kBlock)) != memory);
    QVERIFY(charsOf(held) == heldMemory);

    // A block whose characters another string still shares is not kept, and that string
    // keeps them.
    again->chars[1] = u'y';
    const QString sharing = again->chars;
    const qsizetype before = spares.spareCharacters();
    again.reset();
    QCOMPARE(spares.spareCharacters(), before);
    QCOMPARE(sharing.at(1), u'y');

    // Never more than the room: three more blocks fit where three are allowed in all.
    std::vector<std::shared_ptr<TextBlock>> blocks;
    for (int i = 0; i < 4; ++i)
        blocks.push_back(spares.make(kBlock));
    blocks.clear();
    QVERIFY(spares.spareCharacters() <= kBlock * 3);
    QVERIFY(spares.spareCharacters() >= kBlock * 2);

    // Small blocks are made and freed as ever.
    spares.releaseAll();
    spares.make(SpareBlocks::kSmallestKept - 1);
    QCOMPARE(spares.spareCharacters(), 0);

    // A block may outlive its spares.
    auto survivor = std::make_unique<SpareBlocks>(kBlock, 60000);
    auto block = survivor->make(kBlock);
    survivor.reset();
    block.reset();
}

void PlatformTest::spareBlocksAreFreedWhenUnused()
{
    constexpr qsizetype kBlock = SpareBlocks::kSmallestKept;
    constexpr int kIdle = 200;
    SpareBlocks spares(kBlock * 400, kIdle);
    std::vector<std::shared_ptr<TextBlock>> blocks;
    for (int i = 0; i < 300; ++i)
        blocks.push_back(spares.make(kBlock));
    blocks.clear();
    QCOMPARE(spares.spareCharacters(), kBlock * 300);

    // Each spare goes once it has lain unused for the idle time: one used again meanwhile
    // stays for longer than the others.
    QElapsedTimer sinceUse;
    sinceUse.start();
    QTest::qWait(kIdle / 2);
    spares.make(kBlock).reset();
    sinceUse.start();
    QTRY_VERIFY_WITH_TIMEOUT(spares.spareCharacters() <= kBlock, 5000);
    if (sinceUse.elapsed() < kIdle) // not when this machine was too slow to tell
        QCOMPARE(spares.spareCharacters(), kBlock);
    QTRY_COMPARE_WITH_TIMEOUT(spares.spareCharacters(), 0, 5000);
}

void PlatformTest::rowTablesLetGoOfAreLentAgain()
{
    // Large enough to be kept, and sized as no other test's tables.
    constexpr qsizetype kRows = 400009;
    const auto filled = [](TextStore& store, qsizetype rows) {
        store.reserve(rows);
        store.append(TextBatch::of({u"one"_s, u"two"_s}));
        return store.all().data();
    };

    TextStore cleared;
    const TextRef* const clearedTable = filled(cleared, kRows);
    cleared.clear();
    TextStore second;
    QCOMPARE(filled(second, kRows - 5), clearedTable);
    QCOMPARE(second.size(), 2);
    QCOMPARE(second.at(1).view(), u"two");

    // Rows moved out, as an undo step holds them, stay theirs until they go.
    TextStore::Contents held = second.takeAll();
    TextStore third;
    QVERIFY(filled(third, kRows) != clearedTable);
    QCOMPARE(held.rows.data(), clearedTable);
    QCOMPARE(held.rows.at(0).view(), u"one");
    held = {};
    TextStore fourth;
    QCOMPARE(filled(fourth, kRows), clearedTable);

    // A table over twice as large as asked for is not lent.
    fourth.clear();
    TextStore small;
    QVERIFY(filled(small, kRows / 2 - 1) != clearedTable);
}

void PlatformTest::roomForNextRowsStaysWithinTheReservation()
{
    TextStore store;
    QVERIFY(store.roomForNextRows(10).empty());
    store.reserve(100);
    store.append(TextBatch::of({u"one"_s, u"two"_s}));
    const auto* const next = reinterpret_cast<const std::byte*>(store.all().data() + 2);

    const std::span<std::byte> few = store.roomForNextRows(10);
    QCOMPARE(static_cast<const std::byte*>(few.data()), next);
    QCOMPARE(few.size(), 10 * sizeof(TextRef));

    // Asked for more than was reserved, it ends with the reservation, and having it backed
    // leaves the rows held as they were.
    const std::span<std::byte> all = store.roomForNextRows(1000000);
    QCOMPARE(all.size(), 98 * sizeof(TextRef));
    populatePages(all.data(), all.size());
    QCOMPARE(store.at(0).view(), u"one");
    QCOMPARE(store.at(1).view(), u"two");
    QVERIFY(store.roomForNextRows(-5).empty());
}

void PlatformTest::helperRunsJobsInTurnAndKeepsTheirFailures()
{
    HelperThread helper;
    std::vector<int> done;
    // A job handed over while one runs starts after it.
    helper.start([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        done.push_back(1);
    });
    helper.start([&] { done.push_back(2); });
    helper.wait();
    QCOMPARE(done, (std::vector<int>{1, 2}));

    // What a job threw comes out of `wait`, once, and never out of `finish`.
    helper.start([] { throw AppError(u"Out of memory"_s); });
    helper.finish();
    QVERIFY_THROWS_EXCEPTION(AppError, helper.wait());
    helper.wait();

    // A wait of a while tells whether the job is done in that while.
    if (std::thread::hardware_concurrency() > 1) {
        std::atomic<bool> release{false};
        helper.start([&release] {
            while (!release.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        QVERIFY(!helper.finishWithin(std::chrono::milliseconds(5)));
        release.store(true);
        QVERIFY(helper.finishWithin(std::chrono::seconds(10)));
    }

    // Waiting while doing something else: it is done for as long as the job runs, the
    // job's failure still comes out, and what it throws comes out once the job is done.
    if (std::thread::hardware_concurrency() > 1) {
        std::atomic<int> meanwhile{0};
        helper.start([&meanwhile] {
            QElapsedTimer waited;
            waited.start();
            while (meanwhile.load() < 3 && waited.elapsed() < 10000)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        helper.waitWhile([&meanwhile] { ++meanwhile; });
        QVERIFY(meanwhile.load() >= 3);

        std::atomic<bool> jobDone{false};
        helper.start([&jobDone] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            jobDone.store(true);
        });
        QVERIFY_THROWS_EXCEPTION(CommandAbandoned,
                                 helper.waitWhile([] { throw CommandAbandoned(); }));
        QVERIFY(jobDone.load());
    }
    helper.start([] { throw AppError(u"Out of memory"_s); });
    QVERIFY_THROWS_EXCEPTION(AppError, helper.waitWhile([] {}));

    // The helper lets a job handed over last finish before it goes.
    bool finished = false;
    {
        HelperThread leaving;
        leaving.start([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            finished = true;
        });
    }
    QVERIFY(finished);
}

void PlatformTest::waitsBeforeDispatchRunWhileTheyLive()
{
    ScriptedPump pump;
    int waits = 0;
    {
        WaitBeforeDispatch first(pump, [&] { ++waits; });
        {
            WaitBeforeDispatch second(pump, [&] { waits += 10; });
            pump.yield();
        }
        pump.yield();
    }
    pump.yield();
    QCOMPARE(waits, 12);
}

QTEST_MAIN(PlatformTest)
#include "tst_platform.moc"

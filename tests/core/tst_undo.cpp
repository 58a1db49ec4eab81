// Undo steps of the panes: one per command, through every kind of change, with the rule for
// commands that run inside another's yield, the limits, and texts shared rather than copied.
#include "TestDoubles.h"

#include "lists/ItemCommands.h"
#include "lists/ListFile.h"
#include "lists/PaneClipboard.h"
#include "match/MatchFinder.h"
#include "match/ResultsCommands.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

namespace {

// Runs a command as the window does: inside an undo scope.
template <typename Command> void run(Workspace& ws, Command&& command)
{
    const UndoScope scope(ws);
    command();
}

} // namespace

class UndoTest : public QObject
{
    Q_OBJECT
private slots:
    void everyKindOfChangeStepByStep();
    void loadAndDropAreOneStepEach();
    void comparisonIsOneStep();
    void commandInsideALoadJoinsItsStep();
    void refusedWhileBusy();
    void historyIsBounded();
    void clearedTextsAreSharedNotCopied();
};

void UndoTest::everyKindOfChangeStepByStep()
{
    Fixture f;
    Workspace& ws = *f.ws;
    ListPane& list1 = ws.listView1;
    QList<QStringList> states;
    const auto step = [&](auto&& command) {
        states.append(textsOf(list1));
        run(ws, command);
    };
    step([&] { PushButton20_Click(ws); }); // sample: clear, then four items
    f.host.inputAnswers = {u"typed"_s};
    step([&] { PushButton7_Click(ws); });
    f.host.clipboard = u"p1\np2\r\n"_s;
    step([&] { PasteIntoList(ws, 1); });
    step([&] {
        list1.setSelection({{0, 1}, {2, 2}, {6, 1}}, 1);
        ListView1_KeyDown(ws, kDeleteKeyCode, 0);
    });
    step([&] {
        list1.select(2);
        ListView1_DblClick(ws);
    });
    step([&] { PushButton1_Click(ws); });
    QCOMPARE(list1.count(), 0);
    QCOMPARE(states.at(3), (QStringList{u"apples"_s, u"oranges"_s, u"mangos"_s, u"black cherries"_s,
                                        u"typed"_s, u"p1"_s, u"p2"_s}));
    QCOMPARE(states.at(4), (QStringList{u"oranges"_s, u"typed"_s, u"p1"_s}));

    while (!states.isEmpty()) {
        QVERIFY(list1.undo());
        QCOMPARE(textsOf(list1), states.takeLast());
    }
    QVERIFY(!list1.undo());

    // Each pane has its own steps: Clear Results and Clear List under List 2.
    fill(ws.listView3, {u"r1"_s, u"r2"_s});
    fill(ws.listView2, {u"x"_s});
    ws.listView3.setChecked(2, true);
    run(ws, [&] { PushButton10_Click(ws); });
    run(ws, [&] { PushButton5_Click(ws); });
    QVERIFY(ws.listView3.undo());
    QCOMPARE(textsOf(ws.listView3), (QStringList{u"r1"_s, u"r2"_s}));
    QVERIFY(ws.listView3.checked(2));
    QVERIFY(!ws.listView3.checked(1));
    QVERIFY(ws.listView2.undo());
    QCOMPARE(textsOf(ws.listView2), QStringList{u"x"_s});
    QVERIFY(f.errors.reports.isEmpty());
}

void UndoTest::loadAndDropAreOneStepEach()
{
    QTemporaryDir dir;
    const QString a = writeFile(dir.path(), u"a.txt"_s, "1\r\n2\r\n");
    const QString b = writeFile(dir.path(), u"b.txt"_s, "3");
    Fixture f;
    Workspace& ws = *f.ws;
    fill(ws.listView2, {u"kept"_s});
    f.host.openAnswers.push_back(dir.path() + QChar(u'\0') + u"a.txt"_s + QChar(u'\0') +
                                 u"b.txt"_s);
    run(ws, [&] { PushButton2_Click(ws); });
    run(ws, [&] { LoadDroppedFiles(ws, 2, {b, a}); });
    run(ws, [&] { DropTextOnList(ws, 2, u"t1\rt2"_s); });
    QCOMPARE(textsOf(ws.listView2), (QStringList{u"kept"_s, u"1"_s, u"2"_s, u"3"_s, u"3"_s, u"1"_s,
                                                 u"2"_s, u"t1"_s, u"t2"_s}));
    const qsizetype heldBefore = ws.listView2.heldCharacters();
    QVERIFY(ws.listView2.undo());
    QVERIFY(ws.listView2.undo());
    QCOMPARE(textsOf(ws.listView2), (QStringList{u"kept"_s, u"1"_s, u"2"_s, u"3"_s}));
    QVERIFY(ws.listView2.heldCharacters() < heldBefore); // the dropped files' blocks went
    QVERIFY(ws.listView2.undo());
    QCOMPARE(textsOf(ws.listView2), QStringList{u"kept"_s});
}

void UndoTest::comparisonIsOneStep()
{
    Fixture f;
    Workspace& ws = *f.ws;
    fill(ws.listView3, {u"earlier"_s});
    for (int i = 0; i < 50; ++i)
        ws.listView1.add(QString::number(i % 10));
    fill(ws.listView2, {u"3"_s, u"7"_s});
    run(ws, [&] { PushButton11_Click(ws); });
    QCOMPARE(ws.listView3.count(), 11);
    QVERIFY(ws.listView3.undo());
    QCOMPARE(textsOf(ws.listView3), QStringList{u"earlier"_s});
    QVERIFY(!ws.listView3.undo()); // "earlier" came from no command
}

// "Clear List" under List 2 run during a load into List 2 takes effect and the load goes on
// appending; both are one step, which cannot be undone until the load ends.
void UndoTest::commandInsideALoadJoinsItsStep()
{
    QTemporaryDir dir;
    QByteArray lines;
    for (int i = 0; i < 200000; ++i)
        lines += QByteArray::number(i) + "\r\n";
    const QString big = writeFile(dir.path(), u"big.txt"_s, lines);
    Fixture f;
    Workspace& ws = *f.ws;
    run(ws, [&] { ws.listView2.add(u"before"_s); });
    run(ws, [&] { PasteIntoList(ws, 1); }); // nothing on the clipboard: no step
    f.host.inputAnswers = {u"own step"_s};
    bool undoRefused = false;
    int clearedAt = 0;
    f.pump.every = [&](int) {
        if (clearedAt == 0 && ws.listView2.count() > 1) {
            undoRefused = !ws.listView2.undo();
            run(ws, [&] { PushButton5_Click(ws); });
            run(ws, [&] { PushButton7_Click(ws); }); // List 1 has a step of its own
            clearedAt = 1;
        }
    };
    f.host.openAnswers.push_back(big);
    run(ws, [&] { PushButton2_Click(ws); });
    QVERIFY(clearedAt);
    QVERIFY(undoRefused);
    QVERIFY(ws.listView2.count() > 0 && ws.listView2.count() < 200000);
    QCOMPARE(ws.listView2.text(ws.listView2.count()), u"199999"_s);
    QVERIFY(ws.listView2.undo());
    QCOMPARE(textsOf(ws.listView2), QStringList{u"before"_s});
    QVERIFY(ws.listView2.undo());
    QCOMPARE(ws.listView2.count(), 0);
    QVERIFY(ws.listView1.undo());
    QCOMPARE(ws.listView1.count(), 0);
}

void UndoTest::refusedWhileBusy()
{
    Fixture f;
    Workspace& ws = *f.ws;
    fill(ws.listView1, {u"a"_s});
    run(ws, [&] { PushButton1_Click(ws); });
    ws.mousePointer.setValue(MousePointer::Busy);
    run(ws, [&] { UndoInPane(ws, 1); });
    QCOMPARE(ws.listView1.count(), 0);
    ws.mousePointer.setValue(MousePointer::Default);
    run(ws, [&] { UndoInPane(ws, 1); });
    QCOMPARE(textsOf(ws.listView1), QStringList{u"a"_s});
}

void UndoTest::historyIsBounded()
{
    Fixture f;
    Workspace& ws = *f.ws;
    for (int i = 0; i < 30; ++i)
        run(ws, [&] { ws.listView1.add(QString::number(i)); });
    int undone = 0;
    while (ws.listView1.undo())
        ++undone;
    QCOMPARE(undone, int(PaneHistory::kSteps));
    QCOMPARE(ws.listView1.count(), 10);

    // A change that no command made leaves nothing that could be undone wrongly.
    run(ws, [&] { ws.listView1.remove(1); });
    ws.listView1.add(u"outside"_s);
    QVERIFY(!ws.listView1.undo());

    // Steps that together hold too much go, oldest first; the newest always stays.
    PaneHistory history;
    for (int i = 0; i < 3; ++i) {
        history.beginCommand();
        PaneChange change;
        change.kind = PaneChange::Kind::Removed;
        change.texts.resize(size_t(PaneHistory::kBudgetBytes / qsizetype(sizeof(TextRef)) / 2));
        history.record(std::move(change));
        history.endCommand();
    }
    QCOMPARE(history.steps(), 2u);
}

void UndoTest::clearedTextsAreSharedNotCopied()
{
    Fixture f;
    Workspace& ws = *f.ws;
    QStringList texts;
    for (int i = 0; i < 100000; ++i)
        texts.append(u"item "_s + QString::number(i));
    ws.listView1.addMany(texts);
    const std::vector<TextRef> before(ws.listView1.texts().begin(), ws.listView1.texts().end());
    const qsizetype held = ws.listView1.heldCharacters();
    run(ws, [&] { PushButton1_Click(ws); });
    QCOMPARE(ws.listView1.heldCharacters(), 0);
    QVERIFY(ws.listView1.undo());
    QCOMPARE(ws.listView1.heldCharacters(), held);
    const auto after = ws.listView1.texts();
    QCOMPARE(after.size(), before.size());
    for (size_t i = 0; i < before.size(); i += 997)
        QVERIFY(after[i].data == before[i].data); // the same characters, not a copy
    QCOMPARE(ws.listView1.text(100000), u"item 99999"_s);

    // Removing every row and then clearing the empty pane keeps the characters that the
    // removal's step points into.
    run(ws, [&] {
        ws.listView1.setSelection({{0, 100000}}, 1);
        ListView1_KeyDown(ws, kDeleteKeyCode, 0);
    });
    run(ws, [&] { PushButton1_Click(ws); });
    QVERIFY(ws.listView1.undo());
    QCOMPARE(ws.listView1.text(100000), u"item 99999"_s);
    QCOMPARE(ws.listView1.heldCharacters(), held);
}

QTEST_MAIN(UndoTest)
#include "tst_undo.moc"

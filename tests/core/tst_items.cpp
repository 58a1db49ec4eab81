// The item commands of List 1 and List 2, and the busy guards.
#include "TestDoubles.h"

#include "lists/ItemCommands.h"

#include <QtTest>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

namespace {
const QStringList kSample1{u"apples"_s, u"oranges"_s, u"mangos"_s, u"black cherries"_s};
const QStringList kSample2{u"bananas"_s, u"black cherry"_s, u"oranges"_s, u"apples"_s};
} // namespace

class ItemsTest : public QObject
{
    Q_OBJECT
private slots:
    void samplesReplaceThePane();
    void addOneItem();
    void clearList();
    void removalGestures();
    void removalNeedsASelectionAndItems();
    void busyGuards();
    void failuresAreReportedWithTheirLabel();
};

void ItemsTest::samplesReplaceThePane()
{
    Fixture f;
    fill(f.ws->listView1, {u"old"_s});
    fill(f.ws->listView2, {u"old"_s});
    PushButton20_Click(*f.ws);
    PushButton20_Click(*f.ws);
    PushButton4_Click(*f.ws);
    PushButton4_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView1), kSample1);
    QCOMPARE(textsOf(f.ws->listView2), kSample2);
}

void ItemsTest::addOneItem()
{
    Fixture f;
    f.host.inputAnswers = {u"  padded  "_s, QString(), u"x"_s, u"x"_s};
    for (int i = 0; i < 4; ++i)
        PushButton7_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView1), (QStringList{u"  padded  "_s, u"x"_s, u"x"_s}));
    QCOMPARE(f.host.prompts.size(), 4);
    QCOMPARE(f.host.prompts.first(), u"Enter item to add: "_s);
    QCOMPARE(f.host.promptTitles.first(), u"Pellicor"_s);

    f.host.inputAnswers = {u"y"_s};
    PushButton12_Click(*f.ws);
    PushButton12_Click(*f.ws); // cancelled
    QCOMPARE(textsOf(f.ws->listView2), QStringList{u"y"_s});
    QCOMPARE(f.ws->listView1.count(), 3);
    QVERIFY(f.host.messages.isEmpty());
    QVERIFY(f.errors.reports.isEmpty());
}

void ItemsTest::clearList()
{
    Fixture f;
    fill(f.ws->listView1, {u"a"_s});
    fill(f.ws->listView2, {u"b"_s});
    PushButton5_Click(*f.ws);
    QCOMPARE(f.ws->listView2.count(), 0);
    QCOMPARE(f.ws->listView1.count(), 1);
    PushButton1_Click(*f.ws);
    PushButton1_Click(*f.ws);
    QCOMPARE(f.ws->listView1.count(), 0);
}

void ItemsTest::removalGestures()
{
    Fixture f;
    fill(f.ws->listView1, {u"a"_s, u"b"_s, u"c"_s});
    fill(f.ws->listView2, {u"d"_s, u"e"_s});
    fill(f.ws->listView3, {u"r1"_s, u"r2"_s});

    f.ws->listView1.select(2);
    ListView1_KeyDown(*f.ws, 8, 0); // Backspace does nothing
    QCOMPARE(f.ws->listView1.count(), 3);
    ListView1_KeyDown(*f.ws, kDeleteKeyCode, 1); // Shift+Delete acts like Delete
    QCOMPARE(textsOf(f.ws->listView1), (QStringList{u"a"_s, u"c"_s}));

    f.ws->listView2.select(1);
    ListView2_KeyDown(*f.ws, kDeleteKeyCode, 2);
    QCOMPARE(textsOf(f.ws->listView2), QStringList{u"e"_s});
    QCOMPARE(f.ws->listView1.count(), 2);

    f.ws->listView3.select(2);
    ListView3_KeyDown(*f.ws, kDeleteKeyCode, 4);
    QCOMPARE(textsOf(f.ws->listView3), QStringList{u"r1"_s});

    f.ws->listView1.select(1);
    ListView1_DblClick(*f.ws);
    QCOMPARE(textsOf(f.ws->listView1), QStringList{u"c"_s});
    f.ws->listView2.select(1);
    ListView2_DblClick(*f.ws);
    QCOMPARE(f.ws->listView2.count(), 0);
    QVERIFY(f.host.messages.isEmpty());
}

void ItemsTest::removalNeedsASelectionAndItems()
{
    Fixture f;
    ListView1_DblClick(*f.ws);
    ListView3_KeyDown(*f.ws, kDeleteKeyCode, 0);
    fill(f.ws->listView1, {u"a"_s, u"b"_s});
    ListView1_DblClick(*f.ws); // items, none selected
    ListView1_KeyDown(*f.ws, kDeleteKeyCode, 0);
    QCOMPARE(f.ws->listView1.count(), 2);
    f.ws->listView1.select(2);
    ListView1_DblClick(*f.ws);
    ListView1_DblClick(*f.ws); // the removed item was the selection
    QCOMPARE(textsOf(f.ws->listView1), QStringList{u"a"_s});
    QVERIFY(f.host.messages.isEmpty());
}

void ItemsTest::busyGuards()
{
    Fixture f;
    fill(f.ws->listView1, {u"a"_s});
    fill(f.ws->listView2, {u"b"_s});
    fill(f.ws->listView3, {u"c"_s});
    for (ListPane* pane : {&f.ws->listView1, &f.ws->listView2, &f.ws->listView3})
        pane->select(1);
    f.ws->mousePointer.setValue(MousePointer::Busy);

    ListView1_DblClick(*f.ws);
    ListView2_DblClick(*f.ws);
    ListView1_KeyDown(*f.ws, kDeleteKeyCode, 0);
    ListView2_KeyDown(*f.ws, kDeleteKeyCode, 0);
    ListView3_KeyDown(*f.ws, kDeleteKeyCode, 0);
    PushButton1_Click(*f.ws);
    QCOMPARE(f.ws->listView1.count(), 1);
    QCOMPARE(f.ws->listView2.count(), 1);
    QCOMPARE(f.ws->listView3.count(), 1);

    PushButton20_Click(*f.ws); // appends without clearing
    QCOMPARE(textsOf(f.ws->listView1), QStringList{u"a"_s} + kSample1);
    f.host.inputAnswers = {u"typed"_s, u"typed"_s};
    PushButton7_Click(*f.ws);
    PushButton12_Click(*f.ws);
    QCOMPARE(f.ws->listView1.count(), 6);
    PushButton5_Click(*f.ws); // no guard on List 2
    QCOMPARE(f.ws->listView2.count(), 0);
    PushButton4_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView2), kSample2);
    QCOMPARE(f.ws->mousePointer.value(), MousePointer::Busy);
}

void ItemsTest::failuresAreReportedWithTheirLabel()
{
    // A failing prompt is reported under the command with the prompt's label, and the
    // command goes on without adding anything.
    class FailingHost : public ScriptedHost
    {
    public:
        QString inputBox(const QString&, const QString&) override { throw std::bad_alloc(); }
    };
    FailingHost host;
    ScriptedPump pump;
    RecordedErrors errors;
    Runtime runtime(host, pump, errors);
    NullWindow window;
    Workspace ws(runtime, window, QString());
    PushButton12_Click(ws);
    QCOMPARE(errors.reports.size(), 1);
    QCOMPARE(errors.reports.first().description, u"Out of memory"_s);
    QVERIFY(errors.has(u"Form1.PushButton12_Click"_s, 100));
    QCOMPARE(ws.listView2.count(), 0);
}

QTEST_MAIN(ItemsTest)
#include "tst_items.moc"

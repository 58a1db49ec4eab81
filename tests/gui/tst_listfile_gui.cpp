// The two "Load List From Text File" buttons of the real window, clicked offscreen, with the
// open dialog answered through the scripted host.
#include "TestWindow.h"

#include "app/ListPaneView.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

class ListFileGuiTest : public QObject
{
    Q_OBJECT
private slots:
    void loadButtonsFillTheirPanes();
};

void ListFileGuiTest::loadButtonsFillTheirPanes()
{
    QTemporaryDir dir;
    writeFile(dir.path(), u"one.txt"_s, "apples\r\npears\r\n");
    writeFile(dir.path(), u"two.txt"_s, "plums");
    const QString third = writeFile(dir.path(), u"three.txt"_s, "pears\rfigs");
    Window w;
    w.host.openAnswers.push_back(dir.path() + QChar(u'\0') + u"one.txt"_s + QChar(u'\0') +
                                 u"two.txt"_s);
    w.host.openAnswers.push_back(third);
    QList<Qt::CursorShape> shapes;
    w.pump.every = [&](int) { shapes.append(w.form.cursor().shape()); };

    w.click(u"PushButton3"_s);
    w.click(u"PushButton2"_s);
    QCOMPARE(w.host.openRequests.size(), 2);
    QVERIFY(!shapes.isEmpty());
    QCOMPARE(shapes.count(Qt::WaitCursor), shapes.size());
    QCOMPARE(w.form.cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(textsOf(w.ws().listView1), (QStringList{u"apples"_s, u"pears"_s, u"plums"_s}));
    QCOMPARE(textsOf(w.ws().listView2), (QStringList{u"pears"_s, u"figs"_s}));

    // The views show the appended rows once the event loop has run.
    QTRY_COMPARE(w.form.pane(1)->model()->rowCount(), 3);
    QTRY_COMPARE(w.form.pane(2)->model()->rowCount(), 2);
    QCOMPARE(w.form.pane(1)->model()->index(2, 0).data().toString(), u"plums"_s);

    // The loaded lists feed the comparison like typed ones.
    w.click(u"PushButton11"_s);
    QCOMPARE(textsOf(w.ws().listView3), QStringList{u"pears"_s});

    // Cancel: nothing changes, not even the pointer.
    w.ws().mousePointer.setValue(MousePointer::Custom);
    w.click(u"PushButton3"_s);
    QCOMPARE(w.host.openRequests.size(), 3);
    QCOMPARE(w.ws().listView1.count(), 3);
    QCOMPARE(w.ws().mousePointer.value(), MousePointer::Custom);
    QCOMPARE(w.host.messages.size(), 0);
}

QTEST_MAIN(ListFileGuiTest)
#include "tst_listfile_gui.moc"

// The lists of the real window, offscreen, driven by real key, mouse, drop and help events:
// paste, extended selection, Delete, copy, undo, drops, context menus, counts and tool tips.
#include "TestWindow.h"

#include "app/ListPaneView.h"
#include "app/PaneViewModel.h"

#include <QAbstractItemModelTester>
#include <QPointer>

#include <QAction>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolTip>
#include <QUrl>
#include <QtTest>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

namespace {

struct ShownWindow : Window
{
    ShownWindow() : Window(QString(), true) { QVERIFY(QTest::qWaitForWindowExposed(&form)); }
    ListPaneView* view(int number) { return form.pane(number); }
    QPoint rowCentre(int number, int row)
    {
        QCoreApplication::processEvents();
        return view(number)->visualRect(view(number)->model()->index(row, 0)).center();
    }
    using Window::click;
    void click(int number, int row, Qt::KeyboardModifiers keys = {})
    {
        QTest::mouseClick(view(number)->viewport(), Qt::LeftButton, keys, rowCentre(number, row));
    }
    // Sends a drag over the pane and, when it is taken, the drop; true when it was taken.
    bool drop(int number, QMimeData& data)
    {
        QWidget* target = view(number)->viewport();
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &enter);
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &move);
        if (!move.isAccepted())
            return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &drop);
        QCoreApplication::processEvents(); // the drop's command runs once the drag has ended
        return drop.isAccepted();
    }
};

QAction* entry(QMenu& menu, const QString& text)
{
    for (QAction* action : menu.actions()) {
        if (action->text() == text)
            return action;
    }
    qFatal("no menu entry %s", qPrintable(text));
}

QStringList numbered(int count)
{
    QStringList texts;
    for (int i = 0; i < count; ++i)
        texts.append(u"item "_s + QString::number(i));
    return texts;
}

} // namespace

class ListsGuiTest : public QObject
{
    Q_OBJECT
private slots:
    void pasteKeys();
    void extendedSelectionAndDelete();
    void largeScatteredSelectionGoesWithItsModel();
    void viewModelPassesOnEveryChange();
    void copyKeyGivesTheSelectedItems();
    void undoKeyPutsBackEachStep();
    void dropsOfFilesAndText();
    void contextMenusDoWhatTheirButtonsAndKeysDo();
    void headerShowsCountAndNote();
    void rowToolTipReplacesThePanesOwn();
    void longItemsAreDrawnCut();
};

void ListsGuiTest::pasteKeys()
{
    ShownWindow w;
    w.host.clipboard = u"Name\tQty\nBolt\t7\n"_s;
    QTest::keyClick(w.view(1), Qt::Key_V, Qt::ControlModifier);
    w.host.clipboard = u"one\r\ntwo"_s;
    QTest::keyClick(w.view(2), Qt::Key_Insert, Qt::ShiftModifier);
    QTest::keyClick(w.view(3), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(textsOf(w.ws().listView1), (QStringList{u"Name\tQty"_s, u"Bolt\t7"_s}));
    QCOMPARE(textsOf(w.ws().listView2), (QStringList{u"one"_s, u"two"_s}));
    QCOMPARE(w.ws().listView3.count(), 0);
    QVERIFY(w.host.messages.isEmpty());
}

void ListsGuiTest::extendedSelectionAndDelete()
{
    ShownWindow w;
    ListPane& list1 = w.ws().listView1;
    QStringList reference = numbered(12);
    list1.addMany(reference);
    w.click(1, 1);
    w.click(1, 3, Qt::ShiftModifier);                            // rows 1..3
    w.click(1, 6, Qt::ControlModifier);                          // and 6
    w.click(1, 2, Qt::ControlModifier);                          // but not 2
    QTest::keyClick(w.view(1), Qt::Key_Down, Qt::ShiftModifier); // from 2: 2..3 once more
    QTest::keyClick(w.view(1), Qt::Key_Delete);
    for (int row : {6, 3, 2, 1})
        reference.removeAt(row);
    QCOMPARE(textsOf(list1), reference);
    QTRY_COMPARE(w.view(1)->model()->rowCount(), reference.size());

    // A double-click removes the one item under the pointer, whatever else is selected.
    w.click(1, 0);
    w.click(1, 4, Qt::ControlModifier);
    QTest::mouseDClick(w.view(1)->viewport(), Qt::LeftButton, Qt::ControlModifier,
                       w.rowCentre(1, 5));
    reference.removeAt(5);
    QCOMPARE(textsOf(list1), reference);

    // Busy: Delete removes nothing; then Ctrl+A and Delete empty the pane.
    QTest::keyClick(w.view(1), Qt::Key_A, Qt::ControlModifier);
    w.ws().mousePointer.setValue(MousePointer::Busy);
    QTest::keyClick(w.view(1), Qt::Key_Delete);
    QCOMPARE(list1.count(), reference.size());
    w.ws().mousePointer.setValue(MousePointer::Default);
    QTest::keyClick(w.view(1), Qt::Key_Delete);
    QCOMPARE(list1.count(), 0);
    QVERIFY(w.host.messages.isEmpty());
}

// Every other row of 40,000 selected, as ranges Qt keeps one by one: Delete moves the view
// to a fresh model before the pane's reset, and the old one with its selection is freed
// over the next dispatches. A few selected rows stay with the model they were made on.
void ListsGuiTest::largeScatteredSelectionGoesWithItsModel()
{
    ShownWindow w;
    ListPane& list1 = w.ws().listView1;
    QStringList reference = numbered(40000);
    list1.addMany(reference);
    ListPaneView* view = w.view(1);
    QTRY_COMPARE(view->model()->rowCount(), reference.size());
    QItemSelection selection;
    for (int row = 1; row < reference.size(); row += 2)
        selection.select(view->model()->index(row, 0), view->model()->index(row, 0));
    view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    selection = {};
    QPointer<QAbstractItemModel> before = view->model();

    QTest::keyClick(view, Qt::Key_Delete);
    QStringList kept;
    for (int row = 0; row < reference.size(); row += 2)
        kept.append(reference.at(row));
    QCOMPARE(textsOf(list1), kept);
    QVERIFY(view->model() != before.data());
    QCOMPARE(view->model()->rowCount(), kept.size());
    QCOMPARE(view->model()->index(1, 0).data().toString(), u"item 2"_s);
    QVERIFY(!view->selectionModel()->hasSelection());
    QTRY_VERIFY(before.isNull());

    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(textsOf(list1), reference);
    QTRY_COMPARE(view->model()->rowCount(), reference.size());
    QCOMPARE(view->model()->index(1, 0).data().toString(), u"item 1"_s);

    before = view->model();
    w.click(1, 5);
    w.click(1, 7, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(list1.count(), reference.size() - 2);
    QCOMPARE(view->model(), before.data());
    QCOMPARE(view->model()->rowCount(), reference.size() - 2);
    QVERIFY(w.host.messages.isEmpty());
}

// Qt's own checker follows a view model through everything a pane does to its rows.
void ListsGuiTest::viewModelPassesOnEveryChange()
{
    ListPane pane;
    pane.addColumn(u"List"_s);
    PaneViewModel model(pane);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    pane.setCheckable(true);
    pane.addMany(numbered(6));
    pane.add(u"typed"_s);
    pane.flushRows();
    QCOMPARE(model.rowCount(), 7);
    pane.beginCommand();
    pane.remove(2);
    pane.removeRows({{0, 1}, {3, 2}});
    QCOMPARE(model.rowCount(), 3);
    QVERIFY(model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(pane.checked(2));
    pane.clear();
    pane.endCommand();
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(pane.undo());
    QCOMPARE(model.rowCount(), 7);
    QCOMPARE(model.index(6, 0).data().toString(), u"typed"_s);
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), u"List"_s);

    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.retire();
    pane.add(u"unseen"_s);
    pane.flushRows();
    QCOMPARE(pane.rowCount(), 8);
    QCOMPARE(inserted.count(), 0);
}

void ListsGuiTest::copyKeyGivesTheSelectedItems()
{
    ShownWindow w;
    fill(w.ws().listView3, {u"alpha "_s, u"be"_s, u" c"_s});
    w.click(3, 2);
    w.click(3, 0, Qt::ControlModifier);
    QTest::keyClick(w.view(3), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(w.host.clipboard, u"alpha \r\n c\r\n"_s); // pane order, untrimmed
    QVERIFY(w.host.messages.isEmpty());
}

void ListsGuiTest::undoKeyPutsBackEachStep()
{
    ShownWindow w;
    w.click(u"PushButton20"_s);
    const QStringList sample = textsOf(w.ws().listView1);
    w.click(1, 1);
    QTest::keyClick(w.view(1), Qt::Key_Delete);
    w.click(u"PushButton1"_s);
    QCOMPARE(w.ws().listView1.count(), 0);
    QTest::keyClick(w.view(1), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.ws().listView1.count(), 3);
    w.ws().mousePointer.setValue(MousePointer::Busy);
    QTest::keyClick(w.view(1), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.ws().listView1.count(), 3);
    w.ws().mousePointer.setValue(MousePointer::Default);
    QTest::keyClick(w.view(1), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(textsOf(w.ws().listView1), sample);
    QTRY_COMPARE(w.view(1)->model()->rowCount(), 4);

    // The comparison's rows go in one step.
    w.click(u"PushButton4"_s);
    w.click(u"PushButton11"_s);
    QCOMPARE(w.ws().listView3.count(), 2);
    QTest::keyClick(w.view(3), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.ws().listView3.count(), 0);
}

void ListsGuiTest::dropsOfFilesAndText()
{
    QTemporaryDir dir;
    const QString a = writeFile(dir.path(), u"a.txt"_s, "a1\r\na2\r\n");
    const QString b = writeFile(dir.path(), u"b.txt"_s, "b1");
    ShownWindow w;
    QList<Qt::CursorShape> shapes;
    w.pump.every = [&](int) { shapes.append(w.form.cursor().shape()); };

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(b), QUrl::fromLocalFile(dir.filePath(u"gone.txt"_s)),
                   QUrl::fromLocalFile(a)});
    QVERIFY(w.drop(2, files));
    QCOMPARE(textsOf(w.ws().listView2), (QStringList{u"b1"_s, u"a1"_s, u"a2"_s}));
    QCOMPARE(w.host.messageTexts(), QStringList{u"File not found"_s});
    QVERIFY(!shapes.isEmpty());
    QCOMPARE(shapes.count(Qt::WaitCursor), shapes.size());
    QCOMPARE(w.form.cursor().shape(), Qt::ArrowCursor);

    QMimeData text;
    text.setText(u"x\ny"_s);
    QVERIFY(w.drop(1, text));
    QCOMPARE(textsOf(w.ws().listView1), (QStringList{u"x"_s, u"y"_s}));

    // Results takes no drop: the drag shows "no drop" there and nothing changes.
    QVERIFY(!w.drop(3, files));
    QVERIFY(!w.drop(3, text));
    QCOMPARE(w.ws().listView3.count(), 0);

    // One undo takes back the whole drop.
    QTest::keyClick(w.view(2), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.ws().listView2.count(), 0);
}

void ListsGuiTest::contextMenusDoWhatTheirButtonsAndKeysDo()
{
    ShownWindow w;
    const auto titles = [&](int number) {
        const std::unique_ptr<QMenu> menu(w.form.paneMenu(number));
        QStringList shown;
        for (QAction* action : menu->actions())
            shown.append(action->text() + u'|' + action->shortcut().toString());
        return shown;
    };
    const QStringList list{u"Paste|Ctrl+V"_s,
                           u"Copy|Ctrl+C"_s,
                           u"Select All|Ctrl+A"_s,
                           u"Remove Selected|Del"_s,
                           u"Load List From Text File\u2026|"_s,
                           u"Clear List|"_s,
                           u"Undo|Ctrl+Z"_s};
    QCOMPARE(titles(1), list);
    QCOMPARE(titles(2), list);
    QCOMPARE(titles(3), (QStringList{u"Copy|Ctrl+C"_s, u"Select All|Ctrl+A"_s,
                                     u"Remove Selected|Del"_s, u"Tick All|"_s, u"Untick All|"_s,
                                     u"Clear Results|"_s, u"Undo|Ctrl+Z"_s}));

    const auto trigger = [&](int number, const QString& text) {
        const std::unique_ptr<QMenu> menu(w.form.paneMenu(number));
        entry(*menu, text)->trigger();
    };
    Workspace& ws = w.ws();
    w.host.clipboard = u"p\nq\nr"_s;
    trigger(1, u"Paste"_s);
    trigger(2, u"Paste"_s);
    QCoreApplication::processEvents(); // the view shows the pasted rows
    trigger(1, u"Select All"_s);
    trigger(1, u"Copy"_s);
    QCOMPARE(w.host.clipboard, u"p\r\nq\r\nr\r\n"_s);

    // The guards of the buttons and keys hold in the menus too.
    ws.mousePointer.setValue(MousePointer::Busy);
    trigger(1, u"Remove Selected"_s);
    trigger(1, u"Clear List"_s);
    trigger(1, u"Undo"_s);
    QCOMPARE(ws.listView1.count(), 3);
    trigger(2, u"Clear List"_s); // no guard under List 2
    QCOMPARE(ws.listView2.count(), 0);
    ws.mousePointer.setValue(MousePointer::Default);
    trigger(2, u"Undo"_s);
    QCOMPARE(ws.listView2.count(), 3);
    trigger(1, u"Remove Selected"_s);
    QCOMPARE(ws.listView1.count(), 0);

    QTemporaryDir dir;
    w.host.openAnswers.push_back(writeFile(dir.path(), u"l.txt"_s, "loaded"));
    trigger(1, u"Load List From Text File\u2026"_s);
    QCOMPARE(w.host.openRequests.size(), 1);
    QCOMPARE(textsOf(ws.listView1), QStringList{u"loaded"_s});

    fill(ws.listView3, {u"r1"_s, u"r2"_s});
    trigger(3, u"Tick All"_s);
    QVERIFY(ws.listView3.checked(1) && ws.listView3.checked(2));
    trigger(3, u"Untick All"_s);
    QVERIFY(!ws.listView3.checked(1) && !ws.listView3.checked(2));
    trigger(3, u"Clear Results"_s);
    QCOMPARE(ws.listView3.count(), 0);
    trigger(3, u"Undo"_s);
    QCOMPARE(textsOf(ws.listView3), (QStringList{u"r1"_s, u"r2"_s}));
    QVERIFY(w.host.messages.isEmpty());
}

void ListsGuiTest::headerShowsCountAndNote()
{
    ShownWindow w;
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QCOMPARE(itemCountText(0, english), QString());
    QCOMPARE(itemCountText(1, english), u"1 item"_s);
    QCOMPARE(itemCountText(1000000, english), u"1,000,000 items"_s);
    QCOMPARE(itemCountText(1234, QLocale(QLocale::German)), u"1.234 items"_s);
    QCOMPARE(headerDecoration(u"ignoring case"_s, 1234, english),
             u"ignoring case \u00b7 1,234 items"_s);
    QCOMPARE(headerDecoration(u"ignoring case"_s, 0, english), u"ignoring case"_s);

    PaneHeader* header = w.view(2)->header();
    header->setLocale(english);
    const QImage empty = header->viewport()->grab().toImage();
    QCOMPARE(header->decoration(), QString());
    w.ws().listView2.addMany(numbered(1000000));
    QCoreApplication::processEvents();
    QCOMPARE(header->decoration(), u"1,000,000 items"_s);
    const QImage counted = header->viewport()->grab().toImage();
    // Drawn at the right, in the header; the column's title stays the model's.
    const QRect right(empty.width() * 3 / 4, 0, empty.width() / 4, empty.height());
    QVERIFY(empty.copy(right) != counted.copy(right));
    QCOMPARE(w.view(2)->model()->headerData(0, Qt::Horizontal).toString(), u"List 2"_s);
    QCOMPARE(w.ws().listView2.columnTitle(1), u"List 2"_s);

    w.ws().listView2.setHeaderNote(u"ignoring case"_s);
    QCOMPARE(header->decoration(), u"ignoring case \u00b7 1,000,000 items"_s);
    w.click(u"PushButton5"_s);
    QCoreApplication::processEvents();
    QCOMPARE(header->decoration(), u"ignoring case"_s);
}

void ListsGuiTest::rowToolTipReplacesThePanesOwn()
{
    ShownWindow w;
    fill(w.ws().listView3, {u"plain"_s, u"with its own"_s});
    w.ws().listView3.setRowToolTip(2, u"matched \"With Its Own\""_s);
    const auto tipAt = [&](int row) {
        QWidget* viewport = w.view(3)->viewport();
        const QPoint at = w.rowCentre(3, row);
        QHelpEvent help(QEvent::ToolTip, at, viewport->mapToGlobal(at));
        QCoreApplication::sendEvent(viewport, &help);
        const QString text = QToolTip::text();
        QToolTip::hideText();
        return text;
    };
    QCOMPARE(tipAt(1), u"matched \"With Its Own\""_s);
    QCOMPARE(tipAt(0), w.view(3)->toolTip());
}

void ListsGuiTest::longItemsAreDrawnCut()
{
    ShownWindow w;
    const QString huge(20 * 1000 * 1000, u'w');
    w.ws().listView3.add(huge + u"end"_s, true);
    w.click(3, 0);
    QCOMPARE(w.ws().listView3.selected(), 1);
    const QString shown = w.view(3)->model()->index(0, 0).data().toString();
    QCOMPARE(shown.size(), ListPane::kShownCharacters + 1);
    QVERIFY(shown.endsWith(u'\u2026'));
    // Measuring the column (a double-click on its edge) sees only what is drawn.
    const int widest = w.view(3)->fontMetrics().horizontalAdvance(shown);
    w.view(3)->resizeColumnToContents(0);
    QVERIFY(w.view(3)->columnWidth(0) <= widest + 100);
    QTest::keyClick(w.view(3), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(w.host.clipboard.size(), huge.size() + 5); // the whole text, and CR LF
}

QTEST_MAIN(ListsGuiTest)
#include "tst_lists_gui.moc"

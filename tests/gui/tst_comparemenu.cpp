// The start button's menu in the real window: opened by a right-click, its entries run
// into Results, and its options keep their marks.
#include "TestWindow.h"

#include "app/CompareMenu.h"

#include <QContextMenuEvent>
#include <QPushButton>
#include <QtTest>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

namespace {

const QStringList kEntries{u"Find List 1 Items Also In List 2"_s,
                           u"Find List 1 Items Not In List 2"_s,
                           u"Find List 2 Items Not In List 1"_s,
                           u"Find Near Misses"_s,
                           QString(),
                           u"Ignore Case"_s,
                           u"Ignore Leading and Trailing Blanks"_s,
                           u"Each Result Once"_s};

// Right-clicks the start button as the platform reports it, and returns the menu shown.
CompareMenu* rightClickStart(Window& w)
{
    QPushButton* start = w.button(u"PushButton11"_s);
    const QPoint at = start->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, start->mapToGlobal(at));
    QCoreApplication::sendEvent(start, &event);
    return w.form.compareMenu();
}

// Chooses an entry of the open menu with the mouse.
void choose(CompareMenu* menu, const QString& text)
{
    QAction* action = menu->entry(text);
    QVERIFY2(action, qPrintable(text));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

QList<bool> marks(CompareMenu* menu)
{
    QList<bool> checked;
    for (const QString& text : kEntries.mid(5))
        checked.append(menu->entry(text)->isChecked());
    return checked;
}

} // namespace

class CompareMenuTest : public QObject
{
    Q_OBJECT
private slots:
    void rightClickOpensTheMenu();
    void optionMarksLastAndStartOff();
    void entriesRunIntoResults();
    void nearMissesOfTwoSmallLists();
    void markupInATextIsShownAsTyped();
};

void CompareMenuTest::rightClickOpensTheMenu()
{
    Window w(QString(), true);
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    QPushButton* start = w.button(u"PushButton11"_s);
    QCOMPARE(start->text(), u"Start Comparing and Finding Matches"_s);
    QCOMPARE(start->toolTip(), u"Right-click for more ways to compare"_s);
    CompareMenu* menu = rightClickStart(w);
    QVERIFY(menu->isVisible());
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts.append(action->isSeparator() ? QString() : action->text());
    QCOMPARE(texts, kEntries);
    for (const QAction* action : menu->actions())
        QCOMPARE(action->isCheckable(), kEntries.indexOf(action->text()) >= 5);
    menu->close();
    // The right-click ran nothing; the left click still runs the start button's comparison.
    QCOMPARE(w.ws().listView3.count(), 0);
    w.click(u"PushButton20"_s);
    w.click(u"PushButton4"_s);
    w.click(u"PushButton11"_s);
    QCOMPARE(textsOf(w.ws().listView3), (QStringList{u"apples"_s, u"oranges"_s}));
}

void CompareMenuTest::optionMarksLastAndStartOff()
{
    Window w(QString(), true);
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    CompareMenu* menu = rightClickStart(w);
    QCOMPARE(marks(menu), (QList<bool>{false, false, false}));
    choose(menu, u"Ignore Case"_s);
    QVERIFY(w.ws().compareOptions.ignoreCase);
    QVERIFY(!menu->isVisible());

    menu = rightClickStart(w);
    QCOMPARE(marks(menu), (QList<bool>{true, false, false}));
    choose(menu, u"Each Result Once"_s);
    menu = rightClickStart(w);
    QCOMPARE(marks(menu), (QList<bool>{true, false, true}));
    choose(menu, u"Ignore Case"_s);
    QVERIFY(!w.ws().compareOptions.ignoreCase);
    QVERIFY(w.ws().compareOptions.eachResultOnce);

    // The marks show the options as they are, however they were set.
    w.ws().compareOptions = {false, true, false};
    menu = rightClickStart(w);
    QCOMPARE(marks(menu), (QList<bool>{false, true, false}));
    menu->close();

    Window fresh;
    QVERIFY(!fresh.ws().compareOptions.any());
}

void CompareMenuTest::entriesRunIntoResults()
{
    Window w(QString(), true);
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    w.click(u"PushButton20"_s);
    w.click(u"PushButton4"_s);
    choose(rightClickStart(w), u"Find List 1 Items Not In List 2"_s);
    QCOMPARE(textsOf(w.ws().listView3), (QStringList{u"mangos"_s, u"black cherries"_s}));
    choose(rightClickStart(w), u"Find List 2 Items Not In List 1"_s);
    choose(rightClickStart(w), u"Find List 1 Items Also In List 2"_s);
    QCOMPARE(textsOf(w.ws().listView3),
             (QStringList{u"mangos"_s, u"black cherries"_s, u"bananas"_s, u"black cherry"_s,
                          u"apples"_s, u"oranges"_s}));
    QCOMPARE(w.ws().progressBar1.value(), 0);
    QCOMPARE(w.ws().progressBar1.text(), ProgressBar::restText());
    QVERIFY(w.host.messages.isEmpty());
}

void CompareMenuTest::nearMissesOfTwoSmallLists()
{
    Window w(QString(), true);
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    w.host.inputAnswers = {u"apples"_s,  u"Oranges"_s, u"kiwi"_s,
                           u"apples "_s, u"oranges"_s, u"pears"_s};
    for (int i = 0; i < 3; ++i)
        w.click(u"PushButton7"_s);
    for (int i = 0; i < 3; ++i)
        w.click(u"PushButton12"_s);
    choose(rightClickStart(w), u"Find Near Misses"_s);
    ListPane& results = w.ws().listView3;
    QCOMPARE(textsOf(results), (QStringList{u"apples"_s, u"Oranges"_s}));
    QCOMPARE(results.rowToolTip(1), u"List 2 has \"apples·\" — a trailing blank"_s);
    QCOMPARE(results.rowToolTip(2), u"List 2 has \"oranges\" — different case"_s);
    QCoreApplication::processEvents(); // rows reach the views once per dispatch
    const QModelIndex first = results.index(0, 0);
    QCOMPARE(results.data(first, Qt::ToolTipRole).toString(), results.rowToolTip(1));
    QCOMPARE(results.headerNote(), QString());

    // Ignoring case, "Oranges" is a match, no longer a near miss; the header says so.
    choose(rightClickStart(w), u"Ignore Case"_s);
    QCOMPARE(results.headerNote(), u"ignoring case"_s);
    choose(rightClickStart(w), u"Find Near Misses"_s);
    QCOMPARE(textsOf(results), (QStringList{u"apples"_s, u"Oranges"_s, u"apples"_s}));
    w.click(u"PushButton11"_s);
    QCOMPARE(textsOf(results).mid(3), QStringList{u"Oranges"_s});
    QVERIFY(results.rowToolTip(4).isEmpty()); // a match is no near miss
    choose(rightClickStart(w), u"Ignore Case"_s);
    QCOMPARE(results.headerNote(), QString());
}

void CompareMenuTest::markupInATextIsShownAsTyped()
{
    Window w(QString(), true);
    w.host.inputAnswers = {u"<b>x</b>"_s, u"<b>X</b>"_s};
    w.click(u"PushButton7"_s);
    w.click(u"PushButton12"_s);
    choose(rightClickStart(w), u"Find Near Misses"_s);
    QCoreApplication::processEvents();
    const QString tip =
        w.ws().listView3.data(w.ws().listView3.index(0, 0), Qt::ToolTipRole).toString();
    QVERIFY2(tip.contains(u"&lt;b&gt;X&lt;/b&gt;"_s), qPrintable(tip));
}

QTEST_MAIN(CompareMenuTest)
#include "tst_comparemenu.moc"

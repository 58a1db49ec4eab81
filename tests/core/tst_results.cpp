#include "TestDoubles.h"

#include "match/ResultsCommands.h"

#include <QtTest>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

namespace {

const QString kConfirmation = QStringLiteral(
    "Results have been copied to the clipboard.\r\rClick a text area where you normally type "
    "and press Ctrl+V to paste the clipboard.");

void addTicked(ListPane& pane, const QStringList& texts)
{
    for (const QString& t : texts)
        pane.add(t, true);
}

} // namespace

class ResultsCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void copyTrimsPaddingAndTrailingBlanks()
    {
        Fixture f;
        addTicked(f.ws->listView3, {u"alpha"_s, u"be"_s, u"  lead"_s, u"trail  "_s, u"   "_s});
        PushButton6_Click(*f.ws);
        QCOMPARE(f.host.clipboard, u"alpha\r\nbe\r\n  lead\r\ntrail\r\n\r\n"_s);
        QCOMPARE(f.host.messageTexts(), QStringList{kConfirmation});
        QCOMPARE(f.host.messages.first().title, u"Pellicor"_s);
        QCOMPARE(f.host.messages.first().buttons, MessageButtons::Ok);
        QCOMPARE(f.host.messages.first().icon, MessageIcon::None);
    }

    void copyPadsEveryCellButTheLast()
    {
        Fixture f;
        ListPane& pane = f.ws->listView3;
        pane.addColumn(u"Second"_s);
        addTicked(pane, {u"a"_s, u"abc"_s, u"b "_s});
        pane.setSubItem(1, 1, u"x"_s);
        pane.setSubItem(2, 1, u"y  "_s);
        // Row 3 has no sub-item: its last cell is empty, the padding before its TAB stays.
        CopyListviewToClipboard(pane, f.runtime);
        QCOMPARE(f.host.clipboard, u"a  \tx\r\nabc\ty\r\nb  \t\r\n"_s);
    }

    void untickedRowsAreLeftOutButCountForWidths()
    {
        Fixture f;
        ListPane& pane = f.ws->listView3;
        pane.addColumn(u"Second"_s);
        pane.add(u"a"_s, true);
        pane.add(u"very long"_s, false);
        pane.setSubItem(1, 1, u"x"_s);
        CopyListviewToClipboard(pane, f.runtime);
        QCOMPARE(f.host.clipboard, u"a        \tx\r\n"_s);

        pane.setChecked(1, false);
        f.host.clipboard = u"before"_s;
        CopyListviewToClipboard(pane, f.runtime);
        QVERIFY(f.host.clipboardSet);
        QCOMPARE(f.host.clipboard, QString());
    }

    void emptyPaneLeavesClipboardAloneAndStillConfirms()
    {
        Fixture f;
        f.host.clipboard = u"kept"_s;
        PushButton6_Click(*f.ws);
        QCOMPARE(f.host.clipboard, u"kept"_s);
        QCOMPARE(f.host.clearAttempts + f.host.setAttempts, 0);
        QCOMPARE(f.host.messageTexts(), QStringList{kConfirmation});
    }

    void refusingClipboardIsTriedAThousandTimesSilently()
    {
        Fixture f;
        addTicked(f.ws->listView3, {u"one"_s});
        f.host.clipboardRefuses = true;
        PushButton6_Click(*f.ws);
        QCOMPARE(f.host.clearAttempts, 1000);
        QCOMPARE(f.host.setAttempts, 1000);
        QCOMPARE(f.host.messageTexts(), QStringList{kConfirmation});
    }

    void copyOfChangedResultsFailsWithoutConfirming()
    {
        Fixture f;
        addTicked(f.ws->listView3, {u"a"_s, u"b"_s, u"c"_s});
        f.host.clipboard = u"kept"_s;
        // Clear Results runs while the copy yields.
        f.pump.every = [&](int) {
            if (f.ws->listView3.count() == 3)
                PushButton10_Click(*f.ws);
        };
        PushButton6_Click(*f.ws);
        QCOMPARE(f.host.clipboard, u"kept"_s);
        QCOMPARE(f.errors.descriptions(),
                 QStringList{
                     u"The Results changed while they were being copied; nothing was copied."_s});
        QVERIFY(f.errors.has(u"Form1.PushButton6_Click"_s, 106));
        // Nothing reached the clipboard, so nothing says it did.
        QVERIFY(f.host.messages.isEmpty());
        QCOMPARE(f.host.clearAttempts, 0);

        // Rows added meanwhile are no failure: the text pass takes them too.
        fill(f.ws->listView3, {u"x"_s});
        f.ws->listView3.setChecked(1, true);
        f.pump.every = [&](int) {
            if (f.ws->listView3.count() == 1)
                f.ws->listView3.add(u"later"_s, true);
        };
        PushButton6_Click(*f.ws);
        QCOMPARE(f.host.clipboard, u"x\r\nlater\r\n"_s);
        QCOMPARE(f.host.messageTexts(), QStringList{kConfirmation});
    }

    void clearResultsEmptiesOnlyResults()
    {
        Fixture f;
        fill(f.ws->listView1, {u"a"_s});
        addTicked(f.ws->listView3, {u"a"_s, u"b"_s});
        f.ws->progressBar1.setValue(40);
        PushButton10_Click(*f.ws);
        QCOMPARE(f.ws->listView3.count(), 0);
        QCOMPARE(f.ws->listView1.count(), 1);
        QCOMPARE(f.ws->progressBar1.value(), 40);
        PushButton10_Click(*f.ws);
        QVERIFY(f.host.messages.isEmpty());
    }
};

QTEST_MAIN(ResultsCommandsTest)
#include "tst_results.moc"

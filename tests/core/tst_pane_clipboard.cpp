// Paste, copy of the selected items, and drops of text and files onto the lists.
#include "TestDoubles.h"

#include "lists/ListFile.h"
#include "lists/PaneClipboard.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

namespace {

// A plain reading of the paste rule, one character at a time.
QStringList referenceLines(const QString& text)
{
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n') {
            line += c;
            continue;
        }
        lines.append(line);
        line.clear();
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            ++i;
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

QStringList pasted(const QString& text, qsizetype sliceCharacters)
{
    PastedLines lines(text);
    QStringList items;
    while (!lines.atEnd()) {
        const TextBatch batch = lines.nextSlice(sliceCharacters);
        for (const TextRef& t : batch.texts)
            items.append(t.view().toString());
    }
    return items;
}

} // namespace

class PaneClipboardTest : public QObject
{
    Q_OBJECT
private slots:
    void pasteLineRules_data();
    void pasteLineRules();
    void pasteSlicesSplitLikeOneCharacterAtATime();
    void pasteAppendsToListsOnly();
    void copyGivesTheSelectedItemsExactly();
    void droppedFilesLoadLikeTheDialogsChoice();
    void dropIsRefusedWhileALoadRuns();
};

void PaneClipboardTest::pasteLineRules_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("CR LF") << u"a\r\nb\r\n"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("lone CR") << u"a\rb"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("lone LF") << u"a\nb\n"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("LF CR is two line ends") << u"a\n\rb"_s << QStringList{u"a"_s, u""_s, u"b"_s};
    QTest::newRow("blank lines in the middle")
        << u"a\n\n\r\nb"_s << QStringList{u"a"_s, u""_s, u""_s, u"b"_s};
    QTest::newRow("spreadsheet cells, blanks kept")
        << u"  Name\tQty \r\nBolt\t7\r\n"_s << QStringList{u"  Name\tQty "_s, u"Bolt\t7"_s};
    QTest::newRow("one line end only") << u"\n"_s << QStringList{u""_s};
    QTest::newRow("empty clipboard") << QString() << QStringList{};
}

void PaneClipboardTest::pasteLineRules()
{
    QFETCH(QString, clipboard);
    QFETCH(QStringList, items);
    Fixture f;
    fill(f.ws->listView1, {u"existing"_s});
    f.host.clipboard = clipboard;
    PasteIntoList(*f.ws, 1);
    QCOMPARE(textsOf(f.ws->listView1), QStringList{u"existing"_s} + items);
    QVERIFY(f.host.messages.isEmpty());
    QVERIFY(f.errors.reports.isEmpty());
}

void PaneClipboardTest::pasteSlicesSplitLikeOneCharacterAtATime()
{
    QRandomGenerator random(20261208);
    const char16_t alphabet[] = u"ab \t\r\n";
    for (int round = 0; round < 200; ++round) {
        QString text;
        for (int i = random.bounded(40); i > 0; --i)
            text += QChar(alphabet[random.bounded(6)]);
        for (qsizetype slice : {1, 3, 1000})
            QCOMPARE(pasted(text, slice), referenceLines(text));
    }
}

void PaneClipboardTest::pasteAppendsToListsOnly()
{
    Fixture f;
    f.host.clipboard = u"x\ny"_s;
    f.ws->mousePointer.setValue(MousePointer::Busy); // no guard, as for Add One Item
    PasteIntoList(*f.ws, 2);
    PasteIntoList(*f.ws, 3);
    QCOMPARE(textsOf(f.ws->listView2), (QStringList{u"x"_s, u"y"_s}));
    QCOMPARE(f.ws->listView3.count(), 0);
    // The window repaints between slices of a long paste.
    QString lines;
    for (int i = 0; i < 100000; ++i)
        lines += u"line "_s + QString::number(i) + u'\n';
    f.host.clipboard = lines;
    const int yieldsBefore = f.pump.yields;
    PasteIntoList(*f.ws, 1);
    QCOMPARE(f.ws->listView1.count(), 100000);
    QCOMPARE(f.ws->listView1.text(100000), u"line 99999"_s);
    QVERIFY(f.pump.yields - yieldsBefore >= lines.size() / kPasteSliceCharacters);
    DropTextOnList(*f.ws, 2, u"dropped\r\n"_s);
    QCOMPARE(f.ws->listView2.text(3), u"dropped"_s);
}

void PaneClipboardTest::copyGivesTheSelectedItemsExactly()
{
    Fixture f;
    ListPane& results = f.ws->listView3;
    fill(results, {u"alpha  "_s, u"  be"_s, u"c"_s, u""_s, u"e\tf"_s});
    f.host.clipboard = u"before"_s;
    CopySelectedItems(*f.ws, 3); // nothing selected
    QCOMPARE(f.host.clipboard, u"before"_s);
    QCOMPARE(f.host.setAttempts, 0);

    results.setSelection({{4, 1}, {0, 2}, {3, 1}}, 1);
    CopySelectedItems(*f.ws, 3);
    QCOMPARE(f.host.clipboard, u"alpha  \r\n  be\r\n\r\ne\tf\r\n"_s); // ticked or not
    QVERIFY(f.host.messages.isEmpty());

    f.host.clipboardRefuses = true;
    f.host.setAttempts = 0;
    CopySelectedItems(*f.ws, 3);
    QCOMPARE(f.host.setAttempts, 1000);
    QVERIFY(f.errors.reports.isEmpty());
}

void PaneClipboardTest::droppedFilesLoadLikeTheDialogsChoice()
{
    QTemporaryDir dir;
    QTemporaryDir other;
    const QString a = writeFile(dir.path(), u"a.txt"_s, "a1\r\na2");
    const QString b = writeFile(other.path(), u"b.txt"_s, "b1\r");
    const QString unreadable = dir.filePath(u"folder.txt"_s);
    QVERIFY(QDir().mkdir(unreadable));
    Fixture f;
    fill(f.ws->listView2, {u"kept"_s});
    QList<int> pointers;
    f.pump.every = [&](int) { pointers.append(f.ws->mousePointer.value()); };
    LoadDroppedFiles(*f.ws, 2, {b, dir.filePath(u"gone.txt"_s), unreadable, a});
    QCOMPARE(textsOf(f.ws->listView2), (QStringList{u"kept"_s, u"b1"_s, u"a1"_s, u"a2"_s}));
    QCOMPARE(f.host.messageTexts(), QStringList{u"File not found"_s});
    QCOMPARE(f.errors.reports.size(), 1);
    QCOMPARE(f.errors.reports.first().location, u"Main.FileToListbox"_s);
    QVERIFY(!pointers.isEmpty());
    QCOMPARE(pointers.count(MousePointer::Busy), pointers.size());
    QCOMPARE(f.ws->mousePointer.value(), MousePointer::Default);
    QVERIFY(f.ws->listView1.count() == 0);

    // One dropped file, into List 1.
    LoadDroppedFiles(*f.ws, 1, {a});
    QCOMPARE(textsOf(f.ws->listView1), (QStringList{u"a1"_s, u"a2"_s}));
    QVERIFY(f.host.openRequests.isEmpty()); // no dialog
}

void PaneClipboardTest::dropIsRefusedWhileALoadRuns()
{
    QTemporaryDir dir;
    const QString first = writeFile(dir.path(), u"first.txt"_s, "1\r\n2\r\n");
    const QString dropped = writeFile(dir.path(), u"dropped.txt"_s, "dropped");
    Fixture f;
    f.host.openAnswers.push_back(first);
    f.pump.at[1] = [&] { LoadDroppedFiles(*f.ws, 2, {dropped}); };
    PushButton3_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView1), (QStringList{u"1"_s, u"2"_s}));
    QCOMPARE(f.ws->listView2.count(), 0);
    LoadDroppedFiles(*f.ws, 2, {dropped});
    QCOMPARE(textsOf(f.ws->listView2), QStringList{u"dropped"_s});
}

QTEST_MAIN(PaneClipboardTest)
#include "tst_pane_clipboard.moc"

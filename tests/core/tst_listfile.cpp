// Loading list files: the line rules and the code page on real files, the load command
// through the dialog seam, and what happens with missing, unreadable and concurrent loads.
#include "TestDoubles.h"

#include "lists/ListFile.h"
#include "lists/ListFileLines.h"
#include "platform/Windows1252.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

namespace {

const QChar kNul(u'\0');

// A plain reading of the line rules, one byte at a time, to check the batched splitter against.
QStringList referenceLines(const QByteArray& bytes)
{
    QStringList lines;
    QByteArray line;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r') {
            line += bytes[i];
            continue;
        }
        lines.append(decodeWindows1252(line));
        line.clear();
        if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
    }
    if (!line.isEmpty())
        lines.append(decodeWindows1252(line));
    return lines;
}

// Every item of every batch, and how many batches were empty.
struct Batched
{
    QStringList items;
    int emptyBatches = 0;
};

Batched allBatches(const QByteArray& bytes, qsizetype batchBytes)
{
    Batched result;
    ListFileLines lines(bytes);
    while (!lines.atEnd()) {
        const TextBatch batch = lines.nextBatch(batchBytes);
        if (batch.texts.empty())
            ++result.emptyBatches;
        for (const TextRef& item : batch.texts)
            result.items.append(item.view().toString());
    }
    return result;
}

} // namespace

class ListFileTest : public QObject
{
    Q_OBJECT
private slots:
    void windows1252RoundTripsEveryByte();
    void lineRules_data();
    void lineRules();
    void everyByteSurvivesLoadAndSave();
    void lineEndsAcrossBlockBoundaries_data();
    void lineEndsAcrossBlockBoundaries();
    void batchesSplitLikeOneByteAtATime();
    void collapseBackslashes_data();
    void collapseBackslashes();
    void joinChosenFile();
    void dialogSettingsAndCancel();
    void severalFilesInDialogOrder();
    void vanishedFileAmongSeveral();
    void unreadableFileAmongSeveral();
    void unopenableFileWithoutPermission();
    void readErrorAddsNothing();
    void loadDuringALoadIsRefused();
    void otherCommandsRunBetweenBatches();
    void rowsStayInPlaceWhileLoading();
    void hundredsOfFiles();
};

void ListFileTest::windows1252RoundTripsEveryByte()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const QString text = decodeWindows1252(all);
    QCOMPARE(text.size(), 256);
    QByteArray back;
    QCOMPARE(appendWindows1252(text, back), 0);
    QCOMPARE(back, all);

    QCOMPARE(text.at(0x80), QChar(0x20AC));
    QCOMPARE(text.at(0x9F), QChar(0x0178));
    for (int undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        QCOMPARE(text.at(undefined).unicode(), char16_t(undefined));
    QCOMPARE(text.at(0xE9), QChar(0x00E9));
}

void ListFileTest::lineRules_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("CR LF with a blank line")
        << QByteArray("a\r\n\r\na\r\n") << QStringList{u"a"_s, u""_s, u"a"_s};
    QTest::newRow("CR only") << QByteArray("one\rtwo\rthree\r")
                             << QStringList{u"one"_s, u"two"_s, u"three"_s};
    QTest::newRow("LF only is one item")
        << QByteArray("one\ntwo\n") << QStringList{u"one\ntwo\n"_s};
    QTest::newRow("mixed") << QByteArray("a\r\nb\rc\nd\r\n\re")
                           << QStringList{u"a"_s, u"b"_s, u"c\nd"_s, u""_s, u"e"_s};
    QTest::newRow("no final line end") << QByteArray("a\r\nlast") << QStringList{u"a"_s, u"last"_s};
    QTest::newRow("LF CR is LF then a line end")
        << QByteArray("a\n\rb") << QStringList{u"a\n"_s, u"b"_s};
    QTest::newRow("blank line before the end")
        << QByteArray("a\r\n\r\n") << QStringList{u"a"_s, u""_s};
    QTest::newRow("only a line end") << QByteArray("\r\n") << QStringList{u""_s};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("blanks and tabs kept")
        << QByteArray(" a \t\r\n\t\r\n  ") << QStringList{u" a \t"_s, u"\t"_s, u"  "_s};
    QTest::newRow("repeats kept") << QByteArray("x\r\nx\r\nx")
                                  << QStringList{u"x"_s, u"x"_s, u"x"_s};
    QTest::newRow("byte-order mark is text") << QByteArray("\xEF\xBB\xBF"
                                                           "a\r\nb")
                                             << QStringList{u"\u00EF\u00BB\u00BFa"_s, u"b"_s};
    QTest::newRow("high bytes") << QByteArray("\x80\x81\x9F\xA0\xE9\xFF\r\n")
                                << QStringList{u"\u20AC\u0081\u0178\u00A0\u00E9\u00FF"_s};
    QTest::newRow("NUL inside") << QByteArray("a\0b\r\n", 5) << QStringList{u"a\0b"_s};
}

void ListFileTest::lineRules()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, items);
    QTemporaryDir dir;
    const QString path = writeFile(dir.path(), u"list.txt"_s, bytes);
    Fixture f;
    fill(f.ws->listView1, {u"existing"_s});
    FileToListbox(f.ws->listView1, path, f.runtime);
    QCOMPARE(textsOf(f.ws->listView1), QStringList{u"existing"_s} + items);
    QVERIFY(f.host.messages.isEmpty());
    QVERIFY(f.errors.reports.isEmpty());
    QCOMPARE(textsOf(f.ws->listView2), QStringList{});
}

void ListFileTest::everyByteSurvivesLoadAndSave()
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r')
            bytes += static_cast<char>(b);
        if (b % 16 == 15 || b == '\r')
            bytes += "\r\n";
    }
    QTemporaryDir dir;
    Fixture f;
    FileToListbox(f.ws->listView1, writeFile(dir.path(), u"bytes.txt"_s, bytes), f.runtime);
    QByteArray saved;
    for (const QString& item : textsOf(f.ws->listView1)) {
        QCOMPARE(appendWindows1252(item, saved), 0);
        saved += "\r\n";
    }
    QCOMPARE(saved, bytes);
}

void ListFileTest::lineEndsAcrossBlockBoundaries_data()
{
    // The first line fills a whole read block but for one byte, so the CR that ends it is
    // the block's last byte and what follows it lies in the next block.
    const QByteArray longLine(kListFileBlockBytes - 1, 'a');
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("tail");
    QTest::newRow("CR LF split") << longLine + "\r\nb\rc" << QStringList{u"b"_s, u"c"_s};
    QTest::newRow("lone CR at the end of a block") << longLine + "\rd\r\n" << QStringList{u"d"_s};
    QTest::newRow("CR as the last byte of the file") << longLine + "\r" << QStringList{};
    QTest::newRow("LF opening the next block") << longLine + "x\nz" << QStringList{};
}

void ListFileTest::lineEndsAcrossBlockBoundaries()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, tail);
    QTemporaryDir dir;
    Fixture f;
    FileToListbox(f.ws->listView1, writeFile(dir.path(), u"big.txt"_s, bytes), f.runtime);
    QCOMPARE(textsOf(f.ws->listView1), referenceLines(bytes));
    QCOMPARE(textsOf(f.ws->listView1).mid(1), tail);
}

void ListFileTest::batchesSplitLikeOneByteAtATime()
{
    QRandomGenerator random(20240611);
    const char alphabet[] = {'a', 'b', '\r', '\n', '\xE9', '\x81', ' '};
    for (int round = 0; round < 50; ++round) {
        QByteArray bytes;
        const int length = random.bounded(0, 400);
        for (int i = 0; i < length; ++i)
            bytes += alphabet[random.bounded(int(sizeof(alphabet)))];
        const QStringList expected = referenceLines(bytes);
        QCOMPARE(countItems(bytes, countLineEnds(bytes)), expected.size());
        for (qsizetype batchBytes : {qsizetype(1), qsizetype(2), qsizetype(7), qsizetype(1000)}) {
            const Batched batched = allBatches(bytes, batchBytes);
            QCOMPARE(batched.items, expected);
            QCOMPARE(batched.emptyBatches, 0);
        }
    }
}

void ListFileTest::collapseBackslashes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("collapsed");
    const auto row = [](const char* name, const char16_t* path, const char16_t* collapsed) {
        QTest::newRow(name) << QString::fromUtf16(path) << QString::fromUtf16(collapsed);
    };
    row("empty stays empty", u"", u"");
    row("nothing doubled", uR"(C:\lists\a.txt)", uR"(C:\lists\a.txt)");
    row("root folder join", uR"(C:\\a.txt)", uR"(C:\a.txt)");
    row("three inside become two", uR"(C:\x\\\a.txt)", uR"(C:\x\\a.txt)");
    row("four inside become two", uR"(C:\x\\\\a.txt)", uR"(C:\x\\a.txt)");
    row("trailing pair", uR"(C:\x\\)", uR"(C:\x\)");
    row("network path kept", uR"(\\server\share\\a.txt)", uR"(\\server\share\a.txt)");
    row("one leading becomes two", uR"(\a.txt)", uR"(\\a.txt)");
    row("three leading become two", uR"(\\\server\a)", uR"(\\server\a)");
    row("five leading become two", uR"(\\\\\server\\\a)", uR"(\\server\\a)");
    row("only backslashes", uR"(\\\\)", uR"(\\)");
    row("a single backslash", uR"(\)", uR"(\\)");
}

void ListFileTest::collapseBackslashes()
{
    QFETCH(QString, path);
    QFETCH(QString, collapsed);
    QCOMPARE(CollapseBackslashes(path), collapsed);
}

void ListFileTest::joinChosenFile()
{
    QCOMPARE(pq::joinChosenFile(u"/"_s, u"a.txt"_s), u"/a.txt"_s);
    QCOMPARE(pq::joinChosenFile(u"/home/me/lists"_s, u"a.txt"_s), u"/home/me/lists/a.txt"_s);
    QCOMPARE(pq::joinChosenFile(u"/home/me"_s, uR"(a\\b.txt)"_s), uR"(/home/me/a\\b.txt)"_s);
    QCOMPARE(pq::joinChosenFile(uR"(/odd\)"_s, u"a.txt"_s), uR"(/odd\/a.txt)"_s);

    // Names with backslashes load through the command as they are.
    QTemporaryDir dir;
    writeFile(dir.path(), uR"(a\\b.txt)"_s, "ab");
    writeFile(dir.path(), uR"(\c.txt)"_s, "c");
    Fixture f;
    f.host.openAnswers.push_back(dir.path() + kNul + uR"(a\\b.txt)"_s + kNul + uR"(\c.txt)"_s);
    PushButton3_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView1), (QStringList{u"ab"_s, u"c"_s}));
    QVERIFY(f.host.messages.isEmpty());
    QVERIFY(f.errors.reports.isEmpty());
}

void ListFileTest::dialogSettingsAndCancel()
{
    Fixture f;
    fill(f.ws->listView1, {u"kept"_s});
    f.ws->mousePointer.setValue(MousePointer::Custom);
    f.ws->commonDialog1.fileName = u"/left/over.txt"_s;
    PushButton3_Click(*f.ws); // no answer scripted: Cancel

    QCOMPARE(f.host.openRequests.size(), 1);
    const CommonDialog& shown = f.host.openRequests.first();
    QCOMPARE(shown.fileName, QString());
    QCOMPARE(shown.flags, 2621953);
    QCOMPARE(shown.dialogTitle, u"Load List(s) - Hold Ctrl to select multiple list files"_s);
    QCOMPARE(shown.filter, u"Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"_s);

    QCOMPARE(textsOf(f.ws->listView1), QStringList{u"kept"_s});
    QCOMPARE(f.ws->mousePointer.value(), MousePointer::Custom);
    QCOMPARE(f.pump.yields, 0);
    QVERIFY(f.host.messages.isEmpty());
    QVERIFY(f.errors.reports.isEmpty());
    QVERIFY(!f.ws->loadingList);
}

void ListFileTest::severalFilesInDialogOrder()
{
    QTemporaryDir dir;
    const QString single = writeFile(dir.path(), u"single.txt"_s, "s1\r\ns2");
    writeFile(dir.path(), u"b.txt"_s, "b1\r\nb2\r\n");
    writeFile(dir.path(), u"a.txt"_s, "a1\ra2");
    Fixture f;
    fill(f.ws->listView1, {u"list 1"_s});
    fill(f.ws->listView2, {u"old"_s});
    f.host.openAnswers.push_back(dir.path() + kNul + u"b.txt"_s + kNul + u"a.txt"_s + kNul +
                                 u"b.txt"_s);
    f.host.openAnswers.push_back(single);
    QList<int> pointers;
    f.pump.every = [&](int) { pointers.append(f.ws->mousePointer.value()); };
    PushButton2_Click(*f.ws);
    PushButton2_Click(*f.ws);

    QCOMPARE(textsOf(f.ws->listView2), (QStringList{u"old"_s, u"b1"_s, u"b2"_s, u"a1"_s, u"a2"_s,
                                                    u"b1"_s, u"b2"_s, u"s1"_s, u"s2"_s}));
    QCOMPARE(textsOf(f.ws->listView1), QStringList{u"list 1"_s});
    QVERIFY(!pointers.isEmpty());
    QCOMPARE(pointers.count(MousePointer::Busy), pointers.size());
    QCOMPARE(f.ws->mousePointer.value(), MousePointer::Default);
    QVERIFY(f.host.messages.isEmpty());
    QVERIFY(f.errors.reports.isEmpty());
    QVERIFY(!f.ws->loadingList);
}

void ListFileTest::vanishedFileAmongSeveral()
{
    QTemporaryDir dir;
    writeFile(dir.path(), u"a.txt"_s, "a");
    writeFile(dir.path(), u"b.txt"_s, "b");
    Fixture f;
    f.host.openAnswers.push_back(dir.path() + kNul + u"a.txt"_s + kNul + u"gone.txt"_s + kNul +
                                 u"b.txt"_s);
    PushButton3_Click(*f.ws);

    QCOMPARE(textsOf(f.ws->listView1), (QStringList{u"a"_s, u"b"_s}));
    QCOMPARE(f.host.messages.size(), 1);
    const MessageRequest& m = f.host.messages.first();
    QCOMPARE(m.text, u"File not found"_s);
    QCOMPARE(m.title, u"Pellicor"_s);
    QCOMPARE(m.icon, MessageIcon::None);
    QCOMPARE(m.buttons, MessageButtons::Ok);
    QCOMPARE(f.ws->mousePointer.value(), MousePointer::Default);
}

void ListFileTest::unreadableFileAmongSeveral()
{
    QTemporaryDir dir;
    writeFile(dir.path(), u"a.txt"_s, "a");
    QVERIFY(QDir(dir.path()).mkdir(u"folder.txt"_s));
    writeFile(dir.path(), u"b.txt"_s, "b");
    Fixture f;
    f.host.openAnswers.push_back(dir.path() + kNul + u"a.txt"_s + kNul + u"folder.txt"_s + kNul +
                                 u"b.txt"_s);
    PushButton3_Click(*f.ws);

    QCOMPARE(textsOf(f.ws->listView1), (QStringList{u"a"_s, u"b"_s}));
    QCOMPARE(f.errors.reports.size(), 1);
    QVERIFY(f.host.messages.isEmpty());
    QVERIFY(f.errors.has(u"Main.FileToListbox"_s, 102));
    QCOMPARE(f.ws->mousePointer.value(), MousePointer::Default);
}

void ListFileTest::unopenableFileWithoutPermission()
{
    QTemporaryDir dir;
    const QString path = writeFile(dir.path(), u"secret.txt"_s, "secret");
    QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
    if (::access(QFile::encodeName(path).constData(), R_OK) == 0)
        QSKIP("running with rights that read any file");
    Fixture f;
    FileToListbox(f.ws->listView1, path, f.runtime);
    QCOMPARE(f.ws->listView1.count(), 0);
    QCOMPARE(f.errors.reports.size(), 1);
    QVERIFY(f.host.messages.isEmpty());
    QVERIFY(f.errors.has(u"Main.FileToListbox"_s, 102));
}

void ListFileTest::readErrorAddsNothing()
{
    // Reading this process's memory from offset 0 fails with an I/O error.
    const QString path = u"/proc/self/mem"_s;
    QFile probe(path);
    char byte;
    if (!probe.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || probe.read(&byte, 1) >= 0)
        QSKIP("no file here that opens but fails to read");
    probe.close();

    Fixture f;
    fill(f.ws->listView1, {u"before"_s});
    FileToListbox(f.ws->listView1, path, f.runtime);
    QCOMPARE(textsOf(f.ws->listView1), QStringList{u"before"_s});
    QCOMPARE(f.errors.reports.size(), 1);
    QVERIFY(f.host.messages.isEmpty());
    QVERIFY(f.errors.has(u"Main.FileToListbox"_s, 108));
}

void ListFileTest::loadDuringALoadIsRefused()
{
    QTemporaryDir dir;
    const QString first = writeFile(dir.path(), u"first.txt"_s, "1\r\n2\r\n");
    const QString second = writeFile(dir.path(), u"second.txt"_s, "second");
    Fixture f;
    f.host.openAnswers.push_back(first);
    f.host.openAnswers.push_back(second);
    bool loadingSeen = false;
    f.pump.at[1] = [&] {
        loadingSeen = f.ws->loadingList;
        PushButton3_Click(*f.ws);
        PushButton2_Click(*f.ws);
    };
    PushButton3_Click(*f.ws);
    QVERIFY(loadingSeen);
    QCOMPARE(f.host.openRequests.size(), 1);
    QCOMPARE(textsOf(f.ws->listView1), (QStringList{u"1"_s, u"2"_s}));
    QCOMPARE(f.ws->listView2.count(), 0);
    QVERIFY(!f.ws->loadingList);

    // Once the first load ended, the next one runs.
    PushButton2_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView2), QStringList{u"second"_s});
}

void ListFileTest::otherCommandsRunBetweenBatches()
{
    // Two batches: a line longer than a batch, then a short one. Clearing the pane between
    // them leaves the second batch appended after the clear.
    QTemporaryDir dir;
    const QByteArray longLine(kListFileBlockBytes + 10, 'x');
    Fixture f;
    f.host.openAnswers.push_back(writeFile(dir.path(), u"two.txt"_s, longLine + "\r\nshort\r\n"));
    int countBeforeClear = -1;
    f.pump.every = [&](int) {
        if (countBeforeClear < 0 && f.ws->listView1.count() == 1) {
            countBeforeClear = f.ws->listView1.count();
            f.ws->listView1.clear();
        }
    };
    PushButton3_Click(*f.ws);
    QCOMPARE(countBeforeClear, 1);
    QCOMPARE(textsOf(f.ws->listView1), QStringList{u"short"_s});
}

void ListFileTest::rowsStayInPlaceWhileLoading()
{
    // A pane that grew batch by batch would move all its rows at every growth, a long
    // stretch without dispatching events once it holds a million.
    QByteArray bytes;
    for (int i = 0; i < 200000; ++i)
        bytes += QByteArray::number(i) + "\r\n";
    QTemporaryDir dir;
    Fixture f;
    fill(f.ws->listView1, {u"first"_s});
    f.host.openAnswers.push_back(writeFile(dir.path(), u"many.txt"_s, bytes));
    QSet<const TextRef*> rowStorage;
    f.pump.every = [&](int) {
        if (f.ws->listView1.count() > 1)
            rowStorage.insert(f.ws->listView1.texts().data());
    };
    PushButton3_Click(*f.ws);
    QCOMPARE(f.ws->listView1.count(), 200001);
    QCOMPARE(f.ws->listView1.text(200001), u"199999"_s);
    QVERIFY(rowStorage.size() == 1);
    QVERIFY(rowStorage.contains(f.ws->listView1.texts().data()));
}

void ListFileTest::hundredsOfFiles()
{
    QTemporaryDir dir;
    QString answer = dir.path();
    QStringList expected;
    for (int i = 0; i < 400; ++i) {
        const QString name = u"list %1.txt"_s.arg(i, 3, 10, QChar(u'0'));
        writeFile(dir.path(), name, QByteArray::number(i));
        answer += kNul + name;
        expected.append(QString::number(i));
    }
    Fixture f;
    f.host.openAnswers.push_back(answer);
    PushButton3_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView1), expected);
    QVERIFY(f.host.messages.isEmpty());
    QVERIFY(f.errors.reports.isEmpty());
}

QTEST_MAIN(ListFileTest)
#include "tst_listfile.moc"

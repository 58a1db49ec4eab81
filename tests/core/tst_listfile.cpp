// Loading list files: the line rules and the code page on real files, the load command
// through the dialog seam, and what happens with missing, unreadable and concurrent loads.
#include "TestDoubles.h"

#include "export/SaveCommands.h"
#include "lists/ListFile.h"
#include "lists/ListFileLines.h"
#include "match/MatchFinder.h"
#include "match/ResultsCommands.h"
#include "platform/SpareBlocks.h"
#include "platform/SystemText.h"
#include "platform/TextStore.h"
#include "platform/Windows1252.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

namespace {

const QChar kNul(u'\0');

// The encoding and line rules read plainly, the whole file at once and one character at
// a time, to check the batched reader against.
QStringList referenceLines(const QByteArray& bytes)
{
    QString text;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const bool le = bytes.startsWith("\xFF\xFE");
        for (qsizetype at = 2; at + 1 < bytes.size(); at += 2) {
            const auto low = uchar(bytes[le ? at : at + 1]);
            const auto high = uchar(bytes[le ? at + 1 : at]);
            text += QChar(char16_t(high << 8 | low));
        }
        for (qsizetype at = 0; at < text.size(); ++at) {
            const bool pairStart =
                text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate();
            if (pairStart)
                ++at;
            else if (text[at].isSurrogate())
                text[at] = QChar(0xFFFD);
        }
        if ((bytes.size() - 2) % 2 != 0)
            text += QChar(0xFFFD);
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                      QStringDecoder::Flag::ConvertInitialBom);
        text = utf8.decode(bytes.mid(3));
    } else if (QByteArrayView(bytes).isValidUtf8()) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                      QStringDecoder::Flag::ConvertInitialBom);
        text = utf8.decode(bytes);
    } else {
        text = decodeWindows1252(bytes);
    }
    const bool unix = !text.contains(u'\r') && text.contains(u'\n');
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != (unix ? u'\n' : u'\r')) {
            line += text[i];
            continue;
        }
        lines.append(line);
        line.clear();
        if (!unix && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

// Every item of every batch, read in batches of `batchBytes`, and how many there were.
struct Batched
{
    QStringList items;
    qsizetype counted = 0;
    DamagedText damage;
};

// With a `helper`, batches come two at a time, the second decoded on it.
Batched allBatches(const QByteArray& bytes, qsizetype batchBytes, HelperThread* helper = nullptr)
{
    ListFileScan scan;
    for (qsizetype read = 0; read < bytes.size(); read += 5)
        scan.add(QByteArrayView(bytes).first(std::min(bytes.size(), read + 5)));
    const ListFileFormat format = scan.finish(bytes);
    Batched result;
    result.counted = format.items;
    ListFileLines lines(bytes, format);
    const auto add = [&](const TextBatch& batch) {
        for (const TextRef& item : batch.texts)
            result.items.append(item.view().toString());
    };
    while (!lines.atEnd()) {
        if (!helper) {
            add(lines.nextBatch(batchBytes));
            continue;
        }
        for (const TextBatch& batch : lines.nextBatches(
                 *helper, [] {}, batchBytes))
            add(batch);
    }
    result.damage = lines.damage();
    return result;
}

// The format the scan tells when it is shown the bytes as a file's parts are read: each
// look starts no later than the first byte the looks before left unlooked at. In a file of
// bytes, a look may start right after a line end, where a part is cut.
ListFileFormat scannedInWindows(const QByteArray& bytes, bool byteUnits, QRandomGenerator& random)
{
    ListFileScan scan;
    qsizetype start = 0;
    qsizetype end = 0;
    while (end < bytes.size()) {
        end = std::min(bytes.size(), end + random.bounded(1, 40));
        scan.add(QByteArrayView(bytes).sliced(start, end - start), start);
        const bool afterLineEnd =
            byteUnits && end >= 3 && (bytes[end - 1] == '\n' || bytes[end - 1] == '\r');
        start = afterLineEnd && random.bounded(2) == 0
                    ? end
                    : std::max(start, end - 4 - random.bounded(0, 8));
    }
    return scan.finish(QByteArrayView(bytes).sliced(start), start);
}

// This process's address space in use, in bytes (VmSize).
[[maybe_unused]] qint64 memoryInUse()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmSize:"))
            return line.mid(7).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

QByteArray utf16(const QString& text, bool littleEndian = true)
{
    QByteArray bytes(littleEndian ? "\xFF\xFE" : "\xFE\xFF");
    for (const QChar c : text) {
        const char low = char(c.unicode() & 0xFF);
        const char high = char(c.unicode() >> 8);
        bytes += littleEndian ? low : high;
        bytes += littleEndian ? high : low;
    }
    return bytes;
}

} // namespace

class ListFileTest : public QObject
{
    Q_OBJECT
private slots:
    void windows1252RoundTripsEveryByte();
    void unitSearchFindsTheFirstAnywhere();
    void utf8CheckAgreesWithQt();
    void lineRules_data();
    void lineRules();
    void everyByteSurvivesLoadAndSave();
    void lineEndsAcrossBlockBoundaries_data();
    void lineEndsAcrossBlockBoundaries();
    void batchesSplitLikeOneByteAtATime();
    void sharedLooksTellWhatOneLookTells();
    void encodingsChosenFromTheBytes_data();
    void encodingsChosenFromTheBytes();
    void loadedTextRoundTripsThroughSavesAndCopy();
    void sameTextMatchesAcrossEncodings();
    void characterAcrossTheReadBlockBoundary();
    void longLinesLoadWholeWhileTheWindowRuns_data();
    void longLinesLoadWholeWhileTheWindowRuns();
    void onlyRegularFilesAreRead();
    void fileTooLargeForTheMemoryLeftAddsNothing();
    void memoryRunningOutHalfwayAddsNothing();
    // After the tests that limit the memory: its large files leave free memory in the heap,
    // which would make room under the limits.
    void largeFilesDecideByTheirLastBlocks_data();
    void largeFilesDecideByTheirLastBlocks();
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
    void fileThatGrowsWhileReadLoadsWhole();
    void rowsStayInPlaceWhileLoading();
    void largeFilesAreReadIntoTheMemoryTheLastLeft();
    void hundredsOfFiles();
};

void ListFileTest::windows1252RoundTripsEveryByte()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const QString text = decodeWindows1252(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(text.toLatin1().size(), 256);

    QCOMPARE(text.at(0x80), QChar(0x20AC));
    QCOMPARE(text.at(0x9F), QChar(0x0178));
    for (int undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        QCOMPARE(text.at(undefined).unicode(), char16_t(undefined));
    QCOMPARE(text.at(0xE9), QChar(0x00E9));

    // Sixteen bytes go at a time, the rest one by one: every byte at every place in a
    // chunk decodes as it does alone.
    for (int offset = 0; offset < 16; ++offset) {
        const QByteArray bytes = QByteArray(offset, 'x') + all + all;
        const QString decoded = decodeWindows1252(bytes);
        for (qsizetype i = 0; i < bytes.size(); ++i)
            QCOMPARE(decoded.at(i), decodeWindows1252(bytes.sliced(i, 1)).at(0));
    }
}

// Every character of up to three bytes, and four-byte ones at the edges of their ranges,
// alone and among ASCII and two-byte characters at every place of a sixteen-byte step, then
// random mixtures: the check agrees with Qt's on each.
void ListFileTest::utf8CheckAgreesWithQt()
{
    const QByteArray around = "ab\xC3\xA9"
                              "cdefghij\xC3\xBC"
                              "klmnopq";
    int disagreements = 0;
    const auto check = [&](const QByteArray& sequence) {
        for (const int at : {0, 1, 13, 14, 15, 16, 17}) {
            const QByteArray bytes = around.left(at) + sequence + around;
            if (isValidUtf8(bytes) != QByteArrayView(bytes).isValidUtf8() && ++disagreements < 5)
                qWarning() << "disagree on" << bytes.toHex(' ');
        }
    };
    for (int lead = 0; lead < 256; ++lead) {
        check(QByteArray(1, char(lead)));
        for (int second = 0; second < 256; ++second) {
            const QByteArray two = QByteArray(1, char(lead)) + char(second);
            check(two);
            if (lead >= 0xE0 && lead <= 0xEF) {
                for (int third = 0; third < 256; third += (third >= 0x7E && third <= 0xC1) ? 1 : 7)
                    check(two + char(third));
            }
            if (lead >= 0xF0 && lead <= 0xF7) {
                for (const char rest : {'\x7F', '\x80', '\xBF', '\xC0'}) {
                    check(two + rest + '\x80');
                    check(two + '\x80' + rest);
                }
            }
        }
    }
    QRandomGenerator random(20261209);
    const QList<QByteArray> pieces = {
        "a",    "\r\n", "\xC3\xA9",     "\xE2\x82\xAC",    "\xF0\x9F\x8D\x8E",
        "\x80", "\xC3", "\xED\xA0\x80", "\xF4\x90\x80\x80"};
    for (int i = 0; i < 20000; ++i) {
        QByteArray bytes;
        const int count = int(random.bounded(40));
        for (int k = 0; k < count; ++k) {
            const quint32 draw = random.bounded(100);
            bytes += pieces.at(draw < 60 ? 0 : draw < 85 ? 2 : int(1 + random.bounded(8)));
        }
        if (isValidUtf8(bytes) != QByteArrayView(bytes).isValidUtf8() && ++disagreements < 5)
            qWarning() << "disagree on" << bytes.toHex(' ');
    }
    QCOMPARE(disagreements, 0);
}

// Line ends and surrogates are searched for eight units at a time, the rest one by one:
// the first match is found wherever it lies, and only a match counts.
void ListFileTest::unitSearchFindsTheFirstAnywhere()
{
    for (qsizetype size = 0; size <= 40; ++size) {
        std::u16string units(size_t(size), u'x');
        QCOMPARE(findUnit(units.data(), size, 0xFFFF, u'\n'), units.data() + size);
        for (qsizetype at = 0; at < size; ++at) {
            std::u16string withEnd = units;
            withEnd[size_t(at)] = u'\n';
            if (at + 3 < size)
                withEnd[size_t(at + 3)] = u'\n';
            QCOMPARE(findUnit(withEnd.data(), size, 0xFFFF, u'\n') - withEnd.data(), at);
            std::u16string withSurrogate = units;
            withSurrogate[size_t(at)] = char16_t(0xDC00 + at);
            QCOMPARE(findUnit(withSurrogate.data(), size, 0xF800, 0xD800) - withSurrogate.data(),
                     at);
            QCOMPARE(findUnit(withSurrogate.data(), size, 0xFFFF, u'\n'),
                     withSurrogate.data() + size);
        }
    }
}

void ListFileTest::lineRules_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("CR LF with a blank line")
        << QByteArray("a\r\n\r\na\r\n") << QStringList{u"a"_s, u""_s, u"a"_s};
    QTest::newRow("CR only") << QByteArray("one\rtwo\rthree\r")
                             << QStringList{u"one"_s, u"two"_s, u"three"_s};
    QTest::newRow("LF only: a Unix file")
        << QByteArray("one\ntwo\n") << QStringList{u"one"_s, u"two"_s};
    QTest::newRow("Unix blank line and no final LF")
        << QByteArray("a\n\nb") << QStringList{u"a"_s, u""_s, u"b"_s};
    QTest::newRow("Unix only an LF") << QByteArray("\n") << QStringList{u""_s};
    QTest::newRow("one CR among LFs: the LFs stay inside")
        << QByteArray("a\nb\nc\rd\ne\n") << QStringList{u"a\nb\nc"_s, u"d\ne\n"_s};
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
    QTest::newRow("byte-order mark is not text") << QByteArray("\xEF\xBB\xBF"
                                                               "a\r\nb")
                                                 << QStringList{u"a"_s, u"b"_s};
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
    // Windows-1252 text with every byte but CR: the text comes back, now in UTF-8.
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
        QCOMPARE(SystemText::append(item, saved), 0);
        saved += "\r\n";
    }
    QCOMPARE(saved, decodeWindows1252(bytes).toUtf8());
    QVERIFY(f.host.messages.isEmpty());
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
    QTest::newRow("LF opening the next block, a Unix file")
        << longLine + "x\nz" << QStringList{u"z"_s};
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

void ListFileTest::largeFilesDecideByTheirLastBlocks_data()
{
    // Files of several read blocks, looked at and decoded on two threads, whose format
    // turns on a byte far from the start.
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QByteArray unix;
    QByteArray accented;
    QString text;
    for (int i = 0; i < 250000; ++i) {
        unix += "item " + QByteArray::number(i) + '\n';
        accented += "caf\xC3\xA9 " + QByteArray::number(i) + "\r\n";
        text += (i == 120000 ? u"\xD800"_s : u"\u00E9\U0001F34E"_s) + QString::number(i) + u"\r\n";
    }
    QTest::newRow("a CR in the last block keeps LFs inside items") << unix + "last\r\n"
                                                                   << QString();
    QTest::newRow("one byte that is not UTF-8 makes the file legacy")
        << accented.left(accented.size() - 100) + "\xE9" + accented.right(100) << QString();
    QTest::newRow("damage far in is reported on its line")
        << utf16(text)
        << u"1 place in big.txt could not be read as text and shows as \"\uFFFD\"; it is on "
           "line 120001."_s;

    // Files of several parts, each part cut after its last whole line (see ListFile.cpp).
    constexpr qsizetype kPart = kListFileBlockCharacters * qsizetype(sizeof(QChar));
    QRandomGenerator random(20261210);
    const auto randomLines = [&](qsizetype bytes, auto&& addLine) {
        QByteArray file;
        while (file.size() < bytes)
            addLine(file, random.bounded(0, 200));
        return file;
    };
    QTest::newRow("CR LF, lone CR and lone LF lines across parts")
        << randomLines(2 * kPart + 12345,
                       [&](QByteArray& file, int length) {
                           file += QByteArray(length, char('a' + length % 26));
                           const int end = random.bounded(10);
                           file += end < 8 ? "\r\n" : end == 8 ? "\r" : "\n";
                       })
        << QString();
    QTest::newRow("LFs for more than a part before the first CR")
        << unix.repeated(4).left(kPart + 99) + "\r\n" + accented.left(200000) << QString();
    QByteArray astride;
    while (astride.size() + 100 < kPart - 1)
        astride += QByteArray(98, 'x') + "\r\n";
    astride += QByteArray(kPart - 1 - astride.size(), 'y') + "\r\n" + accented.left(300000);
    QTest::newRow("a CR LF astride the first cut") << astride << QString();
    QTest::newRow("a line longer than a part")
        << accented.left(3000000) + QByteArray(kPart + 4000000, 'z') + "\r\n" +
               accented.left(3000000)
        << QString();
    QString wide;
    const QList<char16_t> units = {u'a', u'\r', u'\n', 0xE9, 0x0D0A, 0x0A0D, 0xFEFF};
    while (wide.size() < kPart / 2 + 300000) {
        for (int i = random.bounded(0, 60); i > 0; --i)
            wide += QChar(units[random.bounded(int(units.size()))]);
        wide += random.bounded(4) == 0 ? u"\U0001F34E\r\n"_s : u"\r\n"_s;
    }
    QTest::newRow("UTF-16 lines across parts") << utf16(wide) << QString();
    QTest::newRow("UTF-16 big-endian Unix lines across parts")
        << utf16(QString::fromLatin1(unix.repeated(4).left(kPart / 2 + 500000)), false)
        << QString();
    QByteArray marked = "\xEF\xBB\xBF" + accented.repeated(4).left(kPart + 700000);
    const qsizetype bad = marked.indexOf("\r\n", kPart + 300000) + 2;
    marked.insert(bad, "\xC3");
    const QString badLine = QString::number(marked.left(bad).count("\r\n") + 1);
    QTest::newRow("damage in a later part is reported on its line")
        << marked
        << u"1 place in big.txt could not be read as text and shows as \"\uFFFD\"; it is on "
           "line "_s +
               badLine + u'.';
}

void ListFileTest::largeFilesDecideByTheirLastBlocks()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QVERIFY(bytes.size() > 2 * kListFileBlockBytes);
    QTemporaryDir dir;
    Fixture f;
    FileToListbox(f.ws->listView1, writeFile(dir.path(), u"big.txt"_s, bytes), f.runtime);
    QCOMPARE(textsOf(f.ws->listView1), referenceLines(bytes));
    QStringList messages;
    for (const MessageRequest& m : f.host.messages)
        messages.append(m.text);
    QCOMPARE(messages, message.isEmpty() ? QStringList() : QStringList{message});
}

void ListFileTest::batchesSplitLikeOneByteAtATime()
{
    QRandomGenerator random(20240611);
    HelperThread helper;
    // Byte files: legacy, UTF-8 with and without a mark, Unix and CR line ends. The first
    // nine pieces are whole UTF-8 sequences.
    const QList<QByteArray> pieces = {"a",
                                      "b",
                                      "\r",
                                      "\n",
                                      " ",
                                      "\xC3\xA9",
                                      "\xE2\x82\xAC",
                                      "\xF0\x9F\x8D\x8E",
                                      "\xEF\xBB\xBF",
                                      "\xE9",
                                      "\x81"};
    // UTF-16 files: CR and LF units, a pair, its halves alone, units whose low byte is CR.
    const QList<char16_t> units = {u'a',   u'\r',  u'\n',  0xE9,  0xD83C,
                                   0xDF4E, 0x0D0A, 0x0A0D, 0xFEFF};
    for (int round = 0; round < 120; ++round) {
        QByteArray bytes;
        const int length = random.bounded(0, 300);
        const int kind = round % 4;
        if (kind < 2) {
            if (kind == 1)
                bytes = "\xEF\xBB\xBF";
            // Every other round draws only whole UTF-8 sequences, so that the file is
            // UTF-8 through and through and decoded as such.
            const int drawn = round % 8 < 4 ? 9 : int(pieces.size());
            for (int i = 0; i < length; ++i)
                bytes += pieces[random.bounded(drawn)];
        } else {
            QString text;
            for (int i = 0; i < length; ++i)
                text += QChar(units[random.bounded(int(units.size()))]);
            bytes = utf16(text, kind == 2);
            if (random.bounded(3) == 0)
                bytes += 'x'; // cut off in the middle of a unit
        }
        const QStringList expected = referenceLines(bytes);
        const ListFileFormat whole = ListFileScan().finish(bytes);
        const ListFileFormat windowed = scannedInWindows(bytes, kind < 2, random);
        QCOMPARE(windowed.encoding, whole.encoding);
        QCOMPARE(windowed.markBytes, whole.markBytes);
        QCOMPARE(windowed.unixLines, whole.unixLines);
        QCOMPARE(windowed.validUtf8, whole.validUtf8);
        QCOMPARE(windowed.mayHaveSurrogates, whole.mayHaveSurrogates);
        QCOMPARE(windowed.items, whole.items);
        const DamagedText damage = allBatches(bytes, 1000000).damage;
        for (qsizetype batchBytes : {qsizetype(1), qsizetype(2), qsizetype(7), qsizetype(1000)}) {
            const Batched batched = allBatches(bytes, batchBytes);
            QCOMPARE(batched.items, expected);
            QCOMPARE(batched.counted, expected.size());
            const Batched paired = allBatches(bytes, batchBytes, &helper);
            QCOMPARE(paired.items, expected);
            QCOMPARE(paired.damage.places, damage.places);
            QCOMPARE(paired.damage.firstLine, damage.firstLine);
        }
    }
    // A last part that holds only the end of the last line end, or nothing.
    for (const QByteArray& bytes :
         {"ab\r\n"_ba, "a\r\nb\r"_ba, "a\nb\n"_ba, "\xEF\xBB\xBFx\r\n"_ba}) {
        for (qsizetype cut = 1; cut <= bytes.size(); ++cut) {
            if (cut < 3 || (bytes[cut - 1] != '\r' && bytes[cut - 1] != '\n'))
                continue;
            ListFileScan scan;
            scan.add(QByteArrayView(bytes).first(cut));
            const ListFileFormat parted = scan.finish(QByteArrayView(bytes).sliced(cut), cut);
            const ListFileFormat whole = ListFileScan().finish(bytes);
            QCOMPARE(parted.items, whole.items);
            QCOMPARE(parted.unixLines, whole.unixLines);
        }
    }
}

// Files of hundreds of kilobytes looked at as a reader with a helper does: the bytes of
// each read after the first shared out in pieces to two threads. The format is the one a
// single look at the whole file tells, whatever characters the pieces' cuts fall among.
void ListFileTest::sharedLooksTellWhatOneLookTells()
{
    QRandomGenerator random(20261210);
    HelperThread helper;
    const QList<QByteArray> pieces = {
        "ab", "\r\n", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x8D\x8E", "x\xC3\xA9\xC3\xBC"};
    const QList<char16_t> units = {u'a', u'\r', u'\n', 0xE9, 0x5317, 0x0D0A};
    for (int round = 0; round < 12; ++round) {
        const int kind = round % 6;
        QByteArray bytes;
        if (kind < 3) {
            while (bytes.size() < 600000)
                bytes += pieces[random.bounded(int(pieces.size()))];
            if (kind == 1)
                bytes.replace("\r\n", "\n");
            if (kind == 2) // one byte that is not UTF-8, past the first read
                bytes[random.bounded(bytes.size() / 2, bytes.size())] = '\xFF';
        } else {
            QString text;
            while (text.size() < 300000)
                text += QChar(units[random.bounded(int(units.size()))]);
            if (kind == 5) // one half of a pair, past the first read
                text[random.bounded(text.size() / 2, text.size())] = QChar(0xDC00);
            bytes = utf16(text, round % 2 == 0);
        }
        const ListFileFormat whole = ListFileScan().finish(bytes);
        ListFileScan scan;
        qsizetype end = 0;
        while (end < bytes.size()) {
            end = std::min(bytes.size(), end + random.bounded(50000, 300000));
            const QByteArrayView shown = QByteArrayView(bytes).first(end);
            ListFileScan::Share share;
            scan.share(share, shown);
            helper.start([&share] { share.lookAtPieces(); });
            scan.add(shown);
            share.lookAtPieces();
            helper.wait();
            scan.take(share);
        }
        const ListFileFormat shared = scan.finish(bytes);
        QCOMPARE(shared.encoding, whole.encoding);
        QCOMPARE(shared.validUtf8, whole.validUtf8);
        QCOMPARE(shared.mayHaveSurrogates, whole.mayHaveSurrogates);
        QCOMPARE(shared.unixLines, whole.unixLines);
        QCOMPARE(shared.items, whole.items);
        QVERIFY(whole.items > 1000);
    }
}

void ListFileTest::encodingsChosenFromTheBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("message");
    const QByteArray names = "Jos\xC3\xA9 M\xC3\xBCller\r\nFran\xC3\xA7ois C\xC3\xB4t\xC3\xA9\r\n"
                             "\xE5\x8C\x97\xE4\xBA\xAC\r\n";
    const QStringList decoded{u"Jos\u00E9 M\u00FCller"_s, u"Fran\u00E7ois C\u00F4t\u00E9"_s,
                              u"\u5317\u4EAC"_s};
    QTest::newRow("UTF-8") << names << decoded << QString();
    QTest::newRow("UTF-8 with a mark, Unix lines")
        << QByteArray("\xEF\xBB\xBF") + QByteArray(names).replace("\r\n", "\n") << decoded
        << QString();
    QTest::newRow("UTF-16 LE with a mark")
        << utf16(decoded.join(u"\r\n"_s)) << decoded << QString();
    QTest::newRow("UTF-16 BE with a mark")
        << utf16(decoded.join(u"\n"_s) + u"\n"_s, false) << decoded << QString();
    QTest::newRow("UTF-16 line rules: CR is 0D 00")
        << utf16(u"a\nb\rc\r\nd\u0D0Ax\u0A0D\r\n"_s)
        << QStringList{u"a\nb"_s, u"c"_s, u"d\u0D0Ax\u0A0D"_s} << QString();
    QTest::newRow("Windows-1252 with high bytes")
        << QByteArray("caf\xE9 \x80\r\n\x93quoted\x94\r\n")
        << QStringList{u"caf\u00E9 \u20AC"_s, u"\u201Cquoted\u201D"_s} << QString();
    QTest::newRow("UTF-8 but for one byte near the end is Windows-1252 whole")
        << QByteArray("Jos\xC3\xA9\r\ncaf\xE9\r\n")
        << QStringList{u"Jos\u00C3\u00A9"_s, u"caf\u00E9"_s} << QString();
    QTest::newRow("a UTF-8 mark alone") << QByteArray("\xEF\xBB\xBF") << QStringList{} << QString();
    QTest::newRow("a UTF-16 mark alone") << QByteArray("\xFF\xFE") << QStringList{} << QString();
    QTest::newRow("U+FEFF inside the text is kept")
        << QByteArray("a\r\n\xEF\xBB\xBF"
                      "b\r\n")
        << QStringList{u"a"_s, u"\uFEFFb"_s} << QString();
    QTest::newRow("UTF-16 with an odd byte count")
        << utf16(u"ab\r\ncd"_s) + 'x' << QStringList{u"ab"_s, u"cd\uFFFD"_s}
        << u"1 place in list.txt could not be read as text and shows as \"\uFFFD\"; it is on "
           u"line 2."_s;
    QTest::newRow("UTF-16 with unpaired surrogates")
        << utf16(u"ok\r\n"_s + QChar(0xD800) + u"x\r\ny"_s + QChar(0xDC00) + u"\r\n\U0001F34E"_s)
        << QStringList{u"ok"_s, u"\uFFFDx"_s, u"y\uFFFD"_s, u"\U0001F34E"_s}
        << u"2 places in list.txt could not be read as text and show as \"\uFFFD\"; the first "
           u"is on line 2."_s;
    // Far into the file, where the scan for surrogates goes sixteen bytes at a time.
    const QString far = QString(5001, u'a') + u"\r\nb"_s + QChar(0xDC00) + u"\r\nc"_s;
    const QStringList farItems{QString(5001, u'a'), u"b\uFFFD"_s, u"c"_s};
    const QString farMessage = u"1 place in list.txt could not be read as text and shows as "
                               u"\"\uFFFD\"; it is on line 2."_s;
    QTest::newRow("UTF-16 LE, an unpaired surrogate far in")
        << utf16(far) << farItems << farMessage;
    QTest::newRow("UTF-16 BE, an unpaired surrogate far in")
        << utf16(far, false) << farItems << farMessage;
}

void ListFileTest::encodingsChosenFromTheBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, items);
    QFETCH(QString, message);
    QTemporaryDir dir;
    Fixture f;
    fill(f.ws->listView1, {u"existing"_s});
    FileToListbox(f.ws->listView1, writeFile(dir.path(), u"list.txt"_s, bytes), f.runtime);
    QCOMPARE(textsOf(f.ws->listView1), QStringList{u"existing"_s} + items);
    QCOMPARE(f.host.messageTexts(), message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(f.errors.reports.isEmpty());
}

void ListFileTest::loadedTextRoundTripsThroughSavesAndCopy()
{
    // A UTF-8 list whose items all reach Results comes back byte for byte, and a
    // Windows-1252 one as the same text in UTF-8.
    const QList<QByteArray> utf8Lines = {"Jos\xC3\xA9 M\xC3\xBCller", "\tK\xC3\xB6ln, 50667",
                                         "\xE5\x8C\x97\xE4\xBA\xAC", "\xF0\x9F\x8D\x8E apple",
                                         "plain"};
    const QList<QByteArray> legacyLines = {"caf\xE9", "\x80 5", "na\xEFve"};
    for (const bool legacy : {false, true}) {
        const QList<QByteArray>& lines = legacy ? legacyLines : utf8Lines;
        QTemporaryDir dir;
        Fixture f;
        const QString list = writeFile(dir.path(), u"list.txt"_s, lines.join("\r\n") + "\r\n");
        FileToListbox(f.ws->listView1, list, f.runtime);
        FileToListbox(f.ws->listView2, list, f.runtime);
        PushButton11_Click(*f.ws);
        QCOMPARE(f.ws->listView3.count(), int(lines.size()));
        f.host.saveAnswers = {dir.filePath(u"out.csv"_s)};
        PushButton9_Click(*f.ws);
        const QByteArray joined = lines.join(",\r\n") + "\r\n";
        const QByteArray expected = legacy ? decodeWindows1252(joined).toUtf8() : joined;
        QCOMPARE(fileBytes(dir.filePath(u"out.csv"_s)), expected);

        // The clipboard carries the text as the panes hold it.
        PushButton6_Click(*f.ws);
        QCOMPARE(f.host.clipboard, textsOf(f.ws->listView1).join(u"\r\n"_s) + u"\r\n"_s);
        QVERIFY(f.errors.reports.isEmpty());
    }
}

void ListFileTest::sameTextMatchesAcrossEncodings()
{
    QTemporaryDir dir;
    Fixture f;
    FileToListbox(f.ws->listView1,
                  writeFile(dir.path(), u"utf8.txt"_s,
                            "Jos\xC3\xA9 M\xC3\xBCller\nFran\xC3\xA7ois C\xC3\xB4t\xC3\xA9\n"
                            "Jose\xCC\x81\n"),
                  f.runtime);
    FileToListbox(f.ws->listView2,
                  writeFile(dir.path(), u"legacy.txt"_s, "Fran\xE7ois C\xF4t\xE9\r\nJos\xE9\r\n"),
                  f.runtime);
    FileToListbox(f.ws->listView2,
                  writeFile(dir.path(), u"utf16.txt"_s, utf16(u"Jos\u00E9 M\u00FCller\r\n"_s)),
                  f.runtime);
    PushButton11_Click(*f.ws);
    // A decomposed "e" and accent is other text than the composed one, as before.
    QCOMPARE(textsOf(f.ws->listView3),
             (QStringList{u"Jos\u00E9 M\u00FCller"_s, u"Fran\u00E7ois C\u00F4t\u00E9"_s}));
}

void ListFileTest::characterAcrossTheReadBlockBoundary()
{
    // The first read block ends inside the two bytes of an "é".
    const QByteArray bytes = QByteArray(kListFileBlockBytes - 1, 'a') + "\xC3\xA9\r\nend";
    QTemporaryDir dir;
    Fixture f;
    FileToListbox(f.ws->listView1, writeFile(dir.path(), u"block.txt"_s, bytes), f.runtime);
    QCOMPARE(f.ws->listView1.count(), 2);
    QCOMPARE(f.ws->listView1.text(1), QString(kListFileBlockBytes - 1, u'a') + u"\u00E9"_s);
    QCOMPARE(f.ws->listView1.text(2), u"end"_s);
}

void ListFileTest::longLinesLoadWholeWhileTheWindowRuns_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("line");
    // Characters of one to four bytes, so that pieces of the line could fall inside one.
    QString text;
    while (text.size() < 3 * kListFileLongLineBytes / 4)
        text += u"\u00E9\u5317\U0001F34Ea\n"_s;
    QTest::newRow("UTF-8") << text.toUtf8() + "\r\nnext" << text;
    QTest::newRow("UTF-16 with pairs") << utf16(text + u"\r\nnext"_s) << text;
    const QByteArray legacy(kListFileLongLineBytes * 2, '\xE9');
    QTest::newRow("Windows-1252") << legacy + "\r\nnext" << decodeWindows1252(legacy);
}

void ListFileTest::longLinesLoadWholeWhileTheWindowRuns()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, line);
    QVERIFY(bytes.size() > kListFileLongLineBytes);
    QTemporaryDir dir;
    Fixture f;
    // Dispatch points while the file is in memory but the line is not yet in the pane: the
    // reading of the blocks accounts for one each, the decoding of the line for the rest.
    const qsizetype readingYields = bytes.size() / kListFileBlockBytes + 2;
    int yieldsBeforeTheLine = 0;
    f.pump.every = [&](int) { yieldsBeforeTheLine += f.ws->listView1.count() == 0 ? 1 : 0; };
    FileToListbox(f.ws->listView1, writeFile(dir.path(), u"long.txt"_s, bytes), f.runtime);
    QCOMPARE(f.ws->listView1.count(), 2);
    QCOMPARE(f.ws->listView1.text(1), line);
    QCOMPARE(f.ws->listView1.text(2), u"next"_s);
    QVERIFY2(yieldsBeforeTheLine > readingYields + 1,
             qPrintable(QString::number(yieldsBeforeTheLine)));
    QVERIFY(f.host.messages.isEmpty());
}

void ListFileTest::onlyRegularFilesAreRead()
{
    // A named pipe would wait for a writer for ever, and /dev/zero would never end.
    QTemporaryDir dir;
    const QString pipe = dir.filePath(u"pipe.txt"_s);
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    writeFile(dir.path(), u"a.txt"_s, "a");
    writeFile(dir.path(), u"b.txt"_s, "b");
    Fixture f;
    f.host.openAnswers.push_back(dir.path() + kNul + u"a.txt"_s + kNul + u"pipe.txt"_s + kNul +
                                 u"b.txt"_s);
    PushButton3_Click(*f.ws);
    QCOMPARE(textsOf(f.ws->listView1), (QStringList{u"a"_s, u"b"_s}));
    FileToListbox(f.ws->listView2, u"/dev/zero"_s, f.runtime);
    QCOMPARE(f.ws->listView2.count(), 0);
    QCOMPARE(f.errors.descriptions(), (QStringList{u"Not a regular file (a named pipe)"_s,
                                                   u"Not a regular file (a character device)"_s}));
    QCOMPARE(f.errors.reports.first().location, u"Main.FileToListbox"_s);
    QCOMPARE(f.errors.reports.first().label, 102);
    QCOMPARE(f.errors.reports.last().label, 102);
    QVERIFY(f.host.messages.isEmpty());
    QCOMPARE(f.ws->mousePointer.value(), MousePointer::Default);
}

void ListFileTest::fileTooLargeForTheMemoryLeftAddsNothing()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    QSKIP("A sanitizer needs its own address space; no limit can be set under it");
#else
    QTemporaryDir dir;
    // 64 MiB of text cannot fit in 120 MiB more; 30 MiB of two-byte lines seems to, but
    // its 240 MiB of rows do not, not even with what earlier tests left free in the heap.
    const QString big = writeFile(dir.path(), u"big.txt"_s, QByteArray(64 << 20, 'x'));
    QByteArray manyLines;
    manyLines.reserve(30 << 20);
    while (manyLines.size() < (30 << 20))
        manyLines += "a\n";
    const QString many = writeFile(dir.path(), u"many.txt"_s, manyLines);
    manyLines.clear();
    manyLines.squeeze();

    Fixture f;
    fill(f.ws->listView1, {u"kept"_s});
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_AS, &old), 0);
    rlimit limited = old;
    limited.rlim_cur = rlim_t(memoryInUse() + (qint64(120) << 20));
    QCOMPARE(setrlimit(RLIMIT_AS, &limited), 0);
    FileToListbox(f.ws->listView1, big, f.runtime);
    FileToListbox(f.ws->listView1, many, f.runtime);
    setrlimit(RLIMIT_AS, &old);

    QCOMPARE(textsOf(f.ws->listView1), QStringList{u"kept"_s});
    QCOMPARE(f.errors.reports.size(), 2);
    QVERIFY(f.errors.reports.at(0).description.startsWith(
        u"Not enough memory to load this file: it needs about 192 MB, and "_s));
    QCOMPARE(f.errors.reports.at(0).label, 102);
    QCOMPARE(f.errors.reports.at(1).description, u"Out of memory"_s);
    QVERIFY(f.errors.reports.at(1).label >= 108);
#endif
}

void ListFileTest::memoryRunningOutHalfwayAddsNothing()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    QSKIP("A sanitizer needs its own address space; no limit can be set under it");
#else
    // Sixteen million lines, whose rows have room from the start; the memory runs out once
    // the first have been appended, while the text of the later ones is decoded.
    QTemporaryDir dir;
    QByteArray lines;
    lines.reserve(64 << 20);
    while (lines.size() < (64 << 20))
        lines += "ab\r\n";
    const QString path = writeFile(dir.path(), u"lines.txt"_s, lines);
    lines = QByteArray();
    // Spares that earlier tests left would be freed while the file loads, and make room;
    // so would memory that the heap took from the system for earlier tests and still
    // holds, unless blocks this size come from the system afresh.
    SpareBlocks::shared().releaseAll();
    SpareBlocks::forFileBytes().releaseAll();
    releaseSpareRowTables();
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    malloc_trim(0);
#endif

    Fixture f;
    fill(f.ws->listView1, {u"before"_s});
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_AS, &old), 0);
    bool limited = false;
    f.pump.every = [&](int) {
        if (limited || f.ws->listView1.count() < 2)
            return;
        rlimit tight = old;
        tight.rlim_cur = rlim_t(memoryInUse() + (qint64(1) << 20));
        limited = setrlimit(RLIMIT_AS, &tight) == 0;
    };
    FileToListbox(f.ws->listView1, path, f.runtime);
    setrlimit(RLIMIT_AS, &old);

    QVERIFY(limited);
    QCOMPARE(textsOf(f.ws->listView1), QStringList{u"before"_s});
    QCOMPARE(f.errors.reports.size(), 1);
    QCOMPARE(f.errors.reports.at(0).description, u"Out of memory"_s);
    QCOMPARE(f.errors.reports.at(0).label, 110);
#endif
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
    // As root, the rights checked are another user's, who may look into the folder.
    QVERIFY(QFile::setPermissions(
        dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    const bool asRoot = ::geteuid() == 0;
    if (asRoot)
        ::setfsuid(65534);
    Fixture f;
    FileToListbox(f.ws->listView1, path, f.runtime);
    if (asRoot)
        ::setfsuid(0);
    QCOMPARE(f.errors.descriptions(), QStringList{u"Permission denied"_s});
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
    // Lines longer than a batch, then a short one. Clearing the pane after the first
    // batches leaves the later ones appended after the clear, however many came at once.
    QTemporaryDir dir;
    const QStringList lines = {QString(kListFileBlockBytes + 10, u'x'),
                               QString(kListFileBlockBytes, u'y'), u"short"_s};
    Fixture f;
    f.host.openAnswers.push_back(
        writeFile(dir.path(), u"three.txt"_s, lines.join(u"\r\n").toLatin1() + "\r\n"));
    qsizetype countBeforeClear = -1;
    f.pump.every = [&](int) {
        if (countBeforeClear < 0 && f.ws->listView1.count() > 0) {
            countBeforeClear = f.ws->listView1.count();
            f.ws->listView1.clear();
        }
    };
    PushButton3_Click(*f.ws);
    QVERIFY(countBeforeClear > 0 && countBeforeClear < lines.size());
    QCOMPARE(textsOf(f.ws->listView1), lines.sliced(countBeforeClear));
}

// Lines written to the file while it is read, past the room its size asked for: the bytes
// read before move along into larger room and every line arrives, once and in order, as
// at a status file under /proc, whose size reads 0.
void ListFileTest::fileThatGrowsWhileReadLoadsWhole()
{
    QStringList lines;
    QByteArray first;
    QByteArray later;
    for (int i = 0; i < 600000; ++i) {
        lines.append(u"line "_s + QString::number(i) + u" \u00e9"_s);
        (i < 200000 ? first : later) += lines.last().toUtf8() + "\n";
    }
    QTemporaryDir dir;
    const QString path = writeFile(dir.path(), u"growing.txt"_s, first);
    Fixture f;
    f.pump.at[1] = [&] {
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        QCOMPARE(file.write(later), later.size());
    };
    FileToListbox(f.ws->listView1, path, f.runtime);
    QCOMPARE(textsOf(f.ws->listView1), lines);
    QVERIFY(f.errors.reports.isEmpty());

    FileToListbox(f.ws->listView2, u"/proc/self/status"_s, f.runtime);
    QVERIFY(f.ws->listView2.count() > 5);
    QVERIFY(f.ws->listView2.text(1).startsWith(u"Name:"_s));
}

void ListFileTest::largeFilesAreReadIntoTheMemoryTheLastLeft()
{
    // Two files of many parts, the second a little longer, as two lists exported alike
    // often are: the parts the first was read into are lent to the second.
    QByteArray bytes;
    const QByteArray line = QByteArray(98, 'x') + "\r\n";
    while (bytes.size() < (qsizetype(70) << 20))
        bytes += line;
    QTemporaryDir dir;
    const QString shorter = writeFile(dir.path(), u"shorter.txt"_s, bytes);
    bytes += line.repeated(10);
    const QString longer = writeFile(dir.path(), u"longer.txt"_s, bytes);
    const qsizetype lines = bytes.size() / line.size();
    bytes = QByteArray();

    SpareBlocks& spares = SpareBlocks::shared();
    spares.releaseAll();
    Fixture f;
    FileToListbox(f.ws->listView1, shorter, f.runtime);
    QCOMPARE(f.ws->listView1.count(), lines - 10);
    const qsizetype kept = spares.spareCharacters();
    if (kept == 0)
        QSKIP("This machine's memory leaves no room for such spares");
    QVERIFY(kept * qsizetype(sizeof(QChar)) >= (qsizetype(70) << 20));
    FileToListbox(f.ws->listView2, longer, f.runtime);
    QCOMPARE(f.ws->listView2.count(), lines);
    QCOMPARE(f.ws->listView2.text(lines), QString(98, u'x'));
    QCOMPARE(spares.spareCharacters(), kept); // the same memory, given back again
    QVERIFY(f.errors.reports.isEmpty());
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

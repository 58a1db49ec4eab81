#include "ExportTestSupport.h"
#include "TestDoubles.h"

#include "export/ResultFile.h"
#include "export/SaveComma.h"
#include "export/SaveList.h"
#include "platform/AppError.h"
#include "platform/Windows1252.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

namespace {

const QString kPath = u"C:\\Out\\results.txt"_s;

// The two-column pane of the worked examples; the last row unticked.
void fillParts(ListPane& pane)
{
    pane.addColumn(u"Name"_s);
    pane.addColumn(u"Qty"_s);
    const QStringList names{u"Bolt"_s, u"Washer"_s, u"Hex nut"_s};
    const QStringList counts{u"12"_s, u"7"_s, u"100"_s};
    for (int i = 0; i < 3; ++i) {
        pane.add(names[i], i < 2);
        pane.setSubItem(i + 1, 1, counts[i]);
    }
}

void addTicked(ListPane& pane, int rows)
{
    for (int i = 1; i <= rows; ++i)
        pane.add(u"item "_s + QString::number(i).rightJustified(6, u'0'), true);
}

// The bytes a writer puts out for the pane, collected in memory.
QByteArray aligned(Fixture& f, const ListPane& pane, ProgressBar* bar = nullptr)
{
    QBuffer buffer;
    ResultFile file(buffer, kPath);
    SaveListviewProperlySpaced(pane, file, bar, f.runtime);
    return buffer.data();
}

QByteArray commaDelimited(Fixture& f, const ListPane& pane, ProgressBar* bar = nullptr)
{
    QBuffer buffer;
    ResultFile file(buffer, kPath);
    SaveListviewAsCommaDelimToFile(pane, file, bar, f.runtime);
    return buffer.data();
}

// Writes Results to a file at `path`; true when the file was put in place.
bool saveAligned(Fixture& f, const QString& path, ProgressBar* bar = nullptr)
{
    ResultFile file(path, &f.pump);
    return SaveListviewProperlySpaced(f.ws->listView3, file, bar, f.runtime);
}

bool saveCommaDelimited(Fixture& f, const QString& path, ProgressBar* bar = nullptr)
{
    ResultFile file(path, &f.pump);
    return SaveListviewAsCommaDelimToFile(f.ws->listView3, file, bar, f.runtime);
}

// Records the bar at every yield and once more after `save`.
template <typename Save> ProgressRecorder recordProgress(Fixture& f, Save&& save)
{
    ProgressRecorder recorder(f.ws->progressBar1);
    f.pump.every = [&](int) { recorder.sample(); };
    save();
    recorder.sample();
    f.pump.every = nullptr;
    return recorder;
}

std::pair<int, QString> state(int value, const QString& text)
{
    return {value, text};
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class ExportTest : public QObject
{
    Q_OBJECT

private slots:
    void alignedWorkedExamples()
    {
        Fixture f;
        ListPane& results = f.ws->listView3;
        results.add(u"apple"_s, true);
        results.add(u"kiwi"_s, true);
        results.add(u"watermelon"_s, false);
        const QByteArray expected = "Results   \t\r\napple     \t\r\nkiwi      \t\r\n";
        QCOMPARE(aligned(f, results), expected);
        QCOMPARE(aligned(f, results, &f.ws->progressBar1), expected);

        ListPane parts;
        fillParts(parts);
        QCOMPARE(aligned(f, parts),
                 QByteArray("Name   \tQty\t\r\nBolt   \t12 \t\r\nWasher \t7  \t\r\n"));
        QVERIFY(f.errors.reports.isEmpty());
    }

    void alignedEdgeCases()
    {
        Fixture f;
        QCOMPARE(aligned(f, f.ws->listView3), QByteArray("Results\t\r\n"));

        // A title longer than every cell sets the width; a TAB inside a cell counts as one.
        f.ws->listView3.add(u"a\tb"_s, true);
        QCOMPARE(aligned(f, f.ws->listView3), QByteArray("Results\t\r\na\tb    \t\r\n"));

        ListPane noColumns;
        noColumns.add(u"x"_s, true);
        noColumns.add(u"y"_s, false);
        QCOMPARE(aligned(f, noColumns), QByteArray("\r\n\r\n"));
    }

    void commaWorkedExamples()
    {
        Fixture f;
        ListPane& results = f.ws->listView3;
        fill(results, {u"apple"_s, u"kiwi"_s, u"watermelon"_s}); // unticked rows count too
        const QByteArray expected = "apple,\r\nkiwi,\r\nwatermelon\r\n";
        QCOMPARE(commaDelimited(f, results), expected);
        QCOMPARE(commaDelimited(f, results, &f.ws->progressBar1), expected);

        ListPane parts;
        fillParts(parts);
        QCOMPARE(commaDelimited(f, parts),
                 QByteArray("Name,Qty,\r\nBolt,12\r\nWasher,7\r\nHex nut,100\r\n"));
    }

    void commaEdgeCases()
    {
        Fixture f;
        QCOMPARE(commaDelimited(f, f.ws->listView3), QByteArray());

        ListPane twoColumns;
        twoColumns.addColumn(u"A"_s);
        twoColumns.addColumn(u"B"_s);
        QCOMPARE(commaDelimited(f, twoColumns), QByteArray("A,B,\r\n"));

        f.ws->listView3.add(u"Smith, \"John\""_s);
        QCOMPARE(commaDelimited(f, f.ws->listView3), QByteArray("Smith, \"John\"\r\n"));
    }

    void writtenAsUtf8()
    {
        Fixture f;
        // Every character a legacy list file can hold comes back, in UTF-8.
        QByteArray allBytes;
        for (int b = 0x20; b <= 0xFF; ++b)
            allBytes.append(static_cast<char>(b));
        f.ws->listView3.add(decodeWindows1252(allBytes), true);
        QCOMPARE(commaDelimited(f, f.ws->listView3), decodeWindows1252(allBytes).toUtf8() + "\r\n");

        // Widths count characters; an unpaired surrogate, which UTF-8 cannot hold, is
        // written as U+FFFD and its line counted.
        f.ws->listView3.clear();
        f.ws->listView3.add(u"caf\u00e9 \u20ac"_s, true);
        f.ws->listView3.add(u"\u65e5\u672c"_s, true);
        f.ws->listView3.add(u"a"_s + QChar(0xD800) + u"b"_s, true);
        f.ws->listView3.add(QString(QChar(0xDC00)) + u"x"_s, true);
        QBuffer buffer;
        ResultFile file(buffer, kPath);
        QVERIFY(SaveListviewProperlySpaced(f.ws->listView3, file, nullptr, f.runtime));
        QCOMPARE(buffer.data(), QByteArray("Results\t\r\n"
                                           "caf\xC3\xA9 \xE2\x82\xAC \t\r\n"
                                           "\xE6\x97\xA5\xE6\x9C\xAC     \t\r\n"
                                           "a\xEF\xBF\xBD"
                                           "b    \t\r\n"
                                           "\xEF\xBF\xBDx     \t\r\n"));
        QCOMPARE(file.linesWithReplacements(), 2);
        QVERIFY(f.host.messages.isEmpty()); // the writer only writes; the command tells
    }

    void progressForOneAndEightRows()
    {
        Fixture f;
        ProgressBar& bar = f.ws->progressBar1;
        const QString writing = u"Writing file: results.txt"_s;
        const QString rest = ProgressBar::restText();
        addTicked(f.ws->listView3, 1);
        auto one = recordProgress(f, [&] { aligned(f, f.ws->listView3, &bar); });
        QCOMPARE(
            one.states(),
            (QList<std::pair<int, QString>>{
                {0, rest}, {1, writing}, {10, writing}, {20, writing}, {100, writing}, {0, rest}}));

        addTicked(f.ws->listView3, 7);
        // Halves round to even: 12.5 -> 12, 37.5 -> 38.
        auto eight = recordProgress(f, [&] { aligned(f, f.ws->listView3, &bar); });
        QCOMPARE(eight.values(), (QList<int>{0, 1, 10, 20, 12, 25, 38, 50, 62, 75, 88, 100, 0}));
        auto comma = recordProgress(f, [&] { commaDelimited(f, f.ws->listView3, &bar); });
        QCOMPARE(comma.values(), (QList<int>{0, 1, 12, 25, 38, 50, 62, 75, 88, 100, 0}));
        QCOMPARE(bar.text(), rest);
    }

    void progressForManyRows()
    {
        Fixture f;
        ProgressBar& bar = f.ws->progressBar1;
        addTicked(f.ws->listView3, 2500);
        f.ws->listView3.setChecked(2000, false);
        auto rec = recordProgress(f, [&] { aligned(f, f.ws->listView3, &bar); });
        const QString writing = u"Writing file: results.txt"_s;
        QVERIFY(rec.states().contains(state(0, writing))); // row 1: 0.08
        QVERIFY(rec.states().contains(state(40, writing + u" (1000)"_s)));
        // Unticked row 2000 leaves the text alone; the last row gives 100.04.
        QVERIFY(rec.states().contains(state(100, writing + u" (1000)"_s)));
        QCOMPARE(rec.states().last(), state(0, ProgressBar::restText()));

        auto comma = recordProgress(f, [&] { commaDelimited(f, f.ws->listView3, &bar); });
        QVERIFY(comma.states().contains(state(80, writing + u" (2000)"_s)));
        QVERIFY(comma.states().contains(state(100, writing + u" (2000)"_s)));
    }

    void noProgressBarLeavesTheBarAlone()
    {
        Fixture f;
        addTicked(f.ws->listView3, 3);
        f.ws->progressBar1.setValue(40);
        aligned(f, f.ws->listView3);
        commaDelimited(f, f.ws->listView3);
        QCOMPARE(f.ws->progressBar1.value(), 40);
        QCOMPARE(f.ws->progressBar1.text(), ProgressBar::restText());
    }

    void failedWriteIsReportedOnceAndEndsTheExport()
    {
        Fixture f;
        addTicked(f.ws->listView3, 200000); // about 2.6 MB: fails in the middle
        for (bool comma : {false, true}) {
            const QByteArray whole =
                comma ? commaDelimited(f, f.ws->listView3) : aligned(f, f.ws->listView3);
            f.errors.reports.clear();
            FailingDevice device(1500000);
            ResultFile file(device, kPath);
            const bool written = comma ? SaveListviewAsCommaDelimToFile(
                                             f.ws->listView3, file, &f.ws->progressBar1, f.runtime)
                                       : SaveListviewProperlySpaced(f.ws->listView3, file,
                                                                    &f.ws->progressBar1, f.runtime);
            QVERIFY(!written);
            QCOMPARE(f.errors.reports.size(), 1);
            QVERIFY(comma ? f.errors.has(u"SaveComma.SaveListviewAsCommaDelimToFile"_s, 172)
                          : f.errors.has(u"SaveList.SaveListviewProperlySpaced"_s, 222));
            QCOMPARE(f.errors.reports.first().description,
                     u"Cannot write the file: No space left on device"_s);
            // Nothing was tried after the failure: what arrived is a start of the file.
            QVERIFY(!device.stored.isEmpty());
            QVERIFY(whole.startsWith(device.stored));
            QVERIFY(device.stored.size() < whole.size());
            QCOMPARE(f.ws->progressBar1.value(), 0);
            QCOMPARE(f.ws->progressBar1.text(), ProgressBar::restText());
        }

        f.errors.reports.clear();
        FailingDevice refusing(0, true);
        ResultFile file(refusing, kPath);
        QVERIFY(!SaveListviewProperlySpaced(f.ws->listView3, file, nullptr, f.runtime));
        QCOMPARE(f.errors.reports.size(), 1);
        QVERIFY(f.errors.has(u"SaveList.SaveListviewProperlySpaced"_s, 156));
        QCOMPARE(f.errors.reports.first().description,
                 u"Cannot create the file: Permission denied"_s);
    }

    void filesAreReplacedOnlyWhenComplete()
    {
        QTemporaryDir dir;
        Fixture f;
        const QString path = writeFile(dir.path(), u"out.txt"_s, QByteArray(5000, 'x'));
        f.ws->listView3.add(u"a"_s, true);
        // The file replaced is held open across the rename, and let go after it.
        const auto openHandles = [] {
            return QDir(u"/proc/self/fd"_s)
                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                .size();
        };
        const qsizetype handlesBefore = openHandles();
        QVERIFY(saveAligned(f, path));
        QCOMPARE(fileBytes(path), QByteArray("Results\t\r\na      \t\r\n"));
        QCOMPARE(openHandles(), handlesBefore);

        // A row removed while the export yields: the read of the vanished row fails.
        writeFile(dir.path(), u"out.txt"_s, "old");
        addTicked(f.ws->listView3, 10);
        for (bool comma : {false, true}) {
            f.errors.reports.clear();
            bool removed = false;
            f.pump.every = [&](int) {
                if (!removed && f.ws->progressBar1.value() >= 40) {
                    removed = true;
                    f.ws->listView3.remove(5);
                }
            };
            QVERIFY(!(comma ? saveCommaDelimited(f, path, &f.ws->progressBar1)
                            : saveAligned(f, path, &f.ws->progressBar1)));
            f.pump.every = nullptr;
            QVERIFY(removed);
            QCOMPARE(f.errors.descriptions(),
                     QStringList{u"The Results changed while they were being saved; the file was "
                                 u"not changed."_s});
            QCOMPARE(fileBytes(path), QByteArray("old"));
            QCOMPARE(filesIn(dir.path()), QStringList{u"out.txt"_s});
            QCOMPARE(f.ws->progressBar1.text(), ProgressBar::restText());
        }
        QVERIFY(f.host.messages.isEmpty());
    }

    void missingFolderIsReportedAndNothingIsCreated()
    {
        QTemporaryDir dir;
        Fixture f;
        const QString path = dir.filePath(u"missing/out.txt"_s);
        QVERIFY(!saveAligned(f, path, &f.ws->progressBar1));
        QVERIFY(!saveCommaDelimited(f, path, &f.ws->progressBar1));
        QCOMPARE(f.errors.reports.size(), 2);
        QVERIFY(f.errors.has(u"SaveList.SaveListviewProperlySpaced"_s, 156));
        QVERIFY(f.errors.has(u"SaveComma.SaveListviewAsCommaDelimToFile"_s, 120));
        QVERIFY(QDir(dir.path()).isEmpty());
        QCOMPARE(f.ws->progressBar1.value(), 0);
        QCOMPARE(f.ws->progressBar1.text(), ProgressBar::restText());
    }

    void closingTheWindowLeavesTheFileUntouched()
    {
        QTemporaryDir dir;
        Fixture f;
        const QString path = writeFile(dir.path(), u"out.txt"_s, "old");
        addTicked(f.ws->listView3, 100);
        f.pump.every = [&](int) {
            if (f.ws->progressBar1.value() >= 50)
                f.pump.abandonCommands();
        };
        QVERIFY_THROWS_EXCEPTION(CommandAbandoned, saveAligned(f, path, &f.ws->progressBar1));
        QCOMPARE(fileBytes(path), QByteArray("old"));
        QCOMPARE(filesIn(dir.path()), QStringList{u"out.txt"_s});
    }

#ifdef Q_OS_LINUX
    // Real disks that refuse: full, read-only, a missing folder, and no permission. Each
    // says why in the system's words, and the file at the path stays as it was.
    void failingDisksSayWhy()
    {
        Fixture f;
        addTicked(f.ws->listView3, 50000); // about 650 KB
        ScratchDisk full(256);
        if (!full.isValid())
            QSKIP("no right to mount a file system of its own here");
        const QString old = writeFile(full.path(), u"out.txt"_s, "old");
        QVERIFY(!saveAligned(f, old));
        QCOMPARE(f.errors.descriptions(),
                 QStringList{u"Cannot write the file: No space left on device"_s});
        QCOMPARE(fileBytes(old), QByteArray("old"));
        QCOMPARE(filesIn(full.path()), QStringList{u"out.txt"_s});

        ScratchDisk readOnly(64);
        const QString kept = writeFile(readOnly.path(), u"kept.txt"_s, "kept");
        QVERIFY(readOnly.makeReadOnly());
        f.errors.reports.clear();
        QVERIFY(!saveCommaDelimited(f, readOnly.path() + u"/new.csv"_s));
        QVERIFY(!saveAligned(f, kept));
        QCOMPARE(f.errors.descriptions(),
                 (QStringList{u"Cannot create the file: Read-only file system"_s,
                              u"Cannot create the file: Existing file "_s + kept +
                                  u" is not writable"_s}));
        QCOMPARE(fileBytes(kept), QByteArray("kept"));

        f.errors.reports.clear();
        QVERIFY(!saveAligned(f, full.path() + u"/no/such/folder/out.txt"_s));
        QCOMPARE(f.errors.descriptions(),
                 QStringList{u"Cannot create the file: No such file or directory"_s});

        // A folder the user may not write to; as root, the rights checked are another user's.
        QTemporaryDir locked;
        QVERIFY(QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::ExeOwner));
        const bool asRoot = ::geteuid() == 0;
        if (asRoot)
            ::setfsuid(65534);
        f.errors.reports.clear();
        const bool written = saveAligned(f, locked.path() + u"/out.txt"_s);
        if (asRoot)
            ::setfsuid(0);
        QVERIFY(!written);
        QCOMPARE(f.errors.descriptions(),
                 QStringList{u"Cannot create the file: Permission denied"_s});
        QVERIFY(QFile::setPermissions(locked.path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    // The file size limit makes the temporary file's writes fail.
    void fileSizeLimitLeavesTheFileUntouched()
    {
        QTemporaryDir dir;
        Fixture f;
        const QString path = writeFile(dir.path(), u"out.txt"_s, "old");
        addTicked(f.ws->listView3, 200000);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = old;
        limited.rlim_cur = 1500000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        const bool written = saveAligned(f, path, &f.ws->progressBar1);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!written);
        QCOMPARE(f.errors.descriptions(), QStringList{u"Cannot write the file: File too large"_s});
        QVERIFY(f.errors.has(u"SaveList.SaveListviewProperlySpaced"_s, 222));
        QCOMPARE(fileBytes(path), QByteArray("old"));
        QCOMPARE(filesIn(dir.path()), QStringList{u"out.txt"_s});
    }
#endif
};

QTEST_MAIN(ExportTest)
#include "tst_export.moc"

// Compares two generated lists of 1,000,000 lines with the real comparison command in the
// real (offscreen) window, and the same lists with awk, in one run.
#include "BenchSupport.h"

#include "app/Form1.h"
#include "app/QtEventPump.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

using namespace pq;
using namespace pq::bench;

namespace {

const int kLines = qEnvironmentVariableIntValue("PQ_BENCH_LINES") > 0
                       ? qEnvironmentVariableIntValue("PQ_BENCH_LINES")
                       : 1000000;

struct Lists
{
    QStringList list1;
    QStringList list2;
};

// About 30% of List 1 also occurs in List 2, and about 2% of List 1 repeats an earlier item.
Lists generate()
{
    LineGenerator random(20261207);
    Lists lists;
    lists.list2.reserve(kLines);
    for (int i = 0; i < kLines; ++i)
        lists.list2.append(random.line(4, 40));
    lists.list1.reserve(kLines);
    for (int i = 0; i < kLines; ++i) {
        const uint64_t draw = random.next() % 100;
        if (draw < 30)
            lists.list1.append(lists.list2.at(static_cast<qsizetype>(random.next() % kLines)));
        else if (draw < 32 && i > 0)
            lists.list1.append(lists.list1.at(static_cast<qsizetype>(random.next() % i)));
        else
            lists.list1.append(random.line(4, 40));
    }
    return lists;
}

bool writeLf(const QString& path, const QStringList& lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray bytes = lines.join(u'\n').toLatin1();
    bytes += '\n';
    return file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char* argv[])
{
    BenchApp app(argc, argv);
    QTemporaryDir dir;
    Lists lists = generate();
    const QString path1 = dir.filePath(QStringLiteral("list1.txt"));
    const QString path2 = dir.filePath(QStringLiteral("list2.txt"));
    if (!writeLf(path1, lists.list1) || !writeLf(path2, lists.list2)) {
        std::fprintf(stderr, "cannot write the lists\n");
        return 1;
    }

    const ToolRun awk =
        runTool(QStringLiteral("awk 'NR==FNR{a[$0];next} ($0 in a)' '%1' '%2'").arg(path2, path1));

    BenchWindow window;
    QtEventPump& pump = window.pump;
    Form1& form = window.form;
    Workspace& ws = form.workspace();
    ws.listView1.addMany(lists.list1);
    ws.listView2.addMany(lists.list2);
    lists = {}; // the panes hold copies; only they count for the comparison's memory
    QCoreApplication::processEvents();

    pump.resetLongestGap();
    const double ours = timeSeconds([&] {
        form.button(QStringLiteral("PushButton11"))->click();
        QCoreApplication::processEvents(); // Results rows reach the view
    });
    const qint64 gap = pump.longestGapMs();

    const QStringList expected = QString::fromLatin1(awk.output).split(u'\n', Qt::SkipEmptyParts);
    bool same = expected.size() == ws.listView3.count();
    for (int i = 0; same && i < expected.size(); ++i)
        same = expected.at(i) == ws.listView3.text(i + 1);

    std::printf("lists: %d and %d lines, %d results\n", kLines, kLines, ws.listView3.count());
    report(QStringLiteral("awk (whole run)"), awk.seconds);
    report(QStringLiteral("comparison command (click to filled Results)"), ours);
    std::printf("ratio ours/awk: %.3f (target <= 0.25)\n", ours / awk.seconds);
    std::printf("longest gap between event dispatches: %lld ms (target < 50)\n",
                static_cast<long long>(gap));
    std::printf("peak memory: %.0f MiB (target < 400)\n", peakMemoryMiB());
    std::printf("same rows as awk: %s\n", same ? "yes" : "NO");
    return same && awk.exitCode == 0 ? 0 : 1;
}

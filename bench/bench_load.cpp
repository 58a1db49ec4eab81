// Loads a generated list file of 1,000,000 lines (CR LF) into List 1 of the real
// (offscreen) window through the "Load List From Text File" button, and reads the same
// file with `wc -l` and `cat` in the same run.
#include "BenchSupport.h"

#include "app/Form1.h"
#include "app/QtEventPump.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace pq;
using namespace pq::bench;

namespace {

constexpr int kLines = 1000000;
constexpr int kRuns = 3;

// Writes the lines a chunk at a time, so the generator's strings never pile up in memory.
bool writeListFile(const QString& path, QStringList& firstLines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    LineGenerator random(20261208);
    QByteArray chunk;
    for (int i = 0; i < kLines; ++i) {
        const QString line = random.line(10, 30);
        if (firstLines.size() < 3)
            firstLines.append(line);
        chunk += line.toLatin1();
        chunk += "\r\n";
        if (chunk.size() >= (1 << 20) || i == kLines - 1) {
            if (file.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return file.flush();
}

double bestOf(const QString& command, QByteArray* output = nullptr)
{
    double best = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        const ToolRun run = runTool(command);
        best = std::min(best, run.seconds);
        if (output)
            *output = run.output;
    }
    return best;
}

} // namespace

int main(int argc, char* argv[])
{
    BenchApp app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.txt"));
    QStringList firstLines;
    if (!writeListFile(path, firstLines)) {
        std::fprintf(stderr, "cannot write the list file\n");
        return 1;
    }
    const double fileMiB = static_cast<double>(QFile(path).size()) / (1024.0 * 1024.0);

    runTool(QStringLiteral("cat '%1' >/dev/null").arg(path)); // the file is in the page cache
    QByteArray wcOutput;
    const double wc = bestOf(QStringLiteral("wc -l '%1'").arg(path), &wcOutput);
    const double cat = bestOf(QStringLiteral("cat '%1' >/dev/null").arg(path));

    BenchHost host;
    host.chosenFile = path;
    QtEventPump pump;
    Form1 form(host, pump, QDir::tempPath());
    form.load();
    form.show();
    Workspace& ws = form.workspace();
    QPushButton* load = form.button(QStringLiteral("PushButton3"));
    QCoreApplication::processEvents();

    double first = 0;
    double best = 1e9;
    qint64 longestGap = 0;
    double memoryAfterFirst = 0;
    for (int run = 0; run < kRuns; ++run) {
        ws.listView1.clear();
        QCoreApplication::processEvents();
        const double before = currentMemoryMiB();
        pump.resetLongestGap();
        const double seconds = timeSeconds([&] {
            load->click();
            pump.yield(); // counts the stretch after the last dispatch, when it is long
            QCoreApplication::processEvents(); // the last rows reach the view
        });
        longestGap = std::max(longestGap, pump.longestGapMs());
        std::printf("run %d: %.3f s, longest gap %lld ms\n", run + 1, seconds,
                    static_cast<long long>(pump.longestGapMs()));
        if (run == 0) {
            first = seconds;
            memoryAfterFirst = currentMemoryMiB() - before;
        }
        best = std::min(best, seconds);
    }

    const bool allLines =
        ws.listView1.count() == kLines && wcOutput.trimmed().split(' ').value(0).toInt() == kLines;
    bool sameText = allLines;
    for (int i = 0; sameText && i < firstLines.size(); ++i)
        sameText = ws.listView1.text(i + 1) == firstLines.at(i);

    std::printf("file: %d lines, %.1f MiB, CR LF\n", kLines, fileMiB);
    report(QStringLiteral("wc -l (best of 3)"), wc);
    report(QStringLiteral("cat >/dev/null (best of 3)"), cat);
    report(QStringLiteral("load into List 1 (first run)"), first);
    report(QStringLiteral("load into List 1 (best of 3)"), best);
    std::printf("ratio load/wc -l: %.1f first, %.1f best; load/cat: %.1f first, %.1f best\n",
                first / wc, best / wc, first / cat, best / cat);
    std::printf("target load under 0.5 s: first run %s, best run %s\n",
                first < 0.5 ? "met" : "NOT MET", best < 0.5 ? "met" : "NOT MET");
    std::printf("longest gap between event dispatches, all runs: %lld ms (target <= 50)\n",
                static_cast<long long>(longestGap));
    std::printf("memory added by the first load: %.1f MiB = %.2f x the file (target <= 4)\n",
                memoryAfterFirst, memoryAfterFirst / fileMiB);
    std::printf("resident memory now: %.1f MiB, peak %.1f MiB\n", currentMemoryMiB(),
                peakMemoryMiB());
    std::printf("all lines loaded, first ones intact: %s\n", sameText ? "yes" : "NO");
    return sameText ? 0 : 1;
}

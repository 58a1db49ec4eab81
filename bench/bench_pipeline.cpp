// The whole job of a user who has two lists in files and wants the items of the first
// that are in the second, saved: both files loaded through the "Load List From Text File"
// buttons, "Start Comparing and Finding Matches", "Save As Comma Delimited", in the real
// (offscreen) window; against a Python set one-liner doing the same job on the same files
// in the same run, whose file ours must equal; then the copy and the text file. Line
// counts a side as arguments (default 1,000,000), the sizes taking turns run by run: at
// 10x the lines each phase may take at most 12x as long.
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <iterator>

using namespace pq;
using namespace pq::bench;

namespace {

// Each size runs five times: on a shared machine one run in two or three can be disturbed,
// and each phase is judged by its best.
constexpr int kRuns = 5;
constexpr double kTargetRatio = 0.7;

// List 1's lines that occur in List 2, in List 1's order, joined as the comma-delimited
// file joins them.
const char kPythonJob[] =
    "import sys\n"
    "a = open(sys.argv[1], 'rb').read().split(b'\\n')[:-1]\n"
    "s = set(open(sys.argv[2], 'rb').read().split(b'\\n')[:-1])\n"
    "r = [x for x in a if x in s]\n"
    "open(sys.argv[3], 'wb').write(b',\\r\\n'.join(r) + (b'\\r\\n' if r else b''))\n";

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Phases
{
    double load1 = 0;
    double load2 = 0;
    double compare = 0;
    double copy = 0;
    double saveText = 0;
    double saveComma = 0;
    qint64 longestGapMs = 0;
    QByteArray gapPhase;           // the phase that had the longest gap
    MachineWatch::Stillness still; // how long the processors stood still in that phase
    qint64 longestTickMs = 0;      // the longest wait for a timer's tick
    QByteArray tickPhase;
    // The job the Python one-liner does: both loads, the comparison, the comma file.
    double job() const { return load1 + load2 + compare + saveComma; }

    // Keeps each phase's best time (or its worst) and the longest gap of both.
    void keepBest(const Phases& run)
    {
        keep(run, [](double a, double b) { return std::min(a, b); });
    }
    void keepWorst(const Phases& run)
    {
        keep(run, [](double a, double b) { return std::max(a, b); });
    }

    template <typename Pick> void keep(const Phases& run, Pick pick)
    {
        const auto kept = [&pick](double& phase, double now) {
            phase = phase > 0 ? pick(phase, now) : now;
        };
        kept(load1, run.load1);
        kept(load2, run.load2);
        kept(compare, run.compare);
        kept(copy, run.copy);
        kept(saveText, run.saveText);
        kept(saveComma, run.saveComma);
        if (run.longestTickMs > longestTickMs) {
            longestTickMs = run.longestTickMs;
            tickPhase = run.tickPhase;
        }
        if (run.longestGapMs > longestGapMs) {
            longestGapMs = run.longestGapMs;
            gapPhase = run.gapPhase;
            still = run.still;
        }
    }
};

// The longest wait between two ticks of a 1 ms timer while it lives: the gaps between
// dispatches and the time one dispatch itself takes, as a user's click would wait for both.
class TickWatch
{
public:
    TickWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer,
                         [this] { m_longestMs = std::max(m_longestMs, m_sinceTick.restart()); });
        m_sinceTick.start();
        m_timer.start(1);
    }
    qint64 longestMs() const { return std::max(m_longestMs, m_sinceTick.elapsed()); }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longestMs = 0;
};

// Clicks a button and waits for its command, noting its longest gap between dispatches.
double click(BenchWindow& window, MachineWatch& machine, Phases& phases, const char* name)
{
    machine.takeStillness();
    TickWatch ticks;
    window.pump.resetLongestGap();
    QPushButton* button = window.form.button(QString::fromLatin1(name));
    qint64 gapMs = 0;
    const double seconds = timeSeconds([&] {
        button->click();
        gapMs = dispatchUntilRowsShown(window.ws(), window.pump);
    });
    if (ticks.longestMs() > phases.longestTickMs) {
        phases.longestTickMs = ticks.longestMs();
        phases.tickPhase = name;
    }
    const MachineWatch::Stillness still = machine.takeStillness();
    if (gapMs > phases.longestGapMs) {
        phases.longestGapMs = gapMs;
        phases.gapPhase = name;
        phases.still = still;
    }
    return seconds;
}

struct SizeRun
{
    int lines = 0;
    QString list1, list2, pythonOut, oursOut;
    int results = 0;
    double python = 1e9;
    Phases ours;    // the run with the fastest whole job
    Phases fastest; // each phase's best over the runs, and the longest gap of them all
    Phases slowest; // each phase's worst over the runs
    bool same = false;
};

// One size's files, named by its line count; false when they cannot be written.
bool prepareSize(SizeRun& size, const QTemporaryDir& dir)
{
    const QString prefix = dir.filePath(QString::number(size.lines));
    size.list1 = prefix + u"-list1.txt";
    size.list2 = prefix + u"-list2.txt";
    size.pythonOut = prefix + u"-python.csv";
    size.oursOut = prefix + u"-ours.csv";
    if (!writeComparisonLists(size.lines, size.list1, size.list2))
        return false;
    runTool(QStringLiteral("cat '%1' '%2' >/dev/null").arg(size.list1, size.list2)); // cached
    return true;
}

// One of Python's jobs and one of ours on a size, ours followed by the copy and the text
// file (not part of Python's job, timed alike).
void runOnce(BenchWindow& window, MachineWatch& machine, SizeRun& size, const QString& script,
             const QString& textOut)
{
    const ToolRun tool = runTool(QStringLiteral("python3 '%1' '%2' '%3' '%4'")
                                     .arg(script, size.list1, size.list2, size.pythonOut));
    size.python = std::min(size.python, tool.seconds);

    Workspace& ws = window.ws();
    ws.listView1.clear();
    ws.listView2.clear();
    ws.listView3.clear();
    QFile::remove(size.oursOut);
    QCoreApplication::processEvents();
    Phases phases;
    window.host.chosenFile = size.list1;
    phases.load1 = click(window, machine, phases, "PushButton3");
    window.host.chosenFile = size.list2;
    phases.load2 = click(window, machine, phases, "PushButton2");
    phases.compare = click(window, machine, phases, "PushButton11");
    window.host.savePath = size.oursOut;
    phases.saveComma = click(window, machine, phases, "PushButton9");
    phases.copy = click(window, machine, phases, "PushButton6");
    window.host.savePath = textOut;
    phases.saveText = click(window, machine, phases, "PushButton8");
    size.fastest.keepBest(phases);
    size.slowest.keepWorst(phases);
    if (size.ours.job() == 0 || phases.job() < size.ours.job())
        size.ours = phases;
    size.results = ws.listView3.count();
}

// Checks our file against Python's, then lets the size's files go.
void finishSize(SizeRun& size)
{
    size.same = readAll(size.oursOut) == readAll(size.pythonOut) && QFile(size.oursOut).size() > 0;
    for (const QString& file : {size.list1, size.list2, size.pythonOut, size.oursOut})
        QFile::remove(file);
}

void printSize(const SizeRun& size)
{
    const Phases& p = size.ours;
    std::printf("%9d lines a side, %d results: python %.3f s; ours %.3f s (x%.3f of python) = "
                "load %.3f + %.3f, compare %.3f, comma file %.3f; copy %.3f, text file %.3f; "
                "same bytes as python: %s\n",
                size.lines, size.results, size.python, p.job(), p.job() / size.python, p.load1,
                p.load2, p.compare, p.saveComma, p.copy, p.saveText, size.same ? "yes" : "NO");
    const Phases& f = size.fastest;
    std::printf(
        "%9d lines, each phase's best of %d: load %.3f + %.3f, compare %.3f, comma file "
        "%.3f, copy %.3f, text file %.3f; longest gap of all runs %lld ms (%s, in which the "
        "whole machine stood still for up to %lld ms, one of its processors for up to %lld "
        "ms); longest wait for a 1 ms timer's tick %lld ms (%s)\n",
        size.lines, kRuns, f.load1, f.load2, f.compare, f.saveComma, f.copy, f.saveText,
        static_cast<long long>(f.longestGapMs), f.gapPhase.constData(),
        static_cast<long long>(f.still.allMs), static_cast<long long>(f.still.anyMs),
        static_cast<long long>(f.longestTickMs), f.tickPhase.constData());
    const Phases& w = size.slowest;
    std::printf("%9d lines, each phase's worst of %d: load %.3f + %.3f, compare %.3f, comma file "
                "%.3f, copy %.3f, text file %.3f\n",
                size.lines, kRuns, w.load1, w.load2, w.compare, w.saveComma, w.copy, w.saveText);
}

// How fast this machine hands out memory never touched before, against memory touched
// before, in GB/s: on a virtual machine whose host backs memory only when it is touched,
// the first can be many times slower, and the largest lists take the most of it.
void printMemoryRates()
{
    constexpr qsizetype kBytes = qsizetype(1) << 30;
    QByteArray memory(kBytes, Qt::Uninitialized);
    const double fresh = timeSeconds([&] { memory.fill('a'); });
    const double touched = timeSeconds([&] { memory.fill('b'); });
    std::printf("memory on this machine: never touched before %.2f GB/s, touched before %.2f "
                "GB/s\n",
                double(kBytes) / fresh / 1e9, double(kBytes) / touched / 1e9);
}

} // namespace

int main(int argc, char* argv[])
{
    QList<int> sizes;
    for (int i = 1; i < argc; ++i) {
        if (const int lines = QByteArray(argv[i]).toInt(); lines > 0)
            sizes.append(lines);
    }
    if (sizes.isEmpty())
        sizes = {1000000};
    std::sort(sizes.begin(), sizes.end()); // the peak memory is then the largest size's
    BenchApp app(argc, argv);
    QTemporaryDir dir;
    BenchWindow window;
    const QString script = dir.filePath(QStringLiteral("job.py"));
    QFile job(script);
    if (!job.open(QIODevice::WriteOnly) || job.write(kPythonJob) <= 0)
        return 1;
    job.close();
    QList<SizeRun> runs;
    for (const int lines : sizes) {
        runs.append(SizeRun());
        runs.last().lines = lines;
        if (!prepareSize(runs.last(), dir))
            return 1;
    }
    printMemoryRates();
    // The sizes take turns, so that every size meets the machine's slow and fast minutes
    // alike and the growth from one to the next is measured fairly.
    const QString textOut = dir.filePath(QStringLiteral("ours.txt"));
    MachineWatch machine;
    for (int run = 0; run < kRuns; ++run) {
        for (SizeRun& size : runs)
            runOnce(window, machine, size, script, textOut);
    }
    std::printf("the processors' stillness is watched from a thread on each, %s the "
                "program's\n",
                machine.runsAbove() ? "above" : "no higher than");
    bool allSame = true;
    for (SizeRun& size : runs) {
        finishSize(size);
        printSize(size);
        allSame &= size.same;
    }
    bool met = true;
    for (const SizeRun& size : runs) {
        const double ratio = size.ours.job() / size.python;
        const bool jobMet = size.lines != 1000000 || ratio <= kTargetRatio;
        const bool gapMet = size.fastest.longestGapMs < 50;
        met &= jobMet && gapMet;
        std::printf("%9d: whole job x%.3f of python (target <= %.2f at 1,000,000): %s; longest "
                    "gap %lld ms (target < 50): %s\n",
                    size.lines, ratio, kTargetRatio, jobMet ? "met" : "NOT MET",
                    static_cast<long long>(size.fastest.longestGapMs), gapMet ? "met" : "NOT MET");
    }
    // Linear growth: each phase at ten times the lines takes at most twelve times as long,
    // each phase's best against its best, so that one disturbed run does not decide it.
    for (qsizetype i = 1; i < runs.size(); ++i) {
        const SizeRun& small = runs.at(i - 1);
        const SizeRun& large = runs.at(i);
        if (large.lines != small.lines * 10 || small.lines < 1000000)
            continue; // below a million lines everything fits the caches: no fair measure
        const Phases& a = small.fastest;
        const Phases& b = large.fastest;
        const double factors[] = {b.load1 / a.load1,       b.load2 / a.load2,
                                  b.compare / a.compare,   b.copy / a.copy,
                                  b.saveText / a.saveText, b.saveComma / a.saveComma};
        const double worst = *std::max_element(std::begin(factors), std::end(factors));
        met &= worst <= 12;
        std::printf("%d -> %d lines: load x%.1f, x%.1f, compare x%.1f, copy x%.1f, text file "
                    "x%.1f, comma file x%.1f (target each <= 12): %s; python's job x%.1f\n",
                    small.lines, large.lines, factors[0], factors[1], factors[2], factors[3],
                    factors[4], factors[5], worst <= 12 ? "met" : "NOT MET",
                    large.python / small.python);
    }
    const double peakGiB = peakMemoryMiB() / 1024.0;
    std::printf("peak memory, largest size: %.2f GiB (target < 3 at 10,000,000): %s\n", peakGiB,
                sizes.last() < 10000000 || peakGiB < 3 ? "met" : "NOT MET");
    std::printf("all: %s\n", met ? "met" : "NOT MET");
    return allSame && window.host.errorReports == 0 ? 0 : 1;
}

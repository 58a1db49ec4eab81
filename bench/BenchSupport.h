#pragma once

#include "app/Form1.h"
#include "app/QtEventPump.h"
#include "app/QtHost.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class QApplication;

namespace pq::bench {

// The application of a benchmark: on the offscreen platform unless the environment names
// another, chosen by argument so that the tools the benchmark starts see the environment
// it was started with.
class BenchApp
{
public:
    BenchApp(int argc, char** argv);
    ~BenchApp();

private:
    std::vector<char*> m_args;
    int m_argc = 0;
    std::unique_ptr<QApplication> m_app;
};

// The real dialogs and clipboard, except that messages are answered (Yes, OK) and error
// reports counted and printed instead of shown, the open dialog answers with
// `chosenFile`, and start-up never draws the home-page launch.
class BenchHost : public QtHost
{
public:
    QString chosenFile;
    QString savePath;
    int errorReports = 0;
    MessageAnswer messageBox(const MessageRequest& request) override;
    void showOpen(CommonDialog& dialog) override { dialog.fileName = chosenFile; }
    void showSave(CommonDialog& dialog) override { dialog.fileName = savePath; }
    double rnd() override { return 0.5; }
};

// The real window, started as the program starts it, on the benchmark host and the real
// event pump; shown (offscreen unless another platform was chosen).
struct BenchWindow
{
    BenchWindow();
    BenchHost host;
    QtEventPump pump;
    Form1 form;
    Workspace& ws() { return form.workspace(); }
};

// Once a command returned, dispatches events until every pane's views hold all of its rows:
// a command that added rows has not ended, for the user, before they can be scrolled to.
// Returns the longest gap of the command, the time since its last dispatch included, or of
// these dispatches themselves, in milliseconds: nothing else runs while one of them does.
qint64 dispatchUntilRowsShown(Workspace& ws, const QtEventPump& pump);

// The line count a benchmark was asked for: its first argument, 1,000,000 without one.
int lineCountArgument(int argc, char** argv);

// Seconds taken by `work`.
double timeSeconds(const std::function<void()>& work);

// Runs a shell command line; returns its wall time in seconds and its standard output.
struct ToolRun
{
    double seconds = 0;
    QByteArray output;
    int exitCode = -1;
};
ToolRun runTool(const QString& shellCommand);

// Peak resident memory of this process so far, in MiB (VmHWM).
double peakMemoryMiB();
// Current resident memory of this process, in MiB (VmRSS).
double currentMemoryMiB();
// Memory the allocator has handed out and not been given back, in MiB: what the program
// holds, whatever pages freed earlier it reuses; spare text blocks are not counted.
double heapInUseMiB();

// Notes how long this machine's processors let no thread run. A virtual machine's host may
// hold one of a guest's processors, or all of them at once, for tens of milliseconds; a
// thread on a held processor does nothing meanwhile, and every gap measured then includes
// the hold. A thread of its own on each processor asks to be woken every millisecond and
// notes how late each wake came; where the system lets it, it runs above every other
// thread, so that the program's own work does not delay it.
class MachineWatch
{
public:
    MachineWatch();
    MachineWatch(const MachineWatch&) = delete;
    MachineWatch& operator=(const MachineWatch&) = delete;
    ~MachineWatch();

    // How long the processors stood still since the last call, in milliseconds: the
    // shortest of their longest holds (about how long the whole machine was held, as such
    // holds are rare and come on every processor at once), and the longest of them.
    struct Stillness
    {
        qint64 allMs = 0;
        qint64 anyMs = 0;
    };
    Stillness takeStillness();
    // Whether the watch runs above the program's threads, one on each processor: if not,
    // a busy program may delay it too.
    bool runsAbove() const { return m_runsAbove.load(); }

private:
    struct alignas(64) Processor
    {
        std::atomic<qint64> longestLateUs{0};
        std::thread thread;
    };
    void watch(int processor, Processor& into);

    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_runsAbove{true};
    std::vector<std::unique_ptr<Processor>> m_processors;
};

// Reproducible pseudo-random lines: letters and digits, `minLength` to `maxLength` long.
class LineGenerator
{
public:
    explicit LineGenerator(uint64_t seed) : m_state(seed) {}
    uint64_t next();
    QString line(int minLength, int maxLength);

private:
    uint64_t m_state;
};

// Two list files for a comparison, written as they are generated so that ten million lines
// need no list in memory: List 2 of random lines; List 1 where about 30% of the lines are
// drawn from List 2, about 2% repeat an earlier List 1 line, and the rest are new. Lines
// end in LF. Returns false when a file cannot be written.
bool writeComparisonLists(int lines, const QString& list1Path, const QString& list2Path);

// Writes the lines to a file, each followed by CR LF. Returns false on failure.
bool writeLines(const QString& path, const QStringList& lines);

// Prints one result row: name, our seconds, and the ratio to each reference.
void report(const QString& what, double seconds);

} // namespace pq::bench

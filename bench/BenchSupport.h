#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace pq::bench {

// Starts a benchmark process as the program starts: with the program's allocator settings
// (this may restart the process), and on the offscreen platform unless another is chosen.
void prepareProcess(char** argv);

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

// Writes the lines to a file, each followed by CR LF. Returns false on failure.
bool writeLines(const QString& path, const QStringList& lines);

// Prints one result row: name, our seconds, and the ratio to each reference.
void report(const QString& what, double seconds);

} // namespace pq::bench

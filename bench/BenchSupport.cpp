#include "BenchSupport.h"

#include "platform/SpareBlocks.h"
#include "platform/TextStore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <vector>

#if defined(Q_OS_UNIX)
#include <pthread.h>
#include <sched.h>
#endif

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace pq::bench {

BenchApp::BenchApp(int argc, char** argv) : m_args(argv, argv + argc)
{
    static char platformOption[] = "-platform";
    static char offscreen[] = "offscreen";
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        m_args.push_back(platformOption);
        m_args.push_back(offscreen);
    }
    m_argc = static_cast<int>(m_args.size());
    m_args.push_back(nullptr);
    m_app = std::make_unique<QApplication>(m_argc, m_args.data());
}

BenchApp::~BenchApp() = default;

BenchWindow::BenchWindow() : form(host, pump, QDir::tempPath())
{
    form.load();
    form.show();
}

MessageAnswer BenchHost::messageBox(const MessageRequest& request)
{
    if (request.title == u"Application Error") {
        ++errorReports;
        std::fprintf(stderr, "%s\n", qPrintable(request.text));
    }
    return request.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
}

int lineCountArgument(int argc, char** argv)
{
    const int asked = argc > 1 ? QByteArray(argv[1]).toInt() : 0;
    return asked > 0 ? asked : 1000000;
}

qint64 dispatchUntilRowsShown(Workspace& ws, const QtEventPump& pump)
{
    qint64 longestMs = pump.longestGapMs();
    const auto allShown = [&ws] {
        for (int pane = 1; pane <= 3; ++pane) {
            if (ws.pane(pane).rowCount() < ws.pane(pane).count())
                return false;
        }
        return true;
    };
    QElapsedTimer waited;
    waited.start();
    do {
        QElapsedTimer dispatch;
        dispatch.start();
        QCoreApplication::processEvents();
        longestMs = std::max(longestMs, dispatch.elapsed());
    } while (!allShown() && waited.elapsed() < 60000);
    return longestMs;
}

MachineWatch::MachineWatch()
{
    const int processors = int(std::clamp(std::thread::hardware_concurrency(), 1u, 64u));
    for (int i = 0; i < processors; ++i)
        m_processors.push_back(std::make_unique<Processor>());
    for (int i = 0; i < processors; ++i) {
        Processor& processor = *m_processors[size_t(i)];
        processor.thread = std::thread([this, i, &processor] { watch(i, processor); });
    }
}

MachineWatch::~MachineWatch()
{
    m_stopping = true;
    for (const auto& processor : m_processors)
        processor->thread.join();
}

MachineWatch::Stillness MachineWatch::takeStillness()
{
    qint64 leastUs = std::numeric_limits<qint64>::max();
    qint64 mostUs = 0;
    for (const auto& processor : m_processors) {
        const qint64 lateUs = processor->longestLateUs.exchange(0);
        leastUs = std::min(leastUs, lateUs);
        mostUs = std::max(mostUs, lateUs);
    }
    const auto ms = [](qint64 us) { return (us + 500) / 1000; };
    return {ms(leastUs), ms(mostUs)};
}

void MachineWatch::watch([[maybe_unused]] int processor, Processor& into)
{
#if defined(Q_OS_LINUX)
    cpu_set_t only;
    CPU_ZERO(&only);
    CPU_SET(processor, &only);
    bool above = pthread_setaffinity_np(pthread_self(), sizeof(only), &only) == 0;
#else
    bool above = false;
#endif
#if defined(Q_OS_UNIX)
    sched_param lowestRealTime{};
    lowestRealTime.sched_priority = sched_get_priority_min(SCHED_FIFO);
    above = pthread_setschedparam(pthread_self(), SCHED_FIFO, &lowestRealTime) == 0 && above;
#endif
    if (!above)
        m_runsAbove = false;
    using Clock = std::chrono::steady_clock;
    constexpr auto kNap = std::chrono::milliseconds(1);
    auto woken = Clock::now();
    while (!m_stopping) {
        std::this_thread::sleep_for(kNap);
        const auto now = Clock::now();
        const qint64 lateUs =
            std::chrono::duration_cast<std::chrono::microseconds>(now - woken - kNap).count();
        woken = now;
        qint64 longest = into.longestLateUs.load();
        while (lateUs > longest && !into.longestLateUs.compare_exchange_weak(longest, lateUs)) {
        }
    }
}

double timeSeconds(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

ToolRun runTool(const QString& shellCommand)
{
    ToolRun run;
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), shellCommand});
    process.waitForFinished(-1);
    run.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    run.output = process.readAllStandardOutput();
    run.exitCode = process.exitCode();
    return run;
}

namespace {
double statusField(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray wanted(field);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(wanted)) {
            const QByteArray kb = line.mid(wanted.size()).trimmed().split(' ').value(0);
            return kb.toDouble() / 1024.0;
        }
    }
    return 0;
}
} // namespace

double peakMemoryMiB()
{
    return statusField("VmHWM:");
}

double currentMemoryMiB()
{
    return statusField("VmRSS:");
}

double heapInUseMiB()
{
    // Spares are memory nothing holds: a load that takes them over adds no memory, and the
    // one that let them go gave none back.
    const double spare = double(SpareBlocks::shared().spareCharacters() +
                                SpareBlocks::forFileBytes().spareCharacters()) *
                             sizeof(QChar) +
                         double(spareRowTableBytes());
#if defined(__GLIBC__)
    const struct mallinfo2 info = mallinfo2();
    return (static_cast<double>(info.uordblks + info.hblkhd) - spare) / (1024.0 * 1024.0);
#else
    return currentMemoryMiB() - spare / (1024.0 * 1024.0);
#endif
}

uint64_t LineGenerator::next()
{
    // splitmix64
    uint64_t z = (m_state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

QString LineGenerator::line(int minLength, int maxLength)
{
    static const char16_t alphabet[] =
        u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ";
    constexpr uint64_t kAlphabetSize = sizeof(alphabet) / sizeof(alphabet[0]) - 1;
    const int length = minLength + static_cast<int>(next() % uint64_t(maxLength - minLength + 1));
    QString text(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        text[i] = QChar(alphabet[next() % kAlphabetSize]);
    return text;
}

namespace {

// Lines kept as one block of bytes and their offsets.
struct PackedLines
{
    QByteArray bytes;
    std::vector<qsizetype> starts;
    void append(const QByteArray& line)
    {
        starts.push_back(bytes.size());
        bytes += line;
    }
    QByteArrayView at(size_t i) const
    {
        const qsizetype end = i + 1 < starts.size() ? starts[i + 1] : bytes.size();
        return QByteArrayView(bytes).sliced(starts[i], end - starts[i]);
    }
};

bool writePacked(QFile& file, QByteArray& chunk, QByteArrayView line)
{
    chunk += line;
    chunk += '\n';
    if (chunk.size() < (1 << 20))
        return true;
    const bool written = file.write(chunk) == chunk.size();
    chunk.clear();
    return written;
}

} // namespace

bool writeComparisonLists(int lines, const QString& list1Path, const QString& list2Path)
{
    LineGenerator random(20261207);
    PackedLines list2;
    list2.bytes.reserve(qsizetype(lines) * 23);
    list2.starts.reserve(size_t(lines));
    for (int i = 0; i < lines; ++i)
        list2.append(random.line(4, 40).toLatin1());
    QFile file2(list2Path);
    if (!file2.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray chunk;
    for (size_t i = 0; i < size_t(lines); ++i) {
        if (!writePacked(file2, chunk, list2.at(i)))
            return false;
    }
    if (file2.write(chunk) != chunk.size())
        return false;
    chunk.clear();

    PackedLines list1;
    list1.bytes.reserve(qsizetype(lines) * 23);
    list1.starts.reserve(size_t(lines));
    for (int i = 0; i < lines; ++i) {
        const uint64_t draw = random.next() % 100;
        if (draw < 30)
            list1.append(list2.at(random.next() % uint64_t(lines)).toByteArray());
        else if (draw < 32 && i > 0)
            list1.append(list1.at(random.next() % uint64_t(i)).toByteArray());
        else
            list1.append(random.line(4, 40).toLatin1());
    }
    QFile file1(list1Path);
    if (!file1.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (size_t i = 0; i < size_t(lines); ++i) {
        if (!writePacked(file1, chunk, list1.at(i)))
            return false;
    }
    return file1.write(chunk) == chunk.size() && file1.flush() && file2.flush();
}

bool writeLines(const QString& path, const QStringList& lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toLatin1();
        bytes += "\r\n";
    }
    return file.write(bytes) == bytes.size();
}

void report(const QString& what, double seconds)
{
    std::printf("%-48s %8.3f s\n", what.toUtf8().constData(), seconds);
    std::fflush(stdout);
}

} // namespace pq::bench

#include "BenchSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <cstdio>

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
#if defined(__GLIBC__)
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
#else
    return currentMemoryMiB();
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

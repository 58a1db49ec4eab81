// Loads a generated list of N lines (default 1,000,000; the first argument sets it) into
// List 1 of the real (offscreen) window through the "Load List From Text File" button,
// as a Windows-1252, a UTF-8 and a UTF-16 file holding the same text (about 30% of the
// lines not ASCII), and reads the file with `wc -l` and `cat` in the same run.
#include "BenchSupport.h"

#include "app/Form1.h"
#include "app/QtEventPump.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace pq;
using namespace pq::bench;

namespace {

constexpr int kRuns = 3;

// Lines of letters and digits; about 30% carry accented letters that Windows-1252 holds.
QStringList generateLines(int count)
{
    static const char16_t accented[] = u"\u00E9\u00FC\u00E7\u00F4\u00E0\u00DF\u00D8\u00F1";
    LineGenerator random(20261208);
    QStringList lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i) {
        QString line = random.line(10, 30);
        if (random.next() % 100 < 30) {
            for (int k = 0; k < 3; ++k)
                line[qsizetype(random.next() % uint64_t(line.size()))] =
                    QChar(accented[random.next() % 8]);
        }
        lines.append(line);
    }
    return lines;
}

enum class Encoding { Windows1252, Utf8, Utf16 };

const char* nameOf(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Windows1252:
        return "Windows-1252";
    case Encoding::Utf8:
        return "UTF-8";
    case Encoding::Utf16:
        return "UTF-16 LE";
    }
    return "";
}

// Writes the lines, each followed by CR LF, a chunk at a time.
bool writeListFile(const QString& path, const QStringList& lines, Encoding encoding)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QStringEncoder utf16(QStringEncoder::Utf16LE);
    QByteArray chunk = encoding == Encoding::Utf16 ? QByteArray("\xFF\xFE") : QByteArray();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i) + u"\r\n";
        if (encoding == Encoding::Windows1252)
            chunk += line.toLatin1(); // the accented letters are Latin-1, as in Windows-1252
        else if (encoding == Encoding::Utf8)
            chunk += line.toUtf8();
        else
            chunk += QByteArray(utf16.encode(line));
        if (chunk.size() >= (1 << 20) || i == lines.size() - 1) {
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

struct Loaded
{
    double first = 0;
    double best = 1e9;
    qint64 longestGapMs = 0;
    double memoryMiB = 0;
    bool sameText = false;
};

Loaded loadRepeatedly(Form1& form, BenchHost& host, QtEventPump& pump, const QString& path,
                      const QStringList& lines)
{
    Workspace& ws = form.workspace();
    host.chosenFile = path;
    QPushButton* load = form.button(QStringLiteral("PushButton3"));
    Loaded loaded;
    for (int run = 0; run < kRuns; ++run) {
        ws.listView1.clear();
        QCoreApplication::processEvents();
        const double before = heapInUseMiB();
        pump.resetLongestGap();
        const double seconds = timeSeconds([&] {
            load->click();
            loaded.longestGapMs = std::max(loaded.longestGapMs, dispatchUntilRowsShown(ws, pump));
        });
        if (run == 0) {
            loaded.first = seconds;
            loaded.memoryMiB = heapInUseMiB() - before;
        }
        loaded.best = std::min(loaded.best, seconds);
    }
    loaded.sameText = ws.listView1.count() == lines.size();
    for (int i = 0; loaded.sameText && i < lines.size(); i += 997)
        loaded.sameText = ws.listView1.view(i + 1) == lines.at(i);
    return loaded;
}

} // namespace

int main(int argc, char* argv[])
{
    const int lineCount = lineCountArgument(argc, argv);
    BenchApp app(argc, argv);
    QTemporaryDir dir;
    const QStringList lines = generateLines(lineCount);
    const Encoding encodings[] = {Encoding::Windows1252, Encoding::Utf8, Encoding::Utf16};
    QString paths[3];
    for (int e = 0; e < 3; ++e) {
        paths[e] = dir.filePath(QString::fromLatin1(nameOf(encodings[e])) + u".txt");
        if (!writeListFile(paths[e], lines, encodings[e])) {
            std::fprintf(stderr, "cannot write the list file\n");
            return 1;
        }
    }
    const QString& legacy = paths[0];
    runTool(QStringLiteral("cat '%1' >/dev/null").arg(legacy)); // the file is in the page cache
    QByteArray wcOutput;
    const double wc = bestOf(QStringLiteral("wc -l '%1'").arg(legacy), &wcOutput);
    const double cat = bestOf(QStringLiteral("cat '%1' >/dev/null").arg(legacy));

    BenchWindow window;
    BenchHost& host = window.host;
    QtEventPump& pump = window.pump;
    Form1& form = window.form;
    QCoreApplication::processEvents();

    Loaded loaded[3];
    bool allSame = wcOutput.trimmed().split(' ').value(0).toInt() == lineCount;
    bool allMet = true;
    std::printf("lines: %d, CR LF; wc -l %.3f s, cat %.3f s (best of %d)\n", lineCount, wc, cat,
                kRuns);
    for (int e = 0; e < 3; ++e) {
        loaded[e] = loadRepeatedly(form, host, pump, paths[e], lines);
        const double fileMiB = static_cast<double>(QFile(paths[e]).size()) / (1024.0 * 1024.0);
        const double ratio = loaded[e].best / loaded[0].best;
        const double memory = loaded[e].memoryMiB / fileMiB;
        const bool met = loaded[e].first < 0.5 && loaded[e].best < 0.5 && memory <= 4.0 &&
                         loaded[e].longestGapMs < 50 && (e == 0 || ratio <= 1.3);
        allMet &= met;
        allSame &= loaded[e].sameText;
        std::printf("%-12s %6.1f MiB  first %.3f s  best %.3f s  x%.2f of Windows-1252  "
                    "load/wc %.1f  load/cat %.1f  memory %.2f x the file  gap %lld ms  "
                    "same text: %s\n",
                    nameOf(encodings[e]), fileMiB, loaded[e].first, loaded[e].best, ratio,
                    loaded[e].best / wc, loaded[e].best / cat, memory,
                    static_cast<long long>(loaded[e].longestGapMs),
                    loaded[e].sameText ? "yes" : "NO");
    }
    std::printf("targets: load under 0.5 s, memory at most 4 x the file, longest gap under 50 ms, "
                "UTF-8 and UTF-16 within 1.3 x the Windows-1252 load (best runs): %s\n",
                allMet ? "met" : "NOT MET");
    std::printf("peak memory %.1f MiB\n", peakMemoryMiB());
    return allSame ? 0 : 1;
}

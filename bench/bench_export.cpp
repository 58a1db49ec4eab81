// A Results pane of 1,000,000 ticked rows (or as many as the first argument says) in the real
// (offscreen) window: the copy to the clipboard and both saves, each timed in the same run against
// `cp` of a file of the same size and against awk producing the same bytes, which ours must equal.
#include "BenchSupport.h"

#include "app/Form1.h"
#include "app/QtEventPump.h"
#include "export/ResultFile.h"
#include "export/SaveComma.h"
#include "export/SaveList.h"
#include "match/ResultsCommands.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace pq;
using namespace pq::bench;
using namespace Qt::StringLiterals;

namespace {

int kRows = 1000000; // the first argument
constexpr int kRuns = 3;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Measured
{
    double best = 1e9;
    qint64 longestGapMs = 0;
};

template <typename Work> Measured measure(QtEventPump& pump, Work&& work)
{
    Measured m;
    for (int run = 0; run < kRuns; ++run) {
        QCoreApplication::processEvents();
        pump.resetLongestGap();
        m.best = std::min(m.best, timeSeconds(work));
        m.longestGapMs = std::max(m.longestGapMs, pump.longestGapMs());
    }
    return m;
}

double bestTool(const QString& command, QByteArray* output = nullptr)
{
    double best = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        ToolRun tool = runTool(command);
        best = std::min(best, tool.seconds);
        if (output)
            *output = tool.output;
    }
    return best;
}

// Each command's targets: under a second for a million rows, the window dispatching at
// least every 50 ms meanwhile, and the same bytes as the peer's.
bool meetsTargets(const Measured& ours, bool same)
{
    return ours.best < 1.0 && ours.longestGapMs < 50 && same;
}

// Prints a command's figures; whether they met the targets.
bool printRow(const char* what, const Measured& ours, double cp, double awk, bool same)
{
    std::printf("%-22s ours %6.3f s   cp %6.3f s (x%5.1f)   awk %6.3f s (x%5.2f)   gap %3lld ms   "
                "same bytes: %s\n",
                what, ours.best, cp, ours.best / cp, awk, ours.best / awk,
                static_cast<long long>(ours.longestGapMs), same ? "yes" : "NO");
    std::fflush(stdout);
    return meetsTargets(ours, same);
}

} // namespace

int main(int argc, char* argv[])
{
    kRows = lineCountArgument(argc, argv);
    BenchApp app(argc, argv);
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };

    LineGenerator random(20261208);
    QStringList rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i)
        rows.append(random.line(4, 40));
    {
        QFile lf(path("rows.lf"));
        if (!lf.open(QIODevice::WriteOnly) || lf.write(rows.join(u'\n').toLatin1() + '\n') <= 0)
            return 1;
    }

    BenchWindow window;
    BenchHost& host = window.host;
    QtEventPump& pump = window.pump;
    Form1& form = window.form;
    Workspace& ws = form.workspace();
    ws.listView3.addMany(rows);
    for (int r = 1; r <= kRows; ++r)
        ws.listView3.setChecked(r, true); // as the comparison adds them
    rows.clear();
    QCoreApplication::processEvents();
    const QString lf = path("rows.lf");
    bool allSame = true;
    bool allMet = true;

    // Copy: trailing blanks trimmed, CR LF after every line.
    const Measured copy = measure(pump, [&] { CopyListviewToClipboard(ws.listView3, ws.runtime); });
    QByteArray copyRef;
    const double copyAwk =
        bestTool(u"awk '{sub(/ +$/,\"\"); printf \"%s\\r\\n\", $0}' '%1'"_s.arg(lf), &copyRef);
    const QByteArray copied = QGuiApplication::clipboard()->text().toLatin1();
    {
        QFile sameSize(path("copy.same-size"));
        if (!sameSize.open(QIODevice::WriteOnly) || sameSize.write(copied) != copied.size())
            return 1;
    }
    const double copyCp = bestTool(u"cp '%1' '%2'"_s.arg(path("copy.same-size"), path("copy.cp")));
    const bool sameCopy = copied == copyRef;
    allSame &= sameCopy;
    allMet &= printRow("copy to clipboard", copy, copyCp, copyAwk, sameCopy);

    // Aligned text file.
    const QString txt = path("results.txt");
    const Measured aligned = measure(pump, [&] {
        ResultFile file(txt);
        SaveListviewProperlySpaced(ws.listView3, file, &ws.progressBar1, ws.runtime);
    });
    const double alignedAwk = bestTool(
        u"awk 'NR==FNR{if(length($0)>w)w=length($0);next} FNR==1{f=\"%-\" w \"s\\t\\r\\n\"; "
        u"printf f, \"Results\"} {printf f, $0}' w=7 '%1' '%1' > '%2'"_s.arg(lf, path("ref.txt")));
    const double alignedCp = bestTool(u"cp '%1' '%2'"_s.arg(txt, path("cp.txt")));
    const bool sameText = readAll(txt) == readAll(path("ref.txt"));
    allSame &= sameText;
    allMet &= printRow("save as text file", aligned, alignedCp, alignedAwk, sameText);

    // Comma-delimited file.
    const QString csv = path("results.csv");
    const Measured comma = measure(pump, [&] {
        ResultFile file(csv);
        SaveListviewAsCommaDelimToFile(ws.listView3, file, &ws.progressBar1, ws.runtime);
    });
    const double commaAwk =
        bestTool(u"awk 'NR>1{printf \",\\r\\n\"} {printf \"%s\", $0} END{printf \"\\r\\n\"}' "
                 u"'%1' > '%2'"_s.arg(lf, path("ref.csv")));
    const double pasteJoin = bestTool(u"paste -sd, '%1' > '%2'"_s.arg(lf, path("paste.csv")));
    const double commaCp = bestTool(u"cp '%1' '%2'"_s.arg(csv, path("cp.csv")));
    const bool sameComma = readAll(csv) == readAll(path("ref.csv"));
    allSame &= sameComma;
    allMet &= printRow("save comma delimited", comma, commaCp, commaAwk, sameComma);
    std::printf("paste -sd, (one joined line, not the same bytes): %.3f s\n", pasteJoin);
    std::printf("targets: each under 1 s, longest gap under 50 ms, same bytes as awk: %s\n",
                allMet ? "met" : "NOT MET");

    std::printf("rows: %d; text file %lld bytes, comma file %lld bytes; error reports: %d\n", kRows,
                static_cast<long long>(QFileInfo(txt).size()),
                static_cast<long long>(QFileInfo(csv).size()), host.errorReports);
    std::printf("peak memory: %.0f MiB\n", peakMemoryMiB());
    return allSame && host.errorReports == 0 ? 0 : 1;
}

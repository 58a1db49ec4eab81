// Compares two generated lists of 1,000,000 lines, or as many as the first argument says,
// in the real (offscreen) window, with the start button and with every question and option
// of its menu, and the same lists with awk (and grep for what is missing), in one run. Each
// question is timed best of three, against awk's plain job and against awk answering the
// same question: the target is a tenth of awk's time.
#include "BenchSupport.h"

#include "app/CompareMenu.h"
#include "app/Form1.h"
#include "app/QtEventPump.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace pq;
using namespace pq::bench;
using namespace Qt::StringLiterals;

namespace {

int kLines = 1000000; // the first argument

constexpr double kTargetRatio = 0.10;
constexpr int kRuns = 3;
constexpr qint64 kTargetGapMs = 50;
// The compare budget at a million lines a side, and the ceiling at ten million.
double targetMiB()
{
    return kLines > 1000000 ? 3072 : 400;
}

struct Lists
{
    QStringList list1;
    QStringList list2;
};

// A List 2 text changed as near misses are: in case, blanks or invisible characters. Only
// ASCII letters change case, so that awk's tolower folds as the program does.
QString nearlyTheSame(QString text, uint64_t draw)
{
    switch (draw % 6) {
    case 0:
        return text + u' ';
    case 1:
        return u'\t' + text;
    case 2:
        return text.insert(text.size() / 2, QChar(0x200b));
    case 3:
        return text + QChar(0x00a0);
    case 4:
        return QChar(0xfeff) + text;
    default:
        for (QChar& c : text) {
            if (c.isLetter()) {
                c = c.isUpper() ? c.toLower() : c.toUpper();
                break;
            }
        }
        return text;
    }
}

// About 30% of List 1 also occurs in List 2, about 3% nearly occurs in it, and about 2%
// repeats an earlier item.
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
        const auto anyOf2 = [&] { return lists.list2.at(qsizetype(random.next() % kLines)); };
        if (draw < 30)
            lists.list1.append(anyOf2());
        else if (draw < 33)
            lists.list1.append(nearlyTheSame(anyOf2(), random.next()));
        else if (draw < 35 && i > 0)
            lists.list1.append(lists.list1.at(static_cast<qsizetype>(random.next() % i)));
        else
            lists.list1.append(random.line(4, 40));
    }
    return lists;
}

QByteArray linesOf(const QStringList& lines)
{
    QByteArray bytes = lines.join(u'\n').toUtf8();
    if (!lines.isEmpty())
        bytes += '\n';
    return bytes;
}

// The pane's rows as awk prints them, made without a copy of each row.
QByteArray linesOf(const ListPane& pane)
{
    QByteArray bytes;
    for (const TextRef& text : pane.texts()) {
        bytes += text.view().toUtf8();
        bytes += '\n';
    }
    return bytes;
}

bool writeLf(const QString& path, const QStringList& lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = linesOf(lines);
    return file.write(bytes) == bytes.size();
}

// One question with its options, and the awk program that answers it for these lists: K is
// the key under the options, L the loose key (the lists' only blanks are space, TAB and
// U+00A0, their only invisible characters U+200B, U+FEFF and U+00A0).
struct Case
{
    QString name;
    Comparison comparison;
    CompareOptions options;
    bool byStartButton = false;
    bool withGrep = false;
};

QString awkProgram(const Case& c)
{
    QString keyFunction = u"function K(s) {"_s;
    if (c.options.ignoreBlanks)
        keyFunction += uR"( gsub(/^([ \t]|\302\240)+|([ \t]|\302\240)+$/, "", s);)"_s;
    if (c.options.ignoreCase)
        keyFunction += u" s = tolower(s);"_s;
    keyFunction += u" return s }"_s;
    const QString looseFunction =
        uR"(function L(s) { gsub(/\342\200\213|\357\273\277/, "", s); gsub(/\302\240/, " ", s);)"
        uR"( gsub(/^[ \t]+|[ \t]+$/, "", s); return tolower(s) })"_s;
    QString load = u"a[K($0)]"_s;
    QString test;
    switch (c.comparison) {
    case Comparison::AlsoIn:
        test = u"(K($0) in a)"_s;
        break;
    case Comparison::NotIn:
    case Comparison::List2NotInList1:
        test = u"!(K($0) in a)"_s;
        break;
    case Comparison::NearMisses:
        load += u"; b[L($0)]"_s;
        test = u"!(K($0) in a) && (L($0) in b)"_s;
        break;
    }
    if (c.options.eachResultOnce)
        test += u" && !seen[K($0)]++"_s;
    if (!c.options.ignoreBlanks && !c.options.ignoreCase) {
        keyFunction.clear();
        load.replace(u"K($0)"_s, u"$0"_s);
        test.replace(u"K($0)"_s, u"$0"_s);
    }
    const QString functions =
        c.comparison == Comparison::NearMisses ? keyFunction + u' ' + looseFunction : keyFunction;
    return functions + u" NR==FNR { "_s + load + u"; next } "_s + test;
}

QString quoted(const QString& text)
{
    QString inner = text;
    inner.replace(u"'"_s, u"'\\''"_s);
    return u"'"_s + inner + u"'"_s;
}

const char* verdict(bool met)
{
    return met ? "met" : "not met";
}

class Bench
{
public:
    Bench(Form1& form, QtEventPump& pump, const QString& path1, const QString& path2)
        : m_form(form), m_pump(pump), m_path1(path1), m_path2(path2)
    {
    }

    ToolRun plainAwk() const
    {
        return runTool(
            u"LC_ALL=C awk 'NR==FNR{a[$0];next} ($0 in a)' '%1' '%2'"_s.arg(m_path2, m_path1));
    }

    // Whether every question so far took at most kTargetRatio of awk's time: of its plain
    // job, and of its run answering the same question.
    bool withinPlainAwk = true;
    bool withinSameAwk = true;

    // Runs the case in the window, best of kRuns, and with its peers; returns whether every
    // peer's output is the same as the Results.
    bool run(const Case& c, double awkSeconds)
    {
        Workspace& ws = m_form.workspace();
        ws.compareOptions = c.options;
        double ours = 1e9;
        qint64 gap = 0;
        for (int run = 0; run < kRuns; ++run) {
            ws.listView3.clear();
            QCoreApplication::processEvents();
            m_pump.resetLongestGap();
            ours = std::min(ours, timeSeconds([&] {
                                if (c.byStartButton)
                                    m_form.button(u"PushButton11"_s)->click();
                                else
                                    m_form.compareMenu()->entry(entryText(c.comparison))->trigger();
                                gap = std::max(gap, dispatchUntilRowsShown(ws, m_pump));
                            }));
        }
        const QByteArray ourBytes = linesOf(ws.listView3);

        const bool fromList2 = walksList2(c.comparison);
        const QString walked = fromList2 ? m_path2 : m_path1;
        const QString other = fromList2 ? m_path1 : m_path2;
        std::printf("%s: %lld rows\n", qPrintable(c.name),
                    static_cast<long long>(ws.listView3.count()));
        std::printf("  ours %.3f s (best of %d), ours/plain awk %.3f (target <= %.2f: %s), "
                    "longest gap %lld ms (target < %lld: %s)\n",
                    ours, kRuns, ours / awkSeconds, kTargetRatio,
                    verdict(ours / awkSeconds <= kTargetRatio), static_cast<long long>(gap),
                    static_cast<long long>(kTargetGapMs), verdict(gap < kTargetGapMs));
        withinPlainAwk &= ours / awkSeconds <= kTargetRatio;
        double sameAwk = 0;
        bool same = comparePeer(
            u"awk"_s, u"LC_ALL=C awk %1 '%2' '%3'"_s.arg(quoted(awkProgram(c)), other, walked),
            ourBytes, ours, &sameAwk);
        std::printf("  ours/awk answering the same question %.3f (target <= %.2f: %s)\n",
                    ours / sameAwk, kTargetRatio, verdict(ours / sameAwk <= kTargetRatio));
        withinSameAwk &= ours / sameAwk <= kTargetRatio;
        if (c.withGrep)
            same =
                comparePeer(u"grep -vFxf"_s, u"LC_ALL=C grep -vFxf '%1' '%2'"_s.arg(other, walked),
                            ourBytes, ours) &&
                same;
        std::printf("  resident memory after the run: %.0f MiB\n", currentMemoryMiB());
        std::fflush(stdout);
        return same;
    }

private:
    static QString entryText(Comparison comparison)
    {
        switch (comparison) {
        case Comparison::AlsoIn:
            return u"Find List 1 Items Also In List 2"_s;
        case Comparison::NotIn:
            return u"Find List 1 Items Not In List 2"_s;
        case Comparison::List2NotInList1:
            return u"Find List 2 Items Not In List 1"_s;
        case Comparison::NearMisses:
            return u"Find Near Misses"_s;
        }
        return {};
    }

    static bool comparePeer(const QString& peer, const QString& command, const QByteArray& ours,
                            double ourSeconds, double* peerSeconds = nullptr)
    {
        const ToolRun tool = runTool(command);
        if (peerSeconds)
            *peerSeconds = tool.seconds;
        const bool same = tool.output == ours && (tool.exitCode == 0 || tool.output.isEmpty());
        std::printf("  %s %.3f s (ours/%s %.3f), same rows as %s: %s\n", qPrintable(peer),
                    tool.seconds, qPrintable(peer), ourSeconds / tool.seconds, qPrintable(peer),
                    same ? "yes" : "NO");
        return same;
    }

    Form1& m_form;
    QtEventPump& m_pump;
    QString m_path1;
    QString m_path2;
};

} // namespace

int main(int argc, char* argv[])
{
    kLines = lineCountArgument(argc, argv);
    BenchApp app(argc, argv);
    QTemporaryDir dir;
    Lists lists = generate();
    const QString path1 = dir.filePath(QStringLiteral("list1.txt"));
    const QString path2 = dir.filePath(QStringLiteral("list2.txt"));
    if (!writeLf(path1, lists.list1) || !writeLf(path2, lists.list2)) {
        std::fprintf(stderr, "cannot write the lists\n");
        return 1;
    }

    BenchWindow window;
    BenchHost& host = window.host;
    QtEventPump& pump = window.pump;
    Form1& form = window.form;
    Workspace& ws = form.workspace();
    ws.listView1.addMany(lists.list1);
    ws.listView2.addMany(lists.list2);
    lists = {}; // the panes hold copies; only they count for the comparisons' memory
    QCoreApplication::processEvents();
    const double loadedPeak = peakMemoryMiB();

    Bench bench(form, pump, path1, path2);
    // The target's measure: the faster of two runs of awk, so a disturbed one does not
    // loosen it.
    const ToolRun firstAwk = bench.plainAwk();
    const ToolRun secondAwk = bench.plainAwk();
    const double awkSeconds = std::min(firstAwk.seconds, secondAwk.seconds);
    std::printf("lists: %d and %d lines\n", kLines, kLines);
    report(QStringLiteral("awk 'NR==FNR{a[$0];next} ($0 in a)', best of 2"), awkSeconds);

    const CompareOptions none;
    const CompareOptions all{true, true, true};
    const Case cases[] = {
        {u"start button (also in List 2)"_s, Comparison::AlsoIn, none, true, false},
        {u"not in List 2"_s, Comparison::NotIn, none, false, true},
        {u"List 2 not in List 1"_s, Comparison::List2NotInList1, none, false, true},
        {u"near misses"_s, Comparison::NearMisses, none, false, false},
        {u"start button, ignore case"_s, Comparison::AlsoIn, {true, false, false}, true, false},
        {u"start button, ignore blanks"_s, Comparison::AlsoIn, {false, true, false}, true, false},
        {u"start button, each result once"_s,
         Comparison::AlsoIn,
         {false, false, true},
         true,
         false},
        {u"also in List 2, all options"_s, Comparison::AlsoIn, all, false, false},
        {u"not in List 2, all options"_s, Comparison::NotIn, all, false, false},
        {u"List 2 not in List 1, all options"_s, Comparison::List2NotInList1, all, false, false},
        {u"near misses, all options"_s, Comparison::NearMisses, all, false, false},
    };
    bool same = firstAwk.exitCode == 0 && secondAwk.output == firstAwk.output;
    const QString only = qEnvironmentVariable("PQ_BENCH_ONLY");
    for (const Case& c : cases) {
        if (c.name.contains(only))
            same = bench.run(c, awkSeconds) && same;
    }

    std::printf("every question at most %.2f x awk's plain job: %s; at most %.2f x awk answering "
                "the same question: %s\n",
                kTargetRatio, verdict(bench.withinPlainAwk), kTargetRatio,
                verdict(bench.withinSameAwk));
    const double peak = peakMemoryMiB();
    std::printf(
        "peak memory: %.0f MiB, %.0f MiB of it before the first comparison (target < %.0f: %s)\n",
        peak, loadedPeak, targetMiB(), verdict(peak < targetMiB()));
    std::printf("host error reports: %d\n", host.errorReports);
    std::printf("every run gave the same rows as its peers: %s\n", same ? "yes" : "NO");
    return same && host.errorReports == 0 ? 0 : 1;
}

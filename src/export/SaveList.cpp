#include "export/SaveList.h"

#include "export/Columns.h"
#include "export/ResultFile.h"
#include "export/WritingProgress.h"
#include "platform/Runtime.h"
#include "platform/Trap.h"

#include <QList>

#include <algorithm>

namespace pq {

namespace {

// Every row counts, ticked or not, and so does each column's title.
QList<qsizetype> columnWidths(Trap& trap, const ListPane& pane, const PaneReading& reading,
                              Runtime& runtime)
{
    QList<qsizetype> widths;
    const int columns = pane.columnHeaderCount(); // [110]
    for (int i = 1; i <= columns && !trap.halted(); ++i) {
        qsizetype width = 0;
        trap.step(114, [&] { width = pane.columnTitle(i).size(); });
        trap.step(124, [&] {
            reading([&] { width = std::max(width, measureColumn(pane, i, runtime).widest); });
        });
        widths.append(width); // [136]
    }
    return widths;
}

void writeColumnLine(Trap& trap, const ListPane& pane, const QList<qsizetype>& widths,
                     ResultFile& file, Runtime& runtime)
{
    for (int i = 1; i <= widths.size(); ++i) {
        trap.step(160, [&] { runtime.yield(); });
        trap.step(162, [&] { appendPaddedCell(file, pane.columnTitle(i), widths.at(i - 1)); });
    }
    trap.step(170, [&] { file.endLine(); });
}

void writeTickedRows(Trap& trap, const ListPane& pane, const PaneReading& reading,
                     const QList<qsizetype>& widths, ResultFile& file, WritingProgress& progress,
                     Runtime& runtime)
{
    const int rows = pane.count(); // [182]
    for (int j = 1; j <= rows && !trap.halted(); ++j) {
        trap.step(184, [&] { runtime.yield(); });
        bool ticked = false;
        trap.step(188, [&] { reading([&] { ticked = pane.checked(j); }); });
        if (!ticked)
            continue;
        for (int i = 1; i <= widths.size(); ++i) {
            trap.step(192, [&] { runtime.yield(); });
            trap.step(194, [&] {
                reading([&] {
                    withCell(pane, j, i, [&](QStringView cell) {
                        appendPaddedCell(file, cell, widths.at(i - 1));
                    });
                });
            });
        }
        trap.step(210, [&] { progress.row(j, rows); });
        trap.step(222, [&] { file.endLine(); });
    }
}

} // namespace

bool SaveListviewProperlySpaced(const ListPane& pane, ResultFile& file, ProgressBar* progressBar,
                                Runtime& runtime)
{
    Trap trap(runtime.errors(), QStringLiteral("SaveList.SaveListviewProperlySpaced"),
              Trap::Mode::StopAtFirstFailure);
    WritingProgress progress(runtime, progressBar, file.path());
    const PaneReading reading(pane, kSavedButChanged);
    trap.step(100, [&] { progress.stage(1); });
    const QList<qsizetype> widths = columnWidths(trap, pane, reading, runtime);
    trap.step(142, [&] { progress.stage(10); });
    trap.step(156, [&] { file.create(); });
    writeColumnLine(trap, pane, widths, file, runtime);
    trap.step(172, [&] { progress.stage(20); });
    writeTickedRows(trap, pane, reading, widths, file, progress, runtime);
    return finishResultFile(trap, file, progress, runtime, 232);
}

} // namespace pq

#include "export/SaveComma.h"

#include "export/Columns.h"
#include "export/ResultFile.h"
#include "export/WritingProgress.h"
#include "platform/Runtime.h"
#include "platform/Trap.h"

namespace pq {

namespace {

void writeColumnLine(Trap& trap, const ListPane& pane, ResultFile& file)
{
    const int columns = pane.columnHeaderCount(); // [126]
    for (int i = 1; i <= columns; ++i) {
        trap.step(128, [&] {
            file.append(pane.columnTitle(i));
            file.appendChar(',');
        });
    }
    trap.step(132, [&] { file.endLine(); });
}

// The counts that decide the commas are read as the pane is at that moment.
void writeRows(Trap& trap, const ListPane& pane, ResultFile& file, WritingProgress& progress,
               Runtime& runtime)
{
    const PaneReading reading(pane, kSavedButChanged);
    const int rows = pane.count(); // [134]
    for (int j = 1; j <= rows && !trap.halted(); ++j) {
        trap.step(136, [&] { runtime.yield(); });
        trap.step(138, [&] { progress.row(j, rows); });
        const int columns = pane.columnHeaderCount(); // [152]
        for (int i = 1; i <= columns; ++i) {
            trap.step(154, [&] {
                reading(
                    [&] { withCell(pane, j, i, [&](QStringView cell) { file.append(cell); }); });
            });
            if (i != pane.columnHeaderCount()) // [160]
                file.appendChar(',');
        }
        if (pane.columnHeaderCount() <= 1 && j != pane.count()) // [166]
            file.appendChar(',');
        trap.step(172, [&] { file.endLine(); });
    }
}

} // namespace

bool SaveListviewAsCommaDelimToFile(const ListPane& pane, ResultFile& file,
                                    ProgressBar* progressBar, Runtime& runtime)
{
    Trap trap(runtime.errors(), QStringLiteral("SaveComma.SaveListviewAsCommaDelimToFile"),
              Trap::Mode::StopAtFirstFailure);
    WritingProgress progress(runtime, progressBar, file.path());
    trap.step(108, [&] { progress.stage(1); });
    trap.step(120, [&] { file.create(); });
    if (pane.columnHeaderCount() > 1) // [122]
        writeColumnLine(trap, pane, file);
    writeRows(trap, pane, file, progress, runtime);
    return finishResultFile(trap, file, progress, runtime, 182);
}

} // namespace pq

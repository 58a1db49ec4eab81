#include "export/SaveComma.h"

#include "app/Workspace.h"
#include "export/ResultFile.h"
#include "platform/EventPump.h"

#include <optional>

namespace pq {

namespace {

void writeColumnLine(const ListPane& pane, ResultFileWriter& out, WriterSteps& steps)
{
    steps.at(126);
    const int columns = pane.columnHeaderCount();
    for (int i = 1; i <= columns; ++i) {
        steps.at(128);
        out.append(pane.columnTitle(i));
        out.appendChar(',');
    }
    steps.at(132);
    out.endLine();
}

// The counts that decide the commas are read as the pane is at that moment.
void writeRows(Workspace& ws, const ListPane& pane, ResultFileWriter& out,
               WritingProgress& progress, WriterSteps& steps)
{
    steps.at(134);
    const int rows = pane.count();
    for (int j = 1; j <= rows; ++j) {
        steps.at(136);
        ws.pump.yield();
        steps.at(138);
        progress.row(j, rows);
        steps.at(152);
        const int columns = pane.columnHeaderCount();
        for (int i = 1; i <= columns; ++i) {
            steps.at(154);
            withCell(pane, j, i, [&](QStringView cell) { out.append(cell); });
            steps.at(160);
            if (i != pane.columnHeaderCount())
                out.appendChar(',');
        }
        steps.at(166);
        if (pane.columnHeaderCount() <= 1 && j != pane.count())
            out.appendChar(',');
        steps.at(172);
        out.endLine();
    }
}

void saveCommaDelimited(Workspace& ws, ListPane& pane, const QString& path, ResultTarget& target,
                        ProgressBar* progressBar)
{
    WriterSteps steps(ws.host, QStringLiteral("SaveComma.SaveListviewAsCommaDelimToFile"));
    WritingProgress progress(ws.pump, progressBar, path);
    std::optional<ResultFileWriter> out;
    bool declined = false;
    const bool written = steps.run([&] {
        steps.at(100);
        declined = !mayOverwrite(ws, path);
        if (declined)
            return;
        steps.at(108);
        progress.stage(1);
        steps.at(120);
        out.emplace(target.create());
        steps.at(122);
        if (pane.columnHeaderCount() > 1)
            writeColumnLine(pane, *out, steps);
        writeRows(ws, pane, *out, progress, steps);
        closeResultFile(ws.pump, *out, target, progress, steps, {182, 176, 188});
    });
    if (!declined)
        finishExport(ws, written, out ? &*out : nullptr, target, progress);
}

} // namespace

void SaveListviewAsCommaDelimToFile(Workspace& ws, ListPane& pane, const QString& path,
                                    ProgressBar* progressBar)
{
    saveCommaDelimited(ws, pane, path, *fileTarget(path), progressBar);
}

void SaveListviewAsCommaDelimToFile(Workspace& ws, ListPane& pane, const QString& path,
                                    QIODevice& device, ProgressBar* progressBar)
{
    saveCommaDelimited(ws, pane, path, *deviceTarget(device), progressBar);
}

} // namespace pq

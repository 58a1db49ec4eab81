#include "export/SaveList.h"

#include "app/Workspace.h"
#include "export/ResultFile.h"
#include "platform/EventPump.h"

#include <QList>

#include <optional>

namespace pq {

namespace {

// The cell, then blanks up to the column's width (none when the cell is longer), then TAB.
void appendPadded(ResultFileWriter& out, QStringView cell, qsizetype width)
{
    out.append(cell);
    if (width >= cell.size())
        out.appendSpaces(width - cell.size());
    out.appendChar('\t');
}

// Every row counts, ticked or not, and so does each column's title.
QList<qsizetype> columnWidths(Workspace& ws, const ListPane& pane, WriterSteps& steps)
{
    QList<qsizetype> widths;
    steps.at(110);
    const int columns = pane.columnHeaderCount();
    for (int i = 1; i <= columns; ++i) {
        steps.at(114);
        qsizetype width = pane.columnTitle(i).size();
        steps.at(120);
        const int rows = pane.count();
        for (int j = 1; j <= rows; ++j) {
            steps.at(122);
            ws.pump.yield();
            steps.at(124);
            withCell(pane, j, i, [&](QStringView cell) { width = std::max(width, cell.size()); });
        }
        steps.at(136);
        widths.append(width);
    }
    return widths;
}

void writeColumnLine(Workspace& ws, const ListPane& pane, const QList<qsizetype>& widths,
                     ResultFileWriter& out, WriterSteps& steps)
{
    for (int i = 1; i <= widths.size(); ++i) {
        steps.at(160);
        ws.pump.yield();
        steps.at(162);
        appendPadded(out, pane.columnTitle(i), widths.at(i - 1));
    }
    steps.at(170);
    out.endLine();
}

void writeTickedRows(Workspace& ws, const ListPane& pane, const QList<qsizetype>& widths,
                     ResultFileWriter& out, WritingProgress& progress, WriterSteps& steps)
{
    steps.at(182);
    const int rows = pane.count();
    for (int j = 1; j <= rows; ++j) {
        steps.at(184);
        ws.pump.yield();
        steps.at(188);
        if (!pane.checked(j))
            continue;
        for (int i = 1; i <= widths.size(); ++i) {
            steps.at(192);
            ws.pump.yield();
            steps.at(194);
            withCell(pane, j, i,
                     [&](QStringView cell) { appendPadded(out, cell, widths.at(i - 1)); });
        }
        steps.at(210);
        progress.row(j, rows);
        steps.at(222);
        out.endLine();
    }
}

void saveAligned(Workspace& ws, ListPane& pane, const QString& path, ResultTarget& target,
                 ProgressBar* progressBar)
{
    WriterSteps steps(ws.host, QStringLiteral("SaveList.SaveListviewProperlySpaced"));
    WritingProgress progress(ws.pump, progressBar, path);
    std::optional<ResultFileWriter> out;
    const bool written = steps.run([&] {
        steps.at(100);
        progress.stage(1);
        const QList<qsizetype> widths = columnWidths(ws, pane, steps);
        steps.at(142);
        progress.stage(10);
        steps.at(156);
        out.emplace(target.create());
        writeColumnLine(ws, pane, widths, *out, steps);
        steps.at(172);
        progress.stage(20);
        writeTickedRows(ws, pane, widths, *out, progress, steps);
        closeResultFile(ws.pump, *out, target, progress, steps, {232, 226, 238});
    });
    finishExport(ws, written, out ? &*out : nullptr, target, progress);
}

} // namespace

void SaveListviewProperlySpaced(Workspace& ws, ListPane& pane, const QString& path,
                                ProgressBar* progressBar)
{
    saveAligned(ws, pane, path, *fileTarget(path), progressBar);
}

void SaveListviewProperlySpaced(Workspace& ws, ListPane& pane, const QString& path,
                                QIODevice& device, ProgressBar* progressBar)
{
    saveAligned(ws, pane, path, *deviceTarget(device), progressBar);
}

} // namespace pq

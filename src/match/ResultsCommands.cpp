#include "match/ResultsCommands.h"

#include "app/ErrorReport.h"
#include "app/Workspace.h"
#include "platform/EventPump.h"

#include <QList>

namespace pq {

namespace {

constexpr int kClipboardAttempts = 1000;

template <typename Attempt> void retryClipboard(Attempt&& attempt)
{
    for (int attempts = 0; attempts < kClipboardAttempts;) {
        bool done = false;
        try {
            done = attempt();
        } catch (const std::exception&) {
            // Another program holding the clipboard is no failure worth reporting.
        }
        ++attempts;
        if (done)
            return;
    }
}

qsizetype cellLength(const ListPane& pane, int row, int column)
{
    return column == 1 ? pane.text(row).size() : pane.subItem(row, column - 1).size();
}

// Every row counts for the widths, ticked or not. Also sums the lengths, to size the text.
QList<qsizetype> copyWidths(const ListPane& pane, EventPump& pump, qsizetype& totalLength)
{
    QList<qsizetype> widths;
    const int columns = pane.columnHeaderCount();
    for (int c = 1; c <= columns; ++c) {
        qsizetype width = 0;
        const int rows = pane.count();
        for (int r = 1; r <= rows; ++r) {
            pump.yield();
            const qsizetype length = cellLength(pane, r, c);
            width = std::max(width, length);
            totalLength += length;
        }
        widths.append(width);
    }
    return widths;
}

void appendCell(QString& text, QStringView cell, qsizetype width)
{
    text.append(cell);
    if (width >= cell.size())
        text.resize(text.size() + width - cell.size(), u' ');
    text.append(u'\t');
}

// Drops the TAB after the last cell, then the blanks before it.
void endCopyLine(QString& text, bool hasCells)
{
    if (hasCells)
        text.chop(1);
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    text.truncate(end);
    text.append(u"\r\n");
}

} // namespace

void PushButton10_Click(Workspace& ws)
{
    Trap trap(ws.host, QStringLiteral("Form1.PushButton10_Click"));
    trap.step(100, [&] { ws.listView3.clear(); });
}

void PushButton6_Click(Workspace& ws)
{
    Trap trap(ws.host, QStringLiteral("Form1.PushButton6_Click"));
    trap.step(106, [&] { CopyListviewToClipboard(ws.listView3, ws.pump, ws.host); });
    trap.step(108, [&] {
        ws.message(QStringLiteral("Results have been copied to the clipboard.\r\rClick a text area "
                                  "where you normally type and press Ctrl+V to paste the "
                                  "clipboard."));
    });
}

void CopyListviewToClipboard(ListPane& pane, EventPump& pump, Host& host)
{
    if (pane.count() == 0)
        return;
    qsizetype totalLength = 0;
    const QList<qsizetype> widths = copyWidths(pane, pump, totalLength);
    const int rows = pane.count();
    QString text;
    text.reserve(totalLength + qsizetype(rows) * (widths.size() + 2));
    for (int r = 1; r <= rows; ++r) {
        pump.yield();
        if (!pane.checked(r))
            continue;
        for (int c = 1; c <= widths.size(); ++c) {
            pump.yield();
            if (c == 1)
                appendCell(text, pane.text(r), widths.at(0));
            else
                appendCell(text, pane.subItem(r, c - 1), widths.at(c - 1));
        }
        endCopyLine(text, !widths.isEmpty());
    }
    ClearClipboard(host);
    SetClipboardText(host, text);
}

void ClearClipboard(Host& host)
{
    retryClipboard([&] { return host.clearClipboard(); });
}

void SetClipboardText(Host& host, const QString& text)
{
    retryClipboard([&] { return host.setClipboardText(text); });
}

} // namespace pq

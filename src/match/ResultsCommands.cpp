#include "match/ResultsCommands.h"

#include "export/Columns.h"
#include "platform/HelperThread.h"
#include "platform/Memory.h"
#include "platform/Runtime.h"
#include "platform/Trap.h"
#include "platform/Workspace.h"

#include <QList>
#include <QScopeGuard>

#include <atomic>

namespace pq {

namespace {

constexpr int kClipboardAttempts = 1000;
// Texts longer than this are copied into memory backed by a helper thread.
constexpr qsizetype kBackedCharacters = qsizetype(4) << 20;

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

// The clipboard text as the padded-cell layout writes it.
struct CopyText
{
    QString text;
    void append(QStringView cell) { text.append(cell); }
    void appendSpaces(qsizetype count) { text.resize(text.size() + count, u' '); }
    void appendChar(char c) { text.append(QLatin1Char(c)); }

    // Drops the blanks at the end of the line.
    void endLine()
    {
        qsizetype end = text.size();
        while (end > 0 && text.at(end - 1) == u' ')
            --end;
        text.truncate(end);
        text.append(u"\r\n");
    }
};

void copyToClipboard(const ListPane& pane, Runtime& runtime)
{
    if (pane.count() == 0)
        return;
    QList<qsizetype> widths;
    qsizetype totalLength = 0;
    const int columns = pane.columnHeaderCount();
    for (int c = 1; c <= columns; ++c) {
        const ColumnExtent extent = measureColumn(pane, c, runtime);
        widths.append(extent.widest);
        totalLength += extent.total;
    }
    const int rows = pane.count();
    CopyText copy;
    copy.text.reserve(totalLength + qsizetype(rows) * (widths.size() + 2));
    // A long copy's text lies in memory the system hands out afresh: the helper takes its
    // page faults while this thread fills it.
    std::atomic<bool> filled = false;
    HelperThread helper;
    const auto stopBackingFirst = qScopeGuard([&filled] { filled = true; });
    if (copy.text.capacity() > kBackedCharacters)
        helper.start([room = copy.text.data(), bytes = size_t(copy.text.capacity()) * 2, &filled] {
            populatePagesUntil(filled, room, bytes);
        });
    for (int r = 1; r <= rows; ++r) {
        runtime.yield();
        if (!pane.checked(r))
            continue;
        for (int c = 1; c <= widths.size(); ++c) {
            runtime.yield();
            // The last cell's padding and TAB would only be dropped again with the blanks
            // at the end of the line.
            withCell(pane, r, c, [&](QStringView cell) {
                if (c < widths.size())
                    appendPaddedCell(copy, cell, widths.at(c - 1));
                else
                    copy.append(cell);
            });
        }
        copy.endLine();
    }
    ClearClipboard(runtime.host());
    SetClipboardText(runtime.host(), copy.text);
}

} // namespace

void PushButton10_Click(Workspace& ws)
{
    Trap trap(ws.runtime.errors(), QStringLiteral("Form1.PushButton10_Click"));
    trap.step(100, [&] { ws.listView3.clear(); });
}

void PushButton6_Click(Workspace& ws)
{
    Runtime& runtime = ws.runtime;
    Trap trap(runtime.errors(), QStringLiteral("Form1.PushButton6_Click"));
    // After a copy that failed the clipboard was not touched: saying it holds the Results
    // would be wrong.
    if (!trap.step(106, [&] { CopyListviewToClipboard(ws.listView3, runtime); }))
        return;
    trap.step(108, [&] {
        runtime.message(
            QStringLiteral("Results have been copied to the clipboard.\r\rClick a text area "
                           "where you normally type and press Ctrl+V to paste the clipboard."));
    });
}

void CopyListviewToClipboard(const ListPane& pane, Runtime& runtime)
{
    const PaneReading reading(pane, u"copied; nothing was copied.");
    reading([&] { copyToClipboard(pane, runtime); });
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

#include "lists/PaneClipboard.h"

#include "match/ResultsCommands.h"
#include "platform/Runtime.h"
#include "platform/Trap.h"
#include "platform/Workspace.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace pq {

namespace {

QString location(int paneNumber, QStringView gesture)
{
    return u"Form1.ListView" + QString::number(paneNumber) + u'_' + gesture;
}

bool isLineEnd(char16_t c)
{
    return c == u'\r' || c == u'\n';
}

} // namespace

PastedLines::PastedLines(QString text) : m_block(std::make_shared<TextBlock>())
{
    m_block->used = text.size();
    m_block->chars = std::move(text);
}

TextBatch PastedLines::nextSlice(qsizetype sliceCharacters)
{
    TextBatch batch(m_block);
    const char16_t* chars = reinterpret_cast<const char16_t*>(m_block->chars.constData());
    const qsizetype size = m_block->used;
    const qsizetype stop = std::min(size, m_pos + std::max<qsizetype>(sliceCharacters, 1));
    while (m_pos < size && (m_pos < stop || batch.texts.empty())) {
        const char16_t* end = std::find_if(chars + m_pos, chars + size, isLineEnd);
        const qsizetype lineEnd = end - chars;
        batch.addText(m_pos, lineEnd - m_pos);
        m_pos = lineEnd + 1;
        if (lineEnd + 1 < size && chars[lineEnd] == u'\r' && chars[lineEnd + 1] == u'\n')
            ++m_pos;
    }
    return batch;
}

void appendPastedText(Trap& trap, Runtime& runtime, ListPane& pane, QString text)
{
    PastedLines lines(std::move(text));
    while (!lines.atEnd() && !trap.halted()) {
        trap.loopStep(102, [&] { runtime.yield(); });
        trap.loopStep(104, [&] { pane.addBatch(lines.nextSlice()); });
    }
}

void PasteIntoList(Workspace& ws, int paneNumber)
{
    if (paneNumber != 1 && paneNumber != 2)
        return;
    Trap trap(ws.runtime.errors(), location(paneNumber, u"Paste"));
    QString text;
    trap.step(100, [&] { text = ws.runtime.host().clipboardText(); });
    appendPastedText(trap, ws.runtime, ws.pane(paneNumber), std::move(text));
}

void DropTextOnList(Workspace& ws, int paneNumber, const QString& text)
{
    if (paneNumber != 1 && paneNumber != 2)
        return;
    Trap trap(ws.runtime.errors(), location(paneNumber, u"DragDrop"));
    appendPastedText(trap, ws.runtime, ws.pane(paneNumber), text);
}

QString selectedItemsText(const ListPane& pane)
{
    const std::span<const TextRef> texts = pane.texts();
    const auto eachSelected = [&](auto&& use) {
        for (const RowRun& run : pane.selection()) {
            for (int row = run.first; row < std::min<int>(run.end(), int(texts.size())); ++row)
                use(texts[size_t(row)].view());
        }
    };
    qsizetype size = 0;
    eachSelected([&](QStringView text) { size += text.size() + 2; });
    QString copied;
    copied.reserve(size);
    eachSelected([&](QStringView text) {
        copied.append(text);
        copied.append(u"\r\n");
    });
    return copied;
}

void CopySelectedItems(Workspace& ws, int paneNumber)
{
    Trap trap(ws.runtime.errors(), location(paneNumber, u"Copy"));
    const ListPane& pane = ws.pane(paneNumber);
    if (pane.selection().empty())
        return;
    trap.step(100, [&] {
        const QString text = selectedItemsText(pane);
        ClearClipboard(ws.runtime.host());
        SetClipboardText(ws.runtime.host(), text);
    });
}

} // namespace pq

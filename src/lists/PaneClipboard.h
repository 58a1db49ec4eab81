#pragma once

#include "platform/TextStore.h"

#include <QString>

#include <memory>

namespace pq {

class ListPane;
class Runtime;
class Trap;
struct Workspace;

// How many characters of pasted text become items in one go between two yields.
constexpr qsizetype kPasteSliceCharacters = qsizetype(1) << 18;

// Splits pasted text into items, a slice of whole lines at a time. A line ends at CR LF,
// a lone CR or a lone LF (text copied in other programs ends lines in any of them); a
// line end at the very end adds no empty item. Blanks and TABs stay in the item, so a
// spreadsheet row of several cells is one item. The items share the text's characters.
class PastedLines
{
public:
    explicit PastedLines(QString text);

    bool atEnd() const { return m_pos >= m_block->used; }
    // The items of the next lines: at least one, and more until `sliceCharacters` were taken.
    TextBatch nextSlice(qsizetype sliceCharacters = kPasteSliceCharacters);

private:
    std::shared_ptr<TextBlock> m_block;
    qsizetype m_pos = 0;
};

// Appends the lines of the text to the pane, yielding before each slice.
void appendPastedText(Trap& trap, Runtime& runtime, ListPane& pane, QString text);

// Ctrl+V or Shift+Insert in List 1 or List 2 (`paneNumber` 1 or 2): appends the clipboard's
// plain text as items. No busy guard, like "Add One Item"; an empty clipboard adds nothing.
void PasteIntoList(Workspace& ws, int paneNumber);
// Text dropped on List 1 or List 2: added as a paste is.
void DropTextOnList(Workspace& ws, int paneNumber, const QString& text);

// Ctrl+C in any pane: puts the selected items on the clipboard in pane order, each
// followed by CR LF, exactly as they are; nothing selected leaves the clipboard alone.
void CopySelectedItems(Workspace& ws, int paneNumber);
// The text that copy puts on the clipboard.
QString selectedItemsText(const ListPane& pane);

} // namespace pq

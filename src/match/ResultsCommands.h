#pragma once

#include <QString>

namespace pq {

class Host;
class ListPane;
class Runtime;
struct Workspace;

// "Clear Results".
void PushButton10_Click(Workspace& ws);
// "Copy Results To Clipboard".
void PushButton6_Click(Workspace& ws);

// Puts the ticked rows of `pane` on the clipboard as text: one line per row, cells
// separated by TAB, every cell but the last padded with blanks to the longest cell of its
// column (all rows count), trailing blanks removed, CR LF after every line. An empty pane
// leaves the clipboard alone. Failures (a row vanished meanwhile) go to the caller; the
// clipboard is only touched once the text is complete.
void CopyListviewToClipboard(const ListPane& pane, Runtime& runtime);

// Each tries up to 1000 times while the clipboard refuses, and never reports.
void ClearClipboard(Host& host);
void SetClipboardText(Host& host, const QString& text);

} // namespace pq

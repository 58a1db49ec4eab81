#pragma once

#include <QString>

class QIODevice;

namespace pq {

class ListPane;
class ProgressBar;
struct Workspace;

// Writes `pane` to `path` as a table whose columns line up: a line of column titles, then
// one line per ticked row; every cell is padded with blanks to the longest entry of its
// column (ticked or not, title included) and followed by a TAB; lines end in CR LF. The
// file is Windows-1252 text. It replaces an existing file only once every line was
// written; the first failure is reported and ends the export. `progressBar` may be null.
void SaveListviewProperlySpaced(Workspace& ws, ListPane& pane, const QString& path,
                                ProgressBar* progressBar);

// The same, writing the bytes to `device`; `path` only names the file on the bar.
void SaveListviewProperlySpaced(Workspace& ws, ListPane& pane, const QString& path,
                                QIODevice& device, ProgressBar* progressBar);

} // namespace pq

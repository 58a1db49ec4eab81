#pragma once

#include <QString>

class QIODevice;

namespace pq {

class ListPane;
class ProgressBar;
struct Workspace;

// Writes every row of `pane`, ticked or not, to `path` with its cells joined by commas,
// unquoted; lines end in CR LF. A pane of two or more columns gets a line of titles, each
// followed by a comma, first; for a pane of one column every line but the last ends with a
// comma, so the lines form one comma-separated list. Asks before replacing an existing
// file. The file is Windows-1252 text and replaces an existing one only once every line
// was written; the first failure is reported and ends the export. `progressBar` may be
// null.
void SaveListviewAsCommaDelimToFile(Workspace& ws, ListPane& pane, const QString& path,
                                    ProgressBar* progressBar);

// The same, writing the bytes to `device`; `path` is still the file the question is about
// and the name shown on the bar.
void SaveListviewAsCommaDelimToFile(Workspace& ws, ListPane& pane, const QString& path,
                                    QIODevice& device, ProgressBar* progressBar);

} // namespace pq

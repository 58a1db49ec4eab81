#pragma once

namespace pq {

class ListPane;
class ProgressBar;
class ResultFile;
class Runtime;

// Writes every row of `pane`, ticked or not, to `file` with its cells joined by commas,
// unquoted; lines end in CR LF. A pane of two or more columns gets a line of titles, each
// followed by a comma, first; for a pane of one column every line but the last ends with a
// comma, so the lines form one comma-separated list. The first failure is reported and
// ends the export, and the file then replaces nothing. `progressBar` may be null.
// True when the file was written whole and put in place.
bool SaveListviewAsCommaDelimToFile(const ListPane& pane, ResultFile& file,
                                    ProgressBar* progressBar, Runtime& runtime);

} // namespace pq

#pragma once

namespace pq {

class ListPane;
class ProgressBar;
class ResultFile;
class Runtime;

// Writes `pane` to `file` as a table whose columns line up: a line of column titles, then
// one line per ticked row; every cell is padded with blanks to the longest entry of its
// column (ticked or not, title included) and followed by a TAB; lines end in CR LF.
// The first failure is reported and ends the export, and the file then replaces nothing.
// `progressBar` may be null. True when the file was written whole and put in place.
bool SaveListviewProperlySpaced(const ListPane& pane, ResultFile& file, ProgressBar* progressBar,
                                Runtime& runtime);

} // namespace pq

#pragma once

#include <QString>

namespace pq {

class ProgressBar;
class ResultFile;
class Runtime;
class Trap;

// The part of a path after its last folder separator ("/" or "\"); the whole text when
// it has none. Only shown on the progress bar.
QString pathNamePart(const QString& path);

// The bar's position while row j of `rows` is written: (j + rows div 2000) / rows * 100,
// rounded to the nearest whole number (ties to even).
int writingPercent(qint64 row, qint64 rows);

// The progress bar as the writers drive it. Without a bar every call does nothing, the
// yields included.
class WritingProgress
{
public:
    WritingProgress(Runtime& runtime, ProgressBar* bar, const QString& path);

    // Yield; set the position and the "Writing file: " text; yield.
    void stage(int percent);
    // Yield; set the position for row j; at every 1000th row name it in the text; yield.
    void row(qint64 j, qint64 rows);
    void done();
    void rest();

private:
    Runtime& m_runtime;
    ProgressBar* m_bar;
    QString m_text;
};

// The end of a writer, after its lines: the bytes reach the disk before the bar says
// "Done.", then the file replaces any old one. Whether the trap failed before or here,
// the bar returns to rest, and a file not written whole is thrown away.
// True when the file is in place.
// `closeLabel` is the label of the writer's step that closes the file.
bool finishResultFile(Trap& trap, ResultFile& file, WritingProgress& progress, Runtime& runtime,
                      int closeLabel);

} // namespace pq

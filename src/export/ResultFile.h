#pragma once

#include "app/ErrorReport.h"
#include "platform/ListPane.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <memory>

class QIODevice;

namespace pq {

class EventPump;
class Host;
class ProgressBar;
struct Workspace;

// The part of a path after its last folder separator ("/" or "\"); the whole text when
// it has none. Only shown on the progress bar.
QString pathNamePart(const QString& path);

// The bar's position while row j of `rows` is written: (j + rows div 2000) / rows * 100,
// rounded to the nearest whole number (ties to even).
int writingPercent(qint64 row, qint64 rows);

// Where the bytes of a result file go. The file target writes a temporary file beside the
// path and puts it in place only on `commit`; anything not committed is thrown away, also
// when the target is destroyed while an exception unwinds.
class ResultTarget
{
public:
    virtual ~ResultTarget() = default;
    // The device to write to; throws AppError when it cannot be created.
    virtual QIODevice& create() = 0;
    // Puts the bytes written so far on disk; the window keeps running meanwhile. Throws
    // AppError when they could not be stored.
    virtual void flush(EventPump& pump) = 0;
    // Puts the file in place of the target. Throws AppError when it could not.
    virtual void commit() = 0;
    virtual void discard() = 0;
};

std::unique_ptr<ResultTarget> fileTarget(const QString& path);
// Writes to a device the caller owns; opened for writing here unless it already is.
std::unique_ptr<ResultTarget> deviceTarget(QIODevice& device);

// Collects the encoded bytes of a result file and writes them in large chunks.
// Text is encoded in Windows-1252; lines that needed a "?" for a character the code page
// cannot hold are counted.
class ResultFileWriter
{
public:
    explicit ResultFileWriter(QIODevice& device);

    void append(QStringView text)
    {
        if (appendWindows1252To(text) != 0)
            m_lineReplaced = true;
    }
    void appendSpaces(qsizetype count) { m_block.append(count, ' '); }
    void appendChar(char c) { m_block.append(c); }
    // Ends the line with CR LF and writes the collected bytes once there are enough.
    void endLine()
    {
        m_block.append("\r\n", 2);
        if (m_lineReplaced)
            ++m_linesReplaced;
        m_lineReplaced = false;
        if (m_block.size() >= kChunkBytes)
            writeBlock();
    }
    // Writes whatever is still collected.
    void finish() { writeBlock(); }

    qsizetype linesWithReplacements() const { return m_linesReplaced; }

private:
    static constexpr qsizetype kChunkBytes = qsizetype(1) << 20;

    qsizetype appendWindows1252To(QStringView text);
    void writeBlock(); // throws AppError when the device takes less than everything

    QIODevice& m_device;
    QByteArray m_block;
    qsizetype m_linesReplaced = 0;
    bool m_lineReplaced = false;
};

// The progress bar as the writers drive it. Without a bar every call does nothing, the
// yields included.
class WritingProgress
{
public:
    WritingProgress(EventPump& pump, ProgressBar* bar, const QString& path);

    bool shown() const { return m_bar != nullptr; }
    // Yield; set the position and the "Writing file: " text; yield.
    void stage(int percent);
    // Yield; set the position for row j; at every 1000th row name it in the text; yield.
    void row(qint64 j, qint64 rows);
    void done();
    void rest();

private:
    EventPump& m_pump;
    ProgressBar* m_bar;
    QString m_text;
};

// Runs the steps of one writer. The step running is named by `at(label)`; the first
// failure is reported once with that label and ends the run (the window closing still
// unwinds through it).
class WriterSteps
{
public:
    WriterSteps(Host& host, QString location) : m_host(host), m_location(std::move(location)) {}

    void at(int label) { m_label = label; }

    // True when `body` ran to its end.
    template <typename Body> bool run(Body&& body)
    {
        try {
            body();
            return true;
        } catch (const CommandAbandoned&) {
            throw;
        } catch (const AppError& e) {
            report(e.description());
        } catch (const std::bad_alloc&) {
            report(QStringLiteral("Out of memory"));
        } catch (const std::exception& e) {
            report(QString::fromLocal8Bit(e.what()));
        }
        return false;
    }

private:
    void report(const QString& description);

    Host& m_host;
    QString m_location;
    int m_label = 0;
};

// Whether the file at `path` may be written: true when it does not exist yet, otherwise
// the user's answer to the overwrite question.
bool mayOverwrite(Workspace& ws, const QString& path);

// Calls `use` with the text of a cell: the row's text for column 1, its sub-item
// column - 1 otherwise. Throws AppError when the row or column does not exist.
template <typename Use> void withCell(const ListPane& pane, int row, int column, Use&& use)
{
    if (column == 1) {
        use(QStringView(pane.text(row)));
    } else {
        const QString subItem = pane.subItem(row, column - 1);
        use(QStringView(subItem));
    }
}

// After a save in which some lines had characters written as "?", says how many.
void reportReplacedCharacters(Workspace& ws, qsizetype lines);

// The labels of a writer's closing steps: closing the file, "Done.", and the bar's rest.
struct ClosingLabels
{
    int close;
    int done;
    int rest;
};

// Ends a written file: its bytes are on disk before the bar says "Done.", then the file
// replaces any old one and the bar returns to rest.
void closeResultFile(EventPump& pump, ResultFileWriter& out, ResultTarget& target,
                     WritingProgress& progress, WriterSteps& steps, ClosingLabels labels);

// After an export: one that was not written whole is thrown away and the bar returns to
// rest; otherwise the user learns of any characters written as "?".
void finishExport(Workspace& ws, bool written, const ResultFileWriter* out, ResultTarget& target,
                  WritingProgress& progress);

} // namespace pq

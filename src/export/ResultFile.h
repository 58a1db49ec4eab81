#pragma once

#include "platform/HelperThread.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <memory>

class QIODevice;
class QSaveFile;

namespace pq {

class EventPump;

// The bytes of one result file: collected, encoded and written in large chunks. It asks
// nothing and reports nothing; every failure is thrown as AppError.
//
// Made with a path, it writes a temporary file beside the path and puts it in place only
// on `commit`: a file that was not committed is thrown away, also when an exception
// unwinds, and an existing file at the path stays as it was.
//
// Given an event pump, each chunk goes to the disk on a helper thread while the window
// keeps running: a write the system has to find fresh memory for can take tens of
// milliseconds. The chunk is written before the line that filled it returns, as without.
//
// Text is encoded in the system's encoding (UTF-8, no byte-order mark); lines that held
// an unpaired surrogate, written as U+FFFD, are counted.
class ResultFile
{
public:
    explicit ResultFile(const QString& path, EventPump* pump = nullptr);
    // Writes to a device the caller owns, opened for writing here unless it already is;
    // `path` only names the file.
    ResultFile(QIODevice& device, const QString& path);
    ~ResultFile();
    ResultFile(const ResultFile&) = delete;
    ResultFile& operator=(const ResultFile&) = delete;

    const QString& path() const { return m_path; }

    void create();
    void append(QStringView text);
    void appendSpaces(qsizetype count) { m_block.append(count, ' '); }
    void appendChar(char c) { m_block.append(c); }
    // Ends the line with CR LF and writes the collected bytes once there are enough.
    void endLine();
    // Writes what is still collected and waits, while the window keeps running, until the
    // bytes are on the disk.
    void flush(EventPump& pump);
    // Puts the file in place of any file at the path; the window keeps running while the
    // file replaced is let go.
    void commit(EventPump& pump);
    // Throws away what was written.
    void discard();

    qsizetype linesWithReplacements() const { return m_linesReplaced; }

private:
    void writeBlock();

    QString m_path;
    std::unique_ptr<QSaveFile> m_saveFile;
    QIODevice* m_device = nullptr;
    EventPump* m_pump = nullptr;
    QByteArray m_block;
    HelperThread m_writer; // after what its jobs touch: gone before it
    qsizetype m_linesReplaced = 0;
    bool m_lineReplaced = false;
};

} // namespace pq

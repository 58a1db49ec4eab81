#include "export/ResultFile.h"

#include "app/Workspace.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/ProgressBar.h"
#include "platform/Windows1252.h"

#include <QIODevice>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <future>

namespace pq {

namespace {

// A device that gave up without saying why still reports "Unknown error".
QString failureText(QStringView what, const QIODevice& device)
{
    const QString reason = device.errorString();
    if (reason.isEmpty() || reason == u"Unknown error")
        return what.toString();
    return what + u": " + reason;
}

// Waits for the file's bytes to reach the disk on a worker thread while the window keeps
// running: syncing tens of megabytes can take longer than the window may stand still.
// Replacing the target afterwards then has next to nothing left to sync.
void syncWhileRunning(int handle, EventPump& pump)
{
#ifdef Q_OS_UNIX
    if (handle < 0)
        return;
    // The future's destructor waits for the thread, also when a yield throws.
    std::future<int> synced =
        std::async(std::launch::async, [handle] { return ::fsync(handle) == 0 ? 0 : errno; });
    while (synced.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready)
        pump.yield();
    if (const int error = synced.get(); error != 0)
        throw AppError(u"Cannot write the file: " + qt_error_string(error));
#else
    Q_UNUSED(handle);
    Q_UNUSED(pump);
#endif
}

class FileTarget : public ResultTarget
{
public:
    explicit FileTarget(const QString& path) : m_file(path) {}

    QIODevice& create() override
    {
        if (m_file.fileName().isEmpty() || !m_file.open(QIODevice::WriteOnly))
            throw AppError(failureText(u"Cannot create the file", m_file));
        return m_file;
    }
    void flush(EventPump& pump) override
    {
        if (!m_file.flush())
            throw AppError(failureText(u"Cannot write the file", m_file));
        syncWhileRunning(m_file.handle(), pump);
    }
    void commit() override
    {
        if (!m_file.commit())
            throw AppError(failureText(u"Cannot write the file", m_file));
    }
    void discard() override
    {
        if (!m_file.isOpen())
            return;
        // Committing a cancelled file removes the temporary file and keeps the target.
        m_file.cancelWriting();
        m_file.commit();
    }

private:
    QSaveFile m_file;
};

class DeviceTarget : public ResultTarget
{
public:
    explicit DeviceTarget(QIODevice& device) : m_device(device) {}

    QIODevice& create() override
    {
        if (!m_device.isWritable() && !m_device.open(QIODevice::WriteOnly))
            throw AppError(failureText(u"Cannot create the file", m_device));
        return m_device;
    }
    void flush(EventPump&) override {}
    void commit() override {}
    void discard() override {}

private:
    QIODevice& m_device;
};

} // namespace

QString pathNamePart(const QString& path)
{
    const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(slash + 1);
}

int writingPercent(qint64 row, qint64 rows)
{
    const double percent =
        static_cast<double>(row + rows / 2000) / static_cast<double>(rows) * 100.0;
    return static_cast<int>(std::nearbyint(percent));
}

std::unique_ptr<ResultTarget> fileTarget(const QString& path)
{
    return std::make_unique<FileTarget>(path);
}

std::unique_ptr<ResultTarget> deviceTarget(QIODevice& device)
{
    return std::make_unique<DeviceTarget>(device);
}

ResultFileWriter::ResultFileWriter(QIODevice& device) : m_device(device)
{
    m_block.reserve(kChunkBytes + kChunkBytes / 4);
}

qsizetype ResultFileWriter::appendWindows1252To(QStringView text)
{
    return appendWindows1252(text, m_block);
}

void ResultFileWriter::writeBlock()
{
    if (m_block.isEmpty())
        return;
    if (m_device.write(m_block) != m_block.size())
        throw AppError(failureText(u"Cannot write the file", m_device));
    m_block.resize(0);
}

WritingProgress::WritingProgress(EventPump& pump, ProgressBar* bar, const QString& path)
    : m_pump(pump), m_bar(bar), m_text(u"Writing file: " + pathNamePart(path))
{
}

void WritingProgress::stage(int percent)
{
    if (!m_bar)
        return;
    m_pump.yield();
    m_bar->setValue(percent);
    m_bar->setText(m_text);
    m_pump.yield();
}

void WritingProgress::row(qint64 j, qint64 rows)
{
    if (!m_bar)
        return;
    m_pump.yield();
    m_bar->setValue(writingPercent(j, rows));
    if (j % 1000 == 0)
        m_bar->setText(m_text + u" (" + QString::number(j) + u')');
    m_pump.yield();
}

void WritingProgress::done()
{
    if (!m_bar)
        return;
    m_bar->setValue(100);
    m_bar->setText(QStringLiteral("Done."));
}

void WritingProgress::rest()
{
    if (!m_bar)
        return;
    m_bar->setValue(0);
    m_bar->setText(ProgressBar::restText());
}

void WriterSteps::report(const QString& description)
{
    ErrorReport(m_host, description, m_location, m_label);
}

bool mayOverwrite(Workspace& ws, const QString& path)
{
    if (!FileExists(path))
        return true;
    return ws.message(u"Are you sure you wish to overwrite " + path + u" ?", MessageButtons::YesNo,
                      MessageAnswer::Yes) == MessageAnswer::Yes;
}

void reportReplacedCharacters(Workspace& ws, qsizetype lines)
{
    if (lines <= 0)
        return;
    const QString what = lines == 1 ? QStringLiteral("1 item was")
                                    : QString(QString::number(lines) + u" items were");
    ws.message(what + u" written with \"?\" in place of characters that cannot be stored "
                      u"in the file.");
}

void closeResultFile(EventPump& pump, ResultFileWriter& out, ResultTarget& target,
                     WritingProgress& progress, WriterSteps& steps, ClosingLabels labels)
{
    steps.at(labels.close);
    out.finish();
    target.flush(pump);
    steps.at(labels.done);
    progress.done();
    steps.at(labels.close);
    target.commit();
    steps.at(labels.rest);
    progress.rest();
}

void finishExport(Workspace& ws, bool written, const ResultFileWriter* out, ResultTarget& target,
                  WritingProgress& progress)
{
    if (!written) {
        target.discard();
        progress.rest();
        return;
    }
    if (out)
        reportReplacedCharacters(ws, out->linesWithReplacements());
}

} // namespace pq

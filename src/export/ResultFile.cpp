#include "export/ResultFile.h"

#include "platform/AppError.h"
#include "platform/EventPump.h"
#include "platform/SystemText.h"

#include <QFile>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>
#include <future>

namespace pq {

namespace {

constexpr qsizetype kChunkBytes = qsizetype(1) << 20;

// A device that gave up without saying why still reports "Unknown error".
AppError failure(QStringView what, const QIODevice& device)
{
    const QString reason = device.errorString();
    if (reason.isEmpty() || reason == u"Unknown error")
        return AppError(what.toString());
    return AppError(what + u": " + reason);
}

#ifdef Q_OS_UNIX
// Runs `job`, which returns 0 or an errno value, on a worker thread while the window keeps
// running, and returns what it returned.
template <typename Job> int runWhileYielding(Job&& job, EventPump& pump)
{
    // The future's destructor waits for the thread, also when a yield throws.
    std::future<int> done = std::async(std::launch::async, std::forward<Job>(job));
    while (done.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready)
        pump.yield();
    return done.get();
}

// The regular file at the path, opened for reading; -1 when there is none.
int openRegular(const QString& path)
{
    const int handle =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status
    {
    };
    if (handle >= 0 && (::fstat(handle, &status) != 0 || !S_ISREG(status.st_mode))) {
        ::close(handle);
        return -1;
    }
    return handle;
}
#endif

// Waits for the file's bytes to reach the disk on a worker thread while the window keeps
// running: syncing tens of megabytes can take longer than the window may stand still.
// Replacing the target afterwards then has next to nothing left to sync.
void syncWhileRunning(int handle, EventPump& pump)
{
#ifdef Q_OS_UNIX
    if (handle < 0)
        return;
    if (const int error =
            runWhileYielding([handle] { return ::fsync(handle) == 0 ? 0 : errno; }, pump);
        error != 0)
        throw AppError(u"Cannot write the file: " + qt_error_string(error));
#else
    Q_UNUSED(handle);
    Q_UNUSED(pump);
#endif
}

// Writes all of `bytes`. A disk that fills up takes part of a write without an error; the
// next write of the rest then fails and says why.
void writeAll(QIODevice& device, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const qint64 written = device.write(data, left);
        if (written <= 0)
            throw failure(u"Cannot write the file", device);
        data += written;
        left -= written;
    }
}

} // namespace

ResultFile::ResultFile(const QString& path, EventPump* pump)
    : m_path(path), m_saveFile(std::make_unique<QSaveFile>(path)), m_pump(pump)
{
}

ResultFile::ResultFile(QIODevice& device, const QString& path) : m_path(path), m_device(&device) {}

ResultFile::~ResultFile()
{
    discard();
}

void ResultFile::create()
{
    m_block.reserve(kChunkBytes + kChunkBytes / 4);
    if (m_saveFile) {
        // Unbuffered: the chunks are large already, and each failure comes with its reason.
        if (m_path.isEmpty() || !m_saveFile->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            throw failure(u"Cannot create the file", *m_saveFile);
        m_device = m_saveFile.get();
    } else if (!m_device->isWritable() && !m_device->open(QIODevice::WriteOnly)) {
        throw failure(u"Cannot create the file", *m_device);
    }
}

void ResultFile::append(QStringView text)
{
    if (SystemText::append(text, m_block) != 0)
        m_lineReplaced = true;
}

void ResultFile::endLine()
{
    m_block.append("\r\n", 2);
    if (m_lineReplaced)
        ++m_linesReplaced;
    m_lineReplaced = false;
    if (m_block.size() >= kChunkBytes)
        writeBlock();
}

void ResultFile::writeBlock()
{
    if (m_block.isEmpty())
        return;
    if (!m_device)
        throw AppError(QStringLiteral("Cannot write the file"));
    if (m_pump && m_saveFile) {
        m_writer.start([this] { writeAll(*m_device, m_block); });
        m_writer.waitWhile([this] { m_pump->yield(); });
    } else {
        writeAll(*m_device, m_block);
    }
    m_block.resize(0);
}

void ResultFile::flush(EventPump& pump)
{
    writeBlock();
    if (!m_saveFile)
        return;
    if (!m_saveFile->flush())
        throw failure(u"Cannot write the file", *m_saveFile);
    syncWhileRunning(m_saveFile->handle(), pump);
}

void ResultFile::commit(EventPump& pump)
{
    if (!m_saveFile)
        return;
#ifdef Q_OS_UNIX
    // The file replaced is held open across the rename and let go on a worker thread: the
    // system frees a large file's blocks when its last name and handle go, which would
    // otherwise stand the window still in the rename for tens of milliseconds.
    const int replaced = openRegular(m_path);
    const bool committed = m_saveFile->commit();
    if (replaced >= 0)
        runWhileYielding([replaced] { return ::close(replaced); }, pump);
#else
    Q_UNUSED(pump);
    const bool committed = m_saveFile->commit();
#endif
    if (!committed)
        throw failure(u"Cannot write the file", *m_saveFile);
}

void ResultFile::discard()
{
    m_block.clear();
    if (!m_saveFile || !m_saveFile->isOpen())
        return;
    // Committing a cancelled file removes the temporary file and keeps the target.
    m_saveFile->cancelWriting();
    m_saveFile->commit();
}

} // namespace pq

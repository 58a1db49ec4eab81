#include "platform/FileSystem.h"

#include "platform/AppError.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pq {

namespace {

#ifdef Q_OS_UNIX
QString kindOfFile(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    return QStringLiteral("not a file of data");
}

AppError notRegular(mode_t mode)
{
    return AppError(u"Not a regular file (" + kindOfFile(mode) + u')');
}

AppError systemError(int error)
{
    return AppError(qt_error_string(error));
}

// The file behind an open handle must be regular too: the path may have been swapped.
int openWithoutWaiting(const QByteArray& path)
{
    struct stat status
    {
    };
    if (::stat(path.constData(), &status) != 0)
        throw systemError(errno);
    if (!S_ISREG(status.st_mode))
        throw notRegular(status.st_mode);
    const int handle = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0)
        throw systemError(errno);
    if (::fstat(handle, &status) != 0 || !S_ISREG(status.st_mode)) {
        const int error = errno;
        ::close(handle);
        throw S_ISREG(status.st_mode) ? systemError(error) : notRegular(status.st_mode);
    }
    return handle;
}
#endif

} // namespace

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

QString pathInFolder(const QString& folder, const QString& name)
{
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

void openRegularFile(QFile& file, const QString& path)
{
#ifdef Q_OS_UNIX
    const int handle = openWithoutWaiting(QFile::encodeName(path));
    if (!file.open(handle, QIODevice::ReadOnly | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        throw AppError(file.errorString());
    }
#else
    if (!QFileInfo(path).isFile())
        throw AppError(QStringLiteral("Not a regular file"));
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw AppError(file.errorString());
#endif
}

} // namespace pq

#include "platform/Memory.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

namespace pq {

namespace {

// A "Name:   1234 kB" field of a /proc status file, in bytes; -1 when it is not there.
qint64 kilobyteField(const char* file, const QByteArray& name)
{
    QFile status(QString::fromLatin1(file));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    // These files are small and always regular; read them whole.
    const QByteArray text = status.read(1 << 16);
    const qsizetype at = text.indexOf(QByteArray(name + ':'));
    if (at < 0)
        return -1;
    const qsizetype end = text.indexOf('\n', at);
    const QByteArray value = text.mid(at + name.size() + 1, end - at - name.size() - 1).trimmed();
    bool ok = false;
    const qint64 kilobytes = value.split(' ').value(0).toLongLong(&ok);
    return ok ? kilobytes * 1024 : -1;
}

} // namespace

qint64 memoryLeftBytes()
{
#ifdef Q_OS_LINUX
    qint64 left = kilobyteField("/proc/meminfo", "MemAvailable");
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        const qint64 used = kilobyteField("/proc/self/status", "VmSize");
        if (used >= 0) {
            const qint64 underLimit = std::max<qint64>(0, qint64(limit.rlim_cur) - used);
            left = left < 0 ? underLimit : std::min(left, underLimit);
        }
    }
    return left;
#else
    return -1;
#endif
}

} // namespace pq

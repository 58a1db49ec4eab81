#include "ExportTestSupport.h"

#include "platform/ProgressBar.h"

#include <QFile>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#endif

namespace pq::test {

bool FailingDevice::open(OpenMode mode)
{
    if (m_refuseOpen) {
        setErrorString(QStringLiteral("Permission denied"));
        return false;
    }
    return QIODevice::open(mode);
}

qint64 FailingDevice::writeData(const char* data, qint64 length)
{
    const qint64 room = m_limit - stored.size();
    if (room < length)
        setErrorString(QStringLiteral("No space left on device"));
    if (room <= 0)
        return -1;
    const qint64 taken = std::min(room, length);
    stored.append(data, taken);
    return taken;
}

void ProgressRecorder::sample()
{
    const std::pair<int, QString> state{m_bar.value(), m_bar.text()};
    if (m_states.isEmpty() || m_states.last() != state)
        m_states.append(state);
}

QList<int> ProgressRecorder::values() const
{
    QList<int> values;
    for (const auto& state : m_states) {
        if (values.isEmpty() || values.last() != state.first)
            values.append(state.first);
    }
    return values;
}

ScratchDisk::ScratchDisk(int kibibytes)
{
#ifdef Q_OS_LINUX
    const QByteArray options = "size=" + QByteArray::number(kibibytes) + "k";
    m_mounted = m_dir.isValid() && ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(),
                                           "tmpfs", 0, options.constData()) == 0;
#else
    Q_UNUSED(kibibytes);
#endif
}

ScratchDisk::~ScratchDisk()
{
#ifdef Q_OS_LINUX
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
#endif
}

QString ScratchDisk::path() const
{
    return m_dir.path();
}

bool ScratchDisk::makeReadOnly()
{
#ifdef Q_OS_LINUX
    return m_mounted && ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs",
                                MS_REMOUNT | MS_RDONLY, nullptr) == 0;
#else
    return false;
#endif
}

} // namespace pq::test

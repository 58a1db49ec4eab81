#include "platform/Memory.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
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

// Below this a room comes from the heap, whose pages are mostly touched already.
constexpr size_t kSystemRoomBytes = size_t(4) << 20;

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

qint64 memoryTotalBytes()
{
#ifdef Q_OS_LINUX
    return kilobyteField("/proc/meminfo", "MemTotal");
#else
    return -1;
#endif
}

qint64 systemShareBytes(qint64 most, int share)
{
    const qint64 total = memoryTotalBytes();
    return total > 0 ? std::min(most, total / share) : most;
}

ZeroedRoom::ZeroedRoom(size_t bytes) : m_bytes(bytes)
{
    if (bytes == 0)
        return;
#ifdef Q_OS_LINUX
    if (bytes >= kSystemRoomBytes) {
        void* mapped =
            mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::bad_alloc();
        m_mapped = true;
        m_data = mapped;
        return;
    }
#endif
    m_data = std::calloc(bytes, 1);
    if (!m_data)
        throw std::bad_alloc();
}

bool populatePages([[maybe_unused]] void* data, [[maybe_unused]] size_t bytes)
{
#if defined(Q_OS_LINUX) && defined(MADV_POPULATE_WRITE)
    constexpr uintptr_t kPage = 4096;
    const auto start = reinterpret_cast<uintptr_t>(data);
    const uintptr_t first = (start + kPage - 1) & ~(kPage - 1);
    const uintptr_t end = (start + bytes) & ~(kPage - 1);
    return end <= first ||
           madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE) == 0;
#else
    return false;
#endif
}

void populatePagesUntil(const std::atomic<bool>& stop, void* data, size_t bytes)
{
    constexpr size_t kSlice = size_t(4) << 20;
    auto* const at = static_cast<char*>(data);
    for (size_t done = 0; done < bytes && !stop; done += kSlice)
        populatePages(at + done, std::min(kSlice, bytes - done));
}

void ZeroedRoom::populate([[maybe_unused]] size_t from, [[maybe_unused]] size_t bytes)
{
#ifdef Q_OS_LINUX
    if (!m_mapped || from >= m_bytes)
        return;
    constexpr uintptr_t kPage = 4096;
    const auto start = reinterpret_cast<uintptr_t>(m_data) + from;
    const uintptr_t first = start & ~(kPage - 1);
    // The room's last page is its own, however little of it the room uses.
    const uintptr_t end = (start + std::min(bytes, m_bytes - from) + kPage - 1) & ~(kPage - 1);
    if (populatePages(reinterpret_cast<void*>(first), end - first))
        return;
    // Older systems: a write to each page does the same; the room is zero already.
    for (uintptr_t page = first; page < end; page += kPage)
        *reinterpret_cast<volatile char*>(page) = 0;
#endif
}

ZeroedRoom::~ZeroedRoom()
{
    release();
}

ZeroedRoom::ZeroedRoom(ZeroedRoom&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_bytes(std::exchange(other.m_bytes, 0)),
      m_mapped(std::exchange(other.m_mapped, false))
{
}

ZeroedRoom& ZeroedRoom::operator=(ZeroedRoom&& other) noexcept
{
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_bytes = std::exchange(other.m_bytes, 0);
        m_mapped = std::exchange(other.m_mapped, false);
    }
    return *this;
}

void ZeroedRoom::release()
{
#ifdef Q_OS_LINUX
    if (m_mapped) {
        munmap(m_data, m_bytes);
        m_mapped = false;
        m_data = nullptr;
        return;
    }
#endif
    std::free(m_data);
    m_data = nullptr;
}

} // namespace pq

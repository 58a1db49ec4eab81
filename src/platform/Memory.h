#pragma once

#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <span>
#include <type_traits>
#include <utility>

namespace pq {

// Bytes of memory this process can still take: the smaller of what the system has
// available and what its address-space limit leaves. -1 when neither can be told.
qint64 memoryLeftBytes();
// Bytes of memory the system has in all; -1 when that cannot be told.
qint64 memoryTotalBytes();
// `most` bytes, but no more than the system's memory divided by `share`.
qint64 systemShareBytes(qint64 most, int share);

// Has the system back the whole pages among `bytes` bytes at `data` now rather than at
// their first use, where it can be asked to; what they hold stays as it is. False when it
// could not be asked.
bool populatePages(void* data, size_t bytes);
// The same a slice at a time, until `stop` is set: for memory that another thread is about
// to fill, whose page faults would otherwise cost that thread more than the filling.
void populatePagesUntil(const std::atomic<bool>& stop, void* data, size_t bytes);

// Zeroed memory for a large table. Large rooms come straight from the system, which zeroes
// each page when it is first touched rather than all at once, so a table of hundreds of
// megabytes costs no pause of its own. They take ordinary pages: where huge pages are had
// on request, the system first gathers each one, and a table of 256 MB took one to two and
// a half seconds to get instead of a tenth of one, for lookups only a few percent faster.
class ZeroedRoom
{
public:
    ZeroedRoom() = default;
    // Throws std::bad_alloc when the memory cannot be had.
    explicit ZeroedRoom(size_t bytes);
    ~ZeroedRoom();
    ZeroedRoom(ZeroedRoom&& other) noexcept;
    ZeroedRoom& operator=(ZeroedRoom&& other) noexcept;
    ZeroedRoom(const ZeroedRoom&) = delete;
    ZeroedRoom& operator=(const ZeroedRoom&) = delete;

    void* data() const { return m_data; }
    size_t bytes() const { return m_bytes; }
    // Has the system back `bytes` bytes from `from` on now rather than at first use. A
    // table filled in random order would otherwise take nearly all its page faults, each
    // zeroing a page, in its first few thousand writes: one long pause instead of many short.
    void populate(size_t from, size_t bytes);

private:
    void release();

    void* m_data = nullptr;
    size_t m_bytes = 0;
    bool m_mapped = false; // straight from the system rather than the heap
};

// A fixed number of zeroed elements of a trivial type, in a ZeroedRoom.
template <typename T> class ZeroedArray
{
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    ZeroedArray() = default;
    explicit ZeroedArray(size_t count) : m_room(count * sizeof(T)), m_count(count) {}
    ZeroedArray(ZeroedArray&& other) noexcept
        : m_room(std::move(other.m_room)), m_count(std::exchange(other.m_count, 0))
    {
    }
    ZeroedArray& operator=(ZeroedArray&& other) noexcept
    {
        m_room = std::move(other.m_room);
        m_count = std::exchange(other.m_count, 0);
        return *this;
    }

    size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    // Has the system back `count` elements from `first` on now (see ZeroedRoom::populate).
    void populate(size_t first, size_t count)
    {
        m_room.populate(first * sizeof(T), std::min(count, m_count - first) * sizeof(T));
    }
    T& operator[](size_t i) { return static_cast<T*>(m_room.data())[i]; }
    const T& operator[](size_t i) const { return static_cast<const T*>(m_room.data())[i]; }
    std::span<const T> all() const { return {static_cast<const T*>(m_room.data()), m_count}; }

private:
    ZeroedRoom m_room;
    size_t m_count = 0;
};

} // namespace pq

#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

namespace pq {

// Large pieces of memory let go of, kept a short while for the next of their kind to be
// made in. Memory the system hands out afresh costs a page fault and a zeroed page every
// few kilobytes, which for lists of millions of lines is a good part of loading them;
// memory the program touched before costs nothing. Each spare is freed once it has lain
// unused for the idle time, a few per dispatch, and spares never hold more than the room.
//
// `Item` owns its memory and moves without copying it (a QString, a std::vector);
// `Measure::bytes(item)` says how much it holds, and `Measure::mayKeep(item)` whether it is
// the only owner of that memory. Made with std::make_shared, so that what outlives the
// shelf can still give itself back through a weak reference.
template <typename Item, typename Measure>
class SpareShelf : public std::enable_shared_from_this<SpareShelf<Item, Measure>>
{
public:
    SpareShelf(qsizetype roomBytes, int idleMilliseconds)
        : m_roomBytes(roomBytes), m_idleMilliseconds(idleMilliseconds)
    {
        m_clock.start();
    }

    // A spare of at least `bytes` and at most twice as many, or an empty item when none fits.
    Item take(qsizetype bytes)
    {
        std::lock_guard lock(m_mutex);
        for (auto spare = m_spares.begin(); spare != m_spares.end(); ++spare) {
            const qsizetype held = Measure::bytes(spare->item);
            if (held >= bytes && held / 2 <= bytes) {
                Item item = std::move(spare->item);
                m_spares.erase(spare);
                m_spareBytes -= held;
                return item;
            }
        }
        return {};
    }

    // Keeps the item as a spare; false, and the item is left as it was, when there is no
    // room, it is not the only owner of its memory, or the shelf cannot grow to hold it.
    bool keep(Item&& item) noexcept
    {
        std::unique_lock lock(m_mutex, std::defer_lock);
        try {
            lock.lock();
            const qsizetype held = Measure::bytes(item);
            if (!Measure::mayKeep(item) || m_spareBytes + held > m_roomBytes)
                return false;
            if (m_spares.size() == m_spares.capacity())
                m_spares.reserve(m_spares.size() * 2 + 4); // before the item moves
            m_spares.push_back({std::move(item), m_clock.elapsed()});
            m_spareBytes += held;
        } catch (...) {
            return false; // a spare less
        }
        if (!m_releaseDue)
            m_releaseDue = scheduleRelease(this->weak_from_this(), m_idleMilliseconds);
        return true;
    }

    qsizetype spareBytesHeld() const
    {
        std::lock_guard lock(m_mutex);
        return m_spareBytes;
    }

    void releaseAll()
    {
        std::vector<Spare> freed;
        std::lock_guard lock(m_mutex);
        freed = takeOld(std::numeric_limits<qint64>::max(), std::numeric_limits<qsizetype>::max());
    }

private:
    // Spares are freed a few at a time: giving a gigabyte back to the system at once would
    // hold up the window for a while.
    static constexpr qsizetype kReleasedPerDispatch = qsizetype(1) << 25;

    struct Spare
    {
        Item item;
        qint64 keptAt = 0; // by the clock
    };

    // Under the lock: the spares kept before `keptBefore`, oldest first, until at least
    // `bytes` bytes were taken.
    std::vector<Spare> takeOld(qint64 keptBefore, qsizetype bytes)
    {
        std::vector<Spare> taken;
        auto spare = m_spares.begin();
        for (qsizetype total = 0;
             spare != m_spares.end() && spare->keptAt < keptBefore && total < bytes; ++spare) {
            const qsizetype held = Measure::bytes(spare->item);
            total += held;
            m_spareBytes -= held;
            taken.push_back(std::move(*spare));
        }
        m_spares.erase(m_spares.begin(), spare);
        return taken;
    }

    // Frees each spare once it has lain unused for the idle time. Runs on the thread of the
    // application's event loop; false, and nothing is scheduled, on any other thread.
    static bool scheduleRelease(const std::weak_ptr<SpareShelf>& ref, int after) noexcept
    {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app || QThread::currentThread() != app->thread())
            return false;
        try {
            QTimer::singleShot(after, app, [ref] {
                if (const auto shelf = ref.lock())
                    shelf->releaseIdle();
            });
        } catch (...) {
            return false; // the next spare kept tries again
        }
        return true;
    }

    void releaseIdle()
    {
        std::vector<Spare> freed;
        std::lock_guard lock(m_mutex);
        const qint64 now = m_clock.elapsed();
        freed = takeOld(now - m_idleMilliseconds + 1, kReleasedPerDispatch);
        m_releaseDue = false;
        if (m_spares.empty())
            return;
        const qint64 due = m_spares.front().keptAt + m_idleMilliseconds - now;
        m_releaseDue = scheduleRelease(this->weak_from_this(), int(std::max<qint64>(due, 0)));
    }

    const qsizetype m_roomBytes;
    const int m_idleMilliseconds;
    mutable std::mutex m_mutex;
    std::vector<Spare> m_spares; // oldest first
    qsizetype m_spareBytes = 0;
    QElapsedTimer m_clock;
    bool m_releaseDue = false;
};

} // namespace pq

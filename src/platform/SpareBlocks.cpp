#include "platform/SpareBlocks.h"

#include "platform/Memory.h"
#include "platform/TextStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <limits>
#include <mutex>
#include <vector>

namespace pq {

namespace {

constexpr qsizetype kReleasedPerDispatch = qsizetype(1) << 24;

} // namespace

struct SpareBlocks::State : std::enable_shared_from_this<State>
{
    State(qsizetype room, int idle) : roomCharacters(room), idleMilliseconds(idle)
    {
        clock.start();
    }

    struct Spare
    {
        QString chars;
        qint64 keptAt = 0; // by the clock
    };

    const qsizetype roomCharacters;
    const int idleMilliseconds;
    mutable std::mutex mutex;
    std::vector<Spare> spares; // oldest first
    qsizetype spareCharacters = 0;
    QElapsedTimer clock;
    bool releaseDue = false;

    // Under the lock.
    QString takeFitting(qsizetype characters)
    {
        for (auto spare = spares.begin(); spare != spares.end(); ++spare) {
            const qsizetype capacity = spare->chars.capacity();
            if (capacity >= characters && capacity / 2 <= characters) {
                QString chars = std::move(spare->chars);
                spares.erase(spare);
                spareCharacters -= capacity;
                return chars;
            }
        }
        return {};
    }

    // Under the lock; false when there is no room, and the characters are left as they were.
    bool keep(QString&& chars)
    {
        const qsizetype capacity = chars.capacity();
        if (!chars.isDetached() || spareCharacters + capacity > roomCharacters)
            return false;
        spares.push_back({std::move(chars), clock.elapsed()});
        spareCharacters += capacity;
        if (!releaseDue)
            releaseDue = scheduleRelease(weak_from_this(), idleMilliseconds);
        return true;
    }

    // Under the lock: the spares kept before `keptBefore`, oldest first, until at least
    // `characters` characters were taken.
    std::vector<Spare> takeOld(qint64 keptBefore, qsizetype characters)
    {
        std::vector<Spare> taken;
        auto spare = spares.begin();
        for (qsizetype total = 0;
             spare != spares.end() && spare->keptAt < keptBefore && total < characters; ++spare) {
            total += spare->chars.capacity();
            spareCharacters -= spare->chars.capacity();
            taken.push_back(std::move(*spare));
        }
        spares.erase(spares.begin(), spare);
        return taken;
    }

    static bool scheduleRelease(const std::weak_ptr<State>& ref, int after);
};

// Frees each spare once it has lain unused for the idle time. Runs on the thread of the
// application's event loop; false, and nothing is scheduled, on any other thread.
bool SpareBlocks::State::scheduleRelease(const std::weak_ptr<State>& ref, int after)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return false;
    QTimer::singleShot(after, app, [ref] {
        const auto state = ref.lock();
        if (!state)
            return;
        std::vector<Spare> freed;
        std::lock_guard lock(state->mutex);
        const qint64 now = state->clock.elapsed();
        // A few at a time: giving a gigabyte back to the system at once would hold up the
        // window for a while.
        freed = state->takeOld(now - state->idleMilliseconds + 1, kReleasedPerDispatch);
        state->releaseDue = false;
        if (state->spares.empty())
            return;
        const qint64 due = state->spares.front().keptAt + state->idleMilliseconds - now;
        state->releaseDue = scheduleRelease(ref, int(std::max<qint64>(due, 0)));
    });
    return true;
}

SpareBlocks::SpareBlocks(qsizetype roomCharacters, int idleMilliseconds)
    : m_state(std::make_shared<State>(roomCharacters, idleMilliseconds))
{
}

SpareBlocks::~SpareBlocks() = default;

// New characters; when the memory for them cannot be had, the spares are given back to
// the system first, then the memory asked for again.
QString SpareBlocks::madeAfresh(qsizetype characters)
{
    try {
        return QString(characters, Qt::Uninitialized);
    } catch (const std::bad_alloc&) {
        if (spareCharacters() == 0)
            throw;
    }
    releaseAll();
    return QString(characters, Qt::Uninitialized);
}

std::shared_ptr<TextBlock> SpareBlocks::make(qsizetype characters)
{
    if (characters < kSmallestKept) {
        auto block = std::make_shared<TextBlock>();
        block->chars = QString(characters, Qt::Uninitialized);
        return block;
    }
    QString chars;
    {
        std::lock_guard lock(m_state->mutex);
        chars = m_state->takeFitting(characters);
    }
    if (chars.isNull())
        chars = madeAfresh(characters);
    else
        chars.resize(characters); // within its capacity: the memory stays where it is
    const auto giveBack = [ref = std::weak_ptr<State>(m_state)](TextBlock* block) {
        std::unique_ptr<TextBlock> owned(block);
        const auto state = ref.lock();
        if (!state)
            return;
        std::lock_guard lock(state->mutex);
        state->keep(std::move(owned->chars));
    };
    std::shared_ptr<TextBlock> block(new TextBlock, giveBack);
    block->chars = std::move(chars);
    return block;
}

qsizetype SpareBlocks::spareCharacters() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->spareCharacters;
}

void SpareBlocks::releaseAll()
{
    std::vector<State::Spare> freed;
    std::lock_guard lock(m_state->mutex);
    freed =
        m_state->takeOld(std::numeric_limits<qint64>::max(), std::numeric_limits<qsizetype>::max());
}

SpareBlocks& SpareBlocks::shared()
{
    // Up to 1.5 GiB of text, enough for both lists of ten million short lines to be loaded
    // again into the memory they held, but no more than an eighth of the system's memory;
    // each block freed after three seconds unused. Never destroyed: blocks of panes that
    // outlive everything else still give themselves back to it.
    static SpareBlocks* const spares = [] {
        qint64 roomBytes = qint64(3) << 29;
        if (const qint64 total = memoryTotalBytes(); total > 0)
            roomBytes = std::min(roomBytes, total / 8);
        return new SpareBlocks(qsizetype(roomBytes / qint64(sizeof(QChar))), 3000);
    }();
    return *spares;
}

} // namespace pq

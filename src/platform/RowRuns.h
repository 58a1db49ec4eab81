#pragma once

#include <span>
#include <utility>
#include <vector>

namespace pq {

// A run of neighbouring rows of a pane, by 0-based row.
struct RowRun
{
    int first = 0;
    int count = 0;

    int end() const { return first + count; }
    bool operator==(const RowRun&) const = default;
};

// The runs sorted, with overlapping and touching runs joined and empty ones dropped.
std::vector<RowRun> joinedRuns(std::vector<RowRun> runs);
int rowsIn(std::span<const RowRun> runs);

// Where rows that were in `runs` are once the rows of `removed` have gone.
std::vector<RowRun> runsAfterRemoval(std::span<const RowRun> runs, std::span<const RowRun> removed);
// Where rows that were in `runs` are once rows were put in at `inserted` (the places the
// new rows hold afterwards).
std::vector<RowRun> runsAfterInsertion(std::span<const RowRun> runs,
                                       std::span<const RowRun> inserted);

// Moves the items of the joined runs out of `items`, in order, onto the end of `removed`
// when it is given; the other items keep their order. One pass, however many runs. When
// memory runs out, it throws before anything has moved.
template <typename Items>
void eraseRuns(Items& items, std::span<const RowRun> runs, Items* removed = nullptr)
{
    if (runs.empty())
        return;
    if (removed) // the only allocation, made before anything moves
        removed->reserve(removed->size() + size_t(rowsIn(runs)));
    // Item by item rather than a copy call per run: half a million runs of one row took
    // 60 ms in calls.
    auto write = items.begin() + runs.front().first;
    auto read = write;
    for (const RowRun& run : runs) {
        const auto runStart = items.begin() + run.first;
        while (read != runStart)
            *write++ = std::move(*read++);
        const auto runEnd = runStart + run.count;
        if (removed) {
            for (; read != runEnd; ++read)
                removed->push_back(std::move(*read));
        }
        read = runEnd;
    }
    write = std::move(read, items.end(), write);
    items.erase(write, items.end());
}

// Puts `rows` back at the joined runs (the places they hold afterwards), the inverse of
// eraseRuns. One pass, however many runs.
template <typename Items> void insertRuns(Items& items, std::span<const RowRun> runs, Items&& rows)
{
    if (runs.empty())
        return;
    Items merged;
    merged.reserve(items.size() + rows.size());
    auto from = items.begin();
    auto put = rows.begin();
    for (const RowRun& run : runs) {
        const auto kept = run.first - static_cast<int>(merged.size());
        merged.insert(merged.end(), std::make_move_iterator(from),
                      std::make_move_iterator(from + kept));
        from += kept;
        merged.insert(merged.end(), std::make_move_iterator(put),
                      std::make_move_iterator(put + run.count));
        put += run.count;
    }
    merged.insert(merged.end(), std::make_move_iterator(from),
                  std::make_move_iterator(items.end()));
    items = std::move(merged);
}

} // namespace pq

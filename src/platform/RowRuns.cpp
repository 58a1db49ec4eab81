#include "platform/RowRuns.h"

#include <algorithm>

namespace pq {

namespace {

void appendRun(std::vector<RowRun>& runs, int first, int count)
{
    if (count <= 0)
        return;
    if (!runs.empty() && runs.back().end() >= first) {
        runs.back().count = std::max(runs.back().end(), first + count) - runs.back().first;
        return;
    }
    runs.push_back({first, count});
}

} // namespace

std::vector<RowRun> joinedRuns(std::vector<RowRun> runs)
{
    const auto byFirst = [](const RowRun& a, const RowRun& b) { return a.first < b.first; };
    if (!std::is_sorted(runs.begin(), runs.end(), byFirst)) // a selection's runs come sorted
        std::sort(runs.begin(), runs.end(), byFirst);
    std::vector<RowRun> joined;
    joined.reserve(runs.size());
    for (const RowRun& run : runs)
        appendRun(joined, run.first, run.count);
    return joined;
}

int rowsIn(std::span<const RowRun> runs)
{
    int rows = 0;
    for (const RowRun& run : runs)
        rows += run.count;
    return rows;
}

std::vector<RowRun> runsAfterRemoval(std::span<const RowRun> runs, std::span<const RowRun> removed)
{
    std::vector<RowRun> mapped;
    size_t next = 0; // the first removed run that does not end before the current row
    int gone = 0;    // rows removed before that run
    for (const RowRun& run : runs) {
        int at = run.first;
        while (at < run.end()) {
            while (next < removed.size() && removed[next].end() <= at)
                gone += removed[next++].count;
            if (next < removed.size() && removed[next].first <= at) {
                at = removed[next].end(); // this part of the run was removed
                continue;
            }
            const int stop =
                next < removed.size() ? std::min(run.end(), removed[next].first) : run.end();
            appendRun(mapped, at - gone, stop - at);
            at = stop;
        }
    }
    return mapped;
}

std::vector<RowRun> runsAfterInsertion(std::span<const RowRun> runs,
                                       std::span<const RowRun> inserted)
{
    std::vector<RowRun> mapped;
    size_t next = 0; // the first inserted run that goes in after the current row
    int added = 0;   // rows inserted before that run
    for (const RowRun& run : runs) {
        int at = run.first;
        while (at < run.end()) {
            // An inserted run goes in before the row that had its place.
            while (next < inserted.size() && inserted[next].first - added <= at)
                added += inserted[next++].count;
            const int stop = next < inserted.size()
                                 ? std::min(run.end(), inserted[next].first - added)
                                 : run.end();
            appendRun(mapped, at + added, stop - at);
            at = stop;
        }
    }
    return mapped;
}

} // namespace pq

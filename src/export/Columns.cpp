#include "export/Columns.h"

#include "platform/Runtime.h"

#include <algorithm>

namespace pq {

ColumnExtent measureColumn(const ListPane& pane, int column, Runtime& runtime)
{
    ColumnExtent extent;
    const int rows = pane.count();
    for (int r = 1; r <= rows; ++r) {
        runtime.yield();
        withCell(pane, r, column, [&](QStringView cell) {
            extent.widest = std::max(extent.widest, cell.size());
            extent.total += cell.size();
        });
    }
    return extent;
}

} // namespace pq

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

QString PaneReading::changedMessage() const
{
    const QString name =
        m_pane.columnHeaderCount() > 0 ? m_pane.columnTitle(1) : QStringLiteral("list");
    return u"The " + name + u" changed while they were being " + m_doing;
}

} // namespace pq

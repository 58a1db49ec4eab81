#pragma once

#include "match/Comparison.h"

#include <QString>
#include <QStringView>

namespace pq {

struct Workspace;

// The text after the last backslash of a path; the whole text when it has none.
QString FileNamePart(QStringView text);

// The progress value at item i of count: i / count x 100 in double precision, floored.
// Throws AppError when count is 0.
int progressPercent(int i, int count);

// progressPercent at each item, worked out anew only where the value changes: a division
// and a rounding for each of ten million items were a tenth of a run's own time.
class ProgressSteps
{
public:
    int at(int i, int count)
    {
        if (count != m_count || i < m_from || i >= m_to)
            stepAt(i, count);
        return m_value;
    }

private:
    void stepAt(int i, int count);

    int m_count = 0;
    qint64 m_from = 0;
    qint64 m_to = 0; // the first item past `m_from` with another value
    int m_value = 0;
};

// "Start Comparing and Finding Matches": appends to Results, in List 1 order, every
// List 1 item whose text occurs in List 2, compared as the options say; with every option
// off, by exact text.
void PushButton11_Click(Workspace& ws);

// Appends to Results, in the order of the list it walks, the items that answer the
// question, compared as the workspace's options were when it started. It reports, yields,
// shows progress and ends as the start button does; progress runs over the walked list.
void compareLists(Workspace& ws, Comparison comparison);

} // namespace pq

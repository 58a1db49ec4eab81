#pragma once

#include <QString>
#include <QStringView>

namespace pq {

struct Workspace;

// The text after the last backslash of a path; the whole text when it has none.
QString FileNamePart(QStringView text);

// The progress value at item i of count: i / count x 100 in double precision, floored.
// Throws AppError when count is 0.
int progressPercent(int i, int count);

// "Start Comparing and Finding Matches": appends to Results, in List 1 order, every
// List 1 item whose exact text occurs in List 2.
void PushButton11_Click(Workspace& ws);

} // namespace pq

#pragma once

#include <QString>

namespace pq {

struct Workspace;
class ListPane;

// "Load List From Text File" under List 1 and List 2.
void PushButton3_Click(Workspace& ws);
void PushButton2_Click(Workspace& ws);

} // namespace pq

#pragma once

namespace pq {

struct Workspace;

// "Clear Results".
void PushButton10_Click(Workspace& ws);
// "Copy Results To Clipboard".
void PushButton6_Click(Workspace& ws);

} // namespace pq

#pragma once

namespace pq {

struct Workspace;

// "Save Results As Text File" and "Save As Comma Delimited".
void PushButton8_Click(Workspace& ws);
void PushButton9_Click(Workspace& ws);

} // namespace pq

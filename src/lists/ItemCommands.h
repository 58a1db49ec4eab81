#pragma once

namespace pq {

struct Workspace;

// "Clear List" under List 1 (does nothing while busy) and under List 2.
void PushButton1_Click(Workspace& ws);
void PushButton5_Click(Workspace& ws);
// "Add One Item To List 1" / "... List 2": prompts for one text and appends it.
void PushButton7_Click(Workspace& ws);
void PushButton12_Click(Workspace& ws);
// "Load Sample/Example Data" under List 1 and List 2.
void PushButton20_Click(Workspace& ws);
void PushButton4_Click(Workspace& ws);

// Removal gestures: double-click on List 1 or 2 removes the selected item (the one under
// the pointer); Delete (key code 46) on any pane removes every selected row.
constexpr int kDeleteKeyCode = 46;
void ListView1_DblClick(Workspace& ws);
void ListView2_DblClick(Workspace& ws);
void ListView1_KeyDown(Workspace& ws, int keyCode, int shift);
void ListView2_KeyDown(Workspace& ws, int keyCode, int shift);
void ListView3_KeyDown(Workspace& ws, int keyCode, int shift);

// Ctrl+Z in a pane: puts back the pane's last change; refused while the window is busy,
// like the removal gestures.
void UndoInPane(Workspace& ws, int paneNumber);
// "Tick All" and "Untick All" on Results.
void TickAllResults(Workspace& ws, bool ticked);

} // namespace pq

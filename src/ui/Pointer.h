#pragma once

namespace pq {

class MousePointer;

// The pointer becomes the hand over a push button, unless the window is busy.
void pointerOverButton(MousePointer& pointer);
// The pointer returns to the arrow over the window background and the panes, unless busy.
void pointerOverBackground(MousePointer& pointer);

} // namespace pq

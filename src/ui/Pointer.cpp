#include "ui/Pointer.h"

#include "platform/MousePointer.h"

namespace pq {

void pointerOverButton(MousePointer& pointer)
{
    if (!pointer.isBusy())
        pointer.setValue(MousePointer::Custom);
}

void pointerOverBackground(MousePointer& pointer)
{
    if (!pointer.isBusy())
        pointer.setValue(MousePointer::Default);
}

} // namespace pq

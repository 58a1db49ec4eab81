#include "platform/ProgressBar.h"

#include <QMetaObject>

#include <algorithm>

namespace pq {

void ProgressBar::setValue(int value)
{
    value = std::clamp(value, 0, 100);
    if (value == m_value)
        return;
    m_value = value;
    markDirty();
}

void ProgressBar::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    markDirty();
}

void ProgressBar::flush()
{
    if (!m_dirty)
        return;
    m_dirty = false;
    emit changed();
}

void ProgressBar::markDirty()
{
    if (m_dirty)
        return;
    m_dirty = true;
    QMetaObject::invokeMethod(this, &ProgressBar::flush, Qt::QueuedConnection);
}

} // namespace pq

#include "app/ProgressBarView.h"

#include "platform/ProgressBar.h"

namespace pq {

ProgressBarView::ProgressBarView(ProgressBar& bar, QWidget* parent)
    : QProgressBar(parent), m_bar(bar)
{
    setRange(0, 100);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
    connect(&bar, &ProgressBar::changed, this, &ProgressBarView::showState);
    showState();
}

QString ProgressBarView::text() const
{
    return m_shownText;
}

void ProgressBarView::showState()
{
    if (m_shownText != m_bar.text()) {
        m_shownText = m_bar.text();
        update();
    }
    setValue(m_bar.value());
}

} // namespace pq

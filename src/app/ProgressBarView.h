#pragma once

#include <QProgressBar>

namespace pq {

class ProgressBar;

// Shows a ProgressBar's value and its text exactly as given (no "%p" placeholders).
class ProgressBarView : public QProgressBar
{
    Q_OBJECT
public:
    explicit ProgressBarView(ProgressBar& bar, QWidget* parent = nullptr);
    QString text() const override;

private:
    void showState();

    ProgressBar& m_bar;
    QString m_shownText;
};

} // namespace pq

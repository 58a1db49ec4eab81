#pragma once

#include <QObject>
#include <QString>

namespace pq {

// The progress bar's value (0..100) and text. Commands may set them millions of times;
// the state is kept here and `changed` is emitted at most once per event-loop dispatch.
class ProgressBar : public QObject
{
    Q_OBJECT
public:
    static QString restText() { return QStringLiteral("Progress Bar"); }

    int value() const { return m_value; }
    const QString& text() const { return m_text; }
    void setValue(int value);
    void setText(const QString& text);

    // Emits `changed` now if anything changed since the last emission.
    void flush();

signals:
    void changed();

private:
    void markDirty();

    int m_value = 0;
    QString m_text = restText();
    bool m_dirty = false;
};

} // namespace pq

#pragma once

#include <QObject>

namespace pq {

// The main window's pointer value: 0 arrow, 11 hourglass (busy), 99 custom picture.
class MousePointer : public QObject
{
    Q_OBJECT
public:
    static constexpr int Default = 0;
    static constexpr int Busy = 11;
    static constexpr int Custom = 99;

    int value() const { return m_value; }
    bool isBusy() const { return m_value == Busy; }
    void setValue(int value)
    {
        if (value == m_value)
            return;
        m_value = value;
        emit changed(value);
    }

signals:
    void changed(int value);

private:
    int m_value = Default;
};

} // namespace pq

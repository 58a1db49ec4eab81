#include "ExportTestSupport.h"

#include "platform/ProgressBar.h"

namespace pq::test {

bool FailingDevice::open(OpenMode mode)
{
    if (m_refuseOpen) {
        setErrorString(QStringLiteral("Permission denied"));
        return false;
    }
    return QIODevice::open(mode);
}

qint64 FailingDevice::writeData(const char* data, qint64 length)
{
    const qint64 room = m_limit - stored.size();
    if (room < length) {
        ++refusedWrites;
        setErrorString(QStringLiteral("No space left on device"));
    }
    if (room <= 0)
        return -1;
    const qint64 taken = std::min(room, length);
    stored.append(data, taken);
    return taken;
}

void ProgressRecorder::sample()
{
    const std::pair<int, QString> state{m_bar.value(), m_bar.text()};
    if (m_states.isEmpty() || m_states.last() != state)
        m_states.append(state);
}

QList<int> ProgressRecorder::values() const
{
    QList<int> values;
    for (const auto& state : m_states) {
        if (values.isEmpty() || values.last() != state.first)
            values.append(state.first);
    }
    return values;
}

} // namespace pq::test

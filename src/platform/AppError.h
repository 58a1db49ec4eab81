#pragma once

#include <QString>

#include <stdexcept>

namespace pq {

// A failure of one step of a command: what the error report shows as its description.
class AppError : public std::runtime_error
{
public:
    explicit AppError(const QString& description)
        : std::runtime_error(description.toStdString()), m_description(description)
    {
    }
    const QString& description() const { return m_description; }

private:
    QString m_description;
};

// Thrown out of a yield once the main window has been closed: it unwinds every command
// that is still running so the program can end at once. Error traps let it pass.
class CommandAbandoned
{
};

} // namespace pq

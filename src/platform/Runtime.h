#pragma once

#include "platform/Host.h"

#include <QString>

namespace pq {

class ErrorSink;
class EventPump;

// The services of the windowing runtime that commands use besides the controls: the
// event-loop yield, the error report, and message and input boxes, which show the
// application title when they name none of their own.
class Runtime
{
public:
    Runtime(Host& host, EventPump& pump, ErrorSink& errors)
        : m_host(host), m_pump(pump), m_errors(errors)
    {
    }

    Host& host() { return m_host; }
    EventPump& pump() { return m_pump; }
    ErrorSink& errors() { return m_errors; }

    const QString& appTitle() const { return m_appTitle; }
    void setAppTitle(const QString& title) { m_appTitle = title; }

    void yield();
    MessageAnswer message(const QString& text, MessageButtons buttons = MessageButtons::Ok,
                          MessageAnswer defaultAnswer = MessageAnswer::Ok);
    // Returns the typed text; the empty text when the user cancelled.
    QString inputBox(const QString& prompt);

private:
    Host& m_host;
    EventPump& m_pump;
    ErrorSink& m_errors;
    QString m_appTitle;
};

} // namespace pq

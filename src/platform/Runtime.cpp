#include "platform/Runtime.h"

#include "platform/EventPump.h"

namespace pq {

void Runtime::yield()
{
    m_pump.yield();
}

MessageAnswer Runtime::message(const QString& text, MessageButtons buttons,
                               MessageAnswer defaultAnswer)
{
    MessageRequest request;
    request.text = text;
    request.buttons = buttons;
    request.icon = MessageIcon::None;
    request.title = m_appTitle;
    request.defaultAnswer = defaultAnswer;
    return m_host.messageBox(request);
}

QString Runtime::inputBox(const QString& prompt)
{
    return m_host.inputBox(prompt, m_appTitle);
}

} // namespace pq

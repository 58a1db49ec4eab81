#include "app/Workspace.h"

namespace pq {

Workspace::Workspace(Host& host, EventPump& pump, FormWindow& window, QString programFolder)
    : host(host), pump(pump), window(window), programFolder(std::move(programFolder))
{
    listView3.setCheckable(true);
}

MessageAnswer Workspace::message(const QString& text, MessageButtons buttons,
                                 MessageAnswer defaultAnswer)
{
    MessageRequest request;
    request.text = text;
    request.buttons = buttons;
    request.icon = MessageIcon::None;
    request.title = appTitle;
    request.defaultAnswer = defaultAnswer;
    return host.messageBox(request);
}

} // namespace pq

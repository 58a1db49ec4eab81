#include "app/ErrorReport.h"

#include "app/AppInfo.h"
#include "platform/Host.h"

namespace pq {

QString errorReportText(const QString& description, const QString& location, int label)
{
    return description + u"\r\n" + u"in Tovelund2021/08/31." + location + u' ' + u"at line " +
           QString::number(label) + u"\r\r" + u"Please email screenshot of this message to " +
           AppInfo::supportEmail();
}

void ErrorReport::report(const QString& description, const QString& location, int label)
{
    MessageRequest request;
    request.text = errorReportText(description, location, label);
    request.buttons = MessageButtons::Ok;
    request.icon = MessageIcon::Exclamation;
    request.title = QStringLiteral("Application Error");
    m_host.messageBox(request);
}

} // namespace pq

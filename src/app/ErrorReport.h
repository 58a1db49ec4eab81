#pragma once

#include "platform/Trap.h"

#include <QString>

namespace pq {

class Host;

// The text of the standard error report.
QString errorReportText(const QString& description, const QString& location, int label);

// Shows every trapped failure as the standard error report: a box titled
// "Application Error" with OK and the warning icon.
class ErrorReport : public ErrorSink
{
public:
    explicit ErrorReport(Host& host) : m_host(host) {}
    void report(const QString& description, const QString& location, int label) override;

private:
    Host& m_host;
};

} // namespace pq

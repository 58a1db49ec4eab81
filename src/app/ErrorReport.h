#pragma once

#include "platform/AppError.h"

#include <QString>

#include <exception>
#include <new>
#include <set>

namespace pq {

class Host;

// The text of the standard error report.
QString errorReportText(const QString& description, const QString& location, int label);

// Shows the standard error report: "Application Error", OK, warning icon.
void ErrorReport(Host& host, const QString& description, const QString& location, int label);

// The error trap of one run of a command procedure. Each step carries a label; a failing
// step is reported and the procedure carries on with its next step.
// Steps inside loops use `loopStep`: when such a step fails a second time in the same run
// (a loop whose every pass fails), no further box is shown and the trap halts: loops that
// test `halted()` end, `loopStep` runs nothing more, and the procedure's closing steps
// (plain `step`) still tidy up.
class Trap
{
public:
    Trap(Host& host, QString location) : m_host(host), m_location(std::move(location)) {}

    template <typename Action> bool step(int label, Action&& action)
    {
        return run(label, action, false);
    }
    template <typename Action> bool loopStep(int label, Action&& action)
    {
        return m_halted ? false : run(label, action, true);
    }
    bool halted() const { return m_halted; }
    const QString& location() const { return m_location; }

private:
    template <typename Action> bool run(int label, Action& action, bool inLoop)
    {
        try {
            action();
            return true;
        } catch (const CommandAbandoned&) {
            throw;
        } catch (const AppError& e) {
            fail(label, e.description(), inLoop);
        } catch (const std::bad_alloc&) {
            fail(label, QStringLiteral("Out of memory"), inLoop);
        } catch (const std::exception& e) {
            fail(label, QString::fromLocal8Bit(e.what()), inLoop);
        }
        return false;
    }
    void fail(int label, const QString& description, bool inLoop);

    Host& m_host;
    QString m_location;
    std::set<int> m_failedLabels;
    bool m_halted = false;
};

// Runs a gesture handler (double-click, key, mouse move): these carry no trap of their
// own, so a failure is shown with the standard report under `location` and never ends
// the program.
template <typename Action> void runGesture(Host& host, const QString& location, Action&& action)
{
    Trap trap(host, location);
    trap.step(0, action);
}

} // namespace pq

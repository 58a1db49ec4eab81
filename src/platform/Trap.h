#pragma once

#include "platform/AppError.h"

#include <QString>

#include <exception>
#include <new>
#include <set>

namespace pq {

// Where a trapped failure goes: the window shows it as the standard error report.
class ErrorSink
{
public:
    virtual ~ErrorSink() = default;
    virtual void report(const QString& description, const QString& location, int label) = 0;
};

// The error trap of one run of a procedure. Each step carries a label; a failing step is
// reported with it.
//
// In the default mode the procedure carries on with its next step. Steps inside loops use
// `loopStep`: when such a step fails a second time in the same run (a loop whose every
// pass fails), no further report is made and the trap halts: loops that test `halted()`
// end, `loopStep` runs nothing more, and the procedure's closing steps (plain `step`)
// still tidy up.
//
// In StopAtFirstFailure mode the first failure halts the trap, and from then on no step
// runs at all; what must happen after a failure is written outside the trap.
class Trap
{
public:
    enum class Mode { CarryOn, StopAtFirstFailure };

    Trap(ErrorSink& errors, QString location, Mode mode = Mode::CarryOn)
        : m_errors(errors), m_location(std::move(location)), m_mode(mode)
    {
    }

    // True when the action ran to its end.
    template <typename Action> bool step(int label, Action&& action)
    {
        if (m_halted && m_mode == Mode::StopAtFirstFailure)
            return false;
        return run(label, action, false);
    }
    template <typename Action> bool loopStep(int label, Action&& action)
    {
        return m_halted ? false : run(label, action, true);
    }
    bool halted() const { return m_halted; }

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

    ErrorSink& m_errors;
    QString m_location;
    Mode m_mode;
    std::set<int> m_failedLabels;
    bool m_halted = false;
};

// Runs a gesture handler (double-click, key, mouse move): these carry no trap of their
// own, so a failure is shown with the standard report under `location` and never ends
// the program.
template <typename Action>
void runGesture(ErrorSink& errors, const QString& location, Action&& action)
{
    Trap trap(errors, location);
    trap.step(0, action);
}

} // namespace pq

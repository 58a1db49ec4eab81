#pragma once

#include "TestDoubles.h"

#include "app/Form1.h"

#include <QString>

class QPushButton;

namespace pq::test {

// The real main window, built and started up as the program does, with the scripted host
// and pump. Error reports reach the host as the standard message box.
struct Window
{
    explicit Window(const QString& programFolder = QString(), bool shown = false);
    ScriptedHost host;
    ScriptedPump pump;
    Form1 form;

    Workspace& ws() { return form.workspace(); }
    QPushButton* button(const QString& name) const;
    // Clicks a button with the mouse, as a user would.
    void click(const QString& name);
};

} // namespace pq::test

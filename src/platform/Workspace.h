#pragma once

#include "platform/Host.h"
#include "platform/ListPane.h"
#include "platform/MousePointer.h"
#include "platform/Picture.h"
#include "platform/ProgressBar.h"

#include <QColor>
#include <QIcon>
#include <QString>

namespace pq {

class Runtime;

// What start-up changes on the window itself; the real window implements it.
class FormWindow
{
public:
    virtual ~FormWindow() = default;
    virtual void setCaption(const QString& caption) = 0;
    virtual void setIcon(const QIcon& icon) = 0;
    virtual void setBackgroundColour(const QColor& colour) = 0;
    virtual void applyStyleSheet(const QString& styleSheet) = 0;
};

// How the comparisons compare, as set in the start button's menu: all off at every start,
// and kept until the program ends.
struct CompareOptions
{
    bool ignoreCase = false;
    bool ignoreBlanks = false; // leading and trailing ones
    bool eachResultOnce = false;

    bool any() const { return ignoreCase || ignoreBlanks || eachResultOnce; }
};

// The main window's controls as the commands see them: the three panes, the progress
// bar, the pointer and the file dialog, with the runtime the commands call out to.
// The commands behind the window's buttons take the whole workspace; the routines they
// call take only the parts they use.
struct Workspace
{
    Workspace(Runtime& runtime, FormWindow& window, QString programFolder);

    Runtime& runtime;
    FormWindow& window;
    const QString programFolder;

    ListPane listView1;
    ListPane listView2;
    ListPane listView3;
    ProgressBar progressBar1;
    MousePointer mousePointer;
    CommonDialog commonDialog1;
    Picture mouseIcon;        // the custom pointer picture, empty unless loaded at start-up
    bool loadingList = false; // a list file is being loaded into a pane
    CompareOptions compareOptions;

    bool isBusy() const { return mousePointer.isBusy(); }
    // List 1, List 2 or Results by number.
    ListPane& pane(int number);
};

// Marks one command or gesture as running on every pane for as long as it lives, so that
// the changes it makes become undo steps (see PaneHistory).
class UndoScope
{
public:
    explicit UndoScope(Workspace& ws);
    ~UndoScope();
    UndoScope(const UndoScope&) = delete;
    UndoScope& operator=(const UndoScope&) = delete;

private:
    Workspace& m_ws;
};

} // namespace pq

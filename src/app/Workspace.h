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

class EventPump;

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

// The main window's state as the commands see it: the three panes, the progress bar,
// the pointer, the file dialog, and the services they call out to.
struct Workspace
{
    Workspace(Host& host, EventPump& pump, FormWindow& window, QString programFolder);

    Host& host;
    EventPump& pump;
    FormWindow& window;
    QString programFolder;

    ListPane listView1;
    ListPane listView2;
    ListPane listView3;
    ProgressBar progressBar1;
    MousePointer mousePointer;
    CommonDialog commonDialog1;
    Picture mouseIcon; // the custom pointer picture, empty unless loaded at start-up
    QString appTitle;
    bool loadingList = false; // a list file is being loaded into a pane

    bool isBusy() const { return mousePointer.isBusy(); }
    // Shows a message with the application title.
    MessageAnswer message(const QString& text, MessageButtons buttons = MessageButtons::Ok,
                          MessageAnswer defaultAnswer = MessageAnswer::Ok);
};

} // namespace pq

#pragma once

#include "app/ErrorReport.h"
#include "platform/Runtime.h"
#include "platform/Workspace.h"

#include <QHash>
#include <QWidget>

#include <functional>
#include <memory>

class QMenu;
class QPushButton;

namespace pq {

class CompareMenu;
class ListPaneView;
class QtHost;
class ProgressBarView;

// The main window: lays out the panes, buttons and progress bar, and turns clicks and
// gestures into the commands. `load` runs the start-up sequence once the window exists, so
// that its boxes can have the window as their parent; then the window is shown.
class Form1 : public QWidget, public FormWindow
{
    Q_OBJECT
public:
    Form1(Host& host, EventPump& pump, const QString& programFolder, QWidget* parent = nullptr);
    ~Form1() override;

    // The start-up sequence (Form_Load).
    void load();

    Workspace& workspace() { return *m_ws; }
    QPushButton* button(const QString& name) const;
    ListPaneView* pane(int number) const;
    ProgressBarView* progressBar() const { return m_progress; }
    CompareMenu* compareMenu() const { return m_compareMenu; }
    // A new context menu of a pane, which the caller owns: each entry does what its button
    // or key does.
    QMenu* paneMenu(int number);

    // FormWindow
    void setCaption(const QString& caption) override;
    void setIcon(const QIcon& icon) override;
    void setBackgroundColour(const QColor& colour) override;
    void applyStyleSheet(const QString& styleSheet) override;

    // Places the window in the middle of its screen.
    void centreOnScreen();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void createControls();
    void addButton(const QString& name, const QString& caption, QRect twips, int tabOrder,
                   void (*command)(Workspace&));
    ListPaneView* addPane(const QString& name, ListPane& pane, QRect twips, int tabOrder);
    void connectGestures();
    void keyDown(int number, int key, int shift);
    void paste(int number);
    void copy(int number);
    void undo(int number);
    void applyTabOrder();
    void showPointer(int value);
    void runCommand(const std::function<void()>& command);
    void runGesture(const QString& location, const std::function<void()>& gesture);

    ErrorReport m_errors;
    Runtime m_runtime;
    std::unique_ptr<Workspace> m_ws;
    QHash<QString, QPushButton*> m_buttons;
    ListPaneView* m_panes[3] = {};
    ProgressBarView* m_progress = nullptr;
    CompareMenu* m_compareMenu = nullptr;
    QMap<int, QWidget*> m_tabOrder;
};

// Starts the window as the program does: the dialogs get the window as their parent, the
// start-up sequence runs, and then the window is shown in the middle of the screen.
void startProgram(Form1& form, QtHost& host);

} // namespace pq

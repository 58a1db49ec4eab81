#pragma once

#include "app/Workspace.h"

#include <QHash>
#include <QWidget>

#include <functional>
#include <memory>

class QPushButton;

namespace pq {

class ListPaneView;
class ProgressBarView;

// The main window: lays out the panes, buttons and progress bar, runs the start-up
// sequence, and turns clicks and gestures into the commands.
class Form1 : public QWidget, public FormWindow
{
    Q_OBJECT
public:
    Form1(Host& host, EventPump& pump, const QString& programFolder, QWidget* parent = nullptr);
    ~Form1() override;

    Workspace& workspace() { return *m_ws; }
    QPushButton* button(const QString& name) const;
    ListPaneView* pane(int number) const;
    ProgressBarView* progressBar() const { return m_progress; }

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
    void applyTabOrder();
    void showPointer(int value);
    void runCommand(const std::function<void()>& command);
    void runGesture(const QString& location, const std::function<void()>& gesture);

    std::unique_ptr<Workspace> m_ws;
    QHash<QString, QPushButton*> m_buttons;
    ListPaneView* m_panes[3] = {};
    ProgressBarView* m_progress = nullptr;
    QMap<int, QWidget*> m_tabOrder;
};

} // namespace pq

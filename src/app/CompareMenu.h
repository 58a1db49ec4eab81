#pragma once

#include "match/Comparison.h"

#include <QMenu>

#include <functional>

class QPushButton;

namespace pq {

struct Workspace;

// The menu that a right-click on the start button opens: the questions to ask of the two
// lists, each run at once into Results, and the options of every comparison, the start
// button's too.
class CompareMenu : public QMenu
{
    Q_OBJECT
public:
    // Runs a command as the window runs its buttons' commands.
    using CommandRunner = std::function<void(const std::function<void()>&)>;

    CompareMenu(Workspace& ws, CommandRunner runCommand, QPushButton* startButton);

    // The entry with this text; null when there is none.
    QAction* entry(const QString& text) const;

private:
    void addFind(const QString& text, Comparison comparison);
    void addOption(const QString& text, bool CompareOptions::*option);
    void showOptions();

    Workspace& m_ws;
    CommandRunner m_runCommand;
    QList<std::pair<QAction*, bool CompareOptions::*>> m_options;
};

} // namespace pq

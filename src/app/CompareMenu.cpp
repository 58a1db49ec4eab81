#include "app/CompareMenu.h"

#include "match/MatchFinder.h"
#include "match/NearMiss.h"
#include "platform/Workspace.h"

#include <QPushButton>

using namespace Qt::StringLiterals;

namespace pq {

CompareMenu::CompareMenu(Workspace& ws, CommandRunner runCommand, QPushButton* startButton)
    : QMenu(startButton), m_ws(ws), m_runCommand(std::move(runCommand))
{
    setObjectName(u"CompareMenu"_s);
    addFind(u"Find List 1 Items Also In List 2"_s, Comparison::AlsoIn);
    addFind(u"Find List 1 Items Not In List 2"_s, Comparison::NotIn);
    addFind(u"Find List 2 Items Not In List 1"_s, Comparison::List2NotInList1);
    addFind(u"Find Near Misses"_s, Comparison::NearMisses);
    addSeparator();
    addOption(u"Ignore Case"_s, &CompareOptions::ignoreCase);
    addOption(u"Ignore Leading and Trailing Blanks"_s, &CompareOptions::ignoreBlanks);
    addOption(u"Each Result Once"_s, &CompareOptions::eachResultOnce);
    connect(this, &QMenu::aboutToShow, this, &CompareMenu::showOptions);

    startButton->setToolTip(u"Right-click for more ways to compare"_s);
    // Opened without a loop of its own, so a comparison that is running goes on meanwhile.
    startButton->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(startButton, &QWidget::customContextMenuRequested, this,
            [this, startButton](QPoint at) { popup(startButton->mapToGlobal(at)); });
}

QAction* CompareMenu::entry(const QString& text) const
{
    for (QAction* action : actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

void CompareMenu::addFind(const QString& text, Comparison comparison)
{
    connect(addAction(text), &QAction::triggered, this, [this, comparison] {
        m_runCommand([this, comparison] { compareLists(m_ws, comparison); });
    });
}

void CompareMenu::addOption(const QString& text, bool CompareOptions::*option)
{
    QAction* action = addAction(text);
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, option](bool on) {
        m_ws.compareOptions.*option = on;
        m_ws.listView3.setHeaderNote(resultsHeaderNote(m_ws.compareOptions));
    });
    m_options.append({action, option});
    showOptions();
}

void CompareMenu::showOptions()
{
    for (const auto& [action, option] : std::as_const(m_options))
        action->setChecked(m_ws.compareOptions.*option);
}

} // namespace pq

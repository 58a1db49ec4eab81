#include "app/ListPaneView.h"

#include "platform/ListPane.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace pq {

namespace {
constexpr int kTwipsPerPixel = 15;
}

ListPaneView::ListPaneView(ListPane& pane, QWidget* parent) : QTableView(parent), m_pane(pane)
{
    setModel(&pane);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionsMovable(false);

    connect(&pane, &ListPane::columnWidthChanged, this, [this](int column, int twips) {
        setColumnWidth(column - 1, (twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
    });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = selectionModel()->selectedRows();
        m_pane.select(rows.isEmpty() ? 0 : rows.first().row() + 1);
    });
}

void ListPaneView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    emit doubleClickedPane();
}

void ListPaneView::keyPressEvent(QKeyEvent* event)
{
    emit keyDown(keyCodeOf(event->key()), shiftStateOf(event->modifiers()));
    QTableView::keyPressEvent(event);
}

int keyCodeOf(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Delete:
        return 46;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_Insert:
        return 45;
    default:
        break;
    }
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey;
    return 0;
}

int shiftStateOf(Qt::KeyboardModifiers modifiers)
{
    int shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= 1;
    if (modifiers & Qt::ControlModifier)
        shift |= 2;
    if (modifiers & Qt::AltModifier)
        shift |= 4;
    return shift;
}

} // namespace pq

#include "app/ListPaneView.h"

#include "app/PaneViewModel.h"
#include "platform/ListPane.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

#include <algorithm>

namespace pq {

namespace {
constexpr int kTwipsPerPixel = 15;
// Room between the column title and the note, and after the note.
constexpr int kDecorationMargin = 6;
// A selection of this many ranges or more goes with the model it was made on when the pane
// is reset; at that size, freeing the ranges in the reset takes milliseconds.
constexpr qsizetype kLargeSelectionRanges = 16384;
// Ranges of a retired selection freed per dispatch: a few milliseconds of work.
constexpr qsizetype kRangesFreedPerDispatch = 32768;
} // namespace

QString itemCountText(int count, const QLocale& locale)
{
    if (count <= 0)
        return {};
    if (count == 1)
        return QStringLiteral("1 item");
    return locale.toString(count) + u" items";
}

QString headerDecoration(const QString& note, int count, const QLocale& locale)
{
    const QString items = itemCountText(count, locale);
    if (note.isEmpty() || items.isEmpty())
        return note + items;
    return note + u" \u00b7 " + items;
}

PaneHeader::PaneHeader(const ListPane& pane, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), m_pane(pane)
{
    const auto repaint = [this] { viewport()->update(); };
    connect(&pane, &ListPane::countChanged, this, repaint);
    connect(&pane, &ListPane::headerNoteChanged, this, repaint);
}

QString PaneHeader::decoration() const
{
    return headerDecoration(m_pane.headerNote(), m_pane.count(), locale());
}

void PaneHeader::paintEvent(QPaintEvent* event)
{
    QHeaderView::paintEvent(event);
    const QString text = decoration();
    if (text.isEmpty())
        return;
    // Never over the first column's title.
    int left = kDecorationMargin;
    if (count() > 0) {
        const QString title = model()->headerData(0, orientation()).toString();
        left += sectionViewportPosition(0) + fontMetrics().horizontalAdvance(title) +
                style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this) * 2;
    }
    const QRect room = viewport()->rect().adjusted(left, 0, -kDecorationMargin, 0);
    if (room.width() <= 0)
        return;
    QPainter painter(viewport());
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(room, Qt::AlignRight | Qt::AlignVCenter,
                     fontMetrics().elidedText(text, Qt::ElideLeft, room.width()));
}

ListPaneView::ListPaneView(ListPane& pane, QWidget* parent)
    : QTableView(parent), m_pane(pane), m_header(new PaneHeader(pane, this))
{
    setHorizontalHeader(m_header);
    // Before any model hears of it, which then tells this view of a reset.
    connect(&pane, &QObject::destroyed, this, [this] { m_paneGone = true; });
    showModel(new PaneViewModel(pane, this));
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    m_header->setHighlightSections(false);
    m_header->setSectionsClickable(false);
    m_header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    m_header->setStretchLastSection(false);
    m_header->setSectionsMovable(false);

    connect(&pane, &ListPane::columnWidthChanged, this, [this](int column, int twips) {
        setColumnWidth(column - 1, (twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
    });
    connect(&pane, &ListPane::selectionMoved, this, &ListPaneView::showPaneSelection);
    m_releaseTimer.setInterval(0);
    connect(&m_releaseTimer, &QTimer::timeout, this, &ListPaneView::releaseRetiredSlice);
}

void ListPaneView::showModel(PaneViewModel* model)
{
    m_model = model;
    setModel(model);
    m_selection = {};
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ListPaneView::reportSelection);
    // A reset clears the view's selection; the pane's may have kept some of it.
    connect(model, &QAbstractItemModel::modelReset, this, &ListPaneView::showPaneSelection);
    connect(model, &PaneViewModel::resetComing, this, &ListPaneView::retireModelIfSelectionIsLarge);
}

void ListPaneView::setTakesDrops(bool takes)
{
    setAcceptDrops(takes);
    viewport()->setAcceptDrops(takes);
}

void ListPaneView::reportSelection()
{
    if (m_showingPaneSelection || m_paneGone)
        return;
    std::vector<RowRun> runs;
    m_selection = selectionModel()->selection();
    runs.reserve(size_t(m_selection.size()));
    for (const QItemSelectionRange& range : std::as_const(m_selection))
        runs.push_back({range.top(), range.height()});
    runs = joinedRuns(std::move(runs));
    const int firstSelected = runs.empty() ? 0 : runs.front().first + 1;
    m_pane.setSelection(std::move(runs), firstSelected);
}

void ListPaneView::showPaneSelection()
{
    if (m_paneGone)
        return;
    QItemSelection selection;
    for (const RowRun& run : m_pane.selection()) {
        if (run.first >= model()->rowCount())
            break;
        const int last = std::min(run.end(), model()->rowCount()) - 1;
        selection.append(QItemSelectionRange(model()->index(run.first, 0),
                                             model()->index(last, model()->columnCount() - 1)));
    }
    m_showingPaneSelection = true;
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_showingPaneSelection = false;
    m_selection = selection;
}

// Qt keeps a selection as ranges of persistent indexes, and a reset of the model makes each
// of them invalid and frees it: for half a million scattered rows, 60 to 100 ms in one
// dispatch. So before such a reset the view moves to a fresh model, which takes the reset
// with an empty selection, and the old model, which hears nothing more of the pane, keeps
// the old selection until it is freed a slice per dispatch.
void ListPaneView::retireModelIfSelectionIsLarge()
{
    if (m_selection.size() < kLargeSelectionRanges)
        return;
    QItemSelectionModel* oldSelection = selectionModel();
    disconnect(oldSelection, nullptr, this, nullptr);
    m_model->retire();
    m_retired.push_back({m_model, oldSelection, std::move(m_selection)});
    showModel(new PaneViewModel(m_pane, this));
    m_releaseTimer.start();
}

void ListPaneView::releaseRetiredSlice()
{
    if (m_retired.empty()) {
        m_releaseTimer.stop();
        return;
    }
    Retired& retired = m_retired.front();
    if (retired.selectionModel) {
        // The ranges held, it lets go of them without freeing them.
        delete retired.selectionModel;
        retired.selectionModel = nullptr;
    } else if (!retired.held.isEmpty()) {
        retired.held.resize(std::max<qsizetype>(0, retired.held.size() - kRangesFreedPerDispatch));
    } else {
        delete retired.model;
        m_retired.erase(m_retired.begin());
    }
}

void ListPaneView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    // The double-click removes the one item under the pointer, whatever else is selected.
    const QModelIndex under = indexAt(event->position().toPoint());
    m_pane.setSelectedItem(under.isValid() ? under.row() + 1 : 0);
    emit doubleClickedPane();
}

void ListPaneView::keyPressEvent(QKeyEvent* event)
{
    emit keyDown(keyCodeOf(event->key()), shiftStateOf(event->modifiers()));
    if (event->matches(QKeySequence::Paste)) {
        emit pasteRequested();
    } else if (event->matches(QKeySequence::Copy)) {
        emit copyRequested();
    } else if (event->matches(QKeySequence::Undo)) {
        emit undoRequested();
    } else {
        QTableView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void ListPaneView::contextMenuEvent(QContextMenuEvent* event)
{
    emit contextMenuRequested(event->globalPos());
    event->accept();
}

namespace {

void acceptListDrop(QDragMoveEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (data && (!droppedFiles(*data).isEmpty() || data->hasText()))
        event->acceptProposedAction();
    else
        event->ignore();
}

} // namespace

void ListPaneView::dragEnterEvent(QDragEnterEvent* event)
{
    acceptListDrop(event);
}

void ListPaneView::dragMoveEvent(QDragMoveEvent* event)
{
    acceptListDrop(event);
}

void ListPaneView::dropEvent(QDropEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (!data) {
        event->ignore();
        return;
    }
    const QStringList files = droppedFiles(*data);
    if (!files.isEmpty())
        emit filesDropped(files);
    else if (data->hasText())
        emit textDropped(data->text());
    event->acceptProposedAction();
}

QStringList droppedFiles(const QMimeData& data)
{
    QStringList files;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    return files;
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

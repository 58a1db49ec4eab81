#pragma once

#include <QHeaderView>
#include <QItemSelection>
#include <QLocale>
#include <QTableView>
#include <QTimer>

#include <vector>

class QMimeData;

namespace pq {

class ListPane;
class PaneViewModel;

// How many items a pane holds as its header shows it: "1 item", "1,000,000 items" (with the
// locale's digit grouping), or nothing when it is empty.
QString itemCountText(int count, const QLocale& locale);
// The header's words: the pane's note, " · " and the count; either alone when the other is empty.
QString headerDecoration(const QString& note, int count, const QLocale& locale);

// The column header of a pane. Besides the column titles, which stay the model's, it draws
// the pane's note and count right-aligned in its own font, and repaints them when they
// change (at most once per event-loop dispatch).
class PaneHeader : public QHeaderView
{
    Q_OBJECT
public:
    PaneHeader(const ListPane& pane, QWidget* parent);
    QString decoration() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ListPane& m_pane;
};

// A report-style view of one list pane: one row per item, titled columns, extended
// selection (Shift, Ctrl, Shift+arrows, Ctrl+A) kept in step with the pane's. A table view
// with fixed row heights: appending rows costs no relayout of the rows already there, so a
// pane of a million rows stays quick. Reports double-clicks and key presses with the key
// code and shift state the commands expect (Delete is 46; shift 1, ctrl 2, alt 4), the
// paste, copy and undo keys, drops and context-menu requests; the window decides what they do.
class ListPaneView : public QTableView
{
    Q_OBJECT
public:
    explicit ListPaneView(ListPane& pane, QWidget* parent = nullptr);
    // The column header.
    PaneHeader* header() const { return m_header; }
    // Whether files and text may be dropped here; when not, a drag shows "no drop".
    void setTakesDrops(bool takes);

signals:
    void doubleClickedPane();
    void keyDown(int keyCode, int shift);
    void pasteRequested();
    void copyRequested();
    void undoRequested();
    void filesDropped(const QStringList& paths);
    void textDropped(const QString& text);
    void contextMenuRequested(const QPoint& globalPos);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void showModel(PaneViewModel* model);
    void reportSelection();
    void showPaneSelection();
    void retireModelIfSelectionIsLarge();
    void releaseRetiredSlice();

    ListPane& m_pane;
    PaneHeader* m_header = nullptr;
    PaneViewModel* m_model = nullptr;
    bool m_showingPaneSelection = false;
    bool m_paneGone = false; // the window is torn down with its panes first
    // Qt's selection as last seen; holding its ranges lets them be freed a slice at a time.
    QItemSelection m_selection;

    // A model retired with Qt's selection on it, freed a slice per dispatch.
    struct Retired
    {
        PaneViewModel* model = nullptr;
        QItemSelectionModel* selectionModel = nullptr; // deleted first
        QItemSelection held;
    };
    std::vector<Retired> m_retired;
    QTimer m_releaseTimer;
};

// The local files a drop carries, in order; empty when it carries none.
QStringList droppedFiles(const QMimeData& data);

// The key code of a Qt key as the key handlers expect it.
int keyCodeOf(int qtKey);
int shiftStateOf(Qt::KeyboardModifiers modifiers);

} // namespace pq

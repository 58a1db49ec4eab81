#include "app/Form1.h"

#include "app/CompareMenu.h"
#include "app/ListPaneView.h"
#include "app/ProgressBarView.h"
#include "app/QtHost.h"
#include "app/StartUp.h"
#include "export/SaveCommands.h"
#include "lists/ItemCommands.h"
#include "lists/ListFile.h"
#include "lists/PaneClipboard.h"
#include "match/MatchFinder.h"
#include "match/ResultsCommands.h"
#include "platform/EventPump.h"
#include "ui/Pointer.h"

#include <QCloseEvent>
#include <QCursor>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

using namespace Qt::StringLiterals;

namespace pq {

namespace {

constexpr int kTwipsPerPixel = 15;

int pixels(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

QRect pixels(QRect twips)
{
    return QRect(pixels(twips.x()), pixels(twips.y()), pixels(twips.width()),
                 pixels(twips.height()));
}

QFont arialBold(double points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

} // namespace

Form1::Form1(Host& host, EventPump& pump, const QString& programFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_errors(host), m_runtime(host, pump, m_errors)
{
    initResources();
    setObjectName(QStringLiteral("Form1"));
    m_ws = std::make_unique<Workspace>(m_runtime, *this, programFolder);
    setFixedSize(pixels(15960), pixels(5955));
    setFont(arialBold(9));
    setAutoFillBackground(true);
    setBackgroundColour(Qt::white);
    setMouseTracking(true);
    createControls();
    connectGestures();
    applyTabOrder();
    connect(&m_ws->mousePointer, &MousePointer::changed, this, &Form1::showPointer);
}

Form1::~Form1() = default;

void Form1::load()
{
    runCommand([this] { Form_Load(*m_ws); });
}

QPushButton* Form1::button(const QString& name) const
{
    return m_buttons.value(name);
}

ListPaneView* Form1::pane(int number) const
{
    return m_panes[number - 1];
}

void Form1::createControls()
{
    m_panes[0] = addPane(QStringLiteral("ListView1"), m_ws->listView1, {120, 120, 7800, 1815}, 11);
    m_panes[1] = addPane(QStringLiteral("ListView2"), m_ws->listView2, {120, 3030, 7800, 1815}, 12);
    m_panes[2] = addPane(QStringLiteral("ListView3"), m_ws->listView3, {8040, 1140, 7800, 3720}, 0);
    m_panes[0]->setTakesDrops(true);
    m_panes[1]->setTakesDrops(true);

    addButton(u"PushButton3"_s, u"Load List From Text File"_s, {120, 2030, 3840, 405}, 7,
              PushButton3_Click);
    addButton(u"PushButton7"_s, u"Add One Item To List 1"_s, {4080, 2030, 3840, 405}, 10,
              PushButton7_Click);
    addButton(u"PushButton1"_s, u"Clear List"_s, {120, 2530, 3840, 405}, 9, PushButton1_Click);
    addButton(u"PushButton20"_s, u"Load Sample/Example Data"_s, {4080, 2530, 3840, 405}, 8,
              PushButton20_Click);
    addButton(u"PushButton2"_s, u"Load List From Text File"_s, {120, 4950, 3840, 405}, 13,
              PushButton2_Click);
    addButton(u"PushButton12"_s, u"Add One Item To List 2"_s, {4080, 4950, 3840, 405}, 16,
              PushButton12_Click);
    addButton(u"PushButton5"_s, u"Clear List"_s, {120, 5460, 3840, 405}, 15, PushButton5_Click);
    addButton(u"PushButton4"_s, u"Load Sample/Example Data"_s, {4080, 5460, 3840, 405}, 14,
              PushButton4_Click);
    addButton(u"PushButton11"_s, u"Start Comparing and Finding Matches"_s, {8040, 120, 7800, 405},
              5, PushButton11_Click);
    m_compareMenu = new CompareMenu(
        *m_ws, [this](const std::function<void()>& command) { runCommand(command); },
        m_buttons.value(u"PushButton11"_s));
    addButton(u"PushButton8"_s, u"Save Results As Text File"_s, {8040, 4950, 3840, 405}, 2,
              PushButton8_Click);
    addButton(u"PushButton9"_s, u"Save As Comma Delimited"_s, {12000, 4950, 3840, 405}, 3,
              PushButton9_Click);
    addButton(u"PushButton6"_s, u"Copy Results To Clipboard"_s, {8040, 5460, 3840, 405}, 6,
              PushButton6_Click);
    addButton(u"PushButton10"_s, u"Clear Results"_s, {12000, 5460, 3840, 405}, 4,
              PushButton10_Click);

    m_progress = new ProgressBarView(m_ws->progressBar1, this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setGeometry(pixels(QRect(8040, 630, 7800, 405)));
    // Moving over the bar leaves the pointer as it is, so the window must not see it.
    m_progress->setAttribute(Qt::WA_NoMousePropagation);
}

void Form1::addButton(const QString& name, const QString& caption, QRect twips, int tabOrder,
                      void (*command)(Workspace&))
{
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setFont(arialBold(11.25));
    button->setGeometry(pixels(twips));
    button->setAutoDefault(false);
    button->setMouseTracking(true);
    button->setAttribute(Qt::WA_NoMousePropagation);
    button->installEventFilter(this);
    connect(button, &QPushButton::clicked, this,
            [this, command] { runCommand([this, command] { command(*m_ws); }); });
    m_buttons.insert(name, button);
    m_tabOrder.insert(tabOrder, button);
}

ListPaneView* Form1::addPane(const QString& name, ListPane& pane, QRect twips, int tabOrder)
{
    auto* view = new ListPaneView(pane, this);
    view->setObjectName(name);
    view->setFont(arialBold(9));
    view->setGeometry(pixels(twips));
    view->setToolTip(QStringLiteral("Double-click item to remove it. Move | line to right and out "
                                    "of window to reveal full names."));
    view->setAttribute(Qt::WA_NoMousePropagation);
    // A move with no button held reaches only widgets that track the mouse, and goes no
    // further than the first widget under the pointer: the header draws itself on a
    // viewport of its own, and the scroll bars are widgets too, so each part of the pane
    // reports moves to the window.
    QHeaderView* header = view->header();
    for (QWidget* part :
         {static_cast<QWidget*>(view), view->viewport(), static_cast<QWidget*>(header),
          header->viewport(), static_cast<QWidget*>(view->verticalScrollBar()),
          static_cast<QWidget*>(view->horizontalScrollBar())}) {
        part->setMouseTracking(true);
        part->installEventFilter(this);
    }
    m_tabOrder.insert(tabOrder, view);
    return view;
}

void Form1::connectGestures()
{
    connect(m_panes[0], &ListPaneView::doubleClickedPane, this, [this] {
        runGesture(u"Form1.ListView1_DblClick"_s, [this] { ListView1_DblClick(*m_ws); });
    });
    connect(m_panes[1], &ListPaneView::doubleClickedPane, this, [this] {
        runGesture(u"Form1.ListView2_DblClick"_s, [this] { ListView2_DblClick(*m_ws); });
    });
    for (int number = 1; number <= 3; ++number) {
        ListPaneView* view = pane(number);
        connect(view, &ListPaneView::keyDown, this,
                [this, number](int key, int shift) { keyDown(number, key, shift); });
        connect(view, &ListPaneView::pasteRequested, this, [this, number] { paste(number); });
        connect(view, &ListPaneView::copyRequested, this, [this, number] { copy(number); });
        connect(view, &ListPaneView::undoRequested, this, [this, number] { undo(number); });
        connect(view, &ListPaneView::contextMenuRequested, this, [this, number](QPoint at) {
            const std::unique_ptr<QMenu> menu(paneMenu(number));
            menu->exec(at);
        });
        // A drop runs once the drag has ended, so the program it came from is not kept waiting.
        connect(
            view, &ListPaneView::filesDropped, this,
            [this, number](const QStringList& paths) {
                runCommand([&] { LoadDroppedFiles(*m_ws, number, paths); });
            },
            Qt::QueuedConnection);
        connect(
            view, &ListPaneView::textDropped, this,
            [this, number](const QString& text) {
                runCommand([&] { DropTextOnList(*m_ws, number, text); });
            },
            Qt::QueuedConnection);
    }
}

void Form1::keyDown(int number, int key, int shift)
{
    static void (*const handlers[])(Workspace&, int, int) = {ListView1_KeyDown, ListView2_KeyDown,
                                                             ListView3_KeyDown};
    runGesture(u"Form1.ListView" + QString::number(number) + u"_KeyDown",
               [=, this] { handlers[number - 1](*m_ws, key, shift); });
}

void Form1::paste(int number)
{
    runCommand([=, this] { PasteIntoList(*m_ws, number); });
}

void Form1::copy(int number)
{
    runCommand([=, this] { CopySelectedItems(*m_ws, number); });
}

void Form1::undo(int number)
{
    runGesture(u"Form1.ListView" + QString::number(number) + u"_Undo",
               [=, this] { UndoInPane(*m_ws, number); });
}

QMenu* Form1::paneMenu(int number)
{
    auto* menu = new QMenu(this);
    const auto add = [&](const QString& text, const QKeySequence& keys, auto run) {
        QAction* action = menu->addAction(text);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, run);
    };
    const auto click = [this](const QString& name) {
        return [this, name] { button(name)->click(); };
    };
    const bool results = number == 3;
    if (!results)
        add(u"Paste"_s, QKeySequence::Paste, [=, this] { paste(number); });
    add(u"Copy"_s, QKeySequence::Copy, [=, this] { copy(number); });
    add(u"Select All"_s, QKeySequence::SelectAll, [=, this] { pane(number)->selectAll(); });
    add(u"Remove Selected"_s, QKeySequence::Delete,
        [=, this] { keyDown(number, kDeleteKeyCode, 0); });
    if (results) {
        add(u"Tick All"_s, {}, [this] { runCommand([this] { TickAllResults(*m_ws, true); }); });
        add(u"Untick All"_s, {}, [this] { runCommand([this] { TickAllResults(*m_ws, false); }); });
        add(u"Clear Results"_s, {}, click(u"PushButton10"_s));
    } else {
        add(u"Load List From Text File\u2026"_s, {},
            click(number == 1 ? u"PushButton3"_s : u"PushButton2"_s));
        add(u"Clear List"_s, {}, click(number == 1 ? u"PushButton1"_s : u"PushButton5"_s));
    }
    add(u"Undo"_s, QKeySequence::Undo, [=, this] { undo(number); });
    return menu;
}

void Form1::applyTabOrder()
{
    QWidget* previous = nullptr;
    for (QWidget* widget : std::as_const(m_tabOrder)) {
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
    m_panes[2]->setFocus();
}

void Form1::setCaption(const QString& caption)
{
    setWindowTitle(caption);
}

void Form1::setIcon(const QIcon& icon)
{
    setWindowIcon(icon);
}

void Form1::setBackgroundColour(const QColor& colour)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, colour);
    setPalette(p);
}

void Form1::applyStyleSheet(const QString& styleSheet)
{
    setStyleSheet(styleSheet);
}

void Form1::centreOnScreen()
{
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize outer = frameGeometry().size();
    move(available.x() + (available.width() - outer.width()) / 2,
         available.y() + (available.height() - outer.height()) / 2);
}

// The pointer is set on the window alone: its controls set none of their own (the header
// only while over a column edge, to offer the resize), so every one of them shows it.
void Form1::showPointer(int value)
{
    QCursor cursor(Qt::ArrowCursor);
    if (value == MousePointer::Busy)
        cursor = QCursor(Qt::WaitCursor);
    else if (value == MousePointer::Custom && !m_ws->mouseIcon.isEmpty())
        cursor = QCursor(QPixmap::fromImage(m_ws->mouseIcon.image), m_ws->mouseIcon.hotSpot.x(),
                         m_ws->mouseIcon.hotSpot.y());
    setCursor(cursor);
}

void Form1::closeEvent(QCloseEvent* event)
{
    // Closing ends the program at once: any command still running unwinds at its next
    // yield, and nothing is saved or asked.
    m_runtime.pump().abandonCommands();
    event->accept();
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove) {
        const bool onButton = qobject_cast<QPushButton*>(watched) != nullptr;
        runGesture(onButton ? u"Form1.PushButton_MouseMove"_s : u"Form1.ListView_MouseMove"_s, [&] {
            if (onButton)
                pointerOverButton(m_ws->mousePointer);
            else
                pointerOverBackground(m_ws->mousePointer);
        });
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::mouseMoveEvent(QMouseEvent* event)
{
    runGesture(u"Form1.Form_MouseMove"_s, [this] { pointerOverBackground(m_ws->mousePointer); });
    QWidget::mouseMoveEvent(event);
}

void Form1::runCommand(const std::function<void()>& command)
{
    const UndoScope step(*m_ws);
    try {
        command();
    } catch (const CommandAbandoned&) {
        // The window closed while the command ran; the program is ending.
    }
}

void Form1::runGesture(const QString& location, const std::function<void()>& gesture)
{
    const UndoScope step(*m_ws);
    try {
        pq::runGesture(m_errors, location, gesture);
    } catch (const CommandAbandoned&) {
    }
}

void startProgram(Form1& form, QtHost& host)
{
    host.setDialogParent(&form);
    form.load();
    form.show();
    form.centreOnScreen();
}

} // namespace pq

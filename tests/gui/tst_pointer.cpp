// The skin and the pointer as the real window shows them, and the hand pointer file loaded
// at start-up.
#include "TestWindow.h"

#include "app/ListPaneView.h"
#include "platform/MousePointer.h"
#include "platform/Picture.h"

#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

namespace {

MousePointer& pointerOf(Window& w)
{
    return w.ws().mousePointer;
}

QColor backgroundOf(const Window& w)
{
    return w.form.palette().color(QPalette::Window);
}

QColor buttonFace()
{
    return QGuiApplication::palette().color(QPalette::Button);
}

const QByteArray kSkin = "QPushButton#PushButton11 { background: rgb(20, 160, 40); border: none; }";

// A mouse move with no button held, delivered the way the windowing system does it:
// to the window, which passes it to the widget under the point.
void moveOver(QWidget* window, QWidget* target, QPoint at)
{
    QTest::mouseMove(window->windowHandle(), target->mapTo(window, at));
}

void moveOver(QWidget* window, QWidget* target)
{
    moveOver(window, target, target->rect().center());
}

} // namespace

class PointerTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void windowWithoutSkin();
    void windowWithSkin();
    void windowWithBrokenSkinReportsOnceAndOpens();
    void pointerTable_data();
    void pointerTable();
    void movingFromButtonOntoPaneBringsTheArrowBack();
    void handWithoutPictureShowsTheArrow();
    void handShowsTheLoadedPictureAtItsHotSpot();
    void childrenShowTheWindowPointer();
    void truncatedPointerFileIsReportedAt108();
};

void PointerTest::initTestCase()
{
    // The skin's colour change must be visible: the button face differs from white.
    QVERIFY(buttonFace() != QColor(Qt::white));
}

void PointerTest::windowWithoutSkin()
{
    ProgramFolder folder;
    Window w(folder.path());
    QCOMPARE(backgroundOf(w), QColor(Qt::white));
    QVERIFY(w.form.styleSheet().isEmpty());
    QVERIFY(w.host.messages.isEmpty());
}

void PointerTest::windowWithSkin()
{
    ProgramFolder folder;
    folder.writeSkin(kSkin);
    Window w(folder.path());
    QVERIFY(w.host.messages.isEmpty());
    QCOMPARE(backgroundOf(w), buttonFace());
    QCOMPARE(w.form.styleSheet(), QString::fromUtf8(kSkin));
    // The sheet reaches the button it names.
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    const QImage face = w.form.button(u"PushButton11"_s)->grab().toImage();
    QCOMPARE(QColor(face.pixel(4, face.height() / 2)), QColor(20, 160, 40));
}

void PointerTest::windowWithBrokenSkinReportsOnceAndOpens()
{
    ProgramFolder folder;
    folder.writeSkin("QWidget { color: red; } \xFF\xFE");
    Window w(folder.path());
    QCOMPARE(w.host.messages.size(), 1);
    const MessageRequest& report = w.host.messages.first();
    QCOMPARE(report.title, u"Application Error"_s);
    QVERIFY(report.text.contains(u"in Tovelund2021/08/31.Form1.Form_Load at line 102\r\r"_s));
    QCOMPARE(backgroundOf(w), QColor(Qt::white));
    QVERIFY(w.form.styleSheet().isEmpty());
    // Start-up carried on after the skin.
    QCOMPARE(w.form.windowTitle(), u"Pellicor Quastrin"_s);
    QCOMPARE(w.ws().listView3.columnHeaderCount(), 1);
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
}

void PointerTest::pointerTable_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("over");
    QTest::addColumn<int>("expected");
    const QStringList buttons = {
        u"PushButton1"_s,  u"PushButton2"_s,  u"PushButton3"_s, u"PushButton4"_s, u"PushButton5"_s,
        u"PushButton6"_s,  u"PushButton7"_s,  u"PushButton8"_s, u"PushButton9"_s, u"PushButton10"_s,
        u"PushButton11"_s, u"PushButton12"_s, u"PushButton20"_s};
    const QStringList resets = {u"ListView1"_s,        u"ListView2"_s,
                                u"ListView3"_s,        u"ListView1 header"_s,
                                u"ListView3 header"_s, u"ListView3 scroll bar"_s,
                                u"background"_s};
    for (int start : {MousePointer::Default, MousePointer::Custom, MousePointer::Busy}) {
        const auto row = [&](const QString& over, int expected) {
            QTest::addRow("%d over %s", start, qPrintable(over)) << start << over << expected;
        };
        const bool busy = start == MousePointer::Busy;
        for (const QString& name : buttons)
            row(name, busy ? start : int(MousePointer::Custom));
        for (const QString& name : resets)
            row(name, busy ? start : int(MousePointer::Default));
        row(u"ProgressBar1"_s, start);
    }
}

void PointerTest::pointerTable()
{
    QFETCH(int, start);
    QFETCH(QString, over);
    QFETCH(int, expected);
    ProgramFolder folder;
    Window w(folder.path());
    fill(w.ws().listView3, QStringList(60, u"item"_s)); // more than fit: a scroll bar
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));

    QWidget* target = nullptr;
    QPoint at;
    if (over == u"ListView3 scroll bar"_s) {
        target = w.form.pane(3)->verticalScrollBar();
        QTRY_VERIFY(target->isVisible());
        at = target->rect().center();
    } else if (over == u"background"_s) {
        target = &w.form;
        at = QPoint(w.form.width() / 2, 2); // the gap above the panes
    } else if (over.endsWith(u" header"_s)) {
        target = w.form.pane(over.mid(8, 1).toInt())->header();
        at = QPoint(20, target->height() / 2);
    } else if (over.startsWith(u"ListView"_s)) {
        target = w.form.pane(over.mid(8).toInt())->viewport();
        at = target->rect().center();
    } else {
        target = w.form.findChild<QWidget*>(over);
        at = target->rect().center();
    }
    QVERIFY(target);
    QCOMPARE(w.form.childAt(target->mapTo(&w.form, at)) == nullptr, target == &w.form);

    // Start elsewhere than the target, so the move is a real one.
    moveOver(&w.form, w.form.findChild<QWidget*>(u"ProgressBar1"_s));
    pointerOf(w).setValue(start);
    moveOver(&w.form, target, at);
    QCOMPARE(pointerOf(w).value(), expected);
}

void PointerTest::movingFromButtonOntoPaneBringsTheArrowBack()
{
    ProgramFolder folder;
    folder.copyHand();
    Window w(folder.path());
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    moveOver(&w.form, w.form.button(u"PushButton3"_s));
    QCOMPARE(pointerOf(w).value(), int(MousePointer::Custom));
    QCOMPARE(w.form.cursor().shape(), Qt::BitmapCursor);
    moveOver(&w.form, w.form.pane(1)->viewport());
    QCOMPARE(pointerOf(w).value(), int(MousePointer::Default));
    QCOMPARE(w.form.cursor().shape(), Qt::ArrowCursor);
}

void PointerTest::handWithoutPictureShowsTheArrow()
{
    ProgramFolder folder;
    Window w(folder.path());
    QVERIFY(w.ws().mouseIcon.isEmpty());
    pointerOf(w).setValue(MousePointer::Busy);
    QCOMPARE(w.form.cursor().shape(), Qt::WaitCursor);
    pointerOf(w).setValue(MousePointer::Custom);
    QCOMPARE(w.form.cursor().shape(), Qt::ArrowCursor);
}

void PointerTest::handShowsTheLoadedPictureAtItsHotSpot()
{
    ProgramFolder folder;
    folder.copyHand();
    Window w(folder.path());
    QVERIFY(w.host.messages.isEmpty());
    const Picture& hand = w.ws().mouseIcon;
    QVERIFY(!hand.isEmpty());
    pointerOf(w).setValue(MousePointer::Custom);
    const QCursor shown = w.form.cursor();
    QCOMPARE(shown.shape(), Qt::BitmapCursor);
    QCOMPARE(shown.hotSpot(), hand.hotSpot);
    QCOMPARE(shown.pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
             hand.image.convertToFormat(QImage::Format_ARGB32));
    pointerOf(w).setValue(MousePointer::Busy);
    QCOMPARE(w.form.cursor().shape(), Qt::WaitCursor);
    pointerOf(w).setValue(MousePointer::Default);
    QCOMPARE(w.form.cursor().shape(), Qt::ArrowCursor);
}

void PointerTest::childrenShowTheWindowPointer()
{
    ProgramFolder folder;
    folder.copyHand();
    Window w(folder.path());
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    // Move over every control first, so any that sets a pointer of its own has done so.
    for (QWidget* child : w.form.findChildren<QWidget*>()) {
        if (child->isVisible())
            moveOver(&w.form, child);
    }
    for (int value : {MousePointer::Custom, MousePointer::Busy, MousePointer::Default}) {
        pointerOf(w).setValue(value);
        const QCursor expected = w.form.cursor();
        for (const QWidget* child : w.form.findChildren<QWidget*>()) {
            if (child->isWindow())
                continue; // a popup, such as the start button's menu, is not over the window
            const QCursor shown = child->cursor();
            QVERIFY2(shown.shape() == expected.shape() && shown.hotSpot() == expected.hotSpot(),
                     qPrintable(child->objectName() + u' ' +
                                QString::fromLatin1(child->metaObject()->className())));
        }
    }
}

void PointerTest::truncatedPointerFileIsReportedAt108()
{
    QFile hand(shippedHandFile());
    QVERIFY(hand.open(QIODevice::ReadOnly));
    ProgramFolder folder;
    folder.write(u"HAND-M.CUR"_s, hand.read(200)); // a cursor header, then the picture cut short
    Window w(folder.path());
    QCOMPARE(w.host.messages.size(), 1);
    QVERIFY(w.host.messages.first().text.contains(u"Form1.Form_Load at line 108\r\r"_s));
    QVERIFY(w.ws().mouseIcon.isEmpty());
    pointerOf(w).setValue(MousePointer::Custom);
    QCOMPARE(w.form.cursor().shape(), Qt::ArrowCursor);
}

QTEST_MAIN(PointerTest)
#include "tst_pointer.moc"

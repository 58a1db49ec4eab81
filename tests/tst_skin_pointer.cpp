// The optional skin, the pointer rules over the window's controls, and the hand pointer file.
#include "TestDoubles.h"

#include "app/StartUp.h"
#include "app/gui/Form1.h"
#include "platform/AppError.h"
#include "platform/Picture.h"
#include "platform/gui/ListPaneView.h"
#include "ui/Pointer.h"
#include "ui/Skin.h"

#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

namespace {

// Records the window changes in the order they were made.
class RecordingWindow : public NullWindow
{
public:
    QStringList log;
    void setBackgroundColour(const QColor& colour) override
    {
        NullWindow::setBackgroundColour(colour);
        log.append(u"background "_s + colour.name());
    }
    void applyStyleSheet(const QString& sheet) override
    {
        NullWindow::applyStyleSheet(sheet);
        log.append(u"style sheet "_s + sheet);
    }
};

// The hand pointer as the build ships it.
QString handFile()
{
    return QFINDTESTDATA("../resources/HAND-M.CUR");
}

// A program folder of its own, with the optional files put in by each test.
struct ProgramFolder
{
    QTemporaryDir dir;
    QString path() const { return dir.path(); }
    void write(const QString& name, const QByteArray& bytes) const
    {
        const QString full = dir.filePath(name);
        QDir().mkpath(QFileInfo(full).path());
        QFile file(full);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    void writeSkin(const QByteArray& bytes) const { write(u"x/o.cjs"_s, bytes); }
    void copyHand() const { QVERIFY(QFile::copy(handFile(), dir.filePath(u"HAND-M.CUR"_s))); }
};

struct Window
{
    explicit Window(const QString& folder) : form(host, pump, folder) {}
    ScriptedHost host;
    ScriptedPump pump;
    Form1 form;
    MousePointer& pointer() { return form.workspace().mousePointer; }
    QColor background() const { return form.palette().color(QPalette::Window); }
};

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

class SkinPointerTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    // Skin
    void noSkinFileLeavesThePlainLook();
    void skinTurnsTheBackgroundBeforeTheSheetApplies();
    void skinThatIsNoOrdinaryFileIsIgnored_data();
    void skinThatIsNoOrdinaryFileIsIgnored();
    void skinThatIsNoTextIsRefusedWhole_data();
    void skinThatIsNoTextIsRefusedWhole();
    void windowWithoutSkin();
    void windowWithSkin();
    void windowWithBrokenSkinReportsOnceAndOpens();

    // Pointer rules and what the window shows
    void rulesLeaveTheHourglassAlone();
    void pointerTable_data();
    void pointerTable();
    void movingFromButtonOntoPaneBringsTheArrowBack();
    void handWithoutPictureShowsTheArrow();
    void handShowsTheLoadedPictureAtItsHotSpot();
    void childrenShowTheWindowPointer();

    // Pointer file
    void handFileLoadsWithItsHotSpot();
    void iconFileHasNoHotSpot();
    void hotSpotOutsideThePictureIsKeptInside();
    void truncatedPointerFileIsReportedAt108();
};

void SkinPointerTest::initTestCase()
{
    // The skin's colour change must be visible: the button face differs from white.
    QVERIFY(buttonFace() != QColor(Qt::white));
}

void SkinPointerTest::noSkinFileLeavesThePlainLook()
{
    ProgramFolder folder;
    ScriptedHost host;
    ScriptedPump pump;
    RecordingWindow window;
    Workspace ws(host, pump, window, folder.path());
    Form_Load(ws);
    QVERIFY(window.log.isEmpty());
    QVERIFY(host.messages.isEmpty());
}

void SkinPointerTest::skinTurnsTheBackgroundBeforeTheSheetApplies()
{
    ProgramFolder folder;
    folder.writeSkin(kSkin);
    ScriptedHost host;
    ScriptedPump pump;
    RecordingWindow window;
    Workspace ws(host, pump, window, folder.path());
    ApplySkin(ws);
    QCOMPARE(window.log, (QStringList{u"background "_s + buttonFace().name(),
                                      u"style sheet "_s + QString::fromUtf8(kSkin)}));
}

void SkinPointerTest::skinThatIsNoOrdinaryFileIsIgnored_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << u"folder"_s;
    QTest::newRow("named pipe") << u"pipe"_s;
    QTest::newRow("dangling link") << u"link"_s;
}

void SkinPointerTest::skinThatIsNoOrdinaryFileIsIgnored()
{
    QFETCH(QString, kind);
    ProgramFolder folder;
    QVERIFY(QDir(folder.path()).mkpath(u"x"_s));
    const QString skin = skinPath(folder.path());
    if (kind == u"folder"_s)
        QVERIFY(QDir().mkpath(skin));
    else if (kind == u"pipe"_s) // reading it would wait for a writer for ever
        QCOMPARE(::mkfifo(QFile::encodeName(skin).constData(), 0600), 0);
    else
        QVERIFY(QFile::link(folder.dir.filePath(u"missing.qss"_s), skin));
    ScriptedHost host;
    ScriptedPump pump;
    RecordingWindow window;
    Workspace ws(host, pump, window, folder.path());
    Form_Load(ws);
    QVERIFY(window.log.isEmpty());
    QVERIFY(host.messages.isEmpty());
}

void SkinPointerTest::skinThatIsNoTextIsRefusedWhole_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("invalid UTF-8") << QByteArray("QWidget { color: red; } /* \xC3\x28 */");
    QTest::newRow("NUL byte") << QByteArray("QWidget { color: red; }\0QWidget {}", 34);
    QTest::newRow("cut in a character") << QByteArray("QWidget { color: red; } /* \xE2\x82");
}

void SkinPointerTest::skinThatIsNoTextIsRefusedWhole()
{
    QFETCH(QByteArray, bytes);
    ProgramFolder folder;
    folder.writeSkin(bytes);
    ScriptedHost host;
    ScriptedPump pump;
    RecordingWindow window;
    Workspace ws(host, pump, window, folder.path());
    QVERIFY_THROWS_EXCEPTION(AppError, ApplySkin(ws));
    QVERIFY(window.log.isEmpty());
}

void SkinPointerTest::windowWithoutSkin()
{
    ProgramFolder folder;
    Window w(folder.path());
    QCOMPARE(w.background(), QColor(Qt::white));
    QVERIFY(w.form.styleSheet().isEmpty());
    QVERIFY(w.host.messages.isEmpty());
}

void SkinPointerTest::windowWithSkin()
{
    ProgramFolder folder;
    folder.writeSkin(kSkin);
    Window w(folder.path());
    QVERIFY(w.host.messages.isEmpty());
    QCOMPARE(w.background(), buttonFace());
    QCOMPARE(w.form.styleSheet(), QString::fromUtf8(kSkin));
    // The sheet reaches the button it names.
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    const QImage face = w.form.button(u"PushButton11"_s)->grab().toImage();
    QCOMPARE(QColor(face.pixel(4, face.height() / 2)), QColor(20, 160, 40));
}

void SkinPointerTest::windowWithBrokenSkinReportsOnceAndOpens()
{
    ProgramFolder folder;
    folder.writeSkin("QWidget { color: red; } \xFF\xFE");
    Window w(folder.path());
    QCOMPARE(w.host.messages.size(), 1);
    const MessageRequest& report = w.host.messages.first();
    QCOMPARE(report.title, u"Application Error"_s);
    QVERIFY(report.text.contains(u"in Tovelund2021/08/31.Form1.Form_Load at line 102\r\r"_s));
    QCOMPARE(w.background(), QColor(Qt::white));
    QVERIFY(w.form.styleSheet().isEmpty());
    // Start-up carried on after the skin.
    QCOMPARE(w.form.windowTitle(), u"Pellicor Quastrin"_s);
    QCOMPARE(w.form.workspace().listView3.columnHeaderCount(), 1);
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
}

void SkinPointerTest::rulesLeaveTheHourglassAlone()
{
    MousePointer pointer;
    const QList<QPair<int, QPair<int, int>>> table = {
        // start, {after a button, after background}
        {MousePointer::Default, {MousePointer::Custom, MousePointer::Default}},
        {MousePointer::Custom, {MousePointer::Custom, MousePointer::Default}},
        {MousePointer::Busy, {MousePointer::Busy, MousePointer::Busy}},
        {5, {MousePointer::Custom, MousePointer::Default}},
    };
    for (const auto& [start, after] : table) {
        pointer.setValue(start);
        pointerOverButton(pointer);
        QCOMPARE(pointer.value(), after.first);
        pointer.setValue(start);
        pointerOverBackground(pointer);
        QCOMPARE(pointer.value(), after.second);
    }
}

void SkinPointerTest::pointerTable_data()
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

void SkinPointerTest::pointerTable()
{
    QFETCH(int, start);
    QFETCH(QString, over);
    QFETCH(int, expected);
    ProgramFolder folder;
    Window w(folder.path());
    fill(w.form.workspace().listView3, QStringList(60, u"item"_s)); // more than fit: a scroll bar
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
    w.pointer().setValue(start);
    moveOver(&w.form, target, at);
    QCOMPARE(w.pointer().value(), expected);
}

void SkinPointerTest::movingFromButtonOntoPaneBringsTheArrowBack()
{
    ProgramFolder folder;
    folder.copyHand();
    Window w(folder.path());
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    moveOver(&w.form, w.form.button(u"PushButton3"_s));
    QCOMPARE(w.pointer().value(), int(MousePointer::Custom));
    QCOMPARE(w.form.cursor().shape(), Qt::BitmapCursor);
    moveOver(&w.form, w.form.pane(1)->viewport());
    QCOMPARE(w.pointer().value(), int(MousePointer::Default));
    QCOMPARE(w.form.cursor().shape(), Qt::ArrowCursor);
}

void SkinPointerTest::handWithoutPictureShowsTheArrow()
{
    ProgramFolder folder;
    Window w(folder.path());
    QVERIFY(w.form.workspace().mouseIcon.isEmpty());
    w.pointer().setValue(MousePointer::Busy);
    QCOMPARE(w.form.cursor().shape(), Qt::WaitCursor);
    w.pointer().setValue(MousePointer::Custom);
    QCOMPARE(w.form.cursor().shape(), Qt::ArrowCursor);
}

void SkinPointerTest::handShowsTheLoadedPictureAtItsHotSpot()
{
    ProgramFolder folder;
    folder.copyHand();
    Window w(folder.path());
    QVERIFY(w.host.messages.isEmpty());
    const Picture& hand = w.form.workspace().mouseIcon;
    QVERIFY(!hand.isEmpty());
    w.pointer().setValue(MousePointer::Custom);
    const QCursor shown = w.form.cursor();
    QCOMPARE(shown.shape(), Qt::BitmapCursor);
    QCOMPARE(shown.hotSpot(), hand.hotSpot);
    QCOMPARE(shown.pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
             hand.image.convertToFormat(QImage::Format_ARGB32));
    w.pointer().setValue(MousePointer::Busy);
    QCOMPARE(w.form.cursor().shape(), Qt::WaitCursor);
    w.pointer().setValue(MousePointer::Default);
    QCOMPARE(w.form.cursor().shape(), Qt::ArrowCursor);
}

void SkinPointerTest::childrenShowTheWindowPointer()
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
        w.pointer().setValue(value);
        const QCursor expected = w.form.cursor();
        for (const QWidget* child : w.form.findChildren<QWidget*>()) {
            const QCursor shown = child->cursor();
            QVERIFY2(shown.shape() == expected.shape() && shown.hotSpot() == expected.hotSpot(),
                     qPrintable(child->objectName() + u' ' +
                                QString::fromLatin1(child->metaObject()->className())));
        }
    }
}

void SkinPointerTest::handFileLoadsWithItsHotSpot()
{
    const Picture hand = LoadPicture(handFile());
    QCOMPARE(hand.image.size(), QSize(32, 32));
    QCOMPARE(hand.hotSpot, QPoint(11, 0));
    // The finger's tip is drawn at the hot spot; the corner of the picture is see-through.
    QCOMPARE(qAlpha(hand.image.pixel(hand.hotSpot)), 255);
    QCOMPARE(qAlpha(hand.image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(hand.image.pixel(31, 31)), 0);
}

namespace {

// A cursor or icon file with one 2x2 32-bit image; type 1 is an icon, 2 a cursor.
QByteArray tinyPointerFile(quint16 type, quint16 hotX, quint16 hotY)
{
    QByteArray image;
    QDataStream out(&image, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(40) << qint32(2) << qint32(4) << quint16(1) << quint16(32) << quint32(0)
        << quint32(0) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    for (int i = 0; i < 4; ++i)
        out << quint32(0xFF00FF00u); // opaque green
    out << quint32(0) << quint32(0); // AND mask: two rows, all shown

    QByteArray file;
    QDataStream head(&file, QIODevice::WriteOnly);
    head.setByteOrder(QDataStream::LittleEndian);
    head << quint16(0) << type << quint16(1) << quint8(2) << quint8(2) << quint8(0) << quint8(0)
         << hotX << hotY << quint32(image.size()) << quint32(22);
    return file + image;
}

} // namespace

void SkinPointerTest::iconFileHasNoHotSpot()
{
    // An icon's entry holds planes and bit count where a cursor keeps its hot spot.
    ProgramFolder folder;
    folder.write(u"a.ico"_s, tinyPointerFile(1, 1, 32));
    const Picture icon = LoadPicture(folder.dir.filePath(u"a.ico"_s));
    QCOMPARE(icon.image.size(), QSize(2, 2));
    QCOMPARE(icon.hotSpot, QPoint(0, 0));
    folder.write(u"a.cur"_s, tinyPointerFile(2, 1, 1));
    QCOMPARE(LoadPicture(folder.dir.filePath(u"a.cur"_s)).hotSpot, QPoint(1, 1));
}

void SkinPointerTest::hotSpotOutsideThePictureIsKeptInside()
{
    ProgramFolder folder;
    folder.write(u"far.cur"_s, tinyPointerFile(2, 40000, 7));
    QCOMPARE(LoadPicture(folder.dir.filePath(u"far.cur"_s)).hotSpot, QPoint(1, 1));
}

void SkinPointerTest::truncatedPointerFileIsReportedAt108()
{
    QFile hand(handFile());
    QVERIFY(hand.open(QIODevice::ReadOnly));
    ProgramFolder folder;
    folder.write(u"HAND-M.CUR"_s, hand.read(200)); // a cursor header, then the picture cut short
    Window w(folder.path());
    QCOMPARE(w.host.messages.size(), 1);
    QVERIFY(w.host.messages.first().text.contains(u"Form1.Form_Load at line 108\r\r"_s));
    QVERIFY(w.form.workspace().mouseIcon.isEmpty());
    w.pointer().setValue(MousePointer::Custom);
    QCOMPARE(w.form.cursor().shape(), Qt::ArrowCursor);
}

QTEST_MAIN(SkinPointerTest)
#include "tst_skin_pointer.moc"

// The optional skin, the pointer rules, and the hand pointer file, without the window.
#include "TestDoubles.h"

#include "platform/AppError.h"
#include "platform/MousePointer.h"
#include "platform/Picture.h"
#include "ui/Pointer.h"
#include "ui/Skin.h"

#include <QDataStream>
#include <QDir>
#include <QGuiApplication>
#include <QPalette>
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

QColor buttonFace()
{
    return QGuiApplication::palette().color(QPalette::Button);
}

const QByteArray kSkin = "QPushButton#PushButton11 { background: rgb(20, 160, 40); border: none; }";

} // namespace

class SkinTest : public QObject
{
    Q_OBJECT
private slots:
    void rulesLeaveTheHourglassAlone();
    void noSkinFileLeavesThePlainLook();
    void skinTurnsTheBackgroundBeforeTheSheetApplies();
    void skinThatIsNoOrdinaryFileIsIgnored_data();
    void skinThatIsNoOrdinaryFileIsIgnored();
    void skinThatIsNoTextIsRefusedWhole_data();
    void skinThatIsNoTextIsRefusedWhole();
    void handFileLoadsWithItsHotSpot();
    void iconFileHasNoHotSpot();
    void hotSpotOutsideThePictureIsKeptInside();
    void pointerFileThatIsAPipeIsRefused();
};

void SkinTest::rulesLeaveTheHourglassAlone()
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

void SkinTest::noSkinFileLeavesThePlainLook()
{
    ProgramFolder folder;
    RecordingWindow window;
    ApplySkin(window, folder.path());
    QVERIFY(window.log.isEmpty());
}

void SkinTest::skinTurnsTheBackgroundBeforeTheSheetApplies()
{
    ProgramFolder folder;
    folder.writeSkin(kSkin);
    RecordingWindow window;
    ApplySkin(window, folder.path());
    QCOMPARE(window.log, (QStringList{u"background "_s + buttonFace().name(),
                                      u"style sheet "_s + QString::fromUtf8(kSkin)}));
}

void SkinTest::skinThatIsNoOrdinaryFileIsIgnored_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << u"folder"_s;
    QTest::newRow("named pipe") << u"pipe"_s;
    QTest::newRow("dangling link") << u"link"_s;
}

void SkinTest::skinThatIsNoOrdinaryFileIsIgnored()
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
    RecordingWindow window;
    ApplySkin(window, folder.path());
    QVERIFY(window.log.isEmpty());
}

void SkinTest::skinThatIsNoTextIsRefusedWhole_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("invalid UTF-8") << QByteArray("QWidget { color: red; } /* \xC3\x28 */");
    QTest::newRow("NUL byte") << QByteArray("QWidget { color: red; }\0QWidget {}", 34);
    QTest::newRow("cut in a character") << QByteArray("QWidget { color: red; } /* \xE2\x82");
}

void SkinTest::skinThatIsNoTextIsRefusedWhole()
{
    QFETCH(QByteArray, bytes);
    ProgramFolder folder;
    folder.writeSkin(bytes);
    RecordingWindow window;
    QVERIFY_THROWS_EXCEPTION(AppError, ApplySkin(window, folder.path()));
    QVERIFY(window.log.isEmpty());
}

void SkinTest::handFileLoadsWithItsHotSpot()
{
    const Picture hand = LoadPicture(shippedHandFile());
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

void SkinTest::iconFileHasNoHotSpot()
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

void SkinTest::hotSpotOutsideThePictureIsKeptInside()
{
    ProgramFolder folder;
    folder.write(u"far.cur"_s, tinyPointerFile(2, 40000, 7));
    QCOMPARE(LoadPicture(folder.dir.filePath(u"far.cur"_s)).hotSpot, QPoint(1, 1));
}

void SkinTest::pointerFileThatIsAPipeIsRefused()
{
    // Opening a pipe for reading waits for a writer: start-up must not.
    ProgramFolder folder;
    const QString pipe = folder.dir.filePath(u"HAND-M.CUR"_s);
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    try {
        LoadPicture(pipe);
        QFAIL("a pipe was read as a picture");
    } catch (const AppError& e) {
        QCOMPARE(e.description(), u"Cannot open the picture: Not a regular file (a named pipe)"_s);
    }
}

QTEST_MAIN(SkinTest)
#include "tst_skin.moc"

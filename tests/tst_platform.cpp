// The pane model, the progress bar, the error trap and the small start-up helpers.
#include "TestDoubles.h"

#include "app/ErrorReport.h"
#include "app/StartUp.h"
#include "platform/AppError.h"
#include "platform/FileSystem.h"
#include "platform/ListPane.h"
#include "platform/ProgressBar.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

class PlatformTest : public QObject
{
    Q_OBJECT
private slots:
    void paneAddressesRowsFromOne();
    void paneReadsOutsideRaiseFailures();
    void paneRemovalMovesLaterRowsAndSelection();
    void paneAnnouncesAppendsOncePerDispatch();
    void paneSubItemsAndChecks();
    void progressBarForwardsOncePerDispatch();
    void errorReportTextIsExact();
    void trapReportsAndCarriesOn();
    void trapHaltsALoopWhoseEveryPassFails();
    void trapLetsAbandonPass();
    void fileExists();
    void appTitle();
};

void PlatformTest::paneAddressesRowsFromOne()
{
    ListPane pane;
    pane.add(QStringLiteral("a"));
    pane.add(QString());
    pane.add(QStringLiteral("a"));
    pane.addMany({QStringLiteral(" b "), QStringLiteral("c")});
    QCOMPARE(pane.count(), 5);
    QCOMPARE(textsOf(pane), (QStringList{u"a"_s, u""_s, u"a"_s, u" b "_s, u"c"_s}));
    QCOMPARE(pane.text(1), u"a"_s);
    QCOMPARE(pane.text(5), u"c"_s);
}

void PlatformTest::paneReadsOutsideRaiseFailures()
{
    ListPane pane;
    QVERIFY_THROWS_EXCEPTION(AppError, pane.text(1));
    pane.add(QStringLiteral("x"));
    QVERIFY_THROWS_EXCEPTION(AppError, pane.text(0));
    QVERIFY_THROWS_EXCEPTION(AppError, pane.text(2));
    QVERIFY_THROWS_EXCEPTION(AppError, pane.remove(2));
    QVERIFY_THROWS_EXCEPTION(AppError, pane.checked(-1));
    QVERIFY_THROWS_EXCEPTION(AppError, pane.columnTitle(1));
    try {
        pane.text(3);
        QFAIL("no failure");
    } catch (const AppError& e) {
        QCOMPARE(e.description(), u"Index out of bounds"_s);
    }
}

void PlatformTest::paneRemovalMovesLaterRowsAndSelection()
{
    ListPane pane;
    fill(pane, {u"a"_s, u"b"_s, u"c"_s, u"d"_s});
    pane.select(3);
    pane.remove(1);
    QCOMPARE(textsOf(pane), (QStringList{u"b"_s, u"c"_s, u"d"_s}));
    QCOMPARE(pane.selected(), 2); // still "c"
    QCOMPARE(pane.text(pane.selected()), u"c"_s);
    pane.remove(2);
    QCOMPARE(pane.selected(), 0);
    pane.select(9);
    QCOMPARE(pane.selected(), 0);
    pane.select(1);
    pane.clear();
    QCOMPARE(pane.count(), 0);
    QCOMPARE(pane.selected(), 0);
}

void PlatformTest::paneAnnouncesAppendsOncePerDispatch()
{
    ListPane pane;
    pane.addColumn(u"List 1"_s);
    QSignalSpy inserted(&pane, &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 1000; ++i)
        pane.add(QString::number(i));
    QCOMPARE(pane.count(), 1000);
    QCOMPARE(pane.rowCount(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(pane.rowCount(), 1000);
    QCOMPARE(pane.data(pane.index(999, 0), Qt::DisplayRole).toString(), u"999"_s);

    // Rows not yet shown can be removed without confusing views.
    pane.add(u"x"_s);
    pane.add(u"y"_s);
    pane.remove(1001);
    QSignalSpy removed(&pane, &QAbstractItemModel::rowsRemoved);
    pane.remove(1);
    QCOMPARE(removed.count(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(pane.rowCount(), pane.count());
    QCOMPARE(pane.text(pane.count()), u"y"_s);
}

void PlatformTest::paneSubItemsAndChecks()
{
    ListPane pane;
    pane.addColumn(u"Name"_s);
    pane.addColumn(u"Qty"_s);
    pane.add(u"Bolt"_s);
    pane.add(u"Washer"_s, true);
    QCOMPARE(pane.subItem(1, 1), QString());
    pane.setSubItem(2, 1, u"7"_s);
    QCOMPARE(pane.cell(2, 2), u"7"_s);
    QCOMPARE(pane.cell(2, 1), u"Washer"_s);
    QVERIFY_THROWS_EXCEPTION(AppError, pane.subItem(1, 2));
    pane.add(u"Nut"_s);
    QCOMPARE(pane.subItem(3, 1), QString());
    QVERIFY(!pane.checked(1));
    QVERIFY(pane.checked(2));
    pane.remove(1);
    QCOMPARE(pane.cell(1, 2), u"7"_s);
    QVERIFY(pane.checked(1));

    pane.setCheckable(true);
    QCoreApplication::processEvents();
    const QModelIndex first = pane.index(0, 0);
    QCOMPARE(pane.data(first, Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(pane.setData(first, Qt::Unchecked, Qt::CheckStateRole));
    QVERIFY(!pane.checked(1));
}

void PlatformTest::progressBarForwardsOncePerDispatch()
{
    ProgressBar bar;
    QSignalSpy changed(&bar, &ProgressBar::changed);
    for (int i = 0; i <= 100; ++i) {
        bar.setValue(i);
        bar.setText(u"Processing: "_s + QString::number(i));
    }
    QCOMPARE(changed.count(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(bar.value(), 100);
    QCOMPARE(bar.text(), u"Processing: 100"_s);
    bar.setValue(100);
    QCoreApplication::processEvents();
    QCOMPARE(changed.count(), 1);
    bar.setText(u"50% done"_s);
    QCOMPARE(bar.text(), u"50% done"_s);
}

void PlatformTest::errorReportTextIsExact()
{
    QCOMPARE(errorReportText(u"Index out of bounds"_s, u"Form1.Form_Load"_s, 132),
             u"Index out of bounds\r\nin Tovelund2021/08/31.Form1.Form_Load at line 132\r\r"
             "Please email screenshot of this message to support@pellicor-quastrin.example.org"_s);
}

void PlatformTest::trapReportsAndCarriesOn()
{
    ScriptedHost host;
    Trap trap(host, u"Form1.PushButton4_Click"_s);
    QStringList done;
    QVERIFY(!trap.step(102, [] { throw AppError(u"first"_s); }));
    QVERIFY(trap.step(104, [&] { done << u"104"_s; }));
    QVERIFY(!trap.step(106, [] { throw std::runtime_error("second"); }));
    QVERIFY(!trap.step(106, [] { throw AppError(u"third"_s); })); // plain steps never halt
    QCOMPARE(done, QStringList{u"104"_s});
    QCOMPARE(host.messages.size(), 3);
    const MessageRequest& box = host.messages.first();
    QCOMPARE(box.title, u"Application Error"_s);
    QCOMPARE(box.icon, MessageIcon::Exclamation);
    QCOMPARE(box.buttons, MessageButtons::Ok);
    QVERIFY(box.text.startsWith(
        u"first\r\nin Tovelund2021/08/31.Form1.PushButton4_Click at line 102\r\r"_s));
    QVERIFY(host.messages.at(1).text.startsWith(u"second\r\n"_s));
    QVERIFY(host.messages.at(1).text.contains(u" at line 106\r\r"_s));
}

void PlatformTest::trapHaltsALoopWhoseEveryPassFails()
{
    ScriptedHost host;
    Trap trap(host, u"Form1.PushButton11_Click"_s);
    int passes = 0;
    for (int i = 0; i < 1000 && !trap.halted(); ++i) {
        ++passes;
        trap.loopStep(112, [] { throw AppError(u"Index out of bounds"_s); });
    }
    QCOMPARE(passes, 2);
    QCOMPARE(host.messages.size(), 1);
    bool closingRan = false;
    QVERIFY(trap.step(124, [&] { closingRan = true; }));
    QVERIFY(closingRan);
    QVERIFY(!trap.loopStep(114, [] {}));
}

void PlatformTest::trapLetsAbandonPass()
{
    ScriptedHost host;
    Trap trap(host, u"Form1.PushButton11_Click"_s);
    QVERIFY_THROWS_EXCEPTION(CommandAbandoned, trap.step(100, [] { throw CommandAbandoned(); }));
    QVERIFY(host.messages.isEmpty());
}

void PlatformTest::fileExists()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(u"here.txt"_s);
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(FileExists(file));
    QVERIFY(!FileExists(QString()));
    QVERIFY(!FileExists(dir.filePath(u"missing.txt"_s)));
    QVERIFY(!FileExists(dir.filePath(u"no/such/folder/x.txt"_s)));
}

void PlatformTest::appTitle()
{
    QCOMPARE(appTitleFrom(u"Pellicor Quastrin"_s), u"Pellicor"_s);
    QCOMPARE(appTitleFrom(u"Alpha Beta Gamma Delta Epsilon1"_s), u"Alpha Beta Gamma Delta"_s);
    // 60 characters: words come off the end until at most 40 remain.
    const QString sixty = u"Aaaaaaaaa Bbbbbbbbb Ccccccccc Ddddddddd Eeeeeeeee Fffffffffx"_s;
    QCOMPARE(sixty.size(), 60);
    QCOMPARE(appTitleFrom(sixty), u"Aaaaaaaaa Bbbbbbbbb Ccccccccc Ddddddddd"_s);
    QVERIFY_THROWS_EXCEPTION(AppError, appTitleFrom(u"Pellicor"_s));
    QVERIFY_THROWS_EXCEPTION(AppError, appTitleFrom(QString(50, u'x') + u" tail"_s));
}

QTEST_MAIN(PlatformTest)
#include "tst_platform.moc"

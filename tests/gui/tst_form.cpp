// The main window: layout, start-up, and the buttons and gestures driven as a user would.
#include "TestWindow.h"

#include "app/ListPaneView.h"
#include "app/ProgressBarView.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

namespace {

QRect twips(int left, int top, int width, int height)
{
    const auto px = [](int t) { return (t + 7) / 15; };
    return QRect(px(left), px(top), px(width), px(height));
}

} // namespace

class FormTest : public QObject
{
    Q_OBJECT
private slots:
    void layout_data();
    void layout();
    void windowAndPanes();
    void tabOrderStartsAtResults();
    void startUpOpensTheHomePageOnDrawSeven();
    void startUpReportsABrokenPointerFile();
    void samplesAndComparisonByClicking();
    void addAndRemoveByGestures();
    void progressTextShowsPercentSigns();
    void closingAbandonsARunningCommand();
    void copyAndSavesByClicking();
};

void FormTest::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    const auto row = [](const char* name, QRect r, const QString& caption) {
        QTest::newRow(name) << QString::fromLatin1(name) << r << caption;
    };
    row("ListView1", twips(120, 120, 7800, 1815), {});
    row("PushButton3", twips(120, 2030, 3840, 405), u"Load List From Text File"_s);
    row("PushButton7", twips(4080, 2030, 3840, 405), u"Add One Item To List 1"_s);
    row("PushButton1", twips(120, 2530, 3840, 405), u"Clear List"_s);
    row("PushButton20", twips(4080, 2530, 3840, 405), u"Load Sample/Example Data"_s);
    row("ListView2", twips(120, 3030, 7800, 1815), {});
    row("PushButton2", twips(120, 4950, 3840, 405), u"Load List From Text File"_s);
    row("PushButton12", twips(4080, 4950, 3840, 405), u"Add One Item To List 2"_s);
    row("PushButton5", twips(120, 5460, 3840, 405), u"Clear List"_s);
    row("PushButton4", twips(4080, 5460, 3840, 405), u"Load Sample/Example Data"_s);
    row("PushButton11", twips(8040, 120, 7800, 405), u"Start Comparing and Finding Matches"_s);
    row("ProgressBar1", twips(8040, 630, 7800, 405), {});
    row("ListView3", twips(8040, 1140, 7800, 3720), {});
    row("PushButton8", twips(8040, 4950, 3840, 405), u"Save Results As Text File"_s);
    row("PushButton9", twips(12000, 4950, 3840, 405), u"Save As Comma Delimited"_s);
    row("PushButton6", twips(8040, 5460, 3840, 405), u"Copy Results To Clipboard"_s);
    row("PushButton10", twips(12000, 5460, 3840, 405), u"Clear Results"_s);
}

void FormTest::layout()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    Window w;
    auto* widget = w.form.findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), geometry);
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->font().family(), u"Arial"_s);
        QCOMPARE(button->font().pointSizeF(), 11.25);
        QVERIFY(button->font().bold());
    }
    if (auto* pane = qobject_cast<ListPaneView*>(widget)) {
        QCOMPARE(
            pane->toolTip(),
            u"Double-click item to remove it. Move | line to right and out of window to reveal full names."_s);
        QCOMPARE(pane->font().pointSizeF(), 9.0);
        QVERIFY(pane->font().bold());
    }
}

void FormTest::windowAndPanes()
{
    Window w;
    QCOMPARE(w.form.windowTitle(), u"Pellicor Quastrin"_s);
    QCOMPARE(w.ws().runtime.appTitle(), u"Pellicor"_s);
    QCOMPARE(w.form.size(), QSize(1064, 397));
    QCOMPARE(w.form.minimumSize(), w.form.maximumSize());
    QVERIFY(!w.form.windowIcon().isNull());
    QCOMPARE(w.form.palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(w.form.progressBar()->text(), u"Progress Bar"_s);
    const QStringList titles{u"List 1"_s, u"List 2"_s, u"Results"_s};
    for (int i = 1; i <= 3; ++i) {
        ListPaneView* view = w.form.pane(i);
        QCOMPARE(view->model()->columnCount(), 1);
        QCOMPARE(view->model()->headerData(0, Qt::Horizontal).toString(), titles.at(i - 1));
        QCOMPARE(view->columnWidth(0), 467); // 7000 twips
        QCOMPARE(view->model()->rowCount(), 0);
    }
    QVERIFY(w.host.messages.isEmpty());
    QVERIFY(w.host.openedAddresses.isEmpty());
}

void FormTest::tabOrderStartsAtResults()
{
    Window w;
    const QStringList expected{
        u"ListView3"_s,    u"PushButton8"_s, u"PushButton9"_s, u"PushButton10"_s,
        u"PushButton11"_s, u"PushButton6"_s, u"PushButton3"_s, u"PushButton20"_s,
        u"PushButton1"_s,  u"PushButton7"_s, u"ListView1"_s,   u"ListView2"_s,
        u"PushButton2"_s,  u"PushButton4"_s, u"PushButton5"_s, u"PushButton12"_s};
    QStringList order;
    QWidget* widget = w.form.findChild<QWidget*>(u"ListView3"_s);
    while (widget && order.size() < expected.size()) {
        order.append(widget->objectName());
        do
            widget = widget->nextInFocusChain();
        while (widget &&
               (widget->parentWidget() != &w.form || widget->focusPolicy() == Qt::NoFocus));
    }
    QCOMPARE(order, expected);
    QCOMPARE(w.form.focusWidget(), w.form.pane(3));
}

void FormTest::startUpOpensTheHomePageOnDrawSeven()
{
    ScriptedHost host;
    ScriptedPump pump;
    host.clock = 3600.5;
    host.draws = {0.06}; // int(0.06 * 100) + 1 == 7
    Form1 form(host, pump, QString());
    QVERIFY(host.seeds.isEmpty()); // nothing starts before the window exists
    form.load();
    QCOMPARE(host.seeds, QList<double>{3600.5});
    QCOMPARE(host.openedAddresses.size(), 1);
    QVERIFY(host.openedAddresses.first().startsWith(u"https://"_s));

    ScriptedHost other;
    other.draws = {0.07}; // draws 8
    Form1 second(other, pump, QString());
    second.load();
    QVERIFY(other.openedAddresses.isEmpty());
}

void FormTest::startUpReportsABrokenPointerFile()
{
    QTemporaryDir folder;
    QFile broken(folder.filePath(u"HAND-M.CUR"_s));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a picture");
    broken.close();
    Window w(folder.path());
    QCOMPARE(w.host.messages.size(), 1);
    QVERIFY(w.host.messages.first().text.contains(
        u"in Tovelund2021/08/31.Form1.Form_Load at line 108\r\r"_s));
    // Start-up went on: the columns are there.
    QCOMPARE(w.ws().listView3.columnHeaderCount(), 1);
    QVERIFY(w.ws().mouseIcon.isEmpty());
}

void FormTest::samplesAndComparisonByClicking()
{
    Window w;
    w.click(u"PushButton20"_s);
    w.click(u"PushButton4"_s);
    w.click(u"PushButton11"_s);
    QCOMPARE(textsOf(w.ws().listView3), (QStringList{u"apples"_s, u"oranges"_s}));
    QCoreApplication::processEvents();
    QAbstractItemModel* results = w.form.pane(3)->model();
    QCOMPARE(results->rowCount(), 2);
    QCOMPARE(results->data(results->index(1, 0)).toString(), u"oranges"_s);
    QCOMPARE(results->data(results->index(0, 0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(w.form.pane(1)->model()->rowCount(), 4);
    QCOMPARE(w.form.progressBar()->text(), u"Progress Bar"_s);
    QCOMPARE(w.form.progressBar()->value(), 0);
    w.click(u"PushButton10"_s);
    QCOMPARE(w.ws().listView3.count(), 0);
}

void FormTest::addAndRemoveByGestures()
{
    Window w;
    w.host.inputAnswers = {u"first"_s, u"second"_s, u"third"_s};
    w.click(u"PushButton7"_s);
    w.click(u"PushButton7"_s);
    w.click(u"PushButton12"_s);
    QCOMPARE(textsOf(w.ws().listView1), (QStringList{u"first"_s, u"second"_s}));
    QCOMPARE(textsOf(w.ws().listView2), QStringList{u"third"_s});
    QCoreApplication::processEvents();

    ListPaneView* list1 = w.form.pane(1);
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    const QRect second = list1->visualRect(list1->model()->index(1, 0));
    QTest::mouseClick(list1->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(w.ws().listView1.selected(), 2);
    QTest::keyClick(list1, Qt::Key_Backspace);
    QCOMPARE(w.ws().listView1.count(), 2);
    QTest::keyClick(list1, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(textsOf(w.ws().listView1), QStringList{u"first"_s});

    const QRect first = list1->visualRect(list1->model()->index(0, 0));
    QTest::mouseDClick(list1->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(w.ws().listView1.count(), 0);

    // Results has no double-click removal, but Delete works there.
    w.ws().listView3.add(u"r"_s, true);
    QCoreApplication::processEvents();
    ListPaneView* results = w.form.pane(3);
    const QRect row = results->visualRect(results->model()->index(0, 0));
    QTest::mouseDClick(results->viewport(), Qt::LeftButton, {}, row.center() + QPoint(40, 0));
    QCOMPARE(w.ws().listView3.count(), 1);
    QTest::keyClick(results, Qt::Key_Delete);
    QCOMPARE(w.ws().listView3.count(), 0);
    QVERIFY(w.host.messages.isEmpty());
}

void FormTest::progressTextShowsPercentSigns()
{
    Window w;
    w.ws().progressBar1.setText(u"Writing file: 100%p %v.txt"_s);
    w.ws().progressBar1.setValue(40);
    QCoreApplication::processEvents();
    QCOMPARE(w.form.progressBar()->text(), u"Writing file: 100%p %v.txt"_s);
    QCOMPARE(w.form.progressBar()->value(), 40);
}

void FormTest::closingAbandonsARunningCommand()
{
    Window w;
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    for (int i = 0; i < 100; ++i) {
        w.ws().listView1.add(QString::number(i));
        w.ws().listView2.add(QString::number(i));
    }
    w.pump.every = [&](int) {
        if (w.ws().listView3.count() == 5)
            w.form.close();
    };
    w.click(u"PushButton11"_s);
    QVERIFY(w.pump.abandoned);
    QVERIFY(!w.form.isVisible());
    // The run stopped where the window closed: it neither finished nor reset the bar.
    QCOMPARE(w.ws().listView3.count(), 5);
    QVERIFY(w.ws().progressBar1.text().startsWith(u"Processing: "_s));
    QVERIFY(w.host.messages.isEmpty());
}

// The whole way through the window: compare, then copy and both saves by clicking.
void FormTest::copyAndSavesByClicking()
{
    QTemporaryDir dir;
    Window w(dir.path());
    ScriptedHost& host = w.host;
    Workspace& ws = w.ws();
    for (const char* name : {"PushButton20", "PushButton4", "PushButton11"})
        w.click(QString::fromLatin1(name));
    const QStringList results = textsOf(ws.listView3);
    QVERIFY(!results.isEmpty());
    host.messages.clear();

    w.click(u"PushButton6"_s);
    QCOMPARE(host.clipboard, results.join(u"\r\n"_s) + u"\r\n"_s);
    QCOMPARE(host.messages.size(), 1);

    ws.listView3.setChecked(1, false);
    host.saveAnswers = {dir.filePath(u"r.txt"_s), dir.filePath(u"r.csv"_s)};
    w.click(u"PushButton8"_s);
    w.click(u"PushButton9"_s);
    const QByteArray text = fileBytes(dir.filePath(u"r.txt"_s));
    QCOMPARE(text.count("\r\n"), results.size()); // the column line, the unticked row left out
    QVERIFY(text.startsWith("Results"));
    QCOMPARE(fileBytes(dir.filePath(u"r.csv"_s)), results.join(u",\r\n"_s).toLatin1() + "\r\n");
    QCOMPARE(host.messages.size(), 1);
    QCOMPARE(ws.progressBar1.text(), ProgressBar::restText());
}

QTEST_MAIN(FormTest)
#include "tst_form.moc"

// Start-up as the program runs it: the application title, the standard error report, the
// boxes start-up shows, which have the window as their parent, and the pump that lets the
// window repaint while commands run.
#include "TestWindow.h"

#include "app/ErrorReport.h"
#include "app/QtEventPump.h"
#include "app/QtHost.h"
#include "app/StartUp.h"
#include "platform/AppError.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

namespace {

// Closes every message box that opens, noting its text and parent.
class BoxCloser : public QObject
{
public:
    struct Seen
    {
        QString text;
        QWidget* parent = nullptr;
    };
    QList<Seen> seen;

    BoxCloser()
    {
        m_timer.setInterval(10);
        m_timer.callOnTimeout(this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen.append({box->text(), box->parentWidget()});
            box->accept();
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
};

} // namespace

class StartUpTest : public QObject
{
    Q_OBJECT
private slots:
    void appTitle();
    void errorReportIsTheStandardBox();
    void startUpBoxesBelongToTheWindow();
    void yieldsDispatchOnceTheirTimeCame();
};

void StartUpTest::appTitle()
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

void StartUpTest::errorReportIsTheStandardBox()
{
    QCOMPARE(errorReportText(u"Index out of bounds"_s, u"Form1.Form_Load"_s, 132),
             u"Index out of bounds\r\nin Tovelund2021/08/31.Form1.Form_Load at line 132\r\r"
             "Please email screenshot of this message to support@pellicor-quastrin.example.org"_s);
    ScriptedHost host;
    ErrorReport report(host);
    report.report(u"first"_s, u"Form1.PushButton4_Click"_s, 102);
    QCOMPARE(host.messages.size(), 1);
    const MessageRequest& box = host.messages.first();
    QCOMPARE(box.title, u"Application Error"_s);
    QCOMPARE(box.icon, MessageIcon::Exclamation);
    QCOMPARE(box.buttons, MessageButtons::Ok);
    QCOMPARE(box.text, errorReportText(u"first"_s, u"Form1.PushButton4_Click"_s, 102));
}

void StartUpTest::startUpBoxesBelongToTheWindow()
{
    // A pointer file that is no picture makes start-up show an error report.
    QTemporaryDir folder;
    writeFile(folder.path(), u"HAND-M.CUR"_s, "not a picture");
    QtHost host;
    QtEventPump pump;
    Form1 form(host, pump, folder.path());
    BoxCloser closer;
    startProgram(form, host);
    QCOMPARE(closer.seen.size(), 1);
    QVERIFY(closer.seen.first().text.contains(u"Form1.Form_Load at line 108"_s));
    QCOMPARE(closer.seen.first().parent, &form);
    QVERIFY(form.isVisible());
}

// A yield lets queued events run only when 15 ms passed since the last dispatch, and does
// as soon as they did.
void StartUpTest::yieldsDispatchOnceTheirTimeCame()
{
    QElapsedTimer clock;
    clock.start();
    QtEventPump pump;
    QObject context;
    int runs = 0;
    const auto yieldUntilRun = [&](int expected) {
        QMetaObject::invokeMethod(
            &context, [&] { ++runs; }, Qt::QueuedConnection);
        while (runs < expected && clock.elapsed() < 5000)
            pump.yield();
    };
    yieldUntilRun(1);
    QCOMPARE(runs, 1);
    QVERIFY(clock.elapsed() >= 15);
    yieldUntilRun(2);
    QCOMPARE(runs, 2);
    QVERIFY(pump.longestGapMs() >= 15);
    QVERIFY(clock.elapsed() < 5000);
}

QTEST_MAIN(StartUpTest)
#include "tst_startup.moc"

#include "ExportTestSupport.h"
#include "TestDoubles.h"

#include "app/gui/Form1.h"
#include "export/SaveCommands.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

namespace {

const QString kFilter = u"Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"_s;

QString overwriteQuestion(const QString& path)
{
    return u"Are you sure you wish to overwrite "_s + path + u" ?"_s;
}

} // namespace

class SaveCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void dialogSettingsAndCancel()
    {
        QTemporaryDir dir;
        Fixture f;
        fill(f.ws->listView3, {u"a"_s});
        f.ws->progressBar1.setValue(30);
        for (auto command : {PushButton8_Click, PushButton9_Click}) {
            f.ws->commonDialog1.fileName = dir.filePath(u"last.txt"_s);
            command(*f.ws);
            const CommonDialog& shown = f.host.saveRequests.last();
            QCOMPARE(shown.fileName, QString());
            QCOMPARE(shown.flags, 2621953);
            QCOMPARE(shown.dialogTitle, u"Save"_s);
            QCOMPARE(shown.filter, kFilter);
        }
        QVERIFY(f.host.messages.isEmpty());
        QCOMPARE(f.ws->progressBar1.value(), 30);
        QCOMPARE(f.ws->mousePointer.value(), MousePointer::Default);
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void textCommandAsksOnlyForAnExistingFile()
    {
        QTemporaryDir dir;
        Fixture f;
        f.ws->listView3.add(u"kiwi"_s, true);
        const QString path = dir.filePath(u"results"_s); // no extension is added
        f.host.saveAnswers = {path, path, path};
        f.pump.every = [&](int) { QCOMPARE(f.ws->mousePointer.value(), MousePointer::Default); };

        PushButton8_Click(*f.ws);
        QVERIFY(f.host.messages.isEmpty());
        QCOMPARE(fileBytes(path), QByteArray("Results\t\r\nkiwi   \t\r\n"));

        QVERIFY(writeFileBytes(path, "old"));
        f.host.messageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
        PushButton8_Click(*f.ws);
        QCOMPARE(fileBytes(path), QByteArray("old"));
        PushButton8_Click(*f.ws);
        QCOMPARE(fileBytes(path), QByteArray("Results\t\r\nkiwi   \t\r\n"));
        QCOMPARE(f.host.messageTexts(), QStringList(2, overwriteQuestion(path)));
        QCOMPARE(f.host.messages[0].buttons, MessageButtons::YesNo);
        QCOMPARE(f.host.messages[0].defaultAnswer, MessageAnswer::Yes);
    }

    void commaCommandIsBusyWhileItAsksAndWrites()
    {
        QTemporaryDir dir;
        Fixture f;
        fill(f.ws->listView3, {u"a"_s, u"b"_s});
        const QString path = dir.filePath(u"out.csv"_s);
        QVERIFY(writeFileBytes(path, "old"));
        f.host.saveAnswers = {path, path};
        f.host.messageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
        QList<bool> busyWhenAsked;
        f.host.onMessage = [&](const MessageRequest&) { busyWhenAsked.append(f.ws->isBusy()); };
        int idleYields = 0;
        f.pump.every = [&](int) { idleYields += f.ws->isBusy() ? 0 : 1; };

        PushButton9_Click(*f.ws);
        QCOMPARE(fileBytes(path), QByteArray("old"));
        QCOMPARE(f.ws->mousePointer.value(), MousePointer::Default);
        PushButton9_Click(*f.ws);
        QCOMPARE(fileBytes(path), QByteArray("a,\r\nb\r\n"));
        QCOMPARE(f.ws->mousePointer.value(), MousePointer::Default);
        QCOMPARE(busyWhenAsked, (QList<bool>{true, true}));
        QVERIFY(f.pump.yields > 0);
        QCOMPARE(idleYields, 0);
        QCOMPARE(f.host.messageTexts(), QStringList(2, overwriteQuestion(path)));
    }

    void emptyResults()
    {
        QTemporaryDir dir;
        Fixture f;
        f.host.saveAnswers = {dir.filePath(u"a.txt"_s), dir.filePath(u"b.txt"_s)};
        PushButton8_Click(*f.ws);
        PushButton9_Click(*f.ws);
        QCOMPARE(fileBytes(dir.filePath(u"a.txt"_s)), QByteArray("Results\t\r\n"));
        QVERIFY(QFileInfo(dir.filePath(u"b.txt"_s)).isFile());
        QCOMPARE(QFileInfo(dir.filePath(u"b.txt"_s)).size(), 0);
        QVERIFY(f.host.messages.isEmpty());
    }

    // The whole way through the window: compare, then copy and both saves by clicking.
    void clickingInTheWindow()
    {
        QTemporaryDir dir;
        ScriptedHost host;
        ScriptedPump pump;
        Form1 form(host, pump, dir.path());
        Workspace& ws = form.workspace();
        for (const char* name : {"PushButton20", "PushButton4", "PushButton11"})
            QTest::mouseClick(form.button(QString::fromLatin1(name)), Qt::LeftButton);
        const QStringList results = textsOf(ws.listView3);
        QVERIFY(!results.isEmpty());
        host.messages.clear();

        QTest::mouseClick(form.button(u"PushButton6"_s), Qt::LeftButton);
        QCOMPARE(host.clipboard, results.join(u"\r\n"_s) + u"\r\n"_s);
        QCOMPARE(host.messages.size(), 1);

        ws.listView3.setChecked(1, false);
        host.saveAnswers = {dir.filePath(u"r.txt"_s), dir.filePath(u"r.csv"_s)};
        QTest::mouseClick(form.button(u"PushButton8"_s), Qt::LeftButton);
        QTest::mouseClick(form.button(u"PushButton9"_s), Qt::LeftButton);
        const QByteArray text = fileBytes(dir.filePath(u"r.txt"_s));
        QCOMPARE(text.count("\r\n"), results.size()); // the column line, the unticked row left out
        QVERIFY(text.startsWith("Results"));
        QCOMPARE(fileBytes(dir.filePath(u"r.csv"_s)), results.join(u",\r\n"_s).toLatin1() + "\r\n");
        QCOMPARE(host.messages.size(), 1);
        QCOMPARE(ws.progressBar1.text(), ProgressBar::restText());
    }
};

QTEST_MAIN(SaveCommandsTest)
#include "tst_export_commands.moc"

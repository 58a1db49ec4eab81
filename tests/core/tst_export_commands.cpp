#include "ExportTestSupport.h"
#include "TestDoubles.h"

#include "export/SaveCommands.h"

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
        QVERIFY(f.errors.reports.isEmpty());
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
        QVERIFY(f.errors.reports.isEmpty());
        QCOMPARE(fileBytes(path), QByteArray("Results\t\r\nkiwi   \t\r\n"));

        writeFile(dir.path(), QFileInfo(path).fileName(), "old");
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
        writeFile(dir.path(), QFileInfo(path).fileName(), "old");
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
        QCOMPARE(f.host.messages[0].title, u"Pellicor"_s);
        QCOMPARE(f.host.messages[0].buttons, MessageButtons::YesNo);
        QCOMPARE(f.host.messages[0].defaultAnswer, MessageAnswer::Yes);

        // A new file: no question, and the file is written.
        const QString fresh = dir.filePath(u"new.csv"_s);
        f.host.saveAnswers = {fresh};
        PushButton9_Click(*f.ws);
        QCOMPARE(fileBytes(fresh), QByteArray("a,\r\nb\r\n"));
        QCOMPARE(f.host.messages.size(), 2);
    }

    void bothCommandsTellOfReplacedCharacters()
    {
        QTemporaryDir dir;
        Fixture f;
        f.ws->listView3.add(u"caf\u00e9 \u65e5\u672c"_s, true);
        f.ws->listView3.add(u"a"_s + QChar(0xD800) + u"b"_s, true);
        f.ws->listView3.add(QString(QChar(0xDC00)), true);
        f.host.saveAnswers = {dir.filePath(u"r.txt"_s), dir.filePath(u"r.csv"_s)};
        PushButton8_Click(*f.ws);
        PushButton9_Click(*f.ws);
        QCOMPARE(fileBytes(dir.filePath(u"r.csv"_s)),
                 QByteArray("caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC,\r\na\xEF\xBF\xBD"
                            "b,\r\n\xEF\xBF\xBD\r\n"));
        const QString told = u"2 items were written with \"\uFFFD\" in place of characters that "
                             u"cannot be stored in the file."_s;
        QCOMPARE(f.host.messageTexts(), (QStringList{told, told}));
        QCOMPARE(f.host.messages.last().title, u"Pellicor"_s);

        // Text UTF-8 holds needs no word at all.
        f.ws->listView3.remove(3);
        f.ws->listView3.remove(2);
        f.host.saveAnswers = {dir.filePath(u"fine.txt"_s)};
        PushButton8_Click(*f.ws);
        QCOMPARE(f.host.messages.size(), 2);
        f.ws->listView3.add(QString(QChar(0xD83C)), true);
        f.host.saveAnswers = {dir.filePath(u"one.txt"_s)};
        PushButton8_Click(*f.ws);
        QCOMPARE(f.host.messages.last().text,
                 u"1 item was written with \"\uFFFD\" in place of characters that cannot be "
                 u"stored in the file."_s);
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
        QVERIFY(f.errors.reports.isEmpty());
    }
};

QTEST_MAIN(SaveCommandsTest)
#include "tst_export_commands.moc"

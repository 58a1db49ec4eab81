// The Qt dialogs behind the file dialog seam, driven as a user would: the dialog's mode
// from its flags, its filters, and the NUL-joined result of a choice of several files.
#include "TestDoubles.h"

#include "app/QtHost.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace pq;
using namespace pq::test;
using namespace Qt::StringLiterals;

namespace {

const QString kFilter = u"Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"_s;
constexpr int kOpenFlags = 2621953; // includes 512: several files

// Answers the next file dialog as a user would: notes how it is set up, opens `folder`,
// types `typed` into its name box and presses Open.
class FileDialogAnswer
{
public:
    FileDialogAnswer(const QString& folder, const QString& typed)
    {
        m_timer.setInterval(10);
        m_timer.callOnTimeout(&m_timer, [this, folder, typed] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            m_timer.stop();
            mode = dialog->fileMode();
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            dialog->setDirectory(folder);
            // The name box has the focus; what a user types there is taken on Open.
            auto* nameBox = qobject_cast<QLineEdit*>(dialog->focusWidget());
            QVERIFY(nameBox);
            nameBox->setText(typed);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        m_timer.start();
    }

    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    QString title;
    QStringList filters;

private:
    QTimer m_timer;
};

} // namespace

class QtHostTest : public QObject
{
    Q_OBJECT
private slots:
    void filtersFromTheDialogFilter();
    void chosenFileNameJoinsSeveralFilesWithNul();
    void openDialogChoosesSeveralFilesWhenTheFlagsSaySo();
    void openDialogChoosesOneFileWithoutTheFlag();
    void openDialogReadsNoFileToShowIt();
};

void QtHostTest::filtersFromTheDialogFilter()
{
    QCOMPARE(nameFiltersFrom(kFilter),
             (QStringList{u"Text Files (*.txt) (*.txt)"_s, u"All Files (*.*) (*)"_s}));
    QCOMPARE(nameFiltersFrom(u"Lists|*.lst"_s), QStringList{u"Lists (*.lst)"_s});
    QCOMPARE(nameFiltersFrom(u"odd"_s), QStringList{});
    QCOMPARE(nameFiltersFrom(QString()), QStringList{});
}

void QtHostTest::chosenFileNameJoinsSeveralFilesWithNul()
{
    QCOMPARE(chosenFileName({}), QString());
    QCOMPARE(chosenFileName({u"/home/me/a.txt"_s}), u"/home/me/a.txt"_s);
    const QChar nul(u'\0');
    QCOMPARE(chosenFileName({u"/home/me/b.txt"_s, u"/home/me/a b.txt"_s}),
             u"/home/me"_s + nul + u"b.txt"_s + nul + u"a b.txt"_s);
    QCOMPARE(chosenFileName({u"/a.txt"_s, u"/b.txt"_s}),
             u"/"_s + nul + u"a.txt"_s + nul + u"b.txt"_s);
}

void QtHostTest::openDialogChoosesSeveralFilesWhenTheFlagsSaySo()
{
    QTemporaryDir dir;
    writeFile(dir.path(), u"a.txt"_s, "a");
    writeFile(dir.path(), u"b.txt"_s, "b");
    QtHost host;
    CommonDialog dialog;
    dialog.fileName = u"left over"_s;
    dialog.flags = kOpenFlags;
    dialog.dialogTitle = u"Load List(s) - Hold Ctrl to select multiple list files"_s;
    dialog.filter = kFilter;
    const FileDialogAnswer seen(dir.path(), u"\"b.txt\" \"a.txt\""_s);
    host.showOpen(dialog);
    QCOMPARE(seen.mode, QFileDialog::ExistingFiles);
    QCOMPARE(seen.title, dialog.dialogTitle);
    QCOMPARE(seen.filters, nameFiltersFrom(kFilter));
    const QStringList parts = dialog.fileName.split(QChar(u'\0'));
    QCOMPARE(parts.size(), 3);
    QCOMPARE(QDir(parts.at(0)).canonicalPath(), QDir(dir.path()).canonicalPath());
    QCOMPARE(parts.mid(1), (QStringList{u"b.txt"_s, u"a.txt"_s}));
}

void QtHostTest::openDialogChoosesOneFileWithoutTheFlag()
{
    QTemporaryDir dir;
    const QString only = writeFile(dir.path(), u"only.txt"_s, "x");
    QtHost host;
    CommonDialog dialog;
    dialog.flags = 1;
    dialog.filter = kFilter;
    const FileDialogAnswer seen(dir.path(), u"only.txt"_s);
    host.showOpen(dialog);
    QCOMPARE(seen.mode, QFileDialog::ExistingFile);
    QCOMPARE(QFileInfo(dialog.fileName).canonicalFilePath(), QFileInfo(only).canonicalFilePath());
}

void QtHostTest::openDialogReadsNoFileToShowIt()
{
    // Files under /proc answer a read only when they have something to say; kmsg, readable
    // by root, waits for the kernel's next message. Showing the folder must not read them.
    if (!QFileInfo(u"/proc/kmsg"_s).isReadable())
        QSKIP("/proc/kmsg cannot be read here: it takes root to show the hang");
    QtHost host;
    CommonDialog dialog;
    dialog.flags = kOpenFlags;
    dialog.filter = kFilter;
    QElapsedTimer shown;
    QTimer closer;
    closer.setInterval(50);
    closer.callOnTimeout(&closer, [&] {
        auto* fileDialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!fileDialog)
            return;
        if (!shown.isValid()) {
            shown.start();
            // As a user types it, so the name box's completion shows the folder too.
            QTest::keyClicks(fileDialog->focusWidget(), u"/proc/"_s);
            return;
        }
        // Let the dialog gather the folder's entries and their types for a while.
        if (shown.elapsed() > 1500)
            fileDialog->reject();
    });
    closer.start();
    QElapsedTimer took;
    took.start();
    host.showOpen(dialog);
    QVERIFY(dialog.fileName.isEmpty());
    QVERIFY2(took.elapsed() < 10000, "the dialog hung while showing /proc");
}

QTEST_MAIN(QtHostTest)
#include "tst_qthost.moc"

#include "app/QtHost.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QTime>
#include <QUrl>

namespace pq {

namespace {

QMessageBox::StandardButton toQt(MessageAnswer answer)
{
    switch (answer) {
    case MessageAnswer::Yes:
        return QMessageBox::Yes;
    case MessageAnswer::No:
        return QMessageBox::No;
    case MessageAnswer::Ok:
        break;
    }
    return QMessageBox::Ok;
}

void prepare(QFileDialog& fileDialog, const CommonDialog& dialog,
             QAbstractFileIconProvider* iconProvider)
{
    fileDialog.setIconProvider(iconProvider);
    fileDialog.setWindowTitle(dialog.dialogTitle);
    fileDialog.setOption(QFileDialog::DontUseNativeDialog);
    fileDialog.setOption(QFileDialog::HideNameFilterDetails);
    fileDialog.setNameFilters(nameFiltersFrom(dialog.filter));
}

} // namespace

QIcon NameOnlyIconProvider::icon(const QFileInfo& info) const
{
    if (info.isRoot())
        return icon(Drive);
    return icon(info.isDir() ? Folder : File);
}

QString NameOnlyIconProvider::type(const QFileInfo& info) const
{
    if (info.isDir())
        return QStringLiteral("Folder");
    // Called on the dialog's own thread that gathers the entries: a database of its own.
    const QMimeType byName =
        QMimeDatabase().mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    return byName.isDefault() ? QStringLiteral("File") : byName.comment();
}

QStringList nameFiltersFrom(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts.at(i + 1);
        if (pattern == u"*.*")
            pattern = QStringLiteral("*"); // on this platform many files have no extension
        // Qt takes the patterns from the last bracket pair and, with the details hidden,
        // shows the description as given.
        filters.append(parts.at(i) + u" (" + pattern + u')');
    }
    return filters;
}

QString displayText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}

MessageAnswer QtHost::messageBox(const MessageRequest& request)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(request.title);
    box.setTextFormat(Qt::PlainText);
    box.setText(displayText(request.text));
    box.setIcon(request.icon == MessageIcon::Exclamation ? QMessageBox::Warning
                                                         : QMessageBox::NoIcon);
    if (request.buttons == MessageButtons::YesNo)
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    else
        box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(toQt(request.defaultAnswer));
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    default:
        return request.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
}

QString QtHost::inputBox(const QString& prompt, const QString& title)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(m_parent, title, prompt, QLineEdit::Normal, QString(), &ok);
    return ok ? text : QString();
}

QString chosenFileName(const QStringList& files)
{
    if (files.isEmpty())
        return {};
    if (files.size() == 1)
        return QDir::toNativeSeparators(files.first());
    // Several files: the folder, then each name, separated by NUL.
    QStringList parts{QDir::toNativeSeparators(QFileInfo(files.first()).absolutePath())};
    for (const QString& file : files)
        parts.append(QFileInfo(file).fileName());
    return parts.join(QChar(u'\0'));
}

void QtHost::showOpen(CommonDialog& dialog)
{
    QFileDialog fileDialog(m_parent);
    prepare(fileDialog, dialog, &m_iconProvider);
    fileDialog.setAcceptMode(QFileDialog::AcceptOpen);
    fileDialog.setFileMode(dialog.flags & kAllowMultipleFiles ? QFileDialog::ExistingFiles
                                                              : QFileDialog::ExistingFile);
    dialog.fileName.clear();
    if (fileDialog.exec() == QDialog::Accepted)
        dialog.fileName = chosenFileName(fileDialog.selectedFiles());
}

void QtHost::showSave(CommonDialog& dialog)
{
    QFileDialog fileDialog(m_parent);
    prepare(fileDialog, dialog, &m_iconProvider);
    fileDialog.setAcceptMode(QFileDialog::AcceptSave);
    fileDialog.setFileMode(QFileDialog::AnyFile);
    // The program asks its own overwrite question.
    fileDialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.fileName.clear();
    if (fileDialog.exec() != QDialog::Accepted || fileDialog.selectedFiles().isEmpty())
        return;
    dialog.fileName = QDir::toNativeSeparators(fileDialog.selectedFiles().first());
}

bool QtHost::clearClipboard()
{
    QGuiApplication::clipboard()->clear();
    return true;
}

bool QtHost::setClipboardText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    return true;
}

QString QtHost::clipboardText()
{
    return QGuiApplication::clipboard()->text();
}

void QtHost::openInBrowser(const QString& address)
{
    QDesktopServices::openUrl(QUrl(address));
}

double QtHost::timer()
{
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

void QtHost::randomize(double seed)
{
    m_random.seed(static_cast<quint32>(seed * 1000.0));
}

double QtHost::rnd()
{
    return m_random.generateDouble();
}

} // namespace pq

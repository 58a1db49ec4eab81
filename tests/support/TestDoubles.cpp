#include "TestDoubles.h"

#include "platform/AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pq::test {

MessageAnswer ScriptedHost::messageBox(const MessageRequest& request)
{
    messages.append(request);
    if (onMessage)
        onMessage(request);
    if (!messageAnswers.empty()) {
        const MessageAnswer answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    return request.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
}

QString ScriptedHost::inputBox(const QString& prompt, const QString& title)
{
    prompts.append(prompt);
    promptTitles.append(title);
    if (inputAnswers.empty())
        return {};
    QString answer = inputAnswers.front();
    inputAnswers.pop_front();
    return answer;
}

void ScriptedHost::showOpen(CommonDialog& dialog)
{
    openRequests.append(dialog);
    dialog.fileName.clear();
    if (!openAnswers.empty()) {
        dialog.fileName = openAnswers.front();
        openAnswers.pop_front();
    }
}

void ScriptedHost::showSave(CommonDialog& dialog)
{
    saveRequests.append(dialog);
    dialog.fileName.clear();
    if (!saveAnswers.empty()) {
        dialog.fileName = saveAnswers.front();
        saveAnswers.pop_front();
    }
}

bool ScriptedHost::clearClipboard()
{
    ++clearAttempts;
    if (clipboardRefuses)
        return false;
    clipboard.clear();
    clipboardSet = false;
    return true;
}

bool ScriptedHost::setClipboardText(const QString& text)
{
    ++setAttempts;
    if (clipboardRefuses)
        return false;
    clipboard = text;
    clipboardSet = true;
    return true;
}

void ScriptedHost::openInBrowser(const QString& address)
{
    openedAddresses.append(address);
}

double ScriptedHost::rnd()
{
    if (draws.empty())
        return 0.5;
    const double d = draws.front();
    draws.pop_front();
    return d;
}

QStringList ScriptedHost::messageTexts() const
{
    QStringList texts;
    for (const MessageRequest& m : messages)
        texts.append(m.text);
    return texts;
}

void ScriptedPump::yield()
{
    if (abandoned)
        throw CommandAbandoned();
    ++yields;
    if (yields % yieldsPerDispatch == 0)
        waitBeforeDispatch();
    if (every)
        every(yields);
    const auto it = at.find(yields);
    if (it != at.end())
        it->second();
}

std::shared_ptr<const bool> onceWhen(ScriptedPump& pump, std::function<bool()> condition,
                                     std::function<void()> action)
{
    auto ran = std::make_shared<bool>(false);
    pump.every = [=](int) {
        if (!*ran && condition()) {
            *ran = true;
            action();
        }
    };
    return ran;
}

std::shared_ptr<const ShownProgress> recordProgress(ScriptedPump& pump, const ProgressBar& bar)
{
    auto shown = std::make_shared<ShownProgress>();
    pump.every = [shown, &bar](int) {
        if (shown->values.isEmpty() || shown->values.last() != bar.value())
            shown->values.append(bar.value());
        if (shown->captions.isEmpty() || shown->captions.last() != bar.text())
            shown->captions.append(bar.text());
    };
    return shown;
}

void RecordedErrors::report(const QString& description, const QString& location, int label)
{
    reports.append({description, location, label});
    if (onReport)
        onReport(reports.last());
}

bool RecordedErrors::has(const QString& location, int label) const
{
    for (const ReportedError& r : reports) {
        if (r.location == location && r.label == label)
            return true;
    }
    return false;
}

QStringList RecordedErrors::descriptions() const
{
    QStringList texts;
    for (const ReportedError& r : reports)
        texts.append(r.description);
    return texts;
}

Fixture::Fixture(const QString& programFolder)
    : runtime(host, pump, errors), ws(std::make_unique<Workspace>(runtime, window, programFolder))
{
    runtime.setAppTitle(QStringLiteral("Pellicor"));
    ws->listView1.addColumn(QStringLiteral("List 1"));
    ws->listView2.addColumn(QStringLiteral("List 2"));
    ws->listView3.addColumn(QStringLiteral("Results"));
}

QStringList textsOf(const ListPane& pane)
{
    QStringList texts;
    for (int i = 1; i <= pane.count(); ++i)
        texts.append(pane.text(i));
    return texts;
}

void fill(ListPane& pane, const QStringList& texts)
{
    for (const QString& t : texts)
        pane.add(t);
}

QString writeFile(const QString& folder, const QString& name, const QByteArray& bytes)
{
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file %s", qPrintable(path));
    return path;
}

QString shippedHandFile()
{
    return QString::fromUtf8(PQ_SOURCE_DIR) + u"/resources/HAND-M.CUR";
}

void ProgramFolder::write(const QString& name, const QByteArray& bytes) const
{
    const QString full = dir.filePath(name);
    QDir().mkpath(QFileInfo(full).path());
    writeFile(dir.path(), name, bytes);
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace pq::test

#include "TestDoubles.h"

#include "platform/AppError.h"

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
    if (every)
        every(yields);
    const auto it = at.find(yields);
    if (it != at.end())
        it->second();
}

Fixture::Fixture(const QString& programFolder)
    : ws(std::make_unique<Workspace>(host, pump, window, programFolder))
{
    ws->appTitle = QStringLiteral("Pellicor");
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

} // namespace pq::test

#pragma once

#include "platform/EventPump.h"
#include "platform/Host.h"
#include "platform/ProgressBar.h"
#include "platform/Runtime.h"
#include "platform/Trap.h"
#include "platform/Workspace.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <map>
#include <memory>

namespace pq::test {

// Answers every modal question from a script and records what was asked.
class ScriptedHost : public Host
{
public:
    // Messages
    QList<MessageRequest> messages;
    std::deque<MessageAnswer> messageAnswers; // when empty: Ok / Yes
    std::function<void(const MessageRequest&)> onMessage;

    // Input boxes
    QStringList prompts;
    QStringList promptTitles;
    std::deque<QString> inputAnswers; // when empty: "" (Cancel)

    // File dialogs: each answer is the resulting FileName ("" for Cancel).
    QList<CommonDialog> openRequests;
    QList<CommonDialog> saveRequests;
    std::deque<QString> openAnswers;
    std::deque<QString> saveAnswers;

    // Clipboard
    bool clipboardRefuses = false;
    int clearAttempts = 0;
    int setAttempts = 0;
    QString clipboard;
    bool clipboardSet = false;

    // Launcher, clock, random draw
    QStringList openedAddresses;
    double clock = 43200.0;
    QList<double> seeds;
    std::deque<double> draws; // when empty: 0.5

    MessageAnswer messageBox(const MessageRequest& request) override;
    QString inputBox(const QString& prompt, const QString& title) override;
    void showOpen(CommonDialog& dialog) override;
    void showSave(CommonDialog& dialog) override;
    bool clearClipboard() override;
    bool setClipboardText(const QString& text) override;
    QString clipboardText() override { return clipboard; }
    void openInBrowser(const QString& address) override;
    double timer() override { return clock; }
    void randomize(double seed) override { seeds.append(seed); }
    double rnd() override;

    // Texts of every message shown so far.
    QStringList messageTexts() const;
};

// Counts yields and can run an action at the N-th yield (1-based), to test what happens
// when another command runs in the middle of a long one.
class ScriptedPump : public EventPump
{
public:
    int yields = 0;
    std::map<int, std::function<void()>> at;
    std::function<void(int)> every;
    bool abandoned = false;
    // How many yields make one dispatch, whose waits run first; the actions above may only
    // change what the waits guard when it is 1.
    int yieldsPerDispatch = 1;

    void yield() override;
    void abandonCommands() override { abandoned = true; }
};

// Makes the pump run `action` once, at the first yield at which `condition` holds, to start
// a command in the middle of another; the flag tells whether it ran.
std::shared_ptr<const bool> onceWhen(ScriptedPump& pump, std::function<bool()> condition,
                                     std::function<void()> action);

// The progress values and captions a command showed, each change once, as the pump saw
// them at its yields.
struct ShownProgress
{
    QList<int> values;
    QStringList captions;
};
std::shared_ptr<const ShownProgress> recordProgress(ScriptedPump& pump, const ProgressBar& bar);

// Records every trapped failure instead of showing it.
struct ReportedError
{
    QString description;
    QString location;
    int label = 0;
};

class RecordedErrors : public ErrorSink
{
public:
    QList<ReportedError> reports;
    std::function<void(const ReportedError&)> onReport;

    void report(const QString& description, const QString& location, int label) override;
    // Whether a failure was reported under `location` with `label`.
    bool has(const QString& location, int label) const;
    QStringList descriptions() const;
};

class NullWindow : public FormWindow
{
public:
    QString caption;
    QIcon icon;
    QList<QColor> backgrounds;
    QStringList styleSheets;

    void setCaption(const QString& c) override { caption = c; }
    void setIcon(const QIcon& i) override { icon = i; }
    void setBackgroundColour(const QColor& colour) override { backgrounds.append(colour); }
    void applyStyleSheet(const QString& sheet) override { styleSheets.append(sheet); }
};

// A workspace with doubles, its panes given their columns and the runtime its title as
// start-up would.
struct Fixture
{
    explicit Fixture(const QString& programFolder = QString());
    ScriptedHost host;
    ScriptedPump pump;
    RecordedErrors errors;
    Runtime runtime;
    NullWindow window;
    std::unique_ptr<Workspace> ws;
};

QStringList textsOf(const ListPane& pane);
void fill(ListPane& pane, const QStringList& texts);

// Writes a file into the folder, replacing it; stops the test program when it cannot.
QString writeFile(const QString& folder, const QString& name, const QByteArray& bytes);
// Reads a file's bytes; empty when it cannot be read.
QByteArray fileBytes(const QString& path);

// The hand pointer file as the build ships it.
QString shippedHandFile();

// A program folder of its own, with the optional files put in by each test.
struct ProgramFolder
{
    QTemporaryDir dir;
    QString path() const { return dir.path(); }
    // Writes a file below the folder, making the folders on its way.
    void write(const QString& name, const QByteArray& bytes) const;
    void writeSkin(const QByteArray& bytes) const { write(QStringLiteral("x/o.cjs"), bytes); }
    void copyHand() const { write(QStringLiteral("HAND-M.CUR"), fileBytes(shippedHandFile())); }
};

} // namespace pq::test

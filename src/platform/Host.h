#pragma once

#include <QString>

namespace pq {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Exclamation };
enum class MessageAnswer { Ok, Yes, No };

struct MessageRequest
{
    QString text;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    QString title;
    MessageAnswer defaultAnswer = MessageAnswer::Ok;
};

// The file dialog's settings and result, as the commands set and read them.
// `filter` pairs descriptions and patterns, separated by "|".
// After an open, `fileName` holds one full path, or the folder followed by every chosen
// name, all separated by NUL characters; it stays empty when the user cancelled.
struct CommonDialog
{
    QString fileName;
    int flags = 0;
    QString dialogTitle;
    QString filter;
};

// Everything modal or outside the program goes through here, so tests can answer
// from a script instead of blocking on a dialog or opening a browser.
class Host
{
public:
    virtual ~Host() = default;

    virtual MessageAnswer messageBox(const MessageRequest& request) = 0;
    // Returns the typed text; the empty text when the user cancelled.
    virtual QString inputBox(const QString& prompt, const QString& title) = 0;
    virtual void showOpen(CommonDialog& dialog) = 0;
    virtual void showSave(CommonDialog& dialog) = 0;

    // Each returns false when the clipboard refused the attempt.
    virtual bool clearClipboard() = 0;
    virtual bool setClipboardText(const QString& text) = 0;
    // The clipboard's plain text; empty when it holds none.
    virtual QString clipboardText() = 0;

    // Opens an address in the user's browser without waiting for it.
    virtual void openInBrowser(const QString& address) = 0;

    // Seconds since midnight, from the clock.
    virtual double timer() = 0;
    // Seeds the random draw, and draws a fraction in [0, 1).
    virtual void randomize(double seed) = 0;
    virtual double rnd() = 0;
};

} // namespace pq

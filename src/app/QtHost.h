#pragma once

#include "platform/Host.h"

#include <QAbstractFileIconProvider>
#include <QRandomGenerator>

class QWidget;

namespace pq {

// Icons and type names for the file dialogs from a file's name and kind alone. Qt's own
// provider reads a file's first bytes to guess its type, and some files answer a read
// only when they have something to say: showing /proc as root would wait for ever.
class NameOnlyIconProvider : public QAbstractFileIconProvider
{
public:
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;
    using QAbstractFileIconProvider::icon;
};

// The real dialogs, clipboard, browser launch, clock and random draw.
class QtHost : public Host
{
public:
    void setDialogParent(QWidget* parent) { m_parent = parent; }

    MessageAnswer messageBox(const MessageRequest& request) override;
    QString inputBox(const QString& prompt, const QString& title) override;
    void showOpen(CommonDialog& dialog) override;
    void showSave(CommonDialog& dialog) override;
    bool clearClipboard() override;
    bool setClipboardText(const QString& text) override;
    QString clipboardText() override;
    void openInBrowser(const QString& address) override;
    double timer() override;
    void randomize(double seed) override;
    double rnd() override;

private:
    QWidget* m_parent = nullptr;
    QRandomGenerator m_random;
    NameOnlyIconProvider m_iconProvider;
};

// The dialog flag that lets the user choose several files at once.
constexpr int kAllowMultipleFiles = 512;

// The dialog's FileName for the files chosen: the one full path, or the folder followed
// by each name, separated by NUL characters.
QString chosenFileName(const QStringList& files);

// The Qt name filters for a dialog filter of "description|pattern|" pairs.
QStringList nameFiltersFrom(const QString& filter);

// Message texts break lines with CR LF or a bare CR; Qt shows each as a line break.
QString displayText(const QString& text);

} // namespace pq

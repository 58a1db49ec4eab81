#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <utility>

namespace pq {
class ProgressBar;
}

namespace pq::test {

// A device that stores what it is given until `limit` bytes, then refuses: the write that
// crosses the limit stores the part that fits and reports the rest as not written, later
// writes fail outright. With `refuseOpen` it cannot be opened at all.
class FailingDevice : public QIODevice
{
public:
    explicit FailingDevice(qint64 limit, bool refuseOpen = false)
        : m_limit(limit), m_refuseOpen(refuseOpen)
    {
    }

    QByteArray stored;

    bool open(OpenMode mode) override;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override;

private:
    qint64 m_limit;
    bool m_refuseOpen;
};

// The bar's value and text each time they differ from the last recorded state.
class ProgressRecorder
{
public:
    explicit ProgressRecorder(const ProgressBar& bar) : m_bar(bar) {}
    void sample();
    const QList<std::pair<int, QString>>& states() const { return m_states; }
    QList<int> values() const;

private:
    const ProgressBar& m_bar;
    QList<std::pair<int, QString>> m_states;
};

// A small file system of its own (a tmpfs), for real full and read-only disks. Mounting
// needs the right to: `isValid()` tells whether it is there. Unmounted when destroyed.
class ScratchDisk
{
public:
    explicit ScratchDisk(int kibibytes);
    ~ScratchDisk();
    ScratchDisk(const ScratchDisk&) = delete;
    ScratchDisk& operator=(const ScratchDisk&) = delete;

    bool isValid() const { return m_mounted; }
    QString path() const;
    // Remounts it read-only; false when that failed.
    bool makeReadOnly();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

} // namespace pq::test

#include "platform/HelperThread.h"

#include <QScopeGuard>

#include <system_error>
#include <utility>

namespace pq {

HelperThread::HelperThread() : m_ownThread(std::thread::hardware_concurrency() > 1) {}

HelperThread::~HelperThread()
{
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void HelperThread::start(std::function<void()> job)
{
    finish();
    if (m_ownThread && !m_thread.joinable()) {
        try {
            m_thread = std::thread([this] { serve(); });
        } catch (const std::system_error&) {
            m_ownThread = false; // no thread to be had now: the jobs run here
        }
    }
    if (!m_ownThread) {
        try {
            job();
        } catch (...) {
            m_failure = std::current_exception();
        }
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_job = std::move(job);
    }
    m_changed.notify_all();
}

void HelperThread::finish()
{
    if (!m_ownThread)
        return;
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_job; });
}

bool HelperThread::finishWithin(std::chrono::milliseconds timeout)
{
    if (!m_ownThread)
        return true;
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return !m_job; });
}

void HelperThread::wait()
{
    finish();
    std::exception_ptr failure;
    {
        const std::lock_guard lock(m_mutex);
        failure = std::exchange(m_failure, nullptr);
    }
    if (failure)
        std::rethrow_exception(failure);
}

void HelperThread::waitWhile(const std::function<void()>& meanwhile)
{
    {
        const auto finishFirst = qScopeGuard([this] { finish(); });
        while (!finishWithin(std::chrono::milliseconds(1)))
            meanwhile();
    }
    wait();
}

void HelperThread::serve()
{
    std::unique_lock lock(m_mutex);
    while (true) {
        m_changed.wait(lock, [this] { return m_job || m_stopping; });
        if (!m_job)
            return;
        lock.unlock();
        std::exception_ptr failure;
        try {
            m_job();
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        m_job = nullptr;
        if (failure)
            m_failure = failure;
        m_changed.notify_all();
    }
}

} // namespace pq

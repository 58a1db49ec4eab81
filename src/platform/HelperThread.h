#pragma once

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace pq {

// A second thread for a long command: it runs the jobs the command hands it, one at a
// time, while the command goes on with its own share of the work. The thread starts with
// the first job. On a machine with a single core, or when the system has no thread to
// give, a job runs at once, inside `start`.
class HelperThread
{
public:
    HelperThread();
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;
    ~HelperThread(); // lets the job finish, then ends the thread

    // Hands `job` over, once the job handed over before is done.
    void start(std::function<void()> job);
    // Returns once the job last handed over is done. What it threw is kept for `wait`.
    void finish();
    // Like `finish`, but returns after `timeout` at most: whether the job is done.
    bool finishWithin(std::chrono::milliseconds timeout);
    // Like `finish`, then rethrows what the job threw.
    void wait();
    // Like `wait`, but runs `meanwhile` about every millisecond until the job is done, so
    // that the waiting thread keeps its own duties (an event loop's yields) however long
    // the job takes. When `meanwhile` throws, the job is finished before it comes out.
    void waitWhile(const std::function<void()>& meanwhile);

private:
    void serve();

    bool m_ownThread; // false on a single core, or once no thread could be made
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<void()> m_job; // handed over and not yet done
    bool m_stopping = false;
    std::exception_ptr m_failure;
    std::thread m_thread;
};

} // namespace pq

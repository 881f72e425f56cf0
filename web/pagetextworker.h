#pragma once
// The engine's own thread for page text. A large page takes a while to
// read, so it is read off the caller's thread; one that is no longer wanted
// is stopped within milliseconds, so that neither the next page nor the
// program's end waits for it.

#include "common/result.h"
#include "html/pagetext.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace parlowen {

class PageTextWorker {
public:
    using Done = std::function<void(Result<QString, PageTextError>)>;

    PageTextWorker() = default;
    // Stops the page in hand and waits for the thread, which takes milliseconds.
    ~PageTextWorker();
    PageTextWorker(const PageTextWorker&) = delete;
    PageTextWorker& operator=(const PageTextWorker&) = delete;

    // Reads the page on the worker thread; done then runs on receiver's
    // thread, unless cancel() came first. The receiver must outlive this
    // worker, as an owner does.
    void render(QByteArray page, QByteArray contentType, PageStyleSheets sheets, QObject* receiver,
                Done done);
    // Drops every page given so far: done is called for none of them.
    void cancel();

private:
    struct Job {
        QByteArray page;
        QByteArray contentType;
        PageStyleSheets sheets;
        QObject* receiver;
        Done done;
        std::shared_ptr<std::atomic<bool>> cancelled;
    };

    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    std::shared_ptr<std::atomic<bool>> m_cancelled = std::make_shared<std::atomic<bool>>(false);
    bool m_stopping = false;
    std::thread m_thread; // started with the first page
};

} // namespace parlowen

#pragma once
// The engine's own thread for page text. A large page takes a while to
// read, so it is read off the caller's thread; one that is no longer wanted
// is stopped within milliseconds, so that neither the next page nor the
// program's end waits for it.

#include "common/result.h"
#include "html/parsedpage.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace parlowen {

class PageTextWorker {
public:
    using Done = std::function<void(Result<PageText, PageTextError>)>;
    using Parsed = std::function<void(std::shared_ptr<const ParsedPage>, std::vector<QUrl>)>;

    PageTextWorker() = default;
    // Stops the page in hand and waits for the thread, which takes milliseconds.
    ~PageTextWorker();
    PageTextWorker(const PageTextWorker&) = delete;
    PageTextWorker& operator=(const PageTextWorker&) = delete;

    // Parses the page at pageUrl on the worker thread, and finds the sheets
    // it links to; done then runs on receiver's thread, unless cancel()
    // came first. The receiver must outlive this worker, as an owner does.
    void parse(QByteArray page, QByteArray contentType, QUrl pageUrl, QObject* receiver, Parsed done);
    // Reads the parsed page's text with its sheets on the worker thread, as
    // parse() does.
    void render(std::shared_ptr<const ParsedPage> page, PageStyleSheets sheets, QObject* receiver, Done done);
    // Drops every page given so far: done is called for none of them.
    void cancel();

private:
    // What a job does on the worker thread, given its cancel flag; what it
    // returns runs on the receiver's thread, unless the job was cancelled.
    using Work = std::function<std::function<void()>(const std::atomic<bool>* cancelled)>;
    struct Job {
        Work work;
        QObject* receiver;
        std::shared_ptr<std::atomic<bool>> cancelled;
    };

    void post(Work work, QObject* receiver);

    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    std::shared_ptr<std::atomic<bool>> m_cancelled = std::make_shared<std::atomic<bool>>(false);
    bool m_stopping = false;
    std::thread m_thread; // started with the first page
};

} // namespace parlowen

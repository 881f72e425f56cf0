// The engine's own thread for page text.
#include "web/pagetextworker.h"

#include <QMetaObject>

namespace parlowen {

PageTextWorker::~PageTextWorker()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    cancel();
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void PageTextWorker::parse(QByteArray page, QByteArray contentType, QUrl pageUrl, QObject* receiver,
                           Parsed done)
{
    post(
        [page = std::move(page), contentType = std::move(contentType), pageUrl = std::move(pageUrl),
         done = std::move(done)](const std::atomic<bool>* cancelled) mutable -> std::function<void()> {
            std::shared_ptr<const ParsedPage> parsed =
                ParsedPage::parse(std::move(page), contentType, cancelled);
            std::vector<QUrl> links = parsed->linkedStyleSheets(pageUrl, cancelled);
            return [done = std::move(done), parsed = std::move(parsed), links = std::move(links)]() mutable {
                done(std::move(parsed), std::move(links));
            };
        },
        receiver);
}

void PageTextWorker::render(std::shared_ptr<const ParsedPage> page, PageStyleSheets sheets, QObject* receiver,
                            Done done)
{
    post(
        [page = std::move(page), sheets = std::move(sheets),
         done = std::move(done)](const std::atomic<bool>* cancelled) mutable -> std::function<void()> {
            Result<PageText, PageTextError> text = ParsedPage::text(std::move(page), &sheets, cancelled);
            return [done = std::move(done), text = std::move(text)]() mutable {
                done(std::move(text));
            };
        },
        receiver);
}

void PageTextWorker::post(Work work, QObject* receiver)
{
    const std::lock_guard lock(m_mutex);
    m_jobs.push_back({std::move(work), receiver, m_cancelled});
    if (!m_thread.joinable())
        m_thread = std::thread(&PageTextWorker::run, this);
    m_wake.notify_one();
}

void PageTextWorker::cancel()
{
    const std::lock_guard lock(m_mutex);
    // The page being read sees its flag set; later pages get a new one.
    m_cancelled->store(true);
    m_cancelled = std::make_shared<std::atomic<bool>>(false);
    m_jobs.clear();
}

void PageTextWorker::run()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        std::function<void()> then = job.work(job.cancelled.get());
        if (job.cancelled->load())
            continue;
        // Queued to the receiver's thread; a cancel in the meantime still counts.
        QMetaObject::invokeMethod(
            job.receiver,
            [then = std::move(then), cancelled = job.cancelled]() {
                if (!cancelled->load())
                    then();
            },
            Qt::QueuedConnection);
    }
}

} // namespace parlowen

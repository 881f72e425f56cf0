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

void PageTextWorker::render(QByteArray page, QByteArray contentType, PageStyleSheets sheets,
                            QObject* receiver, Done done)
{
    const std::lock_guard lock(m_mutex);
    m_jobs.push_back(
        {std::move(page), std::move(contentType), std::move(sheets), receiver, std::move(done), m_cancelled});
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
        Result<QString, PageTextError> text =
            renderPageText(std::move(job.page), job.contentType, job.cancelled.get(), &job.sheets);
        if (job.cancelled->load())
            continue;
        // Queued to the receiver's thread; a cancel in the meantime still counts.
        QMetaObject::invokeMethod(
            job.receiver,
            [done = std::move(job.done), cancelled = job.cancelled, text = std::move(text)]() mutable {
                if (!cancelled->load())
                    done(std::move(text));
            },
            Qt::QueuedConnection);
    }
}

} // namespace parlowen

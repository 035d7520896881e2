#include "records/RecordWriter.h"

namespace keyfall::records {

RecordWriter::RecordWriter(std::string path, RecordStore::Options options, Saved saved, Report report)
    : m_path(std::move(path)), m_options(std::move(options)), m_saved(std::move(saved)), m_report(std::move(report)),
      m_thread([this] { Run(); })
{
}

RecordWriter::~RecordWriter()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        if (m_store)
            m_store->GiveUpWaiting();
    }
    m_wake.notify_all();
    m_thread.join();
}

void RecordWriter::Write(GameRecord game)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(game));
    }
    m_wake.notify_all();
}

void RecordWriter::Flush()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return !m_busy && m_queue.empty(); });
}

void RecordWriter::Run()
{
    auto store = std::make_unique<RecordStore>(m_path, m_options);
    if (!store->Problem().empty())
        m_report(store->Problem());
    {
        std::lock_guard lock(m_mutex);
        m_store = std::move(store);
        if (m_stopping)
            m_store->GiveUpWaiting();
    }
    for (;;) {
        GameRecord game;
        {
            std::unique_lock lock(m_mutex);
            m_busy = false;
            m_idle.notify_all();
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            game = std::move(m_queue.front());
            m_queue.pop_front();
            m_busy = true;
        }
        if (!m_store->IsOpen())
            continue; // already reported when it failed to open
        if (const auto result = m_store->Save(game))
            m_saved(game, *result);
        else
            m_report(m_store->Problem());
    }
}

} // namespace keyfall::records

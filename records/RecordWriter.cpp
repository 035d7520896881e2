#include "records/RecordWriter.h"

#include <chrono>

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

void RecordWriter::Open(bool lastTry)
{
    RecordStore::Options options = m_options;
    if (lastTry)
        options.busyTimeoutMs = 0;
    auto store = std::make_unique<RecordStore>(m_path, options);
    if (store->IsOpen()) {
        // A file that was damaged, or games set aside by bringing the schema up to date.
        if (!store->Problem().empty())
            m_report(store->Problem());
        if (!store->Notice().empty())
            m_report(store->Notice());
        m_lockReported = false;
    } else if (store->Locked()) {
        if (!m_lockReported && !lastTry)
            m_report(store->Problem() + "; the games are kept and written when it is free");
        m_lockReported = true;
    } else {
        // Nothing later can mend this in this run: one line, then no game is recorded.
        m_report(store->Problem());
        m_closedForGood = true;
    }
    std::lock_guard lock(m_mutex);
    m_store = std::move(store);
    if (m_stopping)
        m_store->GiveUpWaiting();
}

void RecordWriter::WritePending(bool lastTry)
{
    if (!m_closedForGood && (!m_store || !m_store->IsOpen()))
        Open(lastTry);
    if (m_closedForGood) {
        m_pending.clear();
        return;
    }
    if (!m_store->IsOpen())
        return;
    while (!m_pending.empty()) {
        if (const auto result = m_store->Save(m_pending.front())) {
            m_lockReported = false;
            if (m_saved)
                m_saved(m_pending.front(), *result);
        } else if (m_store->Locked() && !lastTry) {
            // Kept, in order, for the next try; quitting tells of it game by game instead.
            if (!m_lockReported && !Stopping())
                m_report(m_store->Problem() + "; the game is kept and written when the file is free");
            m_lockReported = true;
            return;
        } else {
            m_report(m_store->Problem());
        }
        m_pending.pop_front();
    }
}

bool RecordWriter::Stopping()
{
    std::lock_guard lock(m_mutex);
    return m_stopping;
}

void RecordWriter::Run()
{
    Open(false);
    for (;;) {
        bool stopping = false;
        {
            std::unique_lock lock(m_mutex);
            m_busy = false;
            m_idle.notify_all();
            const auto ready = [this] { return m_stopping || !m_queue.empty(); };
            if (m_pending.empty())
                m_wake.wait(lock, ready);
            else
                m_wake.wait_for(lock, std::chrono::milliseconds(m_options.retryMs), ready);
            while (!m_queue.empty()) {
                m_pending.push_back(std::move(m_queue.front()));
                m_queue.pop_front();
            }
            stopping = m_stopping;
            m_busy = true;
        }
        if (m_pending.empty() && stopping)
            return;
        if (!stopping) {
            WritePending(false);
            continue;
        }
        // Quitting: one more try that waits for nobody, then each game still not written is
        // one line.
        WritePending(true);
        for (const GameRecord& game : m_pending)
            m_report("game of " + game.player + " started at " + game.startedAt + " not recorded: " + m_path
                     + " is held by another program");
        return;
    }
}

} // namespace keyfall::records

#pragma once
// Writes finished games on a thread of its own, so that no tick of the game and no click
// ever waits for the disk or for another program holding the file. The file is opened (and
// checked) on that thread too, as soon as the writer is made.

#include "records/Record.h"
#include "records/RecordStore.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace keyfall::records {

class RecordWriter {
public:
    // Called on the writer's thread after each game has been written.
    using Saved = std::function<void(const GameRecord&, const SaveResult&)>;
    // Called on the writer's thread with one line for each problem.
    using Report = std::function<void(const std::string&)>;

    RecordWriter(std::string path, RecordStore::Options options, Saved saved, Report report);
    // Finishes the games already handed over, but gives up at once on a file that another
    // program holds locked: quitting never waits for it, and each game left unwritten is one
    // line.
    ~RecordWriter();
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // Queues the game and returns at once. While another program holds the file the game is
    // kept in memory and tried again with every later game and every Options::retryMs; a file
    // that could not be opened for a lock is opened again the same way.
    void Write(GameRecord game);
    // Waits until every queued game has been tried once: written, given up, or kept for a later
    // try (for tests and tools).
    void Flush();

private:
    void Run();
    void Open(bool lastTry);
    void WritePending(bool lastTry);
    bool Stopping();

    std::string m_path;
    RecordStore::Options m_options;
    Saved m_saved;
    Report m_report;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<GameRecord> m_queue;
    bool m_busy = true; // until the file is open
    bool m_stopping = false;
    std::unique_ptr<RecordStore> m_store;
    // Only the writer's thread touches these.
    std::deque<GameRecord> m_pending; // handed over, not yet written
    bool m_closedForGood = false;     // the file cannot be opened in this run, for good
    bool m_lockReported = false;      // the lock in the way has been told once
    std::thread m_thread;
};

} // namespace keyfall::records

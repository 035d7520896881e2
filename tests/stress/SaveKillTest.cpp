// Crash-safe saves: a helper saves two complete settings sets in turn, as fast as it can, and
// is killed with SIGKILL at random moments, hundreds of times. After every kill a fresh
// process loads the file: it must hold the set saved last or the set being saved, whole, and
// never a mix or the defaults once a save has completed. KEYFALL_KILLS sets the number.

#include "settings/MemoryStore.h"
#include "stress/SaveSets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace keyfall::stress {
namespace {

// A child process whose standard output comes through a pipe. Killed and reaped at the
// latest when it goes out of scope, so a failing test leaves no process behind.
class Child {
public:
    explicit Child(const std::vector<std::string>& args)
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        m_out = fds[0];
    }
    ~Child()
    {
        if (m_pid > 0)
            Kill();
        if (m_out >= 0)
            close(m_out);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return m_pid > 0 && m_out >= 0; }

    struct Heard {
        std::string text; // empty when the child stayed silent or ended
        bool ended = false;
    };
    // What the child writes within `timeoutMs`, and whether its output has ended.
    Heard Read(int timeoutMs) const
    {
        pollfd p{m_out, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0)
            return {};
        char buffer[4096];
        const ssize_t n = read(m_out, buffer, sizeof buffer);
        if (n <= 0)
            return {{}, true};
        return {std::string(buffer, static_cast<std::size_t>(n)), false};
    }
    // The process's scheduling state and where in the kernel it waits ("D" and a file
    // system's function: the disk is slow).
    std::string State() const
    {
        std::ifstream stat("/proc/" + std::to_string(m_pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        const std::size_t close = line.rfind(')');
        const std::string state =
            close == std::string::npos || close + 2 >= line.size() ? "?" : line.substr(close + 2, 1);
        std::ifstream wchan("/proc/" + std::to_string(m_pid) + "/wchan");
        std::string waitsIn;
        std::getline(wchan, waitsIn);
        return "state " + state + (waitsIn.empty() || waitsIn == "0" ? "" : ", waiting in " + waitsIn);
    }
    // Everything up to the end of its output.
    std::string ReadToEnd() const
    {
        std::string all;
        char buffer[4096];
        ssize_t n;
        while ((n = read(m_out, buffer, sizeof buffer)) > 0)
            all.append(buffer, static_cast<std::size_t>(n));
        return all;
    }
    void Kill()
    {
        kill(m_pid, SIGKILL);
        Wait();
    }
    // The exit status, as waitpid gives it.
    int Wait()
    {
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return status;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

// The settings folder as a failure message shows it: each name, and what a lock says.
std::string Describe(const std::filesystem::path& folder)
{
    std::string text;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        text += ' ' + entry.path().filename().string();
        if (entry.path().extension() == ".lock" || entry.path().extension() == ".rmlock") {
            std::ifstream in(entry.path());
            std::string owner;
            std::getline(in, owner);
            text += owner.empty() ? " (unsigned)" : " (process " + owner + ")";
        }
    }
    return text.empty() ? " nothing" : text;
}

// Reads the saver's output until it has completed `target` saves in all. A save on a loaded
// machine can take seconds (its fsync waits for the disk), so silence alone is no failure. A
// lock cannot hold a save up: one that cannot be taken within two seconds makes the save
// fail, and the saver then ends. So an end is a stuck save, and only silence for minutes
// while the saver runs is a disk too slow for this test.
void AwaitSaves(const Child& saver, std::string& done, std::size_t target, const std::filesystem::path& folder)
{
    constexpr auto kSlowestDisk = std::chrono::minutes(5);
    const auto start = std::chrono::steady_clock::now();
    while (done.size() < target) {
        const Child::Heard heard = saver.Read(1000);
        if (heard.ended) {
            FAIL() << "stuck: the saver gave up after " << done.size()
                   << " saves (its line is above); in the settings folder:" << Describe(folder);
        }
        if (heard.text.empty() && std::chrono::steady_clock::now() - start > kSlowestDisk) {
            FAIL() << "slow: no save completed for 5 minutes while the saver ran (" << saver.State() << ") after "
                   << done.size() << " saves; in the settings folder:" << Describe(folder);
        }
        done += heard.text;
    }
}

std::string LineOf(char set)
{
    return Line(set == 'A' ? SetA() : SetB());
}

char Other(char set)
{
    return set == 'A' ? 'B' : 'A';
}

std::string Load()
{
    Child loader({SAVE_LOOP, "load"});
    if (!loader.Started())
        return "(not started)";
    std::string line = loader.ReadToEnd();
    const int status = loader.Wait();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "(load failed)";
    while (!line.empty() && line.back() == '\n')
        line.pop_back();
    return line;
}

// Each test has its own settings folder, removed afterwards.
class CrashSafeSaves : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "keyfall-kills-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_home = pattern;
        setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
    }
    void TearDown() override
    {
        if (!m_home.empty())
            std::filesystem::remove_all(m_home);
    }
    std::filesystem::path Folder() const { return m_home / "Keyfall"; }

private:
    std::filesystem::path m_home;
};

TEST_F(CrashSafeSaves, AnEmptyLockLeftByAKillDoesNotHoldUpTheNextSave)
{
    // Killed between creating the lock file and writing its owner into it.
    std::filesystem::create_directories(Folder());
    {
        std::ofstream lock(Folder() / "Keyfall.ini.lock");
    }
    Child saver({SAVE_LOOP, "loop", "A"});
    ASSERT_TRUE(saver.Started());
    std::string done;
    AwaitSaves(saver, done, 1, Folder());
}

TEST_F(CrashSafeSaves, EveryKillLeavesOneCompleteSet)
{

    const char* wanted = std::getenv("KEYFALL_KILLS");
    const int kills = wanted && *wanted ? std::atoi(wanted) : 250;
    const unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));

    Settings defaults;
    LoadSettings(defaults, MemoryStore{});
    const std::string defaultLine = Line(defaults);

    std::string onDisk = defaultLine; // what the file loads to; the defaults until a save lands
    bool saved = false;
    int duringTheLoop = 0;
    int newSetFound = 0;
    long savesCompleted = 0;
    for (int k = 0; k < kills; ++k) {
        const char first = rng() % 2 ? 'A' : 'B';
        Child saver({SAVE_LOOP, "loop", std::string(1, first)});
        ASSERT_TRUE(saver.Started());
        // Sometimes the kill comes during start-up or the first save, mostly somewhere in a
        // run of saves, at any microsecond of one.
        const int target =
            std::uniform_int_distribution<int>(0, 4)(rng) == 0 ? 0 : std::uniform_int_distribution<int>(1, 6)(rng);
        std::string done;
        AwaitSaves(saver, done, static_cast<std::size_t>(target), Folder());
        if (HasFatalFailure())
            return;
        // A save takes from a fraction of a millisecond to some tens, most of it in fsync.
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 25000)(rng)));
        saver.Kill();
        done += saver.ReadToEnd();
        savesCompleted += static_cast<long>(done.size());
        duringTheLoop += done.empty() ? 0 : 1;

        // The last completed save, or the file as it was, and the save under way.
        const std::string before = done.empty() ? onDisk : LineOf(done.back());
        const std::string underWay = LineOf(done.empty() ? first : Other(done.back()));
        const std::string found = Load();
        ASSERT_TRUE(found == before || found == underWay)
            << "kill " << k + 1 << " after " << done.size() << " saves left \"" << found << "\"; expected \"" << before
            << "\" or \"" << underWay << "\"";
        newSetFound += found == underWay && found != before ? 1 : 0;
        saved = saved || found != defaultLine;
        if (saved) {
            ASSERT_NE(found, defaultLine) << "a completed save was lost";
        }
        onDisk = found;
    }

    // Whatever the kills left behind (the lock, the temporary file of a save cut short), a
    // later save still works and loads whole.
    std::vector<std::string> leftovers;
    for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
        if (entry.path().filename() != "Keyfall.ini")
            leftovers.push_back(entry.path().filename().string());
    }
    Child last({SAVE_LOOP, "save", "A"});
    ASSERT_TRUE(last.Started());
    const int status = last.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Load(), LineOf('A'));

    std::cout << "crash-safe saves: " << kills << " kills survived (" << duringTheLoop << " after at least one save, "
              << savesCompleted << " saves completed in all; " << newSetFound
              << " kills found the interrupted save already in place); left in the folder:";
    for (const std::string& name : leftovers)
        std::cout << ' ' << name;
    std::cout << '\n';
}

} // namespace
} // namespace keyfall::stress

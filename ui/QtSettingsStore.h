#pragma once
// The settings file: $XDG_CONFIG_HOME/Keyfall/Keyfall.ini (default ~/.config/Keyfall), in the
// INI layout of QSettings, read and written by our own code so that no file, however odd, can
// freeze the window, take the game's memory or be reported wrongly.

#include "settings/IniDocument.h"
#include "settings/Settings.h"

#include <QString>

#include <string>
#include <tuple>
#include <vector>

#include <sys/stat.h>

namespace keyfall {

class QtSettingsStore : public SettingsStore {
public:
    // The file holds twelve short values; anything larger is not a settings file of ours and
    // reads as the defaults.
    static constexpr qint64 kMaxFileSize = qint64{64} * 1024;
    // How long a save waits for another running Keyfall to finish its own save.
    static constexpr int kLockWaitMs = 2000;

    // The file is read again only when it has changed since the last read. Anything but a
    // regular file (or a link to one), a file too large or one that cannot be read gives the
    // defaults, with one line on standard error.
    std::string Get(std::string_view section, std::string_view name, std::string_view fallback) const override;
    void Set(std::string_view section, std::string_view name, std::string_view text) override;
    // Writes every pending value in one go, under a lock shared with other running Keyfalls.
    // The file is replaced atomically, so a failure (one line on standard error) leaves the
    // old file whole; true exactly when the new file is in place. Every other entry of the
    // file is kept with the text it had. Leftovers of a save that was killed (its lock, the
    // lock's ".rmlock", its temporary file) are cleared; a lock that another running Keyfall
    // holds for longer than kLockWaitMs makes the save give up, as does a lock that can never
    // be taken (a folder in its place, a leftover in a read-only folder).
    bool Sync() override;

    // Where the file lives for the current user.
    static QString FilePath();

private:
    struct Stamp {
        bool exists = false;
        struct stat info {};
    };
    static bool SameFile(const Stamp& a, const Stamp& b);

    const IniDocument& Current() const;

    mutable IniDocument m_read;
    mutable Stamp m_readStamp;
    mutable bool m_everRead = false;
    std::vector<std::tuple<std::string, std::string, std::string>> m_pending;
};

} // namespace keyfall

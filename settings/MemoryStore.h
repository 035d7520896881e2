#pragma once
// An in-memory settings store: the double the tests hand to LoadSettings and the options
// window, and the store of the headless benchmarks.

#include "settings/Settings.h"

#include <map>
#include <string>
#include <utility>

namespace keyfall {

class MemoryStore : public SettingsStore {
public:
    using Key = std::pair<std::string, std::string>;

    std::string Get(std::string_view section, std::string_view name, std::string_view fallback) const override;
    void Set(std::string_view section, std::string_view name, std::string_view text) override;
    bool Sync() override;

    // What is durably stored, after the last successful Sync().
    const std::map<Key, std::string>& Stored() const { return m_stored; }
    int Writes() const { return m_writes; }
    // Makes every following Sync() fail, as a read-only file would.
    void SetWritable(bool writable) { m_writable = writable; }

private:
    std::map<Key, std::string> m_stored;
    std::map<Key, std::string> m_pending;
    int m_writes = 0;
    bool m_writable = true;
};

} // namespace keyfall

#include "settings/MemoryStore.h"

namespace keyfall {

std::string MemoryStore::Get(std::string_view section, std::string_view name, std::string_view fallback) const
{
    const Key key{std::string(section), std::string(name)};
    if (const auto it = m_pending.find(key); it != m_pending.end())
        return it->second;
    if (const auto it = m_stored.find(key); it != m_stored.end())
        return it->second;
    return std::string(fallback);
}

void MemoryStore::Set(std::string_view section, std::string_view name, std::string_view text)
{
    ++m_writes;
    m_pending[{std::string(section), std::string(name)}] = std::string(text);
}

bool MemoryStore::Sync()
{
    if (!m_writable)
        return false;
    for (auto& [key, text] : m_pending)
        m_stored[key] = std::move(text);
    m_pending.clear();
    return true;
}

} // namespace keyfall

#pragma once
// The settings folder of one fuzzing run, shared by the settings fuzzers: a fresh folder in
// memory (the file is rewritten for every input, and memory is much faster than a disk for
// that) that $XDG_CONFIG_HOME points at, removed at exit.

#include "ui/QtSettingsStore.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace keyfall::fuzz {

inline void Check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

class FuzzHome {
public:
    FuzzHome()
    {
        const std::filesystem::path shm("/dev/shm");
        const std::filesystem::path temp =
            std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
        std::string pattern = (temp / "keyfall-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        m_root = pattern;
        m_file = m_root / "Keyfall" / "Keyfall.ini";
        std::filesystem::create_directories(m_file.parent_path());
        setenv("XDG_CONFIG_HOME", pattern.c_str(), 1);
        Check(QtSettingsStore::FilePath().toStdString() == m_file.string());
    }
    ~FuzzHome()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    FuzzHome(const FuzzHome&) = delete;
    FuzzHome& operator=(const FuzzHome&) = delete;

    void Write(const std::uint8_t* data, std::size_t size) const
    {
        std::ofstream out(m_file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::string Read() const
    {
        std::ifstream in(m_file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::filesystem::path m_root;
    std::filesystem::path m_file;
};

} // namespace keyfall::fuzz

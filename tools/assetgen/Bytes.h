#pragma once

#include <QByteArray>
#include <QtEndian>

#include <cstdint>

namespace assetgen {

// Icon and wave files store their numbers little-endian.
inline void put16(QByteArray& out, std::uint16_t v)
{
    char bytes[2];
    qToLittleEndian(v, bytes);
    out.append(bytes, 2);
}

inline void put32(QByteArray& out, std::uint32_t v)
{
    char bytes[4];
    qToLittleEndian(v, bytes);
    out.append(bytes, 4);
}

} // namespace assetgen

#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

// Reads a fuzz input as a series of small fields. An exhausted input reads as
// zeros and empty texts, so every byte string is a valid input.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_end(data + size) {}

    bool empty() const { return m_data == m_end; }
    std::uint8_t byte() { return empty() ? 0 : *m_data++; }

    // A length byte (or two, little-endian, when `wide`), then that many bytes.
    std::string text(bool wide = false)
    {
        std::size_t length = byte();
        if (wide)
            length |= static_cast<std::size_t>(byte()) << 8;
        const auto* start = m_data;
        m_data += std::min<std::size_t>(length, static_cast<std::size_t>(m_end - m_data));
        return std::string(start, m_data);
    }

private:
    const std::uint8_t* m_data;
    const std::uint8_t* m_end;
};

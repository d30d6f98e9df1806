#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Reads a fuzz input as a series of small fields. An exhausted input reads as zeros and empty
// texts, so every byte string is a valid input.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_size == 0; }

    std::uint8_t byte()
    {
        if (m_size == 0)
            return 0;
        --m_size;
        return *m_data++;
    }

    // A length byte (or two, little-endian, when `wide`), then that many bytes.
    std::string text(bool wide = false)
    {
        std::size_t length = byte();
        if (wide)
            length |= static_cast<std::size_t>(byte()) << 8;
        if (length > m_size)
            length = m_size;
        std::string out(reinterpret_cast<const char*>(m_data), length);
        m_data += length;
        m_size -= length;
        return out;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

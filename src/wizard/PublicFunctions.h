#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tolvane {

class FileSystem;

// How many bytes of a resource of this size go into its file: all of the logo (101), all but
// the last two of every other resource. Nothing for a resource too short to lose two bytes.
std::optional<std::size_t> resourceFileLength(std::int32_t number, std::size_t resourceSize);

// Exactly the bytes that the file of resource (number, type) holds once written; nothing when
// the program carries no such resource or it is too short.
std::optional<std::span<const std::byte>> resourceFileBytes(std::int32_t number,
                                                            const std::string& type);

// Writes the resource to the file at path, creating or replacing it, in one write, flushed and
// closed. False when the resource is missing or too short (nothing is then touched) or the file
// cannot be created, written, flushed or closed. Never throws.
bool WriteResourceFile(std::int32_t number, const std::string& type, const std::string& path,
                       FileSystem& fileSystem);

} // namespace tolvane

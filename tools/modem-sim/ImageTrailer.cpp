#include "ImageTrailer.h"

#include <cstdint>
#include <zlib.h>

namespace tolvane::modemsim {

namespace {

std::uint32_t littleEndian(std::string_view bytes, std::size_t offset, std::size_t size)
{
    std::uint32_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

std::string textField(std::string_view bytes, std::size_t offset, std::size_t size)
{
    const std::string_view field = bytes.substr(offset, size);
    return std::string(field.substr(0, field.find('\0')));
}

std::uint32_t crc32Of(std::string_view bytes)
{
    // zlib takes at most uInt bytes per call; images are far below that.
    return static_cast<std::uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

} // namespace

ImageCheck checkImage(std::string_view file, std::string_view modemAnnex)
{
    ImageCheck check;
    if (file.size() < TrailerSize) {
        check.reason = "file too short to be a firmware image";
        return check;
    }
    const std::string_view archives = file.substr(0, file.size() - TrailerSize);
    const std::string_view trailer = file.substr(file.size() - TrailerSize);
    if (trailer.substr(0, 8) != "KVXFWTRL") {
        check.reason = "not a firmware image (no trailer)";
        return check;
    }
    if (crc32Of(trailer.substr(0, 92)) != littleEndian(trailer, 92, 4)) {
        check.reason = "damaged trailer (checksum)";
        return check;
    }
    if (littleEndian(trailer, 8, 2) != 1 || littleEndian(trailer, 10, 2) != TrailerSize) {
        check.reason = "unsupported trailer format";
        return check;
    }
    check.model = textField(trailer, 12, 16);
    check.annex = textField(trailer, 28, 4);
    check.label = textField(trailer, 32, 16);
    check.variant = textField(trailer, 48, 8);
    if (check.model != ModelName)
        check.reason = "image for another model (" + check.model + ")";
    else if (check.annex != modemAnnex)
        check.reason =
            "image for annex " + check.annex + ", modem is annex " + std::string(modemAnnex);
    else if (littleEndian(trailer, 56, 4) != archives.size())
        check.reason = "image length does not match its trailer";
    else if (crc32Of(archives) != littleEndian(trailer, 60, 4))
        check.reason = "image checksum error";
    else
        check.valid = true;
    return check;
}

} // namespace tolvane::modemsim

#include "EmbeddedResources.h"

#include <QResource>
#include <QString>

#include <algorithm>
#include <cctype>

// The images are an object file of their own inside this static library. Naming its initialiser
// links that file into every program that loads a resource, and registers the images.
static void registerFirmware()
{
    Q_INIT_RESOURCE(firmware);
}

namespace tolvane {

namespace {

// A type names one folder of the resource tree and nothing else: no separators, no "..".
bool isTypeName(const std::string& type)
{
    return !type.empty() && std::all_of(type.begin(), type.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '_';
    });
}

} // namespace

std::optional<std::span<const std::byte>> loadResource(std::int32_t number, const std::string& type)
{
    [[maybe_unused]] static const bool registered = (registerFirmware(), true);
    if (!isTypeName(type))
        return std::nullopt;
    const QResource resource(
        QStringLiteral(":/%1/%2").arg(QString::fromStdString(type)).arg(number));
    // Built with -no-compress; a compressed entry would need a copy, so it counts as absent.
    if (!resource.isValid() || !resource.data() ||
        resource.compressionAlgorithm() != QResource::NoCompression)
        return std::nullopt;
    return std::span(reinterpret_cast<const std::byte*>(resource.data()),
                     static_cast<std::size_t>(resource.size()));
}

} // namespace tolvane

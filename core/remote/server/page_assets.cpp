#include "page_assets.h"

#include <QFile>
#include <cstring>

// The page's files live in this static library's resources, which the
// linker keeps only when something names them.
static void InitPageResources() { Q_INIT_RESOURCE(kvremote_web); }

namespace kvremote {

std::optional<Asset> PageAsset(std::string_view path) {
    static const bool loaded = (InitPageResources(), true);
    (void)loaded;
    static const std::pair<const char*, const char*> kTypes[] = {
        {".html", "text/html; charset=utf-8"}, {".js", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},   {".svg", "image/svg+xml"},
        {".png", "image/png"},                 {".json", "application/json"},
    };
    // Only names of the page's own folder: nothing from the network names a
    // file anywhere else.
    const std::string name(path.substr(path.find_last_of('/') + 1));
    if (name.empty() || name.find("..") != std::string::npos || path.find('/', 1) != std::string_view::npos)
        return std::nullopt;
    QFile file(QStringLiteral(":/kvremote/web/") + QString::fromStdString(name));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    Asset asset;
    asset.bytes = file.readAll().toStdString();
    asset.content_type = "application/octet-stream";
    for (const auto& [suffix, type] : kTypes)
        if (name.size() > std::strlen(suffix) && name.compare(name.size() - std::strlen(suffix), std::string::npos, suffix) == 0)
            asset.content_type = type;
    return asset;
}


}  // namespace kvremote

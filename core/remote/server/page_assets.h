// The page and its files, from the program's resources (web/).
#pragma once

#include <optional>
#include <string_view>

#include "kvremote/request.h"

namespace kvremote {

// A file of the page by its path ("/index.html"); only names of the page's
// own folder are served.
std::optional<Asset> PageAsset(std::string_view path);

}  // namespace kvremote

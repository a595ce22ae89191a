// Confining picture files to the image root.
#include "qxrtf/internal/image_root.h"

#include <algorithm>
#include <filesystem>

#include "conscom/exceptions.h"

namespace qx {

namespace fs = std::filesystem;

namespace {

// Both paths canonical: whether `path` is `base` or below it, compared by
// whole components (so /data/images2 is not inside /data/images).
bool Within(const fs::path& base, const fs::path& path) {
    return std::mismatch(base.begin(), base.end(), path.begin(), path.end()).first == base.end();
}

fs::path CanonicalRoot(const std::string& root) {
    std::error_code ec;
    const fs::path base = fs::canonical(root, ec);
    if (ec || !fs::is_directory(base, ec))
        throw EIOError("Image root " + root + " is not a folder");
    return base;
}

}  // namespace

std::string ConfinedPictureFile(const std::string& root, const std::string& fileName) {
    const fs::path base = CanonicalRoot(root);
    const fs::path named(fileName);
    std::error_code ec;
    // Follows every link of the part that exists, then resolves `..` in the
    // rest by its text.
    const fs::path resolved = fs::weakly_canonical(named.is_absolute() ? named : base / named, ec);
    if (ec || !Within(base, resolved))
        throw EIOError("Picture file " + fileName + " is outside the image root " + root);
    return resolved.string();
}

bool FolderWithin(const std::string& outer, const std::string& inner) {
    std::error_code ec;
    const fs::path base = fs::canonical(outer, ec);
    if (ec) return false;
    const fs::path path = fs::canonical(inner, ec);
    return !ec && Within(base, path);
}

}  // namespace qx

// Confining the picture files a template or its data may name to one folder
// the application chose, so that a report cannot read files elsewhere.
#pragma once

#include <string>

namespace qx {

// The file that the picture name `fileName` stands for when pictures may come
// only from inside the folder `root`: a relative name is taken inside the
// root, and every symbolic link on the way is followed before the check, so
// that neither `..` nor a link leads out. Raises EIOError when the name lies
// outside the root or the root is not a folder.
std::string ConfinedPictureFile(const std::string& root, const std::string& fileName);

// Whether the folder `inner` is `outer` or lies inside it (links followed).
bool FolderWithin(const std::string& outer, const std::string& inner);

}  // namespace qx

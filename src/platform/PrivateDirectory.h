// Where this user keeps files nobody else may swap (the unpacked program of an upgrade): a
// directory no other user can write, on a path no other user can change.
#pragma once

#include <string>

namespace larkspire {

// Whether no user but this one (and root) can change what path names: the directory is this
// user's with no access for group or others, and every directory above it is this user's or
// root's and writable by nobody else (unless, like /tmp, it is root's with the sticky bit,
// where nobody may rename what is not theirs).
bool IsUsersAlone(const std::string& path);

// $XDG_RUNTIME_DIR when it is set and the user's alone; else $XDG_CACHE_HOME/Larkspire (or
// ~/.cache/Larkspire), created as needed with 0700 and made 0700 when make_missing (else "" when
// it does not exist yet). "" when neither is the user's alone.
std::string UserPrivateDirectory(bool make_missing);

}  // namespace larkspire

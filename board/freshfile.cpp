#include "board/freshfile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace boards {

namespace {

// Names tried before a save gives up on a fresh file of its own.
constexpr int mostattempts = 100;

constexpr const char* aclname = "system.posix_acl_access";

}  // namespace

int keepattributes(int from, int to) {
  // A file system without ACLs hands none down either.
  if (savesystem.fgetxattr(from, aclname, nullptr, 0) < 0 && errno != ENOTSUP) {
    if (errno != ENODATA) return errno;
    if (savesystem.fremovexattr(to, aclname) != 0 && errno != ENODATA) {
      return errno;
    }
  }
  const ssize_t size = savesystem.flistxattr(from, nullptr, 0);
  if (size < 0) return errno == ENOTSUP ? 0 : errno;
  std::string names(static_cast<std::size_t>(size), '\0');
  const ssize_t listed =
      savesystem.flistxattr(from, names.data(), names.size());
  if (listed < 0) return errno;
  names.resize(static_cast<std::size_t>(listed));
  std::vector<char> value;
  for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
    const char* name = names.c_str() + at;
    const ssize_t length = savesystem.fgetxattr(from, name, nullptr, 0);
    if (length < 0) return errno;
    value.resize(static_cast<std::size_t>(length));
    const ssize_t got =
        savesystem.fgetxattr(from, name, value.data(), value.size());
    if (got < 0 ||
        savesystem.fsetxattr(to, name, value.data(),
                             static_cast<std::size_t>(got), 0) != 0) {
      return errno;
    }
  }
  return 0;
}

std::string freshname(std::string_view target, std::string_view kind,
                      int attempt) {
  // Appended piece by piece: a chain of + trips a false -Wrestrict in g++ 12.
  std::string suffix(".");
  suffix.append(kind).append("-").append(std::to_string(::getpid()));
  suffix.append("-").append(std::to_string(attempt));
  std::string name(".");
  name.append(target.substr(0, NAME_MAX - 1 - suffix.size())).append(suffix);
  return name;
}

bool freshfile::open(int access, mode_t mode) {
  file_ = descriptor(
      savesystem.openat(dir_, ".", O_TMPFILE | access | O_CLOEXEC, mode));
  if (file_.valid()) return true;
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
  return opennamed(access, mode);
}

bool freshfile::opennamed(int access, mode_t mode) {
  for (int attempt = 0; attempt < mostattempts; ++attempt) {
    const std::string name = freshname(target_, kind_, attempt);
    file_ = descriptor(savesystem.openat(
        dir_, name.c_str(), access | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (file_.valid()) {
      name_ = name;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool freshfile::linkunnamed(const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(file_.get());
  if (savesystem.linkat(AT_FDCWD, self.c_str(), dir_, name.c_str(),
                        AT_SYMLINK_FOLLOW) == 0) {
    return true;
  }
  // Where /proc is missing, a privileged process can still link it.
  return errno == ENOENT && savesystem.linkat(file_.get(), "", dir_,
                                              name.c_str(), AT_EMPTY_PATH) == 0;
}

bool freshfile::linkas(const std::string& name) {
  if (name_.empty()) return linkunnamed(name);
  if (savesystem.linkat(dir_, name_.c_str(), dir_, name.c_str(), 0) != 0) {
    return false;
  }
  remove();
  return true;
}

bool freshfile::linkin() {
  if (!name_.empty()) return true;
  for (int attempt = 0; attempt < mostattempts; ++attempt) {
    const std::string name = freshname(target_, kind_, attempt);
    if (linkunnamed(name)) {
      name_ = name;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

void freshfile::remove() {
  if (!name_.empty()) savesystem.unlinkat(dir_, name_.c_str(), 0);
  name_.clear();
}

}  // namespace boards

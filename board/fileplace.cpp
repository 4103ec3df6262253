#include "board/fileplace.h"

#include <fcntl.h>
#include <limits.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <cerrno>

namespace boards {

namespace {

// Symbolic links followed at most, as the kernel does.
constexpr int mostlinks = 40;

// Follows the links the last name leads through; 0 or the errno.
int follow(place& at) {
  for (int hop = 0;; ++hop) {
    at.proc = onproc(at.dir.get());
    if (at.proc) return 0;
    at.found = savesystem.fstatat(at.dir.get(), at.name.c_str(), &at.status,
                                  AT_SYMLINK_NOFOLLOW) == 0;
    if (!at.found) return errno == ENOENT ? 0 : errno;
    if (!S_ISLNK(at.status.st_mode)) return 0;
    if (hop == mostlinks) return ELOOP;
    // Whether this link may be followed (fs.protected_symlinks) is the
    // kernel's call: it follows it once itself. A dangling link may lead
    // to where the file is to be made.
    const descriptor probe(savesystem.openat(at.dir.get(), at.name.c_str(),
                                             O_PATH | O_CLOEXEC, 0));
    if (!probe.valid() && errno != ENOENT) return errno;
    std::string target(PATH_MAX, '\0');
    const ssize_t length = savesystem.readlinkat(at.dir.get(), at.name.c_str(),
                                                 target.data(), target.size());
    if (length < 0) return errno;
    if (length == 0 || static_cast<std::size_t>(length) == target.size()) {
      return ENOENT;
    }
    target.resize(static_cast<std::size_t>(length));
    auto [directory, name] = splitpath(target);
    descriptor next(savesystem.openat(at.dir.get(), directory.c_str(),
                                      O_PATH | O_DIRECTORY | O_CLOEXEC, 0));
    if (!next.valid()) return errno;
    at.dir = std::move(next);
    at.name = std::move(name);
  }
}

}  // namespace

std::pair<std::string, std::string> splitpath(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {".", std::string(path)};
  std::string name(path.substr(slash + 1));
  return {slash == 0 ? "/" : std::string(path.substr(0, slash)),
          name.empty() ? "." : name};
}

bool onproc(int dir) {
  struct statfs system;
  return ::fstatfs(dir, &system) == 0 && system.f_type == PROC_SUPER_MAGIC;
}

int findplace(const char* path, place& at) {
  if (*path == '\0') return ENOENT;
  auto [directory, name] = splitpath(path);
  at.dir = descriptor(savesystem.openat(AT_FDCWD, directory.c_str(),
                                        O_PATH | O_DIRECTORY | O_CLOEXEC, 0));
  at.name = std::move(name);
  if (!at.dir.valid()) return errno;
  return follow(at);
}

}  // namespace boards

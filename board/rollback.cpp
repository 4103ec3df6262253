#include "board/rollback.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "board/boardfile.h"
#include "board/freshfile.h"

namespace boards {

namespace {

// Copies everything from the start of one file to the start of another;
// 0 or the errno.
int copyall(int from, int to) {
  if (savesystem.lseek(from, 0, SEEK_SET) < 0 ||
      savesystem.lseek(to, 0, SEEK_SET) < 0) {
    return errno;
  }
  std::vector<unsigned char> buffer(boardpiecelength);
  for (;;) {
    const ssize_t got = savesystem.read(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) return 0;
    if (const int error =
            writeall(to, buffer.data(), static_cast<std::size_t>(got))) {
      return error;
    }
  }
}

}  // namespace

std::string rollbackname(std::string_view name) {
  constexpr std::string_view suffix = ".rollback";
  constexpr std::size_t room = NAME_MAX - 1 - suffix.size();
  std::string copy(".");
  if (name.size() <= room) return copy.append(name).append(suffix);
  // Cut, a name keeps a checksum of the whole (FNV-1a), so that two names
  // that share their start never share a copy: a load of one would take the
  // other's copy for a stale one and remove it.
  std::uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
  char sum[18];
  std::snprintf(sum, sizeof sum, "-%016llx",
                static_cast<unsigned long long>(hash));
  constexpr std::size_t sumlength = sizeof sum - 1;
  return copy.append(name.substr(0, room - sumlength))
      .append(sum)
      .append(suffix);
}

int lockfile(int fd, short type) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  for (;;) {
    if (savesystem.lock(fd, F_OFD_SETLKW, &lock) == 0) return 0;
    if (errno == EINTR) continue;
    return errno == ENOLCK || errno == EOPNOTSUPP ? 0 : errno;
  }
}

std::optional<bool> marked(int fd) {
  std::array<unsigned char, marklength> first;
  std::size_t got = 0;
  if (savesystem.lseek(fd, 0, SEEK_SET) < 0) return std::nullopt;
  while (got < first.size()) {
    const ssize_t piece =
        savesystem.read(fd, first.data() + got, first.size() - got);
    if (piece < 0 && errno == EINTR) continue;
    if (piece < 0) return std::nullopt;
    if (piece == 0) return false;
    got += static_cast<std::size_t>(piece);
  }
  return std::ranges::all_of(first, [](unsigned char b) { return b == 0xff; });
}

int makerollback(const place& at, int fd, bool sync) {
  freshfile copy(at.dir.get(), at.name, "rollback");
  if (!copy.open(O_RDWR)) return errno;
  if (const int error = copyall(fd, copy.fd())) return error;
  // Readable by no one the file does not let read it: its ACL, not one the
  // folder hands down, and its permission bits, with none for a group that
  // is not the file's (the copy's is the writer's).
  keepattributes(fd, copy.fd());
  struct stat status;
  struct stat made;
  if (savesystem.fstat(fd, &status) != 0 ||
      savesystem.fstat(copy.fd(), &made) != 0) {
    return errno;
  }
  const mode_t mode =
      status.st_mode & (made.st_gid == status.st_gid ? 0666 : 0606);
  if (savesystem.fchmod(copy.fd(), mode) != 0 ||
      savesystem.fsync(copy.fd()) != 0 || !copy.linkas(rollbackname(at.name))) {
    return errno;
  }
  if (!sync) return 0;
  // Its name, too, must outlive a power cut before the file is overwritten.
  const descriptor dir(savesystem.openat(
      at.dir.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
  if (dir.valid() && savesystem.fsync(dir.get()) == 0) return 0;
  const int error = errno;
  savesystem.unlinkat(at.dir.get(), rollbackname(at.name).c_str(), 0);
  return error;
}

int putback(const place& at, int fd) {
  const descriptor copy(
      savesystem.openat(at.dir.get(), rollbackname(at.name).c_str(),
                        O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0));
  struct stat status;
  if (!copy.valid() || savesystem.fstat(copy.get(), &status) != 0) {
    return errno;
  }
  if (const int error = copyall(copy.get(), fd)) return error;
  return savesystem.ftruncate(fd, status.st_size) == 0 ? 0 : errno;
}

undone undodeadsave(const place& at, int fd) {
  undone result;
  const std::string copy = rollbackname(at.name);
  struct stat status;
  if (savesystem.fstatat(at.dir.get(), copy.c_str(), &status,
                         AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT) result.error = errno;
    return result;
  }
  result.found = true;
  const std::optional<bool> torn = marked(fd);
  if (!torn) {
    result.error = errno;
    return result;
  }
  if (*torn) {
    result.error = putback(at, fd);
    if (result.error == 0 && savesystem.fsync(fd) != 0) result.error = errno;
    if (result.error != 0) return result;
    result.restored = true;
  }
  savesystem.unlinkat(at.dir.get(), copy.c_str(), 0);
  return result;
}

}  // namespace boards

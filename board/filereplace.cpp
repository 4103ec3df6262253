// How a save puts new content in the place of a file, case by case.
//
// The save follows the links of the last name a directory at a time, through
// directory descriptors, to the directory that really holds the file; no
// joined path is ever built, and the kernel, which opens each directory and
// is asked before each link is followed, applies its protections
// (fs.protected_symlinks among them).
//
// - No file yet, or a regular file with one link: the content goes into a
//   fresh file in that directory (unnamed while it is written where the file
//   system allows it), which takes the target's owner, group and extended
//   attributes and, after the last write, its permission bits, and is renamed
//   over the target. Whatever fails, the target is untouched.
// - In place, where no fresh file can take the target's place: a directory
//   that refuses new files while the file is writable, a rename the kernel
//   refuses (a mount point, another user's file in a sticky directory), a
//   device or FIFO, a stream reached through /proc/self/fd (/dev/stdout,
//   /dev/fd/N), which is written where and how it is open. The space is
//   reserved before the first byte is overwritten, and the file is never
//   unlinked; only an I/O error or a kill in mid-write can leave it partial,
//   and the fault then says so.
// - A regular file with several links is written in place, with a copy of the
//   old content beside it until the write is done, put back should it fail.

#include "board/filereplace.h"

#include <fcntl.h>
#include <limits.h>
#include <linux/magic.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "board/savecalls.h"

namespace boards {

savecalls savesystem = {
    [](int dir, const char* name, int flags, mode_t mode) {
      return ::openat(dir, name, flags, mode);
    },
    ::close,
    [](int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); },
    ::read,
    ::write,
    ::lseek,
    ::fstat,
    ::fstatat,
    ::readlinkat,
    ::linkat,
    ::renameat,
    ::unlinkat,
    ::fallocate,
    ::ftruncate,
    ::fsync,
    ::fchown,
    ::fchmod,
    ::flistxattr,
    ::fgetxattr,
    ::fsetxattr,
};

namespace {

using fault = saveresulttype::fault;

saveresulttype failure(fault what, int error) {
  return saveresulttype::failed(what, error);
}

// Symbolic links followed at most, as the kernel does.
constexpr int mostlinks = 40;

// Names tried before a save gives up on a fresh file of its own.
constexpr int mostattempts = 100;

class descriptor {
 public:
  explicit descriptor(int fd = -1) : fd_(fd) {}
  descriptor(descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  descriptor& operator=(descriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~descriptor() {
    if (fd_ >= 0) savesystem.close(fd_);
  }
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Whether the close succeeded; for a file written in place, it may report
  // a write that failed.
  bool close() { return savesystem.close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

// A directory, held open, and a name in it.
struct place {
  descriptor dir;
  std::string name;
};

// The directory part of a path and its last name ("." when it ends in '/').
std::pair<std::string, std::string> split(std::string_view path) {
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

// Follows the links the last name leads through, to the directory that holds
// the file and its name there; 0 or the errno.
int follow(place& at) {
  for (int hop = 0;; ++hop) {
    // The kernel's magic links (/proc/self/fd/N) name no path to follow.
    if (onproc(at.dir.get())) return 0;
    struct stat status;
    if (savesystem.fstatat(at.dir.get(), at.name.c_str(), &status,
                           AT_SYMLINK_NOFOLLOW) != 0) {
      return errno == ENOENT ? 0 : errno;
    }
    if (!S_ISLNK(status.st_mode)) return 0;
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
    auto [directory, name] = split(target);
    descriptor next(savesystem.openat(at.dir.get(), directory.c_str(),
                                      O_PATH | O_DIRECTORY | O_CLOEXEC, 0));
    if (!next.valid()) return errno;
    at = {std::move(next), std::move(name)};
  }
}

// The name of a fresh file beside the target, for people to recognize should
// a killed save leave it: ".NAME.KIND-PID-N", NAME cut to fit NAME_MAX.
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

// A fresh file in the target's directory; removed when it goes out of scope
// unless it was renamed or kept.
class freshfile {
 public:
  freshfile(int dir, std::string_view target, std::string_view kind)
      : dir_(dir), target_(target), kind_(kind) {}
  freshfile(const freshfile&) = delete;
  freshfile& operator=(const freshfile&) = delete;
  ~freshfile() { remove(); }

  // Unnamed where the file system allows it, so that a run killed while it
  // writes leaves nothing; false with errno set when none can be made.
  bool openunnamed() {
    file_ = descriptor(
        savesystem.openat(dir_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (file_.valid()) return true;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      return false;
    }
    return opennamed(O_WRONLY, 0666);
  }

  bool opennamed(int access, mode_t mode) {
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

  // Gives an unnamed file a name, for the rename.
  bool linkin() {
    if (!name_.empty()) return true;
    const std::string self = "/proc/self/fd/" + std::to_string(file_.get());
    for (int attempt = 0; attempt < mostattempts; ++attempt) {
      const std::string name = freshname(target_, kind_, attempt);
      int linked = savesystem.linkat(AT_FDCWD, self.c_str(), dir_, name.c_str(),
                                     AT_SYMLINK_FOLLOW);
      // Where /proc is missing, a privileged process can still link it.
      if (linked != 0 && errno != EEXIST) {
        linked = savesystem.linkat(file_.get(), "", dir_, name.c_str(),
                                   AT_EMPTY_PATH);
      }
      if (linked == 0) {
        name_ = name;
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  int fd() const { return file_.get(); }
  bool close() { return file_.close(); }
  const std::string& name() const { return name_; }
  void remove() {
    if (!name_.empty()) savesystem.unlinkat(dir_, name_.c_str(), 0);
    name_.clear();
  }
  // The file's name now belongs to someone else: the target, or people.
  void keep() { name_.clear(); }

 private:
  int dir_;
  std::string target_;
  std::string kind_;
  descriptor file_;
  std::string name_;
};

// What a writer handed to the file: whether all of it, how many bytes got
// there and the errno of the write that failed.
struct written {
  bool whole;
  std::uint64_t bytes;
  int error;
};

written writecontent(int fd, const contentmaker& make) {
  written out{false, 0, EIO};
  out.whole = make([fd, &out](std::span<const unsigned char> piece) {
    std::size_t done = 0;
    while (done < piece.size()) {
      const ssize_t put =
          savesystem.write(fd, piece.data() + done, piece.size() - done);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        out.error = put < 0 ? errno : EIO;
        return false;
      }
      done += static_cast<std::size_t>(put);
      out.bytes += static_cast<std::uint64_t>(put);
    }
    return true;
  });
  return out;
}

// Reserves the blocks of length bytes from offset, so that neither a full
// disk nor the file size limit can stop the write part way; 0 or the errno.
// Where the file system cannot reserve, the write goes ahead unreserved.
int reserve(int fd, std::uint64_t offset, std::uint64_t length) {
  constexpr auto largest =
      static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
  if (offset > largest || length > largest - offset) return EFBIG;
  rlimit limit;
  if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 &&
      limit.rlim_cur != RLIM_INFINITY && offset + length > limit.rlim_cur) {
    return EFBIG;
  }
  if (length == 0 ||
      savesystem.fallocate(fd, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                           static_cast<off_t>(length)) == 0) {
    return 0;
  }
  return errno == EOPNOTSUPP || errno == ENOSYS ? 0 : errno;
}

// Puts the permission bits back after a write, which clears set-user-ID and
// set-group-ID for a process without CAP_FSETID. Only the owner may.
void keepmode(int fd, mode_t mode) {
  struct stat now;
  if (savesystem.fstat(fd, &now) == 0 &&
      (now.st_mode & 07777) != (mode & 07777)) {
    savesystem.fchmod(fd, mode & 07777);
  }
}

enum class position { start, current };

// Writes the content into an open file: a regular file from its start (cut
// to the content's length) or, for a stream, where it stands.
saveresulttype writeinplace(int fd, const struct stat& old, position where,
                            std::uint64_t length, const contentmaker& make,
                            const saveoptions& options) {
  const bool regular = S_ISREG(old.st_mode);
  std::uint64_t start = 0;
  if (regular && where == position::start) {
    if (savesystem.lseek(fd, 0, SEEK_SET) < 0) {
      return failure(fault::writefailed, errno);
    }
  } else if (regular) {
    const off_t at = savesystem.lseek(fd, 0, SEEK_CUR);
    if (at < 0) return failure(fault::writefailed, errno);
    start = (::fcntl(fd, F_GETFL) & O_APPEND) != 0
                ? static_cast<std::uint64_t>(old.st_size)
                : static_cast<std::uint64_t>(at);
  }
  if (regular) {
    if (const int error = reserve(fd, start, length)) {
      return failure(fault::writefailed, error);
    }
  }
  const written out = writecontent(fd, make);
  if (!out.whole) {
    return failure(out.bytes > 0 ? fault::incomplete : fault::writefailed,
                   out.error);
  }
  if (regular && where == position::start &&
      static_cast<std::uint64_t>(old.st_size) > length &&
      savesystem.ftruncate(fd, static_cast<off_t>(length)) != 0) {
    return failure(fault::incomplete, errno);
  }
  if (regular) keepmode(fd, old.st_mode);
  if (options.sync && (regular || S_ISBLK(old.st_mode)) &&
      savesystem.fsync(fd) != 0) {
    return failure(fault::writefailed, errno);
  }
  return {};
}

// Opens a file to write it in place; opening a FIFO waits for a reader,
// and a signal that interrupts the wait does not end it.
descriptor openinplace(const place& at, int access) {
  for (;;) {
    descriptor file(savesystem.openat(at.dir.get(), at.name.c_str(),
                                      access | O_CLOEXEC | O_NOCTTY, 0));
    if (file.valid() || errno != EINTR) return file;
  }
}

// The descriptor N that a name in the process's own /proc/self/fd stands
// for, or -1.
int ownfd(const place& at) {
  int fd = -1;
  const char* end = at.name.data() + at.name.size();
  const auto [rest, error] = std::from_chars(at.name.data(), end, fd);
  struct stat dir;
  struct stat own;
  if (error != std::errc() || rest != end || ::fstat(at.dir.get(), &dir) != 0 ||
      ::stat("/proc/self/fd", &own) != 0 || dir.st_dev != own.st_dev ||
      dir.st_ino != own.st_ino) {
    return -1;
  }
  return fd;
}

// A stream the shell opened (/dev/stdout and the like) is written through
// the same open file, at its offset and in its mode, so that ">>" appends
// and a pipe receives the content; any other magic link is opened anew.
saveresulttype writestream(const place& at, std::uint64_t length,
                           const contentmaker& make,
                           const saveoptions& options) {
  const int own = ownfd(at);
  descriptor file =
      own >= 0 ? descriptor(savesystem.dupfd(own)) : openinplace(at, O_WRONLY);
  if (!file.valid()) return failure(fault::cannotopen, errno);
  if ((::fcntl(file.get(), F_GETFL) & O_ACCMODE) == O_RDONLY) {
    return failure(fault::cannotopen, EBADF);
  }
  struct stat status;
  if (savesystem.fstat(file.get(), &status) != 0) {
    return failure(fault::cannotopen, errno);
  }
  const saveresulttype result = writeinplace(
      file.get(), status, own >= 0 ? position::current : position::start,
      length, make, options);
  if (result.ok() && !file.close()) return failure(fault::incomplete, errno);
  return result;
}

// The file a save replaces, open to be written, and its status.
struct existing {
  descriptor file;
  struct stat status;
};

saveresulttype finishinplace(existing& target, std::uint64_t length,
                             const contentmaker& make,
                             const saveoptions& options) {
  const saveresulttype result = writeinplace(
      target.file.get(), target.status, position::start, length, make, options);
  if (result.ok() && !target.file.close()) {
    return failure(fault::incomplete, errno);
  }
  return result;
}

// Gives the fresh file the target's owner, group and extended attributes
// (ACLs among them); each where the process may. The owner goes first:
// changing it clears set-user-ID and file capabilities.
void keepattributes(int from, int to, const struct stat& old) {
  if (savesystem.fchown(to, old.st_uid, old.st_gid) != 0) {
    // A process may give a file only to itself, but to any of its groups.
    savesystem.fchown(to, static_cast<uid_t>(-1), old.st_gid);
  }
  const ssize_t size = savesystem.flistxattr(from, nullptr, 0);
  if (size <= 0) return;
  std::string names(static_cast<std::size_t>(size), '\0');
  const ssize_t listed =
      savesystem.flistxattr(from, names.data(), names.size());
  if (listed <= 0) return;
  names.resize(static_cast<std::size_t>(listed));
  std::vector<char> value;
  for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
    const char* name = names.c_str() + at;
    const ssize_t length = savesystem.fgetxattr(from, name, nullptr, 0);
    if (length < 0) continue;
    value.resize(static_cast<std::size_t>(length));
    const ssize_t got =
        savesystem.fgetxattr(from, name, value.data(), value.size());
    if (got >= 0) {
      savesystem.fsetxattr(to, name, value.data(),
                           static_cast<std::size_t>(got), 0);
    }
  }
}

saveresulttype syncdirectory(const place& at) {
  descriptor dir(savesystem.openat(at.dir.get(), ".",
                                   O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
  if (!dir.valid() || savesystem.fsync(dir.get()) != 0) {
    return failure(fault::writefailed, errno);
  }
  return {};
}

// A directory that does not let the process make a file in it.
bool refusesnewfiles(int error) {
  return error == EACCES || error == EPERM || error == EROFS;
}

// A rename the kernel refuses though the file itself may be written: a mount
// point (EBUSY), another user's file in a sticky directory (EPERM).
bool refusesrename(int error) {
  return error == EBUSY || error == EPERM || error == EACCES || error == EXDEV;
}

// Writes the content into a fresh file and renames it over the target (none
// when target is null).
saveresulttype savefresh(const place& at, existing* target,
                         std::uint64_t length, const contentmaker& make,
                         const saveoptions& options) {
  freshfile fresh(at.dir.get(), at.name, "saving");
  if (!fresh.openunnamed()) {
    const int error = errno;
    if (target != nullptr && refusesnewfiles(error)) {
      return finishinplace(*target, length, make, options);
    }
    return failure(fault::cannotopen, error);
  }
  const written out = writecontent(fresh.fd(), make);
  if (!out.whole) return failure(fault::writefailed, out.error);
  if (target != nullptr) {
    keepattributes(target->file.get(), fresh.fd(), target->status);
    if (savesystem.fchmod(fresh.fd(), target->status.st_mode & 07777) != 0) {
      return failure(fault::writefailed, errno);
    }
  }
  if ((options.sync && savesystem.fsync(fresh.fd()) != 0) || !fresh.linkin() ||
      !fresh.close()) {
    return failure(fault::writefailed, errno);
  }
  if (savesystem.renameat(at.dir.get(), fresh.name().c_str(), at.dir.get(),
                          at.name.c_str()) != 0) {
    const int error = errno;
    fresh.remove();
    if (target != nullptr && refusesrename(error)) {
      return finishinplace(*target, length, make, options);
    }
    return failure(fault::writefailed, error);
  }
  fresh.keep();
  return options.sync ? syncdirectory(at) : saveresulttype();
}

// Copies size bytes from the start of one file to the start of another.
bool copybytes(int from, int to, std::uint64_t size) {
  if (savesystem.lseek(from, 0, SEEK_SET) < 0 ||
      savesystem.lseek(to, 0, SEEK_SET) < 0) {
    return false;
  }
  std::vector<unsigned char> buffer(boardpiecelength);
  while (size > 0) {
    const ssize_t got = savesystem.read(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got == 0) errno = EIO;  // the file shrank while it was copied
      return false;
    }
    const auto piece = static_cast<std::size_t>(got);
    const written out =
        writecontent(to, [&buffer, piece](const bytesink& sink) {
          return sink(std::span(buffer.data(), piece));
        });
    if (!out.whole) {
      errno = out.error;
      return false;
    }
    size -= std::min<std::uint64_t>(size, piece);
  }
  return true;
}

// Puts the old content back from the copy; whether it all went back.
bool restore(existing& target, int copy) {
  const auto size = static_cast<std::uint64_t>(target.status.st_size);
  if (!copybytes(copy, target.file.get(), size) ||
      savesystem.ftruncate(target.file.get(), target.status.st_size) != 0) {
    return false;
  }
  keepmode(target.file.get(), target.status.st_mode);
  return true;
}

// A file with several links keeps them all: it is written in place, with a
// copy of the old content beside it until the write is done.
saveresulttype savelinked(const place& at, existing& target,
                          std::uint64_t length, const contentmaker& make,
                          const saveoptions& options) {
  if (const int error = reserve(target.file.get(), 0, length)) {
    return failure(fault::writefailed, error);
  }
  freshfile copy(at.dir.get(), at.name, "old");
  if (!copy.opennamed(O_RDWR, 0600)) return failure(fault::cannotopen, errno);
  if (!copybytes(target.file.get(), copy.fd(),
                 static_cast<std::uint64_t>(target.status.st_size)) ||
      (options.sync && savesystem.fsync(copy.fd()) != 0)) {
    return failure(fault::writefailed, errno);
  }
  saveresulttype result = finishinplace(target, length, make, options);
  if (result.what != fault::incomplete) return result;
  if (target.file.valid() && restore(target, copy.fd())) {
    result.what = fault::writefailed;
    return result;
  }
  result.item = copy.name();
  copy.keep();
  return result;
}

}  // namespace

saveresulttype replacefile(const char* path, std::uint64_t length,
                           const contentmaker& make,
                           const saveoptions& options) {
  if (*path == '\0') return failure(fault::cannotopen, ENOENT);
  auto [directory, name] = split(path);
  place at{descriptor(savesystem.openat(AT_FDCWD, directory.c_str(),
                                        O_PATH | O_DIRECTORY | O_CLOEXEC, 0)),
           std::move(name)};
  if (!at.dir.valid()) return failure(fault::cannotopen, errno);
  if (const int error = follow(at)) return failure(fault::cannotopen, error);
  if (onproc(at.dir.get())) return writestream(at, length, make, options);

  existing target;
  const bool found =
      savesystem.fstatat(at.dir.get(), at.name.c_str(), &target.status,
                         AT_SYMLINK_NOFOLLOW) == 0;
  if (!found && errno != ENOENT) return failure(fault::cannotopen, errno);
  if (!found) return savefresh(at, nullptr, length, make, options);
  if (!S_ISREG(target.status.st_mode)) {
    target.file = openinplace(at, O_WRONLY);
    if (!target.file.valid()) return failure(fault::cannotopen, errno);
    return finishinplace(target, length, make, options);
  }
  const bool linked = target.status.st_nlink > 1;
  target.file = descriptor(savesystem.openat(
      at.dir.get(), at.name.c_str(),
      (linked ? O_RDWR : O_WRONLY) | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0));
  if (!target.file.valid()) return failure(fault::cannotopen, errno);
  return linked ? savelinked(at, target, length, make, options)
                : savefresh(at, &target, length, make, options);
}

}  // namespace boards

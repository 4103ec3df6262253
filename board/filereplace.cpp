// How a save puts new content in the place of a file, case by case.
//
// The file is found through directory descriptors (fileplace.h); no joined
// path is ever built.
//
// - No file yet: the content goes into a fresh file in that directory, made
//   readable by its owner alone and unnamed while it is written where the
//   file system allows it; it gets its permission bits after the last write
//   and takes the name by a link that replaces nothing.
// - A regular file with one link: the same fresh file takes the target's
//   owner, group, extended attributes and ACL (and no ACL inherited from the
//   directory that the target lacks), after the last write its permission
//   bits, and is renamed over the target. Whatever fails, the target is
//   untouched.
// - In place, as a transaction (rollback.h), where no fresh file can take the
//   target's place without changing it: several links, an owner or group the
//   process cannot give the fresh file, a directory that refuses new files
//   or is append-only, a rename the kernel refuses (a mount point, another
//   user's file in a sticky directory).
// - A device or FIFO, or a stream reached through /proc/self/fd (/dev/stdout,
//   /dev/fd/N), is written as it is open.
//
// Before the first byte, the content's length is held against the file size
// limit, so the limit fails a save with a reason instead of a signal.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board/boardfile.h"
#include "board/fileplace.h"
#include "board/freshfile.h"
#include "board/rollback.h"
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
    ::fremovexattr,
    [](int fd, int command, struct flock* lock) {
      return ::fcntl(fd, command, lock);
    },
    ::statx,
};

namespace {

using fault = saveresulttype::fault;

// What a writer returns in place of an errno when the content maker
// stopped without a failed call: the save fails, with no reason of its own.
constexpr int makerstopped = -1;

saveresulttype failure(fault what, int error) {
  return saveresulttype::failed(what, error == makerstopped ? 0 : error);
}

// Times a save starts over when the file it examined was replaced before
// it was opened.
constexpr int mostlooks = 5;

// What a writer handed to the file: whether all of it, how many bytes got
// there and the errno of the write that failed (0 when the maker stopped).
struct written {
  bool whole;
  std::uint64_t bytes;
  int error;
};

written writecontent(int fd, const contentmaker& make) {
  written out{false, 0, 0};
  out.whole = make([fd, &out](std::span<const unsigned char> piece) {
    out.error = writeall(fd, piece.data(), piece.size());
    if (out.error == 0) out.bytes += piece.size();
    return out.error == 0;
  });
  return out;
}

// EFBIG when bytes up to offset + length would pass the file size limit or
// what a file offset holds, so that no write raises SIGXFSZ; else 0.
int checklimit(std::uint64_t offset, std::uint64_t length) {
  constexpr auto largest =
      static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
  if (offset > largest || length > largest - offset) return EFBIG;
  rlimit limit;
  if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 &&
      limit.rlim_cur != RLIM_INFINITY && offset + length > limit.rlim_cur) {
    return EFBIG;
  }
  return 0;
}

// Reserves the blocks of length bytes from offset, so that neither a full
// disk nor the file size limit can stop the write part way; 0 or the errno.
// Where the file system cannot reserve, the write goes ahead unreserved.
int reserve(int fd, std::uint64_t offset, std::uint64_t length) {
  if (const int error = checklimit(offset, length)) return error;
  if (length == 0 ||
      savesystem.fallocate(fd, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                           static_cast<off_t>(length)) == 0) {
    return 0;
  }
  return errno == EOPNOTSUPP || errno == ENOSYS ? 0 : errno;
}

// Puts the permission bits back after a write, which clears set-user-ID and
// set-group-ID for a process without CAP_FSETID; 0 or the errno.
int keepmode(int fd, mode_t mode) {
  struct stat now;
  if (savesystem.fstat(fd, &now) != 0) return errno;
  if ((now.st_mode & 07777) == (mode & 07777)) return 0;
  return savesystem.fchmod(fd, mode & 07777) == 0 ? 0 : errno;
}

// The process's umask, read without changing it (umask() would, for every
// thread, for a moment).
mode_t currentumask() {
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned int mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status) != nullptr) {
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    }
    std::fclose(status);
    if (found) return static_cast<mode_t>(mask);
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

// ---- Streams: devices, FIFOs and what the shell opened.

enum class position { start, current };

// Writes the content into an open file that is not a regular file, or a
// stream where it stands.
saveresulttype writestreamed(int fd, const struct stat& old, position where,
                             std::uint64_t length, const contentmaker& make,
                             const saveoptions& options) {
  const bool regular = S_ISREG(old.st_mode);
  std::uint64_t start = 0;
  if (regular) {
    const off_t at = savesystem.lseek(fd, 0, SEEK_CUR);
    if (at < 0) return failure(fault::writefailed, errno);
    start = (::fcntl(fd, F_GETFL) & O_APPEND) != 0
                ? static_cast<std::uint64_t>(old.st_size)
                : static_cast<std::uint64_t>(at);
    if (where == position::start) start = 0;
    if (const int error = reserve(fd, start, length)) {
      return failure(fault::writefailed, error);
    }
  }
  const written out = writecontent(fd, make);
  if (!out.whole) {
    return failure(out.bytes > 0 ? fault::incomplete : fault::writefailed,
                   out.error);
  }
  if (regular && keepmode(fd, old.st_mode) != 0) {
    return failure(fault::writefailed, errno);
  }
  if (options.sync && (regular || S_ISBLK(old.st_mode)) &&
      savesystem.fsync(fd) != 0) {
    return failure(fault::writefailed, errno);
  }
  return {};
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

// Opens a file to write it where it is, as "echo x >" does (O_CREAT, so
// that fs.protected_regular and fs.protected_fifos apply); opening a FIFO
// waits for a reader, and a signal that interrupts the wait does not end it.
descriptor openinplace(const place& at, int access) {
  for (;;) {
    descriptor file(savesystem.openat(
        at.dir.get(), at.name.c_str(),
        access | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666));
    if (file.valid() || errno != EINTR) return file;
  }
}

// A stream the shell opened (/dev/stdout and the like) is written through
// the same open file, at its offset and in its mode, so that ">>" appends
// and a pipe receives the content; any other magic link is opened anew.
saveresulttype writestream(const place& at, std::uint64_t length,
                           const contentmaker& make,
                           const saveoptions& options) {
  const int own = ownfd(at);
  descriptor file(own >= 0 ? savesystem.dupfd(own)
                           : savesystem.openat(at.dir.get(), at.name.c_str(),
                                               O_WRONLY | O_CLOEXEC, 0));
  if (!file.valid()) return failure(fault::cannotopen, errno);
  if ((::fcntl(file.get(), F_GETFL) & O_ACCMODE) == O_RDONLY) {
    return failure(fault::cannotopen, EBADF);
  }
  struct stat status;
  if (savesystem.fstat(file.get(), &status) != 0) {
    return failure(fault::cannotopen, errno);
  }
  const saveresulttype result = writestreamed(
      file.get(), status, own >= 0 ? position::current : position::start,
      length, make, options);
  if (result.ok() && !file.close()) return failure(fault::incomplete, errno);
  return result;
}

// ---- Regular files written in place, as a transaction.

// The file a save replaces, open to be read and written, and its status.
struct existing {
  descriptor file;
  struct stat status;
  bool readable = true;  // whether its old content can be copied
};

// Writes the content with its first bytes last, behind the mark; 0, the
// errno of the call that failed, or makerstopped.
int writebehindmark(int fd, std::uint64_t length, const contentmaker& make,
                    const saveoptions& options) {
  static constexpr std::array<unsigned char, marklength> mark = [] {
    std::array<unsigned char, marklength> bytes{};
    bytes.fill(0xff);
    return bytes;
  }();
  const auto sync = [&] { return !options.sync || savesystem.fsync(fd) == 0; };
  if (savesystem.lseek(fd, 0, SEEK_SET) < 0) return errno;
  if (const int error = writeall(fd, mark.data(), mark.size())) return error;
  if (!sync()) return errno;
  // The content streams in order; its first bytes wait for the end.
  std::vector<unsigned char> first;
  int error = 0;
  const bool whole = make([&](std::span<const unsigned char> piece) {
    const std::size_t held = std::min(piece.size(), marklength - first.size());
    first.insert(first.end(), piece.begin(), piece.begin() + held);
    error = writeall(fd, piece.data() + held, piece.size() - held);
    return error == 0;
  });
  if (!whole) return error != 0 ? error : makerstopped;
  const auto endofmark = static_cast<off_t>(marklength);
  if (savesystem.ftruncate(
          fd, std::max(static_cast<off_t>(length), endofmark)) != 0 ||
      !sync() || savesystem.lseek(fd, 0, SEEK_SET) < 0) {
    return errno;
  }
  if ((error = writeall(fd, first.data(), first.size())) != 0) return error;
  if (length < marklength &&
      savesystem.ftruncate(fd, static_cast<off_t>(length)) != 0) {
    return errno;
  }
  return 0;
}

// A directory that does not let the process make a file in it.
bool refusesnewfiles(int error) {
  return error == EACCES || error == EPERM || error == EROFS;
}

// Writes a regular file in place; guarded by a copy of its old content
// unless the directory may keep no copy (append-only: it could never be
// removed).
saveresulttype savetransaction(const place& at, existing& target,
                               std::uint64_t length, const contentmaker& make,
                               const saveoptions& options, bool mayguard) {
  saveresulttype result;
  const int fd = target.file.get();
  if (const int error = lockfile(fd, F_WRLCK)) {
    return failure(fault::cannotopen, error);
  }
  // The file as it is now that no other save of this library is writing it.
  const undone dead = undodeadsave(at, fd);
  if (dead.restored) result.rolledback = rollbackname(at.name);
  if (dead.error != 0) {
    return failure(fault::writefailed, dead.error);
  }
  struct stat now;
  if (savesystem.fstat(fd, &now) != 0)
    return failure(fault::writefailed, errno);
  const auto old = static_cast<std::uint64_t>(now.st_size);
  if (const int error =
          reserve(fd, 0, std::max<std::uint64_t>(length, marklength))) {
    return failure(fault::writefailed, error);
  }
  if (const int error = checklimit(0, old)) {
    return failure(fault::writefailed, error);
  }
  // Where no copy can be made beside the file (a directory that refuses new
  // files, a file that cannot be read), it is written unguarded: a kill
  // leaves the mark, which no reader takes for a board.
  const int copied =
      mayguard && target.readable ? makerollback(at, fd, options.sync) : EACCES;
  if (copied != 0 && !refusesnewfiles(copied)) {
    return failure(fault::writefailed, copied);
  }
  const bool guarded = copied == 0;
  int error = writebehindmark(fd, length, make, options);
  if (error == 0) error = keepmode(fd, now.st_mode);
  if (error == 0 && options.sync && savesystem.fsync(fd) != 0) error = errno;
  if (error == 0) {
    if (guarded) {
      savesystem.unlinkat(at.dir.get(), rollbackname(at.name).c_str(), 0);
    }
    if (!target.file.close()) return failure(fault::incomplete, errno);
    return result;
  }
  if (guarded && putback(at, fd) == 0 && keepmode(fd, now.st_mode) == 0 &&
      savesystem.fsync(fd) == 0) {
    savesystem.unlinkat(at.dir.get(), rollbackname(at.name).c_str(), 0);
    return failure(fault::writefailed, error);
  }
  result = failure(fault::incomplete, error);
  if (guarded) result.item = rollbackname(at.name);
  return result;
}

// ---- Fresh files.

// Gives the fresh file the target's owner and group: 0, EPERM when the
// process may not (the board would change hands), or the errno.
int keepowner(int fresh, const struct stat& old) {
  struct stat now;
  if (savesystem.fstat(fresh, &now) != 0) return errno;
  if ((now.st_uid == old.st_uid && now.st_gid == old.st_gid) ||
      savesystem.fchown(fresh, old.st_uid, old.st_gid) == 0) {
    return 0;
  }
  return errno;
}

saveresulttype syncdirectory(const place& at) {
  descriptor dir(savesystem.openat(at.dir.get(), ".",
                                   O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
  if (!dir.valid() || savesystem.fsync(dir.get()) != 0) {
    return failure(fault::writefailed, errno);
  }
  return {};
}

// Writes the content into the fresh file, which then gets its permission
// bits; 0, the errno or makerstopped.
int fillfresh(freshfile& fresh, const contentmaker& make, mode_t mode,
              const saveoptions& options) {
  const written out = writecontent(fresh.fd(), make);
  if (!out.whole) return out.error != 0 ? out.error : makerstopped;
  if (savesystem.fchmod(fresh.fd(), mode & 07777) != 0 ||
      (options.sync && savesystem.fsync(fresh.fd()) != 0)) {
    return errno;
  }
  return 0;
}

// Makes a new file under a name that must be free.
saveresulttype savenew(const place& at, std::uint64_t length,
                       const contentmaker& make, mode_t mode,
                       const saveoptions& options) {
  if (const int error = checklimit(0, length)) {
    return failure(fault::writefailed, error);
  }
  freshfile fresh(at.dir.get(), at.name, "saving");
  if (!fresh.open(O_WRONLY)) return failure(fault::cannotopen, errno);
  if (const int error = fillfresh(fresh, make, mode, options)) {
    return failure(fault::writefailed, error);
  }
  if (!fresh.linkas(at.name)) return failure(fault::cannotopen, errno);
  if (!fresh.close()) {
    const int error = errno;
    savesystem.unlinkat(at.dir.get(), at.name.c_str(), 0);
    return failure(fault::writefailed, error);
  }
  return options.sync ? syncdirectory(at) : saveresulttype();
}

// A rename the kernel refuses though the file itself may be written: a mount
// point (EBUSY), another user's file in a sticky directory (EPERM).
bool refusesrename(int error) {
  return error == EBUSY || error == EPERM || error == EACCES || error == EXDEV;
}

// Replaces the target by a fresh file; nothing when only writing in place
// keeps the target what it is (its owner, its place).
std::optional<saveresulttype> savefresh(const place& at, existing& target,
                                        std::uint64_t length,
                                        const contentmaker& make,
                                        const saveoptions& options) {
  if (const int error = checklimit(0, length)) {
    return failure(fault::writefailed, error);
  }
  freshfile fresh(at.dir.get(), at.name, "saving");
  if (!fresh.open(O_WRONLY)) {
    if (refusesnewfiles(errno)) return std::nullopt;
    return failure(fault::cannotopen, errno);
  }
  if (const int error = keepowner(fresh.fd(), target.status)) {
    if (error == EPERM) return std::nullopt;
    return failure(fault::writefailed, error);
  }
  keepattributes(target.file.get(), fresh.fd());
  if (const int error =
          fillfresh(fresh, make, target.status.st_mode, options)) {
    return failure(fault::writefailed, error);
  }
  if (!fresh.linkin() || !fresh.close()) {
    return failure(fault::writefailed, errno);
  }
  if (savesystem.renameat(at.dir.get(), fresh.name().c_str(), at.dir.get(),
                          at.name.c_str()) != 0) {
    const int error = errno;
    fresh.remove();
    if (refusesrename(error)) return std::nullopt;
    return failure(fault::writefailed, error);
  }
  fresh.keep();
  return options.sync ? syncdirectory(at) : saveresulttype();
}

// Whether the directory lets entries be added but never removed or renamed.
bool appendonly(int dir) {
  struct statx status;
  return savesystem.statx(dir, "", AT_EMPTY_PATH, 0, &status) == 0 &&
         (status.stx_attributes & STATX_ATTR_APPEND) != 0;
}

// Opens the regular file that was examined, to be read and written; false
// with errno set when it cannot be opened, and with errno 0 when what it
// opened is not the file examined (it was replaced in between).
bool openexamined(const place& at, existing& target) {
  const struct stat examined = target.status;
  // A FIFO is opened for writing alone, to wait for its reader.
  const bool regular = S_ISREG(examined.st_mode);
  target.file = openinplace(at, regular ? O_RDWR : O_WRONLY);
  target.readable = regular && target.file.valid();
  if (regular && !target.readable && errno == EACCES) {
    target.file = openinplace(at, O_WRONLY);
  }
  if (!target.file.valid()) return false;
  if (savesystem.fstat(target.file.get(), &target.status) != 0) return false;
  errno = 0;
  return target.status.st_dev == examined.st_dev &&
         target.status.st_ino == examined.st_ino &&
         S_ISREG(target.status.st_mode) == regular;
}

// One attempt at a save; nothing when the file changed between being
// examined and being opened, and the save must look again.
std::optional<saveresulttype> saveonce(const place& at, std::uint64_t length,
                                       const contentmaker& make,
                                       const saveoptions& options) {
  existing target;
  target.status = at.status;
  if (!at.found) {
    const saveresulttype made =
        savenew(at, length, make, 0666 & ~currentumask(), options);
    if (made.what == fault::cannotopen && made.error == EEXIST) {
      return std::nullopt;
    }
    return made;
  }
  if (!openexamined(at, target)) {
    if (errno == 0) return std::nullopt;
    return failure(fault::cannotopen, errno);
  }
  if (!S_ISREG(target.status.st_mode)) {
    const saveresulttype result =
        writestreamed(target.file.get(), target.status, position::start, length,
                      make, options);
    if (result.ok() && !target.file.close()) {
      return failure(fault::incomplete, errno);
    }
    return result;
  }
  // A killed save's copy is dealt with first, under the lock.
  struct stat copy;
  const bool dead =
      savesystem.fstatat(at.dir.get(), rollbackname(at.name).c_str(), &copy,
                         AT_SYMLINK_NOFOLLOW) == 0;
  if (!dead && errno != ENOENT) return failure(fault::cannotopen, errno);
  const bool append = appendonly(at.dir.get());
  if (dead || target.status.st_nlink > 1 || append) {
    return savetransaction(at, target, length, make, options, !append);
  }
  if (std::optional<saveresulttype> fresh =
          savefresh(at, target, length, make, options)) {
    return fresh;
  }
  return savetransaction(at, target, length, make, options, true);
}

}  // namespace

saveresulttype writefile(const char* path, std::uint64_t length,
                         const contentmaker& make, const saveoptions& options) {
  for (int look = 0;; ++look) {
    place at;
    if (const int error = findplace(path, at)) {
      return failure(fault::cannotopen, error);
    }
    if (at.proc) return writestream(at, length, make, options);
    if (std::optional<saveresulttype> result =
            saveonce(at, length, make, options)) {
      return *result;
    }
    if (look == mostlooks) return failure(fault::cannotopen, 0);
  }
}

saveresulttype createfile(const char* path, std::uint64_t length,
                          const contentmaker& make, unsigned mode,
                          const saveoptions& options) {
  if (*path == '\0') return failure(fault::cannotopen, ENOENT);
  auto [directory, name] = splitpath(path);
  const place at{
      descriptor(savesystem.openat(AT_FDCWD, directory.c_str(),
                                   O_PATH | O_DIRECTORY | O_CLOEXEC, 0)),
      std::move(name)};
  if (!at.dir.valid()) return failure(fault::cannotopen, errno);
  return savenew(at, length, make, static_cast<mode_t>(mode) & ~currentumask(),
                 options);
}

int cansave(const char* path) {
  place at;
  if (const int error = findplace(path, at)) return error;
  struct stat status;
  if (savesystem.fstatat(at.dir.get(), at.name.c_str(), &status,
                         AT_SYMLINK_NOFOLLOW) == 0) {
    return ::faccessat(at.dir.get(), at.name.c_str(), W_OK, AT_EACCESS) == 0
               ? 0
               : errno;
  }
  if (errno != ENOENT) return errno;
  return ::faccessat(at.dir.get(), ".", W_OK | X_OK, AT_EACCESS) == 0 ? 0
                                                                      : errno;
}

}  // namespace boards

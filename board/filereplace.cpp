// How a save puts new content in the place of a file, case by case.
//
// The file is found through directory descriptors (fileplace.h); no joined
// path is ever built.
//
// - No file yet: the content goes into a fresh file in that directory, made
//   as open(2) makes a new file (the umask or the directory's default ACL
//   gives its permissions) and unnamed while it is written where the file
//   system allows it; it takes the name by a link that replaces nothing.
// - A regular file with one link: a fresh file, readable by its owner alone
//   while it is written, takes the target's owner, group, extended
//   attributes and ACL (and no ACL inherited from the directory that the
//   target lacks), after the last write its permission bits, and is renamed
//   over the target. Whatever fails, the target is untouched.
// - In place, as a transaction whose journal lies inside the file
//   (inplace.h), where no fresh file can take the target's place without
//   changing it: several links, an owner, group or attribute the process
//   cannot give the fresh file, a directory that refuses new files or is
//   append-only, a rename the kernel refuses (a mount point, another user's
//   file in a sticky directory).
// - A device or FIFO, or a stream reached through /proc/self/fd (/dev/stdout,
//   /dev/fd/N), is written as it is open (streamwrite.h).
//
// Before the first byte, the content's length is held against the file size
// limit, so the limit fails a save with a reason instead of a signal.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "board/boardfile.h"
#include "board/fileplace.h"
#include "board/freshfile.h"
#include "board/inplace.h"
#include "board/savecalls.h"
#include "board/savesteps.h"
#include "board/streamwrite.h"

namespace boards {

namespace {

using fault = saveresulttype::fault;

// Times a save looks again when the file it examined was replaced before it
// was opened.
constexpr int mostlooks = 5;

// What one way of saving came to: a result that stands, or the way the save
// must take instead: look at the file again (it was replaced between the
// look and the open), or write it in place (no fresh file can take its place
// without changing what it is).
struct attempt {
  enum class next { done, lookagain, inplace };
  next then = next::done;
  saveresulttype result;
};

attempt done(saveresulttype result) {
  return {attempt::next::done, std::move(result)};
}

attempt lookagain() { return {attempt::next::lookagain, {}}; }
attempt inplace() { return {attempt::next::inplace, {}}; }

attempt failed(fault what, int error) {
  return done(saveresulttype::failed(what, error));
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

// The file a save replaces, open to be written, and its status.
struct existing {
  descriptor file;
  struct stat status {};
  bool readable = true;  // open to be read too
};

// Writes the content into the fresh file, then with a mode its permission
// bits, which a write would have cleared of set-user-ID.
saveresulttype fillfresh(freshfile& fresh, std::uint64_t length,
                         const contentmaker& make, const mode_t* mode,
                         const saveoptions& options) {
  std::uint64_t fed = 0;
  saveresulttype filled = feedcontent(
      make, length,
      [&fresh](std::span<const unsigned char> piece) {
        return writeall(fresh.fd(), piece.data(), piece.size());
      },
      fed);
  if (!filled.ok()) return filled;
  if ((mode != nullptr && savesystem.fchmod(fresh.fd(), *mode & 07777) != 0) ||
      (options.sync && savesystem.fsync(fresh.fd()) != 0)) {
    return saveresulttype::failed(fault::writefailed, errno);
  }
  return {};
}

// Makes a new file under a name that must be free.
saveresulttype savenew(const place& at, std::uint64_t length,
                       const contentmaker& make, mode_t mode,
                       const saveoptions& options) {
  if (const int error = checklimit(0, length)) {
    return saveresulttype::failed(fault::writefailed, error);
  }
  freshfile fresh(at.dir.get(), at.name, "saving");
  if (!fresh.open(O_WRONLY, mode)) {
    return saveresulttype::failed(fault::cannotopen, errno);
  }
  if (saveresulttype filled = fillfresh(fresh, length, make, nullptr, options);
      !filled.ok()) {
    return filled;
  }
  if (!fresh.linkas(at.name)) {
    return saveresulttype::failed(fault::cannotopen, errno);
  }
  if (!fresh.close()) {
    const int error = errno;
    savesystem.unlinkat(at.dir.get(), at.name.c_str(), 0);
    return saveresulttype::failed(fault::writefailed, error);
  }
  if (options.sync) {
    if (const int error = syncdirectory(at.dir.get())) {
      return saveresulttype::failed(fault::unsynced, error);
    }
  }
  return {};
}

// Gives the fresh file the target's owner and group: 0, or the errno (EPERM:
// the process may not, and the board would change hands).
int keepowner(int fresh, const struct stat& old) {
  struct stat now;
  if (savesystem.fstat(fresh, &now) != 0) return errno;
  if ((now.st_uid == old.st_uid && now.st_gid == old.st_gid) ||
      savesystem.fchown(fresh, old.st_uid, old.st_gid) == 0) {
    return 0;
  }
  return errno;
}

// Replaces the target by a fresh file, or says that only writing in place
// keeps the target what it is (its owner, its attributes, its place).
attempt savefresh(const place& at, existing& target, std::uint64_t length,
                  const contentmaker& make, const saveoptions& options) {
  if (const int error = checklimit(0, length)) {
    return failed(fault::writefailed, error);
  }
  freshfile fresh(at.dir.get(), at.name, "saving");
  // Names taken by others (planted, or of saves that were killed) send the
  // save in place rather than fail it.
  if (!fresh.open(O_WRONLY, 0600)) {
    if (refusesnewfiles(errno) || errno == EEXIST) return inplace();
    return failed(fault::cannotopen, errno);
  }
  if (const int error = keepowner(fresh.fd(), target.status)) {
    if (error == EPERM) return inplace();
    return failed(fault::writefailed, error);
  }
  if (const int error = keepattributes(target.file.get(), fresh.fd())) {
    if (error == EPERM || error == EACCES) return inplace();
    return failed(fault::writefailed, error);
  }
  if (saveresulttype filled =
          fillfresh(fresh, length, make, &target.status.st_mode, options);
      !filled.ok()) {
    return done(filled);
  }
  if (!fresh.linkin()) {
    if (errno == EEXIST) return inplace();
    return failed(fault::writefailed, errno);
  }
  if (!fresh.close()) return failed(fault::writefailed, errno);
  if (savesystem.renameat(at.dir.get(), fresh.name().c_str(), at.dir.get(),
                          at.name.c_str()) != 0) {
    const int error = errno;
    fresh.remove();
    if (refusesrename(error)) return inplace();
    return failed(fault::writefailed, error);
  }
  fresh.keep();
  if (options.sync) {
    if (const int error = syncdirectory(at.dir.get())) {
      return failed(fault::unsynced, error);
    }
  }
  return done({});
}

saveresulttype saveinplace(existing& target, std::uint64_t length,
                           const contentmaker& make,
                           const saveoptions& options) {
  inplacesave save(target.file.get(), target.readable, options);
  saveresulttype result = save.begin();
  if (result.ok()) result = save.write(length, make);
  if (result.ok()) result = save.commit(make);
  return result;
}

// Whether the directory lets entries be added but never removed or renamed.
bool appendonly(int dir) {
  struct statx status;
  return savesystem.statx(dir, "", AT_EMPTY_PATH, 0, &status) == 0 &&
         (status.stx_attributes & STATX_ATTR_APPEND) != 0;
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

// Opens the file that was examined, a regular file to be read and written
// (written alone where it may not be read); false with errno set when it
// cannot be opened, and with errno 0 when what it opened is not the file
// examined (it was replaced in between).
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

// Writes what is not a regular file as it is, and closes it.
saveresulttype savestreamed(existing& target, std::uint64_t length,
                            const contentmaker& make,
                            const saveoptions& options) {
  saveresulttype result =
      writestreamed(target.file.get(), target.status, length, make, options);
  if (result.ok() && !target.file.close()) {
    return saveresulttype::failed(fault::incomplete, errno);
  }
  return result;
}

// One look at the file, and the save that follows from what it is.
attempt saveonce(const place& at, std::uint64_t length,
                 const contentmaker& make, const saveoptions& options) {
  if (!at.found) {
    saveresulttype made = savenew(at, length, make, 0666, options);
    // Someone made the name meanwhile: it is replaced, not refused.
    if (made.what == fault::cannotopen && made.error == EEXIST) {
      return lookagain();
    }
    return done(std::move(made));
  }
  existing target;
  target.status = at.status;
  if (!openexamined(at, target)) {
    if (errno == 0) return lookagain();
    return failed(fault::cannotopen, errno);
  }
  if (!S_ISREG(target.status.st_mode)) {
    return done(savestreamed(target, length, make, options));
  }
  attempt fresh = inplace();
  if (target.status.st_nlink == 1 && !appendonly(at.dir.get())) {
    fresh = savefresh(at, target, length, make, options);
  }
  if (fresh.then != attempt::next::inplace) return fresh;
  return done(saveinplace(target, length, make, options));
}

}  // namespace

saveresulttype writefile(const char* path, std::uint64_t length,
                         const contentmaker& make, const saveoptions& options) {
  for (int look = 0; look <= mostlooks; ++look) {
    place at;
    if (const int error = findplace(path, at)) {
      return saveresulttype::failed(fault::cannotopen, error);
    }
    if (at.proc) return writestream(at, length, make, options);
    attempt tried = saveonce(at, length, make, options);
    if (tried.then == attempt::next::done) return std::move(tried.result);
  }
  return saveresulttype::failed(fault::cannotopen,
                                "the file was replaced " +
                                    std::to_string(mostlooks + 1) +
                                    " times while it was saved");
}

saveresulttype createfile(const char* path, std::uint64_t length,
                          const contentmaker& make, unsigned mode,
                          const saveoptions& options) {
  if (*path == '\0') return saveresulttype::failed(fault::cannotopen, ENOENT);
  auto [directory, name] = splitpath(path);
  const place at{
      descriptor(savesystem.openat(AT_FDCWD, directory.c_str(),
                                   O_PATH | O_DIRECTORY | O_CLOEXEC, 0)),
      std::move(name)};
  if (!at.dir.valid()) return saveresulttype::failed(fault::cannotopen, errno);
  return savenew(at, length, make, static_cast<mode_t>(mode & 07777), options);
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

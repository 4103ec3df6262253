#include "board/boardfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>
#include <vector>

#include "board/bytesources.h"
#include "board/fileplace.h"
#include "board/rollback.h"

namespace boards {

namespace {

using fault = loadresulttype::fault;

// Non-blocking, so that opening a FIFO returns at once; it is rejected as
// not a regular file.
descriptor openread(const place& at, int access) {
  return descriptor(savesystem.openat(at.dir.get(), at.name.c_str(),
                                      access | O_NONBLOCK | O_CLOEXEC, 0));
}

// A save that was killed while it wrote the file in place left a copy of
// the old board beside it. With write access the old board is put back;
// without, the copy is what is read, as long as the file holds the mark.
// The file to read, locked for reading.
descriptor undo(const place& at, descriptor file, loadresulttype& result) {
  const std::string name = rollbackname(at.name);
  lockfile(file.get(), F_UNLCK);
  descriptor writable = openread(at, O_RDWR | O_NOFOLLOW);
  if (writable.valid() && lockfile(writable.get(), F_WRLCK) == 0) {
    const undone dead = undodeadsave(at, writable.get());
    if (dead.restored) result.rolledback = name;
    lockfile(writable.get(), F_RDLCK);
    if (dead.restored || dead.error == 0) return writable;
    file = std::move(writable);
  } else {
    lockfile(file.get(), F_RDLCK);
  }
  if (marked(file.get()).value_or(false)) {
    descriptor copy(savesystem.openat(at.dir.get(), name.c_str(),
                                      O_RDONLY | O_NOFOLLOW | O_CLOEXEC, 0));
    if (copy.valid()) {
      result.rolledback = name;
      result.readcopy = true;
      return copy;
    }
  }
  return file;
}

}  // namespace

loadresulttype readboardfile(const char* path, boardtype& board) {
  place at;
  if (const int error = findplace(path, at)) {
    return loadresulttype::failed(fault::cannotopen, error);
  }
  descriptor file = openread(at, O_RDONLY);
  if (!file.valid()) return loadresulttype::failed(fault::cannotopen, errno);
  // Under a shared lock no save of this library is half-way through.
  if (const int error = lockfile(file.get(), F_RDLCK)) {
    return loadresulttype::failed(fault::readfailed, error);
  }
  loadresulttype undone;
  struct stat status;
  if (savesystem.fstatat(at.dir.get(), rollbackname(at.name).c_str(), &status,
                         AT_SYMLINK_NOFOLLOW) == 0) {
    file = undo(at, std::move(file), undone);
    if (savesystem.lseek(file.get(), 0, SEEK_SET) < 0) {
      return loadresulttype::failed(fault::readfailed, errno);
    }
  }
  if (savesystem.fstat(file.get(), &status) != 0) {
    return loadresulttype::failed(fault::readfailed, errno);
  }
  if (!S_ISREG(status.st_mode)) {
    return loadresulttype::failed(fault::notregular);
  }
  // The layout is read in pieces through one buffer, never held whole.
  std::vector<unsigned char> buffer(boardpiecelength);
  int readerror = 0;
  loadresulttype result =
      decodeboard(filesource(file.get(), buffer, readerror),
                  static_cast<std::uint64_t>(status.st_size), board);
  if (result.what == fault::readfailed) result.error = readerror;
  result.rolledback = std::move(undone.rolledback);
  result.readcopy = undone.readcopy;
  return result;
}

}  // namespace boards

std::int32_t boardtype::load(const char* path) {
  using boards::loadresulttype;
  const loadresulttype result = boards::readboardfile(path, *this);
  if (const std::string note = result.note(); !note.empty()) {
    std::fprintf(stderr, "%s: %s\n", path, note.c_str());
  }
  if (result.ok()) return 0;
  if (result.what == loadresulttype::fault::cannotopen) {
    std::fputs("Error opening load file.\n", stdout);
  } else {
    std::fputs("Error reading load file.\n", stdout);
  }
  return 1;
}

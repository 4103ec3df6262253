#include "board/streamwrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "board/savecalls.h"
#include "board/savesteps.h"

namespace boards {

namespace {

using fault = saveresulttype::fault;

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

}  // namespace

// A regular file (one the shell opened) first has its blocks reserved from
// where the content will start.
saveresulttype writestreamed(int fd, const struct stat& status,
                             std::uint64_t length, const contentmaker& make,
                             const saveoptions& options) {
  const bool regular = S_ISREG(status.st_mode);
  if (regular) {
    const off_t at = savesystem.lseek(fd, 0, SEEK_CUR);
    if (at < 0) return saveresulttype::failed(fault::writefailed, errno);
    const std::uint64_t start = (::fcntl(fd, F_GETFL) & O_APPEND) != 0
                                    ? static_cast<std::uint64_t>(status.st_size)
                                    : static_cast<std::uint64_t>(at);
    if (const int error = reserve(fd, start, length)) {
      return saveresulttype::failed(fault::writefailed, error);
    }
  }
  std::uint64_t fed = 0;
  saveresulttype written = feedcontent(
      make, length,
      [fd](std::span<const unsigned char> piece) {
        return writeall(fd, piece.data(), piece.size());
      },
      fed);
  // What a stream has taken cannot be taken back.
  if (!written.ok()) {
    if (fed > 0) written.what = fault::incomplete;
    return written;
  }
  if (regular) {
    if (const int error = keepmode(fd, status.st_mode)) {
      return saveresulttype::failed(fault::writefailed, error);
    }
  }
  if (options.sync && (regular || S_ISBLK(status.st_mode)) &&
      savesystem.fsync(fd) != 0) {
    return saveresulttype::failed(fault::unsynced, errno);
  }
  return {};
}

saveresulttype writestream(const place& at, std::uint64_t length,
                           const contentmaker& make,
                           const saveoptions& options) {
  const int own = ownfd(at);
  descriptor file(own >= 0 ? savesystem.dupfd(own)
                           : savesystem.openat(at.dir.get(), at.name.c_str(),
                                               O_WRONLY | O_CLOEXEC, 0));
  if (!file.valid()) return saveresulttype::failed(fault::cannotopen, errno);
  if ((::fcntl(file.get(), F_GETFL) & O_ACCMODE) == O_RDONLY) {
    return saveresulttype::failed(fault::cannotopen, EBADF);
  }
  struct stat status;
  if (savesystem.fstat(file.get(), &status) != 0) {
    return saveresulttype::failed(fault::cannotopen, errno);
  }
  saveresulttype result =
      writestreamed(file.get(), status, length, make, options);
  if (result.ok() && !file.close()) {
    return saveresulttype::failed(fault::incomplete, errno);
  }
  return result;
}

}  // namespace boards

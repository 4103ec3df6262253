#include "board/savesteps.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <limits>
#include <string>

#include "board/fileplace.h"
#include "board/savecalls.h"

namespace boards {

namespace {

using fault = saveresulttype::fault;

std::string bytesof(std::uint64_t count, std::uint64_t length) {
  return std::to_string(count) + " of its " + std::to_string(length) + " bytes";
}

}  // namespace

saveresulttype feedcontent(const contentmaker& make, std::uint64_t length,
                           const piecewriter& write, std::uint64_t& fed) {
  fed = 0;
  int error = 0;
  bool overran = false;
  bool whole = false;
  try {
    whole = make([&](std::span<const unsigned char> piece) {
      overran = piece.size() > length - fed;
      if (!overran) error = write(piece);
      if (!overran && error == 0) fed += piece.size();
      return !overran && error == 0;
    });
  } catch (const std::exception& thrown) {
    return saveresulttype::failed(
        fault::writefailed,
        std::string("the content could not be made: ") + thrown.what());
  }
  if (error != 0) return saveresulttype::failed(fault::writefailed, error);
  if (overran) {
    return saveresulttype::failed(
        fault::writefailed, "the content ran past the " +
                                std::to_string(length) + " bytes it promised");
  }
  if (!whole || fed != length) {
    return saveresulttype::failed(
        fault::writefailed,
        "the content stopped after " + bytesof(fed, length));
  }
  return {};
}

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

int reserve(int fd, std::uint64_t offset, std::uint64_t length) {
  if (const int error = checklimit(offset, length)) return error;
  if (length == 0 ||
      savesystem.fallocate(fd, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                           static_cast<off_t>(length)) == 0) {
    return 0;
  }
  return errno == EOPNOTSUPP || errno == ENOSYS ? 0 : errno;
}

int keepmode(int fd, mode_t mode) {
  struct stat now;
  if (savesystem.fstat(fd, &now) != 0) return errno;
  if ((now.st_mode & 07777) == (mode & 07777)) return 0;
  return savesystem.fchmod(fd, mode & 07777) == 0 ? 0 : errno;
}

int syncdirectory(int dir) {
  const descriptor opened(
      savesystem.openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
  if (!opened.valid() || savesystem.fsync(opened.get()) != 0) return errno;
  return 0;
}

}  // namespace boards

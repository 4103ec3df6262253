#include "trackedit/pendingsave.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace boards {

saveresulttype createfile(const char* path, std::uint64_t,
                          const contentmaker& make, unsigned mode,
                          const saveoptions&) {
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
  if (fd < 0)
    return saveresulttype::failed(saveresulttype::fault::cannotopen, errno);
  int error = 0;
  const bool ok = make([&](std::span<const unsigned char> piece) {
    if (::write(fd, piece.data(), piece.size()) == ssize_t(piece.size()))
      return true;
    error = errno;
    return false;
  });
  ::close(fd);
  if (!ok) {
    ::unlink(path);
    return saveresulttype::failed(saveresulttype::fault::writefailed, error);
  }
  return {};
}

int cansave(const char* path) {
  if (::access(path, W_OK) == 0) return 0;
  if (errno != ENOENT) return errno;
  std::string folder(path);
  const auto slash = folder.rfind('/');
  folder = slash == std::string::npos ? "." : folder.substr(0, slash + 1);
  return ::access(folder.c_str(), W_OK) == 0 ? 0 : errno;
}

}  // namespace boards

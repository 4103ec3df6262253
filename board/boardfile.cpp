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
#include "board/posixfile.h"

namespace boards {

loadresulttype readboardfile(const char* path, boardtype& board) {
  // Non-blocking, so that opening a FIFO returns at once; it is rejected
  // below as not a regular file.
  openfile file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.fd() < 0)
    return loadresulttype::failed(loadresulttype::fault::cannotopen, errno);
  struct stat status;
  if (::fstat(file.fd(), &status) != 0) {
    return loadresulttype::failed(loadresulttype::fault::readfailed, errno);
  }
  if (!S_ISREG(status.st_mode)) {
    return loadresulttype::failed(loadresulttype::fault::notregular);
  }
  // The layout is read in pieces through one buffer, never held whole.
  std::vector<unsigned char> buffer(boardpiecelength);
  int readerror = 0;
  loadresulttype result =
      decodeboard(filesource(file.fd(), buffer, readerror),
                  static_cast<std::uint64_t>(status.st_size), board);
  if (result.what == loadresulttype::fault::readfailed) {
    result.error = readerror;
  }
  return result;
}

}  // namespace boards

std::int32_t boardtype::load(const char* path) {
  using boards::loadresulttype;
  const loadresulttype result = boards::readboardfile(path, *this);
  if (result.ok()) return 0;
  if (result.what == loadresulttype::fault::cannotopen) {
    std::fputs("Error opening load file.\n", stdout);
  } else {
    std::fputs("Error reading load file.\n", stdout);
  }
  return 1;
}

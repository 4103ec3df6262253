#include "board/boardfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <utility>
#include <vector>

namespace boards {

namespace {

// Owns an open file descriptor and closes it when it goes out of scope,
// unless the owner closed it first to learn whether the close succeeded.
class openfile {
 public:
  explicit openfile(int fd) : fd_(fd) {}
  openfile(const openfile&) = delete;
  openfile& operator=(const openfile&) = delete;
  ~openfile() {
    if (fd_ >= 0) ::close(fd_);
  }
  int fd() const { return fd_; }
  bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

bool writefully(int fd, std::span<const unsigned char> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

}  // namespace

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
  const bytesource fromfile = [&](std::size_t most) {
    ssize_t got;
    do {
      got = ::read(file.fd(), buffer.data(), std::min(most, buffer.size()));
    } while (got < 0 && errno == EINTR);
    if (got < 0) readerror = errno;
    return std::span<const unsigned char>(buffer.data(),
                                          got > 0 ? std::size_t(got) : 0);
  };
  loadresulttype result =
      decodeboard(fromfile, static_cast<std::uint64_t>(status.st_size), board);
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

namespace boards {
namespace {

enum class savestatus { written, notopened, notwritten };

// Writes the board's file at path. A regular file that could not be written
// whole is removed, so no partial board is left behind.
savestatus writeboardfile(const char* path, const boardtype& board) {
  openfile file(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.fd() < 0) return savestatus::notopened;
  struct stat status;
  const bool regular =
      ::fstat(file.fd(), &status) == 0 && S_ISREG(status.st_mode);
  const bool written =
      encodeboard(board, [&file](std::span<const unsigned char> piece) {
        return writefully(file.fd(), piece);
      });
  if (file.close() && written) return savestatus::written;
  if (regular) ::unlink(path);
  return savestatus::notwritten;
}

}  // namespace
}  // namespace boards

std::int32_t boardtype::save(const char* path) const {
  using boards::savestatus;
  switch (boards::writeboardfile(path, *this)) {
    case savestatus::written:
      return 0;
    case savestatus::notopened:
      std::fputs("Error opening save file.\n", stdout);
      return 1;
    case savestatus::notwritten:
      std::fputs("Error writing save file.\n", stdout);
      return 1;
  }
  return 1;
}

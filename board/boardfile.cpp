#include "board/boardfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <utility>

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

// Reads until count bytes are in or the file ends; the bytes read, or -1
// when a read fails.
ssize_t readfully(int fd, unsigned char* out, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(fd, out + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<ssize_t>(done);
}

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

loadresulttype failure(loadresulttype::fault what, int error) {
  loadresulttype result;
  result.what = what;
  result.error = error;
  return result;
}

}  // namespace

loadresulttype readboardfile(const char* path, boardtype& board) {
  // Non-blocking, so that opening a FIFO returns at once; it is rejected
  // below as not a regular file.
  openfile file(::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.fd() < 0) return failure(loadresulttype::fault::cannotopen, errno);
  struct stat status;
  if (::fstat(file.fd(), &status) != 0) {
    return failure(loadresulttype::fault::readfailed, errno);
  }
  if (!S_ISREG(status.st_mode)) {
    return failure(loadresulttype::fault::notregular, 0);
  }
  const auto filelength = static_cast<std::uint64_t>(status.st_size);

  unsigned char head[boardheadlength];
  const ssize_t headread = readfully(file.fd(), head, boardheadlength);
  if (headread < 0) return failure(loadresulttype::fault::readfailed, errno);
  loadresulttype result = checkhead(
      std::span(head, static_cast<std::size_t>(headread)), filelength);
  if (!result.ok()) return result;

  // The head check bounds the layout by the file's length, so this buffer is
  // no larger than the file.
  const std::size_t layoutlength = result.needed;
  auto bytes = std::make_unique_for_overwrite<unsigned char[]>(layoutlength);
  std::copy_n(head, boardheadlength, bytes.get());
  const std::size_t restlength = layoutlength - boardheadlength;
  const ssize_t restread =
      readfully(file.fd(), bytes.get() + boardheadlength, restlength);
  if (restread < 0) return failure(loadresulttype::fault::readfailed, errno);
  if (static_cast<std::size_t>(restread) < restlength) {
    return failure(loadresulttype::fault::readfailed, 0);
  }
  const loadresulttype decoded =
      decodeboard(std::span(bytes.get(), layoutlength), board);
  return decoded.ok() ? result : decoded;
}

std::int32_t boardtype::load(const char* path) {
  const loadresulttype result = readboardfile(path, *this);
  if (result.ok()) return 0;
  if (result.what == loadresulttype::fault::cannotopen) {
    std::fputs("Error opening load file.\n", stdout);
  } else {
    std::fputs("Error reading load file.\n", stdout);
  }
  return 1;
}

namespace {

enum class savestatus { written, notopened, notwritten };

// Writes the bytes as the whole file at path. A regular file that could not
// be written whole is removed, so no partial board is left behind.
savestatus writefile(const char* path, std::span<const unsigned char> bytes) {
  openfile file(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.fd() < 0) return savestatus::notopened;
  struct stat status;
  const bool regular =
      ::fstat(file.fd(), &status) == 0 && S_ISREG(status.st_mode);
  const bool written = writefully(file.fd(), bytes);
  if (file.close() && written) return savestatus::written;
  if (regular) ::unlink(path);
  return savestatus::notwritten;
}

}  // namespace

std::int32_t boardtype::save(const char* path) const {
  switch (writefile(path, encodeboard(*this))) {
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

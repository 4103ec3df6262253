#ifndef BOARD_FILEPLACE_H_
#define BOARD_FILEPLACE_H_

// Where a file really is: the directory that holds it, open, and its name
// there, found by following the links of a path's last name one at a time.
// The library's own; not installed.

#include <sys/stat.h>

#include <string>
#include <string_view>
#include <utility>

#include "board/savecalls.h"

namespace boards {

// Owns an open file descriptor and closes it when it goes out of scope.
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

// A directory, held open, and a name in it; what findplace saw there.
struct place {
  descriptor dir;
  std::string name;
  bool proc = false;   // the directory is in /proc
  bool found = false;  // something has the name (then status says what)
  struct stat status {};
};

// The directory part of a path and its last name ("." when it ends in '/').
std::pair<std::string, std::string> splitpath(std::string_view path);

// Whether the directory is in /proc, whose magic links (/proc/self/fd/N)
// name no path to follow.
bool onproc(int dir);

// Opens the directory of path and follows the links its last name leads
// through, to the directory that holds the file (which may not exist yet)
// and its name there, noting what stands there; 0 or the errno. The kernel is
// asked before each link is followed, so its protections apply as they do to
// "echo x > link".
int findplace(const char* path, place& at);

}  // namespace boards

#endif  // BOARD_FILEPLACE_H_

#ifndef BOARD_POSIXFILE_H_
#define BOARD_POSIXFILE_H_

// File descriptors for the board file's reader. The library's own; not
// installed.

#include <unistd.h>

namespace boards {

// Owns an open file descriptor and closes it when it goes out of scope.
class openfile {
 public:
  explicit openfile(int fd) : fd_(fd) {}
  openfile(const openfile&) = delete;
  openfile& operator=(const openfile&) = delete;
  ~openfile() {
    if (fd_ >= 0) ::close(fd_);
  }
  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace boards

#endif  // BOARD_POSIXFILE_H_

#include "board/savecalls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace boards {

savecalls savesystem = {
    [](int dir, const char* name, int flags, mode_t mode) {
      return ::openat(dir, name, flags, mode);
    },
    ::close,
    [](int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); },
    ::read,
    ::write,
    ::pread,
    ::pwrite,
    ::lseek,
    ::fstat,
    ::fstatat,
    ::readlinkat,
    ::linkat,
    ::renameat,
    ::unlinkat,
    ::fallocate,
    ::ftruncate,
    ::fsync,
    ::fdatasync,
    ::sync_file_range,
    ::fchown,
    ::fchmod,
    ::flistxattr,
    ::fgetxattr,
    ::fsetxattr,
    ::fremovexattr,
    [](int fd, int command, struct flock* lock) {
      return ::fcntl(fd, command, lock);
    },
    ::statx,
};

int writeall(int fd, const unsigned char* data, std::size_t size,
             off_t offset) {
  while (size > 0) {
    const ssize_t put = offset < 0 ? savesystem.write(fd, data, size)
                                   : savesystem.pwrite(fd, data, size, offset);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return errno;
    // A regular file takes at least one byte or fails; a device that takes
    // none is full.
    if (put == 0) return ENOSPC;
    data += put;
    size -= static_cast<std::size_t>(put);
    if (offset >= 0) offset += put;
  }
  return 0;
}

int readall(int fd, unsigned char* data, std::size_t size, off_t offset) {
  while (size > 0) {
    const ssize_t got = savesystem.pread(fd, data, size, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) return ENODATA;
    data += got;
    size -= static_cast<std::size_t>(got);
    offset += got;
  }
  return 0;
}

}  // namespace boards

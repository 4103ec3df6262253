#ifndef BOARD_SAVECALLS_H_
#define BOARD_SAVECALLS_H_

// The system calls a save or a load makes, gathered in one table so that a
// test can make each of them fail in turn, or note their order, and check
// what the save leaves behind. The library's own; not installed.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

namespace boards {

struct savecalls {
  int (*openat)(int dir, const char* name, int flags, mode_t mode);
  int (*close)(int fd);
  int (*dupfd)(int fd);
  ssize_t (*read)(int fd, void* buffer, std::size_t count);
  ssize_t (*write)(int fd, const void* buffer, std::size_t count);
  ssize_t (*pread)(int fd, void* buffer, std::size_t count, off_t offset);
  ssize_t (*pwrite)(int fd, const void* buffer, std::size_t count,
                    off_t offset);
  off_t (*lseek)(int fd, off_t offset, int whence);
  int (*fstat)(int fd, struct stat* status);
  int (*fstatat)(int dir, const char* name, struct stat* status, int flags);
  ssize_t (*readlinkat)(int dir, const char* name, char* buffer,
                        std::size_t size);
  int (*linkat)(int fromdir, const char* from, int todir, const char* to,
                int flags);
  int (*renameat)(int fromdir, const char* from, int todir, const char* to);
  int (*unlinkat)(int dir, const char* name, int flags);
  int (*fallocate)(int fd, int mode, off_t offset, off_t length);
  int (*ftruncate)(int fd, off_t length);
  int (*fsync)(int fd);
  int (*fdatasync)(int fd);
  int (*syncrange)(int fd, off_t offset, off_t count, unsigned int flags);
  int (*fchown)(int fd, uid_t owner, gid_t group);
  int (*fchmod)(int fd, mode_t mode);
  ssize_t (*flistxattr)(int fd, char* list, std::size_t size);
  ssize_t (*fgetxattr)(int fd, const char* name, void* value, std::size_t size);
  int (*fsetxattr)(int fd, const char* name, const void* value,
                   std::size_t size, int flags);
  int (*fremovexattr)(int fd, const char* name);
  // fcntl's open-file-description lock, F_OFD_SETLK: it never waits.
  int (*lock)(int fd, int command, struct flock* lock);
  int (*statx)(int dir, const char* name, int flags, unsigned int mask,
               struct statx* status);
};

// The table every save goes through; the system's own calls unless a test
// put others in.
extern savecalls savesystem;

// Writes all size bytes at the file's offset, or at offset when it is not
// negative; 0 or the errno of the write that failed.
int writeall(int fd, const unsigned char* data, std::size_t size,
             off_t offset = -1);

// Reads size bytes from offset; 0, the errno of the read that failed, or
// ENODATA when the file ends first.
int readall(int fd, unsigned char* data, std::size_t size, off_t offset);

}  // namespace boards

#endif  // BOARD_SAVECALLS_H_

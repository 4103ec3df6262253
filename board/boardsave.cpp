// Saving a board file without ever destroying the board it replaces: the new
// board goes into a fresh file in the target's own directory, which takes the
// target's place by a rename only once every byte is written and the file is
// closed. A reader, or a run that dies at any moment, sees the old board or
// the new one, whole. Nothing is synced: the promise holds against a process
// that fails or is killed, not against a power cut.

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>

#include "board/boardfile.h"
#include "board/posixfile.h"

namespace boards {
namespace {

// Symbolic links followed at most, as the kernel does.
constexpr int mostlinks = 40;

// The directory a path names its file in, and the file's own name there.
std::string directoryof(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameof(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

// The file a save to path replaces, its symbolic links followed; a dangling
// link leads to the path where that file is to be made.
std::string resolvelinks(std::string path) {
  for (int hop = 0; hop < mostlinks; ++hop) {
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    if (length <= 0 || length == static_cast<ssize_t>(sizeof target)) break;
    const std::string next(target, static_cast<std::size_t>(length));
    path = next.front() == '/' ? next : directoryof(path) + "/" + next;
  }
  return path;
}

// The name of a fresh file beside the target, for people to recognize should
// a killed save leave it behind: ".NAME.saving-PID-N".
std::string freshname(const std::string& target, int attempt) {
  return directoryof(target) + "/." + nameof(target) + ".saving-" +
         std::to_string(::getpid()) + "-" + std::to_string(attempt);
}

// Names tried before a save gives up on a fresh file of its own.
constexpr int mostattempts = 100;

// The new board, made in a fresh file beside the target and put in the
// target's place whole. The file is unnamed while it is written wherever
// the file system allows it, so that a run killed then leaves nothing; it is
// named only for the rename. Unless committed, it is removed.
class replacement {
 public:
  explicit replacement(std::string target)
      : target_(std::move(target)), file_(-1) {}
  replacement(const replacement&) = delete;
  replacement& operator=(const replacement&) = delete;
  ~replacement() {
    if (!name_.empty()) ::unlink(name_.c_str());
  }

  // Makes the fresh file, with the mode, owner and group of the target it
  // replaces, if any; false when the directory does not let one be made.
  bool open(const struct stat* old) {
    file_.reset(::open(directoryof(target_).c_str(),
                       O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    for (int attempt = 0; file_.fd() < 0 && attempt < mostattempts; ++attempt) {
      name_ = freshname(target_, attempt);
      file_.reset(
          ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
      if (file_.fd() < 0 && errno != EEXIST) break;
    }
    if (file_.fd() < 0) {
      name_.clear();
      return false;
    }
    if (old != nullptr) keepattributes(*old);
    return true;
  }

  int fd() const { return file_.fd(); }

  // Names the written file, closes it and renames it over the target;
  // whether all of that succeeded.
  bool commit() {
    if (name_.empty() && !linkin()) return false;
    if (!file_.close() || ::rename(name_.c_str(), target_.c_str()) != 0) {
      return false;
    }
    name_.clear();
    return true;
  }

 private:
  // The owner goes first: changing it clears the set-user-ID bit.
  void keepattributes(const struct stat& old) {
    if (::fchown(file_.fd(), old.st_uid, old.st_gid) != 0) {
      // A process may give a file only to itself, but to any of its groups.
      const int keptgroup =
          ::fchown(file_.fd(), static_cast<uid_t>(-1), old.st_gid);
      static_cast<void>(keptgroup);
    }
    ::fchmod(file_.fd(), old.st_mode & 07777);
  }

  // Gives the unnamed file a name in the target's directory.
  bool linkin() {
    const std::string self = "/proc/self/fd/" + std::to_string(file_.fd());
    for (int attempt = 0; attempt < mostattempts; ++attempt) {
      const std::string name = freshname(target_, attempt);
      int linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(),
                            AT_SYMLINK_FOLLOW);
      // Where /proc is missing, a privileged process can still link it.
      if (linked != 0 && errno != EEXIST) {
        linked =
            ::linkat(file_.fd(), "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
      }
      if (linked == 0) {
        name_ = name;
        return true;
      }
      if (errno != EEXIST) return false;
    }
    return false;
  }

  std::string target_;
  openfile file_;
  std::string name_;  // the fresh file's name once it has one
};

using fault = saveresulttype::fault;

// The result of a step that failed now, with the errno it left.
saveresulttype failednow(fault what) {
  return saveresulttype::failed(what, errno);
}

saveresulttype encodeto(int fd, const boardtype& board) {
  const bool written =
      encodeboard(board, [fd](std::span<const unsigned char> piece) {
        return writefully(fd, piece);
      });
  // A write that took no byte without an error leaves errno as it was.
  return written ? saveresulttype() : failednow(fault::writefailed);
}

// Writes into the target itself, as for a device, a FIFO or a file with
// other hard links. A regular file that could not be written whole is
// removed, so no partial board is left behind.
saveresulttype writeinplace(const std::string& target, const boardtype& board) {
  openfile file(
      ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (file.fd() < 0) return failednow(fault::cannotopen);
  struct stat status;
  const bool regular =
      ::fstat(file.fd(), &status) == 0 && S_ISREG(status.st_mode);
  saveresulttype result = encodeto(file.fd(), board);
  if (!file.close() && result.ok()) result = failednow(fault::writefailed);
  if (!result.ok() && regular) ::unlink(target.c_str());
  return result;
}

// Whether a save may put a fresh file in the target's place: not when that
// would change what the target is (a device, a FIFO, the end of a loop of
// links), part it from its other names, or replace a file the process may
// not write; a path that names no file has nothing to replace.
bool replaceable(const std::string& target, const struct stat* existing) {
  if (nameof(target).empty()) return false;
  if (existing == nullptr) return true;
  return S_ISREG(existing->st_mode) && existing->st_nlink == 1 &&
         ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}

}  // namespace

saveresulttype writeboardfile(const char* path, const boardtype& board) {
  if (saveresulttype refused = checkencodable(board); !refused.ok()) {
    return refused;
  }
  const std::string target = resolvelinks(path);
  struct stat status;
  const struct stat* existing =
      ::lstat(target.c_str(), &status) == 0 ? &status : nullptr;
  replacement fresh(target);
  if (!replaceable(target, existing) || !fresh.open(existing)) {
    return writeinplace(target, board);
  }
  saveresulttype result = encodeto(fresh.fd(), board);
  if (result.ok() && !fresh.commit()) result = failednow(fault::writefailed);
  return result;
}

}  // namespace boards

std::int32_t boardtype::save(const char* path) const {
  using fault = boards::saveresulttype::fault;
  const boards::saveresulttype result = boards::writeboardfile(path, *this);
  if (result.ok()) return 0;
  std::fputs(result.what == fault::cannotopen ? "Error opening save file.\n"
                                              : "Error writing save file.\n",
             stdout);
  return 1;
}

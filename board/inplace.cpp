#include "board/inplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "board/savecalls.h"
#include "board/savesteps.h"

namespace boards {

namespace {

using fault = saveresulttype::fault;

// How long a save waits for another to let go of the file, and how often it
// looks.
constexpr int lockseconds = 10;
constexpr long lookmilliseconds = 10;

// Locks the whole file for writing through its open file description (so
// that threads count as processes do), waiting a while for another holder.
// On a file system that keeps no locks the file counts as locked.
saveresulttype lockforwriting(int fd) {
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  const timespec pause = {0, lookmilliseconds * 1000 * 1000};
  for (long waited = 0;; waited += lookmilliseconds) {
    if (savesystem.lock(fd, F_OFD_SETLK, &lock) == 0) return {};
    if (errno == ENOLCK || errno == EOPNOTSUPP) return {};
    if (errno != EINTR && errno != EAGAIN && errno != EACCES) {
      return saveresulttype::failed(fault::cannotopen, errno);
    }
    if (waited >= lockseconds * 1000L) {
      return saveresulttype::failed(
          fault::cannotopen, "another process held a lock on the file for " +
                                 std::to_string(lockseconds) + " seconds");
    }
    ::nanosleep(&pause, nullptr);
  }
}

saveresulttype incomplete(saveresulttype failed) {
  failed.what = fault::incomplete;
  failed.reason += std::string(failed.reason.empty() ? "" : "; ") +
                   "the new board is whole in the file's journal, which "
                   "every load reads and the next save completes";
  return failed;
}

}  // namespace

inplacesave::~inplacesave() {
  if (appending_) {
    savesystem.ftruncate(fd_, static_cast<off_t>(oldlength_));
  }
}

saveresulttype inplacesave::begin() {
  if (saveresulttype locked = lockforwriting(fd_); !locked.ok()) return locked;
  struct stat status;
  if (savesystem.fstat(fd_, &status) != 0) {
    return saveresulttype::failed(fault::writefailed, errno);
  }
  oldlength_ = static_cast<std::uint64_t>(status.st_size);
  mode_ = status.st_mode;
  if (readable_) {
    if (saveresulttype ended = enddeadsave(); !ended.ok()) return ended;
  }
  return {};
}

// A save killed after its trailer was whole left the new content in the
// journal: it is completed. One killed before left a tail ending in its
// pending record: it is cut off.
saveresulttype inplacesave::enddeadsave() {
  const filetail tail = readtail(fd_, oldlength_);
  const journalsearch dead = findjournal(fd_, oldlength_, tail);
  if (dead.error != 0) {
    return saveresulttype::failed(fault::writefailed, dead.error);
  }
  if (const std::optional<std::uint64_t> end =
          pendingjournal(tail, oldlength_)) {
    if (savesystem.ftruncate(fd_, static_cast<off_t>(*end)) != 0) {
      return saveresulttype::failed(fault::writefailed, errno);
    }
    oldlength_ = *end;
    return {};
  }
  if (!dead.found) return {};
  journal_ = *dead.found;
  int readerror = 0;
  saveresulttype completed = complete(journalcontent(fd_, journal_, readerror));
  if (readerror != 0) {
    completed = saveresulttype::failed(fault::writefailed, readerror);
  }
  if (!completed.ok()) return completed;
  oldlength_ = journal_.length;
  if (const int error = keepmode(fd_, mode_)) {
    return saveresulttype::failed(fault::writefailed, error);
  }
  return {};
}

saveresulttype inplacesave::write(std::uint64_t length,
                                  const contentmaker& make) {
  // Clear of the old content, which readers take until the trailer is whole,
  // and of the front that the new content will fill.
  const std::uint64_t offset = journaloffset(oldlength_, length);
  // A full disk that stops the journal only costs the save; the blocks that
  // a longer board's front will need past the old end are reserved, so that
  // it cannot stop the copy over the front.
  if (const int error = checklimit(offset, length + trailerlength)) {
    return saveresulttype::failed(fault::writefailed, error);
  }
  if (const int error = reserve(fd_, oldlength_, offset - oldlength_)) {
    return saveresulttype::failed(fault::writefailed, error);
  }
  appending_ = true;
  if (saveresulttype appended =
          appendjournal(fd_, oldlength_, length, make, journal_);
      !appended.ok()) {
    return appended;
  }
  if (savesystem.fdatasync(fd_) != 0) {
    return saveresulttype::failed(fault::writefailed, errno);
  }
  appending_ = false;
  return {};
}

saveresulttype inplacesave::commit(const contentmaker& make) {
  saveresulttype committed;
  if (readable_) {
    int readerror = 0;
    committed = complete(journalcontent(fd_, journal_, readerror));
    if (readerror != 0)
      committed = saveresulttype::failed(fault::writefailed, readerror);
  } else {
    committed = complete(make);
  }
  if (!committed.ok()) return incomplete(committed);
  if (const int error = keepmode(fd_, mode_)) {
    return saveresulttype::failed(fault::incomplete, error);
  }
  if (options_.sync && savesystem.fsync(fd_) != 0) {
    return saveresulttype::failed(fault::unsynced, errno);
  }
  return {};
}

// Copies the journal's content over the front, syncs it before the trailer
// goes, and cuts the file to the content's length.
saveresulttype inplacesave::complete(const contentmaker& front) {
  if (saveresulttype written = writefront(fd_, journal_, front);
      !written.ok()) {
    return written;
  }
  if (savesystem.fdatasync(fd_) != 0 ||
      savesystem.ftruncate(fd_, static_cast<off_t>(journal_.length)) != 0) {
    return saveresulttype::failed(fault::writefailed, errno);
  }
  return {};
}

}  // namespace boards

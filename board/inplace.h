#ifndef BOARD_INPLACE_H_
#define BOARD_INPLACE_H_

// A regular file written in place, as a transaction whose journal lies inside
// the file (journal.h):
//   begin   locks the file against other saves, completes the journal of a
//           save that was killed after its trailer was whole and cuts off
//           what one killed before left;
//   write   appends the new content and its trailer and syncs them: from
//           then on every reader takes the new content;
//   commit  copies it over the front, syncs, cuts the file to its length and
//           puts its permission bits back.
// Until write has synced the trailer, the destructor cuts the file back to
// the length it had, and its content stays what it was. Once it has, a
// failure leaves the new content whole in the journal, where every load
// finds it and the next save completes it. The library's own; not installed.

#include <sys/types.h>

#include <cstdint>

#include "board/boardfile.h"
#include "board/journal.h"

namespace boards {

class inplacesave {
 public:
  // fd is open for writing, and for reading unless readable is false: then
  // the front is written by a second call of the maker, not from the
  // journal, and a killed save's journal cannot be found.
  inplacesave(int fd, bool readable, const saveoptions& options)
      : fd_(fd), readable_(readable), options_(options) {}
  inplacesave(const inplacesave&) = delete;
  inplacesave& operator=(const inplacesave&) = delete;
  ~inplacesave();

  saveresulttype begin();
  saveresulttype write(std::uint64_t length, const contentmaker& make);
  saveresulttype commit(const contentmaker& make);

 private:
  saveresulttype enddeadsave();
  saveresulttype complete(const contentmaker& front);

  int fd_;
  bool readable_;
  saveoptions options_;
  std::uint64_t oldlength_ = 0;
  mode_t mode_ = 0;
  journal journal_;
  // From the first byte past the old end until the trailer is synced: what
  // the destructor cuts off.
  bool appending_ = false;
};

}  // namespace boards

#endif  // BOARD_INPLACE_H_

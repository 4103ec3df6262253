#ifndef BOARD_FRESHFILE_H_
#define BOARD_FRESHFILE_H_

// A fresh file beside a target, written before it takes a name: the new
// content of a save. The library's own; not installed.

#include <sys/types.h>

#include <string>
#include <string_view>

#include "board/fileplace.h"

namespace boards {

// Gives a fresh file the extended attributes of from, its ACL among them,
// and no ACL that from lacks (one the directory handed down); 0 or the errno
// of the call that failed, so that no board is left readable by someone its
// ACL denied.
int keepattributes(int from, int to);

// A name for people to recognize should a killed save leave the file:
// ".TARGET.KIND-PID-N", TARGET cut to fit the longest name a folder takes.
std::string freshname(std::string_view target, std::string_view kind,
                      int attempt);

// A fresh file in a directory; removed when it goes out of scope unless it
// took its final name.
class freshfile {
 public:
  freshfile(int dir, std::string_view target, std::string_view kind)
      : dir_(dir), target_(target), kind_(kind) {}
  freshfile(const freshfile&) = delete;
  freshfile& operator=(const freshfile&) = delete;
  ~freshfile() { remove(); }

  // Unnamed where the file system allows it, so that a run killed while it
  // writes leaves nothing, else named ".TARGET.KIND-PID-N"; made with this
  // mode, as open(2) makes a file (the umask or the directory's default ACL
  // applies). False with errno set when none can be made.
  bool open(int access, mode_t mode);
  // Gives the file its final name, which must be free: nothing there is
  // replaced or followed. False with errno set (EEXIST: the name is taken).
  bool linkas(const std::string& name);
  // Gives an unnamed file a temporary name, for a rename.
  bool linkin();

  int fd() const { return file_.get(); }
  bool close() { return file_.close(); }
  const std::string& name() const { return name_; }
  void remove();
  // The file's name now belongs to someone else: the target, or people.
  void keep() { name_.clear(); }

 private:
  bool opennamed(int access, mode_t mode);
  bool linkunnamed(const std::string& name);

  int dir_;
  std::string target_;
  std::string kind_;
  descriptor file_;
  std::string name_;
};

}  // namespace boards

#endif  // BOARD_FRESHFILE_H_

#ifndef TRACKEDIT_RECOVERY_H_
#define TRACKEDIT_RECOVERY_H_

// Where the edits of a session that ends by a signal go, and where the next
// session on the same board finds them. A recovery is the board's text in a
// new file beside the board, FILE.recover, or FILE.recover.1, .2 ... when
// those are taken: one is never overwritten. Where the board's folder
// refuses the file, it goes to the user's state folder under a name made of
// the board's full path.

#include <ctime>
#include <string>
#include <vector>

namespace trackedit {

// $XDG_STATE_HOME/trackedit, else ~/.local/state/trackedit; empty when
// neither is known.
std::string statefolder();

// The board's full path as one file name: '%' becomes "%25" and '/' "%2F".
// A name too long for a folder keeps its end and a checksum of the whole.
std::string statename(const std::string& fullpath);

// The path made absolute, its folder's links resolved; the file itself need
// not exist.
std::string fullpath(const std::string& path);

struct recoveryfile {
  std::string path;
  std::time_t written = 0;
};

// The recovery files of the board at path, beside it and in the state
// folder, newest first: only the user's own files that nobody else may
// write.
std::vector<recoveryfile> findrecoveries(const std::string& path);

// Reads a recovery file into text, again only one of the user's own that
// nobody else may write; the reason when it cannot, else empty.
std::string readrecovery(const std::string& path, std::string& text);

struct recoveryresult {
  std::string path;   // where the text went; empty when nowhere
  std::string error;  // why not, when nowhere
};

// Writes text as a new recovery file of the board at path, readable and
// writable by no one the board's mode does not allow (mode 0600 for a new
// board), without following a link or replacing a file.
recoveryresult writerecovery(const std::string& path, const std::string& text,
                             unsigned boardmode);

// Adds a line about the board at path, with the time, to the recovery log
// in the state folder (where the recoveries go that the board's folder
// refuses): that the edits of a session ended by a signal are lost, which
// standard error may no longer show. The log's path, or empty when it
// cannot be written.
std::string logrecovery(const std::string& path, const std::string& line);

}  // namespace trackedit

#endif  // TRACKEDIT_RECOVERY_H_

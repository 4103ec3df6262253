// Every system call of a save made to fail in turn, on every path a save
// takes: after each, every name holds a whole board, old or new, and no
// stray file is left.

#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>

#include "board/boardfile.h"
#include "board/savecalls.h"
#include "tests/sampleboard.h"
#include "tests/scratch.h"

namespace fs = std::filesystem;
using boards::savecalls;
using fault = boards::saveresulttype::fault;

namespace {

// Which call of a save fails, and with which errno.
struct injection {
  int failat = 0;  // counted from 1
  int error = 0;
  int calls = 0;
  std::string failed;  // the call that failed, if any
};
injection inject;
const savecalls real = boards::savesystem;

bool trip(const char* call) {
  if (++inject.calls != inject.failat) return false;
  inject.failed = call;
  errno = inject.error;
  return true;
}

template <std::size_t N>
struct callname {
  constexpr callname(const char (&text)[N]) { std::copy_n(text, N, name); }
  char name[N];
};

template <callname name, auto field>
struct failing;
template <callname name, typename R, typename... A,
          R (*savecalls::*field)(A...)>
struct failing<name, field> {
  static R call(A... args) {
    if (trip(name.name)) return R(-1);
    return (real.*field)(args...);
  }
};

// The system's calls, each of which fails when its turn comes.
const savecalls counted = {
    failing<"openat", &savecalls::openat>::call,
    // A close that fails still releases the descriptor.
    [](int fd) { return real.close(fd) == 0 && !trip("close") ? 0 : -1; },
    failing<"dupfd", &savecalls::dupfd>::call,
    failing<"read", &savecalls::read>::call,
    failing<"write", &savecalls::write>::call,
    failing<"lseek", &savecalls::lseek>::call,
    failing<"fstat", &savecalls::fstat>::call,
    failing<"fstatat", &savecalls::fstatat>::call,
    failing<"readlinkat", &savecalls::readlinkat>::call,
    failing<"linkat", &savecalls::linkat>::call,
    failing<"renameat", &savecalls::renameat>::call,
    failing<"unlinkat", &savecalls::unlinkat>::call,
    failing<"fallocate", &savecalls::fallocate>::call,
    failing<"ftruncate", &savecalls::ftruncate>::call,
    failing<"fsync", &savecalls::fsync>::call,
    failing<"fchown", &savecalls::fchown>::call,
    failing<"fchmod", &savecalls::fchmod>::call,
    failing<"flistxattr", &savecalls::flistxattr>::call,
    failing<"fgetxattr", &savecalls::fgetxattr>::call,
    failing<"fsetxattr", &savecalls::fsetxattr>::call,
};

// The paths a save takes, each forced by a standing refusal where needed.
struct scenario {
  const char* name;
  bool exists;
  bool linked;
  savecalls calls;
};

savecalls refusingnewfiles() {
  savecalls calls = counted;
  calls.openat = [](int dir, const char* name, int flags, mode_t mode) {
    if ((flags & O_TMPFILE) == O_TMPFILE || (flags & O_CREAT) != 0) {
      errno = EACCES;
      return -1;
    }
    return counted.openat(dir, name, flags, mode);
  };
  return calls;
}

savecalls refusingrenames() {
  savecalls calls = counted;
  calls.renameat = [](int, const char*, int, const char*) {
    errno = EBUSY;
    return -1;
  };
  return calls;
}

const scenario scenarios[] = {
    {"fresh file", true, false, counted},
    {"new name", false, false, counted},
    {"in place, new files refused", true, false, refusingnewfiles()},
    {"in place, rename refused", true, false, refusingrenames()},
    {"hard links", true, true, counted},
};

}  // namespace

TEST(Savefaults, EveryFailedCallLeavesEveryNameWhole) {
  const bytes small = boards::encodeboard(*sampleboard(2, 3, 2, 2, 2));
  const auto large = sampleboard(9, 11, 7, 3, 4);
  const bytes largebytes = boards::encodeboard(*large);
  const auto smallboard = sampleboard(2, 3, 2, 2, 2);
  for (const scenario& how : scenarios) {
    // Growing and shrinking: in place, a longer old board must be cut.
    for (const bool grow : {true, false}) {
      const bytes& old = grow ? small : largebytes;
      const boardtype& board = grow ? *large : *smallboard;
      const bytes& fresh = grow ? largebytes : small;
      for (const int error : {EIO, ENOSPC}) {
        for (int failat = 1;; ++failat) {
          const scratchdir dir;
          const std::string target = dir / "target.board";
          std::vector<std::string> names = {"target.board"};
          if (how.exists) writebytes(target, old);
          if (how.linked) {
            fs::create_hard_link(target, dir / "link.board");
            names.push_back("link.board");
          }
          inject = {failat, error, 0, ""};
          boards::savesystem = how.calls;
          const auto result =
              boards::writeboardfile(target.c_str(), board, {.sync = true});
          boards::savesystem = real;
          SCOPED_TRACE(std::string(how.name) + ", call " +
                       std::to_string(failat) + " (" + inject.failed +
                       ") fails, " + result.describe());
          // An incomplete write keeps the old board beside the links.
          if (result.what == fault::incomplete && how.linked) {
            EXPECT_EQ(readbytes(dir / result.item), old);
            names.push_back(result.item);
          }
          for (std::size_t i = 0; i < (how.linked ? 2 : 1); ++i) {
            const bytes found = readbytes(dir / names[i]);
            if (result.ok()) {
              EXPECT_EQ(found, fresh) << names[i];
            } else if (!how.exists && !fs::exists(dir / names[i])) {
            } else if (result.what == fault::incomplete && !how.linked) {
              // In place with nothing to restore from, only what followed
              // the new board's end can be left over.
              EXPECT_TRUE(
                  found.size() >= fresh.size() &&
                  std::equal(fresh.begin(), fresh.end(), found.begin()));
            } else {
              EXPECT_TRUE(found == fresh || (how.exists && found == old))
                  << names[i];
            }
          }
          if (how.linked) {
            EXPECT_EQ(fs::hard_link_count(target), 2u);
          }
          // A failed unlink of a fresh file is the one way to leave it.
          if (inject.failed != "unlinkat") {
            for (const auto& entry : fs::directory_iterator(dir.path())) {
              const std::string name = entry.path().filename().string();
              EXPECT_NE(std::find(names.begin(), names.end(), name),
                        names.end())
                  << "stray " << name;
            }
          }
          if (inject.failed.empty()) {
            EXPECT_TRUE(result.ok());
            break;
          }
        }
      }
    }
  }
}

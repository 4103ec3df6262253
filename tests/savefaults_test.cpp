// Every system call of a save made to fail in turn, and a save killed at
// each of them and the next save killed again, on every path a save takes;
// the order of a save's calls, and a power cut at each point of a save in
// place. After each, every name of the file, in its own folder or another,
// loads a whole board, old or new, and no stray file is left.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "board/boardfile.h"
#include "board/savecalls.h"
#include "tests/sampleboard.h"
#include "tests/scratch.h"

namespace fs = std::filesystem;
using boards::savecalls;
using fault = boards::saveresulttype::fault;

namespace {

int failat, injected, calls;  // the call that fails (from 1), how, calls made
bool killing;                 // the call that fails ends the process
bool mustfail;                // a call failed whose failure fails the save
const savecalls real = boards::savesystem;
// The same, but a sync only counts: what a kill or a failed call leaves does
// not depend on the disk, and thousands of saves run faster without it.
const savecalls quick = [] {
  savecalls calls = real;
  calls.fsync = calls.fdatasync = [](int) { return 0; };
  return calls;
}();

// A failed look at the folder's attributes only sends the save the usual
// way, which is as safe.
template <auto field>
constexpr bool passable = false;
template <>
constexpr bool passable<&savecalls::statx> = true;
// Asking the disk to start early only saves time.
template <>
constexpr bool passable<&savecalls::syncrange> = true;

bool trip(bool canpass) {
  if (++calls != failat) return false;
  if (killing) std::_Exit(9);
  mustfail = mustfail || !canpass;
  errno = injected;
  return true;
}

template <auto field>
struct failing;
template <typename R, typename... A, R (*savecalls::*field)(A...)>
struct failing<field> {
  static R call(A... args) {
    return trip(passable<field>) ? R(-1) : (quick.*field)(args...);
  }
};

// The system's calls, each failing when its turn comes. A close that fails
// still releases the descriptor; a failed unlink would leave a fresh file
// behind, the one stray a save cannot help, so unlinks are not failed.
const savecalls counted = {
    failing<&savecalls::openat>::call,
    [](int fd) { return real.close(fd) == 0 && !trip(true) ? 0 : -1; },
    failing<&savecalls::dupfd>::call,
    failing<&savecalls::read>::call,
    failing<&savecalls::write>::call,
    failing<&savecalls::pread>::call,
    failing<&savecalls::pwrite>::call,
    failing<&savecalls::lseek>::call,
    failing<&savecalls::fstat>::call,
    failing<&savecalls::fstatat>::call,
    failing<&savecalls::readlinkat>::call,
    failing<&savecalls::linkat>::call,
    failing<&savecalls::renameat>::call,
    real.unlinkat,
    failing<&savecalls::fallocate>::call,
    failing<&savecalls::ftruncate>::call,
    failing<&savecalls::fsync>::call,
    failing<&savecalls::fdatasync>::call,
    failing<&savecalls::syncrange>::call,
    failing<&savecalls::fchown>::call,
    failing<&savecalls::fchmod>::call,
    failing<&savecalls::flistxattr>::call,
    failing<&savecalls::fgetxattr>::call,
    failing<&savecalls::fsetxattr>::call,
    failing<&savecalls::fremovexattr>::call,
    failing<&savecalls::lock>::call,
    failing<&savecalls::statx>::call,
};

// The paths a save takes, forced where needed by a standing refusal.
struct scenario {
  const char* name;
  bool exists, linked, inplace;
  savecalls calls;
  bool mayread = true;  // a writer who may not read cannot see a dead save
};

savecalls with(auto change) {
  savecalls calls = counted;
  change(calls);
  return calls;
}

bool making(int flags) {
  return (flags & O_TMPFILE) == O_TMPFILE ||
         (flags & (O_CREAT | O_EXCL)) == (O_CREAT | O_EXCL);
}

const scenario scenarios[] = {
    {"fresh file", true, false, false, counted},
    {"new name", false, false, false, counted},
    {"in place, new files refused", true, false, true,
     with([](savecalls& calls) {
       calls.openat = [](int dir, const char* name, int flags, mode_t mode) {
         if (making(flags)) errno = EACCES;
         return making(flags) ? -1 : counted.openat(dir, name, flags, mode);
       };
     })},
    {"in place, rename refused", true, false, true, with([](savecalls& calls) {
       calls.renameat = [](int, const char*, int, const char*) {
         errno = EBUSY;
         return -1;
       };
     })},
    {"in place, append-only folder", true, false, true,
     with([](savecalls& calls) {
       calls.statx = [](int dir, const char* name, int flags, unsigned mask,
                        struct statx* status) {
         const int got = counted.statx(dir, name, flags, mask, status);
         if (got == 0) status->stx_attributes |= STATX_ATTR_APPEND;
         return got;
       };
     })},
    {"hard links", true, true, true, counted},
    {"hard links, may not read", true, true, true, with([](savecalls& calls) {
       calls.openat = [](int dir, const char* name, int flags, mode_t mode) {
         const bool reading = (flags & O_ACCMODE) == O_RDWR && !making(flags);
         if (reading) errno = EACCES;
         return reading ? -1 : counted.openat(dir, name, flags, mode);
       };
     }),
     false},
};

// The target, and a hard link to it in another folder.
const std::vector<std::string> bothnames = {"target.board", "other/link.board"};

std::vector<std::string> prepare(const scratchdir& dir, const scenario& how,
                                 const bytes& old) {
  fs::create_directory(dir / "other");
  if (!how.exists) return {"target.board"};
  writebytes(dir / "target.board", old);
  ::chmod((dir / "target.board").c_str(), 0604);
  // An attribute the fresh file must be given, or the save fail.
  ::setxattr((dir / "target.board").c_str(), "user.kept", "1", 1, 0);
  if (!how.linked) return {"target.board"};
  fs::create_hard_link(dir / "target.board", dir / "other/link.board");
  return bothnames;
}

// What a save left: each name's board as the library loads it (empty when
// it loads none), whether the load found bytes beyond it, and its bytes,
// the target's mode, and any stray file.
struct outcome {
  std::vector<bytes> loaded, raw;
  bool beyond = false;
  mode_t mode = 0;
  std::vector<std::string> strays;
};

outcome lookat(const scratchdir& dir, const std::vector<std::string>& names) {
  outcome seen;
  for (const std::string& name : names) {
    boardtype board;
    const auto result = boards::readboardfile((dir / name).c_str(), board);
    seen.loaded.push_back(result.ok() ? boards::encodeboard(board) : bytes());
    seen.beyond = seen.beyond || result.found > result.needed;
    seen.raw.push_back(readbytes(dir / name));
  }
  struct stat status;
  if (::stat((dir / names[0]).c_str(), &status) == 0) {
    seen.mode = status.st_mode & 07777;
  }
  for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
    const std::string name = fs::relative(entry.path(), dir.path()).string();
    if (name != "other" && std::ranges::count(names, name) == 0) {
      seen.strays.push_back(name);
    }
  }
  return seen;
}

// Runs one save through the calls given; its result.
boards::saveresulttype savewith(const savecalls& calls, const scratchdir& dir,
                                const boardtype& board, bool sync = true) {
  boards::savesystem = calls;
  auto result =
      boards::writeboardfile((dir / "target.board").c_str(), board, {sync});
  boards::savesystem = real;
  return result;
}

// Runs a save in a child process that dies at call number kill; whether
// it got that far.
bool killedat(int kill, const savecalls& how, const scratchdir& dir,
              const boardtype& board) {
  const pid_t child = ::fork();
  if (child == 0) {
    killing = true;
    failat = kill;
    calls = 0;
    savewith(how, dir, board, false);
    std::_Exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return !WIFEXITED(status) || WEXITSTATUS(status) != 0;
}

bool oneof(const bytes& found, std::initializer_list<const bytes*> boards) {
  return std::ranges::any_of(boards,
                             [&](const bytes* b) { return *b == found; });
}

}  // namespace

TEST(Savefaults, EveryFailedCallLeavesEveryNameWhole) {
  const auto small = sampleboard(2, 3, 2, 2, 2);
  const auto large = sampleboard(9, 11, 7, 3, 4);
  for (const scenario& how : scenarios) {
    // Growing and shrinking: in place, a longer old board must be cut.
    for (const bool grow : {true, false}) {
      const bytes old = boards::encodeboard(grow ? *small : *large);
      const boardtype& board = grow ? *large : *small;
      const bytes fresh = boards::encodeboard(board);
      for (const int error : {EIO, ENOSPC}) {
        for (failat = 1;; ++failat) {
          const scratchdir dir;
          const std::vector<std::string> names = prepare(dir, how, old);
          injected = error;
          calls = 0;
          mustfail = false;
          const auto result = savewith(how.calls, dir, board);
          SCOPED_TRACE(std::string(how.name) + ", call " +
                       std::to_string(failat) + ": " + result.describe());
          EXPECT_TRUE(!mustfail || !result.ok());
          const outcome seen = lookat(dir, names);
          // Failed, nothing changed; incomplete, the journal holds the new.
          const bool saved = result.ok() || result.what == fault::incomplete ||
                             result.what == fault::unsynced;
          const bytes& expected = saved ? fresh : old;
          for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_TRUE(seen.loaded[i] == expected ||
                        (!how.exists && seen.loaded[i].empty()));
            EXPECT_TRUE(!result.ok() || seen.raw[i] == fresh);
          }
          EXPECT_TRUE(!how.exists || seen.mode == 0604) << seen.mode;
          EXPECT_TRUE(!how.exists || ::getxattr((dir / "target.board").c_str(),
                                                "user.kept", nullptr, 0) == 1);
          EXPECT_TRUE(seen.strays.empty()) << seen.strays[0];
          // The next save completes whatever this one left.
          EXPECT_TRUE(savewith(real, dir, board).ok());
          EXPECT_EQ(readbytes(dir / names.back()), fresh);
          if (calls < failat) {
            EXPECT_TRUE(result.ok());
            break;
          }
        }
      }
    }
  }
}

// A maker that stops, throws, or hands over more or fewer bytes than it
// promised fails the save on every path, saying what happened, and leaves
// every name as it was.
TEST(Savefaults, ContentThatBreaksItsPromiseFailsTheSave) {
  const bytes old = boards::encodeboard(*sampleboard(2, 3, 2, 2, 2));
  const std::span<const unsigned char> all(old);
  const boards::contentmaker makers[] = {
      [&](const boards::bytesink& sink) {
        return sink(all.first(old.size() / 2)) && false;
      },
      [&](const boards::bytesink& sink) {
        return sink(all.first(old.size() / 2)) &&
               (throw std::runtime_error("no more"), true);
      },
      [&](const boards::bytesink& sink) { return sink(all.first(10)); },
      [&](const boards::bytesink& sink) { return sink(all) && sink(all); },
  };
  for (const scenario& how : scenarios) {
    for (const boards::contentmaker& make : makers) {
      const scratchdir dir;
      const std::vector<std::string> names = prepare(dir, how, old);
      failat = 0;
      boards::savesystem = how.calls;
      const auto result =
          boards::writefile((dir / "target.board").c_str(), old.size(), make);
      boards::savesystem = real;
      SCOPED_TRACE(std::string(how.name) + ": " + result.describe());
      EXPECT_EQ(result.what, fault::writefailed);
      EXPECT_EQ(result.error, 0);
      EXPECT_NE(result.reason, "");
      const outcome seen = lookat(dir, names);
      for (const bytes& found : seen.raw) {
        EXPECT_EQ(found, how.exists ? old : bytes());
      }
      EXPECT_TRUE(seen.strays.empty()) << seen.strays[0];
    }
  }
}

// A save in place killed at any call, then the next save killed at any of
// its calls: through either name, either folder, a load finds one of the
// three boards whole, and a last save puts the newest there exactly.
TEST(Savefaults, TwoKilledSavesInPlaceLeaveAWholeBoard) {
  const bytes first = boards::encodeboard(*sampleboard(2, 3, 2, 2, 2));
  const auto second = sampleboard(9, 11, 7, 3, 4);
  const auto third = sampleboard(4, 6, 3, 2, 3);
  const bytes middle = boards::encodeboard(*second);
  const bytes last = boards::encodeboard(*third);
  for (const scenario& how : scenarios) {
    if (!how.linked) continue;
    for (int kill = 1;; ++kill) {
      bool more = false;
      for (int again = 1;; ++again) {
        const scratchdir dir;
        const std::vector<std::string> names = prepare(dir, how, first);
        more = killedat(kill, how.calls, dir, *second);
        const bool killedagain = killedat(again, how.calls, dir, *third);
        SCOPED_TRACE(std::string(how.name) + ", killed at calls " +
                     std::to_string(kill) + " and " + std::to_string(again));
        const outcome seen = lookat(dir, names);
        for (const bytes& found : seen.loaded) {
          EXPECT_TRUE(oneof(found, {&first, &middle, &last}));
        }
        // What a killed save leaves past the board is no part of it, and
        // the next save cuts it off where it may read.
        EXPECT_TRUE(!seen.beyond || !how.mayread);
        EXPECT_TRUE(seen.strays.empty()) << seen.strays[0];
        EXPECT_TRUE(savewith(real, dir, *third).ok());
        EXPECT_EQ(readbytes(dir / names[1]), last);
        if (!killedagain || !more) break;
      }
      if (!more) break;
    }
  }
}

namespace {

// The calls of one save, with what each touched.
struct call {
  std::string what;
  int fd = -1;
  off_t offset = 0;
  bytes data;  // pwrite: what it wrote; ftruncate: nothing (offset: length)
};
std::vector<call> record;
int directoryfd = -1;

const savecalls recording = [] {
  savecalls calls = real;
  calls.openat = [](int dir, const char* name, int flags, mode_t mode) {
    const int fd = real.openat(dir, name, flags, mode);
    const bool folder = (flags & O_TMPFILE) != O_TMPFILE &&
                        (flags & (O_DIRECTORY | O_PATH)) == O_DIRECTORY;
    if (folder) directoryfd = fd;
    return fd;
  };
  calls.pwrite = [](int fd, const void* data, std::size_t size, off_t at) {
    const auto* from = static_cast<const unsigned char*>(data);
    record.push_back({"pwrite", fd, at, bytes(from, from + size)});
    return real.pwrite(fd, data, size, at);
  };
  calls.ftruncate = [](int fd, off_t length) {
    record.push_back({"ftruncate", fd, length, {}});
    return real.ftruncate(fd, length);
  };
  calls.fsync = [](int fd) {
    record.push_back({fd == directoryfd ? "fsync folder" : "fsync", fd, 0, {}});
    return real.fsync(fd);
  };
  calls.fdatasync = [](int fd) {
    record.push_back({"fsync", fd, 0, {}});
    return real.fdatasync(fd);
  };
  calls.linkat = [](int from, const char* a, int to, const char* b, int f) {
    record.push_back({"name", -1, 0, {}});
    return real.linkat(from, a, to, b, f);
  };
  calls.renameat = [](int from, const char* a, int to, const char* b) {
    record.push_back({"name", -1, 0, {}});
    return real.renameat(from, a, to, b);
  };
  return calls;
}();

std::size_t firstafter(std::size_t from, const std::string& what) {
  for (std::size_t i = from; i < record.size(); ++i) {
    if (record[i].what == what) return i;
  }
  return record.size();
}

// The file's bytes once these writes and cuts are applied in order, the
// last write torn half-way when torn.
bytes replay(bytes file, const std::vector<const call*>& steps,
             bool torn = false) {
  for (const call* step : steps) {
    const auto at = static_cast<std::size_t>(step->offset);
    if (step->what == "ftruncate") {
      file.resize(at);
      continue;
    }
    const std::size_t length = torn && step == steps.back()
                                   ? step->data.size() / 2
                                   : step->data.size();
    file.resize(std::max(file.size(), at + length));
    std::copy_n(step->data.begin(), length, file.begin() + step->offset);
  }
  return file;
}

}  // namespace

// A synced save names its file before it syncs the folder; a save in place
// writes the front only once the trailer is synced, and cuts the file only
// once the front is synced.
TEST(Savefaults, ASaveSyncsBeforeEachStepThatDependsOnIt) {
  const bytes old = boards::encodeboard(*sampleboard(2, 3, 2, 2, 2));
  const auto board = sampleboard(9, 11, 7, 3, 4);
  for (const scenario& how : {scenarios[0], scenarios[1], scenarios[5]}) {
    const scratchdir dir;
    prepare(dir, how, old);
    record.clear();
    directoryfd = -1;
    ASSERT_TRUE(savewith(recording, dir, *board).ok()) << how.name;
    SCOPED_TRACE(how.name);
    if (!how.inplace) {
      EXPECT_LT(firstafter(0, "name"), firstafter(0, "fsync folder"));
      EXPECT_LT(firstafter(0, "fsync folder"), record.size());
      continue;
    }
    std::size_t trailer = record.size();
    for (std::size_t i = 0; i < record.size(); ++i) {
      if (record[i].what == "pwrite" && record[i].data.size() == 32 &&
          std::memcmp(record[i].data.data(), "boardjnl", 8) == 0) {
        trailer = i;
      }
    }
    const std::size_t synced = firstafter(trailer, "fsync");
    const std::size_t front = firstafter(synced, "pwrite");
    ASSERT_LT(synced, record.size());
    for (std::size_t i = 0; i < synced; ++i) {
      EXPECT_FALSE(record[i].what == "pwrite" &&
                   record[i].offset < static_cast<off_t>(old.size()))
          << "call " << i << " writes the front";
    }
    EXPECT_EQ(record[front].offset, 0);
    EXPECT_LT(firstafter(front, "fsync"), firstafter(front, "ftruncate"));
  }
}

// A power cut during a save in place keeps what was synced and, of the
// writes since, any of them, the last one perhaps torn: every such file
// loads the old board or the new.
TEST(Savefaults, APowerCutInASaveInPlaceLeavesTheOldBoardOrTheNew) {
  const auto small = sampleboard(2, 3, 2, 2, 2);
  const auto large = sampleboard(9, 11, 7, 3, 4);
  for (const bool grow : {true, false}) {
    const bytes old = boards::encodeboard(grow ? *small : *large);
    const boardtype& board = grow ? *large : *small;
    const bytes fresh = boards::encodeboard(board);
    const scratchdir dir;
    prepare(dir, scenarios[5], old);
    record.clear();
    ASSERT_TRUE(savewith(recording, dir, board).ok());
    // The writes between two syncs, each such group in turn.
    std::vector<std::vector<const call*>> groups(1);
    for (const call& step : record) {
      if (step.what == "fsync") groups.emplace_back();
      if (step.what == "pwrite" || step.what == "ftruncate") {
        groups.back().push_back(&step);
      }
    }
    std::vector<const call*> synced;
    int states = 0;
    for (const auto& group : groups) {
      ASSERT_LT(group.size(), 10u);
      for (unsigned kept = 0; kept < (1u << group.size()); ++kept) {
        std::vector<const call*> steps = synced;
        for (std::size_t i = 0; i < group.size(); ++i) {
          if ((kept >> i & 1) != 0) steps.push_back(group[i]);
        }
        for (const bool torn : {false, true}) {
          writebytes(dir / "cut.board", replay(old, steps, torn));
          boardtype loaded;
          const auto result =
              boards::readboardfile((dir / "cut.board").c_str(), loaded);
          ASSERT_TRUE(result.ok()) << result.describe() << ", state " << states;
          const bytes found = boards::encodeboard(loaded);
          EXPECT_TRUE(found == old || found == fresh) << "state " << states;
          ++states;
        }
      }
      synced.insert(synced.end(), group.begin(), group.end());
    }
    EXPECT_EQ(replay(old, synced), fresh);
  }
}

// A FIFO that becomes a larger regular file between the look and the open
// is not written in place over the old tail: the save looks again.
TEST(Savefaults, AFileSwappedAfterTheLookIsLookedAtAgain) {
  const scratchdir dir;
  const std::string target = dir / "target.board";
  writebytes(target, boards::encodeboard(*sampleboard(9, 11, 7, 3, 4)));
  const auto board = sampleboard(2, 3, 2, 2, 2);
  calls = 0;
  boards::savesystem.fstatat = [](int at, const char* name, struct stat* status,
                                  int flags) {
    const int got = real.fstatat(at, name, status, flags);
    if (got == 0 && ++calls == 1) status->st_mode = S_IFIFO | 0644;
    return got;
  };
  const auto result = boards::writeboardfile(target.c_str(), *board);
  boards::savesystem = real;
  EXPECT_TRUE(result.ok()) << result.describe();
  EXPECT_EQ(readbytes(target), boards::encodeboard(*board));
}

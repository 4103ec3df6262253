// Saves where a board lives in more than one place or belongs to someone
// else, under real conditions; each is skipped, saying why, where this
// machine refuses to set it up.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "board/boardfile.h"
#include "board/savecalls.h"
#include "tests/sampleboard.h"
#include "tests/scratch.h"

namespace fs = std::filesystem;
using fault = boards::saveresulttype::fault;

namespace {

constexpr uid_t nobody = 65534;
const bytes oldboard = boards::encodeboard(*sampleboard(3, 4, 5, 2, 3));

template <typename Checks>
int inchild(Checks checks) {
  const pid_t child = ::fork();
  if (child == 0) std::_Exit(checks());
  int raw = 0;
  ::waitpid(child, &raw, 0);
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : 100 + WTERMSIG(raw);
}

bool becomenobody() {
  return ::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 &&
         ::setuid(nobody) == 0;
}

// A POSIX access ACL in the kernel's form: owner, named users, group, mask
// and others, each tag, permission and id.
bool setacl(const std::string& path, const char* name, mode_t owner, uid_t user,
            mode_t userperm, mode_t other) {
  std::vector<unsigned char> acl = {2, 0, 0, 0};
  const auto entry = [&acl](std::uint16_t tag, std::uint16_t perm,
                            std::uint32_t id) {
    for (int i = 0; i < 2; ++i) acl.push_back((tag >> (8 * i)) & 0xff);
    for (int i = 0; i < 2; ++i) acl.push_back((perm >> (8 * i)) & 0xff);
    for (int i = 0; i < 4; ++i) acl.push_back((id >> (8 * i)) & 0xff);
  };
  entry(0x01, owner, ~0u);
  entry(0x02, userperm, user);
  entry(0x04, 0, ~0u);
  entry(0x10, userperm, ~0u);
  entry(0x20, other, ~0u);
  return ::setxattr(path.c_str(), name, acl.data(), acl.size(), 0) == 0;
}

bool hasacl(const std::string& path) {
  return ::getxattr(path.c_str(), "system.posix_acl_access", nullptr, 0) > 0;
}

std::string aclof(const std::string& path) {
  std::string acl(256, '\0');
  const ssize_t length = ::getxattr(path.c_str(), "system.posix_acl_access",
                                    acl.data(), acl.size());
  acl.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return acl;
}

// Sets a sysctl for the life of the object, then puts it back.
class sysctl {
 public:
  sysctl(std::string path, const std::string& value) : path_(std::move(path)) {
    std::ifstream(path_) >> old_;
    std::ofstream(path_) << value;
    std::string now;
    std::ifstream(path_) >> now;
    set_ = now == value;
  }
  ~sysctl() { std::ofstream(path_) << old_; }
  bool set() const { return set_; }

 private:
  std::string path_, old_;
  bool set_ = false;
};

}  // namespace

TEST(Saveedges, RacingSavesAndLoadsOfAHardLinkedFileNeverMix) {
  const scratchdir dir;
  const std::string path = dir / "target.board";
  const auto first = sampleboard(30, 40, 20, 3, 4);
  const auto second = sampleboard(10, 70, 25, 2, 5);
  const bytes boards[] = {boards::encodeboard(*first),
                          boards::encodeboard(*second)};
  writebytes(path, boards[0]);
  fs::create_hard_link(path, dir / "link.board");
  std::vector<pid_t> writers;
  for (const boardtype* board : {first.get(), second.get()}) {
    writers.push_back(::fork());
    if (writers.back() == 0) {
      for (int round = 0; round < 500; ++round) {
        const auto saved = boards::writeboardfile(path.c_str(), *board);
        if (!saved.ok()) std::_Exit(saved.error == 0 ? 99 : 1);
      }
      std::_Exit(0);
    }
  }
  int loads = 0, mixed = 0, failed = 0;
  int status = 0, running = 2;
  while (running > 0) {
    boardtype loaded;
    const auto result =
        boards::readboardfile((dir / "link.board").c_str(), loaded);
    if (!result.ok()) {
      ADD_FAILURE() << result.describe();
      ++failed;
    } else {
      const bytes found = boards::encodeboard(loaded);
      mixed += found != boards[0] && found != boards[1];
    }
    ++loads;
    while (running > 0 && ::waitpid(-1, &status, WNOHANG) > 0) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
      --running;
    }
  }
  EXPECT_EQ(mixed, 0);
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(fs::hard_link_count(path), 2u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 2);
  RecordProperty("loads", loads);
}

// A folder's default ACL is not handed to a board that had none, another
// user that an ACL lets write a board does not take it over, and a file
// that fs.protected_regular keeps from "echo x >" is not written either.
TEST(Saveedges, ASaveNeverChangesWhoMayReadTheBoard) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  const scratchdir dir;
  const auto board = sampleboard(2, 3, 2, 2, 2);
  fs::create_directory(dir / "shared");
  const std::string plain = dir / "shared/plain.board";
  const std::string linked = dir / "shared/linked.board";
  for (const std::string& path : {plain, linked}) {
    writebytes(path, oldboard);
    ::chmod(path.c_str(), 0640);
  }
  fs::create_hard_link(linked, dir / "shared/link.board");
  if (!setacl(dir / "shared", "system.posix_acl_default", 7, nobody, 4, 0)) {
    GTEST_SKIP() << "no ACLs on this file system: " << std::strerror(errno);
  }
  for (const std::string& path : {plain, linked}) {
    ASSERT_TRUE(boards::writeboardfile(path.c_str(), *board).ok());
  }
  struct stat status;
  for (const std::string& path : {plain, linked}) {
    EXPECT_FALSE(hasacl(path)) << path;
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
  }
  // A new board gets what "echo x >" gives a new file there, ACL and all.
  const std::string made = dir / "shared/new.board";
  const std::string shell = dir / "shared/shell.board";
  ASSERT_TRUE(boards::writeboardfile(made.c_str(), *board).ok());
  ::close(::open(shell.c_str(), O_WRONLY | O_CREAT, 0666));
  struct stat shellstatus;
  ASSERT_EQ(::stat(made.c_str(), &status), 0);
  ASSERT_EQ(::stat(shell.c_str(), &shellstatus), 0);
  EXPECT_EQ(status.st_mode, shellstatus.st_mode);
  EXPECT_EQ(aclof(made), aclof(shell));

  const std::string owned = dir / "owned.board";
  writebytes(owned, oldboard);
  ::chmod(owned.c_str(), 0600);
  ASSERT_TRUE(setacl(owned, "system.posix_acl_access", 6, nobody, 6, 0));
  ::chmod(dir.path().c_str(), 01777);
  ASSERT_EQ(::stat(owned.c_str(), &status), 0);
  const mode_t mode = status.st_mode;
  EXPECT_EQ(inchild([&] {
              if (!becomenobody()) return 77;
              return boards::writeboardfile(owned.c_str(), *board).ok() ? 0 : 1;
            }),
            0);
  ASSERT_EQ(::stat(owned.c_str(), &status), 0);
  EXPECT_EQ(status.st_uid, 0u);
  EXPECT_EQ(status.st_mode, mode);
  EXPECT_TRUE(hasacl(owned));
  EXPECT_EQ(readbytes(owned), boards::encodeboard(*board));

  const std::string planted = dir / "planted.board";
  ASSERT_EQ(inchild([&] {
              if (!becomenobody()) return 77;
              writebytes(planted, oldboard);
              return 0;
            }),
            0);
  const sysctl protect("/proc/sys/fs/protected_regular", "1");
  if (!protect.set()) GTEST_SKIP() << "fs.protected_regular cannot be set";
  const auto refused = boards::writeboardfile(planted.c_str(), *board);
  EXPECT_EQ(refused.what, fault::cannotopen);
  EXPECT_EQ(refused.error, EACCES);
  EXPECT_EQ(readbytes(planted), oldboard);
}

// A folder that takes no new name (append-only, immutable) has its board
// written in place, and nothing left beside it.
TEST(Saveedges, AFolderThatTakesNoNewNameKeepsNoStrayFile) {
  for (const char* attribute : {"a", "i"}) {
    const scratchdir dir;
    const std::string folder = dir / "kept";
    fs::create_directory(folder);
    writebytes(folder + "/board", oldboard);
    const std::string set =
        std::string("chattr +") + attribute + " '" + folder + "' 2>/dev/null";
    if (std::system(set.c_str()) != 0) {
      GTEST_SKIP() << "no chattr +" << attribute << " here";
    }
    const auto board = sampleboard(4, 5, 3, 2, 2);
    const auto saved =
        boards::writeboardfile((folder + "/board").c_str(), *board);
    EXPECT_EQ(
        std::system(("chattr -" + std::string(attribute) + " '" + folder + "'")
                        .c_str()),
        0);
    EXPECT_TRUE(saved.ok()) << attribute << ": " << saved.describe();
    EXPECT_EQ(readbytes(folder + "/board"), boards::encodeboard(*board));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1);
  }
}

// Under a file size limit that the board passes, every tool that saves says
// so and ends with 1, whatever SIGXFSZ does, and the old board stays.
TEST(Saveedges, AFileSizeLimitIsAFailureOfEveryTool) {
  const scratchdir dir;
  const std::string text = std::string(BOARDS_DIR) + "/3player.txt";
  struct tool {
    const char* path;
    std::string args, output;
  };
  const tool tools[] = {
      {TRACKGEN, "", "3player.board"},
      {TRACKCOPY, "", "test.board"},
      {TRACKBUILD, "'" + text + "' built.board", "built.board"}};
  ASSERT_EQ(runin(TRACKBUILD, dir, "'" + text + "' default.board").status, 0);
  for (const tool& each : tools) {
    writebytes(dir / each.output, oldboard);
    const runresult run =
        runin("bash", dir,
              "-c \"ulimit -f 1; exec '" + std::string(each.path) + "' " +
                  each.args + "\"");
    EXPECT_EQ(run.status, 1) << each.path;
    const bool own = each.path == std::string(TRACKBUILD);
    EXPECT_TRUE(own ? run.errors.find("File too large") != std::string::npos
                    : run.output == "Error writing save file.\n")
        << each.path << ": " << run.output << run.errors;
    EXPECT_EQ(readbytes(dir / each.output), oldboard) << each.path;
  }
}

// Files that another user plants beside a board, and a lock that another
// process holds on it, change nothing: a load takes the board as it is at
// once, and a save replaces it and leaves their files alone.
TEST(Saveedges, OtherUsersFilesAndLocksChangeNothing) {
  const scratchdir dir;
  ::chmod(dir.path().c_str(), 01777);
  const std::string path = dir / "x.board";
  writebytes(path, oldboard);
  const std::vector<std::string> planted = {dir / ".x.board.rollback",
                                            dir / "x.board.recover.1"};
  ASSERT_EQ(inchild([&] {
              if (::geteuid() == 0 && !becomenobody()) return 77;
              for (const std::string& name : planted) {
                writebytes(name, bytes(17, 0xff));
              }
              return 0;
            }),
            0);
  int held[2];
  ASSERT_EQ(::pipe(held), 0);
  const pid_t locker = ::fork();
  if (locker == 0) {
    const int fd = ::open(path.c_str(), O_RDWR);
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    const bool locked = ::fcntl(fd, F_SETLK, &lock) == 0;
    if (::write(held[1], &locked, 1) != 1) std::_Exit(1);
    ::pause();
    std::_Exit(0);
  }
  bool locked = false;
  ASSERT_EQ(::read(held[0], &locked, 1), 1);
  EXPECT_TRUE(locked);
  EXPECT_EQ(inchild([&] {
              ::alarm(10);
              boardtype board;
              return boards::readboardfile(path.c_str(), board).ok() &&
                             boards::encodeboard(board) == oldboard
                         ? 0
                         : 1;
            }),
            0);
  const auto board = sampleboard(4, 5, 3, 2, 2);
  EXPECT_TRUE(boards::writeboardfile(path.c_str(), *board).ok());
  ::kill(locker, SIGKILL);
  ::waitpid(locker, nullptr, 0);
  EXPECT_EQ(readbytes(path), boards::encodeboard(*board));
  for (const std::string& name : planted) {
    EXPECT_EQ(readbytes(name), bytes(17, 0xff)) << name;
  }
  ::close(held[0]);
  ::close(held[1]);
}

// A head whose layout passes the limit is refused before anything is sized,
// even where the file, sparse, is as long as the head says.
TEST(Saveedges, AHeadAboveTheLimitIsRefusedBeforeAnythingIsSized) {
  const scratchdir dir;
  const std::string path = dir / "sparse.board";
  bytes head(36, 0);
  const std::int32_t sizes[] = {0x7fffffff, 256, 0, 0, 0};
  for (int i = 0; i < 5; ++i) {
    for (int b = 0; b < 4; ++b) {
      head[16 + 4 * i + b] = static_cast<unsigned char>(sizes[i] >> (8 * b));
    }
  }
  writebytes(path, head);
  const std::uint64_t needed =
      boards::boardfilelength(0x7fffffff, 256, 0, 0, 0);
  if (::truncate(path.c_str(), static_cast<off_t>(needed)) != 0) {
    GTEST_SKIP() << "no sparse file of a terabyte here";
  }
  boardtype board;
  const auto loaded = boards::readboardfile(path.c_str(), board);
  EXPECT_EQ(loaded.what, boards::loadresulttype::fault::toolarge);
  EXPECT_EQ(loaded.describe(),
            "the layout needs 1 TiB (1099511627814 bytes), above the limit "
            "of 1 GiB");
  const auto smaller = boards::readboardfile(path.c_str(), board, {1000});
  EXPECT_EQ(smaller.limit, 1000u);
  const runresult run = runin(TRACKCHECK, dir, "--max-size=1K sparse.board");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("above the limit of 1 KiB (--max-size)"),
            std::string::npos)
      << run.output;
}

#ifndef TESTS_SCRATCH_H_
#define TESTS_SCRATCH_H_

// Helpers for tests that touch the file system: a scratch folder that removes
// itself, whole-file reads and writes, and running a tool inside a folder.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using bytes = std::vector<unsigned char>;

class scratchdir {
 public:
  scratchdir() {
    std::string name =
        (std::filesystem::temp_directory_path() / "boards.XXXXXX").string();
    path_ = ::mkdtemp(name.data());
  }
  ~scratchdir() { std::filesystem::remove_all(path_); }
  scratchdir(const scratchdir&) = delete;
  scratchdir& operator=(const scratchdir&) = delete;

  std::string operator/(const std::string& name) const {
    return (path_ / name).string();
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline bytes readbytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return bytes(std::istreambuf_iterator<char>(in), {});
}

inline void writebytes(const std::string& path, const bytes& content) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(content.data()),
            static_cast<std::streamsize>(content.size()));
}

struct runresult {
  int status;
  std::string output;  // what the tool printed on standard output
  std::string errors;  // and on standard error
};

// Runs a tool with the folder as its working directory; args are passed to
// the shell as they stand.
inline runresult runin(const std::string& tool, const scratchdir& dir,
                       const std::string& args = "") {
  const std::string out = dir / "stdout.txt";
  const std::string err = dir / "stderr.txt";
  const std::string command = "cd '" + dir.path().string() + "' && '" + tool +
                              "' " + args + " > '" + out + "' 2> '" + err + "'";
  const int raw = std::system(command.c_str());
  const bytes printed = readbytes(out);
  const bytes complained = readbytes(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1,
          std::string(printed.begin(), printed.end()),
          std::string(complained.begin(), complained.end())};
}

// Runs a tool whose output file cannot be written: first a directory stands
// in its place, then a link to a full disk. Each time the tool must say so
// and end with 1, and the link must still be there.
inline void expectunwritable(const std::string& tool, const scratchdir& dir,
                             const std::string& output) {
  std::filesystem::remove(dir / output);
  std::filesystem::create_directory(dir / output);
  runresult run = runin(tool, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "Error opening save file.\n");

  std::filesystem::remove(dir / output);
  std::filesystem::create_symlink("/dev/full", dir / output);
  run = runin(tool, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "Error writing save file.\n");
  EXPECT_TRUE(std::filesystem::is_symlink(dir / output));
}

#endif  // TESTS_SCRATCH_H_

#include "trackedit/recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>

#include "board/boardfile.h"

namespace trackedit {
namespace {

constexpr char suffix[] = ".recover";
// Enough for any session's leftovers; past it, the folder is not used.
constexpr int mostrecoveries = 1000;
constexpr std::size_t longestname = 200;

struct place {
  std::string folder;
  std::string name;  // the first recovery's name; later ones add .N
};

std::string folderof(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameof(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name in the folder; an empty folder is the current one, named as
// the board was: "x.recover" beside a board named "x".
std::string joinpath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder == "/" ? "/" + name : folder + "/" + name;
}

// Beside the board first, then the state folder.
std::vector<place> placesof(const std::string& path) {
  const bool bare = path.find('/') == std::string::npos;
  std::vector<place> places{
      {bare ? std::string() : folderof(path), nameof(path) + suffix}};
  if (const std::string state = statefolder(); !state.empty()) {
    places.push_back({state, statename(fullpath(path)) + suffix});
  }
  return places;
}

// Whether name is first, or first and a dot and a number.
std::optional<long> numberof(const std::string& name,
                             const std::string& first) {
  if (name == first) return 0;
  if (name.size() <= first.size() + 1 || name.compare(0, first.size(), first) ||
      name[first.size()] != '.') {
    return std::nullopt;
  }
  const std::string digits = name.substr(first.size() + 1);
  if (!std::all_of(digits.begin(), digits.end(),
                   [](char c) { return c >= '0' && c <= '9'; }) ||
      digits.size() > 6) {
    return std::nullopt;
  }
  return std::atol(digits.c_str());
}

// Whether a recovery may be trusted: a file of the user's own that nobody
// else may write (another user can plant a file in a shared folder).
bool trusted(const struct stat& status) {
  return S_ISREG(status.st_mode) && status.st_uid == ::geteuid() &&
         (status.st_mode & 022) == 0;
}

// Makes each missing folder of the path, readable by its owner alone.
int makefolders(const std::string& folder) {
  for (std::size_t slash = 1; slash != std::string::npos;) {
    slash = folder.find('/', slash + 1);
    const std::string part = folder.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  }
  return 0;
}

// FNV-1a, for names too long to keep whole.
std::uint64_t checksum(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

}  // namespace

std::string statefolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') {
    return std::string(state) + "/trackedit";
  }
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') {
    return std::string(home) + "/.local/state/trackedit";
  }
  return {};
}

std::string statename(const std::string& fullpath) {
  std::string name;
  for (const char c : fullpath) {
    name += c == '%' ? "%25" : c == '/' ? "%2F" : std::string(1, c);
  }
  if (name.size() <= longestname) return name;
  char sum[20];
  std::snprintf(sum, sizeof sum, "%016llx",
                static_cast<unsigned long long>(checksum(fullpath)));
  return sum + ("-" + name.substr(name.size() - (longestname - 17)));
}

std::string fullpath(const std::string& path) {
  char* resolved = ::realpath(folderof(path).c_str(), nullptr);
  if (resolved == nullptr) {
    if (!path.empty() && path[0] == '/') return path;
    char* here = ::getcwd(nullptr, 0);
    const std::string whole = joinpath(here ? here : ".", path);
    std::free(here);
    return whole;
  }
  const std::string whole = joinpath(resolved, nameof(path));
  std::free(resolved);
  return whole;
}

std::vector<recoveryfile> findrecoveries(const std::string& path) {
  struct found {
    recoveryfile file;
    timespec when;
    long number;
  };
  std::vector<found> all;
  for (const place& at : placesof(path)) {
    DIR* folder = ::opendir(at.folder.empty() ? "." : at.folder.c_str());
    if (folder == nullptr) continue;
    while (const dirent* entry = ::readdir(folder)) {
      const auto number = numberof(entry->d_name, at.name);
      struct stat status;
      const std::string file = joinpath(at.folder, entry->d_name);
      if (!number || ::lstat(file.c_str(), &status) != 0 || !trusted(status)) {
        continue;
      }
      all.push_back({{file, status.st_mtime}, status.st_mtim, *number});
    }
    ::closedir(folder);
  }
  std::sort(all.begin(), all.end(), [](const found& a, const found& b) {
    if (a.when.tv_sec != b.when.tv_sec) return a.when.tv_sec > b.when.tv_sec;
    if (a.when.tv_nsec != b.when.tv_nsec) {
      return a.when.tv_nsec > b.when.tv_nsec;
    }
    return a.number > b.number;
  });
  std::vector<recoveryfile> files;
  for (const found& f : all) files.push_back(f.file);
  return files;
}

std::string readrecovery(const std::string& path, std::string& text) {
  const int fd =
      ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return std::strerror(errno);
  struct stat status;
  std::string error;
  if (::fstat(fd, &status) != 0) {
    error = std::strerror(errno);
  } else if (!trusted(status)) {
    error = "not a file of your own that only you may write";
  }
  char buffer[65536];
  for (ssize_t n = 1; error.empty() && n != 0;) {
    n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno != EINTR) error = std::strerror(errno);
    if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return error;
}

recoveryresult writerecovery(const std::string& path, const std::string& text,
                             unsigned boardmode) {
  const unsigned mode = (boardmode & 0600) | 0400;
  const boards::contentmaker make = [&text](const boards::bytesink& sink) {
    return sink(std::span<const unsigned char>(
        reinterpret_cast<const unsigned char*>(text.data()), text.size()));
  };
  boards::saveoptions options;
  options.sync = true;
  recoveryresult result;
  const std::vector<place> places = placesof(path);
  for (const place& at : places) {
    if (&at != &places.front()) {
      if (const int error = makefolders(at.folder)) {
        result.error = at.folder + ": " + std::strerror(error);
        continue;
      }
    }
    for (int n = 0; n < mostrecoveries; ++n) {
      const std::string name = joinpath(
          at.folder, n == 0 ? at.name : at.name + "." + std::to_string(n));
      const auto made =
          boards::createfile(name.c_str(), text.size(), make, mode, options);
      if (made.ok()) return {name, {}};
      result.error = name + ": " + made.describe();
      if (made.what != boards::saveresulttype::fault::cannotopen ||
          made.error != EEXIST) {
        break;
      }
    }
  }
  return result;
}

std::string logrecovery(const std::string& path, const std::string& line) {
  const std::string folder = statefolder();
  if (folder.empty() || makefolders(folder) != 0) return {};
  const std::string log = folder + "/recovery.log";
  const int fd =
      ::open(log.c_str(),
             O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return {};
  char when[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
  const std::string entry =
      std::string(when) + " " + fullpath(path) + ": " + line + "\n";
  const bool written = ::write(fd, entry.data(), entry.size()) ==
                       static_cast<ssize_t>(entry.size());
  return ::close(fd) == 0 && written ? log : std::string();
}

}  // namespace trackedit

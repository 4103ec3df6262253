// The fuzz entry point over the board decoder and the file loader. Every
// input must either be rejected with a reason, or decode to a board that
// encodes back to exactly the bytes of its layout; and the same input as a
// file must load the same way, whether it stands alone or in a file that a
// save in place left with its journal, whole or torn. Anything else aborts.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "board/boardfile.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

using bytes = std::vector<unsigned char>;

void checkdecoded(std::span<const unsigned char> input) {
  boardtype board;
  const boards::loadresulttype result = boards::decodeboard(input, board);
  if (!result.ok()) {
    // A rejected input leaves the board untouched.
    if (board.height != 0 || board.trackcount != 0) std::abort();
    return;
  }
  // Encode it again, comparing each piece with the layout's next bytes.
  if (result.needed > input.size()) std::abort();
  std::span<const unsigned char> layout = input.first(result.needed);
  const bool same = boards::encodeboard(
      board, [&layout](std::span<const unsigned char> piece) {
        if (piece.size() > layout.size() ||
            !std::equal(piece.begin(), piece.end(), layout.begin())) {
          return false;
        }
        layout = layout.subspan(piece.size());
        return true;
      });
  if (!same || !layout.empty()) std::abort();
}

// What a load came to: its fault, and the board's bytes when it loaded.
struct loaded {
  boards::loadresulttype::fault what;
  bytes board;
  bool operator==(const loaded&) const = default;
};

loaded frommemory(std::span<const unsigned char> input) {
  boardtype board;
  const auto result = boards::decodeboard(input, board);
  return {result.what, result.ok() ? boards::encodeboard(board) : bytes()};
}

loaded fromfile(const bytes& content) {
  const int fd = ::memfd_create("board", MFD_CLOEXEC);
  if (fd < 0) std::abort();
  if (!content.empty() && ::write(fd, content.data(), content.size()) !=
                              static_cast<ssize_t>(content.size())) {
    std::abort();
  }
  boardtype board;
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  const auto result = boards::readboardfile(path.c_str(), board);
  ::close(fd);
  return {result.what, result.ok() ? boards::encodeboard(board) : bytes()};
}

void put64(bytes& to, std::uint64_t value) {
  for (int i = 0; i < 8; ++i)
    to.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// The input as a save in place leaves it once its journal is written: an
// old front, the input after it, and a trailer; torn, the checksum is off.
bytes withjournal(std::span<const unsigned char> input, bool torn) {
  bytes file(input.rbegin(), input.rend());
  const std::uint64_t offset = std::max(file.size(), input.size());
  file.resize(offset);
  file.insert(file.end(), input.begin(), input.end());
  bytes trailer = {'b', 'o', 'a', 'r', 'd', 'j', 'n', 'l'};
  put64(trailer, offset);
  put64(trailer, input.size());
  XXH3_state_t sum;
  XXH3_64bits_reset(&sum);
  XXH3_64bits_update(&sum, input.data(), input.size());
  XXH3_64bits_update(&sum, trailer.data(), trailer.size());
  put64(trailer, XXH3_64bits_digest(&sum) ^ (torn ? 1 : 0));
  file.insert(file.end(), trailer.begin(), trailer.end());
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::span<const unsigned char> input(data, size);
  checkdecoded(input);
  const loaded expected = frommemory(input);
  if (fromfile(bytes(input.begin(), input.end())) != expected) std::abort();
  if (fromfile(withjournal(input, false)) != expected) std::abort();
  const bytes torn = withjournal(input, true);
  if (fromfile(torn) != frommemory(torn)) std::abort();
  return 0;
}

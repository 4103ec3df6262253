#include "board/journal.h"

#include <fcntl.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "board/savecalls.h"
#include "board/savesteps.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace boards {

namespace {

using fault = saveresulttype::fault;

// The trailer: the magic, then the offset, the length and the checksum, each
// a little-endian 64-bit number.
constexpr unsigned char magic[8] = {'b', 'o', 'a', 'r', 'd', 'j', 'n', 'l'};
constexpr unsigned char pendingmagic[8] = {'b', 'o', 'a', 'r',
                                           'd', 'n', 'e', 'w'};
constexpr std::size_t figureslength = 24;  // magic, offset and length

void put64(unsigned char* to, std::uint64_t value) {
  for (int i = 0; i < 8; ++i)
    to[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint64_t get64(const unsigned char* from) {
  std::uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value |= std::uint64_t{from[i]} << (8 * i);
  return value;
}

// The checksum of a journal: its content, then the trailer's figures, so
// that a trailer pointing at other bytes of the file fails it too.
class journalsum {
 public:
  journalsum() { XXH3_64bits_reset(&state_); }
  void add(std::span<const unsigned char> piece) {
    XXH3_64bits_update(&state_, piece.data(), piece.size());
  }
  std::uint64_t finish(const unsigned char* figures) {
    XXH3_64bits_update(&state_, figures, figureslength);
    return XXH3_64bits_digest(&state_);
  }

 private:
  XXH3_state_t state_;
};

// A record of the tail: its magic and two figures; the last eight bytes
// are the checksum's.
std::array<unsigned char, trailerlength> recordof(
    const unsigned char (&kind)[8], std::uint64_t first, std::uint64_t second) {
  std::array<unsigned char, trailerlength> record{};
  std::copy_n(kind, sizeof kind, record.begin());
  put64(record.data() + 8, first);
  put64(record.data() + 16, second);
  return record;
}

// A trailer's figures, whose checksum covers the content as well.
std::array<unsigned char, trailerlength> trailerof(std::uint64_t offset,
                                                   std::uint64_t length) {
  return recordof(magic, offset, length);
}

// The pending record of a journal: its magic, where the file ended before,
// the content's length, and a checksum of those 24 bytes.
std::array<unsigned char, trailerlength> pendingof(std::uint64_t end,
                                                   std::uint64_t length) {
  auto pending = recordof(pendingmagic, end, length);
  put64(pending.data() + figureslength,
        XXH3_64bits(pending.data(), figureslength));
  return pending;
}

// Bytes written before the disk is asked to start on them, so that the sync
// that follows the last of them has little left to wait for.
constexpr std::uint64_t writebehind = std::uint64_t{1} << 20;

// Feeds the content to the file from offset on, summing what it writes.
saveresulttype writesummed(int fd, std::uint64_t offset, std::uint64_t length,
                           const contentmaker& make, journalsum& sum) {
  std::uint64_t fed = 0;
  std::uint64_t started = 0;  // bytes the disk was asked to write
  return feedcontent(
      make, length,
      [&](std::span<const unsigned char> piece) {
        sum.add(piece);
        const int error = writeall(fd, piece.data(), piece.size(),
                                   static_cast<off_t>(offset + fed));
        const std::uint64_t written = fed + piece.size();
        if (error == 0 && written - started >= writebehind) {
          // Only a head start: the sync that follows still waits for all.
          savesystem.syncrange(fd, static_cast<off_t>(offset + started),
                               static_cast<off_t>(written - started),
                               SYNC_FILE_RANGE_WRITE);
          started = written;
        }
        return error;
      },
      fed);
}

// Whether the content the trailer points at matches its checksum; the errno
// of a read that failed, else 0.
int checksum(int fd, const journal& found, bool& matches) {
  journalsum sum;
  std::vector<unsigned char> buffer(static_cast<std::size_t>(
      std::min<std::uint64_t>(found.length, boardpiecelength)));
  for (std::uint64_t done = 0; done < found.length;) {
    const auto piece = static_cast<std::size_t>(
        std::min<std::uint64_t>(found.length - done, buffer.size()));
    if (const int error = readall(fd, buffer.data(), piece,
                                  static_cast<off_t>(found.offset + done))) {
      return error;
    }
    sum.add(std::span(buffer.data(), piece));
    done += piece;
  }
  matches =
      sum.finish(trailerof(found.offset, found.length).data()) == found.sum;
  return 0;
}

}  // namespace

filetail readtail(int fd, std::uint64_t filesize) {
  filetail tail;
  tail.length = static_cast<std::size_t>(
      std::min<std::uint64_t>(filesize, trailerlength));
  tail.error = readall(fd, tail.bytes.data(), tail.length,
                       static_cast<off_t>(filesize - tail.length));
  return tail;
}

std::optional<journal> trailerin(const filetail& tail, std::uint64_t filesize) {
  const unsigned char* trailer = tail.bytes.data();
  if (tail.error != 0 || tail.length < trailerlength ||
      !std::equal(magic, magic + sizeof magic, trailer)) {
    return std::nullopt;
  }
  const journal found{get64(trailer + 8), get64(trailer + 16),
                      get64(trailer + figureslength)};
  // The content lies between the front it replaces and the trailer, which
  // ends the file.
  const std::uint64_t room = filesize - trailerlength;
  if (found.offset > room || found.length != room - found.offset ||
      found.length > found.offset) {
    return std::nullopt;
  }
  return found;
}

journalsearch findjournal(int fd, std::uint64_t filesize,
                          const filetail& tail) {
  journalsearch search;
  search.error = tail.error;
  const std::optional<journal> found = trailerin(tail, filesize);
  if (!found) return search;
  bool matches = false;
  search.error = checksum(fd, *found, matches);
  if (search.error == 0 && matches) search.found = found;
  return search;
}

loadresulttype decodejournal(int fd, const journal& from, boardtype& board,
                             const loadoptions& options, bool& matched) {
  matched = false;
  if (from.length > options.maxsize) {
    loadresulttype refused =
        loadresulttype::failed(loadresulttype::fault::toolarge);
    refused.needed = refused.found = from.length;
    refused.limit = options.maxsize;
    matched = true;
    return refused;
  }
  journalsum sum;
  std::vector<unsigned char> buffer(boardpiecelength);
  int error = 0;
  bool cut = false;  // the file ended before the journal did
  std::uint64_t at = from.offset;
  const std::uint64_t end = from.offset + from.length;
  const bytesource source = [&](std::size_t most) {
    const auto wanted = static_cast<std::size_t>(
        std::min<std::uint64_t>({most, buffer.size(), end - at}));
    ssize_t got = 0;
    do {
      got = wanted == 0 ? 0
                        : savesystem.pread(fd, buffer.data(), wanted,
                                           static_cast<off_t>(at));
    } while (got < 0 && errno == EINTR);
    if (got < 0) error = errno;
    cut = cut || (wanted > 0 && got == 0);
    const std::span<const unsigned char> piece(
        buffer.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
    sum.add(piece);
    at += piece.size();
    return piece;
  };
  boardtype read;
  loadresulttype result = decodeboard(source, from.length, read, options);
  // Bytes past the layout count for the checksum too.
  while (at < end && !source(buffer.size()).empty()) {
  }
  const auto figures = trailerof(from.offset, from.length);
  matched = !cut && at == end && sum.finish(figures.data()) == from.sum;
  if (error != 0) {
    return loadresulttype::failed(loadresulttype::fault::readfailed, error);
  }
  if (matched && result.ok()) board = std::move(read);
  return result;
}

std::uint64_t journaloffset(std::uint64_t end, std::uint64_t length) {
  return std::max(end, length);
}

saveresulttype appendjournal(int fd, std::uint64_t end, std::uint64_t length,
                             const contentmaker& make, journal& made) {
  const std::uint64_t offset = journaloffset(end, length);
  const std::array<unsigned char, trailerlength> pending =
      pendingof(end, length);
  if (const int error = writeall(fd, pending.data(), pending.size(),
                                 static_cast<off_t>(offset + length))) {
    return saveresulttype::failed(fault::writefailed, error);
  }
  journalsum sum;
  if (saveresulttype fed = writesummed(fd, offset, length, make, sum);
      !fed.ok()) {
    return fed;
  }
  std::array<unsigned char, trailerlength> trailer = trailerof(offset, length);
  made = {offset, length, sum.finish(trailer.data())};
  put64(trailer.data() + figureslength, made.sum);
  if (const int error = writeall(fd, trailer.data(), trailer.size(),
                                 static_cast<off_t>(offset + length))) {
    return saveresulttype::failed(fault::writefailed, error);
  }
  return {};
}

std::optional<std::uint64_t> pendingjournal(const filetail& tail,
                                            std::uint64_t filesize) {
  if (tail.error != 0 || tail.length < trailerlength) return std::nullopt;
  const std::uint64_t end = get64(tail.bytes.data() + 8);
  const std::uint64_t length = get64(tail.bytes.data() + 16);
  if (!std::ranges::equal(tail.bytes, pendingof(end, length)) ||
      end >= filesize || filesize - trailerlength < length ||
      journaloffset(end, length) != filesize - trailerlength - length) {
    return std::nullopt;
  }
  return end;
}

saveresulttype writefront(int fd, const journal& from,
                          const contentmaker& make) {
  journalsum sum;
  if (saveresulttype fed = writesummed(fd, 0, from.length, make, sum);
      !fed.ok()) {
    return fed;
  }
  if (sum.finish(trailerof(from.offset, from.length).data()) != from.sum) {
    return saveresulttype::failed(
        fault::writefailed,
        "the content differed from the journal it was copied from");
  }
  return {};
}

contentmaker journalcontent(int fd, const journal& from, int& readerror) {
  return [fd, from, &readerror](const bytesink& sink) {
    std::vector<unsigned char> buffer(static_cast<std::size_t>(
        std::min<std::uint64_t>(from.length, boardpiecelength)));
    for (std::uint64_t done = 0; done < from.length;) {
      const auto piece = static_cast<std::size_t>(
          std::min<std::uint64_t>(from.length - done, buffer.size()));
      readerror = readall(fd, buffer.data(), piece,
                          static_cast<off_t>(from.offset + done));
      if (readerror != 0 || !sink(std::span(buffer.data(), piece))) {
        return false;
      }
      done += piece;
    }
    return true;
  };
}

}  // namespace boards

#ifndef BOARD_JOURNAL_H_
#define BOARD_JOURNAL_H_

// A file written in place keeps its journal inside itself, as a database's
// doublewrite buffer does: the new content is appended past the file's end,
// clear of the front that it will replace, followed by a trailer of
// trailerlength bytes: a magic, the content's offset and length, and a
// checksum of the content and of those figures. While the content is being
// written, a pending record in the trailer's place already ends the file,
// saying where the file ended before. Once the trailer is whole,
// the journal is the file's content: readers take it, and the writer copies
// it over the front and then cuts the file to its length. A file whose last
// bytes are no valid trailer holds its content at the front; whatever lies
// past that, such as the torn tail of a save killed before its trailer was
// whole, means nothing: its pending record tells it from bytes that were
// there before, and lets the next save cut it off. The library's own; not
// installed.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "board/boardfile.h"

namespace boards {

inline constexpr std::size_t trailerlength = 32;

// Where the content of a journal of this length goes in a file that ends at
// end: past it, and clear of the front it will replace.
std::uint64_t journaloffset(std::uint64_t end, std::uint64_t length);

// A journal's content in its file, and the trailer's checksum of it.
struct journal {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  std::uint64_t sum = 0;
};

// The last bytes of a file, as many as a trailer takes or as the file has.
struct filetail {
  std::array<unsigned char, trailerlength> bytes{};
  std::size_t length = 0;
  int error = 0;  // the errno of a read that failed
  bool operator==(const filetail&) const = default;
};

// Reads the tail of a file of this size.
filetail readtail(int fd, std::uint64_t filesize);

// The journal that the tail of a file of this size points at, if it is a
// trailer: its magic, and an offset and length that fit the file. Whether
// the content matches the checksum is not yet known.
std::optional<journal> trailerin(const filetail& tail, std::uint64_t filesize);

// What looking for a journal found: none (the front holds the content), a
// journal whose checksum is right, or the errno of a read that failed.
struct journalsearch {
  std::optional<journal> found;
  int error = 0;
};

// Whether the file, whose tail this is, ends in a trailer whose content
// matches its checksum.
journalsearch findjournal(int fd, std::uint64_t filesize, const filetail& tail);

// Reads a board from the journal's content, and whether the bytes read
// match its checksum (matched): only then is the board the journal's, and
// only then does the board change. A journal longer than the limit is
// refused unread, as toolarge.
loadresulttype decodejournal(int fd, const journal& from, boardtype& board,
                             const loadoptions& options, bool& matched);

// Writes past the end of the file, which ends at end, the pending record
// where the trailer will go, the length bytes that make hands over, and
// their trailer over the pending record; the journal it made, or why it
// could not.
saveresulttype appendjournal(int fd, std::uint64_t end, std::uint64_t length,
                             const contentmaker& make, journal& made);

// Where the file ended before a journal that never got its trailer, when the
// tail of a file of this size is its pending record. Bytes from there on are
// no part of the file's content.
std::optional<std::uint64_t> pendingjournal(const filetail& tail,
                                            std::uint64_t filesize);

// Writes the content that make hands over at the front of the file, and
// holds it to the journal's checksum: content that differs from the journal
// fails.
saveresulttype writefront(int fd, const journal& from,
                          const contentmaker& make);

// Hands the journal's content over as it stands in the file; a read that
// fails stops it with its errno in readerror.
contentmaker journalcontent(int fd, const journal& from, int& readerror);

}  // namespace boards

#endif  // BOARD_JOURNAL_H_

#ifndef TRACKCHECK_CHECKS_H_
#define TRACKCHECK_CHECKS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "board/boardtype.h"

// Problems found on a board: all are counted, the first few are described.
struct problemlisttype {
  explicit problemlisttype(std::size_t limit) : limit(limit) {}
  void add(std::string line);

  std::size_t limit;               // most lines kept
  std::int64_t count = 0;          // problems found
  std::vector<std::string> lines;  // the first limit of them, described
};

// What is wrong with a loaded board: holes outside the picture, on a blank
// cell or sharing a cell, and color indices not below the pair count.
problemlisttype findproblems(const boardtype& board, std::size_t limit);

#endif  // TRACKCHECK_CHECKS_H_

#ifndef TOOLS_COUNTED_H_
#define TOOLS_COUNTED_H_

// Counts as the tools print them: "1 track", "3 tracks", "0 problems".

#include <cstdint>
#include <string>
#include <string_view>

namespace tools {

// The count and the noun, plural unless the count is 1.
inline std::string counted(std::int64_t count, std::string_view noun) {
  std::string text = std::to_string(count) + ' ';
  text += noun;
  if (count != 1) text += 's';
  return text;
}

}  // namespace tools

#endif  // TOOLS_COUNTED_H_

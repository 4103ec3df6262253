#include "tools/loadlimit.h"

#include <charconv>
#include <limits>
#include <system_error>

namespace tools {

bool maxsizeoption(std::string_view value, std::uint64_t& bytes) {
  std::uint64_t count = 0;
  const char* end = value.data() + value.size();
  const auto [rest, error] = std::from_chars(value.data(), end, count);
  if (error != std::errc() || rest == value.data() || count == 0) return false;
  const std::string_view suffix(rest, static_cast<std::size_t>(end - rest));
  constexpr std::string_view units = "KMGT";
  int shift = 0;
  if (!suffix.empty()) {
    const std::size_t unit = units.find(suffix.front());
    if (suffix.size() != 1 || unit == std::string_view::npos) return false;
    shift = 10 * static_cast<int>(unit + 1);
  }
  if (count > std::numeric_limits<std::uint64_t>::max() >> shift) return false;
  bytes = count << shift;
  return true;
}

std::string loadfault(const boards::loadresulttype& loaded) {
  const bool limited = loaded.what == boards::loadresulttype::fault::toolarge;
  return loaded.describe() + (limited ? " (--max-size)" : "");
}

}  // namespace tools

#ifndef TOOLS_LOADLIMIT_H_
#define TOOLS_LOADLIMIT_H_

// The tools that load boards share their limit: "--max-size=SIZE", the most
// bytes a board file's layout may need before a load refuses it.

#include <cstdint>
#include <string>
#include <string_view>

#include "board/boardfile.h"

namespace tools {

// SIZE: a number of bytes, or of KiB, MiB, GiB or TiB with K, M, G or T
// after it. False for anything else, 0 included.
bool maxsizeoption(std::string_view value, std::uint64_t& bytes);

// Why a load failed, for people; a layout above the limit also names the
// option that raises it.
std::string loadfault(const boards::loadresulttype& loaded);

}  // namespace tools

#endif  // TOOLS_LOADLIMIT_H_

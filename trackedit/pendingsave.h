#ifndef TRACKEDIT_PENDINGSAVE_H_
#define TRACKEDIT_PENDINGSAVE_H_

// Stand-ins for boardfile.h's writefile/createfile/cansave until they land
// on main; removed at the merge.

#include <cstdint>
#include <functional>

#include "board/boardfile.h"

namespace boards {
using contentmaker = std::function<bool(const bytesink& sink)>;
saveresulttype createfile(const char* path, std::uint64_t length,
                          const contentmaker& make, unsigned mode,
                          const saveoptions& options = {});
int cansave(const char* path);
}  // namespace boards

#endif  // TRACKEDIT_PENDINGSAVE_H_

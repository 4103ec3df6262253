#include "tools/arguments.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "board/version.h"
#include "tools/closeout.h"
#include "tools/quote.h"

namespace tools {
namespace {

bool isknown(std::string_view option, std::span<const std::string_view> known) {
  return std::any_of(known.begin(), known.end(), [option](std::string_view k) {
    return k.ends_with('=') ? option.starts_with(k) : option == k;
  });
}

}  // namespace

std::optional<int> parsecommandline(int argc, char** argv, const char* tool,
                                    const char* usage,
                                    std::span<const std::string_view> known,
                                    commandline& parsed) {
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!options || arg == "-" || !arg.starts_with('-')) {
      parsed.operands.push_back(argv[i]);
    } else if (arg == "--") {
      options = false;
    } else if (arg == "--help") {
      std::fputs(usage, stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("%s %s\n", tool, BOARDS_VERSION);
      return 0;
    } else if (isknown(arg, known)) {
      parsed.options.push_back(arg);
    } else {
      return usageerror(tool, usage, "unknown option " + std::string(arg));
    }
  }
  return std::nullopt;
}

std::optional<int> refusearguments(int argc, char** argv, const char* tool,
                                   const char* usage) {
  if (argc < 2) return std::nullopt;
  commandline parsed;
  if (const std::optional<int> status =
          parsecommandline(argc, argv, tool, usage, {}, parsed)) {
    return *status == 0 && !closestdout(tool) ? 1 : *status;
  }
  const char* first = parsed.operands.empty() ? "--" : parsed.operands.front();
  return usageerror(tool, usage, "unexpected argument " + quotename(first));
}

int usageerror(const char* tool, const char* usage, std::string_view what) {
  std::fprintf(stderr, "%s: %.*s\n%s", tool, static_cast<int>(what.size()),
               what.data(), usage);
  return 2;
}

}  // namespace tools

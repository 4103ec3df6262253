#ifndef TOOLS_ARGUMENTS_H_
#define TOOLS_ARGUMENTS_H_

// The command line of the tools that take options: "--help" and "--version"
// are answered at once, other options are checked against the tool's own,
// and "--" ends the options ("-" alone is an operand, standard input).

#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tools {

struct commandline {
  std::vector<std::string_view> options;  // in order, as given
  std::vector<const char*> operands;
};

// Reads the command line into parsed. Returns an exit status when the tool
// is done: 0 after the usage or the version was printed, 2 after an unknown
// option (with the usage on standard error). An option in known that ends
// in "=" takes a value: "--color=" accepts "--color=never".
std::optional<int> parsecommandline(int argc, char** argv, const char* tool,
                                    const char* usage,
                                    std::span<const std::string_view> known,
                                    commandline& parsed);

// The command line of a tool that takes no arguments: empty when there are
// none, else the exit status the tool ends with (0 after "--help" or
// "--version", 1 when that did not reach standard output, 2 after anything
// else, with the usage on standard error).
// A tool that writes in the current folder must not write when asked for
// help.
std::optional<int> refusearguments(int argc, char** argv, const char* tool,
                                   const char* usage);

// Reports a usage error on standard error, with the usage; returns 2.
int usageerror(const char* tool, const char* usage, std::string_view what);

}  // namespace tools

#endif  // TOOLS_ARGUMENTS_H_

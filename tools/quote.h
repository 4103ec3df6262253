#ifndef TOOLS_QUOTE_H_
#define TOOLS_QUOTE_H_

// File names in messages. A name can hold any byte but '/' and 0, escape
// sequences included, and a message must not let it drive the terminal.

#include <string>
#include <string_view>

namespace tools {

// The name as a message shows it: unchanged when every character is
// printable (UTF-8 included), else quoted for the shell as $'...', with each
// control character, invalid byte, quote and backslash escaped, so that the
// text pasted back into a shell names the same file.
std::string quotename(std::string_view name);

// The text as a JSON string, quotes included, valid JSON and UTF-8 whatever
// bytes it holds: printable UTF-8 as it is, '"' and '\\' escaped, and every
// other byte (controls, bytes of no valid character) as \u00XX of the byte.
std::string jsonstring(std::string_view text);

}  // namespace tools

#endif  // TOOLS_QUOTE_H_

#include "tools/quote.h"

#include <cstddef>
#include <cstdio>

namespace tools {
namespace {

// The length of the printable UTF-8 character at the start of rest, or 0 when
// it starts with a control character (C0, DEL or C1) or an invalid sequence.
std::size_t printablelength(std::string_view rest) {
  const auto lead = static_cast<unsigned char>(rest[0]);
  if (lead < 0x80) return lead >= 0x20 && lead != 0x7f ? 1 : 0;
  std::size_t length = 0;
  char32_t code = 0;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2, code = lead & 0x1fu;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3, code = lead & 0x0fu;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4, code = lead & 0x07u;
  } else {
    return 0;
  }
  if (rest.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(rest[i]);
    if ((next & 0xc0u) != 0x80) return 0;
    code = (code << 6) | (next & 0x3fu);
  }
  // Overlong forms, surrogates, values past U+10FFFF and the C1 controls.
  const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < least[length] || (code >= 0xd800 && code <= 0xdfff) ||
      code > 0x10ffff || code < 0xa0) {
    return 0;
  }
  return length;
}

bool printable(std::string_view name) {
  for (std::size_t at = 0; at < name.size();) {
    const std::size_t length = printablelength(name.substr(at));
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string escaped(unsigned char byte) {
  switch (byte) {
    case '\a':
      return "\\a";
    case '\b':
      return "\\b";
    case '\t':
      return "\\t";
    case '\n':
      return "\\n";
    case '\v':
      return "\\v";
    case '\f':
      return "\\f";
    case '\r':
      return "\\r";
    case 0x1b:
      return "\\e";
    case '\'':
      return "\\'";
    case '\\':
      return "\\\\";
  }
  char octal[5];
  std::snprintf(octal, sizeof octal, "\\%03o", byte);
  return octal;
}

}  // namespace

std::string quotename(std::string_view name) {
  if (printable(name)) return std::string(name);
  std::string quoted = "$'";
  for (std::size_t at = 0; at < name.size();) {
    const std::size_t length = printablelength(name.substr(at));
    const auto byte = static_cast<unsigned char>(name[at]);
    if (length == 0 || byte == '\'' || byte == '\\') {
      quoted += escaped(byte);
      at += 1;
    } else {
      quoted.append(name.substr(at, length));
      at += length;
    }
  }
  return quoted + "'";
}

std::string jsonstring(std::string_view text) {
  std::string json = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = printablelength(text.substr(at));
    const auto byte = static_cast<unsigned char>(text[at]);
    if (length == 0) {
      char escape[7];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      json += escape;
      at += 1;
    } else {
      if (byte == '"' || byte == '\\') json += '\\';
      json.append(text.substr(at, length));
      at += length;
    }
  }
  return json + '"';
}

}  // namespace tools

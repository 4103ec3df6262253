#include "trackedit/text.h"

#include <algorithm>

#include "trackedit/keys.h"

namespace trackedit {
namespace {

std::string cellname(celltype cell) {
  // Appended piece by piece: a chain of + trips a false -Wrestrict in g++ 12.
  std::string name = "(";
  name += std::to_string(cell.row);
  name += ", ";
  name += std::to_string(cell.column);
  name += ')';
  return name;
}

std::string plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A part of the status line; a larger need stays longer.
struct part {
  std::string text;
  int need;
};
constexpr int always = 100;

std::vector<part> statusparts(const editor& state) {
  static constexpr const char* modes[] = {"PICTURE", "COLOR", "HOLE"};
  const document& doc = state.doc();
  const celltype cursor = state.cursor();
  std::vector<part> parts;
  parts.push_back({modes[static_cast<int>(state.mode())], always});
  parts.push_back({cellname(cursor), always});
  if (doc.inside(cursor)) {
    const char c = doc.character(cursor);
    std::string text = "'";  // piece by piece: see cellname
    text += c >= ' ' && c <= '~' ? c : '?';
    text += "' color ";
    text += std::to_string(doc.color(cursor));
    parts.push_back({text, 20});
  }
  if (state.mode() == modetype::color) {
    parts.push_back({"painting " + std::to_string(state.colorindex()), 80});
  }
  const auto tracks = doc.tracks().size();
  if (state.track() >= 0) {
    const auto holes = doc.tracks()[state.track()].holes.size();
    std::string text = "track " + std::to_string(state.track()) + "/" +
                       std::to_string(tracks) + ": " +
                       plural(holes, "hole", "holes");
    if (const auto hole = doc.holeat(state.track(), cursor)) {
      text += ", here " + std::to_string(*hole);
    }
    parts.push_back({text, state.mode() == modetype::hole ? 70 : 40});
  } else {
    parts.push_back({"no tracks", 40});
  }
  if (state.mark()) parts.push_back({"mark " + cellname(*state.mark()), 50});
  if (const auto problems = state.problemcount()) {
    parts.push_back({plural(*problems, "problem", "problems"), always});
  }
  if (doc.modified()) parts.push_back({"modified", always});
  if (state.readonly()) parts.push_back({"[read-only]", 90});
  if (state.isnew()) {
    parts.push_back({"[new " + std::to_string(doc.width()) + "x" +
                         std::to_string(doc.height()) + "]",
                     60});
  }
  parts.push_back({state.path(), 10});
  return parts;
}

std::string joined(const std::vector<part>& parts) {
  std::string line;
  for (const part& p : parts) line += " " + p.text + " ";
  return line;
}

}  // namespace

std::string statusline(const editor& state, int width) {
  const auto size = static_cast<std::size_t>(std::max(width, 0));
  std::vector<part> parts = statusparts(state);
  while (joined(parts).size() > size) {
    const auto least = std::min_element(
        parts.begin(), parts.end(),
        [](const part& a, const part& b) { return a.need < b.need; });
    if (least->need == always) break;
    parts.erase(least);
  }
  std::string line = joined(parts);
  line.resize(size, ' ');
  return line;
}

std::string hints(const editor& state) {
  switch (state.mode()) {
    case modetype::picture:
      return "type to draw  ^B mark  ^C ^X ^V  ^G go  Tab mode  F1 help";
    case modetype::color:
      return "+ - c index  Space paint  f fill  i pick  a e x pair  F1";
    case modetype::hole:
      return "Space add  r run  x del  m move  f finish  [ ] n D c  F1";
  }
  return "";
}

namespace {

// The key table's lines for the modes: the keys' names in a column of
// their own, each further line of help under the first.
void addbindings(std::vector<std::string>& lines, unsigned modes) {
  constexpr std::size_t column = 13;
  for (const bindingtype& binding : bindings()) {
    if (binding.modes != modes || binding.names == nullptr) continue;
    std::string line = std::string("  ") + binding.names;
    if (line.size() >= column) {
      lines.push_back(line);
      line.clear();
    }
    line.resize(column, ' ');
    for (const char c : std::string(binding.help)) {
      if (c != '\n') {
        line += c;
        continue;
      }
      lines.push_back(line);
      line = std::string(column, ' ');
    }
    lines.push_back(line);
  }
}

std::vector<std::string> makehelp() {
  std::vector<std::string> lines = {"trackedit: every key and the mouse", "",
                                    "Anywhere"};
  addbindings(lines, inpicture | incolor | inhole);
  for (const char* line : {
           "",
           "The mouse",
           "  click      move the cursor, in every mode",
           "  drag       as Space in the mode: write the last character",
           "             typed, paint the index, or add holes on the way",
           "  wheel      scroll up and down",
           "",
           "Picture mode",
       }) {
    lines.emplace_back(line);
  }
  addbindings(lines, inpicture);
  lines.insert(lines.end(), {"", "Color mode"});
  addbindings(lines, incolor);
  lines.insert(lines.end(), {"", "Hole mode"});
  addbindings(lines, inhole);
  lines.insert(lines.end(),
               {"", "In a question, Left, Right, Home, End, Delete and",
                "Backspace edit the answer; Esc or Ctrl-C cancels it.",
                "While the terminal is too small to show a cell, only F1",
                "and the quit key act."});
  return lines;
}

}  // namespace

const std::vector<std::string>& helplines() {
  static const std::vector<std::string> lines = makehelp();
  return lines;
}

namespace {

bool continuation(char c) {
  return (static_cast<unsigned char>(c) & 0xc0) == 0x80;
}

// The characters of text from start up to end.
int characters(const std::string& text, std::size_t start, std::size_t end) {
  return static_cast<int>(
      std::count_if(text.begin() + start, text.begin() + end,
                    [](char c) { return !continuation(c); }));
}

// Each line as its first byte and the byte past its last.
std::vector<std::pair<std::size_t, std::size_t>> layout(const std::string& text,
                                                        int width) {
  std::vector<std::pair<std::size_t, std::size_t>> lines;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = at;
    for (int n = 0; n < std::max(width, 1) && end < text.size(); ++n) {
      ++end;
      while (end < text.size() && continuation(text[end])) ++end;
    }
    if (end < text.size() && text[end] != ' ') {
      const std::size_t space = text.rfind(' ', end);
      if (space != std::string::npos && space > at) end = space;
    }
    lines.emplace_back(at, end);
    at = end < text.size() && text[end] == ' ' ? end + 1 : end;
  }
  return lines;
}

}  // namespace

std::vector<std::string> wrapped(const std::string& text, int width) {
  std::vector<std::string> lines;
  for (const auto& [start, end] : layout(text, width)) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

std::pair<int, int> wrappedplace(const std::string& text, int width,
                                 std::size_t offset) {
  const auto lines = layout(text, width);
  int line = 0;
  while (line + 1 < static_cast<int>(lines.size()) &&
         lines[line + 1].first <= offset) {
    ++line;
  }
  const std::size_t start = lines.empty() ? 0 : lines[line].first;
  const int column = characters(text, start, std::min(offset, text.size()));
  if (column >= std::max(width, 1)) return {line + 1, 0};
  return {line, column};
}

void answerline::key(int key) {
  const auto back = [this] {  // to the start of the character before
    while (at > 0 && continuation(text[--at])) {
    }
  };
  const auto ahead = [this] {  // past the character at the cursor
    if (at < text.size()) ++at;
    while (at < text.size() && continuation(text[at])) ++at;
  };
  switch (key) {
    case keys::left:
      return back();
    case keys::right:
      return ahead();
    case keys::home:
      at = 0;
      return;
    case keys::end:
      at = text.size();
      return;
    case keys::backspace:
    case 8: {
      const std::size_t end = at;
      back();
      text.erase(at, end - at);
      return;
    }
    case keys::deletekey: {
      const std::size_t start = at;
      ahead();
      text.erase(start, at - start);
      at = start;
      return;
    }
    case keys::ctrl('u'):
      text.clear();
      at = 0;
      return;
  }
  if (key >= ' ' && key < keys::up && key != keys::backspace) {
    const std::string typed = keys::utf8(key);
    text.insert(at, typed);
    at += typed.size();
  }
}

char indexglyph(unsigned char index) {
  if (index < 10) return static_cast<char>('0' + index);
  if (index < 36) return static_cast<char>('a' + index - 10);
  return '+';
}

}  // namespace trackedit

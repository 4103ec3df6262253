// The tools' JSON, read back by a real JSON parser (python3's): whatever
// bytes a file's name or a board holds, the document parses and agrees with
// the exit status.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "board/boardfile.h"
#include "board/boardtext.h"
#include "tests/sampleboard.h"
#include "tests/scratch.h"
#include "tools/quote.h"

namespace {

// Parses a tool's output with python3 and runs check on the document d;
// what the check prints.
std::string parsed(const scratchdir& dir, const runresult& tool,
                   const std::string& check) {
  writebytes(dir / "out.json", bytes(tool.output.begin(), tool.output.end()));
  const runresult run =
      runin("python3", dir,
            "-c 'import json; d = json.load(open(\"out.json\", "
            "encoding=\"utf-8\")); " +
                check + "'");
  EXPECT_EQ(run.status, 0) << run.errors;
  return run.output;
}

// A name of 1 to 8 random bytes, any but '/' and 0, never "." or "..".
std::string randomname(std::mt19937& random) {
  std::string name(std::uniform_int_distribution<>(1, 8)(random), 'x');
  for (char& c : name) {
    do {
      c = static_cast<char>(std::uniform_int_distribution<>(1, 255)(random));
    } while (c == '/');
  }
  return name + ".b";
}

}  // namespace

TEST(Jsonstring, EscapesWhatJsonAndTerminalsCannotTake) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain.board", "\"plain.board\""},
      {"q\"b\\s", "\"q\\\"b\\\\s\""},
      {"\x1b[2J\n\x7f", "\"\\u001b[2J\\u000a\\u007f\""},
      {"\xc3\xa9t\xc3\xa9", "\"\xc3\xa9t\xc3\xa9\""},
      {"bad\xff\xc3", "\"bad\\u00ff\\u00c3\""}};
  for (const auto& [text, json] : cases)
    EXPECT_EQ(tools::jsonstring(text), json);
}

// Random names and random damage to the board's bytes: trackcheck's document
// parses, each file's count is that of its problems, and the exit status is
// 0 exactly when every file loaded without a problem.
TEST(Trackcheckjson, ParsesForAnyNameAndAnyBytes) {
  std::mt19937 random(2312);
  for (int run = 0; run < 8; ++run) {
    const scratchdir dir;
    std::filesystem::create_directory(dir / "in");
    for (int file = 0; file < 4; ++file) {
      bytes content = boards::encodeboard(*sampleboard(3, 5, 4, 2, 3));
      const int flips = std::uniform_int_distribution<>(0, 3)(random);
      for (int i = 0; i < flips; ++i) {
        content[std::uniform_int_distribution<std::size_t>(
            boards::boardheadlength, content.size() - 1)(random)] =
            static_cast<unsigned char>(random());
      }
      if (file == 3) content.resize(content.size() - 1 + run % 3);
      writebytes(dir / ("in/" + randomname(random)), content);
    }
    const runresult checked =
        runin(TRACKCHECK, dir, "--json --max-step=9 in/*");
    const std::string sound = parsed(
        dir, checked,
        "assert all(f[\"problemcount\"] == len(f[\"problems\"]) for f in "
        "d[\"files\"]); print(all(f[\"loaded\"] and not f[\"problems\"] for "
        "f in d[\"files\"]))");
    EXPECT_EQ(sound, checked.status == 0 ? "True\n" : "False\n") << run;
  }
}

// Random bytes thrown into a board's text, and random names: trackbuild's
// document parses, and says written exactly when the board was.
TEST(Trackbuildjson, ParsesForAnyNameAndAnyText) {
  std::mt19937 random(2313);
  const std::string text = boards::writeboardtext(*sampleboard(2, 3, 4, 2, 2));
  for (int run = 0; run < 10; ++run) {
    const scratchdir dir;
    std::string damaged = text;
    const int flips = std::uniform_int_distribution<>(0, 4)(random);
    for (int i = 0; i < flips; ++i) {
      damaged[std::uniform_int_distribution<std::size_t>(
          0, damaged.size() - 1)(random)] = static_cast<char>(random());
    }
    const std::string name = randomname(random);
    writebytes(dir / name, bytes(damaged.begin(), damaged.end()));
    const runresult built = runin(TRACKBUILD, dir, "--json ./*.b out.board");
    const std::string written =
        parsed(dir, built,
               "assert bool(d[\"faults\"]) <= (not d[\"written\"]); "
               "assert d[\"warningcount\"] >= len(d[\"warnings\"]); "
               "assert d[\"written\"] == (d[\"error\"] is None); "
               "assert all(p[\"file\"] == d[\"file\"] for p in "
               "d[\"faults\"] + d[\"warnings\"]); "
               "print(d[\"written\"])");
    EXPECT_EQ(written, built.status == 0 ? "True\n" : "False\n") << run;
    EXPECT_EQ(std::filesystem::exists(dir / "out.board"), built.status == 0);
  }
}

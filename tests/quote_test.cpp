#include "tools/quote.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/scratch.h"

using tools::quotename;

namespace {

// Names of random bytes, 0 excepted: mostly printable, some not.
std::vector<std::string> randomnames(std::size_t count) {
  std::mt19937 random(1208);
  std::vector<std::string> names;
  for (std::size_t i = 0; i < count; ++i) {
    std::string name(std::uniform_int_distribution<std::size_t>(1, 24)(random),
                     'x');
    const bool printable = i % 3 == 0;
    for (char& c : name) {
      c = static_cast<char>(
          printable ? std::uniform_int_distribution<int>(0x20, 0x7e)(random)
                    : std::uniform_int_distribution<int>(1, 255)(random));
    }
    names.push_back(name);
  }
  names.push_back("plateau-\xc3\xa9t\xc3\xa9.board");  // é: printable
  names.push_back("evil\x1b]0;owned\a\x1b[2J.board");  // escapes
  names.push_back(
      "c1-\xc2\x9b"
      "2J.board");  // CSI as UTF-8
  return names;
}

}  // namespace

TEST(Quotename, PrintableNamesStayAndOthersComeBackThroughTheShell) {
  const std::vector<std::string> names = randomnames(300);
  const scratchdir dir;
  std::string script = "printf '%s\\0'";
  std::vector<std::string> quoted;
  for (const std::string& name : names) {
    const std::string shown = quotename(name);
    // What a message shows drives no terminal: quoting it again keeps it.
    EXPECT_EQ(quotename(shown), shown);
    for (const char c : shown) {
      EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
    }
    if (shown == name) {
      EXPECT_EQ(shown.find_first_of("\x1b\a\n\r\t"), std::string::npos);
      continue;
    }
    EXPECT_TRUE(shown.starts_with("$'") && shown.ends_with("'")) << shown;
    script += " " + shown;
    quoted.push_back(name);
  }
  EXPECT_GT(quoted.size(), 150u);
  writebytes(dir / "script", bytes(script.begin(), script.end()));
  const runresult run = runin("bash", dir, "script");
  ASSERT_EQ(run.status, 0) << run.errors;
  std::string expected;
  for (const std::string& name : quoted) expected += name + '\0';
  EXPECT_EQ(run.output, expected);
}

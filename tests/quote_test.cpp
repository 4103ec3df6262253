#include "tools/quote.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/scratch.h"

using tools::quotename;

// Random names, a third of them printable ASCII, the rest any byte but 0,
// and a few whose characters are printable only as UTF-8 or not at all.
TEST(Quotename, PrintableNamesStayAndOthersComeBackThroughTheShell) {
  std::mt19937 random(1208);
  std::vector<std::string> names = {"plateau-\xc3\xa9t\xc3\xa9.board",
                                    "evil\x1b]0;owned\a\x1b[2J.board",
                                    "c1-\xc2\x9b"
                                    "2J.board"};
  for (int i = 0; i < 300; ++i) {
    std::string name(std::uniform_int_distribution<>(1, 24)(random), 'x');
    for (char& c : name) {
      c = static_cast<char>(std::uniform_int_distribution<>(
          i % 3 == 0 ? 0x20 : 1, i % 3 == 0 ? 0x7e : 255)(random));
    }
    EXPECT_TRUE(i % 3 != 0 || quotename(name) == name) << name;
    names.push_back(name);
  }
  std::string script = "printf '%s\\0'", expected;
  for (const std::string& name : names) {
    const std::string shown = quotename(name);
    // What a message shows drives no terminal: quoting it again keeps it.
    EXPECT_EQ(quotename(shown), shown);
    EXPECT_EQ(shown.find_first_of("\x1b\a\n\r\t\x7f"), std::string::npos);
    if (shown != name) {
      EXPECT_TRUE(shown.starts_with("$'") && shown.ends_with("'")) << shown;
      script += " " + shown;
      expected += name + '\0';
    }
  }
  EXPECT_EQ(quotename(names[0]), names[0]);
  const scratchdir dir;
  writebytes(dir / "script", bytes(script.begin(), script.end()));
  const runresult run = runin("bash", dir, "script");
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.output, expected);
}

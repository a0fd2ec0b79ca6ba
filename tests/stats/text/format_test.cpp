// What messages quote of the outside world: short, escaped, and saying when cut.
#include "stats/text/format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Quoted, EscapesEveryByteOutsidePrintableAsciiAndTheQuoteItself) {
  EXPECT_EQ(stats::Quoted("abs0 tovak"), "\"abs0 tovak\"");
  EXPECT_EQ(stats::Quoted(std::string("a\0b\r\n\t\x7F\xFF", 8)), "\"a\\x00b\\r\\n\\t\\x7F\\xFF\"");
  EXPECT_EQ(stats::Quoted("say \"hi\" \\"), "\"say \\\"hi\\\" \\\\\"");
  EXPECT_EQ(stats::Quoted("it's", '\''), "'it\\'s'");
}

TEST(Quoted, CutsALongTextAfterAboutSixtyCharactersAndSaysHowLongItWas) {
  const std::string quoted = stats::Quoted(std::string(300000000, '\0'));
  EXPECT_LT(quoted.size(), 120u) << quoted;
  EXPECT_EQ(quoted.rfind("\"\\x00\\x00", 0), 0u) << quoted;
  EXPECT_NE(quoted.find("\" (cut; 300000000 bytes in all)"), std::string::npos) << quoted;
  EXPECT_EQ(stats::Quoted(std::string(59, 'x')), "\"" + std::string(59, 'x') + "\"")
      << "a text that fits is not cut";
}

}  // namespace

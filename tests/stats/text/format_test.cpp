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

TEST(Shown, LetsPrintableUtf8ThroughAndShowsControlsC1AndBrokenBytesAsHex) {
  EXPECT_EQ(stats::Shown("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"),
            "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
  EXPECT_EQ(stats::Shown("\x1B[2J\x7F\xC2\x9B"
                         "1m"),
            "\\x1B[2J\\x7F\\xC2\\x9B1m");
  EXPECT_EQ(stats::Shown("caf\xE9 \xC3 \xED\xA0\x80 \xF5"), "caf\\xE9 \\xC3 \\xED\\xA0\\x80 \\xF5")
      << "Latin-1, a cut sequence, a surrogate and a byte no sequence starts with";
  EXPECT_EQ(stats::Shown("a\xE2\x80\xAE b \xE2\x81\xA6"
                         "c"),
            "a\\xE2\\x80\\xAE b \\xE2\\x81\\xA6c")
      << "the controls of writing direction";
  EXPECT_EQ(stats::Shown("a\n\tb"), "a\\x0A\\x09b");
  EXPECT_EQ(stats::Shown("a\n\tb\r", true), "a\n\tb\\x0D") << "lines kept, CR shown";
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

// UTF-8 and UTF-16, both ways: the text of paths, captions and messages against that of the
// system's wide calls.
#include "platform/utf.h"

#include <gtest/gtest.h>

namespace utf_test {

namespace {

using platform::BadUtf8;
using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

TEST(Utf, RoundTrip_EveryLengthOfSequence_AndALoneSurrogateAsWindowsNamesMayHoldIt) {
  const std::vector<std::pair<std::u16string, std::string>> cases = {
      {u"", ""},
      {std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
      {u"\u00E9", "\xC3\xA9"},
      {u"\u65E5", "\xE6\x97\xA5"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},
      {u"\uFFFF", "\xEF\xBF\xBF"},
      {u"x\xD800y", "x\xED\xA0\x80y"},  // a lone high surrogate
      {u"\xDC00", "\xED\xB0\x80"},      // a lone low surrogate
  };
  for (const auto& [utf16, utf8] : cases) {
    EXPECT_EQ(utf8, Utf16ToUtf8(utf16));
    EXPECT_EQ(utf16, Utf8ToUtf16(utf8));
  }
}

TEST(Utf, MalformedUtf8_EachBadByteBecomesOneReplacementCharacter) {
  EXPECT_EQ(u"a\uFFFDz", Utf8ToUtf16("a\x80z"));                            // a lone continuation byte
  EXPECT_EQ(u"\uFFFD\uFFFD", Utf8ToUtf16("\xC0\xAF"));                      // an overlong form
  EXPECT_EQ(u"\uFFFD\uFFFDx", Utf8ToUtf16("\xE6\x97x"));                    // a sequence cut short
  EXPECT_EQ(u"\uFFFD\uFFFD\uFFFD\uFFFD", Utf8ToUtf16("\xF4\x90\x80\x80"));  // beyond U+10FFFF
}

// A UTF-8 table file with a byte order mark is read as it always was: the lead byte tells the
// length, and the bytes after it are taken, whatever they are. Valid text reads the same both ways.
TEST(Utf, MalformedUtf8_TakeBits_ReadsEachSequenceAsItsLeadByteTellsAsTableFilesAlwaysDid) {
  EXPECT_EQ(u"a:", Utf8ToUtf16("a\x80z", BadUtf8::TakeBits));   // a stray continuation byte takes the next
  EXPECT_EQ(u"/", Utf8ToUtf16("\xC0\xAF", BadUtf8::TakeBits));  // an overlong form gives its value
  EXPECT_EQ(u"\u65F8", Utf8ToUtf16("\xE6\x97x", BadUtf8::TakeBits));     // the 'x' completes the cut sequence
  EXPECT_EQ(u"ab\u0197", Utf8ToUtf16("ab\xE6\x97", BadUtf8::TakeBits));  // cut by the end: the bits there are
  EXPECT_EQ(u"\xDC00\xDC00", Utf8ToUtf16("\xF4\x90\x80\x80", BadUtf8::TakeBits));  // beyond U+10FFFF
  EXPECT_EQ(u"\xDFBF\xDFFF", Utf8ToUtf16("\xFF\xFF\xFF\xFF", BadUtf8::TakeBits));  // F8 and up lead four

  for (const std::string valid :
       {"plain", "\xC3\xA9t\xC3\xA9", "\xE6\x97\xA5", "\xF0\x9F\x98\x80", "\xED\xA0\x80"})
    EXPECT_EQ(Utf8ToUtf16(valid), Utf8ToUtf16(valid, BadUtf8::TakeBits)) << valid;
}

}  // namespace
}  // namespace utf_test

// A line that begins with the bytes of a byte order mark (U+FEFF) must read
// as it was written: the UTF-8 decoder drops such a mark at the start of
// what it decodes, so a key written with one could not be found again. Found
// by fuzzing.

#include <gtest/gtest.h>

#include "settings/ini_text.h"

namespace rw {
namespace {

TEST(IniTextByteOrderMark, AKeyBeginningWithTheMarkReadsBack) {
  IniText text(QByteArray("[Paths]\n"));
  const QString key = QChar(0xFEFF) + QStringLiteral("[[Key");
  ASSERT_TRUE(text.Set(u"Paths"_qs, key, u"value"_qs));
  EXPECT_EQ(text.Find(u"Paths"_qs, key), u"value"_qs);
  EXPECT_EQ(text.Bytes(), QByteArray("[Paths]\n\xEF\xBB\xBF[[Key=value\n"));
  EXPECT_FALSE(text.Find(u"Paths"_qs, u"[[Key"_qs).has_value());
}

TEST(IniTextByteOrderMark, OnlyTheFirstLinesMarkIsNotText) {
  IniText text(QByteArray("\xEF\xBB\xBF[A]\nk=1\n\xEF\xBB\xBF[B]\nk=2\n"));
  EXPECT_EQ(text.SectionNames(), QStringList{u"A"_qs});
  EXPECT_EQ(text.Keys(u"A"_qs), QStringList{u"k"_qs});
  EXPECT_EQ(text.Find(u"A"_qs, u"k"_qs), u"1"_qs);
}

}  // namespace
}  // namespace rw

#include "core/commodore_names.h"

#include <gtest/gtest.h>

namespace rw {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (const int v : values) bytes += static_cast<char>(v);
  return bytes;
}

TEST(CommodoreNames, FoldLettersDropOrSpellOutCodesAndReadThemBack) {
  const std::pair<std::string, std::string> cases[] = {
      // HELLO, a space and the pound sign.
      {FilterName(Bytes({72, 69, 76, 76, 79, 32, 163})), Bytes({'h', 'e', 'l', 'l', 'o', ' ', 163})},
      {Latin1ToUtf8(FilterName(Bytes({72, 32, 163}))), "h \xC2\xA3"},
      // Control codes and unsafe characters vanish; the shifted letters become plain capitals; 219 is "[".
      {FilterName(Bytes({147, 'A', 5, '*', '/', '?', '"', 'B'})), "ab"},
      {FilterName(Bytes({193, 218, 219})), "AZ["}, {FilterName(Bytes({220, 0, 255})), ""},
      {NameToText(Bytes({147, 65, 66})), "{CLR}AB"}, {NameToText(Bytes({14, 65, 193})), "{LOW}Aa"},
      {NameToText(Bytes({14, 225, 142, 193})), "{LOW}A{142}{193}"},
      // The first and last codes of both shifted ranges, and their neighbours.
      {NameToText(Bytes({14, 192, 193, 218, 219, 224, 225, 250, 251})), "{LOW}{192}az{219}{224}AZ{251}"},
      {NameToText(Bytes({0})), "{0}"}, {NameToText(Bytes({1, 95, 163})), "{1}{95}{163}"},
      // Back to bytes: tokens and byte numbers as written, typed characters through Latin-1.
      {TextToName("{RED}A{200}"), Bytes({28, 65, 200})}, {TextToName("{red}"), "{red}"},
      {TextToName("{256}{007}"), "{256}{007}"}, {TextToName("\xC2\xA3" "a"), Bytes({163, 'a'})},
      {TextToName("\xE2\x82\xAC"), "?"},  // cannot be on tape
      // After {LOW} the shifted letters come back as the plain letters shown.
      {TextToName(NameToText(Bytes({14, 65, 193, 225}))), Bytes({14, 65, 'a', 'A'})},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

TEST(TextToName, ReversesNameToTextForEveryByte) {
  for (int b = 0; b < 256; ++b) {
    const std::string name = Bytes({'A', b, 'Z'});
    if (b == 14) continue;  // switches the letters that follow to lower case
    EXPECT_EQ(TextToName(NameToText(name)), name) << b;
  }
}

TEST(Latin1, RoundTripsEveryByteAndReplacesWhatDoesNotFit) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToLatin1(Latin1ToUtf8(all)), all);
  EXPECT_EQ(Utf8ToLatin1("\x80" "a\xF0\x9F\x98\x80" "b\xFF" "c\xC3"), "?a?b?c?");
}

}  // namespace
}  // namespace rw

// The version numbers: the product version's text, the comparison, and the maker's version document.
#include "app/version_check.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace kx {
namespace {

KxVersion V(int32_t a, int32_t b, int32_t c) { return KxVersion{a, b, c}; }

TEST(ProductVersion, PiecesReadAsTheCLibraryReadsThem) {
  const std::pair<const char*, KxVersion> cases[] = {
      {"01.00.0040.0000", V(1, 0, 40)},
      // Two numbers: the build counts as 0; only the first three count.
      {"2.7", V(2, 7, 0)}, {"", V(0, 0, 0)}, {"4.5.6.7.8", V(4, 5, 6)},
      // Empty pieces are skipped.
      {"1..2.3", V(1, 2, 3)}, {".1.2.3.", V(1, 2, 3)},
      // Non-numbers are 0 in place; digits stop at a non-digit; leading blanks and sign count; out of range clamps.
      {"x.5.9", V(0, 5, 9)}, {"1.2beta.3", V(1, 2, 3)}, {" 7.-2.+3", V(7, -2, 3)},
      {"0009.0010.0000041", V(9, 10, 41)}, {"99999999999.1.-99999999999", V(INT32_MAX, 1, INT32_MIN)}};
  for (const auto& [text, version] : cases) EXPECT_EQ(ParseProductVersion(text), version) << text;
}

TEST(VersionCompare, EachNumberDecidesInTurn) {
  const KxVersion installed = ParseProductVersion("01.00.0040.0000");
  const std::tuple<KxVersion, KxVersion, bool> cases[] = {
      {V(1, 0, 41), installed, true}, {V(1, 0, 40), installed, false}, {V(1, 0, 39), installed, false},
      {V(0, 9, 99), installed, false}, {V(1, 1, 0), installed, true}, {V(1, 0, 99), V(1, 1, 0), false},
      // Signed and extreme numbers: a negative number is older than any other.
      {V(-1, 99, 99), V(0, 0, 0), false}, {V(1, 0, 41), V(1, 0, -5), true},
      {V(INT32_MAX, 0, 0), V(INT32_MAX - 1, INT32_MAX, INT32_MAX), true},
      {V(INT32_MIN, INT32_MAX, INT32_MAX), V(INT32_MIN + 1, 0, 0), false}};
  for (const auto& [published, installedVersion, newer] : cases)
    EXPECT_EQ(IsNewerVersion(published, installedVersion), newer)
        << published.nMajor << "." << published.nMinor << "." << published.nBuild;
}

TEST(VersionDocument, AttributesOddValuesAndEncodings) {
  auto p = ParseVersionDocument(
      R"(<?xml version="1.0" encoding="utf-8"?>)"
      R"(<Ver Major="1" Minor="0" Build="41" Link="https://example.test/kxSetupToneScope.exe" Extra="x"><Note/></Ver>)");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->ver, V(1, 0, 41));
  EXPECT_EQ(p->strLink, "https://example.test/kxSetupToneScope.exe");
  EXPECT_EQ(ParseVersionDocument(R"(<Ver Major="007" Minor="abc" Build="-12"/>)")->ver, V(7, 0, -12));
  EXPECT_EQ(ParseVersionDocument(R"(<Ver Major="99999999999999" Minor="-99999999999999" Build=" 5"/>)")->ver,
            V(INT32_MAX, INT32_MIN, 5));
  // Entities and non-ASCII text in the link arrive as UTF-8.
  p = ParseVersionDocument(R"(<Ver Major="1" Link="https://x.test/a?b=1&amp;c=%D0%AF&#x44F;"/>)");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->strLink, "https://x.test/a?b=1&c=%D0%AF\xD1\x8F");
  // A UTF-16 document with its byte-order mark.
  const std::u16string text = u"\xFEFF<Ver Major=\"3\" Minor=\"1\" Build=\"2\"/>";
  auto wide = ParseVersionDocument(std::string_view(reinterpret_cast<const char*>(text.data()), text.size() * 2));
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->ver, V(3, 1, 2));
}

TEST(VersionDocument, RejectsWhatIsNotAVersionDocument) {
  // "Ver" must be the document element; a NUL inside ends nothing early.
  for (std::string_view bad : {std::string_view(""), std::string_view("   \n"),
                               std::string_view("<html><body>404 Not Found</body></html>"),
                               std::string_view("Major=1 Minor=0 Build=41"), std::string_view("<Ver Major=\"1\""),
                               std::string_view("<Ver Major=\"1\"></ver>"), std::string_view("<Root><Ver Major=\"9\"/></Root>"),
                               std::string_view("<ver Major=\"9\"/>"), std::string_view("<Ver Major=\"9\"/\0>", 17)})
    EXPECT_FALSE(ParseVersionDocument(bad)) << bad;
}

}  // namespace
}  // namespace kx

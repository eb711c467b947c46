#include "app/version_check.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace kx {
namespace {

KxVersion V(int32_t a, int32_t b, int32_t c) { return KxVersion{a, b, c}; }

TEST(ProductVersion, ShippedFormAndShortForms) {
  EXPECT_EQ(ParseProductVersion("01.00.0040.0000"), V(1, 0, 40));
  // Two numbers: the build counts as 0; one number, nothing.
  EXPECT_EQ(ParseProductVersion("2.7"), V(2, 7, 0));
  EXPECT_EQ(ParseProductVersion("3"), V(3, 0, 0));
  EXPECT_EQ(ParseProductVersion(""), V(0, 0, 0));
  // Only the first three numbers count.
  EXPECT_EQ(ParseProductVersion("4.5.6.7.8"), V(4, 5, 6));
}

TEST(ProductVersion, EmptyPiecesAreSkipped) {
  EXPECT_EQ(ParseProductVersion("1..2.3"), V(1, 2, 3));
  EXPECT_EQ(ParseProductVersion(".1.2.3."), V(1, 2, 3));
  EXPECT_EQ(ParseProductVersion("...."), V(0, 0, 0));
  EXPECT_EQ(ParseProductVersion("1.2."), V(1, 2, 0));
}

TEST(ProductVersion, PiecesReadAsTheCLibraryReadsThem) {
  // A non-number is 0 but still takes its place; digits stop at the first
  // non-digit; blanks and a sign in front are accepted.
  EXPECT_EQ(ParseProductVersion("x.5.9"), V(0, 5, 9));
  EXPECT_EQ(ParseProductVersion("1.2beta.3"), V(1, 2, 3));
  EXPECT_EQ(ParseProductVersion(" 7.-2.+3"), V(7, -2, 3));
  EXPECT_EQ(ParseProductVersion("0009.0010.0000041"), V(9, 10, 41));
  // Out of range clamps instead of wrapping.
  EXPECT_EQ(ParseProductVersion("99999999999.1.-99999999999"), V(INT32_MAX, 1, INT32_MIN));
}

TEST(VersionCompare, EachNumberDecidesInTurn) {
  const KxVersion installed = ParseProductVersion("01.00.0040.0000");
  EXPECT_TRUE(IsNewerVersion(V(1, 0, 41), installed));
  EXPECT_FALSE(IsNewerVersion(V(1, 0, 40), installed));
  EXPECT_FALSE(IsNewerVersion(V(1, 0, 39), installed));
  // The major number decides before the others.
  EXPECT_FALSE(IsNewerVersion(V(0, 9, 99), installed));
  EXPECT_TRUE(IsNewerVersion(V(2, 0, 0), installed));
  // The minor number decides before the build.
  EXPECT_TRUE(IsNewerVersion(V(1, 1, 0), installed));
  EXPECT_FALSE(IsNewerVersion(V(1, 0, 0), V(1, 1, 0)));
  // Two-number installed version: its build is 0.
  EXPECT_TRUE(IsNewerVersion(V(1, 2, 1), ParseProductVersion("1.2")));
  EXPECT_FALSE(IsNewerVersion(V(1, 2, 0), ParseProductVersion("1.2")));
}

TEST(VersionCompare, SignedAndExtremeNumbers) {
  // A negative published number is older than any non-negative one.
  EXPECT_FALSE(IsNewerVersion(V(-1, 99, 99), V(0, 0, 0)));
  EXPECT_TRUE(IsNewerVersion(V(1, 0, 41), V(1, 0, -5)));
  EXPECT_TRUE(IsNewerVersion(V(INT32_MAX, 0, 0), V(INT32_MAX - 1, INT32_MAX, INT32_MAX)));
  EXPECT_FALSE(IsNewerVersion(V(INT32_MIN, INT32_MAX, INT32_MAX), V(INT32_MIN + 1, 0, 0)));
  EXPECT_FALSE(IsNewerVersion(V(INT32_MAX, INT32_MAX, INT32_MAX), V(INT32_MAX, INT32_MAX, INT32_MAX)));
}

TEST(VersionDocument, ReadsTheFourAttributes) {
  auto p = ParseVersionDocument(
      R"(<?xml version="1.0" encoding="utf-8"?>)"
      R"(<Ver Major="1" Minor="0" Build="41" Link="https://example.test/kxSetupToneScope.exe" Extra="x"><Note/></Ver>)");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->ver, V(1, 0, 41));
  EXPECT_EQ(p->strLink, "https://example.test/kxSetupToneScope.exe");
}

TEST(VersionDocument, MissingOddAndExtremeAttributes) {
  auto empty = ParseVersionDocument("<Ver/>");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->ver, V(0, 0, 0));
  EXPECT_EQ(empty->strLink, "");

  auto odd = ParseVersionDocument(R"(<Ver Major="007" Minor="abc" Build="-12"/>)");
  ASSERT_TRUE(odd);
  EXPECT_EQ(odd->ver, V(7, 0, -12));

  auto huge = ParseVersionDocument(R"(<Ver Major="99999999999999" Minor="-99999999999999" Build=" 5"/>)");
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->ver, V(INT32_MAX, INT32_MIN, 5));
}

TEST(VersionDocument, TextAndEncodings) {
  // Entities and non-ASCII text in the link arrive as UTF-8.
  auto p = ParseVersionDocument(R"(<Ver Major="1" Link="https://x.test/a?b=1&amp;c=%D0%AF&#x44F;"/>)");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->strLink, "https://x.test/a?b=1&c=%D0%AF\xD1\x8F");
  // A UTF-16 document with its byte-order mark.
  const std::u16string text = u"\xFEFF<Ver Major=\"3\" Minor=\"1\" Build=\"2\"/>";
  auto wide = ParseVersionDocument(std::string_view(reinterpret_cast<const char*>(text.data()), text.size() * 2));
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->ver, V(3, 1, 2));
}

TEST(VersionDocument, RejectsWhatIsNotAVersionDocument) {
  EXPECT_FALSE(ParseVersionDocument(""));
  EXPECT_FALSE(ParseVersionDocument("   \n"));
  EXPECT_FALSE(ParseVersionDocument("<html><body>404 Not Found</body></html>"));
  EXPECT_FALSE(ParseVersionDocument("Major=1 Minor=0 Build=41"));
  EXPECT_FALSE(ParseVersionDocument("<Ver Major=\"1\""));
  EXPECT_FALSE(ParseVersionDocument("<Ver Major=\"1\"></ver>"));
  // "Ver" must be the document element, not somewhere below it.
  EXPECT_FALSE(ParseVersionDocument("<Root><Ver Major=\"9\"/></Root>"));
  EXPECT_FALSE(ParseVersionDocument("<ver Major=\"9\"/>"));
  // A NUL inside the body ends nothing early and is no document.
  EXPECT_FALSE(ParseVersionDocument(std::string_view("<Ver Major=\"9\"/\0>", 17)));
}

}  // namespace
}  // namespace kx

// The version table and the ribbon's data table.
#include <gtest/gtest.h>

#include <vector>
#include <set>

#include "app/ribbon_table.h"
#include "common/version_info.h"
#include "kxSystem.h"

namespace kx {
namespace {

TEST(VersionInfo, TheRunningExecutableCarriesTheTableOtherFilesNone) {
  const std::u16string self = ModulePath();
  ASSERT_FALSE(self.empty());
  EXPECT_EQ(GetProductVersion(self), u"01.00.0040.0000");
  EXPECT_FALSE(GetCompanyName().empty());
  EXPECT_TRUE(GetVersionInfoString(self, u"OriginalFilename").empty());
  for (const char16_t* other : {u"/bin/sh", u"/no/such/file"})
    EXPECT_TRUE(GetVersionInfoString(other, u"ProductVersion").empty());
}

// Every command id once, every button's description beside its tooltip, and
// the choices of one setting each with a value of its own.
TEST(RibbonTable, CommandIdsUniqueAndEachChoiceItsOwnValue) {
  std::set<uint32_t> ids;
  std::vector<ribbon::Choice> choices;
  for (const auto& c : ribbon::Categories())
    for (const auto& p : c.panels)
      for (const auto& e : p.elements) {
        if (e.kind == ribbon::Kind::Label) continue;
        EXPECT_TRUE(ids.insert(e.id).second) << e.id;
        if (e.kind == ribbon::Kind::Button || e.kind == ribbon::Kind::ColorButton) {
          EXPECT_EQ(e.descriptionId, e.tooltipId + ribbon::kDescriptionOffset) << e.id;
          EXPECT_GE(e.image, 0) << e.id;
        }
        if (!e.choice.setting) continue;
        for (const auto& other : choices)
          EXPECT_FALSE(other.setting == e.choice.setting && other.value == e.choice.value) << e.id;
        choices.push_back(e.choice);
      }
}

}  // namespace
}  // namespace kx

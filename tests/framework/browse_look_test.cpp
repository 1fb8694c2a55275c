#include "framework/browse_look.h"

#include <gtest/gtest.h>

namespace kx::framework {
namespace {

class BrowseLookTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetBrowseLook(); }
  void TearDown() override { ResetBrowseLook(); }
};

TEST_F(BrowseLookTest, DefaultsWithoutAnyLoading) {
  EXPECT_EQ(NLINESTYLE(), 5);
  EXPECT_FALSE(LCOLORBRW());
  EXPECT_FALSE(LCLASSIC());
  EXPECT_EQ(NXCLRLINE(), 0u);
  EXPECT_EQ(NCLRFHDR(), 0u);
  EXPECT_EQ(NCLRBHDR(), 13292503u);
  EXPECT_EQ(NCLRTEXT(), 0u);
  EXPECT_EQ(NCLRPANE(), 15396845u);
  EXPECT_EQ(NCLRTROW1(), 0u);
  EXPECT_EQ(NCLRPROW1(), 16777215u);
  EXPECT_EQ(NCLRTROW2(), 0u);
  EXPECT_EQ(NCLRPROW2(), 15396845u);
  EXPECT_TRUE(LALTERCLR());
  EXPECT_EQ(NHLINE(), 5);
  EXPECT_EQ(NCLRBACKFOCUS(), 8750724u);
  EXPECT_EQ(NCLRFOREFOCUS(), 16777215u);
}

TEST_F(BrowseLookTest, ColourListFlagAnswersTheClassicLook) {
  EXPECT_FALSE(LCOLORBRW(true));
  EXPECT_FALSE(LCOLORBRW());
  EXPECT_TRUE(LCLASSIC(true));
  EXPECT_TRUE(LCOLORBRW());
  EXPECT_TRUE(LCOLORBRW(false));
  EXPECT_EQ(NCLRPANE(), 12632256u);
}

TEST_F(BrowseLookTest, StoredPaneOutlivesTheClassicDefault) {
  EXPECT_EQ(NCLRPANE(0x123456), 0x123456u);
  LCLASSIC(true);
  EXPECT_EQ(NCLRPANE(), 0x123456u);
  ResetBrowseLook();
  EXPECT_EQ(NCLRPANE(), 15396845u);
}

TEST_F(BrowseLookTest, GetterWithoutValueStoresNothing) {
  EXPECT_EQ(NLINESTYLE(4), 4);
  EXPECT_EQ(NLINESTYLE(), 4);
  EXPECT_EQ(NHLINE(0), 0);
  EXPECT_EQ(NHLINE(), 0);
}

TEST_F(BrowseLookTest, ResolvedDefaultLook) {
  BrowseLook look = CurrentBrowseLook();
  EXPECT_EQ(look.line_style, kLineSolid);
  EXPECT_EQ(look.line_color, LookColor::Of(0));
  EXPECT_EQ(look.header_text, LookColor::Of(0));
  EXPECT_EQ(look.header_back, LookColor::Of(13292503));
  EXPECT_EQ(look.header_frame, LookColor::System(kSysButtonShadow));
  EXPECT_TRUE(look.alternate);
  EXPECT_EQ(look.focus_back, LookColor::Of(8750724));
  EXPECT_EQ(look.focus_text, LookColor::Of(16777215));
  EXPECT_EQ(look.unfocused_back, LookColor::Of(8421504));
  EXPECT_TRUE(look.blank_rows);
  EXPECT_EQ(BrowseRowHeight(look, 14), 20);
}

TEST_F(BrowseLookTest, RowsAlternateWithTheRecordsStartingWithSetTwo) {
  NCLRPROW1(1);
  NCLRPROW2(2);
  NCLRTROW1(11);
  NCLRTROW2(12);
  BrowseLook look = CurrentBrowseLook();
  struct Case { int64_t position; uint32_t back, text; };
  for (Case c : {Case{0, 2, 12}, Case{1, 1, 11}, Case{2, 2, 12}, Case{7, 1, 11}}) {
    RowColors colors = BrowseRowColors(look, c.position);
    EXPECT_EQ(colors.back, LookColor::Of(c.back)) << c.position;
    EXPECT_EQ(colors.text, LookColor::Of(c.text)) << c.position;
  }
  LALTERCLR(false);
  NCLRPANE(3);
  NCLRTEXT(13);
  look = CurrentBrowseLook();
  for (int64_t position : {0, 1}) {
    EXPECT_EQ(BrowseRowColors(look, position).back, LookColor::Of(3));
    EXPECT_EQ(BrowseRowColors(look, position).text, LookColor::Of(13));
  }
}

TEST_F(BrowseLookTest, LineStyleThreeDrawsNoBlankRows) {
  NLINESTYLE(3);
  EXPECT_FALSE(CurrentBrowseLook().blank_rows);
  NLINESTYLE(0);
  EXPECT_TRUE(CurrentBrowseLook().blank_rows);
}

TEST_F(BrowseLookTest, ClassicLookTakesTheSystemColours) {
  LCLASSIC(true);
  NLINESTYLE(5);
  NHLINE(9);
  BrowseLook look = CurrentBrowseLook();
  EXPECT_EQ(look.line_style, kLineClassic);
  EXPECT_EQ(look.header_text, LookColor::System(kSysButtonText));
  EXPECT_EQ(look.header_back, LookColor::System(kSysButtonFace));
  EXPECT_EQ(look.focus_text, LookColor::System(kSysCaptionText));
  EXPECT_EQ(look.focus_back, LookColor::System(kSysActiveCaption));
  EXPECT_FALSE(look.alternate);
  EXPECT_EQ(look.row_spacing, 0);
  EXPECT_EQ(BrowseRowColors(look, 0).back, LookColor::System(kSysButtonFace));
  EXPECT_EQ(BrowseRowColors(look, 1).text, LookColor::System(kSysButtonText));
  EXPECT_FALSE(look.blank_rows);
}

}  // namespace
}  // namespace kx::framework

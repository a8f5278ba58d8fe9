#include "skin/SkinLayout.h"

#include <gtest/gtest.h>

using namespace plug;

TEST(SkinStrip, SplitsIntoEquallyWideFramesAndDropsTheRemainder)
{
    SkinFit fit = FitSkinStrip(200, 30, 4);
    EXPECT_TRUE(fit.fitted);
    EXPECT_EQ(50, fit.frameWidth);
    EXPECT_EQ(30, fit.frameHeight);
    EXPECT_EQ(100, SkinFrameSourceX(kSkinFramePressed, fit.frameWidth));

    fit = FitSkinStrip(202, 4, 4); // the two rightmost columns are never shown
    EXPECT_EQ(50, fit.frameWidth);
    EXPECT_EQ(150, SkinFrameSourceX(kSkinFrameDisabled, fit.frameWidth));
    EXPECT_LE(SkinFrameSourceX(kSkinFrameDisabled, fit.frameWidth) + fit.frameWidth, 200);

    EXPECT_EQ(94, FitSkinStrip(376, 24, 4).frameWidth);
    EXPECT_EQ(13, FitSkinStrip(52, 13, 4).frameWidth);
    EXPECT_EQ(15, FitSkinStrip(60, 14, 4).frameWidth);
}

TEST(SkinStrip, StripsThatCannotBeSplitFitNothing)
{
    for (SkinFit fit : {FitSkinStrip(0, 24, 4), FitSkinStrip(376, 0, 4), FitSkinStrip(-4, 24, 4),
                        FitSkinStrip(376, 24, 0), FitSkinStrip(376, 24, -1), FitSkinStrip(3, 24, 4)}) {
        EXPECT_FALSE(fit.fitted);
        EXPECT_EQ(0, fit.frameWidth);
        EXPECT_EQ(0, fit.frameHeight);
    }
}

TEST(SkinFrame, PressedBeatsDisabledAndDisabledBeatsHover)
{
    EXPECT_EQ(kSkinFrameNormal, ChooseSkinFrame(false, false, false, false, false).frame);
    EXPECT_EQ(kSkinFrameHover, ChooseSkinFrame(false, false, false, true, false).frame);
    EXPECT_EQ(kSkinFramePressed, ChooseSkinFrame(true, false, false, true, false).frame);
    EXPECT_EQ(kSkinFramePressed, ChooseSkinFrame(true, true, false, false, false).frame);
    EXPECT_EQ(kSkinFrameDisabled, ChooseSkinFrame(false, true, false, true, false).frame); // mouse over it
    EXPECT_EQ(kSkinFrameNormal, ChooseSkinFrame(false, false, true, false, true).frame);   // focus alone
}

TEST(SkinFrame, FocusRectanglesOnlyWithTheFocusFlag)
{
    SkinFrameChoice pressedFocused = ChooseSkinFrame(true, false, true, false, true);
    EXPECT_TRUE(pressedFocused.focusBeforeFrame);
    EXPECT_TRUE(pressedFocused.focusAfterFrame);
    SkinFrameChoice focused = ChooseSkinFrame(false, false, true, false, true);
    EXPECT_FALSE(focused.focusBeforeFrame);
    EXPECT_TRUE(focused.focusAfterFrame);
    SkinFrameChoice dialogs = ChooseSkinFrame(true, false, true, true, false); // the dialogs' set-up
    EXPECT_FALSE(dialogs.focusBeforeFrame);
    EXPECT_FALSE(dialogs.focusAfterFrame);
}

TEST(SkinCaption, CentredWhenItFitsElseFromTheLeftEdge)
{
    SkinRect button{0, 0, 94, 24};
    EXPECT_EQ(27, PlaceSkinCaption(button, 40, kSkinFrameNormal).left);
    EXPECT_EQ(0, PlaceSkinCaption(button, 94, kSkinFrameNormal).left); // exactly as wide
    EXPECT_EQ(0, PlaceSkinCaption(button, 95, kSkinFrameNormal).left); // too wide: left edge
    EXPECT_EQ(0, PlaceSkinCaption(button, 300, kSkinFrameNormal).left);
    EXPECT_EQ(46, PlaceSkinCaption(button, 1, kSkinFrameNormal).left);   // (94 - 1) / 2 rounds down
    EXPECT_EQ(94, PlaceSkinCaption(button, 40, kSkinFrameNormal).right); // right and bottom stay
    EXPECT_EQ(24, PlaceSkinCaption(button, 40, kSkinFrameNormal).bottom);
}

TEST(SkinCaption, HoverShiftsUpAndLeftButPressingDoesNot)
{
    SkinRect button{0, 0, 94, 24};
    SkinRect hover = PlaceSkinCaption(button, 40, kSkinFrameHover);
    EXPECT_EQ(26, hover.left);
    EXPECT_EQ(-1, hover.top);
    SkinRect tooWide = PlaceSkinCaption(button, 200, kSkinFrameHover);
    EXPECT_EQ(-1, tooWide.left);
    for (int index : {kSkinFrameNormal, kSkinFramePressed, kSkinFrameDisabled}) {
        EXPECT_EQ(27, PlaceSkinCaption(button, 40, index).left);
        EXPECT_EQ(0, PlaceSkinCaption(button, 40, index).top);
    }
}

// The main dialog's status painting, rendered into a memory DC the size of the dialog.
#include "common/TestFiles.h"
#include "res/resource.h"
#include "skin/DialogPaint.h"
#include "workflow/MainDialogLook.h"
#include "run/ResDefineCommand.h"

#include <gtest/gtest.h>

using namespace plugtest;

namespace {

// A 32-bit memory DC of the main dialog's size.
class Canvas {
public:
    Canvas() : m_dc(::CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = 340;
        info.bmiHeader.biHeight = -238;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        m_bitmap.Attach(::CreateDIBSection(m_dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        m_previous = ::SelectObject(m_dc.Get(), m_bitmap.Get());
    }
    ~Canvas() { ::SelectObject(m_dc.Get(), m_previous); }
    HDC Dc() const { return m_dc.Get(); }
    COLORREF Pixel(int x, int y) const { return ::GetPixel(m_dc.Get(), x, y); }

private:
    plug::UniqueMemoryDC m_dc;
    plug::UniqueBitmap m_bitmap;
    HGDIOBJ m_previous = nullptr;
};

// Pixels of box where two canvases differ, and the lowest row where they do.
struct Difference {
    int pixels = 0;
    int lowestRow = -1;
};
Difference Compare(const Canvas& a, const Canvas& b, RECT box)
{
    Difference difference;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y)) {
                ++difference.pixels;
                difference.lowestRow = y;
            }
    return difference;
}

std::map<std::wstring, std::wstring> Texts()
{
    std::map<std::wstring, std::wstring> texts = StandardLanguage();
    texts[L"STR_STRING_INITDLG_STRING"] = L"Preparing";
    texts[L"STR_STRING_STATUS_TOP_STRING_2_0"] = L"Driver";
    texts[L"STR_STRING_STATUS_TOP_STRING_3_0_0"] = L"Starting";
    texts[L"STR_STRING_DONOT_UNPLUG_USB"] = L"Do not unplug";
    return texts;
}

plug::StatusState Started()
{
    plug::StatusState state;
    state.autoRunStarted = true;
    state.kitType = ITKTYPE_VTP;
    return state;
}

const RECT kStatusBox = plug::ToRect(plug::main_layout::kStatusBox);
const RECT kNoticeBox = plug::ToRect(plug::main_layout::kUnplugNotice);
const RECT kAnimation = {45, 74, 71, 100};

} // namespace

TEST(StatusLook, AnimationHasTheFirstPicturesSizeAndItsAreaIsGrownOnlyForTheFirstFrame)
{
    plug::MainDialogLook look;
    ASSERT_TRUE(look.Create());
    EXPECT_EQ(26, look.AnimationSize().cx);
    EXPECT_EQ(26, look.AnimationSize().cy);
    int frame = -1;
    RECT first = look.NextAnimationArea(&frame);
    EXPECT_EQ(0, frame);
    EXPECT_EQ(45, first.left);
    EXPECT_EQ(64, first.top);
    EXPECT_EQ(91, first.right);
    EXPECT_EQ(110, first.bottom);
    for (int tick = 1; tick <= 8; ++tick) {
        RECT area = look.NextAnimationArea(&frame);
        EXPECT_EQ(tick % 8, frame);
        EXPECT_EQ(74, area.top);
        EXPECT_EQ(71, area.right);
        EXPECT_EQ(100, area.bottom);
    }
}

TEST(StatusLook, PaintsBackgroundStatusNoticeAndTheFramesPicture)
{
    ScopedLanguageFile language(Texts());
    plug::MainDialogLook look;
    ASSERT_TRUE(look.Create());
    Canvas painted, background, picture;
    RECT status = {};
    plug::StatusState inputs = Started();
    inputs.installingDrv = true;
    look.Paint(painted.Dc(), inputs, 3, &status);
    EXPECT_EQ(85, status.left);
    EXPECT_EQ(80, status.top);
    EXPECT_EQ(324, status.right);
    EXPECT_EQ(113, status.bottom);

    plug::DrawBitmap(background.Dc(), plug::LoadBitmapResource(IDB_MAIN_BACKGROUND).Get(), 0, 0);
    // Outside the texts and the animation the background shows unchanged.
    EXPECT_EQ(0, Compare(painted, background, RECT{0, 0, 340, 74}).pixels);
    EXPECT_EQ(0, Compare(painted, background, RECT{0, 190, 340, 238}).pixels);
    EXPECT_GT(Compare(painted, background, kStatusBox).pixels, 0);
    EXPECT_GT(Compare(painted, background, kNoticeBox).pixels, 0);

    // Frame 3 shows bitmap 156 at (45, 74).
    plug::DrawBitmap(picture.Dc(), plug::LoadBitmapResource(IDB_ANIM_3).Get(), 45, 74);
    EXPECT_EQ(0, Compare(painted, picture, kAnimation).pixels);
    plug::DrawBitmap(picture.Dc(), plug::LoadBitmapResource(IDB_ANIM_0).Get(), 45, 74);
    EXPECT_GT(Compare(painted, picture, kAnimation).pixels, 0);

    // Another state, another text: only the status box changes.
    Canvas launching;
    inputs.installingDrv = false;
    inputs.launchingITK = true;
    look.Paint(launching.Dc(), inputs, 3, &status);
    EXPECT_GT(Compare(painted, launching, kStatusBox).pixels, 0);
    EXPECT_EQ(0, Compare(painted, launching, RECT{0, 113, 340, 238}).pixels);
}

TEST(StatusLook, TextThatDoesNotFitWrapsOntoASecondLine)
{
    std::map<std::wstring, std::wstring> texts = Texts();
    texts[L"STR_STRING_STATUS_TOP_STRING_2_0"] =
        L"Installing the device driver for your modem, which may take a few minutes";
    ScopedLanguageFile language(texts);
    plug::MainDialogLook look;
    ASSERT_TRUE(look.Create());
    Canvas background, shortText, longText;
    plug::DrawBitmap(background.Dc(), plug::LoadBitmapResource(IDB_MAIN_BACKGROUND).Get(), 0, 0);
    RECT status = {};
    plug::StatusState launching = Started();
    launching.launchingITK = true;
    look.Paint(shortText.Dc(), launching, 0, &status);
    plug::StatusState driver = Started();
    driver.installingDrv = true;
    look.Paint(longText.Dc(), driver, 0, &status);

    // One line is centred in the upper 23 rows; a wrapped text reaches further down.
    Difference oneLine = Compare(shortText, background, kStatusBox);
    Difference twoLines = Compare(longText, background, kStatusBox);
    ASSERT_GT(oneLine.pixels, 0);
    ASSERT_GT(twoLines.pixels, 0);
    EXPECT_LT(oneLine.lowestRow, 99);
    EXPECT_GE(twoLines.lowestRow, 99);
}

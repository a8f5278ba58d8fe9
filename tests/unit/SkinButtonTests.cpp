// The skinned button in a real dialog under Wine: fitting to its strip, the frames it draws, the
// transparent colour, the caption, and the GDI objects it owns. Pixels are read back from the
// dialog's window.
#include "framework/Dialog.h"
#include "framework/Handle.h"
#include "res/resource.h"
#include "skin/SkinButton.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// The test strips (tests/data/make_skin_strips.py).
const WORD kStrip200x30 = 900;
const WORD kStrip202x4 = 901;
const COLORREF kBody[] = {RGB(200, 40, 40), RGB(40, 200, 40), RGB(40, 40, 200), RGB(200, 200, 40)};
const COLORREF kLeftEdge[] = {RGB(10, 0, 0), RGB(0, 20, 0), RGB(0, 0, 30), RGB(40, 40, 0)};
const COLORREF kRightEdge[] = {RGB(11, 0, 0), RGB(0, 21, 0), RGB(0, 0, 31), RGB(41, 41, 0)};

const COLORREF kParentColour = RGB(0, 128, 64);
const POINT kButtonAt = {20, 30};

// A dialog painted in one colour with a skinned button bound to one of its controls; the test
// body runs once the dialog is on screen.
class SkinHost : public CDialog {
public:
    explicit SkinHost(std::function<void(SkinHost&)> body) : CDialog(IDD_CDWEBINSTALLER_DIALOG), m_body(std::move(body))
    {
    }

    CSkinButton button;

    void Repaint()
    {
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    // A pixel of the button's area as the screen shows it.
    COLORREF Pixel(int x, int y) const
    {
        HDC dc = ::GetDC(m_hWnd);
        COLORREF colour = ::GetPixel(dc, kButtonAt.x + x, kButtonAt.y + y);
        ::ReleaseDC(m_hWnd, dc);
        return colour;
    }
    // Whether any pixel of the 50 x 30 button has colour.
    bool Holds(COLORREF colour) const
    {
        HDC dc = ::GetDC(m_hWnd);
        bool found = false;
        for (int y = 0; y < 30 && !found; ++y)
            for (int x = 0; x < 50 && !found; ++x)
                found = ::GetPixel(dc, kButtonAt.x + x, kButtonAt.y + y) == colour;
        ::ReleaseDC(m_hWnd, dc);
        return found;
    }
    SIZE ButtonSize() const
    {
        RECT rect = {};
        ::GetWindowRect(button.m_hWnd, &rect);
        return SIZE{rect.right - rect.left, rect.bottom - rect.top};
    }
    POINT ButtonPosition() const
    {
        RECT rect = {};
        ::GetWindowRect(button.m_hWnd, &rect);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        return POINT{rect.left, rect.top};
    }

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOMOVE);
        button.SubclassDlgItem(IDC_GUIDE_DOWNLOAD, this);
        ::MoveWindow(button.m_hWnd, kButtonAt.x, kButtonAt.y, 70, 20, FALSE);
        button.ShowWindow(SW_SHOW);
        ::SetTimer(m_hWnd, 1, 10, nullptr);
        return TRUE;
    }
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        if (message == WM_ERASEBKGND) {
            RECT client = {};
            ::GetClientRect(m_hWnd, &client);
            HBRUSH brush = ::CreateSolidBrush(kParentColour);
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
            ::DeleteObject(brush);
            result = TRUE;
            return TRUE;
        }
        if (message == WM_TIMER && wParam == 1) {
            ::KillTimer(m_hWnd, 1);
            m_body(*this);
            EndDialog(0);
            return TRUE;
        }
        return CDialog::OnMessage(message, wParam, lParam, result);
    }

private:
    std::function<void(SkinHost&)> m_body;
};

void RunHost(std::function<void(SkinHost&)> body)
{
    SkinHost host(std::move(body));
    ASSERT_EQ(0, host.DoModal());
}

// The frame the button shows: its two edge columns and body must all be that frame's.
void ExpectFrame(SkinHost& host, int frame)
{
    EXPECT_EQ(kLeftEdge[frame], host.Pixel(0, 15)) << "frame " << frame;
    EXPECT_EQ(kBody[frame], host.Pixel(25, 15)) << "frame " << frame;
    EXPECT_EQ(kRightEdge[frame], host.Pixel(49, 15)) << "frame " << frame;
}

// Bounding box of the pixels in the button that are neither the frame's body nor its edges.
RECT CaptionBox(SkinHost& host, int frame)
{
    RECT box = {1000, 1000, -1, -1};
    for (int y = 0; y < 30; ++y) {
        for (int x = 1; x < 49; ++x) {
            if ((x == 5 || x == 6) && y == 5)
                continue;
            if (host.Pixel(x, y) != kBody[frame]) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x);
                box.bottom = std::max<LONG>(box.bottom, y);
            }
        }
    }
    return box;
}

} // namespace

TEST(SkinButtonFit, ButtonTakesTheSizeOfOneFrameInPlace)
{
    RunHost([](SkinHost& host) {
        EXPECT_TRUE(host.button.LoadSkin(kStrip200x30, 0, 4));
        EXPECT_EQ(50, host.ButtonSize().cx);
        EXPECT_EQ(30, host.ButtonSize().cy);
        EXPECT_EQ(kButtonAt.x, host.ButtonPosition().x);
        EXPECT_EQ(kButtonAt.y, host.ButtonPosition().y);
        EXPECT_EQ(BS_OWNERDRAW, host.button.GetStyle() & BS_TYPEMASK);
        plug::UniqueRegion region(::CreateRectRgn(0, 0, 0, 0));
        EXPECT_EQ(SIMPLEREGION, ::GetWindowRgn(host.button.m_hWnd, region.Get()));
        RECT box = {};
        ::GetRgnBox(region.Get(), &box);
        EXPECT_EQ(51, box.right);
        EXPECT_EQ(31, box.bottom);

        struct Strip {
            WORD id;
            LONG width, height;
        } strips[] = {{kStrip202x4, 50, 4},
                      {IDB_BUTTON_STRIP, 94, 24},
                      {IDB_CLOSE_STRIP, 13, 13},
                      {IDB_GUIDE_BUTTON_STRIP, 15, 14}};
        for (const Strip& strip : strips) {
            EXPECT_TRUE(host.button.LoadSkin(strip.id, 0, 4)) << strip.id;
            EXPECT_EQ(strip.width, host.ButtonSize().cx) << strip.id;
            EXPECT_EQ(strip.height, host.ButtonSize().cy) << strip.id;
        }
        // A strip that cannot be split, or a missing bitmap, leaves no frame to draw.
        EXPECT_FALSE(host.button.LoadSkin(kStrip200x30, 0, 0));
        EXPECT_EQ(0, host.button.FrameWidth());
        EXPECT_FALSE(host.button.LoadSkin(4242, 0, 4));
        EXPECT_EQ(0, host.button.FrameHeight());
    });
}

TEST(SkinButtonDrawing, StateChoosesTheFrameAndMagentaShowsTheParent)
{
    RunHost([](SkinHost& host) {
        ASSERT_TRUE(host.button.LoadSkin(kStrip200x30, 0, 4));
        host.Repaint();
        ExpectFrame(host, 0);
        EXPECT_EQ(kParentColour, host.Pixel(5, 5));
        EXPECT_EQ(RGB(254, 0, 255), host.Pixel(6, 5));

        ::SendMessageW(host.button.m_hWnd, WM_MOUSEHOVER, 0, 0);
        EXPECT_TRUE(host.button.IsHovering());
        host.Repaint();
        ExpectFrame(host, 1);
        ::SendMessageW(host.button.m_hWnd, BM_SETSTATE, TRUE, 0); // pressed while hovering
        host.Repaint();
        ExpectFrame(host, 2); // x 100 to 149 of the strip
        EXPECT_EQ(kParentColour, host.Pixel(5, 5));
        ::SendMessageW(host.button.m_hWnd, BM_SETSTATE, FALSE, 0);
        ::EnableWindow(host.button.m_hWnd, FALSE); // disabled while the mouse is over it
        host.Repaint();
        ExpectFrame(host, 3);
        ::EnableWindow(host.button.m_hWnd, TRUE);
        ::SendMessageW(host.button.m_hWnd, WM_MOUSELEAVE, 0, 0);
        EXPECT_FALSE(host.button.IsHovering());
        host.Repaint();
        ExpectFrame(host, 0);

        host.button.SetFixedState(2, 2);
        ExpectFrame(host, 2); // drawn at once
        ::SendMessageW(host.button.m_hWnd, WM_MOUSEHOVER, 0, 0);
        ::SendMessageW(host.button.m_hWnd, BM_SETSTATE, TRUE, 0);
        host.Repaint();
        ExpectFrame(host, 2);
    });
}

TEST(SkinButtonCaption, CentredShiftedOnHoverAndInTheColourOfItsFrame)
{
    RunHost([](SkinHost& host) {
        ASSERT_TRUE(host.button.LoadSkin(kStrip200x30, 0, 4));
        host.button.SetTextFont(0, 12, FW_BOLD, L"MS Sans Serif");
        // The colours are given as normal, pressed, hover, disabled.
        const COLORREF normal = RGB(1, 1, 1), pressed = RGB(2, 2, 2), hover = RGB(3, 3, 3), disabled = RGB(4, 4, 4);
        host.button.SetTextColors(normal, pressed, hover, disabled);
        host.button.SetCaption(L"Hi");
        host.Repaint();
        RECT atRest = CaptionBox(host, 0);
        ASSERT_LT(atRest.left, atRest.right);
        EXPECT_NEAR(25, (atRest.left + atRest.right) / 2, 3);
        EXPECT_TRUE(host.Holds(normal));

        ::SendMessageW(host.button.m_hWnd, WM_MOUSEHOVER, 0, 0);
        host.Repaint();
        RECT hovering = CaptionBox(host, 1);
        EXPECT_EQ(atRest.left - 1, hovering.left);
        EXPECT_EQ(atRest.top - 1, hovering.top);
        EXPECT_TRUE(host.Holds(hover));

        ::SendMessageW(host.button.m_hWnd, BM_SETSTATE, TRUE, 0);
        host.Repaint();
        RECT pressing = CaptionBox(host, 2);
        EXPECT_EQ(atRest.left, pressing.left);
        EXPECT_EQ(atRest.top, pressing.top);
        EXPECT_TRUE(host.Holds(pressed));
        ::SendMessageW(host.button.m_hWnd, BM_SETSTATE, FALSE, 0);

        ::EnableWindow(host.button.m_hWnd, FALSE);
        host.Repaint();
        EXPECT_TRUE(host.Holds(disabled));
        ::EnableWindow(host.button.m_hWnd, TRUE);
        ::SendMessageW(host.button.m_hWnd, WM_MOUSELEAVE, 0, 0);

        host.button.SetCaption(L"A caption far wider than the button");
        host.Repaint();
        EXPECT_LE(CaptionBox(host, 0).left, 2); // from the left edge

        EXPECT_FALSE(host.button.LoadSkin(4242, 0, 4)); // without a skin the caption still shows
        host.Repaint();
        EXPECT_TRUE(host.Holds(normal));
    });
}

TEST(SkinButtonObjects, FontsAndBrushesAreReplacedAndReleasedWithTheButton)
{
    HBRUSH lastBrush = nullptr;
    HFONT lastFont = nullptr;
    RunHost([&](SkinHost& host) {
        host.button.SetTextFont(0, 12, FW_NORMAL, L"MS Sans Serif");
        HFONT first = reinterpret_cast<HFONT>(::SendMessageW(host.button.m_hWnd, WM_GETFONT, 0, 0));
        host.button.SetTextFont(0, 14, FW_BOLD, L"MS Sans Serif");
        lastFont = reinterpret_cast<HFONT>(::SendMessageW(host.button.m_hWnd, WM_GETFONT, 0, 0));
        EXPECT_NE(first, lastFont);
        EXPECT_EQ(0u, ::GetObjectType(first));
        EXPECT_EQ(static_cast<DWORD>(OBJ_FONT), ::GetObjectType(lastFont));

        // The dialog reflects the control-colour message to the button, which answers a brush.
        auto askBrush = [&host] {
            return reinterpret_cast<HBRUSH>(
                ::SendMessageW(host.m_hWnd, WM_CTLCOLORBTN, 0, reinterpret_cast<LPARAM>(host.button.m_hWnd)));
        };
        HBRUSH firstBrush = askBrush();
        lastBrush = askBrush();
        ASSERT_NE(nullptr, firstBrush);
        ASSERT_NE(nullptr, lastBrush);
        EXPECT_EQ(0u, ::GetObjectType(firstBrush)); // the previous brush is gone
        EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), ::GetObjectType(lastBrush));
    });
    // The host and its button are gone: so are the last brush and the font.
    EXPECT_EQ(0u, ::GetObjectType(lastBrush));
    EXPECT_EQ(0u, ::GetObjectType(lastFont));
}

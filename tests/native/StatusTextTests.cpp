#include "workflow/StatusText.h"

#include "run/ResDefineCommand.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace plug;

namespace {

// Every status key gets a text that names it, in the way the shipped texts name the product.
std::map<std::wstring, std::wstring> Texts()
{
    return {
        {L"STR_STRING_INITDLG_STRING", L"init"},
        {L"STR_STRING_STATUS_TOP_STRING_2_0", L"driver"},
        {L"STR_STRING_STATUS_TOP_STRING_1_0", L"installing Norvo PC Suite (Norvo PC Suite)"},
        {L"STR_STRING_STATUS_TOP_STRING_1_0_0", L"installing vtp"},
        {L"STR_STRING_STATUS_TOP_STRING_1_0_CM", L"installing cm own"},
        {L"STR_STRING_STATUS_TOP_STRING_3_0", L"starting Norvo PC Suite"},
        {L"STR_STRING_STATUS_TOP_STRING_3_0_0", L"starting vtp"},
        {L"STR_STRING_STATUS_TOP_STRING_3_0_CM", L"starting cm own"},
    };
}

std::wstring Status(const StatusState& state, std::map<std::wstring, std::wstring> texts = Texts())
{
    return ChooseStatusText(state, [&texts](const std::wstring& key) { return texts[key]; });
}

StatusState Started(int kitType, bool japanese = false)
{
    StatusState state;
    state.autoRunStarted = true;
    state.kitType = kitType;
    state.japaneseLanguage = japanese;
    return state;
}

} // namespace

TEST(StatusText, BeforeTheStartAndWhileTheServiceIsDeployedThePreparationText)
{
    StatusState state; // nothing started: the other flags do not count yet
    state.installingDrv = state.installingITK = state.launchingITK = true;
    EXPECT_EQ(L"init", Status(state));

    state = Started(ITKTYPE_NorvoITK);
    state.installingSVC = state.installingDrv = true;
    EXPECT_EQ(L"init", Status(state));
}

TEST(StatusText, FlagsTakePrecedenceInOrder)
{
    StatusState state = Started(TYPE_PCSYNC);
    state.installingDrv = state.installingITK = state.launchingITK = true;
    EXPECT_EQ(L"driver", Status(state));
    state.installingDrv = false;
    EXPECT_EQ(L"installing Norvo PC Suite (Norvo PC Suite)", Status(state));
    state.installingITK = false;
    EXPECT_EQ(L"starting Norvo PC Suite", Status(state));
    state.launchingITK = false; // started, nothing flagged
    EXPECT_EQ(L"installing Norvo PC Suite (Norvo PC Suite)", Status(state));
}

TEST(StatusText, EachKitTypeGetsItsVariantInEveryKitRow)
{
    struct Row {
        int kitType;
        bool japanese;
        const wchar_t* installing;
        const wchar_t* starting;
    } rows[] = {
        {ITKTYPE_VTP, false, L"installing vtp", L"starting vtp"},
        {ITKTYPE_VTP, true, L"installing vtp", L"starting vtp"},
        {ITKTYPE_NorvoITK, false, L"installing Norvo Internet Kit (Norvo Internet Kit)",
         L"starting Norvo Internet Kit"},
        {TYPE_PCSYNC, true, L"installing Norvo PC Suite (Norvo PC Suite)", L"starting Norvo PC Suite"},
        {TYPE_CM_DCM, false, L"installing Norvo Connection Manager (Norvo Connection Manager)",
         L"starting Norvo Connection Manager"},
        {TYPE_CM_DCM, true, L"installing cm own", L"starting cm own"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kitType * 10 + row.japanese);
        StatusState installing = Started(row.kitType, row.japanese);
        installing.installingITK = true;
        EXPECT_EQ(row.installing, Status(installing));
        StatusState starting = Started(row.kitType, row.japanese);
        starting.launchingITK = true;
        EXPECT_EQ(row.starting, Status(starting));
        EXPECT_EQ(row.installing, Status(Started(row.kitType, row.japanese))); // started, nothing flagged
    }
}

TEST(StatusText, BlankConnectionManagerTextFallsBackWhileInstallingOrStarting)
{
    std::map<std::wstring, std::wstring> texts = Texts();
    texts[L"STR_STRING_STATUS_TOP_STRING_3_0_CM"] = L"  ";
    texts[L"STR_STRING_STATUS_TOP_STRING_1_0_CM"] = L"";
    StatusState starting = Started(TYPE_CM_DCM, true);
    starting.launchingITK = true;
    EXPECT_EQ(L"starting Norvo Connection Manager", Status(starting, texts));
    StatusState installing = Started(TYPE_CM_DCM, true);
    installing.installingITK = true;
    EXPECT_EQ(L"installing Norvo Connection Manager (Norvo Connection Manager)", Status(installing, texts));
    // Once started with nothing flagged the connection manager's own text stands as it is.
    EXPECT_EQ(L"", Status(Started(TYPE_CM_DCM, true), texts));
}

TEST(StatusLayout, BoldWhenItFitsThenSmallThenTwoLines)
{
    StatusLayout fits = ChooseStatusLayout(239, 500);
    EXPECT_FALSE(fits.smallFont);
    EXPECT_FALSE(fits.twoLines);
    StatusLayout small = ChooseStatusLayout(240, 239);
    EXPECT_TRUE(small.smallFont);
    EXPECT_FALSE(small.twoLines);
    StatusLayout wrapped = ChooseStatusLayout(300, 240);
    EXPECT_TRUE(wrapped.smallFont);
    EXPECT_TRUE(wrapped.twoLines);
}

TEST(BusyAnimation, FramesRunZeroToSevenAndFrameSevenRepeatsTheFirstPicture)
{
    int frame = -1;
    std::vector<unsigned> shown;
    for (int tick = 0; tick < 10; ++tick) {
        frame = NextAnimationFrame(frame);
        shown.push_back(AnimationFrameBitmap(frame));
    }
    std::vector<unsigned> expected = {148, 147, 149, 156, 151, 152, 153, 148, 148, 147};
    EXPECT_EQ(expected, shown);
}

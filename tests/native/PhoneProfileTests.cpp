// The device profile from outside data: the device's phone-setting answer, and the profile
// another instance sends over WM_COPYDATA (PHONEDATA), with the test whether it is the same device.
#include "core/PhoneData.h"
#include "core/PhoneReply.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace plug;

namespace {

// A profile as the configuration leaves it before the device is asked.
ResDefineCommand Configured(int driverType, int kitType)
{
    ResDefineCommand profile;
    profile.nDriverType = driverType;
    profile.nITKType = kitType;
    return profile;
}

ResDefineCommand Answered(int result, uint8_t b0, uint8_t b1, uint8_t b2, ResDefineCommand profile)
{
    const uint8_t bytes[3] = {b0, b1, b2};
    ApplyPhoneSettingReply(result, bytes, profile);
    return profile;
}

std::vector<int> Flags(const ResDefineCommand& profile)
{
    return std::vector<int>(profile.byPhoneFlag, profile.byPhoneFlag + 8);
}

// The text at one of PHONEDATA's text offsets, as UTF-16LE units up to (not including) the first zero.
std::u16string TextAt(const std::vector<uint8_t>& data, size_t offset)
{
    std::u16string text;
    for (size_t at = offset; at + 1 < data.size(); at += 2) {
        char16_t unit = static_cast<char16_t>(data[at] | (data[at + 1] << 8));
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    return text;
}

ResDefineCommand SampleProfile()
{
    ResDefineCommand profile;
    const uint8_t flags[8] = {0, 1, 0, 1, 1, 0, 1, 0};
    std::memcpy(profile.byPhoneFlag, flags, 8);
    profile.dwSCSIWaitTime = 0x01020304;
    profile.nDriverType = DRIVERTYPE_FOMA_K21C;
    profile.nITKType = -7; // not a known type: sent as it is
    profile.strDrvSetupFilename = L"DriverSetup.exe";
    profile.strITKSetupFinename = L"kit\\InternetKitSetup.exe";
    profile.strITKFilename = L"Kit.exe";
    profile.strDrive = L"R:\\";
    profile.bInstalledDrv = 1; // not exchanged
    return profile;
}

} // namespace

// --- The phone-setting answer ---

TEST(PhoneSettingReply, FullAnswerWithBit6SetChoosesThePcSuiteAndTheEmpDriver)
{
    ResDefineCommand profile = Answered(3, 0x4C, 0x07, 0xD0, Configured(DRIVERTYPE_QCT, ITKTYPE_NorvoITK));
    EXPECT_EQ((std::vector<int>{0, 0, 1, 1, 0, 0, 1, 0}), Flags(profile));
    EXPECT_EQ(2000u, profile.dwSCSIWaitTime);
    EXPECT_EQ(TYPE_PCSYNC, profile.nITKType);
    EXPECT_EQ(DRIVERTYPE_EMP, profile.nDriverType);
}

TEST(PhoneSettingReply, FullAnswerWithoutBit6SetsOnlyFlagsAndTheBigEndianWait)
{
    ResDefineCommand profile = Answered(3, 0x0F, 0x01, 0x00, Configured(DRIVERTYPE_FOMA_K21C, TYPE_CM_DCM));
    EXPECT_EQ((std::vector<int>{1, 1, 1, 1, 0, 0, 0, 0}), Flags(profile));
    EXPECT_EQ(256u, profile.dwSCSIWaitTime);
    EXPECT_EQ(DRIVERTYPE_FOMA_K21C, profile.nDriverType);
    EXPECT_EQ(TYPE_CM_DCM, profile.nITKType);
    EXPECT_EQ(65535u, Answered(3, 0, 0xFF, 0xFF, ResDefineCommand()).dwSCSIWaitTime);
    EXPECT_EQ(0u, Answered(3, 0, 0, 0, ResDefineCommand()).dwSCSIWaitTime);
}

TEST(PhoneSettingReply, Bit6WithAKitBitSetKeepsTheKitAndNeverKeepsK21c)
{
    // Bits 2 and 3 = 1, 0: QCT, also for a device configured as FOMA_K21C.
    ResDefineCommand profile = Answered(3, 0x45, 0x00, 0x10, Configured(DRIVERTYPE_FOMA_K21C, ITKTYPE_NorvoITK));
    EXPECT_EQ(DRIVERTYPE_QCT, profile.nDriverType);
    EXPECT_EQ(ITKTYPE_NorvoITK, profile.nITKType); // bit 0 set: the configured kit stays
    EXPECT_EQ(16u, profile.dwSCSIWaitTime);
    // Only bit 1 set keeps the kit too; bits 2, 3 = 0, 1 give QCT as well.
    profile = Answered(3, 0x4A, 0, 0, Configured(DRIVERTYPE_EMP, TYPE_CM_DCM));
    EXPECT_EQ(TYPE_CM_DCM, profile.nITKType);
    EXPECT_EQ(DRIVERTYPE_QCT, profile.nDriverType);
}

TEST(PhoneSettingReply, PartialAnswersSetTheFlagsOnly)
{
    // Two bytes: the flags of byte 0; wait and types as configured, whatever the other bytes hold.
    ResDefineCommand profile = Answered(2, 0x4C, 0x07, 0xD0, Configured(DRIVERTYPE_FOMA_K21C, ITKTYPE_VTP));
    EXPECT_EQ((std::vector<int>{0, 0, 1, 1, 0, 0, 1, 0}), Flags(profile));
    EXPECT_EQ(1000u, profile.dwSCSIWaitTime);
    EXPECT_EQ(DRIVERTYPE_FOMA_K21C, profile.nDriverType);
    EXPECT_EQ(ITKTYPE_VTP, profile.nITKType);

    // A zero-length answer leaves byte 0 at zero: every flag 0, even the ones that start at 1.
    profile = Answered(0, 0, 0, 0, Configured(DRIVERTYPE_QCT, ITKTYPE_NorvoITK));
    EXPECT_EQ(std::vector<int>(8, 0), Flags(profile));
    EXPECT_EQ(1000u, profile.dwSCSIWaitTime);
    EXPECT_EQ(ITKTYPE_NorvoITK, profile.nITKType);

    // More than three bytes counted is not a full answer either.
    EXPECT_EQ(1000u, Answered(4, 0x40, 0x07, 0xD0, ResDefineCommand()).dwSCSIWaitTime);
}

TEST(PhoneSettingReply, AccessDeniedReportedByTheServiceCountsAsAnAnswer)
{
    ResDefineCommand profile = Answered(-20, 0xC3, 0x07, 0xD0, Configured(DRIVERTYPE_QCT, ITKTYPE_VTP));
    EXPECT_EQ((std::vector<int>{1, 1, 0, 0, 0, 0, 1, 1}), Flags(profile));
    EXPECT_EQ(1000u, profile.dwSCSIWaitTime);
    EXPECT_EQ(ITKTYPE_VTP, profile.nITKType);
}

// --- PHONEDATA ---

TEST(PhoneData, LayoutIsLittleEndianWithFourTextsOf260Units)
{
    std::vector<uint8_t> data = EncodePhoneData(SampleProfile());
    ASSERT_EQ(2100u, data.size());
    EXPECT_EQ((std::vector<uint8_t>{0, 1, 0, 1, 1, 0, 1, 0}), std::vector<uint8_t>(data.begin(), data.begin() + 8));
    EXPECT_EQ((std::vector<uint8_t>{4, 3, 2, 1}), std::vector<uint8_t>(data.begin() + 8, data.begin() + 12));
    EXPECT_EQ((std::vector<uint8_t>{2, 0, 0, 0}), std::vector<uint8_t>(data.begin() + 12, data.begin() + 16));
    EXPECT_EQ((std::vector<uint8_t>{0xF9, 0xFF, 0xFF, 0xFF}),
              std::vector<uint8_t>(data.begin() + 16, data.begin() + 20));
    EXPECT_EQ(u"DriverSetup.exe", TextAt(data, 20));
    EXPECT_EQ(u"kit\\InternetKitSetup.exe", TextAt(data, 540));
    EXPECT_EQ(u"Kit.exe", TextAt(data, 1060));
    EXPECT_EQ(u"R:\\", TextAt(data, 1580));
    // Everything after each text is zero.
    for (size_t i = 20 + 2 * 15; i < 540; ++i)
        ASSERT_EQ(0, data[i]) << i;
}

TEST(PhoneData, RoundTripKeepsTheExchangedFieldsAndLeavesTheOthers)
{
    ResDefineCommand sent = SampleProfile();
    ResDefineCommand received;
    received.bInstalledITK = 1;
    received.bInstallDrv = 0;
    std::vector<uint8_t> data = EncodePhoneData(sent);
    ASSERT_TRUE(DecodePhoneData(data.data(), data.size(), &received));
    EXPECT_EQ(0, std::memcmp(sent.byPhoneFlag, received.byPhoneFlag, 8));
    EXPECT_EQ(sent.dwSCSIWaitTime, received.dwSCSIWaitTime);
    EXPECT_EQ(sent.nDriverType, received.nDriverType);
    EXPECT_EQ(-7, received.nITKType);
    EXPECT_EQ(sent.strDrvSetupFilename, received.strDrvSetupFilename);
    EXPECT_EQ(sent.strITKSetupFinename, received.strITKSetupFinename);
    EXPECT_EQ(sent.strITKFilename, received.strITKFilename);
    EXPECT_EQ(sent.strDrive, received.strDrive);
    EXPECT_EQ(0, received.bInstalledDrv); // not part of the payload
    EXPECT_EQ(1, received.bInstalledITK);
    EXPECT_EQ(0, received.bInstallDrv);
}

TEST(PhoneData, TextsOf260UnitsOrMoreAreCutSoTheirZeroFits)
{
    ResDefineCommand sent;
    sent.strDrvSetupFilename = std::wstring(259, L'a');
    sent.strITKSetupFinename = std::wstring(260, L'b');
    sent.strITKFilename = std::wstring(5000, L'c');
    sent.strDrive = std::wstring(261, L'd');
    std::vector<uint8_t> data = EncodePhoneData(sent);
    ASSERT_EQ(2100u, data.size());
    for (size_t offset : {20u, 540u, 1060u, 1580u}) {
        EXPECT_EQ(259u, TextAt(data, offset).size()) << offset;
        EXPECT_EQ(0, data[offset + 518]) << offset; // the 260th unit is the zero
        EXPECT_EQ(0, data[offset + 519]) << offset;
    }
    ResDefineCommand received;
    ASSERT_TRUE(DecodePhoneData(data.data(), data.size(), &received));
    EXPECT_EQ(std::wstring(259, L'a'), received.strDrvSetupFilename);
    EXPECT_EQ(std::wstring(259, L'b'), received.strITKSetupFinename);
    EXPECT_EQ(std::wstring(259, L'c'), received.strITKFilename);
    EXPECT_EQ(std::wstring(259, L'd'), received.strDrive);
}

TEST(PhoneData, PayloadsOfAnotherSizeOrWithoutDataAreNotRead)
{
    ResDefineCommand untouched = SampleProfile();
    std::vector<uint8_t> big(1 << 20, 0x41);
    const size_t sizes[] = {0, 1, 2099, 2101, big.size()};
    for (size_t size : sizes) {
        ResDefineCommand profile = SampleProfile();
        EXPECT_FALSE(DecodePhoneData(big.data(), size, &profile)) << size;
        EXPECT_EQ(untouched.strDrive, profile.strDrive) << size;
        EXPECT_EQ(untouched.dwSCSIWaitTime, profile.dwSCSIWaitTime) << size;
    }
    ResDefineCommand profile = SampleProfile();
    EXPECT_FALSE(DecodePhoneData(nullptr, 2100, &profile));
    EXPECT_EQ(untouched.strITKFilename, profile.strITKFilename);
}

TEST(PhoneData, TextsWithoutAZeroAreReadUpTo259Units)
{
    // Every text unit nonzero: no field has its zero, not even at the very end of the payload.
    std::vector<uint8_t> data(2100, 0);
    for (size_t i = 20; i < data.size(); i += 2) {
        data[i] = static_cast<uint8_t>('A' + (i - 20) / 520); // a different letter in each field
        data[i + 1] = 0x30;                                   // a unit above 0xFF
    }
    ResDefineCommand profile;
    ASSERT_TRUE(DecodePhoneData(data.data(), data.size(), &profile));
    const std::wstring* texts[] = {&profile.strDrvSetupFilename, &profile.strITKSetupFinename, &profile.strITKFilename,
                                   &profile.strDrive};
    for (const std::wstring* text : texts) {
        ASSERT_EQ(259u, text->size());
        EXPECT_EQ(std::wstring(259, (*text)[0]), *text);
        EXPECT_GE(static_cast<unsigned>((*text)[0]), 0x3000u);
    }
    // A field's text ends at its own zero and does not run into the next field.
    data[20 + 2 * 3] = 0;
    data[20 + 2 * 3 + 1] = 0;
    ASSERT_TRUE(DecodePhoneData(data.data(), data.size(), &profile));
    EXPECT_EQ(3u, profile.strDrvSetupFilename.size());
    EXPECT_EQ(259u, profile.strITKSetupFinename.size());
}

// --- Same device? ---

TEST(SameDevice, SameDriveLetterInAnyCaseIsTheSameDeviceWhateverTheProfile)
{
    ResDefineCommand mine = SampleProfile();
    ResDefineCommand other;
    other.strDrive = L"r";
    other.nITKType = TYPE_CM_DCM;
    EXPECT_TRUE(IsSameDeviceProfile(mine, other));
    other.strDrive = L"R:\\Plugstart";
    EXPECT_TRUE(IsSameDeviceProfile(mine, other));
    // Two empty drives count as the same drive.
    mine.strDrive.clear();
    other.strDrive.clear();
    EXPECT_TRUE(IsSameDeviceProfile(mine, other));
    // One empty drive is a different drive: the profiles decide.
    other.strDrive = L"R";
    EXPECT_FALSE(IsSameDeviceProfile(mine, other));
}

TEST(SameDevice, IdenticalProfilesOnDifferentDrivesAreTheSameDevice)
{
    ResDefineCommand mine = SampleProfile();
    ResDefineCommand other = SampleProfile();
    other.strDrive = L"S:\\";
    other.strDrvSetupFilename = L"DRIVERSETUP.EXE"; // file names ignore case
    other.strITKFilename = L"kit.EXE";
    other.bInstalledDrv = 0; // installation state is not compared
    other.bRequireUpITK = 1;
    EXPECT_TRUE(IsSameDeviceProfile(mine, other));
}

TEST(SameDevice, OneDifferentFieldOnAnotherDriveIsAnotherDevice)
{
    const ResDefineCommand mine = SampleProfile();
    auto differs = [&mine](void (*change)(ResDefineCommand&)) {
        ResDefineCommand other = mine;
        other.strDrive = L"S";
        change(other);
        return !IsSameDeviceProfile(mine, other);
    };
    EXPECT_TRUE(differs([](ResDefineCommand& p) { p.byPhoneFlag[7] = 1; }));
    EXPECT_TRUE(differs([](ResDefineCommand& p) { p.dwSCSIWaitTime += 1; }));
    EXPECT_TRUE(differs([](ResDefineCommand& p) { p.nDriverType = DRIVERTYPE_QCT; }));
    EXPECT_TRUE(differs([](ResDefineCommand& p) { p.nITKType = TYPE_PCSYNC; }));
    EXPECT_TRUE(differs([](ResDefineCommand& p) { p.strDrvSetupFilename += L" "; }));
    EXPECT_TRUE(differs([](ResDefineCommand& p) { p.strITKSetupFinename = L"kit\\Other.exe"; }));
    EXPECT_TRUE(differs([](ResDefineCommand& p) { p.strITKFilename.clear(); }));
}

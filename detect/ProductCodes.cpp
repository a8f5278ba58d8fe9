#include "ProductCodes.h"

namespace plug {
namespace detect {

const wchar_t kQctDriversCode[] = L"{F6082B9D-4E13-4C7A-B5E2-3D9A61C07E85}";
const wchar_t kQctDriversSecondCode[] = L"{C1935E7B-2A48-4F06-8D1C-7B3E90A5D264}";
const wchar_t kQctDriverCode[] = L"{A47F1C03-6B2E-4D85-B390-5E1D7C28F94B}";
const wchar_t kEmpDriverCode[] = L"{8E2D6A14-3C90-4F7B-A1D5-92B7C0E4F613}";
const wchar_t kK21cManagerCode[] = L"{5B0C31E2-7D4A-4E19-9C2B-1A6F83D2E7A0}";
const wchar_t kVtpKitCode[] = L"{7E4B90C2-1F5D-4A38-96CB-E2A07D5B8F19}";
const wchar_t kNorvoKitCode[] = L"{2D71E8A5-9B06-4F3C-A4E7-C85B1D0F3A62}";

const wchar_t kNorvoKitFolderName[] = L"NorvoInternetKit";
const wchar_t kNorvoKitProgram[] = L"NorvoInternetKit.exe";

} // namespace detect
} // namespace plug

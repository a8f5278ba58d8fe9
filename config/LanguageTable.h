// Which language file serves which user language. Portable: no Windows headers.
#pragma once

namespace plug {

// The relative name of the language file ("tools\lang_AutoRun_eng.opt" and its siblings) for a
// Windows language identifier: primary language in the low 10 bits, sublanguage above.
const wchar_t* LanguageFileForLangId(unsigned short langId);

} // namespace plug

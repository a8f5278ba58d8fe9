#include "LanguageTable.h"

namespace plug {

namespace {

struct LanguageRow {
    unsigned short primary;
    const wchar_t* file;
};

// Languages with one file whatever the sublanguage.
const LanguageRow kSingleFileLanguages[] = {
    {2, L"tools\\lang_AutoRun_bulgarian.opt"},  {5, L"tools\\lang_AutoRun_czech.opt"},
    {6, L"tools\\lang_AutoRun_danish.opt"},     {7, L"tools\\lang_AutoRun_german.opt"},
    {8, L"tools\\lang_AutoRun_greek.opt"},      {11, L"tools\\lang_AutoRun_finnish.opt"},
    {12, L"tools\\lang_AutoRun_french.opt"},    {14, L"tools\\lang_AutoRun_hungarian.opt"},
    {16, L"tools\\lang_AutoRun_italian.opt"},   {17, L"tools\\lang_AutoRun_japan.opt"},
    {18, L"tools\\lang_AutoRun_kor.opt"},       {19, L"tools\\lang_AutoRun_dutch.opt"},
    {20, L"tools\\lang_AutoRun_norwegian.opt"}, {21, L"tools\\lang_AutoRun_polish.opt"},
    {25, L"tools\\lang_AutoRun_russian.opt"},   {27, L"tools\\lang_AutoRun_slovakia.opt"},
    {29, L"tools\\lang_AutoRun_swedish.opt"},   {31, L"tools\\lang_AutoRun_turkish.opt"},
    {36, L"tools\\lang_AutoRun_slovene.opt"},
};

const wchar_t kEnglish[] = L"tools\\lang_AutoRun_eng.opt";

const wchar_t* ChineseFile(unsigned sub)
{
    if (sub == 1)
        return L"tools\\lang_AutoRun_chi_tai.opt";
    if (sub == 2)
        return L"tools\\lang_AutoRun_chi_sim.opt";
    return L"tools\\lang_AutoRun_chi_hk.opt"; // Hong Kong, Singapore, Macau
}

const wchar_t* SpanishFile(unsigned sub)
{
    if (sub == 1 || sub == 3)
        return L"tools\\lang_AutoRun_spanish.opt";
    if (sub == 2)
        return L"tools\\lang_AutoRun_spanish_mx.opt";
    return L"tools\\lang_AutoRun_spanish_la.opt";
}

} // namespace

const wchar_t* LanguageFileForLangId(unsigned short langId)
{
    const unsigned primary = langId & 0x3FFu;
    const unsigned sub = langId >> 10;
    switch (primary) {
    case 4:
        return ChineseFile(sub);
    case 10:
        return SpanishFile(sub);
    case 22:
        return sub == 1 ? L"tools\\lang_AutoRun_portuguese_br.opt" : L"tools\\lang_AutoRun_portuguese.opt";
    case 26: // Serbian, Croatian and Bosnian share the primary language
        return langId == 0x041A ? L"tools\\lang_AutoRun_croatian.opt" : L"tools\\lang_AutoRun_serbian.opt";
    default:
        break;
    }
    for (const LanguageRow& row : kSingleFileLanguages) {
        if (row.primary == primary)
            return row.file;
    }
    return kEnglish;
}

} // namespace plug

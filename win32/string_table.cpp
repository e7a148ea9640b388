#include "win32/string_table.h"

namespace win32 {

namespace {

// String tables are stored as blocks of 16 counted strings; block n + 1 holds
// ids 16n to 16n + 15.
bool FindInBlock(HMODULE module, UINT id, LANGID language, std::wstring& text)
{
    const HRSRC resource =
        ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW((id >> 4) + 1), language);
    if (!resource)
        return false;
    const HGLOBAL loaded = ::LoadResource(module, resource);
    const DWORD cbBlock = ::SizeofResource(module, resource);
    const auto* cursor = static_cast<const WCHAR*>(::LockResource(loaded));
    if (!cursor)
        return false;
    const WCHAR* const end = cursor + cbBlock / sizeof(WCHAR);
    for (UINT index = 0; index < (id & 15); ++index) {
        if (cursor >= end)
            return false;
        cursor += 1 + *cursor;
    }
    if (cursor >= end || *cursor == 0 || cursor + 1 + *cursor > end)
        return false;
    text.assign(cursor + 1, *cursor);
    return true;
}

}  // namespace

LANGID ProductLanguageFor(LANGID uiLanguage)
{
    const WORD primary = PRIMARYLANGID(uiLanguage);
    switch (primary) {
    case LANG_CZECH:
    case LANG_GERMAN:
    case LANG_SPANISH:
    case LANG_FRENCH:
    case LANG_ITALIAN:
    case LANG_JAPANESE:
    case LANG_KOREAN:
        return MAKELANGID(primary, SUBLANG_NEUTRAL);
    case LANG_PORTUGUESE:
        return MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN);
    case LANG_CHINESE:
        switch (SUBLANGID(uiLanguage)) {
        case SUBLANG_CHINESE_TRADITIONAL:
        case SUBLANG_CHINESE_HONGKONG:
        case SUBLANG_CHINESE_MACAU:
            return MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL);
        default:
            return MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
        }
    default:
        return kEnglishLanguage;
    }
}

LANGID CurrentProductLanguage()
{
    return ProductLanguageFor(::GetUserDefaultUILanguage());
}

std::wstring LoadTableString(HMODULE module, UINT id, LANGID language)
{
    std::wstring text;
    if (FindInBlock(module, id, language, text))
        return text;
    if (language != kEnglishLanguage && FindInBlock(module, id, kEnglishLanguage, text))
        return text;
    return {};
}

std::wstring LoadTableString(HMODULE module, UINT id)
{
    return LoadTableString(module, id, CurrentProductLanguage());
}

}  // namespace win32

#include "settings/list_entry.h"

namespace {

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

}  // namespace

bool IsWildcardPattern(const std::wstring& text)
{
    return text.find(L'*') != std::wstring::npos && text.find(L'.') != std::wstring::npos;
}

bool IsFullPathEntry(const std::wstring& text)
{
    if (text.size() >= 3 && IsDriveLetter(text[0]) && text[1] == L':' && IsSeparator(text[2]))
        return true;
    if (text.size() < 3 || !IsSeparator(text[0]) || !IsSeparator(text[1]))
        return false;
    // "\\server\share": a server name, then a share name.
    const size_t server = text.find_first_of(L"\\/", 2);
    if (server == std::wstring::npos || server == 2)
        return false;
    const std::wstring name = text.substr(2, server - 2);
    if (name == L"." || name == L"?")
        return false;
    return server + 1 < text.size() && !IsSeparator(text[server + 1]);
}

bool IsValidListEntry(const std::wstring& text)
{
    if (text.empty() || !FitsStoredText(text) || text.find(L'|') != std::wstring::npos ||
        text.find(L'\0') != std::wstring::npos)
        return false;
    return IsFullPathEntry(text) || IsWildcardPattern(text);
}

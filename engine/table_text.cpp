#include "engine/table_text.h"

#include "framework/module.h"
#include "win32/string_table.h"

std::wstring FormatTableText(UINT id, const std::wstring& argument)
{
    std::wstring text = win32::LoadTableString(fw::ResourceInstance(), id);
    const size_t marker = text.find(L"%s");
    if (marker != std::wstring::npos)
        text.replace(marker, 2, argument);
    return text;
}

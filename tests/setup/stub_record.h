// What the recording stand-in (recording_stub.cpp) wrote, and where the
// built programs are.
#pragma once

#include "tests/common/scratch_folder.h"

#include <windows.h>

#include <string>
#include <vector>

namespace setuptest {

// A program of the build tree, as Wine reaches it.
inline std::wstring BuiltProgram(const wchar_t* unixPath)
{
    std::wstring path = L"\\\\?\\unix" + std::wstring(unixPath);
    for (wchar_t& c : path)
        c = c == L'/' ? L'\\' : c;
    return path;
}

// One "<window state>|<parameters>" per start; none when nothing started.
inline std::vector<std::wstring> RecordedStarts(const std::wstring& recordPath)
{
    std::string bytes;
    std::vector<std::wstring> lines;
    if (!testsupport::ReadFileBytes(recordPath, bytes))
        return lines;
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()),
                            bytes.size() / sizeof(wchar_t));
    for (size_t begin = 0, end; (end = text.find(L'\n', begin)) != std::wstring::npos;
         begin = end + 1)
        lines.push_back(text.substr(begin, end - begin));
    return lines;
}

}  // namespace setuptest

#include "tests/common/system_text.h"

namespace testsupport {

std::string SystemText(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD cch = ::FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (cch != 0 && buffer) {
        const int cb = ::WideCharToMultiByte(CP_ACP, 0, buffer, static_cast<int>(cch), nullptr, 0,
                                             nullptr, nullptr);
        text.resize(cb > 0 ? static_cast<size_t>(cb) : 0);
        if (cb > 0)
            ::WideCharToMultiByte(CP_ACP, 0, buffer, static_cast<int>(cch), text.data(), cb,
                                  nullptr, nullptr);
    }
    if (buffer)
        ::LocalFree(buffer);
    return text;
}

}  // namespace testsupport

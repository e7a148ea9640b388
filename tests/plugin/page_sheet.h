// The plug-in's pages in a property sheet of the host stand-in, for the page
// tests: CPlugin offers its pages to the host's site, the site keeps the
// ones a test asks for, and the sheet shows the first of them.
#pragma once

#include "host/host.h"
#include "tests/common/registry_sandbox.h"

#include <windows.h>

#include <string>
#include <vector>

namespace hosttest {

// Page order as CPlugin offers them.
enum PageIndex : size_t { kLandingPage = 0, kShredPage = 1, kBleachPage = 2, kSettingsPage = 3 };

struct DisplayAnswer {
    UINT index;
    long number;          // for the integer properties
    const wchar_t* text;  // for the face name (property 6)
};

class PageSheet {
public:
    // A sheet of the pages in `pages` (all four when empty), built through
    // the host's site answering `answers`. Ready() tells whether it worked.
    explicit PageSheet(std::vector<size_t> pages = {}, std::vector<DisplayAnswer> answers = {},
                       bool withApply = false);
    ~PageSheet();
    PageSheet(const PageSheet&) = delete;
    PageSheet& operator=(const PageSheet&) = delete;

    bool Ready() const { return m_sheet != nullptr; }
    HWND Sheet() const { return m_sheet; }
    // Selects the page at `tab` (the sheet creates it then, under Wine) and
    // returns its window.
    HWND Select(int tab);
    HWND CurrentPage() const;
    // Destroys the sheet and its pages now.
    void Destroy();

private:
    HWND m_sheet = nullptr;
};

// Every page case starts without product keys, on a control pipe name of its
// own (nobody listens unless the case does), with the desktop-icon pause
// switched off, and with the desktop icon's ProgID as the case sets it.
class PageTest : public testsupport::ProductRegistryTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates or removes HKCR "Fennick.OVHWDesktopFolderImpl". A ProgID that
    // was registered before the case is never removed: the case is skipped.
    void SetDesktopIconRegistered(bool registered);

    std::wstring controlPipe;

private:
    bool m_progIdBefore = false;
    bool m_progIdCreated = false;
};

inline constexpr wchar_t kDesktopIconProgId[] = L"Fennick.OVHWDesktopFolderImpl";

}  // namespace hosttest

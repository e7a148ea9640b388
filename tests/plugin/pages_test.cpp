// CPlugin against the host's page site: the display properties it records,
// the pages it offers, and a property sheet made of the accepted ones.
#include "plugin/pages.h"

#include "framework/display_style.h"
#include "framework/module.h"
#include "tests/common/registry_sandbox.h"
#include "tests/plugin/host_test_support.h"

#include <commctrl.h>
#include <oleauto.h>

#include <gtest/gtest.h>

namespace {

using fwhost::CHostPageSite;

// One scripted property: a variant the site answers with.
struct Answer {
    UINT index;
    VARTYPE type;
    long number;
    const wchar_t* text;
};

struct DisplayCase {
    const char* name;
    std::vector<Answer> answers;
    const wchar_t* expected;
};

VARIANT MakeVariant(const Answer& answer)
{
    VARIANT value;
    ::VariantInit(&value);
    V_VT(&value) = answer.type;
    switch (answer.type) {
    case VT_BSTR:
        V_BSTR(&value) = ::SysAllocString(answer.text);
        break;
    case VT_R8:
        V_R8(&value) = static_cast<double>(answer.number);
        break;
    case VT_UI2:
        V_UI2(&value) = static_cast<USHORT>(answer.number);
        break;
    default:
        V_I4(&value) = answer.number;
        break;
    }
    return value;
}

const wchar_t kLongFace[] = L"A face name longer than LOGFONT holds, 45 chars";

const DisplayCase kDisplayCases[] = {
    {"NoPropertyAnswered", {}, L"16777215:0:8:0:MS Shell Dlg"},
    {"AllAnswered",
     {{4, VT_I4, 0x102030, nullptr},
      {5, VT_I4, 0xFF, nullptr},
      {6, VT_BSTR, 0, L"Arial"},
      {7, VT_I4, 12, nullptr},
      {8, VT_I4, 3, nullptr}},
     L"1056816:255:12:3:Arial"},
    // Other variant types are converted; what does not convert keeps the default.
    {"WrongTypes",
     {{4, VT_BSTR, 0, L"not a colour"},
      {5, VT_UI2, 0x80, nullptr},
      {6, VT_I4, 7, nullptr},
      {7, VT_BSTR, 0, L"14"},
      {8, VT_R8, 2, nullptr}},
     L"16777215:128:14:2:7"},
    {"SignedColourAndLongFace",
     {{4, VT_I4, -1, nullptr}, {6, VT_BSTR, 0, kLongFace}},
     L"-1:0:8:0:A face name longer than LOGFONT"},
};

void PrintTo(const DisplayCase& c, std::ostream* out)
{
    *out << c.name;
}

class DisplayProperties : public testsupport::ProductRegistryTest,
                          public ::testing::WithParamInterface<DisplayCase> {};

TEST_P(DisplayProperties, AreWrittenAsDisplayFontSettings)
{
    const DisplayCase& c = GetParam();
    win32::ComPtr<IFWTWPages> plugin;
    ASSERT_HRESULT_SUCCEEDED(
        hosttest::InProcessCreator(IID_IFWTWPages, IID_IFWTWPages, plugin.put_void()));
    win32::ComPtr<CHostPageSite> site(new CHostPageSite);
    for (const Answer& answer : c.answers) {
        VARIANT value = MakeVariant(answer);
        site->SetProperty(answer.index, value);
        ::VariantClear(&value);
    }
    ASSERT_EQ(S_OK, plugin->CreatePages(site.get()));

    const std::wstring expected = c.expected;
    const testsupport::RawValue raw =
        testsupport::GetRaw(HKEY_CURRENT_USER, testsupport::kSettingsKey, L"DisplayFontSettings");
    ASSERT_TRUE(raw.exists);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), raw.type);
    // Stored with its terminating NUL.
    const std::wstring withNul = expected + L'\0';
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(withNul.c_str()),
                          withNul.size() * sizeof(wchar_t)),
              raw.bytes);

    // The pages' font is made of the same face and size.
    const fw::CDisplayStyle style(fw::CDisplayStyle::kTextColourOnly, CurrentDisplayProperties());
    const HFONT font = style.MakeFont();
    ASSERT_TRUE(font);
    LOGFONTW logFont = {};
    ASSERT_TRUE(::GetObjectW(font, sizeof(logFont), &logFont));
    ::DeleteObject(font);
    EXPECT_EQ(expected.substr(expected.rfind(L':') + 1), logFont.lfFaceName);
}

INSTANTIATE_TEST_SUITE_P(Host, DisplayProperties, ::testing::ValuesIn(kDisplayCases),
                         [](const auto& info) { return std::string(info.param.name); });

// References the host holds on CPlugin beyond its own, read without changing them.
ULONG ExtraReferences(IUnknown* object)
{
    object->AddRef();
    return object->Release() - 1;
}

class PagesOffered : public testsupport::ProductRegistryTest,
                     public ::testing::WithParamInterface<int> {
protected:
    hosttest::PrivateIconRequests iconRequests;
};

// -1: the site accepts every page; otherwise the offer it refuses.
TEST_P(PagesOffered, RefusedPageIsDestroyedAndTheOthersMakeTheSheet)
{
    const int refused = GetParam();
    ASSERT_TRUE(fw::EnsureCommonControls());
    win32::ComPtr<IFWTWPages> plugin;
    ASSERT_HRESULT_SUCCEEDED(
        hosttest::InProcessCreator(IID_IFWTWPages, IID_IFWTWPages, plugin.put_void()));
    win32::ComPtr<CHostPageSite> site(new CHostPageSite);
    if (refused >= 0)
        site->RefuseOffer(static_cast<size_t>(refused));
    ASSERT_EQ(S_OK, plugin->CreatePages(site.get()));

    const struct {
        const wchar_t* title;
        UINT position;
    } expected[] = {{L"Scoravel", 1}, {L"Shred", 2}, {L"Bleaching", 2}, {L"Settings", 2}};
    const auto offers = site->Offers();
    ASSERT_EQ(4u, offers.size());
    std::vector<std::wstring> acceptedTitles;
    for (size_t i = 0; i < offers.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(3u, offers[i].kind);
        EXPECT_EQ(L"Scoravel", offers[i].category);
        EXPECT_EQ(expected[i].position, offers[i].position);
        EXPECT_EQ(0u, offers[i].flags);
        EXPECT_EQ(expected[i].title, offers[i].title);
        EXPECT_EQ(sizeof(FWTW_PAGEINFO), offers[i].info.cbSize);
        EXPECT_EQ(5u, offers[i].info.kind);
        EXPECT_EQ(222u, offers[i].info.iconId);
        EXPECT_EQ(::GetModuleHandleW(nullptr), offers[i].info.instance);
        EXPECT_TRUE(offers[i].info.page);
        EXPECT_EQ(static_cast<int>(i) != refused, offers[i].accepted);
        if (offers[i].accepted)
            acceptedTitles.emplace_back(expected[i].title);
    }
    // Each living page holds the plug-in object; the refused one is gone.
    EXPECT_EQ(acceptedTitles.size(), ExtraReferences(plugin.get()));

    const HWND sheet = fwhost::CreatePropertySheet(site->TakeAcceptedPages(), nullptr, L"Console");
    ASSERT_TRUE(sheet);
    EXPECT_EQ(acceptedTitles, fwhost::SheetTabTitles(sheet));
    ::DestroyWindow(sheet);
    EXPECT_EQ(0u, ExtraReferences(plugin.get()));

    site.reset();
    plugin.reset();
    EXPECT_EQ(0, fw::LiveComObjects());
}

INSTANTIATE_TEST_SUITE_P(Host, PagesOffered, ::testing::Values(-1, 0, 1, 3), [](const auto& info) {
    return info.param < 0 ? std::string("NoneRefused") : "Refused" + std::to_string(info.param);
});

}  // namespace

// DialogViewer.exe: shows one of the profile dialogs for real, for looking
// at its layout by hand (never run by the tests). "0" to "4" opens the
// details dialog of that profile, "custom" the custom option dialog;
// "/seed" first stores an Advanced and a Simple delete body to look at;
// "/font:N" first offers the plug-in a display font of N points, as the
// host does.
#include "host/host.h"
#include "plugin/add_custom_dialog.h"
#include "plugin/plugin_objects.h"
#include "plugin/profile_dialogs.h"

#include <windows.h>

#include <cwchar>
#include <memory>

namespace {

void Seed(int32_t profile)
{
    SettingsStore settings;
    settings.SetSecurityProfile(profile);
    settings.SetShredCookies(true);
    settings.SetConfirmShredCookies(true);
    settings.SetShredRecycle(true);
    settings.AddFileEntry(L"C:\\users\\Public\\Documents\\a rather long folder name\\notes.txt",
                          true);
    settings.AddExcludeEntry(L"C:\\users\\Public\\Music");
    settings.SetEraseMethod(3);
    settings.SaveProfileBody();
}

// The plug-in takes the host's display properties when it offers its pages.
void OfferFont(int points)
{
    win32::ComPtr<IFWTWPages> plugin;
    if (FAILED(CreatePluginPages(IID_IFWTWPages, plugin.put_void())))
        return;
    win32::ComPtr<fwhost::CHostPageSite> site(new fwhost::CHostPageSite);
    VARIANT size;
    ::VariantInit(&size);
    V_VT(&size) = VT_I4;
    V_I4(&size) = points;
    site->SetProperty(kFwtwFontSize, size);
    if (SUCCEEDED(plugin->CreatePages(site.get())))
        for (HPROPSHEETPAGE page : site->TakeAcceptedPages())
            ::DestroyPropertySheetPage(page);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::wcsncmp(argv[i], L"/font:", 6) == 0) {
            OfferFont(static_cast<int>(std::wcstol(argv[i] + 6, nullptr, 10)));
        } else if (std::wcscmp(argv[i], L"/seed") == 0) {
            Seed(kProfileAdvanced);
            Seed(kProfileSimple);
        } else if (std::wcscmp(argv[i], L"custom") == 0) {
            CAddCustomDlg dialog;
            dialog.DoModal(nullptr);
        } else {
            const int32_t profile = static_cast<int32_t>(std::wcstol(argv[i], nullptr, 10));
            const auto dialog = MakeProfileDialog(profile);
            if (dialog)
                dialog->DoModal(nullptr);
        }
    }
    return 0;
}

// The browsers whose traces can be shredded, and the product's extensions for
// them. Each trace builder turns one kind of trace (typed URLs, auto-complete
// data, temporary Internet files, history, cookies) into an asset owned by
// the caller, or gives none when the browser or its folder is missing.
#pragma once

#include "engine/asset.h"

#include <windows.h>

#include <memory>
#include <string>

inline constexpr int kBrowserIdNone = 0;
inline constexpr int kBrowserIdInternetExplorer = 1;
inline constexpr int kBrowserIdFirefox = 2;

// The extension library, looked for only in the install folder.
inline constexpr wchar_t kIEExtensionLibrary[] = L"Tessick.dll";
// Value name under HKCU "Software\Mozilla\FireFox\Extensions"; its data is
// the extension folder of that name in the install folder.
inline constexpr wchar_t kFirefoxExtensionId[] = L"Marrowick@ostervale.com";
inline constexpr wchar_t kFirefoxExtensionFolder[] = L"Marrowick";
inline constexpr wchar_t kFirefoxExtensionsKey[] = L"Software\\Mozilla\\FireFox\\Extensions";
inline constexpr wchar_t kFirefoxMachineKey[] = L"SOFTWARE\\Mozilla\\Mozilla Firefox";

class Browser {
public:
    Browser() = default;
    virtual ~Browser() = default;
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    virtual HRESULT InstallExtension() { return S_OK; }
    virtual HRESULT RemoveExtension() { return S_OK; }
    virtual int GetBrowserId() const { return kBrowserIdNone; }

    // `confirm` is the profile's ask-first flag for this kind of trace.
    virtual std::unique_ptr<IDAsset> MakeUrlListAsset(bool confirm);
    virtual std::unique_ptr<IDAsset> MakeAutoCompleteAsset(bool confirm);
    virtual std::unique_ptr<IDAsset> MakeTempFilesAsset(bool confirm);
    virtual std::unique_ptr<IDAsset> MakeHistoryAsset(bool confirm);
    virtual std::unique_ptr<IDAsset> MakeCookiesAsset(bool confirm);

protected:
    // A shell folder (CSIDL_...): its current location, else its default one.
    // False when neither is known.
    static bool ShellFolder(int csidl, std::wstring& path);
    // "X:\..." or "\\server\share...": never resolved against the current
    // folder or drive.
    static bool IsFullPath(const std::wstring& path);
    // The display name of a trace from the program's string table.
    static std::wstring TraceName(UINT id);
};

class InternetExp : public Browser {
public:
    // Registers or unregisters the extension library found in the install
    // folder: S_OK, E_FAIL (no library there, no entry point), or the
    // library's own failure code.
    HRESULT InstallExtension() override;
    HRESULT RemoveExtension() override;
    int GetBrowserId() const override { return kBrowserIdInternetExplorer; }

    std::unique_ptr<IDAsset> MakeUrlListAsset(bool confirm) override;
    std::unique_ptr<IDAsset> MakeAutoCompleteAsset(bool confirm) override;
    std::unique_ptr<IDAsset> MakeTempFilesAsset(bool confirm) override;
    std::unique_ptr<IDAsset> MakeHistoryAsset(bool confirm) override;
    std::unique_ptr<IDAsset> MakeCookiesAsset(bool confirm) override;

    // Windows versions (as reported to this program) that keep jump lists in
    // Recent\CustomDestinations beside the history.
    static bool HasJumpListFolder(DWORD majorVersion, DWORD minorVersion);

private:
    static HRESULT CallRegistrationEntry(const char* entryName);
};

class FireFox : public Browser {
public:
    // Reads the machine's Firefox registration: installed or not, and the
    // major version.
    FireFox();

    // Both E_FAIL when Firefox is not installed; nothing is touched then.
    HRESULT InstallExtension() override;
    HRESULT RemoveExtension() override;
    int GetBrowserId() const override { return kBrowserIdFirefox; }

    std::unique_ptr<IDAsset> MakeUrlListAsset(bool confirm) override;
    std::unique_ptr<IDAsset> MakeAutoCompleteAsset(bool confirm) override;
    std::unique_ptr<IDAsset> MakeTempFilesAsset(bool confirm) override;
    std::unique_ptr<IDAsset> MakeHistoryAsset(bool confirm) override;
    std::unique_ptr<IDAsset> MakeCookiesAsset(bool confirm) override;

    // One entry per profile of the user's profiles.ini: the profile folder
    // followed by `suffix`; "\Cache" gives the cache folders (their contents,
    // the folders kept), any other suffix a file. None when the list cannot
    // be opened or a needed folder is unknown. A path holding a control
    // character is passed over; a cache folder that no trace may empty
    // makes the whole list a refused trace.
    std::unique_ptr<DocFileList> ReadProfiles(const std::wstring& suffix) const;

    bool IsInstalled() const { return m_installed; }
    // The whole leading number of the version text; 0 when unknown.
    int GetMajorVersion() const { return m_majorVersion; }

private:
    struct ProfileTrace;
    std::unique_ptr<IDAsset> MakeProfileAsset(const ProfileTrace& trace, bool confirm) const;

    bool m_installed = false;
    int m_majorVersion = 0;
};

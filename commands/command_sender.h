// What the plug-in and the desktop icon ask of the resident shredding
// program, and the folders and help file they start programs from. Nothing
// here shreds: every request is a window-text command to Graventa's window,
// dropped silently when Graventa does not run.
#pragma once

#include <windows.h>

#include <string>

// Each request returns what Graventa's window answered, or 0 when it was
// not sent or the window did not answer in time (SendMainWindowCommand).
// Flag 0 starts the run, flag 1 brings its progress window forward.
LRESULT RequestShredAll(int flag);
LRESULT RequestDiskBleach(int flag);
LRESULT RequestInstallFFBho();
LRESULT RequestRemoveFFBho();
LRESULT RequestRemoveIcon();

// Shreds `path`, or what the user chooses in the file-or-folder dialog when
// it is empty. The dialog opens over `owner`, the window the user acted in,
// or mid-screen when there is none (the tray menu). -1 when the user
// cancels; 0 when nothing was sent or the window did not answer (a request
// already running; a path that is not fully qualified, names no file or
// folder or does not fit 260 characters; no Graventa); otherwise what the
// window answered. What is sent is the path's full form ("." and ".."
// resolved).
LRESULT RequestShredOne(const std::wstring& path, HWND owner = nullptr);

// "FerrowindPath" of HKLM "Software\Ferrowind" (`hostKeyPath` for the
// 64-bit desktop icon, which reads the 32-bit view's copy); empty when missing.
inline constexpr wchar_t kHostKeyPath[] = L"Software\\Ferrowind";
std::wstring GetHostInstallPath(const wchar_t* hostKeyPath = kHostKeyPath);

// Starts the host's console at the plug-in's landing page (page 0) or its
// Settings page (page 3). False, and nothing started, without a host folder.
bool OpenHostConsole(int page, const wchar_t* hostKeyPath = kHostKeyPath);

// The help file in the user's language below the install folder.
class ProductHelp {
public:
    ProductHelp();
    // The help path below the install folder for a user-interface language.
    static const wchar_t* LanguageHelpPath(LANGID language);
    // Starts hh.exe on the help topic in `language` (the user's by default);
    // 1 when it started, 0 otherwise (no install folder, start failed).
    int OpenHelp(LANGID language = ::GetUserDefaultUILanguage());
    const std::wstring& HelpPath() const { return m_helpPath; }

private:
    std::wstring m_installFolder;
    std::wstring m_helpPath;
};

// The open help window of the product ("HH Parent" titled "Scoravel for
// OV Tarnwell"), or null.
HWND FindProductHelpWindow();
// Opens the help file of the user's language unless its window is open.
void OpenProductHelp();

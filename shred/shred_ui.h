// What a shred run asks of whoever started it: a yes-or-no question, a
// warning, and a balloon for the tray icon. The shredding program answers
// with its dialogs and the tray pipe (program/ui/graventa_shred_ui.h); the
// bleach service, which has nobody to ask, with SilentShredUi().
#pragma once

#include <string>

class IShredUi {
public:
    virtual ~IShredUi() = default;
    // True only for Yes.
    virtual bool Ask(const std::wstring& question) = 0;
    virtual void Warn(const std::wstring& message) = 0;
    // One balloon; best effort, never waited for.
    virtual void Balloon(const std::wstring& title, const std::wstring& text, int id) = 0;
};

// Asks nobody (every question is answered No), shows and sends nothing.
IShredUi& SilentShredUi();

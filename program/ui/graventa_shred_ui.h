// The shredding program's answer to a shred run: its warning and confirmation
// dialogs, and balloons through the tray pipe. The program keeps one and
// hands it to each shred manager it makes.
#pragma once

#include "shred/shred_ui.h"

class GraventaShredUi : public IShredUi {
public:
    bool Ask(const std::wstring& question) override;
    void Warn(const std::wstring& message) override;
    void Balloon(const std::wstring& title, const std::wstring& text, int id) override;
};

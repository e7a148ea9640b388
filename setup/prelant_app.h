// Prelant's application object: all its work happens in InitInstance, which
// returns FALSE so that no message loop runs.
#pragma once

#include "framework/app.h"

class CPrelantApp : public fw::CWinApp {
protected:
    BOOL InitInstance() override;
};

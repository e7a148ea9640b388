// The desktop icon's registration as data: the module's application id
// (script 101), the folder class with its ProgIDs, shell approval and desktop
// name-space entry (script 102); the drop target (script 103) registers
// nothing. One piece of code applies, removes and checks a script, for
// DllRegisterServer, DllUnregisterServer and the tests alike.
#pragma once

#include "framework/com/registration.h"

#include <windows.h>

#include <string>
#include <vector>

// What happens to a key of a script.
enum class KeyRule {
    kOwned,     // created by registration, removed whole by unregistration
    kReplaced,  // as kOwned, and deleted whole before it is written again
    kKept,      // may be created, never removed: only the script's values in it go
};

struct ScriptKey {
    HKEY root;
    std::wstring path;
    KeyRule rule;
};

struct RegistrationScript {
    // The keys the script names in its own right, outermost first; a key
    // below an owned one goes with it. Empty keys are listed too.
    std::vector<ScriptKey> keys;
    // Every value, each in a key of `keys` or below one.
    std::vector<fw::RegistryRow> values;
};

// Script 101 (the module's application id, below the kept key "AppID").
RegistrationScript ModuleScript();
// Script 102 for the library at `modulePath`.
RegistrationScript FolderClassScript(const std::wstring& modulePath);

// Writes every key and value: replaced keys are deleted first. The first
// failure ends it and is returned.
HRESULT ApplyScript(const RegistrationScript& script);
// Removes the owned keys whole and the values of the kept ones; what is
// already gone counts as removed. The first failure ends it.
HRESULT RemoveScript(const RegistrationScript& script);
// True when every key exists and every value is stored exactly.
bool ScriptIsApplied(const RegistrationScript& script);

// The module whose resources (dialog templates, string table, icons) the
// framework's windows load. The executable's own module unless a test (or a
// library that carries its own resources) points it elsewhere.
#pragma once

#include <windows.h>

namespace fw {

HINSTANCE ResourceInstance();
// Null restores the executable's module.
void SetResourceInstance(HINSTANCE module);

// Registers the common-control window classes (progress bar, list view, date
// picker ...) once per process; templates that use them fail without it.
bool EnsureCommonControls();

}  // namespace fw

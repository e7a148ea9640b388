// String-table texts in the product's languages. Each deliverable carries
// its own table (ids repeat with other texts across deliverables); a text
// missing in the user's language falls back to English.
#pragma once

#include <windows.h>

#include <string>

namespace win32 {

inline constexpr LANGID kEnglishLanguage = 1033;

// The product language for a Windows UI language: one of 5, 7, 10, 12, 16,
// 17, 18 (neutral sublanguage), 1028, 1033, 1046, 2052; English otherwise.
LANGID ProductLanguageFor(LANGID uiLanguage);

// The product language of the current user's UI language.
LANGID CurrentProductLanguage();

// The text of `id` in `language`, else in English; empty when neither has it.
std::wstring LoadTableString(HMODULE module, UINT id, LANGID language);

// The text of `id` in the current product language.
std::wstring LoadTableString(HMODULE module, UINT id);

}  // namespace win32

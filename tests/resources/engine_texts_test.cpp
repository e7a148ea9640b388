// Every text the engine loads by id is in each program that links the
// engine, and means the same there: the log a bleach writes from Wardelle
// must read as the one Graventa writes.
#include "resources/engine/text_ids.h"
#include "win32/unique_handle.h"

#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

// Every id of the engine's table, from the header the engine's code uses.
#define ENGINE_TEXT_ID_ENTRY(id) id,
constexpr UINT kEngineTextIds[] = {ENGINE_TEXT_IDS(ENGINE_TEXT_ID_ENTRY)};
#undef ENGINE_TEXT_ID_ENTRY

win32::UniqueModule LoadProgramData(const wchar_t* unixPath)
{
    // Wine reaches files outside every drive as "\\?\unix\...".
    const std::wstring path = L"\\\\?\\unix" + std::wstring(unixPath);
    return win32::UniqueModule(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

// The text as stored (a zero-length buffer asks for a pointer to it); absent
// and empty are told apart by the count.
bool StoredText(HMODULE module, UINT id, std::wstring& text)
{
    const wchar_t* stored = nullptr;
    const int cch = ::LoadStringW(module, id, reinterpret_cast<wchar_t*>(&stored), 0);
    if (cch <= 0 || !stored)
        return false;
    text.assign(stored, static_cast<size_t>(cch));
    return true;
}

// Every id with a text in `module`'s string tables. A table is stored in
// blocks of sixteen ids; block n holds the ids from (n - 1) * 16.
std::set<UINT> StoredIds(HMODULE module)
{
    std::set<UINT> blocks;
    ::EnumResourceNamesW(
        module, RT_STRING,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) -> BOOL {
            if (IS_INTRESOURCE(name))
                reinterpret_cast<std::set<UINT>*>(found)->insert(
                    static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)));
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&blocks));
    std::set<UINT> ids;
    for (UINT block : blocks) {
        for (UINT id = (block - 1) * 16; id < block * 16; ++id) {
            std::wstring text;
            if (StoredText(module, id, text))
                ids.insert(id);
        }
    }
    return ids;
}

struct Program {
    const char* name;
    const wchar_t* unixPath;
};

constexpr Program kProgramsThatLinkTheEngine[] = {
    {"Graventa", GRAVENTA_EXE_UNIX_PATH},
    {"Wardelle", WARDELLE_EXE_UNIX_PATH},
};

// Each program holds every engine text, and each reads as in the first: the
// log a bleach writes from Wardelle must read as the one Graventa writes.
TEST(EngineTexts, AreInEveryProgramThatLinksTheEngineAndReadTheSame)
{
    std::vector<std::wstring> reference;
    for (const Program& program : kProgramsThatLinkTheEngine) {
        SCOPED_TRACE(program.name);
        const win32::UniqueModule module = LoadProgramData(program.unixPath);
        ASSERT_TRUE(module) << ::GetLastError();
        std::vector<std::wstring> texts;
        for (UINT id : kEngineTextIds) {
            std::wstring text;
            EXPECT_TRUE(StoredText(module.get(), id, text)) << program.name << " lacks " << id;
            texts.push_back(text);
        }
        if (reference.empty())
            reference = texts;
        for (size_t i = 0; i < texts.size(); ++i)
            EXPECT_EQ(reference[i], texts[i]) << kEngineTextIds[i];
    }
}

// Wardelle has no texts of its own: what it holds is the engine's table, so
// a text added to the table but not to the header's list shows up here.
TEST(EngineTexts, ListIsTheWholeTable)
{
    const win32::UniqueModule wardelle = LoadProgramData(WARDELLE_EXE_UNIX_PATH);
    ASSERT_TRUE(wardelle) << ::GetLastError();
    const std::set<UINT> listed(std::begin(kEngineTextIds), std::end(kEngineTextIds));
    EXPECT_EQ(listed, StoredIds(wardelle.get()));
}

}  // namespace

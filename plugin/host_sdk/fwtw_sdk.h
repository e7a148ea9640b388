// The host security-manager framework's interfaces, as the plug-in sees them:
// the slot order of each vtable is the contract with the host, so methods are
// never reordered or inserted. Only the calls the plug-in makes or answers are
// named; the host's own meaning of the fixed values it is passed (page
// positions, the 3 given to AddPage, the 1 given to ShowBalloon) is its own.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <prsht.h>
#include <unknwn.h>

#include "win32/abi_layout.h"

// Page record handed to IFWTWPageSite::AddPage: eleven fields, 44 bytes in
// the 32-bit host. Handles and pointers keep their natural width, so the
// 64-bit build (used by the tests) carries them whole.
struct FWTW_PAGEINFO {
    DWORD cbSize;  // sizeof(FWTW_PAGEINFO)
    HPROPSHEETPAGE page;
    DWORD kind;  // 5
    const wchar_t* title;
    DWORD reserved1;
    DWORD reserved2;
    HINSTANCE instance;  // the module holding the page's resources
    DWORD iconId;        // 222
    DWORD reserved3;
    DWORD reserved4;
    DWORD reserved5;
};
static_assert(sizeof(FWTW_PAGEINFO) == ByWordSize(44, 64), "the host reads exactly this size");
static_assert(offsetof(FWTW_PAGEINFO, cbSize) == 0);
static_assert(offsetof(FWTW_PAGEINFO, page) == ByWordSize(4, 8));
static_assert(offsetof(FWTW_PAGEINFO, kind) == ByWordSize(8, 16));
static_assert(offsetof(FWTW_PAGEINFO, title) == ByWordSize(12, 24));
static_assert(offsetof(FWTW_PAGEINFO, reserved1) == ByWordSize(16, 32));
static_assert(offsetof(FWTW_PAGEINFO, reserved2) == ByWordSize(20, 36));
static_assert(offsetof(FWTW_PAGEINFO, instance) == ByWordSize(24, 40));
static_assert(offsetof(FWTW_PAGEINFO, iconId) == ByWordSize(28, 48));
static_assert(offsetof(FWTW_PAGEINFO, reserved3) == ByWordSize(32, 52));
static_assert(offsetof(FWTW_PAGEINFO, reserved4) == ByWordSize(36, 56));
static_assert(offsetof(FWTW_PAGEINFO, reserved5) == ByWordSize(40, 60));

// The host's page site and tray sink have no published identifiers; these two
// are our own, used only between the plug-in and the host stand-in.
// {6F1C2B7A-93D4-4E55-B0A2-7C1D5E8F3A61}
inline constexpr GUID IID_IFWTWPageSite = {
    0x6F1C2B7A, 0x93D4, 0x4E55, {0xB0, 0xA2, 0x7C, 0x1D, 0x5E, 0x8F, 0x3A, 0x61}};
// {0B9E4D27-6A18-4C3F-9E51-2F8A7B6C4D90}
inline constexpr GUID IID_IFWTWTraySink = {
    0x0B9E4D27, 0x6A18, 0x4C3F, {0x9E, 0x51, 0x2F, 0x8A, 0x7B, 0x6C, 0x4D, 0x90}};

// The plug-in's four plain objects answer one interface each whose identifier
// is their class identifier.
inline constexpr GUID IID_IFWTWPages = {
    0xB437C14F, 0x1012, 0x417E, {0xA1, 0x27, 0x55, 0xC8, 0x4C, 0xC0, 0xB1, 0x6F}};
inline constexpr GUID IID_IFWTWTrayMenuItems = {
    0xCB4C2EA5, 0x9362, 0x4396, {0x99, 0x0E, 0xD4, 0x5C, 0x82, 0xE2, 0xFF, 0x43}};
inline constexpr GUID IID_IFWTWTraySubscribe = {
    0xEE919550, 0x8B02, 0x40BB, {0x82, 0x5E, 0xF6, 0xAD, 0x17, 0x33, 0xE3, 0xF3}};
inline constexpr GUID IID_IFWTWTrayNotifyCallback = {
    0xB181DFA3, 0x504E, 0x4878, {0x82, 0x44, 0x06, 0x89, 0x24, 0xF3, 0x71, 0x66}};
inline constexpr GUID IID_IFWTWElementUI = {
    0x94B2C874, 0xB9DB, 0x4149, {0xB1, 0x00, 0x36, 0x75, 0x20, 0x7B, 0x37, 0x23}};
inline constexpr GUID IID_IFWTWBackupRestore = {
    0xEC17D51D, 0x01BA, 0x4E40, {0x88, 0xD0, 0xCF, 0x8C, 0x3A, 0xBD, 0x5B, 0x67}};

// Host property indexes asked by IFWTWPageSite::GetProperty.
enum FwtwDisplayProperty : UINT {
    kFwtwBackgroundColour = 4,
    kFwtwTextColour = 5,
    kFwtwFontFaceName = 6,
    kFwtwFontSize = 7,
    kFwtwDisplayValue = 8,
};

struct IFWTWTrayNotifyCallback;

struct IFWTWPageSite : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddPage(UINT kind, BSTR category, UINT position, UINT flags,
                                              FWTW_PAGEINFO* page) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProperty(UINT index, VARIANT* value) = 0;
};

struct IFWTWTraySink : IUnknown {
    // Callable from any thread of the plug-in.
    virtual HRESULT STDMETHODCALLTYPE ShowBalloon(const wchar_t* title, const wchar_t* text,
                                                  UINT kind, UINT balloonId,
                                                  IFWTWTrayNotifyCallback* callback) = 0;
};

struct IFWTWPages : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreatePages(IFWTWPageSite* site) = 0;
};

struct IFWTWTrayMenuItems : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddMenuItems(HMENU menu, UINT firstId, UINT* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE InvokeMenuItem(UINT id) = 0;
    // The host's third slot: the plug-in answers 0.
    virtual HRESULT STDMETHODCALLTYPE Reserved() = 0;
};

struct IFWTWTraySubscribe : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Subscribe(IFWTWTraySink* sink) = 0;
};

struct IFWTWTrayNotifyCallback : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE OnNotify(UINT code, UINT balloonId) = 0;
};

struct IFWTWElementUI : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetInfo(UINT kind, VARIANT* value) = 0;
    // The host's second slot: the plug-in answers S_OK.
    virtual HRESULT STDMETHODCALLTYPE Reserved(UINT first, VARIANT* second) = 0;
};

struct IFWTWBackupRestore : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Backup(VARIANT* unused, VARIANT* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE Restore(VARIANT* data) = 0;
};

// The balloon click notification the host passes to OnNotify.
inline constexpr UINT kFwtwBalloonUserClick = 0x405;

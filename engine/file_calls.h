// The file-system calls through which the overwrite writer changes a disk.
// Real Win32 by default; a test can put a recorder in between that sees
// every write, rename and delete in the order it happens.
#pragma once

#include <windows.h>

class FileCalls {
public:
    virtual ~FileCalls() = default;

    virtual HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition,
                        DWORD flags);
    virtual BOOL Seek(HANDLE file, LONGLONG distance, DWORD method, LONGLONG* position);
    virtual BOOL Write(HANDLE file, const void* data, DWORD cbData, DWORD* cbWritten);
    // Pushes what was written to the disk.
    virtual BOOL Flush(HANDLE file);
    // Cuts the file at the current position.
    virtual BOOL Truncate(HANDLE file);
    virtual BOOL Rename(const wchar_t* from, const wchar_t* to);
    virtual BOOL Delete(const wchar_t* path);
    virtual BOOL RemoveFolder(const wchar_t* path);
    virtual BOOL SetAttributes(const wchar_t* path, DWORD attributes);

    // The same through a handle opened with DELETE (and FILE_WRITE_ATTRIBUTES
    // for the attributes): no name is looked up again, so nothing swapped in
    // under the name meanwhile can be reached. `to` is the "\\?\" form of a
    // full path. A deleted file goes when its last handle closes.
    virtual BOOL RenameOpen(HANDLE file, const wchar_t* to);
    virtual BOOL DeleteOpen(HANDLE file);
    virtual BOOL SetOpenAttributes(HANDLE file, DWORD attributes);

    // The process's real calls.
    static FileCalls& Real();
};

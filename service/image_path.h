// The driver's image path: the current directory followed by "\KESTRAMO.SYS",
// in UTF-16, exactly as the folder is named.
#pragma once

#include "platform_api.h"

#include <stddef.h>

class ImagePath {
public:
    // The first read of the current directory asks for at most this many
    // characters, NUL included; the fixed buffer also holds the suffix after
    // it.
    static const DWORD kDirectoryCapacity = 128;
    static const int kBufferSize = 152;

    ImagePath();
    ~ImagePath();
    ImagePath(const ImagePath&) = delete;
    ImagePath& operator=(const ImagePath&) = delete;

    // Reads the current directory (GetCurrentDirectoryW: a folder of any
    // name) and appends the driver file name, even when the directory already
    // ends in a backslash (a drive root). A directory too long for the fixed
    // buffer is read again into one of the size the platform asks for, so
    // the path is never formed from a partial read.
    //
    // Returns ERROR_SUCCESS, or the platform's code when the directory could
    // not be read; no path is formed then.
    DWORD Form(PlatformApi& api);

    const wchar_t* c_str() const { return m_path; }
    // The current directory's length: the path up to the driver's name.
    size_t FolderLength() const { return m_folderLength; }

private:
    void ReleaseHeap();

    wchar_t m_buffer[kBufferSize];
    wchar_t* m_heap;
    const wchar_t* m_path;
    size_t m_folderLength;
};

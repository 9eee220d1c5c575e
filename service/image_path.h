// The driver's image path: the current directory followed by "\KESTRAMO.SYS".
#pragma once

#include "platform_api.h"

class ImagePath {
public:
    // The first read of the current directory asks for at most this many
    // bytes, NUL included; the fixed buffer also holds the suffix after it.
    static const DWORD kDirectoryCapacity = 128;
    static const int kBufferSize = 152;

    ImagePath();
    ~ImagePath();
    ImagePath(const ImagePath&) = delete;
    ImagePath& operator=(const ImagePath&) = delete;

    // Reads the current directory and appends the driver file name, even when
    // the directory already ends in a backslash (a drive root). A directory
    // too long for the fixed buffer is read again into one of the size the
    // platform asks for, so the path is never formed from a partial read.
    //
    // The ANSI directory must name the folder the person stands in: it is
    // compared with the directory read again as UTF-16. A name the ANSI code
    // page cannot hold comes back with '?' or a look-alike character in
    // place of some letters, and would register a driver from a folder that
    // does not exist, or from another one; no path is formed then.
    //
    // Returns ERROR_SUCCESS; the platform's code when the directory could not
    // be read; ERROR_NO_UNICODE_TRANSLATION when its ANSI form is not
    // faithful (or either read changed in between).
    DWORD Form(PlatformApi& api);

    const char* c_str() const { return m_path; }

private:
    void ReleaseHeap();
    static bool NamesTheCurrentDirectory(PlatformApi& api, const char* directory,
                                         size_t length);

    char m_buffer[kBufferSize];
    char* m_heap;
    const char* m_path;
};

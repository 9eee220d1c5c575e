#include "image_path.h"

#include "driver_service.h"

#include <string.h>

ImagePath::ImagePath() : m_heap(nullptr), m_path(m_buffer)
{
    m_buffer[0] = '\0';
}

ImagePath::~ImagePath()
{
    ReleaseHeap();
}

void ImagePath::ReleaseHeap()
{
    if (m_heap) {
        HeapFree(GetProcessHeap(), 0, m_heap);
        m_heap = nullptr;
    }
}

DWORD ImagePath::Form(PlatformApi& api)
{
    const size_t suffixSize = strlen(kDriverService.driverFileSuffix) + 1;

    ReleaseHeap();
    m_buffer[0] = '\0';
    m_path = m_buffer;

    char* directory = m_buffer;
    DWORD capacity = kDirectoryCapacity;
    DWORD result = api.GetCurrentDirectoryA(capacity, directory);

    // When the directory does not fit, the platform fills nothing and returns
    // the size it needs. The directory may change between two reads, so ask
    // again a few times before giving up.
    for (int attempt = 0; result >= capacity; ++attempt) {
        if (attempt == 3)
            return ERROR_FILENAME_EXCED_RANGE;
        ReleaseHeap();
        capacity = result;
        m_heap = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, capacity + suffixSize));
        if (!m_heap)
            return ERROR_NOT_ENOUGH_MEMORY;
        directory = m_heap;
        result = api.GetCurrentDirectoryA(capacity, directory);
    }
    if (result == 0) {
        DWORD error = api.GetLastError();
        ReleaseHeap();
        return error != ERROR_SUCCESS ? error : ERROR_PATH_NOT_FOUND;
    }

    size_t directoryLength = strlen(directory);
    memcpy(directory + directoryLength, kDriverService.driverFileSuffix, suffixSize);

    if (!NamesTheCurrentDirectory(api, directory, directoryLength)) {
        ReleaseHeap();
        m_buffer[0] = '\0';
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    m_path = directory;
    return ERROR_SUCCESS;
}

bool ImagePath::NamesTheCurrentDirectory(PlatformApi& api, const char* directory,
                                         size_t length)
{
    // A faithful ANSI directory never has more UTF-16 units than bytes, so
    // buffers of that size hold both forms; a wide directory that does not
    // fit is already longer than any the ANSI one could stand for.
    const int capacity = static_cast<int>(length) + 1;
    wchar_t* buffers = static_cast<wchar_t*>(
        HeapAlloc(GetProcessHeap(), 0, 2 * capacity * sizeof(wchar_t)));
    if (!buffers)
        return false;
    wchar_t* current = buffers;
    wchar_t* converted = buffers + capacity;

    DWORD currentLength = api.GetCurrentDirectoryW(capacity, current);
    int convertedLength = 0;
    if (currentLength != 0 && currentLength < static_cast<DWORD>(capacity))
        convertedLength = api.MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, directory,
                                                  static_cast<int>(length), converted, capacity);

    bool same = convertedLength > 0 && static_cast<DWORD>(convertedLength) == currentLength &&
                memcmp(current, converted, currentLength * sizeof(wchar_t)) == 0;
    HeapFree(GetProcessHeap(), 0, buffers);
    return same;
}

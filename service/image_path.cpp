#include "image_path.h"

#include "driver_service.h"

#include <string.h>

namespace {

size_t Length(const wchar_t* text)
{
    size_t length = 0;
    while (text[length])
        ++length;
    return length;
}

}  // namespace

ImagePath::ImagePath() : m_heap(nullptr), m_path(m_buffer), m_folderLength(0)
{
    m_buffer[0] = L'\0';
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
    const size_t suffixSize = Length(kDriverService.driverFileSuffix) + 1;

    ReleaseHeap();
    m_buffer[0] = L'\0';
    m_path = m_buffer;
    m_folderLength = 0;

    wchar_t* directory = m_buffer;
    DWORD capacity = kDirectoryCapacity;
    DWORD result = api.GetCurrentDirectoryW(capacity, directory);

    // When the directory does not fit, the platform fills nothing and returns
    // the size it needs. The directory may change between two reads, so ask
    // again a few times before giving up.
    for (int attempt = 0; result >= capacity; ++attempt) {
        if (attempt == 3)
            return ERROR_FILENAME_EXCED_RANGE;
        ReleaseHeap();
        capacity = result;
        m_heap = static_cast<wchar_t*>(
            HeapAlloc(GetProcessHeap(), 0, (capacity + suffixSize) * sizeof(wchar_t)));
        if (!m_heap)
            return ERROR_NOT_ENOUGH_MEMORY;
        directory = m_heap;
        result = api.GetCurrentDirectoryW(capacity, directory);
    }
    if (result == 0) {
        DWORD error = api.GetLastError();
        ReleaseHeap();
        return error != ERROR_SUCCESS ? error : ERROR_PATH_NOT_FOUND;
    }

    m_folderLength = Length(directory);
    memcpy(directory + m_folderLength, kDriverService.driverFileSuffix,
           suffixSize * sizeof(wchar_t));
    m_path = directory;
    return ERROR_SUCCESS;
}

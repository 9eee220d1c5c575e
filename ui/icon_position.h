#pragma once

#include <windows.h>

// Where an icon of cx by cy goes to stand centred in `client`: half the
// difference, rounded up, with the division truncating toward zero.
inline POINT CenteredIconPosition(const RECT& client, int cx, int cy)
{
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    return POINT{(width - cx + 1) / 2, (height - cy + 1) / 2};
}

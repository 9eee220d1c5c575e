// This file is compiled with -fexec-charset=GBK: every narrow string literal
// below ends up in the executable as its code-page-936 bytes.
#include "driver_service.h"

#include <stdio.h>

const DriverServiceDefinition kDriverService = {
    "KESTRAMO",
    "KESTRAMO 核心驱动程序",
    "\\KESTRAMO.SYS",
    SERVICE_KERNEL_DRIVER,
    SERVICE_AUTO_START,
    SERVICE_ERROR_NORMAL,
    SC_MANAGER_ALL_ACCESS,
    SERVICE_ALL_ACCESS,
};

const InstallTexts kTexts = {
    "Microsoft Windows NT/2000/XP",
    "Microsoft Windows 95/98/Me",
    "不需要安装驱动程序.",
    "KESTRAMO 核心驱动程序已安装.",
    "KESTRAMO 核心驱动程序未安装.",
    "KESTRAMO 驱动程序安装完成.",
    "KESTRAMO 驱动程序删除完成.",
    "不能安装 KESTRAMO 驱动程序 [CreateService (0x%02x)]",
    "不能启动 KESTRAMO 驱动程序 [StartService (0x%02x)]",
    "不能停止 KESTRAMO 驱动程序 [StopService (0x%02x)]",
    "不能删除已有的 KESTRAMO 驱动程序 [DeleteService (0x%02x)]",
    "成功",
    "致命错误",
    "错误",
};

void FormatErrorNotice(char (&buffer)[kNoticeBufferSize], const char* format, DWORD errorCode)
{
    // The longest format with eight hex digits needs 62 bytes; the explicit
    // terminator only guards against a format that was made too long.
    _snprintf(buffer, kNoticeBufferSize, format, static_cast<unsigned int>(errorCode));
    buffer[kNoticeBufferSize - 1] = '\0';
}

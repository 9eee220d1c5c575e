// This file is compiled with -fexec-charset=GBK: every narrow string literal
// below ends up in the executable as its code-page-936 bytes.
#include "driver_service.h"

#include <stdio.h>

const DriverServiceDefinition kDriverService = {
    "KESTRAMO",
    "KESTRAMO 核心驱动程序",
    L"\\KESTRAMO.SYS",
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

const RefusalTexts kRefusalTexts = {
    "不能安装 KESTRAMO 驱动程序 (0x%02x).",
    "位置: ",
    "原因: 不能读取当前文件夹.",
    "原因: 不能读取本程序的访问令牌.",
    "原因: 不能读取它的属性或权限.",
    "原因: 它不在保存权限的本地硬盘上 (网络驱动器, 可移动磁盘, 光盘, FAT 或 exFAT).",
    "原因: 它不在 Windows 所在的驱动器上 (另一块磁盘, 移动硬盘, 用 subst 建立的驱动器号).",
    "原因: 它的名称以空格或点结尾.",
    "原因: 它是符号链接, 目录连接点或装入的卷.",
    "原因: 除管理员以外, 别的用户也能更改它 (所有者或权限).",
    "办法: 把 INSTALL.EXE 和 KESTRAMO.SYS 复制到 C:\\Program Files 下的一个文件夹里 "
    "(Windows 2000 和 NT 4.0 请先看 README.txt), 再从那里运行 INSTALL.EXE.",
};

void FormatErrorNotice(char (&buffer)[kNoticeBufferSize], const char* format, DWORD errorCode)
{
    // The longest format with eight hex digits needs 62 bytes; the explicit
    // terminator only guards against a format that was made too long.
    _snprintf(buffer, kNoticeBufferSize, format, static_cast<unsigned int>(errorCode));
    buffer[kNoticeBufferSize - 1] = '\0';
}

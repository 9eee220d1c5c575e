/* A do-nothing kernel-mode driver that the tests install as KESTRAMO.SYS.
 * It loads, can be stopped (it has an unload routine) and touches nothing. */
#include <ntddk.h>

static void NTAPI TestDriverUnload(PDRIVER_OBJECT driver)
{
    (void)driver;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    (void)registryPath;
    driver->DriverUnload = TestDriverUnload;
    return STATUS_SUCCESS;
}

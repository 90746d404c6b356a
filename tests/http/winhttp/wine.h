// Wine is not Windows: its WinHTTP differs in a few documented places (no
// Digest, no decompression, socket error numbers on timeouts).
#pragma once
#include <windows.h>

inline bool under_wine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// A small registry in memory: the roots HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE, keys named without regard to case, REG_SZ and
// REG_DWORD values kept byte for byte. It holds only what the program or a
// test puts in it.
#pragma once

#include "win/types.h"

using HKEY = std::uint32_t;
using REGSAM = DWORD;

constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_DWORD = 4;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// subKey may be null or empty (the key itself); names are separated by '\'.
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM desired, HKEY* result);
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options, REGSAM desired,
                     const void* security, HKEY* result, DWORD* disposition);
LONG RegCloseKey(HKEY key);
// A null or empty name is the key's default value. With data null only the
// size is told; a buffer shorter than the value gets ERROR_MORE_DATA, the size
// needed and nothing copied. A text is copied as it was stored: terminated
// only if it was stored with its terminator.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);

// Empties the registry; open handles become invalid.
void ResetRegistryForTest();

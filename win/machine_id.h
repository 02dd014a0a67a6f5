// The volume serial of the Windows edition, derived here from the machine's
// identity (/etc/machine-id): stable for one machine, different between machines.
#pragma once

#include <string>
#include <string_view>

#include "win/types.h"

// Any root is accepted. The serial is the 32-bit FNV-1a hash of the
// identity's text without its trailing blanks; FALSE (outputs untouched) when
// the file is missing, unreadable or empty. Names are cut to their buffer's size.
BOOL GetVolumeInformationA(const char* root, char* volumeName, DWORD volumeNameSize, DWORD* serial,
                           DWORD* maxComponentLength, DWORD* fileSystemFlags, char* fileSystemName,
                           DWORD fileSystemNameSize);

DWORD Fnv1a32(std::string_view text);

// Tests: read the identity from another file; empty restores the default.
void SetMachineIdPathForTest(std::string path);

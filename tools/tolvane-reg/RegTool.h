#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tolvane {

class RegistryStore;

// The registry store tool, in the manner of Windows reg.exe:
//   query KEY [/v NAME | /s]          (/s: every subkey below KEY, listed the same way)
//   add KEY [/v NAME] [/t REG_SZ|REG_DWORD|REG_BINARY] [/d DATA] [/f]
//   delete KEY [/v NAME] [/f]        (without /v: the key with all its subkeys)
//   export KEY FILE [/y]             (a .reg file, UTF-16LE with BOM as regedit writes it;
//                                     strings with line breaks as hex(1))
// KEY starts with a root: HKEY_CURRENT_USER or HKCU, HKEY_LOCAL_MACHINE or HKLM,
// HKEY_CLASSES_ROOT or HKCR, HKEY_USERS or HKU. Returns the process exit code: 0 or 1.
int runRegTool(RegistryStore& store, const std::vector<std::string>& arguments, std::ostream& out,
               std::ostream& err);

} // namespace tolvane

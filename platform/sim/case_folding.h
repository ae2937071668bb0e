// How the simulated Windows 98 compares names without regard to case. Windows folds case
// differently by subsystem and the simulator keeps each difference, so every
// case-blind comparison in the simulator goes through one of the rules here:
//
//   code page 1252 (Fold1252, SameText1252, CompareText1252)
//     lstrcmpiA                      folds A-Z and the Latin-1 capitals, orders by code
//     file system paths              CreateFileA, FindFirstFileA, ...: names of one directory,
//                                    drive letters
//     profile files                  Get/WritePrivateProfileStringA: section and key names
//   ASCII (FoldAscii, SameAscii, StartsWithAscii, UpperAscii)
//     registry                       key and value names (Reg*A, REGEDIT4 import); the sorted
//                                    enumeration order compares FoldAscii keys bytewise
//     window manager                 class names (RegisterClassA, FindWindowA), window texts
//     spooler                        the environment name (AddMonitorA)
//     spooler (monitor host)         monitor DLL names and the library each loads as, monitor
//                                    instance names (keys below Print\Monitors)
//     WININIT.INI                    the [rename] section and its NUL key
//     device instances               SetupDiGetClassDevsA's enumerator, the device a list
//                                    counts (upper case), a printer's state directory (upper)
//     device paths                   \\?\ paths of interfaces are lower case
//
// Kernel object names (CreateMutexA) are case-sensitive and fold nothing.
#pragma once

#include <string>
#include <string_view>

namespace sim {

// --- Code page 1252 ---

// The lower-case form of c in code page 1252: A-Z and the Latin-1 capitals fold.
char Fold1252(char c);
bool SameText1252(std::string_view a, std::string_view b);
// lstrcmpiA's order: folded as above, then by unsigned character code; NULL is "".
int CompareText1252(const char* a, const char* b);

// --- ASCII: A-Z and a-z only, every other byte as it is ---

// text with A-Z in lower case: the key of a case-blind lookup.
std::string FoldAscii(std::string_view text);
std::string UpperAscii(std::string_view text);
bool SameAscii(std::string_view a, std::string_view b);
bool StartsWithAscii(std::string_view text, std::string_view prefix);

} // namespace sim

// KERNEL32 profile files: "[section]" headers and "key=value" lines with CRLF, read and
// written whole on every call, inside one machine transaction.
#include "platform/sim/files.h"
#include "platform/sim/atomic_write.h"
#include "platform/sim/case_folding.h"
#include "platform/sim/machine.h"
#include "platform/sim/simulated_call.h"
#include "platform/win32api.h"
#include "platform/sim/text.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace sim {
namespace {

namespace fs = std::filesystem;

// Windows 9x hands out at most this many characters of a profile file at once.
constexpr DWORD ProfileBufferLimit = 32767;

struct Entry {
    std::string_view key;
    std::optional<std::string_view> value; // none for a line without '='
};

// Blank lines and ';' comments are no entries.
std::optional<Entry> EntryOf(std::string_view line) {
    line = TrimBlanks(line);
    if (line.empty() || line.front() == ';')
        return std::nullopt;
    size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return Entry{line, std::nullopt};
    return Entry{TrimBlanks(line.substr(0, eq)), TrimBlanks(line.substr(eq + 1))};
}

struct Section {
    std::string header; // the "[name]" line as it stands
    std::string name;
    std::vector<std::string> lines;
};

struct Profile {
    std::vector<std::string> preamble; // lines before the first section
    std::vector<Section> sections;

    Section* Find(std::string_view name) {
        name = TrimBlanks(name);
        for (Section& section : sections) {
            if (SameText1252(section.name, name))
                return &section;
        }
        return nullptr;
    }
};

std::optional<std::string> SectionNameOf(std::string_view line) {
    line = TrimBlanks(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    size_t close = line.find(']');
    return std::string(TrimBlanks(line.substr(0, close)));
}

Profile Parse(const std::string& text) {
    Profile profile;
    std::vector<std::string>* lines = &profile.preamble;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (std::optional<std::string> name = SectionNameOf(line)) {
            profile.sections.push_back({line, *name, {}});
            lines = &profile.sections.back().lines;
        } else {
            lines->push_back(std::move(line));
        }
    }
    return profile;
}

std::string Format(const Profile& profile) {
    std::string text;
    auto add = [&text](const std::string& line) { text += line + "\r\n"; };
    std::for_each(profile.preamble.begin(), profile.preamble.end(), add);
    for (const Section& section : profile.sections) {
        add(section.header);
        std::for_each(section.lines.begin(), section.lines.end(), add);
    }
    return text;
}

// A bare file name means the Windows directory.
std::string ProfilePath(const char* fileName) {
    std::string_view name(fileName);
    if (name.find_first_of("\\/:") == std::string_view::npos)
        return std::string(WindowsDirectory) + "\\" + std::string(name);
    return std::string(name);
}

struct ProfileFile {
    fs::path host;
    DWORD error = 0; // the path cannot be used
    bool exists = false;
    Profile profile;
};

ProfileFile Open(const char* fileName) {
    ProfileFile file;
    if (fileName == nullptr || *fileName == '\0') {
        file.error = ERROR_INVALID_PARAMETER;
        return file;
    }
    file.host = HostPathFor(ProfilePath(fileName), &file.error);
    if (file.error != 0)
        return file;
    std::error_code ec;
    if (fs::is_directory(file.host, ec)) {
        file.error = ERROR_ACCESS_DENIED;
        return file;
    }
    std::ifstream in(file.host, std::ios::binary);
    if (!in)
        return file;
    std::ostringstream text;
    text << in.rdbuf();
    file.exists = true;
    file.profile = Parse(text.str());
    return file;
}

// Replaces the file atomically, so that a reader never sees half of it.
DWORD Save(const ProfileFile& file) {
    if (file.exists && IsReadOnly(file.host))
        return ERROR_ACCESS_DENIED;
    if (DWORD error = CheckNotOpen(file.host))
        return error;
    switch (WriteFileAtomically(file.host, Format(file.profile)).failed) {
    case AtomicWrite::Step::Writing:
        return ERROR_WRITE_FAULT;
    case AtomicWrite::Step::Replacing:
        return ERROR_ACCESS_DENIED;
    default:
        return 0;
    }
}

// Line breaks inside a name or value would make new lines of the file, and a line that
// starts with '[' would make a new section: such texts are refused.
bool HasLineBreak(const char* text) {
    return text != nullptr && std::string_view(text).find_first_of("\r\n") != std::string::npos;
}

bool UnsafeLine(const char* text) {
    return HasLineBreak(text) || (text != nullptr && TrimBlanks(text).starts_with('['));
}

// Copies a zero-separated list ending in a second zero into buffer. A list that does not fit
// is cut and ended with two zeros: size - 2 is returned, as Windows 9x does.
DWORD FillList(const std::string& list, char* buffer, DWORD size) {
    size = std::min(size, ProfileBufferLimit);
    if (size == 0)
        return 0;
    if (size == 1) {
        buffer[0] = '\0';
        return 0;
    }
    if (list.size() + 1 <= size) {
        list.copy(buffer, list.size());
        buffer[list.size()] = '\0';
        if (list.empty())
            buffer[1] = '\0';
        return static_cast<DWORD>(list.size());
    }
    list.copy(buffer, size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

DWORD FillText(std::string_view text, char* buffer, DWORD size) {
    if (size == 0)
        return 0;
    size_t count = std::min<size_t>(text.size(), size - 1);
    text.copy(buffer, count);
    buffer[count] = '\0';
    return static_cast<DWORD>(count);
}

std::string EntryText(const Entry& entry) {
    std::string text(entry.key);
    if (entry.value)
        text += "=" + std::string(*entry.value);
    return text;
}

// The index of the first line of section whose key is key.
std::optional<size_t> FindKey(const Section& section, std::string_view key) {
    key = TrimBlanks(key);
    for (size_t i = 0; i < section.lines.size(); i++) {
        std::optional<Entry> entry = EntryOf(section.lines[i]);
        if (entry && SameText1252(entry->key, key))
            return i;
    }
    return std::nullopt;
}

// Where a new line of section goes: after its last non-blank line, before the blank lines
// that separate it from the next section.
size_t EndOfEntries(const Section& section) {
    size_t end = section.lines.size();
    while (end > 0 && TrimBlanks(section.lines[end - 1]).empty())
        end--;
    return end;
}

Section& FindOrAddSection(Profile& profile, const char* name) {
    if (Section* section = profile.Find(name))
        return *section;
    std::string trimmed(TrimBlanks(name));
    profile.sections.push_back({"[" + trimmed + "]", trimmed, {}});
    return profile.sections.back();
}

bool RemoveSection(Profile& profile, const char* name) {
    Section* section = profile.Find(name);
    if (section == nullptr)
        return false;
    profile.sections.erase(profile.sections.begin() + (section - profile.sections.data()));
    return true;
}

// Values may be quoted; the quotes are not part of them.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

} // namespace
} // namespace sim

using sim::OnSuccess;

extern "C" {

DWORD WINAPI GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize,
                                       LPCSTR lpFileName) {
    // A section that cannot be read is an empty list: the buffer holds one until the section
    // is read. A call without a section name is refused before the buffer is touched.
    if (lpAppName != nullptr && lpReturnedString != nullptr)
        sim::FillList("", lpReturnedString, nSize);
    return sim::SimulatedCall<DWORD>({"GetPrivateProfileSectionA", OnSuccess::LeavesLastError, 0},
                                     [&]() -> sim::CallResult<DWORD> {
                                         if (lpReturnedString == nullptr || lpAppName == nullptr)
                                             return sim::Fail(ERROR_INVALID_PARAMETER);
                                         sim::ProfileFile file = sim::Open(lpFileName);
                                         std::string list;
                                         if (sim::Section* section = file.profile.Find(lpAppName)) {
                                             for (const std::string& line : section->lines) {
                                                 if (std::optional<sim::Entry> entry =
                                                         sim::EntryOf(line))
                                                     list += sim::EntryText(*entry) + '\0';
                                             }
                                         }
                                         return sim::FillList(list, lpReturnedString, nSize);
                                     });
}

// Handing out the default sets ERROR_FILE_NOT_FOUND, although the call succeeds.
DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                      LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
    // The buffer holds an empty text until one is read.
    if (lpReturnedString != nullptr)
        sim::FillText("", lpReturnedString, nSize);
    return sim::SimulatedCall<DWORD>(
        {"GetPrivateProfileStringA", OnSuccess::LeavesLastError, 0},
        [&]() -> sim::CallResult<DWORD> {
            if (lpReturnedString == nullptr)
                return 0;
            sim::ProfileFile file = sim::Open(lpFileName);
            if (lpAppName == nullptr) {
                std::string names;
                for (const sim::Section& section : file.profile.sections)
                    names += section.name + '\0';
                return sim::FillList(names, lpReturnedString, nSize);
            }
            sim::Section* section = file.profile.Find(lpAppName);
            if (lpKeyName == nullptr) {
                std::string keys;
                for (const std::string& line :
                     section ? section->lines : std::vector<std::string>{}) {
                    if (std::optional<sim::Entry> entry = sim::EntryOf(line))
                        keys += std::string(entry->key) + '\0';
                }
                return sim::FillList(keys, lpReturnedString, nSize);
            }
            if (section != nullptr) {
                if (std::optional<size_t> index = sim::FindKey(*section, lpKeyName)) {
                    sim::Entry entry = *sim::EntryOf(section->lines[*index]);
                    return sim::FillText(sim::Unquote(entry.value.value_or("")), lpReturnedString,
                                         nSize);
                }
            }
            // The default loses its trailing blanks, as on Windows.
            std::string_view fallback = lpDefault == nullptr ? "" : lpDefault;
            while (!fallback.empty() && fallback.back() == ' ')
                fallback.remove_suffix(1);
            return sim::SucceedSetting(sim::FillText(fallback, lpReturnedString, nSize),
                                       ERROR_FILE_NOT_FOUND);
        });
}

BOOL WINAPI WritePrivateProfileSectionA(LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName) {
    return sim::SimulatedCall<BOOL>(
        {"WritePrivateProfileSectionA", OnSuccess::LeavesLastError, FALSE},
        [&]() -> sim::CallResult<BOOL> {
            if (lpAppName == nullptr || sim::HasLineBreak(lpAppName))
                return sim::Fail(ERROR_INVALID_PARAMETER);
            std::vector<std::string> entries;
            for (const char* entry = lpString; entry != nullptr && *entry != '\0';
                 entry += std::string_view(entry).size() + 1) {
                if (sim::UnsafeLine(entry))
                    return sim::Fail(ERROR_INVALID_PARAMETER);
                entries.emplace_back(entry);
            }
            sim::ProfileFile file = sim::Open(lpFileName);
            if (file.error != 0)
                return sim::Fail(file.error);
            if (lpString == nullptr) {
                if (!sim::RemoveSection(file.profile, lpAppName))
                    return TRUE;
                return sim::TrueOrFail(sim::Save(file));
            }
            sim::Section& section = sim::FindOrAddSection(file.profile, lpAppName);
            // The blank lines that end the old section stay between it and the next one.
            section.lines.erase(section.lines.begin(),
                                section.lines.begin() +
                                    static_cast<std::ptrdiff_t>(sim::EndOfEntries(section)));
            section.lines.insert(section.lines.begin(), entries.begin(), entries.end());
            return sim::TrueOrFail(sim::Save(file));
        });
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                       LPCSTR lpFileName) {
    return sim::SimulatedCall<BOOL>(
        {"WritePrivateProfileStringA", OnSuccess::LeavesLastError, FALSE},
        [&]() -> sim::CallResult<BOOL> {
            if (lpAppName == nullptr) {
                // All NULL asks to flush the cached file; nothing is cached here.
                bool flush = lpKeyName == nullptr && lpString == nullptr;
                if (!flush)
                    return sim::Fail(ERROR_INVALID_PARAMETER);
                return TRUE;
            }
            if (sim::HasLineBreak(lpAppName) || sim::UnsafeLine(lpKeyName) ||
                sim::HasLineBreak(lpString) ||
                (lpKeyName != nullptr &&
                 std::string_view(lpKeyName).find('=') != std::string::npos))
                return sim::Fail(ERROR_INVALID_PARAMETER);
            sim::ProfileFile file = sim::Open(lpFileName);
            if (file.error != 0)
                return sim::Fail(file.error);
            if (lpKeyName == nullptr) {
                if (!sim::RemoveSection(file.profile, lpAppName))
                    return TRUE;
                return sim::TrueOrFail(sim::Save(file));
            }
            sim::Section* existing = file.profile.Find(lpAppName);
            std::optional<size_t> index =
                existing != nullptr ? sim::FindKey(*existing, lpKeyName) : std::nullopt;
            if (lpString == nullptr) {
                if (!index)
                    return TRUE;
                existing->lines.erase(existing->lines.begin() +
                                      static_cast<std::ptrdiff_t>(*index));
                return sim::TrueOrFail(sim::Save(file));
            }
            sim::Section& section = sim::FindOrAddSection(file.profile, lpAppName);
            if (index) {
                // The key keeps the spelling it has in the file.
                std::string key(sim::EntryOf(section.lines[*index])->key);
                section.lines[*index] = key + "=" + lpString;
            } else {
                section.lines.insert(section.lines.begin() +
                                         static_cast<std::ptrdiff_t>(sim::EndOfEntries(section)),
                                     std::string(sim::TrimBlanks(lpKeyName)) + "=" + lpString);
            }
            return sim::TrueOrFail(sim::Save(file));
        });
}

} // extern "C"

#include "platform/sim/regedit4.h"
#include "platform/sim/case_folding.h"
#include "platform/sim/code_page_1252.h"
#include "platform/sim/text.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <unordered_map>

namespace sim {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kUnicodeHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kUtf16Mark = "\xFF\xFE";
constexpr size_t kHexLineWidth = 76; // wrap long hex data as regedit does

class ParseError : public std::runtime_error {
  public:
    explicit ParseError(const std::string& what, Regedit4Fault fault = Regedit4Fault::Malformed)
        : std::runtime_error(what), fault_(fault) {}
    Regedit4Fault Fault() const { return fault_; }

  private:
    Regedit4Fault fault_;
};

// Reads the text line by line; lines may end in CR LF.
class LineReader {
  public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool Next(std::string_view* line) {
        if (pos_ >= text_.size())
            return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos)
            end = text_.size();
        *line = text_.substr(pos_, end - pos_);
        if (!line->empty() && line->back() == '\r')
            line->remove_suffix(1);
        pos_ = end + 1;
        ++number_;
        return true;
    }
    unsigned Number() const { return number_; }
    // The last line read ended the text without a line break: regedit ends every line with one.
    bool AtUnfinishedEnd() const { return pos_ >= text_.size() && !text_.ends_with('\n'); }

  private:
    std::string_view text_;
    size_t pos_ = 0;
    unsigned number_ = 0;
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Parses 1 to 8 hex digits.
std::optional<DWORD> ParseHexNumber(std::string_view text) {
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    DWORD value = 0;
    for (char c : text) {
        int digit = HexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<DWORD>(digit);
    }
    return value;
}

// Reads a quoted string at the start of text (which begins with '"'); the escapes are \\ and
// \". Returns the unescaped string and leaves text after the closing quote.
std::string ReadQuoted(std::string_view* text) {
    std::string out;
    size_t i = 1;
    while (i < text->size()) {
        char c = (*text)[i];
        if (c == '"') {
            text->remove_prefix(i + 1);
            return out;
        }
        if (c == '\\') {
            if (i + 1 >= text->size())
                break;
            char next = (*text)[i + 1];
            if (next != '\\' && next != '"')
                throw ParseError(std::string("unknown escape \\") + next + " in a quoted string");
            out += next;
            i += 2;
            continue;
        }
        out += c;
        ++i;
    }
    throw ParseError("missing closing quote");
}

// Comma-separated hex bytes; a trailing backslash continues the data on the next line.
std::vector<BYTE> ReadHexBytes(std::string_view data, LineReader& lines) {
    std::vector<BYTE> bytes;
    std::string_view part = TrimBlanks(data);
    while (true) {
        bool more = !part.empty() && part.back() == '\\';
        if (more)
            part = TrimBlanks(part.substr(0, part.size() - 1));
        size_t start = 0;
        while (start < part.size()) {
            size_t comma = part.find(',', start);
            std::string_view item = TrimBlanks(part.substr(start, comma - start));
            bool last = comma == std::string_view::npos;
            if (item.empty()) {
                if (last) // a trailing comma before a continuation
                    break;
                throw ParseError("empty byte in hex data");
            }
            std::optional<DWORD> byte = item.size() <= 2 ? ParseHexNumber(item) : std::nullopt;
            if (!byte)
                throw ParseError("bad byte \"" + std::string(item) + "\" in hex data");
            bytes.push_back(static_cast<BYTE>(*byte));
            if (last)
                break;
            start = comma + 1;
        }
        if (!more)
            return bytes;
        std::string_view next;
        if (!lines.Next(&next))
            throw ParseError("the file ends inside a hex list", Regedit4Fault::CutShort);
        part = TrimBlanks(next);
    }
}

struct ValueData {
    bool remove = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

std::string_view WithoutComment(std::string_view text) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == ';')
        return {};
    return text;
}

// Under the "Version 5.00" header, string data in hex is UTF-16LE.
bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

ValueData ReadValueData(std::string_view data, LineReader& lines, bool unicode) {
    ValueData value;
    if (data == "-") {
        value.remove = true;
        return value;
    }
    if (!data.empty() && data.front() == '"') {
        std::string text = ReadQuoted(&data);
        if (!WithoutComment(data).empty())
            throw ParseError("unexpected text after a quoted string");
        value.type = REG_SZ;
        value.bytes.assign(text.begin(), text.end());
        value.bytes.push_back(0);
        return value;
    }
    if (data.starts_with("dword:")) {
        std::optional<DWORD> number = ParseHexNumber(TrimBlanks(data.substr(6)));
        if (!number)
            throw ParseError("bad dword \"" + std::string(data.substr(6)) + "\"");
        value.type = REG_DWORD;
        for (int shift = 0; shift < 32; shift += 8)
            value.bytes.push_back(static_cast<BYTE>(*number >> shift));
        return value;
    }
    if (data.starts_with("hex:")) {
        value.type = REG_BINARY;
        value.bytes = ReadHexBytes(data.substr(4), lines);
        return value;
    }
    if (data.starts_with("hex(")) {
        size_t close = data.find("):");
        std::optional<DWORD> type = close == std::string_view::npos
                                        ? std::nullopt
                                        : ParseHexNumber(data.substr(4, close - 4));
        if (!type)
            throw ParseError("bad value type in \"" + std::string(data) + "\"");
        value.type = *type;
        value.bytes = ReadHexBytes(data.substr(close + 2), lines);
        if (unicode && IsStringType(value.type)) {
            std::string text = CodePage1252FromUtf16(std::string_view(
                reinterpret_cast<const char*>(value.bytes.data()), value.bytes.size()));
            value.bytes.assign(text.begin(), text.end());
        }
        return value;
    }
    throw ParseError("unknown value data \"" + std::string(data) + "\"");
}

// Finds and makes keys of a tree through a folded-name index of each key's subkeys, built when
// a key is first looked in: an export holds keys with tens of thousands of subkeys (CLSID), whose
// search one by one costs the square of their number.
class KeyFinder {
  public:
    explicit KeyFinder(RegTree& tree) : tree_(tree) {}

    // *firstNew is the number of the path's components that were there already.
    RegKey& Create(const RegPath& path, size_t* firstNew) {
        RegKey* key = &tree_.Root(path.root);
        *firstNew = path.components.size();
        for (size_t i = 0; i < path.components.size(); ++i) {
            const std::string& component = path.components[i];
            Index& index = IndexOf(*key);
            auto [found, isNew] = index.try_emplace(FoldAscii(component), nullptr);
            if (isNew) {
                key->subkeys.push_back(RegKey{component, {}, {}});
                found->second = &key->subkeys.back();
                *firstNew = std::min(*firstNew, i);
            }
            key = found->second;
        }
        return *key;
    }

    void Delete(const RegPath& path) {
        RegKey* parent = &tree_.Root(path.root);
        for (size_t i = 0; i + 1 < path.components.size() && parent != nullptr; ++i)
            parent = Child(*parent, path.components[i]);
        if (parent == nullptr)
            return;
        Index& index = IndexOf(*parent);
        auto found = index.find(FoldAscii(path.components.back()));
        if (found == index.end())
            return;
        Forget(*found->second); // its memory may hold a new key later
        parent->subkeys.remove_if([&](const RegKey& k) { return &k == found->second; });
        index.erase(found);
    }

  private:
    using Index = std::unordered_map<std::string, RegKey*>;

    Index& IndexOf(RegKey& key) {
        auto [found, isNew] = indexes_.try_emplace(&key);
        if (isNew) {
            for (RegKey& subkey : key.subkeys)
                found->second.try_emplace(FoldAscii(subkey.name), &subkey);
        }
        return found->second;
    }

    RegKey* Child(RegKey& key, const std::string& name) {
        Index& index = IndexOf(key);
        auto found = index.find(FoldAscii(name));
        return found == index.end() ? nullptr : found->second;
    }

    void Forget(const RegKey& key) {
        indexes_.erase(&key);
        for (const RegKey& subkey : key.subkeys)
            Forget(subkey);
    }

    RegTree& tree_;
    std::unordered_map<const RegKey*, Index> indexes_;
};

// The folded path that Regedit4Places keys are found by: the root's name and the components.
std::string FoldedPath(const RegPath& path, size_t components) {
    std::string folded(RootName(path.root));
    for (size_t i = 0; i < components; ++i)
        folded += "\\" + FoldAscii(path.components[i]);
    return folded;
}

// The first count components of a key as written, its root as written too.
std::string SpelledPrefix(std::string_view written, size_t count) {
    size_t end = 0;
    for (size_t i = 0; i <= count && end != std::string_view::npos; ++i)
        end = written.find('\\', i == 0 ? 0 : end + 1);
    return std::string(written.substr(0, end));
}

class Applier {
  public:
    Applier(RegTree& tree, std::string_view text, Regedit4Places* places)
        : keys_(tree), lines_(text), places_(places) {}

    void Run() {
        std::string_view line;
        if (!NextContentLine(&line))
            throw ParseError("the file is empty", Regedit4Fault::Empty);
        if (line == kUnicodeHeader)
            unicode_ = true;
        else if (line != kHeader)
            throw ParseError("not a registry export: it does not start with \"REGEDIT4\" or "
                             "\"Windows Registry Editor Version 5.00\"",
                             Regedit4Fault::NotAnExport);
        while (NextContentLine(&line)) {
            if (line.front() == '[')
                Section(line);
            else
                Value(line);
        }
    }
    bool AtUnfinishedEnd() const { return lines_.AtUnfinishedEnd(); }
    unsigned LineNumber() const { return lines_.Number(); }

  private:
    // The next line that is neither blank nor a comment, trimmed.
    bool NextContentLine(std::string_view* line) {
        while (lines_.Next(line)) {
            std::string_view trimmed = TrimBlanks(*line);
            if (lines_.Number() == 1 && trimmed.starts_with("\xEF\xBB\xBF"))
                trimmed.remove_prefix(3);
            if (!trimmed.empty() && trimmed.front() != ';') {
                *line = trimmed;
                return true;
            }
        }
        return false;
    }

    void Section(std::string_view line) {
        size_t close = line.rfind(']');
        if (close == std::string_view::npos || close == 1)
            throw ParseError("a key line must be \"[key]\"");
        if (!WithoutComment(line.substr(close + 1)).empty())
            throw ParseError("unexpected text after \"]\"");
        std::string_view name = line.substr(1, close - 1);
        bool remove = name.front() == '-';
        if (remove)
            name.remove_prefix(1);
        std::optional<RegPath> path = ParseKeyPath(name);
        if (!path)
            throw ParseError("bad key \"" + std::string(name) +
                             "\" (roots: HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, "
                             "HKEY_USERS, HKEY_CLASSES_ROOT)");
        current_ = nullptr;
        if (remove) {
            if (path->components.empty())
                throw ParseError("a root key cannot be deleted");
            keys_.Delete(*path);
            if (places_ != nullptr)
                places_->ForgetKey(FoldedPath(*path, path->components.size()));
            return;
        }
        size_t firstNew = 0;
        current_ = &keys_.Create(*path, &firstNew);
        if (places_ != nullptr)
            Place(*path, name, firstNew);
    }

    // The key, and each level above it that the section made, at this line, unless an earlier
    // section placed them (the machine may have had the key before the text named it).
    void Place(const RegPath& path, std::string_view written, size_t firstNew) {
        size_t count = path.components.size();
        currentFolded_ = FoldedPath(path, count);
        places_->AddRoot(path.root);
        for (size_t i = firstNew + 1; i < count; ++i)
            places_->AddKey(FoldedPath(path, i), {lines_.Number(), SpelledPrefix(written, i)});
        places_->AddKey(currentFolded_, {lines_.Number(), SpelledPrefix(written, count)});
    }

    void Value(std::string_view line) {
        std::string name;
        std::string_view rest = line;
        if (rest.front() == '@') {
            rest.remove_prefix(1);
        } else if (rest.front() == '"') {
            name = ReadQuoted(&rest);
            if (name.find_first_of("\r\n") != std::string::npos)
                throw ParseError("line break in a value name");
        } else {
            throw ParseError("expected \"[key]\", \"name\"=data or @=data");
        }
        rest = TrimBlanks(rest);
        if (rest.empty() || rest.front() != '=')
            throw ParseError("missing \"=\" after the value name");
        if (current_ == nullptr)
            throw ParseError("value outside a key section");
        unsigned valueLine = lines_.Number();
        std::string_view written = TrimBlanks(rest.substr(1));
        // Regedit writes eight digits: fewer, at the very end, is a dword cut short.
        bool cuttable = written.starts_with("hex") ||
                        (written.starts_with("dword:") && TrimBlanks(written.substr(6)).size() < 8);
        ValueData data = ReadValueData(written, lines_, unicode_);
        // A hex list or dword cut between two digits still reads: the missing line break tells.
        if (cuttable && lines_.AtUnfinishedEnd())
            throw ParseError(written.starts_with("hex") ? "the file ends inside a hex list"
                                                        : "the file ends inside a value",
                             Regedit4Fault::CutShort);
        if (data.remove)
            current_->DeleteValue(name);
        else
            current_->SetValue(name, data.type, std::move(data.bytes));
        if (places_ == nullptr)
            return;
        if (data.remove)
            places_->ForgetValue(currentFolded_, name);
        else
            places_->AddValue(currentFolded_, name, {valueLine, name});
    }

    KeyFinder keys_;
    LineReader lines_;
    Regedit4Places* places_;
    RegKey* current_ = nullptr;
    std::string currentFolded_;
    bool unicode_ = false;
};

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// A REG_SZ is written as text only when reading the text back gives the same bytes.
bool WritableAsText(const RegValue& value) {
    if (value.type != REG_SZ || value.data.empty() || value.data.back() != 0)
        return false;
    for (size_t i = 0; i + 1 < value.data.size(); ++i) {
        BYTE c = value.data[i];
        if (c == 0 || c == '\r' || c == '\n')
            return false;
    }
    return true;
}

// Long hex data goes on over lines ending in a backslash when wrap is set.
enum class Wrap { Lines, None };

std::string HexData(std::string prefix, const std::vector<BYTE>& bytes, Wrap wrap) {
    std::string out = std::move(prefix);
    size_t lineStart = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", bytes[i]);
        out += byte;
        if (i + 1 == bytes.size())
            break;
        out += ',';
        if (wrap == Wrap::Lines && out.size() - lineStart >= kHexLineWidth) {
            out += "\\\n";
            lineStart = out.size();
            out += "  ";
        }
    }
    return out;
}

std::string ValueName(const RegValue& value) {
    return value.name.empty() ? "@" : Quoted(value.name);
}

std::string ValueLine(const RegValue& value, Wrap wrap) {
    std::string line = ValueName(value) + "=";
    if (WritableAsText(value))
        return line + Quoted(std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                              value.data.size() - 1));
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number = 0;
        for (int i = 3; i >= 0; --i)
            number = number << 8 | value.data[static_cast<size_t>(i)];
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(number));
        return line + text;
    }
    if (value.type == REG_BINARY)
        return HexData(line + "hex:", value.data, wrap);
    char prefix[20];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
    return HexData(line + prefix, value.data, wrap);
}

// Calls section(path, key) for every key that gets a section, in the order they are written.
template <class Section>
void ForEachSection(const RegKey& key, const std::string& path, bool isRoot, Section& section) {
    // An empty root needs no section; every other key gets one so that empty keys survive.
    if (!isRoot || !key.values.empty())
        section(path, key);
    for (const RegKey& subkey : key.subkeys)
        ForEachSection(subkey, path + "\\" + subkey.name, false, section);
}

template <class Section> void ForEachSection(const RegTree& tree, Section section) {
    for (RegRoot root : kRegRoots)
        ForEachSection(tree.Root(root), std::string(RootName(root)), true, section);
}

bool IsForeignSection(std::string_view line) {
    std::string_view name = line.substr(1);
    if (!name.empty() && name.front() == '-')
        name.remove_prefix(1);
    return IsForeignRootName(name.substr(0, name.find_first_of("\\]")));
}

} // namespace

std::optional<Regedit4Place> Regedit4Places::Key(std::string_view keyPath) const {
    std::optional<RegPath> path = ParseKeyPath(keyPath);
    if (!path)
        return std::nullopt;
    auto found = keys_.find(FoldedPath(*path, path->components.size()));
    return found == keys_.end() ? std::nullopt : std::optional(found->second);
}

std::optional<Regedit4Place> Regedit4Places::Value(std::string_view keyPath,
                                                   std::string_view valueName) const {
    std::optional<RegPath> path = ParseKeyPath(keyPath);
    if (!path)
        return std::nullopt;
    auto found =
        values_.find(FoldedPath(*path, path->components.size()) + '\n' + FoldAscii(valueName));
    return found == values_.end() ? std::nullopt : std::optional(found->second);
}

bool Regedit4Places::HasRoot(RegRoot root) const {
    return std::find(roots_.begin(), roots_.end(), root) != roots_.end();
}

void Regedit4Places::AddRoot(RegRoot root) {
    if (!HasRoot(root))
        roots_.push_back(root);
}

void Regedit4Places::AddKey(const std::string& folded, Regedit4Place place) {
    keys_.try_emplace(folded, std::move(place));
}

void Regedit4Places::ForgetKey(const std::string& folded) {
    keys_.erase(folded);
}

void Regedit4Places::AddValue(const std::string& foldedKey, std::string_view name,
                              Regedit4Place place) {
    values_.insert_or_assign(foldedKey + '\n' + FoldAscii(name), std::move(place));
}

void Regedit4Places::ForgetValue(const std::string& foldedKey, std::string_view name) {
    values_.erase(foldedKey + '\n' + FoldAscii(name));
}

std::string Regedit4Text(std::string_view bytes, const std::string& source) {
    if (!bytes.starts_with(kUtf16Mark))
        return std::string(bytes);
    std::string text = CodePage1252FromUtf16(bytes.substr(kUtf16Mark.size()));
    if (bytes.size() % 2 == 0)
        return text;
    auto line = static_cast<unsigned>(1 + std::count(text.begin(), text.end(), '\n'));
    throw Regedit4Error(source + ":" + std::to_string(line) +
                            ": the file ends inside a character: it was cut short",
                        Regedit4Fault::CutShort, line);
}

void ApplyRegedit4(RegTree& tree, std::string_view text, const std::string& source,
                   Regedit4Places* places) {
    std::string decoded;
    if (text.starts_with(kUtf16Mark)) {
        decoded = Regedit4Text(text, source);
        text = decoded;
    }
    Applier applier(tree, text, places);
    try {
        applier.Run();
    } catch (const ParseError& error) {
        unsigned line = std::max(applier.LineNumber(), 1u);
        // Regedit ends every line: an error on an unfinished last line is a file cut short.
        Regedit4Fault fault = error.Fault() == Regedit4Fault::Malformed && applier.AtUnfinishedEnd()
                                  ? Regedit4Fault::CutShort
                                  : error.Fault();
        std::string what = error.what();
        if (fault == Regedit4Fault::CutShort && error.Fault() != Regedit4Fault::CutShort)
            what = "the file ends inside a value (" + what + ")";
        throw Regedit4Error(source + ":" + std::to_string(line) + ": " + what, fault, line);
    }
}

std::string FormatRegedit4(const RegTree& tree) {
    std::string out = std::string(kHeader) + "\n\n";
    ForEachSection(tree, [&](const std::string& path, const RegKey& key) {
        out += "[" + path + "]\n";
        for (const RegValue& value : key.values)
            out += ValueLine(value, Wrap::Lines) + "\n";
        out += "\n";
    });
    return out;
}

std::vector<Regedit4Section> Regedit4Sections(const RegTree& tree) {
    std::vector<Regedit4Section> sections;
    ForEachSection(tree, [&](const std::string& path, const RegKey& key) {
        Regedit4Section& section = sections.emplace_back(Regedit4Section{path, {}});
        for (const RegValue& value : key.values) {
            std::string name = ValueName(value);
            std::string data = ValueLine(value, Wrap::None).substr(name.size() + 1);
            section.values.emplace_back(std::move(name), std::move(data));
        }
    });
    return sections;
}

std::string WithoutForeignRoots(std::string_view text, unsigned* skipped) {
    std::string out;
    bool skipping = false;
    *skipped = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        std::string_view content = line;
        if (!content.empty() && content.back() == '\r')
            content.remove_suffix(1);
        content = TrimBlanks(content);
        if (!content.empty() && content.front() == '[') {
            skipping = IsForeignSection(content);
            if (skipping)
                ++*skipped;
        }
        if (!skipping)
            out += line;
        if (end < text.size()) // a last line without its line break stays so: a cut file
            out += '\n';
    }
    return out;
}

} // namespace sim

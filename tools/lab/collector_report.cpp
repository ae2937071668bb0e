#include "tools/lab/collector_report.h"
#include "tools/lab/lab_error.h"

#include <fmt/format.h>

#include <charconv>
#include <map>

namespace lab {
namespace {

constexpr std::string_view kFirstLine = "#vtxdiag report 1";
constexpr std::string_view kSectionStart = "#vtxdiag section ";
constexpr std::string_view kEndLine = "#vtxdiag end";

// The report's lines, CR LF or LF, read one at a time; a section of known length is taken whole.
class ReportLines {
  public:
    ReportLines(std::string_view text, const std::string& source) : text_(text), source_(source) {}
    bool Next(std::string_view* line) {
        if (at_ >= text_.size())
            return false;
        size_t end = text_.find('\n', at_);
        size_t next = end == std::string_view::npos ? text_.size() : end + 1;
        *line = text_.substr(at_, (end == std::string_view::npos ? text_.size() : end) - at_);
        if (!line->empty() && line->back() == '\r')
            line->remove_suffix(1);
        at_ = next;
        ++number_;
        return true;
    }
    std::string_view Take(size_t bytes) {
        if (bytes > text_.size() - at_)
            Fail(fmt::format("the section says {} bytes but the report ends first", bytes));
        std::string_view part = text_.substr(at_, bytes);
        for (char c : part)
            number_ += c == '\n';
        at_ += bytes;
        return part;
    }
    // Back to the start of the line just read.
    void Unread(std::string_view line) {
        at_ = static_cast<size_t>(line.data() - text_.data());
        --number_;
    }
    unsigned Number() const { return number_; }
    [[noreturn]] void Fail(const std::string& what) const {
        throw LabError(fmt::format("{}:{}: {}", source_, number_, what), 3);
    }

  private:
    std::string_view text_;
    const std::string& source_;
    size_t at_ = 0;
    unsigned number_ = 0;
};

// A line's fields after its first word: "name=value" with value quoted ("\\", "\"", "\xNN"
// escapes) or up to the next space; "path=" takes the rest of the line. A bare word (the
// quoted name of a monitor, "present") goes in under its position, "#1", "#2".
std::map<std::string, std::string> Fields(std::string_view rest, const ReportLines& lines) {
    std::map<std::string, std::string> fields;
    unsigned bare = 0;
    while (!rest.empty()) {
        while (!rest.empty() && rest.front() == ' ')
            rest.remove_prefix(1);
        if (rest.empty())
            break;
        std::string name;
        size_t equals = rest.find('=');
        size_t space = rest.find(' ');
        if (rest.front() != '"' && equals != std::string_view::npos && equals < space) {
            name = std::string(rest.substr(0, equals));
            rest.remove_prefix(equals + 1);
        } else {
            name = "#" + std::to_string(++bare);
        }
        std::string value;
        if (name == "path") {
            value = rest;
            rest = {};
        } else if (!rest.empty() && rest.front() == '"') {
            size_t i = 1;
            for (; i < rest.size() && rest[i] != '"'; ++i) {
                if (rest[i] == '\\' && i + 1 < rest.size()) {
                    ++i;
                    if (rest[i] == 'x' && i + 2 < rest.size()) {
                        value += static_cast<char>(
                            std::stoi(std::string(rest.substr(i + 1, 2)), nullptr, 16));
                        i += 2;
                        continue;
                    }
                }
                value += rest[i];
            }
            if (i >= rest.size())
                lines.Fail("a quoted text does not end");
            rest.remove_prefix(i + 1);
        } else {
            size_t end = rest.find(' ');
            value = std::string(rest.substr(0, end));
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
        }
        fields[name] = value;
    }
    return fields;
}

std::optional<std::uint32_t> Number(const std::map<std::string, std::string>& fields,
                                    const std::string& name) {
    auto it = fields.find(name);
    if (it == fields.end())
        return std::nullopt;
    std::string_view text = it->second;
    int base = 10;
    if (text.starts_with("0x")) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string Field(const std::map<std::string, std::string>& fields, const std::string& name) {
    auto it = fields.find(name);
    return it == fields.end() ? std::string() : it->second;
}

ReportedFile FileLine(std::string_view line, const ReportLines& lines) {
    ReportedFile file;
    size_t space = line.find(' ');
    file.kind = std::string(line.substr(0, space));
    std::map<std::string, std::string> fields =
        Fields(space == std::string_view::npos ? "" : line.substr(space), lines);
    std::string state = Field(fields, "#1");
    if (state != "present" && state != "absent")
        lines.Fail("a file line says neither present nor absent");
    file.present = state == "present";
    file.path = Field(fields, "path");
    file.size = Number(fields, "size");
    file.attributes = Number(fields, "attributes");
    file.date = Field(fields, "date") == "none" ? "" : Field(fields, "date");
    file.version = Field(fields, "version") == "none" ? "" : Field(fields, "version");
    file.error = Number(fields, "error");
    file.line = lines.Number();
    return file;
}

// "monitors count=N" / "monitors error=N", then the list's lines.
template <class Record>
void ListLine(std::string_view line, std::string_view listWord, std::string_view recordWord,
              ReportedList<Record>& list, Record (*read)(const std::map<std::string, std::string>&),
              const ReportLines& lines) {
    size_t space = line.find(' ');
    std::string_view word = line.substr(0, space);
    std::map<std::string, std::string> fields =
        Fields(space == std::string_view::npos ? "" : line.substr(space), lines);
    if (word == listWord) {
        list.seen = true;
        list.line = lines.Number();
        list.error = Number(fields, "error");
    } else if (word == recordWord) {
        list.records.push_back(read(fields));
        list.records.back().line = lines.Number();
    }
}

ReportedMonitor MonitorOf(const std::map<std::string, std::string>& f) {
    return {Field(f, "#1"), Field(f, "dll"), Field(f, "environment")};
}

ReportedPort PortOf(const std::map<std::string, std::string>& f) {
    return {Field(f, "#1"), Field(f, "monitor"), Field(f, "description"),
            Number(f, "type").value_or(0)};
}

ReportedPrinter PrinterOf(const std::map<std::string, std::string>& f) {
    return {Field(f, "#1"), Field(f, "port"), Field(f, "driver"), Number(f, "status").value_or(0),
            Number(f, "attributes").value_or(0)};
}

void SpoolerLine(std::string_view line, CollectorReport& report, const ReportLines& lines) {
    ListLine(line, "monitors", "monitor", report.monitors, MonitorOf, lines);
    ListLine(line, "ports", "port", report.ports, PortOf, lines);
    ListLine(line, "printers", "printer", report.printers, PrinterOf, lines);
}

} // namespace

bool IsCollectorReport(std::string_view text) {
    return text.starts_with(kFirstLine) &&
           (text.size() == kFirstLine.size() || text[kFirstLine.size()] == '\r' ||
            text[kFirstLine.size()] == '\n');
}

CollectorReport ReadCollectorReport(std::string_view text, const std::string& source) {
    ReportLines lines(text, source);
    CollectorReport report;
    std::string_view line;
    if (!lines.Next(&line) || line != kFirstLine)
        lines.Fail("not a field collector's report (its first line is not \"" +
                   std::string(kFirstLine) + "\")");
    std::string section;
    bool sawRegistry = false;
    while (lines.Next(&line)) {
        if (line == kEndLine) {
            report.complete = true;
            break;
        }
        if (line.starts_with(kSectionStart)) {
            std::map<std::string, std::string> fields;
            std::string_view rest = line.substr(kSectionStart.size());
            size_t space = rest.find(' ');
            section = std::string(rest.substr(0, space));
            report.filesSeen = report.filesSeen || section == "files";
            if (section == "registry") {
                sawRegistry = true;
                report.registry = std::string(lines.Number(), '\n');
            }
            if (section == "wininit.ini") {
                fields = Fields(space == std::string_view::npos ? "" : rest.substr(space), lines);
                if (std::optional<std::uint32_t> bytes = Number(fields, "bytes")) {
                    report.wininitLine = lines.Number() + 1;
                    report.wininit = std::string(lines.Take(*bytes));
                    std::string_view after;
                    if (lines.Next(&after) && !after.empty()) // the line end the file lacked
                        lines.Unread(after);
                }
            }
            continue;
        }
        if (section == "header") {
            size_t space = line.find(' ');
            report.header.emplace_back(
                std::string(line.substr(0, space)),
                space == std::string_view::npos ? "" : std::string(line.substr(space + 1)));
        } else if (section == "registry") {
            report.registry.append(line).append("\n");
        } else if (section == "registry-keys") {
            report.registryKeys.emplace_back(line);
        } else if (section == "files") {
            report.files.push_back(FileLine(line, lines));
        } else if (section == "spooler") {
            SpoolerLine(line, report, lines);
        }
    }
    if (!sawRegistry)
        lines.Fail("the report has no registry section");
    return report;
}

} // namespace lab

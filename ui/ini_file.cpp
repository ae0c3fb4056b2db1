// INI-style settings files: parser, lookup and writer, on byte buffers.
//
// The hard part is being exact about lines: CR, LF and any run of them end a
// line (so blank lines vanish), leading blanks never count, and of a value
// only the leading blanks are dropped at parse time; trailing ones go only
// when the value is read as text.
#include "ui/ini_file.h"

#include "app/text_number.h"
#include "platform/platform.h"

namespace {

constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";
constexpr std::string_view LINE_END = "\r\n";

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\r' || c == '\n'; }

std::string_view skip_blanks(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view drop_trailing_blanks(std::string_view s) {
    while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
    return s;
}

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// One line, already free of line-end characters. A line of blanks only
// carries nothing and gives no node, like an empty line.
bool parse_line(std::string_view line, IniNode& node) {
    line = skip_blanks(line);
    if (line.empty()) return false;
    node = IniNode{};
    if (line.front() == ';') {
        line.remove_prefix(1);
        if (!line.empty() && line.front() == ' ') line.remove_prefix(1);
        node.kind = INI_COMMENT;
        node.name = line;
    } else if (line.front() == '[') {
        line.remove_prefix(1);
        node.kind = INI_GROUP;
        node.name = line.substr(0, line.find(']'));  // not trimmed: "[ CLIENT ]" is another group
    } else {
        const std::size_t equals = line.find('=');
        node.kind = INI_ENTRY;
        node.name = drop_trailing_blanks(line.substr(0, equals));
        if (equals != std::string_view::npos) node.value = skip_blanks(line.substr(equals + 1));
    }
    return true;
}

// Index just past the current group: its next header, or the end.
std::size_t group_end(const IniFile& file) {
    std::size_t i = static_cast<std::size_t>(file.group + 1);
    while (i < file.nodes.size() && file.nodes[i].kind != INI_GROUP) ++i;
    return i;
}

constexpr std::size_t NOT_FOUND = static_cast<std::size_t>(-1);

// Index of the first entry of the key in the current group, or NOT_FOUND.
std::size_t find_entry(const IniFile& file, std::string_view key) {
    if (file.group_pending) return NOT_FOUND;
    const std::size_t end = group_end(file);
    for (std::size_t i = static_cast<std::size_t>(file.group + 1); i < end; ++i) {
        const IniNode& n = file.nodes[i];
        if (n.kind == INI_ENTRY && ini_names_equal(n.name, key)) return i;
    }
    return NOT_FOUND;
}

}  // namespace

IniFile ini_parse(std::string_view image) {
    IniFile file;
    if (image.starts_with(BYTE_ORDER_MARK)) {
        file.utf8 = true;
        image.remove_prefix(BYTE_ORDER_MARK.size());
    }
    std::size_t pos = 0;
    while (pos < image.size()) {
        while (pos < image.size() && is_line_end(image[pos])) ++pos;
        std::size_t end = pos;
        while (end < image.size() && !is_line_end(image[end])) ++end;
        IniNode node;
        if (end > pos && parse_line(image.substr(pos, end - pos), node))
            file.nodes.push_back(std::move(node));
        pos = end;
    }
    return file;
}

std::string ini_serialize(const IniFile& file) {
    std::string out;
    if (file.utf8) {
        out += BYTE_ORDER_MARK;
        out += LINE_END;
    }
    for (const IniNode& n : file.nodes) {
        switch (n.kind) {
            case INI_GROUP:
                out += "[" + n.name + "]";
                break;
            case INI_COMMENT:
                out += "; " + n.name;
                break;
            case INI_ENTRY:
                out += n.name + " = " + n.value;
                break;
        }
        out += LINE_END;
    }
    return out;
}

bool ini_names_equal(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

int ini_select_group(IniFile& file, std::string_view name) {
    file.group = -1;
    file.group_pending = false;
    file.pending_name.clear();
    if (name.empty()) return 1;
    for (std::size_t i = 0; i < file.nodes.size(); ++i) {
        if (file.nodes[i].kind == INI_GROUP && ini_names_equal(file.nodes[i].name, name)) {
            file.group = static_cast<int>(i);
            return 1;
        }
    }
    file.group_pending = true;
    file.pending_name = name;
    return 0;
}

std::string ini_read_string(const IniFile& file, std::string_view key, std::string_view fallback) {
    const std::size_t i = find_entry(file, key);
    if (i == NOT_FOUND) return std::string(fallback);
    // Leading blanks were dropped when the line was parsed.
    std::string value(drop_trailing_blanks(file.nodes[i].value));
    if (!file.utf8) return value;
    std::string local;
    return utf8_to_local(value, local) ? local : std::string();
}

std::int32_t ini_read_int(const IniFile& file, std::string_view key, std::int32_t fallback) {
    const std::size_t i = find_entry(file, key);
    if (i == NOT_FOUND) return fallback;
    // The C library's white space, as atoi skips it; CR and LF cannot occur here.
    std::string_view v = file.nodes[i].value;
    while (!v.empty() && (is_blank(v.front()) || v.front() == '\v' || v.front() == '\f')) v.remove_prefix(1);
    return text_to_int(v);
}

void ini_write_string(IniFile& file, std::string_view key, std::string_view value) {
    if (file.group_pending) {
        file.nodes.push_back({INI_GROUP, file.pending_name, {}});
        file.group = static_cast<int>(file.nodes.size() - 1);
        file.group_pending = false;
        file.pending_name.clear();
    }
    if (const std::size_t i = find_entry(file, key); i != NOT_FOUND) {
        file.nodes[i].name = key;
        file.nodes[i].value = value;
        return;
    }
    const auto at = file.nodes.begin() + static_cast<std::ptrdiff_t>(group_end(file));
    file.nodes.insert(at, IniNode{INI_ENTRY, std::string(key), std::string(value)});
}

void ini_write_int(IniFile& file, std::string_view key, std::int32_t value) {
    ini_write_string(file, key, std::to_string(value));
}

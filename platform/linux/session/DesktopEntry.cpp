#include "platform/linux/session/DesktopEntry.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace dimwell::x11 {

namespace {

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

/// Field codes expand before the line is split, as the common launchers do; a
/// launch with no files, URLs or icon leaves nothing of them.
std::string dropFieldCodes(std::string_view exec) {
    std::string out;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        if (exec[i] != '%') {
            out += exec[i];
            continue;
        }
        if (i + 1 < exec.size() && exec[i + 1] == '%') {
            out += '%';
        }
        ++i;   // the code's letter; unknown codes are invalid and dropped too
    }
    return out;
}

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> canonical(const std::string& path) {
    char buffer[PATH_MAX];
    if (!realpath(path.c_str(), buffer)) {
        return std::nullopt;
    }
    return std::string(buffer);
}

} // namespace

std::optional<std::map<std::string, std::string>> readDesktopEntryGroup(std::string_view text) {
    std::map<std::string, std::string> keys;
    bool inGroup = false;
    bool found = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            inGroup = line == "[Desktop Entry]";
            found = found || inGroup;
            continue;
        }
        const auto eq = line.find('=');
        if (!inGroup || eq == std::string_view::npos) {
            continue;
        }
        const std::string key(trim(line.substr(0, eq)));
        // The first occurrence counts; a repeated key is an error in the file.
        keys.emplace(key, unescapeDesktopString(trim(line.substr(eq + 1))));
    }
    if (!found) {
        return std::nullopt;
    }
    return keys;
}

std::string unescapeDesktopString(std::string_view value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (const char c = value[++i]) {
        case 's': out += ' '; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default:
            out += '\\';
            out += c;
        }
    }
    return out;
}

std::string escapeDesktopString(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        switch (const char c = text[i]) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        // Leading blanks would be trimmed away by readers.
        case ' ': out += i == 0 ? "\\s" : " "; break;
        default: out += c;
        }
    }
    return out;
}

std::optional<std::vector<std::string>> splitExec(std::string_view exec) {
    const std::string line = dropFieldCodes(exec);
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;
    bool quoted = false;   // "" is an empty argument; a lone field code is none
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inArgument && (quoted || !current.empty())) {
                args.push_back(current);
            }
            current.clear();
            inArgument = false;
            quoted = false;
            continue;
        }
        inArgument = true;
        if (c == '"') {
            quoted = true;
            bool closed = false;
            for (++i; i < line.size(); ++i) {
                if (line[i] == '"') {
                    closed = true;
                    break;
                }
                if (line[i] == '\\' && i + 1 < line.size() &&
                    std::string_view("\"`$\\").find(line[i + 1]) != std::string_view::npos) {
                    ++i;
                }
                current += line[i];
            }
            if (!closed) {
                return std::nullopt;
            }
        } else if (c == '\'') {
            // Not in the standard, but common in hand-written entries.
            const auto close = line.find('\'', i + 1);
            if (close == std::string::npos) {
                return std::nullopt;
            }
            quoted = true;
            current.append(line, i + 1, close - i - 1);
            i = close;
        } else if (c == '\\' && i + 1 < line.size()) {
            current += line[++i];
        } else {
            current += c;
        }
    }
    if (inArgument && (quoted || !current.empty())) {
        args.push_back(current);
    }
    return args;
}

std::string quoteExecArgument(std::string_view argument) {
    constexpr std::string_view reserved = " \t\n\r\"'\\><~|&;$*?#()`";
    std::string body;
    bool needsQuotes = argument.empty();
    for (const char c : argument) {
        if (reserved.find(c) != std::string_view::npos) {
            needsQuotes = true;
        }
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            body += '\\';
        }
        if (c == '%') {
            body += '%';
        }
        body += c;
    }
    return needsQuotes ? "\"" + body + "\"" : body;
}

std::optional<std::string> resolveExecProgram(std::string_view exec, std::string_view searchPath) {
    const auto args = splitExec(exec);
    if (!args || args->empty()) {
        return std::nullopt;
    }
    const std::string& program = args->front();
    if (program.find('/') != std::string::npos) {
        // A relative path has no defined starting point.
        if (program.front() != '/' || !isExecutableFile(program)) {
            return std::nullopt;
        }
        return canonical(program);
    }
    while (true) {
        const auto colon = searchPath.find(':');
        std::string dir(searchPath.substr(0, colon));
        if (!dir.empty() && dir.front() == '/') {
            if (const std::string candidate = dir + "/" + program; isExecutableFile(candidate)) {
                return canonical(candidate);
            }
        }
        if (colon == std::string_view::npos) {
            return std::nullopt;
        }
        searchPath.remove_prefix(colon + 1);
    }
}

} // namespace dimwell::x11

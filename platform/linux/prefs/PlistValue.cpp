#include "platform/linux/prefs/PlistValue.h"

#include <plist/plist.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dimwell::x11 {

namespace {

// A preferences file is a few kilobytes; anything far larger is not ours, and
// libplist takes lengths as 32-bit values.
constexpr std::size_t kMaxPlistBytes = 16u * 1024u * 1024u;
// Deeper nesting than any list of ours would recurse without bound on a hostile file.
constexpr int kMaxDepth = 64;

struct PlistFree {
    void operator()(plist_t p) const { plist_free(p); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

struct FileDescriptor {
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { ::close(fd_); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int fd_;
};

struct CFree {
    void operator()(char* p) const { std::free(p); }
};
using CString = std::unique_ptr<char, CFree>;

std::optional<Value> toValue(plist_t node, int depth, const std::string& where, const PlistNote& note) {
    auto skip = [&](const char* why) -> std::optional<Value> {
        if (note) {
            note(where.empty() ? std::string(why) : where + ": " + why);
        }
        return std::nullopt;
    };
    if (depth > kMaxDepth) {
        return skip("nested too deeply");
    }
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value::boolean(b != 0);
    }
    case PLIST_UINT: {
        // libplist keeps every integer in 64 bits; the XML and binary forms
        // carry the sign, so the bits read back as a signed value.
        std::uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return Value::integer(static_cast<std::int64_t>(u));
    }
    case PLIST_REAL: {
        double d = 0.0;
        plist_get_real_val(node, &d);
        return Value::real(d);
    }
    case PLIST_STRING: {
        char* raw = nullptr;
        plist_get_string_val(node, &raw);
        CString s(raw);
        return Value::string(s ? std::string(s.get()) : std::string());
    }
    case PLIST_ARRAY: {
        Array items;
        const std::uint32_t n = plist_array_get_size(node);
        for (std::uint32_t i = 0; i < n; ++i) {
            auto item = toValue(plist_array_get_item(node, i), depth + 1, where + "[" + std::to_string(i) + "]", note);
            if (item) {
                items.push_back(std::move(*item));
            }
        }
        return Value::array(std::move(items));
    }
    case PLIST_DICT: {
        Dictionary entries;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        if (!it) {
            return Value::dictionary({});
        }
        for (;;) {
            char* rawKey = nullptr;
            plist_t child = nullptr;
            plist_dict_next_item(node, it, &rawKey, &child);
            CString key(rawKey);
            if (!child || !key) {
                break;
            }
            const std::string k(key.get());
            auto item = toValue(child, depth + 1, where.empty() ? k : where + "." + k, note);
            if (item) {
                entries.emplace(k, std::move(*item));
            }
        }
        std::free(it);
        return Value::dictionary(std::move(entries));
    }
    case PLIST_DATE: return skip("a date is not kept");
    case PLIST_DATA: return skip("data is not kept");
    default: return skip("a value of an unknown type is not kept");
    }
}

plist_t toPlist(const Value& value) {
    switch (value.kind()) {
    case Value::Kind::Real: return plist_new_real(*value.asDouble());
    case Value::Kind::Bool: return plist_new_bool(*value.asBool() ? 1 : 0);
    case Value::Kind::Integer: return plist_new_uint(static_cast<std::uint64_t>(*value.asInteger()));
    case Value::Kind::String: return plist_new_string(value.asString()->c_str());
    case Value::Kind::List: {
        plist_t array = plist_new_array();
        for (const Value& item : *value.asArray()) {
            plist_array_append_item(array, toPlist(item));
        }
        return array;
    }
    case Value::Kind::Map: {
        plist_t dict = plist_new_dict();
        for (const auto& [key, item] : *value.asDictionary()) {
            plist_dict_set_item(dict, key.c_str(), toPlist(item));
        }
        return dict;
    }
    }
    return plist_new_dict();
}

} // namespace

PlistReadResult parsePlist(const std::string& bytes, const PlistNote& note) {
    PlistReadResult result;
    if (bytes.size() > kMaxPlistBytes) {
        result.status = PlistReadStatus::Malformed;
        result.detail = "larger than any property list of ours";
        return result;
    }
    plist_t raw = nullptr;
    if (!bytes.empty()) {
        plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &raw);
    }
    PlistPtr root(raw);
    if (!root) {
        result.status = PlistReadStatus::Malformed;
        result.detail = bytes.empty() ? "empty" : "not a property list";
        return result;
    }
    result.value = toValue(root.get(), 0, "", note);
    if (!result.value) {
        result.status = PlistReadStatus::Malformed;
        result.detail = "no readable value";
        return result;
    }
    if (const Dictionary* kept = result.value->asDictionary()) {
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(root.get(), &it);
        while (it) {
            char* rawKey = nullptr;
            plist_t child = nullptr;
            plist_dict_next_item(root.get(), it, &rawKey, &child);
            CString key(rawKey);
            if (!child || !key) {
                break;
            }
            if (kept->count(key.get()) == 0) {
                result.unreadableKeys.emplace_back(key.get());
            }
        }
        std::free(it);
    }
    result.status = PlistReadStatus::Ok;
    return result;
}

PlistReadResult readPlistFile(const std::string& path, const PlistNote& note) {
    PlistReadResult result;
    auto failed = [&result](PlistReadStatus status, std::string detail) {
        result.status = status;
        result.detail = std::move(detail);
        return result;
    };
    // The type is judged before opening: opening a device can have effects of its own.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        const int err = errno;
        return failed(err == ENOENT || err == ENOTDIR ? PlistReadStatus::Missing : PlistReadStatus::Unreadable,
                      std::strerror(err));
    }
    if (!S_ISREG(st.st_mode)) {
        return failed(PlistReadStatus::NotAFile, "not a file");
    }
    // Non-blocking, and checked again once open: it may have been swapped for a FIFO meanwhile.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return failed(PlistReadStatus::Unreadable, std::strerror(errno));
    }
    const FileDescriptor file(fd);
    if (fstat(fd, &st) != 0) {
        return failed(PlistReadStatus::Unreadable, std::strerror(errno));
    }
    if (!S_ISREG(st.st_mode)) {
        return failed(PlistReadStatus::NotAFile, "not a file");
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxPlistBytes) {
        return failed(PlistReadStatus::Malformed, "larger than any property list of ours");
    }
    std::string bytes;
    char chunk[16384];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return failed(PlistReadStatus::Unreadable, std::strerror(errno));
        }
        if (n == 0) {
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
        if (bytes.size() > kMaxPlistBytes) {
            return failed(PlistReadStatus::Malformed, "larger than any property list of ours");
        }
    }
    return parsePlist(bytes, note);
}

std::string toPlistXml(const Value& value) {
    PlistPtr root(toPlist(value));
    char* raw = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(root.get(), &raw, &length);
    CString xml(raw);
    return xml ? std::string(xml.get(), length) : std::string();
}

} // namespace dimwell::x11

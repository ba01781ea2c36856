#include "formats/epub/EpubPath.h"

#include <vector>

namespace pagewick {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A URL scheme: a letter, then letters, digits, '+', '-' or '.', then ':' before any '/'.
bool HasScheme(std::string_view href) {
    if (href.empty() || !IsAsciiLetter(href[0])) return false;
    for (size_t i = 1; i < href.size(); ++i) {
        char c = href[i];
        if (c == ':') return true;
        if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return false;
    }
    return false;
}

std::string_view TrimAsciiSpace(std::string_view text) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += char(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

bool NormalizeContainerPath(std::string_view path, std::string& out) {
    out.clear();
    if (path.empty() || path[0] == '/' || path[0] == '\\') return false;
    if (path.find('\0') != std::string_view::npos) return false;
    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') return false;
    std::vector<std::string_view> segments;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) slash = path.size();
        std::string_view segment = path.substr(start, slash - start);
        if (segment == "..") {
            if (segments.empty()) return false;  // climbs above the container's root
            segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = slash + 1;
    }
    if (segments.empty()) return false;
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i) out += '/';
        out += segments[i];
    }
    return true;
}

std::string_view ContainerFolder(std::string_view file) {
    size_t slash = file.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : file.substr(0, slash + 1);
}

bool ResolveHref(std::string_view fromFile, std::string_view href, std::string& path,
                 std::string& fragment) {
    path.clear();
    fragment.clear();
    href = TrimAsciiSpace(href);
    std::string_view reference = href;
    if (size_t hash = reference.find('#'); hash != std::string_view::npos) {
        fragment = PercentDecode(reference.substr(hash + 1));
        reference = reference.substr(0, hash);
    }
    if (size_t query = reference.find('?'); query != std::string_view::npos)
        reference = reference.substr(0, query);
    if (HasScheme(reference)) return false;
    if (reference.empty()) {
        // Only a fragment (or nothing): the file that holds the reference.
        if (!NormalizeContainerPath(fromFile, path)) return false;
        return true;
    }
    if (reference[0] == '/' || reference[0] == '\\') return false;
    // Decoded before folding, so that "%2e%2e/" climbs like "../" and is refused like it.
    std::string joined(ContainerFolder(fromFile));
    joined += PercentDecode(reference);
    return NormalizeContainerPath(joined, path);
}

}  // namespace pagewick

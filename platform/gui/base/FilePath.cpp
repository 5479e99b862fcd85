// Parsing, combining and writing of paths (rules in FilePath.h).
#include "platform/gui/base/FilePath.h"

#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/gui/base/text_tables.h"

namespace {

bool isSep(char c, int style) {
    switch (style) {
    case FilePath::STYLE_DOS: return c == '\\' || c == '/';
    case FilePath::STYLE_MAC: return c == ':';
    default: return c == '/';
    }
}

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

FilePath::FilePath(const String& text, int style) {
    std::string_view s = text.view();
    if (s.find('\0') != std::string_view::npos) { error_ = true; return; }
    if (style != STYLE_DOS && style != STYLE_MAC) style = STYLE_HOST;

    if (style == STYLE_DOS && s.size() >= 2 && isLetter(s[0]) && s[1] == ':') s.remove_prefix(2);

    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || isSep(s[i], style)) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }

    if (style == STYLE_MAC) {
        // "Volume:a:b" is absolute (volume dropped); ":a:b" relative; "name" a relative name.
        bool hasColon = s.find(':') != std::string_view::npos;
        std::size_t first = 0;
        if (hasColon && !s.empty() && s[0] != ':') { absolute_ = true; first = 1; }
        else if (hasColon) first = 1;  // the leading ":" itself
        for (std::size_t i = first; i < parts.size(); ++i) {
            std::string_view p = parts[i];
            if (p.empty()) {
                // An empty name between colons goes up; a trailing colon only marks a folder.
                if (i + 1 < parts.size()) names_.emplace_back("..");
                continue;
            }
            if (p.find('/') != std::string_view::npos) { error_ = true; names_.clear(); return; }
            names_.emplace_back(p);
        }
        normalize();
        return;
    }

    absolute_ = !s.empty() && isSep(s[0], style);
    for (std::string_view p : parts) {
        if (p.empty() || p == ".") continue;
        names_.emplace_back(p);
    }
    normalize();
}

FilePath FilePath::fromNative(const std::string& utf8) {
    std::size_t replaced = 0;
    std::string text = utf8ToCp1252(utf8, &replaced);
    FilePath p{String(text), STYLE_HOST};
    if (replaced != 0) {
        p.error_ = true;
        p.names_.clear();
    }
    return p;
}

void FilePath::normalize() {
    std::vector<std::string> out;
    for (std::string& n : names_) {
        if (n == ".") continue;
        if (n == "..") {
            if (!out.empty() && out.back() != "..") { out.pop_back(); continue; }
            if (absolute_) continue;  // ".." of the root is the root
        }
        out.push_back(std::move(n));
    }
    names_ = std::move(out);
}

bool FilePath::setCwd() const {
    if (error_) return false;
    if (isCurrentDir()) return true;
    return chdir(toNative().c_str()) == 0;
}

bool FilePath::makeAbsolute() {
    if (error_) return false;
    if (absolute_) return true;
    std::string buf(PATH_MAX + 1, '\0');
    if (!getcwd(buf.data(), buf.size())) { error_ = true; names_.clear(); return false; }
    buf.resize(std::char_traits<char>::length(buf.c_str()));
    FilePath cwd = fromNative(buf);
    if (cwd.error_) { error_ = true; names_.clear(); return false; }
    cwd.names_.insert(cwd.names_.end(), names_.begin(), names_.end());
    cwd.normalize();
    *this = std::move(cwd);
    return true;
}

String FilePath::cutName() {
    if (error_ || names_.empty() || names_.back() == "..") return String();
    String name(names_.back());
    names_.pop_back();
    return name;
}

String FilePath::getName() const {
    return (error_ || names_.empty()) ? String() : String(names_.back());
}

FilePath& FilePath::operator+=(const FilePath& tail) {
    if (error_) return *this;
    if (tail.error_) { *this = tail; return *this; }
    if (tail.absolute_) { *this = tail; return *this; }
    names_.insert(names_.end(), tail.names_.begin(), tail.names_.end());
    normalize();
    return *this;
}

void FilePath::setExtension(const String& ext, char separator) {
    if (error_ || names_.empty() || names_.back() == "..") return;
    if (ext.view().find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
        error_ = true;
        names_.clear();
        return;
    }
    std::string& n = names_.back();
    std::size_t dot = n.rfind(separator);
    if (dot != std::string::npos && dot > 0) n.erase(dot);
    if (!ext.isEmpty()) n += separator + ext.str();
}

String FilePath::getExtension(char separator) const {
    if (error_ || names_.empty()) return String();
    const std::string& n = names_.back();
    std::size_t dot = n.rfind(separator);
    return (dot == std::string::npos || dot == 0) ? String() : String(n.substr(dot + 1));
}

String FilePath::getFull(int form, std::size_t maxLength) const {
    if (error_) return String();
    std::string out;
    if (absolute_) out = "/";
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (i > 0) out += '/';
        out += names_[i];
    }
    if (form == FORM_URL) {
        std::string utf8 = cp1252ToUtf8(out), enc;
        static const char* hex = "0123456789ABCDEF";
        for (unsigned char c : utf8) {
            bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                        c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
            if (keep) enc += static_cast<char>(c);
            else { enc += '%'; enc += hex[c >> 4]; enc += hex[c & 15]; }
        }
        out = std::move(enc);
    }
    if (out.size() > maxLength) return String();
    return String(std::move(out));
}

String FilePath::getFull(int form, std::size_t maxLength) {
    String s = static_cast<const FilePath&>(*this).getFull(form, maxLength);
    if (!error_ && s.isEmpty() && maxLength != std::string::npos &&
        static_cast<const FilePath&>(*this).getFull(form).len() > maxLength) {
        error_ = true;
        names_.clear();
    }
    return s;
}

std::string FilePath::toNative() const {
    if (error_) return std::string();
    std::string full = getFull(FORM_HOST).str();
    return full.empty() ? std::string(".") : cp1252ToUtf8(full);
}

FilePath FilePath::relativeTo(const FilePath& dir) const {
    FilePath a = *this, b = dir;
    if (!a.makeAbsolute() || !b.makeAbsolute()) {
        FilePath e;
        e.error_ = true;
        return e;
    }
    std::size_t common = 0;
    while (common < a.names_.size() && common < b.names_.size() && a.names_[common] == b.names_[common])
        ++common;
    FilePath r;
    for (std::size_t i = common; i < b.names_.size(); ++i) r.names_.emplace_back("..");
    for (std::size_t i = common; i < a.names_.size(); ++i) r.names_.push_back(a.names_[i]);
    return r;
}

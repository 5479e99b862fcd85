// Reading and atomic writing of the ini file (format and rules in Config.h).
#include "platform/gui/base/Config.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/gui/base/text_tables.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }  // a CR left inside a line counts as blank

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

bool hasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string errnoText(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

// Creates each missing folder of `dir` (mode 0700 for new ones).
void makeFolders(const std::string& dir) {
    for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos == dir.size() || dir[pos] == '/') {
            std::string part = dir.substr(0, pos);
            if (!part.empty()) mkdir(part.c_str(), 0700);
        }
    }
}

}  // namespace

std::string Config::resolvePath(const String& fileName) {
    std::string name = cp1252ToUtf8(fileName.view());
    if (name.find('/') != std::string::npos) return name;
    std::string dir;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') {
        dir = xdg;
    } else {
        const char* home = std::getenv("HOME");
        dir = std::string(home && *home ? home : ".") + "/.config";
    }
    return dir + "/" + name;
}

std::vector<Config::Group> Config::parse(std::string_view text) {
    std::vector<Group> groups(1);  // the nameless group
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        std::string_view line = text.substr(pos, (end == std::string_view::npos ? text.size() : end) - pos);
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // CR LF (and stray CRs)
        pos = next;

        std::string_view t = trim(line);
        if (!t.empty() && t.front() == '[') {
            std::size_t close = t.find(']');
            if (close != std::string_view::npos) {
                Group g;
                g.name = std::string(trim(t.substr(1, close - 1)));
                g.header = std::string(line);
                groups.push_back(std::move(g));
                continue;
            }
        }
        Line l;
        std::size_t eq = t.find('=');
        if (!t.empty() && t.front() != ';' && t.front() != '#' && eq != std::string_view::npos && eq > 0) {
            l.kind = Line::Entry;
            l.key = std::string(trim(t.substr(0, eq)));
            l.value = std::string(trim(t.substr(eq + 1)));
        } else {
            l.raw = std::string(line);
        }
        groups.back().lines.push_back(std::move(l));
    }
    return groups;
}

std::string Config::serialize(const std::vector<Group>& groups) {
    std::string out;
    for (std::size_t gi = 0; gi < groups.size(); ++gi) {
        const Group& g = groups[gi];
        if (gi > 0 || !g.header.empty()) {
            out += g.header.empty() ? "[" + g.name + "]" : g.header;
            out += '\n';
        }
        for (const Line& l : g.lines) {
            out += l.kind == Line::Entry ? l.key + "=" + l.value : l.raw;
            out += '\n';
        }
    }
    return out;
}

bool Config::isValidKey(std::string_view key) {
    std::string_view t = trim(key);
    if (t.empty() || hasLineBreakOrNul(key)) return false;
    if (key.find('=') != std::string_view::npos) return false;
    return t.front() != '[' && t.front() != ';' && t.front() != '#';
}

bool Config::isValidValue(std::string_view value) { return !hasLineBreakOrNul(value); }

bool Config::isValidGroup(std::string_view group) {
    return !hasLineBreakOrNul(group) && group.find(']') == std::string_view::npos && !trim(group).empty();
}

Config::Config() : groups_(1) {}

Config::Config(const String& fileName) : path_(resolvePath(fileName)) {
    int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) {
            error_ = errnoText("cannot read", path_);
            readOnly_ = true;
        }
        groups_.resize(1);
        return;
    }
    std::string text;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) { error_ = errnoText("cannot read", path_); readOnly_ = true; break; }
        if (n == 0) break;
        if (text.size() + static_cast<std::size_t>(n) > kMaxFileSize) {
            error_ = "file too large: " + path_;
            readOnly_ = true;
            break;
        }
        text.append(buf, static_cast<std::size_t>(n));
    }
    close(fd);
    groups_ = readOnly_ ? std::vector<Group>(1) : parse(text);
}

Config::Group* Config::findGroup(std::vector<Group>& gs, std::string_view name) const {
    for (std::size_t i = 1; i < gs.size(); ++i)
        if (equalsNoCase(gs[i].name, name)) return &gs[i];
    return nullptr;
}

const Config::Group* Config::findGroup(std::string_view name) const {
    return const_cast<Config*>(this)->findGroup(const_cast<std::vector<Group>&>(groups_), name);
}

void Config::setGroup(const String& group) { group_ = group; }

bool Config::hasGroup(const String& group) const { return findGroup(trim(group.view())) != nullptr; }

String Config::readKey(const String& key, const String& defaultValue) const {
    const Group* g = findGroup(trim(group_.view()));
    if (!g) return defaultValue;
    std::string_view k = trim(key.view());
    for (const Line& l : g->lines)
        if (l.kind == Line::Entry && equalsNoCase(l.key, k)) return String(l.value);
    return defaultValue;
}

bool Config::hasKey(const String& key) const {
    const Group* g = findGroup(trim(group_.view()));
    if (!g) return false;
    for (const Line& l : g->lines)
        if (l.kind == Line::Entry && equalsNoCase(l.key, trim(key.view()))) return true;
    return false;
}

std::vector<String> Config::getKeys() const {
    std::vector<String> keys;
    if (const Group* g = findGroup(trim(group_.view())))
        for (const Line& l : g->lines)
            if (l.kind == Line::Entry) keys.emplace_back(l.key);
    return keys;
}

bool Config::writeKey(const String& key, const String& value) {
    if (!isValidGroup(group_.view())) { error_ = "invalid group name"; return false; }
    if (!isValidKey(key.view())) { error_ = "invalid key"; return false; }
    if (!isValidValue(value.view())) { error_ = "invalid value"; return false; }
    std::vector<Group> next = groups_;
    Group* g = findGroup(next, trim(group_.view()));
    if (!g) {
        Group ng;
        ng.name = std::string(trim(group_.view()));
        next.push_back(std::move(ng));
        g = &next.back();
    }
    std::string k(trim(key.view())), v(trim(value.view()));
    bool found = false;
    for (Line& l : g->lines)
        if (l.kind == Line::Entry && equalsNoCase(l.key, k)) { l.value = v; found = true; break; }
    if (!found) {
        // New keys go after the group's last entry, before trailing blank lines and comments.
        std::size_t at = g->lines.size();
        while (at > 0 && g->lines[at - 1].kind == Line::Other) --at;
        if (at == 0) {
            // No entry yet: after leading comments, before trailing blank lines.
            at = g->lines.size();
            while (at > 0 && trim(g->lines[at - 1].raw).empty()) --at;
        }
        Line l;
        l.kind = Line::Entry;
        l.key = k;
        l.value = v;
        g->lines.insert(g->lines.begin() + static_cast<long>(at), std::move(l));
    }
    return commit(std::move(next));
}

bool Config::deleteKey(const String& key) {
    std::vector<Group> next = groups_;
    Group* g = findGroup(next, trim(group_.view()));
    if (!g) return true;
    std::string_view k = trim(key.view());
    std::erase_if(g->lines, [&](const Line& l) { return l.kind == Line::Entry && equalsNoCase(l.key, k); });
    return commit(std::move(next));
}

bool Config::commit(std::vector<Group> next) {
    if (path_.empty()) { groups_ = std::move(next); return true; }
    if (readOnly_) {
        // The old file could not be read: writing would lose whatever it holds.
        if (error_.empty()) error_ = "cannot read " + path_;
        return false;
    }
    std::string dir = ".";
    std::size_t slash = path_.rfind('/');
    if (slash != std::string::npos) dir = slash == 0 ? "/" : path_.substr(0, slash);
    makeFolders(dir);

    std::string text = serialize(next);
    std::string tmpl = path_ + ".XXXXXX";
    int fd = mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) { error_ = errnoText("cannot write", path_); return false; }
    struct stat st;
    if (stat(path_.c_str(), &st) == 0) fchmod(fd, st.st_mode & 07777);
    else fchmod(fd, 0644);
    std::size_t done = 0;
    bool ok = true;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) { ok = false; break; }
        done += static_cast<std::size_t>(n);
    }
    if (ok && fsync(fd) != 0) ok = false;
    if (close(fd) != 0) ok = false;
    if (ok && rename(tmpl.c_str(), path_.c_str()) != 0) ok = false;
    if (!ok) {
        error_ = errnoText("cannot write", path_);
        unlink(tmpl.c_str());
        return false;
    }
    groups_ = std::move(next);
    error_.clear();
    return true;
}

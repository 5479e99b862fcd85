// The resource text reader and registry (format in Resource.h).
#include "platform/gui/Resource.h"

#include <cstdlib>
#include <map>

namespace gui {

namespace {

std::map<int, DialogDesc>& dialogs() {
    static std::map<int, DialogDesc> d;
    return d;
}

const char* const kClasses[] = {"FixedText", "Edit", "PushButton", "OKButton", "CancelButton",
                                "CheckBox", "TriStateBox", "RadioButton", "GroupBox"};

// Splits a line into words and quoted texts; false on an unterminated text.
bool tokenize(std::string_view line, std::vector<std::string>& out, std::vector<bool>& quoted) {
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') { ++i; continue; }
        if (c == '"') {
            std::string t;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '\\' && i < line.size()) { t += line[i++]; continue; }
                if (d == '"') { closed = true; break; }
                t += d;
            }
            if (!closed) return false;
            out.push_back(t);
            quoted.push_back(true);
            continue;
        }
        std::size_t b = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '"') ++i;
        out.emplace_back(line.substr(b, i - b));
        quoted.push_back(false);
    }
    return true;
}

bool toInt(const std::string& s, int& v) {
    if (s.empty() || s.size() > 6) return false;
    char* end = nullptr;
    long l = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || l < -32768 || l > 32767) return false;
    v = static_cast<int>(l);
    return true;
}

}  // namespace

bool loadResources(std::string_view text, std::string* error) {
    std::map<int, DialogDesc> found;
    DialogDesc* open = nullptr;
    DialogDesc current;
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        if (error) *error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        std::vector<std::string> w;
        std::vector<bool> q;
        if (!tokenize(line, w, q)) return fail("unterminated text");
        if (w.empty() || (!q[0] && w[0][0] == '#')) {
            if (end == text.size()) break;
            continue;
        }
        if (!open) {
            if (w[0] != "dialog" || w.size() != 5 || !q[2]) return fail("expected: dialog <id> \"<title>\" <width> <height>");
            current = DialogDesc();
            if (!toInt(w[1], current.id) || !toInt(w[3], current.width) || !toInt(w[4], current.height))
                return fail("bad number");
            current.title = String(w[2]);
            open = &current;
        } else if (w[0] == "end" && w.size() == 1) {
            found[current.id] = current;
            open = nullptr;
        } else {
            bool known = false;
            for (const char* c : kClasses) known |= w[0] == c;
            if (!known) return fail("unknown control class " + w[0]);
            if (w.size() != 7 || !q[6]) return fail("expected: <Class> <id> <x> <y> <width> <height> \"<text>\"");
            ControlDesc c;
            c.cls = w[0];
            if (!toInt(w[1], c.id) || !toInt(w[2], c.x) || !toInt(w[3], c.y) || !toInt(w[4], c.width) ||
                !toInt(w[5], c.height))
                return fail("bad number");
            for (const ControlDesc& other : current.controls)
                if (other.cls == c.cls && other.id == c.id) return fail("duplicate " + c.cls + " " + w[1]);
            c.text = String(w[6]);
            current.controls.push_back(std::move(c));
        }
        if (end == text.size()) break;
    }
    if (open) return fail("missing end");
    for (auto& [id, d] : found) dialogs()[id] = std::move(d);
    return true;
}

const DialogDesc* findDialog(int id) {
    auto it = dialogs().find(id);
    return it == dialogs().end() ? nullptr : &it->second;
}

}  // namespace gui

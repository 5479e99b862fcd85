#include "platform/gui/line_words.h"

namespace gui {

bool splitLineWords(std::string_view line, std::vector<std::string>& words, std::vector<bool>& quoted) {
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') { ++i; continue; }
        if (c == '"') {
            std::string t;
            bool closed = false;
            for (++i; i < line.size();) {
                char d = line[i++];
                if (d == '\\' && i < line.size()) { t += line[i++]; continue; }
                if (d == '"') { closed = true; break; }
                t += d;
            }
            if (!closed) return false;
            words.push_back(t);
            quoted.push_back(true);
            continue;
        }
        std::size_t b = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '"') ++i;
        words.emplace_back(line.substr(b, i - b));
        quoted.push_back(false);
    }
    return true;
}

}  // namespace gui

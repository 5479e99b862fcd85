#pragma once
// A smart plot region's argument text read the way the region reads it, character by character:
// curves are the top-level bracket groups counted until the whole-plot options start; a curve's
// expression is its group's text from the "[" to the first comma; an option is found by its
// name with a blank on each side, compared ignoring case with the text before the "=" of each
// comma-separated item, among the whole-plot options (after the last "]") or inside one group.
// The tests check every text the kernel answers against these rules.

#include <string>
#include <utility>
#include <vector>

#include "util/KString.h"

class SmartPlotText {
public:
    explicit SmartPlotText(const std::string& arguments) : text_(arguments.c_str()) {}

    int curveCount() const { return int(starts().size()); }

    // The expression of curve n (from 1); empty when there is no such curve.
    std::string curveText(int n) const {
        int open = groupStart(n);
        if (open < 0) return "";
        int comma = text_.findChar(',', open);
        if (comma < 0) return "";
        return std::string(text_.text() + open + 1, std::size_t(comma - open - 1));
    }

    // Group n from its "[" through its matching "]".
    std::string curveGroup(int n) const {
        int open = groupStart(n);
        if (open < 0) return "";
        int close = text_.findClosing(open + 1, '[', ']');
        if (close < 0) return "";
        return std::string(text_.text() + open, std::size_t(close - open + 1));
    }

    // The first and last position of the item named `name`, among the whole-plot options
    // (curve below 1) or inside group `curve`; -1, -1 when there is none.
    std::pair<int, int> findOption(const std::string& name, int curve) const {
        std::pair<int, int> none{-1, -1};
        if (text_.length() == 0) return none;
        KString key((" " + name + " ").c_str());
        int from, to;   // the search range, from through to - 1
        if (curve < 1) {
            from = text_.findCharBackward(']', text_.length()) + 1;
            to = text_.length();
        } else {
            int open = groupStart(curve);
            if (open < 0) return none;
            int close = text_.findClosing(open + 1, '[', ']');
            if (close < 0) return none;
            from = open + 1;
            to = close;
        }
        if (from >= to) return none;
        for (int start = from; start < to;) {
            int comma = text_.findChar(',', start + 1);
            int end = comma < 0 || comma >= to ? to : comma;   // one past the item
            int eq = text_.findChar('=', start);
            if (eq > start && eq < end) {
                int keyFrom = text_.text()[start] == ',' ? start + 1 : start;
                KString before(std::string(text_.text() + keyFrom, std::size_t(eq - keyFrom)).c_str());
                if (eq - keyFrom > 0 && before.matches(key, true)) return {start, end - 1};
            }
            start = end;
        }
        return none;
    }

    // The value text of an option (after its "=", blanks trimmed); "<none>" when not found.
    std::string optionValue(const std::string& name, int curve = 0) const {
        auto [first, last] = findOption(name, curve);
        if (first < 0) return "<none>";
        std::string item(text_.text() + first, std::size_t(last - first + 1));
        std::string value = item.substr(item.find('=') + 1);
        std::size_t a = value.find_first_not_of(' '), b = value.find_last_not_of(' ');
        return a == std::string::npos ? "" : value.substr(a, b - a + 1);
    }

private:
    // The "[" of every curve group, in order.
    std::vector<int> starts() const {
        std::vector<int> s;
        int open = text_.findChar('[', 0);
        while (open >= 0) {
            int close = text_.findClosing(open + 1, '[', ']');
            if (close < 0) break;
            s.push_back(open);
            int next = text_.findChar('[', close + 1), eq = text_.findChar('=', close + 1);
            if (next < 0 || (eq >= 0 && eq < next)) break;
            open = next;
        }
        return s;
    }
    int groupStart(int n) const {
        std::vector<int> s = starts();
        return n >= 1 && n <= int(s.size()) ? s[std::size_t(n - 1)] : -1;
    }

    KString text_;
};

#pragma once
// A seeded generator of help topics for the large-database tests and the benchmark: topic
// names "gen,<group>,t<n>", pages of about 2 KB of worksheet text whose quoted strings draw
// words from a fixed vocabulary of 20,000 words with a skewed distribution, and one rare marker
// word per topic ("uniq", the number spelled in letters, "x") so that full-text queries have a
// known answer.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace topicgen {

inline const std::vector<std::string>& vocabulary() {
    static const std::vector<std::string> words = [] {
        std::vector<std::string> v;
        std::mt19937 rng(4242);
        const char* syll[] = {"ka", "lo", "mi", "ne", "ru", "ta", "vo", "zi", "pe", "qua", "shi", "dor"};
        while (v.size() < 20000) {
            std::string w;
            int n = 2 + int(rng() % 3);
            for (int i = 0; i < n; ++i) w += syll[rng() % 12];
            v.push_back(w);
        }
        return v;
    }();
    return words;
}

inline std::string topicName(int n) { return "gen," + std::to_string(n % 97) + ",t" + std::to_string(n); }

// Digits separate words, so the number is spelled in letters (0-9 -> "bcdfhjkmpw"); the final
// "x" is no suffix the word parser strips, so every marker stays one distinct word.
inline std::string marker(int n) {
    std::string m = "uniq";
    for (char d : std::to_string(n)) m += "bcdfhjkmpw"[d - '0'];
    return m + "x";
}

// The plain text of topic n (about 2000 bytes).
inline std::string topicText(int n) {
    std::mt19937 rng(std::uint32_t(n) * 2654435761u + 7);
    const auto& v = vocabulary();
    std::string text = marker(n);
    while (text.size() < 2000) {
        // Skewed choice: the cube of a uniform number favours the first words (the 20 most
        // common carry a tenth of the text and occur in most topics).
        double u = double(rng()) / double(rng.max());
        text += ' ';
        text += v[std::size_t(u * u * u * double(v.size() - 1))];
    }
    return text;
}

inline std::string topicPage(int n) {
    return "{VERSION 2 2 \"User Help Text\" \"2.2\"}\n{SECT 0 {PARA 0 \"\" 0 \"\" {TEXT -1 0 \"" +
           topicText(n) + "\"}}}\n";
}

}  // namespace topicgen

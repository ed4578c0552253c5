// Text-like data for the benchmarks: 65,535 bytes of common English words.
#pragma once

#include <random>
#include <string>

#include "flz0.hpp"

inline std::string text_like()
{
    static const char* words[] = {"the", "of", "and", "a", "to", "in", "is", "you", "that", "it", "he",
                                  "was", "for", "on", "are", "as", "with", "his", "they", "at", "be",
                                  "this", "have", "from", "or", "one", "had", "by", "word", "but", "not",
                                  "what", "all", "were", "we", "when", "your", "can", "said", "there",
                                  "use", "an", "each", "which", "she", "do", "how", "their", "if", "will",
                                  "program", "file", "bundle", "piece", "offset", "decoder", "ring"};
    std::mt19937 rng(1);
    std::string s;
    while (s.size() < kMaxOriginalSize) {
        s += words[rng() % std::size(words)];
        s += rng() % 12 == 0 ? ".\n" : " ";
    }
    s.resize(kMaxOriginalSize);
    return s;
}

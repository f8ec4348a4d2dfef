#include "platform/font_families.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr FaceCell TIMES_NEW_ROMAN_CELL{1825, 443, 2048};
constexpr FaceCell ARIAL_CELL{1854, 434, 2048};
constexpr FaceCell ARIAL_NARROW_CELL{1888, 431, 2048};

}  // namespace

bool same_family_name(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

bool is_generic_family(const std::string& family) {
    return family == "serif" || family == "sans-serif" || family == "sans" || family == "monospace";
}

// The faces tried for a requested family, in order: the face itself, then
// the free faces drawn to its letter widths, so that every text keeps the
// length the artwork places it for, then fontconfig's own choice for the
// generic family. A face of other widths pushes the title's "4" onto its
// neighbour and cuts the banners short. Each substitute takes the cell of
// the face it stands in for.
std::vector<FaceCandidate> candidates_for(const std::string& family) {
    const FaceCell* times = &TIMES_NEW_ROMAN_CELL;
    const FaceCell* arial = &ARIAL_CELL;
    const FaceCell* narrow = &ARIAL_NARROW_CELL;
    if (same_family_name(family, "Times New Roman"))
        return {{"Times New Roman", 0, nullptr},
                {"Liberation Serif", 0, times},
                {"Tinos", 0, times},
                {"Nimbus Roman", 0, times},
                {"Nimbus Roman No9 L", 0, times},
                {"TeX Gyre Termes", 0, times},
                {"serif", 0, times}};
    if (same_family_name(family, "Arial"))
        return {{"Arial", 0, nullptr},     {"Liberation Sans", 0, arial}, {"Arimo", 0, arial},
                {"Nimbus Sans", 0, arial}, {"Nimbus Sans L", 0, arial},   {"TeX Gyre Heros", 0, arial},
                {"sans-serif", 0, arial}};
    // No free face shares Impact's widths. The narrow bold sans faces come
    // closest; they share each other's widths and are given one cell, so
    // either writes the column numbers alike. Then a condensed bold sans.
    if (same_family_name(family, "Impact"))
        return {{"Impact", 0, nullptr},
                {"Liberation Sans Narrow", WEIGHT_BOLD, narrow},
                {"Nimbus Sans Narrow", WEIGHT_BOLD, narrow},
                {"DejaVu Sans Condensed", WEIGHT_BOLD, nullptr},
                {"sans-serif", WEIGHT_BOLD, nullptr}};
    return {{family.c_str(), 0, nullptr}, {"sans-serif", 0, nullptr}};
}

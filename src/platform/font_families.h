// The faces the artwork names and the free faces that stand in for them:
// the cells those faces state, and the order in which the stand-ins are
// tried. Plain data; fontconfig is asked in font_matching.cpp.
#pragma once
#include <string>
#include <vector>

constexpr int WEIGHT_NORMAL = 400;
constexpr int WEIGHT_BOLD = 700;

// A face's cell (the ascent and descent of its OS/2 table's usWinAscent and
// usWinDescent) in its design units. A face drawn to another's widths
// rarely shares its cell too, and the artwork places its texts by their
// cells: a substitute takes the cell of the face it stands in for, so its
// baselines land where that face's would.
struct FaceCell {
    long ascent, descent, units;
};

struct FaceCandidate {
    const char* family;
    int min_weight;        // a substitute for a heavy face is asked for bold
    const FaceCell* cell;  // the cell it is given, or none: its own
};

// The faces tried for a requested family, best first; the last is a
// generic family. Points into `family` for a family it does not know.
std::vector<FaceCandidate> candidates_for(const std::string& family);
bool is_generic_family(const std::string& family);
// Family names compare without regard to case.
bool same_family_name(const std::string& a, const std::string& b);

// Which font file writes a family at a weight and slant: fontconfig's
// choice among the family's stand-ins (font_families.h), each checked to
// write Latin letters. The answers are kept for the whole process, and so
// are fontconfig and the FreeType library, opened once.
#pragma once
#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>

#include "platform/font_families.h"

struct ResolvedFace {
    std::string file;
    int index = 0;
    std::string family;
    bool embolden = false;           // the file is lighter than the weight asked for
    bool oblique = false;            // the file is upright but italic was asked for
    const FaceCell* cell = nullptr;  // the cell it is given, or none: the file's own
};

// Opens fontconfig and FreeType, or waits for prepare_fonts_early's helper
// to have done so; false, for good, when either cannot be had.
bool start_face_store();
// The FreeType library every face is opened with, once start_face_store
// has said true.
FT_Library face_library();
// The face for a family, or none; asked again, the same answer at once.
const ResolvedFace* resolve_face(const std::string& family, int weight, bool italic);
// Lets go of fontconfig's configuration once start-up has resolved its
// faces; a family asked for later looks it up again.
void close_face_lookup();
// Tells the player, once, that the texts are left out.
void say_no_font(const std::string& family);

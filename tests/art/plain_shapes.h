// The shapes written out exactly as their algorithm reads, step by step in
// its own loop order: the reference the renderer's shapes are checked
// against, element for element.
#pragma once
#include "art/shade_canvas.h"

void plain_render_slab(ShadeCanvas& canvas, int x, int y, int w, int h, int radius, int bevel);
void plain_render_hole(ShadeCanvas& canvas, int x, int y, int w, int h, int radius, int bevel);

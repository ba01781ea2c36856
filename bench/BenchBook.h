// The page every pagination benchmark measures: a 480 x 640 desktop page with 8-pixel borders
// and leading 2; the book named in the document is opened and its character width decided.
#pragma once

#include "engine/BookEngine.h"

namespace pagewick::bench {

inline void OpenOnBenchPage(CBookEngine& doc, DrawingSurface& surface) {
    doc.LeftEdge = doc.TopEdge = 8;
    doc.RightEdge = 472;
    doc.PageHeight = 640;
    doc.Leading = 2;
    doc.PrepareSource();
    doc.GetChar(0);
    doc.BuildWidthTable(&surface);
}

}  // namespace pagewick::bench

// Opening a book named on the command line: "FILE.txt", "FILE.htm", "FILE.html" or
// "ARCHIVE.zip:MEMBER", and the Qt application that real font metrics need.
#pragma once

#include <memory>
#include <string>

#include "engine/BookEngine.h"

class QGuiApplication;

namespace pagewick::cli {

// Sets the document's path, member and kind from a book argument and opens it. On failure
// returns false with a one-line message.
bool OpenBookArgument(CBookEngine& doc, const std::string& argument, std::string& error);

// A QGuiApplication on Qt's offscreen platform unless another platform was chosen.
std::unique_ptr<QGuiApplication> MakeGuiApplication();

}  // namespace pagewick::cli

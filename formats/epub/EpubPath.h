// Paths inside an EPUB container. Members are named by paths relative to the container's root
// with "/" between folders; references inside the book (hrefs, the container's full-path, the
// encryption list's URIs) are URLs relative to the file that holds them. Nothing here touches the
// disk: a path that would leave the container is refused before anyone looks it up.
#pragma once

#include <string>
#include <string_view>

namespace pagewick {

// Decodes %XX escapes (either case of hex digit); a '%' not followed by two hex digits stays
// as it is.
std::string PercentDecode(std::string_view text);

// Folds "." and ".." segments and empty ones ("a//b") of a path inside the container into out.
// False for a path that is absolute ("/x", "\x", "C:x"), climbs above the root ("a/../../x"),
// holds a NUL byte or comes out empty.
bool NormalizeContainerPath(std::string_view path, std::string& out);

// The folder of a container path with its closing "/" ("OEBPS/" for "OEBPS/content.opf", ""
// at the root).
std::string_view ContainerFolder(std::string_view file);

// An href written in fromFile, as a container path: the fragment (after '#') and any query
// (after '?') split off, the rest percent-decoded, joined to fromFile's folder and normalised;
// fragment receives the decoded fragment ("" when there is none). An href that is only a
// fragment leads to fromFile itself. False for an href with a scheme ("http:", "file:",
// "mailto:", a drive letter), an absolute one, one that climbs out, or one that names no file.
bool ResolveHref(std::string_view fromFile, std::string_view href, std::string& path,
                 std::string& fragment);

}  // namespace pagewick

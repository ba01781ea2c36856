// The programs' icons ("wickstand", "wickpad"), every size the theme has, from the resources
// made at build time from the SVGs in icons/.
#pragma once

#include <QIcon>
#include <QString>

namespace pwview {

// Null when the program has no icon.
QIcon ProgramIcon(const QString& program);

}  // namespace pwview

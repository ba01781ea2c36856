// Start-up and the file type association live with the pieces both readers share; Wickstand
// keeps its names for them.
#pragma once

#include "view/Startup.h"

namespace wickstand {
using pwview::ChooseFirstBook;
using pwview::CKVFileTypeAccess;
using pwview::CopyIntoLibrary;
using pwview::IsHtmlBook;
using pwview::kAssociateLitQuestion;
using pwview::ParseCommandLine;
using pwview::PendingBook;
using pwview::RegisterLitType;
using pwview::RegisterPawkType;
using pwview::RegisterTypeForProgram;
using pwview::StartAction;
using pwview::StartRequest;
}  // namespace wickstand

// Temporary empty bodies so the core links while the searches are being written.
// Each function moves to its own file and this file is deleted.
#include "engine/sorvantel_doc.h"

namespace sorv {
void CSorvantelDoc::OnAutoSetup() {}
void CSorvantelDoc::OnAutoSearch() {}
void CSorvantelDoc::OnSemiAutoFwd() {}
void CSorvantelDoc::OnSemiAutoBack() {}
}  // namespace sorv

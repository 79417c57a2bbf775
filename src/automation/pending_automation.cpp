// Temporary empty bodies so the core links while files, log and scripts are being written.
// Each function moves to its own file and this file is deleted.
#include "engine/sorvantel_doc.h"

namespace sorv {
void CSorvantelDoc::OnSave() {}
void CSorvantelDoc::OnLoad() {}
void CSorvantelDoc::OnScript() {}
void CSorvantelDoc::OnBatchAutoSearch() {}
}  // namespace sorv

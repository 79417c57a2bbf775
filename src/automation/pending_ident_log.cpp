// Temporary empty bodies so the core links while the ident log is being written.
#include "engine/sorvantel_doc.h"

namespace sorv {
void CSorvantelDoc::OnLogIdents() {}
void CSorvantelDoc::OnLogDirectory() {}
void CSorvantelDoc::WriteLogEntry() {}
}  // namespace sorv

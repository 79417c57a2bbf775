// Temporary empty bodies so the core links while the analysis road is being written.
// Each function moves to its own file and this file is deleted.
#include "engine/sorvantel_doc.h"

namespace sorv {
void CSorvantelDoc::OnSpectralRange() {}
void CSorvantelDoc::OnPeriodRange() {}
void CSorvantelDoc::OnPeriodScale() {}
void CSorvantelDoc::OnNominalCarrier() {}
void CSorvantelDoc::OnIdentWpm() {}
void CSorvantelDoc::OnGri() {}
double CSorvantelDoc::RadioFrequencyKHz(double) const { return 0; }
void CSorvantelDoc::OnSpectralDensity() {}
void CSorvantelDoc::OnPeriodSearch() {}
void CSorvantelDoc::OnNextSpec() {}
void CSorvantelDoc::OnPrevSpec() {}
void CSorvantelDoc::OnIntegrate() {}
void CSorvantelDoc::SetRangeFromBin(int) {}
void CSorvantelDoc::NarrowRangeAround(double) {}
void CSorvantelDoc::OnIdent() {}
std::string CSorvantelDoc::MorseChar(unsigned, int) { return {}; }
}  // namespace sorv

#include "display/view_captions.h"

#include "engine/text_format.h"

namespace sorv::view {

bool ShowsRadioFrequency(const CSorvantelDoc& doc) {
    return doc.m_dCarrierKHz > 0.0 && (doc.m_nRxMode == 0 || doc.m_nRxMode == 1);
}

double RadioKHz(const CSorvantelDoc& doc, double audioHz) {
    return doc.m_nRxMode == 1 ? doc.m_dCarrierKHz - audioHz / 1000.0 : doc.m_dCarrierKHz + audioHz / 1000.0;
}

QString DesignatedLineCaption(const CSorvantelDoc& doc) {
    const double f = doc.LineFrequency(doc.m_nLine);
    if (ShowsRadioFrequency(doc)) {
        return ToQ(FormatC("Designated line %1.1lf Hz (%6.3lf kHz)", f, RadioKHz(doc, f)));
    }
    return ToQ(FormatC("Designated line %1.1lf Hz", f));
}

}  // namespace sorv::view

#include "editor/pages/property_page.h"

#include "engine/base_layer.h"
#include "engine/error_reporter.h"

namespace quillon {

QuillonPropertyPage::QuillonPropertyPage(QWidget* parent) : QWidget(parent) {}

void QuillonPropertyPage::Load(const PageObject& object) {
    m_object = object;
}

bool QuillonPropertyPage::Validate() {
    return true;
}

void QuillonPropertyPage::Apply() {}

bool QuillonPropertyPage::RefuseWhilePreviewed() const {
    const BaseLayer* layer = m_object.layer;
    const bool busy = m_previewQuery ? m_previewQuery(layer) : (layer && layer->IsBusy());
    if (busy) ReportError("Unable to access layer being previewed!");
    return busy;
}

}  // namespace quillon

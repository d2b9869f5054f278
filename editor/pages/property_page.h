#pragma once

#include <QWidget>
#include <functional>
#include <memory>

namespace quillon {

class BaseLayer;
class BumpLightSrc;

// What a page edits: the layer itself, or a part of it (which chemical, which light).
struct PageObject {
    BaseLayer* layer = nullptr;
    int part = 0;  // 0 chemical A, 1 chemical B
    std::shared_ptr<BumpLightSrc> light;
};

// Whether a layer may not be touched now (it, an ancestor or a descendant
// is being previewed). Answered without waiting.
using PreviewQuery = std::function<bool(const BaseLayer*)>;

// The base of every tab of the layer dialog. Load fills the controls from
// the object; Validate checks them and tells the user what is wrong;
// Apply writes them back (only after a successful Validate, so a layer is
// never half written). Every user edit emits Changed.
class QuillonPropertyPage : public QWidget {
    Q_OBJECT
  public:
    explicit QuillonPropertyPage(QWidget* parent = nullptr);

    virtual void Load(const PageObject& object);
    virtual bool Validate();
    virtual void Apply();

    const PageObject& Object() const { return m_object; }
    void SetPreviewQuery(PreviewQuery query) { m_previewQuery = std::move(query); }
    // True (after telling the user) when the bound layer must not change now.
    bool RefuseWhilePreviewed() const;

  signals:
    // The change notification: the user edited a control.
    void Changed();
    // The page changed the layer itself at once (lights, picture, random flag).
    void LayerModified();
    // The layer's lights were added or removed; the dialog rebuilds their tabs.
    void LightsChanged();

  protected:
    void NotifyChanged() { emit Changed(); }

    PageObject m_object;

  private:
    PreviewQuery m_previewQuery;
};

}  // namespace quillon

#pragma once

#include <memory>

#include "editor/pages/page_fields.h"
#include "editor/pages/property_page.h"

class QCheckBox;
class QPushButton;

namespace quillon {

// "Properties" of a bump-map layer, "Bump" of a tiling layer: bump height,
// grey scale, tiling (bump maps only) and "Add Light".
class PropPageBumpMap : public QuillonPropertyPage {
    Q_OBJECT
  public:
    explicit PropPageBumpMap(QWidget* parent = nullptr);
    void Load(const PageObject& object) override;
    bool Validate() override;
    void Apply() override;

    QLineEdit* HeightEdit() const { return m_height->Edit(); }
    QCheckBox* GreyBox() const { return m_grey; }
    QCheckBox* TileBox() const { return m_tile; }
    QPushButton* AddLightButton() const { return m_addLight; }

  private:
    void AddLight();

    std::unique_ptr<RandomField> m_height;
    QCheckBox* m_grey;
    QCheckBox* m_tile;
    QPushButton* m_addLight;
};

}  // namespace quillon

#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "editor/pages/page_fields.h"

class QCheckBox;
class QPlainTextEdit;

namespace quillon {

class BaseLayer;
class TextureMap;

// The properties of the texture itself: size, zoom, description and the
// screen saver's display hints.
class TexturePropDlg : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kMinSide = 1;
    static constexpr int kMaxSide = 4096;
    static constexpr int kMaxZoomText = 128;
    static constexpr int kMaxDescription = 1024;

    explicit TexturePropDlg(QWidget* parent = nullptr);

    void Load(TextureMap* texture);  // object into controls
    // Controls checked; false after telling the user (nothing stored).
    bool Validate();
    void Store();  // controls into the object (after Validate)
    // Whether the texture is being previewed (the screen-saver boxes act at once).
    void SetPreviewQuery(std::function<bool(const BaseLayer*)> isBeingPreviewed);

    QLineEdit* WidthEdit() const { return m_width->Edit(); }
    QLineEdit* HeightEdit() const { return m_height->Edit(); }
    QLineEdit* ZoomEdit() const { return m_zoom->Edit(); }
    QPlainTextEdit* DescriptionEdit() const { return m_description; }
    // 0 X-Mirror, 1 Y-Mirror, 2 Tile, 3 Expand.
    QCheckBox* ScreenSaverBox(int index) const { return m_boxes[index]; }

  signals:
    void ChangesPending();  // any edit of any control
    // A screen-saver box changed the texture at once: the document is modified.
    void TextureModified();

  private:
    void OnBoxClicked(int index);

    TextureMap* m_texture = nullptr;
    std::function<bool(const BaseLayer*)> m_isBeingPreviewed;
    std::unique_ptr<IntField> m_width;
    std::unique_ptr<IntField> m_height;
    std::unique_ptr<RandomField> m_zoom;
    QPlainTextEdit* m_description;
    QString m_loadedDescription;
    QCheckBox* m_boxes[4];
};

}  // namespace quillon

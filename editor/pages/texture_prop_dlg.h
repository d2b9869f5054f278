#pragma once

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

namespace quillon {

class TextureMap;

// The texture's properties beside the tree: controls are filled by Load,
// checked by Validate and written back by Store.
class TexturePropDlg : public QWidget {
    Q_OBJECT
  public:
    explicit TexturePropDlg(QWidget* parent = nullptr);
    void Load(TextureMap* texture);  // object into controls
    bool Validate();  // controls checked; false after telling the user (nothing stored)
    void Store();     // controls into the object (after Validate)

  signals:
    void ChangesPending();  // any edit of any control

  private:
    TextureMap* m_texture = nullptr;
    bool m_loading = false;
    QLineEdit* m_width;
    QLineEdit* m_height;
    QPlainTextEdit* m_description;
};

}  // namespace quillon

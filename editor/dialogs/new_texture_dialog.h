#pragma once

#include <QDialog>

class QLineEdit;

namespace quillon {

// "New Texture": the name and size of a new document. OK checks the
// fields and keeps the dialog open, with a message, while one is wrong.
class NewTextureDialog : public QDialog {
    Q_OBJECT
  public:
    explicit NewTextureDialog(QWidget* parent = nullptr);

    QString TextureName() const;
    int TextureWidth() const;
    int TextureHeight() const;
    QLineEdit* NameEdit() const { return m_name; }
    QLineEdit* WidthEdit() const { return m_width; }
    QLineEdit* HeightEdit() const { return m_height; }

    // True when every field holds an allowed value; else tells the user.
    bool Validate();
    void accept() override;

  private:
    QLineEdit* m_name;
    QLineEdit* m_width;
    QLineEdit* m_height;
};

}  // namespace quillon

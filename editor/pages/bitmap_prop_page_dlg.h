#pragma once

#include <QString>

#include "editor/pages/property_page.h"

class QLabel;
class QPushButton;

namespace quillon {

// "Properties" of a bitmap layer: "Import" of a BMP, JPEG or PNG picture
// and the picture itself.
class BitmapPropPageDlg : public QuillonPropertyPage {
    Q_OBJECT
  public:
    explicit BitmapPropPageDlg(QWidget* parent = nullptr);
    void Load(const PageObject& object) override;

    // Reads the file into the layer at once; false (layer unchanged) after
    // telling the user.
    bool ImportFile(const QString& path);

    QPushButton* ImportButton() const { return m_import; }
    QLabel* PictureLabel() const { return m_picture; }

  private:
    void Import();
    void ShowPicture();

    QPushButton* m_import;
    QLabel* m_picture;
    QLabel* m_size;
};

}  // namespace quillon

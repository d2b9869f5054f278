#include "editor/pages/bitmap_prop_page_dlg.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "editor/choosers.h"
#include "engine/bitmap_layer.h"
#include "engine/error_reporter.h"
#include "image/picture_file.h"

namespace quillon {

namespace {

const char kPictureFilter[] =
    "Bitmap Files (*.bmp);;JPEG Files (*.jpg *.jpeg);;PNG Files (*.png);;All Files (*)";
constexpr int kShownSide = 192;

}  // namespace

BitmapPropPageDlg::BitmapPropPageDlg(QWidget* parent) : QuillonPropertyPage(parent) {
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    m_import = new QPushButton(tr("&Import"), this);
    m_size = new QLabel(this);
    top->addWidget(m_import);
    top->addWidget(m_size, 1);
    layout->addLayout(top);
    m_picture = new QLabel(this);
    m_picture->setFrameShape(QFrame::Box);
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setMinimumSize(kShownSide, kShownSide);
    layout->addWidget(m_picture, 1);
    connect(m_import, &QPushButton::clicked, this, &BitmapPropPageDlg::Import);
}

void BitmapPropPageDlg::Load(const PageObject& object) {
    QuillonPropertyPage::Load(object);
    ShowPicture();
}

void BitmapPropPageDlg::ShowPicture() {
    auto* layer = dynamic_cast<BitmapLayer*>(m_object.layer);
    auto picture = layer ? layer->Picture() : nullptr;
    if (!picture || picture->Empty()) {
        m_picture->setPixmap(QPixmap());
        m_picture->setText(tr("No picture"));
        m_size->clear();
        return;
    }
    // Row 0 is the bottom row: mirrored to show it upright.
    const QImage image(picture->Bytes(), picture->Width(), picture->Height(), picture->Width() * 3,
                       QImage::Format_RGB888);
    const QImage upright = image.mirrored(false, true);
    m_picture->setPixmap(QPixmap::fromImage(
        upright.scaled(kShownSide, kShownSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    m_size->setText(tr("%1 x %2 pixels").arg(picture->Width()).arg(picture->Height()));
}

void BitmapPropPageDlg::Import() {
    if (!dynamic_cast<BitmapLayer*>(m_object.layer) || RefuseWhilePreviewed()) return;
    const QString path = GetChoosers().OpenFileName(this, tr("Load Bitmap Layer"), kPictureFilter);
    if (!path.isEmpty()) ImportFile(path);
}

bool BitmapPropPageDlg::ImportFile(const QString& path) {
    auto* layer = dynamic_cast<BitmapLayer*>(m_object.layer);
    if (!layer) return false;
    const std::string file = path.toStdString();
    PictureFormat format = PictureFormatFromExtension(file);
    // A name without a known extension: the content decides (and names the failure).
    if (format == PictureFormat::Unknown) format = DetectPictureFormat(file);
    const char* failure = format == PictureFormat::Jpeg  ? "Unable to load JPEG image."
                          : format == PictureFormat::Png ? "Unable to load PNG image."
                                                         : "Unable to load BMP image.";
    auto image = ReadPictureRgb(file, PictureFormat::Unknown);
    auto picture = std::make_shared<RgbPicture>();
    if (!image || image->BytesPerPixel() != 3 ||
        !picture->Assign(image->Width(), image->Height(), image->Pixels())) {
        ReportError(failure);
        return false;
    }
    if (!layer->TrySetPicture(std::move(picture))) {
        ReportError("Unable to access layer being previewed!");
        return false;
    }
    ShowPicture();
    emit LayerModified();
    return true;
}

}  // namespace quillon

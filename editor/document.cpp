#include "editor/document.h"

#include <QApplication>
#include <QFileInfo>
#include <filesystem>
#include <vector>

#include "editor/choosers.h"
#include "engine/error_reporter.h"
#include "format/texture_files.h"
#include "image/atomic_file.h"

namespace quillon {

namespace {

int g_untitledCount = 0;

const QString kDocumentFilter = QStringLiteral("Quillon Files (*.qln);;All Files (*)");

std::filesystem::path ToPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

}  // namespace

Document::Document(QObject* parent) : QObject(parent), m_texture(std::make_unique<TextureMap>()) {}

Document::~Document() = default;

void Document::InitNew(const QString& name, int width, int height) {
    m_texture = std::make_unique<TextureMap>();
    m_texture->RemoveAll();  // a new document starts empty
    m_texture->SetName(name.toStdString());
    m_texture->SetSize(width, height);
    m_path.clear();
    m_untitledNumber = ++g_untitledCount;
    m_modified = false;
    m_unapplied = false;
    emit TitleChanged();
}

bool Document::Open(const QString& path) {
    // A document made for this file reads into the map it was made with, so
    // that a seed gives the same draws as in quillon-render (a new texture
    // map draws for its noise layer); the caller discards it on failure.
    // Otherwise a fresh map: what a failed parse leaves behind never
    // reaches the document.
    const bool madeForFile = m_path.isEmpty() && m_untitledNumber == 0 && !m_modified;
    auto texture = madeForFile ? std::move(m_texture) : std::make_unique<TextureMap>();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    LoadStatus status = LoadDocument(ToPath(path), *texture);
    QApplication::restoreOverrideCursor();
    if (status != LoadStatus::Ok) {
        if (madeForFile) m_texture = std::move(texture);
        return false;
    }
    m_texture = std::move(texture);
    m_path = QFileInfo(path).absoluteFilePath();
    m_modified = false;
    m_unapplied = false;
    emit TitleChanged();
    emit ModifiedChanged(false);
    return true;
}

bool Document::WriteTo(const QString& path, QString* error) const {
    std::string reason;
    bool ok = WriteFileAtomically(ToPath(path).string(), DocumentText(*m_texture), &reason);
    if (!ok && error) *error = QString::fromStdString(reason);
    return ok;
}

bool Document::Save(QWidget* parent) {
    if (m_path.isEmpty()) return SaveAs(parent);
    if (m_unapplied && GetChoosers().Ask(parent, QStringLiteral("Save with unapplied changes?"),
                                         QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    bool ok = WriteTo(m_path, &error);
    QApplication::restoreOverrideCursor();
    if (!ok) {
        ReportError(QStringLiteral("Unable to save %1:\n%2").arg(m_path, error).toStdString());
        return false;
    }
    SetModified(false);
    return true;
}

bool Document::SaveAs(QWidget* parent) {
    QString initial = m_path.isEmpty() ? Title() + QStringLiteral(".qln") : m_path;
    QString path = GetChoosers().SaveFileName(parent, QStringLiteral("Save As"), kDocumentFilter,
                                              initial, QStringLiteral("qln"));
    if (path.isEmpty()) return false;
    QString previous = m_path;
    m_path = QFileInfo(path).absoluteFilePath();
    if (!Save(parent)) {
        m_path = previous;
        return false;
    }
    emit TitleChanged();
    return true;
}

bool Document::SaveModified(QWidget* parent) {
    if (!m_modified) return true;
    auto answer = GetChoosers().Ask(parent, QStringLiteral("Save changes to %1?").arg(Title()),
                                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::No) return true;
    return Save(parent);
}

QString Document::Title() const {
    if (!m_path.isEmpty()) return QFileInfo(m_path).fileName();
    return QStringLiteral("Quillon%1").arg(m_untitledNumber);
}

void Document::SetModified(bool modified) {
    if (m_modified == modified) return;
    m_modified = modified;
    emit ModifiedChanged(modified);
}

void Document::SetPreviewSource(const void* key, std::function<const BaseLayer*()> source) {
    if (source) {
        m_previewSources[key] = std::move(source);
    } else {
        m_previewSources.erase(key);
    }
}

bool Document::IsPreviewed(const BaseLayer* layer) const {
    if (layer->IsBusy()) return true;
    for (const auto& [key, source] : m_previewSources) {
        if (source() == layer) return true;
    }
    return false;
}

bool Document::IsInsidePreview(const BaseLayer* object) const {
    for (const BaseLayer* layer = object; layer; layer = layer->Parent()) {
        if (IsPreviewed(layer)) return true;
    }
    return false;
}

bool Document::IsBeingPreviewed(const BaseLayer* object) const {
    if (!object) return false;
    if (IsInsidePreview(object)) return true;
    // Descendants, without recursion: documents may nest deeply.
    std::vector<const BaseLayer*> pending{object};
    while (!pending.empty()) {
        const auto* container = dynamic_cast<const MultiBaseLayer*>(pending.back());
        pending.pop_back();
        if (!container) continue;
        for (int i = 0; i < container->Count(); ++i) {
            const BaseLayer* child = container->Child(i);
            if (IsPreviewed(child)) return true;
            pending.push_back(child);
        }
    }
    return false;
}

bool Document::IsTextureBeingPreviewed() const {
    return IsPreviewed(m_texture.get());
}

}  // namespace quillon

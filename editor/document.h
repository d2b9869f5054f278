#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>

#include "engine/texture_map.h"

class QWidget;

namespace quillon {

// An open texture document: the texture map, its file, the modified flag
// and the flag of property edits not yet applied.
class Document : public QObject {
    Q_OBJECT
  public:
    explicit Document(QObject* parent = nullptr);
    ~Document() override;

    TextureMap& Texture() { return *m_texture; }
    const TextureMap& Texture() const { return *m_texture; }

    // A new, untitled texture with no layers.
    void InitNew(const QString& name, int width, int height);
    // Reads a document. False when the file cannot be read or does not start
    // with "V" (nothing shown) or does not parse (the parser has reported);
    // the document is then unchanged.
    bool Open(const QString& path);
    // Writes the texture to path through a temporary file; the old file
    // survives a failure, whose reason goes to error.
    bool WriteTo(const QString& path, QString* error) const;

    // The user's Save and Save As, with their questions and messages.
    bool Save(QWidget* parent);
    bool SaveAs(QWidget* parent);
    // "Save changes to ...?" for a modified document; false when the user cancels
    // or the save fails.
    bool SaveModified(QWidget* parent);

    const QString& Path() const { return m_path; }
    // The file name, or "QuillonN" for a document never saved.
    QString Title() const;

    bool IsModified() const { return m_modified; }
    void SetModified(bool modified = true);
    bool HasUnappliedChanges() const { return m_unapplied; }
    void SetUnappliedChanges(bool pending) { m_unapplied = pending; }

    // What one view's preview is rendering now (null when nothing); a view
    // installs its source under its own key, a null source removes it.
    void SetPreviewSource(const void* key, std::function<const BaseLayer*()> source);
    // True for the previewed object, its ancestors and descendants: asked of
    // the layers' locks without waiting and of the preview target.
    bool IsBeingPreviewed(const BaseLayer* object) const;
    // True while the whole texture is rendered.
    bool IsTextureBeingPreviewed() const;
    // True for the previewed object and everything inside it: what a
    // rendering reads, so a container there may not take new children.
    bool IsInsidePreview(const BaseLayer* object) const;

  signals:
    void ModifiedChanged(bool modified);
    void TitleChanged();

  private:
    bool IsPreviewed(const BaseLayer* layer) const;

    std::unique_ptr<TextureMap> m_texture;
    QString m_path;
    int m_untitledNumber = 0;
    bool m_modified = false;
    bool m_unapplied = false;
    std::map<const void*, std::function<const BaseLayer*()>> m_previewSources;
};

}  // namespace quillon

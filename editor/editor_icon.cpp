#include "editor/editor_icon.h"

#include <QFile>

// The resources live in a static library: nothing else would pull them in.
static void InitEditorResources() {
    Q_INIT_RESOURCE(editor);
}

namespace quillon {

QIcon EditorIcon(const QString& name) {
    static const bool initialised = (InitEditorResources(), true);
    (void)initialised;
    QString path = QStringLiteral(":/icons/") + name;
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

}  // namespace quillon

#pragma once

#include <QFile>
#include <QIcon>
#include <QString>

namespace quillon {

// An icon of the editor's resources by file name ("new.svg"); empty when
// the resource is missing.
inline QIcon EditorIcon(const QString& name) {
    QString path = QStringLiteral(":/icons/") + name;
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

}  // namespace quillon

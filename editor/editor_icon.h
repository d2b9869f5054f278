#pragma once

#include <QIcon>
#include <QString>

namespace quillon {

// An icon of the editor's resources by file name ("new.svg"); empty when
// the resource is missing.
QIcon EditorIcon(const QString& name);

}  // namespace quillon

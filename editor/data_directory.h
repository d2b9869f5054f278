#pragma once

#include <QString>

namespace quillon {

// The folder of the editor's installed data (tips.txt, SlideShow/, help/,
// examples/): $QUILLON_DATA_DIR when set; share/quillon beside the
// program's bin folder when it is there (any install prefix, an unpacked
// package included); the source tree's data folder for a program run from
// the build tree; else the configured install folder. Without a trailing
// separator.
QString DataDirectory();

// A file or folder in DataDirectory().
QString DataPath(const QString& name);

}  // namespace quillon

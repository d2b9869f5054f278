#include "editor/data_directory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace quillon {

namespace {

bool HasData(const QString& folder) {
    return QFileInfo(QDir(folder).filePath("tips.txt")).isFile();
}

}  // namespace

QString DataDirectory() {
    const QString overridden = qEnvironmentVariable("QUILLON_DATA_DIR");
    if (!overridden.isEmpty()) return QDir::cleanPath(overridden);
    if (QCoreApplication::instance()) {
        const QString beside =
            QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/quillon");
        if (HasData(beside)) return beside;
    }
    const QString source = QStringLiteral(QUILLON_SOURCE_DATA_DIR);
    if (HasData(source)) return QDir::cleanPath(source);
    return QDir::cleanPath(QStringLiteral(QUILLON_INSTALL_DATA_DIR));
}

QString DataPath(const QString& name) {
    return QDir(DataDirectory()).filePath(name);
}

}  // namespace quillon

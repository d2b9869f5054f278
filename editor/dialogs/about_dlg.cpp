#include "editor/dialogs/about_dlg.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QStorageInfo>
#include <QVBoxLayout>

#include "editor/dialogs/hyperlink.h"

#ifndef QUILLON_VERSION
#define QUILLON_VERSION "2.0"
#endif

namespace quillon {

AboutDlg::AboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About Quillon"));

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/quillon.svg")).pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);
    auto* version = new QLabel(tr("Quillon Version %1").arg(QStringLiteral(QUILLON_VERSION)), this);
    QFont big = version->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    version->setFont(big);
    auto* what = new QLabel(tr("The procedural texture editor"), this);

    auto* maker = new QGroupBox(tr("Veltrana"), this);
    m_link = new HyperLink(QString::fromLatin1(kMakerUrl), maker);
    auto* makerLayout = new QVBoxLayout(maker);
    makerLayout->addWidget(m_link);

    auto* resources = new QGroupBox(tr("System Resources:"), this);
    m_memory = new QLabel(MemoryText(AvailableMemory()), resources);
    m_disk = new QLabel(DiskText(QDir::currentPath()), resources);
    m_memory->setWhatsThis(tr("The memory this computer has free for programs now."));
    m_disk->setWhatsThis(tr("The free space of the disk that holds the current folder."));
    auto* resourceLayout = new QFormLayout(resources);
    resourceLayout->addRow(tr("Free Memory:"), m_memory);
    resourceLayout->addRow(tr("Free Disk Space:"), m_disk);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(version);
    text->addWidget(what);
    text->addSpacing(8);
    text->addWidget(maker);
    text->addWidget(resources);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::optional<std::uint64_t> AboutDlg::AvailableMemory() {
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly)) return std::nullopt;
    // A handful of short lines; the read is bounded all the same.
    const QByteArray text = meminfo.read(64 * 1024);
    for (const QByteArray& line : text.split('\n')) {
        if (!line.startsWith("MemAvailable:")) continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        bool ok = false;
        const std::uint64_t kb = fields.size() >= 2 ? fields[1].toULongLong(&ok) : 0;
        if (ok) return kb * 1024;
    }
    return std::nullopt;
}

QString AboutDlg::MemoryText(std::optional<std::uint64_t> bytes) {
    if (!bytes) return tr("Unavailable");
    return QStringLiteral("%1 KB").arg(static_cast<qulonglong>(*bytes / 1024));
}

QString AboutDlg::DiskText(const QString& folder) {
    const QStorageInfo storage(folder);
    if (!storage.isValid() || !storage.isReady() || storage.bytesAvailable() < 0)
        return tr("Unavailable");
    return QStringLiteral("%1 KB Free on %2")
        .arg(static_cast<qulonglong>(storage.bytesAvailable()) / 1024)
        .arg(storage.rootPath());
}

}  // namespace quillon

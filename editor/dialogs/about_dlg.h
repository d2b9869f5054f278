#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <optional>

class QLabel;

namespace quillon {

class HyperLink;

// The maker's web address shown in the About box.
inline constexpr const char* kMakerUrl = "https://www.veltrana.example/quillon";

// "About Quillon": the program's icon and version, the maker's link, and
// the free memory and disk space of this machine.
class AboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit AboutDlg(QWidget* parent = nullptr);

    HyperLink* Link() const { return m_link; }
    QLabel* FreeMemoryLabel() const { return m_memory; }
    QLabel* FreeDiskLabel() const { return m_disk; }

    // The physical memory available to programs now, in bytes; none when
    // it cannot be read.
    static std::optional<std::uint64_t> AvailableMemory();
    // "%llu KB" of a byte count, or "Unavailable".
    static QString MemoryText(std::optional<std::uint64_t> bytes);
    // "%llu KB Free on %s" for the file system holding folder, with its
    // mount point, or "Unavailable".
    static QString DiskText(const QString& folder);

  private:
    HyperLink* m_link;
    QLabel* m_memory;
    QLabel* m_disk;
};

}  // namespace quillon

#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "saver/saver_settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;
class QTabWidget;

namespace quillon {

// "Lumadrift Properties": the Properties page (folder, scan depth, delay,
// Replace Desktop) and the Image Properties page (the weights of the four
// image effects, kept at a sum of 100). OK writes all eight values,
// Cancel nothing.
class SettingsDialog : public QDialog {
    Q_OBJECT
  public:
    // Returns the chosen folder, or an empty string when the user cancels.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& start)>;

    explicit SettingsDialog(QWidget* parent = nullptr);

    // The dialog's values as they stand.
    SaverSettings Values() const;
    // Tests answer the folder browser through this.
    void SetFolderChooser(FolderChooser chooser) { m_chooser = std::move(chooser); }

    QLineEdit* PathEdit() const { return m_path; }
    QSpinBox* DepthBox() const { return m_depth; }
    QSlider* DelaySlider() const { return m_delay; }
    QCheckBox* DesktopBox() const { return m_desktop; }
    QSlider* WeightSlider(int i) const { return m_weights[static_cast<std::size_t>(i)]; }
    QTabWidget* Tabs() const { return m_tabs; }

  public slots:
    void accept() override;

  private:
    QWidget* MakePropertiesPage(const SaverSettings& settings);
    QWidget* MakeImagePage(const SaverSettings& settings);
    void Browse();
    void WeightMoved(int index);
    void ShowDelay(int seconds);

    QTabWidget* m_tabs = nullptr;
    QLineEdit* m_path = nullptr;
    QSpinBox* m_depth = nullptr;
    QSlider* m_delay = nullptr;
    QLabel* m_delayText = nullptr;
    QCheckBox* m_desktop = nullptr;
    std::array<QSlider*, 4> m_weights{};
    std::array<QLabel*, 4> m_weightTexts{};
    bool m_rebalancing = false;
    FolderChooser m_chooser;
};

}  // namespace quillon

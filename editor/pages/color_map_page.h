#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "editor/pages/page_fields.h"
#include "editor/pages/property_page.h"
#include "engine/color.h"

class QCheckBox;
class QPushButton;
class QTreeWidget;

namespace quillon {

class ColorMapPreview;

// "Color Map" of a layer: the entries of its colour map (each a swatch
// under its table index), their location, opacity and colours, the RANDOM
// flag, and a strip previewing the 256 table positions. The page works on
// copies; the layer's map changes when the layer is applied, except for
// "Random", which acts at once.
class ColorPropPage : public QuillonPropertyPage {
    Q_OBJECT
  public:
    explicit ColorPropPage(QWidget* parent = nullptr);
    void Load(const PageObject& object) override;
    bool Validate() override;
    void Apply() override;

    // The working entries, sorted by index (stable).
    std::vector<IndexedColor> Entries() const;
    // Replaces the working entries (a loaded or generated map).
    void SetEntries(std::vector<IndexedColor> entries);
    int SelectedRow() const;
    void SelectRow(int row);
    // The table position under the last right-click on the strip.
    int ContextPosition() const { return m_contextPosition; }
    void SetContextPosition(int position) { m_contextPosition = position; }

    // The actions of the buttons and of the strip's context menu.
    void AddEntry();
    void RemoveEntry();
    void ApplyEntry();
    void SelectColor(bool second);  // "Select Color"/"From" (false), "To" (true)
    void ToggleRandom();
    void AddColorAtContextPosition();
    void ChangeLocation();
    void SaveColorMap();
    void LoadColorMap();
    void GenerateColorMap();

    QTreeWidget* EntryList() const { return m_list; }
    QLineEdit* LocationEdit() const { return m_location; }
    QLineEdit* OpacityEdit() const { return m_opacity; }
    QPushButton* AddButton() const { return m_add; }
    QPushButton* RemoveButton() const { return m_remove; }
    QPushButton* SelectColorButton() const { return m_selectColor; }
    QPushButton* FromButton() const { return m_from; }
    QPushButton* ToButton() const { return m_to; }
    QPushButton* ApplyButton() const { return m_apply; }
    QCheckBox* RandomBox() const { return m_randomBox; }
    ColorMapPreview* Preview() const { return m_preview; }

  private:
    struct Entry {
        IndexedColor color;
        int id = 0;
    };
    void Rebuild(int selectId);
    void OnSelectionChanged();
    void UpdateButtons();
    void UpdatePreview();
    Entry* SelectedEntry();
    int AppendEntry(const IndexedColor& color);
    void SortEntries();

    ColorMap* m_map = nullptr;
    std::vector<Entry> m_entries;
    int m_nextId = 1;
    bool m_random = false;
    int m_contextPosition = 0;

    QTreeWidget* m_list;
    QLineEdit* m_location;
    QLineEdit* m_opacity;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_selectColor;
    QPushButton* m_from;
    QPushButton* m_to;
    QPushButton* m_apply;
    QCheckBox* m_randomBox;
    ColorMapPreview* m_preview;
};

// The 256 table positions of the working entries, left to right. Hovering
// shows the position and its colour in the status bar; the right button
// opens the page's context menu.
class ColorMapPreview : public QWidget {
    Q_OBJECT
  public:
    explicit ColorMapPreview(ColorPropPage* page);
    void SetTable(const std::array<Color, ColorMap::kTableSize>& table);
    const Color& TableColor(int position) const { return m_table[position]; }
    // The table position under x (0..255).
    int PositionAt(int x) const;
    QString ReadOut(int position) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    ColorPropPage* m_page;
    std::array<Color, ColorMap::kTableSize> m_table;
    QImage m_image;
};

// The table the strip shows: as ColorMap::BuildTable builds it, with each
// entry's first colour and the first number of its opacity (no draws).
std::array<Color, ColorMap::kTableSize> PreviewTable(const std::vector<IndexedColor>& entries);
// A 32 x 16 swatch with a black border, first to second colour left to right.
QImage EntrySwatch(const IndexedColor& entry);

}  // namespace quillon

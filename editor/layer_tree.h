#pragma once

#include <QTreeWidget>

class QMenu;

namespace quillon {

class BaseLayer;

// The texture as a tree: the texture map as root, each container's layers
// below it in list order. Every item carries the object it shows.
class LayerTree : public QTreeWidget {
    Q_OBJECT
  public:
    explicit LayerTree(QWidget* parent = nullptr);

    // The context menu (owned by the caller).
    void SetContextMenu(QMenu* menu) { m_menu = menu; }

    static BaseLayer* ObjectOf(const QTreeWidgetItem* item);
    // Inserts the item of layer (and, for a container, its children) under
    // parent at index; parent null makes a root item.
    QTreeWidgetItem* InsertLayer(QTreeWidgetItem* parent, int index, BaseLayer* layer);
    // The item showing object (null when none).
    QTreeWidgetItem* FindItem(const BaseLayer* object) const;
    // True when point (viewport coordinates) lies on an item's icon or label.
    bool IsOnIconOrLabel(const QPoint& point) const;

  signals:
    // The end of a label edit: text is the entered label; cancelled after Escape.
    void LabelEditEnded(QTreeWidgetItem* item, const QString& text, bool cancelled);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

  private:
    QMenu* m_menu = nullptr;
    bool m_committed = false;
};

}  // namespace quillon

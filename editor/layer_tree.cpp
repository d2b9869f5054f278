#include "editor/layer_tree.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <vector>

#include "editor/editor_icon.h"
#include "engine/multi_base_layer.h"

namespace quillon {

namespace {

QIcon TreeIcon(const BaseLayer* layer) {
    bool container = dynamic_cast<const MultiBaseLayer*>(layer) != nullptr;
    return EditorIcon(container ? QStringLiteral("tree_container.svg")
                                : QStringLiteral("tree_layer.svg"));
}

}  // namespace

LayerTree::LayerTree(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    header()->hide();
    setRootIsDecorated(true);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(13, 13));
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

BaseLayer* LayerTree::ObjectOf(const QTreeWidgetItem* item) {
    if (!item) return nullptr;
    return reinterpret_cast<BaseLayer*>(item->data(0, Qt::UserRole).value<quintptr>());
}

QTreeWidgetItem* LayerTree::InsertLayer(QTreeWidgetItem* parent, int index, BaseLayer* layer) {
    auto makeItem = [](BaseLayer* object) {
        auto* item = new QTreeWidgetItem(QStringList(QString::fromStdString(object->Name())));
        item->setIcon(0, TreeIcon(object));
        item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(object)));
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        return item;
    };
    QTreeWidgetItem* top = makeItem(layer);
    if (parent) {
        parent->insertChild(index, top);
    } else {
        insertTopLevelItem(index, top);
    }
    // Children without recursion: documents may nest deeply.
    std::vector<QTreeWidgetItem*> pending{top};
    while (!pending.empty()) {
        QTreeWidgetItem* item = pending.back();
        pending.pop_back();
        auto* container = dynamic_cast<MultiBaseLayer*>(ObjectOf(item));
        if (!container) continue;
        for (int i = 0; i < container->Count(); ++i) {
            QTreeWidgetItem* child = makeItem(container->Child(i));
            item->addChild(child);
            pending.push_back(child);
        }
    }
    return top;
}

QTreeWidgetItem* LayerTree::FindItem(const BaseLayer* object) const {
    for (QTreeWidgetItemIterator it(const_cast<LayerTree*>(this)); *it; ++it) {
        if (ObjectOf(*it) == object) return *it;
    }
    return nullptr;
}

bool LayerTree::IsOnIconOrLabel(const QPoint& point) const {
    QTreeWidgetItem* item = itemAt(point);
    if (!item) return false;
    QRect cell = visualItemRect(item);
    // Icon, spacing and the label's own width: the rest of the row is blank.
    int labelEnd =
        cell.left() + iconSize().width() + 8 + fontMetrics().horizontalAdvance(item->text(0)) + 6;
    return point.x() >= cell.left() && point.x() < labelEnd;
}

void LayerTree::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        // A right click selects only what it hits; beside the items the
        // selection stays.
        QPoint point = event->position().toPoint();
        if (IsOnIconOrLabel(point)) setCurrentItem(itemAt(point));
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void LayerTree::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_menu) return;
    QPoint at = event->reason() == QContextMenuEvent::Keyboard
                    ? viewport()->mapToGlobal(QPoint(5, 5))
                    : event->globalPos();
    m_menu->popup(at);
    event->accept();
}

void LayerTree::commitData(QWidget* editor) {
    auto* line = qobject_cast<QLineEdit*>(editor);
    QTreeWidgetItem* item = currentItem();
    m_committed = true;
    // The view decides what the label becomes.
    if (line && item) emit LabelEditEnded(item, line->text(), false);
}

void LayerTree::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    bool cancelled = !m_committed;
    m_committed = false;
    QTreeWidgetItem* item = currentItem();
    QTreeWidget::closeEditor(editor, hint);
    if (cancelled && item) emit LabelEditEnded(item, QString(), true);
}

}  // namespace quillon

#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace quillon {

class BaseLayer;

// The layer kinds in the order of the layer dialog's "Layer Type" list.
QStringList LayerKindNames();
// A new layer of the kind at index (null for an index out of range).
std::unique_ptr<BaseLayer> CreateLayerOfKind(int index);
// The list index of a layer's class, -1 for a class not in the list.
int LayerKindIndex(const BaseLayer& layer);
// The combine list (index = CombineFunc value; Disable has no entry).
QStringList CombineFunctionNames();

// The layer file dialogs' filter.
inline const QString kLayerFileFilter =
    QStringLiteral("Quillon Files (*.qln);;Layer Files (*.qlr);;All Files (*)");

}  // namespace quillon

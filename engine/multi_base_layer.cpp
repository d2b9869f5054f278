#include "engine/multi_base_layer.h"

#include <algorithm>
#include <mutex>

namespace quillon {

MultiBaseLayer::MultiBaseLayer() = default;

MultiBaseLayer::MultiBaseLayer(int width, int height, std::string name)
    : BaseLayer(width, height, std::move(name)) {}

MultiBaseLayer::MultiBaseLayer(const MultiBaseLayer& other) : BaseLayer(other) {
    m_children.reserve(other.m_children.size());
    for (const auto& child : other.m_children) {
        std::unique_ptr<BaseLayer> copy = child->Clone();
        copy->SetParent(this);
        m_children.push_back(std::move(copy));
    }
}

MultiBaseLayer::~MultiBaseLayer() {
    // Children go in list order.
    for (auto& child : m_children) child.reset();
}

std::unique_ptr<BaseLayer> MultiBaseLayer::Clone() const {
    return std::make_unique<MultiBaseLayer>(*this);
}

void MultiBaseLayer::SetSize(int width, int height) {
    if (width == Width() && height == Height()) return;
    BaseLayer::SetSize(width, height);
    if (width != Width() || height != Height()) return;  // refused
    std::lock_guard<LayerLock> hold(Lock());
    for (auto& child : m_children) child->SetSize(width, height);
}

bool MultiBaseLayer::AddFirst(std::unique_ptr<BaseLayer> layer) {
    return InsertAt(std::move(layer), 0);
}

bool MultiBaseLayer::AddLast(std::unique_ptr<BaseLayer> layer) {
    return InsertAt(std::move(layer), Count());
}

bool MultiBaseLayer::InsertAt(std::unique_ptr<BaseLayer> layer, int index) {
    if (!layer || index < 0 || index > Count()) return false;
    std::lock_guard<LayerLock> hold(Lock());
    layer->SetSize(Width(), Height());
    layer->SetParent(this);
    m_children.insert(m_children.begin() + index, std::move(layer));
    return true;
}

bool MultiBaseLayer::RemoveAt(int index) {
    if (index < 0 || index >= Count()) return false;
    std::lock_guard<LayerLock> hold(Lock());
    m_children.erase(m_children.begin() + index);
    return true;
}

bool MultiBaseLayer::ReplaceAt(int index, std::unique_ptr<BaseLayer> layer) {
    if (!layer || index < 0 || index >= Count()) return false;
    std::lock_guard<LayerLock> hold(Lock());
    layer->SetSize(Width(), Height());
    layer->SetParent(this);
    m_children[static_cast<std::size_t>(index)] = std::move(layer);
    return true;
}

std::unique_ptr<BaseLayer> MultiBaseLayer::TakeAt(int index) {
    if (index < 0 || index >= Count()) return nullptr;
    std::lock_guard<LayerLock> hold(Lock());
    std::unique_ptr<BaseLayer> child = std::move(m_children[static_cast<std::size_t>(index)]);
    m_children.erase(m_children.begin() + index);
    child->SetParent(nullptr);
    return child;
}

void MultiBaseLayer::RemoveAll() {
    std::lock_guard<LayerLock> hold(Lock());
    m_children.clear();
}

BaseLayer* MultiBaseLayer::Child(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return m_children[static_cast<std::size_t>(index)].get();
}

int MultiBaseLayer::IndexOf(const BaseLayer* child) const {
    for (int k = 0; k < Count(); ++k) {
        if (m_children[static_cast<std::size_t>(k)].get() == child) return k;
    }
    return -1;
}

bool MultiBaseLayer::ApplyChildren(RenderContext& context,
                                   const std::function<void(BaseLayer& child)>& composite) {
    return ApplyChildren(context, nullptr, composite);
}

bool MultiBaseLayer::ApplyChildren(
    RenderContext& context, const std::function<void(BaseLayer& child, bool mayRepeat)>& prepare,
    const std::function<void(BaseLayer& child)>& composite) {
    RandomGenerator& gen = RandomGenerator::Instance();
    for (int k = Count() - 1; k >= 0; --k) {
        BaseLayer& child = *m_children[static_cast<std::size_t>(k)];
        if (!child.IsEnabled()) continue;
        const int times = std::min(TruncToInt(child.Usage().Evaluate()), kMaxUsage);
        for (int n = 0; n < times; ++n) {
            if (context.IsCancelled()) return false;  // a huge usage stays cancellable
            const double u = gen.Uniform(0.0, 1.0);
            const double p = child.UseProbability().Evaluate();
            if (!(u < p)) continue;
            if (prepare) prepare(child, n + 1 < times);
            if (!child.Render(context) || context.IsCancelled()) return false;
            if (child.GetCombineFunc() == CombineFunc::Disable) continue;  // mask stays
            composite(child);
            context.mask.Release();
        }
    }
    return true;
}

}  // namespace quillon

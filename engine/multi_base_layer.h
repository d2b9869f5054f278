#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "engine/base_layer.h"

namespace quillon {

// The base of layers that own children. Index 0 is the top of the stack
// (composited last); children always have the container's size.
class MultiBaseLayer : public BaseLayer {
  public:
    MultiBaseLayer();
    MultiBaseLayer(int width, int height, std::string name);
    MultiBaseLayer(const MultiBaseLayer& other);  // clones every child
    ~MultiBaseLayer() override;

    void SetSize(int width, int height) override;
    std::unique_ptr<BaseLayer> Clone() const override;
    static constexpr std::string_view kKeyword = "MULTIBASELAYER";
    std::string_view Keyword() const override { return kKeyword; }

    // Ownership passes to the container on success; on failure the layer
    // is handed back destroyed (false is returned and nothing changes).
    virtual bool AddFirst(std::unique_ptr<BaseLayer> layer);
    virtual bool AddLast(std::unique_ptr<BaseLayer> layer);
    virtual bool InsertAt(std::unique_ptr<BaseLayer> layer, int index);
    virtual bool RemoveAt(int index);
    virtual bool ReplaceAt(int index, std::unique_ptr<BaseLayer> layer);

    // Removes a child without destroying it (cut, move); null when out of range.
    std::unique_ptr<BaseLayer> TakeAt(int index);
    void RemoveAll();

    int Count() const { return static_cast<int>(m_children.size()); }
    BaseLayer* Child(int index) const;
    int IndexOf(const BaseLayer* child) const;

  protected:
    // Walks the children from the last to the first, applying each as often
    // as its usage and use probability say; each application renders into
    // context.rgb, then `composite` is called with the child unless its
    // combine function is Disable (whose mask then stays for the next
    // child). After a composite the context's mask is released. Returns
    // false as soon as a child fails or the job is cancelled.
    bool ApplyChildren(RenderContext& context,
                       const std::function<void(BaseLayer& child)>& composite);
    // The same, with prepare called before each application renders:
    // mayRepeat says whether the child may render again after this one.
    // prepare may point context.rgb elsewhere for the child.
    bool ApplyChildren(RenderContext& context,
                       const std::function<void(BaseLayer& child, bool mayRepeat)>& prepare,
                       const std::function<void(BaseLayer& child)>& composite);

    FloatBuffer m_scratch;

  private:
    std::vector<std::unique_ptr<BaseLayer>> m_children;
};

}  // namespace quillon

#include "editor/document_view.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <mutex>

#include "editor/document.h"
#include "editor/layer_commands.h"
#include "editor/layer_tree.h"
#include "editor/pages/texture_layer_dlg.h"
#include "editor/pages/texture_prop_dlg.h"
#include "editor/quillon_app.h"
#include "editor_test_support.h"
#include "engine/combine_layer.h"
#include "engine/noise_function_layer.h"
#include "engine/white_noise_layer.h"
#include "format/texture_files.h"

namespace quillon::test {
namespace {

// A texture of three layers: "top", "group" (a container holding "inner")
// and "bottom".
class ViewTest : public EditorTest {
  protected:
    ViewTest() {
        document.InitNew("texture", 32, 32);
        TextureMap& texture = document.Texture();
        auto top = std::make_unique<NoiseFunctionLayer>(32, 32, nullptr);
        top->SetName("top");
        auto combine = std::make_unique<CombineLayer>();
        combine->SetName("group");
        combine->Child(0)->SetName("inner");
        auto bottom = std::make_unique<WhiteNoiseLayer>();
        bottom->SetName("bottom");
        texture.AddLast(std::move(top));
        texture.AddLast(std::move(combine));
        texture.AddLast(std::move(bottom));
        group = static_cast<MultiBaseLayer*>(texture.Child(1));
        view = std::make_unique<DocumentView>(&document);
        view->resize(600, 400);
        view->show();
        view->Tree()->collapseAll();
        QuillonApp::SetClipboardLayer(nullptr);
    }
    ~ViewTest() override {
        view.reset();
        QuillonApp::SetClipboardLayer(nullptr);
    }

    BaseLayer* Layer(int index) { return document.Texture().Child(index); }
    MultiBaseLayer* Group() { return group; }
    void Select(const BaseLayer* object) {
        view->Tree()->setCurrentItem(view->Tree()->FindItem(object));
    }
    QStringList Names(const MultiBaseLayer& container) {
        QStringList names;
        for (int i = 0; i < container.Count(); ++i)
            names << QString::fromStdString(container.Child(i)->Name());
        return names;
    }
    // Edits the label of object's item in the tree, ending with key.
    void Rename(const BaseLayer* object, const QString& text, Qt::Key key) {
        Select(object);
        view->Tree()->editItem(view->Tree()->currentItem());
        auto editors = view->Tree()->viewport()->findChildren<QLineEdit*>();
        ASSERT_EQ(editors.size(), 1);
        editors.first()->setText(text);
        QTest::keyClick(editors.first(), key);
        QCoreApplication::processEvents();  // the delegate commits in a queued call
        // Closed editors go at the next deferred delete.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    Document document;
    MultiBaseLayer* group = nullptr;
    std::unique_ptr<DocumentView> view;
};

TEST_F(ViewTest, TreeShowsTheTextureAndPropertiesFollowTheSelection) {
    QTreeWidgetItem* root = view->Tree()->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(0), "texture");
    ASSERT_EQ(root->childCount(), 3);
    EXPECT_EQ(root->child(1)->child(0)->text(0), "inner");
    EXPECT_EQ(view->PropertiesBox()->title(), "Texture Properties");
    EXPECT_FALSE(view->ApplyButton()->isEnabled());
    Select(Layer(2));
    EXPECT_EQ(view->PropertiesBox()->title(), "Layer Properties");
    EXPECT_TRUE(view->LayerDialog()->isVisibleTo(view.get()));
    EXPECT_FALSE(view->TextureDialog()->isVisibleTo(view.get()));
    // The combine function acts at once: the document is modified.
    QComboBox* combine = view->LayerDialog()->CombineList();
    combine->setCurrentIndex(3);
    emit combine->activated(3);
    EXPECT_EQ(Layer(2)->GetCombineFunc(), CombineFunc::Additive);
    EXPECT_TRUE(document.IsModified());
}

TEST_F(ViewTest, PendingEditsAreAppliedWhenTheSelectionMoves) {
    Select(Layer(0));
    view->LayerDialog()->findChild<QPlainTextEdit*>()->setPlainText("edited");
    EXPECT_TRUE(document.HasUnappliedChanges());
    EXPECT_TRUE(view->ApplyButton()->isEnabled());
    Select(Layer(2));
    EXPECT_EQ(Layer(0)->Description(), "edited");
    EXPECT_TRUE(document.IsModified());
    EXPECT_FALSE(document.HasUnappliedChanges());
    EXPECT_FALSE(view->ApplyButton()->isEnabled());
    EXPECT_FALSE(view->ResetButton()->isEnabled());
}

TEST_F(ViewTest, SaveWithUnappliedChangesYesWritesWithoutThemAndKeepsThem) {
    auto* width = view->TextureDialog()->findChildren<QLineEdit*>().first();
    width->setFocus();
    width->selectAll();
    QTest::keyClicks(width, "100");
    ASSERT_TRUE(document.HasUnappliedChanges());
    choosers.files.push_back(TempPath("pending.qln"));
    choosers.answers.push_back(QMessageBox::Yes);
    ASSERT_TRUE(document.Save(nullptr));
    Document saved;
    ASSERT_TRUE(saved.Open(TempPath("pending.qln")));
    EXPECT_EQ(saved.Texture().Width(), 32);
    EXPECT_TRUE(document.HasUnappliedChanges());
    EXPECT_EQ(width->text(), "100");
    view->Apply();
    EXPECT_EQ(document.Texture().Width(), 100);
    EXPECT_EQ(Layer(1)->Width(), 100);
}

TEST_F(ViewTest, RenameToEmptyIsAcceptedAndEscapeOnlyMarksModified) {
    Rename(&document.Texture(), "", Qt::Key_Return);
    EXPECT_EQ(document.Texture().Name(), "");
    EXPECT_EQ(view->Tree()->topLevelItem(0)->text(0), "");
    EXPECT_TRUE(document.IsModified());

    document.SetModified(false);
    Rename(Layer(0), "changed", Qt::Key_Escape);
    EXPECT_EQ(Layer(0)->Name(), "top");
    EXPECT_EQ(view->Tree()->FindItem(Layer(0))->text(0), "top");
    EXPECT_TRUE(document.IsModified());

    Rename(Layer(0), "say \"hi\"", Qt::Key_Return);
    EXPECT_EQ(view->Tree()->FindItem(Layer(0))->text(0), QString::fromStdString(Layer(0)->Name()));
}

TEST_F(ViewTest, EditsOfPreviewedLayersAreRefusedWithoutWaiting) {
    BaseLayer* inner = Group()->Child(0);
    // The test holds the lock as a rendering worker would: anything that
    // waited for it would hang here.
    std::unique_lock<LayerLock> render(Group()->Lock());

    Rename(inner, "x", Qt::Key_Return);
    EXPECT_EQ(inner->Name(), "inner");
    EXPECT_EQ(messages.Last(), "Unable to access layer being previewed!");
    Rename(Layer(0), "free", Qt::Key_Return);  // not related to the preview
    EXPECT_EQ(Layer(0)->Name(), "free");

    messages.Clear();
    Select(inner);
    view->CutLayer();
    view->ChangeType(4);
    Select(Group());
    view->InsertLayer();  // an open container: inside it
    view->PasteLayer();   // nothing on the clipboard: nothing to refuse
    EXPECT_EQ(Group()->Count(), 1);
    EXPECT_EQ(messages.Messages().size(), 3u);
    Select(&document.Texture());
    view->TextureDialog()->findChildren<QLineEdit*>().first()->setText("50");
    view->Apply();  // the texture is an ancestor: resizing would reach the layer
    EXPECT_EQ(document.Texture().Width(), 32);
    EXPECT_EQ(messages.Last(), "Unable to access texture being previewed!");

    Select(inner);
    view->CopyLayer();  // copying is allowed
    EXPECT_NE(QuillonApp::ClipboardLayer(), nullptr);
    render.unlock();

    std::lock_guard<LayerLock> whole(document.Texture().Lock());
    messages.Clear();
    Select(Layer(0));
    view->InsertLayer();
    view->LoadLayer();
    EXPECT_EQ(document.Texture().Count(), 3);
    EXPECT_EQ(messages.Messages(),
              std::vector<std::string>(2, "Unable to access texture being previewed!"));
}

TEST_F(ViewTest, InsertGoesFirstIntoTheRootOrAnOpenContainerElseAfterTheSelection) {
    Select(&document.Texture());
    view->Tree()->currentItem()->setExpanded(false);
    view->InsertLayer();
    EXPECT_EQ(Names(document.Texture()), QStringList({"layer", "top", "group", "bottom"}));
    Select(Layer(2));  // group, collapsed: after it
    view->InsertLayer();
    EXPECT_EQ(Names(document.Texture()), QStringList({"layer", "top", "group", "layer", "bottom"}));
    Select(Layer(2));
    view->Tree()->currentItem()->setExpanded(true);
    view->InsertLayer();
    EXPECT_EQ(Names(*Group()), QStringList({"layer", "inner"}));
    EXPECT_EQ(Group()->Child(0)->Width(), 32);
    EXPECT_EQ(view->Tree()->FindItem(Group())->child(0)->text(0), "layer");
    EXPECT_TRUE(document.IsModified());
}

TEST_F(ViewTest, CutThenPasteTwiceGivesTwoCopies) {
    Select(Layer(0));
    view->CutLayer();
    EXPECT_EQ(Names(document.Texture()), QStringList({"group", "bottom"}));
    EXPECT_EQ(view->Tree()->topLevelItem(0)->childCount(), 2);
    Select(Layer(1));
    view->PasteLayer();
    view->PasteLayer();
    EXPECT_EQ(Names(document.Texture()), QStringList({"group", "bottom", "top", "top"}));
    ASSERT_NE(QuillonApp::ClipboardLayer(), nullptr);
    EXPECT_NE(Layer(2), Layer(3));
    EXPECT_EQ(DocumentText(*Layer(2)), DocumentText(*QuillonApp::ClipboardLayer()));
}

TEST_F(ViewTest, ChangeTypeToTheSameKindChangesNothingElseKeepsTheCommonPart) {
    Select(Layer(0));
    view->ChangeType(LayerKindIndex(*Layer(0)));
    EXPECT_FALSE(document.IsModified());
    EXPECT_EQ(LayerKindIndex(*Layer(0)), 0);

    Layer(0)->SetDescription("kept");
    BaseLayer* old = Layer(0);
    view->ChangeType(4);  // White Noise
    EXPECT_NE(Layer(0), old);
    EXPECT_EQ(LayerKindIndex(*Layer(0)), 4);
    EXPECT_EQ(Layer(0)->Name(), "top");
    EXPECT_EQ(Layer(0)->Description(), "kept");
    EXPECT_EQ(view->SelectedObject(), Layer(0));
    EXPECT_EQ(view->Tree()->topLevelItem(0)->child(0), view->Tree()->currentItem());
    EXPECT_TRUE(document.IsModified());

    view->ChangeType(7);  // Mask: a mask is never composited
    EXPECT_EQ(Layer(0)->GetCombineFunc(), CombineFunc::Disable);
}

TEST_F(ViewTest, SaveLayerThenLoadLayerGivesAnEqualLayer) {
    Select(Group());
    choosers.files.push_back(TempPath("group"));  // the dialog adds the suffix
    choosers.files.push_back(TempPath("group"));
    view->SaveLayer();
    EXPECT_EQ(choosers.titles.last(), "Save Layer");
    EXPECT_TRUE(messages.Messages().empty());
    view->LoadLayer();
    EXPECT_EQ(choosers.titles.last(), "Load Layer");
    ASSERT_EQ(document.Texture().Count(), 4);
    EXPECT_EQ(DocumentText(*Layer(2)), DocumentText(*Layer(1)));
    EXPECT_EQ(view->Tree()->topLevelItem(0)->child(2)->child(0)->text(0), "inner");
}

TEST_F(ViewTest, LoadLayerRefusesFilesWithoutALayerAndNonTextureDocuments) {
    QFile empty(TempPath("empty.qlr"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.write("VERSION 2\r\n");
    empty.close();
    QFile plain(TempPath("plain.qln"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write(QByteArray::fromStdString(DocumentText(*Layer(2))));
    plain.close();
    choosers.files = {TempPath("empty.qlr"), TempPath("plain.qln")};
    view->LoadLayer();
    view->LoadLayer();
    EXPECT_EQ(document.Texture().Count(), 3);
    ASSERT_EQ(messages.Messages().size(), 2u);
    EXPECT_NE(messages.Messages()[0].find("holds no layer"), std::string::npos);
    EXPECT_NE(messages.Messages()[1].find("is not a texture document"), std::string::npos);
    EXPECT_FALSE(document.IsModified());
}

TEST_F(ViewTest, RightClickSelectsOnlyOnALabelAndTheMenuKeyOpensTheMenu) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    LayerTree* tree = view->Tree();
    tree->topLevelItem(0)->setExpanded(true);
    QRect row = tree->visualItemRect(tree->FindItem(Layer(2)));
    Select(Layer(0));
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {},
                      QPoint(row.right() - 2, row.center().y()));
    EXPECT_EQ(view->SelectedObject(), Layer(0));
    QTest::mouseClick(tree->viewport(), Qt::RightButton, {},
                      QPoint(row.left() + 20, row.center().y()));
    EXPECT_EQ(view->SelectedObject(), Layer(2));

    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), QPoint());
    QApplication::sendEvent(tree, &key);
    EXPECT_TRUE(view->ContextMenu()->isVisible());
    EXPECT_EQ(view->ContextMenu()->pos(), tree->viewport()->mapToGlobal(QPoint(5, 5)));
    view->ContextMenu()->close();
}

}  // namespace
}  // namespace quillon::test

#include "editor/document.h"

#include <QFile>
#include <QLineEdit>
#include <mutex>

#include "editor/dialogs/new_texture_dialog.h"
#include "editor_test_support.h"
#include "engine/combine_layer.h"
#include "engine/noise_function_layer.h"

namespace quillon::test {
namespace {

class DocumentTest : public EditorTest {
  protected:
    void WriteFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray ReadFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(DocumentTest, NewTextureDialogDefaultsAndRanges) {
    NewTextureDialog dialog;
    EXPECT_EQ(dialog.TextureName(), "default_texture");
    EXPECT_EQ(dialog.TextureWidth(), 64);
    EXPECT_EQ(dialog.TextureHeight(), 64);
    EXPECT_TRUE(dialog.Validate());
    for (const char* bad : {"0", "4097", "-3", "abc", ""}) {
        dialog.WidthEdit()->setText(bad);
        messages.Clear();
        EXPECT_FALSE(dialog.Validate()) << bad;
        EXPECT_EQ(messages.Last(), "Please enter an integer between 1 and 4096.");
    }
    dialog.WidthEdit()->setText("4096");
    dialog.HeightEdit()->setText("1");
    EXPECT_TRUE(dialog.Validate());

    Document document;
    document.InitNew(dialog.TextureName(), 64, 64);
    EXPECT_EQ(document.Texture().Name(), "default_texture");
    EXPECT_EQ(document.Texture().Count(), 0);
    EXPECT_FALSE(document.IsModified());
}

TEST_F(DocumentTest, OpenRefusesEmptyNonDocumentAndBrokenFilesAndKeepsContent) {
    Document document;
    document.InitNew("kept", 32, 32);
    WriteFile(TempPath("empty.qln"), "");
    WriteFile(TempPath("text.qln"), "hello");
    EXPECT_FALSE(document.Open(TempPath("empty.qln")));
    EXPECT_FALSE(document.Open(TempPath("text.qln")));
    EXPECT_FALSE(document.Open(TempPath("missing.qln")));
    EXPECT_TRUE(messages.Messages().empty());

    WriteFile(TempPath("broken.qln"), "VERSION 2\nTEXTURE \"t\" {\n\tWIDTH 64\n\tNONSENSE 3\n}\n");
    EXPECT_FALSE(document.Open(TempPath("broken.qln")));
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_NE(messages.Last().find("broken.qln(line"), std::string::npos) << messages.Last();
    EXPECT_EQ(document.Texture().Name(), "kept");
    EXPECT_TRUE(document.Path().isEmpty());
}

TEST_F(DocumentTest, SaveWritesVersionTwoAndReopens) {
    Document document;
    document.InitNew("saved", 48, 40);
    document.Texture().AddLast(std::make_unique<NoiseFunctionLayer>(48, 40, nullptr));
    document.SetModified();
    choosers.files.push_back(TempPath("saved.qln"));
    ASSERT_TRUE(document.Save(nullptr));
    EXPECT_FALSE(document.IsModified());
    EXPECT_EQ(document.Title(), "saved.qln");
    EXPECT_TRUE(ReadFile(TempPath("saved.qln")).startsWith("VERSION 2\n"));

    Document reopened;
    ASSERT_TRUE(reopened.Open(TempPath("saved.qln")));
    EXPECT_EQ(reopened.Texture().Width(), 48);
    EXPECT_EQ(reopened.Texture().Count(), 1);
}

TEST_F(DocumentTest, FailedSaveSaysWhichFileAndKeepsOldFileAndFlag) {
    Document document;
    document.InitNew("t", 16, 16);
    document.SetModified();
    // A path whose folder does not exist cannot be written.
    QString bad = TempPath("no/such/folder/t.qln");
    choosers.files.push_back(bad);
    EXPECT_FALSE(document.SaveAs(nullptr));
    EXPECT_TRUE(document.IsModified());
    EXPECT_TRUE(document.Path().isEmpty());
    EXPECT_NE(messages.Last().find(bad.toStdString()), std::string::npos);

    // Saving over a read-only folder's file keeps the old bytes.
    QString old = TempPath("old.qln");
    WriteFile(old, "VERSION 2\nold");
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    choosers.files.push_back(old);
    bool saved = document.SaveAs(nullptr);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!saved) {  // (root may write anyway)
        EXPECT_EQ(ReadFile(old), "VERSION 2\nold");
        EXPECT_TRUE(document.IsModified());
    }
}

TEST_F(DocumentTest, UnappliedChangesAskBeforeSaving) {
    Document document;
    document.InitNew("t", 16, 16);
    choosers.files.push_back(TempPath("a.qln"));
    ASSERT_TRUE(document.Save(nullptr));
    document.SetUnappliedChanges(true);
    choosers.answers.push_back(QMessageBox::No);
    EXPECT_FALSE(document.Save(nullptr));
    choosers.answers.push_back(QMessageBox::Yes);
    EXPECT_TRUE(document.Save(nullptr));
    EXPECT_EQ(choosers.asked,
              QStringList({"Save with unapplied changes?", "Save with unapplied changes?"}));
    EXPECT_TRUE(document.HasUnappliedChanges());
}

TEST_F(DocumentTest, SaveModifiedAsksByName) {
    Document document;
    document.InitNew("t", 16, 16);
    EXPECT_TRUE(document.SaveModified(nullptr));  // unmodified: no question
    document.SetModified();
    choosers.answers = {QMessageBox::Cancel, QMessageBox::No};
    EXPECT_FALSE(document.SaveModified(nullptr));
    EXPECT_TRUE(document.SaveModified(nullptr));
    EXPECT_EQ(choosers.asked.first(), QStringLiteral("Save changes to %1?").arg(document.Title()));
}

TEST_F(DocumentTest, BeingPreviewedCoversAncestorsAndDescendantsWithoutWaiting) {
    Document document;
    document.InitNew("t", 16, 16);
    TextureMap& texture = document.Texture();
    auto group = std::make_unique<CombineLayer>();  // brings one child
    CombineLayer* container = group.get();
    texture.AddLast(std::move(group));
    texture.AddLast(std::make_unique<NoiseFunctionLayer>(16, 16, nullptr));
    BaseLayer* child = container->Child(0);
    BaseLayer* sibling = texture.Child(1);

    EXPECT_FALSE(document.IsBeingPreviewed(&texture));
    {
        std::lock_guard<LayerLock> render(container->Lock());
        EXPECT_TRUE(document.IsBeingPreviewed(container));
        EXPECT_TRUE(document.IsBeingPreviewed(child));
        EXPECT_TRUE(document.IsBeingPreviewed(&texture));
        EXPECT_FALSE(document.IsBeingPreviewed(sibling));
        EXPECT_FALSE(document.IsTextureBeingPreviewed());
        EXPECT_TRUE(document.IsInsidePreview(child));
        EXPECT_FALSE(document.IsInsidePreview(&texture));
    }
    // A preview that has not taken its lock yet counts through its source.
    document.SetPreviewSource(this, [&] { return child; });
    EXPECT_TRUE(document.IsBeingPreviewed(container));
    EXPECT_FALSE(document.IsBeingPreviewed(sibling));
    document.SetPreviewSource(this, nullptr);
    EXPECT_FALSE(document.IsBeingPreviewed(container));
}

}  // namespace
}  // namespace quillon::test

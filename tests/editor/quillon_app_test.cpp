#include "editor/quillon_app.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include "editor/app_services.h"
#include "editor/dialogs/new_texture_dialog.h"
#include "editor/document.h"
#include "editor/document_view.h"
#include "editor/layer_tree.h"
#include "editor/main_window.h"
#include "editor/preview_window.h"
#include "editor/single_instance.h"
#include "editor_test_support.h"
#include "engine/random.h"

namespace quillon::test {
namespace {

class AppTest : public EditorTest {
  protected:
    AppTest() {
        QCoreApplication::setOrganizationName("Veltrana");
        QCoreApplication::setApplicationName("Quillon");
        QSettings().clear();
        example = QStringLiteral(QUILLON_SOURCE_DIR "/examples/clouds.qln");
    }
    ~AppTest() override {
        // Nothing may ask about unsaved work while the test tears down.
        for (DocumentView* view : app.Window() ? app.Window()->Views() : QList<DocumentView*>())
            view->GetDocument()->SetModified(false);
    }
    QStringList MenuTitles() {
        QStringList titles;
        for (QAction* menu : app.Window()->menuBar()->actions()) titles << menu->text();
        return titles;
    }

    QuillonApp app;
    QString example;
};

TEST_F(AppTest, ArgumentsNameDocumentsAndASeed) {
    EditorOptions options = ParseEditorArguments({"quillon", "--seed", "42", "a.qln", "b.qln"});
    EXPECT_TRUE(options.error.isEmpty());
    EXPECT_EQ(options.seed, 42);
    EXPECT_EQ(options.documents, QStringList({"a.qln", "b.qln"}));
    EXPECT_EQ(ParseEditorArguments({"quillon", "--seed=7"}).seed, 7);
    EXPECT_FALSE(ParseEditorArguments({"quillon", "--seed", "-1"}).error.isEmpty());
    EXPECT_FALSE(ParseEditorArguments({"quillon", "--seed"}).error.isEmpty());
    EXPECT_FALSE(ParseEditorArguments({"quillon", "--bogus"}).error.isEmpty());
    EXPECT_EQ(ParseEditorArguments({"quillon", "--", "--seed"}).documents, QStringList({"--seed"}));
}

TEST_F(AppTest, StartWithoutFilesOpensNothingAndSeedsTheGenerator) {
    EditorOptions options;
    options.seed = 5;
    ASSERT_TRUE(app.Start(options));
    double drawn = RandomGenerator::Instance().Next();
    RandomGenerator::Instance().Seed(5);
    EXPECT_EQ(drawn, RandomGenerator::Instance().Next());
    EXPECT_TRUE(app.Window()->Views().isEmpty());
    EXPECT_TRUE(app.Window()->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(MenuTitles(), QStringList({"&File", "&View", "&Help"}));
    EXPECT_FALSE(app.Window()->Action("Save")->isEnabled());
}

TEST_F(AppTest, StartWithFilesOpensTheDocumentsThatLoad) {
    QFile bad(TempPath("bad.qln"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a document");
    bad.close();
    EditorOptions options;
    options.documents = {example, TempPath("bad.qln")};
    ASSERT_TRUE(app.Start(options));
    ASSERT_EQ(app.Window()->Views().size(), 1);
    EXPECT_EQ(app.Window()->Views().first()->GetDocument()->Title(), "clouds.qln");
    EXPECT_EQ(MenuTitles(), QStringList({"&File", "&Layer", "&View", "&Window", "&Help"}));
    EXPECT_EQ(QuillonApp::RecentFiles(), QStringList({example}));
    EXPECT_EQ(QSettings().value("Recent File List/File1").toString(), example);
    // Opening it again shows the open window.
    EXPECT_EQ(app.Window()->OpenDocumentFile(example), app.Window()->Views().first());
    EXPECT_EQ(app.Window()->Views().size(), 1);
}

TEST_F(AppTest, ASecondStartHandsItsDocumentsToTheRunningEditor) {
    ASSERT_TRUE(app.Start({}));
    QuillonApp second;
    EditorOptions options;
    options.documents = {example};
    EXPECT_FALSE(second.Start(options));
    EXPECT_EQ(second.Window(), nullptr);
    QTRY_COMPARE(app.Window()->Views().size(), 1);
}

TEST_F(AppTest, NewAsksForNameAndSizeAndKeepsTheDialogOpenOnBadValues) {
    ASSERT_TRUE(app.Start({}));
    int attempts = 0;
    choosers.dialog = [&](QDialog& dialog) {
        auto& texture = dynamic_cast<NewTextureDialog&>(dialog);
        texture.WidthEdit()->setText("0");
        dialog.accept();
        attempts += dialog.result() == QDialog::Rejected;
        texture.WidthEdit()->setText("100");
        texture.NameEdit()->setText("fresh");
        dialog.accept();
        return dialog.result() == QDialog::Accepted;
    };
    app.Window()->FileNew();
    EXPECT_EQ(attempts, 1);
    EXPECT_EQ(messages.Last(), "Please enter an integer between 1 and 4096.");
    ASSERT_EQ(app.Window()->Views().size(), 1);
    Document* document = app.Window()->Views().first()->GetDocument();
    EXPECT_EQ(document->Texture().Name(), "fresh");
    EXPECT_EQ(document->Texture().Width(), 100);
    EXPECT_EQ(document->Texture().Height(), 64);

    choosers.dialog = [](QDialog&) { return false; };  // Cancel: no document
    app.Window()->FileNew();
    EXPECT_EQ(app.Window()->Views().size(), 1);
}

TEST_F(AppTest, ClosingAModifiedDocumentAsksAndCancelKeepsIt) {
    EditorOptions options;
    options.documents = {example};
    ASSERT_TRUE(app.Start(options));
    DocumentView* view = app.Window()->Views().first();
    view->InsertLayer();
    auto* window = qobject_cast<QMdiSubWindow*>(view->parentWidget());
    EXPECT_TRUE(window->isWindowModified());
    choosers.answers = {QMessageBox::Cancel};
    app.Window()->FileClose();
    EXPECT_EQ(app.Window()->Views().size(), 1);
    EXPECT_EQ(choosers.asked, QStringList({"Save changes to clouds.qln?"}));
    choosers.answers = {QMessageBox::No};
    app.Window()->FileClose();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(app.Window()->Views().isEmpty());
    EXPECT_EQ(MenuTitles(), QStringList({"&File", "&View", "&Help"}));
}

TEST_F(AppTest, AdvancedModeIsWrittenAndRefreshesTheShownPage) {
    ASSERT_TRUE(app.Start({}));
    bool before = AdvancedMode();
    app.Window()->Action("Advanced Mode")->trigger();
    EXPECT_EQ(AdvancedMode(), !before);
    EXPECT_EQ(QSettings().value("Settings/Advanced").toInt(), before ? 0 : 1);

    ASSERT_NE(app.Window()->OpenDocumentFile(example), nullptr);
    DocumentView* view = app.Window()->Views().first();
    view->ChangesPending();
    app.Window()->Action("Advanced Mode")->trigger();
    EXPECT_FALSE(view->GetDocument()->HasUnappliedChanges());
    EXPECT_EQ(AdvancedMode(), before);
}

TEST_F(AppTest, NewWindowShowsTheSameDocumentAndFollowsItsChanges) {
    EditorOptions options;
    options.documents = {example};
    ASSERT_TRUE(app.Start(options));
    app.Window()->Action("New Window")->trigger();
    QList<DocumentView*> views = app.Window()->Views();
    ASSERT_EQ(views.size(), 2);
    EXPECT_EQ(views[0]->GetDocument(), views[1]->GetDocument());
    views[0]->InsertLayer();
    EXPECT_EQ(views[1]->Tree()->topLevelItem(0)->childCount(),
              views[0]->GetDocument()->Texture().Count());
    EXPECT_EQ(qobject_cast<QMdiSubWindow*>(views[1]->parentWidget())->windowTitle(),
              "clouds.qln:2[*]");
    // Closing one of two windows asks nothing.
    views[1]->parentWidget()->close();
    EXPECT_TRUE(choosers.asked.isEmpty());
}

}  // namespace
}  // namespace quillon::test

namespace quillon::test {
namespace {

TEST_F(AppTest, SynthesizeOpensOnePreviewAndClosingTheDocumentStopsIt) {
    EditorOptions options;
    options.documents = {example};
    ASSERT_TRUE(app.Start(options));
    DocumentView* view = app.Window()->Views().first();
    view->Synthesize();
    ASSERT_TRUE(view->HasOpenPreview());
    QPointer<PreviewWindow> preview = view->OpenPreview();
    EXPECT_EQ(preview->RenderedLayer(), &view->GetDocument()->Texture());
    view->Synthesize();  // a view has at most one preview
    EXPECT_EQ(view->OpenPreview(), preview);
    EXPECT_FALSE(app.Window()->Action("Close")->isEnabled());
    EXPECT_FALSE(app.Window()->Action("Generate Desktop...")->isEnabled());
    EXPECT_FALSE(view->SynthesizeButton()->isEnabled());

    view->parentWidget()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(preview.isNull() || !preview->IsRendering());
    QTRY_VERIFY(preview.isNull());
    EXPECT_TRUE(app.Window()->Views().isEmpty());
}

}  // namespace
}  // namespace quillon::test

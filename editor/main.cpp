// quillon, the texture editor.
#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <cstdio>

#include "editor/quillon_app.h"
#include "engine/error_reporter.h"
#include "engine/parallel.h"
#include "engine/synthesis_job.h"

namespace {

// Messages of the engine and the parser as message boxes on the GUI thread,
// whichever thread reports them.
class MessageBoxReporter : public quillon::ErrorReporter {
  public:
    void Report(const std::string& message) override {
        QString text = QString::fromStdString(message);
        QMetaObject::invokeMethod(
            qApp,
            [text] {
                QMessageBox::warning(QApplication::activeWindow(),
                                     QApplication::applicationDisplayName(), text);
            },
            QThread::currentThread() == qApp->thread() ? Qt::DirectConnection
                                                       : Qt::QueuedConnection);
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Veltrana"));
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillon"));
    QApplication::setDesktopFileName(QStringLiteral("quillon"));

    quillon::EditorOptions options = quillon::ParseEditorArguments(QApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "quillon: %s\nusage: quillon [--seed N] [DOCUMENT...]\n",
                     qPrintable(options.error));
        return 2;
    }
    // Renders on the pool leave the user-interface thread a core.
    quillon::SetPoolNiceness(quillon::kWorkerNiceness);
    MessageBoxReporter reporter;
    quillon::ScopedErrorReporter scoped(reporter);
    quillon::QuillonApp editor;
    if (!editor.Start(options)) return 0;
    return app.exec();
}

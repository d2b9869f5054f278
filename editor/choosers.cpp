#include "editor/choosers.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>

namespace quillon {

namespace {

Choosers g_realChoosers;
Choosers* g_choosers = &g_realChoosers;

}  // namespace

QString Choosers::OpenFileName(QWidget* parent, const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, QString(), filter);
}

QString Choosers::SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                               const QString& initialName, const QString& defaultSuffix) {
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    // The filter of the default suffix is the one shown first.
    for (const QString& entry : filter.split(QStringLiteral(";;"))) {
        if (!defaultSuffix.isEmpty() && entry.contains(QStringLiteral("*.") + defaultSuffix)) {
            dialog.selectNameFilter(entry);
            break;
        }
    }
    if (!initialName.isEmpty()) dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

QMessageBox::StandardButton Choosers::Ask(QWidget* parent, const QString& text,
                                          QMessageBox::StandardButtons buttons) {
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text, buttons,
                    parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

bool Choosers::RunDialog(QDialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

Choosers& GetChoosers() {
    return *g_choosers;
}

Choosers* SetChoosers(Choosers* choosers) {
    Choosers* previous = g_choosers == &g_realChoosers ? nullptr : g_choosers;
    g_choosers = choosers ? choosers : &g_realChoosers;
    return previous;
}

}  // namespace quillon

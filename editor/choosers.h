#pragma once

#include <QMessageBox>
#include <QString>

class QDialog;
class QWidget;

namespace quillon {

// File dialogs, questions and modal dialogs go through one replaceable
// object, so that tests answer them without real modal windows.
class Choosers {
  public:
    virtual ~Choosers() = default;
    // An existing file's path, or empty when cancelled.
    virtual QString OpenFileName(QWidget* parent, const QString& title, const QString& filter);
    // A path to write (the user confirmed replacing an existing file), or
    // empty when cancelled. defaultSuffix is added to a name without one.
    virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& initialName, const QString& defaultSuffix);
    // A question with the given buttons; the button chosen.
    virtual QMessageBox::StandardButton Ask(QWidget* parent, const QString& text,
                                            QMessageBox::StandardButtons buttons);
    // Runs a modal dialog; true when it was accepted.
    virtual bool RunDialog(QDialog& dialog);
};

Choosers& GetChoosers();
// Installs choosers (nullptr restores the real dialogs); returns the previous ones.
Choosers* SetChoosers(Choosers* choosers);

}  // namespace quillon

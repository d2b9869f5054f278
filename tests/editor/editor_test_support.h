#pragma once

#include <gtest/gtest.h>
#include <QDialog>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>

#include "editor/choosers.h"
#include "engine/error_reporter.h"

namespace quillon::test {

// Answers the editor's dialogs from queues filled by the test.
class ScriptedChoosers : public Choosers {
  public:
    std::deque<QString> files;                        // Open and Save file names
    std::deque<QMessageBox::StandardButton> answers;  // questions
    std::function<bool(QDialog&)> dialog;             // modal dialogs
    QStringList asked;                                // the questions' texts
    QStringList titles;                               // the file dialogs' titles

    QString OpenFileName(QWidget*, const QString& title, const QString&) override {
        return Next(title);
    }
    QString SaveFileName(QWidget*, const QString& title, const QString&, const QString&,
                         const QString&) override {
        return Next(title);
    }
    QMessageBox::StandardButton Ask(QWidget*, const QString& text,
                                    QMessageBox::StandardButtons) override {
        asked << text;
        if (answers.empty()) return QMessageBox::Cancel;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool RunDialog(QDialog& d) override { return dialog ? dialog(d) : false; }

  private:
    QString Next(const QString& title) {
        titles << title;
        if (files.empty()) return {};
        QString file = files.front();
        files.pop_front();
        return file;
    }
};

// Installs the scripted choosers and captures every message for one test.
class EditorTest : public testing::Test {
  protected:
    EditorTest() : m_scoped(messages) { m_previous = SetChoosers(&choosers); }
    ~EditorTest() override { SetChoosers(m_previous); }

    QString TempPath(const QString& name) const { return dir.filePath(name); }

    ScriptedChoosers choosers;
    CapturingErrorReporter messages;
    QTemporaryDir dir;

  private:
    ScopedErrorReporter m_scoped;
    Choosers* m_previous = nullptr;
};

}  // namespace quillon::test

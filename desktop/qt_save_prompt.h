// The real save-file dialog behind SavePrompt: modal over the main window,
// in save mode, opening in the current folder with the proposed name, one
// filter entry matching .doc, .ppt, .xls and .xlsx, asking before it
// overwrites a file, and adding no extension of its own.
#pragma once

#include "save_prompt.h"

#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

// A filter written as "description|pattern;pattern||" turned into the one
// the Qt dialog reads: "description (pattern pattern)". The dialog is told
// to show only the description, so the user sees the description as written.
QString QtNameFilter(const char* windowsFilter);

class QtSavePrompt : public SavePrompt {
public:
    // `owner`: the window the dialog is modal over. `filter`:
    // kListSaveFilter or kStatusSaveFilter.
    QtSavePrompt(QWidget* owner, const char* filter);

    std::optional<std::string> ask_save_path(const std::string& proposedName) override;

    // The dialog as ask_save_path sets it up (tests look at it).
    void Configure(QFileDialog& dialog, const std::string& proposedName) const;

private:
    QWidget* m_owner;
    QString m_filter;
};

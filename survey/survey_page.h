// The Site survey page: runs the survey of the connected gateway on a worker
// with a progress bar and Cancel, then shows one row per luminaire with its
// verdict in colour, sortable by any column. SAVE writes the survey workbook
// through the save dialog of the other pages; REPORT hands the survey to the
// program's report of the site (which the program sets; without it the
// button stays disabled); a double-click on a row shows
// that luminaire's 74 status items, read-only. The verdict's reasons show
// as the verdict cell's tool tip. A finished survey goes through the survey
// read hook (the logbook) before it is shown.
//
// The worker only runs the survey: it hands progress and the result to the
// page with queued calls and never waits for the user or holds a lock the
// page could wait for. While it runs, HOME, the close mark and Escape are
// refused, so no other page can use the link at the same time.
#pragma once

#include "site_survey.h"

#include <QImage>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

class CxSkinButton;
class QLabel;
class QProgressBar;
class QTableWidget;
class SavePrompt;

// Control identifiers; each control carries its number as object name.
inline constexpr int IDC_SURVEY_CANCEL = 1101;
inline constexpr int IDC_SURVEY_HOME = 1102;
inline constexpr int IDC_SURVEY_SAVE = 1103;
inline constexpr int IDC_SURVEY_CLOSE = 1104;
inline constexpr int IDC_SURVEY_TABLE = 1105;
inline constexpr int IDC_SURVEY_PROGRESS = 1106;
inline constexpr int IDC_SURVEY_NOTE = 1107;
inline constexpr int IDC_SURVEY_ITEMS = 1108;   // the table of the status items box
inline constexpr int IDC_SURVEY_REPORT = 1109;

inline constexpr unsigned IDB_SURVEY_BACKGROUND = 175;
inline constexpr unsigned IDB_SURVEY_BUTTON = 172;   // the round buttons of the list pages
inline constexpr unsigned IDB_SURVEY_CLOSE = 165;

class SurveyPage : public QWidget {
    Q_OBJECT
public:
    SurveyPage(QWidget* owner, SavePrompt& savePrompt, SurveyOptions options = {});
    ~SurveyPage() override;   // cancels a running survey and joins its worker

    // What REPORT does with the survey shown and with what the logbook's
    // recording said of it ("" when it went into the logbook).
    using ReportAction = std::function<void(const SiteSurvey& survey, const std::string& logbookNote)>;
    void SetReportAction(ReportAction action);

    bool Running() const { return m_worker != nullptr; }
    const SiteSurvey* Survey() const { return m_survey.get(); }
    QTableWidget* Table() const { return m_table; }
    QProgressBar* Progress() const { return m_progress; }

public Q_SLOTS:
    void OnStart();    // a new survey (the page does this each time it is shown)
    void OnCancel();
    void OnHome();
    void OnSave();
    void OnReport();
    // The read-only status items of the luminaire in `row` as the table
    // shows it now (after sorting).
    void OnShowItems(int row);

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void showEvent(QShowEvent*) override;

private:
    void OnProgress(int done, int total);
    // `logbookNote`: what the logbook's recording has to say ("" when fine).
    void OnFinished(std::shared_ptr<SiteSurvey> survey, const std::string& logbookNote);
    void FillTable();
    void UpdateButtons();
    void JoinWorker();

    SavePrompt& m_savePrompt;
    SurveyOptions m_options;
    QImage m_background;
    QTableWidget* m_table;
    QProgressBar* m_progress;
    QLabel* m_note;
    CxSkinButton* m_btnCancel;
    CxSkinButton* m_btnHome;
    CxSkinButton* m_btnSave;
    CxSkinButton* m_btnReport;
    CxSkinButton* m_btnClose;
    ReportAction m_reportAction;
    std::shared_ptr<SiteSurvey> m_survey;
    std::string m_logbookNote;
    std::atomic<bool> m_cancel{false};
    std::unique_ptr<std::thread> m_worker;
};

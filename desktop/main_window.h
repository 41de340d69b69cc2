// The main window and home page: one frameless, fixed window of 901 x 600
// pixels whose face is a bitmap, with the Status and Test Results buttons,
// the close button and the status line that tells whether a gateway was
// found and, when an unattended monitor records into the same logbook, when
// its last round ran and how many luminaires need attention. The pages are
// laid over it at its origin, created on first use and afterwards only
// shown and hidden.
#pragma once

#include "background_text.h"
#include "link_settings.h"

#include <QImage>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <functional>

class CxSkinButton;
class QLineEdit;
class QPushButton;
class QtPrompts;

// Control identifiers; each control carries its number as object name.
inline constexpr int IDC_SCAN = 1005;          // hidden Scan button: discovery again
inline constexpr int IDC_STATUS = 1006;        // opens the Status page
inline constexpr int IDC_TEST_RESULTS = 1013;  // opens the Test Results page
inline constexpr int IDC_STATUS_LINE = 1016;   // the status line
inline constexpr int IDC_CLOSE = 1027;         // ends the program
inline constexpr int IDC_NUMBER = 1003;        // hidden numeric field, no behaviour
inline constexpr int IDC_SURVEY = 1017;        // opens the Site survey page

// Bitmaps of the home page.
inline constexpr unsigned IDB_MAIN_BACKGROUND = 162;
inline constexpr unsigned IDB_STATUS_BUTTON = 150;
inline constexpr unsigned IDB_TEST_RESULTS_BUTTON = 151;
inline constexpr unsigned IDB_CLOSE_BUTTON = 165;
inline constexpr unsigned IDB_SURVEY_BUTTON_FACE = 174;

inline constexpr int kMainWindowWidth = 901;
inline constexpr int kMainWindowHeight = 600;

// The status line: the link's text, black on white while a gateway is
// connected, red on white while not (the colour is taken from the link each
// time it paints); below it, in black, the monitor's line when there is one.
class StatusLine : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    QColor TextColour() const;
    // The monitor's line; empty: the link's text alone, as without a monitor.
    void SetMonitorText(const QString& text);
    QString MonitorText() const { return m_monitorText; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_monitorText;
};

class COrvyPcDlg : public QWidget {
    Q_OBJECT
public:
    // Makes a page on first use; null when it cannot (the user is told).
    using PageFactory = std::function<QWidget*(COrvyPcDlg* owner)>;

    explicit COrvyPcDlg(QWidget* parent = nullptr);
    ~COrvyPcDlg() override;

    // Sizes the window, places and skins the buttons, loads the cipher key
    // and runs the first discovery. Call once, with the prompts attached.
    void OnInitDialog();

    void SetStatusPageFactory(PageFactory factory) { m_statusPageFactory = std::move(factory); }
    void SetTestResultPageFactory(PageFactory factory) { m_testResultPageFactory = std::move(factory); }
    void SetSurveyPageFactory(PageFactory factory) { m_surveyPageFactory = std::move(factory); }
    QWidget* SurveyPageWindow() const { return m_pSurveyPage; }
    QWidget* StatusPage() const { return m_pStatusPage; }
    QWidget* TestResultPage() const { return m_pTestResultPage; }

    // The prompts that write the status line (set by QtPrompts itself).
    void SetPrompts(QtPrompts* prompts) { m_prompts = prompts; }
    // Hides the status line, sets its text, shows it, repaints the window.
    void SetStatusLine(const QString& text);

    // The monitor's line for the status line, read on a worker with the
    // link's settings as they were when asked; "" when no monitor records
    // into the logbook. Unset (--no-logbook): no such line.
    using MonitorLineSource = std::function<std::string(const LinkSettings& link)>;
    void SetMonitorLineSource(MonitorLineSource source) { m_monitorLineSource = std::move(source); }
    // Reads the monitor's line again, off this thread (start-up, and each
    // time the home page is shown again); the status line follows when it
    // is read.
    void RefreshMonitorLine();
    // A read still runs (it is left to end with the process at the exit).
    bool MonitorLineReading() const { return m_monitorRead.running(); }

public Q_SLOTS:
    void OnScan();
    void OnStatus();
    void OnTestResults();
    void OnSurvey();
    void OnExit();

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    // A page hidden: the home page is shown again.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowPage(QWidget*& page, const PageFactory& factory);
    void TakeMonitorLine();

    QWidget* m_pStatusPage = nullptr;
    QWidget* m_pTestResultPage = nullptr;
    QWidget* m_pSurveyPage = nullptr;
    CxSkinButton* m_btnSurvey;
    CxSkinButton* m_btnStatus;
    CxSkinButton* m_btnTestResults;
    CxSkinButton* m_btnClose;
    QPushButton* m_btnScan;
    StatusLine* m_statusLine;
    QLineEdit* m_editNumber;
    QImage m_background;
    PageFactory m_statusPageFactory;
    PageFactory m_testResultPageFactory;
    PageFactory m_surveyPageFactory;
    QtPrompts* m_prompts = nullptr;
    MonitorLineSource m_monitorLineSource;
    BackgroundText m_monitorRead;
    QTimer m_monitorPoll;          // looks for the read's result while it runs
    bool m_monitorAgain = false;   // asked again while a read ran
};

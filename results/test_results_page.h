// The Test Results page: the stored test result of every luminaire, one row
// each, listed anew from the gateway each time the page is shown or hidden.
// A click on a row selects that luminaire for the Details page; Print writes
// the list into a workbook.
#pragma once

#include "list_page.h"

class Details;
class ResultListView;

// Control identifiers; each control carries its number as object name.
inline constexpr int IDC_RESULTS_HOME = 1;       // the page's OK button
inline constexpr int IDC_RESULTS_DETAIL = 1000;
inline constexpr int IDC_RESULTS_PRINT = 1001;
inline constexpr int IDC_RESULTS_CLOSE = 1002;
inline constexpr int IDC_RESULTS_LIST = 1007;

inline constexpr unsigned IDB_RESULTS_BACKGROUND = 171;

class TestResultTab : public ListPage {
    Q_OBJECT
public:
    // `owner`: the main window. `savePrompt` serves this page and its
    // Details page; it must outlive both.
    TestResultTab(QWidget* owner, SavePrompt& savePrompt);

    ResultListView* List() const { return m_listResult; }
    Details* DetailsPage() const { return m_pDetails; }

public Q_SLOTS:
    void OnClickList(int item);
    void OnDetail();
    void OnPrint();

protected:
    void OnShowWindow() override;
    void RunListing() override;

private:
    void OnInitDialog();

    ResultListView* m_listResult;
    CxSkinButton* m_btnHome;
    CxSkinButton* m_btnDetail;
    CxSkinButton* m_btnPrint;
    CxSkinButton* m_btnClose;
    Details* m_pDetails = nullptr;
};

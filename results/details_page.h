// The Details page: every stored test entry of the luminaire selected on the
// Test Results page, newest received at the top, listed anew each time the
// page is shown or hidden. PRINT writes the list into a workbook. Beside
// the list, when a logbook is kept: the luminaire's whole history from it,
// and a field for a remark.
#pragma once

#include "list_page.h"

class DetailsLogbookPane;
class ResultListView;

// Control identifiers; each control carries its number as object name.
inline constexpr int IDC_DETAILS_BACK = 1;       // the page's OK button
inline constexpr int IDC_DETAILS_PRINT = 1000;
inline constexpr int IDC_DETAILS_CLOSE = 1001;
inline constexpr int IDC_DETAILS_LIST = 1009;

inline constexpr unsigned IDB_DETAILS_BACKGROUND = 173;

class Details : public ListPage {
    Q_OBJECT
public:
    // `owner`: the Test Results page, over which this page lies.
    Details(QWidget* owner, SavePrompt& savePrompt);

    ResultListView* List() const { return m_listDetail; }
    // The luminaire's history from the logbook and the remark field.
    DetailsLogbookPane* Logbook() const { return m_logbook; }

public Q_SLOTS:
    void OnPrint();

protected:
    void OnShowWindow() override;
    void RunListing() override;

private:
    void OnInitDialog();

    ResultListView* m_listDetail;
    CxSkinButton* m_btnBack;
    CxSkinButton* m_btnPrint;
    CxSkinButton* m_btnClose;
    DetailsLogbookPane* m_logbook;
};

#include "test_results_page.h"

#include "details_page.h"
#include "export_guard.h"
#include "list_workbooks.h"
#include "listed_records.h"
#include "listing_read_hook.h"
#include "listings.h"
#include "page_support.h"
#include "prompts.h"
#include "result_list_view.h"
#include "selection_state.h"
#include "skin_button.h"
#include "trace.h"

namespace {

constexpr int kPageWidth = 901;
constexpr int kPageHeight = 600;

// Button places, client pixels (top-left corners); the skins size them.
constexpr QPoint kDetailPos{364, 486};
constexpr QPoint kHomePos{478, 486};
constexpr QPoint kPrintPos{596, 486};
constexpr QPoint kClosePos{829, 3};

}  // namespace

TestResultTab::TestResultTab(QWidget* owner, SavePrompt& savePrompt)
    : ListPage(owner, IDB_RESULTS_BACKGROUND, savePrompt)
{
    setObjectName(QStringLiteral("130"));
    // In the order of the page's layout (also the tab order).
    m_btnHome = AddButton(IDC_RESULTS_HOME, QStringLiteral("HOME"));
    m_listResult = new ResultListView(this);
    m_listResult->setObjectName(QString::number(IDC_RESULTS_LIST));
    m_listResult->setGeometry(TemplateRect(7, 34, 577, 232));
    m_btnDetail = AddButton(IDC_RESULTS_DETAIL, QStringLiteral("Detail"));
    m_btnPrint = AddButton(IDC_RESULTS_PRINT, QStringLiteral("Print"));
    m_btnClose = AddButton(IDC_RESULTS_CLOSE, QStringLiteral("Button3"));

    connect(m_listResult, &ResultListView::ItemClicked, this, &TestResultTab::OnClickList);
    connect(m_btnDetail, &QAbstractButton::clicked, this, &TestResultTab::OnDetail);
    connect(m_btnPrint, &QAbstractButton::clicked, this, &TestResultTab::OnPrint);
    connect(m_btnHome, &QAbstractButton::clicked, this, &ListPage::OnOK);
    connect(m_btnClose, &QAbstractButton::clicked, this, &ListPage::OnOK);

    OnInitDialog();
}

void TestResultTab::OnInitDialog()
{
    m_pDetails = nullptr;
    setGeometry(0, 0, kPageWidth, kPageHeight);
    Skin(m_btnDetail, kDetailPos, IDB_LIST_BUTTON);
    Skin(m_btnHome, kHomePos, IDB_LIST_BUTTON);
    Skin(m_btnPrint, kPrintPos, IDB_LIST_BUTTON);
    Skin(m_btnClose, kClosePos, IDB_LIST_CLOSE);
    trace("test result.");
}

void TestResultTab::OnShowWindow()
{
    m_listResult->InitColumns();
    RunListing();
}

void TestResultTab::RunListing()
{
    {
        BusyCursor busy;
        ListedRecords listed(*m_listResult);
        QueryTestResults(listed);
        listing_read("results", listed.records(), std::nullopt);
    }
    ShowListingState();
}

void TestResultTab::OnClickList(int item)
{
    // A click below the last row keeps the row clicked before and arms
    // Detail for it again.
    if (item != -1) ucSelectID = std::uint8_t(item);
    ucSelectUnit = cShortAddressArr[ucSelectID];
    trace("当前选中的ID %d,ucSelectID:%d\n", ucSelectUnit, ucSelectID);
    bIdSelected = true;
}

void TestResultTab::OnDetail()
{
    if (!bIdSelected) {
        trace("请先选择ID号！\n");
        prompts().message_box("Please select ID number!");
        return;
    }
    bIdSelected = false;  // the next Detail needs a new click
    if (m_pDetails == nullptr) m_pDetails = new Details(this, m_savePrompt);
    m_pDetails->setGeometry(rect());
    m_pDetails->raise();
    m_pDetails->show();  // showing it lists the entries
}

void TestResultTab::OnPrint()
{
    BusyCursor busy;
    SaveList(*m_listResult, [this](ResultList& list) {
        run_export([&] { ExportTestResults(list, m_savePrompt); });
    });
}

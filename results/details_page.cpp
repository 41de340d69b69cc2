#include "details_page.h"

#include "details_logbook_pane.h"
#include "export_guard.h"
#include "list_workbooks.h"
#include "listed_records.h"
#include "listing_read_hook.h"
#include "listings.h"
#include "page_support.h"
#include "result_list_view.h"
#include "selection_state.h"
#include "skin_button.h"

namespace {

constexpr int kPageWidth = 901;
constexpr int kPageHeight = 600;

// Button places, client pixels (top-left corners); the skins size them.
constexpr QPoint kPrintPos{364, 486};
constexpr QPoint kBackPos{596, 486};
constexpr QPoint kClosePos{829, 3};

}  // namespace

Details::Details(QWidget* owner, SavePrompt& savePrompt) : ListPage(owner, IDB_DETAILS_BACKGROUND, savePrompt)
{
    setObjectName(QStringLiteral("131"));
    m_btnBack = AddButton(IDC_DETAILS_BACK, QStringLiteral("Back"));
    m_listDetail = new ResultListView(this);
    m_listDetail->setObjectName(QString::number(IDC_DETAILS_LIST));
    m_listDetail->setGeometry(TemplateRect(7, 33, 582, 250));
    m_btnPrint = AddButton(IDC_DETAILS_PRINT, QStringLiteral("PRINT"));
    m_btnClose = AddButton(IDC_DETAILS_CLOSE, QStringLiteral("Button2"));
    m_logbook = new DetailsLogbookPane(this, m_listDetail);

    connect(m_btnPrint, &QAbstractButton::clicked, this, &Details::OnPrint);
    connect(m_btnBack, &QAbstractButton::clicked, this, &ListPage::OnOK);
    connect(m_btnClose, &QAbstractButton::clicked, this, &ListPage::OnOK);

    OnInitDialog();
}

void Details::OnInitDialog()
{
    setGeometry(0, 0, kPageWidth, kPageHeight);
    Skin(m_btnPrint, kPrintPos, IDB_LIST_BUTTON);
    Skin(m_btnBack, kBackPos, IDB_LIST_BUTTON);
    Skin(m_btnClose, kClosePos, IDB_LIST_CLOSE);
}

void Details::OnShowWindow()
{
    m_listDetail->InitColumns();
    m_logbook->PageShown(ucSelectUnit);
    RunListing();
}

void Details::RunListing()
{
    {
        BusyCursor busy;
        // The luminaire of the row clicked on the Test Results page, as the
        // click took it: the unit list may have been listed anew since (each
        // show and hide of that page does), and the workbook is named after
        // this unit.
        ListedRecords listed(*m_listDetail);
        QueryDetails(listed, ucSelectUnit);
        listing_read("details", listed.records(), ucSelectUnit);
    }
    ShowListingState();
    m_logbook->ListingRecorded();
    repaint();
}

void Details::OnPrint()
{
    BusyCursor busy;
    SaveList(*m_listDetail, [this](ResultList& list) {
        run_export([&] { ExportDetails(list, ucSelectUnit, m_savePrompt); });
    });
}

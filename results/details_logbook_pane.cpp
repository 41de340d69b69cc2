#include "details_logbook_pane.h"

#include "luminaire_logbook.h"
#include "page_support.h"
#include "prompts.h"
#include "test_result_record.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <array>

namespace {

// Below the list, left of PRINT (whose face starts at x 364); the notice of
// an incomplete list ends above them, at y 478.
constexpr QRect kToggleRect{16, 488, 120, 28};
constexpr QRect kRemarkRect{16, 524, 244, 28};
constexpr QRect kAddRemarkRect{266, 524, 92, 28};
// The repair's part and its button, below the remark's.
constexpr QRect kRepairPartRect{16, 560, 244, 28};
constexpr QRect kAddRepairRect{266, 560, 92, 28};
// The part's choices: the first says none, the others are stored as they are.
constexpr const char* kPartChoices[] = {"Part: not said", "battery", "lamp", "gear", "other"};
// Right of Back (whose face ends at x 681).
constexpr QRect kNoteRect{696, 486, 192, 108};

// "Address" .. "On Gateway".
constexpr std::array<int, kHistoryColumns.size()> kColumnShares = {5, 11, 14, 13, 4, 7, 24, 8};

// A remark is a line or two in a logbook, not a report.
constexpr int kRemarkMaxLength = 500;

constexpr const char* kShowHistoryText = "History";
constexpr const char* kShowGatewayText = "Gateway's list";
constexpr const char* kNoLogbook = "No logbook is kept in this run: no history, no remarks.";
constexpr const char* kEmptyRemark = "Write the remark first: an empty remark is not added to the logbook.";
constexpr const char* kEmptyRepair =
    "Write what was done in the remark field first (e.g. battery replaced): an empty repair is not added.";

const QColor kGoneColour{0x80, 0x80, 0x80};     // entries the gateway no longer holds
const QColor kRemarkColour{0xff, 0xf6, 0xd5};   // remarks, among the tests

QString qs(const std::string& text) { return QString::fromStdString(text); }

void add_row(QTableWidget* list, const HistoryRow& row)
{
    const int r = list->rowCount();
    list->insertRow(r);
    for (std::size_t c = 0; c < row.texts.size(); ++c) {
        auto* item = new QTableWidgetItem(qs(row.texts[c]));
        item->setToolTip(item->text());   // a long remark in full
        if (row.goneFromGateway) item->setForeground(kGoneColour);
        if (row.remark) {
            item->setBackground(kRemarkColour);
            QFont italic = list->font();
            italic.setItalic(true);
            item->setFont(italic);
        }
        list->setItem(r, int(c), item);
    }
}

std::string count_of(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string count_text(const std::vector<HistoryRow>& rows, std::uint8_t unit)
{
    std::size_t remarks = 0, gone = 0;
    for (const HistoryRow& r : rows) {
        remarks += r.remark ? 1 : 0;
        gone += r.goneFromGateway ? 1 : 0;
    }
    std::string text = "The logbook of " + FormatUnitAddress(unit) + ": " +
                       count_of(rows.size() - remarks, "entry", "entries") + ", " +
                       count_of(remarks, "remark", "remarks");
    if (gone > 0) text += "; " + count_of(gone, "entry", "entries") + " no longer on the gateway (grey)";
    return text + ".";
}

}  // namespace

DetailsLogbookPane::DetailsLogbookPane(QWidget* page, QWidget* gatewayList)
    : QObject(page), m_gatewayList(gatewayList)
{
    m_history = NewHistoryList(page, gatewayList->geometry());

    m_toggle = new QPushButton(QString::fromUtf8(kShowHistoryText), page);
    m_toggle->setObjectName(QString::fromUtf8(kHistoryToggleName));
    m_toggle->setGeometry(kToggleRect);
    m_toggle->setCheckable(true);
    connect(m_toggle, &QPushButton::toggled, this, &DetailsLogbookPane::OnHistoryToggled);

    m_remark = new QLineEdit(page);
    m_remark->setObjectName(QString::fromUtf8(kRemarkTextName));
    m_remark->setGeometry(kRemarkRect);
    m_remark->setMaxLength(kRemarkMaxLength);
    m_remark->setPlaceholderText(QStringLiteral("Remark, e.g. battery replaced"));
    connect(m_remark, &QLineEdit::returnPressed, this, &DetailsLogbookPane::OnAddRemark);

    m_addRemark = new QPushButton(QStringLiteral("Add remark"), page);
    m_addRemark->setObjectName(QString::fromUtf8(kAddRemarkName));
    m_addRemark->setGeometry(kAddRemarkRect);
    connect(m_addRemark, &QPushButton::clicked, this, &DetailsLogbookPane::OnAddRemark);

    m_part = new QComboBox(page);
    m_part->setObjectName(QString::fromUtf8(kRepairPartName));
    m_part->setGeometry(kRepairPartRect);
    for (const char* part : kPartChoices) m_part->addItem(QString::fromUtf8(part));

    m_addRepair = new QPushButton(QStringLiteral("Add repair"), page);
    m_addRepair->setObjectName(QString::fromUtf8(kAddRepairName));
    m_addRepair->setGeometry(kAddRepairRect);
    connect(m_addRepair, &QPushButton::clicked, this, &DetailsLogbookPane::OnAddRepair);

    m_note = new QLabel(page);
    m_note->setObjectName(QString::fromUtf8(kLogbookNoteName));
    m_note->setGeometry(kNoteRect);
    m_note->setWordWrap(true);
    m_note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

QTableWidget* DetailsLogbookPane::NewHistoryList(QWidget* page, const QRect& place)
{
    auto* list = new QTableWidget(page);
    list->setObjectName(QString::fromUtf8(kHistoryListName));
    list->setGeometry(place);
    // Looks like the gateway's list beside it.
    list->setFont(m_gatewayList->font());
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setWordWrap(false);
    list->setFrameShape(QFrame::Box);
    list->setFrameShadow(QFrame::Plain);
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(20);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setColumnCount(int(kHistoryColumns.size()));
    QStringList headings;
    for (const char* heading : kHistoryColumns) headings << QString::fromUtf8(heading);
    list->setHorizontalHeaderLabels(headings);
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list->horizontalHeader()->setHighlightSections(false);
    // Shares of the width: a whole date and a remark's text, narrow codes.
    const int width = list->maximumViewportSize().width();
    int total = 0;
    for (int share : kColumnShares) total += share;
    for (int c = 0; c < list->columnCount(); ++c) list->setColumnWidth(c, width * kColumnShares[c] / total);
    list->hide();
    return list;
}

bool DetailsLogbookPane::HistoryShown() const { return m_toggle->isChecked(); }

void DetailsLogbookPane::PageShown(std::uint8_t unit)
{
    m_unit = unit;
    m_toggle->setChecked(false);
    m_remark->clear();
    m_part->setCurrentIndex(0);
    const bool kept = luminaire_logbook() != nullptr;
    m_toggle->setEnabled(kept);
    m_remark->setEnabled(kept);
    m_addRemark->setEnabled(kept);
    m_part->setEnabled(kept);
    m_addRepair->setEnabled(kept);
    SetNote(kept ? std::string() : kNoLogbook);
}

void DetailsLogbookPane::ListingRecorded()
{
    if (HistoryShown()) ReadHistory();
}

void DetailsLogbookPane::OnHistoryToggled(bool shown)
{
    m_gatewayList->setVisible(!shown);
    m_history->setVisible(shown);
    m_toggle->setText(QString::fromUtf8(shown ? kShowGatewayText : kShowHistoryText));
    if (shown) ReadHistory();
    else SetNote({});
}

void DetailsLogbookPane::ReadHistory()
{
    m_history->setRowCount(0);
    LuminaireLogbook* book = luminaire_logbook();
    if (book == nullptr) {
        SetNote(kNoLogbook);
        return;
    }
    std::vector<HistoryRow> rows;
    LogbookOutcome read;
    {
        BusyCursor busy;
        read = book->history(m_unit, &rows);
    }
    if (!read.done) {
        SetNote("The logbook cannot be read: " + read.note);
        return;
    }
    for (const HistoryRow& row : rows) add_row(m_history, row);
    SetNote(read.note.empty() ? count_text(rows, m_unit) : read.note);
}

void DetailsLogbookPane::OnAddRemark() { AddToLogbook(false); }

void DetailsLogbookPane::OnAddRepair() { AddToLogbook(true); }

void DetailsLogbookPane::AddToLogbook(bool repair)
{
    LuminaireLogbook* book = luminaire_logbook();
    if (book == nullptr) return;   // the controls are off
    const QString text = m_remark->text().trimmed();
    if (text.isEmpty()) {
        prompts().message_box(repair ? kEmptyRepair : kEmptyRemark);
        return;
    }
    const std::string part = m_part->currentIndex() > 0 ? m_part->currentText().toStdString() : std::string();
    LogbookOutcome wrote;
    {
        BusyCursor busy;
        wrote = repair ? book->add_repair(m_unit, text.toStdString(), part) : book->add_remark(m_unit, text.toStdString());
    }
    if (!wrote.done) {
        // The text stays in the field for another try.
        prompts().message_box(std::string(repair ? "The repair" : "The remark") +
                              " was not added to the logbook: " + wrote.note);
        return;
    }
    m_remark->clear();
    m_part->setCurrentIndex(0);
    if (HistoryShown()) ReadHistory();
    else m_toggle->setChecked(true);   // reads it
    if (!wrote.note.empty()) SetNote(wrote.note);
}

void DetailsLogbookPane::SetNote(const std::string& text)
{
    m_note->setText(qs(text));
    m_note->setToolTip(qs(text));
}

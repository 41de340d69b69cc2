#include "result_list_view.h"

#include <QHeaderView>
#include <QMouseEvent>

ResultListView::ResultListView(QWidget* parent) : QTableWidget(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setLineWidth(1);
    verticalHeader()->hide();
    // The scroll bar is always there, so the client width the columns share
    // does not shrink when the rows outgrow the list.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Small enough for a whole date and time in a seventh of the list.
    QFont listFont(QStringLiteral("DejaVu Sans"));
    listFont.setPixelSize(11);
    listFont.setLetterSpacing(QFont::PercentageSpacing, 94);
    setFont(listFont);
    verticalHeader()->setDefaultSectionSize(20);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Without its columns the list shows nothing but its frame.
    horizontalHeader()->hide();
    setShowGrid(false);
}

int ResultListView::ClientWidth() const { return maximumViewportSize().width(); }

void ResultListView::InitColumns()
{
    if (m_columnsReady) return;
    m_columnsReady = true;

    // Report view: headings, grid lines, headings that can be dragged,
    // whole rows selected.
    horizontalHeader()->show();
    setShowGrid(true);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setHighlightSections(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);

    setColumnCount(int(kResultColumns.size()));
    QStringList headings;
    for (const char* heading : kResultColumns) headings << QString::fromUtf8(heading);
    setHorizontalHeaderLabels(headings);
    for (int c = 0; c < columnCount(); ++c)
        horizontalHeaderItem(c)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);

    const int width = ClientWidth() / columnCount();
    for (int c = 0; c < columnCount(); ++c) setColumnWidth(c, width);
}

void ResultListView::clear() { setRowCount(0); }

void ResultListView::insert_row(bool atTop, const RowTexts& row)
{
    const int at = atTop ? 0 : rowCount();
    insertRow(at);
    // A list without columns takes its rows all the same (the exports read
    // them), as a list view keeps its items' texts before it has columns.
    if (columnCount() < int(row.size())) setColumnCount(int(row.size()));
    for (std::size_t c = 0; c < row.size(); ++c)
        setItem(at, int(c), new QTableWidgetItem(QString::fromStdString(row[c])));
}

std::vector<RowTexts> ResultListView::rows() const
{
    std::vector<RowTexts> out;
    out.reserve(std::size_t(rowCount()));
    for (int r = 0; r < rowCount(); ++r) {
        RowTexts row;
        for (std::size_t c = 0; c < row.size() && int(c) < columnCount(); ++c) {
            const QTableWidgetItem* cell = item(r, int(c));
            if (cell != nullptr) row[c] = cell->text().toStdString();
        }
        out.push_back(row);
    }
    return out;
}

void ResultListView::mouseReleaseEvent(QMouseEvent* e)
{
    QTableWidget::mouseReleaseEvent(e);
    if (e->button() != Qt::LeftButton) return;
    const QModelIndex at = indexAt(e->position().toPoint());
    Q_EMIT ItemClicked(at.isValid() ? at.row() : -1);
}

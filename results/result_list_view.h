// The list control of the two list pages: a report view with grid lines and
// full-row selection, seven columns, and the ResultList the listings fill
// and the exports read.
#pragma once

#include "result_list.h"

#include <QTableWidget>

class ResultListView final : public QTableWidget, public ResultList {
    Q_OBJECT
public:
    explicit ResultListView(QWidget* parent = nullptr);

    // Report view with the seven columns "Address" .. "Result", each a
    // seventh of the list's client width. Returns at once after the first
    // call on this list, so the headings are never inserted twice.
    void InitColumns();
    bool ColumnsReady() const { return m_columnsReady; }
    // Width of the client area: the list without its frame and scroll bar.
    int ClientWidth() const;

    void clear() override;
    void insert_row(bool atTop, const RowTexts& row) override;
    std::vector<RowTexts> rows() const override;

Q_SIGNALS:
    // A left click anywhere in the rows area: the row under it, or -1 below
    // the last row.
    void ItemClicked(int row);

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    bool m_columnsReady = false;
};

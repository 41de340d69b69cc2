// The logbook's side of the Details page: a History button beside the
// gateway's list that shows, in the list's place, every entry the logbook
// ever read for the luminaire and the remarks and repairs among them; and
// a remark field that adds a dated remark, or a repair of the part chosen
// beside it. All of it is off when no logbook is kept.
// The page's own controls are untouched: this only adds its widgets.
#pragma once

#include <QObject>

#include <cstdint>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QWidget;

// Control names (object names) of the pane's widgets.
inline constexpr const char* kHistoryToggleName = "historyToggle";
inline constexpr const char* kHistoryListName = "historyList";
inline constexpr const char* kRemarkTextName = "remarkText";
inline constexpr const char* kAddRemarkName = "addRemark";
inline constexpr const char* kRepairPartName = "repairPart";
inline constexpr const char* kAddRepairName = "addRepair";
inline constexpr const char* kLogbookNoteName = "logbookNote";

class DetailsLogbookPane final : public QObject {
    Q_OBJECT
public:
    // `gatewayList`: the page's list of what the gateway sent; the history
    // takes its rectangle while it is shown.
    DetailsLogbookPane(QWidget* page, QWidget* gatewayList);

    // The page was shown or hidden for `unit`: back to the gateway's list,
    // an empty remark field, the controls on only when a logbook is kept.
    void PageShown(std::uint8_t unit);
    // A listing just went into the logbook: a shown history is read anew.
    void ListingRecorded();

    QTableWidget* HistoryList() const { return m_history; }
    bool HistoryShown() const;

public Q_SLOTS:
    void OnHistoryToggled(bool shown);
    void OnAddRemark();
    // The text of the remark field as a repair of the part chosen.
    void OnAddRepair();

private:
    QTableWidget* NewHistoryList(QWidget* page, const QRect& place);
    void ReadHistory();
    void SetNote(const std::string& text);
    void AddToLogbook(bool repair);

    QWidget* m_gatewayList;
    QTableWidget* m_history;
    QPushButton* m_toggle;
    QLineEdit* m_remark;
    QPushButton* m_addRemark;
    QComboBox* m_part;
    QPushButton* m_addRepair;
    QLabel* m_note;
    std::uint8_t m_unit = 0;
};

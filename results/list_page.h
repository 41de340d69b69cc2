// What the two list pages share: the background picture over the whole page,
// Escape hides the page, and every show and every hide of the page itself
// reaches OnShowWindow (the pages list anew each time).
#pragma once

#include <QImage>
#include <functional>
#include <string>
#include <QWidget>

class CxSkinButton;
class QLabel;
class QPushButton;
class ResultList;
class SavePrompt;

inline constexpr unsigned IDB_LIST_BUTTON = 172;   // the round buttons of both lists
inline constexpr unsigned IDB_LIST_CLOSE = 165;    // the close mark

class ListPage : public QWidget {
    Q_OBJECT
public:
    ListPage(QWidget* owner, unsigned background, SavePrompt& savePrompt);

public Q_SLOTS:
    // HOME, Back, the close mark and Escape: hide the page (it lives on).
    void OnOK() { hide(); }

protected:
    // Called after the page itself was shown or hidden; not when only its
    // owner changes, so a window that closes at exit lists nothing.
    virtual void OnShowWindow() = 0;

    // After a listing: a list that is not whole says so on the page, with
    // the reason and a button that lists again; a whole one hides that.
    void ShowListingState();
    bool ListIncomplete() const { return !m_incompleteReason.empty(); }
    // Before a save. A whole list is saved as it is. An incomplete one only
    // when the user says so, and then `save` gets the rows with a last row
    // that says the list is incomplete and why.
    void SaveList(ResultList& list, const std::function<void(ResultList&)>& save);
    // Lists again: the Run again button.
    virtual void RunListing() = 0;

    // A skinned button at `pos` (client pixels), faced and shaped by
    // `bitmap`, and with no caption of its own.
    CxSkinButton* AddButton(int id, const QString& templateText);
    static void Skin(CxSkinButton* button, QPoint pos, unsigned bitmap);

    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

    SavePrompt& m_savePrompt;

private:
    QImage m_background;
    QLabel* m_incompleteNotice;
    QPushButton* m_runAgain;
    std::string m_incompleteReason;   // empty: the last listing was whole
};

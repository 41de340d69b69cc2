// The Status page: the user names one luminaire by its DALI line and short
// address and presses PRINT; the page queries its status and writes it into
// a workbook. The page shows no status values itself: its background carries
// the title and the labels, and four skinned buttons lie over the drawings.
#pragma once

#include <QImage>
#include <QWidget>

#include <string>

class CxSkinButton;
class QComboBox;
class QLineEdit;
class SavePrompt;

// Control identifiers; each control carries its number as object name.
inline constexpr int IDC_LINE_SELECTOR = 1004;   // "A" or "B"
inline constexpr int IDC_SHORT_ADDRESS = 1012;   // 0..63, digits only
inline constexpr int IDC_STATUS_HOME = 1028;
inline constexpr int IDC_STATUS_PRINT = 1029;
inline constexpr int IDC_STATUS_CLOSE_CARD = 1030;   // the close mark on the card
inline constexpr int IDC_STATUS_CLOSE = 1031;        // the close mark of the window

inline constexpr unsigned IDB_STATUS_BACKGROUND = 166;
inline constexpr unsigned IDB_STATUS_PRINT = 169;
inline constexpr unsigned IDB_STATUS_HOME = 170;
inline constexpr unsigned IDB_PAGE_CLOSE = 165;

inline constexpr int kMaxShortAddress = 63;

// "7" -> 7, "" -> 0, "070" -> 70; digits after the leading ones are ignored
// and a number too long for an int reads as INT_MAX (out of range anyway).
int ReadAddressNumber(const std::string& text);

class StatuDialog : public QWidget {
    Q_OBJECT
public:
    // `owner`: the main window, over whose client area the page lies.
    // `savePrompt` asks where the workbook goes; it must outlive the page.
    StatuDialog(QWidget* owner, SavePrompt& savePrompt);

    // The line letter of the last PRINT ("A" until then).
    const std::string& LineLetter() const { return m_lineLetter; }

public Q_SLOTS:
    void OnChangeAddress();
    void OnPrint();
    void OnHide();

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void showEvent(QShowEvent*) override;

private:
    void OnInitDialog();
    CxSkinButton* AddButton(int id);

    SavePrompt& m_savePrompt;
    QImage m_background;
    QComboBox* m_comboLine;
    QLineEdit* m_editAddress;
    CxSkinButton* m_btnHome = nullptr;
    CxSkinButton* m_btnPrint = nullptr;
    CxSkinButton* m_btnCloseCard = nullptr;
    CxSkinButton* m_btnClose = nullptr;
    std::string m_lineLetter = "A";
};

#include "status_page.h"

#include "export_guard.h"
#include "gateway_link.h"
#include "page_support.h"
#include "prompts.h"
#include "save_prompt.h"
#include "skin_button.h"
#include "status_workbook.h"
#include "status_record.h"
#include "trace.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QShowEvent>
#include <QRegularExpressionValidator>

#include <climits>
#include <cstdint>
#include <ctime>

namespace {

constexpr int kPageWidth = 901;
constexpr int kPageHeight = 600;

// Button places, client pixels (top-left corners); the skins size them.
constexpr QPoint kHomePos{322, 320};
constexpr QPoint kPrintPos{488, 320};
constexpr QPoint kCloseCardPos{619, 114};
constexpr QPoint kClosePos{828, 3};

constexpr int kLineA = 0;                 // index of "A" in the line selector
constexpr std::uint8_t kLineBOffset = 64; // line B's unit numbers follow line A's

const char* const kOutOfRange = "Out of range! Please enter the number within 0-63!";

}  // namespace

int ReadAddressNumber(const std::string& text)
{
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > INT_MAX) return INT_MAX;
    }
    return int(value);
}

StatuDialog::StatuDialog(QWidget* owner, SavePrompt& savePrompt) : QWidget(owner), m_savePrompt(savePrompt)
{
    setObjectName(QStringLiteral("129"));
    hide();  // not visible at creation
    setFocusPolicy(Qt::StrongFocus);
    m_background = CxSkinButton::LoadSkinBitmap(IDB_STATUS_BACKGROUND);

    m_btnHome = AddButton(IDC_STATUS_HOME);
    m_btnHome->setText(QStringLiteral("HOME"));

    m_editAddress = new QLineEdit(this);
    m_editAddress->setObjectName(QString::number(IDC_SHORT_ADDRESS));
    m_editAddress->setGeometry(TemplateRect(265, 156, 59, 14));
    // Digits only, as typed or pasted.
    m_editAddress->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_editAddress));

    m_comboLine = new QComboBox(this);
    m_comboLine->setObjectName(QString::number(IDC_LINE_SELECTOR));
    // The template's height is that of the dropped list; the box itself is
    // one line high, like the address field below it.
    const QRect line = TemplateRect(265, 126, 60, 60);
    m_comboLine->setGeometry(line.x(), line.y(), line.width(), m_editAddress->height());

    m_btnPrint = AddButton(IDC_STATUS_PRINT);
    m_btnPrint->setText(QStringLiteral("PRINT"));
    m_btnCloseCard = AddButton(IDC_STATUS_CLOSE_CARD);
    m_btnCloseCard->setText(QStringLiteral("Button1"));
    m_btnClose = AddButton(IDC_STATUS_CLOSE);
    m_btnClose->setText(QStringLiteral("Button2"));

    connect(m_editAddress, &QLineEdit::textChanged, this, &StatuDialog::OnChangeAddress);
    connect(m_btnPrint, &QAbstractButton::clicked, this, &StatuDialog::OnPrint);
    for (CxSkinButton* b : {m_btnHome, m_btnCloseCard, m_btnClose})
        connect(b, &QAbstractButton::clicked, this, &StatuDialog::OnHide);

    OnInitDialog();
}

CxSkinButton* StatuDialog::AddButton(int id)
{
    auto* button = new CxSkinButton(this);
    button->setObjectName(QString::number(id));
    return button;
}

void StatuDialog::OnInitDialog()
{
    setGeometry(0, 0, kPageWidth, kPageHeight);

    m_btnHome->move(kHomePos);
    m_btnPrint->move(kPrintPos);
    m_btnClose->move(kClosePos);
    m_btnCloseCard->move(kCloseCardPos);

    // One bitmap is every face and the mask; plain draw mode sizes each
    // button to its bitmap.
    const auto skin = [](CxSkinButton* b, unsigned id) { b->ApplySkin(id, id, id, id, 0, id, 0, 0, 0); };
    skin(m_btnHome, IDB_STATUS_HOME);
    skin(m_btnPrint, IDB_STATUS_PRINT);
    skin(m_btnCloseCard, IDB_PAGE_CLOSE);
    skin(m_btnClose, IDB_PAGE_CLOSE);
    for (CxSkinButton* b : {m_btnHome, m_btnPrint, m_btnCloseCard, m_btnClose}) b->setText(QString());

    m_comboLine->addItem(QStringLiteral("A"));
    m_comboLine->addItem(QStringLiteral("B"));
    m_comboLine->setCurrentIndex(kLineA);
    m_editAddress->setText(QStringLiteral("0"));
}

void StatuDialog::OnChangeAddress()
{
    if (ReadAddressNumber(m_editAddress->text().toStdString()) <= kMaxShortAddress) return;
    prompts().message_box(kOutOfRange);
    m_editAddress->setText(QStringLiteral("0"));  // changes the text again, and passes
}

void StatuDialog::OnPrint()
{
    const int index = m_comboLine->currentIndex();
    trace(index == kLineA ? "选中A端口！\n" : "选中B端口！\n");
    const int address = ReadAddressNumber(m_editAddress->text().toStdString());
    const std::time_t printTime = std::time(nullptr);
    m_lineLetter.assign(1, index == kLineA ? 'A' : 'B');
    const auto unit = std::uint8_t(index == kLineA ? address : address + kLineBOffset);

    bool accepted = false;
    {
        BusyCursor busy;
        accepted = QueryStatus(unit);
    }
    if (!accepted) return;  // the query has told the user why

    const std::vector<StatusItem> items = status_items(g_link.ucRxBuf);
    BusyCursor busy;
    run_export([&] { ExportStatus(items, m_lineLetter, address, printTime, m_savePrompt); });
}

void StatuDialog::OnHide() { hide(); }

void StatuDialog::paintEvent(QPaintEvent*)
{
    PaintBackground(this, m_background);
}

void StatuDialog::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    // The keys go to the page now (Escape hides it), not to a button of the
    // window beneath.
    if (!e->spontaneous()) setFocus(Qt::OtherFocusReason);
}

void StatuDialog::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        OnHide();
        return;
    }
    QWidget::keyPressEvent(e);
}

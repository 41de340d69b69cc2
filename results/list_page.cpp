#include "list_page.h"
#include "page_support.h"

#include "listings.h"
#include "prompts.h"
#include "result_list.h"
#include "skin_button.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace {

// The notice of an incomplete list: between the lists' lower edge (432 on
// the test results page, 460 on the details page) and the buttons (486).
constexpr QRect kNoticeRect{24, 461, 740, 24};
constexpr QRect kRunAgainRect{772, 461, 104, 24};

// The first column of the row that ends a saved incomplete list.
constexpr const char* kIncompleteMark = "INCOMPLETE LIST";

}  // namespace

ListPage::ListPage(QWidget* owner, unsigned background, SavePrompt& savePrompt)
    : QWidget(owner), m_savePrompt(savePrompt)
{
    hide();  // not visible at creation
    setFocusPolicy(Qt::StrongFocus);
    m_background = CxSkinButton::LoadSkinBitmap(background);

    m_incompleteNotice = new QLabel(this);
    m_incompleteNotice->setObjectName(QStringLiteral("incompleteNotice"));
    m_incompleteNotice->setGeometry(kNoticeRect);
    m_incompleteNotice->setWordWrap(true);
    m_incompleteNotice->setStyleSheet(
        QStringLiteral("QLabel { color: #b00000; background: #fff4f4; border: 1px solid #b00000; padding: 2px; }"));
    m_incompleteNotice->hide();
    m_runAgain = new QPushButton(QStringLiteral("Run again"), this);
    m_runAgain->setObjectName(QStringLiteral("runAgain"));
    m_runAgain->setGeometry(kRunAgainRect);
    m_runAgain->hide();
    connect(m_runAgain, &QPushButton::clicked, this, [this] { RunListing(); });
}

void ListPage::ShowListingState()
{
    m_incompleteReason = last_listing_complete() ? std::string() : last_listing_reason();
    const bool incomplete = ListIncomplete();
    if (incomplete) {
        m_incompleteNotice->setText(
            QStringLiteral("This list is incomplete: %1. Rows may be missing.").arg(QString::fromStdString(m_incompleteReason)));
    }
    m_incompleteNotice->setVisible(incomplete);
    m_runAgain->setVisible(incomplete);
}

void ListPage::SaveList(ResultList& list, const std::function<void(ResultList&)>& save)
{
    if (!ListIncomplete()) {
        save(list);
        return;
    }
    if (!prompts().ask_yes_no("This list is incomplete: " + m_incompleteReason +
                              ".\nSave it anyway, marked as incomplete?")) {
        return;
    }
    // The workbook says what it lacks: its last row names the reason.
    MemoryResultList marked;
    for (const RowTexts& row : list.rows()) marked.insert_row(false, row);
    marked.insert_row(false, RowTexts{kIncompleteMark, m_incompleteReason, "", "", "", "", ""});
    save(marked);
}

CxSkinButton* ListPage::AddButton(int id, const QString& templateText)
{
    auto* button = new CxSkinButton(this);
    button->setObjectName(QString::number(id));
    button->setText(templateText);
    return button;
}

void ListPage::Skin(CxSkinButton* button, QPoint pos, unsigned bitmap)
{
    button->move(pos);
    button->ApplySkin(bitmap, bitmap, bitmap, bitmap, 0, bitmap, 0, 0, 0);
    button->setText(QString());  // the face comes from the background
}

void ListPage::paintEvent(QPaintEvent*)
{
    PaintBackground(this, m_background);
}

void ListPage::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        OnOK();
        return;
    }
    QWidget::keyPressEvent(e);
}

void ListPage::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (e->spontaneous()) return;
    // The keys go to the page now (Escape hides it), not to a button of
    // the window beneath.
    setFocus(Qt::OtherFocusReason);
    OnShowWindow();
}

void ListPage::hideEvent(QHideEvent* e)
{
    QWidget::hideEvent(e);
    // isHidden(): this page was hidden, not merely its owner.
    if (e->spontaneous() || !isHidden()) return;
    // A page laid over another page gives the keys back to it.
    QWidget* owner = parentWidget();
    if (owner != nullptr && owner->isVisible() && owner->focusPolicy() != Qt::NoFocus)
        owner->setFocus(Qt::OtherFocusReason);
    OnShowWindow();
}

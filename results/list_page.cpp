#include "list_page.h"
#include "page_support.h"

#include "skin_button.h"

#include <QKeyEvent>
#include <QPainter>

ListPage::ListPage(QWidget* owner, unsigned background, SavePrompt& savePrompt)
    : QWidget(owner), m_savePrompt(savePrompt)
{
    hide();  // not visible at creation
    setFocusPolicy(Qt::StrongFocus);
    m_background = CxSkinButton::LoadSkinBitmap(background);
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

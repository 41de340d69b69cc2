#include "placeholder_page.h"
#include "page_support.h"

#include "main_window.h"
#include "skin_button.h"

#include <QKeyEvent>
#include <QPainter>

PlaceholderPage::PlaceholderPage(QWidget* owner, unsigned background, const std::vector<Button>& buttons)
    : QWidget(owner)
{
    setGeometry(0, 0, kMainWindowWidth, kMainWindowHeight);
    m_background = CxSkinButton::LoadSkinBitmap(background);
    for (const Button& b : buttons) {
        auto* button = new CxSkinButton(this);
        button->setObjectName(QString::number(b.id));
        button->move(b.pos);
        button->ApplySkin(b.bitmap, b.bitmap, b.bitmap, b.bitmap, 0, b.bitmap, 0, 0, 0);
        connect(button, &QAbstractButton::clicked, this, &QWidget::hide);
    }
}

void PlaceholderPage::paintEvent(QPaintEvent*)
{
    PaintBackground(this, m_background);
}

void PlaceholderPage::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(e);
}

QWidget* MakeStatusPlaceholder(COrvyPcDlg* owner)
{
    return new PlaceholderPage(owner, 166,
                               {{1028, 170, QPoint(322, 320)},
                                {1030, 165, QPoint(619, 114)},
                                {1031, 165, QPoint(828, 3)}});
}

QWidget* MakeTestResultPlaceholder(COrvyPcDlg* owner)
{
    return new PlaceholderPage(owner, 171, {{1, 172, QPoint(478, 486)}, {1002, 165, QPoint(829, 3)}});
}

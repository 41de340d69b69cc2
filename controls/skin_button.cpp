#include "skin_button.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <qdrawutil.h>

#include <algorithm>
#include <utility>

namespace {

// Pure white is the transparent colour of every mask: outside the shape.
constexpr QRgb kMaskTransparent = 0xFFFFFF;
// Size of a button that has neither mask nor face (a plain push button).
constexpr QSize kFallbackSize{75, 23};

QImage default_loader(unsigned id)
{
    QImage image(QStringLiteral(":/bitmaps/%1.png").arg(id));
    return image;
}

CxSkinButton::BitmapLoader& loader()
{
    static CxSkinButton::BitmapLoader current = default_loader;
    return current;
}

}  // namespace

const QEvent::Type CxSkinButton::WM_SKINBUTTON_UNCHECK =
    static_cast<QEvent::Type>(QEvent::User + 0x100);

void CxSkinButton::SetBitmapLoader(BitmapLoader newLoader)
{
    loader() = newLoader ? std::move(newLoader) : BitmapLoader(default_loader);
}

QImage CxSkinButton::LoadSkinBitmap(unsigned id)
{
    if (id == 0) return {};
    QImage image = loader()(id);
    // The raster operations below work on whole 32-bit pixels.
    if (!image.isNull() && image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
    return image;
}

CxSkinButton::CxSkinButton(QWidget* parent) : QAbstractButton(parent)
{
    m_textColour = palette().color(QPalette::ButtonText);
    setMouseTracking(true);  // hover needs moves without a button held
}

CxSkinButton::~CxSkinButton() = default;

void CxSkinButton::PreSubclassWindow(int buttonStyle)
{
    switch (buttonStyle & 0x0F) {
    case kTypeAutoCheckBox: m_behaviour = kCheckBox; break;
    case kTypeAutoRadioButton: m_behaviour = kRadioButton; break;
    default: m_behaviour = kPushButton; break;
    }
    // Whatever the type, the button draws itself (owner-drawn).
}

void CxSkinButton::ApplySkin(unsigned normal, unsigned down, unsigned over, unsigned disabled,
                             unsigned focus, unsigned mask, std::int16_t drawMode, int border,
                             std::int16_t focusMargin)
{
    m_bmpNormal = QImage();
    m_bmpDown = QImage();
    m_bmpOver = QImage();
    m_bmpDisabled = QImage();
    m_bmpFocus = QImage();
    m_bmpMask = QImage();

    m_bmpNormal = LoadSkinBitmap(normal);
    m_bmpDown = LoadSkinBitmap(down);
    m_bmpOver = LoadSkinBitmap(over);
    m_bmpFocus = LoadSkinBitmap(focus);
    m_bmpDisabled = LoadSkinBitmap(disabled != 0 ? disabled : normal);

    m_drawMode = std::clamp<std::int16_t>(drawMode, kDrawPlain, kDrawTile);
    m_hasBorder = border;
    m_focusMargin = std::max<std::int16_t>(focusMargin, 0);

    if (mask != 0) {
        m_bmpMask = LoadSkinBitmap(mask);
        if (!m_bmpMask.isNull()) {
            QRegion region = RegionFromBitmap(m_bmpMask, kMaskTransparent);
            if (!region.isEmpty()) {
                m_windowRegion = region;
                setMask(m_windowRegion);
            }
            if (m_drawMode == kDrawPlain) resize(m_bmpMask.size());
        }
    }
    updateGeometry();
    update();
}

QRegion CxSkinButton::RegionFromBitmap(const QImage& bitmap, QRgb transparent)
{
    QRegion region;
    if (bitmap.isNull()) return region;
    const QImage image = bitmap.convertToFormat(QImage::Format_RGB32);
    transparent &= 0xFFFFFF;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        int x = 0;
        while (x < image.width()) {
            while (x < image.width() && (row[x] & 0xFFFFFF) == transparent) ++x;
            const int start = x;
            while (x < image.width() && (row[x] & 0xFFFFFF) != transparent) ++x;
            if (x > start) region += QRect(start, y, x - start, 1);
        }
    }
    return region;
}

void CxSkinButton::SetCheck(int check)
{
    m_isChecked = check != 0;
    if (m_behaviour == kPushButton) m_isChecked = false;
    if (m_behaviour == kRadioButton && m_isChecked) PostUncheckToGroup();
    update();
}

void CxSkinButton::PostUncheckToGroup()
{
    QWidget* owner = parentWidget();
    if (owner == nullptr) return;
    for (QObject* child : owner->children()) {
        auto* other = qobject_cast<CxSkinButton*>(child);
        if (other == nullptr || other == this || other->m_dialogGroup != m_dialogGroup) continue;
        QCoreApplication::postEvent(other, new QEvent(WM_SKINBUTTON_UNCHECK));
    }
}

bool CxSkinButton::event(QEvent* e)
{
    if (e->type() == WM_SKINBUTTON_UNCHECK) {
        if (m_isChecked) {
            m_isChecked = false;
            update();
        }
        return true;
    }
    return QAbstractButton::event(e);
}

QSize CxSkinButton::sizeHint() const
{
    if (!m_bmpMask.isNull()) return m_bmpMask.size();
    if (!m_bmpNormal.isNull()) return m_bmpNormal.size();
    return kFallbackSize;
}

bool CxSkinButton::hitButton(const QPoint& pos) const
{
    // Only the shape counts: the mask's white corners take no clicks.
    if (!mask().isEmpty()) return mask().contains(pos);
    return rect().contains(pos);
}

void CxSkinButton::mousePressEvent(QMouseEvent* e)
{
    if (m_isHovering) m_isHovering = false;
    QAbstractButton::mousePressEvent(e);
    if (e->button() == Qt::LeftButton) m_isPressed = true;
}

void CxSkinButton::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) {
        // The check changes before anyone hears of the click.
        if (m_behaviour != kPushButton && hitButton(e->position().toPoint()))
            SetCheck(m_behaviour == kCheckBox ? !m_isChecked : 1);
        m_isPressed = false;
    }
    QAbstractButton::mouseReleaseEvent(e);
}

void CxSkinButton::mouseDoubleClickEvent(QMouseEvent* e)
{
    // A double click counts as a second press.
    mousePressEvent(e);
}

void CxSkinButton::mouseMoveEvent(QMouseEvent* e)
{
    if (m_isPressed && (e->buttons() & Qt::LeftButton)) {
        // The pressed look follows the cursor in and out of the shape.
        const bool over = hitButton(e->position().toPoint());
        if (over != isDown()) {
            setDown(over);
            update();
        }
    } else if (!m_isHovering) {
        m_isHovering = true;
        update();
    }
    QAbstractButton::mouseMoveEvent(e);
}

void CxSkinButton::leaveEvent(QEvent* e)
{
    m_isHovering = false;
    update();
    QAbstractButton::leaveEvent(e);
}

void CxSkinButton::focusOutEvent(QFocusEvent* e)
{
    if (m_isPressed) {
        if (QWidget::mouseGrabber() == this) releaseMouse();
        m_isPressed = false;
    }
    QAbstractButton::focusOutEvent(e);
}

void CxSkinButton::keyPressEvent(QKeyEvent* e)
{
    if (m_behaviour != kPushButton && e->key() == Qt::Key_Space && !e->isAutoRepeat())
        SetCheck(m_behaviour == kCheckBox ? !m_isChecked : 1);
    QAbstractButton::keyPressEvent(e);
}

void CxSkinButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    DrawItem(painter);
}

void CxSkinButton::DrawItem(QPainter& painter)
{
    const QRect item = rect();
    const int inset = m_focusMargin + 2;
    QRect textRect = item.adjusted(inset, 0, -inset, 0);
    const QColor buttonFace = palette().color(QPalette::Button);

    if (!isEnabled()) {
        if (m_bmpDisabled.isNull()) painter.fillRect(item, buttonFace);
        else PaintBitmap(painter, m_bmpDisabled, item);
        if (m_hasBorder) qDrawWinPanel(&painter, item, palette(), false);
        DrawCaption(painter, textRect, palette().color(QPalette::Light));
        DrawCaption(painter, textRect.translated(-1, -1),
                    palette().color(QPalette::Disabled, QPalette::Text));
        return;
    }

    if (isDown() || m_isChecked) {
        if (m_bmpDown.isNull()) painter.fillRect(item, buttonFace);
        else PaintBitmap(painter, m_bmpDown, item);
        textRect.translate(1, 1);
        if (m_hasBorder) qDrawWinPanel(&painter, item, palette(), true);
    } else {
        if (m_bmpNormal.isNull()) painter.fillRect(item, buttonFace);
        else if (m_isHovering && !m_bmpOver.isNull()) PaintBitmap(painter, m_bmpOver, item);
        else if (hasFocus() && !m_bmpFocus.isNull()) PaintBitmap(painter, m_bmpFocus, item);
        else PaintBitmap(painter, m_bmpNormal, item);
        if (m_hasBorder) qDrawWinPanel(&painter, item, palette(), false);
    }

    if (hasFocus() && m_focusMargin > 0) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = item.adjusted(m_focusMargin, m_focusMargin, -m_focusMargin, -m_focusMargin);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
    DrawCaption(painter, textRect, m_textColour);
}

void CxSkinButton::DrawCaption(QPainter& painter, const QRect& textRect, const QColor& colour)
{
    if (text().isEmpty()) return;
    painter.setPen(colour);
    painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, text());
}

void CxSkinButton::PaintBitmap(QPainter& painter, const QImage& bitmap, const QRect& item)
{
    if (m_drawMode == kDrawTile) {
        TileBitmap(painter, bitmap, item);
        return;
    }
    if (bitmap.isNull()) return;

    const QRect source = m_drawMode == kDrawPlain ? QRect(QPoint(0, 0), item.size()) : bitmap.rect();
    auto blit = [&](const QImage& image, QPainter::CompositionMode mode) {
        painter.setCompositionMode(mode);
        const QRect from = m_drawMode == kDrawPlain ? source : image.rect();
        painter.drawImage(item, image, from);
    };
    if (!m_bmpMask.isNull()) {
        // Bitmap XOR, mask AND, bitmap XOR: where the mask is white the
        // background stays, where it is black the bitmap shows.
        blit(bitmap, QPainter::RasterOp_SourceXorDestination);
        blit(m_bmpMask, QPainter::RasterOp_SourceAndDestination);
        blit(bitmap, QPainter::RasterOp_SourceXorDestination);
    } else {
        blit(bitmap, QPainter::CompositionMode_Source);
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void CxSkinButton::TileBitmap(QPainter& painter, const QImage& bitmap, const QRect& item)
{
    if (bitmap.isNull()) return;
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (int y = item.top(); y <= item.bottom(); y += bitmap.height()) {
        for (int x = item.left(); x <= item.right(); x += bitmap.width()) {
            const int w = std::min(bitmap.width(), item.right() + 1 - x);
            const int h = std::min(bitmap.height(), item.bottom() + 1 - y);
            painter.drawImage(QPoint(x, y), bitmap, QRect(0, 0, w, h));
        }
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// The bitmap-skinned, mask-shaped push button of every page.
//
// The button paints itself from one image per visual state and takes the
// shape of the non-white pixels of a mask image: clicks on the white corners
// fall through to whatever lies beneath. It shows a hover state, keeps its
// pressed look in step with the cursor while the left button is held, and can
// behave as a check box or a radio button instead of a push button.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QEvent>
#include <QImage>
#include <QRegion>

#include <cstdint>
#include <functional>

class CxSkinButton : public QAbstractButton {
    Q_OBJECT
public:
    // Behaviour kinds; the values are the button types they come from.
    static constexpr int kPushButton = 0;
    static constexpr int kCheckBox = 2;      // BS_CHECKBOX
    static constexpr int kRadioButton = 4;   // BS_RADIOBUTTON
    // Button types (the low four bits of a button's style) that select them.
    static constexpr int kTypeAutoCheckBox = 3;     // BS_AUTOCHECKBOX
    static constexpr int kTypeAutoRadioButton = 9;  // BS_AUTORADIOBUTTON
    static constexpr int kTypeOwnerDraw = 0xB;      // BS_OWNERDRAW

    // Draw modes of ApplySkin.
    static constexpr std::int16_t kDrawPlain = 0;    // bitmap at its own size, button resized to the mask
    static constexpr std::int16_t kDrawStretch = 1;  // bitmap stretched over the button
    static constexpr std::int16_t kDrawTile = 2;     // bitmap tiled, no mask

    // Sent (posted) to the other buttons of a radio group when one of them
    // becomes checked: they clear their check.
    static const QEvent::Type WM_SKINBUTTON_UNCHECK;  // QEvent::User + 0x100

    // Where bitmaps come from: identifier in, image out (a null image when
    // there is none). The default reads ":/bitmaps/<id>.png".
    using BitmapLoader = std::function<QImage(unsigned id)>;
    static void SetBitmapLoader(BitmapLoader loader);
    static QImage LoadSkinBitmap(unsigned id);

    explicit CxSkinButton(QWidget* parent = nullptr);
    ~CxSkinButton() override;

    // Binds the behaviour to a button type: auto check box and auto radio
    // button give those behaviours, every other type a push button.
    void PreSubclassWindow(int buttonStyle);

    // One bitmap identifier per state (0: none), the mask, and the drawing
    // parameters. The disabled face falls back to the normal one. A mask gives
    // the button its shape and, in draw mode 0, its size.
    void ApplySkin(unsigned normal, unsigned down, unsigned over, unsigned disabled,
                   unsigned focus, unsigned mask, std::int16_t drawMode, int border,
                   std::int16_t focusMargin);

    // Check state as a check box or radio button keeps it (BM_SETCHECK /
    // BM_GETCHECK). A push button never holds a check.
    void SetCheck(int check);
    int GetCheck() const { return m_isChecked ? 1 : 0; }

    // Radio buttons with the same parent and group number form one group.
    void SetDialogGroup(int group) { m_dialogGroup = group; }
    int DialogGroup() const { return m_dialogGroup; }

    void SetTextColour(const QColor& colour) { m_textColour = colour; update(); }

    int behaviour() const { return m_behaviour; }
    bool isHovering() const { return m_isHovering; }
    bool isPressedHeld() const { return m_isPressed; }
    std::int16_t drawMode() const { return m_drawMode; }
    std::int16_t focusMargin() const { return m_focusMargin; }
    bool hasBorder() const { return m_hasBorder != 0; }
    const QImage& maskBitmap() const { return m_bmpMask; }

    // The window shape of a mask: every maximal run of pixels of one row that
    // differ from the transparent colour, as one rectangle of that row.
    static QRegion RegionFromBitmap(const QImage& bitmap, QRgb transparent);

    QSize sizeHint() const override;

protected:
    bool hitButton(const QPoint& pos) const override;
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    bool event(QEvent*) override;

private:
    void DrawItem(QPainter& painter);
    void PaintBitmap(QPainter& painter, const QImage& bitmap, const QRect& item);
    void TileBitmap(QPainter& painter, const QImage& bitmap, const QRect& item);
    void DrawCaption(QPainter& painter, const QRect& textRect, const QColor& colour);
    void PostUncheckToGroup();

    bool m_isChecked = false;
    int m_behaviour = kPushButton;
    bool m_isHovering = false;
    bool m_isPressed = false;
    QImage m_bmpNormal;
    QImage m_bmpDown;
    QImage m_bmpDisabled;
    QImage m_bmpMask;
    QImage m_bmpOver;
    QImage m_bmpFocus;
    std::int16_t m_focusMargin = 0;
    QColor m_textColour;
    QRegion m_windowRegion;
    int m_hasBorder = 0;
    std::int16_t m_drawMode = kDrawStretch;
    int m_dialogGroup = 0;
};

// The skinned button: shape, size, press/hover state machine, check and
// radio behaviours, and the mask-combined painting.
#include "skin_button.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

// Bitmap identifiers the test loader knows.
constexpr unsigned kRound = 172;       // 88 x 89, light grey disc on white
constexpr unsigned kBlackDisc = 900;   // 88 x 89, black disc on white (a true mask)
constexpr unsigned kBlueFace = 901;    // 88 x 89, solid blue
constexpr unsigned kChecker = 902;     // 2 x 2, red/green checker
constexpr unsigned kMissing = 999;     // not there

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kLightGrey = 0xFFF0F0F0;
constexpr QRgb kBlue = 0xFF2040C0;

// A disc of one colour on pure white, the shape of the round page buttons.
QImage disc(QRgb inside)
{
    QImage image(88, 89, QImage::Format_RGB32);
    image.fill(kWhite);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const double dx = x + 0.5 - 44.0, dy = y + 0.5 - 44.5;
            if (dx * dx + dy * dy <= 42.0 * 42.0) image.setPixel(x, y, inside);
        }
    return image;
}

QImage test_bitmap(unsigned id)
{
    switch (id) {
    case kRound: return disc(kLightGrey);
    case kBlackDisc: return disc(0xFF000000);
    case kBlueFace: {
        QImage image(88, 89, QImage::Format_RGB32);
        image.fill(kBlue);
        return image;
    }
    case kChecker: {
        QImage image(2, 2, QImage::Format_RGB32);
        image.setPixel(0, 0, 0xFFFF0000);
        image.setPixel(1, 0, 0xFF00FF00);
        image.setPixel(0, 1, 0xFF00FF00);
        image.setPixel(1, 1, 0xFFFF0000);
        return image;
    }
    default: return {};
    }
}

constexpr QPoint kButtonPos{364, 486};
const QPoint kCentre{44, 44};
const QPoint kCorner{2, 2};  // white in the mask, inside the button's rectangle

}  // namespace

class SkinButtonTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QWidget> page;

    // A shown page of 901 x 600 with one round button skinned as the pages do.
    CxSkinButton* round_button_on_page(int type = 0)
    {
        page = std::make_unique<QWidget>();
        page->setFixedSize(901, 600);
        auto* button = new CxSkinButton(page.get());
        button->PreSubclassWindow(type);
        button->setGeometry(QRect(kButtonPos, QSize(85, 85)));
        button->ApplySkin(kRound, kRound, kRound, kRound, 0, kRound, 0, 0, 0);
        page->show();
        if (!QTest::qWaitForWindowExposed(page.get())) return nullptr;
        return button;
    }
    QWindow* window() { return page->windowHandle(); }

private slots:
    void initTestCase() { CxSkinButton::SetBitmapLoader(test_bitmap); }
    void cleanup()
    {
        page.reset();
        QCOMPARE(QApplication::topLevelWidgets().size(), 0);
    }

    void plain_skin_takes_mask_size_at_its_position()
    {
        CxSkinButton* button = round_button_on_page();
        QVERIFY(button);
        QCOMPARE(button->geometry(), QRect(kButtonPos, QSize(88, 89)));
        QCOMPARE(button->drawMode(), 0);
    }

    void stretched_skin_keeps_its_size_and_takes_the_shape()
    {
        CxSkinButton button;
        button.resize(120, 40);
        button.ApplySkin(kRound, kRound, kRound, kRound, 0, kRound, 1, 0, 0);
        QCOMPARE(button.size(), QSize(120, 40));
        QVERIFY(!button.mask().contains(kCorner));
        QVERIFY(button.mask().contains(kCentre));
    }

    void missing_mask_keeps_size_and_shape()
    {
        CxSkinButton button;
        button.resize(50, 20);
        button.ApplySkin(kMissing, 0, 0, 0, 0, kMissing, 0, 0, 0);
        QCOMPARE(button.size(), QSize(50, 20));
        QVERIFY(button.mask().isEmpty());
    }

    void parameters_are_clamped_data()
    {
        QTest::addColumn<int>("drawMode");
        QTest::addColumn<int>("focusMargin");
        QTest::addColumn<int>("storedMode");
        QTest::addColumn<int>("storedMargin");
        QTest::newRow("mode 7 is tiled") << 7 << 0 << 2 << 0;
        QTest::newRow("mode -3 is plain") << -3 << 0 << 0 << 0;
        QTest::newRow("mode 1 kept") << 1 << 3 << 1 << 3;
        QTest::newRow("margin -5 is 0") << 0 << -5 << 0 << 0;
    }
    void parameters_are_clamped()
    {
        QFETCH(int, drawMode);
        QFETCH(int, focusMargin);
        CxSkinButton button;
        button.ApplySkin(kRound, 0, 0, 0, 0, 0, static_cast<std::int16_t>(drawMode), 1,
                         static_cast<std::int16_t>(focusMargin));
        QFETCH(int, storedMode);
        QFETCH(int, storedMargin);
        QCOMPARE(int(button.drawMode()), storedMode);
        QCOMPARE(int(button.focusMargin()), storedMargin);
    }

    void region_is_the_runs_of_non_white_pixels()
    {
        // Row 0: runs at 1..2 and 4..5 (reaching the right edge); row 1 empty.
        QImage image(6, 2, QImage::Format_RGB32);
        image.fill(kWhite);
        for (int x : {1, 2, 4, 5}) image.setPixel(x, 0, 0xFF808080);
        const QRegion region = CxSkinButton::RegionFromBitmap(image, 0xFFFFFF);
        const std::vector<QRect> rects(region.begin(), region.end());
        QCOMPARE(rects, (std::vector<QRect>{QRect(1, 0, 2, 1), QRect(4, 0, 2, 1)}));
        QVERIFY(CxSkinButton::RegionFromBitmap(QImage(), 0xFFFFFF).isEmpty());
    }

    void click_on_white_corner_does_not_reach_the_button()
    {
        CxSkinButton* button = round_button_on_page();
        QVERIFY(button);
        QSignalSpy clicks(button, &QAbstractButton::clicked);
        QTest::mouseClick(window(), Qt::LeftButton, {}, kButtonPos + kCorner);
        QCOMPARE(clicks.size(), 0);
        QTest::mouseClick(window(), Qt::LeftButton, {}, kButtonPos + kCentre);
        QCOMPARE(clicks.size(), 1);
    }

    void pressed_look_follows_the_cursor_and_release_outside_sends_no_click()
    {
        CxSkinButton* button = round_button_on_page();
        QVERIFY(button);
        QSignalSpy clicks(button, &QAbstractButton::clicked);
        QTest::mousePress(window(), Qt::LeftButton, {}, kButtonPos + kCentre);
        QVERIFY(button->isDown());
        QVERIFY(button->isPressedHeld());
        QTest::mouseMove(window(), kButtonPos + kCorner);  // out of the shape, inside the rectangle
        QVERIFY(!button->isDown());
        QTest::mouseMove(window(), kButtonPos + QPoint(40, 40));
        QVERIFY(button->isDown());
        QTest::mouseMove(window(), QPoint(10, 10));  // far away
        QVERIFY(!button->isDown());
        QTest::mouseRelease(window(), Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(clicks.size(), 0);
        QVERIFY(!button->isPressedHeld());
    }

    void hover_follows_the_shape()
    {
        CxSkinButton* button = round_button_on_page();
        QVERIFY(button);
        QTest::mouseMove(window(), QPoint(5, 5));
        QVERIFY(!button->isHovering());
        QTest::mouseMove(window(), kButtonPos + kCentre);
        QVERIFY(button->isHovering());
        QTest::mouseMove(window(), kButtonPos + kCorner);
        QVERIFY(!button->isHovering());
        QTest::mouseMove(window(), kButtonPos + kCentre);
        QVERIFY(button->isHovering());
        QTest::mousePress(window(), Qt::LeftButton, {}, kButtonPos + kCentre);
        QVERIFY(!button->isHovering());  // pressing ends the hover look
        QTest::mouseRelease(window(), Qt::LeftButton, {}, kButtonPos + kCentre);
    }

    void losing_focus_while_held_ends_the_press()
    {
        CxSkinButton* button = round_button_on_page();
        QVERIFY(button);
        auto* other = new QPushButton(page.get());
        other->show();
        QSignalSpy clicks(button, &QAbstractButton::clicked);
        QTest::mousePress(window(), Qt::LeftButton, {}, kButtonPos + kCentre);
        QVERIFY(button->isPressedHeld());
        other->setFocus(Qt::OtherFocusReason);
        QVERIFY(!button->isPressedHeld());
        QTest::mouseRelease(window(), Qt::LeftButton, {}, kButtonPos + kCentre);
        QCOMPARE(clicks.size(), 0);
    }

    void kinds_from_button_type_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("behaviour");
        QTest::newRow("push button") << 0 << CxSkinButton::kPushButton;
        QTest::newRow("owner-draw") << CxSkinButton::kTypeOwnerDraw << CxSkinButton::kPushButton;
        QTest::newRow("auto check box") << 3 << CxSkinButton::kCheckBox;
        QTest::newRow("plain check box") << 2 << CxSkinButton::kPushButton;
        QTest::newRow("auto radio") << 9 << CxSkinButton::kRadioButton;
        QTest::newRow("high bits ignored") << (0x50000000 | 9) << CxSkinButton::kRadioButton;
    }
    void kinds_from_button_type()
    {
        QFETCH(int, type);
        QFETCH(int, behaviour);
        CxSkinButton button;
        button.PreSubclassWindow(type);
        QCOMPARE(button.behaviour(), behaviour);
    }

    void push_button_ignores_set_check()
    {
        CxSkinButton button;
        button.PreSubclassWindow(CxSkinButton::kTypeOwnerDraw);
        button.SetCheck(1);
        QCOMPARE(button.GetCheck(), 0);
    }

    void check_box_toggles_before_the_click_is_heard()
    {
        CxSkinButton* button = round_button_on_page(CxSkinButton::kTypeAutoCheckBox);
        QVERIFY(button);
        std::vector<int> checkAtClick;
        connect(button, &QAbstractButton::clicked, [&] { checkAtClick.push_back(button->GetCheck()); });
        QTest::mouseClick(window(), Qt::LeftButton, {}, kButtonPos + kCentre);
        QTest::mouseClick(window(), Qt::LeftButton, {}, kButtonPos + kCentre);
        QCOMPARE(checkAtClick, (std::vector<int>{1, 0}));
        // A release outside the shape neither clicks nor toggles.
        QTest::mousePress(window(), Qt::LeftButton, {}, kButtonPos + kCentre);
        QTest::mouseMove(window(), QPoint(5, 5));
        QTest::mouseRelease(window(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(button->GetCheck(), 0);
        QCOMPARE(checkAtClick.size(), size_t(2));
    }

    void space_bar_toggles_a_check_box_and_sets_a_radio()
    {
        CxSkinButton check;
        check.PreSubclassWindow(CxSkinButton::kTypeAutoCheckBox);
        QTest::keyClick(&check, Qt::Key_Space);
        QCOMPARE(check.GetCheck(), 1);
        QTest::keyClick(&check, Qt::Key_Space);
        QCOMPARE(check.GetCheck(), 0);

        CxSkinButton radio;
        radio.PreSubclassWindow(CxSkinButton::kTypeAutoRadioButton);
        QTest::keyClick(&radio, Qt::Key_Space);
        QTest::keyClick(&radio, Qt::Key_Space);
        QCOMPARE(radio.GetCheck(), 1);

        CxSkinButton push;
        QTest::keyClick(&push, Qt::Key_Space);
        QCOMPARE(push.GetCheck(), 0);
    }

    void double_click_counts_as_a_second_press()
    {
        CxSkinButton* button = round_button_on_page(CxSkinButton::kTypeAutoCheckBox);
        QVERIFY(button);
        QSignalSpy clicks(button, &QAbstractButton::clicked);
        QTest::mouseDClick(window(), Qt::LeftButton, {}, kButtonPos + kCentre);
        QCOMPARE(clicks.size(), 2);
        QCOMPARE(button->GetCheck(), 0);  // toggled twice
    }

    void checking_a_radio_unchecks_the_others_of_its_group()
    {
        QWidget dialog;
        auto make = [&](int group) {
            auto* b = new CxSkinButton(&dialog);
            b->PreSubclassWindow(CxSkinButton::kTypeAutoRadioButton);
            b->SetDialogGroup(group);
            return b;
        };
        CxSkinButton* a = make(1);
        CxSkinButton* b = make(1);
        CxSkinButton* c = make(1);
        CxSkinButton* elsewhere = make(2);
        auto* push = new CxSkinButton(&dialog);  // push buttons hear it too, holding no check
        push->SetDialogGroup(1);

        a->SetCheck(1);
        elsewhere->SetCheck(1);
        QCoreApplication::sendPostedEvents();
        b->SetCheck(1);
        QCOMPARE(a->GetCheck(), 1);  // posted, not yet delivered
        QCoreApplication::sendPostedEvents();
        QCOMPARE(a->GetCheck(), 0);
        QCOMPARE(b->GetCheck(), 1);
        QCOMPARE(c->GetCheck(), 0);
        QCOMPARE(elsewhere->GetCheck(), 1);
        QCOMPARE(push->GetCheck(), 0);

        // Unchecking a radio posts nothing.
        b->SetCheck(0);
        c->SetCheck(0);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(elsewhere->GetCheck(), 1);
    }

    // Where the mask is white the background stays, where it is black the
    // bitmap shows; a light grey face over itself leaves background & grey.
    void painting_combines_bitmap_and_mask_data()
    {
        QTest::addColumn<unsigned>("face");
        QTest::addColumn<unsigned>("maskId");
        QTest::addColumn<QRgb>("inside");
        const QRgb background = 0xFFC08347;
        QTest::newRow("blue face, black mask") << kBlueFace << kBlackDisc << kBlue;
        QTest::newRow("grey face as its own mask")
            << kRound << kRound << QRgb(0xFF000000 | (background & kLightGrey));
    }
    void painting_combines_bitmap_and_mask()
    {
        QFETCH(unsigned, face);
        QFETCH(unsigned, maskId);
        QFETCH(QRgb, inside);
        const QRgb background = 0xFFC08347;
        QWidget host;
        host.setFixedSize(200, 200);
        QPalette palette = host.palette();
        palette.setColor(QPalette::Window, QColor::fromRgb(background));
        host.setPalette(palette);
        host.setAutoFillBackground(true);
        auto* button = new CxSkinButton(&host);
        button->move(50, 60);
        button->ApplySkin(face, face, face, face, 0, maskId, 0, 0, 0);
        const QImage shot = host.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shot.pixel(QPoint(50, 60) + kCentre), inside);
        QCOMPARE(shot.pixel(QPoint(50, 60) + kCorner), background);
        QCOMPARE(shot.pixel(QPoint(10, 10)), background);
    }

    void tiled_mode_repeats_the_bitmap_without_mask()
    {
        QWidget host;
        host.setFixedSize(20, 20);
        auto* button = new CxSkinButton(&host);
        button->setGeometry(0, 0, 5, 5);
        button->ApplySkin(kChecker, kChecker, kChecker, kChecker, 0, 0, 2, 0, 0);
        const QImage shot = host.grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 5; ++x)
                QCOMPARE(shot.pixel(x, y), ((x + y) % 2 == 0) ? 0xFFFF0000u : 0xFF00FF00u);
    }

    void unloaded_face_fills_with_button_colour()
    {
        QWidget host;
        host.setFixedSize(20, 20);
        auto* button = new CxSkinButton(&host);
        button->setGeometry(0, 0, 10, 10);
        button->ApplySkin(kMissing, kMissing, 0, 0, 0, 0, 0, 0, 0);
        const QImage shot = host.grab().toImage();
        QCOMPARE(shot.pixelColor(5, 5), button->palette().color(QPalette::Button));
    }
};

QTEST_MAIN(SkinButtonTest)
#include "skin_button_test.moc"

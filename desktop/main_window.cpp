#include "main_window.h"
#include "page_support.h"

#include "gateway_link.h"
#include "packet_cipher.h"
#include "prompts.h"
#include "qt_prompts.h"
#include "skin_button.h"
#include "trace.h"

#include <QIntValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>

namespace {

// The window was laid out in dialog units of 535 x 344 for its 901 x 600
// pixels: its units are those that fill the window.
constexpr DialogUnits kMainWindowDialogUnits{double(kMainWindowWidth) / 535.0,
                                             double(kMainWindowHeight) / 344.0};

QRect dialog_units(int x, int y, int w, int h) { return TemplateRect(x, y, w, h, kMainWindowDialogUnits); }

// Button places on the home page (client pixels, top-left corners).
constexpr QPoint kStatusButtonPos{247, 132};
constexpr QPoint kTestResultsButtonPos{457, 342};
constexpr QPoint kSurveyButtonPos{457, 132};
constexpr QPoint kCloseButtonPos{829, 3};
// How long close waits for a heartbeat to finish its exchange.
constexpr int kExitHeartbeatWaitMs = 500;

// The status line sits in the frame the background draws for it, centred
// under the ring and wide enough for the no-device text; its height takes
// two lines, the link's and the monitor's, inside the frame's white.
constexpr QRect kStatusLineRect{230, 553, 440, 29};
// The monitor's line is smaller than the link's (it is the longer), one more
// pixel smaller when it would not fit otherwise, and cut short with "..." last.
constexpr int kLinkLinePixels = 12;
constexpr int kMonitorLinePixels[] = {11, 10};
// While a read of the monitor's line runs, its result is looked for this often.
constexpr int kMonitorPollMs = 50;

const QColor kConnectedText(0, 0, 0);
const QColor kNotConnectedText(255, 0, 0);
const QColor kStatusLineBackground(255, 255, 255);

void set_id(QWidget* control, int id) { control->setObjectName(QString::number(id)); }

}  // namespace

QColor StatusLine::TextColour() const
{
    return g_link.bConnected.load() == 1 ? kConnectedText : kNotConnectedText;
}

void StatusLine::SetMonitorText(const QString& text)
{
    m_monitorText = text;
    update();
}

void StatusLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), kStatusLineBackground);
    painter.setPen(TextColour());
    painter.setFont(font());
    // The discovery texts may end with a line feed; it does not move the line.
    QString line = text();
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r'))) line.chop(1);
    if (m_monitorText.isEmpty()) {
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, line);
        return;
    }
    const QRect top(0, 0, width(), height() / 2);
    const QRect bottom(0, height() / 2, width(), height() - height() / 2);
    painter.drawText(top, Qt::AlignCenter | Qt::TextSingleLine, line);
    QFont small = font();
    for (const int pixels : kMonitorLinePixels) {
        small.setPixelSize(pixels);
        if (QFontMetrics(small).horizontalAdvance(m_monitorText) <= width()) break;
    }
    painter.setFont(small);
    painter.setPen(kConnectedText);
    const QString monitor = QFontMetrics(small).elidedText(m_monitorText, Qt::ElideRight, width());
    painter.drawText(bottom, Qt::AlignCenter | Qt::TextSingleLine, monitor);
}

COrvyPcDlg::COrvyPcDlg(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setWindowTitle(QStringLiteral("OrvyPc"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/orvypc.png")));
    resize(kMainWindowWidth, kMainWindowHeight);
    m_background = CxSkinButton::LoadSkinBitmap(IDB_MAIN_BACKGROUND);

    m_btnScan = new QPushButton(QStringLiteral("扫描"), this);
    set_id(m_btnScan, IDC_SCAN);
    m_btnScan->setGeometry(dialog_units(7, 7, 55, 28));
    m_btnScan->hide();  // created hidden and never shown

    m_btnStatus = new CxSkinButton(this);
    set_id(m_btnStatus, IDC_STATUS);
    m_btnStatus->setText(QStringLiteral("Status"));
    m_btnStatus->setGeometry(dialog_units(142, 64, 45, 34));

    m_btnTestResults = new CxSkinButton(this);
    set_id(m_btnTestResults, IDC_TEST_RESULTS);
    m_btnTestResults->setText(QStringLiteral("Test Results"));
    m_btnTestResults->setGeometry(dialog_units(326, 143, 46, 34));

    m_btnSurvey = new CxSkinButton(this);
    set_id(m_btnSurvey, IDC_SURVEY);
    m_btnSurvey->setText(QStringLiteral("Site survey"));

    m_statusLine = new StatusLine(QStringLiteral("Static"), this);
    set_id(m_statusLine, IDC_STATUS_LINE);
    m_statusLine->setGeometry(kStatusLineRect);
    QFont lineFont(QStringLiteral("DejaVu Sans"));
    lineFont.setPixelSize(kLinkLinePixels);
    m_statusLine->setFont(lineFont);
    m_statusLine->hide();  // shown by the first discovery

    m_btnClose = new CxSkinButton(this);
    set_id(m_btnClose, IDC_CLOSE);
    m_btnClose->setText(QStringLiteral("Button1"));
    m_btnClose->setGeometry(dialog_units(420, 7, 41, 23));

    m_editNumber = new QLineEdit(this);
    set_id(m_editNumber, IDC_NUMBER);
    m_editNumber->setValidator(new QIntValidator(0, 2147483647, m_editNumber));
    m_editNumber->setGeometry(dialog_units(15, 50, 40, 14));
    m_editNumber->hide();

    connect(m_btnScan, &QPushButton::clicked, this, &COrvyPcDlg::OnScan);
    connect(m_btnStatus, &QAbstractButton::clicked, this, &COrvyPcDlg::OnStatus);
    connect(m_btnTestResults, &QAbstractButton::clicked, this, &COrvyPcDlg::OnTestResults);
    connect(m_btnClose, &QAbstractButton::clicked, this, &COrvyPcDlg::OnExit);
    connect(m_btnSurvey, &QAbstractButton::clicked, this, &COrvyPcDlg::OnSurvey);
    m_monitorPoll.setInterval(kMonitorPollMs);
    connect(&m_monitorPoll, &QTimer::timeout, this, &COrvyPcDlg::TakeMonitorLine);
}

COrvyPcDlg::~COrvyPcDlg() = default;

void COrvyPcDlg::OnInitDialog()
{
    m_pStatusPage = nullptr;
    m_pTestResultPage = nullptr;
    m_pSurveyPage = nullptr;

    // The window has one size; it is neither resized nor moved by its user
    // (it has no frame to drag and no window menu).
    setFixedSize(kMainWindowWidth, kMainWindowHeight);

    m_btnStatus->move(kStatusButtonPos);
    m_btnTestResults->move(kTestResultsButtonPos);
    m_btnClose->move(kCloseButtonPos);
    m_btnSurvey->move(kSurveyButtonPos);

    // One bitmap is every face and the mask; plain draw mode sizes each
    // button to its bitmap.
    m_btnStatus->ApplySkin(IDB_STATUS_BUTTON, IDB_STATUS_BUTTON, IDB_STATUS_BUTTON,
                           IDB_STATUS_BUTTON, 0, IDB_STATUS_BUTTON, 0, 0, 0);
    m_btnTestResults->ApplySkin(IDB_TEST_RESULTS_BUTTON, IDB_TEST_RESULTS_BUTTON,
                                IDB_TEST_RESULTS_BUTTON, IDB_TEST_RESULTS_BUTTON, 0,
                                IDB_TEST_RESULTS_BUTTON, 0, 0, 0);
    m_btnClose->ApplySkin(IDB_CLOSE_BUTTON, IDB_CLOSE_BUTTON, IDB_CLOSE_BUTTON, IDB_CLOSE_BUTTON,
                          0, IDB_CLOSE_BUTTON, 0, 0, 0);
    m_btnSurvey->ApplySkin(IDB_SURVEY_BUTTON_FACE, IDB_SURVEY_BUTTON_FACE, IDB_SURVEY_BUTTON_FACE,
                           IDB_SURVEY_BUTTON_FACE, 0, IDB_SURVEY_BUTTON_FACE, 0, 0, 0);
    m_btnSurvey->setText(QString());

    m_btnStatus->setText(QString());
    m_btnTestResults->setText(QString());
    m_btnClose->setText(QString());

    aes_load_key();
    ScanGateway();
    RefreshMonitorLine();
}

void COrvyPcDlg::RefreshMonitorLine()
{
    if (!m_monitorLineSource) return;
    if (m_monitorRead.running()) {
        m_monitorAgain = true;
        return;
    }
    m_monitorRead.start([source = m_monitorLineSource, link = link_settings()] { return source(link); });
    m_monitorPoll.start();
}

void COrvyPcDlg::TakeMonitorLine()
{
    const std::optional<std::string> line = m_monitorRead.take();
    if (!line) return;
    m_monitorPoll.stop();
    m_statusLine->SetMonitorText(QString::fromStdString(*line));
    if (m_monitorAgain) {
        m_monitorAgain = false;
        RefreshMonitorLine();
    }
}

bool COrvyPcDlg::eventFilter(QObject* watched, QEvent* event)
{
    // Not while the window itself goes (its pages are hidden with it).
    if (event->type() == QEvent::Hide && isVisible() && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->parentWidget() == this)
        RefreshMonitorLine();
    return QWidget::eventFilter(watched, event);
}

void COrvyPcDlg::SetStatusLine(const QString& text)
{
    m_statusLine->hide();
    m_statusLine->setText(text);
    m_statusLine->show();
    update();
}

void COrvyPcDlg::paintEvent(QPaintEvent*)
{
    PaintBackground(this, m_background);
}

void COrvyPcDlg::keyPressEvent(QKeyEvent* e)
{
    // Escape ends the window the ordinary way (the program then ends).
    if (e->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(e);
}

void COrvyPcDlg::OnScan() { ScanGateway(); }

void COrvyPcDlg::OnStatus() { ShowPage(m_pStatusPage, m_statusPageFactory); }

void COrvyPcDlg::OnTestResults() { ShowPage(m_pTestResultPage, m_testResultPageFactory); }

void COrvyPcDlg::OnSurvey() { ShowPage(m_pSurveyPage, m_surveyPageFactory); }

void COrvyPcDlg::ShowPage(QWidget*& page, const PageFactory& factory)
{
    if (g_link.bConnected.load() == 0) return;  // no gateway: the button does nothing
    if (page == nullptr && factory) {
        page = factory(this);
        if (page != nullptr) page->installEventFilter(this);
    }
    if (page == nullptr) {
        prompts().message_box("子窗口的句柄为空！");
        return;
    }
    // Laid over the whole window at its origin, above the home page.
    if (page->parentWidget() != this) page->setParent(this);
    page->setGeometry(rect());
    page->raise();
    page->show();
}

void COrvyPcDlg::OnExit()
{
    trace("exit");
    // Nothing may run on while the process tears down: release a heartbeat
    // that waits for a box, stop and join it, then end at once.
    if (m_prompts != nullptr) m_prompts->shut_down();
    // A heartbeat waiting on a silent gateway would hold the close for up
    // to the receive time-out; it is told to stop and left to the exit.
    StopHeartbeatWithin(kExitHeartbeatWaitMs);
    std::fflush(nullptr);
    std::_Exit(0);
}

#include "survey_page.h"

#include "export_guard.h"
#include "page_support.h"
#include "skin_button.h"
#include "survey_export.h"
#include "survey_read_hook.h"

#include <QDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// Places on the page (client pixels), matching the background's artwork.
constexpr QRect kTableRect{10, 55, 866, 377};
constexpr QRect kProgressRect{200, 462, 500, 16};
constexpr QRect kNoteRect{10, 438, 866, 20};
constexpr QPoint kCancelPos{235, 486};
constexpr QPoint kHomePos{349, 486};
constexpr QPoint kSavePos{463, 486};
constexpr QPoint kReportPos{577, 486};
constexpr QPoint kClosePos{829, 3};
constexpr QSize kItemsBoxSize{560, 520};
constexpr int kVerdictColumn = 3;

void set_id(QWidget* w, int id) { w->setObjectName(QString::number(id)); }

CxSkinButton* skinned(QWidget* page, int id, QPoint pos, unsigned bitmap)
{
    auto* button = new CxSkinButton(page);
    set_id(button, id);
    button->move(pos);
    button->ApplySkin(bitmap, bitmap, bitmap, bitmap, 0, bitmap, 0, 0, 0);
    return button;
}

// A cell that sorts as a number when its text is one.
QTableWidgetItem* cell(const std::string& text)
{
    auto* item = new QTableWidgetItem;
    bool number = false;
    const QString q = QString::fromStdString(text);
    const int value = q.toInt(&number);
    if (number && QString::number(value) == q) item->setData(Qt::DisplayRole, value);
    else item->setText(QString::fromStdString(text));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

// The verdict sorts by urgency (fault, overdue, not read, ok), not by its words.
class VerdictItem final : public QTableWidgetItem {
public:
    explicit VerdictItem(Verdict v) : QTableWidgetItem(QString::fromLatin1(verdict_style(v).text)), m_rank(rank(v))
    {
        setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    }
    bool operator<(const QTableWidgetItem& other) const override
    {
        const auto* o = dynamic_cast<const VerdictItem*>(&other);
        return o != nullptr ? m_rank < o->m_rank : QTableWidgetItem::operator<(other);
    }

private:
    static int rank(Verdict v)
    {
        const int r = verdict_style(v).rank;
        return r == 0 ? static_cast<int>(kVerdictStyles.size()) : r;   // ok last
    }
    int m_rank;
};

// A cell that shows its text exactly ("254 " keeps its blank).
QTableWidgetItem* text_cell(const std::string& text)
{
    auto* item = new QTableWidgetItem(QString::fromStdString(text));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

QTableWidget* read_only_table(QWidget* parent, const QStringList& headings)
{
    auto* table = new QTableWidget(parent);
    table->setColumnCount(static_cast<int>(headings.size()));
    table->setHorizontalHeaderLabels(headings);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    return table;
}

}  // namespace

SurveyPage::SurveyPage(QWidget* owner, SavePrompt& savePrompt, SurveyOptions options)
    : QWidget(owner), m_savePrompt(savePrompt), m_options(std::move(options))
{
    hide();
    setFocusPolicy(Qt::StrongFocus);
    m_background = CxSkinButton::LoadSkinBitmap(IDB_SURVEY_BACKGROUND);

    QStringList headings;
    for (const std::string& h : survey_luminaire_headings()) headings << QString::fromStdString(h);
    m_table = read_only_table(this, headings);
    set_id(m_table, IDC_SURVEY_TABLE);
    m_table->setGeometry(kTableRect);
    m_table->setSortingEnabled(true);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { OnShowItems(row); });

    m_progress = new QProgressBar(this);
    set_id(m_progress, IDC_SURVEY_PROGRESS);
    m_progress->setGeometry(kProgressRect);
    m_note = new QLabel(this);
    set_id(m_note, IDC_SURVEY_NOTE);
    m_note->setGeometry(kNoteRect);
    m_note->setAlignment(Qt::AlignCenter);

    m_btnCancel = skinned(this, IDC_SURVEY_CANCEL, kCancelPos, IDB_SURVEY_BUTTON);
    m_btnHome = skinned(this, IDC_SURVEY_HOME, kHomePos, IDB_SURVEY_BUTTON);
    m_btnSave = skinned(this, IDC_SURVEY_SAVE, kSavePos, IDB_SURVEY_BUTTON);
    m_btnReport = skinned(this, IDC_SURVEY_REPORT, kReportPos, IDB_SURVEY_BUTTON);
    m_btnClose = skinned(this, IDC_SURVEY_CLOSE, kClosePos, IDB_SURVEY_CLOSE);
    connect(m_btnCancel, &QAbstractButton::clicked, this, &SurveyPage::OnCancel);
    connect(m_btnHome, &QAbstractButton::clicked, this, &SurveyPage::OnHome);
    connect(m_btnClose, &QAbstractButton::clicked, this, &SurveyPage::OnHome);
    connect(m_btnSave, &QAbstractButton::clicked, this, &SurveyPage::OnSave);
    connect(m_btnReport, &QAbstractButton::clicked, this, &SurveyPage::OnReport);
    UpdateButtons();
}

void SurveyPage::SetReportAction(ReportAction action)
{
    m_reportAction = std::move(action);
    UpdateButtons();
}

SurveyPage::~SurveyPage()
{
    m_cancel = true;
    JoinWorker();
}

void SurveyPage::JoinWorker()
{
    if (m_worker && m_worker->joinable()) m_worker->join();
    m_worker.reset();
}

void SurveyPage::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (e->spontaneous()) return;
    setFocus(Qt::OtherFocusReason);
    OnStart();
}

void SurveyPage::OnStart()
{
    if (Running()) return;
    m_survey.reset();
    m_table->setRowCount(0);
    m_progress->setRange(0, 0);   // busy until the luminaire list is in
    m_note->setText(QStringLiteral("Listing the luminaires..."));
    m_cancel = false;
    SurveyOptions options = m_options;
    QPointer<SurveyPage> page(this);
    // Both hand-overs are queued: the worker never waits for the page.
    options.progress = [page](int done, int total) {
        QMetaObject::invokeMethod(page, [page, done, total] { if (page) page->OnProgress(done, total); },
                                  Qt::QueuedConnection);
    };
    options.cancelled = [this] { return m_cancel.load(); };
    // The logbook's recording runs on the worker too: a large site takes a
    // while to write, and the page stays responsive meanwhile.
    m_worker = std::make_unique<std::thread>([page, options, hook = survey_read_hook()] {
        auto survey = std::make_shared<SiteSurvey>(run_site_survey(options));
        const std::string note = hook ? hook(*survey) : std::string();
        QMetaObject::invokeMethod(page, [page, survey, note] { if (page) page->OnFinished(survey, note); },
                                  Qt::QueuedConnection);
    });
    UpdateButtons();
}

void SurveyPage::OnProgress(int done, int total)
{
    if (!Running()) return;
    m_progress->setRange(0, total);
    m_progress->setValue(done);
    m_note->setText(QStringLiteral("Surveying: %1 of %2 luminaires").arg(done).arg(total));
}

void SurveyPage::OnFinished(std::shared_ptr<SiteSurvey> survey, const std::string& logbookNote)
{
    JoinWorker();
    m_survey = std::move(survey);
    m_logbookNote = logbookNote;
    m_progress->setRange(0, 1);
    m_progress->setValue(1);
    const SiteSurvey& s = *m_survey;
    QString note = QStringLiteral("%1 luminaires: %2 fault, %3 overdue, %4 ok")
                       .arg(s.luminaires.size())
                       .arg(s.count(Verdict::Fault))
                       .arg(s.count(Verdict::Overdue))
                       .arg(s.count(Verdict::Ok));
    if (!s.complete()) note += QStringLiteral(" - INCOMPLETE: ") + QString::fromStdString(s.incomplete_reason());
    else note += QStringLiteral(". Double-click a row for its status items.");
    if (!logbookNote.empty()) note += QStringLiteral(" - ") + QString::fromStdString(logbookNote);
    m_note->setText(note);
    FillTable();
    UpdateButtons();
}

void SurveyPage::FillTable()
{
    m_table->setSortingEnabled(false);
    m_table->setRowCount(static_cast<int>(m_survey->luminaires.size()));
    for (int r = 0; r < m_table->rowCount(); ++r) {
        const SurveyedLuminaire& l = m_survey->luminaires[static_cast<std::size_t>(r)];
        const std::vector<std::string> texts = survey_luminaire_row(l);
        for (int c = 0; c < static_cast<int>(texts.size()); ++c) {
            QTableWidgetItem* item =
                c == kVerdictColumn ? new VerdictItem(l.verdict()) : cell(texts[static_cast<std::size_t>(c)]);
            item->setData(Qt::UserRole, r);   // the luminaire, whatever the sorting
            m_table->setItem(r, c, item);
        }
        const VerdictStyle& style = verdict_style(l.verdict());
        QTableWidgetItem* verdict = m_table->item(r, kVerdictColumn);
        if (style.colorIndex != 0) verdict->setBackground(QColor(QRgb(style.rgb)));
        verdict->setToolTip(QString::fromStdString(l.why()));
    }
    m_table->setSortingEnabled(true);
    m_table->resizeColumnsToContents();
}

void SurveyPage::UpdateButtons()
{
    m_btnCancel->setEnabled(Running());
    m_btnHome->setEnabled(!Running());
    m_btnClose->setEnabled(!Running());
    m_btnSave->setEnabled(!Running() && m_survey != nullptr);
    m_btnReport->setEnabled(!Running() && m_survey != nullptr && m_reportAction != nullptr);
}

void SurveyPage::OnCancel()
{
    if (!Running()) return;
    m_cancel = true;
    m_note->setText(QStringLiteral("Cancelling after the current exchange..."));
}

void SurveyPage::OnHome()
{
    if (!Running()) hide();
}

void SurveyPage::OnSave()
{
    if (Running() || m_survey == nullptr) return;
    BusyCursor busy;
    run_export([&] { ExportSiteSurvey(*m_survey, m_savePrompt); });
}

void SurveyPage::OnReport()
{
    if (Running() || m_survey == nullptr || !m_reportAction) return;
    BusyCursor busy;
    m_reportAction(*m_survey, m_logbookNote);
}

void SurveyPage::OnShowItems(int row)
{
    if (m_survey == nullptr || row < 0 || row >= m_table->rowCount()) return;
    const int index = m_table->item(row, 0)->data(Qt::UserRole).toInt();
    const SurveyedLuminaire& l = m_survey->luminaires.at(static_cast<std::size_t>(index));
    QDialog box(this);
    box.setWindowTitle(QStringLiteral("OrvyPc - %1 status").arg(QString::fromStdString(l.address())));
    box.resize(kItemsBoxSize);
    auto* layout = new QVBoxLayout(&box);
    auto* table = read_only_table(&box, {QStringLiteral("Section"), QStringLiteral("Item"), QStringLiteral("Value")});
    set_id(table, IDC_SURVEY_ITEMS);
    const std::vector<StatusItem> items = l.status_items();
    table->setRowCount(static_cast<int>(items.size()));
    for (int r = 0; r < table->rowCount(); ++r) {
        const StatusItem& it = items[static_cast<std::size_t>(r)];
        table->setItem(r, 0, text_cell(it.section));
        table->setItem(r, 1, text_cell(it.label));
        table->setItem(r, 2, text_cell(it.value));
    }
    table->resizeColumnsToContents();
    if (items.empty()) layout->addWidget(new QLabel(QStringLiteral("Status not read: ") + QString::fromStdString(l.reason)));
    layout->addWidget(table);
    ArrowWhileAsking arrow;
    box.exec();
}

void SurveyPage::paintEvent(QPaintEvent*)
{
    PaintBackground(this, m_background);
}

void SurveyPage::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape) {
        OnHome();
        return;
    }
    QWidget::keyPressEvent(e);
}

#include "site_name_bar.h"

#include "gateway_link.h"
#include "link_settings.h"
#include "listed_records.h"
#include "listing_read_hook.h"
#include "listings.h"
#include "logbook_recording.h"
#include "page_support.h"
#include "prompts.h"
#include "result_list.h"
#include "site_choice.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

// Below the title bar, left of the ring.
constexpr QRect kLabelRect{16, 58, 36, 24};
constexpr QRect kNameRect{52, 56, 236, 28};
constexpr QRect kButtonRect{294, 56, 96, 28};
// How often the bar looks whether the link has another gateway.
constexpr int kWatchMs = 1000;
// A listing that ended incomplete is run again this often before naming.
constexpr int kListingRetries = 2;
constexpr int kSiteNameMaxLength = 120;

QString qs(const std::string& text) { return QString::fromStdString(text); }

std::string connected_address() { return g_link.bConnected.load() == 1 ? std::string(g_link.pucDestIpBuf) : std::string(); }

}  // namespace

SiteNameBar::SiteNameBar(QWidget* window, std::string where) : QObject(window), m_where(std::move(where))
{
    m_label = new QLabel(QStringLiteral("Site"), window);
    m_label->setGeometry(kLabelRect);
    m_name = new QLineEdit(window);
    m_name->setObjectName(QString::fromUtf8(kSiteNameName));
    m_name->setGeometry(kNameRect);
    m_name->setMaxLength(kSiteNameMaxLength);
    m_name->setPlaceholderText(QStringLiteral("Name of this site"));
    connect(m_name, &QLineEdit::returnPressed, this, &SiteNameBar::OnName);
    m_button = new QPushButton(QStringLiteral("Name site"), window);
    m_button->setObjectName(QString::fromUtf8(kNameSiteName));
    m_button->setGeometry(kButtonRect);
    connect(m_button, &QPushButton::clicked, this, &SiteNameBar::OnName);
    m_watch = new QTimer(this);
    connect(m_watch, &QTimer::timeout, this, &SiteNameBar::WatchLink);
    m_watch->start(kWatchMs);
    WatchLink();
}

void SiteNameBar::WatchLink()
{
    if (connected_address() != m_shownFor) Refresh();
}

void SiteNameBar::Refresh()
{
    m_shownFor = connected_address();
    const bool connected = !m_shownFor.empty();
    m_name->setEnabled(connected);
    m_button->setEnabled(connected);
    m_name->clear();
    m_name->setToolTip({});
    if (!connected) return;
    const OpenedLogbook opened = open_for_recording({m_where, link_settings()});
    std::string why;
    const std::optional<Site> site = opened.book ? known_site(*opened.book, m_shownFor, {}, &why) : std::nullopt;
    if (site) {
        m_name->setText(qs(site->name));
        m_name->setToolTip(qs(site_words(*site)));
    }
}

void SiteNameBar::OnName()
{
    const std::string address = connected_address();
    const QString typed = m_name->text().trimmed();
    if (address.empty()) return;   // the controls are off
    if (typed.isEmpty()) {
        prompts().message_box("Write the site's name first, e.g. Hospital West.");
        return;
    }
    std::string problem;
    {
        BusyCursor busy;
        // The site this gateway is: told from its list of luminaires, which
        // goes into the logbook as any listing does (asked about first when
        // it is not the site the address had).
        MemoryResultList shown;
        ListedRecords listed(shown);
        run_listing_with_retries([&] { QueryTestResults(listed); }, kListingRetries);
        listing_read("results", listed.records(), std::nullopt);
        const OpenedLogbook opened = open_for_recording({m_where, link_settings()});
        if (!opened.book) {
            problem = opened.why;
        } else {
            std::string none;
            const std::optional<Site> site = known_site(*opened.book, address, {}, &none);
            problem = give_site_name(*opened.book, site, address, typed.toStdString());
        }
    }
    if (!problem.empty()) prompts().message_box("The site was not named: " + problem);
    Refresh();
}

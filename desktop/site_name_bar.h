// The home page's site: the name of the connected gateway's site, and a
// field and a button to name it. Naming first reads the gateway's list of
// luminaires (recorded as any results listing is), so the site named is
// the one this gateway is, asked about when it is not its address's.
// Only where a logbook is kept.
#pragma once

#include <QObject>

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QWidget;

// Control names (object names) of the bar's widgets.
inline constexpr const char* kSiteNameName = "siteName";
inline constexpr const char* kNameSiteName = "nameSite";

class SiteNameBar final : public QObject {
    Q_OBJECT
public:
    // `where`: --logbook as given (empty: the configured logbook).
    SiteNameBar(QWidget* window, std::string where);

    // Shows the site the logbook has at the connected gateway's address.
    void Refresh();

public Q_SLOTS:
    void OnName();

private:
    void WatchLink();

    std::string m_where;
    std::string m_shownFor;   // the address whose site is shown
    QLabel* m_label;
    QLineEdit* m_name;
    QPushButton* m_button;
    QTimer* m_watch;
};

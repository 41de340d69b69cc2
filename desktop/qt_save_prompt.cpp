#include "qt_save_prompt.h"

#include "page_support.h"

#include <QDir>
#include <QFileDialog>

QString QtNameFilter(const char* windowsFilter)
{
    const QStringList parts = QString::fromUtf8(windowsFilter).split(QLatin1Char('|'));
    if (parts.size() < 2) return QString::fromUtf8(windowsFilter);
    QStringList patterns = parts[1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) p = p.trimmed();
    return parts[0] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

QtSavePrompt::QtSavePrompt(QWidget* owner, const char* filter) : m_owner(owner), m_filter(QtNameFilter(filter)) {}

void QtSavePrompt::Configure(QFileDialog& dialog, const std::string& proposedName) const
{
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The description as written; the patterns in brackets stay hidden.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setNameFilter(m_filter);
    dialog.setDirectory(QDir::current());
    dialog.selectFile(QString::fromStdString(proposedName));
    dialog.setDefaultSuffix(QString());
}

std::optional<std::string> QtSavePrompt::ask_save_path(const std::string& proposedName)
{
    QFileDialog dialog(m_owner);
    Configure(dialog, proposedName);
    ArrowWhileAsking arrow;
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(chosen.first()).toStdString();
}

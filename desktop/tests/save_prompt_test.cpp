// The real save-file dialog behind the exports, answered by the test while
// it is open: the filter the user sees and the files it matches, the
// proposed name in the current folder, the chosen path returned as chosen,
// cancel, the question before overwriting, and the arrow cursor over a busy
// window while the dialog waits.
#include "page_support.h"
#include "qt_save_prompt.h"
#include "save_prompt.h"

#include <QApplication>
#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// Runs `answer` on the first modal widget of type T that opens (polled; at
// most about ten seconds), on the user-interface thread.
template <class T> void when_open(std::function<void(T*)> answer, int triesLeft = 1000)
{
    QTimer::singleShot(10, [answer = std::move(answer), triesLeft] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
            answer(w);
            return;
        }
        if (triesLeft > 0) when_open<T>(answer, triesLeft - 1);
        else if (QWidget* other = QApplication::activeModalWidget()) other->close();
    });
}

void touch(const QString& path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

}  // namespace

class SavePromptTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void filter_texts_data()
    {
        QTest::addColumn<QString>("windowsFilter");
        QTest::addColumn<QString>("qtFilter");
        QTest::newRow("lists") << QString::fromLatin1(kListSaveFilter)
                               << "file (*.doc; *.ppt; *.xls;*.xlsx) (*.doc *.ppt *.xls *.xlsx)";
        QTest::newRow("status") << QString::fromLatin1(kStatusSaveFilter)
                                << "file (*.doc; *.ppt;*.xls; *.xlsx) (*.doc *.ppt *.xls *.xlsx)";
    }
    void filter_texts()
    {
        QFETCH(QString, windowsFilter);
        QFETCH(QString, qtFilter);
        QCOMPARE(QtNameFilter(windowsFilter.toUtf8().constData()), qtFilter);
    }

    void the_dialog_proposes_the_name_in_the_current_folder()
    {
        QTemporaryDir dir;
        const QString old = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QWidget owner;
        owner.show();
        QtSavePrompt prompt(&owner, kListSaveFilter);
        const std::string proposed = "TestResult_2015-07-08 14_03_09.xlsx";
        QFileDialog* seen = nullptr;
        QStringList shownFilters, patterns;
        bool modalOverOwner = false, confirms = false, detailsHidden = false;
        QString suffix = QStringLiteral("unset"), start, selected;
        when_open<QFileDialog>([&](QFileDialog* d) {
            seen = d;
            modalOverOwner = d->parentWidget() == &owner && d->isModal();
            confirms = !d->testOption(QFileDialog::DontConfirmOverwrite);
            detailsHidden = d->testOption(QFileDialog::HideNameFilterDetails);
            suffix = d->defaultSuffix();
            start = d->directory().absolutePath();
            selected = d->selectedFiles().value(0);
            if (auto* box = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
                for (int i = 0; i < box->count(); ++i) shownFilters << box->itemText(i);
            // The patterns the dialog lists files by, as it read them from the filter.
            if (auto* model = d->findChild<QFileSystemModel*>()) patterns = model->nameFilters();
            d->selectFile(dir.filePath(QStringLiteral("chosen.doc")));
            static_cast<QDialog*>(d)->accept();  // as the Save button does
        });
        const std::optional<std::string> path = prompt.ask_save_path(proposed);
        QDir::setCurrent(old);
        QVERIFY(seen != nullptr);
        QVERIFY(modalOverOwner);
        QVERIFY(confirms);
        QVERIFY(detailsHidden);
        QVERIFY(suffix.isEmpty());
        QCOMPARE(start, QDir(dir.path()).absolutePath());
        QCOMPARE(selected, QDir(dir.path()).absoluteFilePath(QString::fromStdString(proposed)));
        QCOMPARE(shownFilters, QStringList{QStringLiteral("file (*.doc; *.ppt; *.xls;*.xlsx)")});
        QCOMPARE(patterns, (QStringList{"*.doc", "*.ppt", "*.xls", "*.xlsx"}));
        // The chosen name comes back exactly, extension and all, as the
        // system writes paths.
        QVERIFY(path.has_value());
        QCOMPARE(QString::fromStdString(*path),
                 QDir::toNativeSeparators(QDir(dir.path()).absoluteFilePath(QStringLiteral("chosen.doc"))));
    }

    void cancel_gives_no_path()
    {
        QWidget owner;
        owner.show();
        QtSavePrompt prompt(&owner, kStatusSaveFilter);
        when_open<QFileDialog>([](QFileDialog* d) { d->reject(); });
        QVERIFY(!prompt.ask_save_path("A0 Status_2015-07-08 14_03_09.xlsx").has_value());
    }

    void a_name_proposed_twice_is_overwritten_only_when_the_user_agrees_data()
    {
        QTest::addColumn<bool>("agree");
        QTest::newRow("replace it") << true;
        QTest::newRow("keep it") << false;
    }
    void a_name_proposed_twice_is_overwritten_only_when_the_user_agrees()
    {
        // Two exports in the same second propose the same name.
        QFETCH(bool, agree);
        QTemporaryDir dir;
        const QString old = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const std::string proposed = "TestResult_2015-07-08 14_03_09.xlsx";
        touch(dir.filePath(QString::fromStdString(proposed)));
        QWidget owner;
        owner.show();
        QtSavePrompt prompt(&owner, kListSaveFilter);
        bool asked = false;
        when_open<QFileDialog>([&](QFileDialog* d) {
            when_open<QMessageBox>([&](QMessageBox* box) {
                asked = true;
                box->button(agree ? QMessageBox::Yes : QMessageBox::No)->click();
                if (!agree) d->reject();  // the user gives up after all
            });
            static_cast<QDialog*>(d)->accept();  // the Save button, on the proposed name
        });
        const std::optional<std::string> path = prompt.ask_save_path(proposed);
        QDir::setCurrent(old);
        QVERIFY(asked);
        QCOMPARE(path.has_value(), agree);
        if (agree)
            QCOMPARE(QString::fromStdString(*path),
                     QDir::toNativeSeparators(QDir(dir.path()).absoluteFilePath(QString::fromStdString(proposed))));
    }

    void the_dialog_shows_the_arrow_over_a_busy_window()
    {
        QWidget owner;
        owner.show();
        QtSavePrompt prompt(&owner, kListSaveFilter);
        Qt::CursorShape during = Qt::BlankCursor;
        {
            BusyCursor busy;
            when_open<QFileDialog>([&](QFileDialog* d) {
                during = QGuiApplication::overrideCursor()->shape();
                d->reject();
            });
            prompt.ask_save_path("x.xlsx");
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        QCOMPARE(during, Qt::ArrowCursor);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }
};

QTEST_MAIN(SavePromptTest)
#include "save_prompt_test.moc"

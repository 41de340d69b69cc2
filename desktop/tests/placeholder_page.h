// A page that stands in until the page of its own is built: the page's
// background bitmap and the skinned buttons that take the user back; each of
// them (and Escape) hides the page again. It is laid over the main window
// like every page.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <vector>

class COrvyPcDlg;

class PlaceholderPage : public QWidget {
    Q_OBJECT
public:
    struct Button {
        int id;           // control identifier, also the object name
        unsigned bitmap;  // face and mask
        QPoint pos;       // top-left corner, client pixels
    };
    PlaceholderPage(QWidget* owner, unsigned background, const std::vector<Button>& buttons);

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    QImage m_background;
};

// The Status page (background 166; HOME 1028 and the close marks 1030, 1031).
QWidget* MakeStatusPlaceholder(COrvyPcDlg* owner);
// The Test Results page (background 171; HOME 1 and the close mark 1002).
QWidget* MakeTestResultPlaceholder(COrvyPcDlg* owner);

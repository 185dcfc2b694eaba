#pragma once

// "Anteprima": the whole report laid out at 0.7 of its size, one page at a time; the page
// buttons wrap around. Pages are kept as recordings and drawn when shown, so that a
// report of thousands of pages fits in memory.

#include "model/Project.h"
#include "platform/Interaction.h"
#include "platform/PagePainter.h"

#include <QDialog>
#include <QWidget>

#include <vector>

class QLabel;
class QPushButton;
class QScrollArea;

namespace valmora {

// One page on screen, drawn from its recording at the widget's size.
class PageView : public QWidget {
    Q_OBJECT
public:
    explicit PageView(QWidget* parent = nullptr);
    void setPage(const RecordedPage* page) {
        page_ = page;
        update();
    }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const RecordedPage* page_ = nullptr;
};

class Anteprima : public QDialog {
    Q_OBJECT
public:
    Anteprima(Project& project, Interaction& interaction, QWidget* parent = nullptr);

    QPushButton* btnEsci;
    QPushButton* PagPrew;
    QPushButton* PagPost;
    QScrollArea* Picture1;
    PageView* Foglio;
    QLabel* Pglbl;

    int pageCount() const { return int(pages_.size()); }
    int pageOnView() const { return pageOnView_; }
    const RecordedPage& page(int number) const { return pages_[std::size_t(number - 1)]; }
    void previousPage();
    void nextPage();

private:
    void showPage(int number);

    std::vector<RecordedPage> pages_;
    int pageOnView_ = 1;
};

} // namespace valmora

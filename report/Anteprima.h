#pragma once

// "Anteprima": the report as the printer and the PDF have it, page for page with the same
// breaks, one whole page at a time scaled to the window; the page buttons wrap around.
// Pages are kept as recordings and drawn when shown, so that a report of thousands of pages
// fits in memory.

#include "model/NetworkResults.h"
#include "model/Project.h"
#include "platform/Interaction.h"
#include "platform/PagePainter.h"

#include <QDialog>
#include <QWidget>

#include <vector>

class QFrame;
class QLabel;
class QPushButton;

namespace valmora {

// One A4 page on screen, whole, as large as the widget allows, drawn from its recording.
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
    Anteprima(const Project& project, const NetworkResults& results, Interaction& interaction,
              QWidget* parent = nullptr);

    QPushButton* btnEsci;
    QPushButton* PagPrew;
    QPushButton* PagPost;
    QFrame* Picture1;
    PageView* Foglio;
    QLabel* Pglbl;

    int pageCount() const { return int(pages_.size()); }
    // "Pagina 2 di 73".
    static QString pageLabel(int page, int pages);
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

#pragma once

// The pipe picker: the catalogue's series (entry 0 the KV pseudo-series) in a list; a
// confirmed choice of another pipe series works out the diameter of that series nearest
// the node's bore. Escape (or closing the window) keeps the node's series.

#include "model/Project.h"

#include <QDialog>

class QListWidget;

namespace valmora {

class lstTubi : public QDialog {
    Q_OBJECT
public:
    explicit lstTubi(const Project& project, QWidget* parent = nullptr);

    QListWidget* ListaTB;

    // The node's series and diameter index, before showing.
    void prepare(int16_t series, int16_t diameterIndex);
    // After closing: the series chosen (the opening one unless confirmed) and its diameter index.
    int16_t selectedSeries() const { return chosenSeries_; }
    int16_t diameterIndex() const { return diameterIndex_; }

    // Double-click or Enter on the list.
    void choose();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    const Project& project_;
    int16_t openingSeries_ = 0;
    int16_t chosenSeries_ = 0;
    int16_t diameterIndex_ = 0;
    float openingBore_ = 1.0f;
};

} // namespace valmora

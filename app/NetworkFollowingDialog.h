#pragma once

// A tool window beside the grid windows that shows the network as it stands: it refreshes
// when shown and a moment after the last change of the network (a run of edits costs one
// refresh), and hands every change of its own settings to the history.

#include <QDialog>
#include <QTimer>

#include <functional>

namespace valmora {

class NetworkFollowingDialog : public QDialog {
public:
    explicit NetworkFollowingDialog(QWidget* parent) : QDialog(parent), later_(new QTimer(this)) {
        later_->setSingleShot(true);
        later_->setInterval(kRefreshAfterMs);
        connect(later_, &QTimer::timeout, this, [this] { refresh(); });
    }

    // Shows the settings and the network as they stand now.
    void refresh() {
        later_->stop();
        showNow();
    }
    // Refreshes a moment after the last change of the network, when shown.
    void networkChanged() {
        if (isVisible())
            later_->start();
    }
    // Called after every change of the window's settings, to keep it in the history.
    void setChangeRecorder(std::function<void()> recorder) { recordChange_ = std::move(recorder); }

protected:
    static constexpr int kRefreshAfterMs = 200;

    virtual void showNow() = 0;
    void settingsRecorded() const {
        if (recordChange_)
            recordChange_();
    }
    void showEvent(QShowEvent* event) override {
        QDialog::showEvent(event);
        refresh();
    }

private:
    QTimer* later_;
    std::function<void()> recordChange_;
};

} // namespace valmora

// The plot alone: the control panel hidden and shown again, so that the plot
// gets the whole window. F11 toggles, Esc brings the panel back, and so do the
// button under the plot and a double-click on the splitter handle. The
// panel's own layout is not touched; the state is kept with the window's
// settings.
#include "app/quorvelinterface.h"
#include "ui_quorvelinterface.h"

#include <QEvent>
#include <QShortcut>
#include <QSplitter>
#include <QSplitterHandle>
#include <QToolButton>

#include <functional>

namespace {

// Calls `action` on a double-click of the watched widget.
class DoubleClickFilter : public QObject
{
public:
    DoubleClickFilter(QObject *parent, std::function<void()> action) : QObject(parent), action(std::move(action)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonDblClick) {
            action();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> action;
};

} // namespace

void QuorvelInterface::setupControlsToggle()
{
    controlsToggleButton = new QToolButton(ui->widget);
    controlsToggleButton->setObjectName(QStringLiteral("controlsToggleButton"));
    controlsToggleButton->setAutoRaise(true);
    controlsToggleButton->setFocusPolicy(Qt::NoFocus);
    // Under the time scale, at the plot's right corner.
    ui->gridLayout_1->addWidget(controlsToggleButton, 1, 3, Qt::AlignRight);
    connect(controlsToggleButton, &QToolButton::clicked, this, [this] { setControlsHidden(!controlsHidden); });

    auto *toggle = new QShortcut(QKeySequence(Qt::Key_F11), this);
    connect(toggle, &QShortcut::activated, this, [this] { setControlsHidden(!controlsHidden); });
    // Esc only while the panel is hidden: with the panel shown it stays with
    // the controls (a dialog, an open list).
    showControlsShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(showControlsShortcut, &QShortcut::activated, this, [this] { setControlsHidden(false); });

    if (QSplitterHandle *handle = ui->splitter->handle(1)) {
        handle->setToolTip(tr("Double-click: plot only or controls (F11)"));
        handle->installEventFilter(
            new DoubleClickFilter(handle, [this] { setControlsHidden(!controlsHidden); }));
    }
    setControlsHidden(false);
}

void QuorvelInterface::setControlsHidden(bool hidden)
{
    controlsHidden = hidden;
    ui->mainTabWidget->setHidden(hidden);
    // The window's minimum follows at once, not at the next layout pass: the
    // size set-up at start reads it, and a resize right after is held to it.
    ui->splitter->updateGeometry();
    ui->centralWidget->updateGeometry();
    if (layout()) {
        layout()->invalidate();
        layout()->activate();
    }
    showControlsShortcut->setEnabled(hidden);
    controlsToggleButton->setText(hidden ? tr("Show controls") : tr("Plot only"));
    controlsToggleButton->setToolTip(hidden ? tr("Show the control panel again (F11 or Esc)")
                                            : tr("Give the plot the whole window (F11)"));
}

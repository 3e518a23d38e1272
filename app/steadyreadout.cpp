#include "app/steadyreadout.h"

#include <QEvent>
#include <QLabel>
#include <QLayout>

void SteadyReadout::hold(QLabel *label)
{
    QWidget *parent = label->parentWidget();
    QLayout *layout = parent ? parent->layout() : nullptr;
    if (!layout || layout->indexOf(label) < 0)
        return;
    auto *holder = new SteadyReadout(label);
    delete layout->replaceWidget(label, holder);
    label->setParent(holder);
    label->setGeometry(holder->rect());
    label->show();
}

SteadyReadout::SteadyReadout(QLabel *label) : QWidget(label->parentWidget()), label(label)
{
    setSizePolicy(label->sizePolicy());
    takeHints();
}

bool SteadyReadout::takeHints()
{
    const QSize newHint = label->sizeHint();
    const QSize newMinimum = label->minimumSizeHint();
    if (newHint == hint && newMinimum == minimumHint)
        return false;
    hint = newHint;
    minimumHint = newMinimum;
    return true;
}

bool SteadyReadout::event(QEvent *event)
{
    // The label's request: passed on only when its size is to change.
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show) {
        if (takeHints())
            updateGeometry();
        if (event->type() == QEvent::LayoutRequest)
            return true;
    }
    return QWidget::event(event);
}

void SteadyReadout::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    label->setGeometry(rect());
}

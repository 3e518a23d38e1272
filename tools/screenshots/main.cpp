// Saves PNG screenshots of the main window, at the form's size and at a
// maximised desktop size, with every page and sub-page of its tab widgets in
// front, so the layout can be checked by eye.
//
// usage: quorvel-screenshots [output folder]   (default: ./screenshots)

#include "app/quorvelinterface.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTextStream>

namespace {

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

class Shooter
{
public:
    explicit Shooter(const QString &folder) : dir(folder) {}

    void shoot(QWidget *widget, const QString &name)
    {
        settle();
        const QString path = dir.filePath(name + ".png");
        if (widget->grab().save(path))
            ++saved;
        else
            failed << path;
    }

    // The whole window with each page of `tabs` in front, and recursively each
    // page of the tab widgets on that page.
    void shootPages(QWidget *window, QTabWidget *tabs, const QString &prefix, bool subPages)
    {
        const int before = tabs->currentIndex();
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QWidget *page = tabs->widget(i);
            const QString name = QString("%1-%2-%3").arg(prefix).arg(i).arg(page->objectName());
            shoot(window, name);
            if (!subPages)
                continue;
            for (QTabWidget *inner : page->findChildren<QTabWidget *>()) {
                if (enclosingTabWidget(inner) == tabs)
                    shootPages(window, inner, name, true);
            }
        }
        tabs->setCurrentIndex(before);
    }

    int saved = 0;
    QStringList failed;

private:
    static QTabWidget *enclosingTabWidget(QWidget *w)
    {
        for (QWidget *p = w->parentWidget(); p; p = p->parentWidget()) {
            if (auto *tabs = qobject_cast<QTabWidget *>(p))
                return tabs;
        }
        return nullptr;
    }

    QDir dir;
};

} // namespace

int main(int argc, char *argv[])
{
    // A developer tool: without a display, draw offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    if (!QDir().mkpath(folder)) {
        QTextStream(stderr) << "cannot create " << folder << "\n";
        return 1;
    }
    Shooter shooter(folder);

    QuorvelInterface window;
    auto *mainTabs = window.findChild<QTabWidget *>("mainTabWidget");
    if (!mainTabs) {
        QTextStream(stderr) << "the window has no mainTabWidget\n";
        return 1;
    }

    const struct
    {
        QSize size;
        bool subPages;
    } sizes[] = {{QSize(850, 850), true}, {QSize(1920, 1080), false}};
    window.show();
    for (const auto &s : sizes) {
        window.resize(s.size);
        const QString prefix = QString("%1x%2").arg(s.size.width()).arg(s.size.height());
        shooter.shoot(&window, prefix + "-window");
        shooter.shootPages(&window, mainTabs, prefix + "-main", s.subPages);
    }

    QTextStream out(stdout);
    out << "Saved " << shooter.saved << " screenshots in " << QDir(folder).absolutePath() << "\n";
    for (const QString &f : shooter.failed)
        out << "could not save " << f << "\n";
    return shooter.failed.isEmpty() ? 0 : 1;
}

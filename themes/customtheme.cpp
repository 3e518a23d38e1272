#include "customtheme.h"
#include "ui_customtheme.h"

#include "themes/stylesheet.h"
#include "themes/themestore.h"

#include <QColorDialog>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSettings>

#include "store/safestore.h"

namespace {

constexpr int IconSize = 24;
constexpr int ButtonSpacing = 15;
const QColor SwatchRim(0xa3, 0xa6, 0xae);

QString readLatin1(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(file.readAll());
}

} // namespace

CustomTheme::CustomTheme(QWidget *parent) : QDialog(parent), ui(new Ui::CustomTheme)
{
    ui->setupUi(this);
    setFixedSize(size());
    // A dialog window with only a close button in its title bar.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        move((s.left() + s.right()) / 2 - (width() - 1) / 2, (s.top() + s.bottom()) / 2 - (height() - 1) / 2);
    }

    colorDialog.reset(new QColorDialog);
    // Qt's own chooser, so that it wears the style sheet on every platform.
    colorDialog->setOption(QColorDialog::DontUseNativeDialog);
    colorDialog->setStyleSheet(readLatin1(QStringLiteral(":/Bitmaps/colorDialogStyle.qss")));

    prepareButtons();
    loadTheme();
    setStyleSheet(readStyleSheet(QStringLiteral(":/Bitmaps/customtheme.qss")));
    ui->gridLayout->setHorizontalSpacing(ButtonSpacing);
    ui->gridLayout->setVerticalSpacing(ButtonSpacing);
}

CustomTheme::~CustomTheme() = default;

void CustomTheme::prepareButtons()
{
    QAbstractButton *const buttons[] = {
        ui->ch1Button,     ui->ch1RefButton,  ui->ch1FftButton,  ui->ch2Button,     ui->ch2RefButton,
        ui->ch2FftButton,  ui->gridButton,    ui->axesButton,    ui->bit0Button,    ui->bit1Button,
        ui->bit2Button,    ui->bit3Button,    ui->bit4Button,    ui->bit5Button,    ui->bit6Button,
        ui->bit7Button,    ui->bit0RefButton, ui->bit1RefButton, ui->bit2RefButton, ui->bit3RefButton,
        ui->bit4RefButton, ui->bit5RefButton, ui->bit6RefButton, ui->bit7RefButton, ui->backgroundButton,
        ui->labelButton,
    };
    for (QAbstractButton *button : buttons) {
        buttonGroup.addButton(button);
        // The colour icon sits at the right end of the button.
        button->setLayoutDirection(Qt::RightToLeft);
    }
    connect(&buttonGroup, QOverload<QAbstractButton *>::of(&QButtonGroup::buttonClicked), this,
            &CustomTheme::onButtonClicked);
}

void CustomTheme::loadTheme()
{
    SafeStore store(themestore::Organisation, themestore::Application);
    problem = store.problem();
    path = store.path();
    if (!themestore::load(store.settings(), colors)) {
        loadDefaultTheme();
        return;
    }
    colorizeButtons();
}

void CustomTheme::saveTheme()
{
    SafeStore store(themestore::Organisation, themestore::Application);
    themestore::save(store.settings(), colors);
    QString error;
    // A store that was not read was told of when the window started.
    if (!store.save(&error) && store.problem().isEmpty())
        qWarning("%s", qPrintable(error));
}

void CustomTheme::loadDefaultTheme()
{
    colors.setDefaults();
    colorizeButtons();
}

void CustomTheme::colorizeButtons()
{
    for (QAbstractButton *button : buttonGroup.buttons())
        button->setIcon(prepareIcon(colors.colorAt(button->text())));
}

QIcon CustomTheme::prepareIcon(const QColor &color)
{
    QPixmap pixmap(IconSize, IconSize);
    pixmap.fill(color);
    // A one-pixel rim keeps a swatch as light as the button (white axes) visible.
    QPainter painter(&pixmap);
    painter.setPen(SwatchRim);
    painter.drawRect(0, 0, IconSize - 1, IconSize - 1);
    return QIcon(pixmap);
}

QString CustomTheme::idealForegroundColor(const QColor &color)
{
    return theme::idealForegroundColor(color);
}

void CustomTheme::onButtonClicked(QAbstractButton *button)
{
    const QString name = button->text();
    colorDialog->setCurrentColor(colors.colorAt(name));
    if (colorDialog->exec() != QDialog::Accepted)
        return;
    const QColor chosen = colorDialog->selectedColor();
    colors.setColor(name, chosen);
    button->setIcon(prepareIcon(chosen));
}

void CustomTheme::on_applyButton_clicked()
{
    saveTheme();
    emit applyCustomTheme(2, &colors);
    close();
}

void CustomTheme::on_cancelButton_clicked()
{
    close();
}

// The custom theme dialog in the window, against the simulated instrument:
// its form, choosing "Custom", picking colours, Apply and Cancel with the theme
// store, the stored Custom theme at start, and the grid mode across themes.
#include "app/quorvelinterface.h"
#include "display/plotwidget.h"
#include "quorveltest.h"
#include "simcontrol.h"
#include "themes/customtheme.h"
#include "themes/themestore.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// Graph indices in the scene's drawing order.
constexpr int Ch1 = 0, Ch2 = 2;
constexpr int logicLine(int n)
{
    return 22 + 2 * n;
}
constexpr int refLogicLine(int n)
{
    return 23 + 2 * n;
}

struct ColourButton
{
    const char *object;
    const char *caption;
    int row, column;
};

// The colour buttons in the order the dialog's button group holds them.
const ColourButton colourButtons[] = {
    {"ch1Button", "CH1", 0, 0},
    {"ch1RefButton", "CH1 REF", 0, 1},
    {"ch1FftButton", "CH1 FFT", 1, 0},
    {"ch2Button", "CH2", 0, 2},
    {"ch2RefButton", "CH2 REF", 0, 3},
    {"ch2FftButton", "CH2 FFT", 1, 1},
    {"gridButton", "GRID", 1, 2},
    {"axesButton", "AXES", 1, 3},
    {"bit0Button", "BIT 0", 2, 0},
    {"bit1Button", "BIT 1", 2, 1},
    {"bit2Button", "BIT 2", 2, 2},
    {"bit3Button", "BIT 3", 2, 3},
    {"bit4Button", "BIT 4", 3, 0},
    {"bit5Button", "BIT 5", 3, 1},
    {"bit6Button", "BIT 6", 3, 2},
    {"bit7Button", "BIT 7", 3, 3},
    {"bit0RefButton", "BIT 0 REF", 4, 0},
    {"bit1RefButton", "BIT 1 REF", 4, 1},
    {"bit2RefButton", "BIT 2 REF", 4, 2},
    {"bit3RefButton", "BIT 3 REF", 4, 3},
    {"bit4RefButton", "BIT 4 REF", 5, 0},
    {"bit5RefButton", "BIT 5 REF", 5, 1},
    {"bit6RefButton", "BIT 6 REF", 5, 2},
    {"bit7RefButton", "BIT 7 REF", 5, 3},
    {"backgroundButton", "BACKGROUND", 6, 1},
    {"labelButton", "LABELS", 6, 2},
};

// The colour in the middle of a button's icon.
QColor iconColour(const QAbstractButton *button)
{
    const QImage image = button->icon().pixmap(24, 24).toImage();
    return image.isNull() ? QColor() : image.pixelColor(12, 12);
}

QColor backgroundOf(QCustomPlot *plot)
{
    return plot->toPixmap(200, 200).toImage().pixelColor(1, 1);
}

QMap<QString, QString> storeContents()
{
    QSettings store(themestore::Organisation, themestore::Application);
    QMap<QString, QString> all;
    for (const QString &key : store.allKeys())
        all.insert(key, store.value(key).toString());
    return all;
}

void storeTheme(const CustomColors &colors)
{
    QSettings store(themestore::Organisation, themestore::Application);
    themestore::save(store, colors);
}

// Answers the modal colour chooser through the fixture's box closer while it
// lives: records the colour the chooser offered, then accepts `answer` or,
// when that is invalid, rejects.
class ChooserAnswer
{
public:
    ChooserAnswer(quorveltest::ModalBoxCloser &closer, const QColor &answer) : closer(closer)
    {
        closer.custom = [this, answer](QWidget *modal) {
            auto *chooser = qobject_cast<QColorDialog *>(modal);
            if (!chooser)
                return false;
            ++opened;
            offered = chooser->currentColor();
            if (answer.isValid()) {
                chooser->setCurrentColor(answer);
                chooser->accept();
            } else {
                chooser->reject();
            }
            return true;
        };
    }
    ~ChooserAnswer() { closer.custom = nullptr; }
    int opened = 0;
    QColor offered;

private:
    quorveltest::ModalBoxCloser &closer;
};

} // namespace

class TestCustomThemeWindow : public QObject
{
    Q_OBJECT

    quorveltest::WindowFixture f;
    PlotWidget *plot = nullptr;
    CustomTheme *dialog = nullptr;

    template <typename T> T *child(QObject *parent, const char *name)
    {
        T *object = parent->findChild<T *>(QLatin1String(name));
        if (!object)
            qFatal("object %s missing", name);
        return object;
    }
    QComboBox *themeBox() { return f.child<QComboBox>("comboBoxTheme"); }
    QAbstractButton *dialogButton(const char *name) { return child<QAbstractButton>(dialog, name); }

    // No instrument: no frames, so only the theme moves the plot.
    void startWindow()
    {
        f.startWithoutInstrument();
        plot = f.plot();
        dialog = f.get()->findChild<CustomTheme *>();
        QVERIFY(dialog);
    }
    // As the user picks an entry of the theme box.
    void chooseTheme(int index)
    {
        themeBox()->setCurrentIndex(index);
        emit themeBox()->activated(index);
    }

private slots:
    void init()
    {
        f.init();
        QSettings(themestore::Organisation, themestore::Application).clear();
        QSettings("Halvorine Ombrix", "Settings").clear();
    }
    void cleanup()
    {
        f.cleanup();
        plot = nullptr;
        dialog = nullptr;
    }

    void dialogForm()
    {
        startWindow();
        QCOMPARE(dialog->windowTitle(), QString("Custom Theme"));
        QVERIFY(dialog->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(dialog->windowFlags() & Qt::CustomizeWindowHint);
        QVERIFY(!(dialog->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(dialog->isWindow()); // a window of its own, not a panel inside the main window
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QCOMPARE(child<QLabel>(dialog, "label")->text(), QString("Change colors:"));
        QCOMPARE(child<QPushButton>(dialog, "cancelButton")->text(), QString("Cancel"));
        QCOMPARE(child<QPushButton>(dialog, "applyButton")->text(), QString("Apply"));
        QVERIFY(dialog->styleSheet().contains("btn-172-up.png"));

        auto *grid =
            qobject_cast<QGridLayout *>(child<QScrollArea>(dialog, "scrollArea")->widget()->layout());
        QVERIFY(grid);
        QCOMPARE(grid->horizontalSpacing(), 15);
        QCOMPARE(grid->verticalSpacing(), 15);
        QCOMPARE(grid->count(), 26);

        const QList<QAbstractButton *> group = dialogButton("ch1Button")->group()->buttons();
        QCOMPARE(group.size(), 26);
        const CustomColors defaults = CustomColors::defaults();
        for (int i = 0; i < 26; ++i) {
            const ColourButton &expected = colourButtons[i];
            QAbstractButton *button = dialogButton(expected.object);
            QCOMPARE(group.at(i), button);
            QCOMPARE(button->text(), QString(expected.caption));
            int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(grid->indexOf(button), &row, &column, &rowSpan, &columnSpan);
            QCOMPARE(row, expected.row);
            QCOMPARE(column, expected.column);
            QCOMPARE(button->layoutDirection(), Qt::RightToLeft);
            QCOMPARE(iconColour(button), defaults.colorAt(expected.caption));
        }
    }

    void choosingCustomShowsTheDialogAndLeavesThePlot()
    {
        startWindow();
        chooseTheme(1);
        QVERIFY(!dialog->isVisible());
        chooseTheme(2);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isModal());
        // Still Light: the dialog applies nothing until Apply.
        QCOMPARE(backgroundOf(plot), QColor(Qt::white));
        QCOMPARE(plot->graph(Ch1)->pen().color(), QColor("#2a50fd"));
    }

    void applyOnAFreshStoreStoresAndAppliesTheDefaults()
    {
        startWindow();
        chooseTheme(1);
        chooseTheme(2);
        QVERIFY(storeContents().isEmpty());
        dialogButton("applyButton")->click();
        QVERIFY(!dialog->isVisible());

        const QMap<QString, QString> stored = storeContents();
        QCOMPARE(stored.size(), 27);
        QCOMPARE(stored.value("isThemeSet"), QString("509"));
        QCOMPARE(stored.value("ch1"), QString("#4be51c"));
        QCOMPARE(stored.value("bit7"), QString("#b94a04"));
        QCOMPARE(stored.value("background"), QString("#000000"));
        QCOMPARE(stored.value("label"), QString("#4be51c"));
        // The Dark colours, from the dialog's table.
        QCOMPARE(backgroundOf(plot), QColor(Qt::black));
        QCOMPARE(plot->graph(Ch1)->pen().color(), QColor(75, 229, 28));
        QCOMPARE(plot->xAxis->basePen().color(), QColor(Qt::white));
    }

    void applyAfterPickingAnotherThemeShowsCustomInTheBox()
    {
        startWindow();
        chooseTheme(2);
        chooseTheme(1); // the dialog stays open
        QVERIFY(dialog->isVisible());
        dialogButton("applyButton")->click();
        QCOMPARE(themeBox()->currentIndex(), 2);
        QCOMPARE(backgroundOf(plot), QColor(Qt::black));
    }

    void bit3RefYellowChangesOnlyItsKeyAndItsPen()
    {
        startWindow();
        chooseTheme(2);
        {
            ChooserAnswer yellow(f.closer, Qt::yellow);
            dialogButton("bit3RefButton")->click();
            QCOMPARE(yellow.opened, 1);
            QCOMPARE(yellow.offered, QColor(Qt::blue)); // the chooser starts at the button's colour
        }
        QCOMPARE(iconColour(dialogButton("bit3RefButton")), QColor(Qt::yellow));
        QCOMPARE(iconColour(dialogButton("bit3Button")), QColor(225, 34, 4));
        dialogButton("applyButton")->click();

        const QMap<QString, QString> stored = storeContents();
        QCOMPARE(stored.value("bitref3"), QColor(Qt::yellow).name());
        QCOMPARE(stored.value("bit3"), QString("#e12204"));
        for (int n : {0, 1, 2, 4, 5, 6, 7})
            QCOMPARE(stored.value(QString("bitref%1").arg(n)), QString("#0000ff"));

        QCOMPARE(plot->graph(refLogicLine(3))->pen().color(), QColor(Qt::yellow));
        QCOMPARE(plot->graph(logicLine(3))->pen().color(), QColor(225, 34, 4));
        for (int n : {0, 1, 2, 4, 5, 6, 7})
            QCOMPARE(plot->graph(refLogicLine(n))->pen().color(), QColor(Qt::blue));
    }

    void cancelLeavesPlotAndStoreAlone()
    {
        CustomColors saved = CustomColors::defaults();
        saved.setColor("CH1", Qt::cyan);
        storeTheme(saved);
        startWindow(); // Dark
        const QMap<QString, QString> before = storeContents();

        chooseTheme(2);
        QCOMPARE(iconColour(dialogButton("ch1Button")), QColor(Qt::cyan));
        {
            ChooserAnswer yellow(f.closer, Qt::yellow);
            dialogButton("ch2Button")->click();
            QCOMPARE(yellow.opened, 1);
        }
        QCOMPARE(iconColour(dialogButton("ch2Button")), QColor(Qt::yellow));
        dialogButton("cancelButton")->click();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(storeContents(), before);
        QCOMPARE(plot->graph(Ch2)->pen().color(), QColor(Qt::red));
        QCOMPARE(plot->graph(Ch1)->pen().color(), QColor(75, 229, 28));

        // Picking "Custom" again shows the stored colours, not the cancelled one.
        chooseTheme(2);
        QCOMPARE(iconColour(dialogButton("ch2Button")), QColor(Qt::red));
        QCOMPARE(dialog->colorTable()->colorAt("CH2"), QColor(Qt::red));
        QCOMPARE(dialog->colorTable()->colorAt("CH1"), QColor(Qt::cyan));
    }

    void rejectedChooserChangesNothing()
    {
        startWindow();
        chooseTheme(2);
        ChooserAnswer reject(f.closer, QColor());
        dialogButton("gridButton")->click();
        QCOMPARE(reject.opened, 1);
        QCOMPARE(dialog->colorTable()->colorAt("GRID"), QColor(140, 140, 140));
        QCOMPARE(iconColour(dialogButton("gridButton")), QColor(140, 140, 140));
    }

    void storedCustomThemeIsAppliedAtStart()
    {
        CustomColors saved = CustomColors::defaults();
        saved.setColor("CH1", Qt::cyan);
        saved.setColor("GRID", QColor(10, 200, 10));
        saved.setColor("BACKGROUND", QColor(20, 20, 60));
        storeTheme(saved);
        QSettings("Halvorine Ombrix", "Settings").setValue("theme", 2);

        startWindow();
        QCOMPARE(themeBox()->currentIndex(), 2);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(plot->graph(Ch1)->pen().color(), QColor(Qt::cyan));
        QCOMPARE(plot->xAxis->grid()->pen().color(), QColor(10, 200, 10));
        QCOMPARE(backgroundOf(plot), QColor(20, 20, 60));
        // The grid modes take the stored grid colour too.
        f.child<QComboBox>("comboBoxGrid")->setCurrentIndex(1);
        QCOMPARE(plot->yAxis->grid()->pen().color(), QColor(10, 200, 10));
        QCOMPARE(plot->yAxis->grid()->pen().style(), Qt::DotLine);
    }

    void unreadableStoredColourIsTheDefault()
    {
        CustomColors stored = CustomColors::defaults();
        stored.setColor("CH1", Qt::cyan);
        stored.setColor("BACKGROUND", QColor(20, 20, 60));
        storeTheme(stored);
        {
            QSettings store(themestore::Organisation, themestore::Application);
            store.setValue("ch1", "not a colour");
            store.setValue("background", "#zzzzzz");
        }
        QSettings("Halvorine Ombrix", "Settings").setValue("theme", 2);
        startWindow();
        // The entries' Dark colours, not black: the swatch and the trace show.
        QCOMPARE(dialog->colorTable()->colorAt("CH1"), QColor(75, 229, 28));
        QCOMPARE(plot->graph(Ch1)->pen().color(), QColor(75, 229, 28));
        QCOMPARE(iconColour(dialogButton("ch1Button")), QColor(75, 229, 28));
        QCOMPARE(backgroundOf(plot), QColor(Qt::black));
        QCOMPARE(plot->graph(Ch2)->pen().color(), QColor(Qt::red));
        QVERIFY(!plot->toPixmap(200, 200).isNull()); // still draws
        chooseTheme(2);
        QVERIFY(dialog->isVisible());
    }

    // After a theme change the grid keeps the mode its control shows.
    void themeChangeKeepsTheGridMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("style");
        QTest::newRow("No Grid") << 0 << int(Qt::NoPen);
        QTest::newRow("Dots") << 1 << int(Qt::DotLine);
        QTest::newRow("Lines") << 2 << int(Qt::SolidLine);
        QTest::newRow("Full") << 3 << int(Qt::SolidLine);
    }
    void themeChangeKeepsTheGridMode()
    {
        QFETCH(int, mode);
        QFETCH(int, style);
        CustomColors saved = CustomColors::defaults();
        saved.setColor("GRID", QColor(10, 200, 10));
        storeTheme(saved);
        startWindow();
        f.child<QComboBox>("comboBoxGrid")->setCurrentIndex(mode);

        const struct
        {
            const char *name;
            std::function<void()> choose;
            QColor grid;
        } steps[] = {
            {"Light", [this] { chooseTheme(1); }, QColor("#C8C8C8")},
            {"Dark", [this] { chooseTheme(0); }, QColor(140, 140, 140)},
            {"Custom applied",
             [this] {
                 chooseTheme(2);
                 dialogButton("applyButton")->click();
             },
             QColor(10, 200, 10)},
            {"Light again", [this] { chooseTheme(1); }, QColor("#C8C8C8")},
        };
        for (const auto &step : steps) {
            step.choose();
            for (QCPAxis *axis : {plot->xAxis, plot->yAxis}) {
                const QPen pen = axis->grid()->pen();
                QVERIFY2(int(pen.style()) == style, step.name);
                if (style != Qt::NoPen)
                    QVERIFY2(pen.color() == step.grid, step.name);
            }
        }
    }
};

QUORVEL_TEST_MAIN(TestCustomThemeWindow)
#include "test_customtheme_window.moc"

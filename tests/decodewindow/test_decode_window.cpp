// A decoder added on the LOGIC page decodes the demo instrument's bus
// traffic: its bytes show in the decoder's row under the logic lines and in
// the annotation table, and the decoder comes back with the next window.

#include "quorveltest.h"
#include "windowfixture.h"

#include "app/decodepanel.h"
#include "bustraffic.h"
#include "display/decoderows.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSlider>
#include <QTableWidget>

using quorveltest::WindowFixture;

class TestDecodeWindow : public QObject
{
    Q_OBJECT
    WindowFixture f;

    // Chooses `value` in a combo box as the user does.
    static void choose(QComboBox *box, const QVariant &data)
    {
        const int index = box->findData(data);
        QVERIFY(index >= 0);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

private slots:
    void init() { f.init(100); }
    void cleanup() { f.cleanup(); }

    void uartRowShowsTheDemoBytes()
    {
        QSettings().remove("decoders");
        QVERIFY(f.startStreaming());
        // 128 us/div, triggered by the UART line (9600 Bd from the factory):
        // each frame starts at a message.
        f.child<QSlider>("samplingSlider")->setValue(4);
        f.child<QComboBox>("comboBoxTrigSource")->setCurrentIndex(4); // bit 2
        f.child<QRadioButton>("radioButtonNormal")->click();

        auto *panel = f.child<DecodePanel>("decodePanel");
        f.child<QPushButton>("decodersButton")->click();
        QVERIFY(panel->isVisible());
        choose(f.child<QComboBox>("decoderChoice"), "uart");
        f.child<QPushButton>("decoderAdd")->click();
        QCOMPARE(panel->stacks().size(), 1);
        choose(f.child<QComboBox>("channel_rx"), 2);
        choose(f.child<QComboBox>("option_format"), "ascii");
        auto *baud = f.child<QLineEdit>("option_baudrate");
        baud->setText("9600");
        emit baud->editingFinished();
        QCOMPARE(panel->stacks()[0].decoders[0].options.value("baudrate").toLongLong(), 9600LL);
        QCOMPARE(panel->stacks()[0].decoders[0].channels.value("rx"), 2);

        // The message starts with 'T'; the table and the row show it.
        auto *table = panel->table();
        const QString first = QString(QChar(quorvelsim::BusTraffic::uartMessage(0).at(0)));
        auto tableHas = [&] {
            for (int r = 0; r < table->rowCount(); ++r)
                if (table->item(r, 1)->text() == "uart" && table->item(r, 2)->text() == "RX" &&
                    table->item(r, 3)->text() == first)
                    return true;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(tableHas(), 10000);
        bool band = false;
        for (const DecodeRowsLayer::Band &b : panel->rowsLayer()->bands())
            band = band || (b.texts.value(0) == first && b.x1 > b.x0); // at the half-record time bases part of the record lies beyond the screen
        QVERIFY(band);
        QVERIFY(panel->rowsLayer()->rowCount() >= 1);
        QVERIFY(panel->tableCsv().startsWith("time_s,decoder,row,text\n"));
        QVERIFY(panel->tableCsv().contains(",uart,RX," + first.toUtf8() + "\n"));

        // Kept in the settings: a new window has the same decoder.
        const QString kept = decode::stackText(panel->stacks()[0]);
        f.cleanup();
        f.init(100);
        QVERIFY(f.startConnected());
        const auto stacks = f.child<DecodePanel>("decodePanel")->stacks();
        QCOMPARE(stacks.size(), 1);
        QCOMPARE(decode::stackText(stacks[0]), kept);
        f.child<QPushButton>("decoderRemove")->click();
        QVERIFY(f.child<DecodePanel>("decodePanel")->stacks().isEmpty());
        QVERIFY(QSettings().value("decoders/stacks").toStringList().isEmpty());
    }

    void textFitsItsBand()
    {
        const QFontMetrics metrics(QFont("Liberation Sans", 9));
        const QStringList texts{"Address write: 50", "AW: 50", "50"};
        QCOMPARE(DecodeRowsLayer::fittingText(texts, metrics, 400), texts[0]);
        const QString mid = DecodeRowsLayer::fittingText(texts, metrics, metrics.horizontalAdvance("AW: 50") + 6);
        QCOMPARE(mid, texts[1]);
        const QString shortened = DecodeRowsLayer::fittingText({"Frame error"}, metrics, metrics.horizontalAdvance("Fram") + 4);
        QVERIFY(shortened.endsWith(QChar(0x2026)) && shortened.size() < 11);
        QVERIFY(DecodeRowsLayer::fittingText(texts, metrics, 3).isEmpty());
        QVERIFY(DecodeRowsLayer::rowColor(0) != DecodeRowsLayer::rowColor(1));
    }
};

QUORVEL_TEST_MAIN(TestDecodeWindow)
#include "test_decode_window.moc"

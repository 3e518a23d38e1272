// The waveform generator page against the simulated instrument.
#include "instrumentwindow.h"

#include "display/plotwidget.h"
#include "instruments/customwave.h"
#include "generator.h"

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>

#include <set>

using namespace instrumentwindow;

class TestGeneratorWindow : public QObject
{
    Q_OBJECT

    WindowFixture f;

    template <typename T> T *child(const char *name) { return f.child<T>(name); }

    // The desired frequency of the last frequency request, in hundredths.
    static qint64 lastRequest()
    {
        const QVector<sim::Command> requests = sim::commandsWithLetter('c');
        if (requests.isEmpty())
            return -1;
        return qint64(requests.last().value) << 16 | requests.last().index;
    }

    // Answers the file dialog Open CSV opens with `path`, typed into it and
    // accepted as a user does; returns false when no dialog came. With
    // `vanish`, the file is removed as the dialog closes, before the window
    // opens it (a file on a medium taken away, say).
    bool openCsvAnswering(const QString &path, bool vanish = false)
    {
        bool answered = false;
        f.closer.custom = [&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            auto *nameEdit = dialog ? dialog->findChild<QLineEdit *>("fileNameEdit") : nullptr;
            if (!nameEdit)
                return false; // the fixture cancels it
            nameEdit->setText(path);
            static_cast<QDialog *>(dialog)->accept();
            answered = dialog->result() == QDialog::Accepted;
            if (answered && vanish)
                QFile::remove(path);
            return true;
        };
        child<QPushButton>("openCSVButton")->click();
        f.closer.custom = nullptr;
        return answered;
    }

private slots:
    void init()
    {
        f.init(100);
        QVERIFY(f.startConnected(QSize(900, 900)));
        child<QTabWidget>("mainTabWidget")->setCurrentIndex(2);
        sim::clearCommandLog();
    }
    void cleanup() { f.cleanup(); }

    // Connecting reads the generator settings into the page and asks for
    // nothing: the instrument keeps its generator registers and frequency.
    void connectLeavesTheGeneratorAsItWas()
    {
        f.cleanup();
        f.init(100);
        // Values the controls show exactly, and a frequency the slider cannot show.
        sim::pokeRegister(38, 2);    // duty 0.781 %
        sim::pokeRegister(39, 0xF6); // offset 0.156 V
        sim::pokeRegister(33, 100);  // sweep start above the form's end
        sim::pokeRegister(34, 200);
        const quint32 hundredths = 123456; // 1234.56 Hz
        for (int i = 0; i < 4; ++i)
            sim::pokeRegister(40 + i, quint8(hundredths >> (8 * i)));
        const QByteArray before = sim::settingsBlock();
        QVERIFY(f.startConnected(QSize(900, 900)));
        QVERIFY(f.waitForFrames(2));
        QCOMPARE(sim::settingsBlock().mid(33), before.mid(33));
        for (const auto &w : registerWrites())
            QVERIFY2(w.first < 33, qPrintable(QString("register %1 written").arg(w.first)));
        QCOMPARE(sim::commandsWithLetter('c').size(), 0);
        QCOMPARE(child<QDoubleSpinBox>("doubleSpinBoxDuty")->value(), 0.781);
        QCOMPARE(child<QSlider>("offsetSlider")->value(), 10);
        QCOMPARE(child<QSlider>("sweepStartFreqSlider")->value(), 100);
        QCOMPARE(child<QLineEdit>("actualFreqText")->text(), QStringLiteral("1.23762"));
    }

    // Each control writes its register, once, with the value it stands for.
    void controlsWriteTheirRegisters_data()
    {
        using quorveltest::ControlAction;
        quorveltest::addControlColumn();
        const auto click = ControlAction::Click;
        const auto set = ControlAction::SetValue;
        quorveltest::addControlRow("noise", "radioButtonNoise", click, 0, {{37, 0}});
        quorveltest::addControlRow("sine", "radioButtonSine", click, 0, {{37, 1}});
        quorveltest::addControlRow("square", "radioButtonSquare", click, 0, {{37, 2}});
        quorveltest::addControlRow("triangle", "radioButtonTriangle", click, 0, {{37, 3}});
        quorveltest::addControlRow("expo", "radioButtonExpo", click, 0, {{37, 4}});
        quorveltest::addControlRow("custom", "radioButtonCustom", click, 0, {{37, 5}});
        quorveltest::addControlRow("amplitude 128", "amplitudeSlider", set, 128, {{36, 0x80}});
        quorveltest::addControlRow("amplitude 0", "amplitudeSlider", set, 0, {{36, 0}});
        quorveltest::addControlRow("amplitude 17", "amplitudeSlider", set, 17, {{36, 0xEF}});
        // The nearest step: truncation wrote 1 for duty 2 and -9 for offset 10.
        quorveltest::addControlRow("duty 2", "dutyCycleSlider", set, 2, {{38, 2}});
        quorveltest::addControlRow("duty 255", "dutyCycleSlider", set, 255, {{38, 255}});
        quorveltest::addControlRow("offset 10", "offsetSlider", set, 10, {{39, 0xF6}});
        quorveltest::addControlRow("offset -127", "offsetSlider", set, -127, {{39, 127}});
        quorveltest::addControlRow("offset 128", "offsetSlider", set, 128, {{39, 0x80}});
        quorveltest::addControlRow("sweep speed", "sweepSpeedSlider", set, 100, {{35, 100}});
        quorveltest::addControlRow("sweep start", "sweepStartFreqSlider", set, 30, {{33, 30}});
        quorveltest::addControlRow("sweep end", "sweepEndFreqSlider", set, 200, {{34, 200}});
        quorveltest::addControlRow("duty spin box", "doubleSpinBoxDuty", ControlAction::SetDouble, 25.0,
                                   {{38, 64}});
    }
    void controlsWriteTheirRegisters()
    {
        QFETCH(quorveltest::ControlRow, row);
        QUORVEL_CHECK_CONTROL_ROW(f, row);
    }

    // The spin boxes show the slider's value kept to three decimals.
    void spinBoxesFollowTheirSliders()
    {
        child<QSlider>("dutyCycleSlider")->setValue(2);
        QCOMPARE(child<QDoubleSpinBox>("doubleSpinBoxDuty")->value(), 0.781);
        child<QSlider>("offsetSlider")->setValue(10);
        QCOMPARE(child<QDoubleSpinBox>("doubleSpinBoxOffset")->value(), 0.156);
        child<QSlider>("amplitudeSlider")->setValue(100);
        QCOMPARE(child<QDoubleSpinBox>("doubleSpinBoxAmp")->value(), 3.125);
        child<QSlider>("sweepSpeedSlider")->setValue(7);
        QCOMPARE(child<QLineEdit>("sweepSpeedText")->text(), QStringLiteral("7"));

        // The spin boxes do not move the sliders.
        child<QDoubleSpinBox>("doubleSpinBoxAmp")->setValue(1.0);
        QCOMPARE(child<QSlider>("amplitudeSlider")->value(), 100);
        QCOMPARE(int(sim::peekRegister(36)), 0xE0);
    }

    void sweepStartNeverPassesTheEnd()
    {
        auto *start = child<QSlider>("sweepStartFreqSlider");
        auto *end = child<QSlider>("sweepEndFreqSlider");
        end->setValue(100);
        start->setValue(150); // above the end: snaps back
        QCOMPARE(start->value(), 100);
        QCOMPARE(lastWrite(33), 100);
        start->setValue(40);
        end->setValue(20); // below the start: raised to it
        QCOMPARE(end->value(), 40);
        QCOMPARE(lastWrite(34), 40);
        QVERIFY(sim::peekRegister(33) <= sim::peekRegister(34));
        // No write ever put the start above the end the instrument held.
        int held = -1;
        for (const auto &w : registerWrites()) {
            if (w.first == 34)
                held = w.second;
            if (w.first == 33 && held >= 0)
                QVERIFY(w.second <= held);
        }
    }

    // Slider and range give the desired frequency; the request and the
    // actual-frequency read-out change together, and the read-out agrees
    // with the instrument's own timer.
    void frequencyRequestAndReadout_data()
    {
        QTest::addColumn<QString>("range");
        QTest::addColumn<int>("slider");
        QTest::addColumn<qint64>("hundredths");
        QTest::addColumn<QString>("readout");
        QTest::addColumn<QString>("unit");
        QTest::newRow("10: 1 Hz") << "radioButton10" << 10 << qint64(100) << "1"
                                  << "Hz";
        QTest::newRow("100: 50 Hz") << "radioButton100" << 50 << qint64(5000) << "50"
                                    << "Hz";
        QTest::newRow("1K: 500 Hz") << "radioButton1K" << 50 << qint64(50000) << "500"
                                    << "Hz";
        QTest::newRow("10K: 1200 Hz") << "radioButton10K" << 12 << qint64(120000) << "1.20192"
                                      << "kHz";
        QTest::newRow("100K: 100 kHz") << "radioButton100K" << 100 << qint64(10000000) << "100"
                                       << "kHz";
    }
    void frequencyRequestAndReadout()
    {
        QFETCH(QString, range);
        QFETCH(int, slider);
        QFETCH(qint64, hundredths);
        QFETCH(QString, readout);
        QFETCH(QString, unit);
        child<QRadioButton>(range.toLatin1().constData())->click();
        child<QSlider>("frequencySlider")->setValue(slider);
        QCOMPARE(lastRequest(), hundredths);
        QCOMPARE(child<QLineEdit>("actualFreqText")->text(), readout);
        QCOMPARE(child<QLabel>("labelHertz")->text(), unit);
        // The instrument holds the request and its timer makes what the read-out says.
        quint32 held = 0;
        for (int i = 0; i < 4; ++i)
            held |= quint32(sim::peekRegister(40 + i)) << (8 * i);
        QCOMPARE(qint64(held), hundredths);
        const double actual = sim::Generator::actualFrequency(held);
        const double shown = readout.toDouble() * (unit == "kHz" ? 1000 : 1);
        QVERIFY2(qAbs(actual - shown) <= actual * 1e-5, qPrintable(QString::number(actual)));
    }

    // Typing is not sent; Enter (editing finished with focus) sends.
    void typedFrequencyIsSentOnEnter()
    {
        auto *box = child<QDoubleSpinBox>("doubleSpinBoxDesiredFreq");
        f.get()->activateWindow();
        box->setFocus();
        QVERIFY(QTest::qWaitFor([&] { return box->hasFocus(); }, 2000));
        const int before = sim::commandsWithLetter('c').size();
        box->selectAll();
        QTest::keyClicks(box, "1234.56");
        QCOMPARE(box->value(), 1234.56);
        QCOMPARE(sim::commandsWithLetter('c').size(), before);
        QTest::keyClick(box, Qt::Key_Enter);
        QCOMPARE(lastRequest(), qint64(123456));
        QCOMPARE(child<QLineEdit>("actualFreqText")->text(), QStringLiteral("1.23762"));
        QCOMPARE(child<QLabel>("labelHertz")->text(), QStringLiteral("kHz"));
    }

    // Save as Custom: the parsed 256 bytes go up, then the store request,
    // then the waveform register; CH1 then carries the custom wave.
    void saveAsCustomUploadsAndStores()
    {
        sim::setNoiseLevel(0);
        // Three levels, a third of the period each.
        QStringList values;
        for (int i = 0; i < 256; ++i)
            values << (i < 86 ? "127" : i < 171 ? "0" : "-127");
        child<QPlainTextEdit>("textEditCSV")
            ->setPlainText(values.mid(0, 100).join(",") + "\r\n" + values.mid(100).join("\n"));
        child<QSlider>("amplitudeSlider")->setValue(32); // 1 V
        child<QCheckBox>("checkBoxCH1Trace")->setChecked(true);
        child<QRadioButton>("radioButtonSine")->click();
        const int from = logSize();
        child<QPushButton>("saveAWGButton")->click();

        QByteArray expected;
        for (int i = 0; i < 256; ++i)
            expected.append(char(i < 86 ? 127 : i < 171 ? 0 : -127));
        const QStringList entries = logEntries(from);
        QCOMPARE(entries, QStringList({"l", "e", "b37=5"}));
        QCOMPARE(sim::commandsWithLetter('l').last().data, expected);
        QCOMPARE(sim::customWave(), expected);
        QVERIFY(child<QRadioButton>("radioButtonCustom")->isChecked());

        // The next frames: CH1 holds three levels, evenly spaced.
        auto *plot = child<PlotWidget>("plotterWidget");
        auto levels = [&] {
            std::set<double> seen;
            for (auto it = plot->graph(0)->data()->constBegin(); it != plot->graph(0)->data()->constEnd();
                 ++it)
                seen.insert(it->value);
            return seen;
        };
        QVERIFY(QTest::qWaitFor([&] { return levels().size() == 3; }, 5000));
        const std::set<double> seen = levels();
        const double low = *seen.begin(), mid = *std::next(seen.begin()), high = *seen.rbegin();
        QVERIFY(qAbs((high - mid) - (mid - low)) <= 2);
        QVERIFY(high - low > 50);
    }

    // A text shorter than 256 values changes only the samples it holds; the
    // rest keep what the last upload carried.
    void shortTextKeepsTheRestOfTheWave()
    {
        QStringList values;
        QByteArray first;
        for (int i = 0; i < 256; ++i) {
            values << QString::number(i / 2 - 64);
            first.append(char(i / 2 - 64));
        }
        auto *editor = child<QPlainTextEdit>("textEditCSV");
        editor->setPlainText(values.join(','));
        child<QPushButton>("saveAWGButton")->click();
        QCOMPARE(sim::customWave(), first);
        editor->setPlainText("1,2\r\n3,,4");
        child<QPushButton>("saveAWGButton")->click();
        QCOMPARE(sim::customWave(), QByteArray("\x01\x02\x03\x04", 4) + first.mid(4));
        QCOMPARE(child<QLabel>("notifLabel")->text(), QStringLiteral("Custom wave uploaded: 4 values."));
        QCOMPARE(child<QLabel>("customWaveStatusLabel")->text(), QStringLiteral("Custom wave uploaded: 4 values."));
    }

    // A value the instrument cannot take refuses the whole text: nothing is
    // sent, the status line names the line and the value, the wave and the
    // chosen waveform stay as they were.
    void badValuesAreRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("decimal point first") << "1.5,300,abc" << "line 1: \"1.5\" is not a whole number";
        QTest::newRow("out of range on line 2") << "1,2\n300" << "line 2: 300 is outside -127 to 127";
        QTest::newRow("not a number on line 3") << "1\r\n2\r\nabc" << "line 3: \"abc\" is not a whole number";
    }
    void badValuesAreRefused()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        const QByteArray before = sim::customWave();
        child<QRadioButton>("radioButtonSine")->click();
        child<QPlainTextEdit>("textEditCSV")->setPlainText(text);
        const int from = logSize();
        child<QPushButton>("saveAWGButton")->click();
        QCOMPARE(logEntries(from), QStringList());
        QCOMPARE(sim::customWave(), before);
        QVERIFY(child<QRadioButton>("radioButtonSine")->isChecked());
        const QString status = child<QLabel>("notifLabel")->text();
        QVERIFY2(status.startsWith("Custom wave not uploaded: " + message), qPrintable(status));
        QVERIFY2(status.contains("-127 to 127"), qPrintable(status));
        // Also on the page, where the user pressed the button.
        QCOMPARE(child<QLabel>("customWaveStatusLabel")->text(), status);
        QVERIFY(child<QLabel>("customWaveStatusLabel")->isVisible());
    }

    // The page names the expected format in a label of its own, above the
    // editor: it stays in sight while a text is typed.
    void formatIsShownAboveTheText()
    {
        auto *label = child<QLabel>("customFormatLabel");
        auto *editor = child<QPlainTextEdit>("textEditCSV");
        editor->setPlainText("1,2,3");
        QTRY_VERIFY(label->isVisible());
        QCOMPARE(label->text(), customwave::formatHint());
        QVERIFY2(label->height() >= label->heightForWidth(label->width()), "the text is cut");
        QCOMPARE(label->parentWidget(), editor->parentWidget());
        QVERIFY(label->geometry().bottom() < editor->geometry().top());
    }

    // Open CSV puts the file's text in the editor and sends nothing; a file
    // that cannot be opened says so in the status line.
    void openCsv()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("wave.csv"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("10,20\r\n-30");
        file.close();
        auto *editor = child<QPlainTextEdit>("textEditCSV");
        auto *status = child<QLabel>("notifLabel");
        editor->setPlainText("old");
        status->clear();
        const int from = logSize();
        QVERIFY(openCsvAnswering(file.fileName()));
        QCOMPARE(editor->toPlainText(), QStringLiteral("10,20\n-30"));
        QCOMPARE(status->text(), QString());
        QCOMPARE(logSize(), from);

        QVERIFY(openCsvAnswering(file.fileName(), true));
        QVERIFY(!file.exists());
        QCOMPARE(editor->toPlainText(), QString());
        QVERIFY2(status->text().startsWith("File wave.csv could not be opened"), qPrintable(status->text()));
    }

    void saveWhileDisconnectedDoesNothing()
    {
        f.cleanup();
        f.init();
        f.startWithoutInstrument();
        QTRY_COMPARE(child<QLabel>("infoLabel")->text(), QStringLiteral("Cannot open device"));
        sim::clearCommandLog();
        child<QPlainTextEdit>("textEditCSV")->setPlainText("5,5,5");
        child<QRadioButton>("radioButtonSine")->setChecked(true);
        child<QPushButton>("saveAWGButton")->click();
        QVERIFY(child<QRadioButton>("radioButtonSine")->isChecked());
        QVERIFY(sim::commandLog().isEmpty());
    }
};

QUORVEL_TEST_MAIN(TestGeneratorWindow)
#include "test_generator_window.moc"

// The main window's form: every object that the handlers and the other
// subsystems name exists with its kind; the form's own start values, texts and
// tool tips; the pages in their order; exclusive radio groups; connect-by-name
// without unmatched slots; and a layout in which, at the form's size and at a
// maximised size, nothing overlaps and nothing is squeezed below its minimum.

#include "app/quorvelinterface.h"
#include "display/plotwidget.h"
#include "quorveltest.h"
#include "simcontrol.h"
#include "ui_quorvelinterface.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>

#include <memory>

namespace {

QStringList *capturedMessages = nullptr;
QtMessageHandler previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (capturedMessages)
        capturedMessages->append(message);
    if (previousHandler)
        previousHandler(type, context, message);
}

struct ObjectKind
{
    const char *name;
    const char *className;
};

// Every object of the form that a handler, a decode or encode step, a drawing
// step or a style rule names, with the kind it has to be.
const ObjectKind expectedObjects[] = {
    // Window frame, plot side and pages
    {"centralWidget", "QWidget"},
    {"splitter", "QSplitter"},
    {"widget", "QWidget"},
    {"plotterWidget", "PlotWidget"},
    {"plotterWidget", "QCustomPlot"},
    {"ch1ColorLabel", "QLabel"},
    {"ch1Label", "QLabel"},
    {"ch2ColorLabel", "QLabel"},
    {"ch2Label", "QLabel"},
    {"timeLabel", "QLabel"},
    {"horizontalScrollBar", "QScrollBar"},
    {"mainTabWidget", "QTabWidget"},
    {"osciloscopeTab", "QWidget"},
    {"Meter", "QWidget"},
    {"awgTab", "QWidget"},
    {"protocolSnifferTab", "QWidget"},
    {"optionsTab", "QWidget"},
    {"tab", "QWidget"},
    {"label_19", "QLabel"},
    // Oscilloscope page
    {"samplingSlider", "QSlider"},
    {"xyMode", "QAbstractButton"},
    {"rollMode", "QAbstractButton"},
    {"tabWidget1", "QTabWidget"},
    {"ch1GainSlider", "QSlider"},
    {"ch2GainSlider", "QSlider"},
    {"ch1PositionSlider", "QSlider"},
    {"ch2PositionSlider", "QSlider"},
    {"checkBoxCH1Trace", "QCheckBox"},
    {"checkBoxCH1Invert", "QCheckBox"},
    {"checkBoxCH1Average", "QCheckBox"},
    {"checkBoxCH1Math", "QCheckBox"},
    {"radioButtonCH1Sub", "QRadioButton"},
    {"radioButtonCH1Multiply", "QRadioButton"},
    {"checkBoxCH2Trace", "QCheckBox"},
    {"checkBoxCH2Invert", "QCheckBox"},
    {"checkBoxCH2Average", "QCheckBox"},
    {"checkBoxCH2Math", "QCheckBox"},
    {"radioButtonCH2Sub", "QRadioButton"},
    {"radioButtonCH2Multiply", "QRadioButton"},
    {"vdcTextBox", "QLineEdit"},
    {"vppTextBox", "QLineEdit"},
    {"freqTextBox", "QLineEdit"},
    {"vdcTextBox_2", "QLineEdit"},
    {"vppTextBox_2", "QLineEdit"},
    {"freqTextBox_2", "QLineEdit"},
    {"checkBoxCHDTrace", "QCheckBox"},
    {"checkBoxCHDInvert", "QCheckBox"},
    {"checkBoxCHDThick0", "QCheckBox"},
    {"checkBoxCHD0", "QCheckBox"},
    {"checkBoxCHD1", "QCheckBox"},
    {"checkBoxCHD2", "QCheckBox"},
    {"checkBoxCHD3", "QCheckBox"},
    {"checkBoxCHD4", "QCheckBox"},
    {"checkBoxCHD5", "QCheckBox"},
    {"checkBoxCHD6", "QCheckBox"},
    {"checkBoxCHD7", "QCheckBox"},
    {"chdPositionSlider", "QSlider"},
    {"chdSizeSlider", "QSlider"},
    {"chdPullSlider", "QSlider"},
    {"checkBox", "QCheckBox"},
    {"checkBox_2", "QCheckBox"},
    {"checkBoxFFTTrace", "QCheckBox"},
    {"checkBoxIQFFT", "QCheckBox"},
    {"checkBoxLogY", "QCheckBox"},
    {"groupBoxPlot", "QGroupBox"},
    {"checkBoxFFTCH1", "QCheckBox"},
    {"checkBoxFFTCH2", "QCheckBox"},
    {"radioButtonRect", "QRadioButton"},
    {"radioButtonHamming", "QRadioButton"},
    {"radioButtonHann", "QRadioButton"},
    {"radioButtonBlackman", "QRadioButton"},
    {"verticalSlider_8", "QSlider"},
    {"captureButton", "QPushButton"},
    {"refCH1", "QCheckBox"},
    {"refCH2", "QCheckBox"},
    {"refLogic", "QCheckBox"},
    {"ch1CaptureSlider", "QSlider"},
    {"ch2CaptureSlider", "QSlider"},
    {"chdCaptureSlider", "QSlider"},
    {"comboBoxTrigSource", "QComboBox"},
    {"radioButtonRising", "QRadioButton"},
    {"radioButtonFalling", "QRadioButton"},
    {"radioButtonDual", "QRadioButton"},
    {"radioButtonPositive", "QRadioButton"},
    {"radioButtonNegative", "QRadioButton"},
    {"radioButtonWindow", "QRadioButton"},
    {"radioButtonFree", "QRadioButton"},
    {"radioButtonNormal", "QRadioButton"},
    {"radioButtonAuto", "QRadioButton"},
    {"radioButtonSingle", "QRadioButton"},
    {"doubleSpinBoxTrigHold", "QDoubleSpinBox"},
    {"doubleSpinBoxTrigAuto", "QDoubleSpinBox"},
    {"stopButton", "QPushButton"},
    {"forceButton", "QPushButton"},
    {"autoButton", "QPushButton"},
    {"elasticMode", "QAbstractButton"},
    {"checkBoxInvert", "QCheckBox"},
    {"checkBoxFlip", "QCheckBox"},
    {"checkBoxVectors", "QCheckBox"},
    {"checkBoxShowSettings", "QCheckBox"},
    // Meter page
    {"mmTabWidget", "QTabWidget"},
    {"tab_3", "QWidget"},
    {"tab_2", "QWidget"},
    {"tab_4", "QWidget"},
    {"vppChannel1", "QLabel"},
    {"vppChannel2", "QLabel"},
    {"vdcChannel1", "QLabel"},
    {"vdcChannel2", "QLabel"},
    {"frequencyValue", "QLabel"},
    {"fcR10", "QRadioButton"},
    {"fcR7", "QRadioButton"},
    {"fcR6", "QRadioButton"},
    {"fcR5", "QRadioButton"},
    {"fcR4", "QRadioButton"},
    {"fcR3", "QRadioButton"},
    {"fcR2", "QRadioButton"},
    {"fcR1", "QRadioButton"},
    {"fcR0", "QRadioButton"},
    {"radioFreq", "QRadioButton"},
    {"radioPulse", "QRadioButton"},
    // Waveform generator page
    {"radioButtonNoise", "QRadioButton"},
    {"radioButtonSine", "QRadioButton"},
    {"radioButtonSquare", "QRadioButton"},
    {"radioButtonTriangle", "QRadioButton"},
    {"radioButtonExpo", "QRadioButton"},
    {"radioButtonCustom", "QRadioButton"},
    {"amplitudeSlider", "QSlider"},
    {"doubleSpinBoxAmp", "QDoubleSpinBox"},
    {"dutyCycleSlider", "QSlider"},
    {"doubleSpinBoxDuty", "QDoubleSpinBox"},
    {"offsetSlider", "QSlider"},
    {"doubleSpinBoxOffset", "QDoubleSpinBox"},
    {"radioButton10", "QRadioButton"},
    {"radioButton100", "QRadioButton"},
    {"radioButton1K", "QRadioButton"},
    {"radioButton10K", "QRadioButton"},
    {"radioButton100K", "QRadioButton"},
    {"frequencySlider", "QSlider"},
    {"doubleSpinBoxDesiredFreq", "QDoubleSpinBox"},
    {"actualFreqText", "QLineEdit"},
    {"labelHertz", "QLabel"},
    {"checkBoxSweepFrequency", "QCheckBox"},
    {"checkBoxSweepAmplitude", "QCheckBox"},
    {"checkBoxSweepDutyCycle", "QCheckBox"},
    {"checkBoxSweepOffset", "QCheckBox"},
    {"checkBoxDirection", "QCheckBox"},
    {"checkBoxPingPong", "QCheckBox"},
    {"checkBoxAccelerate", "QCheckBox"},
    {"checkBoxAccelDirection", "QCheckBox"},
    {"sweepSpeedSlider", "QSlider"},
    {"sweepStartFreqSlider", "QSlider"},
    {"sweepEndFreqSlider", "QSlider"},
    {"sweepSpeedText", "QLineEdit"},
    {"startFreqText", "QLineEdit"},
    {"endFreqText", "QLineEdit"},
    {"labelUnitStart", "QLabel"},
    {"labelUnitEnd", "QLabel"},
    {"textEditCSV", "QPlainTextEdit"},
    {"openCSVButton", "QPushButton"},
    {"saveAWGButton", "QPushButton"},
    // Protocol sniffer page
    {"protocolTabWidget", "QTabWidget"},
    {"spiTab", "QWidget"},
    {"i2cTab", "QWidget"},
    {"uartTab", "QWidget"},
    {"modeGroupBox", "QGroupBox"},
    {"radioButtonSniffNormal", "QRadioButton"},
    {"radioButtonSniffSingle", "QRadioButton"},
    {"checkBoxCircular", "QCheckBox"},
    {"checkBoxASCII", "QCheckBox"},
    {"pauseSnifferButton", "QPushButton"},
    {"startSnifferButton", "QPushButton"},
    {"comboBoxCPOL", "QComboBox"},
    {"comboBoxCPHA", "QComboBox"},
    {"mosiTextEdit", "QPlainTextEdit"},
    {"misoTextEdit", "QPlainTextEdit"},
    {"i2cTextEdit", "QTextEdit"},
    {"comboBoxBaud", "QComboBox"},
    {"comboBoxParity", "QComboBox"},
    {"comboBoxStopBits", "QComboBox"},
    {"rxTextEdit", "QTextEdit"},
    {"txTextEdit", "QPlainTextEdit"},
    // Options page
    {"groupBox_10", "QGroupBox"},
    {"saveWave", "QPushButton"},
    {"loadWave", "QPushButton"},
    {"clearWaveButton", "QPushButton"},
    {"screenShotButton", "QPushButton"},
    {"pushButton_4", "QPushButton"},
    {"playButton", "QPushButton"},
    {"notifLabel", "QLabel"},
    {"label_13", "QLabel"},
    {"comboBoxTheme", "QComboBox"},
    {"comboBoxGrid", "QComboBox"},
    {"checkBoxPersistence", "QCheckBox"},
    {"decaySlider", "QSlider"},
    {"intensitySlider", "QSlider"},
    {"checkBox_21", "QCheckBox"},
    {"comboBoxAverage", "QComboBox"},
    {"checkBoxCursorAuto", "QCheckBox"},
    {"checkBoxCursorTrack", "QCheckBox"},
    {"checkBoxCursorVertical", "QCheckBox"},
    {"radioButtonCursorCH1", "QRadioButton"},
    {"radioButtonCursorCH2", "QRadioButton"},
    {"radioButtonCursorNone", "QRadioButton"},
    {"groupBox_12", "QGroupBox"},
    {"checkBox_24", "QCheckBox"},
    {"connectButton", "QPushButton"},
    {"rescanButton", "QPushButton"},
    {"infoLabel", "QLabel"},
    {"radioButton", "QRadioButton"},
    {"radioButton_2", "QRadioButton"},
    {"label_72", "QLabel"},
    {"comboBox_9", "QComboBox"},
    {"connectIcon", "QLabel"},
    {"connectLabel", "QLabel"},
    {"groupBox_13", "QGroupBox"},
    {"currentFirwareVersion", "QLineEdit"},
    {"latestFirmWareVersion", "QLineEdit"},
    {"upgradeFirmware", "QPushButton"},
    {"restoreSettingButton", "QPushButton"},
};

// The window's slots that connect-by-name binds to the form (all of them but
// on_sizeChanged, which the window connects itself).
const char *const formSlots[] = {
    "on_playButton_clicked()", "on_autoButton_clicked()", "on_connectButton_clicked()", "on_stopButton_clicked()",
    "on_samplingSlider_valueChanged(int)", "on_ch1PositionSlider_valueChanged(int)",
    "on_ch2PositionSlider_valueChanged(int)", "on_openCSVButton_clicked()", "on_saveAWGButton_clicked()",
    "on_checkBoxCH1Math_clicked()", "on_checkBoxCH1Invert_clicked()", "on_checkBoxCH1Trace_clicked()",
    "on_checkBoxCH1Average_clicked()", "on_checkBoxCH2Math_clicked()", "on_checkBoxCH2Invert_clicked()",
    "on_checkBoxCH2Trace_clicked()", "on_checkBoxCH2Average_clicked()", "on_chdPullSlider_valueChanged(int)",
    "on_checkBoxCircular_clicked()", "on_rollMode_clicked()", "on_forceButton_clicked()",
    "on_ch1GainSlider_valueChanged(int)", "on_ch2GainSlider_valueChanged(int)",
    "on_horizontalScrollBar_valueChanged(int)", "on_comboBoxTrigSource_currentIndexChanged(int)",
    "on_chdPositionSlider_valueChanged(int)", "on_sweepStartFreqSlider_valueChanged(int)",
    "on_sweepEndFreqSlider_valueChanged(int)", "on_sweepSpeedSlider_valueChanged(int)",
    "on_doubleSpinBoxAmp_valueChanged(double)", "on_amplitudeSlider_valueChanged(int)",
    "on_doubleSpinBoxDuty_valueChanged(double)", "on_dutyCycleSlider_valueChanged(int)",
    "on_doubleSpinBoxOffset_valueChanged(double)", "on_offsetSlider_valueChanged(int)",
    "on_doubleSpinBoxDesiredFreq_valueChanged(double)", "on_frequencySlider_valueChanged(int)",
    "on_checkBoxVectors_clicked()", "on_comboBoxGrid_currentIndexChanged(int)", "on_checkBoxCursorAuto_clicked()",
    "on_checkBoxCursorTrack_clicked()", "on_checkBoxCursorVertical_clicked()", "on_startSnifferButton_clicked()",
    "on_protocolTabWidget_currentChanged(int)", "on_captureButton_clicked()", "on_screenShotButton_clicked()",
    "on_saveWave_clicked()", "on_loadWave_clicked()", "on_clearWaveButton_clicked()",
    "on_intensitySlider_valueChanged(int)", "on_comboBoxTheme_activated(int)", "on_restoreSettingButton_clicked()",
    "on_pauseSnifferButton_clicked()", "on_pushButton_4_clicked()", "on_doubleSpinBoxDesiredFreq_editingFinished()",
    "on_rescanButton_clicked()", "on_mainTabWidget_currentChanged(int)", "on_mmTabWidget_currentChanged(int)",
};

// Radio buttons that choose one of several settings: within each list exactly
// one is checked at a time, and the lists do not affect each other.
const QVector<QStringList> exclusiveGroups = {
    {"radioButtonCH1Sub", "radioButtonCH1Multiply"},
    {"radioButtonCH2Sub", "radioButtonCH2Multiply"},
    {"radioButtonRising", "radioButtonFalling", "radioButtonDual", "radioButtonPositive", "radioButtonNegative",
     "radioButtonWindow"},
    {"radioButtonFree", "radioButtonNormal", "radioButtonAuto", "radioButtonSingle"},
    {"radioButtonRect", "radioButtonHamming", "radioButtonHann", "radioButtonBlackman"},
    {"radioButtonCursorCH1", "radioButtonCursorCH2", "radioButtonCursorNone"},
    {"radioButtonSniffNormal", "radioButtonSniffSingle"},
    {"radioButtonNoise", "radioButtonSine", "radioButtonSquare", "radioButtonTriangle", "radioButtonExpo",
     "radioButtonCustom"},
    {"radioButton10", "radioButton100", "radioButton1K", "radioButton10K", "radioButton100K"},
    {"fcR10", "fcR7", "fcR6", "fcR5", "fcR4", "fcR3", "fcR2", "fcR1", "fcR0"},
    {"radioFreq", "radioPulse"},
    {"radioButton", "radioButton_2"},
};

// Widgets placed on top of each other on purpose: the version text over the
// background picture of the About page.
const QVector<QPair<QString, QString>> intendedOverlaps = {{"aboutBackground", "label_19"}};

QWidget *pageOf(QWidget *w)
{
    for (; w; w = w->parentWidget()) {
        if (qobject_cast<QStackedWidget *>(w->parentWidget()))
            return w;
    }
    return nullptr;
}

QString groupTitleOf(QWidget *w)
{
    for (QWidget *p = w->parentWidget(); p; p = p->parentWidget()) {
        if (auto *box = qobject_cast<QGroupBox *>(p))
            return box->title();
    }
    return QString();
}

// A property of the form, or one of a few derived values that Qt does not
// offer as a property.
QVariant formValue(QWidget *w, const QByteArray &name)
{
    if (name == "size")
        return w->size();
    if (name == "pointSize")
        return w->font().pointSize();
    if (name == "groupTitle")
        return groupTitleOf(w);
    if (name == "items") {
        QStringList items;
        auto *combo = qobject_cast<QComboBox *>(w);
        for (int i = 0; combo && i < combo->count(); ++i)
            items << combo->itemText(i);
        return items;
    }
    if (name == "horizontalAlignment") {
        Qt::Alignment alignment;
        if (auto *label = qobject_cast<QLabel *>(w))
            alignment = label->alignment();
        else if (auto *edit = qobject_cast<QLineEdit *>(w))
            alignment = edit->alignment();
        return int(alignment & Qt::AlignHorizontal_Mask);
    }
    if (name == "hasIcon") {
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            return !button->icon().isNull();
        return !w->windowIcon().isNull();
    }
    if (name == "hasPixmap") {
        auto *label = qobject_cast<QLabel *>(w);
        return label && !label->pixmap(Qt::ReturnByValue).isNull();
    }
    return w->property(name.constData());
}

QString describe(const QWidget *w)
{
    return QString("%1 (%2) %3x%4 at %5,%6")
        .arg(w->objectName(), w->metaObject()->className())
        .arg(w->width())
        .arg(w->height())
        .arg(w->x())
        .arg(w->y());
}

bool isFormWidget(const QWidget *w)
{
    return !w->objectName().isEmpty() && !w->objectName().startsWith("qt_");
}

// Layout faults of everything visible in `root`: a widget smaller than its
// minimum size hint (clipped text or controls), a widget outside its parent,
// two siblings on top of each other, a tab bar that needs scrolling.
QStringList layoutFaults(QWidget *root)
{
    QStringList faults;
    const auto widgets = root->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        if (!w->isVisible() || !isFormWidget(w))
            continue;
        const QSize hint = w->minimumSizeHint();
        const QSizePolicy policy = w->sizePolicy();
        const bool tooNarrow = hint.width() > 0 && policy.horizontalPolicy() != QSizePolicy::Ignored
                               && w->width() < hint.width();
        const bool tooLow = hint.height() > 0 && policy.verticalPolicy() != QSizePolicy::Ignored
                            && w->height() < hint.height();
        if (tooNarrow || tooLow)
            faults << QString("%1 is smaller than its minimum %2x%3")
                          .arg(describe(w))
                          .arg(hint.width())
                          .arg(hint.height());
        QWidget *parent = w->parentWidget();
        if (parent && parent != root->parentWidget() && !QRect(QPoint(0, 0), parent->size()).contains(w->geometry()))
            faults << QString("%1 lies outside %2").arg(describe(w), describe(parent));
        if (auto *bar = qobject_cast<QTabBar *>(w)) {
            if (bar->sizeHint().width() > bar->parentWidget()->width())
                faults << QString("tabs of %1 need %2 pixels, have %3")
                              .arg(bar->parentWidget()->objectName())
                              .arg(bar->sizeHint().width())
                              .arg(bar->parentWidget()->width());
        }
    }
    for (QWidget *parent : widgets) {
        if (!parent->isVisible() || !parent->layout())
            continue;
        QList<QWidget *> children;
        for (QWidget *c : parent->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (c->isVisible() && isFormWidget(c) && !c->isWindow())
                children << c;
        }
        for (int i = 0; i < children.size(); ++i) {
            for (int j = i + 1; j < children.size(); ++j) {
                if (!children[i]->geometry().intersects(children[j]->geometry()))
                    continue;
                const QPair<QString, QString> pair(children[i]->objectName(), children[j]->objectName());
                const QPair<QString, QString> reversed(pair.second, pair.first);
                if (intendedOverlaps.contains(pair) || intendedOverlaps.contains(reversed))
                    continue;
                faults << QString("%1 overlaps %2").arg(describe(children[i]), describe(children[j]));
            }
        }
    }
    return faults;
}

// Proves that the messages of connect-by-name reach the capture.
class UnmatchedSlotProbe : public QObject
{
    Q_OBJECT

private slots:
    void on_missingObject_clicked() {}
};

} // namespace

class TestForm : public QObject
{
    Q_OBJECT

private:
    QStringList constructionMessages;
    std::unique_ptr<QuorvelInterface> window;
    // The bare form, as setupUi leaves it, before the window's constructor
    // changes any control.
    QMainWindow formWindow;
    Ui::QuorvelInterface form;

    QWidget *formWidget(const QString &name)
    {
        if (name == formWindow.objectName())
            return &formWindow;
        return formWindow.findChild<QWidget *>(name);
    }

private slots:
    void initTestCase()
    {
        QStringList messages;
        capturedMessages = &messages;
        previousHandler = qInstallMessageHandler(captureMessage);
        // The form's own start state: no instrument answers the start-up connect.
        quorvelsim::setFault(quorvelsim::Fault::NoDevice);
        window = std::make_unique<QuorvelInterface>();
        form.setupUi(&formWindow);
        UnmatchedSlotProbe probe;
        QTest::ignoreMessage(QtWarningMsg,
                             "QMetaObject::connectSlotsByName: No matching signal for on_missingObject_clicked()");
        QMetaObject::connectSlotsByName(&probe);
        qInstallMessageHandler(previousHandler);
        capturedMessages = nullptr;
        constructionMessages = messages;
    }

    void cleanupTestCase() { window.reset(); }

    void connectByNameBindsEverySlot()
    {
        QStringList unmatched;
        bool sawProbe = false;
        for (const QString &m : constructionMessages) {
            if (!m.contains("No matching signal"))
                continue;
            if (m.contains("on_missingObject_clicked"))
                sawProbe = true;
            else if (!m.contains("on_sizeChanged")) // connected by the window itself
                unmatched << m;
        }
        QVERIFY2(sawProbe, "the messages of connect-by-name were not captured");
        QVERIFY2(unmatched.isEmpty(), qPrintable(unmatched.join('\n')));
    }

    void windowHasObject_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("className");
        for (const ObjectKind &o : expectedObjects)
            QTest::addRow("%s %s", o.name, o.className) << QString(o.name) << QByteArray(o.className);
    }

    void windowHasObject()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, className);
        const auto found = window->findChildren<QObject *>(name);
        QVERIFY2(!found.isEmpty(), qPrintable(name + " is missing"));
        QCOMPARE(found.size(), 1);
        QVERIFY2(found.first()->inherits(className.constData()),
                 qPrintable(QString("%1 is a %2").arg(name, found.first()->metaObject()->className())));
    }

    void formSlotHasSignal_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QByteArray>("signal");
        for (const char *slot : formSlots) {
            // on_<object>_<signal>(<arguments>); object names may contain '_', signals do not.
            const QString s(slot);
            const int paren = s.indexOf('(');
            const QString head = s.left(paren).mid(3);
            const int split = head.lastIndexOf('_');
            QTest::newRow(slot) << head.left(split)
                                << QMetaObject::normalizedSignature(qPrintable(head.mid(split + 1) + s.mid(paren)));
        }
    }

    void formSlotHasSignal()
    {
        QFETCH(QString, object);
        QFETCH(QByteArray, signal);
        QObject *o = formWindow.findChild<QObject *>(object);
        QVERIFY2(o, qPrintable(object + " is missing"));
        QVERIFY2(o->metaObject()->indexOfSignal(signal.constData()) >= 0,
                 qPrintable(QString("%1 (%2) has no signal %3")
                                .arg(object, o->metaObject()->className(), QString::fromLatin1(signal))));
    }

    void formStartValue_data()
    {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("expected");
        const auto row = [](const char *object, const char *property, const QVariant &expected) {
            QTest::addRow("%s.%s", object, property) << QString(object) << QByteArray(property) << expected;
        };
        // The window itself and its two sides
        row("QuorvelInterface", "size", QSize(850, 850));
        row("QuorvelInterface", "pointSize", 9);
        row("QuorvelInterface", "hasIcon", true);
        row("QuorvelInterface", "documentMode", true);
        row("QuorvelInterface", "windowTitle", "Halvorine Ombrix Interface - Not Connected");
        row("plotterWidget", "minimumHeight", 400);
        row("ch1Label", "text", "CH1 = 0V/div");
        row("ch2Label", "text", "CH2 = 0V/div");
        row("timeLabel", "text", "Time = 0ms/div");
        row("horizontalScrollBar", "orientation", int(Qt::Horizontal));
        row("horizontalScrollBar", "minimum", 0);
        row("horizontalScrollBar", "maximum", 127);
        row("horizontalScrollBar", "value", 127);
        row("horizontalScrollBar", "invertedControls", true);
        row("mainTabWidget", "minimumWidth", 525);
        row("mainTabWidget", "maximumWidth", 525);
        row("mainTabWidget", "pointSize", 8);
        row("label_19", "text", "<b>Version:</b> 1.1.0.0");
        // Scope controls
        const auto range = [&](const char *object, const QVariant &min, const QVariant &max, const QVariant &value,
                               const QVariant &step) {
            row(object, "minimum", min);
            row(object, "maximum", max);
            row(object, "value", value);
            row(object, "singleStep", step);
        };
        range("samplingSlider", 0, 21, 10, 1);
        row("samplingSlider", "pageStep", 1);
        for (const char *gain : {"ch1GainSlider", "ch2GainSlider"}) {
            range(gain, 0, 6, 3, 1);
            row(gain, "pageStep", 1);
        }
        for (const char *position : {"ch1PositionSlider", "ch2PositionSlider"}) {
            range(position, -128, 127, 0, 16);
            row(position, "pageStep", 16);
        }
        range("chdPositionSlider", 0, 7, 3, 1);
        row("chdPositionSlider", "pageStep", 1);
        range("chdPullSlider", 0, 2, 1, 1);
        row("chdPullSlider", "pageStep", 1);
        range("chdSizeSlider", 0, 99, 0, 10);
        for (const char *capture : {"ch1CaptureSlider", "ch2CaptureSlider", "chdCaptureSlider"})
            range(capture, -128, 127, 0, 16);
        row("decaySlider", "minimum", 0);
        row("decaySlider", "maximum", 8);
        range("intensitySlider", 0, 10, 0, 1);
        range("doubleSpinBoxTrigHold", 0.0, 255.0, 0.0, 1.0);
        row("doubleSpinBoxTrigHold", "decimals", 0);
        row("doubleSpinBoxTrigHold", "suffix", " ms");
        range("doubleSpinBoxTrigAuto", 0.16384, 10.4858, 0.16384, 0.04096);
        row("doubleSpinBoxTrigAuto", "decimals", 5);
        row("doubleSpinBoxTrigAuto", "suffix", "s");
        row("comboBoxTrigSource", "items",
            QStringList{"CH1", "CH2", "Bit 0", "Bit 1", "Bit 2", "Bit 3", "Bit 4", "Bit 5", "Bit 6", "Bit 7", "EXT"});
        row("checkBoxCH1Trace", "text", "Trace");
        row("checkBoxCH1Invert", "text", "Invert");
        row("checkBoxCH1Average", "text", "Average");
        row("checkBoxCH1Math", "text", "Math");
        row("checkBoxCH2Trace", "text", "Trace");
        row("checkBoxCH2Invert", "text", "Invert");
        row("checkBoxCH2Average", "text", "Average");
        row("checkBoxCH2Math", "text", "Math");
        row("checkBoxCHDThick0", "text", "Thick 0");
        for (const char *box : {"vdcTextBox", "vppTextBox", "freqTextBox", "vdcTextBox_2", "vppTextBox_2",
                                "freqTextBox_2"})
            row(box, "readOnly", true);
        row("checkBox", "text", "Parallel");
        row("checkBox", "toolTip", "Shows the hexadecimal value of the 8 bit digital input lines");
        row("checkBox_2", "text", "Serial");
        row("checkBox_2", "toolTip",
            "Shows the hexadecimal value of the stream of bits on each channel: the bits the line shows, left to "
            "right, eight to a byte, the leftmost bit the most significant");
        row("checkBoxLogY", "text", "Log Y");
        row("checkBoxIQFFT", "text", "IQ FFT");
        row("xyMode", "text", "XY Mode");
        row("checkBoxVectors", "text", "Vectors");
        row("checkBoxShowSettings", "text", "Show Settings");
        row("radioButtonRising", "text", "Rising Edge");
        row("radioButtonFree", "text", "Free");
        row("radioButtonNormal", "text", "Normal");
        row("radioButtonAuto", "text", "Auto");
        row("radioButtonSingle", "text", "Single");
        row("autoButton", "text", "AUTO");
        // Meter
        for (const char *reading : {"vppChannel1", "vppChannel2", "vdcChannel1", "vdcChannel2"})
            row(reading, "text", " 0.000V");
        row("vppChannel1", "groupTitle", "Channel 1");
        row("vppChannel2", "groupTitle", "Channel 2");
        row("vdcChannel1", "groupTitle", "Channel 1");
        row("vdcChannel2", "groupTitle", "Channel 2");
        row("frequencyValue", "text", "00000.000kHz");
        for (const char *source : {"fcR10", "fcR7", "fcR6", "fcR5", "fcR4", "fcR3", "fcR2", "fcR1", "fcR0"})
            row(source, "groupTitle", "Source");
        row("radioFreq", "text", "Measure Frequency");
        row("radioFreq", "groupTitle", "Type");
        row("radioPulse", "text", "Count Pulses");
        row("radioPulse", "groupTitle", "Type");
        // Waveform generator
        for (const char *wave : {"radioButtonNoise", "radioButtonSine", "radioButtonSquare", "radioButtonTriangle",
                                 "radioButtonExpo", "radioButtonCustom"})
            row(wave, "groupTitle", "Waveform");
        for (const char *wave : {"radioButtonNoise", "radioButtonSine", "radioButtonSquare", "radioButtonTriangle",
                                 "radioButtonExpo"})
            row(wave, "text", "");
        row("radioButtonCustom", "text", "Custom");
        range("amplitudeSlider", 0, 128, 64, 16);
        row("amplitudeSlider", "pageStep", 16);
        range("doubleSpinBoxAmp", 0.0, 4.0, 2.0, 0.03);
        row("doubleSpinBoxAmp", "decimals", 3);
        range("dutyCycleSlider", 1, 255, 128, 32);
        row("dutyCycleSlider", "pageStep", 32);
        range("doubleSpinBoxDuty", 0.0, 99.9, 50.0, 0.4);
        row("doubleSpinBoxDuty", "decimals", 3);
        range("offsetSlider", -127, 128, 0, 10);
        row("offsetSlider", "pageStep", 10);
        range("doubleSpinBoxOffset", -2.0, 2.0, 0.0, 0.015625);
        row("doubleSpinBoxOffset", "decimals", 3);
        const char *const ranges[][2] = {{"radioButton10", "10"},
                                         {"radioButton100", "100"},
                                         {"radioButton1K", "1K"},
                                         {"radioButton10K", "10K"},
                                         {"radioButton100K", "100K"}};
        for (const auto &r : ranges) {
            row(r[0], "text", r[1]);
            row(r[0], "groupTitle", "Frequency Range");
            row(r[0], "checked", QByteArray(r[1]) == "1K");
        }
        range("frequencySlider", 10, 100, 10, 10);
        row("doubleSpinBoxDesiredFreq", "minimum", 1.0);
        row("doubleSpinBoxDesiredFreq", "maximum", 100000.0);
        row("doubleSpinBoxDesiredFreq", "value", 1000.0);
        row("doubleSpinBoxDesiredFreq", "decimals", 2);
        const char *const sweepChecks[] = {"checkBoxSweepFrequency", "checkBoxSweepAmplitude",
                                           "checkBoxSweepDutyCycle", "checkBoxSweepOffset",
                                           "checkBoxDirection",      "checkBoxPingPong",
                                           "checkBoxAccelerate",     "checkBoxAccelDirection"};
        for (const char *c : sweepChecks)
            row(c, "groupTitle", "Sweep");
        row("checkBoxDirection", "text", "Direction");
        row("checkBoxPingPong", "text", "Ping Pong");
        row("checkBoxAccelerate", "text", "Accelerate");
        row("checkBoxAccelDirection", "text", "Acceleration Direction");
        range("sweepSpeedSlider", 1, 127, 64, 16);
        row("sweepSpeedSlider", "pageStep", 16);
        for (const char *sweep : {"sweepStartFreqSlider", "sweepEndFreqSlider"}) {
            range(sweep, 0, 255, 64, 16);
            row(sweep, "pageStep", 16);
        }
        for (const char *readout : {"sweepSpeedText", "startFreqText", "endFreqText", "actualFreqText"})
            row(readout, "readOnly", true);
        row("openCSVButton", "text", "Open CSV");
        row("openCSVButton", "toolTip", "Data must be integer, in the range of [-127,127]. The buffer size is 256.");
        row("saveAWGButton", "text", "Save as Custom");
        row("saveAWGButton", "toolTip", "Data will be sent to the device and saved to the EEPROM.");
        // Protocol sniffer
        row("modeGroupBox", "title", "Mode");
        row("radioButtonSniffNormal", "text", "Normal");
        row("radioButtonSniffNormal", "toolTip", "Continuous operation");
        row("radioButtonSniffNormal", "groupTitle", "Mode");
        row("radioButtonSniffSingle", "text", "Single");
        row("radioButtonSniffSingle", "toolTip", "The sniffer will stop when the buffer is filled");
        row("radioButtonSniffSingle", "groupTitle", "Mode");
        row("checkBoxCircular", "text", "Circular");
        row("checkBoxCircular", "toolTip",
            "New data will be placed at the end, older data will be shifted towards the beginning");
        row("checkBoxASCII", "text", "ASCII");
        row("pauseSnifferButton", "text", "Pause");
        row("startSnifferButton", "text", "Start");
        row("comboBoxCPOL", "items", QStringList{"0", "1"});
        row("comboBoxCPHA", "items", QStringList{"0", "1"});
        row("comboBoxBaud", "items",
            QStringList{"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"});
        row("comboBoxParity", "items", QStringList{"None", "Even", "Odd"});
        row("comboBoxStopBits", "items", QStringList{"1", "2"});
        // Options: File
        row("groupBox_10", "title", "File");
        row("saveWave", "text", "Save Wave");
        row("saveWave", "toolTip", "Saves a waveform. A destination folder will be selected once");
        row("loadWave", "text", "Load Wave");
        row("loadWave", "toolTip", "Loads a previously saved waveform");
        row("clearWaveButton", "text", "Clear");
        row("clearWaveButton", "toolTip",
            "Clears the display of the loaded waveform and returns to normal operation");
        row("screenShotButton", "text", "Screenshot");
        row("screenShotButton", "toolTip",
            "Saves a PNG image of the graph area. A destination folder will be selected once");
        row("pushButton_4", "text", "Record");
        row("playButton", "text", "Play");
        for (const char *fileControl : {"saveWave", "loadWave", "clearWaveButton", "screenShotButton", "pushButton_4",
                                        "playButton", "notifLabel", "label_13"})
            row(fileControl, "groupTitle", "File");
        // Options: Display and Cursors
        for (const char *displayControl : {"comboBoxTheme", "comboBoxGrid", "checkBoxPersistence", "checkBox_21",
                                           "comboBoxAverage", "intensitySlider"})
            row(displayControl, "groupTitle", "Display");
        row("comboBoxTheme", "items", QStringList{"Dark", "Light", "Custom"});
        row("comboBoxGrid", "items", QStringList{"No Grid", "Dots", "Lines", "Full"});
        row("checkBox_21", "text", "Color Gradient");
        for (const char *cursorControl : {"checkBoxCursorAuto", "checkBoxCursorTrack", "checkBoxCursorVertical",
                                          "radioButtonCursorCH1", "radioButtonCursorCH2", "radioButtonCursorNone"})
            row(cursorControl, "groupTitle", "Cursors");
        row("checkBoxCursorAuto", "text", "Automatic");
        row("checkBoxCursorTrack", "text", "Track");
        row("checkBoxCursorVertical", "text", "Vertical");
        // Options: Connection and Device Firmware
        row("groupBox_12", "title", "Connection");
        row("checkBox_24", "text", "Connect at startup");
        row("checkBox_24", "enabled", false);
        row("checkBox_24", "checked", false);
        row("connectButton", "text", "Connect");
        row("connectButton", "enabled", true);
        row("rescanButton", "text", "Re-scan");
        row("rescanButton", "enabled", false);
        row("infoLabel", "text", "");
        row("infoLabel", "horizontalAlignment", int(Qt::AlignHCenter));
        row("radioButton", "text", "Serial port");
        row("radioButton", "enabled", true);
        row("radioButton", "checked", false);
        row("radioButton_2", "text", "Usb");
        row("radioButton_2", "checked", true);
        row("label_72", "text", "COM Port");
        row("comboBox_9", "enabled", false);
        row("comboBox_9", "minimumWidth", 150);
        row("comboBox_9", "maximumWidth", 150);
        row("connectIcon", "hasPixmap", true);
        row("connectLabel", "text", "Not Connected");
        row("groupBox_13", "title", "Device Firmware");
        row("currentFirwareVersion", "text", "");
        row("currentFirwareVersion", "readOnly", true);
        row("currentFirwareVersion", "maximumWidth", 100);
        row("currentFirwareVersion", "horizontalAlignment", int(Qt::AlignLeft));
        row("latestFirmWareVersion", "text", "2.37");
        row("upgradeFirmware", "text", "UPGRADE FIRMWARE");
        row("upgradeFirmware", "enabled", false);
        row("restoreSettingButton", "text", "RESTORE SETTINGS");
        row("restoreSettingButton", "toolTip", "The factory default settings will be loaded to the device");
        row("restoreSettingButton", "groupTitle", "Device Firmware");
    }

    void formStartValue()
    {
        QFETCH(QString, object);
        QFETCH(QByteArray, property);
        QFETCH(QVariant, expected);
        QWidget *w = formWidget(object);
        QVERIFY2(w, qPrintable(object + " is missing"));
        const QVariant actual = formValue(w, property);
        QVERIFY2(actual.isValid(), qPrintable(QString("%1 has no %2").arg(object, QString(property))));
        if (expected.userType() == QMetaType::Double) {
            const double a = actual.toDouble(), e = expected.toDouble();
            QVERIFY2(qAbs(a - e) <= 1e-9 * qMax(1.0, qAbs(e)),
                     qPrintable(QString("%1, expected %2").arg(a, 0, 'g', 12).arg(e, 0, 'g', 12)));
        } else if (expected.userType() == QMetaType::Int) {
            QCOMPARE(actual.toInt(), expected.toInt());
        } else {
            QCOMPARE(actual, expected);
        }
    }

    void formPage_data()
    {
        QTest::addColumn<QString>("tabWidget");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("page"); // empty where any object name will do
        QTest::addColumn<QString>("title");
        const auto row = [](const char *tabs, int index, const char *page, const char *title) {
            QTest::addRow("%s %d", tabs, index) << QString(tabs) << index << QString(page) << QString(title);
        };
        row("mainTabWidget", 0, "osciloscopeTab", "Oscilloscope");
        row("mainTabWidget", 1, "Meter", "Meter");
        row("mainTabWidget", 2, "awgTab", "Waveform Generator");
        row("mainTabWidget", 3, "protocolSnifferTab", "Protocol Sniffer");
        row("mainTabWidget", 4, "optionsTab", "Options");
        row("mainTabWidget", 5, "tab", "About");
        row("tabWidget1", 0, "", "CH1");
        row("tabWidget1", 1, "", "CH2");
        row("tabWidget1", 2, "", "LOGIC");
        row("tabWidget1", 3, "", "FFT");
        row("tabWidget1", 4, "", "REF");
        row("mmTabWidget", 0, "tab_3", "VPP");
        row("mmTabWidget", 1, "tab_2", "VDC");
        row("mmTabWidget", 2, "tab_4", "Frequency Counter");
        row("protocolTabWidget", 0, "spiTab", "SPI");
        row("protocolTabWidget", 1, "i2cTab", "I2C");
        row("protocolTabWidget", 2, "uartTab", "UART");
    }

    void formPage()
    {
        QFETCH(QString, tabWidget);
        QFETCH(int, index);
        QFETCH(QString, page);
        QFETCH(QString, title);
        auto *tabs = formWindow.findChild<QTabWidget *>(tabWidget);
        QVERIFY(tabs);
        QVERIFY2(index < tabs->count(), qPrintable(QString("%1 has %2 pages").arg(tabWidget).arg(tabs->count())));
        QCOMPARE(tabs->tabText(index), title);
        if (!page.isEmpty())
            QCOMPARE(tabs->widget(index)->objectName(), page);
    }

    void formPageCounts()
    {
        QCOMPARE(form.mainTabWidget->count(), 6);
        QCOMPARE(form.tabWidget1->count(), 5);
        QCOMPARE(form.mmTabWidget->count(), 3);
        QCOMPARE(form.protocolTabWidget->count(), 3);
    }

    void startsOnTheFirstPages()
    {
        for (QTabWidget *tabs : {form.mainTabWidget, form.tabWidget1, form.mmTabWidget, form.protocolTabWidget})
            QVERIFY2(tabs->currentIndex() == 0, qPrintable(tabs->objectName()));
        for (const char *name : {"mainTabWidget", "tabWidget1", "mmTabWidget"})
            QCOMPARE(window->findChild<QTabWidget *>(name)->currentIndex(), 0);
    }

    void captionOnPage_data()
    {
        QTest::addColumn<QString>("near");
        QTest::addColumn<QString>("caption");
        const auto row = [](const char *near, const char *caption) {
            QTest::addRow("%s \"%s\"", near, caption) << QString(near) << QString(caption);
        };
        for (const char *caption : {"VDC", "VPP", "Freq"}) {
            row("vdcTextBox", caption);
            row("vdcTextBox_2", caption);
        }
        row("verticalSlider_8", "Position");
        row("chdSizeSlider", "Size");
        for (const char *caption : {"Pull Up", "No Pull", "Pull Down"})
            row("chdPullSlider", caption);
        for (const char *caption : {"EXT", "7", "6", "5", "4", "3", "2", "1", "0"})
            row("fcR10", caption);
        for (const char *caption : {"BIT 2:SS", "BIT 3:MOSI", "BIT 2:MISO", "BIT 3:SCK"})
            row("comboBoxCPOL", caption);
        row("i2cTextEdit", "BIT 0: SDA         ");
        row("i2cTextEdit", "BIT 1:SCL");
        row("rxTextEdit", "BIT 2:RX");
        row("rxTextEdit", "BIT 3:TX");
        row("comboBoxAverage", "Average");
        for (const char *caption : {"Sweep speed", "Sweep start frequency", "Sweep end frequency",
                                    "Desired Frequency", "Actual", "Frequency"})
            row("sweepSpeedSlider", caption);
        row("tab", "<b>Version:</b> 1.1.0.0");
    }

    void captionOnPage()
    {
        QFETCH(QString, near);
        QFETCH(QString, caption);
        QWidget *anchor = formWidget(near);
        QVERIFY2(anchor, qPrintable(near + " is missing"));
        QWidget *page = pageOf(anchor);
        QVERIFY(page);
        QStringList texts;
        for (QLabel *label : page->findChildren<QLabel *>())
            texts << label->text();
        QVERIFY2(texts.contains(caption), qPrintable(QString("on %1: %2").arg(page->objectName(), texts.join('|'))));
    }

    void radioGroupIsExclusive_data()
    {
        QTest::addColumn<QStringList>("members");
        for (const QStringList &g : exclusiveGroups)
            QTest::newRow(qPrintable(g.first())) << g;
    }

    void radioGroupIsExclusive()
    {
        QFETCH(QStringList, members);
        QMainWindow host;
        Ui::QuorvelInterface ui;
        ui.setupUi(&host);
        QMap<QString, bool> others;
        for (QRadioButton *r : host.findChildren<QRadioButton *>()) {
            if (!members.contains(r->objectName()))
                others[r->objectName()] = r->isChecked();
        }
        for (const QString &chosen : members) {
            auto *button = host.findChild<QRadioButton *>(chosen);
            QVERIFY2(button, qPrintable(chosen + " is missing"));
            button->setChecked(true);
            for (const QString &m : members)
                QVERIFY2(host.findChild<QRadioButton *>(m)->isChecked() == (m == chosen),
                         qPrintable(QString("%1 after choosing %2").arg(m, chosen)));
        }
        for (auto it = others.cbegin(); it != others.cend(); ++it)
            QVERIFY2(host.findChild<QRadioButton *>(it.key())->isChecked() == it.value(),
                     qPrintable(it.key() + " changed with another group"));
    }

    void everyRadioBelongsToAGroup()
    {
        QStringList grouped;
        for (const QStringList &g : exclusiveGroups)
            grouped << g;
        QStringList strays;
        for (QRadioButton *r : formWindow.findChildren<QRadioButton *>()) {
            if (!grouped.contains(r->objectName()))
                strays << r->objectName();
        }
        QVERIFY2(strays.isEmpty(), qPrintable(strays.join(' ')));
    }

    // The scale labels at their longest still fit beside the tab widget at the
    // form's size.
    void longestScaleLabelsFit()
    {
        window->show();
        window->resize(850, 850);
        window->findChild<QLabel *>("ch1Label")->setText("-CH1 X -CH2 = 5.12V/div");
        window->findChild<QLabel *>("ch2Label")->setText("-CH2 X -CH1 = 5.12V/div");
        window->findChild<QLabel *>("timeLabel")->setText(QString("Time = 500%1s/div").arg(QChar(0x00B5)));
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QApplication::processEvents();
        QVERIFY2(window->minimumSizeHint().width() <= 850,
                 qPrintable(QString("the window needs %1 pixels").arg(window->minimumSizeHint().width())));
        const QStringList faults = layoutFaults(window->findChild<QWidget *>("widget"));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    void layoutFits_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QStringList>("pages"); // "tabWidget:index" from the outside in
        QTabWidget *mainTabs = window->findChild<QTabWidget *>("mainTabWidget");
        for (const QSize size : {QSize(850, 850), QSize(1920, 1080)}) {
            for (int i = 0; i < mainTabs->count(); ++i) {
                const QString mainPage = QString("mainTabWidget:%1").arg(i);
                QTest::addRow("%dx%d %s", size.width(), size.height(), qPrintable(mainTabs->widget(i)->objectName()))
                    << size << QStringList{mainPage};
                for (QTabWidget *inner : mainTabs->widget(i)->findChildren<QTabWidget *>()) {
                    for (int j = 0; j < inner->count(); ++j)
                        QTest::addRow("%dx%d %s", size.width(), size.height(),
                                      qPrintable(inner->widget(j)->objectName()))
                            << size << QStringList{mainPage, QString("%1:%2").arg(inner->objectName()).arg(j)};
                }
            }
        }
    }

    void layoutFits()
    {
        QFETCH(QSize, size);
        QFETCH(QStringList, pages);
        window->show();
        window->resize(size);
        for (const QString &p : pages) {
            const QStringList parts = p.split(':');
            auto *tabs = window->findChild<QTabWidget *>(parts[0]);
            QVERIFY(tabs);
            tabs->setCurrentIndex(parts[1].toInt());
        }
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QApplication::processEvents();
        QCOMPARE(window->size(), size);
        QVERIFY2(window->minimumSizeHint().width() <= size.width()
                     && window->minimumSizeHint().height() <= size.height(),
                 qPrintable(QString("the window needs %1x%2")
                                .arg(window->minimumSizeHint().width())
                                .arg(window->minimumSizeHint().height())));
        const QStringList faults = layoutFaults(window.get());
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }
};

QUORVEL_TEST_MAIN(TestForm)
#include "test_form.moc"

#include "app/quorvelinterface.h"
#include "app/decodepanel.h"
#include "app/steadyreadout.h"

#include <QPushButton>
#include "ui_quorvelinterface.h"

#include "display/plotwidget.h"
#include "themes/stylesheet.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QTextStream>

// The compiled resources live in a static library; register them explicitly so
// the linker keeps them.
static void registerResources()
{
#ifdef QUORVEL_HAS_RESOURCES
    Q_INIT_RESOURCE(quorvelinterface);
#endif
#ifdef QUORVEL_HAS_FONT_RESOURCE
    Q_INIT_RESOURCE(quorvelfont);
#endif
}

// Registers the monospace font of the meter read-outs and lets the family
// name the read-outs ask for resolve to it.
static void registerCourierFont()
{
    const int id = QFontDatabase::addApplicationFont(":/Bitmaps/cour.ttf");
    if (id < 0)
        return;
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (!families.isEmpty() && families.first() != "Courier New")
        QFont::insertSubstitution("Courier New", families.first());
}

QuorvelInterface::QuorvelInterface(QWidget *parent) : QMainWindow(parent), ui(new Ui::QuorvelInterface)
{
    // Once per process, however many windows are built.
    static const bool registered = [] {
        registerResources();
        registerCourierFont();
        return true;
    }();
    Q_UNUSED(registered)

    // "log.txt" in the working folder, truncated at every start.
    logFile = new QFile("log.txt");
    if (logFile->open(QIODevice::WriteOnly | QIODevice::Text))
        logStream = new QTextStream(logFile);

    ui->setupUi(this);
    ui->mainTabWidget->setCurrentIndex(0);
    // The generator's ranges are the core's, the same the command line accepts.
    ui->doubleSpinBoxDesiredFreq->setRange(reg::DesiredFrequencyRange.min, reg::DesiredFrequencyRange.max);
    ui->doubleSpinBoxAmp->setRange(reg::AmplitudeRange.min, reg::AmplitudeRange.max);
    ui->doubleSpinBoxOffset->setRange(reg::OffsetRange.min, reg::OffsetRange.max);
    ui->doubleSpinBoxDuty->setRange(reg::DutyCycleRange.min, reg::DutyCycleRange.max);

    setStyleSheet(readStyleSheet(":/Bitmaps/mac-css.qss"));
    const QString tabStyle = readStyleSheet(":/Bitmaps/mac-tab.qss");
    ui->tabWidget1->setStyleSheet(tabStyle);
    ui->mainTabWidget->setStyleSheet(tabStyle);
    ui->labelHertz->setStyleSheet("QLabel{font-size: 32px};");
    ui->connectLabel->setStyleSheet("QLabel{font-size: 12px};");

    readAppSettings();
    checkForAvailableComPorts();

    connect(&customTheme, &CustomTheme::applyCustomTheme, this, &QuorvelInterface::setTheme);
    // The dialog is modeless: the theme box may have moved on while it was open.
    connect(&customTheme, &CustomTheme::applyCustomTheme, ui->comboBoxTheme,
            [this] { ui->comboBoxTheme->setCurrentIndex(theme::Custom); });
    // The stored Custom theme, applied by the scene set-up when it is the chosen one.
    customColors = *customTheme.colorTable();
    setupValues();
    bindControls();
    setupGrid(ui->plotterWidget);
    // The decoders' settings and table open in a window of their own: the
    // LOGIC page has no room for them.
    decodePanel = new DecodePanel(ui->plotterWidget, this);
    decodePanel->setWindowFlags(Qt::Tool);
    decodePanel->setWindowTitle(tr("Protocol decoders"));
    decodePanel->resize(520, 560);
    // The rows of a frame arrive after the frame was drawn: the next paced
    // replot shows them with their own frame.
    connect(decodePanel, &DecodePanel::rowsChanged, this, [this] { scheduleReplot(); });
    auto *decodersButton = new QPushButton(tr("Decoders…"), ui->logicTab);
    decodersButton->setObjectName(QStringLiteral("decodersButton"));
    connect(decodersButton, &QPushButton::clicked, decodePanel, [this] {
        decodePanel->show();
        decodePanel->raise();
    });
    ui->horizontalLayout_4->addWidget(decodersButton, 0, Qt::AlignTop);

    connect(ui->plotterWidget, &PlotWidget::sizeChanged, this, &QuorvelInterface::on_sizeChanged);
    connect(ui->plotterWidget, &QCustomPlot::itemDoubleClick, this, &QuorvelInterface::itemDoubleClick);
    connect(ui->plotterWidget, &QCustomPlot::mousePress, this, &QuorvelInterface::selectItem);
    connect(ui->plotterWidget, &QCustomPlot::mouseMove, this, &QuorvelInterface::moveCursor);
    connect(ui->plotterWidget, &QCustomPlot::mouseRelease, this, &QuorvelInterface::deselectItem);

    // The first turn of the event loop tries to connect.
    QTimer::singleShot(0, this, &QuorvelInterface::on_connectButton_clicked);
    startingUp = false;

    connect(&plotTimer, &QTimer::timeout, this, &QuorvelInterface::plotData);
    connect(&meterTimer, &QTimer::timeout, this, &QuorvelInterface::mm_request);
    // A coarse timer may slip by up to 5 %; at 250 frames/s that drops frames.
    plotTimer.setTimerType(Qt::PreciseTimer);

    plotInterval = 4;
    plotTimer.start(plotInterval);

    updateCh1Label();
    updateCh2Label();
    setupMeasurements();
    setupPlotState();

    ui->rescanButton->setEnabled(ui->radioButton->isChecked());

    const QFont meterFont("Courier New", 50, QFont::DemiBold, false);
    ui->vdcChannel1->setFont(meterFont);
    ui->vdcChannel2->setFont(meterFont);
    ui->vppChannel1->setFont(meterFont);
    ui->vppChannel2->setFont(meterFont);
    ui->frequencyValue->setFont(QFont("Courier New", 40, QFont::DemiBold, false));
    // A new reading repaints its label alone, not the pages around it.
    for (QLabel *readout : {ui->vdcChannel1, ui->vdcChannel2, ui->vppChannel1, ui->vppChannel2, ui->frequencyValue})
        SteadyReadout::hold(readout);

    ui->comboBox_9->view()->setFixedWidth(350);
    connect(&link, &InstrumentLink::statusMessage, this, [this](const QString &status) { setInfoText(status); });
    link.setParent(this); // reachable by findChild, like the widgets
    connect(&link, &InstrumentLink::frameArrived, this, &QuorvelInterface::takeArrivedFrame, Qt::QueuedConnection);
    connect(&link, &InstrumentLink::linkLost, this, &QuorvelInterface::handleLinkLost, Qt::QueuedConnection);
}

QuorvelInterface::~QuorvelInterface()
{
    finishFileOutputs();
    if (logFile->isOpen())
        logFile->close();
    delete logStream;
    delete logFile;
    delete ui;
}

void QuorvelInterface::closeEvent(QCloseEvent *event)
{
    plotTimer.stop();
    link.close();
    event->accept();
}

void QuorvelInterface::on_mainTabWidget_currentChanged(int index)
{
    constexpr int meterPage = 1;
    // While disconnected the change is not recorded, so the next change is
    // judged against the page the instrument was last set up for.
    if (previousTabIndex != meterPage && index == meterPage) {
        plotData();
        if (!link.isConnected())
            return;
        enterMeterPage();
    } else if (previousTabIndex == meterPage && index != meterPage) {
        if (!link.isConnected())
            return;
        leaveMeterPage();
    }
    previousTabIndex = index;
}

void QuorvelInterface::on_sizeChanged()
{
    const int w = ui->plotterWidget->width();
    const int h = ui->plotterWidget->height();
    // ΔT and 1/ΔT below the band the vertical cursor markers move in.
    const struct
    {
        QCPItemText *label;
        int x, y;
    } readOuts[] = {
        {deltaTLabel, w - 25, 40},    {inverseDeltaTLabel, w - 25, 55}, {deltaVLabel, w - 150, h - 55},
        {vbLabel, w - 150, h - 70},   {vaLabel, w - 150, h - 85},
    };
    for (const auto &r : readOuts) {
        r.label->position->setType(QCPItemPosition::ptAbsolute);
        r.label->position->setCoords(r.x, r.y);
    }
    setVerticalCursors();
}

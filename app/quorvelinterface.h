#pragma once

#include "display/averager.h"
#include "display/decayhistory.h"
#include "display/cursors.h"
#include "display/drawingplan.h"
#include "display/markerstate.h"
#include "display/spectrum.h"
#include "display/traces.h"
#include "files/dataexport.h"
#include "files/framelog.h"
#include "files/recording.h"
#include "files/wavetext.h"
#include "instruments/sniffer.h"
#include "settings/registers.h"
#include "settings/registerwriter.h"
#include "session/session.h"
#include "themes/customcolors.h"
#include "themes/customtheme.h"
#include "themes/themepalette.h"

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QPen>
#include <QPointF>
#include <QStringList>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

class DecodePanel;
class QButtonGroup;
class QCloseEvent;
class QDoubleSpinBox;
class BusRowLayer;
class SpectrumOverlay;
class QCPAbstractItem;
class QCPCurve;
class QCPGraph;
class QCPItemPixmap;
class QCPItemStraightLine;
class QCPItemText;
class QCPItemTracer;
class QCustomPlot;
class QMouseEvent;
class QShortcut;
class QToolButton;
class QFile;
class QTextStream;

namespace Ui {
class QuorvelInterface;
}
namespace generator {
struct FrequencyRequest;
}

// The one window of the program, a view over the instrument's core: a
// user's change calls the session (a state setter, or the register writer),
// and a settings read is shown from the session's state with the controls'
// signals blocked (applyStateToWidgets). Every register write goes through
// `registers` (settings/registerwriter.h) to `link` (device/instrumentlink.h);
// two timers pace frame drawing and meter polling. The implementation is
// split by subsystem into quorvelinterface_<subsystem>.cpp files.
class QuorvelInterface : public QMainWindow
{
    Q_OBJECT
    // New frames plotData has decoded since start (read by the benchmarks).
    Q_PROPERTY(quint64 framesProcessed READ framesProcessed)

public:
    explicit QuorvelInterface(QWidget *parent = nullptr);
    ~QuorvelInterface() override;

    // The connection the window shows: a settings read through it
    // (readSettings()) is shown in the controls.
    session::Session &instrumentSession() { return session; }

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    // Application shell (quorvelinterface.cpp)
    void on_sizeChanged();
    void on_mainTabWidget_currentChanged(int index);

    // Connection management (quorvelinterface_connection.cpp)
    void on_connectButton_clicked();
    void checkForAvailableComPorts();
    void on_rescanButton_clicked();
    void setInfoText(QString text = QString(), bool mode = false);
    void disconnectDevice(bool mode = true);
    bool checkIfCorrectPort(QString name);
    // Queued from the link when it breaks while connected.
    void handleLinkLost();

    // Plot scene, scales, frames, spectrum, theme
    // (quorvelinterface_scene.cpp, _scales.cpp, _plot.cpp, _theme.cpp)
    void plotData();
    void itemDoubleClick(QCPAbstractItem *item, QMouseEvent *event);
    void setTheme(int theme, CustomColors *customColors = nullptr);
    void on_samplingSlider_valueChanged(int value);
    void on_horizontalScrollBar_valueChanged(int value);
    void on_comboBoxGrid_currentIndexChanged(int index);
    void on_captureButton_clicked();
    void on_intensitySlider_valueChanged(int value);
    void on_comboBoxTheme_activated(int index);
    void updateCh1Label();
    void updateCh2Label();
    QString get4Digits(double value);

    // Each subsystem below adds its slots in its own block, so work on one
    // subsystem never touches another's lines.

    // Settings decode and control encoders
    // (quorvelinterface_devicesettings.cpp, _controls.cpp)
    void readDeviceSettings();
    void on_stopButton_clicked();
    void on_forceButton_clicked();
    void on_autoButton_clicked();
    void on_restoreSettingButton_clicked();
    void on_ch1GainSlider_valueChanged(int value);
    void on_ch2GainSlider_valueChanged(int value);
    void on_ch1PositionSlider_valueChanged(int value);
    void on_ch2PositionSlider_valueChanged(int value);
    void on_chdPositionSlider_valueChanged(int value);
    void on_comboBoxTrigSource_currentIndexChanged(int index);
    void on_checkBoxCH1Trace_clicked();
    void on_checkBoxCH1Invert_clicked();
    void on_checkBoxCH1Average_clicked();
    void on_checkBoxCH1Math_clicked();
    void on_checkBoxCH2Trace_clicked();
    void on_checkBoxCH2Invert_clicked();
    void on_checkBoxCH2Average_clicked();
    void on_checkBoxCH2Math_clicked();
    void on_chdPullSlider_valueChanged(int value);
    void on_checkBoxCircular_clicked();
    void on_rollMode_clicked();
    void on_checkBoxCursorAuto_clicked();
    void on_checkBoxCursorTrack_clicked();
    void on_checkBoxCursorVertical_clicked();
    void on_checkBoxVectors_clicked();
    void on_protocolTabWidget_currentChanged(int index);

    // Measurement cursors and trigger markers (_cursors.cpp, _trigger.cpp)
    // The plot's mouse press, move and release: select, drag, let go of a marker.
    void selectItem(QMouseEvent *event);
    void moveCursor(QMouseEvent *event);
    void deselectItem(QMouseEvent *event);
    void setVerticalCursors();
    void updateSweepCursors();
    void updateTriggerPos();

    // Waveform generator (_generator.cpp)
    void on_amplitudeSlider_valueChanged(int value);
    void on_doubleSpinBoxAmp_valueChanged(double value);
    void on_dutyCycleSlider_valueChanged(int value);
    void on_doubleSpinBoxDuty_valueChanged(double value);
    void on_offsetSlider_valueChanged(int value);
    void on_doubleSpinBoxOffset_valueChanged(double value);
    void on_frequencySlider_valueChanged(int value);
    void on_doubleSpinBoxDesiredFreq_valueChanged(double value);
    void on_doubleSpinBoxDesiredFreq_editingFinished();
    void on_sweepStartFreqSlider_valueChanged(int value);
    void on_sweepEndFreqSlider_valueChanged(int value);
    void on_sweepSpeedSlider_valueChanged(int value);
    void on_openCSVButton_clicked();
    void on_saveAWGButton_clicked();

    // Meter and frequency counter (_meter.cpp)
    void mm_request();
    void on_mmTabWidget_currentChanged(int index);
    void clearMMLabels();
    void checkFCRadioButtons(int source);
    void restoreUiSettings();

    // Protocol sniffer (_sniffer.cpp)
    void sniffProtocol();
    void on_startSnifferButton_clicked();
    void on_pauseSnifferButton_clicked();

    // Wave files, recording, screenshots, log (_files.cpp)
    void on_saveWave_clicked();
    void on_loadWave_clicked();
    void on_clearWaveButton_clicked();
    void on_pushButton_4_clicked();
    void on_playButton_clicked();
    void on_screenShotButton_clicked();
    void on_exportButton_clicked();

    // Application settings and the custom theme (_appsettings.cpp, _theme.cpp)
    // Connected to the application's quit by main.
    void writeAppSettings();

private:
    // Application shell
    Ui::QuorvelInterface *ui;
    int plotInterval = 4;
    QTimer plotTimer;
    // The session (link, register writer, instrument state) is declared
    // here, between the two timers, so they are constructed in this order.
    session::Session session;
    InstrumentLink &link = session.link();
    // Every register write goes through it (see settings/registerwriter.h).
    reg::RegisterWriter &registers = session.writer();
    // What the window shows of a frame beyond the instrument's state, kept
    // current by the controls' change signals (quorvelinterface_plot.cpp).
    session::ViewOptions view;
    void bindViewOptions();

    QFile *logFile = nullptr;
    QTextStream *logStream = nullptr;
    QTimer meterTimer;
    int previousTabIndex = 0;
    QString defaultDir;
    bool startingUp = true;

    // Connection management

    // Plot scene, scales, frames, spectrum, theme
    // Cursor read-outs, created by the scene set-up and placed on every resize.
    QCPItemText *deltaTLabel = nullptr;
    QCPItemText *inverseDeltaTLabel = nullptr;
    QCPItemText *deltaVLabel = nullptr;
    QCPItemText *vbLabel = nullptr;
    QCPItemText *vaLabel = nullptr;

    // Scene set-up (quorvelinterface_scene.cpp)
    void setupGrid(QCustomPlot *plot);
    void setupGraphs(QCustomPlot *plot);
    void setupItemLabels(QCustomPlot *plot);
    void setupCursors(QCustomPlot *plot);
    void setupTracers(QCustomPlot *plot);
    void setupScatterStyles(bool vectors);
    // Scale tables (quorvelinterface_scales.cpp)
    void setupValues();
    // Spectrum window table (quorvelinterface_plot.cpp)
    void setFFTWindow(int window);
    // Spectrum scale and peak, Average, bus rows (quorvelinterface_spectrum.cpp)
    void setupSpectrumExtras(QCustomPlot *plot);
    void setSpectrumExtrasColors();
    void showSpectrumExtras(const session::FrameData &data);
    void showBusRows(const session::FrameData &data);
    SpectrumOverlay *spectrumOverlay = nullptr; // owned by the plot
    BusRowLayer *busRow = nullptr; // owned by the plot
    // The frame pass (plotData) in its steps: take the latest frame (false:
    // nothing to draw), the session builds its data (traces, average, decay
    // history, spectrum), keep the traces' extremes and capture, then the
    // drawing plan onto the graphs.
    bool takeFrame();
    void noteTraces();
    void drawTraces(const session::FrameData &data);
    // The trigger markers as the plot shows them, packed for the average's
    // restart.
    unsigned triggerMarks() const;
    // Applies one plotted frame's plan to the graphs.
    void applyDrawingPlan(const drawing::Plan &plan);
    // Replots now, or at the next display refresh when the last replot is more
    // recent than one refresh period: every frame is decoded, but the plot is
    // drawn no more often than the screen can show it.
    void scheduleReplot();
    void replotNow();
    void deferredReplot();
    // A frame came: taken at once when the last one was taken at least
    // three quarters of a plot interval ago, so that frames coming at the
    // plot timer's own rate are not lost to the two clocks' jitter (the
    // timer alone takes the latest frame per tick and drops one whenever two
    // land between ticks). On the Meter page only for the VDC read-out; the
    // other sub-pages keep the timers' pace.
    void takeArrivedFrame();
    quint64 framesProcessed() const { return processedFrameCount; }

    static constexpr int logicLines = frame::LogicLines;
    static constexpr int historyGraphs = DecayHistory::GraphCount;

    // Scales
    QList<QString> timeBaseTexts;
    QList<QString> gainTexts;
    QList<int> sweepRates;
    QStringList triggerIconsCh1;    // green icons, CH1 source
    QStringList triggerIconsOther;  // red icons, any other source

    // Frames
    int plotColumns = 256;
    frame::DeviceMode deviceMode = frame::OscilloscopeFrames;
    bool scopeRunning = true; // the scope acquires (the stop button offers STOP)
    bool chdBitEnabled[logicLines] = {true, true, true, true, true, true, true, true};
    bool redrawRequested = false;
    bool captureRequested = false;
    double ch1Min = 0, ch1Max = 0, ch2Min = 0, ch2Max = 0;
    drawing::References references; // captured traces, without capture offset
    // The last frame received; kept for redraws without a new frame.
    unsigned char frameBuffer[InstrumentLink::frameCapacity] = {};
    int frameLength = 0;
    // Per-frame working storage, reused so that a frame allocates little.
    frame::Traces &traces = session.frames().data().traces; // the frame's data, the session's
    drawing::Plan drawPlan;
    quint64 processedFrameCount = 0;  // new frames decoded, for diagnostics
    QTimer replotTimer;               // the deferred replot of scheduleReplot()
    QElapsedTimer replotClock;        // since the last replot
    QElapsedTimer frameTakenClock;    // since plotData last took a new frame
    qint64 replotPeriodNs = 1000000000 / 60;
    int accumulationTimeBase = -1;    // time base of the persistence accumulation

    // Scene
    QCPGraph *ch1Graph = nullptr;
    QCPGraph *refCh1Graph = nullptr;
    QCPGraph *ch2Graph = nullptr;
    QCPGraph *refCh2Graph = nullptr;
    QCPGraph *ch1PersistGraphs[historyGraphs] = {};
    QCPGraph *ch2PersistGraphs[historyGraphs] = {};
    QCPGraph *logicGraphs[logicLines] = {};
    QCPGraph *refLogicGraphs[logicLines] = {};
    QCPGraph *fftGraph1 = nullptr;
    QCPGraph *fftGraph2 = nullptr;
    QCPItemStraightLine *hCursorLineA = nullptr;
    QCPItemStraightLine *hCursorLineB = nullptr;
    QCPItemPixmap *hCursorMarkerA = nullptr;
    QCPItemPixmap *hCursorMarkerB = nullptr;
    QCPItemStraightLine *vCursorLineA = nullptr;
    QCPItemStraightLine *vCursorLineB = nullptr;
    QCPItemPixmap *vCursorMarkerA = nullptr;
    QCPItemPixmap *vCursorMarkerB = nullptr;
    QCPItemStraightLine *ch1ZeroLine = nullptr;
    QCPItemStraightLine *ch2ZeroLine = nullptr;
    QCPItemPixmap *ch1ZeroMarker = nullptr;
    QCPItemPixmap *ch2ZeroMarker = nullptr;
    QCPItemPixmap *triggerMarker = nullptr;
    QCPItemPixmap *windowMarker1 = nullptr;
    QCPItemPixmap *windowMarker2 = nullptr;
    QCPItemText *bitLabels[logicLines] = {};
    DecodePanel *decodePanel = nullptr; // the LOGIC page's protocol decoders
    QCPItemTracer *ch1TracerA = nullptr;
    QCPItemTracer *ch1TracerB = nullptr;
    QCPItemTracer *ch2TracerA = nullptr;
    QCPItemTracer *ch2TracerB = nullptr;

    // Theme
    theme::Palette plotPalette; // pens of the applied theme; its grid pen follows the grid mode
    int appliedTheme = 0;           // the theme whose pens the plot carries
    // Colour table of the Custom theme until the theme dialog provides one.
    CustomColors customColors = CustomColors::defaults();

    // Settings decode and control encoders: state and helpers
    // Bit-register encoders: each rebuilds its whole register from its controls.
    void sendCH1Controls();
    void sendCH2Controls();
    void sendCHDControls();
    void sendCHDBitControls();
    void sendTriggerControls();
    void sendCursorControls();
    void sendDisplayControls();
    void sendMFFTControls();
    void sendSweepControls();
    void sendSnifferSettings();
    // What the spectrum controls and the logic line boxes show, as the
    // instrument takes them.
    reg::SpectrumSettings spectrumControls() const;
    quint8 logicMaskControls() const;
    // Sniffer start or stop (called by the sniffer's start button).
    void sendMStatusControls();
    void setDecodeProtocol(int protocol);
    void setSnifferControlsEnabled(bool enabled);
    void moveChannelZero(int channel, int position);
    // The radio groups and the logic lines' boxes bound through QButtonGroup
    // ids (app/radiochoices.h), and the session's settings read.
    void bindControls();
    QButtonGroup *logicLineBoxes = nullptr; // ids 0..7
    // A spin box bound to one value of the state: a change goes to the
    // session through `setter`; a settings read shows `shown` of the state in
    // it, its signals blocked.
    using ShownValue = std::function<double(const session::InstrumentState &)>;
    void bindValue(QDoubleSpinBox *box, ShownValue shown, session::Writes (session::InstrumentState::*setter)(double));
    std::vector<std::function<void(const session::InstrumentState &)>> boundValues;
    // A settings read: shown in the controls, or its failure on the info line.
    void showSettingsRead(session::ReadOutcome outcome);
    // Every control shows the state, with its signals blocked; the plot
    // items, labels and run state follow.
    void applyStateToWidgets(const session::InstrumentState &state);
    void showChannels(const session::InstrumentState &state);
    void showTrigger(const session::InstrumentState &state);
    void showCursors(const session::InstrumentState &state);
    void showDisplay(const session::InstrumentState &state);
    void showSniffer(const session::InstrumentState &state);
    void showValues(const session::InstrumentState &state);
    void showGenerator(const session::InstrumentState &state);
    // The trigger types a source offers (slopes and window only on CH1, CH2).
    void showTriggerTypesOfSource(int source);
    // The main page without its change handler (previousTabIndex follows).
    void showMainPage(int index);

    // Where the cursors, zero levels and trigger markers stand (display/markerstate.h);
    // shared with the cursors and trigger markers.
    cursors::CursorState cursorState;
    trigger::MarkerState triggerState;
    QString writtenBackText; // what the last settings read wrote back, for the info line
    bool slowTimeBase = false;           // samplingSlider above 10: the frame log runs

    // Measurement cursors and trigger markers: state and helpers
    // The cursor and marker positions are shared with the settings decode and
    // are declared in its block above.
    int selectedItem = cursors::NoItem; // the marker the mouse holds
    bool cursorHintDue = false;         // a press found no cursor channel: hint on release

    // Trigger icon for a trigger type, by source colour; mirrored when the
    // source is inverted, since the instrument triggers on the inverted signal.
    void setTriggerIcon(int icon);
    // Shows the icon again for the current type and inversion.
    void checkIfInvertIcon();
    // A trigger source's colour in the theme, and its icon for a trigger type
    // in that colour (EXT keeps the red icons: it has no trace).
    QColor triggerSourceColor(int source) const;
    QPixmap triggerIcon(int source, int icon) const;
    // Trigger marker and window markers at pixel points, kept inside the plot.
    void moveTrigger(QPointF pixel);
    void moveWinTrigger(double x, double y1, double y2);
    // Ends a drag step: which 2 the trigger marker, 0 and 1 the window levels.
    void setTriggerLevelPosition(QPointF pointer, int which);
    // Places the trigger and window markers from triggerPosition and the
    // stored levels; an EXT source's marker goes to the given pixel height.
    void placeTriggerMarkers(double externalPixelY);
    // Position offset of the trigger source's trace (0 for logic and EXT).
    int triggerSourcePosition() const;
    // Horizontal cursor markers at the chosen channel's zero + relative value.
    void placeHorizontalCursors();
    // Zero markers at ch1Zero and ch2Zero.
    void placeZeroMarkers();
    // Shows or hides the cursor items for the Cursors controls and places the
    // horizontal markers.
    void showCursorItems();
    // plotData's step for cursors: read-outs, automatic and tracking cursors,
    // zero markers, the trigger marker on a logic trace.
    void updateCursorReadouts();
    void dragItem(int item, QPoint pixel);

    // Waveform generator: state and helpers
    void selectWaveForm(unsigned char code);
    void updateFrequency();
    // Actual-frequency read-out and frequency request for a desired frequency.
    void sendDesiredFrequency(double hertz);
    generator::FrequencyRequest showActualFrequency(double hertz);
    // The custom wave as last uploaded; a shorter text replaces only its start.
    signed char customWave[InstrumentLink::waveLength] = {};
    // The custom wave text into the 256 wave bytes; the count parsed.
    int parseCSV(const QString &text, unsigned char *buffer);
    // An upload's or a file's outcome on the custom wave page and in the status line.
    void tellCustomWave(const QString &message);

    // Meter and frequency counter: state and helpers
    void sendMStatusControlsForMM();
    // The checked counter source button's source to register 24 (255: none checked).
    void sendCounterSource();
    // The meter timer at the sub-page's poll interval (none on the VDC page).
    void startMeterPolling();
    void prepareMFFTControlsForMM();
    // Meter page arrival and departure, from the main page change.
    void enterMeterPage();
    void leaveMeterPage();
    // The meter page shown for a meter mode the instrument is in already.
    void showMeterPage();

    // Protocol sniffer: state and helpers
    sniffer::RunState snifferState = sniffer::RunState::Stopped;
    // The start and pause buttons show snifferState.
    void showSnifferRunState();
    sniffer::View snifferView;
    sniffer::Texts snifferTexts;
    unsigned char snifferFrame[InstrumentLink::frameCapacity] = {};
    int snifferFrameLength = 0;
    // A changed capture waiting for its redraw, and when the views were last filled.
    void showSnifferTexts();
    bool snifferRedrawPending = false;
    int snifferRedrawProtocol = sniffer::Spi;
    QElapsedTimer snifferRedrawClock;

    // Wave files, recording, screenshots, log: state and helpers
    // One line into "log.txt", flushed at once; nothing when the log did not open.
    void logToFile(const QString &text);
    void writeLogBatch(const QByteArray &batch);
    // The frame pass: the loaded wave, then a played frame, replace the
    // frame's values; then the save request, the recorder and the frame log
    // take the values as drawn (a new frame counter only for the last two).
    void replaceWithFileTraces(frame::Traces &values);
    void feedFileOutputs(const frame::Traces &values, int frameCounter);
    // At destruction: a running recording is finished, the last log batch written.
    void finishFileOutputs();
    void saveWavetoFile();
    QString saveWavetoString();
    wavefile::WaveView waveBuffer() const;
    static wavefile::WaveView tracesView(const frame::Traces &values);
    void clearWaveBuffer();
    // Asks for the destination folder once per run; false when there is none.
    bool chooseDestinationFolder();
    void startRecording();
    void stopRecording(bool announce);
    void playbackStep(frame::Traces &values);
    void exportFrame(const frame::Traces &values);

    QVector<double> waveCh1, waveCh2, waveLogic[logicLines];
    bool waveLoaded = false;
    bool saveWaveRequested = false;
    bool exportRequested = false;   // the next frame pass writes the CSV and VCD
    int lastFrameCounter = 0;
    QString destinationFolder;      // asked once per run, shared with the screenshot
    recording::Writer recorder;
    bool recordingActive = false;
    recording::Recording playback;
    int playbackEntry = 0;          // the next entry to play
    wavefile::Wave playedFrame;
    bool playing = false;
    int savedTimeBase = 0;
    FrameLog frameLog;

    // Application settings and the custom theme: state and helpers
    // Window size and position, theme choice and last folder from the store.
    void readAppSettings();
    // The custom theme dialog; it owns the Custom theme's colour table.
    CustomTheme customTheme{this};

    // Failed settings reads: the last read got no block (a lost link aside),
    // so the controls do not show the instrument's settings; the info line
    // says so.
    bool settingsReadFailed = false;

    // Automatic measurements (_measurements.cpp): the CH1 and CH2 pages' VDC,
    // VPP and Freq boxes, and the Meter page's VDC read-out.
    // Connects the refresh timer and shows "----" (from the constructor).
    void setupMeasurements();
    // plotData's step: the boxes show the latest frame, at most four times a second.
    void scheduleMeasurements();
    void refreshMeasurements();
    // "----" in every box (no instrument).
    void showNoMeasurements();
    // The Meter page's VDC: the mean voltage of each channel's frame on screen.
    void showMeterDcVolts();
    QTimer measurementTimer;         // the deferred refresh of scheduleMeasurements()
    QElapsedTimer measurementClock;  // since the last refresh

    // The plot alone (quorvelinterface_panel.cpp): the control panel hidden
    // and shown again by F11, Esc, the button under the plot and a
    // double-click on the splitter handle; kept with the window settings.
    void setupControlsToggle();
    void setControlsHidden(bool hidden);
    bool controlsHidden = false;
    QToolButton *controlsToggleButton = nullptr;
    QShortcut *showControlsShortcut = nullptr;

    // Export's message: the files and, fitted to its line, their folder
    // (the message's last line holds %3 for it).
    void showFilesCreated(const QString &message);

    // The scope's state on the plot (_state.cpp): one text in the plot's
    // corner, refreshed by its own timer; STOP, FORCE and AUTO only while
    // connected.
    void setupPlotState();
    void showPlotState();
    // Single waits for its frame again (the trigger mode written, FORCE).
    void armSingleShot();
    QCPItemText *stateLabel = nullptr;
    // The trigger level under the state text ("T 0.500 V ↑"), in the source's
    // colour, and a line at each level while it is dragged and for a moment
    // after.
    // True when something shown changed (the caller replots).
    bool showTriggerLevel();
    void flashTriggerLevel();
    QCPItemText *triggerReadout = nullptr;
    QCPItemStraightLine *triggerLevelLines[2] = {};
    QTimer triggerLineTimer;

    // XY (_xy.cpp): CH2 against CH1 as one curve in sampling order, on square divisions.
    void setupXYCurve(QCustomPlot *plot);
    void drawXY(const drawing::GraphUpdate &update);
    void squareXYRanges();
    void leaveXY();
    QCPCurve *xyCurve = nullptr;
    QTimer stateTimer;
    QString linkLostReason;          // why the link was lost; empty once connected again
    quint64 singleArmedAt = 0;       // processedFrameCount when Single was armed
    QElapsedTimer singleArmedClock;  // since Single was armed
};

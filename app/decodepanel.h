#pragma once
// The LOGIC page's protocol decoders: which decoders run on the logic lines
// (kept in the application settings), their channels and options, the rows
// of annotations drawn under the logic lines and a table of the current
// frame's annotations that can be copied and saved as CSV.

#include <QMap>
#include <QWidget>

#include "decode/decodeworker.h"

class QComboBox;
class QCustomPlot;
class QListWidget;
class QTableWidget;
class QPushButton;
class DecodeRowsLayer;

class DecodePanel : public QWidget
{
    Q_OBJECT
public:
    explicit DecodePanel(QCustomPlot *plot, QWidget *parent = nullptr);
    ~DecodePanel() override;

    // The frame just drawn: its logic bytes go to the decoders (the call
    // copies them and returns at once). The column plan says where each
    // sample is drawn.
    void frameTaken(const unsigned char *frameData, int samplingValue, bool rollMode, int scrollValue);

    QVector<decode::Stack> stacks() const { return stackList; }
    void setStacks(const QVector<decode::Stack> &stacks); // and keeps them in the settings
    // The annotation table as CSV: time_s,decoder,row,text.
    QByteArray tableCsv() const;
    QTableWidget *table() const { return annotationTable; }
    DecodeRowsLayer *rowsLayer() const { return layer; }
    quint64 framesShown() const { return shown; }

signals:
    // New rows are ready to be drawn. The window paints them with its next
    // paced replot, so a stream of results never paints more often than
    // the frames themselves do.
    void rowsChanged();

private:
    void showResult(const decode::FrameResult &result);
    void rebuildList();
    void editSelected();
    void addDecoder();
    void removeDecoder();
    void copyTable();
    void saveTable();
    void store();

    QCustomPlot *plot;
    DecodeRowsLayer *layer = nullptr;
    decode::DecodeWorker worker;
    QVector<decode::Stack> stackList;
    QComboBox *decoderChoice = nullptr;
    QListWidget *stackView = nullptr;
    QTableWidget *settingsTable = nullptr;
    QTableWidget *annotationTable = nullptr;
    quint64 frameNumber = 0;
    quint64 shown = 0;
    // Where a submitted frame's samples are drawn: key = (k - firstKeySample) * step.
    struct Placement
    {
        int firstKeySample = 0;
        int step = 1;
    };
    // The placements of the frames handed to the worker and not yet shown,
    // by frame number: a result is drawn where its own frame was drawn.
    QMap<quint64, Placement> placements;
};

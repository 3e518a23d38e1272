#include "app/decodepanel.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QTableWidget>
#include <QVBoxLayout>

#include "decode/decoderlibrary.h"
#include "display/decoderows.h"
#include "display/traces.h"
#include "files/dataexport.h"

namespace {
const char *SettingsKey = "decoders/stacks";
constexpr int MaxTableRows = 2000;
} // namespace

DecodePanel::DecodePanel(QCustomPlot *plotWidget, QWidget *parent) : QWidget(parent), plot(plotWidget)
{
    setObjectName(QStringLiteral("decodePanel"));
    layer = new DecodeRowsLayer(plot);
    connect(&worker, &decode::DecodeWorker::decoded, this, &DecodePanel::showResult);

    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(3);
    auto *addRow = new QHBoxLayout;
    decoderChoice = new QComboBox;
    decoderChoice->setObjectName(QStringLiteral("decoderChoice"));
    // Long decoder names must not widen the page.
    decoderChoice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    decoderChoice->setMinimumContentsLength(8);
    QString problem;
    if (decode::initialise(&problem)) {
        for (const decode::DecoderInfo &d : decode::decoders())
            if (d.readsLogic())
                decoderChoice->addItem(QStringLiteral("%1 (%2)").arg(d.name, d.id), d.id);
    }
    decoderChoice->setToolTip(problem.isEmpty() ? tr("Protocol decoder to add") : problem);
    auto *add = new QPushButton(tr("Add"));
    add->setObjectName(QStringLiteral("decoderAdd"));
    auto *remove = new QPushButton(tr("Remove"));
    remove->setObjectName(QStringLiteral("decoderRemove"));
    addRow->addWidget(decoderChoice, 1);
    addRow->addWidget(add);
    addRow->addWidget(remove);
    box->addLayout(addRow);

    auto *middle = new QHBoxLayout;
    stackView = new QListWidget;
    stackView->setObjectName(QStringLiteral("decoderList"));
    stackView->setMaximumWidth(160);
    stackView->setMinimumWidth(60);
    settingsTable = new QTableWidget(0, 2);
    settingsTable->setObjectName(QStringLiteral("decoderSettings"));
    settingsTable->setHorizontalHeaderLabels({tr("Setting"), tr("Value")});
    settingsTable->horizontalHeader()->setStretchLastSection(true);
    settingsTable->verticalHeader()->hide();
    middle->addWidget(stackView);
    middle->addWidget(settingsTable, 1);
    box->addLayout(middle, 1);

    annotationTable = new QTableWidget(0, 4);
    annotationTable->setObjectName(QStringLiteral("annotationTable"));
    annotationTable->setHorizontalHeaderLabels({tr("Time"), tr("Decoder"), tr("Row"), tr("Text")});
    annotationTable->horizontalHeader()->setStretchLastSection(true);
    annotationTable->verticalHeader()->hide();
    annotationTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    annotationTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    box->addWidget(annotationTable, 2);
    auto *tableRow = new QHBoxLayout;
    auto *copy = new QPushButton(tr("Copy"));
    copy->setObjectName(QStringLiteral("annotationCopy"));
    auto *save = new QPushButton(tr("Save CSV…"));
    save->setObjectName(QStringLiteral("annotationSave"));
    tableRow->addStretch(1);
    tableRow->addWidget(copy);
    tableRow->addWidget(save);
    box->addLayout(tableRow);

    connect(add, &QPushButton::clicked, this, &DecodePanel::addDecoder);
    connect(remove, &QPushButton::clicked, this, &DecodePanel::removeDecoder);
    connect(copy, &QPushButton::clicked, this, &DecodePanel::copyTable);
    connect(save, &QPushButton::clicked, this, &DecodePanel::saveTable);
    connect(stackView, &QListWidget::currentRowChanged, this, &DecodePanel::editSelected);

    // The decoders of the last session; a stored text that no longer parses
    // (a decoder uninstalled, a hand-edited value) is left out.
    QVector<decode::Stack> stored;
    for (const QString &text : QSettings().value(QLatin1String(SettingsKey)).toStringList()) {
        QString error;
        const decode::Stack s = decode::parseStack(text, &error);
        if (error.isEmpty() && !s.isEmpty())
            stored.append(s);
    }
    stackList = stored;
    worker.setStacks(stackList);
    rebuildList();
}

DecodePanel::~DecodePanel() = default;

void DecodePanel::setStacks(const QVector<decode::Stack> &stacks)
{
    stackList = stacks;
    worker.setStacks(stackList);
    store();
    rebuildList();
    if (stackList.isEmpty()) {
        layer->setContent({}, {});
        annotationTable->setRowCount(0);
        plot->replot(QCustomPlot::rpQueuedReplot);
    }
}

void DecodePanel::store()
{
    QStringList texts;
    for (const decode::Stack &s : stackList)
        texts << decode::stackText(s);
    QSettings().setValue(QLatin1String(SettingsKey), texts);
}

void DecodePanel::rebuildList()
{
    const int current = stackView->currentRow();
    stackView->blockSignals(true);
    stackView->clear();
    for (const decode::Stack &s : stackList)
        stackView->addItem(decode::stackText(s));
    stackView->blockSignals(false);
    stackView->setCurrentRow(std::min(std::max(current, 0), stackList.size() - 1));
    editSelected();
}

void DecodePanel::addDecoder()
{
    const QString id = decoderChoice->currentData().toString();
    const decode::DecoderInfo *info = decode::findDecoder(id);
    if (!info)
        return;
    // Required channels on the first lines not yet taken by another decoder.
    decode::DecoderConfig config;
    config.id = id;
    QSet<int> used;
    for (const decode::Stack &s : stackList)
        for (int bit : s.decoders.value(0).channels)
            used.insert(bit);
    int next = 0;
    bool anyRequired = false;
    for (const decode::ChannelInfo &c : info->channels)
        anyRequired = anyRequired || c.required;
    // All required channels; a decoder whose channels are all optional gets its first.
    for (const decode::ChannelInfo &c : info->channels) {
        if (!c.required && (anyRequired || !config.channels.isEmpty()))
            continue;
        while (next < decode::LogicLines - 1 && used.contains(next))
            ++next;
        config.channels[c.id] = next;
        used.insert(next);
    }
    decode::Stack stack;
    stack.decoders.append(config);
    QVector<decode::Stack> stacks = stackList;
    stacks.append(stack);
    setStacks(stacks);
    stackView->setCurrentRow(stackList.size() - 1);
}

void DecodePanel::removeDecoder()
{
    const int row = stackView->currentRow();
    if (row < 0 || row >= stackList.size())
        return;
    QVector<decode::Stack> stacks = stackList;
    stacks.remove(row);
    setStacks(stacks);
}

void DecodePanel::editSelected()
{
    settingsTable->setRowCount(0);
    const int index = stackView->currentRow();
    if (index < 0 || index >= stackList.size())
        return;
    const decode::DecoderConfig config = stackList[index].decoders.value(0);
    const decode::DecoderInfo *info = decode::findDecoder(config.id);
    if (!info)
        return;
    auto change = [this, index](const std::function<void(decode::DecoderConfig &)> &edit) {
        QVector<decode::Stack> stacks = stackList;
        edit(stacks[index].decoders[0]);
        if (!decode::validate(stacks[index]).isEmpty())
            return rebuildList(); // back to the values that run
        stackList = stacks;
        worker.setStacks(stackList);
        store();
        stackView->item(index)->setText(decode::stackText(stackList[index]));
    };
    for (const decode::ChannelInfo &c : info->channels) {
        const int row = settingsTable->rowCount();
        settingsTable->insertRow(row);
        auto *name = new QTableWidgetItem(c.name + (c.required ? QString() : tr(" (optional)")));
        name->setToolTip(c.description);
        name->setFlags(Qt::ItemIsEnabled);
        settingsTable->setItem(row, 0, name);
        auto *lines = new QComboBox;
        lines->setObjectName(QStringLiteral("channel_") + c.id);
        if (!c.required)
            lines->addItem(tr("none"), -1);
        for (int bit = 0; bit < decode::LogicLines; ++bit)
            lines->addItem(tr("bit %1").arg(bit), bit);
        lines->setCurrentIndex(lines->findData(config.channels.value(c.id, -1)));
        settingsTable->setCellWidget(row, 1, lines);
        const QString id = c.id;
        connect(lines, QOverload<int>::of(&QComboBox::activated), this, [lines, id, change](int) {
            const int bit = lines->currentData().toInt();
            change([&](decode::DecoderConfig &d) {
                if (bit < 0)
                    d.channels.remove(id);
                else
                    d.channels[id] = bit;
            });
        });
    }
    for (const decode::OptionInfo &o : info->options) {
        const int row = settingsTable->rowCount();
        settingsTable->insertRow(row);
        auto *name = new QTableWidgetItem(o.description);
        name->setFlags(Qt::ItemIsEnabled);
        settingsTable->setItem(row, 0, name);
        const QVariant value = config.options.value(o.id, o.defaultValue);
        const QString id = o.id;
        const decode::OptionInfo option = o;
        if (!o.values.isEmpty()) {
            auto *values = new QComboBox;
            values->setObjectName(QStringLiteral("option_") + o.id);
            for (const QVariant &v : o.values)
                values->addItem(decode::valueText(v), v);
            values->setCurrentIndex(values->findText(decode::valueText(value)));
            settingsTable->setCellWidget(row, 1, values);
            connect(values, QOverload<int>::of(&QComboBox::activated), this, [values, id, change](int) {
                const QVariant v = values->currentData();
                change([&](decode::DecoderConfig &d) { d.options[id] = v; });
            });
        } else {
            auto *edit = new QLineEdit(decode::valueText(value));
            edit->setObjectName(QStringLiteral("option_") + o.id);
            settingsTable->setCellWidget(row, 1, edit);
            connect(edit, &QLineEdit::editingFinished, this, [this, edit, id, option, change, index] {
                QVariant v;
                if (!decode::parseOptionValue(option, edit->text(), &v)) {
                    edit->setText(decode::valueText(stackList[index].decoders[0].options.value(id, option.defaultValue)));
                    return;
                }
                change([&](decode::DecoderConfig &d) { d.options[id] = v; });
            });
        }
    }
    settingsTable->resizeColumnToContents(0);
}

void DecodePanel::frameTaken(const unsigned char *frameData, int samplingValue, bool rollMode, int scrollValue)
{
    if (stackList.isEmpty())
        return;
    const frame::ColumnPlan plan = frame::columnPlan(samplingValue, rollMode, frameData[frame::RollIndexOffset], scrollValue);
    // In time order: a rolling record starts at its roll index.
    const int first = reg::isSlowTimeBase(samplingValue) ? plan.start : 0;
    QVector<quint8> logic(frame::SamplesPerChannel);
    for (int k = 0; k < frame::SamplesPerChannel; ++k)
        logic[k] = frameData[frame::LogicOffset + (first + k) % frame::SamplesPerChannel];
    Placement placement;
    placement.firstKeySample = reg::isSlowTimeBase(samplingValue) ? 0 : plan.start;
    placement.step = plan.step;
    placements.insert(++frameNumber, placement);
    // The worker keeps only the newest frame: older ones may never come back.
    while (placements.size() > 16)
        placements.erase(placements.begin());
    worker.submit(frameNumber, logic, decode::sampleRateOf(samplingValue));
}

void DecodePanel::showResult(const decode::FrameResult &result)
{
    // A result decoded before the decoders were removed is not shown.
    if (stackList.isEmpty() || result.stacks.size() != result.annotations.size())
        return;
    const auto found = placements.constFind(result.frame);
    if (found == placements.constEnd())
        return;
    const Placement placement = *found;
    // Frames up to this one are done with.
    while (!placements.isEmpty() && placements.firstKey() <= result.frame)
        placements.erase(placements.begin());
    QVector<DecodeRowsLayer::Row> rows;
    QVector<DecodeRowsLayer::Band> bands;
    struct Line
    {
        qint64 start;
        QString decoder, row, text;
    };
    QVector<Line> lines;
    for (int s = 0; s < result.stacks.size(); ++s) {
        const decode::Stack &stack = result.stacks[s];
        // Rows of this stack that hold annotations, in the decoders' order.
        QMap<QPair<int, int>, int> rowIndex;
        for (const decode::Annotation &a : result.annotations[s])
            rowIndex.insert({a.error ? -1 : a.decoder, a.error ? -1 : a.row}, 0);
        for (auto it = rowIndex.begin(); it != rowIndex.end(); ++it) {
            it.value() = rows.size();
            decode::Annotation probe;
            probe.decoder = it.key().first;
            probe.row = it.key().second;
            probe.error = it.key().first < 0;
            const QString decoder = probe.error ? stack.name() : stack.decoders[probe.decoder].id;
            rows.append({decoder + QLatin1Char(' ') + decode::rowName(stack, probe), DecodeRowsLayer::rowColor(rows.size())});
        }
        for (const decode::Annotation &a : result.annotations[s]) {
            DecodeRowsLayer::Band b;
            b.x0 = double(a.start - placement.firstKeySample) * placement.step;
            b.x1 = double(a.end - placement.firstKeySample) * placement.step;
            b.row = rowIndex.value({a.error ? -1 : a.decoder, a.error ? -1 : a.row});
            b.texts = a.texts;
            b.error = a.error;
            bands.append(b);
            lines.append({a.start, a.error ? stack.name() : stack.decoders[a.decoder].id, decode::rowName(stack, a), a.text()});
        }
    }
    layer->setContent(rows, bands);
    std::stable_sort(lines.begin(), lines.end(), [](const Line &a, const Line &b) { return a.start < b.start; });
    const int count = std::min<int>(lines.size(), MaxTableRows);
    const int decimals = result.sampleRate > 0 ? std::max(0, dataexport::decimalsFor(1.0 / result.sampleRate)) : 6;
    annotationTable->setUpdatesEnabled(false);
    annotationTable->setRowCount(count);
    for (int i = 0; i < count; ++i) {
        const Line &l = lines[i];
        const double seconds = result.sampleRate > 0 ? l.start / result.sampleRate : 0.0;
        const QString cells[4] = {QString::fromLatin1(dataexport::fixedNumber(seconds, decimals)), l.decoder, l.row,
                                  l.text};
        for (int c = 0; c < 4; ++c) {
            QTableWidgetItem *item = annotationTable->item(i, c);
            if (!item)
                annotationTable->setItem(i, c, item = new QTableWidgetItem);
            item->setText(cells[c]);
        }
    }
    annotationTable->setUpdatesEnabled(true);
    ++shown;
    emit rowsChanged();
}

QByteArray DecodePanel::tableCsv() const
{
    auto field = [](const QString &text) {
        QByteArray out = text.toUtf8();
        if (out.contains(',') || out.contains('"') || out.contains('\n')) {
            out.replace("\"", "\"\"");
            out = '"' + out + '"';
        }
        return out;
    };
    QByteArray out = "time_s,decoder,row,text\n";
    for (int r = 0; r < annotationTable->rowCount(); ++r) {
        QList<QByteArray> cells;
        for (int c = 0; c < 4; ++c)
            cells << field(annotationTable->item(r, c) ? annotationTable->item(r, c)->text() : QString());
        out += cells.join(',') + '\n';
    }
    return out;
}

void DecodePanel::copyTable()
{
    QApplication::clipboard()->setText(QString::fromUtf8(tableCsv()));
}

void DecodePanel::saveTable()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Save annotations"), QString(), tr("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(tableCsv()) < 0 || !file.commit())
        QMessageBox::warning(this, tr("Save annotations"), tr("%1 could not be written: %2").arg(path, file.errorString()));
}

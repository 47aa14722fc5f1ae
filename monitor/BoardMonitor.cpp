#include "monitor/BoardMonitor.h"

#include "hid/CodePage1252.h"
#include "hid/DeviceManager.h"
#include "monitor/LogicLanes.h"
#include "monitor/SamplesCsv.h"
#include "monitor/StripChart.h"
#include "monitor/TimeAxis.h"

#include <QBuffer>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace monitor {
namespace {

using hid::ReportDirection;

struct CodeName {
    int code;
    const char* name;
};
// The codes the console and the board use; any other code is counted under "other".
constexpr std::array<CodeName, 9> TrafficCodes{{{1, "1 text"},
                                                {2, "2 read text"},
                                                {4, "4 A/D"},
                                                {5, "5 status"},
                                                {6, "6 clock"},
                                                {13, "13 inputs"},
                                                {14, "14 port D"},
                                                {50, "50 reset"},
                                                {-1, "other"}}};
constexpr std::array<CodeName, 3> TimingCodes{{{AnswerTiming::Codes[0], "2 text"},
                                               {AnswerTiming::Codes[1], "4 A/D"},
                                               {AnswerTiming::Codes[2], "13 inputs"}}};
constexpr std::array<const char*, 5> DirectionNames{"Out", "In", "Dropped", "Failed", "Refused"};
// The widest texts the figures take.
const QString WidestCount = QStringLiteral("0,000,000");
const QString WidestRate = QStringLiteral("00000");
const QString WidestTime = QStringLiteral("00.00 ms");

QString duration(Clock::duration took) {
    const double micros = std::chrono::duration<double, std::micro>(took).count();
    if (micros < 1000) return QStringLiteral("%1 µs").arg(micros, 0, 'f', 0);
    return QStringLiteral("%1 ms").arg(micros / 1000, 0, 'f', 2);
}

QString hexId(int id) {
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

/// A number's label, as wide as `widest`.
QLabel* figure(QWidget* parent, const QString& name, const QString& widest) {
    auto* label = new QLabel(QStringLiteral("–"), parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Fixed in size, so a new number repaints the label alone and lays out nothing.
    label->setFixedSize(label->fontMetrics().horizontalAdvance(widest), label->sizeHint().height());
    return label;
}

/// A label for text a board or a file name supplies, shown as it is and never read as markup:
/// an <img> in a product name would have the label load the file it names.
QLabel* plainLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* heading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace

BoardMonitor::BoardMonitor(hid::DeviceManager& layer, BoardIds board, ClockSource clock,
                           QWidget* parent)
    : QWidget(parent, Qt::Window), layer_(layer), board_(board), clock_(std::move(clock)),
      origin_(clock_()) {
    setWindowTitle(tr("Board monitor"));
    setObjectName("boardMonitor");
    // Closing the main window ends the program even while this window is open.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* columns = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    left->addWidget(buildCharts(), 1);
    left->addWidget(buildButtons());
    auto* details = new QWidget(this);
    details->setFixedWidth(DetailsWidth);
    auto* right = new QVBoxLayout(details);
    right->setContentsMargins(0, 0, 0, 0);
    right->addWidget(buildBoard());
    right->addWidget(buildTraffic());
    right->addWidget(buildTiming());
    right->addStretch(1);
    columns->addLayout(left, 1);
    columns->addWidget(details);

    frame_.setSingleShot(true);
    frame_.setTimerType(Qt::PreciseTimer);
    frame_.setInterval(Frame);
    connect(&frame_, &QTimer::timeout, this, &BoardMonitor::refresh);
    figures_.setSingleShot(true);
    connect(&figures_, &QTimer::timeout, this, [this] {
        const Clock::time_point now = clock_();
        log_.expire(now);
        showFigures(now);
    });
    deadline_.setSingleShot(true);
    deadline_.setTimerType(Qt::PreciseTimer);
    connect(&deadline_, &QTimer::timeout, this, &BoardMonitor::refresh);

    layer_.addObserver(*this);
    layer_.addProblemObserver(*this);
    layer_.addDeviceListObserver(*this);
    refresh();
}

BoardMonitor::~BoardMonitor() {
    layer_.removeObserver(*this);
    layer_.removeProblemObserver(*this);
    layer_.removeDeviceListObserver(*this);
}

QWidget* BoardMonitor::buildCharts() {
    auto* charts = new QWidget(this);
    auto* layout = new QVBoxLayout(charts);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* ad = new QGroupBox(tr("A/D input (answer 4, byte 19)"), charts);
    auto* adLayout = new QVBoxLayout(ad);
    adChart_ = new StripChart(colours::AdTrace, ad);
    adChart_->setObjectName("adChart");
    adStats_ = new QLabel(ad);
    adStats_->setObjectName("adStats");
    adLayout->addWidget(adChart_, 1);
    adLayout->addWidget(adStats_);
    layout->addWidget(ad, 1);

    auto* inputs = new QGroupBox(tr("Input bits, port C (answer 13, byte 20)"), charts);
    auto* inputsLayout = new QVBoxLayout(inputs);
    inputLanes_ = new LogicLanes(QStringLiteral("C"), colours::InputTrace, inputs);
    inputLanes_->setObjectName("inputLanes");
    inputsLayout->addWidget(inputLanes_);
    layout->addWidget(inputs);

    auto* portD = new QGroupBox(tr("Port D, as the console wrote it (byte 21)"), charts);
    auto* portDLayout = new QVBoxLayout(portD);
    portDLanes_ = new LogicLanes(QStringLiteral("D"), colours::PortDTrace, portD);
    portDLanes_->setObjectName("portDLanes");
    portDLayout->addWidget(portDLanes_);
    layout->addWidget(portD);
    return charts;
}

QWidget* BoardMonitor::buildBoard() {
    auto* box = new QGroupBox(tr("Board"), this);
    auto* form = new QFormLayout(box);
    const std::array<std::pair<const char*, QString>, 7> fields{{
        {"boardNode", tr("Node")},
        {"boardHandle", tr("Handle")},
        {"boardIds", tr("Ids")},
        {"boardMaker", tr("Manufacturer")},
        {"boardProduct", tr("Product")},
        {"boardSerial", tr("Serial number")},
        {"boardReports", tr("Reports")},
    }};
    for (const auto& [name, caption] : fields) {
        auto* value = plainLabel(box);
        value->setObjectName(name);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(caption, value);
        boardFields_[QString::fromLatin1(name)] = value;
    }
    boardProblem_ = plainLabel(box);
    boardProblem_->setObjectName("boardProblem");
    boardProblem_->setWordWrap(true);
    boardProblem_->setStyleSheet(QStringLiteral("color: #c02020;"));
    boardProblem_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(boardProblem_);
    return box;
}

QWidget* BoardMonitor::buildTraffic() {
    auto* box = new QGroupBox(tr("Traffic, reports in the last second"), this);
    auto* grid = new QGridLayout(box);
    grid->addWidget(heading(tr("Code"), box), 0, 0, Qt::AlignLeft);
    grid->addWidget(heading(tr("Out/s"), box), 0, 1);
    grid->addWidget(heading(tr("In/s"), box), 0, 2);
    int row = 1;
    for (const CodeName& code : TrafficCodes) {
        const QString key = code.code < 0 ? QStringLiteral("Other") : QString::number(code.code);
        grid->addWidget(new QLabel(tr(code.name), box), row, 0);
        TrafficRow labels{figure(box, "trafficOut" + key, WidestRate),
                          figure(box, "trafficIn" + key, WidestRate)};
        grid->addWidget(labels.out, row, 1);
        grid->addWidget(labels.in, row, 2);
        traffic_[code.code] = labels;
        ++row;
    }
    auto* totals = new QLabel(tr("Reports since the monitor opened:"), box);
    grid->addWidget(totals, row++, 0, 1, 3);
    auto* counts = new QGridLayout;
    for (std::size_t i = 0; i < DirectionNames.size(); ++i) {
        counts->addWidget(heading(tr(DirectionNames[i]), box), 0, int(i));
        directionCounts_[i] = figure(box, QStringLiteral("count") + DirectionNames[i], WidestCount);
        counts->addWidget(directionCounts_[i], 1, int(i));
    }
    grid->addLayout(counts, row, 0, 1, 3);
    return box;
}

QWidget* BoardMonitor::buildTiming() {
    auto* box = new QGroupBox(tr("Answer timing over the span"), this);
    auto* grid = new QGridLayout(box);
    const std::array<QString, 7> headings{tr("Code"), tr("Last"),    tr("Median"), tr("p99"),
                                          tr("Max"),  tr("Answers"), tr("Missed")};
    for (std::size_t column = 0; column < headings.size(); ++column)
        grid->addWidget(heading(headings[column], box), 0, int(column),
                        column == 0 ? Qt::AlignLeft : Qt::Alignment());
    int row = 1;
    for (const CodeName& code : TimingCodes) {
        const QString key = QStringLiteral("timing%1").arg(code.code);
        grid->addWidget(new QLabel(tr(code.name), box), row, 0);
        TimingRow labels{
            figure(box, key + "Last", WidestTime),     figure(box, key + "Median", WidestTime),
            figure(box, key + "P99", WidestTime),      figure(box, key + "Longest", WidestTime),
            figure(box, key + "Answered", WidestRate), figure(box, key + "Unanswered", WidestRate)};
        const std::array<QLabel*, 6> cells{labels.last,    labels.median,   labels.p99,
                                           labels.longest, labels.answered, labels.unanswered};
        for (std::size_t column = 0; column < cells.size(); ++column)
            grid->addWidget(cells[column], row, int(column) + 1);
        timing_[code.code] = labels;
        ++row;
    }
    auto* note = new QLabel(
        tr("From each request to the next answer with its code. Missed: no answer within %1 ms.")
            .arg(AnswerTiming::Deadline.count()),
        box);
    note->setWordWrap(true);
    grid->addWidget(note, row, 0, 1, 7);
    return box;
}

QWidget* BoardMonitor::buildButtons() {
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    pause_ = new QPushButton(tr("Pause"), bar);
    pause_->setObjectName("pauseButton");
    pause_->setCheckable(true);
    connect(pause_, &QPushButton::toggled, this, &BoardMonitor::setPaused);
    spanButton_ = new QPushButton(tr("Show 60 s"), bar);
    spanButton_->setObjectName("spanButton");
    spanButton_->setCheckable(true);
    connect(spanButton_, &QPushButton::toggled, this, [this](bool longSpan) {
        span_ = longSpan ? LongSpan : ShortSpan;
        spanButton_->setText(longSpan ? tr("Show 10 s") : tr("Show 60 s"));
        if (!paused_) changed();
    });
    auto* savePicture = new QPushButton(tr("Save picture…"), bar);
    savePicture->setObjectName("savePictureButton");
    connect(savePicture, &QPushButton::clicked, this, [this] {
        askWhereToSave(tr("Save the monitor's picture"), QStringLiteral("board-monitor.png"),
                       tr("PNG pictures (*.png)"), &BoardMonitor::savePicture);
    });
    auto* saveSamples = new QPushButton(tr("Save samples…"), bar);
    saveSamples->setObjectName("saveSamplesButton");
    connect(saveSamples, &QPushButton::clicked, this, [this] {
        askWhereToSave(tr("Save the span's samples"), QStringLiteral("board-samples.csv"),
                       tr("CSV files (*.csv)"), &BoardMonitor::saveSamples);
    });
    pausedNote_ = new QLabel(bar);
    pausedNote_->setObjectName("pausedNote");
    saveStatus_ = plainLabel(bar);
    saveStatus_->setObjectName("saveStatus");
    // A long path must not widen the window; the whole text is in the tool tip.
    saveStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    for (QWidget* widget : std::initializer_list<QWidget*>{pause_, spanButton_, savePicture,
                                                           saveSamples, pausedNote_})
        row->addWidget(widget);
    row->addWidget(saveStatus_, 1);
    return bar;
}

void BoardMonitor::record(ReportDirection direction, hid::Handle handle,
                          const hid::Report& report) {
    log_.add(direction, handle, report, clock_());
    changed();
}

void BoardMonitor::reportsLost(hid::Handle, std::uint64_t count) {
    log_.addLost(count);
    changed();
}

void BoardMonitor::deviceProblem(const hid::DeviceProblem& problem) {
    problems_[problem.node] = problem;
    boardChanged_ = true;
    changed();
}

void BoardMonitor::devicesChanged() {
    boardChanged_ = true;
    changed();
}

void BoardMonitor::changed() {
    if (!frame_.isActive()) frame_.start();
}

void BoardMonitor::refresh() {
    ++refreshCount_;
    const Clock::time_point now = clock_();
    log_.expire(now);
    if (boardChanged_) showBoard();
    if (paused_) {
        pausedNote_->setText(
            tr("Paused: %1 reports since").arg(QLocale().toString(log_.total() - totalAtPause_)));
    } else {
        showCharts(now);
        const auto sinceFigures = std::chrono::milliseconds(sinceFigures_.elapsed());
        if (!sinceFigures_.isValid() || sinceFigures >= FiguresInterval)
            showFigures(now);
        else if (!figures_.isActive())
            figures_.start(FiguresInterval - sinceFigures);
    }
    // A request waiting for its answer turns into a miss at its deadline, report or none.
    if (const auto next = log_.timing().nextDeadline())
        deadline_.start(std::chrono::ceil<std::chrono::milliseconds>(*next - now) +
                        std::chrono::milliseconds(1));
    else
        deadline_.stop();
}

void BoardMonitor::showCharts(Clock::time_point now) {
    const Clock::time_point from = now - span_;
    adChart_->show(log_.samples(Series::AdValue, from), from, now);
    inputLanes_->show(log_.samples(Series::InputBits, from), from, now);
    portDLanes_->show(log_.samples(Series::PortD, from), from, now);
}

void BoardMonitor::showFigures(Clock::time_point now) {
    if (paused_) return;
    sinceFigures_.start();
    showTraffic(now);
    showTiming(now - span_);
    const SpanStats stats = adChart_->stats();
    adStats_->setText(stats.count == 0 ? tr("No A/D answers in the last %1 s").arg(span_.count())
                                       : tr("Last %1 s: min %2, max %3, mean %4 (%5 answers)")
                                             .arg(span_.count())
                                             .arg(stats.min)
                                             .arg(stats.max)
                                             .arg(stats.mean, 0, 'f', 1)
                                             .arg(stats.count));
}

void BoardMonitor::showTraffic(Clock::time_point now) {
    std::map<int, CodeRate> rates;
    for (const CodeRate& rate : log_.rates(now)) {
        const int key = traffic_.count(rate.code) ? rate.code : -1;
        CodeRate& sum = rates.try_emplace(key, CodeRate{rate.code, 0, 0}).first->second;
        sum.out += rate.out;
        sum.in += rate.in;
    }
    for (const auto& [code, labels] : traffic_) {
        const auto it = rates.find(code);
        labels.out->setText(QString::number(it == rates.end() ? 0 : it->second.out));
        labels.in->setText(QString::number(it == rates.end() ? 0 : it->second.in));
    }
    for (std::size_t i = 0; i < directionCounts_.size(); ++i)
        directionCounts_[i]->setText(
            QLocale().toString(log_.count(static_cast<ReportDirection>(i))));
}

void BoardMonitor::showTiming(Clock::time_point from) {
    for (const auto& [code, labels] : timing_) {
        const AnswerTiming::Figures figures =
            log_.timing().figures(static_cast<std::uint8_t>(code), from);
        const QString none = QStringLiteral("–");
        labels.last->setText(figures.last ? duration(*figures.last) : none);
        const bool any = figures.answered > 0;
        labels.median->setText(any ? duration(figures.median) : none);
        labels.p99->setText(any ? duration(figures.p99) : none);
        labels.longest->setText(any ? duration(figures.longest) : none);
        labels.answered->setText(QString::number(figures.answered));
        labels.unanswered->setText(QString::number(figures.unanswered));
    }
}

void BoardMonitor::showBoard() {
    boardChanged_ = false;
    const hid::Handle handle = layer_.GetHandle(board_.vendorId, board_.productId);
    const hid::DeviceInfo* info = layer_.deviceInfo(handle);
    const auto set = [&](const char* field, const QString& text) {
        boardFields_.at(QString::fromLatin1(field))->setText(text);
    };
    if (!info) {
        set("boardNode", tr("no board attached"));
        for (const char* field : {"boardHandle", "boardIds", "boardMaker", "boardProduct",
                                  "boardSerial", "boardReports"})
            set(field, QStringLiteral("–"));
    } else {
        set("boardNode", QString::fromStdString(info->path));
        set("boardHandle", QString::number(handle));
        set("boardIds", hexId(info->vendorId) + ':' + hexId(info->productId));
        set("boardMaker", hid::fromWindows1252(info->manufacturer));
        set("boardProduct", hid::fromWindows1252(info->product));
        set("boardSerial", hid::fromWindows1252(info->serialNumber));
        const hid::DeviceInfo::ReportFormat& format = info->format;
        set("boardReports",
            format.inputReportSize == 0
                ? tr("format not known")
                : tr("in %1 bytes, out %2 bytes, %3")
                      .arg(format.inputReportSize)
                      .arg(format.outputReportSize)
                      .arg(format.usesReportIds ? tr("with report ids") : tr("no report ids")));
    }
    // A board that could be opened since has no problem left to show.
    QStringList problems;
    for (const auto& [node, problem] : problems_)
        if (!info || node != info->path)
            problems << QString::fromStdString(node) + ": " +
                            QString::fromStdString(problem.message);
    boardProblem_->setText(problems.join(QStringLiteral("\n\n")));
    boardProblem_->setVisible(!problems.isEmpty());
}

void BoardMonitor::setPaused(bool paused) {
    paused_ = paused;
    figures_.stop();
    totalAtPause_ = log_.total();
    pausedNote_->setText(paused ? tr("Paused") : QString());
    pause_->setText(paused ? tr("Resume") : tr("Pause"));
    if (!paused) changed();
}

void BoardMonitor::askWhereToSave(const QString& title, const QString& suggestedName,
                                  const QString& filter,
                                  void (BoardMonitor::*save)(const QString&)) {
    auto* dialog = new QFileDialog(this, title, QDir::home().filePath(suggestedName), filter);
    dialog->setObjectName("saveDialog");
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this,
            [this, save](const QString& path) { (this->*save)(path); });
    dialog->open();
}

void BoardMonitor::savePicture(const QString& path) {
    const QImage picture = grab().toImage();
    saver_.save(
        path,
        [picture] {
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            picture.save(&buffer, "PNG");
            return png;
        },
        [this, path](const QString& error) { showSaved(path, error); });
}

void BoardMonitor::saveSamples(const QString& path) {
    const auto copy = [](std::span<const Sample> samples) {
        return std::vector<Sample>(samples.begin(), samples.end());
    };
    std::vector<SeriesSamples> series{{Series::AdValue, copy(adChart_->shown())},
                                      {Series::InputBits, copy(inputLanes_->shown())},
                                      {Series::PortD, copy(portDLanes_->shown())}};
    saver_.save(
        path, [series = std::move(series), origin = origin_] { return samplesCsv(series, origin); },
        [this, path](const QString& error) { showSaved(path, error); });
}

void BoardMonitor::showSaved(const QString& path, const QString& error) {
    saveStatus_->setText(error.isEmpty() ? tr("Saved %1").arg(QDir::toNativeSeparators(path))
                                         : tr("Could not save %1: %2").arg(path, error));
    // A tool tip that looks like markup (Qt::mightBeRichText) is read as markup: the path goes
    // escaped, in a paragraph that keeps it on one line as a plain tool tip would.
    saveStatus_->setToolTip(QStringLiteral("<p style=\"white-space:pre\">%1</p>")
                                .arg(saveStatus_->text().toHtmlEscaped()));
}

} // namespace monitor

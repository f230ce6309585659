// The trend: what each outcome adds to it, how its history is bounded, how a lost link is drawn
// and told, and the CSV of a scripted run of polls with the link lost in the middle.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "link/LinkSupervisor.h"
#include "mainwindow/MainWindowRig.h"
#include "trend/TrendCsv.h"
#include "trend/TrendRecorder.h"
#include "trend/TrendSeries.h"
#include "trend/TrendWindow.h"

namespace zqb::test {
namespace {

TrendSample At(qint64 atMs, std::int32_t dac, std::uint8_t di, std::uint8_t dout, std::optional<int> dbm = -50)
{
    TrendSample s;
    s.atMs = atMs;
    s.dacCode = dac;
    s.diBits = di;
    s.doBits = dout;
    s.signalDbm = dbm;
    return s;
}

TrendSample GapAt(qint64 atMs)
{
    TrendSample s;
    s.atMs = atMs;
    s.gap = true;
    return s;
}

TEST(TrendEffects, DeliveredPollsAddSamplesAndAModuleOutOfReachAGap)
{
    const struct {
        Outcome outcome;
        TrendEffect effect;
    } cases[] = {
        {Outcome::Done(GetIoStatus), TrendEffect::Sample},
        {Outcome::Done(GetLink), TrendEffect::Sample},
        {Outcome::Done(SetDo), TrendEffect::Sample},
        {Outcome::Done(SetAnalog), TrendEffect::None},  // its reply carries no values
        {Outcome::Silent(GetIoStatus), TrendEffect::Gap},
        {Outcome::Silent(SetDo), TrendEffect::None},
        {Outcome::Cut(GetLink, 7, 506), TrendEffect::Gap},
        {Outcome::Invalid(GetLink, ReplyFault::OtherAddress), TrendEffect::Gap},
        {Outcome::NotReached(SetAnalog, Unreached::NoNetwork), TrendEffect::Gap},
        {Outcome::NotReached(GetIoStatus, Unreached::NoConnection), TrendEffect::Gap},
        {Outcome::RefusedWith(GetIoStatus, 3), TrendEffect::None},
        {Outcome::BusyBecause(GetIoStatus, BusyWith::OtherProgram), TrendEffect::None},
        {Outcome::BusyBecause(GetIoStatus, BusyWith::Exchange), TrendEffect::None},
        {Outcome::Cancelled(), TrendEffect::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TrendEffectOf(c.outcome), c.effect) << DescribeOutcome(c.outcome).toStdString();
}

TEST(TrendHistoryBounds, AnHourAtMostOneGapPerLossAndNeverBackInTime)
{
    TrendHistory history;
    const qint64 start = 1'700'000'000'000;
    for (qint64 at = start; at <= start + 2 * TrendHistory::KeptMs; at += 3100) history.Append(At(at, 1, 0, 0));
    EXPECT_GE(history.Samples().front().atMs, history.Samples().back().atMs - TrendHistory::KeptMs);
    EXPECT_LE(history.Samples().front().atMs, history.Samples().back().atMs - TrendHistory::KeptMs + 3100);

    const std::size_t before = history.Samples().size();
    const qint64 last = history.Samples().back().atMs;
    history.Append(GapAt(last + 3100));
    history.Append(GapAt(last + 6200));
    EXPECT_EQ(history.Samples().size(), before) << "one gap for one loss (the oldest sample made room)";
    EXPECT_TRUE(history.Samples().back().gap);
    EXPECT_EQ(history.Samples().back().atMs, last + 3100);

    history.Append(At(last - 60'000, 2, 0, 0));  // the clock was set back
    ASSERT_EQ(history.Samples().size(), 1u);
    EXPECT_EQ(history.Samples().front().dacCode, 2);

    for (qint64 i = 0; i < 25'000; ++i) history.Append(At(last + i, 3, 0, 0));
    EXPECT_EQ(history.Samples().size(), TrendHistory::MaxSamples);

    // What ten minutes need: the samples inside, and the one whose value holds at their start.
    TrendHistory few;
    for (qint64 at : {100, 200, 300, 400}) few.Append(At(at, static_cast<std::int32_t>(at), 0, 0));
    const struct {
        qint64 from, to;
        std::vector<std::int32_t> codes;
    } windows[] = {{150, 350, {100, 200, 300}}, {200, 300, {100, 200, 300}}, {450, 900, {400}}, {0, 50, {}}, {0, 100, {100}}};
    for (const auto& w : windows) {
        std::vector<std::int32_t> codes;
        for (const TrendSample& s : few.Covering(w.from, w.to)) codes.push_back(s.dacCode);
        EXPECT_EQ(codes, w.codes) << w.from << ".." << w.to;
    }
}

TEST(TrendSeriesRuns, AGapBreaksEveryLineAndDigitalLinesStep)
{
    const std::vector<TrendSample> samples = {At(0, 10, 1, 0), At(10, 20, 0, 0, std::nullopt), At(20, 30, 0, 1), GapAt(30),
                                              At(40, 40, 2, 1), At(50, 50, 2, 0)};
    using Run = std::vector<std::pair<qint64, double>>;
    const struct {
        TrendSeries series;
        std::vector<Run> runs;
    } cases[] = {
        {TrendSeries::Dac, {{{0, 10}, {10, 20}, {20, 30}}, {{40, 40}, {50, 50}}}},
        {TrendSeries::Di0, {{{0, 1}, {10, 1}, {10, 0}, {20, 0}}, {{40, 0}, {50, 0}}}},
        {TrendSeries::Di1, {{{0, 0}, {10, 0}, {20, 0}}, {{40, 1}, {50, 1}}}},
        {TrendSeries::Do0, {{{0, 0}, {10, 0}, {20, 0}, {20, 1}}, {{40, 1}, {50, 1}, {50, 0}}}},
        // A poll without a reported signal breaks only the signal's line.
        {TrendSeries::Signal, {{{0, -50}}, {{20, -50}}, {{40, -50}, {50, -50}}}},
    };
    for (const auto& c : cases) {
        std::vector<Run> runs;
        for (const TrendRun& run : SeriesRuns(samples, c.series)) {
            Run points;
            for (const TrendPoint& p : run) points.emplace_back(p.atMs, p.value);
            runs.push_back(points);
        }
        EXPECT_EQ(runs, c.runs) << SeriesName(c.series).toStdString();
    }
}

TEST(TrendSummary, SaysTheLastValuesTheRangesShownAndEachLoss)
{
    const qint64 from = QDateTime(QDate(2024, 5, 1), QTime(12, 0, 0)).toMSecsSinceEpoch();
    const qint64 to = from + 10 * 60 * 1000;
    const std::vector<TrendSample> samples = {At(from - 5000, 100, 1, 0, -50), At(from + 60'000, 819, 1, 0, -55),
                                              GapAt(from + 120'000), At(from + 150'000, 4095, 2, 1, -40)};
    EXPECT_EQ(TrendSummaryText(samples, from, to, false),
              QStringLiteral("Last values at 12:02:30: DAC code 4095 (10.000V), DI0 off, DI1 on, DO on, Signal -40 dBm. "
                             "From 12:00:00 to 12:10:00: DAC code from 100 (0.244V) to 4095 (10.000V); DI0 both off and on; "
                             "DI1 both off and on; DO both off and on; Signal from -55 dBm to -40 dBm. "
                             "Link lost once: 12:02:00 to 12:02:30."));
    const std::vector<TrendSample> lost = {At(from, 5, 0, 0, std::nullopt), GapAt(from + 1000)};
    EXPECT_EQ(TrendSummaryText(lost, from, to, true),
              QStringLiteral("Paused at 12:10:00. Last values at 12:00:00: DAC code 5 (0.012V), DI0 off, DI1 off, DO off, "
                             "Signal not reported. From 12:00:00 to 12:10:00: DAC code 5 (0.012V) throughout; DI0 off "
                             "throughout; DI1 off throughout; DO off throughout. Link lost once: since 12:00:01."));
    EXPECT_TRUE(TrendSummaryText({}, from, to, false).startsWith(QStringLiteral("No values yet")));
}

TEST(TrendChartDrawing, NoLineCrossesALostLink)
{
    TrendHistory history;
    const qint64 end = QDateTime::currentMSecsSinceEpoch();
    const qint64 start = end - TrendChart::ShownMs;
    // A flat DAC line at mid-scale, broken for the middle fifth of the ten minutes.
    for (int fifth = 0; fifth <= 5; ++fifth) {
        const qint64 at = start + fifth * TrendChart::ShownMs / 5;
        history.Append(fifth == 2 ? GapAt(at) : At(at, 2048, 0, 0));
    }
    TrendChart chart(history);
    chart.resize(760, 380);
    chart.SetEnd(end);
    const QImage image = chart.grab().toImage();
    const QColor dac = TrendChart::SeriesColour(TrendSeries::Dac, chart.palette());
    // The line's colour in the column of a time: a tenth in from either side it is there; in the
    // middle of the lost stretch it is not.
    const auto lineIn = [&](double fraction) {
        const int x = static_cast<int>(chart.XOf(start + static_cast<qint64>(fraction * TrendChart::ShownMs)));
        for (int y = 0; y < image.height(); ++y)
            if (image.pixelColor(x, y) == dac) return true;
        return false;
    };
    EXPECT_TRUE(lineIn(0.1));
    EXPECT_FALSE(lineIn(0.5)) << "a lost link is no flat line";
    EXPECT_TRUE(lineIn(0.9));
}

// A console polling its module on the link timer, with the trend recording from its outcomes.
class TrendRun : public MainWindowRig {
protected:
    void SetUp() override
    {
        StartModule();
        ExpectOutcome(Outcome::Done(GetLink), [this] { LinkUp(); });
    }

    // Runs `step`, which records exactly one outcome, the one expected: the trend is drawn from
    // what the console records, so a step that records none or another would draw a wrong trend.
    void ExpectOutcome(const Outcome& expected, const std::function<void()>& step)
    {
        const std::size_t before = context.outcomes.Size();
        step();
        ASSERT_EQ(context.outcomes.Size(), before + 1) << DescribeOutcome(expected).toStdString();
        const Outcome recorded = context.outcomes.Last(1).front().outcome;
        EXPECT_EQ(recorded.kind, expected.kind) << DescribeOutcome(recorded).toStdString();
        EXPECT_EQ(recorded.command, expected.command) << DescribeOutcome(recorded).toStdString();
        EXPECT_EQ(recorded.unreached, expected.unreached) << DescribeOutcome(recorded).toStdString();
    }

    // One periodic check of the link timer: the I/O poll.
    void Poll(const Outcome& expected)
    {
        ExpectOutcome(expected, [this] {
            while (context.session.linkTick != PeriodicCheckTick) link.Supervisor().LinkTimerTick();
            link.Supervisor().LinkTimerTick();
        });
    }

    void SetModule(std::uint16_t dac, std::uint8_t di, std::uint8_t dout, int dbm)
    {
        module.Update([=](zqbsim::ModuleState& s) {
            s.dacCode = dac;
            s.diBits = di;
            s.doBits = dout;
            s.rssiWord = static_cast<std::uint16_t>(65536 + dbm);
        });
    }

    TrendRecorder recorder{context};
    QTemporaryDir folder;
};

TEST_F(TrendRun, TheCsvOfPollsWithTheLinkLostInTheMiddle)
{
    SetModule(1000, 1, 0, -50);
    Poll(Outcome::Done(GetIoStatus));
    SetModule(2000, 3, 1, -52);
    Poll(Outcome::Done(GetIoStatus));
    const std::uint16_t port = module.Port();
    module.Stop();
    Poll(Outcome::NotReached(GetIoStatus, Unreached::NoConnection));
    Poll(Outcome::NotReached(GetIoStatus, Unreached::NoConnection));
    ASSERT_TRUE(module.Start(port));
    SetModule(3000, 2, 1, -61);
    Poll(Outcome::Done(GetIoStatus));

    const QByteArray csv = TrendCsv(recorder.History().Samples());
    QList<QByteArray> lines = csv.split('\n');
    ASSERT_EQ(lines.takeLast(), QByteArray()) << "every line ends";
    ASSERT_EQ(lines.size(), 6) << csv.toStdString();
    EXPECT_EQ(lines[0], "time,dac_code,di0,di1,do0,signal_dbm");
    const char* values[] = {",0,0,0,0,-45", ",1000,1,0,0,-50", ",2000,1,1,1,-52", ",,,,,", ",3000,0,1,1,-61"};
    const QRegularExpression iso(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)$)"));
    QDateTime previous;
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray time = lines[i].left(lines[i].indexOf(','));
        EXPECT_TRUE(iso.match(QString::fromLatin1(time)).hasMatch()) << time.toStdString();
        const QDateTime at = QDateTime::fromString(QString::fromLatin1(time), Qt::ISODateWithMs);
        EXPECT_TRUE(at.isValid());
        EXPECT_LE(std::abs(at.msecsTo(QDateTime::currentDateTime())), 60'000) << "local time with its offset is the time now";
        if (previous.isValid()) {
            EXPECT_GE(at, previous);
        }
        previous = at;
        EXPECT_EQ(lines[i].mid(time.size()), QByteArray(values[i - 1])) << i;
    }

    // Saved through the file dialog, exactly as built.
    TrendWindow window(recorder.History(), context, dialogs);
    const QString path = folder.filePath(QStringLiteral("trend.csv"));
    dialogs.ExpectSaveFile(path);
    QTest::mouseClick(window.SaveCsvButton, Qt::LeftButton);
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), csv);
    ASSERT_EQ(dialogs.fileDialogs.size(), 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^save CSV\|\*\.csv zqb-trend-\d{8}-\d{6}\.csv csv$)"))
                    .match(dialogs.fileDialogs[0])
                    .hasMatch())
        << dialogs.fileDialogs[0].toStdString();
    EXPECT_TRUE(window.Status->text().startsWith(QStringLiteral("Saved 5 samples to ")));

    const QString png = folder.filePath(QStringLiteral("trend.png"));
    dialogs.ExpectSaveFile(png);
    QTest::mouseClick(window.SavePngButton, Qt::LeftButton);
    EXPECT_EQ(QImage(png).size(), window.Chart->size());
    // A folder that is not there: said in a box, and nothing is claimed.
    dialogs.ExpectSaveFile(folder.filePath(QStringLiteral("missing/trend.csv")));
    dialogs.ExpectMessageStartingWith(QStringLiteral("Cannot save file \""));
    window.SaveCsv();
    EXPECT_EQ(window.Status->text(), QStringLiteral("Not saved"));
}

TEST_F(TrendRun, PausedTheChartHoldsStillWhileTheHistoryGoesOn)
{
    TrendWindow window(recorder.History(), context, dialogs);
    window.show();
    module.ClearFrames();
    const qint64 shownEnd = window.Chart->EndMs();
    QTest::mouseClick(window.PauseButton, Qt::LeftButton);
    ASSERT_TRUE(window.Paused());
    EXPECT_EQ(window.PauseButton->text(), QStringLiteral("&Resume"));
    const qint64 pausedEnd = window.Chart->EndMs();
    EXPECT_GE(pausedEnd, shownEnd);
    QTest::qWait(20);
    SetModule(4095, 0, 1, -60);
    Poll(Outcome::Done(GetIoStatus));
    EXPECT_EQ(window.Chart->EndMs(), pausedEnd);
    EXPECT_EQ(recorder.History().Samples().size(), 2u);
    EXPECT_TRUE(window.Summary->text().startsWith(QStringLiteral("Paused at ")));
    QTest::mouseClick(window.PauseButton, Qt::LeftButton);
    EXPECT_GT(window.Chart->EndMs(), pausedEnd);
    EXPECT_TRUE(window.Summary->text().startsWith(QStringLiteral("Last values at ")));
    EXPECT_TRUE(window.Summary->text().contains(QStringLiteral("DAC code 4095 (10.000V), DI0 off, DI1 off, DO on, Signal -60 dBm")))
        << window.Summary->text().toStdString();
    EXPECT_EQ(window.Chart->accessibleDescription(), window.Summary->text());

    // The window draws what the polls brought: over its clock's ticks it asks the module nothing.
    Poll(Outcome::Done(GetIoStatus));
    QTest::qWait(1200);
    QStringList frames;
    for (const QByteArray& frame : module.Frames()) frames << QString::fromStdString(HexText(frame));
    EXPECT_EQ(frames, (QStringList{"5A 35 77 A5 D8", "5A 35 77 A5 D8"}));
}

}  // namespace
}  // namespace zqb::test
